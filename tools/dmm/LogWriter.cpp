#include "LogWriter.h"

#include "CsvFile.h"
#include "DataFiles.h"

#include <QCoreApplication>

#include <cstdio>
#include <string>

namespace dmm::cli {

namespace {

void say(const std::string& text) {
    std::fprintf(stderr, "dmm log: %s\n", text.c_str());
}

} // namespace

void LogWriter::fail() {
    failed_ = true;
    QCoreApplication::exit(1);
}

// One decoded chunk may hold several frames: after a failed write nothing more is written.
void LogWriter::rowRecorded(const RecordedRow& row) {
    if (failed_) return;
    QByteArray line;
    if (csv_)
        CsvFile::appendLine(line, row);
    else
        appendReadingsTextLine(line, row.row);
    if (!out_.appendLine(line)) {
        fail();
        return;
    }
    if (next_) next_->rowRecorded(row);
}

void LogWriter::recordingEnded(bool numbersUsedUp) {
    if (failed_) return;
    if (!stoppedBy_.empty())
        say(stoppedBy_ + "; recording stops");
    else if (numbersUsedUp)
        say("record number 2147483647, the largest, has been given; recording stops");
    else
        say("the record limit of " + std::to_string(recordLimit_) +
            " rows is reached; recording stops");
    QCoreApplication::exit(0);
}

} // namespace dmm::cli
