#include "RecordedRow.h"

#include "ShownValue.h"

namespace dmm {

RecordedRow RecordedRow::fromTable(const ReadingsTable& table, int row) {
    RecordedRow r;
    r.index = row;
    r.row = table.row(row);
    r.measurement = readMeasurement(r.row.value.toStdString(), r.row.unit.toStdString(),
                                    r.row.dcAc.toStdString(), r.row.rangeMode.toStdString());
    return r;
}

} // namespace dmm
