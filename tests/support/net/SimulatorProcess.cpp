#include "SimulatorProcess.h"

namespace dmm::testnet {

SimulatorProcess::~SimulatorProcess() {
    stop();
}

bool SimulatorProcess::start(const QString& dmm, const QStringList& args) {
    process_.start(dmm, QStringList{QStringLiteral("simulate"), QStringLiteral("--pty")} + args);
    if (!process_.waitForStarted(5000)) return false;
    while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
    }
    pty_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    return pty_.startsWith(QLatin1String("/dev/"));
}

void SimulatorProcess::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

} // namespace dmm::testnet
