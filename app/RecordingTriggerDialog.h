// "Tools" -> "Recording start and stop...": when a recording starts (immediately, at a time of
// day, after a delay, or when the value crosses a threshold), how many readings before the start
// it keeps, and when it stops (never, after a number of readings or a duration, at a time of
// day). What is typed is read as dmm log reads its options; OK refuses a text it cannot read and
// says what it expected. Nothing is remembered between runs.
#pragma once

#include "TriggerSettings.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace dmm::app {

class RecordingTriggerDialog : public QDialog {
    Q_OBJECT
public:
    RecordingTriggerDialog(const TriggerSettings& current, QWidget* parent);

    // What was typed, read; after OK, what OK took.
    const TriggerSettings& settings() const { return settings_; }
    // Reads the fields: empty and settings() set when they are sound, else what was expected
    // (also shown in the dialog).
    QString check();

    QComboBox* startKind() const { return startKind_; }
    QLineEdit* startValue() const { return startValue_; }
    QLineEdit* pretrigger() const { return pretrigger_; }
    QComboBox* stopKind() const { return stopKind_; }
    QLineEdit* stopValue() const { return stopValue_; }
    QLabel* message() const { return message_; }

    void accept() override;

private:
    void showKinds();

    TriggerSettings settings_;
    QComboBox* startKind_;
    QLineEdit* startValue_;
    QLineEdit* pretrigger_;
    QComboBox* stopKind_;
    QLineEdit* stopValue_;
    QLabel* message_;
};

} // namespace dmm::app
