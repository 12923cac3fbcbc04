// The rows of a run as CSV in a temporary file (removed at the end), for dmm log when its own
// output is no CSV file (a data file, standard output): /readings.csv then streams this file.
// On disk rather than in memory: a logger may record ten million rows.
#pragma once

#include "ReadingSink.h"

#include <QString>
#include <QTemporaryFile>

namespace dmm::web {

class CsvSpill : public ReadingSink {
public:
    CsvSpill();
    // Why the file cannot be written; empty while it can.
    const QString& error() const { return error_; }
    QString path() const { return file_.fileName(); }

    void rowRecorded(const RecordedRow& row) override;

private:
    QTemporaryFile file_;
    QString error_;
};

} // namespace dmm::web
