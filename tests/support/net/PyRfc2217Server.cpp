#include "PyRfc2217Server.h"

#include "LoopbackPorts.h"

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
    port_ = startPythonServer(process_, QStringLiteral(DMM_RFC2217_SERVER_SCRIPT),
                              {device_, QStringLiteral("0")}, &log_);
    return port_ != 0;
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
