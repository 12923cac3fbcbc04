#include "AlarmSound.h"

#include <QStandardPaths>

namespace dmm {

AlarmSound::AlarmSound(QString file, Report report)
    : file_(std::move(file)), report_(std::move(report)) {}

AlarmSound::~AlarmSound() {
    if (process_) {
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(1000);
    }
}

QString AlarmSound::player() {
    for (const char* name : {"aplay", "paplay"})
        if (!QStandardPaths::findExecutable(QLatin1String(name)).isEmpty())
            return QLatin1String(name);
    return {};
}

void AlarmSound::failed(const QString& why) {
    if (!reported_) report_(QStringLiteral("alarm sound %1: %2").arg(file_, why));
    reported_ = true;
}

void AlarmSound::alarmChanged(const AlarmEvent& event) {
    if (!event.fired || process_) return;
    const QString program = player();
    if (program.isEmpty()) {
        failed(QStringLiteral("neither aplay nor paplay is installed"));
        return;
    }
    process_ = std::make_unique<QProcess>();
    process_->setProgram(program);
    process_->setArguments({file_});
    process_->setStandardInputFile(QProcess::nullDevice());
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    const auto done = [this] {
        if (process_) process_.release()->deleteLater(); // inside its own signal
    };
    connect(process_.get(), &QProcess::finished, this, [this, program, done](int code) {
        if (code != 0) failed(QStringLiteral("%1 ended with exit code %2").arg(program).arg(code));
        done();
    });
    connect(process_.get(), &QProcess::errorOccurred, this, [this, done](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        failed(process_->errorString());
        done();
    });
    process_->start();
}

} // namespace dmm
