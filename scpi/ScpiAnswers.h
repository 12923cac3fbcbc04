// The answers of one program message, from a reading snapshot. Errors go to the client's queue.
//
// READ?, FETCh? and MEASure? give the reading in the base unit as +1.234500E-02 (a unit that has
// no base unit, such as W or RPM, as shown); an overload gives +9.9E+37; with no decoded frame in
// the last kStaleMs the answer is +9.91E+37 and -230 "Data corrupt or stale" is queued.
//
// CALCulate:AVERage:AVERage?, :MINimum?, :MAXimum?, :SDEViation? and :PTPeak? give the figure of
// the latest recorded row's group in its base unit in the same form, :COUNt? its count of numbers
// as an integer; with no such group (or no such figure: a standard deviation below two numbers)
// the answer is +9.91E+37 with -230 queued, like a stale reading.
#pragma once

#include "ScpiCommand.h"
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
    // One of the CALCulate:AVERage queries.
    static QByteArray statistic(ScpiCommandId id, const ScpiReading& now, ScpiErrorQueue& errors);
    // A value in the answer form: sign, one digit, six decimals, two-digit exponent.
    static QByteArray scientific(double value);
};

} // namespace dmm::scpi
