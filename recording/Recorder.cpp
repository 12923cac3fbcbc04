#include "Recorder.h"

#include "RecallClock.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace dmm {

namespace {
constexpr RecordLimitItem kLimitItems[] = {
    {"N10001", "1000", 1000},       {"N50001", "5000", 5000},
    {"N100001", "10000", 10000},    {"N500001", "50000", 50000},
    {"N1000001", "100000", 100000}, {"limitess", "limitless", kLimitlessRecordLimit},
};

QString fromBytes(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// NumericValue is a display count; the field holds 32 bits, so a value beyond is pinned to the
// nearest end rather than wrapped into a wrong sign.
std::optional<std::int32_t> toCount(double v) {
    if (std::isnan(v)) return std::nullopt;
    if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(std::llround(v));
}
} // namespace

std::span<const RecordLimitItem> recordLimitItems() {
    return kLimitItems;
}

std::string duplicateKey(const CurrentReading& r) {
    return r.ValueText + r.DcAc + r.UnitText + r.RangeMode;
}

QString systemTimeSeparator() {
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    for (QChar c : format) {
        if (c.isLetterOrNumber() || c.isSpace() || c == QLatin1Char('\'')) continue;
        return QString(c);
    }
    return QStringLiteral(":");
}

QString formatTimeStamp(QTime time, const QString& sep) {
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return two(time.hour()) + sep + two(time.minute()) + sep + two(time.second());
}

Recorder::Recorder(ReadingsTable& table, ChartFeed* chart) : Recorder(nullptr, chart) {
    table_ = &table;
}

Recorder::Recorder(std::nullptr_t, ChartFeed* chart)
    : table_(nullptr), chart_(chart), now_([] { return QDateTime::currentDateTime(); }),
      separator_(systemTimeSeparator()) {}

void Recorder::setClock(std::function<QTime()> now) {
    now_ = [now = std::move(now)] { return QDateTime(QDate::currentDate(), now()); };
}

RecordResult Recorder::INDataToTable(const CurrentReading& reading, bool repeatChecked,
                                     bool recallChecked, std::optional<QDateTime> takenAt) {
    if (recordLimit_ <= recordedCount_ || numbersUsedUp_) return {RecordOutcome::LimitReached};
    std::string key = duplicateKey(reading);
    RecordResult result{RecordOutcome::Duplicate};
    if (repeatChecked || key != lastRecordedKey_) {
        RowData row;
        row.no = nextRecordNo_;
        if (!recallChecked) row.recordedAt = takenAt ? *takenAt : now_();
        row.time = formatTimeStamp(recallChecked ? recallStampTime(reading.RecallStamp)
                                                 : row.recordedAt.time(),
                                   separator_);
        row.dcAc = fromBytes(reading.DcAc);
        row.value = fromBytes(reading.ValueText);
        row.unit = fromBytes(reading.UnitText);
        row.judge = fromBytes(reading.Judge);
        row.nval = toCount(reading.NumericValue);
        // A meter that does not say AUTO (the Q32 family leaves RangeMode empty) is in a range
        // the user chose.
        row.rangeMode =
            reading.RangeMode == "AUTO" ? QStringLiteral("AUTO") : QStringLiteral("MANU");
        // A table filled to its hard bound by loaded files takes no more rows; that is the
        // record limit's silence too.
        if (table_ && !table_->append(row)) return {RecordOutcome::LimitReached};
        lastRecordedKey_ = std::move(key);
        ++recordedCount_;
        result.outcome = RecordOutcome::Appended;
        if (chart_) result.currentPage = chart_->AddValue(reading.NumericValue);
        result.row = std::move(row);
    }
    // The largest number is given once; NextRecordNo then stays on it.
    if (nextRecordNo_ == std::numeric_limits<int>::max())
        numbersUsedUp_ = true;
    else
        ++nextRecordNo_;
    return result;
}

void Recorder::clear() {
    if (table_ && !table_->empty()) table_->clear();
    nextRecordNo_ = 1;
    numbersUsedUp_ = false;
    recordedCount_ = 0;
}

SamplingInterval RecordSITimeChange(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    // A negative number cannot be typed (the key filter passes digits only) but could be
    // pasted; a timer cannot run backwards, so it counts as not a whole number. The product
    // must fit the timer's int milliseconds.
    if (!ok || n <= 0 || n > std::numeric_limits<int>::max() / 1000)
        return {QStringLiteral("1"), 1000};
    return {text, n * 1000};
}

bool RecordSITimeKeyPress(QChar key) {
    return (key >= QLatin1Char('0') && key <= QLatin1Char('9')) || key == QLatin1Char('\b');
}

} // namespace dmm
