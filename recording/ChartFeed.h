// What the recorder plots each appended value on.
#pragma once

namespace dmm {

// The chart pager as the recorder needs it (implemented by the window's TChartControl).
class ChartFeed {
public:
    virtual ~ChartFeed() = default;
    // Appends a value as the next point of every chart series; returns the pager's CurrentPage,
    // which the window shows on `Bt10`.
    virtual int AddValue(double value) = 0;
};

} // namespace dmm
