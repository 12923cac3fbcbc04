// What an output of the recording pipeline hears: every decoded reading, every recorded row and
// what else happens to the readings table. Each is told on the GUI thread, in the order of the
// frames; an output overrides what it needs.
#pragma once

#include "Reading.h"
#include "RecordedRow.h"

#include <QString>

namespace dmm {

class ReadingsTable;

class ReadingSink {
public:
    virtual ~ReadingSink() = default;

    // A frame was decoded (whether or not its reading gets recorded); `reading` is the meter's
    // state after it, its measurement and verdict included.
    virtual void readingDecoded(const CurrentReading& reading) { (void)reading; }
    // A row was recorded.
    virtual void rowRecorded(const RecordedRow& row) { (void)row; }
    // A file was loaded: the table's rows from `first` on are its rows (0: it replaced the
    // table; a text file is appended to the rows before).
    virtual void tableLoaded(const ReadingsTable& table, int first) {
        (void)table;
        (void)first;
    }
    // "Close Data": the table was emptied and the numbering starts at 1 again.
    virtual void tableCleared() {}
    // The table was saved whole to `path`.
    virtual void tableSaved(const QString& path) { (void)path; }
    // Recording stopped for good: the record limit was reached or the last record number given.
    virtual void recordingEnded(bool numbersUsedUp) { (void)numbersUsedUp; }
};

} // namespace dmm
