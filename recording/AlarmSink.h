// The alarms as an output of the recording pipeline: each decoded reading goes through every
// alarm's condition, and each alarm that fires or clears is told to the actions, in the order
// they were added. Counts what fired and cleared, for the window's menu and tooltip and for
// dmm log's end.
#pragma once

#include "AlarmAction.h"
#include "AlarmState.h"
#include "ReadingSink.h"

#include <QElapsedTimer>

#include <functional>
#include <optional>
#include <vector>

namespace dmm {

class AlarmSink : public ReadingSink {
public:
    AlarmSink();

    // Replaces the alarms; all start inactive.
    void setAlarms(const std::vector<AlarmCondition>& conditions);
    // Not owned; must outlive this sink or be removed first.
    void addAction(AlarmAction* action);
    void removeAction(AlarmAction* action);
    // The clock the "for Ns" conditions count by (default: a steady clock) and the events'
    // time stamp (default: now).
    void setClock(std::function<std::int64_t()> milliseconds, std::function<QDateTime()> now);

    void readingDecoded(const CurrentReading& reading) override;
    void rowRecorded(const RecordedRow& row) override;

    int alarms() const { return static_cast<int>(states_.size()); }
    int active() const;
    int fired() const { return fired_; }
    int cleared() const { return cleared_; }

private:
    std::vector<AlarmState> states_;
    std::vector<AlarmAction*> actions_;
    QElapsedTimer steady_;
    std::function<std::int64_t()> milliseconds_;
    std::function<QDateTime()> now_;
    std::optional<int> rowNo_; // the row recorded from the frame being decoded
    int fired_ = 0;
    int cleared_ = 0;
};

} // namespace dmm
