// A reading as a number a program can use: the display text and the unit code of a readings-table
// row turned into a value in the base unit (12.345 mV -> 0.012345 V), written as exact decimal
// text. The point is moved digit by digit, never through a binary double, so "0.1" stays 0.1 and
// a value keeps every digit the meter showed and no more.
//
// Known unit codes (the LCD annunciator font's codes, see UnitSymbols.h):
//   V mV | A mA uA | * k* M* | F nF uF mF | Hz kHz MHz | % | # (°C) | ? (°F)
//   & and &* (continuity) read as Ω; ) and )V (diode) read as V.
// Any other code (W, RPM, mA%, a text from a foreign file) is not converted: `unit` keeps it as
// stored and `value` and `baseUnit` are empty.
//
// The display text is read as an optional sign, digits and at most one decimal separator, '.' or
// ',' (the decoders put the locale's separator there). Anything else, an overload display ("L0.",
// "-.0L") above all, gives no value.
#pragma once

#include <QString>
#include <QStringView>

namespace dmm {

struct BaseUnitValue {
    // The display text with '.' as its separator ("-1,2345" -> "-1.2345", "-,0L" -> "-.0L"); a
    // text that is not a display form (letters other than the overload L, two separators) as
    // stored.
    QString display;
    // The unit in Unicode: "V", "mV", "µA", "kΩ", "°C" ...; an unknown code as stored.
    QString unit;
    // The value in the base unit, shortest exact form: no leading zeros, no trailing zeros after
    // the point, no point without a fraction, "0" for any zero ("12.345"/"mV" -> "0.012345",
    // "20.000"/"k*" -> "20000", "-0.000"/"V" -> "0"). Empty for an overload, a text that is not
    // a number, or an unknown unit.
    QString value;
    // "V", "A", "Ω", "F", "Hz", "%", "°C" or "°F"; empty where `value` is.
    QString baseUnit;

    static BaseUnitValue fromDisplay(QStringView displayText, QStringView unitCode);
    // True for a meter display form: an optional sign first, then digits, the overload L and at
    // most one separator ('.' or ',').
    static bool isDisplayForm(QStringView text);
};

} // namespace dmm
