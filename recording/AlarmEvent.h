// An alarm that fired or cleared, with the reading that made it so, as every alarm action takes
// it (the command's environment, the notification, MQTT, the window's and dmm log's reports).
#pragma once

#include "Measurement.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace dmm {

struct AlarmEvent {
    QString alarm; // the condition as typed
    bool fired = true;
    Measurement measurement;
    std::optional<int> no; // the reading's record number; none when it was not recorded
    QDateTime time;
    int active = 0; // alarms active after this event, this one included

    QString state() const { return fired ? QStringLiteral("fired") : QStringLiteral("cleared"); }
    // The value in the base unit with "." as decimal point; empty for a reading without one.
    QString value() const { return QString::fromStdString(measurement.valueText()); }
    QString unit() const { return QString::fromStdString(measurement.baseUnit); }
    QString display() const { return QString::fromStdString(measurement.display); }
    // "fired: above 5.1 V (5.213 V, no. 17)".
    QString summary() const;
};

} // namespace dmm
