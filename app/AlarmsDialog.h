// "Tools" -> "Alarms...": a window (never modal) with one row per alarm: the condition, checked
// as it is typed, and check boxes for the actions with the sound file and the command beside
// them. "Apply" hands the rows to the window's alarms; the state column follows them.
#pragma once

#include "AlarmSetting.h"

#include <QDialog>

#include <vector>

class QLabel;
class QLineEdit;
class QTableWidget;

namespace dmm::app {

class WindowAlarms;

class AlarmsDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { Condition, Beep, Sound, SoundFile, Notify, Command, CommandLine, State };

    AlarmsDialog(WindowAlarms& alarms, QWidget* parent);

    // The rows as the dialog shows them now.
    std::vector<AlarmSetting> rows() const;
    // The rows the window's alarms hold, shown again.
    void reload();
    // "Apply"; returns what was wrong, empty when applied.
    QString applyRows();
    void addRow(const AlarmSetting& setting);
    QLineEdit* conditionEdit(int row) const;
    QTableWidget* table() const { return table_; }
    // The message under the table: what a condition lacks, or what happened on "Apply".
    QString message() const;

private:
    void checkRow(int row);
    void showStates();

    WindowAlarms& alarms_;
    QTableWidget* table_;
    QLabel* message_;
};

} // namespace dmm::app
