// The recording journal's file: a mirror of the readings table and the recorder, appended to
// record by record as the window records, so that a run that ends without a save (a crash, a
// power cut, the close box) can be rebuilt row for row at the next start.
//
// Text, one record a line, fields separated by TABs; in a text a backslash, TAB, LF and CR are
// written as \\, \t, \n and \r, so a line end only ever ends a record and a torn last line (a
// power cut in the middle of a write) is recognised and left out. The first line:
//   DMM-JOURNAL <TAB> version <TAB> start (milliseconds since 1970 UTC)
// then records, each named by its first letter:
//   S next no, recorded count, numbers used up (0/1), record limit, the duplicate rule's key
//     the recorder's state, written where the rows alone do not tell it
//   R no, time, dc/ac, value, unit, judge, nval, recorded at (ms; empty: none), range (A, M or
//     empty), key: a recorded row. After it the recorder's next number is no + 1, its count one
//     more, and its duplicate key is value + dc/ac + unit + the key field's tail: empty means the
//     range mode's text ("AUTO"/"MANU"), "-" nothing, "=" followed by the whole key.
//   F the same fields but the key: a row a file load brought in (the recorder does not change)
//   X a file replaced the table: the rows before are gone
//   V the whole table was saved
#pragma once

#include "ReadingsTable.h"
#include "Recorder.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>

class QIODevice;

namespace dmm {

inline constexpr char kJournalMagic[] = "DMM-JOURNAL\t";
inline constexpr int kJournalVersion = 1;
inline constexpr char kJournalSuffix[] = ".journal";

QByteArray journalHeader(std::int64_t startedMs);
void appendStateRecord(QByteArray& out, const RecorderState& state);
// A recorded row, with the key the recorder holds after it.
void appendRecordedRow(QByteArray& out, const RowData& row, const std::string& key);
void appendLoadedRow(QByteArray& out, const RowData& row);
inline void appendReplacedRecord(QByteArray& out) {
    out.append("X\n");
}
inline void appendSavedRecord(QByteArray& out) {
    out.append("V\n");
}

// The recorder's state after a recorded row, as a reader of the journal works it out.
void advanceState(RecorderState& state, const RowData& row, const std::string& key);

// True when the bytes begin as a journal does (whatever its version).
bool looksLikeJournal(QByteArrayView firstBytes);

struct JournalSummary {
    int version = 0;
    QDateTime startedAt;
    RecorderState state;
    bool unsaved = false;        // rows were recorded after the last save (or there was none)
    int recordedRows = 0;        // R records (all of them, before a save or after)
    QDateTime firstAt, lastAt;   // of the first and last table rows that have a date
    QString firstTime, lastTime; // their time texts when no row has a date
    std::int64_t wholeBytes = 0; // up to the end of the last whole record
    bool torn = false;           // something after it was left out
};

// Reads a journal into `table` (emptied first). Empty on success, the summary filled; a torn or
// damaged end is no error: the records before it are read. An error names what is wrong (not a
// journal, a newer version).
QString readJournal(QIODevice& in, ReadingsTable& table, JournalSummary& summary);

} // namespace dmm
