// dmm log --alarm COND (repeatable) with --alarm-beep, --alarm-sound FILE, --alarm-notify and
// --alarm-command CMD for every alarm: the alarms as an output of the recording pipeline, each
// one that fires or clears told on standard error.
#pragma once

#include "AlarmAction.h"
#include "AlarmSink.h"
#include "CommandLine.h"

#include <memory>
#include <string>
#include <vector>

namespace dmm {
class ReadingPipeline;
}

namespace dmm::cli {

class AlarmOutput : public AlarmAction {
public:
    AlarmOutput();
    ~AlarmOutput() override;
    static void addOptions(CommandLine& cl);
    // Reads the conditions and the actions' options; returns a usage error's text, empty when
    // sound.
    std::string read(const CommandLine& cl);
    // With alarms, makes the actions (needs the application object) and attaches them to
    // `pipeline`; `more` (may be null) also hears every event.
    void start(ReadingPipeline& pipeline, AlarmAction* more);
    // At the end of the event loop: the actions stopped, and "N fired, M cleared, K active" on
    // standard error, when there were alarms.
    void finish();

    void alarmChanged(const AlarmEvent& event) override;

private:
    std::vector<AlarmCondition> conditions_;
    bool beep_ = false;
    bool notify_ = false;
    QString sound_;
    QString command_;
    AlarmSink sink_;
    std::vector<std::unique_ptr<AlarmAction>> actions_;
};

} // namespace dmm::cli
