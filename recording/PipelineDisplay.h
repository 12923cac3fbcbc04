// The window's side of the pipeline: the chart, the judge panel and the beep, which a program
// without a window does without.
#pragma once

#include "ChartFeed.h"
#include "LimitJudge.h"

namespace dmm {

class PipelineDisplay : public ChartFeed {
public:
    // The judge panel shows a verdict.
    virtual void showVerdict(const Verdict& verdict) = 0;
    // The pager's page after a recorded row.
    virtual void showPage(int page) = 0;
    // The decoders' calls to the chart (see DecoderHooks).
    virtual void ShowSeries(int index) = 0;
    virtual void SetValueAxis(double minimum, double maximum) = 0;
    virtual void AddSeriesPoint(int index, double y) = 0;
    virtual void ShowChartOwnPage() = 0;
    virtual void Beep() = 0;
    virtual bool BtFillChecked() const = 0;
};

} // namespace dmm
