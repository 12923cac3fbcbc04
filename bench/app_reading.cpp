// The window's figures, offscreen: the time from start to the window shown, and the GUI thread's
// cost of one recorded reading (decode, judge, record, grid, chart, and the repaint they cause)
// with 1,000 and with 1,000,000 rows already in the table. Both costs must be alike: nothing in
// the road of a reading may grow with the table.
#include "QV31F.h"
#include "ScriptedDialogs.h"
#include "Simulator.h"

#include "BenchTable.h"

#include "JournalFormat.h"
#include "StateFolder.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace dmm;
using namespace dmm::app;

namespace {

std::vector<std::vector<std::uint8_t>> frames(int n) {
    sim::Simulator sim(sim::SimOptions{});
    std::vector<std::vector<std::uint8_t>> out;
    for (int i = 0; i < n; ++i) out.push_back(sim.next().bytes);
    return out;
}

void BM_StartToWindowShown(benchmark::State& state) {
    ScriptedDialogs dialogs;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto w = std::make_unique<TFCOMM>(&dialogs);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) state.SkipWithError("window not exposed");
        QCoreApplication::processEvents(); // the first paint
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        w.reset();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_StartToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_RecordedReading(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    ScriptedDialogs dialogs;
    TFCOMM w(&dialogs);
    w.findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
    w.findChild<QAction*>(QStringLiteral("limitess"))->trigger();
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) state.SkipWithError("window not exposed");

    // The table and the chart as a long recording leaves them.
    bench::fillMeterTable(w.cds1(), rows, QStringLiteral("V"));
    for (int i = 0; i < rows; ++i) w.pager().AddValue(i % 20000);
    if (state.range(2)) w.findChild<QAction*>(QStringLiteral("Statistics1"))->trigger();
    if (state.range(3)) w.startJournal();
    QCoreApplication::processEvents();

    const auto stream = frames(4096);
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& f = stream[next++ % stream.size()];
        w.serialReceived(f.data(), static_cast<int>(f.size()));
        if (state.range(1))
            QCoreApplication::processEvents(); // the grid, the chart and the LCD repaint
    }
    state.counters["rows"] = w.cds1().size();
    state.SetItemsProcessed(state.iterations());
}
// Second argument: 1 includes the repaint that each reading causes, 0 leaves it out. Third: 1
// with the statistics window open (following the recording twice a second). Fourth: 1 with the
// recording's journal (a write per row, a sync a second) in a state folder of the run's own.
BENCHMARK(BM_RecordedReading)
    ->Args({1000, 1, 0, 0})
    ->Args({1000000, 1, 0, 0})
    ->Args({1000000, 1, 0, 1})
    ->Args({1000000, 1, 1, 0})
    ->Args({1000, 0, 0, 0})
    ->Args({1000000, 0, 0, 0})
    ->Args({1000000, 0, 0, 1})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(3000);

// Kilobytes of a /proc/self/status line ("VmHWM", "VmRSS").
long statusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key)) + 1).trimmed().split(' ')[0].toLong();
    return 0;
}

// A journal of a million rows left by a run that ended without a save: the time from start to
// the window shown with the rows restored (Yes), and the memory it took beyond the table's.
void BM_RestoreMillionRowJournal(benchmark::State& state) {
    const QString folder = stateFolder();
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("bench.journal"));
    QByteArray bytes = journalHeader(1'800'000'000'000);
    const std::int64_t at = 1'800'000'000'000;
    for (int i = 1; i <= 1'000'000; ++i) {
        const QByteArray v = QByteArray::number(i % 20000);
        bytes += "R\t" + QByteArray::number(i) + "\t10:00:00\tDC\t" + v + "\tmV\tpass\t" + v +
                 '\t' + QByteArray::number(qint64(at + i * 400)) + "\tA\t\n";
    }
    for (auto _ : state) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        const long before = statusKb("VmRSS:");
        ScriptedDialogs dialogs;
        dialogs.answers = {MsgButton::Yes};
        QElapsedTimer clock;
        clock.start();
        auto w = std::make_unique<TFCOMM>(&dialogs);
        w->startJournal();
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) state.SkipWithError("window not exposed");
        QCoreApplication::processEvents(); // the first paint
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        state.counters["rows"] = w->cds1().size();
        state.counters["peak_MB_above_start"] = double(statusKb("VmHWM:") - before) / 1024;
        state.counters["journal_bytes_per_row"] = double(bytes.size()) / 1e6;
        dialogs.fileNames = {};
        w.reset();
        QFile::remove(path);
        for (const QString& j : QDir(folder).entryList({QStringLiteral("*.journal")}))
            QFile::remove(QDir(folder).filePath(j));
    }
}
BENCHMARK(BM_RestoreMillionRowJournal)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir stateHome; // the journals of this run only
    qputenv("XDG_STATE_HOME", stateHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
