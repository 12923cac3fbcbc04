// The unit texts are kept in the character code of the meter's LCD annunciator font; that font
// is not on the system, so everything a user reads shows the symbols instead.
#pragma once

#include <QString>
#include <QStringView>

#include <string>

namespace dmm {

// "*" -> "Ω", "#" -> "°C", "?" -> "°F", "&" -> "•))" (continuity beeper), ")" -> "▶|" (diode),
// "u" -> "µ"; every other character stands for itself. All glyphs are in DejaVu Sans.
QString unitSymbols(QStringView unitCode);
QString unitSymbols(const std::string& unitCode); // a byte string as CurrentReading holds it

} // namespace dmm
