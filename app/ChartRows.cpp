#include "ChartRows.h"

#include <algorithm>

namespace dmm::app {

void ChartRows::rowRecorded(const RecordedRow& row) {
    if (row.index < 0) return;
    if (row.index != nextRow_) runs_.push_back({points_, row.index});
    nextRow_ = row.index + 1;
    ++points_;
}

void ChartRows::tableLoaded(const ReadingsTable&, int first) {
    if (first == 0) runs_.clear(); // the rows the points plotted are gone
    nextRow_ = -1;
}

void ChartRows::tableCleared() {
    runs_.clear();
    points_ = 0;
    nextRow_ = -1;
}

std::vector<std::pair<int, int>> ChartRows::rowsOf(int first, int count) const {
    std::vector<std::pair<int, int>> out;
    const int end = std::min(first + count, points_);
    for (std::size_t i = 0; i < runs_.size(); ++i) {
        const int runEnd = i + 1 < runs_.size() ? runs_[i + 1].point : points_;
        const int from = std::max(first, runs_[i].point), to = std::min(end, runEnd);
        if (from < to) out.emplace_back(runs_[i].row + (from - runs_[i].point), to - from);
    }
    return out;
}

} // namespace dmm::app
