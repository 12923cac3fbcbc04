#include "DataFiles.h"
#include "GeneratedDevice.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace dmm {
namespace {

using test::makeRow;

// The table the golden file was written from by hand: trimming, NULL, a negative and an empty
// record number, a Latin-1 character and one beyond Latin-1 (UTF-8), texts that need quotes
// and line ends inside a text, a decimal separator beyond Latin-1.
void fillGoldenTable(ReadingsTable& t) {
    t.append(makeRow(1, "10:00:01", "DC", "1.2345", "V", "pass", 12345));
    t.append(makeRow(3, " 10:00:02 ", "", "-0.L", "k*", "", std::nullopt));
    t.append(makeRow(-7, "\t\x01x\x1f", "AC+DC", "   ", "#", "Fail", 0));
    t.append(makeRow(std::nullopt, "", "", "\u00e9", "\u03a9", " ", 5));
    t.append(makeRow(9, "a b", "say \"hi\"", "1\u066B25", "line\r\nend", "tab\there", 1));
}

// What a row of fillGoldenTable() reads back as: trimmed, NULL for empty texts, line ends in a
// text turned into spaces, no nval.
RowData readBack(const RowData& r) {
    RowData want = r;
    for (Field f : {Field::Time, Field::DcAc, Field::Value, Field::Unit, Field::Auto}) {
        QString& text = want.text(f);
        while (!text.isEmpty() && text.front().unicode() <= 32) text.remove(0, 1);
        while (!text.isEmpty() && text.back().unicode() <= 32) text.chop(1);
        if (text.isEmpty()) text = QStringLiteral("NULL");
        text.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    want.nval.reset();
    return want;
}

QByteArray save(const ReadingsTable& t) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    EXPECT_EQ(SaveReadingsText(t, buf), QString());
    return bytes;
}

// Loads `bytes` into `t`; returns the error text.
QString load(const QByteArray& bytes, ReadingsTable& t, bool emptyFirst = false) {
    QByteArray copy = bytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return LoadReadingsFile(buf, t, emptyFirst);
}

TEST(SaveReadingsText, MatchesTheGoldenFilesByteForByte) {
    ReadingsTable t;
    EXPECT_EQ(save(t), test::readFile(test::goldenPath("empty.txt")));
    fillGoldenTable(t);
    EXPECT_EQ(save(t), test::readFile(test::goldenPath("saved.txt")));
}

// The rows' dates stay in memory: the text and the XML file come out byte for byte as without.
TEST(SaveReadingsText, RecordedDatesAreNotWritten) {
    ReadingsTable plain, dated;
    plain.append(makeRow(1, "16:12:05", "DC", "1.2345", "V", "pass", 12345));
    plain.append(makeRow(2, "16:12:06", "", "-0.L", "k*", "", std::nullopt));
    for (int i = 0; i < plain.size(); ++i) {
        RowData r = plain.row(i);
        r.recordedAt = QDateTime(QDate(2026, 12, 9), QTime(16, 12, 5 + i));
        dated.append(r);
    }
    ASSERT_TRUE(dated.recordedAt(0).isValid());
    EXPECT_EQ(save(dated), save(plain));
    auto xml = [](const ReadingsTable& t) {
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        EXPECT_EQ(SaveReadingsXml(t, buf), QString());
        return bytes;
    };
    EXPECT_EQ(xml(dated), xml(plain));
}

TEST(LoadReadingsFile, ReadsTheGoldenFileBackRowForRow) {
    ReadingsTable written;
    fillGoldenTable(written);
    ReadingsTable t;
    ASSERT_EQ(load(test::readFile(test::goldenPath("saved.txt")), t), QString());
    ASSERT_EQ(t.size(), written.size());
    for (int i = 0; i < t.size(); ++i) EXPECT_EQ(t.row(i), readBack(written.row(i))) << i;
    EXPECT_EQ(t.row(3).no, std::nullopt); // the empty record number, written as NULL
    EXPECT_EQ(t.text(4, Field::Value), QStringLiteral("1\u066B25"));
}

// Every file the writer makes loads back with the same rows, and saving them again gives the
// same bytes.
TEST(SaveReadingsText, EveryRowLoadsBackAsWritten) {
    const std::vector<RowData> rows = {
        makeRow(std::nullopt, "", "", "", "", "", std::nullopt),
        makeRow(1, "\"", "\"\"", "\"a", "b\"", "a\"b", 2),
        makeRow(2, "a b c", "a\tb", "a\x01b", "\x1f\x7f", "NULL", std::nullopt),
        makeRow(3, "x\ry", "x\ny", "x\r\ny", "\r\n", "\n\rz", std::nullopt),
        makeRow(4, "\u00b5\u00b0C", "\u03a9", "\U0001F50A", "1\u066B5", "\u00e9 \u00e8", 7),
        makeRow(5, "12345678901234567 9", "\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"",
                "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"
                "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9",
                "a", "b", std::nullopt),
    };
    ReadingsTable t;
    for (const RowData& r : rows) t.append(r);
    const QByteArray bytes = save(t);
    ReadingsTable back;
    ASSERT_EQ(load(bytes, back), QString()) << bytes.toStdString();
    ASSERT_EQ(back.size(), t.size());
    for (int i = 0; i < t.size(); ++i) EXPECT_EQ(back.row(i), readBack(t.row(i))) << i;
    EXPECT_EQ(save(back), bytes);
}

TEST(LoadReadingsFile, NullRecordNumberLoadsEmpty) {
    ReadingsTable t;
    EXPECT_EQ(load("h\r\nNULL\tNULL\tNULL\t1\tV\tNULL\r\n", t), QString());
    ASSERT_EQ(t.size(), 1);
    EXPECT_EQ(t.row(0), makeRow(std::nullopt, "NULL", "NULL", "1", "V", "NULL", std::nullopt));
}

struct LoadCase {
    const char* name;
    QByteArray file;
    bool ok;
    std::vector<RowData> rows;
};

std::vector<LoadCase> loadCases() {
    using R = std::vector<RowData>;
    const RowData one = makeRow(1, "a", "", "", "", "", std::nullopt);
    return {
        {"header only", "No\tTime\r\n", true, R{}},
        {"header without line end", "No\tTime", true, R{}},
        {"empty line only", "\r\n", true, R{}},
        {"empty file", "", false, R{}},
        {"CR LF", "h\r\n1 a\r\n2 b\r\n", true,
         R{one, makeRow(2, "b", "", "", "", "", std::nullopt)}},
        {"lone LF and lone CR", "h\n1 a\r2 b\n\r3 c", true,
         R{one, makeRow(2, "b", "", "", "", "", std::nullopt),
           makeRow(3, "c", "", "", "", "", std::nullopt)}},
        {"CR CR is two line ends", "h\r\r1 a\r\r", true, R{one}},
        {"blank and whitespace lines skipped", "h\r\n\r\n \t \x01\r\n1 a\r\n\r\n", true, R{one}},
        {"runs of separators collapse", "h\r\n \t1\x1f\x20\x09 a \t\r\n", true, R{one}},
        {"seven tokens fill nval", "h\r\n1 t d v u j -42\r\n", true,
         R{makeRow(1, "t", "d", "v", "u", "j", -42)}},
        {"eight tokens fail after the rows before", "h\r\n1 a\r\n2 t d v u j 3 x\r\n3 c\r\n", false,
         R{one}},
        {"NULL is a text", "h\r\n1 NULL NULL NULL NULL NULL\r\n", true,
         R{makeRow(1, "NULL", "NULL", "NULL", "NULL", "NULL", std::nullopt)}},
        {"NULL in no and nval is empty", "h\r\nNULL a b c d e NULL\r\n", true,
         R{makeRow(std::nullopt, "a", "b", "c", "d", "e", std::nullopt)}},
        {"null is no whole number", "h\r\nnull a\r\n", false, R{}},
        {"UTF-8",
         "h\r\n1 \xc2\xb5\x41 1\xd9\xab"
         "5 \xf0\x9f\x94\x8a\r\n",
         true, R{makeRow(1, "\u00b5A", "1\u066B5", "\U0001F50A", "", "", std::nullopt)}},
        {"UTF-8 cut to 20 characters", "h\r\n1 " + QByteArray("\xc3\xa9").repeated(30) + "\r\n",
         true,
         R{makeRow(1, QByteArray("\xc3\xa9").repeated(20).constData(), "", "", "", "",
                   std::nullopt)}},
        {"UTF-8 cut inside a character beyond the token's bytes",
         "h\r\n1 x" + QByteArray("\xe2\x82\xac").repeated(30) + "\r\n", true,
         R{makeRow(1, ("x" + QByteArray("\xe2\x82\xac").repeated(19)).constData(), "", "", "", "",
                   std::nullopt)}},
        {"invalid UTF-8 makes the line Latin-1", "h\r\n1 \xc3\xa9 \xe9\r\n2 \xc3\xa9\r\n", true,
         R{makeRow(1, "\u00c3\u00a9", "\u00e9", "", "", "", std::nullopt),
           makeRow(2, "\u00e9", "", "", "", "", std::nullopt)}},
        {"overlong UTF-8 is Latin-1", "h\r\n1 \xc0\xaf\r\n", true,
         R{makeRow(1, "\u00c0\u00af", "", "", "", "", std::nullopt)}},
        {"quoted tokens", "h\r\n1 \"a b\" \"x\"\"y\" \"\"\"\" \"\" \"open end\r\n", true,
         R{makeRow(1, "a b", "x\"y", "\"", "", "open end", std::nullopt)}},
        {"text after a closing quote is the next token", "h\r\n\"7\"b c\r\n", true,
         R{makeRow(7, "b", "c", "", "", "", std::nullopt)}},
        {"a quote inside a token is a character", "h\r\n1 a\"b\r\n", true,
         R{makeRow(1, "a\"b", "", "", "", "", std::nullopt)}},
        {"a quoted token does not cross a line end", "h\r\n1 \"a\r\n2 b\"\r\n", true,
         R{one, makeRow(2, "b\"", "", "", "", "", std::nullopt)}},
        {"texts cut to 20", "h\r\n1 123456789012345678901234567890\r\n", true,
         R{makeRow(1, "12345678901234567890", "", "", "", "", std::nullopt)}},
        {"Latin-1 bytes", "h\r\n1 \xb5\x41 \xb0\x43\r\n", true,
         R{makeRow(1, "\u00b5A", "\u00b0C", "", "", "", std::nullopt)}},
        {"NUL is part of a token", QByteArray("h\r\n1 a\0b\r\n", 10), true,
         R{makeRow(1, "a", "", "", "", "", std::nullopt)}},
        {"signed whole numbers", "h\r\n+5 a\r\n-2147483648 b\r\n2147483647 c\r\n", true,
         R{makeRow(5, "a", "", "", "", "", std::nullopt),
           makeRow(-2147483647 - 1, "b", "", "", "", "", std::nullopt),
           makeRow(2147483647, "c", "", "", "", "", std::nullopt)}},
        {"32-bit overflow fails", "h\r\n1 a\r\n2147483648 b\r\n", false, R{one}},
        {"not a whole number fails", "h\r\n1 a\r\n1.5 b\r\n", false, R{one}},
        {"hex is no whole number", "h\r\n0x10 a\r\n", false, R{}},
        {"bad nval fails, the row is discarded", "h\r\n1 a\r\n2 t d v u j x\r\n", false, R{one}},
        {"sign alone fails", "h\r\n- a\r\n", false, R{}},
    };
}

TEST(LoadReadingsFile, LineEndsTokensAndFailures) {
    for (const LoadCase& c : loadCases()) {
        ReadingsTable t;
        const QString error = load(c.file, t);
        EXPECT_EQ(error.isEmpty(), c.ok) << c.name << ": " << error.toStdString();
        ASSERT_EQ(t.size(), static_cast<int>(c.rows.size())) << c.name;
        for (int i = 0; i < t.size(); ++i) {
            RowData want = c.rows[i];
            if (c.file.contains('\0')) // the NUL case: compare the text by bytes
                want.time = QString::fromLatin1("a\0b", 3);
            EXPECT_EQ(t.row(i), want) << c.name << " row " << i;
        }
    }
}

TEST(LoadReadingsFile, AppendsTwiceUnlessEmptyFirst) {
    const QByteArray file = test::readFile(test::goldenPath("saved.txt"));
    ReadingsTable t;
    EXPECT_EQ(load(file, t), QString());
    EXPECT_EQ(load(file, t), QString());
    EXPECT_EQ(t.size(), 10);
    EXPECT_EQ(t.integer(5, Field::No), 1);
    load(file, t, true);
    EXPECT_EQ(t.size(), 5);
}

TEST(LoadReadingsFile, SaveAndLoadKeepTheRowsApartFromNval) {
    ReadingsTable t;
    for (int i = 0; i < 10000; ++i)
        t.append(makeRow(i + 1, "12:00:00", i % 3 ? "DC" : "AC", QByteArray::number(i).constData(),
                         "mV", i % 2 ? "pass" : "Fail", i));
    ReadingsTable back;
    ASSERT_EQ(load(save(t), back), QString());
    ASSERT_EQ(back.size(), t.size());
    for (int i = 0; i < t.size(); i += 97) {
        RowData want = t.row(i);
        want.nval.reset();
        EXPECT_EQ(back.row(i), want);
    }
}

TEST(LoadReadingsFile, HundredMegabyteLineLoadsAsOneCutToken) {
    ReadingsTable t;
    test::GeneratedDevice dev("h\r\n1 ", 'x', 100'000'000, " y\r\n2 z\r\n");
    ASSERT_EQ(LoadReadingsFile(dev, t, false), QString());
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t.text(0, Field::Time), QString(20, QLatin1Char('x')));
    EXPECT_EQ(t.text(0, Field::DcAc), QStringLiteral("y"));
}

TEST(LoadReadingsFile, HugeHeaderAndHugeNumberAndManyTokens) {
    {
        ReadingsTable t;
        test::GeneratedDevice dev("", 'h', 50'000'000, "\r\n1 a\r\n");
        EXPECT_EQ(LoadReadingsFile(dev, t, false), QString());
        EXPECT_EQ(t.size(), 1);
    }
    {
        ReadingsTable t;
        test::GeneratedDevice dev("h\r\n", '7', 1'000'000, " a\r\n");
        EXPECT_NE(LoadReadingsFile(dev, t, false), QString());
        EXPECT_EQ(t.size(), 0);
    }
    {
        ReadingsTable t;
        test::GeneratedDevice dev("h\r\n1 a\r\n", ' ', 0,
                                  QByteArray("1 2 3 4 5 6 7 8 9 10 11\r\n"));
        EXPECT_NE(LoadReadingsFile(dev, t, false), QString());
        EXPECT_EQ(t.size(), 1);
    }
}

TEST(LoadReadingsFile, ReadErrorKeepsTheRowsBefore) {
    ReadingsTable t;
    QByteArray head = "h\r\n";
    for (int i = 0; i < 5000; ++i) head += QByteArray::number(i) + " a\r\n";
    test::GeneratedDevice dev(head, ' ', 0, "", head.size() - 2000);
    EXPECT_NE(LoadReadingsFile(dev, t, false), QString());
    EXPECT_GT(t.size(), 4000);
    EXPECT_LT(t.size(), 5000);
    EXPECT_EQ(t.integer(0, Field::No), 0);
}

TEST(LoadReadingsFile, BinaryGarbageNeverCrashes) {
    std::mt19937 rng(4);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(static_cast<int>(rng() % 4000), Qt::Uninitialized);
        for (char& c : bytes) c = static_cast<char>(rng());
        ReadingsTable t;
        const QString error = load(bytes, t);
        for (int i = 0; i < t.size(); ++i)
            for (int f = 1; f < 6; ++f)
                EXPECT_LE(t.text(i, static_cast<Field>(f)).size(), kMaxFieldText);
        (void)error;
    }
}

TEST(LoadReadingsFile, ProgressIsReported) {
    QByteArray file = "h\r\n";
    for (int i = 0; i < 100000; ++i)
        file += QByteArray::number(i) + "\t12:00:00\tDC\t1.000\tV\tpass\r\n";
    QBuffer buf(&file);
    buf.open(QIODevice::ReadOnly);
    ReadingsTable t;
    int calls = 0;
    std::int64_t last = 0;
    ASSERT_EQ(LoadReadingsFile(buf, t, false,
                               [&](std::int64_t done, std::int64_t total) {
                                   ++calls;
                                   EXPECT_GE(done, last);
                                   EXPECT_EQ(total, file.size());
                                   last = done;
                                   return true;
                               }),
              QString());
    EXPECT_EQ(t.size(), 100000);
    EXPECT_GE(calls, 2);
    EXPECT_EQ(last, file.size());
}

// A file cut short while it loads (another program rewrote it) fails on its torn last line, as
// a read error would, instead of passing half a line for a row.
TEST(LoadReadingsFile, AFileThatShrinksWhileItLoadsFails) {
    QTemporaryDir dir;
    QFile file(dir.filePath("shrinks.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = "h\r\n";
    for (int i = 0; i < 100000; ++i) bytes += QByteArray::number(i) + "\t12:00:00\tDC\r\n";
    ASSERT_EQ(file.write(bytes), bytes.size());
    ASSERT_TRUE(file.seek(0));
    const qint64 cut = bytes.indexOf('\n', 500000) + 4; // within a line, past the first reads
    ReadingsTable t;
    int calls = 0;
    const QString error = LoadReadingsFile(file, t, false, [&](std::int64_t, std::int64_t) {
        if (++calls == 2) {
            EXPECT_TRUE(QFile::resize(file.fileName(), cut));
        }
        return true;
    });
    EXPECT_NE(error.indexOf("shrank"), -1) << error.toStdString();
    EXPECT_GT(t.size(), 0);
    EXPECT_EQ(t.integer(t.size() - 1, Field::No), t.size() - 1);
    EXPECT_EQ(t.text(t.size() - 1, Field::DcAc), "DC") << "only whole lines are rows";
}

} // namespace
} // namespace dmm

namespace dmm {
namespace {

// A cancelled text load keeps the rows read before, as a read error there would.
TEST(LoadReadingsFile, CancelKeepsTheRowsReadSoFar) {
    QByteArray file = "h\r\n";
    for (int i = 0; i < 100000; ++i) file += QByteArray::number(i) + "\ta\r\n";
    QBuffer buf(&file);
    buf.open(QIODevice::ReadOnly);
    ReadingsTable t;
    std::vector<std::int64_t> calls;
    const QString error = LoadReadingsFile(buf, t, false, [&](std::int64_t done, std::int64_t) {
        calls.push_back(done);
        return calls.size() < 3;
    });
    EXPECT_FALSE(error.isEmpty());
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], 0); // before the first byte
    EXPECT_GT(t.size(), 0);
    EXPECT_LT(t.size(), 100000);
    EXPECT_EQ(t.integer(t.size() - 1, Field::No), t.size() - 1);
}

} // namespace
} // namespace dmm

namespace dmm {
namespace {

// The lines after a case's header, ending in a line end.
QByteArray bodyOf(const QByteArray& file) {
    const qsizetype end = file.indexOf('\r') >= 0 && (file.indexOf('\n') < 0 ||
                                                      file.indexOf('\r') < file.indexOf('\n'))
                              ? file.indexOf('\r')
                              : file.indexOf('\n');
    if (end < 0) return {};
    QByteArray body = file.mid(end + (file.mid(end, 2) == "\r\n" ? 2 : 1));
    if (!body.isEmpty() && !body.endsWith('\r') && !body.endsWith('\n')) body += "\r\n";
    return body;
}

// Every token form of the cases above, over and over in one file, so that lines, tokens and
// quotes straddle the loader's reads of growing size: the rows are those of the cases.
TEST(LoadReadingsFile, LinesAcrossTheReadsLoadAsLineByLine) {
    QByteArray file = "h\r\n";
    std::vector<RowData> want;
    for (int k = 0; k < 300; ++k)
        for (const LoadCase& c : loadCases()) {
            if (!c.ok || c.file.contains('\0')) continue;
            file += bodyOf(c.file);
            want.insert(want.end(), c.rows.begin(), c.rows.end());
        }
    ASSERT_GT(file.size(), 100'000);
    ReadingsTable t;
    EXPECT_EQ(load(file, t), QString());
    ASSERT_EQ(t.size(), static_cast<int>(want.size()));
    for (int i = 0; i < t.size(); ++i) ASSERT_EQ(t.row(i), want[std::size_t(i)]) << i;
}

// A row recorded but not kept in a table gives the line the table's row gives.
TEST(SaveReadingsText, ARowsLineIsTheTablesLine) {
    ReadingsTable t;
    const std::vector<RowData> rows = {
        makeRow(1, " 12:00:00 ", "DC", "-1.2345", "V", "", 5),
        makeRow(std::nullopt, "a b", "\"q\"", "line\nend", "\u00b5A", "\u00e9\t", std::nullopt),
        makeRow(-7, "", "", "", "", "", std::nullopt),
        makeRow(2, "123456789012345678901234", "\U0001F50A", "x\x01y", "k*", "Fail", 0),
    };
    for (const RowData& r : rows) {
        t.append(r);
        QByteArray fromTable, fromRow;
        appendReadingsTextLine(fromTable, t, t.size() - 1);
        appendReadingsTextLine(fromRow, r);
        EXPECT_EQ(fromRow, fromTable);
    }
    EXPECT_EQ(save(t).mid(qsizetype(std::strlen(kReadingsTextHeader))).toStdString(),
              std::string("1\t12:00:00\tDC\t-1.2345\tV\tNULL\r\n"
                          "NULL\t\"a b\"\t\"\"\"q\"\"\"\t\"line end\"\t\xc2\xb5"
                          "A\t\xc3\xa9\r\n"
                          "-7\tNULL\tNULL\tNULL\tNULL\tNULL\r\n"
                          "2\t12345678901234567890\t\xf0\x9f\x94\x8a\t\"x\x01y\"\tk*\tFail\r\n"));
}

} // namespace
} // namespace dmm
