#include "CsvFile.h"

#include "RowsWriter.h"

#include "RecordedRow.h"
#include "ShownValue.h"

#include <QFileInfo>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace dmm {

namespace {

// RFC 4180: a field with a comma, a double quote or a line break goes in double quotes, with its
// double quotes doubled. The texts come cut to 20 characters, so a field is short.
void appendField(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\r') &&
        !utf8.contains('\n')) {
        out.append(utf8);
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
// apostrophe, which keeps it a text.
QString notAFormula(const QString& text) {
    if (text.isEmpty() || isDisplayForm(text.toStdString())) return text;
    const QChar c = text.front();
    if (c == QLatin1Char('=') || c == QLatin1Char('@') || c == QLatin1Char('+') ||
        c == QLatin1Char('-') || c == QLatin1Char('\t') || c == QLatin1Char('\r'))
        return QLatin1Char('\'') + text;
    return text;
}

QString oneOf(const QString& text, std::initializer_list<const char*> allowed) {
    for (const char* a : allowed)
        if (text == QLatin1String(a)) return text;
    return {};
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

QString isoTime(std::int64_t msecs, OffsetCache& offsets) {
    constexpr std::int64_t kDayMs = 86'400'000;
    constexpr qint64 kJulianDayOfEpoch = 2440588; // 1970-01-01
    const int offset = offsets.secondsAt(msecs);
    const std::int64_t local = msecs + std::int64_t{offset} * 1000;
    const std::int64_t days = OffsetCache::floorDiv(local, kDayMs);
    const auto secondOfDay = static_cast<int>((local - days * kDayMs) / 1000);
    const QDate date = QDate::fromJulianDay(kJulianDayOfEpoch + days);
    const int minutes = std::abs(offset) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", date.year(),
                  date.month(), date.day(), secondOfDay / 3600, secondOfDay / 60 % 60,
                  secondOfDay % 60, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return QString::fromLatin1(text);
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
    c[8] = oneOf(row.judge, {"pass", "Fail"});
    return c;
}

void appendRow(QByteArray& out, const RecordedRow& row, OffsetCache& offsets) {
    CsvFile::Columns c = columnsOf(row, offsets);
    // time, display and unit may be texts from a loaded file.
    for (int i : {1, 3, 4}) c[i] = notAFormula(c[i]);
    for (std::size_t i = 0; i < c.size(); ++i) {
        if (i > 0) out.append(',');
        appendField(out, c[i]);
    }
    out.append("\r\n");
}

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
    OffsetCache offsets;
    return writeRows(table, out, progress, QByteArray(kByteOrderMark) + kHeader, 96,
                     [&](QByteArray& buf, int row) {
                         appendRow(buf, RecordedRow::fromTable(table, row), offsets);
                     });
}

bool CsvFile::isCsvFileName(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 &&
           QStringView(name).mid(dot).compare(QLatin1String(".csv"), Qt::CaseInsensitive) == 0;
}

} // namespace dmm
