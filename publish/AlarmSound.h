// A sound file played when an alarm fires, by running Debian's `aplay` (alsa-utils), or
// `paplay` (PulseAudio) where there is no aplay, with the file as its argument. One sound at a
// time: an alarm that fires while one plays does not start another. A player that is missing or
// fails is reported once.
#pragma once

#include "AlarmAction.h"

#include <QObject>
#include <QProcess>

#include <functional>
#include <memory>

namespace dmm {

class AlarmSound : public QObject, public AlarmAction {
    Q_OBJECT
public:
    using Report = std::function<void(const QString&)>;
    AlarmSound(QString file, Report report);
    ~AlarmSound() override;

    void alarmChanged(const AlarmEvent& event) override;

    // The player found on PATH: "aplay", else "paplay"; empty when neither is there.
    static QString player();

private:
    void failed(const QString& why);

    QString file_;
    Report report_;
    std::unique_ptr<QProcess> process_;
    bool reported_ = false;
};

} // namespace dmm
