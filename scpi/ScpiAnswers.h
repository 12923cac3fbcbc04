// The answers of one program message, from a reading snapshot. Errors go to the client's queue.
//
// READ?, FETCh? and MEASure? give the reading in the base unit as +1.234500E-02 (a unit that has
// no base unit, such as W or RPM, as shown); an overload gives +9.9E+37; with no decoded frame in
// the last kStaleMs the answer is +9.91E+37 and -230 "Data corrupt or stale" is queued.
#pragma once

#include "ScpiErrorQueue.h"
#include "ScpiReading.h"

#include <QByteArray>
#include <QByteArrayView>

namespace dmm::scpi {

class ScpiAnswers {
public:
    static constexpr std::int64_t kStaleMs = 5000;

    // The answers of `line` joined by ';' with a final "\n"; empty when it asks nothing.
    static QByteArray answerLine(QByteArrayView line, const ScpiReading& now,
                                 ScpiErrorQueue& errors);

    // The single answers, without quotes or line end where none belong.
    static QByteArray measurement(const ScpiReading& now, ScpiErrorQueue& errors);
    static QByteArray configuration(const ScpiReading& now); // "VOLT:DC AUTO", with the quotes
    static QByteArray unit(const ScpiReading& now);          // "V", with the quotes
    static QByteArray identity();
    // A value in the answer form: sign, one digit, six decimals, two-digit exponent.
    static QByteArray scientific(double value);
};

} // namespace dmm::scpi
