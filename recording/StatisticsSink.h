// Keeps a recording's statistics live: each recorded row is added as it comes, a loaded file
// recomputes them over the whole table, "Close Data" empties them.
//
// The recomputing waits until the statistics are first asked for: over ten million loaded rows
// it takes seconds, and the window, the SCPI server and the web page each keep a sink. The
// table belongs to the pipeline the sink listens to, which outlives the sink's answers.
#pragma once

#include "ReadingSink.h"
#include "RecordingStatistics.h"

namespace dmm {

class StatisticsSink : public ReadingSink {
public:
    const RecordingStatistics& statistics() const;
    // Counts every change, so that a view redraws only when there is something new.
    std::uint64_t generation() const { return generation_; }

    void rowRecorded(const RecordedRow& row) override;
    void tableLoaded(const ReadingsTable& table, int first) override;
    void tableCleared() override;

private:
    mutable RecordingStatistics stats_;
    // A loaded table whose rows (and those recorded after it) are still to be added.
    mutable const ReadingsTable* loaded_ = nullptr;
    std::uint64_t generation_ = 0;
};

} // namespace dmm
