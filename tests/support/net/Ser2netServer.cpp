#include "Ser2netServer.h"

#include "LoopbackPorts.h"

#include <QFile>
#include <QStandardPaths>

namespace dmm::testnet {

Ser2netServer::Ser2netServer(QString device, quint16 port)
    : device_(std::move(device)), port_(port) {
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

Ser2netServer::~Ser2netServer() {
    stop();
}

QString Ser2netServer::program() {
    QString p = QStandardPaths::findExecutable(QStringLiteral("ser2net"));
    if (p.isEmpty())
        p = QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                           {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return p;
}

QString Ser2netServer::url() const {
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port_);
}

QString Ser2netServer::output() {
    output_ += QString::fromLocal8Bit(process_.readAll());
    return output_;
}

bool Ser2netServer::start() {
    if (program().isEmpty()) {
        output_ += QStringLiteral("ser2net is not installed (scripts/install-deps.sh)\n");
        return false;
    }
    if (!port_) port_ = freeLoopbackPort();
    // "local": the pseudo-terminal has no carrier line to wait for.
    QFile config(dir_.filePath(QStringLiteral("ser2net.yaml")));
    if (!config.open(QIODevice::WriteOnly)) return false;
    config.write(QStringLiteral("connection: &meter\n"
                                "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                                "  connector: serialdev,%2,2400n81,local\n"
                                "  options:\n"
                                "    kickolduser: true\n")
                     .arg(port_)
                     .arg(device_)
                     .toLocal8Bit());
    config.close();
    // -n -d: in the foreground, debug output to standard output; -u: no UUCP lock files.
    process_.start(program(), {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"),
                               QStringLiteral("-c"), config.fileName(), QStringLiteral("-P"),
                               dir_.filePath(QStringLiteral("ser2net.pid"))});
    if (!process_.waitForStarted(5000)) return false;
    return waitForListener(port_) && process_.state() == QProcess::Running;
}

void Ser2netServer::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    output();
}

} // namespace dmm::testnet
