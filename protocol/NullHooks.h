// Decoder hooks for a meter without a window: the command-line tools, the benchmarks and the
// tests that only look at the decoded state.
#pragma once

#include "DecoderHooks.h"

namespace dmm {

// Hooks that do nothing, with the stored states of the two check boxes.
class NullHooks : public DecoderHooks {
public:
    void INDataToTable() override {}
    void JudgeReading() override {}
    void RecallStep() override {}
    void ShowSeries(int) override {}
    void SetValueAxis(double, double) override {}
    void AddSeriesPoint(int, double) override {}
    void ShowChartOwnPage() override {}
    void Beep() override {}
    bool RecordSIChecked() const override { return false; }
    bool BtFillChecked() const override { return true; }
};

} // namespace dmm
