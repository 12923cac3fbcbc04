#include "QtGuiDispatcher.h"

#include <QMetaObject>

namespace dmm {

void QtGuiDispatcher::wake() {
    // From a read thread: the queued call runs serve() on the thread this object lives in.
    QMetaObject::invokeMethod(
        this, [this] { serve(); }, Qt::QueuedConnection);
}

} // namespace dmm
