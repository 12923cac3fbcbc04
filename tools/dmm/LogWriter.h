// dmm log's output of the recording pipeline: each recorded row appended to the log file as it
// is recorded (text or CSV), then handed on to the next output (MQTT) once the file holds it;
// the end of the run at a failed write (exit 1) or when recording stops for good (exit 0).
#pragma once

#include "LogFile.h"
#include "ReadingSink.h"

#include <string>

namespace dmm::cli {

class LogWriter : public ReadingSink {
public:
    // `next` (may be null) is told of each row the file took.
    LogWriter(LogFile& out, bool csv, int recordLimit, ReadingSink* next)
        : out_(out), csv_(csv), recordLimit_(recordLimit), next_(next) {}

    void rowRecorded(const RecordedRow& row) override;
    void recordingEnded(bool numbersUsedUp) override;

    // A write, sync or close failed: nothing more is written and the run ends with exit 1.
    bool failed() const { return failed_; }
    void fail();
    // The recording was stopped by its trigger: said instead of the record limit.
    void stoppedBy(std::string state) { stoppedBy_ = std::move(state); }

private:
    LogFile& out_;
    bool csv_;
    int recordLimit_;
    ReadingSink* next_;
    bool failed_ = false;
    std::string stoppedBy_;
};

} // namespace dmm::cli
