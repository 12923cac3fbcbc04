// A desktop notification for every alarm that fires or clears, through the freedesktop
// notification service on the session bus (org.freedesktop.Notifications). The call is made
// asynchronously, so a slow or missing service never holds the event loop; an alarm's clearing
// replaces its own notification. A failure is reported once for each distinct reason.
#pragma once

#include "AlarmAction.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>

#include <functional>

namespace dmm {

class AlarmNotifier : public QObject, public AlarmAction {
    Q_OBJECT
public:
    using Report = std::function<void(const QString&)>;
    // `application`: the name the service shows the notification under.
    AlarmNotifier(QString application, Report report,
                  QDBusConnection bus = QDBusConnection::sessionBus());

    void alarmChanged(const AlarmEvent& event) override;
    // Calls whose answer has not come yet.
    int pending() const { return pending_; }

private:
    void failed(const QString& why);

    QString application_;
    Report report_;
    QDBusConnection bus_;
    QHash<QString, uint> ids_; // the latest notification of each alarm
    QSet<QString> reported_;
    int pending_ = 0;
};

} // namespace dmm
