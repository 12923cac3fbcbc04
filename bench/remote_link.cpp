// The delay of a remote serial port: from a byte written into a pseudo-terminal (standing in for
// the simulated meter's), through ser2net on a loopback port and the driver's rfc2217:// client,
// to OnReceiveData (p50, p99, max over N bytes written at times unrelated to the polling tick).
//
//     bench_remote_link [N]          (default 1000; needs ser2net, as the tests do)
#include "ComDrv32.h"
#include "Delays.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using dmm::bench::Clock;

quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// ser2net in the foreground with its own configuration; false when it does not listen in 10 s.
bool startSer2net(QProcess& p, const QTemporaryDir& dir, const char* pty, quint16 port) {
    QString program = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                                 {QStringLiteral("/usr/sbin")});
    QFile config(dir.filePath(QStringLiteral("ser2net.yaml")));
    if (program.isEmpty() || !config.open(QIODevice::WriteOnly)) return false;
    config.write(QStringLiteral("connection: &meter\n"
                                "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                "  connector: serialdev,%2,2400n81,local\n")
                     .arg(port)
                     .arg(QString::fromLocal8Bit(pty))
                     .toLocal8Bit());
    config.close();
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program,
            {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config.fileName(),
             QStringLiteral("-P"), dir.filePath(QStringLiteral("pid"))});
    for (int i = 0; i < 500 && p.state() != QProcess::NotRunning; ++i) {
        QTcpSocket probe; // a session opened and closed before any byte is written
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(20)) return true;
        QThread::msleep(20);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);

    QTemporaryDir dir;
    QProcess ser2net;
    const quint16 port = freePort();
    if (!startSer2net(ser2net, dir, name, port)) {
        std::fprintf(stderr, "ser2net did not start (is it installed?)\n");
        return 1;
    }
    const QByteArray url = "rfc2217://127.0.0.1:" + QByteArray::number(port);
    ::setenv("DMM_COM1", url.constData(), 1);
    TCommPortDriver driver;
    driver.SetComPort(TCommPortDriver::pnCOM1);
    driver.SetComPortSpeed(TCommPortDriver::br2400);
    std::vector<Clock::time_point> arrived;
    arrived.reserve(static_cast<std::size_t>(count));
    driver.OnReceiveData = [&](TCommPortDriver*, const std::uint8_t*, std::int32_t n) {
        const auto now = Clock::now();
        for (std::int32_t i = 0; i < n; ++i) arrived.push_back(now);
    };
    if (!driver.OpenPort()) {
        std::fprintf(stderr, "cannot open %s: %s\n", url.constData(),
                     driver.LastError().toLocal8Bit().constData());
        return 1;
    }
    // Negotiated first: the figure is the running delay, not the connection's set-up.
    QTimer wait;
    QObject::connect(&wait, &QTimer::timeout, [&] {
        if (!driver.IsOpening()) QCoreApplication::quit();
    });
    wait.start(10);
    QCoreApplication::exec();
    wait.stop();
    if (!driver.IsDevicePresent()) {
        std::fprintf(stderr, "no negotiation: %s\n", driver.LastError().toLocal8Bit().constData());
        return 1;
    }

    // The meter: one byte every 20 to 40 ms.
    const std::vector<Clock::time_point> written =
        dmm::bench::writePaced(master, {0x0D}, count, arrived);

    const std::optional<dmm::bench::DelayFigures> d =
        dmm::bench::delayFigures(written, arrived, static_cast<std::size_t>(count), "bytes");
    if (!d) return 1;
    std::printf("delay written into the terminal -> ser2net -> OnReceiveData over %zu bytes: "
                "p50 %.1f ms, p99 %.1f ms, max %.1f ms (polling every %d ms)\n",
                d->count, d->p50Ms, d->p99Ms, d->maxMs, driver.ComPortPollingDelay());
    driver.ClosePort();
    ser2net.terminate();
    ser2net.waitForFinished(5000);
    ::close(slave);
    ::close(master);
    return 0;
}
