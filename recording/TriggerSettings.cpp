#include "TriggerSettings.h"

#include <charconv>
#include <vector>

namespace dmm {

namespace {

constexpr const char* kTimeExpected = "a time of day HH:MM or HH:MM:SS, like 22:00 or 06:30:15";
constexpr const char* kDurationExpected =
    "a duration: a whole number with s, m or h, like 90s, 10m or 2h (at most a year)";
constexpr const char* kCrossingExpected =
    "'rises above X UNIT' or 'falls below X UNIT', like 'rises above 1 V'";

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// A whole number of at most nine digits, nothing else.
bool readWhole(std::string_view text, std::int64_t& out) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return true;
}

// Two digits (or one, for the hours) in 0..max.
bool readField(std::string_view text, int max, bool oneDigitTaken, int& out) {
    if (text.size() != 2 && !(oneDigitTaken && text.size() == 1)) return false;
    std::int64_t v = 0;
    if (!readWhole(text, v) || v > max) return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

std::string readTimeOfDay(std::string_view text, QTime& out) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t colon; (colon = text.find(':', from)) != std::string_view::npos;
         from = colon + 1)
        parts.push_back(text.substr(from, colon - from));
    parts.push_back(text.substr(from));
    int h = 0, m = 0, s = 0;
    if (parts.size() < 2 || parts.size() > 3 || !readField(parts[0], 23, true, h) ||
        !readField(parts[1], 59, false, m) ||
        (parts.size() == 3 && !readField(parts[2], 59, false, s)))
        return std::string("expected ") + kTimeExpected + ", not " + quoted(text);
    out = QTime(h, m, s);
    return {};
}

std::string readDuration(std::string_view text, std::int64_t& seconds) {
    const std::string error =
        std::string("expected ") + kDurationExpected + ", not " + quoted(text);
    if (text.size() < 2) return error;
    const char unit = text.back();
    const std::int64_t scale = unit == 's' ? 1 : unit == 'm' ? 60 : unit == 'h' ? 3600 : 0;
    std::int64_t n = 0;
    if (!scale || !readWhole(text.substr(0, text.size() - 1), n) || n == 0 ||
        n * scale > TriggerSettings::kMaxDurationSeconds)
        return error;
    seconds = n * scale;
    return {};
}

std::string readStartAt(std::string_view text, TriggerSettings& out) {
    QTime t;
    if (std::string e = readTimeOfDay(text, t); !e.empty()) return e;
    out.start = TriggerSettings::Start::AtTime;
    out.startTime = t;
    out.startText = qs(text);
    return {};
}

std::string readStartAfter(std::string_view text, TriggerSettings& out) {
    std::int64_t s = 0;
    if (std::string e = readDuration(text, s); !e.empty()) return e;
    out.start = TriggerSettings::Start::AfterDelay;
    out.startDelay = s;
    out.startText = qs(text);
    return {};
}

std::string readStartWhen(std::string_view text, TriggerSettings& out) {
    const std::vector<std::string_view> words = conditionWords(text);
    const std::string error =
        std::string("expected ") + kCrossingExpected + ", not " + quoted(text);
    if (words.size() < 3) return error;
    const bool rises = words[0] == "rises" && words[1] == "above";
    const bool falls = words[0] == "falls" && words[1] == "below";
    if (!rises && !falls) return error;
    std::size_t pos = 2;
    TypedQuantity q;
    if (std::string e = readTypedQuantity(words, pos, false, q); !e.empty()) return e;
    if (pos != words.size()) return "unexpected " + quoted(words[pos]) + " after the threshold";
    out.start = rises ? TriggerSettings::Start::RisesAbove : TriggerSettings::Start::FallsBelow;
    out.threshold = q;
    QStringList joined;
    for (std::string_view w : words) joined << qs(w);
    out.startText = joined.join(QLatin1Char(' '));
    return {};
}

std::string readPretrigger(std::string_view text, TriggerSettings& out) {
    std::int64_t n = 0;
    if (!readWhole(text, n) || n > TriggerSettings::kMaxPretrigger)
        return "expected a whole number of readings, 0 to 10000, not " + quoted(text);
    out.pretrigger = static_cast<int>(n);
    return {};
}

std::string readStopAfter(std::string_view text, TriggerSettings& out) {
    std::int64_t n = 0;
    if (readWhole(text, n)) {
        if (n < 1 || n > TriggerSettings::kMaxStopCount)
            return "expected a number of readings, 1 to 10000000, or " +
                   std::string(kDurationExpected) + ", not " + quoted(text);
        out.stop = TriggerSettings::Stop::AfterCount;
        out.stopCount = static_cast<int>(n);
    } else {
        std::int64_t s = 0;
        if (readDuration(text, s).empty()) {
            out.stop = TriggerSettings::Stop::AfterDuration;
            out.stopDuration = s;
        } else {
            return "expected a number of readings, 1 to 10000000, or " +
                   std::string(kDurationExpected) + ", not " + quoted(text);
        }
    }
    out.stopText = qs(text);
    return {};
}

std::string readStopAt(std::string_view text, TriggerSettings& out) {
    QTime t;
    if (std::string e = readTimeOfDay(text, t); !e.empty()) return e;
    out.stop = TriggerSettings::Stop::AtTime;
    out.stopTime = t;
    out.stopText = qs(text);
    return {};
}

QString TriggerSettings::startDescription() const {
    switch (start) {
    case Start::Now:
        return {};
    case Start::AtTime:
        return startText;
    case Start::AfterDelay:
        return startText + QStringLiteral(" to pass");
    case Start::RisesAbove:
    case Start::FallsBelow:
        return QStringLiteral("a reading that ") + startText;
    }
    return {};
}

QString TriggerSettings::stopDescription() const {
    switch (stop) {
    case Stop::Never:
        return {};
    case Stop::AfterCount:
        return QStringLiteral("after %1 reading%2").arg(stopCount).arg(stopCount == 1 ? "" : "s");
    case Stop::AfterDuration:
        return QStringLiteral("after ") + stopText;
    case Stop::AtTime:
        return QStringLiteral("at ") + stopText;
    }
    return {};
}

} // namespace dmm
