#include "RecordingStatistics.h"

#include "ReadingsTable.h"

#include <algorithm>

namespace dmm {

void RecordingStatistics::add(const RecordedRow& row) {
    StatisticsKey key = StatisticsKey::of(row.measurement);
    // A recording stays in one group for long runs: try the latest first.
    if (latest_ < 0 || !(groups_[std::size_t(latest_)].key() == key)) {
        const auto it = std::find_if(groups_.begin(), groups_.end(),
                                     [&key](const GroupStatistics& g) { return g.key() == key; });
        if (it != groups_.end()) {
            latest_ = static_cast<int>(it - groups_.begin());
        } else if (groups_.size() < kMaxGroups) {
            groups_.emplace_back(std::move(key));
            latest_ = static_cast<int>(groups_.size()) - 1;
        } else {
            ++ungrouped_;
            latest_ = -1;
            return;
        }
    }
    groups_[std::size_t(latest_)].add(row);
}

void RecordingStatistics::clear() {
    groups_.clear();
    ungrouped_ = 0;
    latest_ = -1;
}

const GroupStatistics* RecordingStatistics::latest() const {
    return latest_ < 0 ? nullptr : &groups_[std::size_t(latest_)];
}

void RecordingStatistics::addRows(const ReadingsTable& table, int first, int count) {
    const int begin = std::clamp(first, 0, table.size());
    const int end = begin + std::clamp(count, 0, table.size() - begin);
    for (int r = begin; r < end; ++r) add(RecordedRow::fromTable(table, r));
}

RecordingStatistics RecordingStatistics::ofRows(const ReadingsTable& table, int first, int count) {
    RecordingStatistics s;
    s.addRows(table, first, count);
    return s;
}

} // namespace dmm
