// `dmm simulate --pty` as a process: the simulated meter on a new pseudo-terminal.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace dmm::testnet {

class SimulatorProcess {
public:
    SimulatorProcess() = default;
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Starts `dmm simulate --pty` with `args` and reads the terminal's path; false if none came.
    bool start(const QString& dmm, const QStringList& args);
    QString pty() const { return pty_; }
    void stop();
    QProcess& process() { return process_; }

private:
    QProcess process_;
    QString pty_;
};

} // namespace dmm::testnet
