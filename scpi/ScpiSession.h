// One client's conversation, without the socket: its bytes in, its answers out. Holds the
// client's line buffer and error queue; answers come from the reading the source gives when a
// line is complete.
#pragma once

#include "ScpiErrorQueue.h"
#include "ScpiLineBuffer.h"
#include "ScpiReading.h"

#include <QByteArray>
#include <QByteArrayView>

#include <chrono>
#include <functional>

namespace dmm::scpi {

using ReadingSource = std::function<ScpiReading()>;

class ScpiSession {
public:
    // The answers to the lines `bytes` completes; -223 "Too much data" is queued for a line
    // longer than the line buffer's bound, which is dropped.
    QByteArray receive(QByteArrayView bytes, const ReadingSource& source);
    const ScpiErrorQueue& errors() const { return errors_; }
    qsizetype pendingBytes() const { return lines_.pendingBytes(); }
    // When the client last sent a byte; its start when it sent none.
    std::chrono::steady_clock::time_point lastHeard() const { return lastHeard_; }

private:
    std::chrono::steady_clock::time_point lastHeard_ = std::chrono::steady_clock::now();
    ScpiLineBuffer lines_;
    ScpiErrorQueue errors_;
};

} // namespace dmm::scpi
