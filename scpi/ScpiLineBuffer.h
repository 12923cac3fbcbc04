// A client's bytes cut into lines, each at most kMaxLine bytes before its line end ("\n" or
// "\r\n"). A longer line is never held: its bytes are counted away up to its line end, and the
// line is reported once as too long, as soon as it exceeds the bound. Memory per client is thus
// bounded whatever it sends.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <vector>

namespace dmm::scpi {

class ScpiLineBuffer {
public:
    static constexpr qsizetype kMaxLine = 4096;

    struct Line {
        QByteArray text; // the line without its line end; empty for a line too long
        bool tooLong = false;
    };

    // The lines completed (or found too long) by `bytes`, in order.
    std::vector<Line> append(QByteArrayView bytes);
    qsizetype pendingBytes() const { return pending_.size(); }

private:
    QByteArray pending_;
    bool dropping_ = false; // inside a line already reported too long
};

} // namespace dmm::scpi
