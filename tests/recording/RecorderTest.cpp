#include "Recorder.h"
#include "RecallClock.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <vector>

namespace dmm {
namespace {

struct FakeChart : ChartFeed {
    std::vector<double> values;
    int AddValue(double v) override {
        values.push_back(v);
        return static_cast<int>((values.size() - 1) / 100) + 1;
    }
};

CurrentReading reading(const char* value, double count, const char* dcAc = "DC",
                       const char* unit = "V", const char* range = "AUTO",
                       const char* judge = "pass") {
    CurrentReading r;
    r.ValueText = value;
    r.NumericValue = count;
    r.DcAc = dcAc;
    r.UnitText = unit;
    r.RangeMode = range;
    r.Judge = judge;
    return r;
}

const QDateTime kNow(QDate(2026, 12, 9), QTime(9, 5, 7, 250));

class RecorderTest : public ::testing::Test {
protected:
    ReadingsTable table;
    FakeChart chart;
    Recorder rec{table, &chart};
    void SetUp() override {
        rec.setClock([] { return kNow; });
        rec.setTimeSeparator(QStringLiteral(":"));
    }
    std::vector<int> numbers() const {
        std::vector<int> n;
        for (int i = 0; i < table.size(); ++i) n.push_back(*table.integer(i, Field::No));
        return n;
    }
};

TEST_F(RecorderTest, AppendsEveryFieldAndPlotsTheValue) {
    RecordResult r =
        rec.INDataToTable(reading("-1.2345", -12345, "AC+DC", "mV", "", "Fail"), true, false);
    EXPECT_EQ(r.outcome, RecordOutcome::Appended);
    EXPECT_EQ(r.currentPage, 1);
    ASSERT_EQ(table.size(), 1);
    RowData expected = test::makeRow(1, "09:05:07", "AC+DC", "-1.2345", "mV", "Fail", -12345);
    expected.recordedAt = kNow;
    expected.rangeMode = QStringLiteral("MANU");
    EXPECT_EQ(table.row(0), expected);
    EXPECT_EQ(table.recordedAt(0), kNow);
    EXPECT_EQ(chart.values, std::vector<double>{-12345});
    EXPECT_EQ(rec.NextRecordNo(), 2);
    EXPECT_EQ(rec.RecordedCount(), 1);
    EXPECT_EQ(rec.LastRecordedKey(), "-1.2345AC+DCmV");
}

TEST_F(RecorderTest, WithoutRepeatEqualReadingsLeaveGapsInTheNumbers) {
    // Steady display: 1.000 offered three times, then 2.000, then 2.000 with another verdict.
    const CurrentReading a = reading("1.000", 1000);
    const CurrentReading b = reading("2.000", 2000);
    CurrentReading bFail = b;
    bFail.Judge = "Fail";
    for (const CurrentReading* r :
         std::initializer_list<const CurrentReading*>{&a, &a, &a, &b, &bFail, &a})
        rec.INDataToTable(*r, false, false);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 4, 6}));
    EXPECT_EQ(rec.NextRecordNo(), 7);
    EXPECT_EQ(rec.RecordedCount(), 3);
    EXPECT_EQ(chart.values, (std::vector<double>{1000, 2000, 1000}));
    EXPECT_EQ(rec.INDataToTable(a, false, false).outcome, RecordOutcome::Duplicate);
    // The range text is part of the key.
    EXPECT_EQ(rec.INDataToTable(reading("1.000", 1000, "DC", "V", "MANU"), false, false).outcome,
              RecordOutcome::Appended);
}

TEST_F(RecorderTest, WithRepeatEveryOfferIsAppended) {
    const CurrentReading a = reading("1.000", 1000);
    for (int i = 0; i < 4; ++i) rec.INDataToTable(a, true, false);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(RecorderTest, RecordLimitStopsSilentlyUntilAClearOrALargerLimit) {
    rec.setRecordLimit(1000);
    for (int i = 0; i < 1005; ++i)
        rec.INDataToTable(reading(std::to_string(i).c_str(), i), true, false);
    EXPECT_EQ(table.size(), 1000);
    EXPECT_EQ(*table.integer(999, Field::No), 1000);
    EXPECT_EQ(rec.NextRecordNo(), 1001);
    EXPECT_EQ(rec.INDataToTable(reading("x", 1), true, false).outcome, RecordOutcome::LimitReached);
    EXPECT_EQ(chart.values.size(), 1000u);
    rec.setRecordLimit(5000);
    rec.INDataToTable(reading("y", 1), true, false);
    EXPECT_EQ(*table.integer(1000, Field::No), 1001);
    // A limit below the count stops at once; the rows stay.
    rec.setRecordLimit(10);
    EXPECT_EQ(rec.INDataToTable(reading("z", 1), true, false).outcome, RecordOutcome::LimitReached);
    EXPECT_EQ(table.size(), 1001);
}

TEST_F(RecorderTest, CloseDataRestartsNumberingButKeepsTheDuplicateKey) {
    rec.setRecordLimit(3);
    const CurrentReading a = reading("1.000", 1000);
    rec.INDataToTable(a, false, false);
    rec.INDataToTable(reading("2.000", 2000), false, false);
    rec.clear();
    EXPECT_TRUE(table.empty());
    EXPECT_EQ(rec.NextRecordNo(), 1);
    EXPECT_EQ(rec.RecordedCount(), 0);
    EXPECT_EQ(rec.RecordLimit(), 3);
    EXPECT_EQ(rec.INDataToTable(reading("2.000", 2000), false, false).outcome,
              RecordOutcome::Duplicate);
    rec.INDataToTable(a, false, false);
    EXPECT_EQ(numbers(), std::vector<int>{2});
}

// Numbering never wraps: the largest 32-bit number is given once, then recording stops as at the
// record limit, whether that number went to a row or to a suppressed duplicate.
TEST_F(RecorderTest, RecordNumbersStopAtTheLargestAndNeverWrap) {
    constexpr int kMax = std::numeric_limits<int>::max();
    struct Case {
        const char* name;
        bool repeat;
        std::vector<const char*> values; // offered in turn, starting at kMax - 1
        std::vector<int> numbers;        // the rows' numbers afterwards
    };
    const std::vector<Case> cases = {
        {"every reading", true, {"1", "2", "3", "4"}, {kMax - 1, kMax}},
        {"duplicate takes the last number", false, {"1", "1", "2"}, {kMax - 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ReadingsTable t;
        Recorder r(t);
        r.setRecordLimit(kLimitlessRecordLimit);
        r.setNextRecordNo(kMax - 1);
        std::vector<RecordOutcome> outcomes;
        for (const char* v : c.values)
            outcomes.push_back(r.INDataToTable(reading(v, 1), c.repeat, false).outcome);
        std::vector<int> got;
        for (int i = 0; i < t.size(); ++i) got.push_back(*t.integer(i, Field::No));
        EXPECT_EQ(got, c.numbers);
        EXPECT_EQ(outcomes.back(), RecordOutcome::LimitReached);
        EXPECT_TRUE(r.numbersUsedUp());
        EXPECT_EQ(r.NextRecordNo(), kMax);
        r.clear(); // as at the record limit, a clear starts again at 1
        EXPECT_FALSE(r.numbersUsedUp());
        EXPECT_EQ(r.INDataToTable(reading("5", 5), true, false).outcome, RecordOutcome::Appended);
        EXPECT_EQ(*t.integer(0, Field::No), 1);
    }
}

TEST_F(RecorderTest, LoadedRowsDoNotCountAgainstTheLimit) {
    rec.setRecordLimit(2);
    table.append(RowData{});
    table.append(RowData{});
    rec.INDataToTable(reading("1", 1), true, false);
    rec.INDataToTable(reading("2", 2), true, false);
    EXPECT_EQ(table.size(), 4);
}

TEST_F(RecorderTest, TimeStampsFromTheClockOrTheRecallStamp) {
    rec.setTimeSeparator(QStringLiteral("."));
    CurrentReading r = reading("1", 1);
    r.RecallStamp = 46000.0 + (23 * 3600 + 59 * 60 + 58) / 86400.0;
    rec.INDataToTable(r, true, false);
    rec.INDataToTable(r, true, true);
    r.RecallStamp = (1 * 3600 + 2 * 60 + 3) / 86400.0; // a time of day only
    rec.INDataToTable(r, true, true);
    EXPECT_EQ(table.text(0, Field::Time), QStringLiteral("09.05.07"));
    EXPECT_EQ(table.text(1, Field::Time), QStringLiteral("23.59.58"));
    EXPECT_EQ(table.text(2, Field::Time), QStringLiteral("01.02.03"));
    // The clock's rows carry their date and time to the millisecond; the recall clock's made-up
    // times of day carry none.
    EXPECT_EQ(table.recordedAt(0), kNow);
    EXPECT_FALSE(table.recordedAt(1).isValid());
    EXPECT_FALSE(table.recordedAt(2).isValid());
}

TEST_F(RecorderTest, AHeldBackReadingKeepsTheDateAndTimeItCameAt) {
    const QDateTime came(QDate(2026, 12, 8), QTime(23, 59, 59, 999));
    rec.INDataToTable(reading("1", 1), true, false, came);
    EXPECT_EQ(table.text(0, Field::Time), QStringLiteral("23:59:59"));
    EXPECT_EQ(table.recordedAt(0), came);
}

TEST_F(RecorderTest, AClockOfTimesOfDayDatesItsRowsToday) {
    rec.setClock([] { return QTime(9, 5, 7); });
    rec.INDataToTable(reading("1", 1), true, false);
    EXPECT_EQ(table.recordedAt(0).time(), QTime(9, 5, 7));
    EXPECT_LE(std::abs(table.recordedAt(0).date().daysTo(QDate::currentDate())), 1);
}

TEST(RecorderRules, NumericValueIsStoredAsA32BitCount) {
    ReadingsTable t;
    Recorder rec(t);
    for (double v : {-20001.0, 0.0, 40000.0, 1e12, -1e12})
        rec.INDataToTable(reading("1", v), true, false);
    EXPECT_EQ(t.integer(0, Field::Nval), -20001);
    EXPECT_EQ(t.integer(2, Field::Nval), 40000);
    EXPECT_EQ(t.integer(3, Field::Nval), 2147483647);
    EXPECT_EQ(t.integer(4, Field::Nval), -2147483647 - 1);
}

TEST(RecorderRules, SamplingIntervalText) {
    struct Case {
        const char* text;
        const char* shown;
        int ms;
    } cases[] = {
        {"1", "1", 1000},           {"5", "5", 5000},
        {"0", "1", 1000},           {"", "1", 1000},
        {"00", "1", 1000},          {"07", "07", 7000},
        {"abc", "1", 1000},         {"-3", "1", 1000},
        {"99999999999", "1", 1000}, {"2147483", "2147483", 2147483000},
    };
    for (const Case& c : cases) {
        SamplingInterval s = RecordSITimeChange(QString::fromLatin1(c.text));
        EXPECT_EQ(s.text, QLatin1String(c.shown)) << c.text;
        EXPECT_EQ(s.intervalMs, c.ms) << c.text;
    }
}

TEST(RecorderRules, DigitKeyFilter) {
    for (char c = '0'; c <= '9'; ++c) EXPECT_TRUE(RecordSITimeKeyPress(QLatin1Char(c)));
    EXPECT_TRUE(RecordSITimeKeyPress(QLatin1Char('\b')));
    for (char c : {'-', '+', '.', ',', 'a', ' ', '\r', '\x7f'})
        EXPECT_FALSE(RecordSITimeKeyPress(QLatin1Char(c))) << int(c);
}

TEST(RecorderRules, TimeStampFormat) {
    EXPECT_EQ(formatTimeStamp(QTime(0, 0, 0), QStringLiteral(":")), QStringLiteral("00:00:00"));
    EXPECT_EQ(formatTimeStamp(QTime(23, 4, 5), QStringLiteral(":")), QStringLiteral("23:04:05"));
    EXPECT_EQ(systemTimeSeparator().size(), 1);
}

} // namespace
} // namespace dmm
