#include "CsvFile.h"

#include "RowsWriter.h"

#include "RecordedRow.h"
#include "ShownValue.h"

#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace dmm {

namespace {

// RFC 4180: a field with a comma, a double quote or a line break goes in double quotes, with its
// double quotes doubled. The texts come cut to 20 characters, so a field is short.
void appendField(QByteArray& out, std::string_view utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(utf8.data(), static_cast<qsizetype>(utf8.size()));
        return;
    }
    out.append('"');
    for (char c : utf8) {
        if (c == '"') out.append('"');
        out.append(c);
    }
    out.append('"');
}

// A spreadsheet takes a field that starts with '=', '@', '+' or '-' for a formula. Texts from a
// loaded file (a time, a display, an unknown unit) could hold one; the program's own forms (a
// number, a display form such as "-.0L") pass unchanged, anything else gets a leading
// apostrophe, which keeps it a text. (On UTF-8 bytes: these characters are ASCII, and no byte
// of a character beyond ASCII is one of them.)
void appendTextField(QByteArray& out, std::string_view utf8) {
    if (!utf8.empty() && !isDisplayForm(utf8)) {
        const char c = utf8.front();
        if (c == '=' || c == '@' || c == '+' || c == '-' || c == '\t' || c == '\r') {
            std::string marked = "'";
            marked += utf8;
            appendField(out, marked);
            return;
        }
    }
    appendField(out, utf8);
}

// A text as UTF-8 in `buffer`, reused from row to row: a row's texts are ASCII nearly always.
std::string_view utf8Of(QStringView text, std::string& buffer) {
    buffer.resize(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u >= 0x80) {
            const QByteArray bytes = text.toUtf8();
            buffer.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            break;
        }
        buffer[static_cast<std::size_t>(i)] = static_cast<char>(u);
    }
    return buffer;
}

bool isOneOf(QStringView text, std::initializer_list<const char*> allowed) {
    for (const char* a : allowed)
        if (text == QLatin1String(a)) return true;
    return false;
}

// The local offset from UTC at a moment. Working it out costs microseconds (the system's time
// zone rules), a million rows' worth would cost seconds; offsets change at whole minutes, so the
// one of the minute before serves the rows of the same minute.
class OffsetCache {
public:
    int secondsAt(std::int64_t msecs) {
        const std::int64_t minute = floorDiv(msecs, 60'000);
        if (minute != minute_) {
            minute_ = minute;
            offset_ = QDateTime::fromMSecsSinceEpoch(minute * 60'000).offsetFromUtc();
        }
        return offset_;
    }
    static std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
        return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
    }

private:
    std::int64_t minute_ = std::numeric_limits<std::int64_t>::min();
    int offset_ = 0;
};

// "2026-12-09T16:12:05+01:00" at `d` (25 bytes); returns the end.
char* putIsoTime(char* d, std::int64_t msecs, OffsetCache& offsets) {
    constexpr std::int64_t kDayMs = 86'400'000;
    constexpr qint64 kJulianDayOfEpoch = 2440588; // 1970-01-01
    const int offset = offsets.secondsAt(msecs);
    const std::int64_t local = msecs + std::int64_t{offset} * 1000;
    const std::int64_t days = OffsetCache::floorDiv(local, kDayMs);
    const auto secondOfDay = static_cast<int>((local - days * kDayMs) / 1000);
    const QDate date = QDate::fromJulianDay(kJulianDayOfEpoch + days);
    const int minutes = std::abs(offset) / 60;
    auto two = [&d](int v) {
        *d++ = static_cast<char>('0' + v / 10 % 10);
        *d++ = static_cast<char>('0' + v % 10);
    };
    const int year = date.year();
    if (year >= 0 && year <= 9999) {
        two(year / 100);
        two(year % 100);
    } else {
        char text[16];
        const int n = std::snprintf(text, sizeof text, "%04d", year);
        d = std::copy_n(text, n, d);
    }
    *d++ = '-';
    two(date.month());
    *d++ = '-';
    two(date.day());
    *d++ = 'T';
    two(secondOfDay / 3600);
    *d++ = ':';
    two(secondOfDay / 60 % 60);
    *d++ = ':';
    two(secondOfDay % 60);
    *d++ = offset < 0 ? '-' : '+';
    two(minutes / 60);
    *d++ = ':';
    two(minutes % 60);
    return d;
}

QString isoTime(std::int64_t msecs, OffsetCache& offsets) {
    char text[48];
    return QString::fromLatin1(text, putIsoTime(text, msecs, offsets) - text);
}

QString fromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

CsvFile::Columns columnsOf(const RecordedRow& r, OffsetCache& offsets) {
    CsvFile::Columns c;
    const RowData& row = r.row;
    const Measurement& m = r.measurement;
    if (row.no) c[0] = QString::number(*row.no);
    c[1] =
        row.recordedAt.isValid() ? isoTime(row.recordedAt.toMSecsSinceEpoch(), offsets) : row.time;
    c[2] = QLatin1String(couplingName(m.coupling));
    c[3] = fromUtf8(m.display);
    c[4] = fromUtf8(m.unit);
    if (m.hasValue()) {
        c[5] = QString::fromStdString(m.valueText());
        c[6] = fromUtf8(m.baseUnit);
    }
    c[7] = row.rangeMode;
    if (isOneOf(row.judge, {"pass", "Fail"})) c[8] = row.judge;
    return c;
}

// What a line is made of, whether the row comes recorded or from a table; the texts are views
// that live as long as the row.
struct LineParts {
    std::optional<std::int32_t> no;
    std::optional<std::int64_t> recordedAtMs;
    QStringView time;
    const Measurement& measurement;
    QStringView rangeMode;
    QStringView judge;
};

// One line from its parts, into `out`; `scratch` is a buffer reused from line to line.
void appendRow(QByteArray& out, const LineParts& row, OffsetCache& offsets, std::string& scratch) {
    const Measurement& m = row.measurement;
    char head[16];
    char* d = head;
    if (row.no) d = std::to_chars(d, d + 12, *row.no).ptr;
    *d++ = ',';
    out.append(head, d - head);
    if (row.recordedAtMs) {
        char iso[48];
        appendTextField(out, std::string_view(iso, putIsoTime(iso, *row.recordedAtMs, offsets)));
    } else {
        appendTextField(out, utf8Of(row.time, scratch)); // may be a text from a loaded file
    }
    out.append(',');
    out.append(couplingName(m.coupling));
    out.append(',');
    appendTextField(out, m.display);
    out.append(',');
    appendTextField(out, m.unit);
    out.append(',');
    if (m.hasValue()) {
        appendField(out, m.valueText());
        out.append(',');
        appendField(out, m.baseUnit);
    } else {
        out.append(',');
    }
    out.append(',');
    appendField(out, utf8Of(row.rangeMode, scratch));
    out.append(',');
    if (isOneOf(row.judge, {"pass", "Fail"})) out.append(row.judge.toLatin1());
    out.append("\r\n");
}

void appendRow(QByteArray& out, const RecordedRow& r, OffsetCache& offsets) {
    const RowData& row = r.row;
    std::optional<std::int64_t> at;
    if (row.recordedAt.isValid()) at = row.recordedAt.toMSecsSinceEpoch();
    std::string scratch;
    appendRow(out, LineParts{row.no, at, row.time, r.measurement, row.rangeMode, row.judge},
              offsets, scratch);
}

// The table's rows read back from their texts as RecordedRow::fromTable does, without the
// copies: the texts are the pool's own and the date stays milliseconds.
class TableLines {
public:
    explicit TableLines(const ReadingsTable& table) : table_(table) {}

    void append(QByteArray& out, int r) {
        const QString range = table_.rangeMode(r);
        const Measurement m =
            readMeasurement(utf8Of(table_.textView(r, Field::Value), value_),
                            utf8Of(table_.textView(r, Field::Unit), unit_),
                            utf8Of(table_.textView(r, Field::DcAc), dcAc_), range.toStdString());
        appendRow(out,
                  LineParts{table_.integer(r, Field::No), table_.recordedAtMSecs(r),
                            table_.textView(r, Field::Time), m, range,
                            table_.textView(r, Field::Auto)},
                  offsets_, scratch_);
    }

private:
    const ReadingsTable& table_;
    OffsetCache offsets_;
    std::string value_, unit_, dcAc_, scratch_;
};

} // namespace

QString CsvFile::isoLocalTime(const QDateTime& when) {
    OffsetCache offsets;
    return isoTime(when.toMSecsSinceEpoch(), offsets);
}

CsvFile::Columns CsvFile::columns(const RecordedRow& row) {
    OffsetCache offsets;
    return columnsOf(row, offsets);
}

CsvFile::Columns CsvFile::columns(const ReadingsTable& table, int row) {
    return columns(RecordedRow::fromTable(table, row));
}

void CsvFile::appendLine(QByteArray& out, const RecordedRow& row) {
    OffsetCache offsets;
    appendRow(out, row, offsets);
}

QString CsvFile::save(const ReadingsTable& table, QIODevice& out, const ProgressFn& progress) {
    TableLines lines(table);
    return writeRows(table, out, progress, QByteArray(kByteOrderMark) + kHeader, 96,
                     [&](QByteArray& buf, int row) { lines.append(buf, row); });
}

bool CsvFile::isCsvFileName(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 &&
           QStringView(name).mid(dot).compare(QLatin1String(".csv"), Qt::CaseInsensitive) == 0;
}

} // namespace dmm
