// One recorded row as the MQTT payload: a JSON object whose keys are the CSV columns
// (CsvFile.h) in their order, with the same texts.
//
//   {"no":12,"time":"2026-12-09T16:12:05+01:00","function":"DC","display":"12.345","unit":"mV",
//    "value":0.012345,"base_unit":"V","range":"AUTO","judge":"pass"}
//
// `no` and `value` are JSON numbers, null where the CSV column is empty (no record number; an
// overload or a unit without a base unit); the others are strings, empty where the CSV column
// is. The value is the measurement's exact decimal, which is always a JSON number.
#pragma once

#include "RecordedRow.h"

#include <string>

namespace dmm {

struct ReadingJson {
    static std::string fromRecord(const RecordedRow& row);
};

} // namespace dmm
