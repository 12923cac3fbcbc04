// The recording rules' settings as the window's fields and check boxes hold them at the moment
// they are read: the limit fields (half edited too), "Repeat", the recall panel and "Sampling
// Interval".
#pragma once

#include "RecordingControls.h"

namespace dmm::app {

class LimitPanel;
class RecordingRow;

class WindowControls : public RecordingControls {
public:
    WindowControls(const LimitPanel& limits, const RecordingRow& row)
        : limits_(limits), row_(row) {}

    QString highLimit() const override;
    QString lowLimit() const override;
    bool repeat() const override;
    bool recallChecked() const override;
    QString recallInterval() const override;
    bool samplingTimer() const override;

private:
    const LimitPanel& limits_;
    const RecordingRow& row_;
};

} // namespace dmm::app
