// Remote serial ports (rfc2217://HOST:PORT) against real servers on loopback ports, each in front
// of the simulated meter's pseudo-terminal: Debian's ser2net and pyserial's port manager.
#include "ComDrv32.h"
#include "EndToEnd.h"
#include "LoopbackPorts.h"
#include "Pty.h"
#include "PyRfc2217Server.h"
#include "RemoteSerialPort.h"
#include "Ser2netServer.h"
#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

using dmm::testnet::PyRfc2217Server;
using dmm::testnet::Ser2netServer;
using dmm::testnet::SimulatorProcess;

namespace {

// Serves the event loop until `done` or `ms` have passed.
template <class F> bool waitFor(F done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QTest::qWait(10);
    return done();
}

enum class Server { Ser2net, Pyserial };

// A server of either kind in front of a device, kept alive by the caller.
struct AnyServer {
    std::unique_ptr<Ser2netServer> ser2net;
    std::unique_ptr<PyRfc2217Server> pyserial;
    QString start(Server kind, const QString& device) {
        if (kind == Server::Ser2net) {
            ser2net = std::make_unique<Ser2netServer>(device);
            EXPECT_TRUE(ser2net->start()) << ser2net->output().toStdString();
            return ser2net->url();
        }
        pyserial = std::make_unique<PyRfc2217Server>(device);
        EXPECT_TRUE(pyserial->start()) << pyserial->log().toStdString();
        return pyserial->url();
    }
};

const char* nameOf(Server s) {
    return s == Server::Ser2net ? "ser2net" : "pyserial";
}

std::unique_ptr<TCommPortDriver> meterDriver() {
    auto d = std::make_unique<TCommPortDriver>();
    d->SetComPort(TCommPortDriver::pnCOM1);
    d->SetComPortSpeed(TCommPortDriver::br2400);
    return d;
}

// The line settings of a pseudo-terminal, read through a descriptor of our own.
termios settingsOf(const QString& pty) {
    termios tio{};
    const int fd = ::open(pty.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        ::tcgetattr(fd, &tio);
        ::close(fd);
    }
    return tio;
}

// The peak resident size of a process, in kB (VmHWM), or -1.
long peakRssKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

// Every frame the simulator sends after the open arrives and decodes; a stream with 0xFF bytes
// in it (stray bytes) loses none: what arrives is the stream's end, byte for byte.
//
// The simulator writes before the port is opened, into the terminal's queue (some 20 kB, nearly
// 2,000 frames): the run is long enough for 2,000 frames after two such queues. pyserial's server
// opens the terminal when it starts and empties it then, so up to two queues' worth is gone before
// the open.
TEST(RemotePort, EveryFrameAfterTheOpenDecodesAndNoByteIsLost) {
    struct Case {
        Server server;
        bool stray;
    };
    // The queue measured at the time, or more: on a loaded machine the measure comes out low.
    const int queue = std::max(ptyCapacity(), 32768) + 64;
    const int frames = 2000 + 2 * (queue / 11 + 1);
    for (const Case k : {Case{Server::Ser2net, false}, Case{Server::Pyserial, false},
                         Case{Server::Ser2net, true}, Case{Server::Pyserial, true}}) {
        SCOPED_TRACE(std::string(nameOf(k.server)) + (k.stray ? " stray" : ""));
        AnyServer server;
        const QStringList extra =
            k.stray ? QStringList{"--seed", "17", "--fault", "stray:0.5"} : QStringList{};
        const EndToEndResult r = runEndToEnd(
            extra, [&](const QString& pty) { return server.start(k.server, pty); }, frames,
            2 * queue);
        if (!k.stray) {
            EXPECT_EQ(r.damaged, 0);
            EXPECT_GE(r.required, frames - r.lost / 11 - 2);
            EXPECT_GE(r.required, 2000);
        } else {
            // runEndToEnd compared the bytes; they must have held 0xFF for the case to count.
            EXPECT_GE(r.received.count('\xFF'), 3);
            EXPECT_GT(r.damaged, 1000);
            EXPECT_GT(r.required, 500);
        }
        std::printf("[   INFO   ] %s%s: %d frames decoded after the open, %lld bytes before it, "
                    "%lld bytes 0xFF received\n",
                    nameOf(k.server), k.stray ? " (stray bytes)" : "", r.required,
                    static_cast<long long>(r.lost),
                    static_cast<long long>(r.received.count('\xFF')));
    }
}

// ser2net: the terminal takes the speed, stop bits and flow control (a pseudo-terminal keeps 8
// bits without parity) and ser2net echoes each setting it took; a change while open goes out
// at once.
TEST(RemotePort, Ser2netSetsTheLine) {
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(dmmBinary(), {}));
    Ser2netServer server(sim.pty());
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    ComOverride com1(1, server.url());
    auto driver = meterDriver();
    ASSERT_TRUE(driver->OpenPort());
    const auto* remote = driver->RemotePort();
    ASSERT_TRUE(remote);
    ASSERT_TRUE(waitFor([&] { return remote->codec().answers().flow.has_value(); }, 5000))
        << server.output().toStdString();
    EXPECT_FALSE(driver->IsOpening());
    termios tio = settingsOf(sim.pty());
    EXPECT_EQ(cfgetispeed(&tio), B2400);
    EXPECT_FALSE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    auto a = remote->codec().answers();
    EXPECT_EQ(a.baud, 2400u);
    EXPECT_EQ(a.dataBits, 8);
    EXPECT_EQ(a.parity, 1);
    EXPECT_EQ(a.stopBits, 1);
    EXPECT_EQ(a.flow, 1);

    driver->SetComPortSpeed(TCommPortDriver::br9600);
    driver->SetComPortDataBits(TCommPortDriver::db7BITS);
    driver->SetComPortParity(TCommPortDriver::ptEVEN);
    driver->SetComPortStopBits(TCommPortDriver::sb2BITS);
    driver->SetComPortHwHandshaking(TCommPortDriver::hhRTSCTS);
    ASSERT_TRUE(waitFor([&] { return remote->codec().answers().flow == 3; }, 5000));
    tio = settingsOf(sim.pty());
    EXPECT_EQ(cfgetispeed(&tio), B9600);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    a = remote->codec().answers();
    EXPECT_EQ(a.baud, 9600u);
    EXPECT_EQ(a.dataBits, 7);
    EXPECT_EQ(a.parity, 3);
    EXPECT_EQ(a.stopBits, 2);
}

// pyserial's server logs what the client asked for, DTR and RTS among them (a pseudo-terminal
// has no modem lines to look at).
TEST(RemotePort, PyserialSeesTheLineSettingsAndTheModemLines) {
    struct Case {
        bool dtr;
        const char* dtrLine;
    };
    for (const Case k :
         {Case{true, "changed DTR to active"}, Case{false, "changed DTR to inactive"}}) {
        SCOPED_TRACE(k.dtrLine);
        SimulatorProcess sim;
        ASSERT_TRUE(sim.start(dmmBinary(), {}));
        PyRfc2217Server server(sim.pty());
        ASSERT_TRUE(server.start()) << server.log().toStdString();
        ComOverride com1(1, server.url());
        auto driver = meterDriver();
        driver->SetEnableDTROnOpen(k.dtr);
        ASSERT_TRUE(driver->OpenPort());
        const QStringList expected = {"set baud rate: 2400",
                                      "set data size: 8",
                                      "set parity: N",
                                      "set stop bits: 1",
                                      "changed flow control to None",
                                      k.dtrLine,
                                      "changed RTS to inactive"};
        const auto allLogged = [&] {
            const QString log = server.log();
            for (const QString& line : expected)
                if (!log.contains(line)) return false;
            return true;
        };
        EXPECT_TRUE(waitFor(allLogged, 5000)) << server.log().toStdString();
        EXPECT_FALSE(driver->IsOpening());
        EXPECT_TRUE(driver->IsDevicePresent());
        EXPECT_TRUE(driver->LastError().isEmpty()) << driver->LastError().toStdString();
    }
}

// A connection that drops is a vanished port: the driver stays open and delivers nothing; closing
// and opening again once the server is back reads on.
TEST(RemotePort, ADroppedConnectionIsAVanishedPort) {
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(dmmBinary(), {"--rate", "20"}));
    Ser2netServer server(sim.pty());
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    ComOverride com1(1, server.url());
    auto driver = meterDriver();
    qint64 received = 0;
    driver->OnReceiveData = [&](TCommPortDriver*, const std::uint8_t*, std::int32_t n) {
        received += n;
    };
    ASSERT_TRUE(driver->OpenPort());
    ASSERT_TRUE(waitFor([&] { return received > 100; }, 10000)) << server.output().toStdString();

    server.stop();
    ASSERT_TRUE(waitFor([&] { return !driver->IsDevicePresent(); }, 5000));
    EXPECT_TRUE(driver->IsPortOpen());
    EXPECT_FALSE(driver->LastError().isEmpty());
    QTest::qWait(200); // what was under way is in
    const qint64 atDrop = received;
    QTest::qWait(500);
    EXPECT_EQ(received, atDrop);

    ASSERT_TRUE(server.start()) << server.output().toStdString();
    driver->ClosePort();
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_TRUE(waitFor([&] { return received > atDrop + 100; }, 10000))
        << server.output().toStdString();
    EXPECT_TRUE(driver->IsDevicePresent());
}

// A listener that takes the connection and never answers is given up after 5 s, quietly; the
// event loop runs on meanwhile.
TEST(RemotePort, ASilentListenerIsGivenUpAfterFiveSeconds) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection()) held.push_back(s);
    });
    ComOverride com1(1, QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.serverPort()));
    auto driver = meterDriver();
    int calls = 0;
    driver->OnReceiveData = [&](TCommPortDriver*, const std::uint8_t*, std::int32_t) { ++calls; };

    QElapsedTimer clock, gap;
    qint64 longestGap = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, gap.restart()); });
    beat.start(10);
    gap.start();
    clock.start();
    ASSERT_TRUE(driver->OpenPort()); // returns at once
    EXPECT_LT(clock.elapsed(), 1000);
    QTest::qWait(3000);
    EXPECT_EQ(held.size(), 1u);
    EXPECT_TRUE(driver->IsDevicePresent());
    EXPECT_TRUE(driver->IsOpening());
    ASSERT_TRUE(waitFor([&] { return !driver->IsDevicePresent(); }, 5000));
    EXPECT_GE(clock.elapsed(), dmm::link::RemoteSerialPort::kNegotiationTimeoutMs - 100);
    EXPECT_TRUE(driver->IsPortOpen()); // as a vanished device: until ClosePort
    EXPECT_FALSE(driver->IsOpening());
    EXPECT_TRUE(driver->LastError().contains("5 s")) << driver->LastError().toStdString();
    EXPECT_EQ(calls, 0);
    // The loop never stood still (a loaded machine may delay a beat, not the whole wait).
    EXPECT_LT(longestGap, 1000);
    // The listener sees the connection closed.
    ASSERT_FALSE(held.empty());
    EXPECT_TRUE(
        waitFor([&] { return held[0]->state() == QAbstractSocket::UnconnectedState; }, 2000));
    driver->ClosePort();
    qDeleteAll(held);
}

// A port nothing listens on fails at once and quietly: the open returns, and the port is gone
// on the next turns of the event loop, long before the negotiation's time-out.
TEST(RemotePort, ARefusedPortFailsAtOnce) {
    const quint16 port = dmm::testnet::freeLoopbackPort();
    ASSERT_NE(port, 0);
    ComOverride com1(1, QStringLiteral("rfc2217://127.0.0.1:%1").arg(port));
    auto driver = meterDriver();
    int calls = 0;
    driver->OnReceiveData = [&](TCommPortDriver*, const std::uint8_t*, std::int32_t) { ++calls; };
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_TRUE(waitFor([&] { return !driver->IsDevicePresent(); }, 1000));
    EXPECT_FALSE(driver->IsOpening());
    EXPECT_TRUE(driver->LastError().contains("refused")) << driver->LastError().toStdString();
    EXPECT_EQ(calls, 0);
    driver->ClosePort();
    // An address that is no address does not open.
    ComOverride bad(1, QStringLiteral("rfc2217://127.0.0.1"));
    EXPECT_FALSE(driver->OpenPort());
    EXPECT_FALSE(driver->IsPortOpen());
    EXPECT_TRUE(driver->LastError().contains("rfc2217://HOST:PORT"));
}

// dmm log on a remote port: ser2net restarted mid-run, the logger says so, opens the port again
// by itself and records on, numbering where it left off.
TEST(RemotePort, DmmLogResumesAfterASer2netRestart) {
    SimulatorProcess sim;
    ASSERT_TRUE(sim.start(dmmBinary(), {"--rate", "20"}));
    Ser2netServer server(sim.pty());
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    QTemporaryDir dir;
    const QString out = dir.filePath("bench.xls");
    QProcess log;
    log.start(dmmBinary(), {"log", "--port", server.url(), "--out", out});
    ASSERT_TRUE(log.waitForStarted(5000));
    const auto rows = [&] {
        QFile f(out);
        if (!f.open(QIODevice::ReadOnly)) return 0;
        return static_cast<int>(f.readAll().count('\n')) - 1;
    };
    QString err;
    const auto stderrHas = [&](const char* text) {
        err += QString::fromLocal8Bit(log.readAllStandardError());
        return err.contains(QLatin1String(text));
    };
    ASSERT_TRUE(waitFor([&] { return rows() >= 20; }, 15000)) << err.toStdString();

    server.stop();
    EXPECT_TRUE(waitFor([&] { return stderrHas("went away"); }, 8000)) << err.toStdString();
    QTest::qWait(1500); // a few refused attempts
    const int before = rows();
    ASSERT_TRUE(server.start()) << server.output().toStdString();
    EXPECT_TRUE(waitFor([&] { return stderrHas("is back"); }, 8000)) << err.toStdString();
    EXPECT_TRUE(waitFor([&] { return rows() >= before + 20; }, 15000)) << err.toStdString();

    log.terminate();
    ASSERT_TRUE(log.waitForFinished(5000));
    EXPECT_EQ(log.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(log.exitCode(), 0) << err.toStdString();
    // Numbered on without a gap or a repeat.
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    int expectedNo = 1;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) continue;
        EXPECT_EQ(lines[i].split('\t').value(0).toInt(), expectedNo) << lines[i].toStdString();
        ++expectedNo;
    }
    EXPECT_GE(expectedNo - 1, before + 20);
}

// A remote port that cannot be opened at the start ends dmm log with exit 1, as a local one does:
// refused at once, or silent until the time-out.
TEST(RemotePort, DmmLogOnAPortThatDoesNotOpenEndsAtTheStart) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const quint16 refused = dmm::testnet::freeLoopbackPort();
    struct Case {
        const char* name;
        quint16 port;
        const char* says;
    };
    for (const Case k :
         {Case{"refused", refused, "refused"}, Case{"silent", silent.serverPort(), "within 5 s"}}) {
        SCOPED_TRACE(k.name);
        QProcess log;
        log.start(dmmBinary(),
                  {"log", "--port", QStringLiteral("rfc2217://127.0.0.1:%1").arg(k.port)});
        ASSERT_TRUE(log.waitForStarted(5000));
        // The silent listener's connection waits in its backlog: accepted by the kernel.
        ASSERT_TRUE(log.waitForFinished(10000));
        const QString err = QString::fromLocal8Bit(log.readAllStandardError());
        EXPECT_EQ(log.exitCode(), 1) << err.toStdString();
        EXPECT_TRUE(err.contains("cannot open rfc2217://127.0.0.1:")) << err.toStdString();
        EXPECT_TRUE(err.contains(k.says)) << err.toStdString();
    }
}

// A plain Telnet server that refuses the COM port option: the negotiation ends there, the port
// stays, its data is read as it comes, and LastError says the line keeps the server's settings.
TEST(RemotePort, AServerWithoutTheComPortOptionIsReadAsItIs) {
    QTcpServer plain;
    ASSERT_TRUE(plain.listen(QHostAddress::LocalHost, 0));
    std::vector<QTcpSocket*> held;
    QObject::connect(&plain, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = plain.nextPendingConnection()) {
            held.push_back(s);
            QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
                // Whatever the client offers is refused; then two bytes of data, one of them 0xFF.
                if (s->readAll().contains("\xFF\xFB\x2C")) s->write("\xFF\xFE\x2C\x41\xFF\xFF");
            });
        }
    });
    ComOverride com1(1, QStringLiteral("rfc2217://127.0.0.1:%1").arg(plain.serverPort()));
    auto driver = meterDriver();
    QByteArray received;
    driver->OnReceiveData = [&](TCommPortDriver*, const std::uint8_t* p, std::int32_t n) {
        received.append(reinterpret_cast<const char*>(p), n);
    };
    ASSERT_TRUE(driver->OpenPort());
    EXPECT_TRUE(waitFor([&] { return received.size() >= 2; }, 3000));
    EXPECT_EQ(received, QByteArray("\x41\xFF"));
    EXPECT_FALSE(driver->IsOpening());
    EXPECT_TRUE(driver->IsDevicePresent());
    EXPECT_TRUE(driver->LastError().contains("refused the COM port option"))
        << driver->LastError().toStdString();
    driver->ClosePort();
    qDeleteAll(held);
}

// A server that floods offers the client refuses and toggles the COM port option, never reading:
// dmm log answers each refusal once, drops the link as a vanished port once the server has
// 16 KiB unread, says so and tries again; it stays small (it grew by some 190 MB a second when
// every offer was answered) and ends on SIGTERM as usual.
TEST(RemotePort, DmmLogStaysSmallAgainstAServerThatFloodsAndNeverReads) {
    QProcess server;
    const quint16 port =
        dmm::testnet::startPythonServer(server, dmm::testnet::hostileRfc2217Script(), {});
    ASSERT_NE(port, 0);
    QProcess log;
    log.start(dmmBinary(), {"log", "--port", QStringLiteral("rfc2217://127.0.0.1:%1").arg(port)});
    ASSERT_TRUE(log.waitForStarted(5000));
    QString err;
    const auto wentAway = [&] {
        err += QString::fromLocal8Bit(log.readAllStandardError());
        return err.contains("went away");
    };
    EXPECT_TRUE(waitFor(wentAway, 10000)) << err.toStdString();
    QTest::qWait(3000); // flooded again on every attempt to open the port
    const long peak = peakRssKb(log.processId());
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 64 * 1024) << peak << " kB";
    log.terminate();
    EXPECT_TRUE(log.waitForFinished(5000));
    EXPECT_EQ(log.exitCode(), 0) << err.toStdString();
    server.kill();
    server.waitForFinished(5000);
}
