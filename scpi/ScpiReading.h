// What the server answers from: the reading of the last decoded frame and how old it is.
#pragma once

#include "Reading.h"

#include <cstdint>

namespace dmm::scpi {

struct ScpiReading {
    bool decoded = false;   // a frame has been decoded since the program started
    std::int64_t ageMs = 0; // since the last decoded frame
    CurrentReading reading; // as the last decoded frame left it, its measurement included
};

} // namespace dmm::scpi
