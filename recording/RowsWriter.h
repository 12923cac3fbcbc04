// The save loop every table writer shares: the file's head, each row as the format renders it,
// and its tail, written in blocks of about 1 MiB, so that a table of millions of rows costs a
// bounded buffer, with progress told every 4,096 rows and once at the end.
#pragma once

#include "DataFiles.h"
#include "ReadingsTable.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <algorithm>

namespace dmm {

inline constexpr int kSaveProgressRows = 4096;
inline constexpr qsizetype kSaveFlushBytes = 1 << 20;

// `appendRow(buffer, row)` renders one row; `bytesPerRow` sizes the first buffer for a small
// table. Returns the device's error text, empty on success.
template <class AppendRow>
QString writeRows(const ReadingsTable& table, QIODevice& out, const ProgressFn& progress,
                  const QByteArray& head, qsizetype bytesPerRow, AppendRow&& appendRow,
                  const QByteArray& tail = {}) {
    if (!out.isOpen() || !out.isWritable())
        return QStringLiteral("the file is not open for writing");
    const int rows = table.size();
    QByteArray buf;
    buf.reserve(std::min<qsizetype>(kSaveFlushBytes, head.size() + rows * bytesPerRow));
    buf.append(head);
    for (int r = 0; r < rows; ++r) {
        appendRow(buf, r);
        if (buf.size() >= kSaveFlushBytes) {
            if (out.write(buf) != buf.size()) return out.errorString();
            buf.clear();
        }
        if (progress && (r + 1) % kSaveProgressRows == 0) progress(r + 1, rows);
    }
    buf.append(tail);
    if (out.write(buf) != buf.size()) return out.errorString();
    if (progress) progress(rows, rows);
    return {};
}

} // namespace dmm
