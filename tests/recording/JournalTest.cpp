// The recording journal: what it writes reads back into the same table and recorder state, a
// torn end is left out, a file that is no journal is named as such; dmm table reads one.
#include "DataFiles.h"
#include "JournalFormat.h"
#include "RecordingJournal.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace dmm {
namespace {

CurrentReading reading(const char* value, const char* dcAc, const char* range) {
    CurrentReading r;
    r.ValueText = value;
    r.NumericValue = 1234;
    r.DcAc = dcAc;
    r.UnitText = "mV";
    r.RangeMode = range;
    r.Judge = "pass";
    return r;
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString readInto(const QByteArray& bytes, ReadingsTable& table, JournalSummary& s) {
    QBuffer b;
    b.setData(bytes);
    b.open(QIODevice::ReadOnly);
    return readJournal(b, table, s);
}

class Journal : public ::testing::Test {
protected:
    // Records through a journal: rows of every kind of text and key, duplicates that skip
    // numbers, a loaded row, a save, then more rows.
    QString record() {
        QString error;
        auto j = RecordingJournal::create(dir.path(), rec, error);
        EXPECT_TRUE(j) << error.toStdString();
        const CurrentReading shapes[] = {
            reading("1.000", "DC", "AUTO"),  reading("1.000", "DC", "AUTO"), // a duplicate
            reading("a\tb\\c\nd", "AC", ""), reading("-0.5", "", "MANU"),
            reading("-0.5", "", "MANU"),     reading("L0.", "DC", "HOLD")};
        for (int i = 0; i < 12; ++i) {
            const RecordResult r = rec.INDataToTable(shapes[i % 6], i > 8, i % 5 == 0);
            if (r.outcome == RecordOutcome::Appended) j->rowRecorded({table.size() - 1, r.row, {}});
            j->readingDecoded({});
            if (i == 3) {
                table.append(RowData{7, "09:00:00", "DC", "9", "V", "", std::nullopt, {}, {}});
                j->tableLoaded(table, table.size() - 1);
            }
            if (i == 6) j->tableSaved(QStringLiteral("x.xls"));
        }
        rec.setRecordLimit(50'000);
        const QString path = j->path();
        j.reset(); // unsaved rows: the journal stays
        return path;
    }
    QTemporaryDir dir;
    ReadingsTable table;
    Recorder rec{table};
};

TEST_F(Journal, ReadsBackTheTableAndTheRecorderExactly) {
    const QString path = record();
    ASSERT_TRUE(QFile::exists(path));
    ReadingsTable back;
    JournalSummary s;
    ASSERT_EQ(readInto(fileBytes(path), back, s), QString());
    ASSERT_EQ(back.size(), table.size());
    for (int i = 0; i < table.size(); ++i) {
        EXPECT_EQ(back.row(i), table.row(i)) << i;
        EXPECT_EQ(back.recordedAtMSecs(i), table.recordedAtMSecs(i)) << i;
    }
    EXPECT_TRUE(s.state == rec.state()) << s.state.nextRecordNo << " " << s.state.lastRecordedKey;
    EXPECT_TRUE(s.unsaved);
    EXPECT_FALSE(s.torn);
}

TEST_F(Journal, ATornLastRecordIsLeftOutAndOtherFilesAreNamed) {
    const QByteArray whole = fileBytes(record());
    ReadingsTable back;
    JournalSummary s;
    for (qsizetype cut = 1; cut < 200; cut += 7) {
        ASSERT_EQ(readInto(whole.chopped(cut), back, s), QString()) << cut;
        const QByteArray kept = whole.left(whole.lastIndexOf('\n', whole.size() - cut - 1) + 1);
        EXPECT_EQ(s.torn, kept.size() != whole.size() - cut);
        EXPECT_EQ(s.wholeBytes, kept.size());
        EXPECT_EQ(back.size(), kept.count("\nR\t") + kept.count("\nF\t")) << cut;
    }
    const std::pair<QByteArray, const char*> bad[] = {
        {"No\tTime\tDC/AC\r\n1\t10:00\r\n", "is not a recording journal"},
        {QByteArray(5000, '\x01'), "is not a recording journal"},
        {"DMM-JOURNAL\t2\t0\nR\n", "was written by a newer version of the program (journal "
                                   "version 2)"},
    };
    for (const auto& [bytes, error] : bad) EXPECT_EQ(readInto(bytes, back, s), error);
}

TEST_F(Journal, ASaveAndCloseDataLeaveNothingToOffer) {
    QString error;
    auto j = RecordingJournal::create(dir.path(), rec, error);
    ASSERT_TRUE(j);
    const RecordResult r = rec.INDataToTable(reading("1", "DC", "AUTO"), true, false);
    j->rowRecorded({0, r.row, {}});
    j->tableSaved(QStringLiteral("x.xls"));
    const QString path = j->path();
    ReadingsTable back;
    JournalSummary s;
    EXPECT_EQ(readInto(fileBytes(path), back, s), QString());
    EXPECT_FALSE(s.unsaved);
    rec.clear();
    j->tableCleared();
    EXPECT_EQ(readInto(fileBytes(path), back, s), QString());
    EXPECT_EQ(back.size(), 0);
    j.reset();
    EXPECT_FALSE(QFile::exists(path)); // nothing unsaved: removed at the end
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(Journal, DmmTableConvertsAJournal) {
    const QString path = record();
    const QString bin = qEnvironmentVariable("DMM_BINARY_DIR") + "/tools/dmm/dmm";
    QProcess p;
    for (const char* name : {"out.csv", "out.xls"}) {
        p.start(bin, {"table", "convert", path, dir.filePath(name)});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QString mem = dir.filePath(QStringLiteral("mem") + QString(name).mid(3));
        ASSERT_TRUE(saveTableToFile(table, mem).ok);
        EXPECT_EQ(fileBytes(dir.filePath(name)), fileBytes(mem)) << name;
    }
}

} // namespace
} // namespace dmm
