// The statistics of a recording's rows, one group per quantity, coupling and base unit, in the
// order the groups were first seen (see GroupStatistics).
#pragma once

#include "GroupStatistics.h"

#include <vector>

namespace dmm {

class ReadingsTable;

class RecordingStatistics {
public:
    // A hostile file of rows in ever new unknown units cannot grow the groups beyond this; the
    // rows of further groups are counted in ungrouped().
    static constexpr std::size_t kMaxGroups = 64;

    void add(const RecordedRow& row);
    void clear();

    const std::vector<GroupStatistics>& groups() const { return groups_; }
    std::int64_t ungrouped() const { return ungrouped_; }
    // The group of the latest row added; null before any or when it was ungrouped.
    const GroupStatistics* latest() const;

    // Adds `count` rows of `table` from `first` on (clipped to the table).
    void addRows(const ReadingsTable& table, int first, int count);
    // The statistics of those rows alone.
    static RecordingStatistics ofRows(const ReadingsTable& table, int first, int count);

private:
    std::vector<GroupStatistics> groups_;
    std::int64_t ungrouped_ = 0;
    int latest_ = -1;
};

} // namespace dmm
