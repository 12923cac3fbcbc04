// The window's journal, offscreen with scripted dialogs, each test in a state folder of its own:
// a recording left unsaved is offered back and restored row for row, or set aside; a saved one is
// not offered; another running window's journal is left alone; a folder that is no journal's,
// full or impossible leaves recording going with one note.
#include "DataFiles.h"
#include "FakeHidPlatform.h"
#include "FullDisk.h"
#include "JournalFormat.h"
#include "QV31F.h"
#include "ScriptedDialogs.h"
#include "Simulator.h"
#include "StateFolder.h"
#include "uCharControl.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

using namespace dmm;
using namespace dmm::app;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class JournalWindow : public ::testing::Test {
protected:
    void SetUp() override { useStateHome(home.path()); }
    void useStateHome(const QString& path) { qputenv("XDG_STATE_HOME", path.toLocal8Bit()); }
    std::unique_ptr<TFCOMM> start(ScriptedDialogs& d) {
        auto w = std::make_unique<TFCOMM>(&d, &hid);
        w->startJournal();
        return w;
    }
    void feed(TFCOMM& w, int n) {
        for (int i = 0; i < n; ++i) {
            const sim::SimFrame f = sim.next();
            w.serialReceived(f.bytes.data(), static_cast<int>(f.bytes.size()));
        }
    }
    QByteArray csvOf(TFCOMM& w) {
        const QString name = scratch.filePath(QStringLiteral("table.csv"));
        EXPECT_TRUE(saveTableToFile(w.cds1(), name).ok);
        return fileBytes(name);
    }
    QStringList files(const QString& sub = QString()) {
        return QDir(stateFolder() + sub).entryList(QDir::Files | QDir::Hidden);
    }
    QString tooltip(TFCOMM& w) { return w.findChild<QWidget*>(QStringLiteral("CONok"))->toolTip(); }

    QTemporaryDir home, scratch;
    FakeHidPlatform hid;
    sim::Simulator sim{sim::SimOptions{}};
};

TEST_F(JournalWindow, AQuitRecordingIsRestoredRowForRowAndRecordsOn) {
    ScriptedDialogs first;
    auto a = start(first);
    feed(*a, 40);
    const QByteArray before = csvOf(*a);
    const RecorderState state = a->recorder().state();
    first.answers = {MsgButton::Yes};
    a->BitBtn1Click(); // Quit, Yes: the table closes unsaved
    a.reset();

    ScriptedDialogs second;
    second.answers = {MsgButton::Yes};
    auto b = start(second);
    ASSERT_EQ(second.questions.size(), 1);
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral(
                "^The last recording \\(40 readings, from \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:"
                "\\d\\d to \\d\\d:\\d\\d:\\d\\d\\) was not saved. Restore it\\?$"))
            .match(second.questions[0].text)
            .hasMatch())
        << second.questions[0].text.toStdString();
    EXPECT_EQ(csvOf(*b), before);
    EXPECT_TRUE(b->recorder().state() == state);
    EXPECT_EQ(b->pager().pointCount(0), 41u); // plotted, after the initial point
    feed(*b, 10);
    ASSERT_GT(b->cds1().size(), 40);
    EXPECT_GE(b->cds1().integer(40, Field::No), state.nextRecordNo);

    // Saved, then ended: nothing left to offer.
    second.fileNames = {scratch.filePath(QStringLiteral("saved.xls"))};
    b->saveasClick();
    b.reset();
    ScriptedDialogs third;
    auto c = start(third);
    EXPECT_TRUE(third.questions.isEmpty());
    EXPECT_EQ(c->cds1().size(), 0);
}

TEST_F(JournalWindow, NoSetsTheRecordingAsideAndAnotherWindowsJournalIsLeftAlone) {
    ScriptedDialogs d1, d2, d3;
    auto a = start(d1);
    feed(*a, 5);
    auto running = start(d2); // a's journal is held: never offered
    EXPECT_TRUE(d2.questions.isEmpty());
    EXPECT_GT(a->cds1().size(), 0);
    a.reset();
    running.reset();
    d3.answers = {MsgButton::No};
    auto c = start(d3);
    ASSERT_EQ(d3.questions.size(), 1);
    EXPECT_EQ(c->cds1().size(), 0);
    const QStringList kept = files(QStringLiteral("/recordings"));
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d{6}\\.journal$"))
                    .match(kept[0])
                    .hasMatch());
}

TEST_F(JournalWindow, WhatIsNoJournalIsSetAsideByNameAndOtherFilesStay) {
    ASSERT_TRUE(makeStateFolder().isEmpty());
    for (const char* name : {"bad.journal", "web-token"}) {
        QFile f(QDir(stateFolder()).filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x7f"
                "ELF garbage");
    }
    ScriptedDialogs d;
    auto w = start(d);
    ASSERT_EQ(d.questions.size(), 1);
    EXPECT_TRUE(
        d.questions[0].text.contains(QStringLiteral("bad.journal is not a recording journal")));
    EXPECT_TRUE(files().contains(QStringLiteral("web-token")));
    EXPECT_EQ(files(QStringLiteral("/recordings")), QStringList{QStringLiteral("bad.journal")});
}

TEST_F(JournalWindow, AFullStateFolderLeavesRecordingGoingAndRestoresWhatItHeld) {
    test::forEachFullDisk(65536, [&](test::FullDisk& disk) {
        useStateHome(disk.filePath(QStringLiteral("state")));
        ScriptedDialogs d;
        auto a = start(d);
        {
            test::FullDisk::Scope limited(disk);
            feed(*a, 1500); // some 90 kB of journal
        }
        EXPECT_GT(a->cds1().size(), 1400);
        EXPECT_EQ(tooltip(*a).count(QStringLiteral("Recording not protected")), 1);
        const QByteArray before = csvOf(*a);
        const int recorded = a->cds1().size();
        a.reset();
        ScriptedDialogs again;
        again.answers = {MsgButton::Yes};
        auto b = start(again);
        ASSERT_GT(b->cds1().size(), 100);
        ASSERT_LT(b->cds1().size(), recorded);
        const QByteArray restored = csvOf(*b);
        EXPECT_TRUE(before.startsWith(restored));
    });
}

TEST_F(JournalWindow, AStateFolderThatCannotBeMadeIsSaidInTheTooltip) {
    QFile blocker(home.filePath(QStringLiteral("dmm-interface")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    ScriptedDialogs d;
    auto w = start(d);
    feed(*w, 3);
    EXPECT_EQ(w->cds1().size(), 3);
    EXPECT_TRUE(tooltip(*w).contains(QStringLiteral("Recording not protected against a crash: ") +
                                     stateFolder() + QStringLiteral(" is not a folder")));
}

TEST_F(JournalWindow, AJournalOfAMillionRowsIsRestored) {
    ASSERT_TRUE(makeStateFolder().isEmpty());
    QFile f(QDir(stateFolder()).filePath(QStringLiteral("big.journal")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray bytes = journalHeader(1'800'000'000'000);
    const std::int64_t at = 1'800'000'000'000;
    for (int i = 1; i <= 1'000'000; ++i) {
        bytes += "R\t" + QByteArray::number(i) + "\t10:00:00\tDC\t" + QByteArray::number(i % 977) +
                 "\tmV\tpass\t" + QByteArray::number(i % 977) + '\t' +
                 QByteArray::number(qint64(at + i * 400)) + "\tA\t\n";
        if (bytes.size() > (1 << 20)) f.write(std::exchange(bytes, {}));
    }
    f.write(bytes + "R\t1000001\t10:0"); // torn
    f.close();
    ScriptedDialogs d;
    d.answers = {MsgButton::Yes};
    auto w = start(d);
    ASSERT_EQ(d.questions.size(), 1);
    EXPECT_TRUE(
        d.questions[0].text.startsWith(QStringLiteral("The last recording (1000000 readings")));
    EXPECT_EQ(w->cds1().size(), 1'000'000);
    EXPECT_EQ(w->cds1().text(999'999, Field::Value), QStringLiteral("529"));
    EXPECT_EQ(w->recorder().NextRecordNo(), 1'000'001);
    EXPECT_EQ(w->pager().pointCount(0), 1'000'001u);
}

} // namespace
