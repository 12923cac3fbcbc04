#include "AlarmSink.h"

#include <algorithm>

namespace dmm {

AlarmSink::AlarmSink() {
    steady_.start();
    milliseconds_ = [this] { return steady_.elapsed(); };
    now_ = [] { return QDateTime::currentDateTime(); };
}

void AlarmSink::setAlarms(const std::vector<AlarmCondition>& conditions) {
    states_.clear();
    for (const AlarmCondition& c : conditions) states_.emplace_back(c);
}

void AlarmSink::addAction(AlarmAction* action) {
    actions_.push_back(action);
}

void AlarmSink::removeAction(AlarmAction* action) {
    actions_.erase(std::remove(actions_.begin(), actions_.end(), action), actions_.end());
}

void AlarmSink::setClock(std::function<std::int64_t()> milliseconds,
                         std::function<QDateTime()> now) {
    milliseconds_ = std::move(milliseconds);
    now_ = std::move(now);
}

int AlarmSink::active() const {
    return static_cast<int>(std::count_if(states_.begin(), states_.end(),
                                          [](const AlarmState& s) { return s.active(); }));
}

// The decoder records a frame's row before it tells the frame decoded: a row seen here belongs
// to the next decoded reading.
void AlarmSink::rowRecorded(const RecordedRow& row) {
    if (row.row.no) rowNo_ = *row.row.no;
}

void AlarmSink::readingDecoded(const CurrentReading& reading) {
    const std::optional<int> no = rowNo_;
    rowNo_.reset();
    if (states_.empty()) return;
    const std::int64_t ms = milliseconds_();
    for (AlarmState& state : states_) {
        const AlarmSide side = state.condition().side(reading.measurement, reading.Judge);
        const AlarmChange change = state.step(side, ms);
        if (change == AlarmChange::None) continue;
        AlarmEvent event;
        event.alarm = QString::fromStdString(state.condition().text);
        event.fired = change == AlarmChange::Fired;
        event.measurement = reading.measurement;
        event.no = no;
        event.time = now_();
        event.active = active();
        ++(event.fired ? fired_ : cleared_);
        for (AlarmAction* a : actions_) a->alarmChanged(event);
    }
}

} // namespace dmm
