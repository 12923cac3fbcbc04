#include "CsvFile.h"
#include "DataFiles.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDir>

#include <gtest/gtest.h>

#include <ctime>

namespace dmm {
namespace {

using test::makeRow;

// Sets the time zone of local times (TZ) for the life of the object.
class LocalZone {
public:
    explicit LocalZone(const char* zone)
        : had_(qEnvironmentVariableIsSet("TZ")), old_(qgetenv("TZ")) {
        qputenv("TZ", zone);
        ::tzset();
    }
    ~LocalZone() {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        ::tzset();
    }

private:
    bool had_;
    QByteArray old_;
};

QByteArray saveCsv(const ReadingsTable& t) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    EXPECT_EQ(CsvFile::save(t, buf), QString());
    return bytes;
}

RowData recorded(int no, QDateTime at, const char* dcAc, const char* value, const char* unit,
                 const char* range, const char* judge) {
    RowData r = makeRow(no, at.toString(QStringLiteral("HH:mm:ss")).toUtf8().constData(), dcAc,
                        value, unit, judge, 0);
    r.recordedAt = at;
    r.rangeMode = QString::fromLatin1(range);
    return r;
}

TEST(CsvFile, BomHeaderRowsAndQuotingByteForByte) {
    LocalZone zone("Europe/Berlin");
    const QDate day(2026, 12, 9);
    ReadingsTable t;
    t.append(recorded(1, QDateTime(day, QTime(16, 12, 5)), "DC", "12.345", "mV", "AUTO", "pass"));
    t.append(
        recorded(2, QDateTime(day, QTime(16, 12, 6, 900)), "OHM", "12,316", "k*", "MANU", "Fail"));
    t.append(recorded(3, QDateTime(day, QTime(16, 12, 7)), "Temperature", "23.5", "#", "MANU", ""));
    t.append(recorded(4, QDateTime(QDate(2026, 7, 1), QTime(8, 0)), "AC+DC", "-.0L", "V", "AUTO",
                      "Fail"));
    // Rows from a text file: no date, no range, "NULL" for empty texts, texts that need quotes.
    t.append(makeRow(5, "10:00:01", "AC", "L0.", "uA", "NULL", std::nullopt));
    t.append(makeRow(std::nullopt, "NULL", "NULL", "1,2,3", "a\"b", "pass", std::nullopt));
    t.append(makeRow(7, "10:00:03", "", "", "W,x", "", 1));
    // Texts a spreadsheet would run as formulas stay texts; display forms stay as they are.
    t.append(makeRow(8, "=1+1", "", "@SUM(A1)", "-x", "", 1));
    t.append(makeRow(9, "+1", "", "+5", "+V", "", 1));
    const QByteArray want =
        "\xEF\xBB\xBF"
        "no,time,function,display,unit,value,base_unit,range,judge\r\n"
        "1,2026-12-09T16:12:05+01:00,DC,12.345,mV,0.012345,V,AUTO,pass\r\n"
        "2,2026-12-09T16:12:06+01:00,,12.316,k\xCE\xA9,12316,\xCE\xA9,MANU,Fail\r\n"
        "3,2026-12-09T16:12:07+01:00,,23.5,\xC2\xB0"
        "C,23.5,\xC2\xB0"
        "C,MANU,\r\n"
        "4,2026-07-01T08:00:00+02:00,AC+DC,-.0L,V,,,AUTO,Fail\r\n"
        "5,10:00:01,AC,L0.,\xC2\xB5"
        "A,,,,\r\n"
        ",NULL,,\"1,2,3\",\"a\"\"b\",,,,pass\r\n"
        "7,10:00:03,,,\"W,x\",,,,\r\n"
        "8,'=1+1,,'@SUM(A1),'-x,,,,\r\n"
        "9,+1,,+5,'+V,,,,\r\n";
    EXPECT_EQ(saveCsv(t).toStdString(), want.toStdString());
}

TEST(CsvFile, AnEmptyTableIsTheMarkAndTheHeader) {
    ReadingsTable t;
    EXPECT_EQ(saveCsv(t), QByteArray("\xEF\xBB\xBFno,time,function,display,unit,value,base_unit,"
                                     "range,judge\r\n"));
}

TEST(CsvFile, LocalTimeWithTheOffsetInForceThen) {
    struct Case {
        const char* zone;
        QDateTime utc;
        const char* local;
    } cases[] = {
        {"UTC", QDateTime(QDate(2026, 12, 9), QTime(15, 12, 5), Qt::UTC),
         "2026-12-09T15:12:05+00:00"},
        {"Europe/Berlin", QDateTime(QDate(2026, 12, 9), QTime(15, 12, 5), Qt::UTC),
         "2026-12-09T16:12:05+01:00"},
        {"Europe/Berlin", QDateTime(QDate(2026, 6, 9), QTime(15, 12, 5), Qt::UTC),
         "2026-06-09T17:12:05+02:00"},
        // the second before and the second of the spring change (01:00 UTC, 29 March 2026)
        {"Europe/Berlin", QDateTime(QDate(2026, 3, 29), QTime(0, 59, 59), Qt::UTC),
         "2026-03-29T01:59:59+01:00"},
        {"Europe/Berlin", QDateTime(QDate(2026, 3, 29), QTime(1, 0, 0), Qt::UTC),
         "2026-03-29T03:00:00+02:00"},
        {"America/St_Johns", QDateTime(QDate(2026, 12, 9), QTime(15, 12, 5), Qt::UTC),
         "2026-12-09T11:42:05-03:30"},
        {"Asia/Kolkata", QDateTime(QDate(2026, 12, 31), QTime(20, 0, 0, 999), Qt::UTC),
         "2027-01-01T01:30:00+05:30"},
    };
    for (const Case& c : cases) {
        LocalZone zone(c.zone);
        EXPECT_EQ(CsvFile::isoLocalTime(c.utc), QString::fromLatin1(c.local)) << c.zone;
        // The table keeps the moment; the file shows it in the zone in force when it is written.
        ReadingsTable t;
        RowData r = makeRow(1, "x", "", "", "", "", 1);
        r.recordedAt = c.utc.toLocalTime();
        t.append(r);
        EXPECT_TRUE(saveCsv(t).contains(QByteArray("1,") + c.local + ",")) << c.zone;
    }
}

TEST(CsvFile, NameRuleIsTheExtensionInAnyCase) {
    struct Case {
        const char* name;
        bool csv;
    } cases[] = {
        {"a.csv", true},      {"a.CSV", true},   {"/x/y.Csv", true}, {"a.b.csv", true},
        {"a.csv.xls", false}, {"a.xls", false},  {"csv", false},     {".csv", true},
        {"dir.csv/a", false}, {"a.csvx", false}, {"a", false},       {"a.cs", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CsvFile::isCsvFileName(QString::fromLatin1(c.name)), c.csv) << c.name;
}

TEST(CsvFile, SavedByNameWithTheTextFilesMessages) {
    QTemporaryDir dir;
    ReadingsTable t;
    t.append(makeRow(1, "10:00:00", "DC", "1.0000", "V", "pass", 10000));
    const QString name = dir.filePath(QStringLiteral("run.CSV"));
    const FileResult ok = saveTableToFile(t, name);
    EXPECT_TRUE(ok.ok);
    ASSERT_TRUE(ok.message);
    EXPECT_EQ(ok.message->text, "save table to specified file: " + name + " Scuss!");
    EXPECT_EQ(test::readFile(name), saveCsv(t));

    const QString nowhere = dir.filePath(QStringLiteral("missing/run.csv"));
    const FileResult bad = saveTableToFile(t, nowhere);
    EXPECT_FALSE(bad.ok);
    ASSERT_TRUE(bad.message);
    EXPECT_EQ(bad.message->text, "Could not save table to specified file: " + nowhere);
    EXPECT_EQ(bad.message->icon, FileMessage::Icon::Error);
    EXPECT_FALSE(QFile::exists(nowhere));
}

// A device that takes `room` bytes and then fails, like a full disk.
class FullDevice : public QIODevice {
public:
    explicit FullDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override {
        if (len > room_) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        room_ -= len;
        return len;
    }

private:
    qint64 room_;
};

TEST(CsvFile, LargeTablesStreamWithProgressAndAWriteFailureIsReported) {
    ReadingsTable t;
    std::vector<RowData> rows;
    for (int i = 0; i < 50'000; ++i)
        rows.push_back(makeRow(i + 1, "12:00:00", "DC", "-1.2345", "k*", "pass", i));
    t.append(rows);
    std::int64_t lastDone = 0, calls = 0;
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    EXPECT_EQ(CsvFile::save(t, buf,
                            [&](std::int64_t done, std::int64_t total) {
                                EXPECT_EQ(total, 50'000);
                                EXPECT_GE(done, lastDone);
                                lastDone = done;
                                ++calls;
                            }),
              QString());
    EXPECT_EQ(lastDone, 50'000);
    EXPECT_GT(calls, 5);
    EXPECT_EQ(bytes.count("\r\n"), 50'001);
    EXPECT_TRUE(bytes.endsWith("50000,12:00:00,DC,-1.2345,k\xCE\xA9,-1234.5,\xCE\xA9,,pass\r\n"));

    FullDevice full(bytes.size() / 2);
    EXPECT_EQ(CsvFile::save(t, full), QStringLiteral("No space left on device"));
    QBuffer closed;
    EXPECT_FALSE(CsvFile::save(t, closed).isEmpty());
}

} // namespace
} // namespace dmm

namespace dmm {
namespace {

// A table saved whole gives the lines its rows give one by one as the headless logger writes
// them: texts that look like formulas, need quotes or are no ASCII, dates and range modes.
TEST(CsvFile, ATablesLinesAreThoseOfItsRowsOneByOne) {
    ReadingsTable t;
    const QDateTime at(QDate(2026, 12, 9), QTime(16, 12, 5), Qt::UTC);
    t.append(recorded(1, at, "DC", "-1.2345", "V", "AUTO", "pass"));
    t.append(recorded(2, at.addSecs(86399), "AC", "OL", "k*", "MANU", "Fail"));
    t.append(test::makeRow(3, "=1+2", "AC+DC", "+1,5", "\u00b5A", "NULL", 5));
    t.append(test::makeRow(std::nullopt, "@a,b", "x", "-x\"y", "=u", "", std::nullopt));
    t.append(test::makeRow(-4, "\t12", "", "1.2.3", "\u00b0C", "pass", std::nullopt));
    QByteArray lines = QByteArray(CsvFile::kByteOrderMark) + CsvFile::kHeader;
    for (int r = 0; r < t.size(); ++r) CsvFile::appendLine(lines, RecordedRow::fromTable(t, r));
    EXPECT_EQ(saveCsv(t), lines);
    EXPECT_TRUE(lines.contains(",'=1+2,") && lines.contains("\"'-x\"\"y\"") &&
                lines.contains("\"'@a,b\"") && lines.contains(",'\t12,"))
        << lines.toStdString();
}

} // namespace
} // namespace dmm
