#include "MeterWatch.h"

namespace dmm::scpi {

void MeterWatch::readingDecoded(const CurrentReading& reading) {
    since_.start();
    last_.decoded = true;
    last_.reading = reading;
}

ScpiReading MeterWatch::reading() {
    ScpiReading r = last_;
    r.ageMs = r.decoded ? since_.elapsed() : 0;
    if (const GroupStatistics* g = statistics_.statistics().latest()) r.statistics = *g;
    r.clearStatistics = [this] { statistics_.tableCleared(); };
    return r;
}

} // namespace dmm::scpi
