// The print preview of a long recording, offscreen, through the window's own Print button and
// the real dialogs: the time from the press until the preview window is shown and has painted,
// the peak memory above the table while it is open, and what stays taken after it closes.
//
//   build/bench/bench_app_print_preview --benchmark_filter='OpenPreview/1000000'
//
// Memory counters (MB): peak_above_table is the peak resident size while the preview was open
// less the resident size before Print was pressed; kept_after_close is the resident size after
// the preview closed less the same.
#include "QV31F.h"
#include "WidgetDialogs.h"

#include "BenchTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <benchmark/benchmark.h>

using namespace dmm;
using namespace dmm::app;

namespace {

void BM_OpenPreview(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    WidgetDialogs dialogs;
    TFCOMM w(&dialogs);
    w.findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) state.SkipWithError("window not exposed");
    bench::fillMeterTable(w.cds1(), rows);
    QCoreApplication::processEvents();

    double peak = 0, kept = 0;
    for (auto _ : state) {
        const double before = bench::statusMb("VmRSS");
        bench::resetPeak();
        QElapsedTimer clock;
        double shownAfter = -1;
        // Polls from inside the preview's event loop: once the preview window is up and has
        // been painted, take the time and close it.
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* preview = QApplication::activeModalWidget();
            if (!preview || !preview->isVisible() || shownAfter >= 0) return;
            if (!QTest::qWaitForWindowExposed(preview)) return;
            QCoreApplication::processEvents(); // its first paint
            shownAfter = static_cast<double>(clock.nsecsElapsed()) * 1e-9;
            preview->close();
        });
        poll.start();
        clock.start();
        w.findChild<QToolButton*>(QStringLiteral("BtPrint"))
            ->click(); // returns when the preview has closed
        poll.stop();
        if (shownAfter < 0) state.SkipWithError("no preview shown");
        state.SetIterationTime(shownAfter);
        QCoreApplication::processEvents();
        peak = std::max(peak, bench::statusMb("VmHWM") - before);
        kept = std::max(kept, bench::statusMb("VmRSS") - before);
    }
    state.counters["rows"] = rows;
    state.counters["peak_above_table_MB"] = peak;
    state.counters["kept_after_close_MB"] = kept;
}
BENCHMARK(BM_OpenPreview)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
