#include "RecallClock.h"

#include <gtest/gtest.h>

#include <vector>

namespace dmm {
namespace {

QString stamp(const CurrentReading& r) {
    return recallStampTime(r.RecallStamp).toString("HH:mm:ss");
}

std::vector<QString> step(RecallClock& clock, const char* interval, int frames) {
    std::vector<QString> out;
    CurrentReading r;
    for (int i = 0; i < frames; ++i) {
        clock.RecallStep(r, true, QString::fromLatin1(interval));
        out.push_back(stamp(r));
    }
    return out;
}

RecallClock startingAt(const char* h, const char* m, const char* s) {
    RecallClock c;
    c.RecallCheckExit({QString::fromLatin1(h), QString::fromLatin1(m), QString::fromLatin1(s)});
    return c;
}

TEST(RecallStep, ArithmeticAndWrapAround) {
    struct Case {
        const char* h;
        const char* m;
        const char* s;
        const char* interval;
        std::vector<QString> stamps;
    } cases[] = {
        {"23", "59", "59", "1", {"00:00:00", "00:00:01"}},
        {"10", "00", "00", "90", {"10:01:30", "10:03:00", "10:04:30"}},
        {"00", "00", "00", "3600", {"01:00:00", "02:00:00"}},
        {"23", "30", "00", "3600", {"00:30:00"}},
        {"12", "00", "00", "86400", {"12:00:00"}},
        {"12", "00", "00", "86401", {"12:00:01"}},
        {"12", "00", "00", "0", {"12:00:00", "12:00:00"}},
        {"12", "00", "00", "", {"12:00:00"}}, // empty interval: no step
        {"00", "00", "00", "99999999999999999999", {"09:46:39"}},
    };
    for (const Case& c : cases) {
        RecallClock clock = startingAt(c.h, c.m, c.s);
        EXPECT_EQ(step(clock, c.interval, static_cast<int>(c.stamps.size())), c.stamps)
            << c.h << ":" << c.m << ":" << c.s << " + " << c.interval;
    }
}

TEST(RecallStep, ModeOffTakesTheCurrentDateAndTime) {
    RecallClock clock;
    const QDateTime now(QDate(2026, 12, 9), QTime(8, 15, 30));
    clock.setClock([&] { return now; });
    CurrentReading r;
    clock.RecallStep(r, false, QStringLiteral("5"));
    EXPECT_DOUBLE_EQ(r.RecallStamp, toRecallStamp(now));
    EXPECT_EQ(stamp(r), QStringLiteral("08:15:30"));
    EXPECT_EQ(static_cast<long long>(r.RecallStamp), QDate(1899, 12, 30).daysTo(now.date()));
    EXPECT_EQ(clock.seconds(), 0); // the clock did not move
}

TEST(RecallCheckClick, SetsTheFieldsAndLoadsTheClock) {
    RecallClock clock;
    StartTimeFields on = clock.RecallCheckClick(true);
    EXPECT_EQ(on.hours, QStringLiteral("00"));
    EXPECT_EQ(on.minutes, QStringLiteral("00"));
    EXPECT_EQ(on.seconds, QStringLiteral("00"));
    EXPECT_EQ(clock.hours() + clock.minutes() + clock.seconds(), 0);
    StartTimeFields off = clock.RecallCheckClick(false);
    EXPECT_EQ(off.hours, QStringLiteral("23"));
    EXPECT_EQ(off.minutes, QStringLiteral("59"));
    EXPECT_EQ(off.seconds, QStringLiteral("59"));
    EXPECT_EQ(clock.hours(), 23);
    EXPECT_EQ(clock.minutes(), 59);
    EXPECT_EQ(clock.seconds(), 59);
}

TEST(TimeHKeyUp, OutOfRangeFieldsGiveInputErrorAndBecome00) {
    RecallClock clock = startingAt("01", "02", "03");
    StartTimeFields f{QStringLiteral("24"), QStringLiteral("30"), QStringLiteral("60")};
    QStringList messages = clock.TimeHKeyUp(f);
    EXPECT_EQ(messages,
              QStringList({QStringLiteral("Input error!"), QStringLiteral("Input error!")}));
    EXPECT_EQ(f.hours, QStringLiteral("00"));
    EXPECT_EQ(f.minutes, QStringLiteral("30"));
    EXPECT_EQ(f.seconds, QStringLiteral("00"));
    // The counters of the bad fields are unchanged until the next key release reads "00".
    EXPECT_EQ(clock.hours(), 1);
    EXPECT_EQ(clock.minutes(), 30);
    EXPECT_EQ(clock.seconds(), 3);
    EXPECT_TRUE(clock.TimeHKeyUp(f).isEmpty());
    EXPECT_EQ(clock.hours(), 0);
    EXPECT_EQ(clock.seconds(), 0);
}

TEST(TimeHKeyUp, EmptyFieldKeepsItsCounterQuietly) {
    RecallClock clock = startingAt("05", "06", "07");
    StartTimeFields f{QString(), QStringLiteral("9"), QString()};
    EXPECT_TRUE(clock.TimeHKeyUp(f).isEmpty());
    EXPECT_EQ(clock.hours(), 5);
    EXPECT_EQ(clock.minutes(), 9);
    EXPECT_EQ(clock.seconds(), 7);
    EXPECT_EQ(f.hours, QString());
}

TEST(RecallCheckExit, IgnoresFieldsThatAreNoTime) {
    RecallClock clock = startingAt("05", "06", "07");
    clock.RecallCheckExit({QStringLiteral("99"), QString(), QStringLiteral("59")});
    EXPECT_EQ(clock.hours(), 5);
    EXPECT_EQ(clock.minutes(), 6);
    EXPECT_EQ(clock.seconds(), 59);
}

TEST(RecallStamp, TimeOfDayOfStamps) {
    EXPECT_EQ(recallStampTime(0.5), QTime(12, 0, 0));
    EXPECT_EQ(recallStampTime(46000.75), QTime(18, 0, 0));
    EXPECT_EQ(recallStampTime(-1.25), QTime(6, 0, 0));
    EXPECT_EQ(recallStampTime(0.999999999), QTime(23, 59, 59));
    EXPECT_EQ(recallStampTime(std::nan("")), QTime(0, 0, 0));
}

} // namespace
} // namespace dmm
