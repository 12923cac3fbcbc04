// One client's conversation, without the socket: its bytes in, its answers out. Holds the
// client's line buffer and error queue; answers come from the reading the source gives when a
// line is complete.
#pragma once

#include "ScpiErrorQueue.h"
#include "ScpiLineBuffer.h"
#include "ScpiReading.h"

#include <QByteArray>
#include <QByteArrayView>

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

private:
    ScpiLineBuffer lines_;
    ScpiErrorQueue errors_;
};

} // namespace dmm::scpi
