// The desktop notification service the alarm tests talk to: a session dbus-daemon of its own,
// started by the test, with notification_server.py on org.freedesktop.Notifications recording
// every notification it receives. Both are stopped on destruction.
#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <vector>

namespace dmm::testalarm {

class NotificationService {
public:
    NotificationService() = default;
    ~NotificationService();
    NotificationService(const NotificationService&) = delete;
    NotificationService& operator=(const NotificationService&) = delete;

    // Starts the bus and the server and waits until the server owns its name; false (and why
    // in error()) when either could not be started.
    bool start();
    // The bus address, for DBUS_SESSION_BUS_ADDRESS.
    QString address() const { return address_; }
    QString error() const { return error_; }
    // The notifications received so far, in order.
    std::vector<QJsonObject> received() const;
    // Waits (turning the event loop) until at least `n` arrived.
    bool waitFor(std::size_t n, std::chrono::milliseconds timeout) const;

private:
    QTemporaryDir dir_;
    QProcess bus_;
    QProcess server_;
    QString address_;
    QString error_;
};

} // namespace dmm::testalarm
