#include "ScpiLineBuffer.h"

namespace dmm::scpi {

std::vector<ScpiLineBuffer::Line> ScpiLineBuffer::append(QByteArrayView bytes) {
    std::vector<Line> lines;
    while (!bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView part = end < 0 ? bytes : bytes.first(end);
        bytes = end < 0 ? QByteArrayView() : bytes.sliced(end + 1);
        if (!dropping_) {
            // One byte more than the bound may be the '\r' of a "\r\n" line end.
            if (pending_.size() + part.size() <= kMaxLine + 1) {
                pending_.append(part);
            } else {
                pending_.clear();
                dropping_ = true;
                lines.push_back({{}, true});
            }
        }
        if (end < 0) break;
        if (!dropping_) {
            if (pending_.endsWith('\r')) pending_.chop(1);
            if (pending_.size() <= kMaxLine)
                lines.push_back({pending_, false});
            else
                lines.push_back({{}, true});
        }
        pending_.clear();
        dropping_ = false;
    }
    return lines;
}

} // namespace dmm::scpi
