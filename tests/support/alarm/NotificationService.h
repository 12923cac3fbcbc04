// The desktop notification service the alarm tests talk to: notification_server.py with a
// session dbus-daemon of its own, recording every notification it receives. Stopped on
// destruction.
#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <vector>

namespace dmm::testalarm {

class NotificationService {
public:
    ~NotificationService();
    // Starts it and waits until it owns its name; false (and why in error()) when it could not.
    bool start();
    // The bus address, for DBUS_SESSION_BUS_ADDRESS.
    QString address() const { return address_; }
    QString error() const { return error_; }
    // The notifications received so far, in order.
    std::vector<QJsonObject> received() const;

private:
    QTemporaryDir dir_;
    QProcess server_;
    QString address_;
    QString error_;
};

} // namespace dmm::testalarm
