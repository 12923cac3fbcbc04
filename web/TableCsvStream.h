// /readings.csv of the window: the readings table's rows, as "Save data files" writes them to a
// CSV file (CsvFile), row by row from the first to the one that was last when the download
// began.
#pragma once

#include "CsvStream.h"

#include <QPointer>

#include <functional>

namespace dmm {
class ReadingsTable;
}

namespace dmm::web {

class TableCsvStream : public CsvStream {
public:
    // `generation` tells the table's contents apart (WebFeed::generation); a change ends the
    // stream short.
    TableCsvStream(const ReadingsTable& table, std::function<quint32()> generation);
    QByteArray next(qsizetype size, bool& ok) override;

private:
    QPointer<const ReadingsTable> table_;
    std::function<quint32()> generation_;
    quint32 startGeneration_;
    int next_ = -1; // -1: the byte-order mark and the header are still to come
    int end_;
};

} // namespace dmm::web
