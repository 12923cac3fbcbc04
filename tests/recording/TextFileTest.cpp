#include "DataFiles.h"
#include "TestSupport.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include <random>

namespace dmm {
namespace {

using test::makeRow;

// The table the golden file was written from by hand: trimming, NULL, a negative and an empty
// record number, a Latin-1 character and one beyond Latin-1.
void fillGoldenTable(ReadingsTable& t) {
    t.append(makeRow(1, "10:00:01", "DC", "1.2345", "V", "pass", 12345));
    t.append(makeRow(3, " 10:00:02 ", "", "-0.L", "k*", "", std::nullopt));
    t.append(makeRow(-7, "\t\x01x\x1f", "AC+DC", "   ", "#", "Fail", 0));
    t.append(makeRow(std::nullopt, "", "", "\u00e9", "\u03a9", " ", 5));
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

TEST(LoadReadingsFile, ReadsTheGoldenFileBackWithNullAsText) {
    ReadingsTable t;
    // The last line starts with the empty record number: no token, so the columns shift left,
    // "NULL" lands in `no` and the load fails there, keeping the three rows before.
    EXPECT_NE(load(test::readFile(test::goldenPath("saved.txt")), t), QString());
    ASSERT_EQ(t.size(), 3);
    EXPECT_EQ(t.row(0), makeRow(1, "10:00:01", "DC", "1.2345", "V", "pass", std::nullopt));
    EXPECT_EQ(t.row(1), makeRow(3, "10:00:02", "NULL", "-0.L", "k*", "NULL", std::nullopt));
    EXPECT_EQ(t.row(2), makeRow(-7, "x", "AC+DC", "NULL", "#", "Fail", std::nullopt));
}

TEST(LoadReadingsFile, EmptyRecordNumberShiftsTheLineIntoAFailure) {
    // "NULL" lands in `no` and does not convert.
    ReadingsTable t;
    EXPECT_NE(load("h\r\n\tNULL\tNULL\t1\tV\tNULL\r\n", t), QString());
    EXPECT_EQ(t.size(), 0);
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
        {"NULL in no fails", "h\r\nNULL a\r\n", false, R{}},
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
    QByteArray file = test::readFile(test::goldenPath("saved.txt"));
    file.truncate(file.lastIndexOf("\r\n\t") + 2); // without the line that fails
    ReadingsTable t;
    EXPECT_EQ(load(file, t), QString());
    EXPECT_EQ(load(file, t), QString());
    EXPECT_EQ(t.size(), 6);
    EXPECT_EQ(t.integer(3, Field::No), 1);
    load(file, t, true);
    EXPECT_EQ(t.size(), 3);
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

// A sequential device that produces `size` bytes of a pattern without holding them.
class Generated : public QIODevice {
public:
    Generated(QByteArray head, char fill, qint64 size, QByteArray tail, qint64 failAt = -1)
        : head_(std::move(head)), tail_(std::move(tail)), fill_(fill), size_(size),
          failAt_(failAt) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 max) override {
        if (failAt_ >= 0 && pos_ >= failAt_) {
            setErrorString(QStringLiteral("device gone"));
            return -1;
        }
        const qint64 total = head_.size() + size_ + tail_.size();
        qint64 n = 0;
        max = std::min<qint64>(max, 1000);
        while (n < max && pos_ < total) {
            if (pos_ < head_.size())
                data[n] = head_[pos_];
            else if (pos_ < head_.size() + size_)
                data[n] = fill_;
            else
                data[n] = tail_[pos_ - head_.size() - size_];
            ++n;
            ++pos_;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray head_, tail_;
    char fill_;
    qint64 size_;
    qint64 failAt_;
    qint64 pos_ = 0;
};

TEST(LoadReadingsFile, HundredMegabyteLineLoadsAsOneCutToken) {
    ReadingsTable t;
    Generated dev("h\r\n1 ", 'x', 100'000'000, " y\r\n2 z\r\n");
    ASSERT_EQ(LoadReadingsFile(dev, t, false), QString());
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t.text(0, Field::Time), QString(20, QLatin1Char('x')));
    EXPECT_EQ(t.text(0, Field::DcAc), QStringLiteral("y"));
}

TEST(LoadReadingsFile, HugeHeaderAndHugeNumberAndManyTokens) {
    {
        ReadingsTable t;
        Generated dev("", 'h', 50'000'000, "\r\n1 a\r\n");
        EXPECT_EQ(LoadReadingsFile(dev, t, false), QString());
        EXPECT_EQ(t.size(), 1);
    }
    {
        ReadingsTable t;
        Generated dev("h\r\n", '7', 1'000'000, " a\r\n");
        EXPECT_NE(LoadReadingsFile(dev, t, false), QString());
        EXPECT_EQ(t.size(), 0);
    }
    {
        ReadingsTable t;
        Generated dev("h\r\n1 a\r\n", ' ', 0, QByteArray("1 2 3 4 5 6 7 8 9 10 11\r\n"));
        EXPECT_NE(LoadReadingsFile(dev, t, false), QString());
        EXPECT_EQ(t.size(), 1);
    }
}

TEST(LoadReadingsFile, ReadErrorKeepsTheRowsBefore) {
    ReadingsTable t;
    QByteArray head = "h\r\n";
    for (int i = 0; i < 5000; ++i) head += QByteArray::number(i) + " a\r\n";
    Generated dev(head, ' ', 0, "", head.size() - 2000);
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
                               }),
              QString());
    EXPECT_EQ(t.size(), 100000);
    EXPECT_GE(calls, 2);
    EXPECT_EQ(last, file.size());
}

} // namespace
} // namespace dmm
