#include "AlarmBeep.h"

namespace dmm {

AlarmBeep::AlarmBeep(std::function<void()> beep, std::chrono::milliseconds every)
    : beep_(std::move(beep)) {
    timer_.setInterval(every);
    connect(&timer_, &QTimer::timeout, this, [this] { beep_(); });
}

void AlarmBeep::alarmChanged(const AlarmEvent& event) {
    if (event.active == 0) {
        timer_.stop();
        return;
    }
    if (event.fired) beep_();
    if (!timer_.isActive()) timer_.start();
}

} // namespace dmm
