// Recording settings that do not change during a run: dmm log's options, the soak's.
#pragma once

#include "LimitJudge.h"
#include "RecordingControls.h"

namespace dmm {

class FixedControls : public RecordingControls {
public:
    QString high = QString::fromLatin1(kDefaultHighLimit);
    QString low = QString::fromLatin1(kDefaultLowLimit);
    bool repeatRows = true;
    bool sampled = false;

    QString highLimit() const override { return high; }
    QString lowLimit() const override { return low; }
    bool repeat() const override { return repeatRows; }
    bool recallChecked() const override { return false; }
    QString recallInterval() const override { return {}; }
    bool samplingTimer() const override { return sampled; }
};

} // namespace dmm
