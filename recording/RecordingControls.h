// What the recording rules read at the moment of each frame: in the window its fields and check
// boxes, as they are then (a limit field half edited included); elsewhere fixed settings.
#pragma once

#include <QString>

namespace dmm {

class RecordingControls {
public:
    virtual ~RecordingControls() = default;
    virtual QString highLimit() const = 0;      // the judge's high limit text
    virtual QString lowLimit() const = 0;       // the judge's low limit text
    virtual bool repeat() const = 0;            // "Repeat": record equal readings too
    virtual bool recallChecked() const = 0;     // the recall clock stamps the rows
    virtual QString recallInterval() const = 0; // the recall clock's step, seconds
    virtual bool samplingTimer() const = 0;     // "Sampling Interval": a timer records
};

} // namespace dmm
