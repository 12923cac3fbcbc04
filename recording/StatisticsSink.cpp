#include "StatisticsSink.h"

#include "ReadingsTable.h"

namespace dmm {

void StatisticsSink::rowRecorded(const RecordedRow& row) {
    stats_.add(row);
    ++generation_;
}

void StatisticsSink::tableLoaded(const ReadingsTable& table, int first) {
    (void)first; // rows before an appended file are the table's too
    stats_ = RecordingStatistics::ofRows(table, 0, table.size());
    ++generation_;
}

void StatisticsSink::tableCleared() {
    stats_.clear();
    ++generation_;
}

} // namespace dmm
