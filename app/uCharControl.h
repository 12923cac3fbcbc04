// The trend chart's pager: keeps every plotted point and shows a window of PageSize points of
// it, page by page. While the user does not page, the window follows the newest point; once the
// user pages back it stays put until the last page is shown again.
//
// The points live here, not in the chart widget: a chart widget that holds a million points
// spends seconds on every point added, while one that is handed only the page on screen costs
// the same at any size. The widget is reached through ChartSurface, which also lets the paging
// rules be tested without a widget.
//
// Conventions: every series starts with one initial point (X 0, value 0) that no page window
// shows, so the n-th value added is X n. The window of page p spans X 1 + (p - 1) * PageSize to
// p * PageSize; the page count is the number of windows the readings fill, at least 1. Every
// move of the window is a shift of the bottom axis by +-PageSize under a limit check: forward
// only if the largest X of the active series (of all series when none is active) lies beyond
// the axis maximum, backward only if the first reading, X 1, lies below the axis minimum. A
// refused shift leaves the axis alone, but the operations count pages all the same.
#pragma once

#include "ChartSurface.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <vector>

namespace dmm::app {

inline constexpr int kDefaultPageSize = 100;
// The largest record limit ("limitless") is ten million rows; family Q13 also adds points for
// frames that are not recorded, so the chart needs a bound of its own. Past it a series takes
// no more points (at 8 bytes a point, two series then hold 160 MB).
inline constexpr std::size_t kMaxChartPoints = 10'000'000;
inline constexpr int kChartSeries = 2; // 0: Series2 (area), 1: Series1 (line)

class TChartControl {
public:
    // Creates the pager for `chart` (not owned; may be null) with `pageSize` points a page;
    // each series takes at most `maxPoints` points.
    TChartControl(ChartSurface* chart, int pageSize, int seriesCount = kChartSeries,
                  std::size_t maxPoints = kMaxChartPoints);
    virtual ~TChartControl() = default;

    int AddValue(double value);
    // The same as AddValue for each value in turn, with the chart told once at the end (a
    // restored recording of a million rows).
    int AddValues(const std::vector<double>& values);
    void SetPageSize(int size);
    int FirstPage();
    int PreviousPage();
    int NextPage();
    int LastPage();
    void SetMaximum(double value);
    void SetMinimum(double value);
    int ClearChart();

    // The chart control's own series operations, used by the window.
    // One point appended to one series only (family Q13's own points); the window does not move.
    void AddSeriesPoint(int series, double value);
    // `ShowSeries(index)`: every series inactive, then `index` active.
    void ShowSeries(int index);
    // The sample-data filler of the hidden "New" item: every series emptied and given one point
    // drawn by `sample`; the page counters are not touched.
    void FillSampleValues(const std::function<double()>& sample);

    int CurrentPage() const { return currentPage_; }
    int PageSize() const { return pageSize_; }
    int PageCount() const { return pageCount_; }
    bool Browsing() const { return browsing_; }
    double AxisMaximum() const { return axisMaximum_; }
    double AxisMinimum() const { return axisMinimum_; }
    double BottomMinimum() const { return bottomMin_; }
    double BottomMaximum() const { return bottomMax_; }

    int seriesCount() const { return static_cast<int>(series_.size()); }
    std::size_t pointCount(int series) const { return series_.at(series).points.size(); }
    double value(int series, std::size_t x) const { return series_.at(series).points.at(x); }
    bool isActive(int series) const { return series_.at(series).active; }
    // The first and last X of `series` inside the bottom window; first > last when none is.
    std::pair<std::size_t, std::size_t> visibleRange(int series) const;

private:
    struct Series {
        // A deque grows in small blocks: no copy of millions of points when it grows.
        std::deque<double> points;
        bool active = true;
    };

    bool shiftForward();
    bool shiftBackward();
    void recomputePageCount();
    // Tells the chart what changed since `before` (the bottom window at the start of an
    // operation): a redraw when the window moved or `dirty` is set.
    void publish(double beforeMin, double beforeMax, bool dirty);
    bool inWindow(std::size_t x) const;

    ChartSurface* chart_;
    std::size_t maxPoints_;
    std::vector<Series> series_;
    int currentPage_ = 0;
    int pageSize_ = 0;
    int pageCount_ = 0;
    bool browsing_ = false;
    double axisMaximum_ = 0;
    double axisMinimum_ = 0;
    double bottomMin_ = 0;
    double bottomMax_ = 0;
};

} // namespace dmm::app
