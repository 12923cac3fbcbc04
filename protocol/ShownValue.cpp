#include "ShownValue.h"

#include "UnitCode.h"

namespace dmm {

ShownValue::ShownValue(std::string& text, std::string_view separator)
    : text_(text), separator_(separator) {
    text_.clear();
}

void ShownValue::sign(std::string_view s) {
    text_.append(s);
    display_.append(s);
    negative_ = s == "-";
}

void ShownValue::place(std::string_view glyph) {
    text_.append(glyph);
    display_.append(glyph);
    for (char c : glyph) {
        if (c >= '0' && c <= '9') {
            digits_ += c;
            if (points_ > 0) ++fractionDigits_;
        } else if (c == 'L') {
            overload_ = true;
        } else {
            foreign_ = true;
        }
    }
}

void ShownValue::point(bool lit) {
    if (!lit) return;
    text_.append(separator_);
    display_ += '.';
    ++points_;
}

void ShownValue::overloadForm(std::string_view text) {
    text_.assign(text);
    display_.assign(text);
    digits_.clear();
    negative_ = false;
    overload_ = true;
    foreign_ = false;
    points_ = 0;
    fractionDigits_ = 0;
}

Measurement ShownValue::number() const {
    Measurement m;
    m.negative = negative_;
    // A text that is no display form stays as written, its separator included.
    m.display = foreign_ || points_ > 1 ? text_ : display_;
    if (foreign_ || points_ > 1)
        m.state = ValueState::NoNumber;
    else if (overload_)
        m.state = ValueState::Overload;
    else if (digits_.empty())
        m.state = ValueState::NoNumber;
    else
        m.state = ValueState::Number;
    if (m.state == ValueState::Number) {
        m.digits = digits_;
        m.exponent = -fractionDigits_;
    }
    return m;
}

Measurement ShownValue::measurement(std::string_view unitCode, std::string_view dcAc,
                                    std::string_view rangeMode, Quantity annunciated) const {
    Measurement m = number();
    completeMeasurement(m, unitCode, dcAc, rangeMode, annunciated);
    return m;
}

void completeMeasurement(Measurement& m, std::string_view unitCode, std::string_view dcAc,
                         std::string_view rangeMode, Quantity annunciated) {
    m.coupling = couplingOf(dcAc);
    m.rangeMode.assign(rangeMode);
    const UnitCode* u = findUnitCode(unitCode);
    // The diode test's own word, where a family writes one.
    if (annunciated == Quantity::None && dcAc == "Diode") annunciated = Quantity::Diode;
    m.quantity = annunciated != Quantity::None ? annunciated : u ? u->quantity : Quantity::None;
    if (!u) {
        m.unit.assign(unitCode);
        return;
    }
    m.unit.assign(u->unit);
    if (u->baseUnit.empty()) return;
    m.baseUnit.assign(u->baseUnit);
    m.hasBaseUnit = true;
    if (m.state == ValueState::Number) m.exponent += u->exponent;
}

bool isDisplayForm(std::string_view text) {
    int separators = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (i == 0 && (c == '-' || c == '+')) continue;
        if (c == '.' || c == ',')
            ++separators;
        else if ((c < '0' || c > '9') && c != 'L')
            return false;
    }
    return separators <= 1;
}

Measurement readMeasurement(std::string_view display, std::string_view unitCode,
                            std::string_view dcAc, std::string_view rangeMode) {
    std::string text;
    ShownValue shown(text, ".");
    std::size_t i = 0;
    if (!display.empty() && (display[0] == '-' || display[0] == '+')) {
        shown.sign(display.substr(0, 1));
        i = 1;
    }
    for (; i < display.size(); ++i) {
        const char c = display[i];
        if (c == '.' || c == ',')
            shown.point(true);
        else
            shown.place(display.substr(i, 1));
    }
    Measurement m = shown.measurement(unitCode, dcAc, rangeMode, Quantity::None);
    if (!isDisplayForm(display)) m.display.assign(display); // as stored
    return m;
}

} // namespace dmm
