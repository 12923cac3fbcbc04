// The window on a remote port: COM1 mapped to rfc2217://127.0.0.1:PORT, served by ser2net in
// front of the simulated meter's pseudo-terminal; and a listener that never negotiates.
#include "ClickPanel.h"
#include "ComDrv32.h"
#include "FakeHidPlatform.h"
#include "LoopbackPorts.h"
#include "QV31F.h"
#include "ScriptedDialogs.h"
#include "Ser2netServer.h"
#include "SimulatorProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace dmm;
using namespace dmm::app;

namespace {

QString dmmTool() {
    return QString::fromLocal8Bit(qgetenv("DMM_BINARY_DIR")) + "/tools/dmm/dmm";
}

template <class F> bool waitFor(F done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QTest::qWait(10);
    return done();
}

// This process's resident size ("VmRSS") or its peak ("VmHWM"), in kB.
long residentKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith(field)) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

class RemotePortWindow : public ::testing::Test {
protected:
    void SetUp() override {}
    void open(const QString& url) {
        qputenv("DMM_COM1", url.toLocal8Bit());
        w = std::make_unique<TFCOMM>(&dialogs, &hid);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        w->COM11Click();
    }
    void TearDown() override {
        EXPECT_EQ(dialogs.unanswered, 0);
        w.reset();
        qunsetenv("DMM_COM1");
    }
    TCommPortDriver* driver() { return &w->COMM2(); }
    // The window's controls, found by their object names.
    template <class T = QWidget> T* ctl(const char* name) {
        T* c = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << "no control " << name;
        return c;
    }
    QPushButton* comCon() { return ctl<QPushButton>("COMCon"); }
    bool linkShown() { return ctl<QLabel>("CONok")->isVisible(); }
    bool noLinkShown() { return ctl<QLabel>("CONokN")->isVisible(); }

    ScriptedDialogs dialogs;
    FakeHidPlatform hid;
    std::unique_ptr<TFCOMM> w;
};

} // namespace

// "COM Connect" on a COM number mapped to ser2net: live readings in the LCD, the grid and the
// link image; the port panel's tooltip names the URL.
// The longest time the event loop went without turning, seen by a 10 ms timer.
struct LoopWatch {
    QElapsedTimer gap;
    qint64 longestGap = 0;
    QTimer beat;
    LoopWatch() {
        QObject::connect(&beat, &QTimer::timeout,
                         [this] { longestGap = std::max(longestGap, gap.restart()); });
        gap.start();
        beat.start(10);
    }
};

TEST_F(RemotePortWindow, Ser2netGivesLiveReadingsAfterComConnect) {
    testnet::SimulatorProcess sim;
    ASSERT_TRUE(sim.start(dmmTool(), {"--rate", "10"})) << dmmTool().toStdString();
    testnet::Ser2netServer server(sim.pty());
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    open(server.url());
    EXPECT_EQ(ctl<ClickPanel>("BtCOM1")->toolTip(), "COM1: " + server.url());

    QSignalSpy decoded(w.get(), &TFCOMM::readingDecoded);
    comCon()->click();
    EXPECT_EQ(comCon()->text(), QStringLiteral("COM Disconnect"));
    ASSERT_TRUE(waitFor([&] { return w->cds1().size() >= 10; }, 15000))
        << server.output().toStdString();
    EXPECT_GE(decoded.count(), 1);
    EXPECT_TRUE(linkShown());
    EXPECT_FALSE(noLinkShown());
    EXPECT_FALSE(ctl<QLineEdit>("T1VALUE")->text().isEmpty());
    // Readings keep coming.
    const int rows = w->cds1().size();
    EXPECT_TRUE(waitFor([&] { return w->cds1().size() >= rows + 5; }, 5000));

    comCon()->click();
    EXPECT_FALSE(driver()->IsPortOpen());
}

// A listener that takes the connection and never answers: the window shows its connected state
// with "no link", stays responsive, and gives the port up after 5 s without a word; the next
// "COM Connect" tries again.
TEST_F(RemotePortWindow, ASilentListenerDoesNotFreezeTheWindow) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection()) held.push_back(s);
    });
    open(QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort()));

    LoopWatch loop;
    comCon()->click();
    EXPECT_EQ(comCon()->text(), QStringLiteral("COM Disconnect"));
    EXPECT_TRUE(waitFor([&] { return held.size() == 1; }, 2000));
    EXPECT_TRUE(driver()->IsOpening());
    ASSERT_TRUE(waitFor([&] { return !driver()->IsDevicePresent(); }, 8000));
    EXPECT_LT(loop.longestGap, 1000);
    EXPECT_TRUE(noLinkShown());
    EXPECT_FALSE(linkShown());
    EXPECT_EQ(w->cds1().size(), 0);
    EXPECT_TRUE(comCon()->isChecked()); // as with a COM number without a device

    comCon()->click();
    comCon()->click();
    EXPECT_TRUE(waitFor([&] { return held.size() == 2; }, 2000));
    EXPECT_TRUE(driver()->IsOpening());
    comCon()->click();
    qDeleteAll(held);
}

// A server that floods negotiations and never reads: the window drops it as a device that went
// away, its event loop turning and its memory growing by less than 64 MB (it grew by some
// 100 MB a second when every offer was answered).
TEST_F(RemotePortWindow, AServerThatFloodsAndNeverReadsIsAVanishedPort) {
    QProcess server;
    const quint16 port = testnet::startPythonServer(server, testnet::hostileRfc2217Script(), {});
    ASSERT_NE(port, 0);
    open(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port));
    const long before = residentKb("VmRSS:");
    LoopWatch loop;
    comCon()->click();
    EXPECT_TRUE(waitFor([&] { return !driver()->IsDevicePresent(); }, 8000));
    EXPECT_TRUE(driver()->LastError().contains("does not read"))
        << driver()->LastError().toStdString();
    EXPECT_LT(loop.longestGap, 1000);
    EXPECT_LT(residentKb("VmHWM:") - before, 64 * 1024);
    EXPECT_TRUE(noLinkShown());
    comCon()->click();
    server.kill();
    server.waitForFinished(5000);
}
