#include "ReadingJson.h"

#include "CsvFile.h"
#include "JsonText.h"

#include <QRegularExpression>

namespace dmm {

namespace {

// The JSON number grammar; the columns' numbers fit it, anything else goes out as null rather
// than as a payload a subscriber cannot parse.
bool isJsonNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    return number.match(text).hasMatch();
}

} // namespace

std::string ReadingJson::fromRow(const ReadingsTable& table, int row) {
    const CsvFile::Columns columns = CsvFile::columns(table, row);
    std::string out = "{";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out += ',';
        const std::string_view name = CsvFile::kColumnNames[i];
        appendJsonString(out, name);
        out += ':';
        const QString& text = columns[i];
        if (name == "no" || name == "value")
            out += isJsonNumber(text) ? text.toStdString() : std::string("null");
        else
            appendJsonString(out, text.toStdString());
    }
    out += '}';
    return out;
}

} // namespace dmm
