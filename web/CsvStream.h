// The rows of /readings.csv, handed out a piece at a time as the client takes them, so that a
// long recording is never held in memory whole nor written in one turn of the event loop.
#pragma once

#include <QByteArray>

namespace dmm::web {

class CsvStream {
public:
    virtual ~CsvStream() = default;
    // The next bytes, about `size` of them (whole lines); empty at the end. False in `ok` when
    // the rows changed under the stream ("Close Data", a load) or the file cannot be read: the
    // download must then end short, not look complete.
    virtual QByteArray next(qsizetype size, bool& ok) = 0;
};

} // namespace dmm::web
