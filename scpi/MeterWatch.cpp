#include "MeterWatch.h"

namespace dmm::scpi {

void MeterWatch::readingDecoded(const CurrentReading& reading) {
    since_.start();
    last_.decoded = true;
    last_.reading = reading;
}

ScpiReading MeterWatch::reading() const {
    ScpiReading r = last_;
    r.ageMs = r.decoded ? since_.elapsed() : 0;
    return r;
}

} // namespace dmm::scpi
