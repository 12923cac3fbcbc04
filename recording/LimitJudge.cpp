#include "LimitJudge.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace dmm {

namespace {
// strtod follows the C library's LC_NUMERIC, which the application sets from the environment: in
// a German locale it would stop at the '.' of the text built below and read 12.5 as 12. The
// number is read in the C locale whatever the process's locale is.
double strtodC(const char* text) {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return ::strtod_l(text, nullptr, c);
}
} // namespace

double readNumber(QStringView text, QChar sep) {
    // Typed limits and display texts are short; a longer text is no number anyone typed, and the
    // bound keeps the copy below small.
    if (text.size() > 256) return kInvalidNumberMarker;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto blank = [&](qsizetype k) { return k < n && text[k] == QLatin1Char(' '); };
    auto digit = [&](qsizetype k) {
        return k < n && text[k] >= QLatin1Char('0') && text[k] <= QLatin1Char('9');
    };
    std::string c; // the same number in the C locale's syntax, for strtod
    while (blank(i)) ++i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        c += static_cast<char>(text[i++].unicode());
    int digits = 0;
    while (digit(i)) {
        c += static_cast<char>(text[i++].unicode());
        ++digits;
    }
    if (i < n && text[i] == sep) {
        c += '.';
        ++i;
        while (digit(i)) {
            c += static_cast<char>(text[i++].unicode());
            ++digits;
        }
    }
    if (digits == 0) return kInvalidNumberMarker;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        c += 'e';
        ++i;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            c += static_cast<char>(text[i++].unicode());
        if (!digit(i)) return kInvalidNumberMarker;
        while (digit(i)) c += static_cast<char>(text[i++].unicode());
    }
    while (blank(i)) ++i;
    if (i != n) return kInvalidNumberMarker;
    const double v = strtodC(c.c_str());
    if (!std::isfinite(v)) return kInvalidNumberMarker;
    return v;
}

Verdict LimitJudge::JudgeReading(CurrentReading& reading, const QString& highText,
                                 const QString& lowText) const {
    Verdict out;
    out.valueText = QString::fromUtf8(reading.ValueText.data(),
                                      static_cast<qsizetype>(reading.ValueText.size()));
    const double hi = readNumber(highText, sep_);
    const double lo = readNumber(lowText, sep_);
    if (hi == kInvalidNumberMarker || lo == kInvalidNumberMarker) return out;
    const double v = readNumber(out.valueText, sep_);
    out.judged = true;
    out.pass = v != kInvalidNumberMarker && lo <= v && v <= hi;
    const QColor colour = out.pass ? kPassColor : kFailColor;
    out.valueBackground = colour;
    out.shapeFill = colour;
    out.judgeBackground = colour;
    out.judgeText = out.pass ? QStringLiteral("Pass") : QStringLiteral("Fail");
    reading.Judge = out.pass ? "pass" : "Fail";
    return out;
}

bool LimitJudge::LimitKeyPress(QStringView fieldText, QChar key) const {
    if (key == sep_) return !fieldText.contains(sep_);
    if (key >= QLatin1Char('0') && key <= QLatin1Char('9')) return true;
    switch (key.unicode()) {
    case '\b':
    case '+':
    case '-':
    case '\'':
    case '`':
        return true;
    default:
        return false;
    }
}

QString LimitJudge::validate(const QString& text, QString& lastValid) const {
    const QString kept = isNumber(text, sep_) ? text : lastValid;
    lastValid = kept;
    return kept;
}

QString LimitJudge::Timer3Timer(const QString& text) {
    return validate(text, lastValidHigh_);
}
QString LimitJudge::Timer4Timer(const QString& text) {
    return validate(text, lastValidLow_);
}

} // namespace dmm
