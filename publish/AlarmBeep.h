// The beep, repeated every interval while any alarm of its set is active: the window's system
// beep, or the terminal's bell for dmm log.
#pragma once

#include "AlarmAction.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace dmm {

class AlarmBeep : public QObject, public AlarmAction {
    Q_OBJECT
public:
    explicit AlarmBeep(std::function<void()> beep,
                       std::chrono::milliseconds every = std::chrono::seconds(2));
    void alarmChanged(const AlarmEvent& event) override;
    bool beeping() const { return timer_.isActive(); }

private:
    std::function<void()> beep_;
    QTimer timer_;
};

} // namespace dmm
