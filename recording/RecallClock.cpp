#include "RecallClock.h"

#include <QDate>

#include <cmath>

namespace dmm {

namespace {
constexpr int kSecondsPerDay = 86400;
const QDate kStampEpoch(1899, 12, 30);

// A field as a number in 0..limit; nullopt when empty, not digits, or beyond the limit.
std::optional<int> fieldValue(const QString& text, int limit, bool* overLimit = nullptr) {
    if (overLimit) *overLimit = false;
    if (text.isEmpty()) return std::nullopt;
    long long v = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
        if (v > limit) {
            if (overLimit) *overLimit = true;
            return std::nullopt;
        }
    }
    return static_cast<int>(v);
}

// The interval in seconds modulo one day, read digit by digit so that no length overflows.
int intervalModDay(const QString& text) {
    long long v = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
        v = (v * 10 + (c.unicode() - '0')) % kSecondsPerDay;
    }
    return static_cast<int>(v);
}
} // namespace

double toRecallStamp(const QDateTime& local) {
    const qint64 days = kStampEpoch.daysTo(local.date());
    const int ms = local.time().msecsSinceStartOfDay();
    return static_cast<double>(days) + ms / (1000.0 * kSecondsPerDay);
}

QTime recallStampTime(double stamp) {
    if (!std::isfinite(stamp)) return QTime(0, 0);
    // Days before the epoch count backwards while their time of day still runs forwards, so
    // the time is the magnitude of the fraction.
    double frac = std::fabs(stamp - std::trunc(stamp));
    auto ms = static_cast<long long>(std::llround(frac * 1000.0 * kSecondsPerDay));
    if (ms >= 1000LL * kSecondsPerDay) ms = 1000LL * kSecondsPerDay - 1;
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms / 1000 * 1000));
}

void RecallClock::RecallStep(CurrentReading& reading, bool recallChecked,
                             const QString& timeIntText) {
    if (!recallChecked) {
        reading.RecallStamp = toRecallStamp(now_ ? now_() : QDateTime::currentDateTime());
        return;
    }
    // Stepping one second at a time with the carries into minutes and hours, and hours past 23
    // back to 0, is the same as adding modulo one day while the counters are in range, which
    // load() keeps them.
    int total =
        (hours_ * 3600 + minutes_ * 60 + seconds_ + intervalModDay(timeIntText)) % kSecondsPerDay;
    hours_ = total / 3600;
    minutes_ = total / 60 % 60;
    seconds_ = total % 60;
    reading.RecallStamp = total / static_cast<double>(kSecondsPerDay);
}

void RecallClock::load(const StartTimeFields& f) {
    if (auto v = fieldValue(f.hours, 23)) hours_ = *v;
    if (auto v = fieldValue(f.minutes, 59)) minutes_ = *v;
    if (auto v = fieldValue(f.seconds, 59)) seconds_ = *v;
}

StartTimeFields RecallClock::RecallCheckClick(bool checked) {
    StartTimeFields f =
        checked ? StartTimeFields{QStringLiteral("00"), QStringLiteral("00"), QStringLiteral("00")}
                : StartTimeFields{QStringLiteral("23"), QStringLiteral("59"), QStringLiteral("59")};
    load(f);
    return f;
}

void RecallClock::RecallCheckExit(const StartTimeFields& fields) {
    load(fields);
}

QStringList RecallClock::TimeHKeyUp(StartTimeFields& fields) {
    QStringList messages;
    auto check = [&](QString& text, int limit, int& counter) {
        bool over = false;
        if (auto v = fieldValue(text, limit, &over)) {
            counter = *v;
        } else if (over) {
            messages << QString::fromLatin1(kInputErrorMessage);
            text = QStringLiteral("00");
        }
    };
    check(fields.hours, 23, hours_);
    check(fields.minutes, 59, minutes_);
    check(fields.seconds, 59, seconds_);
    return messages;
}

} // namespace dmm
