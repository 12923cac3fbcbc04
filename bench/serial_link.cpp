// The serial driver's two figures: the CPU time of an open, idle port polled every 50 ms over
// 10 s, and the delay from bytes written into a pseudo-terminal to OnReceiveData (p50, p99, max
// over 1,000 frames written at times unrelated to the polling tick).
#include "ComDrv32.h"
#include "Delays.h"
#include "Pty.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void runFor(int ms) {
    QTimer::singleShot(ms, Qt::PreciseTimer, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
}

using dmm::bench::Clock;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Pty pty;
    if (!pty.ok()) {
        std::perror("openpty");
        return 1;
    }
    const QByteArray name = pty.slavePath().toLocal8Bit();
    ::setenv("DMM_COM1", name.constData(), 1);
    const int idleMs = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int frames = argc > 2 ? std::atoi(argv[2]) : 1000;

    TCommPortDriver driver;
    driver.SetComPort(TCommPortDriver::pnCOM1);
    driver.SetComPortSpeed(TCommPortDriver::br2400);

    // Arrival time of every frame end (0x0D), in the order received.
    std::vector<Clock::time_point> arrived;
    arrived.reserve(static_cast<std::size_t>(frames));
    driver.OnReceiveData = [&](TCommPortDriver*, const std::uint8_t* p, std::int32_t n) {
        const auto now = Clock::now();
        for (std::int32_t i = 0; i < n; ++i)
            if (p[i] == 0x0D) arrived.push_back(now);
    };
    if (!driver.OpenPort()) {
        std::fprintf(stderr, "cannot open %s\n", name.constData());
        return 1;
    }

    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(idleMs);
    const double cpu = cpuSeconds() - cpu0;
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    std::printf("idle port, polling every %d ms: %.3f s CPU over %.1f s = %.3f%% of one core\n",
                driver.ComPortPollingDelay(), cpu, seconds, 100.0 * cpu / seconds);

    // The meter: one 11-byte frame every 20 to 40 ms.
    const std::vector<Clock::time_point> written = dmm::bench::writePaced(
        pty.master(), {'1', '2', '3', '4', '5', '3', '1', '0', '1', 0x0D, 0x0A}, frames, arrived);

    const std::optional<dmm::bench::DelayFigures> d =
        dmm::bench::delayFigures(written, arrived, static_cast<std::size_t>(frames), "frames");
    if (!d) return 1;
    std::printf("delay written -> OnReceiveData over %zu frames: p50 %.1f ms, p99 %.1f ms, "
                "max %.1f ms (limit: one period + 5 = %d ms)\n",
                d->count, d->p50Ms, d->p99Ms, d->maxMs, driver.ComPortPollingDelay() + 5);
    driver.ClosePort();
    return 0;
}
