// The printed report to PDF: the time to print a recording page by page into a PDF file, and
// the memory it takes above the table, which must not grow with the page count.
//
//   build/bench/bench_recording_report --benchmark_filter='ReportToPdf/1000000'
#include "ReadingsTable.h"
#include "Report.h"

#include "BenchTable.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using namespace dmm;

void BM_ReportToPdf(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    ReadingsTable table;
    bench::fillMeterTable(table, rows);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    double peak = 0;
    int pages = 0;
    for (auto _ : state) {
        const double before = bench::statusMb("VmRSS");
        bench::resetPeak();
        const ReportPrint printed = printReportToPdfFile(table, rows, pdf);
        if (!printed.error.isEmpty()) state.SkipWithError(printed.error.toStdString().c_str());
        pages = printed.pages;
        peak = std::max(peak, bench::statusMb("VmHWM") - before);
    }
    state.counters["pages"] = pages;
    state.counters["peak_above_table_MB"] = peak;
    state.counters["pdf_MB"] = static_cast<double>(QFile(pdf).size()) / (1024 * 1024);
}
BENCHMARK(BM_ReportToPdf)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    // The report's fonts need a GUI application; the offscreen platform needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
