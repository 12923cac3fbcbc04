#include "BaseUnitValue.h"

#include <optional>

namespace dmm {

namespace {

struct KnownUnit {
    const char* code;
    const char* unit;     // UTF-8
    const char* baseUnit; // UTF-8
    int exponent;         // value in base unit = display × 10^exponent
};

// The codes the decoders of every family write, and what they read as.
constexpr KnownUnit kUnits[] = {
    {"V", "V", "V", 0},
    {"mV", "mV", "V", -3},
    {"A", "A", "A", 0},
    {"mA", "mA", "A", -3},
    {"uA", "\u00B5A", "A", -6},
    {"*", "\u03A9", "\u03A9", 0},
    {"k*", "k\u03A9", "\u03A9", 3},
    {"M*", "M\u03A9", "\u03A9", 6},
    {"F", "F", "F", 0},
    {"nF", "nF", "F", -9},
    {"uF", "\u00B5F", "F", -6},
    {"mF", "mF", "F", -3},
    {"Hz", "Hz", "Hz", 0},
    {"kHz", "kHz", "Hz", 3},
    {"MHz", "MHz", "Hz", 6},
    {"%", "%", "%", 0},
    {"#", "\u00B0C", "\u00B0C", 0},
    {"?", "\u00B0F", "\u00B0F", 0},
    // Continuity shows a resistance, the diode test a voltage; the symbols are only annunciators.
    {"&", "\u03A9", "\u03A9", 0},
    {"&*", "\u03A9", "\u03A9", 0},
    {")", "V", "V", 0},
    {")V", "V", "V", 0},
};

const KnownUnit* findUnit(QStringView code) {
    for (const KnownUnit& u : kUnits)
        if (code == QLatin1String(u.code)) return &u;
    return nullptr;
}

bool isSeparator(QChar c) {
    return c == QLatin1Char('.') || c == QLatin1Char(',');
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

bool BaseUnitValue::isDisplayForm(QStringView text) {
    int separators = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'))) continue;
        if (isSeparator(c))
            ++separators;
        else if (!isDigit(c) && c != QLatin1Char('L'))
            return false;
    }
    return separators <= 1;
}

namespace {

// A number as shown: its sign, all its digits, and how many of them stand before the separator.
struct ShownNumber {
    bool negative = false;
    QString digits;
    qsizetype wholeDigits = 0;
};

std::optional<ShownNumber> readShownNumber(QStringView text) {
    ShownNumber n;
    qsizetype i = 0;
    if (!text.isEmpty() && (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+'))) {
        n.negative = text[0] == QLatin1Char('-');
        i = 1;
    }
    bool separatorSeen = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            n.digits += c;
            if (!separatorSeen) ++n.wholeDigits;
        } else if (isSeparator(c) && !separatorSeen) {
            separatorSeen = true;
        } else {
            return std::nullopt;
        }
    }
    if (n.digits.isEmpty()) return std::nullopt;
    return n;
}

// The digits with the separator moved `exponent` places to the right, in shortest form.
QString shiftedDecimal(const ShownNumber& n, int exponent) {
    QString digits = n.digits;
    qsizetype point = n.wholeDigits + exponent;
    if (point < 0) {
        digits.prepend(QString(-point, QLatin1Char('0')));
        point = 0;
    }
    if (point > digits.size()) digits.append(QString(point - digits.size(), QLatin1Char('0')));
    QString whole = digits.left(point);
    QString fraction = digits.mid(point);
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0'))) whole.remove(0, 1);
    if (whole.isEmpty()) whole = QStringLiteral("0");
    while (fraction.endsWith(QLatin1Char('0'))) fraction.chop(1);
    const bool zero = whole == QLatin1String("0") && fraction.isEmpty();
    QString out = (n.negative && !zero) ? QStringLiteral("-") : QString();
    out += whole;
    if (!fraction.isEmpty()) out += QLatin1Char('.') + fraction;
    return out;
}

} // namespace

BaseUnitValue BaseUnitValue::fromDisplay(QStringView displayText, QStringView unitCode) {
    BaseUnitValue v;
    v.display = displayText.toString();
    if (isDisplayForm(displayText)) v.display.replace(QLatin1Char(','), QLatin1Char('.'));
    const KnownUnit* unit = findUnit(unitCode);
    if (!unit) {
        v.unit = unitCode.toString();
        return v;
    }
    v.unit = QString::fromUtf8(unit->unit);
    if (const auto number = readShownNumber(displayText)) {
        v.value = shiftedDecimal(*number, unit->exponent);
        v.baseUnit = QString::fromUtf8(unit->baseUnit);
    }
    return v;
}

} // namespace dmm
