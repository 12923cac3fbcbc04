// The limit judge: each decoded Q32 reading against the low and high limit the user typed, the
// key filter of the two limit fields and their delayed validation.
//
// The window owns the controls (`T1HI`, `T1LO`, `T1VALUE`, `Shape1`, `judge`) and the timers
// `Timer3`/`Timer4` (single-shot 1000 ms, restarted on every change of their field); this class
// holds LastValidHigh/LastValidLow and the rules, and returns what the controls must show.
#pragma once

#include "Reading.h"

#include <QColor>
#include <QString>
#include <QStringView>

namespace dmm {

// What a text that is not a number reads as; a text that reads as exactly this is not a number.
inline constexpr double kInvalidNumberMarker = -999999;

// Reads `text` with the system's floating-point syntax: optional blanks, optional sign, digits
// with at most one `decimalSeparator` (at least one digit), an optional exponent ("e"/"E",
// optional sign, digits), optional blanks. Anything else, and a result that is not finite,
// reads as kInvalidNumberMarker.
double readNumber(QStringView text, QChar decimalSeparator);
inline bool isNumber(QStringView text, QChar sep) {
    return readNumber(text, sep) != kInvalidNumberMarker;
}

inline const QColor kPassColor{0, 128, 0};
inline const QColor kFailColor{255, 0, 0};

struct Verdict {
    bool judged = false; // false: a limit is not a number; nothing but T1VALUE changes
    bool pass = false;
    QString valueText;      // what `T1VALUE` shows (always set)
    QColor valueBackground; // `T1VALUE` background  } green RGB(0,128,0) for pass,
    QColor shapeFill;       // `Shape1` fill          } red RGB(255,0,0) for fail;
    QColor judgeBackground; // `judge` background     } invalid when !judged
    QString judgeText;      // `judge` caption: "Pass" or "Fail"
};

class LimitJudge {
public:
    explicit LimitJudge(QChar decimalSeparator = QLatin1Char('.')) : sep_(decimalSeparator) {}

    // The first character of LocaleDecimalSeparator.
    void setDecimalSeparator(QChar sep) { sep_ = sep; }
    QChar decimalSeparator() const { return sep_; }

    // JudgeReading: compares reading.ValueText with the limit texts (both inclusive) and, when
    // both limits are numbers, sets reading.Judge to "pass" or "Fail". A ValueText that is not a
    // number fails.
    Verdict JudgeReading(CurrentReading& reading, const QString& highText,
                         const QString& lowText) const;

    // `T1HIKeyPress` / `T1LOKeyPress`: may `key` be typed into a limit field holding
    // `fieldText`? Backspace ('\b'), digits, '+', '-', '\'', '`' and the decimal separator pass;
    // a second decimal separator does not.
    bool LimitKeyPress(QStringView fieldText, QChar key) const;

    // `Timer3Timer` / `Timer4Timer` (the field's timer fired): returns the text the field must
    // hold (the last accepted text if `fieldText` is not a number, else `fieldText`), which also
    // becomes the last accepted text. The window then stops the timer.
    QString Timer3Timer(const QString& highFieldText);
    QString Timer4Timer(const QString& lowFieldText);

    const QString& LastValidHigh() const { return lastValidHigh_; }
    const QString& LastValidLow() const { return lastValidLow_; }

private:
    QString validate(const QString& text, QString& lastValid) const;

    QChar sep_;
    QString lastValidHigh_ = QStringLiteral("6000");
    QString lastValidLow_ = QStringLiteral("-6000");
};

// Start texts of the limit fields.
inline constexpr const char* kDefaultHighLimit = "6000";
inline constexpr const char* kDefaultLowLimit = "-6000";

} // namespace dmm
