#include "TableCsvStream.h"

#include "CsvFile.h"
#include "ReadingsTable.h"
#include "RecordedRow.h"

namespace dmm::web {

TableCsvStream::TableCsvStream(const ReadingsTable& table, std::function<quint32()> generation)
    : table_(&table), generation_(std::move(generation)), startGeneration_(generation_()),
      end_(table.size()) {}

QByteArray TableCsvStream::next(qsizetype size, bool& ok) {
    ok = table_ && generation_() == startGeneration_ && table_->size() >= end_;
    QByteArray out;
    if (!ok) return out;
    if (next_ < 0) {
        out = QByteArray(CsvFile::kByteOrderMark) + CsvFile::kHeader;
        next_ = 0;
    }
    while (next_ < end_ && out.size() < size)
        CsvFile::appendLine(out, RecordedRow::fromTable(*table_, next_++));
    return out;
}

} // namespace dmm::web
