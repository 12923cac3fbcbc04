#include "AlarmNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace dmm {

namespace {

// The urgency hint: 1 normal, 2 critical (the service may keep a critical one until dismissed).
constexpr uchar kNormal = 1;
constexpr uchar kCritical = 2;

} // namespace

AlarmNotifier::AlarmNotifier(QString application, Report report, QDBusConnection bus)
    : application_(std::move(application)), report_(std::move(report)), bus_(std::move(bus)) {}

void AlarmNotifier::failed(const QString& why) {
    if (reported_.contains(why)) return;
    reported_.insert(why);
    report_(QStringLiteral("desktop notification: %1").arg(why));
}

void AlarmNotifier::alarmChanged(const AlarmEvent& event) {
    if (!bus_.isConnected()) {
        failed(QStringLiteral("no session bus (%1)").arg(bus_.lastError().message()));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QString reading = event.value().isEmpty()
                                ? event.display()
                                : QStringLiteral("%1 %2").arg(event.value(), event.unit());
    QString body =
        QStringLiteral("%1 at %2: %3")
            .arg(event.state(), event.time.toString(QStringLiteral("HH:mm:ss")), reading);
    if (event.no) body += QStringLiteral(" (no. %1)").arg(*event.no);
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(event.fired ? kCritical : kNormal));
    call << application_ << ids_.value(event.alarm, 0u) << QString()
         << QStringLiteral("Alarm %1: %2").arg(event.state(), event.alarm) << body << QStringList()
         << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    ++pending_;
    const QString alarm = event.alarm;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, alarm](QDBusPendingCallWatcher* w) {
                --pending_;
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError())
                    failed(reply.error().message());
                else
                    ids_.insert(alarm, reply.value());
                w->deleteLater();
            });
}

} // namespace dmm
