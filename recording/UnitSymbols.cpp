#include "UnitSymbols.h"

namespace dmm {

QString unitSymbols(QStringView unitCode) {
    QString out;
    out.reserve(unitCode.size() + 4);
    for (QChar c : unitCode) {
        switch (c.unicode()) {
        case '*':
            out += QChar(0x03A9);
            break; // Ω
        case '#':
            out += QStringLiteral("\u00B0C");
            break; // °C
        case '?':
            out += QStringLiteral("\u00B0F");
            break; // °F
        case '&':
            out += QStringLiteral("\u2022))");
            break; // •)) beeper
        case ')':
            out += QStringLiteral("\u25B6|");
            break; // ▶| diode
        case 'u':
            out += QChar(0x00B5);
            break; // µ
        default:
            out += c;
        }
    }
    return out;
}

QString unitSymbols(const std::string& unitCode) {
    return unitSymbols(QString::fromUtf8(unitCode.data(), static_cast<qsizetype>(unitCode.size())));
}

} // namespace dmm
