// The reading the server answers from, kept apart from the meter: an output of the recording
// pipeline that takes a copy of each decoded reading and stamps the time it came, and keeps the
// recorded rows' statistics of its own, which a client can restart without touching the
// window's.
#pragma once

#include "ReadingSink.h"
#include "ScpiReading.h"
#include "StatisticsSink.h"

#include <QElapsedTimer>

namespace dmm::scpi {

class MeterWatch : public ReadingSink {
public:
    void readingDecoded(const CurrentReading& reading) override;
    void rowRecorded(const RecordedRow& row) override { statistics_.rowRecorded(row); }
    void tableLoaded(const ReadingsTable& table, int first) override {
        statistics_.tableLoaded(table, first);
    }
    void tableCleared() override { statistics_.tableCleared(); }

    // The last decoded reading and its age now, with the statistics and the way to restart them.
    ScpiReading reading();

private:
    StatisticsSink statistics_;
    QElapsedTimer since_;
    ScpiReading last_;
};

} // namespace dmm::scpi
