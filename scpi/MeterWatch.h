// The reading the server answers from, kept apart from the meter: the owner calls look() after
// frames may have been decoded (the window on readingDecoded, dmm log after each chunk of the
// port), and a changed count of decoded frames takes a copy of the reading and stamps the time.
#pragma once

#include "Meter.h"
#include "ScpiReading.h"

#include <QElapsedTimer>

#include <cstdint>

namespace dmm::scpi {

class MeterWatch {
public:
    void look(const Meter& meter);
    // The last decoded reading and its age now.
    ScpiReading reading() const;

private:
    std::uint64_t decodedSeen_ = 0;
    QElapsedTimer since_;
    ScpiReading last_;
};

} // namespace dmm::scpi
