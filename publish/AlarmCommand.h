// The user's command, run on every alarm that fires or clears: split into words as a shell
// would (QProcess::splitCommand) and started without a shell, with the event in its environment
// (DMM_ALARM, DMM_STATE, DMM_VALUE, DMM_UNIT, DMM_DISPLAY, DMM_NO, DMM_TIME). One runs at a time:
// an event that comes while it runs waits, and only the latest waiting one is kept. One that
// runs longer than the time-out is killed. A command that cannot be started is reported once.
#pragma once

#include "AlarmAction.h"

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace dmm {

class AlarmCommand : public QObject, public AlarmAction {
    Q_OBJECT
public:
    using Report = std::function<void(const QString&)>;
    static constexpr std::chrono::seconds kTimeout{30};

    AlarmCommand(const QString& commandLine, Report report,
                 std::chrono::milliseconds timeout = kTimeout);
    ~AlarmCommand() override;

    // What is wrong with a command line (nothing to run, an open quote); empty when sound.
    static QString check(const QString& commandLine);

    void alarmChanged(const AlarmEvent& event) override;
    bool running() const { return process_ != nullptr; }

private:
    void start(const AlarmEvent& event);
    void ended();

    QStringList words_;
    Report report_;
    std::chrono::milliseconds timeout_;
    std::unique_ptr<QProcess> process_;
    std::optional<AlarmEvent> waiting_;
    QTimer deadline_;
    bool startFailureReported_ = false;
};

} // namespace dmm
