// The stage of the recording pipeline before the recorder that starts and stops a recording by
// itself: at a time of day, after a delay or when the value crosses a threshold, keeping the
// last readings before the trigger; and after a number of readings, a duration or at a time.
//
// Arming (a connect, the start of dmm log) makes it wait; it fires once per arming. Until it
// fires, offers only fill the pre-trigger ring; at the trigger the ring's offers go on with their
// own times, then the trigger reading; at the stop nothing more goes on. Only "Close Data" after
// a stop lets a new arming wait again: a reconnect while it waits or records changes nothing.
//
// The clock is the recorder's (the times the offers are stamped with), so a test sets the times.
#pragma once

#include "Reading.h"
#include "TriggerSettings.h"

#include <QDateTime>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

namespace dmm {

class RecordingTrigger {
public:
    enum class State { Unarmed, Waiting, Recording, Stopped };

    // What the pipeline offers the recorder, with the time it came.
    struct Offer {
        CurrentReading reading;
        bool repeat = true;
        bool recall = false;
        QDateTime takenAt;
    };
    // What goes on to the recorder after an offer, in order; stop: recording ends after them.
    struct Passed {
        std::vector<Offer> offers;
        bool stop = false;
    };

    RecordingTrigger(TriggerSettings settings, std::function<QDateTime()> clock);

    // A connect (or the start of dmm log): waits, unless it already waits, records or stopped.
    void arm();
    // "Close Data": after a stop, the next arming waits again.
    void cleared();
    Passed offer(Offer offer);
    // A stop by time that has come due without an offer; true when it stopped now.
    bool tick();

    State state() const { return state_; }
    const TriggerSettings& settings() const { return settings_; }
    std::size_t pretriggerHeld() const { return ring_.size(); }
    // "waiting for 22:00", "recording, stops at 06:00", "stopped after 100 readings"...
    QString stateText() const;

private:
    bool fires(const Offer& offer);
    bool stopDue(const QDateTime& now) const;
    void stopNow(const QDateTime& at);

    TriggerSettings settings_;
    std::function<QDateTime()> clock_;
    State state_ = State::Unarmed;
    std::deque<Offer> ring_;
    QDateTime startDue_; // AtTime, AfterDelay
    QDateTime stopDue_;  // AfterDuration, AtTime
    // Threshold starts: the last comparable reading was on the far side of the threshold, so a
    // reading past it is a crossing.
    bool onFarSide_ = false;
    int passedCount_ = 0; // offers passed from the trigger reading on
    QDateTime firedAt_;
    QDateTime stoppedAt_;
};

// The next time `time` of day comes at or after `from` (strictly after, with `strictly`).
QDateTime nextTimeOfDay(const QDateTime& from, QTime time, bool strictly);

} // namespace dmm
