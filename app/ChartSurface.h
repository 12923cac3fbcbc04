#pragma once

namespace dmm::app {

class TChartControl;

// What the pager needs of the chart widget.
class ChartSurface {
public:
    virtual ~ChartSurface() = default;
    // The bottom axis window moved, the active series changed or the points in the window did:
    // draw the window [pager.BottomMinimum(), pager.BottomMaximum()] afresh.
    virtual void redraw(const TChartControl& pager) = 0;
    // One point was appended to `series` at X `x`, inside the window that is on screen.
    virtual void appended(const TChartControl& pager, int series, int x, double y) = 0;
    virtual void setValueMaximum(double value) = 0;
    virtual void setValueMinimum(double value) = 0;
};

} // namespace dmm::app
