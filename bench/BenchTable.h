// What the benchmarks of the table, the report and the preview share: a table of meter rows made
// quickly, and the process's memory as the kernel counts it.
#pragma once

#include "ReadingsTable.h"

#include <QFile>
#include <QString>

#include <vector>

namespace dmm::bench {

// A field of /proc/self/status in MB ("VmRSS", "VmHWM").
inline double statusMb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ')[0].toDouble() / 1024;
    return -1;
}

// Resets the peak resident size to the current one (Linux: "5" to clear_refs).
inline void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

inline void fillMeterTable(ReadingsTable& table, int rows,
                           const QString& unit = QStringLiteral("mV")) {
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
            r.unit = unit;
            r.judge = QStringLiteral("pass");
            r.nval = i % 20000;
            block.push_back(r);
        }
        table.append(block);
    }
}

} // namespace dmm::bench
