// The window's alarms: the rows of "Tools" -> "Alarms...", each an output of the recording
// pipeline with the actions checked for it (the system beep, a sound, a desktop notification,
// the user's command), remembered between runs. Without rows nothing is attached.
#pragma once

#include "AlarmAction.h"
#include "AlarmSetting.h"
#include "AlarmSink.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace dmm {
class ReadingPipeline;
}

namespace dmm::app {

class WindowAlarms : public QObject, public AlarmAction {
    Q_OBJECT
public:
    // `beep` sounds the system beep. The pipeline outlives this.
    WindowAlarms(ReadingPipeline& pipeline, std::function<void()> beep);
    ~WindowAlarms() override;

    // The rows remembered from the last run (QSettings), applied.
    void load();
    // Checks every row, applies them and remembers them; returns what is wrong (with the row's
    // number) and changes nothing when a row is wrong or the settings cannot be written.
    QString apply(const std::vector<AlarmSetting>& rows);
    const std::vector<AlarmSetting>& rows() const { return rows_; }

    // Also told every event (MQTT); not owned, outlives this.
    void addSharedAction(AlarmAction* action);

    int active() const;
    bool rowActive(int row) const;
    int fired() const;
    int cleared() const;
    // The line under the link tooltip: counts, and the last action that failed; empty without
    // alarms.
    QString note() const;

    void alarmChanged(const AlarmEvent& event) override;

signals:
    // An alarm fired or cleared, an action failed, or the rows changed.
    void changed();

private:
    struct Row;
    void build();
    void reportProblem(const QString& problem);

    ReadingPipeline& pipeline_;
    std::function<void()> beep_;
    std::vector<AlarmSetting> rows_;
    std::vector<std::unique_ptr<Row>> live_;
    std::vector<AlarmAction*> shared_;
    QString problem_;
};

} // namespace dmm::app
