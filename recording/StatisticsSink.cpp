#include "StatisticsSink.h"

#include "ReadingsTable.h"

#include <utility>

namespace dmm {

const RecordingStatistics& StatisticsSink::statistics() const {
    if (const ReadingsTable* table = std::exchange(loaded_, nullptr))
        stats_ = RecordingStatistics::ofRows(*table, 0, table->size());
    return stats_;
}

void StatisticsSink::rowRecorded(const RecordedRow& row) {
    if (!loaded_) stats_.add(row); // otherwise the row is in the table still to be added
    ++generation_;
}

void StatisticsSink::tableLoaded(const ReadingsTable& table, int first) {
    (void)first; // rows before an appended file are the table's too
    loaded_ = &table;
    ++generation_;
}

void StatisticsSink::tableCleared() {
    loaded_ = nullptr;
    stats_.clear();
    ++generation_;
}

} // namespace dmm
