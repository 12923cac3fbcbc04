#include "WatchedReadDevice.h"

namespace dmm {

WatchedReadDevice::WatchedReadDevice(QIODevice& source, const LoadProgressFn& progress,
                                     qint64 window)
    : source_(source), progress_(progress), window_(window),
      total_(source.isSequential() ? 0 : source.size()) {
    // Unbuffered: the parser keeps a buffer of its own, and this one's reads must reach
    // readData() one by one for the window to count.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool WatchedReadDevice::atEnd() const {
    return !refusal_.isEmpty() || source_.atEnd();
}

qint64 WatchedReadDevice::readData(char* data, qint64 max) {
    if (!refusal_.isEmpty()) return -1;
    if (progress_ && !progress_(done_, total_)) {
        cancelled_ = true;
        refusal_ = QStringLiteral("cancelled");
        return -1;
    }
    if (sinceToken_ >= window_) {
        refusal_ = QStringLiteral("a single piece of markup longer than %1 bytes").arg(window_);
        return -1;
    }
    const qint64 n = source_.read(data, std::min(max, window_ - sinceToken_));
    if (n < 0) {
        refusal_ = QStringLiteral("read error: ") + source_.errorString();
        return -1;
    }
    sinceToken_ += n;
    done_ += n;
    return n;
}

} // namespace dmm
