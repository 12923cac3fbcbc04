#include "ScpiErrorQueue.h"

namespace dmm::scpi {

void ScpiErrorQueue::push(int code, QByteArrayView text) {
    if (size() < kCapacity) {
        errors_.push_back({code, text.toByteArray()});
        return;
    }
    errors_.back() = {-350, QByteArrayLiteral("Queue overflow")};
}

QByteArray ScpiErrorQueue::takeOldest() {
    if (errors_.empty()) return QByteArrayLiteral("0,\"No error\"");
    const ScpiError e = errors_.front();
    errors_.pop_front();
    return QByteArray::number(e.code) + ",\"" + e.text + '"';
}

} // namespace dmm::scpi
