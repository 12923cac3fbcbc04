// Recall time stamps: while `RecallCheck` is checked, recorded rows carry a time of day that
// starts at a typed start time and advances by `TimeInt` seconds per decoded Q32 frame.
//
// The window owns the fields `TimeH`, `TimeM`, `TimeS`, `TimeInt` and the check box; it passes
// their texts in and puts the returned texts back, and shows every returned message in an
// information box with an OK button, in order.
//
// Cases the rules leave open, decided here:
// - A start-time field that is empty, or whose number is out of range, when the clock is loaded
//   from the fields (click on or leaving `RecallCheck`): its counter keeps its value; out of
//   range is otherwise only caught by TimeHKeyUp, and a counter beyond its limit would give a
//   time of day that does not exist.
// - TimeHKeyUp with an empty field: no message, the counter keeps its value (the user is between
//   deleting and typing digits).
// - RecallStep with an empty `TimeInt`: an interval of 0, so the stamp is the clock unchanged.
// - Large intervals are taken modulo one day (the result is the same as stepping), so a
//   pasted "99999999999" neither overflows nor makes the step loop run for ages.
#pragma once

#include "Reading.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>

namespace dmm {

// CurrentReading::RecallStamp is a date-time in days since 30 December 1899.
double toRecallStamp(const QDateTime& local);
// The time of day of a RecallStamp (the fraction of its day), to the whole second.
QTime recallStampTime(double stamp);

struct StartTimeFields {
    QString hours;   // `TimeH`
    QString minutes; // `TimeM`
    QString seconds; // `TimeS`
};

// The message TimeHKeyUp returns for a field beyond its limit.
inline constexpr const char* kInputErrorMessage = "Input error!";

class RecallClock {
public:
    // The date and time for RecallStep while the mode is off; QDateTime::currentDateTime() by
    // default. For tests.
    void setClock(std::function<QDateTime()> now) { now_ = std::move(now); }

    // RecallStep, once per decoded Q32 frame: mode off, RecallStamp := now; mode on, the clock
    // advances by `timeIntText` seconds and RecallStamp := that time of day (no date).
    void RecallStep(CurrentReading& reading, bool recallChecked, const QString& timeIntText);

    // `RecallCheckClick`: the start fields become "00" (now checked) or "23", "59", "59" (now
    // unchecked) and the clock is loaded from them. Returns the texts to show.
    StartTimeFields RecallCheckClick(bool checked);
    // `RecallCheckExit`: loads the clock from the fields.
    void RecallCheckExit(const StartTimeFields& fields);
    // `TimeHKeyUp`: checks TimeH, TimeM, TimeS in turn; a field beyond 23/59/59 gives an
    // "Input error!" message and is set to "00" with its counter unchanged, any other sets its
    // counter. `fields` is updated in place; returns the messages to show, in order.
    QStringList TimeHKeyUp(StartTimeFields& fields);

    int hours() const { return hours_; }
    int minutes() const { return minutes_; }
    int seconds() const { return seconds_; }

private:
    void load(const StartTimeFields& fields);

    int hours_ = 0;
    int minutes_ = 0;
    int seconds_ = 0;
    std::function<QDateTime()> now_;
};

} // namespace dmm
