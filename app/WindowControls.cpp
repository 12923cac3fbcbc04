#include "WindowControls.h"

#include "LimitPanel.h"
#include "RecordingRow.h"

#include <QCheckBox>
#include <QLineEdit>

namespace dmm::app {

QString WindowControls::highLimit() const {
    return limits_.T1HI()->text();
}

QString WindowControls::lowLimit() const {
    return limits_.T1LO()->text();
}

bool WindowControls::repeat() const {
    return row_.RepeatSet()->isChecked();
}

bool WindowControls::recallChecked() const {
    return row_.RecallCheck()->isChecked();
}

QString WindowControls::recallInterval() const {
    return row_.TimeInt()->text();
}

bool WindowControls::samplingTimer() const {
    return row_.RecordSI()->isChecked();
}

} // namespace dmm::app
