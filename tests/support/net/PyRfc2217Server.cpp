#include "PyRfc2217Server.h"

#include "LoopbackPorts.h"

#include <QStandardPaths>

namespace dmm::testnet {

PyRfc2217Server::PyRfc2217Server(QString device) : device_(std::move(device)) {}

PyRfc2217Server::~PyRfc2217Server() {
    stop();
}

QString PyRfc2217Server::url() const {
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port_);
}

QString PyRfc2217Server::log() {
    log_ += QString::fromLocal8Bit(process_.readAllStandardError());
    return log_;
}

bool PyRfc2217Server::start() {
    // Debian's interpreter, which python3-serial installs into (not one a virtual environment
    // puts first on the PATH).
    QString python =
        QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    if (python.isEmpty()) python = QStringLiteral("python3");
    process_.start(python,
                   {QStringLiteral(DMM_RFC2217_SERVER_SCRIPT), device_, QStringLiteral("0")});
    if (!process_.waitForStarted(5000)) return false;
    // "listening PORT" once it listens.
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    const QByteArray line = process_.readLine().trimmed();
    if (!line.startsWith("listening ")) {
        log_ += QString::fromLocal8Bit(line);
        return false;
    }
    port_ = static_cast<quint16>(line.mid(10).toUInt());
    return port_ != 0 && waitForListener(port_);
}

void PyRfc2217Server::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    log();
}

} // namespace dmm::testnet
