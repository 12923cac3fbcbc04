#include "AlarmOutput.h"

#include "AlarmBeep.h"
#include "AlarmCommand.h"
#include "AlarmNotifier.h"
#include "AlarmSound.h"
#include "ReadingPipeline.h"

#include <cstdio>

namespace dmm::cli {

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "dmm log: %s\n", text.toLocal8Bit().constData());
}

} // namespace

AlarmOutput::AlarmOutput() = default;
AlarmOutput::~AlarmOutput() = default;

void AlarmOutput::addOptions(CommandLine& cl) {
    cl.addValueOption(QStringLiteral("alarm"), QStringLiteral("COND"),
                      QStringLiteral("An alarm (repeatable): above X UNIT, below X UNIT, outside "
                                     "A..B UNIT, inside A..B UNIT or fail, then optionally "
                                     "for N|Ns|Nm, clear after M, hysteresis H UNIT."));
    cl.addFlag(QStringLiteral("alarm-beep"),
               QStringLiteral("The terminal's bell every 2 s while an alarm is active."));
    cl.addValueOption(QStringLiteral("alarm-sound"), QStringLiteral("FILE"),
                      QStringLiteral("Play FILE with aplay (or paplay) when an alarm fires."));
    cl.addFlag(QStringLiteral("alarm-notify"),
               QStringLiteral("A desktop notification when an alarm fires or clears."));
    cl.addValueOption(QStringLiteral("alarm-command"), QStringLiteral("CMD"),
                      QStringLiteral("Run CMD (no shell; the event in DMM_ALARM, DMM_STATE, "
                                     "DMM_VALUE, DMM_UNIT, DMM_DISPLAY, DMM_NO, DMM_TIME) when "
                                     "an alarm fires or clears."));
}

std::string AlarmOutput::read(const CommandLine& cl) {
    for (const std::string& text : cl.values(QStringLiteral("alarm"))) {
        std::string error;
        const std::optional<AlarmCondition> c = AlarmCondition::parse(text, error);
        if (!c) return "--alarm '" + text + "': " + error;
        conditions_.push_back(*c);
    }
    beep_ = cl.isSet(QStringLiteral("alarm-beep"));
    notify_ = cl.isSet(QStringLiteral("alarm-notify"));
    sound_ = QString::fromStdString(cl.value(QStringLiteral("alarm-sound")));
    command_ = QString::fromStdString(cl.value(QStringLiteral("alarm-command")));
    if (cl.isSet(QStringLiteral("alarm-sound")) && sound_.isEmpty())
        return "--alarm-sound needs a file name";
    if (cl.isSet(QStringLiteral("alarm-command"))) {
        if (const QString e = AlarmCommand::check(command_); !e.isEmpty())
            return "--alarm-command: " + e.toStdString();
    }
    const bool anyAction = beep_ || notify_ || !sound_.isEmpty() || !command_.isEmpty();
    if (anyAction && conditions_.empty()) return "the --alarm-... actions need an --alarm";
    return {};
}

void AlarmOutput::start(ReadingPipeline& pipeline, AlarmAction* more) {
    if (conditions_.empty()) return;
    sink_.setAlarms(conditions_);
    sink_.addAction(this);
    if (beep_)
        actions_.push_back(std::make_unique<AlarmBeep>([] {
            std::fputc('\a', stderr);
            std::fflush(stderr);
        }));
    if (!sound_.isEmpty()) actions_.push_back(std::make_unique<AlarmSound>(sound_, say));
    if (notify_)
        actions_.push_back(std::make_unique<AlarmNotifier>(QStringLiteral("dmm log"), say));
    if (!command_.isEmpty()) actions_.push_back(std::make_unique<AlarmCommand>(command_, say));
    for (const auto& a : actions_) sink_.addAction(a.get());
    if (more) sink_.addAction(more);
    pipeline.addSink(&sink_);
}

void AlarmOutput::alarmChanged(const AlarmEvent& event) {
    say(QStringLiteral("alarm ") + event.summary());
}

void AlarmOutput::finish() {
    if (conditions_.empty()) return;
    // The actions go while the application object is still there: a command still running is
    // killed.
    for (const auto& a : actions_) sink_.removeAction(a.get());
    actions_.clear();
    say(QStringLiteral("alarms: %1 fired, %2 cleared, %3 active at the end")
            .arg(sink_.fired())
            .arg(sink_.cleared())
            .arg(sink_.active()));
}

} // namespace dmm::cli
