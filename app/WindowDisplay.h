// The window's side of the recording pipeline: the chart with its pager, the page button, the
// judge panel and the beep.
#pragma once

#include "PipelineDisplay.h"

namespace dmm::app {

class ChartPanel;
class LimitPanel;

class WindowDisplay : public PipelineDisplay {
public:
    WindowDisplay(ChartPanel& chart, LimitPanel& limits) : chart_(chart), limits_(limits) {}

    void showVerdict(const Verdict& verdict) override;
    void showPage(int page) override;
    void ShowSeries(int index) override;
    void SetValueAxis(double minimum, double maximum) override;
    void AddSeriesPoint(int index, double y) override;
    void ShowChartOwnPage() override;
    void Beep() override;
    bool BtFillChecked() const override;
    int AddValue(double value) override;

private:
    ChartPanel& chart_;
    LimitPanel& limits_;
};

} // namespace dmm::app
