#include "CsvSpill.h"

#include "CsvFile.h"

namespace dmm::web {

CsvSpill::CsvSpill() {
    const QByteArray head = QByteArray(CsvFile::kByteOrderMark) + CsvFile::kHeader;
    if (!file_.open() || file_.write(head) != head.size() || !file_.flush())
        error_ = QStringLiteral("cannot write %1: %2").arg(file_.fileName(), file_.errorString());
}

void CsvSpill::rowRecorded(const RecordedRow& row) {
    if (!error_.isEmpty()) return;
    QByteArray line;
    CsvFile::appendLine(line, row);
    // Whole lines only reach the file; the download reads it up to its last line end.
    if (file_.write(line) != line.size() || !file_.flush())
        error_ = QStringLiteral("cannot write %1: %2").arg(file_.fileName(), file_.errorString());
}

} // namespace dmm::web
