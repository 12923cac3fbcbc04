// The chart pager's paging rules on a fake chart: window moves under the limit check, page
// counting, browsing, page size changes, clearing, value-axis limits and the point bound.
#include "uCharControl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using dmm::app::ChartSurface;
using dmm::app::TChartControl;

namespace {

class FakeChart : public ChartSurface {
public:
    int redraws = 0;
    double shownMin = 0, shownMax = 0;
    std::vector<std::pair<int, int>> appends; // series, x
    std::vector<std::string> valueAxis;

    void redraw(const TChartControl& p) override {
        ++redraws;
        shownMin = p.BottomMinimum();
        shownMax = p.BottomMaximum();
    }
    void appended(const TChartControl&, int series, int x, double) override {
        appends.emplace_back(series, x);
    }
    void setValueMaximum(double v) override {
        valueAxis.push_back("max " + std::to_string(int(v)));
    }
    void setValueMinimum(double v) override {
        valueAxis.push_back("min " + std::to_string(int(v)));
    }
};

void add(TChartControl& p, int n) {
    for (int i = 0; i < n; ++i) p.AddValue(i % 7);
}

struct Window {
    double min, max;
};

void expectWindow(const TChartControl& p, Window w) {
    EXPECT_EQ(p.BottomMinimum(), w.min);
    EXPECT_EQ(p.BottomMaximum(), w.max);
}

} // namespace

TEST(Pager, StartsOnPageOneWithTheInitialPointOutOfSight) {
    FakeChart chart;
    TChartControl p(&chart, 100);
    EXPECT_EQ(p.PageSize(), 100);
    EXPECT_EQ(p.PageCount(), 1);
    EXPECT_EQ(p.CurrentPage(), 1);
    EXPECT_FALSE(p.Browsing());
    expectWindow(p, {1, 100});
    ASSERT_EQ(p.seriesCount(), 2);
    EXPECT_EQ(p.pointCount(0), 1u);
    EXPECT_EQ(p.pointCount(1), 1u);
    EXPECT_TRUE(p.isActive(0));
    EXPECT_TRUE(p.isActive(1)); // both drawn until the first ShowSeries
    const auto [first, last] = p.visibleRange(0);
    EXPECT_GT(first, last); // X 0 lies below every window

    EXPECT_EQ(p.AddValue(42), 1);
    EXPECT_EQ(p.value(0, 1), 42);
    EXPECT_EQ(p.value(1, 1), 42);
    ASSERT_EQ(chart.appends.size(), 2u);
    EXPECT_EQ(chart.appends[0], std::make_pair(0, 1));
    EXPECT_EQ(chart.appends[1], std::make_pair(1, 1));
}

// Rows: readings added from the start, then the page count, the page shown and the window.
struct FollowCase {
    int readings;
    int pageCount;
    int currentPage;
    Window window;
};

class PagerFollowing : public ::testing::TestWithParam<FollowCase> {};

TEST_P(PagerFollowing, FollowsTheNewestPoint) {
    const FollowCase& c = GetParam();
    TChartControl p(nullptr, 100);
    add(p, c.readings);
    EXPECT_EQ(p.PageCount(), c.pageCount);
    EXPECT_EQ(p.CurrentPage(), c.currentPage);
    EXPECT_FALSE(p.Browsing());
    expectWindow(p, c.window);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, PagerFollowing,
    ::testing::Values(FollowCase{0, 1, 1, {1, 100}}, FollowCase{1, 1, 1, {1, 100}},
                      FollowCase{99, 1, 1, {1, 100}},
                      // Pages are counted from the readings: 100 readings fill one page.
                      FollowCase{100, 1, 1, {1, 100}}, FollowCase{101, 2, 2, {101, 200}},
                      FollowCase{200, 2, 2, {101, 200}}, FollowCase{450, 5, 5, {401, 500}}));

// At an exact multiple of the page size the page button names the page shown, and every paging
// command shows a window with readings in it.
struct MultipleCase {
    int readings;
    int pageSize;
    int pageCount;
    Window last; // the window shown while following
};

class PagerExactMultiples : public ::testing::TestWithParam<MultipleCase> {};

TEST_P(PagerExactMultiples, PagesAreCountedFromTheReadings) {
    const MultipleCase& c = GetParam();
    TChartControl p(nullptr, c.pageSize);
    add(p, c.readings);
    EXPECT_EQ(p.PageCount(), c.pageCount);
    EXPECT_EQ(p.CurrentPage(), c.pageCount);
    expectWindow(p, c.last);
    EXPECT_EQ(p.FirstPage(), 1);
    expectWindow(p, {1, double(c.pageSize)});
    EXPECT_EQ(p.PreviousPage(), 1);
    expectWindow(p, {1, double(c.pageSize)});
    EXPECT_EQ(p.LastPage(), c.pageCount);
    expectWindow(p, c.last);
    EXPECT_EQ(p.NextPage(), c.pageCount);
    expectWindow(p, c.last);
    // Back page by page to the first: never a window without readings.
    while (p.CurrentPage() > 1) {
        p.PreviousPage();
        EXPECT_GE(p.BottomMinimum(), 1);
        EXPECT_LE(p.BottomMinimum(), c.readings);
    }
    expectWindow(p, {1, double(c.pageSize)});
}

INSTANTIATE_TEST_SUITE_P(Readings, PagerExactMultiples,
                         ::testing::Values(MultipleCase{100, 100, 1, {1, 100}},
                                           MultipleCase{300, 100, 3, {201, 300}},
                                           MultipleCase{30000, 100, 300, {29901, 30000}},
                                           MultipleCase{10000, 10000, 1, {1, 10000}},
                                           MultipleCase{20000, 10000, 2, {10001, 20000}},
                                           MultipleCase{10, 1, 10, {10, 10}}));

TEST(Pager, BrowsingKeepsTheWindowUntilTheLastPage) {
    FakeChart chart;
    TChartControl p(&chart, 100);
    add(p, 450); // 5 pages, window 401..500
    EXPECT_EQ(p.PreviousPage(), 4);
    EXPECT_EQ(p.PreviousPage(), 3);
    EXPECT_TRUE(p.Browsing());
    expectWindow(p, {201, 300});
    EXPECT_EQ(chart.shownMin, 201);

    chart.appends.clear();
    add(p, 60); // 511 points: six pages
    EXPECT_EQ(p.PageCount(), 6);
    EXPECT_EQ(p.CurrentPage(), 3);
    expectWindow(p, {201, 300});
    EXPECT_TRUE(chart.appends.empty()); // nothing new lies in the window on screen

    EXPECT_EQ(p.LastPage(), 6);
    EXPECT_FALSE(p.Browsing());
    expectWindow(p, {501, 600});
    add(p, 90); // X 600 is the last point of the window
    expectWindow(p, {501, 600});
    p.AddValue(1); // X 601 is beyond it: following again
    expectWindow(p, {601, 700});
    EXPECT_EQ(p.CurrentPage(), 7);
}

TEST(Pager, NextPageReachingTheLastPageEndsBrowsing) {
    TChartControl p(nullptr, 100);
    add(p, 450);
    p.PreviousPage();
    p.PreviousPage();
    EXPECT_EQ(p.NextPage(), 4);
    EXPECT_TRUE(p.Browsing());
    expectWindow(p, {301, 400});
    EXPECT_EQ(p.NextPage(), 5);
    EXPECT_FALSE(p.Browsing());
    expectWindow(p, {401, 500});
    // Already on the last page: nothing changes.
    EXPECT_EQ(p.NextPage(), 5);
    EXPECT_FALSE(p.Browsing());
}

TEST(Pager, CommandsThatCannotMoveChangeNothing) {
    FakeChart chart;
    TChartControl p(&chart, 100);
    add(p, 50);
    const int redraws = chart.redraws;
    EXPECT_EQ(p.FirstPage(), 1);
    EXPECT_FALSE(p.Browsing());
    EXPECT_EQ(p.PreviousPage(), 1);
    EXPECT_FALSE(p.Browsing());
    EXPECT_EQ(p.NextPage(), 1);
    EXPECT_EQ(p.LastPage(), 1);
    EXPECT_FALSE(p.Browsing());
    expectWindow(p, {1, 100});
    EXPECT_EQ(chart.redraws, redraws);

    add(p, 200); // 3 pages
    p.FirstPage();
    EXPECT_TRUE(p.Browsing());
    expectWindow(p, {1, 100});
    EXPECT_EQ(p.FirstPage(), 1); // on page 1 already: Browsing stays as it was
    EXPECT_TRUE(p.Browsing());
    EXPECT_EQ(p.PreviousPage(), 1);
    EXPECT_TRUE(p.Browsing());
}

TEST(Pager, PageSizeChangeShowsTheLastPage) {
    FakeChart chart;
    TChartControl p(&chart, 100);
    add(p, 230); // 231 points
    p.FirstPage();
    ASSERT_TRUE(p.Browsing());
    p.SetPageSize(50);
    EXPECT_EQ(p.PageSize(), 50);
    EXPECT_EQ(p.PageCount(), 5);
    EXPECT_EQ(p.CurrentPage(), 5);
    EXPECT_FALSE(p.Browsing());
    expectWindow(p, {201, 250});
    EXPECT_EQ(chart.shownMin, 201);
    EXPECT_EQ(chart.shownMax, 250);

    // The same size again does nothing, even while browsing.
    p.FirstPage();
    p.SetPageSize(50);
    EXPECT_TRUE(p.Browsing());
    expectWindow(p, {1, 50});
}

TEST(Pager, PageSizeBelowOneIsTheDefaultSize) {
    for (int size : {0, -1, -50}) {
        TChartControl p(nullptr, 100);
        add(p, 230);
        p.SetPageSize(10);
        p.SetPageSize(size);
        EXPECT_EQ(p.PageSize(), 100) << size;
        EXPECT_EQ(p.PageCount(), 3) << size;
        expectWindow(p, {201, 300});
        TChartControl q(nullptr, size);
        EXPECT_EQ(q.PageSize(), 100) << size;
        expectWindow(q, {1, 100});
    }
}

TEST(Pager, ClearChartKeepsThePageCountUntilTheNextValue) {
    FakeChart chart;
    TChartControl p(&chart, 100);
    add(p, 450);
    EXPECT_EQ(p.ClearChart(), 1);
    expectWindow(p, {1, 100});
    EXPECT_EQ(p.CurrentPage(), 1);
    EXPECT_EQ(p.PageCount(), 5);
    EXPECT_FALSE(p.Browsing());
    EXPECT_EQ(p.pointCount(0), 1u);
    EXPECT_EQ(p.pointCount(1), 1u);
    EXPECT_EQ(p.AddValue(7), 1);
    EXPECT_EQ(p.PageCount(), 1);
    EXPECT_EQ(p.value(0, 1), 7);
}

TEST(Pager, ValueAxisLimitsApplyOnlyWhenChanged) {
    FakeChart chart;
    TChartControl p(&chart, 100);
    p.SetMaximum(0); // equals the starting AxisMaximum: no effect
    p.SetMinimum(0);
    EXPECT_TRUE(chart.valueAxis.empty());
    p.SetMaximum(5000);
    p.SetMaximum(5000);
    p.SetMinimum(-300);
    EXPECT_EQ(chart.valueAxis, (std::vector<std::string>{"max 5000", "min -300"}));
    EXPECT_EQ(p.AxisMaximum(), 5000);
    EXPECT_EQ(p.AxisMinimum(), -300);
}

TEST(Pager, LimitCheckLooksAtTheActiveSeriesOnly) {
    TChartControl p(nullptr, 100);
    p.ShowSeries(1);
    EXPECT_FALSE(p.isActive(0));
    EXPECT_TRUE(p.isActive(1));
    // Points of the area series alone (as family Q13 adds them) do not move the window...
    for (int i = 0; i < 150; ++i) p.AddSeriesPoint(0, i);
    EXPECT_EQ(p.pointCount(0), 151u);
    EXPECT_EQ(p.pointCount(1), 1u);
    // ...and the page count, counted from series 0, runs ahead: the refused shift leaves the
    // window, but the page is counted all the same.
    p.AddValue(1);
    EXPECT_EQ(p.PageCount(), 2);
    EXPECT_EQ(p.CurrentPage(), 2);
    expectWindow(p, {1, 100});
    // With the area series active the check sees its points.
    p.ShowSeries(0);
    EXPECT_EQ(p.NextPage(), 2); // already the last page by count
    // The window and the page number went apart: a page back is counted, but the window does
    // not move below the first reading...
    EXPECT_EQ(p.PreviousPage(), 1);
    expectWindow(p, {1, 100});
    // ...and a page forward moves it to the points beyond it.
    EXPECT_EQ(p.NextPage(), 2);
    expectWindow(p, {101, 200});
}

TEST(Pager, ForwardShiftOnNextPageIsCheckedAgainstTheWindow) {
    TChartControl p(nullptr, 100);
    add(p, 450);
    p.FirstPage();
    expectWindow(p, {1, 100});
    p.NextPage();
    expectWindow(p, {101, 200});
    EXPECT_EQ(p.CurrentPage(), 2);
}

TEST(Pager, PointStorageIsBounded) {
    TChartControl p(nullptr, 100, 2, 500);
    add(p, 600);
    EXPECT_EQ(p.pointCount(0), 500u);
    EXPECT_EQ(p.pointCount(1), 500u);
    EXPECT_EQ(p.PageCount(), 5);
    EXPECT_EQ(p.CurrentPage(), 5);
    p.AddSeriesPoint(1, 3);
    EXPECT_EQ(p.pointCount(1), 500u);
}

TEST(Pager, OnlyPointsInsideTheWindowReachTheChart) {
    FakeChart chart;
    TChartControl p(&chart, 10);
    add(p, 10);
    EXPECT_EQ(chart.appends.size(), 20u); // X 1..10, both series
    const int redraws = chart.redraws;
    p.AddValue(3); // X 11: the window moves, one redraw instead of an append
    EXPECT_EQ(chart.appends.size(), 20u);
    EXPECT_EQ(chart.redraws, redraws + 1);
    EXPECT_EQ(chart.shownMin, 11);
    p.FirstPage();
    const auto appends = chart.appends.size();
    p.AddSeriesPoint(0, 1); // X 12, beyond the window of page 1
    EXPECT_EQ(chart.appends.size(), appends);
    const auto [first, last] = p.visibleRange(0);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(last, 10u);
}

TEST(Pager, SampleValuesLeaveTheCounters) {
    TChartControl p(nullptr, 100);
    add(p, 250);
    p.FillSampleValues([] { return 17.0; });
    EXPECT_EQ(p.pointCount(0), 1u);
    EXPECT_EQ(p.pointCount(1), 1u);
    EXPECT_EQ(p.value(0, 0), 17);
    EXPECT_EQ(p.PageCount(), 3);
    EXPECT_EQ(p.CurrentPage(), 3);
}
