#include "uCharControl.h"

#include <utility>

#include <algorithm>
#include <cmath>
#include <optional>

namespace dmm::app {

TChartControl::TChartControl(ChartSurface* chart, int pageSize, int seriesCount,
                             std::size_t maxPoints)
    : chart_(chart), maxPoints_(std::max<std::size_t>(maxPoints, 1)),
      series_(static_cast<std::size_t>(std::max(seriesCount, 1))) {
    // The stored size is 0, so this always applies (with no points yet the page count is 0).
    SetPageSize(pageSize);
    bottomMin_ = 1;
    bottomMax_ = pageSize_;
    pageCount_ = 1;
    currentPage_ = 1;
    for (Series& s : series_) s.points.push_back(0.0);
    // Series 0 is made active; the others keep their stored state, active, until the first
    // ShowSeries, so until then every series is drawn.
    series_[0].active = true;
    if (chart_) chart_->redraw(*this);
}

bool TChartControl::shiftForward() {
    std::optional<double> largest;
    const bool anyActive =
        std::any_of(series_.begin(), series_.end(), [](const Series& s) { return s.active; });
    for (const Series& s : series_)
        if ((s.active || !anyActive) && !s.points.empty())
            largest = std::max(largest.value_or(0.0), static_cast<double>(s.points.size() - 1));
    if (!largest || !(*largest > bottomMax_)) return false;
    bottomMin_ += pageSize_;
    bottomMax_ += pageSize_;
    return true;
}

bool TChartControl::shiftBackward() {
    // The initial point X 0 is in no window, so it does not count: the smallest X a window can
    // show is the first reading's, X 1. A window below it would show nothing.
    const bool anyPoints = std::any_of(series_.begin(), series_.end(),
                                       [](const Series& s) { return !s.points.empty(); });
    if (!anyPoints || !(1.0 < bottomMin_)) return false;
    bottomMin_ -= pageSize_;
    bottomMax_ -= pageSize_;
    return true;
}

void TChartControl::recomputePageCount() {
    // Pages are counted from the readings alone: the initial point would make an exact multiple
    // of the page size one page more than the window that shows the newest reading.
    const auto readings = static_cast<long long>(series_[0].points.size()) - 1;
    const long long pages = (readings + pageSize_ - 1) / pageSize_;
    pageCount_ = static_cast<int>(std::max(pages, 1LL));
}

bool TChartControl::inWindow(std::size_t x) const {
    const auto v = static_cast<double>(x);
    return v >= bottomMin_ && v <= bottomMax_;
}

std::pair<std::size_t, std::size_t> TChartControl::visibleRange(int series) const {
    const std::size_t n = pointCount(series);
    if (n == 0 || bottomMax_ < 0 || bottomMax_ < bottomMin_) return {1, 0};
    const double first = std::max(0.0, std::ceil(bottomMin_));
    const double last = std::min(static_cast<double>(n - 1), std::floor(bottomMax_));
    if (first > last) return {1, 0};
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

void TChartControl::publish(double beforeMin, double beforeMax, bool dirty) {
    if (chart_ && (dirty || beforeMin != bottomMin_ || beforeMax != bottomMax_))
        chart_->redraw(*this);
}

int TChartControl::AddValue(double value) {
    const double beforeMin = bottomMin_, beforeMax = bottomMax_;
    std::vector<std::pair<int, std::size_t>> added;
    for (std::size_t i = 0; i < series_.size(); ++i) {
        Series& s = series_[i];
        if (s.points.size() >= maxPoints_) continue;
        s.points.push_back(value);
        added.emplace_back(static_cast<int>(i), s.points.size() - 1);
    }
    recomputePageCount();
    if (!browsing_) {
        shiftForward();
        currentPage_ = pageCount_;
    }
    if (beforeMin != bottomMin_ || beforeMax != bottomMax_) {
        publish(beforeMin, beforeMax, true);
    } else if (chart_) {
        for (const auto& [series, x] : added)
            if (inWindow(x)) chart_->appended(*this, series, static_cast<int>(x), value);
    }
    return currentPage_;
}

int TChartControl::AddValues(const std::vector<double>& values) {
    const double beforeMin = bottomMin_, beforeMax = bottomMax_;
    ChartSurface* chart = std::exchange(chart_, nullptr);
    for (double v : values) AddValue(v);
    chart_ = chart;
    publish(beforeMin, beforeMax, !values.empty());
    return currentPage_;
}

void TChartControl::SetPageSize(int size) {
    // Only a paste can put a size below 1 into the page-size field; it is taken as the empty
    // or zero text is, as the default size, so the page arithmetic never divides by zero.
    if (size < 1) size = kDefaultPageSize;
    if (size == pageSize_) return;
    const double beforeMin = bottomMin_, beforeMax = bottomMax_;
    pageSize_ = size;
    bottomMin_ = 1;
    bottomMax_ = size;
    recomputePageCount();
    for (int i = 0; i < pageCount_ - 1; ++i)
        if (!shiftForward())
            break; // a refused shift changes nothing, so every later one is refused too
    currentPage_ = pageCount_;
    browsing_ = false;
    publish(beforeMin, beforeMax, false);
}

int TChartControl::FirstPage() {
    if (pageCount_ <= 1 || currentPage_ == 1) return currentPage_;
    const double beforeMin = bottomMin_, beforeMax = bottomMax_;
    for (int i = 0; i < currentPage_ - 1; ++i)
        if (!shiftBackward()) break;
    currentPage_ = 1;
    browsing_ = true;
    publish(beforeMin, beforeMax, false);
    return currentPage_;
}

int TChartControl::PreviousPage() {
    if (currentPage_ > 1) {
        const double beforeMin = bottomMin_, beforeMax = bottomMax_;
        shiftBackward();
        --currentPage_;
        browsing_ = true;
        publish(beforeMin, beforeMax, false);
    }
    return currentPage_;
}

int TChartControl::NextPage() {
    if (pageCount_ > 1 && pageCount_ != currentPage_) {
        const double beforeMin = bottomMin_, beforeMax = bottomMax_;
        shiftForward();
        ++currentPage_;
        browsing_ = currentPage_ != pageCount_;
        publish(beforeMin, beforeMax, false);
    }
    return currentPage_;
}

int TChartControl::LastPage() {
    if (pageCount_ <= 1 || pageCount_ == currentPage_) return currentPage_;
    const double beforeMin = bottomMin_, beforeMax = bottomMax_;
    for (int i = 0; i < pageCount_ - currentPage_; ++i)
        if (!shiftForward()) break;
    currentPage_ = pageCount_;
    browsing_ = false;
    publish(beforeMin, beforeMax, false);
    return currentPage_;
}

void TChartControl::SetMaximum(double value) {
    if (value == axisMaximum_) return;
    axisMaximum_ = value;
    if (chart_) chart_->setValueMaximum(value);
}

void TChartControl::SetMinimum(double value) {
    if (value == axisMinimum_) return;
    axisMinimum_ = value;
    if (chart_) chart_->setValueMinimum(value);
}

int TChartControl::ClearChart() {
    FirstPage();
    const double beforeMin = bottomMin_, beforeMax = bottomMax_;
    for (Series& s : series_) {
        s.points.clear();
        s.points.push_back(0.0);
    }
    browsing_ = false;
    // PageCount keeps its old value until the next AddValue.
    publish(beforeMin, beforeMax, true);
    return currentPage_;
}

void TChartControl::AddSeriesPoint(int series, double value) {
    if (series < 0 || series >= seriesCount()) return;
    Series& s = series_[static_cast<std::size_t>(series)];
    if (s.points.size() >= maxPoints_) return;
    s.points.push_back(value);
    if (chart_ && inWindow(s.points.size() - 1))
        chart_->appended(*this, series, static_cast<int>(s.points.size() - 1), value);
}

void TChartControl::ShowSeries(int index) {
    for (Series& s : series_) s.active = false;
    if (index >= 0 && index < seriesCount()) series_[static_cast<std::size_t>(index)].active = true;
    if (chart_) chart_->redraw(*this);
}

void TChartControl::FillSampleValues(const std::function<double()>& sample) {
    for (Series& s : series_) {
        s.points.clear();
        s.points.push_back(sample ? sample() : 0.0);
    }
    if (chart_) chart_->redraw(*this);
}

} // namespace dmm::app
