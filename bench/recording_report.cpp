// The printed report to PDF: the time to print a recording page by page into a PDF file, and
// the memory it takes above the table, which must not grow with the page count.
//
//   build/bench/bench_recording_report --benchmark_filter='ReportToPdf/1000000'
#include "ReadingsTable.h"
#include "Report.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace dmm;

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

void BM_ReportToPdf(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    ReadingsTable table;
    fill(table, rows);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    double peak = 0;
    int pages = 0;
    for (auto _ : state) {
        const double before = statusMb("VmRSS");
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly)) clear.write("5"); // peak := now
        clear.close();
        const ReportPrint printed = printReportToPdfFile(table, rows, pdf);
        if (!printed.error.isEmpty()) state.SkipWithError(printed.error.toStdString().c_str());
        pages = printed.pages;
        peak = std::max(peak, statusMb("VmHWM") - before);
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
