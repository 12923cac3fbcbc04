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

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace dmm;
using namespace dmm::app;

namespace {

// A field of /proc/self/status in MB ("VmRSS", "VmHWM").
double statusMb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ')[0].toDouble() / 1024;
    return -1;
}

// Resets the peak resident size to the current one (Linux: "5" to clear_refs).
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

void fill(ReadingsTable& table, int rows) {
    std::vector<RowData> block;
    for (int start = 0; start < rows; start += 65536) {
        block.clear();
        for (int i = start; i < rows && i < start + 65536; ++i) {
            RowData r;
            r.no = i + 1;
            r.time = QStringLiteral("12:%1:%2")
                         .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                         .arg(i % 60, 2, 10, QLatin1Char('0'));
            r.dcAc = QStringLiteral("DC");
            r.value = QString::number(i % 20000);
            r.unit = QStringLiteral("mV");
            r.judge = QStringLiteral("pass");
            r.nval = i % 20000;
            block.push_back(r);
        }
        table.append(block);
    }
}

void BM_OpenPreview(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    WidgetDialogs dialogs;
    TFCOMM w(&dialogs);
    w.ConTimer->stop();
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) state.SkipWithError("window not exposed");
    fill(w.cds1(), rows);
    QCoreApplication::processEvents();

    double peak = 0, kept = 0;
    for (auto _ : state) {
        const double before = statusMb("VmRSS");
        resetPeak();
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
        w.BtPrint->click(); // returns when the preview has closed
        poll.stop();
        if (shownAfter < 0) state.SkipWithError("no preview shown");
        state.SetIterationTime(shownAfter);
        QCoreApplication::processEvents();
        peak = std::max(peak, statusMb("VmHWM") - before);
        kept = std::max(kept, statusMb("VmRSS") - before);
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
