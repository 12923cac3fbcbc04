// What the server answers from: the reading of the last decoded frame and how old it is.
#pragma once

#include "GroupStatistics.h"
#include "Reading.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace dmm::scpi {

struct ScpiReading {
    bool decoded = false;   // a frame has been decoded since the program started
    std::int64_t ageMs = 0; // since the last decoded frame
    CurrentReading reading; // as the last decoded frame left it, its measurement included
    // What the CALCulate:AVERage queries answer: the group of the latest recorded row, over the
    // rows since the view was last restarted; none before such a row.
    std::optional<GroupStatistics> statistics;
    // Restarts that view for every client (CALCulate:AVERage:CLEar); empty where none is kept.
    std::function<void()> clearStatistics;
};

} // namespace dmm::scpi
