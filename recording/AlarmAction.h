// What an alarm does when it fires or clears: beep, play a sound, notify the desktop, run the
// user's command, publish. Each runs on the GUI thread and returns at once: an action that takes
// time (a process, a D-Bus call) goes on in the event loop, so that recording never waits for it.
#pragma once

#include "AlarmEvent.h"

namespace dmm {

class AlarmAction {
public:
    virtual ~AlarmAction() = default;
    virtual void alarmChanged(const AlarmEvent& event) = 0;
};

} // namespace dmm
