#include "RecordedRow.h"

#include "ShownValue.h"

namespace dmm {

namespace {

// A text as UTF-8 without the QByteArray that QString::toStdString goes through: a table's
// texts are short ASCII nearly always, and the statistics of a loaded file read every row.
std::string utf8(QStringView text) {
    std::string out(static_cast<std::size_t>(text.size()), '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x80) return text.toUtf8().toStdString();
        out[static_cast<std::size_t>(i)] = static_cast<char>(u);
    }
    return out;
}

} // namespace

RecordedRow RecordedRow::fromTable(const ReadingsTable& table, int row) {
    RecordedRow r;
    r.index = row;
    r.row = table.row(row);
    r.measurement = readMeasurement(utf8(r.row.value), utf8(r.row.unit), utf8(r.row.dcAc),
                                    utf8(r.row.rangeMode));
    return r;
}

} // namespace dmm
