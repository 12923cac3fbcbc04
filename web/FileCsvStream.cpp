#include "FileCsvStream.h"

namespace dmm::web {

FileCsvStream::FileCsvStream(const QString& path)
    : file_(path), opened_(file_.open(QIODevice::ReadOnly)) {
    left_ = opened_ ? file_.size() : 0;
}

QByteArray FileCsvStream::next(qsizetype size, bool& ok) {
    ok = opened_;
    if (!ok || left_ <= 0) return {};
    QByteArray out = file_.read(std::min<qint64>(size, left_));
    if (out.isEmpty()) {
        ok = false;
        return out;
    }
    left_ -= out.size();
    // At the end, stop after the last line: a row being written is not yet a row.
    if (left_ == 0 && !out.endsWith('\n')) out.truncate(out.lastIndexOf('\n') + 1);
    return out;
}

} // namespace dmm::web
