#include "MeterWatch.h"

namespace dmm::scpi {

void MeterWatch::look(const Meter& meter) {
    if (meter.counts.decoded == decodedSeen_) return;
    decodedSeen_ = meter.counts.decoded;
    since_.start();
    last_.decoded = true;
    last_.reading = meter.reading;
    last_.continuity = meter.lcd.on(Ind::LCDFm);
}

ScpiReading MeterWatch::reading() const {
    ScpiReading r = last_;
    r.ageMs = r.decoded ? since_.elapsed() : 0;
    return r;
}

} // namespace dmm::scpi
