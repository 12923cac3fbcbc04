// The window's cost of its web page: while dmm simulate streams 20 frames a second into the
// window, the longest gap between two ticks of a 10 ms timer on the GUI thread and the process's
// CPU share over 10 s, with no client and with 31 clients reading the event stream plus one
// that never reads (bench/web_clients_load.py).
#include "FakeHidPlatform.h"
#include "Indicators.h"
#include "QV31F.h"
#include "ScriptedDialogs.h"
#include "WebPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <csignal>
#include <sys/resource.h>

using namespace dmm;
using namespace dmm::app;

namespace {

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_WindowWithWebClients(benchmark::State& state) {
    QProcess meter;
    meter.start(QStringLiteral(DMM_BENCH_BINARY_DIR "/tools/dmm/dmm"),
                {QStringLiteral("simulate"), QStringLiteral("--pty"), QStringLiteral("--rate"),
                 QStringLiteral("20")});
    meter.waitForReadyRead(5000);
    const QByteArray pty = meter.readLine().trimmed();
    ScriptedDialogs dialogs;
    FakeHidPlatform hid;
    TFCOMM w(&dialogs, &hid);
    w.show();
    web::WebPage page([&w] { return w.meter.lcd.on(Ind::CONok); }, [&w] { return w.windowTitle(); },
                      nullptr);
    w.pipeline().addSink(&page.feed());
    page.start(QHostAddress::LocalHost, 0);
    qputenv("DMM_COM1", pty);
    w.findChild<QPushButton*>(QStringLiteral("COMCon"))->click();
    QProcess clients;
    if (state.range(0) > 0) {
        clients.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral(DMM_BENCH_SOURCE_DIR "/bench/web_clients_load.py"),
                       QString::number(page.server().serverPort())});
        while (!clients.canReadLine() && clients.state() != QProcess::NotRunning) QTest::qWait(10);
    }
    QTest::qWait(2000);
    for (auto _ : state) {
        QElapsedTimer sinceTick, wall;
        qint64 longest = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout,
                         [&] { longest = std::max(longest, sinceTick.restart()); });
        const double cpu0 = cpuSeconds();
        wall.start();
        sinceTick.start();
        tick.start(10);
        QTest::qWait(10000);
        state.SetIterationTime(static_cast<double>(wall.elapsed()) / 1000);
        state.counters["gap_ms"] = static_cast<double>(longest);
        state.counters["cpu_pct"] = 100 * (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0);
        state.counters["clients"] = page.server().clients();
    }
    state.counters["rows"] = w.cds1().size();
    clients.closeWriteChannel();
    clients.waitForFinished(10000);
    w.pipeline().removeSink(&page.feed());
    meter.terminate();
    meter.waitForFinished(5000);
}
BENCHMARK(BM_WindowWithWebClients)
    ->Arg(0)
    ->Arg(32)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
