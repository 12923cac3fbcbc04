#include "AlarmEvent.h"

namespace dmm {

QString AlarmEvent::summary() const {
    QString reading = value().isEmpty() ? display() : value() + QLatin1Char(' ') + unit();
    if (no) reading += QStringLiteral(", no. %1").arg(*no);
    return QStringLiteral("%1: %2 (%3)").arg(state(), alarm, reading);
}

} // namespace dmm
