// One row of a recording as its outputs take it: the row as the readings table stores it and the
// measurement it was recorded from.
#pragma once

#include "Measurement.h"
#include "ReadingsTable.h"

namespace dmm {

struct RecordedRow {
    int index = -1; // the row's place in the readings table; -1 where no table is kept
    RowData row;    // number, time of day, date-time (invalid for recall-clock stamps), texts
    Measurement measurement;

    // A row of a table: a recorded row's texts are the decoder's, a loaded row carries only
    // texts, and both are read back into a measurement the same way.
    static RecordedRow fromTable(const ReadingsTable& table, int row);
};

} // namespace dmm
