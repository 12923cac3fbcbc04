#include "CsvFile.h"

#include "BaseUnitValue.h"

#include <QFileInfo>

#include <cstdlib>

namespace dmm {

namespace {

constexpr int kProgressRows = 4096;
constexpr qsizetype kFlushBytes = 1 << 20;

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
    if (text.isEmpty() || BaseUnitValue::isDisplayForm(text)) return text;
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

} // namespace

QString CsvFile::isoLocalTime(const QDateTime& when) {
    const QDateTime local = when.toLocalTime();
    const int offset = local.offsetFromUtc(); // seconds east of UTC
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

void CsvFile::appendLine(QByteArray& out, const ReadingsTable& table, int row) {
    if (auto no = table.integer(row, Field::No)) out.append(QByteArray::number(*no));
    out.append(',');
    const QDateTime at = table.recordedAt(row);
    appendField(out, at.isValid() ? isoLocalTime(at) : notAFormula(table.text(row, Field::Time)));
    out.append(',');
    appendField(out, oneOf(table.text(row, Field::DcAc), {"DC", "AC", "AC+DC"}));
    const BaseUnitValue v =
        BaseUnitValue::fromDisplay(table.text(row, Field::Value), table.text(row, Field::Unit));
    for (const QString& field :
         {notAFormula(v.display), notAFormula(v.unit), v.value, v.baseUnit}) {
        out.append(',');
        appendField(out, field);
    }
    out.append(',');
    appendField(out, table.rangeMode(row));
    out.append(',');
    appendField(out, oneOf(table.text(row, Field::Auto), {"pass", "Fail"}));
    out.append("\r\n");
}

QString CsvFile::save(const ReadingsTable& table, QIODevice& out, const ProgressFn& progress) {
    if (!out.isOpen() || !out.isWritable())
        return QStringLiteral("the file is not open for writing");
    QByteArray buf;
    buf.reserve(kFlushBytes + 512);
    buf.append(kByteOrderMark);
    buf.append(kHeader);
    const int rows = table.size();
    for (int r = 0; r < rows; ++r) {
        appendLine(buf, table, r);
        if (buf.size() >= kFlushBytes) {
            if (out.write(buf) != buf.size()) return out.errorString();
            buf.clear();
        }
        if (progress && (r + 1) % kProgressRows == 0) progress(r + 1, rows);
    }
    if (out.write(buf) != buf.size()) return out.errorString();
    if (progress) progress(rows, rows);
    return {};
}

bool CsvFile::isCsvFileName(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 &&
           QStringView(name).mid(dot).compare(QLatin1String(".csv"), Qt::CaseInsensitive) == 0;
}

} // namespace dmm
