// What the decoders reach outside the protocol core: the recorder, the limit judge, the recall
// clock, the trend chart, the beep and two check boxes of the window. The window implements this;
// tests record every call; the command-line tools use NullHooks (NullHooks.h).
#pragma once

namespace dmm {

class DecoderHooks {
public:
    virtual ~DecoderHooks() = default;

    // Offer the current reading to the readings table.
    virtual void INDataToTable() = 0;
    // Judge ValueText against the typed limits (sets Judge); family Q32 only.
    virtual void JudgeReading() = 0;
    // Advance the recall clock or take the current time into RecallStamp; family Q32 only.
    virtual void RecallStep() = 0;
    // Make chart series `index` the active one (0 area, 1 line).
    virtual void ShowSeries(int index) = 0;
    // The chart's value axis range.
    virtual void SetValueAxis(double minimum, double maximum) = 0;
    // Family Q13 adds a point of its own to a chart series (1 = Series1 line, 0 = Series2 area)...
    virtual void AddSeriesPoint(int index, double y) = 0;
    // ...and shows the chart control's own page number (always 1) on the page button.
    virtual void ShowChartOwnPage() = 0;
    // The system beep for a reading beyond the over-range limits.
    virtual void Beep() = 0;

    // After every decoded frame, once the decoder is done with it: the reading is complete.
    virtual void ReadingDecoded() {}

    // Check box "Sampling Interval": the decoder of family Q32 leaves recording to the timer.
    virtual bool RecordSIChecked() const = 0;
    // Check box "Fill": which series a range change makes active.
    virtual bool BtFillChecked() const = 0;
};

} // namespace dmm
