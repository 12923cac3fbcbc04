// The reading the server answers from, kept apart from the meter: an output of the recording
// pipeline that takes a copy of each decoded reading and stamps the time it came.
#pragma once

#include "ReadingSink.h"
#include "ScpiReading.h"

#include <QElapsedTimer>

namespace dmm::scpi {

class MeterWatch : public ReadingSink {
public:
    void readingDecoded(const CurrentReading& reading) override;
    // The last decoded reading and its age now.
    ScpiReading reading() const;

private:
    QElapsedTimer since_;
    ScpiReading last_;
};

} // namespace dmm::scpi
