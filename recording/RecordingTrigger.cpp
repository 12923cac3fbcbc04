#include "RecordingTrigger.h"

#include <utility>

namespace dmm {

QDateTime nextTimeOfDay(const QDateTime& from, QTime time, bool strictly) {
    QDateTime at = from;
    at.setTime(time);
    if (at < from || (strictly && at == from)) at = at.addDays(1);
    return at;
}

RecordingTrigger::RecordingTrigger(TriggerSettings settings, std::function<QDateTime()> clock)
    : settings_(std::move(settings)), clock_(std::move(clock)) {}

void RecordingTrigger::arm() {
    if (state_ != State::Unarmed) return;
    state_ = State::Waiting;
    ring_.clear();
    onFarSide_ = false;
    const QDateTime now = clock_();
    if (settings_.start == TriggerSettings::Start::AtTime)
        startDue_ = nextTimeOfDay(now, settings_.startTime, false);
    else if (settings_.start == TriggerSettings::Start::AfterDelay)
        startDue_ = now.addSecs(settings_.startDelay);
}

void RecordingTrigger::cleared() {
    if (state_ == State::Stopped) state_ = State::Unarmed;
}

bool RecordingTrigger::fires(const Offer& offer) {
    using Start = TriggerSettings::Start;
    switch (settings_.start) {
    case Start::Now:
        return true;
    case Start::AtTime:
    case Start::AfterDelay:
        return offer.takenAt >= startDue_;
    case Start::RisesAbove:
    case Start::FallsBelow:
        break;
    }
    // Readings of another base unit, or without a number, leave the comparison as it was.
    const Measurement& m = offer.reading.measurement;
    if (!settings_.threshold.sameKind(m)) return false;
    const double v = m.value();
    const double x = settings_.threshold.low;
    const bool rises = settings_.start == Start::RisesAbove;
    const bool past = rises ? v > x : v < x;
    const bool crossed = past && onFarSide_;
    onFarSide_ = !past;
    return crossed;
}

bool RecordingTrigger::stopDue(const QDateTime& now) const {
    const auto stop = settings_.stop;
    return (stop == TriggerSettings::Stop::AfterDuration ||
            stop == TriggerSettings::Stop::AtTime) &&
           now >= stopDue_;
}

void RecordingTrigger::stopNow(const QDateTime& at) {
    state_ = State::Stopped;
    stoppedAt_ = at;
    ring_.clear();
}

RecordingTrigger::Passed RecordingTrigger::offer(Offer offer) {
    Passed passed;
    if (state_ == State::Waiting) {
        if (!fires(offer)) {
            if (settings_.pretrigger > 0) {
                if (ring_.size() >= static_cast<std::size_t>(settings_.pretrigger))
                    ring_.pop_front();
                ring_.push_back(std::move(offer));
            }
            return passed;
        }
        state_ = State::Recording;
        firedAt_ = offer.takenAt;
        passedCount_ = 0;
        if (settings_.stop == TriggerSettings::Stop::AfterDuration)
            stopDue_ = firedAt_.addSecs(settings_.stopDuration);
        else if (settings_.stop == TriggerSettings::Stop::AtTime)
            stopDue_ = nextTimeOfDay(firedAt_, settings_.stopTime, true);
        passed.offers.assign(std::make_move_iterator(ring_.begin()),
                             std::make_move_iterator(ring_.end()));
        ring_.clear();
    } else if (state_ != State::Recording) {
        return passed;
    } else if (stopDue(offer.takenAt)) {
        stopNow(offer.takenAt);
        passed.stop = true;
        return passed;
    }
    const QDateTime at = offer.takenAt;
    passed.offers.push_back(std::move(offer));
    ++passedCount_;
    if (settings_.stop == TriggerSettings::Stop::AfterCount &&
        passedCount_ >= settings_.stopCount) {
        stopNow(at);
        passed.stop = true;
    }
    return passed;
}

bool RecordingTrigger::tick() {
    if (state_ != State::Recording) return false;
    const QDateTime now = clock_();
    if (!stopDue(now)) return false;
    stopNow(now);
    return true;
}

QString RecordingTrigger::stateText() const {
    switch (state_) {
    case State::Unarmed:
        return QStringLiteral("set, waits for a connect");
    case State::Waiting: {
        if (settings_.start == TriggerSettings::Start::Now)
            return QStringLiteral("waiting for the first reading");
        QString text = QStringLiteral("waiting for ") + settings_.startDescription();
        if (settings_.start == TriggerSettings::Start::AfterDelay)
            text += QStringLiteral(" (until %1)").arg(startDue_.time().toString(u"HH:mm:ss"));
        if (settings_.pretrigger > 0)
            text += QStringLiteral(", keeping the %1 readings before it").arg(settings_.pretrigger);
        return text;
    }
    case State::Recording:
        if (settings_.stop == TriggerSettings::Stop::Never) return QStringLiteral("recording");
        return QStringLiteral("recording, stops ") + settings_.stopDescription();
    case State::Stopped:
        return QStringLiteral("stopped ") + settings_.stopDescription();
    }
    return {};
}

} // namespace dmm
