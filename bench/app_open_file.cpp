// The window opening a text file of ten million rows (the "limitless" record limit), offscreen:
// the time from the click on "Open old data files" to the grid showing the file's last row as
// a row in view (scrolled to the end as Ctrl+End does), with the statistics of the whole table
// worked out on the way.
#include "QV31F.h"
#include "ScriptedDialogs.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace dmm;
using namespace dmm::app;

namespace {

// The rows of bench/make_data_file.py's "meter" shape.
bool writeMeterFile(const QString& name, int rows) {
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly)) return false;
    QByteArray buf = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";
    char line[96];
    for (int i = 1; i <= rows; ++i) {
        const int count = static_cast<int>((static_cast<long long>(i) * 7919) % 40000) - 20000;
        const char* sign = count < 0 && count / 10000 == 0 ? "-" : "";
        const int n = std::snprintf(
            line, sizeof line, "%d\t%02d:%02d:%02d\t%s\t%s%d.%04d\tV\t%s\r\n", i, i / 3600 % 24,
            i / 60 % 60, i % 60, i % 1000 < 500 ? "DC" : "AC", sign, count / 10000,
            std::abs(count) % 10000, count > 6000 || count < -6000 ? "Fail" : "pass");
        buf.append(line, n);
        if (buf.size() > (1 << 20)) {
            if (f.write(buf) != buf.size()) return false;
            buf.clear();
        }
    }
    return f.write(buf) == buf.size() && f.flush();
}

void BM_OpenToLastRowShown(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("rows.txt"));
    if (!writeMeterFile(name, rows)) state.SkipWithError("cannot write the file");
    for (auto _ : state) {
        ScriptedDialogs dialogs;
        TFCOMM w(&dialogs);
        w.findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
        w.show();
        if (!QTest::qWaitForWindowExposed(&w)) state.SkipWithError("window not exposed");
        auto* grid = w.findChild<QTableView*>();
        dialogs.fileNames = {name};
        QElapsedTimer clock;
        clock.start();
        w.findChild<QToolButton*>(QStringLiteral("OpenDataFiles"))->click();
        // The grid shows the rows once its model has them; then to the end, as Ctrl+End goes.
        const QModelIndex* last = nullptr;
        QModelIndex end;
        while (!last) {
            if (grid->model()->rowCount() == rows) {
                end = grid->model()->index(rows - 1, 0);
                grid->scrollTo(end);
                last = &end;
            } else if (clock.elapsed() > 600'000) {
                state.SkipWithError("the rows never showed");
                break;
            } else {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            }
        }
        while (last && !grid->viewport()->rect().intersects(grid->visualRect(end)))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::processEvents(); // the paint that shows it
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        state.counters["rows"] = w.cds1().size();
    }
}
BENCHMARK(BM_OpenToLastRowShown)
    ->Arg(1'000'000)
    ->Arg(10'000'000)
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
