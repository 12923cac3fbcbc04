// The delay of a remote serial port: from a byte written into a pseudo-terminal (standing in for
// the simulated meter's), through ser2net on a loopback port and the driver's rfc2217:// client,
// to OnReceiveData (p50, p99, max over N bytes written at times unrelated to the polling tick).
//
//     bench_remote_link [N]          (default 1000; needs ser2net, as the tests do)
#include "ComDrv32.h"
#include "Delays.h"
#include "Pty.h"
#include "Ser2netServer.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using dmm::bench::Clock;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    Pty pty;
    if (!pty.ok()) {
        std::perror("openpty");
        return 1;
    }
    dmm::testnet::Ser2netServer ser2net(pty.slavePath());
    if (!ser2net.start()) {
        std::fprintf(stderr, "ser2net did not start: %s\n", qPrintable(ser2net.output()));
        return 1;
    }
    const QByteArray url = ser2net.url().toLocal8Bit();
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
        dmm::bench::writePaced(pty.master(), {0x0D}, count, arrived);

    const std::optional<dmm::bench::DelayFigures> d =
        dmm::bench::delayFigures(written, arrived, static_cast<std::size_t>(count), "bytes");
    if (!d) return 1;
    std::printf("delay written into the terminal -> ser2net -> OnReceiveData over %zu bytes: "
                "p50 %.1f ms, p99 %.1f ms, max %.1f ms (polling every %d ms)\n",
                d->count, d->p50Ms, d->p99Ms, d->maxMs, driver.ComPortPollingDelay());
    driver.ClosePort();
    return 0;
}
