#include "ReadingJson.h"

#include "CsvFile.h"
#include "JsonText.h"

namespace dmm {

std::string ReadingJson::fromRecord(const RecordedRow& row) {
    const CsvFile::Columns columns = CsvFile::columns(row);
    std::string out = "{";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out += ',';
        const std::string_view name = CsvFile::kColumnNames[i];
        appendJsonString(out, name);
        out += ':';
        const QString& text = columns[i];
        if (name == "no" || name == "value")
            out += text.isEmpty() ? std::string("null") : text.toStdString();
        else
            appendJsonString(out, text.toStdString());
    }
    out += '}';
    return out;
}

} // namespace dmm
