#include "NotificationService.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>

namespace dmm::testalarm {

NotificationService::~NotificationService() {
    server_.terminate();
    if (!server_.waitForFinished(5000)) server_.kill();
    server_.waitForFinished(5000);
}

bool NotificationService::start() {
    // Debian's interpreter, which python3-dbus and python3-gi install into.
    QString python =
        QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    server_.start(python.isEmpty() ? QStringLiteral("python3") : python,
                  {QStringLiteral(DMM_ALARM_SUPPORT_DIR "/notification_server.py"), dir_.path()});
    QDeadlineTimer deadline(20000);
    while (!server_.canReadLine() && !deadline.hasExpired() &&
           server_.state() != QProcess::NotRunning)
        server_.waitForReadyRead(100);
    address_ = QString::fromUtf8(server_.readLine()).trimmed();
    error_ = QString::fromUtf8(server_.readAllStandardError());
    return !address_.isEmpty();
}

std::vector<QJsonObject> NotificationService::received() const {
    std::vector<QJsonObject> out;
    QFile f(dir_.filePath(QStringLiteral("received.jsonl")));
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.isEmpty()) out.push_back(QJsonDocument::fromJson(line).object());
    return out;
}

} // namespace dmm::testalarm
