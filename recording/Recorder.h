// The recorder `INDataToTable`: offers the CurrentReading to the readings table, with the record
// numbering, the duplicate ("Repeat") rule, the record limit and the time stamp; plus the rules
// of the sampling-interval field and of the "Record" limit menu.
//
// The recorder owns no widgets. The window passes the states of its check boxes `RepeatSet`
// and `RecallCheck` with every offer, owns `Timer1`, the menu, the confirmation box and `Bt10`,
// and implements ChartFeed so that the recorder can plot each appended value.
#pragma once

#include "ChartFeed.h"
#include "Reading.h"
#include "ReadingsTable.h"

#include <QDateTime>
#include <QString>
#include <QTime>

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace dmm {

inline constexpr int kDefaultRecordLimit = 10000;
// "limitless" is ten million rows, not unbounded.
inline constexpr int kLimitlessRecordLimit = 10'000'000;

// The items of the "Record" menu `Record1`, in menu order; N100001 is checked at start.
struct RecordLimitItem {
    const char* objectName;
    const char* caption;
    int limit;
};
std::span<const RecordLimitItem> recordLimitItems();

// The confirmation that `RecordNewClick` asks (information icon, Yes and No) before clear().
inline constexpr const char* kClearDataQuestion = "Are you sure to delete the data?";

enum class RecordOutcome {
    Appended,     // a row was appended (and the value plotted)
    Duplicate,    // "Repeat" unchecked and equal to the last appended reading: number skipped
    LimitReached, // RecordedCount has reached RecordLimit, the record numbers are used up (the
                  // largest has been given) or the table is full: nothing changed
};

struct RecordResult {
    RecordOutcome outcome;
    int currentPage = -1; // the pager's CurrentPage after AddValue; -1 if nothing was plotted
    RowData row = {};     // the row appended (Appended only)
};

// What the recorder carries from one offer to the next, beside the table: enough to go on
// recording after a restart as if there had been none.
struct RecorderState {
    int nextRecordNo = 1;
    int recordedCount = 0;
    bool numbersUsedUp = false;
    int recordLimit = kDefaultRecordLimit;
    std::string lastRecordedKey;
    bool operator==(const RecorderState&) const = default;
};

class Recorder {
public:
    explicit Recorder(ReadingsTable& table, ChartFeed* chart = nullptr);
    // A recorder that keeps no table (dmm log: its rows go to a file as they come); it numbers,
    // stamps and applies its rules as any other, and hands each row out in RecordResult::row.
    Recorder(std::nullptr_t, ChartFeed* chart = nullptr);

    // The clock of the time stamps and of the rows' recordedAt; QDateTime::currentDateTime() by
    // default. For tests; a clock of times of day takes today's date.
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }
    void setClock(std::function<QTime()> now);
    QDateTime now() const { return now_(); }
    // The time separator of the stamps; systemTimeSeparator() by default.
    void setTimeSeparator(QString separator) { separator_ = std::move(separator); }

    // Offers the reading. repeatChecked: state of `RepeatSet` (checked: record every reading);
    // recallChecked: state of `RecallCheck` (checked: the stamp is reading.RecallStamp's time
    // of day instead of the clock's, and the row gets no recordedAt: the recall clock makes up
    // times of day that have no date). takenAt: the clock's time when the reading came, for an
    // offer made later than that (the window holds readings back while it loads or saves a file).
    RecordResult INDataToTable(const CurrentReading& reading, bool repeatChecked,
                               bool recallChecked, std::optional<QDateTime> takenAt = std::nullopt);

    // `RecordNewClick` after the user said Yes (the window has cleared its chart and shown the
    // page): empties the table, NextRecordNo := 1, RecordedCount := 0. LastRecordedKey and
    // RecordLimit stay.
    void clear();

    // Choosing a "Record" menu item. Any limit is taken (a limit below RecordedCount stops
    // recording at once, rows stay).
    void setRecordLimit(int limit) { recordLimit_ = limit; }

    // Numbering that goes on after rows recorded elsewhere (a log file being continued); also
    // the way a test starts near the largest number.
    void setNextRecordNo(int next) {
        nextRecordNo_ = next;
        numbersUsedUp_ = false;
    }
    // True once the largest record number (2147483647, what the 32-bit `no` field holds) has
    // been given: numbering never wraps, so recording stops as at the record limit until clear().
    bool numbersUsedUp() const { return numbersUsedUp_; }

    RecorderState state() const {
        return {nextRecordNo_, recordedCount_, numbersUsedUp_, recordLimit_, lastRecordedKey_};
    }
    // Takes up a state saved before (the table's rows are restored beside it).
    void restore(const RecorderState& s) {
        nextRecordNo_ = s.nextRecordNo;
        recordedCount_ = s.recordedCount;
        numbersUsedUp_ = s.numbersUsedUp;
        recordLimit_ = s.recordLimit;
        lastRecordedKey_ = s.lastRecordedKey;
    }

    int NextRecordNo() const { return nextRecordNo_; }
    int RecordedCount() const { return recordedCount_; }
    int RecordLimit() const { return recordLimit_; }
    const std::string& LastRecordedKey() const { return lastRecordedKey_; }

    ReadingsTable& table() { return *table_; }
    bool keepsTable() const { return table_ != nullptr; }

private:
    ReadingsTable* table_;
    ChartFeed* chart_;
    std::function<QDateTime()> now_;
    QString separator_;
    int nextRecordNo_ = 1;
    bool numbersUsedUp_ = false;
    int recordedCount_ = 0;
    int recordLimit_ = kDefaultRecordLimit;
    std::string lastRecordedKey_;
};

// The duplicate key: ValueText + DcAc + UnitText + RangeMode, without separators.
std::string duplicateKey(const CurrentReading& reading);

// The system locale's time separator: the first character of its time format that is not a
// letter, a digit or a space; ':' when there is none.
QString systemTimeSeparator();
// "hh:mm:ss", 24-hour, two digits each, with `separator` for ':'.
QString formatTimeStamp(QTime time, const QString& separator);

// `RecordSITimeChange`: the interval field's text read as a whole number; "0", an empty text or
// anything not a whole number (an overflow included) becomes "1". `text` is what the field must
// show (unchanged if it was fine) and intervalMs the interval of `Timer1`.
struct SamplingInterval {
    QString text;
    int intervalMs;
};
SamplingInterval RecordSITimeChange(const QString& text);

// `RecordSITimeKeyPress`: the key filter of `RecordSITime`, of the recall panel's four fields and
// of the chart's `Maxrecord`: only '0'..'9' and backspace ('\b') pass.
bool RecordSITimeKeyPress(QChar key);

} // namespace dmm
