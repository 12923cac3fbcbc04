#include "AlarmCommand.h"

#include <QProcessEnvironment>

namespace dmm {

AlarmCommand::AlarmCommand(const QString& commandLine, Report report,
                           std::chrono::milliseconds timeout)
    : words_(QProcess::splitCommand(commandLine)), report_(std::move(report)), timeout_(timeout) {
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (!process_) return;
        report_(QStringLiteral("alarm command %1 still running after %2 s: killed")
                    .arg(words_.value(0))
                    .arg(static_cast<double>(timeout_.count()) / 1000));
        process_->kill();
    });
}

AlarmCommand::~AlarmCommand() {
    if (process_) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(1000);
    }
}

QString AlarmCommand::check(const QString& commandLine) {
    if (QProcess::splitCommand(commandLine).isEmpty()) return QStringLiteral("no command given");
    if (commandLine.count(QLatin1Char('"')) % 2 != 0) return QStringLiteral("an unclosed quote");
    return {};
}

void AlarmCommand::alarmChanged(const AlarmEvent& event) {
    if (words_.isEmpty()) return;
    if (process_) {
        waiting_ = event; // the latest waiting event replaces an older one
        return;
    }
    start(event);
}

void AlarmCommand::start(const AlarmEvent& event) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DMM_ALARM"), event.alarm);
    env.insert(QStringLiteral("DMM_STATE"), event.state());
    env.insert(QStringLiteral("DMM_VALUE"), event.value());
    env.insert(QStringLiteral("DMM_UNIT"), event.unit());
    env.insert(QStringLiteral("DMM_DISPLAY"), event.display());
    env.insert(QStringLiteral("DMM_NO"), event.no ? QString::number(*event.no) : QString());
    env.insert(QStringLiteral("DMM_TIME"),
               event.time.toOffsetFromUtc(event.time.offsetFromUtc()).toString(Qt::ISODateWithMs));
    process_ = std::make_unique<QProcess>();
    process_->setProcessEnvironment(env);
    process_->setProgram(words_.first());
    process_->setArguments(words_.mid(1));
    process_->setStandardInputFile(QProcess::nullDevice());
    process_->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(process_.get(), &QProcess::finished, this, [this] { ended(); });
    connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        if (!startFailureReported_)
            report_(QStringLiteral("alarm command %1: %2")
                        .arg(words_.first(), process_->errorString()));
        startFailureReported_ = true;
        ended();
    });
    deadline_.start(timeout_);
    process_->start();
}

// The process is done (or never started): the waiting event, if any, goes next. Deleted later:
// this runs inside the process's own signal.
void AlarmCommand::ended() {
    deadline_.stop();
    if (process_) process_.release()->deleteLater();
    if (std::optional<AlarmEvent> next = std::exchange(waiting_, std::nullopt)) start(*next);
}

} // namespace dmm
