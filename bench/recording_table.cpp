// The readings table at a million rows: memory per row, append cost at small and large sizes,
// and the text and XML data files both ways.
#include "CsvFile.h"
#include "DataFiles.h"
#include "ReadingsTable.h"
#include "Recorder.h"

#include <QBuffer>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>

namespace {

using namespace dmm;

std::size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// A recording as the meter gives it: a wandering value, a second per reading, two functions.
CurrentReading meterReading(int i) {
    CurrentReading r;
    const int count = (i * 7919) % 40000 - 20000;
    char value[16];
    std::snprintf(value, sizeof value, "%d.%04d", count / 10000, std::abs(count % 10000));
    r.ValueText = value;
    r.NumericValue = count;
    r.DcAc = i % 1000 < 500 ? "DC" : "AC";
    r.UnitText = "V";
    r.RangeMode = "AUTO";
    r.Judge = count > 6000 || count < -6000 ? "Fail" : "pass";
    return r;
}

void fill(ReadingsTable& table, int rows) {
    Recorder rec(table);
    rec.setRecordLimit(kLimitlessRecordLimit);
    int second = 0;
    // A clock in UTC: stepping a local time through a million seconds would cost more than the
    // rows themselves, and the figures are of the table.
    const QDateTime start(QDate(2026, 12, 9), QTime(0, 0), Qt::UTC);
    rec.setClock([&] { return start.addSecs(second); });
    for (int i = 0; i < rows; ++i, ++second) rec.INDataToTable(meterReading(i), true, false);
}

void BM_MemoryPerRow(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        auto table = std::make_unique<ReadingsTable>();
        fill(*table, static_cast<int>(state.range(0)));
        const std::size_t after = heapInUse();
        state.counters["bytes_per_row"] =
            static_cast<double>(after - before) / static_cast<double>(state.range(0));
        state.counters["texts"] = table->internedTexts();
    }
}
BENCHMARK(BM_MemoryPerRow)->Arg(1'000'000)->Iterations(1)->Unit(benchmark::kMillisecond);

// One recorder append into a table that already holds range(0) rows.
void BM_AppendAt(benchmark::State& state) {
    ReadingsTable table;
    fill(table, static_cast<int>(state.range(0)));
    Recorder rec(table);
    rec.setRecordLimit(kLimitlessRecordLimit);
    // The real clock: its cost is part of an append.
    int i = 0;
    for (auto _ : state) rec.INDataToTable(meterReading(i++), true, false);
    state.counters["rows"] = table.size();
}
BENCHMARK(BM_AppendAt)->Arg(1000)->Arg(1'000'000)->Iterations(200'000);

ReadingsTable& millionRows() {
    static ReadingsTable* table = [] {
        auto* t = new ReadingsTable;
        fill(*t, 1'000'000);
        return t;
    }();
    return *table;
}

QByteArray savedText() {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    SaveReadingsText(millionRows(), buf);
    return bytes;
}

QByteArray savedXml() {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    SaveReadingsXml(millionRows(), buf);
    return bytes;
}

void BM_SaveText(benchmark::State& state) {
    millionRows();
    for (auto _ : state) {
        QByteArray bytes = savedText();
        state.counters["MB"] = bytes.size() / 1e6;
    }
}
BENCHMARK(BM_SaveText)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_LoadText(benchmark::State& state) {
    QByteArray bytes = savedText();
    for (auto _ : state) {
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        ReadingsTable t;
        if (!LoadReadingsFile(buf, t, false).isEmpty() || t.size() != 1'000'000)
            state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadText)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_SaveXml(benchmark::State& state) {
    millionRows();
    for (auto _ : state) {
        QByteArray bytes = savedXml();
        state.counters["MB"] = bytes.size() / 1e6;
    }
}
BENCHMARK(BM_SaveXml)->Iterations(2)->Unit(benchmark::kMillisecond);

// A million recorded rows, each with its date, time and base-unit value, as CSV.
void BM_SaveCsv(benchmark::State& state) {
    millionRows();
    for (auto _ : state) {
        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        if (!CsvFile::save(millionRows(), buf).isEmpty()) state.SkipWithError("save failed");
        state.counters["MB"] = bytes.size() / 1e6;
    }
}
BENCHMARK(BM_SaveCsv)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_LoadXml(benchmark::State& state) {
    QByteArray bytes = savedXml();
    for (auto _ : state) {
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        ReadingsTable t;
        if (!LoadReadingsXml(buf, t).isEmpty() || t.size() != 1'000'000)
            state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadXml)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
