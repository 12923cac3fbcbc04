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

// Rows the meter could give, in a text file: autoranged voltages, AC beside DC, resistances
// over two ranges, frequencies, negative temperatures, and overloads among mV and kOhm rows.
QByteArray generatedFile(int rows) {
    struct Kind {
        const char* dcAc;
        double low, span; // of the value in the base unit
        const char* unit[2];
        double scale[2]; // of each unit
        double below;    // the first unit below this value
    };
    const Kind kinds[] = {
        {"DC", 0.5, 2, {"mV", "V"}, {1e-3, 1}, 1},
        {"AC", 200, 40, {"V", "V"}, {1, 1}, 0},
        {"DC", 1e5, 1.9e6, {"k*", "M*"}, {1e3, 1e6}, 1e6},
        {"DC", 900, 200, {"Hz", "kHz"}, {1, 1e3}, 1e3},
        {"DC", -5, 10, {"#", "#"}, {1, 1}, 0},
        {"DC", 0, 1, {"mV", "k*"}, {1e-3, 1e3}, 0.5},
    };
    QByteArray out = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";
    std::uint64_t seed = 12345;
    for (int i = 0; i < rows; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        const Kind& k = kinds[i % 6];
        const double v = k.low + k.span * (double(seed >> 11) / double(1ULL << 53));
        const int u = v < k.below ? 0 : 1;
        const QByteArray value =
            i % 6 == 5 && v < 0.4 ? "L0." : QByteArray::number(v / k.scale[u], 'f', 4);
        out += QString::asprintf("%d\t%02d:%02d:%02d\t%s\t%s\t%s\tpass\r\n", i + 1, i / 3600 % 24,
                                 i / 60 % 60, i % 60, k.dcAc, value.constData(), k.unit[u])
                   .toLatin1();
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
    for r in list(csv.reader(f, delimiter='\t'))[1:]:
        q, base, e = units[r[4]]
        g = groups.setdefault((q, r[2], base), [[], [], 0])
        if 'L' in r[3]:
            g[2] += 1
            continue
        g[0].append(float(Fraction(r[3]) * Fraction(10) ** e))
        g[1].append(int(r[0]))
for key, (v, no, bad) in groups.items():
    lo, hi = v.index(min(v)), v.index(max(v))  # the first rows that reached them
    print(json.dumps([' '.join(key), len(v), bad, statistics.mean(v), statistics.stdev(v),
                      v[lo], no[lo], v[hi], no[hi]]))
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
            return QStringList({quantityName(g.key().quantity), couplingName(g.key().coupling),
                                QString::fromStdString(g.key().unit)})
                       .join(' ') == w[0].toString();
        });
        ASSERT_NE(g, s.groups().end()) << line.toStdString();
        SCOPED_TRACE(line.toStdString());
        EXPECT_EQ(g->count(), w[1].toInteger());
        EXPECT_EQ(g->noNumber(), w[2].toInteger());
        expectNear(g->mean(), w[3].toDouble(), 12, "mean");
        expectNear(*g->sdev(), w[4].toDouble(), 9, "sdev");
        expectNear(g->min(), w[5].toDouble(), 12, "min");
        EXPECT_EQ(g->minNo(), w[6].toInt());
        expectNear(g->max(), w[7].toDouble(), 12, "max");
        EXPECT_EQ(g->maxNo(), w[8].toInt());
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
    // A row recorded after the load and before anyone asks is counted once.
    table.append(test::makeRow(3, "10:00:02", "DC", "5.0", "V", "", std::nullopt));
    sink.rowRecorded(row(3, "5.0", "V"));
    ASSERT_EQ(sink.statistics().groups().size(), 1u);
    EXPECT_EQ(sink.statistics().groups()[0].count(), 3);
    EXPECT_DOUBLE_EQ(sink.statistics().groups()[0].mean(), 3.0);
    EXPECT_EQ(sink.statistics().groups()[0].lastRow().text(), "10:00:02");
    sink.tableCleared();
    EXPECT_TRUE(sink.statistics().groups().empty());
    EXPECT_EQ(RecordingStatistics::ofRows(table, 2, 5).groups()[0].count(), 1);
}

} // namespace
} // namespace dmm
