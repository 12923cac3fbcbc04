// The statistics of a recording against Python's statistics module, the cases a naive sum
// fails, and the sink's resets.
#include "DataFiles.h"
#include "RecordingStatistics.h"
#include "ShownValue.h"
#include "StatisticsSink.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <cmath>

#include <gtest/gtest.h>

namespace dmm {
namespace {

RecordedRow row(int no, const char* value, const char* unit, const char* dcAc = "DC") {
    RecordedRow r;
    r.row = test::makeRow(no, "10:00:00", dcAc, value, unit, "", std::nullopt);
    r.measurement = readMeasurement(value, unit, dcAc);
    return r;
}

// Rows the meter could give: autoranged voltages, AC beside DC, resistances over two ranges,
// frequencies, negative temperatures and overloads, in a tab-separated text file.
QByteArray generatedFile(int rows) {
    QByteArray out = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";
    std::uint64_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(seed >> 11) / double(1ULL << 53);
    };
    char buf[128];
    for (int i = 0; i < rows; ++i) {
        const double u = next();
        const char* dcAc = "DC";
        QByteArray value, unit;
        switch (i % 6) {
        case 0: { // 0.5 .. 2.5 V, shown in mV below 1 V
            const double v = 0.5 + 2 * u;
            value = v < 1 ? QByteArray::number(v * 1e3, 'f', 2) : QByteArray::number(v, 'f', 4);
            unit = v < 1 ? "mV" : "V";
            break;
        }
        case 1:
            value = QByteArray::number(200 + 40 * u, 'f', 1), unit = "V", dcAc = "AC";
            break;
        case 2: { // 100 kOhm .. 2 MOhm
            const double v = 1e5 + 1.9e6 * u;
            value =
                v < 1e6 ? QByteArray::number(v / 1e3, 'f', 2) : QByteArray::number(v / 1e6, 'f', 4);
            unit = v < 1e6 ? "k*" : "M*";
            break;
        }
        case 3: {
            const double v = 900 + 200 * u;
            value = v < 1e3 ? QByteArray::number(v, 'f', 2) : QByteArray::number(v / 1e3, 'f', 5);
            unit = v < 1e3 ? "Hz" : "kHz";
            break;
        }
        case 4:
            value = QByteArray::number(-5 + 10 * u, 'f', 1), unit = "#";
            break;
        default:
            value = u < 0.5 ? "L0." : QByteArray::number(1000 * u, 'f', 2);
            unit = u < 0.25 ? "k*" : "mV";
        }
        std::snprintf(buf, sizeof buf, "%d\t%02d:%02d:%02d\t%s\t%s\t%s\tpass\r\n", i + 1,
                      i / 3600 % 24, i / 60 % 60, i % 60, dcAc, value.constData(),
                      unit.constData());
        out += buf;
    }
    return out;
}

// The reference: its own unit table, exact decimals, the statistics module.
const char* kPython = R"(
import csv, json, statistics, sys
from fractions import Fraction
units = {'V': ('voltage', 'V', 0), 'mV': ('voltage', 'V', -3), 'k*': ('resistance', 'Ω', 3),
         'M*': ('resistance', 'Ω', 6), 'Hz': ('frequency', 'Hz', 0),
         'kHz': ('frequency', 'Hz', 3), '#': ('temperature_c', '°C', 0)}
groups = {}
with open(sys.argv[1], newline='') as f:
    rows = csv.reader(f, delimiter='\t')
    next(rows)
    for r in rows:
        q, base, e = units[r[4]]
        g = groups.setdefault((q, r[2], base), {'v': [], 'no': [], 'bad': 0})
        if 'L' in r[3]:
            g['bad'] += 1
        else:
            g['v'].append(float(Fraction(r[3]) * Fraction(10) ** e))
            g['no'].append(int(r[0]))
for (q, c, u), g in groups.items():
    v = g['v']
    lo = min(range(len(v)), key=v.__getitem__)
    hi = max(range(len(v)), key=lambda i: (v[i], -i))
    print(json.dumps([q, c, u, len(v), g['bad'], statistics.mean(v), statistics.stdev(v),
                      v[lo], g['no'][lo], v[hi], g['no'][hi]]))
)";

void expectNear(double got, double want, double digits, const char* what) {
    EXPECT_LE(std::fabs(got - want), std::fabs(want) * std::pow(10, -digits)) << what;
}

TEST(Statistics, AgreeWithPythonOnAGeneratedFile) {
    test::ensureApp();
    QTemporaryDir dir;
    const QString file = dir.filePath("gen.txt");
    test::writeFile(file, generatedFile(100'000));
    QProcess py;
    py.start("/usr/bin/python3", {"-c", QString::fromUtf8(kPython), file});
    ASSERT_TRUE(py.waitForFinished(300'000));
    ASSERT_EQ(py.exitCode(), 0) << py.readAllStandardError().toStdString();
    const QList<QByteArray> lines = py.readAllStandardOutput().trimmed().split('\n');

    ReadingsTable table;
    ASSERT_TRUE(loadTableFromFile(file, table, true).ok);
    const RecordingStatistics s = RecordingStatistics::ofRows(table, 0, table.size());
    ASSERT_EQ(s.groups().size(), std::size_t(lines.size()));
    for (const QByteArray& line : lines) {
        const QJsonArray w = QJsonDocument::fromJson(line).array();
        const auto g = std::find_if(s.groups().begin(), s.groups().end(), [&w](const auto& g) {
            return quantityName(g.key().quantity) == w[0].toString() &&
                   couplingName(g.key().coupling) == w[1].toString() &&
                   QString::fromStdString(g.key().unit) == w[2].toString();
        });
        ASSERT_NE(g, s.groups().end()) << line.toStdString();
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(g->count(), w[3].toInteger());
        EXPECT_EQ(g->noNumber(), w[4].toInteger());
        expectNear(g->mean(), w[5].toDouble(), 12, "mean");
        expectNear(*g->sdev(), w[6].toDouble(), 9, "sdev");
        expectNear(g->min(), w[7].toDouble(), 12, "min");
        EXPECT_EQ(g->minNo(), w[8].toInt());
        expectNear(g->max(), w[9].toDouble(), 12, "max");
        EXPECT_EQ(g->maxNo(), w[10].toInt());
    }
}

TEST(Statistics, ANaiveSumOfSquaresFailsHere) {
    // 10^4 ± 10^-1: a sum of squares near 10^8 per row leaves no digit of a variance of 10^-2.
    RecordingStatistics s;
    const int n = 100'000;
    for (int i = 0; i < n; ++i) s.add(row(i + 1, i % 2 ? "10000.1" : "9999.9", "V"));
    ASSERT_EQ(s.groups().size(), 1u);
    expectNear(*s.groups()[0].sdev(), 0.1 * std::sqrt(double(n) / (n - 1)), 9, "sdev");
    expectNear(s.groups()[0].mean(), 1e4, 12, "mean");
}

TEST(Statistics, GroupsExtremesAndAbsentFigures) {
    RecordingStatistics s;
    s.add(row(1, "1.5000", "V"));
    s.add(row(2, "900.00", "mV")); // autoranged: the same group
    s.add(row(3, "1.5000", "V"));  // a tie keeps the first row
    s.add(row(4, "0.L", "mV"));
    s.add(row(5, "2.0", "V", "AC"));
    s.add(row(6, "12", "&")); // continuity stays apart from resistance
    ASSERT_EQ(s.groups().size(), 3u);
    const GroupStatistics& dc = s.groups()[0];
    EXPECT_EQ(dc.count(), 3);
    EXPECT_EQ(dc.noNumber(), 1);
    EXPECT_EQ(dc.minNo(), 2);
    EXPECT_EQ(dc.maxNo(), 1);
    EXPECT_DOUBLE_EQ(dc.ptp(), 0.6);
    EXPECT_FALSE(s.groups()[1].sdev().has_value());
    EXPECT_EQ(s.groups()[2].key().quantity, Quantity::Continuity);
    EXPECT_EQ(s.latest(), &s.groups()[2]);
}

TEST(Statistics, SinkRecomputesOnLoadAndEmptiesOnClear) {
    test::ensureApp();
    ReadingsTable table;
    table.append(test::makeRow(1, "10:00:00", "DC", "1.0", "V", "", std::nullopt));
    table.append(test::makeRow(2, "10:00:01", "DC", "3.0", "V", "", std::nullopt));
    StatisticsSink sink;
    sink.rowRecorded(row(9, "100", "V"));
    sink.tableLoaded(table, 0);
    ASSERT_EQ(sink.statistics().groups().size(), 1u);
    EXPECT_DOUBLE_EQ(sink.statistics().groups()[0].mean(), 2.0);
    EXPECT_EQ(sink.statistics().groups()[0].lastRow().text(), "10:00:01");
    sink.tableCleared();
    EXPECT_TRUE(sink.statistics().groups().empty());
    EXPECT_EQ(RecordingStatistics::ofRows(table, 1, 5).groups()[0].count(), 1);
}

} // namespace
} // namespace dmm
