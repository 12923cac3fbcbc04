// The main window, offscreen, with scripted dialogs: the start state, port selection, the COM
// link controls, the watchdog, quitting, readings arriving through the serial receive handler
// into the LCD mirror, the grid and the chart, paging through the tool bar, the page size and
// value-axis fields, enlarge and restore, the chart bitmap, the data files and the report.
#include "Calc.h"
#include "ChartArea.h"
#include "ClickPanel.h"
#include "ComDrv32.h"
#include "CsvFile.h"
#include "FakeHidPlatform.h"
#include "FullDisk.h"
#include "GridModel.h"
#include "HidReports.h"
#include "ImageButton.h"
#include "KeyFilter.h"
#include "LcdPanel.h"
#include "LcdShape.h"
#include "Pictures.h"
#include "PreviewDocument.h"
#include "QV31F.h"
#include "RecordedRow.h"
#include "RecordingTriggerDialog.h"
#include "Report.h"
#include "ScriptedDialogs.h"
#include "Simulator.h"
#include "StatisticsWindow.h"
#include "WindowOptions.h"
#include <QTableWidget>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

// Texts in failure messages as text, not bytes.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

using namespace dmm;
using namespace dmm::app;

namespace {

// A control of the window, found by its object name as a user's script would find it.
template <class T = QWidget> T* ctl(const TFCOMM& w, const char* name) {
    T* c = w.findChild<T*>(QLatin1String(name));
    EXPECT_NE(c, nullptr) << "no control " << name;
    return c;
}

class Window : public ::testing::Test {
protected:
    void SetUp() override { create(); }
    void create() {
        w = std::make_unique<TFCOMM>(&dialogs, &hid);
        ctl<QTimer>(*w, "ConTimer")->stop(); // the tests tick the watchdog themselves
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    // Serves the USB read thread's hand-overs until `done` or 5 s have passed.
    template <class F> bool runUntil(F done) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 5000) QTest::qWait(10);
        return done();
    }
    void TearDown() override {
        EXPECT_EQ(dialogs.unanswered, 0) << "a question the test did not expect";
        w.reset();
    }

    template <class T = QWidget> T* child(const char* name) {
        return w->findChild<T*>(QLatin1String(name));
    }
    QWidget* clientArea() { return child("ClientArea"); }
    // The port panel of COM i + 1, and the menu item that selects it.
    ClickPanel* port(int i) {
        return w->findChild<ClickPanel*>(QStringLiteral("BtCOM%1").arg(i + 1));
    }
    QList<ClickPanel*> ports() { return {port(0), port(1), port(2), port(3)}; }
    QAction* comItem(int i) { return w->findChild<QAction*>(QStringLiteral("COM%11").arg(i + 1)); }

    // Feeds `n` frames of the simulated Q32 meter as serial chunks; returns the last frame.
    sim::SimFrame feed(int n) {
        sim::SimFrame f;
        for (int i = 0; i < n; ++i) {
            f = sim_->next();
            w->serialReceived(f.bytes.data(), static_cast<int>(f.bytes.size()));
        }
        return f;
    }
    void useScript(const char* script) {
        sim::SimOptions o;
        o.script = script;
        sim_ = std::make_unique<sim::Simulator>(o);
    }

    // The digits the mirror shows, left to right, as the meter's value text writes them.
    QString shownDigits() {
        QString s;
        for (int i = 0; i < 5; ++i) {
            SegmentDigit* d = w->Panel1().digit(i);
            if (d->isVisibleTo(&w->Panel1()))
                s += d->text() == QLatin1String("@") ? QStringLiteral("L") : d->text();
        }
        return s;
    }

    ScriptedDialogs dialogs;
    FakeHidPlatform hid; // no HID device unless a test plugs one
    std::unique_ptr<TFCOMM> w;
    std::unique_ptr<sim::Simulator> sim_ = std::make_unique<sim::Simulator>(sim::SimOptions{});
};

bool visible(QWidget* widget) {
    return widget && widget->isVisible();
}

} // namespace

TEST_F(Window, StartsAsTheShippedModel) {
    EXPECT_EQ(w->objectName(), QStringLiteral("FCOMM"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("58-4410C Interface Program Ver: 3.00"));
    // The LCD: "-" and 1 9 9 9 9, no point, no annunciator.
    EXPECT_TRUE(visible(child("LcdFH")));
    EXPECT_EQ(shownDigits(), QStringLiteral("19999"));
    for (std::size_t i = static_cast<std::size_t>(Ind::LcdP0); i < kIndicatorCount; ++i) {
        const Ind ind = static_cast<Ind>(i);
        if (ind == Ind::CONok || ind == Ind::CONokN) continue;
        EXPECT_FALSE(visible(w->Panel1().element(ind))) << indicatorName(ind);
    }
    // The bar graph at 20 of 20, as the count profile leaves it.
    EXPECT_EQ(ctl<QProgressBar>(*w, "PBar2")->maximum(), 20);
    EXPECT_EQ(ctl<QProgressBar>(*w, "PBar2")->value(), 20);
    EXPECT_TRUE(visible(ctl<QLabel>(*w, "CONokN")));
    EXPECT_FALSE(visible(ctl<QLabel>(*w, "CONok")));
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("1"));
    EXPECT_EQ(w->Chtshow().valueMinimum(), -20000);
    EXPECT_EQ(w->Chtshow().valueMaximum(), 20000);
    EXPECT_EQ(ctl<QLabel>(*w, "MinText")->text(), QStringLiteral("20001"));
    EXPECT_EQ(ctl<QLabel>(*w, "MaxText")->text(), QStringLiteral("-20001"));
    EXPECT_EQ(w->meter.extremes.MaxReading, -20001.0f);
    EXPECT_EQ(w->meter.extremes.MinReading, 20001.0f);
    EXPECT_EQ(ctl<QPushButton>(*w, "COMCon")->text(), QStringLiteral("COM Connect"));
    EXPECT_EQ(ctl<QPushButton>(*w, "USBCon")->text(), QStringLiteral("USB Connect"));
    EXPECT_TRUE(visible(port(0)));
    for (int i = 1; i < 4; ++i) EXPECT_FALSE(visible(port(i)));
    EXPECT_EQ(w->SelectedPort, 1);
    EXPECT_EQ(w->COMM2().ComPort(), TCommPortDriver::pnCOM1);
    EXPECT_EQ(w->COMM2().ComPortSpeed(), TCommPortDriver::br2400);
    EXPECT_FALSE(w->COMM2().IsPortOpen());
    EXPECT_TRUE(ctl<QCheckBox>(*w, "RepeatSet")->isChecked());
    EXPECT_TRUE(ctl<QCheckBox>(*w, "BtFill")->isChecked());
    EXPECT_EQ(w->cds1().size(), 0);
    EXPECT_EQ(w->recorder().RecordLimit(), 10000);
    EXPECT_EQ(ctl<QLineEdit>(*w, "systeminfomation")->text(), w->LocaleDecimalSeparator);
}

TEST_F(Window, FixedClientAreaWithoutMaximize) {
    EXPECT_EQ(clientArea()->size(), QSize(kClientWidth, kClientHeight));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(clientArea()->y(), w->menuBar()->height());
    EXPECT_EQ(w->Chtshow().geometry(), QRect(336, 187, 377, 286));
    EXPECT_EQ(child("Panel1")->geometry(), QRect(4, 29, 334, 136));
    EXPECT_EQ(ctl<QTableView>(*w, "DBGrid1")->geometry(), QRect(1, 208, 334, 264));
    EXPECT_EQ(ctl<QFrame>(*w, "Panel4")->geometry(), QRect(338, 29, 375, 120));
    EXPECT_EQ(ctl<QFrame>(*w, "Panel19")->geometry(), QRect(339, 152, 372, 33));
    EXPECT_EQ(child("LcdDd")->geometry(), QRect(232, 20, 38, 112));
    EXPECT_EQ(child("LcdP3")->geometry(), QRect(224, 105, 7, 8));
}

TEST_F(Window, OnlyTheRecordMenuShowsWithItsSixLimits) {
    QStringList shown;
    for (QAction* a : w->menuBar()->actions())
        if (a->isVisible()) shown << a->text();
    // "Tools" is the one menu beyond the original window's.
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Record"), QStringLiteral("Tools")}));
    QStringList tools;
    for (QAction* a : ctl<QMenu>(*w, "Tools1")->actions()) tools << a->text();
    EXPECT_EQ(tools, (QStringList{QStringLiteral("Statistics\u2026"),
                                  QStringLiteral("Recording start and stop\u2026"),
                                  QStringLiteral("Alarms\u2026")}));
    QStringList items;
    QString checked;
    for (QAction* a : ctl<QMenu>(*w, "Record1")->actions()) {
        if (!a->isVisible()) continue;
        items << a->text();
        if (a->isChecked()) checked = a->text();
    }
    EXPECT_EQ(items, (QStringList{"1000", "5000", "10000", "50000", "100000", "limitless"}));
    EXPECT_EQ(checked, QStringLiteral("10000"));

    child<QAction>("limitess")->trigger();
    EXPECT_EQ(w->recorder().RecordLimit(), 10'000'000);
    EXPECT_TRUE(child<QAction>("limitess")->isChecked());
    EXPECT_FALSE(child<QAction>("N100001")->isChecked());
    child<QAction>("N10001")->trigger();
    EXPECT_EQ(w->recorder().RecordLimit(), 1000);
}

// The statistics window's cells of the row that is of `of` ("recording", "page 1"), or none.
QStringList statisticsRow(QTableWidget* grid, const QString& of) {
    for (int r = 0; r < grid->rowCount(); ++r) {
        if (grid->item(r, 0)->text() != of) continue;
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c) cells << grid->item(r, c)->text();
        return cells;
    }
    return {};
}

TEST_F(Window, ToolsStatisticsShowsTheRecordingAndTheChartPageOnScreen) {
    feed(250); // a slow DC voltage: one group, three chart pages
    child<QAction>("Statistics1")->trigger();
    auto* stats = child<StatisticsWindow>("StatisticsWindow");
    ASSERT_TRUE(visible(stats));
    auto* grid = stats->findChild<QTableWidget*>(QStringLiteral("StatisticsGrid"));
    const int rows = w->cds1().size();
    ASSERT_GT(rows, 200);
    EXPECT_EQ(statisticsRow(grid, "recording").value(3), QString::number(rows));
    EXPECT_EQ(statisticsRow(grid, "page 3").value(3), QString::number(rows - 200));

    // Paging back shows that page's figures: the mean of its 100 rows.
    ctl<QToolButton>(*w, "BtFirst")->click();
    stats->refresh();
    const QStringList page1 = statisticsRow(grid, "page 1");
    ASSERT_EQ(page1.value(3), QStringLiteral("100"));
    double sum = 0;
    for (int r = 0; r < 100; ++r) sum += RecordedRow::fromTable(w->cds1(), r).measurement.value();
    EXPECT_EQ(page1.value(5), QString::number(sum / 100, 'g', 10) + QStringLiteral(" V"));

    stats->findChild<QPushButton*>(QStringLiteral("StatisticsCopy"))->click();
    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    EXPECT_TRUE(lines.value(0).startsWith(QStringLiteral("quantity\tcoupling\tunit\t")));
    EXPECT_TRUE(lines.value(1).startsWith(QStringLiteral("voltage\tDC\tV\t") +
                                          QString::number(rows) + QLatin1Char('\t')));
    stats->close();
    EXPECT_EQ(w->cds1().size(), rows); // closing it changes nothing recorded
}

// "Recording start and stop...": the dialog refuses what it cannot read, a connect arms, the
// LCD stays live while the table and chart wait, a reconnect while recording changes nothing,
// and after the stop "Close Data" and a new connect wait again.
TEST_F(Window, RecordingStartAndStopCapturesASwitchOn) {
    useScript("switch-on"); // a creep below 0.15 V for 150 frames, then 1.5 V, 5 V, 12 V
    qputenv("DMM_COM1", "/nonexistent/dmm-test-tty");
    QString refused;
    QTimer::singleShot(0, [&refused] {
        auto* d = qobject_cast<RecordingTriggerDialog*>(QApplication::activeModalWidget());
        if (!d) return;
        d->startKind()->setCurrentIndex(3);
        d->startValue()->setText(QStringLiteral("rises above 1"));
        d->accept();
        refused = d->message()->text();
        d->startValue()->setText(QStringLiteral("rises above 1 V"));
        d->pretrigger()->setText(QStringLiteral("5"));
        d->stopKind()->setCurrentIndex(1);
        d->stopValue()->setText(QStringLiteral("10"));
        d->accept();
    });
    auto* item = child<QAction>("RecordingTrigger1");
    item->trigger();
    EXPECT_TRUE(refused.startsWith(QStringLiteral("Start: expected a unit")))
        << refused.toStdString();
    EXPECT_EQ(item->text(),
              QStringLiteral("Recording start and stop\u2026 (set, waits for a connect)"));

    const auto connect = [this] { ctl<QPushButton>(*w, "COMCon")->click(); };
    connect();
    EXPECT_TRUE(
        item->text().contains(QStringLiteral("waiting for a reading that rises above 1 V")));
    EXPECT_TRUE(child<QWidget>("CONok")->toolTip().contains(QStringLiteral("waiting for")));
    feed(150);
    EXPECT_EQ(w->cds1().size(), 0);
    EXPECT_EQ(w->meter.reading.measurement.valueText(), "0.149"); // the mirror is live
    feed(2);
    connect(); // a reconnect while it records
    connect();
    feed(100);
    ASSERT_EQ(w->cds1().size(), 15);
    EXPECT_EQ(RecordedRow::fromTable(w->cds1(), 0).measurement.valueText(), "0.145");
    EXPECT_EQ(RecordedRow::fromTable(w->cds1(), 5).measurement.valueText(), "1.5");
    EXPECT_EQ(RecordedRow::fromTable(w->cds1(), 14).row.no, 15);
    EXPECT_EQ(item->text(),
              QStringLiteral("Recording start and stop\u2026 (stopped after 10 readings)"));

    feed(100); // the next switch-on: stopped, nothing is recorded
    EXPECT_EQ(w->cds1().size(), 15);
    dialogs.answers = {MsgButton::Yes};
    ctl<QToolButton>(*w, "RecordNew")->click();
    connect();
    connect();
    feed(210);
    ASSERT_EQ(w->cds1().size(), 15);
    EXPECT_EQ(RecordedRow::fromTable(w->cds1(), 5).measurement.valueText(), "1.5");
    qunsetenv("DMM_COM1");
}

TEST_F(Window, EveryNamedControlExistsAndTheHiddenOnesStayOutOfSight) {
    const char* shownNames[] = {
        "Panel6",   "BtCOM1",     "COMCon",   "USBCon",       "BitBtn1",   "Panel1",
        "PBar2",    "RepeatSet",  "RecordSI", "RecordSITime", "RecordNew", "OpenDataFiles",
        "saveas",   "BtPrint",    "DBGrid1",  "Panel4",       "T1_HI",     "T1HI",
        "T1_Value", "T1VALUE",    "T1_LO",    "T1LO",         "Shape1",    "judge",
        "CONokN",   "Panel19",    "Bevel1",   "BtFill",       "Maxrecord", "BtSave",
        "BtFirst",  "BTPrevious", "Bt10",     "BtNext",       "BTlast",    "TbFd",
        "Chtshow",  "Edit1",      "Edit2"};
    for (const char* n : shownNames) EXPECT_TRUE(visible(child(n))) << n;
    const QRect clientRect(0, 0, kClientWidth, kClientHeight);
    const QRect chartRect = w->Chtshow().geometry();
    const char* unseen[] = {"Panel3",     "Panel2",         "QuickRep1", "BTCon",
                            "BtDiscon",   "BtExit",         "IFQV31",    "IFQV14",
                            "IFQV16",     "IFQV22",         "IFQV15T",   "IFQV40T",
                            "IFQV52T",    "IFQV63",         "IFOtherT",  "systeminfomation",
                            "USBtxt",     "USBtxt1",        "Memo1",     "SetFeature",
                            "DevListBox", "HistoryListBox", "InfoBtn",   "ReadBtn",
                            "ClearBtn",   "RecallDataTest", "ComboBox1", "MinText",
                            "MaxText",    "RecallCheck",    "TimeH",     "TimeInt"};
    for (const char* n : unseen) {
        QWidget* c = child(n);
        ASSERT_TRUE(c) << n;
        const QRect r(c->mapTo(clientArea(), QPoint(0, 0)), c->size());
        const bool covered =
            chartRect.contains(r) && c->parentWidget() == clientArea() &&
            clientArea()->children().indexOf(c) < clientArea()->children().indexOf(&w->Chtshow());
        EXPECT_TRUE(!c->isVisibleTo(w.get()) || !r.intersects(clientRect) || covered) << n;
    }
    EXPECT_TRUE(ctl<QCheckBox>(*w, "IFQV31")->isChecked());
    for (QCheckBox* b : {ctl<QCheckBox>(*w, "IFQV14"), ctl<QCheckBox>(*w, "IFQV16"),
                         ctl<QCheckBox>(*w, "IFQV22"), ctl<QCheckBox>(*w, "IFQV15T"),
                         ctl<QCheckBox>(*w, "IFQV40T"), ctl<QCheckBox>(*w, "IFQV52T"),
                         ctl<QCheckBox>(*w, "IFQV63"), ctl<QCheckBox>(*w, "IFOtherT")})
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    for (const char* timer :
         {"ConTimer", "Timer1", "Timer2", "Timer3", "Timer4", "Timer5", "Timer6"})
        EXPECT_TRUE(child<QTimer>(timer)) << timer;
    EXPECT_EQ(child<QTimer>("Timer2")->interval(), 2000);
    EXPECT_FALSE(child<QTimer>("Timer1")->isActive());
}

TEST_F(Window, WithTheShippedSwitchClearTheCountProfileIsFourAndBytesGoNowhere) {
    ctl<QCheckBox>(*w, "IFQV31")->setChecked(false);
    w->setWindowTitle(QString());
    w->meter.lcd.reset();
    w->FormCreate();
    EXPECT_EQ(w->windowTitle(), QString());
    EXPECT_EQ(w->Chtshow().valueMaximum(), 40000);
    EXPECT_EQ(ctl<QProgressBar>(*w, "PBar2")->maximum(), 40);
    EXPECT_EQ(shownDigits(), QStringLiteral("39999"));
    feed(5);
    EXPECT_EQ(w->meter.counts.decoded, 0u);
    EXPECT_EQ(w->cds1().size(), 0);
}

TEST_F(Window, PortSelectorCyclesThroughTheFourPorts) {
    for (int expected : {2, 3, 4, 1}) {
        ClickPanel* shown = nullptr;
        for (ClickPanel* p : ports())
            if (p->isVisible()) shown = p;
        ASSERT_TRUE(shown);
        QTest::mouseClick(shown, Qt::LeftButton);
        EXPECT_EQ(w->SelectedPort, expected);
        EXPECT_EQ(w->COMM2().ComPort(), expected - 1);
        int visibleCount = 0;
        for (int i = 0; i < 4; ++i) {
            ClickPanel* p = port(i);
            if (p->isVisible()) {
                ++visibleCount;
                EXPECT_EQ(p->text(), QStringLiteral("COM %1").arg(expected));
            }
            EXPECT_EQ(comItem(i)->isChecked(), i == expected - 1);
        }
        EXPECT_EQ(visibleCount, 1);
    }
    // The hidden menu selects a port directly.
    comItem(2)->trigger();
    EXPECT_EQ(w->SelectedPort, 3);
    EXPECT_TRUE(visible(port(2)));
}

TEST_F(Window, ComLinkDisablesThePortSelectorAndHidesUsb) {
    qputenv("DMM_COM1", "/nonexistent/dmm-test-tty");
    ctl<QPushButton>(*w, "COMCon")->click();
    EXPECT_TRUE(ctl<QPushButton>(*w, "COMCon")->isChecked());
    EXPECT_EQ(ctl<QPushButton>(*w, "COMCon")->text(), QStringLiteral("COM Disconnect"));
    EXPECT_FALSE(visible(ctl<QPushButton>(*w, "USBCon")));
    EXPECT_FALSE(port(0)->isEnabled());
    EXPECT_FALSE(ctl<QMenu>(*w, "ComSetup1")->menuAction()->isEnabled());
    EXPECT_TRUE(ctl<QAction>(*w, "START1")->isChecked());
    EXPECT_FALSE(ctl<QAction>(*w, "START1")->isEnabled());
    EXPECT_TRUE(ctl<QAction>(*w, "STOP1")->isEnabled());
    EXPECT_FALSE(ctl<ClickPanel>(*w, "BTCon")->isVisibleTo(w.get()));
    EXPECT_TRUE(ctl<ClickPanel>(*w, "BtDiscon")->isVisibleTo(w.get()));
    QTest::mouseClick(port(0), Qt::LeftButton);
    EXPECT_EQ(w->SelectedPort, 1); // a disabled selector cannot be clicked

    ctl<QPushButton>(*w, "COMCon")->click();
    EXPECT_FALSE(ctl<QPushButton>(*w, "COMCon")->isChecked());
    EXPECT_EQ(ctl<QPushButton>(*w, "COMCon")->text(), QStringLiteral("COM Connection"));
    EXPECT_TRUE(visible(ctl<QPushButton>(*w, "USBCon")));
    EXPECT_TRUE(port(0)->isEnabled());
    EXPECT_TRUE(ctl<QAction>(*w, "STOP1")->isChecked());
    EXPECT_FALSE(ctl<QAction>(*w, "STOP1")->isEnabled());
    EXPECT_TRUE(ctl<ClickPanel>(*w, "BTCon")->isVisibleTo(w.get()));

    // The hidden START and STOP items press and release the toggle without its caption.
    ctl<QAction>(*w, "START1")->trigger();
    EXPECT_TRUE(ctl<QPushButton>(*w, "COMCon")->isChecked());
    EXPECT_EQ(ctl<QPushButton>(*w, "COMCon")->text(), QStringLiteral("COM Connection"));
    EXPECT_TRUE(visible(ctl<QPushButton>(*w, "USBCon")));
    ctl<QAction>(*w, "STOP1")->trigger();
    EXPECT_FALSE(ctl<QPushButton>(*w, "COMCon")->isChecked());
    qunsetenv("DMM_COM1");
}

TEST_F(Window, UsbConnectWithoutAdapterSaysSoAndPopsUp) {
    ctl<QPushButton>(*w, "USBCon")->click();
    EXPECT_FALSE(ctl<QPushButton>(*w, "USBCon")->isChecked());
    EXPECT_EQ(ctl<QPushButton>(*w, "USBCon")->text(), QStringLiteral("USB Connect"));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QLatin1String(kUsbNotConnectedText)});
    EXPECT_TRUE(visible(ctl<QPushButton>(*w, "COMCon")));
    EXPECT_TRUE(visible(port(0)));
}

TEST_F(Window, WatchdogShowsNoLinkOnTheThirdTickAfterTheLastFrame) {
    feed(2);
    ASSERT_GE(w->meter.counts.decoded, 1u);
    EXPECT_TRUE(visible(ctl<QLabel>(*w, "CONok")));
    EXPECT_FALSE(visible(ctl<QLabel>(*w, "CONokN")));
    w->ConTimerTimer();
    w->ConTimerTimer();
    EXPECT_TRUE(visible(ctl<QLabel>(*w, "CONok"))); // a frame every 200 ms keeps the link image lit
    feed(1);
    w->ConTimerTimer();
    w->ConTimerTimer();
    EXPECT_TRUE(visible(ctl<QLabel>(*w, "CONok")));
    w->ConTimerTimer();
    EXPECT_FALSE(visible(ctl<QLabel>(*w, "CONok")));
    EXPECT_TRUE(visible(ctl<QLabel>(*w, "CONokN")));
    EXPECT_EQ(w->meter.FrameWatchdog, 0);
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

TEST_F(Window, WatchdogDropsASilentUsbLinkAtExactly1900IdleReports) {
    for (int idle : {1899, 1900}) {
        ctl<QPushButton>(*w, "USBCon")->setChecked(true);
        ctl<QPushButton>(*w, "USBCon")->setText(QStringLiteral("USB Disconnect"));
        w->meter.hid.IdleReports = idle;
        w->meter.FrameWatchdog = 2;
        w->ConTimerTimer();
        const bool dropped = idle >= 1900;
        EXPECT_EQ(ctl<QPushButton>(*w, "USBCon")->isChecked(), !dropped) << idle;
        EXPECT_EQ(ctl<QPushButton>(*w, "USBCon")->text(),
                  dropped ? QStringLiteral("USB Connection") : QStringLiteral("USB Disconnect"));
        EXPECT_EQ(w->meter.hid.IdleReports, dropped ? 0 : idle);
    }
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QLatin1String(kUsbMeterNotReadyText)});
}

TEST_F(Window, QuitAnsweredNoLeavesTheLinkUp) {
    qputenv("DMM_COM1", "/nonexistent/dmm-test-tty");
    ctl<QPushButton>(*w, "COMCon")->click();
    feed(3);
    const int rows = w->cds1().size();
    dialogs.answers = {MsgButton::No};
    ctl<QPushButton>(*w, "BitBtn1")->click();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0].text,
              QStringLiteral("Are you sure that you want to quit this application?"));
    EXPECT_EQ(dialogs.questions[0].buttons, MsgButton::Yes | MsgButton::No);
    EXPECT_FALSE(w->terminated());
    EXPECT_TRUE(ctl<QPushButton>(*w, "COMCon")->isChecked());
    EXPECT_EQ(ctl<QPushButton>(*w, "COMCon")->text(), QStringLiteral("COM Disconnect"));
    EXPECT_EQ(w->cds1().size(), rows);

    dialogs.answers = {MsgButton::Yes};
    ctl<QPushButton>(*w, "BitBtn1")->click();
    EXPECT_TRUE(w->terminated());
    qunsetenv("DMM_COM1");
}

TEST_F(Window, ReadingsArriveInTheLcdTheGridAndTheChart) {
    QSignalSpy decoded(w.get(), &TFCOMM::readingDecoded);
    QSignalSpy recorded(w.get(), &TFCOMM::rowRecorded);
    const sim::SimFrame last = feed(40);
    ASSERT_TRUE(last.intact);
    EXPECT_EQ(w->meter.counts.decoded, 40u);
    EXPECT_EQ(w->cds1().size(), 40);
    EXPECT_EQ(decoded.count(), 40);
    ASSERT_EQ(recorded.count(), 40);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(recorded.at(i).at(0).toInt(), i);
    // The first row reached the grid at once; the rest come in a batch.
    EXPECT_GE(ctl<QTableView>(*w, "DBGrid1")->model()->rowCount(), 1);
    w->flushGrid();
    EXPECT_EQ(ctl<QTableView>(*w, "DBGrid1")->model()->rowCount(), 40);
    EXPECT_EQ(ctl<QTableView>(*w, "DBGrid1")->currentIndex().row(),
              39); // the newest row is the current one
    EXPECT_EQ(w->cds1().text(39, Field::Value), QString::fromStdString(last.expected.value));
    EXPECT_EQ(w->pager().pointCount(0), 41u);
    EXPECT_EQ(w->Chtshow().pointsOf(0)->count(), 40);
    EXPECT_EQ(w->Chtshow().pointsOf(0)->at(39).y(), last.expected.numeric);
    // The mirror shows the reading's digits, its sign and its decimal point.
    QString digits = QString::fromStdString(last.expected.value);
    const bool negative = digits.startsWith(QLatin1Char('-'));
    digits.remove(QLatin1Char('-')).remove(w->LocaleDecimalSeparator);
    EXPECT_EQ(shownDigits(), digits);
    EXPECT_EQ(visible(child("LcdFH")), negative);
    const QString value = QString::fromStdString(last.expected.value);
    const int sep = value.indexOf(w->LocaleDecimalSeparator) - (negative ? 1 : 0);
    const char* points[] = {"LcdP0", "LcdP1", "LcdP2", "LcdP3"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(visible(child(points[i])), sep == i + 1)
            << points[i] << " " << last.expected.value;
    EXPECT_TRUE(visible(ctl<QLabel>(*w, "CONok")));
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1VALUE")->text(), value);
}

TEST_F(Window, EveryFunctionOfTheTourShowsItsUnitSymbol) {
    useScript("tour");
    for (int i = 0; i < 200; ++i) {
        const sim::SimFrame f = feed(1);
        if (!f.intact || w->meter.counts.decoded == 0) continue;
        const QString unit = QString::fromStdString(f.expected.unit);
        const QString dcac = QString::fromStdString(f.expected.dcac);
        // Each unit character of the reading has its annunciator on.
        struct UnitMark {
            QChar c;
            const char* element;
        };
        const UnitMark marks[] = {{QLatin1Char('V'), "LcdV"},   {QLatin1Char('A'), "LCDA"},
                                  {QLatin1Char('*'), "LCDohm"}, {QLatin1Char('F'), "LCDF"},
                                  {QLatin1Char('#'), "LCDCS"},  {QLatin1Char('?'), "LCDFS"},
                                  {QLatin1Char('k'), "LCDk"},   {QLatin1Char('M'), "LCDM1"},
                                  {QLatin1Char('n'), "LCDn"},   {QLatin1Char('u'), "LCDu"}};
        for (const UnitMark& m : marks) {
            // A percentage of a current loop shows "%" for its unit, not the ampere.
            if (unit.contains(m.c) && !unit.endsWith(QLatin1String("Hz")) &&
                !unit.contains(QLatin1Char('%'))) {
                EXPECT_TRUE(visible(child(m.element))) << f.expected.unit << " " << m.element;
            }
        }
        if (unit.endsWith(QLatin1String("Hz"))) {
            EXPECT_TRUE(visible(child("LCDHz"))) << f.expected.unit;
        }
        if (dcac == QLatin1String("Diode")) {
            EXPECT_TRUE(visible(child("LCDDI")));
        }
    }
    EXPECT_GT(w->meter.counts.decoded, 100u);
    // The grid shows units as symbols while the table keeps the code.
    w->flushGrid();
    bool sawOhm = false;
    for (int r = 0; r < w->cds1().size(); ++r) {
        if (w->cds1().text(r, Field::Unit).contains(QLatin1Char('*'))) {
            const QString shown = ctl<QTableView>(*w, "DBGrid1")
                                      ->model()
                                      ->index(r, static_cast<int>(Field::Unit))
                                      .data()
                                      .toString();
            EXPECT_TRUE(shown.contains(QChar(0x03A9))) << shown.toStdString();
            sawOhm = true;
        }
    }
    EXPECT_TRUE(sawOhm);
}

TEST_F(Window, PagingThroughTheToolBar) {
    feed(230); // 231 points: 3 pages, the window 201..300
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("3"));
    EXPECT_EQ(w->Chtshow().bottomMinimum(), 201);
    ctl<QToolButton>(*w, "BtFirst")->click();
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("1"));
    EXPECT_EQ(w->Chtshow().bottomMinimum(), 1);
    EXPECT_EQ(w->Chtshow().bottomMaximum(), 100);
    EXPECT_EQ(w->Chtshow().pointsOf(0)->count(), 100);
    ctl<QToolButton>(*w, "BTPrevious")->click();
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("1"));
    ctl<QToolButton>(*w, "BtNext")->click();
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("2"));
    EXPECT_TRUE(w->pager().Browsing());
    feed(80); // browsing: new readings leave the window and the page number
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("2"));
    EXPECT_EQ(w->Chtshow().bottomMinimum(), 101);
    ctl<QToolButton>(*w, "BTlast")->click();
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("4"));
    EXPECT_EQ(w->Chtshow().bottomMinimum(), 301);
    EXPECT_FALSE(w->pager().Browsing());
    // The hidden Graphic menu does the same.
    ctl<QAction>(*w, "First")->trigger();
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("1"));
    ctl<QAction>(*w, "Last")->trigger();
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("4"));
}

TEST_F(Window, PageSizeFieldTakesDigitsOnlyAndFallsBackTo100) {
    feed(230);
    ctl<QLineEdit>(*w, "Maxrecord")->setFocus();
    ctl<QLineEdit>(*w, "Maxrecord")->selectAll();
    QTest::keyClicks(ctl<QLineEdit>(*w, "Maxrecord"), QStringLiteral("5x-0"));
    EXPECT_EQ(ctl<QLineEdit>(*w, "Maxrecord")->text(), QStringLiteral("50"));
    EXPECT_TRUE(ctl<QTimer>(*w, "Timer2")->isActive());
    w->Timer2Timer();
    EXPECT_FALSE(ctl<QTimer>(*w, "Timer2")->isActive());
    EXPECT_EQ(w->pager().PageSize(), 50);
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("5"));
    EXPECT_EQ(w->Chtshow().bottomMinimum(), 201);
    EXPECT_EQ(w->Chtshow().bottomMaximum(), 250);
    // Backspace passes the filter.
    QTest::keyClick(ctl<QLineEdit>(*w, "Maxrecord"), Qt::Key_Backspace);
    EXPECT_EQ(ctl<QLineEdit>(*w, "Maxrecord")->text(), QStringLiteral("5"));
    // A pasted size below 1, an empty text and a zero all become 100.
    for (const char* text : {"-3", "", "0"}) {
        ctl<QLineEdit>(*w, "Maxrecord")->setText(QLatin1String(text));
        w->Timer2Timer();
        EXPECT_EQ(ctl<QLineEdit>(*w, "Maxrecord")->text(), QStringLiteral("100")) << text;
        EXPECT_EQ(w->pager().PageSize(), 100) << text;
        w->pager().SetPageSize(50);
    }
}

TEST_F(Window, ValueAxisFieldsHoldUntilTheNextFrame) {
    ctl<QLineEdit>(*w, "Edit1")->setText(QStringLiteral("0"));
    EXPECT_TRUE(ctl<QTimer>(*w, "Timer5")->isActive());
    w->Timer5Timer();
    EXPECT_EQ(w->Chtshow().valueMaximum(), 20000); // 0 equals the starting AxisMaximum
    ctl<QLineEdit>(*w, "Edit1")->setText(QStringLiteral("15000"));
    w->Timer5Timer();
    EXPECT_EQ(w->Chtshow().valueMaximum(), 15000);
    ctl<QLineEdit>(*w, "Edit1")->setText(QString());
    w->Timer5Timer();
    EXPECT_EQ(ctl<QLineEdit>(*w, "Edit1")->text(), QStringLiteral("20000"));
    EXPECT_EQ(w->Chtshow().valueMaximum(), 20000);
    ctl<QLineEdit>(*w, "Edit2")->setText(QStringLiteral("abc"));
    w->Timer6Timer();
    EXPECT_EQ(ctl<QLineEdit>(*w, "Edit2")->text(), QStringLiteral("-20000"));
    ctl<QLineEdit>(*w, "Edit2")->setText(QStringLiteral("-300"));
    w->Timer6Timer();
    EXPECT_EQ(w->Chtshow().valueMinimum(), -300);
    // The decoder sets the axis from the range at every frame: symmetric about 0 again.
    feed(1);
    EXPECT_GT(w->Chtshow().valueMaximum(), 0);
    EXPECT_EQ(w->Chtshow().valueMinimum(), -w->Chtshow().valueMaximum());
}

TEST_F(Window, EnlargeAndRestoreTheChart) {
    const QRect before = w->Chtshow().geometry();
    QTest::mouseClick(ctl<ImageButton>(*w, "TbFd"), Qt::LeftButton);
    EXPECT_EQ(w->Chtshow().geometry().topLeft(), QPoint(2, 28));
    EXPECT_EQ(w->Chtshow().width(), w->outerSize().width() - 12);
    EXPECT_EQ(w->Chtshow().height(), w->outerSize().height() - 75);
    // It covers the LCD mirror and the grid.
    EXPECT_TRUE(w->Chtshow().geometry().contains(
        ctl<QTableView>(*w, "DBGrid1")->geometry().adjusted(2, 0, 0, -4)));
    EXPECT_TRUE(w->Chtshow().geometry().contains(w->Panel1().geometry()));
    EXPECT_FALSE(visible(ctl<QFrame>(*w, "Panel4")));
    EXPECT_FALSE(visible(ctl<QFrame>(*w, "Panel6")));
    EXPECT_EQ(ctl<QFrame>(*w, "Panel19")->pos(), QPoint(4, 2));
    EXPECT_FALSE(visible(ctl<ImageButton>(*w, "TbFd")));
    EXPECT_TRUE(visible(ctl<ImageButton>(*w, "TbSx")));
    QTest::mouseClick(ctl<ImageButton>(*w, "TbSx"), Qt::LeftButton);
    EXPECT_EQ(w->Chtshow().geometry(), before);
    EXPECT_TRUE(visible(ctl<QFrame>(*w, "Panel4")));
    EXPECT_TRUE(visible(ctl<QFrame>(*w, "Panel6")));
    EXPECT_EQ(ctl<QFrame>(*w, "Panel19")->pos(), QPoint(337, 152));
    EXPECT_TRUE(visible(ctl<ImageButton>(*w, "TbFd")));
    EXPECT_FALSE(visible(ctl<ImageButton>(*w, "TbSx")));
}

TEST_F(Window, SavesTheChartAsAReadableBitmap) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("chart.bmp"));
    feed(30);
    dialogs.fileNames = {name};
    ctl<QToolButton>(*w, "BtSave")->click();
    ASSERT_EQ(dialogs.questions.size(), 2);
    EXPECT_EQ(dialogs.questions[0].kind, ScriptedDialogs::Kind::SavePicture);
    EXPECT_EQ(dialogs.questions[0].spec.filter, QStringLiteral("Bitmaps (*.bmp)|*.bmp"));
    EXPECT_TRUE(dialogs.questions[0].spec.confirmOverwrite);
    EXPECT_EQ(dialogs.questions[1].text, QStringLiteral("Graphic has saved on ") + name);
    QImageReader reader(name);
    EXPECT_EQ(reader.format(), QByteArray("bmp"));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), w->Chtshow().size());
    // The area series is drawn in its fill colour somewhere.
    bool filled = false;
    for (int y = 0; y < image.height() && !filled; ++y)
        for (int x = 0; x < image.width() && !filled; ++x)
            filled = image.pixelColor(x, y) == QColor(0xFF, 0xFF, 0x80);
    EXPECT_TRUE(filled);

    dialogs.fileNames = {QString()}; // cancelled: nothing happens
    ctl<QToolButton>(*w, "BtSave")->click();
    EXPECT_EQ(dialogs.questions.size(), 3);
}

// A save that fails part-way (a full disk) leaves the old picture as it was, no partial file
// beside it, and says so. Run on a tmpfs where one can be mounted and under a file size limit.
TEST_F(Window, SavingTheChartOnAFullDiskKeepsTheOldPictureAndSaysSo) {
    using dmm::test::FullDisk;
    feed(30);
    dmm::test::forEachFullDisk(64 * 1024, [&](FullDisk& disk) {
        const QSize size = w->Chtshow().size();
        ASSERT_GT(size.width() * size.height() * 3, disk.capacity()) << "the picture must not fit";
        const QString name = disk.filePath(QStringLiteral("chart.bmp"));
        const QByteArray old = "the old picture";
        {
            QFile f(name);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        dialogs.questions.clear();
        dialogs.fileNames = {name};
        {
            FullDisk::Scope limited(disk);
            ctl<QToolButton>(*w, "BtSave")->click();
        }
        ASSERT_EQ(dialogs.questions.size(), 2);
        EXPECT_EQ(dialogs.questions[1].icon, MsgIcon::Error);
        EXPECT_TRUE(dialogs.questions[1].text.startsWith(
            QStringLiteral("Could not save the graphic on ") + name))
            << dialogs.questions[1].text.toStdString();
        dmm::test::expectOldFileKept(name, old);
    });
}

TEST_F(Window, FillSwitchesBetweenAreaAndLine) {
    ctl<QCheckBox>(*w, "BtFill")->click();
    EXPECT_FALSE(ctl<QAction>(*w, "Fill")->isChecked());
    EXPECT_FALSE(w->pager().isActive(0));
    EXPECT_TRUE(w->pager().isActive(1));
    EXPECT_FALSE(w->Chtshow().seriesVisible(0));
    EXPECT_TRUE(w->Chtshow().seriesVisible(1));
    ctl<QAction>(*w, "Fill")->trigger();
    EXPECT_TRUE(ctl<QCheckBox>(*w, "BtFill")->isChecked());
    EXPECT_TRUE(ctl<QAction>(*w, "Fill")->isChecked());
    EXPECT_TRUE(w->pager().isActive(0));
    EXPECT_FALSE(w->pager().isActive(1));
    // RepeatSet's click runs the same handler.
    ctl<QCheckBox>(*w, "BtFill")->setChecked(false);
    ctl<QCheckBox>(*w, "RepeatSet")->click();
    EXPECT_TRUE(w->pager().isActive(1));
    ctl<QComboBox>(*w, "ComboBox1")->setCurrentIndex(0);
    w->ComboBox1Change();
    EXPECT_TRUE(w->pager().isActive(0));
    ctl<QAction>(*w, "New")->trigger();
    EXPECT_EQ(w->pager().pointCount(0), 1u);
    EXPECT_EQ(ctl<QComboBox>(*w, "ComboBox1")->currentIndex(), 0);
}

TEST_F(Window, CloseDataAsksAndClearsTableAndChart) {
    feed(150);
    dialogs.answers = {MsgButton::No};
    ctl<QToolButton>(*w, "RecordNew")->click();
    EXPECT_EQ(w->cds1().size(), 150);
    dialogs.answers = {MsgButton::Yes};
    ctl<QToolButton>(*w, "RecordNew")->click();
    EXPECT_EQ(dialogs.messageTexts(),
              (QStringList{QStringLiteral("Are you sure to delete the data?"),
                           QStringLiteral("Are you sure to delete the data?")}));
    EXPECT_EQ(w->cds1().size(), 0);
    EXPECT_EQ(ctl<QPushButton>(*w, "Bt10")->text(), QStringLiteral("1"));
    EXPECT_EQ(w->pager().pointCount(0), 1u);
    EXPECT_EQ(w->recorder().NextRecordNo(), 1);
    feed(1);
    EXPECT_EQ(w->cds1().integer(0, Field::No), 1);
}

TEST_F(Window, RecordNumbersStopAtTheLargestAndResumeAfterCloseData) {
    // Only suppressed duplicates get a window this far in a run; the recorder starts near it.
    constexpr int kMax = std::numeric_limits<int>::max();
    w->recorder().setNextRecordNo(kMax - 1);
    feed(5);
    ASSERT_EQ(w->cds1().size(), 2);
    EXPECT_EQ(w->cds1().integer(0, Field::No), kMax - 1);
    EXPECT_EQ(w->cds1().integer(1, Field::No), kMax);
    EXPECT_EQ(w->pager().pointCount(0), 3u) << "the initial point and two readings";
    EXPECT_EQ(w->recorder().NextRecordNo(), kMax);
    dialogs.answers = {MsgButton::Yes};
    ctl<QToolButton>(*w, "RecordNew")->click();
    feed(1);
    ASSERT_EQ(w->cds1().size(), 1);
    EXPECT_EQ(w->cds1().integer(0, Field::No), 1);
}

TEST_F(Window, SamplingIntervalRecordsOnTheTimer) {
    ctl<QCheckBox>(*w, "RecordSI")->click();
    EXPECT_TRUE(ctl<QTimer>(*w, "Timer1")->isActive());
    feed(5);
    EXPECT_EQ(w->cds1().size(), 0); // the Q32 decoder leaves recording to the timer
    w->Timer1Timer();
    w->Timer1Timer();
    EXPECT_EQ(w->cds1().size(), 2);
    ctl<QLineEdit>(*w, "RecordSITime")->setText(QStringLiteral("0"));
    EXPECT_EQ(ctl<QLineEdit>(*w, "RecordSITime")->text(), QStringLiteral("1"));
    ctl<QLineEdit>(*w, "RecordSITime")->setText(QStringLiteral("3"));
    EXPECT_EQ(ctl<QTimer>(*w, "Timer1")->interval(), 3000);
    ctl<QCheckBox>(*w, "RecordSI")->click();
    EXPECT_FALSE(ctl<QTimer>(*w, "Timer1")->isActive());
}

// ---- keyboard -----------------------------------------------------------------------------

namespace {

// The controls that Tab walks, in reading order.
QList<QWidget*> tabOrder(const TFCOMM& w) {
    return {ctl<QPushButton>(w, "COMCon"),        ctl<QPushButton>(w, "USBCon"),
            ctl<QPushButton>(w, "BitBtn1"),       ctl<QLineEdit>(w, "T1HI"),
            ctl<QLineEdit>(w, "T1VALUE"),         ctl<QLineEdit>(w, "T1LO"),
            ctl<QCheckBox>(w, "RepeatSet"),       ctl<QCheckBox>(w, "RecordSI"),
            ctl<QLineEdit>(w, "RecordSITime"),    ctl<QToolButton>(w, "RecordNew"),
            ctl<QToolButton>(w, "OpenDataFiles"), ctl<QToolButton>(w, "saveas"),
            ctl<QToolButton>(w, "BtPrint"),       ctl<QTableView>(w, "DBGrid1"),
            ctl<QCheckBox>(w, "BtFill"),          ctl<QLineEdit>(w, "Maxrecord"),
            ctl<QToolButton>(w, "BtSave"),        ctl<QToolButton>(w, "BtFirst"),
            ctl<QToolButton>(w, "BTPrevious"),    ctl<QPushButton>(w, "Bt10"),
            ctl<QToolButton>(w, "BtNext"),        ctl<QToolButton>(w, "BTlast"),
            ctl<QLineEdit>(w, "Edit1"),           ctl<QLineEdit>(w, "Edit2")};
}

QString nameOf(const QWidget* widget) {
    return widget ? widget->objectName() : QStringLiteral("(none)");
}

// The names of the controls that focus visits, starting where it is, `steps` keys long.
QStringList walk(int steps, bool backward) {
    QStringList visited;
    for (int i = 0; i < steps; ++i) {
        visited << nameOf(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), backward ? Qt::Key_Backtab : Qt::Key_Tab,
                        backward ? Qt::ShiftModifier : Qt::NoModifier);
    }
    return visited;
}

QStringList names(const QList<QWidget*>& widgets) {
    QStringList n;
    for (const QWidget* widget : widgets) n << nameOf(widget);
    return n;
}

} // namespace

// No control that is hidden or lies outside the client area can take the keyboard focus; the
// controls that can are exactly the ones Tab walks.
TEST_F(Window, OnlyControlsInSightTakeTheFocus) {
    const QRect area(0, 0, kClientWidth, kClientHeight);
    const QList<QWidget*> order = tabOrder(*w);
    for (QWidget* c : clientArea()->findChildren<QWidget*>()) {
        if (c->isWindow()) continue;
        const QRect place(c->mapTo(clientArea(), QPoint(0, 0)), c->size());
        if (!c->isVisibleTo(clientArea()) || !area.contains(place)) {
            EXPECT_EQ(c->focusPolicy(), Qt::NoFocus) << nameOf(c).toStdString();
        }
        if (c->focusPolicy() != Qt::NoFocus) {
            EXPECT_TRUE(order.contains(c)) << nameOf(c).toStdString();
        }
    }
    for (QWidget* c : {static_cast<QWidget*>(ctl<QCheckBox>(*w, "RecallCheck")),
                       static_cast<QWidget*>(ctl<QLineEdit>(*w, "TimeH")),
                       static_cast<QWidget*>(ctl<QPushButton>(*w, "ClearBtn")),
                       static_cast<QWidget*>(ctl<QPushButton>(*w, "ReadBtn"))})
        EXPECT_EQ(c->focusPolicy(), Qt::NoFocus) << nameOf(c).toStdString();
}

TEST_F(Window, TabWalksTheVisibleControlsInReadingOrder) {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    const QStringList order = names(tabOrder(*w));
    // Focus starts on the first control; Tab from each one reaches the next, and wraps.
    EXPECT_EQ(nameOf(QApplication::focusWidget()), order.front());
    EXPECT_EQ(walk(static_cast<int>(order.size()) + 1, false), order + QStringList{order.front()});
    ASSERT_EQ(nameOf(QApplication::focusWidget()), QStringLiteral("USBCon"));
    // Shift+Tab walks back.
    QStringList back = order;
    std::reverse(back.begin(), back.end());
    back.prepend(order.front());
    back.removeLast();
    ctl<QPushButton>(*w, "COMCon")->setFocus();
    EXPECT_EQ(walk(static_cast<int>(order.size()), true), back);

    // The enlarged chart covers the mirror, the recording row and the grid: Tab skips them.
    QTest::mouseClick(ctl<ImageButton>(*w, "TbFd"), Qt::LeftButton);
    ASSERT_TRUE(ctl<ImageButton>(*w, "TbSx")->isVisible());
    EXPECT_EQ(nameOf(QApplication::focusWidget()), QStringLiteral("BtFill"));
    const QStringList enlarged = {"BtFill", "Maxrecord", "BtSave", "BtFirst", "BTPrevious",
                                  "Bt10",   "BtNext",    "BTlast", "Edit1",   "Edit2"};
    EXPECT_EQ(walk(static_cast<int>(enlarged.size()), false), enlarged);
    QTest::mouseClick(ctl<ImageButton>(*w, "TbSx"), Qt::LeftButton);
    ctl<QPushButton>(*w, "COMCon")->setFocus();
    EXPECT_EQ(walk(static_cast<int>(order.size()), false), order);
}

// Whatever is typed into the window after start, recorded rows keep the clock's time.
TEST_F(Window, KeysTypedAfterStartLeaveTheTimeStamps) {
    qputenv("DMM_COM1", "/nonexistent/dmm-window-test"); // a COM connect fails quietly
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    for (int step = 0; step < 60; ++step) {
        QWidget* f = QApplication::focusWidget();
        ASSERT_TRUE(f);
        if (qobject_cast<QLineEdit*>(f)) {
            QTest::keyClicks(f, QStringLiteral("12 x"));
            QTest::keyClick(f, Qt::Key_Return);
            QTest::keyClick(f, Qt::Key_Escape);
        }
        QTest::keyClick(f, Qt::Key_Tab);
    }
    qunsetenv("DMM_COM1");
    EXPECT_FALSE(ctl<QCheckBox>(*w, "RecallCheck")->isChecked());
    // Record every frame again, whatever the keys did to the recording switches.
    ctl<QCheckBox>(*w, "RepeatSet")->setChecked(true);
    if (ctl<QCheckBox>(*w, "RecordSI")->isChecked()) ctl<QCheckBox>(*w, "RecordSI")->click();
    feed(5);
    ASSERT_GT(w->cds1().size(), 0);
    for (int row = 0; row < w->cds1().size(); ++row) {
        const QTime stamped =
            QTime::fromString(w->cds1().text(row, Field::Time), QStringLiteral("hh:mm:ss"));
        ASSERT_TRUE(stamped.isValid()) << w->cds1().text(row, Field::Time).toStdString();
        const int apart = std::abs(stamped.secsTo(QTime::currentTime()));
        EXPECT_TRUE(apart <= 5 || apart >= 86395) << stamped.toString().toStdString();
    }
}

// The number fields' filters judge printable characters only: Tab, Return, Escape and the
// editing shortcuts pass; pasted text is filtered as if typed in turn at the cursor.
TEST_F(Window, NumberFieldsLetEditingKeysThroughAndFilterPastedText) {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    const QString sep = w->LocaleDecimalSeparator;
    QClipboard* clipboard = QGuiApplication::clipboard();
    ctl<QLineEdit>(*w, "T1HI")->setFocus();
    QTest::keyClick(ctl<QLineEdit>(*w, "T1HI"), Qt::Key_A, Qt::ControlModifier); // select all
    QTest::keyClicks(ctl<QLineEdit>(*w, "T1HI"), QStringLiteral("5"));
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1HI")->text(), QStringLiteral("5"));
    QTest::keyClick(ctl<QLineEdit>(*w, "T1HI"), Qt::Key_Z, Qt::ControlModifier); // undo
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1HI")->text(), QStringLiteral("6000"));
    QTest::keyClick(ctl<QLineEdit>(*w, "T1HI"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(ctl<QLineEdit>(*w, "T1HI"), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("6000"));
    QTest::keyClick(ctl<QLineEdit>(*w, "T1HI"), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1HI")->text(), QString());

    const struct {
        QLineEdit* field;
        const char* before;
        const char* pasted;
        const char* after;
    } pastes[] = {
        {ctl<QLineEdit>(*w, "T1HI"), "", "1x2.3.4 ",
         "12.34"}, // one separator only, as typing would allow
        {ctl<QLineEdit>(*w, "T1LO"), "7", "-8a9", "7-89"}, // at the cursor, after the text
        {ctl<QLineEdit>(*w, "Maxrecord"), "", "1a0-0", "100"},
        {ctl<QLineEdit>(*w, "RecordSITime"), "1", " 2 5", "125"},
        {ctl<QLineEdit>(*w, "Edit1"), "", "3e4", "34"},
    };
    for (const auto& p : pastes) {
        QString pasted = QString::fromLatin1(p.pasted);
        QString after = QString::fromLatin1(p.after);
        pasted.replace(QLatin1Char('.'), sep);
        after.replace(QLatin1Char('.'), sep);
        p.field->setText(QLatin1String(p.before));
        p.field->setFocus();
        p.field->end(false);
        clipboard->setText(pasted);
        QTest::keyClick(p.field, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(p.field->text(), after) << p.field->objectName().toStdString();
    }
    // A pasted text the validation cannot use is replaced by the last usable one.
    ctl<QLineEdit>(*w, "T1HI")->setText(QStringLiteral("100"));
    w->Timer3Timer();
    ctl<QLineEdit>(*w, "T1HI")->selectAll();
    clipboard->setText(QStringLiteral("--"));
    QTest::keyClick(ctl<QLineEdit>(*w, "T1HI"), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1HI")->text(), QStringLiteral("--"));
    EXPECT_TRUE(ctl<QTimer>(*w, "Timer3")->isActive());
    w->Timer3Timer();
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1HI")->text(), QStringLiteral("100"));

    // Return and Escape reach the field; Tab leaves it.
    ctl<QLineEdit>(*w, "Maxrecord")->setFocus();
    QTest::keyClick(ctl<QLineEdit>(*w, "Maxrecord"), Qt::Key_Return);
    QTest::keyClick(ctl<QLineEdit>(*w, "Maxrecord"), Qt::Key_Escape);
    QTest::keyClick(ctl<QLineEdit>(*w, "Maxrecord"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), ctl<QToolButton>(*w, "BtSave"));
}

TEST_F(Window, LimitFieldsFilterKeysAndRestoreTheirLastText) {
    ctl<QLineEdit>(*w, "T1HI")->setFocus();
    ctl<QLineEdit>(*w, "T1HI")->selectAll();
    QTest::keyClicks(ctl<QLineEdit>(*w, "T1HI"), QStringLiteral("1.2.3x"));
    const QString sep = w->LocaleDecimalSeparator;
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1HI")->text(), QStringLiteral("1") + sep + QStringLiteral("23"));
    ctl<QLineEdit>(*w, "T1LO")->setText(QString());
    EXPECT_TRUE(ctl<QTimer>(*w, "Timer4")->isActive());
    w->Timer4Timer();
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1LO")->text(), QStringLiteral("-6000"));
    EXPECT_FALSE(ctl<QTimer>(*w, "Timer4")->isActive());
    // A frame is judged against the limits and shows its verdict.
    ctl<QLineEdit>(*w, "T1HI")->setText(QStringLiteral("999999"));
    ctl<QLineEdit>(*w, "T1LO")->setText(QStringLiteral("-999998"));
    feed(1);
    EXPECT_EQ(ctl<QLabel>(*w, "judge")->text(), QStringLiteral("Pass"));
    EXPECT_EQ(ctl<LcdShape>(*w, "Shape1")->fill(), QColor(0, 128, 0));
    EXPECT_EQ(w->cds1().text(0, Field::Auto), QStringLiteral("pass"));
}

TEST_F(Window, SavesAndLoadsDataFilesThroughItsDialogs) {
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("data.xls"));
    feed(12);
    dialogs.fileNames = {name};
    ctl<QToolButton>(*w, "saveas")->click();
    ASSERT_EQ(dialogs.questions.size(), 2);
    const FileDialogSpec& spec = dialogs.questions[0].spec;
    EXPECT_EQ(spec.filter, QStringLiteral("Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt|"
                                          "CSV File(*.csv)|*.csv"));
    EXPECT_EQ(spec.defaultSuffix, QStringLiteral("xls"));
    EXPECT_TRUE(spec.fileName.isEmpty());
    EXPECT_TRUE(spec.confirmOverwrite);
    EXPECT_EQ(dialogs.questions[1].text,
              QStringLiteral("save table to specified file: ") + name + QStringLiteral(" Scuss!"));
    EXPECT_TRUE(ctl<QTableView>(*w, "DBGrid1")->updatesEnabled());
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readLine().startsWith("No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n"));

    dialogs.fileNames = {name, name};
    ctl<QToolButton>(*w, "OpenDataFiles")->click();
    EXPECT_EQ(w->cds1().size(), 24);
    ctl<QToolButton>(*w, "OpenDataFiles")->click();
    EXPECT_EQ(dialogs.questions[3].spec.fileName, name); // the last name is shown again
    EXPECT_EQ(w->cds1().size(), 36);
    EXPECT_EQ(w->pager().pointCount(0), 13u); // loaded rows do not feed the chart

    const QString bad = dir.filePath(QStringLiteral("bad.txt"));
    QFile b(bad);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("No\r\n1 2 3 4 5 6 7 8\r\n");
    b.close();
    dialogs.fileNames = {bad};
    ctl<QToolButton>(*w, "OpenDataFiles")->click();
    EXPECT_EQ(dialogs.last()->text, QStringLiteral("Failed to Load File!"));
    EXPECT_EQ(dialogs.last()->caption, QStringLiteral("Error"));
    EXPECT_EQ(dialogs.last()->icon, MsgIcon::Error);
    EXPECT_TRUE(ctl<QTableView>(*w, "DBGrid1")->updatesEnabled());
}

// A name's own extension decides the format; a name typed without one takes the extension of
// the filter selected in the dialog, and ".xls" when nothing else says.
// The window carries the program's own picture, the desktop entry's icon in every shipped size.
namespace {

// Where an element of the LCD mirror puts ink, in panel coordinates; empty when it puts none.
QRect inkOf(QWidget* element) {
    QImage image(element->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    element->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 96 && c.lightness() < 128) ink |= QRect(x, y, 1, 1);
        }
    return ink.translated(element->pos());
}

} // namespace

// Annunciators that the meter lights together keep their places and read apart: between the
// ink of two words there are at least three pixels of white. A word may be several elements
// ("AC" "+" "DC", "T" "RMS").
TEST_F(Window, AnnunciatorsLitTogetherDoNotRunIntoEachOther) {
    using Word = std::vector<Ind>;
    const std::vector<std::vector<Word>> groups = {
        {{Ind::LCDk}, {Ind::LCDHz}},
        {{Ind::LCDM1}, {Ind::LCDHz}},
        {{Ind::LCDk}, {Ind::LCDohm}},
        {{Ind::LCDM1}, {Ind::LCDohm}},
        {{Ind::Lcdm}, {Ind::LcdV}},
        {{Ind::Lcdm}, {Ind::LCDA}},
        {{Ind::LCDu}, {Ind::LCDA}},
        {{Ind::LCDu}, {Ind::LcdV}},
        {{Ind::LCDn}, {Ind::LCDF}},
        {{Ind::LCDu}, {Ind::LCDF}},
        {{Ind::Lcdm}, {Ind::LCDF}},
        {{Ind::LcdAuto}, {Ind::LCDRS}},
        {{Ind::LcdAC, Ind::LCDJa, Ind::LcdDc1}, {Ind::LCDTRMST, Ind::LCDTRMS}},
        {{Ind::LcdAC}, {Ind::LCDTRMST, Ind::LCDTRMS}},
        {{Ind::LCDBF}, {Ind::LCDRec}, {Ind::LcdAC}},
    };
    const QString dir = qEnvironmentVariable("DMM_SCREENSHOT_DIR");
    int shot = 0;
    for (const auto& group : groups) {
        IndicatorSet lcd;
        for (const Word& word : group)
            for (Ind ind : word) lcd.set(ind, true);
        w->Panel1().apply(lcd);
        if (!dir.isEmpty())
            w->Panel1().grab().save(dir + QStringLiteral("/annunciators%1.png").arg(shot++));
        std::vector<QRect> inks;
        for (const Word& word : group) {
            QRect ink;
            for (Ind ind : word) {
                const QRect one = inkOf(w->Panel1().element(ind));
                EXPECT_FALSE(one.isEmpty()) << indicatorName(ind);
                ink |= one;
            }
            inks.push_back(ink);
        }
        for (std::size_t a = 0; a < group.size(); ++a)
            for (std::size_t b = a + 1; b < group.size(); ++b)
                EXPECT_FALSE(inks[a].adjusted(-3, -3, 3, 3).intersects(inks[b]))
                    << indicatorName(group[a].front()) << " runs into "
                    << indicatorName(group[b].front());
    }
}

TEST_F(Window, CarriesTheProgramsIcon) {
    const QIcon icon = w->windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : kProgramIconSizes)
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
    const QImage shipped(QStringLiteral(":/icons/dmm-interface-32.png"));
    ASSERT_EQ(shipped.size(), QSize(32, 32));
    const QImage shown = icon.pixmap(QSize(32, 32), 1.0).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
              shipped.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    // Not blank: the meter's yellow case is there.
    EXPECT_EQ(shipped.pixelColor(16, 28).rgb(), QColor(0xf2, 0xc2, 0x00).rgb());
}

TEST_F(Window, SaveTakesTheSelectedFiltersExtension) {
    const struct {
        const char* typed;
        const char* filter; // nullptr: the dialog's first filter, as it opens
        const char* saved;
    } cases[] = {
        {"plain", "Txt File(*.txt)", "plain.txt"},
        {"sheet", "Excel File(*.xls)", "sheet.xls"},
        {"first", nullptr, "first.xls"},
        {"unknown", "Some File(*.abc)", "unknown.xls"},
        {"own.txt", "Excel File(*.xls)", "own.txt"},
        {"own.xls", "Txt File(*.txt)", "own.xls"},
        {"table.xml", "Txt File(*.txt)", "table.xml"},
        {"sheet2", "CSV File(*.csv)", "sheet2.csv"},
        {"own.csv", "Txt File(*.txt)", "own.csv"},
        {"own.CSV", "Excel File(*.xls)", "own.CSV"},
    };
    feed(3);
    for (const auto& c : cases) {
        QTemporaryDir dir;
        dialogs.fileNames = {dir.filePath(QLatin1String(c.typed))};
        if (c.filter) dialogs.selectedFilters = {QLatin1String(c.filter)};
        ctl<QToolButton>(*w, "saveas")->click();
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        EXPECT_EQ(files, QStringList{QLatin1String(c.saved)}) << c.typed;
        EXPECT_TRUE(dialogs.selectedFilters.empty());
    }
}

// A recording saved with the third filter is CSV, and Calc opens it as numbers with Unicode
// units: every function of the tour, with its date and time.
TEST_F(Window, SavesCsvThatCalcReadsAsNumbersWithUnicodeUnits) {
    useScript("tour");
    feed(240);
    ASSERT_EQ(w->cds1().size(), 240);
    QTemporaryDir dir;
    dialogs.fileNames = {dir.filePath(QStringLiteral("run"))};
    dialogs.selectedFilters = {QStringLiteral("CSV File(*.csv)")};
    ctl<QToolButton>(*w, "saveas")->click();
    const QString name = dir.filePath(QStringLiteral("run.csv"));
    ASSERT_EQ(dialogs.questions.size(), 2);
    EXPECT_EQ(dialogs.questions[1].text,
              QStringLiteral("save table to specified file: ") + name + QStringLiteral(" Scuss!"));
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QByteArray same;
    QBuffer buf(&same);
    buf.open(QIODevice::WriteOnly);
    ASSERT_EQ(CsvFile::save(w->cds1(), buf), QString());
    EXPECT_EQ(bytes, same) << "the window writes the CSV of its table";
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 242); // header, 240 rows, nothing after the last line end
    const QByteArray today = QDate::currentDate().toString(Qt::ISODate).toLatin1();
    const QByteArray yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate).toLatin1();
    for (int i = 1; i <= 240; ++i) {
        const QList<QByteArray> fields = lines[i].split(',');
        ASSERT_EQ(fields.size(), 9) << lines[i].toStdString();
        EXPECT_TRUE(fields[1].startsWith(today + "T") || fields[1].startsWith(yesterday + "T"))
            << lines[i].toStdString();
    }

    if (qEnvironmentVariableIsSet("DMM_SKIP_SPREADSHEET")) return;
    ASSERT_FALSE(dmm::test::Calc::program().isEmpty())
        << "LibreOffice Calc (soffice) is not installed: run scripts/install-deps.sh";
    dmm::test::Calc calc;
    ASSERT_EQ(calc.convert({name}, QStringLiteral("fods"), dir.path()), QString());
    QString error;
    const dmm::test::Sheet sheet = dmm::test::Calc::readSheet(dir.filePath("run.fods"), &error);
    ASSERT_EQ(error, QString());
    ASSERT_EQ(sheet.size(), 241u);
    int numbers = 0;
    QSet<QString> units;
    for (int r = 1; r <= 240; ++r) {
        std::vector<dmm::test::Cell> row = sheet[r];
        row.resize(9);
        const QByteArray value = lines[r].split(',')[5];
        units.insert(row[4].text);
        if (value.isEmpty()) {
            EXPECT_EQ(row[5].type, QString()) << r;
            continue;
        }
        EXPECT_EQ(row[5].type, QStringLiteral("float")) << r << " " << value.toStdString();
        EXPECT_EQ(row[5].value.toDouble(), value.toDouble()) << r;
        ++numbers;
    }
    EXPECT_GT(numbers, 100);
    for (const char* unit : {"k\u03A9", "\u00B0C", "\u00B0F", "\u00B5A", "mV", "MHz"})
        EXPECT_TRUE(units.contains(QString::fromUtf8(unit))) << unit;
}

// Large files report progress while the event loop keeps turning; readings decoded meanwhile
// are recorded after the file's rows, in order and with the time they came, never among them.
TEST_F(Window, ReadingsThatComeDuringALargeLoadOrSaveAreRecordedAfterIt) {
    QTemporaryDir dir;
    constexpr int kRows = 40000; // some 1.4 MB: a load reports progress per megabyte
    const QString big = dir.filePath(QStringLiteral("big.txt"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray text = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";
        for (int i = 1; i <= kRows; ++i)
            text += QByteArray::number(i) + "\t01:02:03\tAC\t9.9999\tmV\tpass\r\n";
        f.write(text);
    }
    feed(3);
    ASSERT_EQ(w->cds1().size(), 3);
    std::vector<sim::SimFrame> during;
    dialogs.onProgress = [&] {
        if (during.empty()) {
            during.push_back(feed(1));
            during.push_back(feed(1));
        }
    };
    dialogs.fileNames = {big};
    ctl<QToolButton>(*w, "OpenDataFiles")->click();
    ASSERT_EQ(during.size(), 2u);
    ASSERT_FALSE(dialogs.progressSteps.isEmpty());
    EXPECT_EQ(dialogs.progressSteps.front().label, QStringLiteral("Loading big.txt"));
    EXPECT_EQ(dialogs.progressWindowsClosed, 1);
    ASSERT_EQ(w->cds1().size(), 3 + kRows + 2);
    for (int row : {3, 20000, kRows + 2}) {
        EXPECT_EQ(w->cds1().text(row, Field::Value), QStringLiteral("9.9999")) << row;
        EXPECT_EQ(w->cds1().integer(row, Field::No), row - 2) << row;
    }
    for (int k = 0; k < 2; ++k) {
        const int row = kRows + 3 + k;
        EXPECT_EQ(w->cds1().text(row, Field::Value).toStdString(), during[k].expected.value);
        EXPECT_EQ(w->cds1().integer(row, Field::No), 4 + k); // the recorder's numbering goes on
        EXPECT_NE(w->cds1().text(row, Field::Time), QStringLiteral("01:02:03"));
    }

    // A save of the same size: the file holds the table as it was when the save began.
    during.clear();
    dialogs.progressSteps.clear();
    const QString saved = dir.filePath(QStringLiteral("saved.xls"));
    dialogs.fileNames = {saved};
    ctl<QToolButton>(*w, "saveas")->click();
    ASSERT_EQ(during.size(), 2u);
    ASSERT_FALSE(dialogs.progressSteps.isEmpty());
    EXPECT_EQ(dialogs.progressSteps.front().label, QStringLiteral("Saving saved.xls"));
    EXPECT_EQ(dialogs.progressWindowsClosed, 2);
    EXPECT_EQ(w->cds1().size(), kRows + 7);
    ReadingsTable reloaded;
    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(LoadReadingsFile(f, reloaded, false).isEmpty());
    EXPECT_EQ(reloaded.size(), kRows + 5);
    EXPECT_TRUE(ctl<QTableView>(*w, "DBGrid1")->updatesEnabled());
}

// Every load reports progress from before its first byte and can be cancelled: a text load
// keeps the rows read so far, an XML load leaves the table as it was; neither shows a message.
TEST_F(Window, LoadsCanBeCancelled) {
    QTemporaryDir dir;
    feed(3);
    ReadingsTable big;
    for (int i = 1; i <= 200000; ++i)
        big.append(RowData{i, "01:02:03", "AC", "9.9999", "mV", "pass", i, {}, {}});
    const QString text = dir.filePath(QStringLiteral("big.txt"));
    const QString xml = dir.filePath(QStringLiteral("big.xml"));
    ASSERT_TRUE(saveTableToFile(big, text).ok);
    ASSERT_TRUE(saveTableToFile(big, xml).ok);
    const int questionsBefore = dialogs.questions.size();
    // The first report (before the first byte) takes longer than the window's tenth of a second
    // between reports, so the next read reports again, whatever the machine's speed: there the
    // user presses Cancel.
    dialogs.onProgress = [&] {
        if (dialogs.progressSteps.size() == 1) QThread::msleep(150);
        if (dialogs.progressSteps.size() == 2) dialogs.cancelProgress = true;
    };

    dialogs.progressSteps.clear();
    dialogs.fileNames = {text};
    ctl<QToolButton>(*w, "OpenDataFiles")->click();
    EXPECT_TRUE(dialogs.lastProgressCancellable);
    EXPECT_EQ(dialogs.progressSteps.front().done, 0);
    EXPECT_EQ(dialogs.progressWindowsClosed, 1);
    const int kept = w->cds1().size();
    EXPECT_GT(kept, 3);
    EXPECT_LT(kept, 3 + 200000);
    EXPECT_EQ(w->cds1().integer(kept - 1, Field::No), kept - 3);

    dialogs.cancelProgress = false;
    dialogs.progressSteps.clear();
    dialogs.fileNames = {xml};
    ctl<QToolButton>(*w, "OpenDataFiles")->click();
    EXPECT_EQ(dialogs.progressSteps.front().done, 0);
    EXPECT_EQ(w->cds1().size(), kept);
    EXPECT_EQ(dialogs.questions.size(), questionsBefore + 2); // the two open dialogs only
    EXPECT_TRUE(ctl<QTableView>(*w, "DBGrid1")->updatesEnabled());

    // Not cancelled, the XML file replaces the table.
    dialogs.onProgress = {};
    dialogs.cancelProgress = false;
    dialogs.fileNames = {xml};
    ctl<QToolButton>(*w, "OpenDataFiles")->click();
    EXPECT_EQ(w->cds1().size(), 200000);
}

// A FIFO (or device) typed into the open dialog fails at once instead of freezing the window,
// and the table keeps its rows.
TEST_F(Window, ANonRegularFileFailsAtOnce) {
    QTemporaryDir dir;
    feed(4);
    const QString fifo = dir.filePath(QStringLiteral("fifo.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& name : {fifo, QStringLiteral("/dev/zero")}) {
        dialogs.fileNames = {name};
        ctl<QToolButton>(*w, "OpenDataFiles")->click();
        ASSERT_NE(dialogs.last(), nullptr);
        EXPECT_EQ(dialogs.last()->text, QStringLiteral("Failed to Load File!"));
        EXPECT_EQ(w->cds1().size(), 4);
    }
}

TEST_F(Window, SmallFilesShowNoProgress) {
    QTemporaryDir dir;
    feed(20);
    dialogs.fileNames = {dir.filePath(QStringLiteral("small.xls"))};
    ctl<QToolButton>(*w, "saveas")->click();
    EXPECT_TRUE(dialogs.progressSteps.isEmpty());
    EXPECT_EQ(dialogs.progressWindowsClosed, 0);
}

TEST_F(Window, PrintShowsThePreviewWithTheGridFrozen) {
    QTemporaryDir dir;
    feed(50);
    dialogs.previewPdf = dir.filePath(QStringLiteral("report.pdf"));
    ctl<QToolButton>(*w, "BtPrint")->click();
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.questions[0].kind, ScriptedDialogs::Kind::PrintPreview);
    EXPECT_EQ(dialogs.questions[0].caption, QStringLiteral("Print Preview"));
    EXPECT_TRUE(ctl<QTableView>(*w, "DBGrid1")->updatesEnabled());
    QFile pdf(dialogs.previewPdf);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF"));
    EXPECT_EQ(dialogs.previewPageCounts, QList<int>{reportPageCount(50)});
}

namespace {

// The page count pdfinfo finds in a PDF file (-1 if it cannot read it).
int pdfPageCount(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return -1;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n'))
        if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
    return -1;
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

void writeOldReport(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old report");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void appendRows(ReadingsTable& table, int rows) {
    std::vector<RowData> fill(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        fill[static_cast<std::size_t>(i)].no = table.size() + i + 1;
        fill[static_cast<std::size_t>(i)].time = QStringLiteral("10:00:00");
        fill[static_cast<std::size_t>(i)].value = QString::number(i);
    }
    table.append(fill);
}

} // namespace

// Rows that come while the preview is open go to the table, not into the report of the rows
// present when Print was pressed.
TEST_F(Window, ThePrintCoversTheRowsPresentWhenPrintWasPressed) {
    QTemporaryDir dir;
    feed(70); // two pages
    dialogs.previewPdf = dir.filePath(QStringLiteral("report.pdf"));
    dialogs.onPreview = [&](PreviewDocument& doc) {
        feed(40);
        EXPECT_EQ(doc.pageCount(), 2);
    };
    ctl<QToolButton>(*w, "BtPrint")->click();
    EXPECT_EQ(w->cds1().size(), 110);
    EXPECT_EQ(pdfPageCount(dialogs.previewPdf), 2);
    EXPECT_TRUE(dialogs.messageTexts().isEmpty());
}

// Page after page with progress; the event loop turns meanwhile; Cancel stops it and leaves the
// old file as it was.
TEST_F(Window, PrintingShowsProgressKeepsTheLoopTurningAndCancels) {
    QTemporaryDir dir;
    appendRows(w->cds1(), 6 * kReportRowsPerPage);
    for (const int cancelAfter : {0, 3}) {
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        QFile::remove(pdf);
        writeOldReport(pdf);
        dialogs.previewPdf = pdf;
        dialogs.cancelPrintAfter = cancelAfter;
        dialogs.printSteps.clear();
        dialogs.printProgressClosed = 0;
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        QList<int> ticksAtStep;
        dialogs.onPrintProgress = [&] { ticksAtStep.append(ticks); };
        ticker.start();
        ctl<QToolButton>(*w, "BtPrint")->click();
        ticker.stop();

        const int pages = cancelAfter ? cancelAfter : 6;
        ASSERT_EQ(dialogs.printSteps.size(), pages);
        for (int i = 0; i < pages; ++i) EXPECT_EQ(dialogs.printSteps[i], std::make_pair(i + 1, 6));
        EXPECT_EQ(dialogs.printProgressClosed, 1);
        for (int i = 1; i < ticksAtStep.size(); ++i)
            EXPECT_GT(ticksAtStep[i], ticksAtStep[i - 1]) << "no event between pages " << i;
        if (cancelAfter)
            EXPECT_EQ(readAll(pdf), QByteArray("old report"));
        else
            EXPECT_EQ(pdfPageCount(pdf), 6);
        EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("report.pdf")});
        EXPECT_TRUE(dialogs.messageTexts().isEmpty()) << "a cancel is no failure";
    }
}

// A full disk: the old PDF stays, no partial file, and the window says the print failed. Run on a
// tmpfs where one can be mounted and under a file size limit.
TEST_F(Window, PrintToPdfOnAFullDiskFailsAndKeepsTheOldFile) {
    using dmm::test::FullDisk;
    appendRows(w->cds1(), 4000); // some 100 pages, well past 64 KiB
    dmm::test::forEachFullDisk(64 * 1024, [&](FullDisk& disk) {
        const QString pdf = disk.filePath(QStringLiteral("report.pdf"));
        writeOldReport(pdf);
        dialogs.questions.clear();
        dialogs.previewPdf = pdf;
        {
            FullDisk::Scope limited(disk);
            ctl<QToolButton>(*w, "BtPrint")->click();
        }
        ASSERT_EQ(dialogs.messageTexts().size(), 1);
        EXPECT_TRUE(dialogs.messageTexts()[0].startsWith(
            QStringLiteral("Could not print the report to ") + pdf + QStringLiteral(": ")))
            << dialogs.messageTexts()[0].toStdString();
        EXPECT_EQ(dialogs.questions.back().icon, MsgIcon::Error);
        dmm::test::expectOldFileKept(pdf, QByteArray("old report"));
    });
}

TEST(WindowOptions, HelpAndVersionEndTheProgramAndUnknownOptionsAreUsageErrors) {
    const struct {
        QStringList args;
        std::optional<int> exitCode;
    } cases[] = {
        {{}, std::nullopt},
        {{QStringLiteral("--help")}, 0},
        {{QStringLiteral("--version")}, 0},
        {{QStringLiteral("--no-such-option")}, 2},
        {{QStringLiteral("stray")}, 2},
    };
    for (const auto& c : cases) {
        const ParsedWindowOptions parsed =
            parseWindowOptions(QStringList{QStringLiteral("dmm-interface")} + c.args);
        EXPECT_EQ(parsed.exitCode, c.exitCode) << c.args.join(u' ').toStdString();
    }
}

TEST_F(Window, ExitEndsWithoutAsking) {
    feed(3);
    QTest::mouseClick(ctl<ClickPanel>(*w, "BtExit"), Qt::LeftButton);
    EXPECT_TRUE(w->terminated());
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

// The whole road: the simulated meter on a pseudo-terminal, opened as COM1 by the serial port
// driver, its frames decoded into the LCD mirror, the grid and the chart.
TEST_F(Window, ComLinkToTheSimulatedMeter) {
    const QString binary =
        qEnvironmentVariable("DMM_BINARY_DIR") + QStringLiteral("/tools/dmm/dmm");
    if (qEnvironmentVariableIsEmpty("DMM_BINARY_DIR") || !QFile::exists(binary))
        GTEST_SKIP() << "no dmm binary at " << binary.toStdString();
    QProcess meterProcess;
    meterProcess.start(binary, {QStringLiteral("simulate"), QStringLiteral("--pty"),
                                QStringLiteral("--rate"), QStringLiteral("20")});
    ASSERT_TRUE(meterProcess.waitForStarted(5000));
    ASSERT_TRUE(meterProcess.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(meterProcess.readLine()).trimmed();
    ASSERT_TRUE(pty.startsWith(QStringLiteral("/dev/"))) << pty.toStdString();
    qputenv("DMM_COM1", pty.toLocal8Bit());

    ctl<QPushButton>(*w, "COMCon")->click();
    EXPECT_TRUE(w->COMM2().IsPortOpen());
    QElapsedTimer clock;
    clock.start();
    while (w->cds1().size() < 10 && clock.elapsed() < 10000) QTest::qWait(50);
    ctl<QPushButton>(*w, "COMCon")->click(); // disconnect: nothing more arrives
    meterProcess.terminate();
    meterProcess.waitForFinished(3000);
    qunsetenv("DMM_COM1");

    ASSERT_GE(w->cds1().size(), 10);
    EXPECT_FALSE(w->COMM2().IsPortOpen());
    EXPECT_TRUE(visible(ctl<QLabel>(*w, "CONok")));
    EXPECT_FALSE(visible(ctl<QLabel>(*w, "CONokN")));
    const int last = w->cds1().size() - 1;
    QTest::qWait(kGridFollowMs * 2); // the grid follows within its batch time
    EXPECT_EQ(ctl<QTableView>(*w, "DBGrid1")->currentIndex().row(), last);
    EXPECT_EQ(w->pager().pointCount(0), static_cast<std::size_t>(w->cds1().size()) + 1);
    EXPECT_EQ(w->Chtshow().pointsOf(0)->count(), w->cds1().size());
    QString digits = w->cds1().text(last, Field::Value);
    digits.remove(QLatin1Char('-')).remove(w->LocaleDecimalSeparator);
    EXPECT_EQ(shownDigits(), digits);
    EXPECT_EQ(ctl<QLineEdit>(*w, "T1VALUE")->text(), w->cds1().text(last, Field::Value));
}

// Not a check: with DMM_SCREENSHOT_DIR set (and the dmm binary built) it writes what the window
// looks like at start, with the simulated meter sending and with the chart enlarged, for a
// person to look at.
TEST_F(Window, Screenshots) {
    const QString dir = qEnvironmentVariable("DMM_SCREENSHOT_DIR");
    const QString binary =
        qEnvironmentVariable("DMM_BINARY_DIR") + QStringLiteral("/tools/dmm/dmm");
    if (dir.isEmpty() || !QFile::exists(binary))
        GTEST_SKIP() << "set DMM_SCREENSHOT_DIR and DMM_BINARY_DIR";
    QTest::qWait(200);
    w->grab().save(dir + QStringLiteral("/start.png"));
    const QString script = qEnvironmentVariable("DMM_SCREENSHOT_SCRIPT", QStringLiteral("tour"));
    QProcess meterProcess;
    meterProcess.start(binary, {QStringLiteral("simulate"), QStringLiteral("--pty"),
                                QStringLiteral("--rate"), QStringLiteral("25"),
                                QStringLiteral("--script"), script});
    ASSERT_TRUE(meterProcess.waitForReadyRead(5000));
    qputenv("DMM_COM1", meterProcess.readLine().trimmed());
    ctl<QPushButton>(*w, "COMCon")->click();
    const int shots = qEnvironmentVariableIntValue("DMM_SCREENSHOT_COUNT") > 0
                          ? qEnvironmentVariableIntValue("DMM_SCREENSHOT_COUNT")
                          : 6;
    for (int i = 0; i < shots; ++i) {
        QTest::qWait(1500);
        w->grab().save(dir + QStringLiteral("/reading%1.png").arg(i));
    }
    QTest::mouseClick(ctl<ImageButton>(*w, "TbFd"), Qt::LeftButton);
    QTest::qWait(300);
    w->grab().save(dir + QStringLiteral("/enlarged.png"));
    ctl<QPushButton>(*w, "COMCon")->click();
    meterProcess.terminate();
    meterProcess.waitForFinished(3000);
    qunsetenv("DMM_COM1");
}

TEST_F(Window, UsbLinkThroughTheAdapterCable) {
    w.reset();
    const std::string path = hid.plug(FakeHidPlatform::usbToSerialAdapter());
    create();
    ASSERT_TRUE(w->usbAdapter());
    ASSERT_EQ(ctl<QListWidget>(*w, "DevListBox")->count(), 1);
    EXPECT_EQ(ctl<QListWidget>(*w, "DevListBox")->currentItem()->text(),
              QStringLiteral("USB to Serial"));

    ctl<QPushButton>(*w, "USBCon")->click();
    EXPECT_TRUE(ctl<QPushButton>(*w, "USBCon")->isChecked());
    EXPECT_EQ(ctl<QPushButton>(*w, "USBCon")->text(), QStringLiteral("USB Disconnect"));
    EXPECT_FALSE(visible(ctl<QPushButton>(*w, "COMCon")));
    for (ClickPanel* p : ports()) EXPECT_FALSE(visible(p));
    ASSERT_EQ(hid.featureReports(path).size(), 1u);
    EXPECT_EQ(ctl<QListWidget>(*w, "HistoryListBox")->item(0)->text(),
              QStringLiteral("60 09 00 00 03 00 00 00 00 00 "));

    sim::SimOptions o;
    o.leadingLineFeed = false;
    sim::Simulator meter(o);
    hid.pushRead(path, FakeHidPlatform::idleReport());
    sim::SimFrame f;
    for (int i = 0; i < 12; ++i) {
        f = meter.next();
        hid.pushReads(path, sim::encodeReports(f.bytes.data(), f.bytes.size()));
    }
    ASSERT_TRUE(runUntil([&] { return w->cds1().size() == 12; })) << w->cds1().size();
    EXPECT_EQ(w->cds1().text(11, Field::Value), QString::fromStdString(f.expected.value));
    EXPECT_TRUE(visible(ctl<QLabel>(*w, "CONok")));
    QString digits = QString::fromStdString(f.expected.value);
    digits.remove(QLatin1Char('-')).remove(w->LocaleDecimalSeparator);
    EXPECT_EQ(shownDigits(), digits);
    EXPECT_GT(ctl<QListWidget>(*w, "HistoryListBox")->count(), 12);

    ctl<QPushButton>(*w, "USBCon")->click();
    EXPECT_EQ(ctl<QPushButton>(*w, "USBCon")->text(), QStringLiteral("USB Connection"));
    EXPECT_TRUE(visible(ctl<QPushButton>(*w, "COMCon")));
    EXPECT_TRUE(visible(port(0)));
    EXPECT_EQ(hid.featureReports(path).size(), 2u);
    ctl<QPushButton>(*w, "ClearBtn")->click();
    EXPECT_EQ(ctl<QListWidget>(*w, "HistoryListBox")->count(), 0);
}

TEST_F(Window, RecallPanelOutOfSightStillWorks) {
    QTest::mouseClick(ctl<QCheckBox>(*w, "RecallCheck"), Qt::LeftButton);
    ASSERT_TRUE(ctl<QCheckBox>(*w, "RecallCheck")->isChecked());
    EXPECT_EQ(ctl<QLineEdit>(*w, "TimeH")->text(), QStringLiteral("00"));
    EXPECT_EQ(ctl<QLineEdit>(*w, "TimeS")->text(), QStringLiteral("00"));
    ctl<QLineEdit>(*w, "TimeH")->setText(QStringLiteral("10"));
    ctl<QLineEdit>(*w, "TimeInt")->setText(QStringLiteral("90"));
    QTest::keyClick(ctl<QLineEdit>(*w, "TimeH"),
                    Qt::Key_End); // a key release loads the clock from the fields
    EXPECT_EQ(w->recallClock().hours(), 10);
    feed(2);
    ASSERT_EQ(w->cds1().size(), 2);
    EXPECT_EQ(w->cds1().text(0, Field::Time), QStringLiteral("10:01:30"));
    EXPECT_EQ(w->cds1().text(1, Field::Time), QStringLiteral("10:03:00"));

    ctl<QLineEdit>(*w, "TimeM")->setText(QStringLiteral("77"));
    QTest::keyClick(ctl<QLineEdit>(*w, "TimeM"), Qt::Key_End);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("Input error!")});
    EXPECT_EQ(ctl<QLineEdit>(*w, "TimeM")->text(), QStringLiteral("00"));
}

TEST_F(Window, ResizePlacesTheOutOfSightPanelsAlongTheOuterWidth) {
    const int outer = w->outerSize().width();
    EXPECT_EQ(ctl<ClickPanel>(*w, "BtExit")->x(), outer - 80);
    EXPECT_EQ(ctl<ClickPanel>(*w, "BTCon")->x(), outer - 190);
    EXPECT_EQ(ctl<ClickPanel>(*w, "BtDiscon")->x(), outer - 190);
    EXPECT_EQ(ctl<ClickPanel>(*w, "BTCon")->y(), 538);
}
