// The data files of the readings table: the tab-separated text file ("Excel File(*.xls)",
// "Txt File(*.txt)") and the XML table file (a name ending in ".xml").
//
// Text file, as SaveReadingsText writes it: UTF-8 (an ASCII table gives the same bytes as
// any 8-bit code page), no byte order mark; every line, the last one included, ends in CR LF;
// fields are separated by one TAB. Line 1 is "No\tTime\tDC/AC\tValue\tUnit\tAUTO", then one line
// per row: the record number in decimal as stored ("NULL" when empty), then time, dc/ac, value,
// unit and auto, each with leading and trailing codes 0..32 trimmed and "NULL" for an empty
// result. So that every line loads back with the same fields, a CR or LF inside a text is
// written as a space, and a text holding a code 1..32 or a double quote is written in double
// quotes with its quotes doubled, as the loader's token rule reads them. `nval` is not written.
//
// LoadReadingsFile reads lines ending in CR LF, LF or CR; drops the first line (the header);
// splits every other line into tokens (runs of codes 1..32 separate; a token starting with '"'
// runs to the next single '"', where "" stands for one '"'; a quote left open runs to the end
// of the line; text right after a closing quote starts the next token); skips lines without a
// token; and stores token k into field k (no, time, dc/ac, value, unit, auto, nval). A line's
// texts are read as UTF-8 when all its tokens are valid UTF-8, else as Latin-1. Integer tokens
// are an optional sign and decimal digits within 32 bits, or "NULL" for an empty field. A
// failure (unreadable or empty file, an integer token that does not convert, more than seven
// tokens, the table full, a file that ends within a line after it shrank below its size when
// the load began) stops the load with "Failed to Load File!": the rows of the lines
// before stay, the failing line's row is discarded. Memory stays bounded: a line is tokenised
// as it streams in and a token keeps at most 80 bytes (texts are cut to 20 characters anyway;
// an integer that long cannot convert).
//
// XML table file:
//   <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
//   <DATAPACKET Version="2.0"><METADATA><FIELDS>
//     <FIELD attrname="no" fieldtype="i4"/>
//     <FIELD attrname="time" fieldtype="string" WIDTH="20"/> ... "dc/ac", "value", "unit",
//     "auto" likewise ... <FIELD attrname="nval" fieldtype="i4"/>
//   </FIELDS><PARAMS/></METADATA>
//   <ROWDATA><ROW no="1" time="12:00:01" dc_x002F_ac="DC" value="1.2345" unit="V" nval="12345"/>
//   ...</ROWDATA></DATAPACKET>
// One ROW per row with one attribute per non-empty field. '/' cannot appear in an XML name, so a
// ROW attribute name is the field name with every character that is not a letter, a digit, '.'
// or '-' written as "_xHHHH_" (hex code): "dc/ac" is "dc_x002F_ac". Every text travels unchanged
// (the writer escapes '<', '&', quotes, TAB, CR, LF). The loader reads the file as a stream
// (UTF-8 with or without a byte order mark, UTF-16, or what the declaration names) and accepts
// exactly these seven fields with these types (names without regard to case); it rejects a
// DTD, unknown attributes and integers that do not convert; a file it rejects, or a load that is
// cancelled, leaves the table as it was. A text holding a
// character XML cannot carry at all (codes below 32 other than TAB, CR, LF) fails the save with a
// description naming the row.
#pragma once

#include "ReadingsTable.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>

namespace dmm {

// Called now and then during a long save or load (every few thousand rows) with the work done
// and the whole work (rows for a save, bytes for a load; total is 0 if unknown), so that the
// window can show progress and keep handling events.
using ProgressFn = std::function<void(std::int64_t done, std::int64_t total)>;
// The same for a load, called before every read from the file (the first one included); it
// returns false to cancel the load.
using LoadProgressFn = std::function<bool(std::int64_t done, std::int64_t total)>;

// How many bytes a loader reads next, `done` bytes into the file: at first a little, so that
// progress and cancel come soon, then half as much again as has been read, up to 1 MiB, at which
// a read costs little beside the parse of its bytes and still sits in the cache.
inline qint64 loadReadSize(std::int64_t done) {
    return std::clamp<qint64>(done / 2, qint64(1) << 14, qint64(1) << 20);
}

// The text file. Both return an error text: empty on success.
QString SaveReadingsText(const ReadingsTable& table, QIODevice& out,
                         const ProgressFn& progress = {});
QString LoadReadingsFile(QIODevice& in, ReadingsTable& table, bool emptyFirst,
                         const LoadProgressFn& progress = {});

// The text file's header line and one row's line, CR LF included, as SaveReadingsText writes
// them; for writers that append rows one by one (the headless logger).
inline constexpr const char* kReadingsTextHeader = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";
void appendReadingsTextLine(QByteArray& out, const ReadingsTable& table, int row);
// The same line of a row that was recorded but not kept in a table (dmm log).
void appendReadingsTextLine(QByteArray& out, const RowData& row);

// The value of an integer field as both files write it: an optional sign and decimal digits,
// within 32 bits; nothing for any other text.
std::optional<std::int32_t> parseFieldInteger(QByteArrayView text);

// The XML table file. LoadReadingsXml replaces the table's whole content on success.
QString SaveReadingsXml(const ReadingsTable& table, QIODevice& out,
                        const ProgressFn& progress = {});
QString LoadReadingsXml(QIODevice& in, ReadingsTable& table, const LoadProgressFn& progress = {});

// True when the extension (from the last '.' on) is exactly ".xml", compared with case.
bool isXmlTableFileName(const QString& fileName);

// A message box for the window to show.
struct FileMessage {
    enum class Icon { Information, Error };
    QString caption;
    QString text;
    Icon icon;
};

struct FileResult {
    bool ok = false;
    bool cancelled = false;             // a load the user cancelled: not ok, and no message
    std::optional<FileMessage> message; // nothing to show when empty
};

// The message texts.
inline constexpr const char* kLoadFailedText = "Failed to Load File!";
inline constexpr const char* kLoadFailedCaption = "Error";

// Save by file name: an ".xml" name gives the XML table file, a ".csv" name (any case) the CSV
// of CsvFile.h with the text file's messages, any other the text file. The file is replaced
// atomically (a failed save leaves the old file as it was).
//  text ok:   caption "", information, "save table to specified file: " + name + " Scuss!"
//  text fail: caption "", error, "Could not save table to specified file: " + name
//  XML ok:    no message
//  XML fail:  caption "Error", error, the failure's own description
FileResult saveTableToFile(const ReadingsTable& table, const QString& fileName,
                           const ProgressFn& progress = {});

// Load by file name (".xml": the XML table file, replacing the content; else the text file,
// appending). Only a regular file (or a symbolic link to one) is read: a device, FIFO or
// socket fails at once. Failure: caption "Error", error icon, "Failed to Load File!". Success:
// no message. Cancelled (`progress` returned false): no message; a text load keeps the rows
// read so far, an XML load leaves the table as it was. `error`, when given, receives the
// loader's own error text (for diagnostics).
FileResult loadTableFromFile(const QString& fileName, ReadingsTable& table, bool emptyFirst,
                             const LoadProgressFn& progress = {}, QString* error = nullptr);

} // namespace dmm
