#include "ReadingsTable.h"
#include "TestSupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <malloc.h>

#include <gtest/gtest.h>

namespace dmm {
namespace {

using test::makeRow;

TEST(ReadingsTableFields, LookupIgnoresCase) {
    struct Case {
        const char* name;
        std::optional<Field> field;
    } cases[] = {
        {"No", Field::No},       {"Time", Field::Time},   {"DC/AC", Field::DcAc},
        {"Value", Field::Value}, {"Unit", Field::Unit},   {"AUTO", Field::Auto},
        {"Auto", Field::Auto},   {"Nval", Field::Nval},   {"NVAL", Field::Nval},
        {"dc/Ac", Field::DcAc},  {"dcac", std::nullopt},  {"", std::nullopt},
        {"no ", std::nullopt},   {"judge", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fieldByName(QString::fromLatin1(c.name)), c.field) << c.name;
}

TEST(ReadingsTable, StoresRowsCutsTextsAndKeepsEmptyFields) {
    ReadingsTable t;
    RowData r = makeRow(7, "12:34:56", "DC", "1.2345", "k*", "pass", -12345);
    r.value = QStringLiteral("123456789012345678901234"); // 24 characters
    ASSERT_TRUE(t.append(r));
    ASSERT_TRUE(t.append(makeRow(std::nullopt, "", "", "", "", "", std::nullopt)));
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t.text(0, Field::Value), QStringLiteral("12345678901234567890"));
    EXPECT_EQ(t.integer(0, Field::No), 7);
    EXPECT_EQ(t.integer(0, Field::Nval), -12345);
    EXPECT_EQ(t.text(0, Field::Nval), QStringLiteral("-12345"));
    EXPECT_EQ(t.text(0, Field::Unit), QStringLiteral("k*"));
    for (int i = 0; i < kFieldCount; ++i) {
        EXPECT_TRUE(t.isEmpty(1, static_cast<Field>(i))) << i;
        EXPECT_FALSE(t.isEmpty(0, static_cast<Field>(i))) << i;
    }
    EXPECT_EQ(t.integer(1, Field::No), std::nullopt);
    // A zero is a value, not an empty field.
    ASSERT_TRUE(t.append(makeRow(0, "a", "", "", "", "", 0)));
    EXPECT_FALSE(t.isEmpty(2, Field::No));
    EXPECT_FALSE(t.isEmpty(2, Field::Nval));
    RowData back = t.row(0);
    r.value = r.value.left(20);
    EXPECT_EQ(back, r);
}

TEST(ReadingsTable, KeepsEachRowsDateTimeAndRangeOutsideTheFields) {
    ReadingsTable t;
    RowData dated = makeRow(1, "16:12:05", "DC", "1.2345", "V", "", 12345);
    dated.recordedAt = QDateTime(QDate(2026, 12, 9), QTime(16, 12, 5, 678));
    RowData early = dated;
    early.recordedAt = QDateTime::fromMSecsSinceEpoch(-86'400'000LL * 365 * 100); // 1870
    dated.rangeMode = QStringLiteral("AUTO");
    early.rangeMode = QStringLiteral("MANU");
    RowData undated = makeRow(2, "16:12:06", "DC", "1.2345", "V", "", 12345);
    RowData odd = undated;
    odd.rangeMode = QStringLiteral("auto"); // not a range mode: stored as none
    ASSERT_TRUE(t.append(odd));
    EXPECT_EQ(t.rangeMode(0), QString());
    t.clear();
    ASSERT_TRUE(t.append(std::vector<RowData>{dated, undated, early}));
    EXPECT_EQ(t.recordedAt(0), dated.recordedAt);
    EXPECT_EQ(t.recordedAt(0).timeSpec(), Qt::LocalTime);
    EXPECT_FALSE(t.recordedAt(1).isValid());
    EXPECT_EQ(t.recordedAt(2), early.recordedAt);
    EXPECT_EQ(t.recordedAtMSecs(0), dated.recordedAt.toMSecsSinceEpoch());
    EXPECT_EQ(t.recordedAtMSecs(1), std::nullopt);
    EXPECT_EQ(t.rangeMode(0), QStringLiteral("AUTO"));
    EXPECT_EQ(t.rangeMode(1), QString());
    EXPECT_EQ(t.rangeMode(2), QStringLiteral("MANU"));
    EXPECT_EQ(t.row(0), dated);
    EXPECT_EQ(t.row(1), undated);
    // Not a field: the model keeps its seven columns and no column shows the date.
    EXPECT_EQ(t.columnCount(), kFieldCount);
    for (int c = 0; c < kFieldCount; ++c)
        EXPECT_FALSE(t.data(t.index(0, c)).toString().contains(QLatin1String("2026"))) << c;
    // Handing the rows over keeps the dates.
    ReadingsTable other;
    other.takeRows(t);
    EXPECT_EQ(other.recordedAt(0), dated.recordedAt);
    EXPECT_FALSE(other.recordedAt(1).isValid());
}

TEST(ReadingsTable, RepeatedTextsAreInterned) {
    ReadingsTable t;
    for (int i = 0; i < 10000; ++i)
        t.append(makeRow(i, "10:00:00", "DC", i % 2 ? "1.000" : "2.000", "V", "pass", i));
    // "", the time, DC, two values, V, pass.
    EXPECT_EQ(t.internedTexts(), 7);
    t.clear();
    EXPECT_EQ(t.internedTexts(), 1);
    EXPECT_TRUE(t.empty());
}

TEST(ReadingsTableModel, PassesTheModelTesterThroughAppendsClearAndReplace) {
    test::ensureApp();
    ReadingsTable t;
    QAbstractItemModelTester tester(&t, QAbstractItemModelTester::FailureReportingMode::Fatal);
    for (int i = 0; i < 150; ++i) t.append(makeRow(i + 1, "10:00:00", "AC", "0.001", "mV", "", i));
    std::vector<RowData> rows(3, makeRow(1, "x", "y", "z", "#", "Fail", 2));
    t.append(rows);
    t.clear();
    t.append(makeRow(1, "a", "b", "c", "d", "e", 1));
    ReadingsTable other;
    other.append(makeRow(9, "", "", "", "", "", std::nullopt));
    t.takeRows(other);
    EXPECT_EQ(t.size(), 1);
    EXPECT_EQ(other.size(), 0);
    EXPECT_EQ(t.integer(0, Field::No), 9);
}

TEST(ReadingsTableModel, AppendInsertsRowsWithoutReset) {
    ReadingsTable t;
    QSignalSpy inserted(&t, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&t, &QAbstractItemModel::modelReset);
    t.append(makeRow(1, "", "", "", "", "", 1));
    t.append(makeRow(2, "", "", "", "", "", 2));
    ASSERT_EQ(inserted.size(), 2);
    EXPECT_EQ(inserted[1][1].toInt(), 1);
    EXPECT_EQ(inserted[1][2].toInt(), 1);
    EXPECT_EQ(reset.size(), 0);
}

TEST(ReadingsTableModel, GridTitlesAlignmentsAndUnitSymbols) {
    ReadingsTable t;
    const char* titles[] = {"no.", "time", "Function", "value", "unit", "Judge", "nval"};
    const Qt::Alignment h[] = {Qt::AlignLeft,  Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignRight,
                               Qt::AlignRight, Qt::AlignHCenter, Qt::AlignLeft};
    ASSERT_EQ(t.columnCount(), 7);
    t.append(makeRow(3, "01:02:03", "OHM", "1.000", "M*", "", std::nullopt));
    for (int c = 0; c < kFieldCount; ++c) {
        EXPECT_EQ(t.headerData(c, Qt::Horizontal).toString(), QLatin1String(titles[c]));
        auto a = t.data(t.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(a & Qt::AlignHorizontal_Mask, h[c]) << c;
    }
    EXPECT_EQ(t.data(t.index(0, 4)).toString(), QStringLiteral("M\u03A9"));
    EXPECT_EQ(t.data(t.index(0, 4), ReadingsTable::FieldTextRole).toString(), QStringLiteral("M*"));
    EXPECT_EQ(t.data(t.index(0, 0), ReadingsTable::FieldTextRole), QVariant(3));
    EXPECT_FALSE(t.data(t.index(0, 6), ReadingsTable::FieldTextRole).isValid());
    EXPECT_EQ(t.data(t.index(0, 6)).toString(), QString());
    EXPECT_FALSE(t.flags(t.index(0, 0)) & Qt::ItemIsEditable);
}

} // namespace
} // namespace dmm

namespace dmm {
namespace {

std::size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// The worst case the README states: every text of every row different and 20 characters long
// costs at most kWorstRowBytes a row, and every text comes back as stored.
TEST(ReadingsTable, DistinctTextsStayWithinTheStatedWorstCase) {
    constexpr int kRows = 200000;
    const std::size_t before = heapInUse();
    {
        ReadingsTable t;
        RowData r;
        for (int i = 0; i < kRows; ++i) {
            for (Field f : {Field::Time, Field::DcAc, Field::Value, Field::Unit, Field::Auto})
                r.text(f) = QStringLiteral("%1%2")
                                .arg(QChar(u'a' + static_cast<int>(f)))
                                .arg(i, 19, 10, QLatin1Char('0'));
            r.no = i;
            ASSERT_TRUE(t.append(r));
        }
        const std::size_t perRow = (heapInUse() - before) / kRows;
        EXPECT_LE(perRow, static_cast<std::size_t>(kWorstRowBytes)) << perRow;
        EXPECT_EQ(t.internedTexts(), 1 + 5 * kRows);
        EXPECT_EQ(t.text(kRows - 1, Field::Auto), QStringLiteral("f0000000000000199999"));
        EXPECT_EQ(t.text(12345, Field::Time), QStringLiteral("b0000000000000012345"));
        t.clear();
        EXPECT_EQ(t.internedTexts(), 1);
    }
}

} // namespace
} // namespace dmm

namespace dmm {
namespace {

// A loader's texts, taken as bytes, and a recorder's QStrings are one text in the pool.
TEST(ReadingsTable, TextsTakenAsBytesAreTheSameTextsAsQStrings) {
    ReadingsTable t;
    t.append(test::makeRow(1, "12:00:00", "DC", "\u00b5V", "V", "pass", 1));
    const int texts = t.internedTexts();
    EXPECT_EQ(t.internText(QLatin1StringView("12:00:00")), t.internText(u"12:00:00"));
    EXPECT_EQ(t.internText(QLatin1StringView("\xb5V")), t.internText(u"\u00b5V"));
    EXPECT_EQ(t.internText(QLatin1StringView("")), 0u);
    EXPECT_EQ(t.internedTexts(), texts);
    EXPECT_EQ(t.internText(QLatin1StringView("123456789012345678901234")),
              t.internText(u"12345678901234567890"));
    ReadingsTable::PackedRow p;
    p.no = 2;
    p.text = {t.internText(QLatin1StringView("x")), 0, t.internText(u"\u00b5V"), 0, 0};
    ASSERT_TRUE(t.append(std::span<const ReadingsTable::PackedRow>(&p, 1)));
    EXPECT_EQ(t.row(1), test::makeRow(2, "x", "", "\u00b5V", "", "", std::nullopt));
    EXPECT_EQ(t.textView(1, Field::Value), u"\u00b5V");
    EXPECT_FALSE(t.recordedAt(1).isValid());
}

} // namespace
} // namespace dmm
