// Keeps a recording's statistics live: each recorded row is added as it comes, a loaded file
// recomputes them over the whole table, "Close Data" empties them.
#pragma once

#include "ReadingSink.h"
#include "RecordingStatistics.h"

namespace dmm {

class StatisticsSink : public ReadingSink {
public:
    const RecordingStatistics& statistics() const { return stats_; }
    // Counts every change, so that a view redraws only when there is something new.
    std::uint64_t generation() const { return generation_; }

    void rowRecorded(const RecordedRow& row) override;
    void tableLoaded(const ReadingsTable& table, int first) override;
    void tableCleared() override;

private:
    RecordingStatistics stats_;
    std::uint64_t generation_ = 0;
};

} // namespace dmm
