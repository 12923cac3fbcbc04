// What both data-file fuzz targets check: a load that fails leaves the rows that were in the
// table before untouched (all of them for the XML file, whose load is all or nothing; for the
// text file, whose rows come one by one, the rows before the load), and a table once saved and
// loaded is a fixed point: save(load(x)) equals save(load(save(load(x)))), for the text file
// and the XML file alike.
#pragma once

#include "DataFiles.h"
#include "FuzzCheck.h"
#include "ReadingsTable.h"

#include <QBuffer>

#include <optional>

namespace dmm::fuzz {

enum class Format { Text, Xml };

inline QString load(Format f, QByteArray bytes, ReadingsTable& t) {
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    return f == Format::Text ? LoadReadingsFile(buf, t, false) : LoadReadingsXml(buf, t);
}

// The saved bytes, or nothing when the save refused the table (XML cannot carry some texts).
inline std::optional<QByteArray> save(Format f, const ReadingsTable& t) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    const QString error = f == Format::Text ? SaveReadingsText(t, buf) : SaveReadingsXml(t, buf);
    if (!error.isEmpty()) return std::nullopt;
    return bytes;
}

// A table that already holds rows when the file is loaded.
inline void fillBefore(ReadingsTable& t) {
    t.append(RowData{7, "12:00:00", "DC", "1.2345", "V", "pass", 12345, {}, {}});
    t.append(RowData{std::nullopt, "", "AC", "-0.L", "k*", "", std::nullopt, {}, {}});
}

inline void checkRowsBeforeKept(const ReadingsTable& t) {
    ReadingsTable before;
    fillBefore(before);
    DMM_CHECK(t.size() >= before.size());
    for (int i = 0; i < before.size(); ++i) DMM_CHECK(t.row(i) == before.row(i));
}

// Checks that save(load(x)) in format `out` is a fixed point, `in` being x's format.
inline void checkFixedPoint(Format in, Format out, const QByteArray& x) {
    ReadingsTable first;
    if (!load(in, x, first).isEmpty() && in == Format::Xml) return; // nothing was loaded
    const auto once = save(out, first);
    if (!once) return;
    ReadingsTable second;
    DMM_CHECK(load(out, *once, second).isEmpty());
    DMM_CHECK(second.size() == first.size());
    const auto twice = save(out, second);
    DMM_CHECK(twice && *twice == *once);
}

} // namespace dmm::fuzz
