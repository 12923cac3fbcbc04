// The readings table as CSV for spreadsheets (a name ending in ".csv", in any case): written,
// never read back.
//
// RFC 4180: fields separated by commas, every line (the last one included) ending in CR LF, a
// field holding a comma, a double quote, CR or LF enclosed in double quotes with each double
// quote doubled. UTF-8 with a byte-order mark. Numbers are written with "." as the decimal
// separator whatever the locale. One header line, then one line per row:
//
//   no,time,function,display,unit,value,base_unit,range,judge
//
//   no         the record number; empty when the row has none
//   time       ISO 8601 local date and time with its UTC offset (2026-12-09T16:12:05+01:00) for a
//              row with a recorded date and time; else the row's time text as stored
//   function   DC, AC or AC+DC; empty for any other dc/ac text (the unit tells the function)
//   display    the value as the meter showed it, with "." as separator (Measurement::display)
//   unit       the unit in Unicode (Measurement::unit)
//   value      the reading in the base unit, exact (Measurement::valueText); empty for an
//              overload, no number or a unit without a base unit (W, RPM, mA%, unknown)
//   base_unit  Measurement::baseUnit, empty where value is
//
// A recorded row's columns come from the measurement it was recorded with; a row of a table
// (loaded from a file, or saved whole) is read back from its texts (RecordedRow::fromTable).
//   range      AUTO or MANU; empty for a row loaded from a file, which carries no range
//   judge      pass or Fail; empty for any other text ("NULL" of a loaded text file included)
//
// A time, display or unit text from a loaded file that a spreadsheet would take for a formula
// (starting with '=', '@', '+', '-', TAB or CR, and not a meter display form) is written with a
// leading apostrophe.
#pragma once

#include "DataFiles.h"
#include "ReadingsTable.h"
#include "RecordedRow.h"

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QString>

#include <array>

namespace dmm {

class CsvFile {
public:
    // The UTF-8 byte-order mark, which starts the file, and the header line after it.
    static constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
    static constexpr const char* kHeader =
        "no,time,function,display,unit,value,base_unit,range,judge\r\n";

    // Writes byte-order mark, header and every row. Returns an error text: empty on success.
    static QString save(const ReadingsTable& table, QIODevice& out,
                        const ProgressFn& progress = {});

    // The column names of kHeader, in order, and one row's columns as texts, before the CSV
    // quoting and the apostrophe that keeps a loaded text from being read as a formula; for
    // other forms of the same columns (the MQTT payload).
    static constexpr std::array<const char*, 9> kColumnNames = {
        "no", "time", "function", "display", "unit", "value", "base_unit", "range", "judge"};
    using Columns = std::array<QString, 9>;
    static Columns columns(const RecordedRow& row);
    // A table's row, read back through RecordedRow::fromTable.
    static Columns columns(const ReadingsTable& table, int row);

    // One row's line, CR LF included; for writers that append rows one by one (dmm log).
    static void appendLine(QByteArray& out, const RecordedRow& row);

    // True when the extension (from the last '.' of the file name on) is ".csv", in any case.
    static bool isCsvFileName(const QString& fileName);

    // "2026-12-09T16:12:05+01:00": local date and time to the second, and the offset from UTC
    // in force at that moment.
    static QString isoLocalTime(const QDateTime& when);
};

} // namespace dmm
