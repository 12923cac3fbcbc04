// Which readings-table row each point of the trend chart plots. The recorder plots every row it
// records, in order, so the points map onto runs of consecutive table rows; a text file loaded
// in between starts a new run, a file that replaces the table leaves the points before it without
// rows, and "Close Data" clears chart and table together. A few runs, whatever the row count.
#pragma once

#include "ReadingSink.h"

#include <utility>
#include <vector>

namespace dmm::app {

class ChartRows : public ReadingSink {
public:
    void rowRecorded(const RecordedRow& row) override;
    void tableLoaded(const ReadingsTable& table, int first) override;
    void tableCleared() override;

    // The table rows of points `first` to `first + count - 1` (counted from 0, in plotting
    // order), as (first row, row count) runs; points without a row are left out.
    std::vector<std::pair<int, int>> rowsOf(int first, int count) const;

private:
    struct Run {
        int point; // the run's first point
        int row;   // its table row
    };
    std::vector<Run> runs_;
    int points_ = 0;
    int nextRow_ = -1; // the row that would continue the last run
};

} // namespace dmm::app
