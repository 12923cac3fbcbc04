// When a recording starts and stops by itself: the settings of a RecordingTrigger, as dmm log's
// options and the window's dialog type them, and the readers of those texts. Each reader returns
// an empty text on success, otherwise what was expected.
#pragma once

#include "TypedQuantity.h"

#include <QString>
#include <QTime>

#include <cstdint>
#include <string>
#include <string_view>

namespace dmm {

struct TriggerSettings {
    enum class Start : std::uint8_t { Now, AtTime, AfterDelay, RisesAbove, FallsBelow };
    enum class Stop : std::uint8_t { Never, AfterCount, AfterDuration, AtTime };

    // At most this many readings before the trigger are kept.
    static constexpr int kMaxPretrigger = 10'000;
    static constexpr int kMaxStopCount = 10'000'000;
    static constexpr std::int64_t kMaxDurationSeconds = 8760LL * 3600; // a year

    Start start = Start::Now;
    QTime startTime;             // AtTime
    std::int64_t startDelay = 0; // AfterDelay, in seconds
    TypedQuantity threshold;     // RisesAbove, FallsBelow: threshold.low in the base unit
    int pretrigger = 0;          // readings kept from before the trigger
    Stop stop = Stop::Never;
    int stopCount = 0;             // AfterCount: readings from the trigger reading on
    std::int64_t stopDuration = 0; // AfterDuration, in seconds from the trigger reading
    QTime stopTime;                // AtTime
    // The texts as read, for the state ("22:00", "10m", "rises above 1 V").
    QString startText;
    QString stopText;

    // Anything but "record every reading from the connect on".
    bool isSet() const { return start != Start::Now || stop != Stop::Never || pretrigger > 0; }
    // "22:00", "10m", "a reading that rises above 1 V"; empty for Now.
    QString startDescription() const;
    // "after 100 readings", "after 2h", "at 06:00"; empty for Never.
    QString stopDescription() const;
};

// "HH:MM" or "HH:MM:SS", 24-hour.
std::string readTimeOfDay(std::string_view text, QTime& out);
// A whole number with s, m or h: "90s", "10m", "2h"; at most a year.
std::string readDuration(std::string_view text, std::int64_t& seconds);

// The readers of each setting; each sets its part of `out` only when the text is sound.
std::string readStartAt(std::string_view text, TriggerSettings& out);
std::string readStartAfter(std::string_view text, TriggerSettings& out);
// "rises above X UNIT" or "falls below X UNIT" (a unit as a condition's, "1 V", "20 degC").
std::string readStartWhen(std::string_view text, TriggerSettings& out);
// 0 to 10000.
std::string readPretrigger(std::string_view text, TriggerSettings& out);
// A count of readings ("100") or a duration ("90s", "10m", "2h").
std::string readStopAfter(std::string_view text, TriggerSettings& out);
std::string readStopAt(std::string_view text, TriggerSettings& out);

} // namespace dmm
