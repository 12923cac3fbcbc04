// The recording trigger on its own, driven by a script of offers, armings and clock moves, with
// the clock as the seam: which offers go on to the recorder, in which order, and when it stops.
#include "RecordingTrigger.h"
#include "ShownValue.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace dmm {
namespace {

using Reader = std::string (*)(std::string_view, TriggerSettings&);

struct Case {
    const char* name;
    std::vector<std::pair<Reader, const char*>> settings;
    // Words: "arm", "clear", "tick", "@HH:MM:SS" (the clock moves on to that time of day),
    // "+N" (N seconds on); anything else is a reading offered a second after the one before:
    // its display and unit code ("0.5V", "3*" ohm, "25#" degC, "LV" an overload).
    const char* script;
    // The offers passed on, by their number in the script from 0, and "stop" where it stopped.
    const char* passed;
    const char* state;
};

CurrentReading reading(const std::string& word) {
    CurrentReading r;
    r.ValueText = word.substr(0, word.size() - 1);
    r.UnitText = word.substr(word.size() - 1);
    r.DcAc = "DC";
    r.measurement = readMeasurement(r.ValueText, r.UnitText, r.DcAc);
    return r;
}

TEST(RecordingTrigger, PassesExactlyTheOffersItShould) {
    const Case cases[] = {
        {"rises: the readings before it, then the crossing",
         {{readStartWhen, "rises above 1 V"}, {readPretrigger, "2"}},
         "arm 0.5V 0.6V 0.7V 1.5V 2V",
         "1 2 3 4",
         "recording"},
        {"rises: a stream that starts above waits for it to come down and go up",
         {{readStartWhen, "rises above 1 V"}, {readPretrigger, "1"}},
         "arm 2V 3V 0.5V 1.5V",
         "2 3",
         "recording"},
        {"rises: another base unit and no number leave the comparison; the ring keeps them",
         {{readStartWhen, "rises above 1 V"}, {readPretrigger, "5"}},
         "arm 0.5V 3* LV 1.5V",
         "0 1 2 3",
         "recording"},
        {"rises: the threshold in another prefix",
         {{readStartWhen, "rises above 500 mV"}},
         "arm 0.4V 0.5V 0.6V",
         "2",
         "recording"},
        {"falls below 20 degC",
         {{readStartWhen, "falls below 20 degC"}},
         "arm 19# 25# 20# 19.5#",
         "3",
         "recording"},
        {"the ring holds the last K only",
         {{readStartWhen, "rises above 1 V"}, {readPretrigger, "2"}},
         "arm 0.1V 0.2V 0.3V 0.4V 1.5V",
         "2 3 4",
         "recording"},
        {"stop after N counts from the trigger reading on, not the ring",
         {{readStartWhen, "rises above 1 V"}, {readPretrigger, "2"}, {readStopAfter, "3"}},
         "arm 0.5V 0.6V 1.5V 2V 3V 4V",
         "0 1 2 3 4 stop",
         "stopped after 3 readings"},
        {"not armed: nothing passes",
         {{readStartWhen, "rises above 1 V"}},
         "0.5V 1.5V",
         "",
         "set, waits for a connect"},
        {"a reconnect while recording neither restarts nor re-arms",
         {{readStartWhen, "rises above 1 V"}, {readStopAfter, "2"}},
         "arm 0.5V 1.5V arm 0.5V 2V 1.5V",
         "1 2 stop",
         "stopped after 2 readings"},
        {"after a stop a connect arms again only after Close Data",
         {{readStartWhen, "rises above 1 V"}, {readStopAfter, "1"}},
         "arm 0.5V 1.5V arm 0.5V 1.5V clear arm 0.5V 1.5V",
         "1 stop 5 stop",
         "stopped after 1 reading"},
        {"at a time of day: the first reading at or after it",
         {{readStartAt, "22:00"}, {readPretrigger, "1"}},
         "@21:59:57 arm 1V 1V 1V 1V",
         "1 2 3",
         "recording"},
        {"at a time of day already past: the next day's",
         {{readStartAt, "21:00"}},
         "@22:00:00 arm 1V +3600 1V",
         "",
         "waiting for 21:00"},
        {"after a delay from the arming",
         {{readStartAfter, "10s"}},
         "@10:00:00 arm 1V +7 1V 1V",
         "2",
         "recording"},
        {"a night: 22:00 to 06:00, the stop at the first reading at or after it",
         {{readStartAt, "22:00"}, {readStopAt, "06:00"}},
         "@21:59:59 arm 1V 1V @05:59:58 1V 1V 1V",
         "0 1 2 stop",
         "stopped at 06:00"},
        {"a stop by time comes due without a reading",
         {{readStopAfter, "5s"}},
         "@10:00:00 arm 1V tick +10 tick 1V",
         "0 stop",
         "stopped after 5s"},
        {"a duration's stop at a reading",
         {{readStopAfter, "2s"}},
         "@10:00:00 arm 1V 1V 1V 1V",
         "0 1 stop",
         "stopped after 2s"},
    };
    for (const Case& c : cases) {
        TriggerSettings s;
        for (const auto& [read, text] : c.settings) ASSERT_EQ(read(text, s), "") << c.name;
        QDateTime now(QDate(2026, 3, 1), QTime(12, 0));
        RecordingTrigger trigger(s, [&now] { return now; });
        QStringList passed;
        std::map<QDateTime, int> offeredAt;
        int n = 0;
        for (const QString& w : QString::fromLatin1(c.script).split(' ', Qt::SkipEmptyParts)) {
            const std::string word = w.toStdString();
            if (w == "arm") {
                trigger.arm();
            } else if (w == "clear") {
                trigger.cleared();
            } else if (w == "tick") {
                if (trigger.tick()) passed << "stop";
            } else if (w.startsWith('@')) {
                const QTime t = QTime::fromString(w.mid(1), u"HH:mm:ss");
                now = QDateTime(t < now.time() ? now.date().addDays(1) : now.date(), t);
            } else if (w.startsWith('+')) {
                now = now.addSecs(w.mid(1).toInt());
            } else {
                now = now.addSecs(1);
                offeredAt[now] = n++;
                RecordingTrigger::Passed p = trigger.offer({reading(word), true, false, now});
                for (const RecordingTrigger::Offer& o : p.offers)
                    passed << QString::number(offeredAt.at(o.takenAt));
                if (p.stop) passed << "stop";
            }
        }
        EXPECT_EQ(passed.join(' ').toStdString(), c.passed) << c.name;
        EXPECT_EQ(trigger.stateText().toStdString(), c.state) << c.name;
    }
}

TEST(RecordingTrigger, BadTextsSayWhatWasExpected) {
    const std::pair<Reader, const char*> cases[] = {
        {readStartAt, "25:00"},
        {readStartAt, "22"},
        {readStartAt, "22:00:60"},
        {readStartAfter, "10"},
        {readStartAfter, "0s"},
        {readStartAfter, "9000h"},
        {readStartWhen, "above 1 V"},
        {readStartWhen, "rises above 1"},
        {readStartWhen, "rises below 1 V"},
        {readStartWhen, "rises above 1 V now"},
        {readPretrigger, "10001"},
        {readPretrigger, "-1"},
        {readStopAfter, "0"},
        {readStopAfter, "2d"},
        {readStopAt, "6"},
    };
    for (const auto& [read, text] : cases) {
        TriggerSettings s;
        const std::string error = read(text, s);
        EXPECT_TRUE(error.find("expected") != std::string::npos) << text << ": " << error;
        EXPECT_FALSE(s.isSet()) << text;
    }
}

} // namespace
} // namespace dmm
