// /readings.csv of dmm log: its CSV file as it stands when the download begins, up to the last
// whole line then written.
#pragma once

#include "CsvStream.h"

#include <QFile>
#include <QString>

namespace dmm::web {

class FileCsvStream : public CsvStream {
public:
    explicit FileCsvStream(const QString& path);
    QByteArray next(qsizetype size, bool& ok) override;

private:
    QFile file_;
    qint64 left_ = 0;
    bool opened_;
};

} // namespace dmm::web
