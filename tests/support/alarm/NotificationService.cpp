#include "NotificationService.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

namespace dmm::testalarm {

namespace {

bool readLine(QProcess& p, QString& line, int ms) {
    QDeadlineTimer deadline(ms);
    while (!p.canReadLine()) {
        if (deadline.hasExpired() || p.state() == QProcess::NotRunning) return false;
        p.waitForReadyRead(100);
    }
    line = QString::fromUtf8(p.readLine()).trimmed();
    return true;
}

void end(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

} // namespace

NotificationService::~NotificationService() {
    end(server_);
    end(bus_);
}

bool NotificationService::start() {
    // A bus listening in the test's own folder, not the desktop's.
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--print-address=1"),
                QStringLiteral("--address=unix:dir=") + dir_.path()});
    if (!bus_.waitForStarted(5000) || !readLine(bus_, address_, 10000)) {
        error_ = QStringLiteral("dbus-daemon: ") + bus_.errorString() + bus_.readAllStandardError();
        return false;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
    server_.setProcessEnvironment(env);
    // Debian's interpreter, which python3-dbus and python3-gi install into.
    QString python =
        QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    if (python.isEmpty()) python = QStringLiteral("python3");
    server_.setProcessChannelMode(QProcess::SeparateChannels);
    server_.start(python, {QStringLiteral(DMM_ALARM_SUPPORT_DIR "/notification_server.py"),
                           dir_.filePath(QStringLiteral("received.jsonl"))});
    QString ready;
    if (!server_.waitForStarted(5000) || !readLine(server_, ready, 20000) || ready != "ready") {
        error_ = QStringLiteral("notification server: ") + server_.readAllStandardError();
        return false;
    }
    return true;
}

std::vector<QJsonObject> NotificationService::received() const {
    std::vector<QJsonObject> out;
    QFile f(dir_.filePath(QStringLiteral("received.jsonl")));
    if (!f.open(QIODevice::ReadOnly)) return out;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine();
        if (line.endsWith('\n')) out.push_back(QJsonDocument::fromJson(line).object());
    }
    return out;
}

bool NotificationService::waitFor(std::size_t n, std::chrono::milliseconds timeout) const {
    QDeadlineTimer deadline(timeout);
    while (received().size() < n) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
    return true;
}

} // namespace dmm::testalarm
