// "Tools" -> "Statistics...": a window beside the main window with the statistics of the
// recording, one row per quantity and unit seen, and of the readings on the chart page on
// screen. It follows the recording twice a second while shown; "Copy" puts its rows on the
// clipboard as tab-separated text. It only reads: closing it changes nothing recorded.
#pragma once

#include <QTimer>
#include <QWidget>

#include <cstdint>

class QTableWidget;

namespace dmm {
class ReadingsTable;
class RecordingStatistics;
class StatisticsSink;
} // namespace dmm

namespace dmm::app {

class ChartRows;
class TChartControl;

class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    StatisticsWindow(const StatisticsSink& recording, const ChartRows& chartRows,
                     const ReadingsTable& table, const TChartControl& pager, QWidget* parent);

    // Redraws if the recording or the page on screen changed since the last time.
    void refresh();
    // The figures as "Copy" puts them on the clipboard: titles, then a line per group.
    QString tabSeparated() const;

private:
    RecordingStatistics pageStatistics() const;
    void fill(const RecordingStatistics& recording, const RecordingStatistics& page);

    const StatisticsSink& recording_;
    const ChartRows& chartRows_;
    const ReadingsTable& table_;
    const TChartControl& pager_;
    QTableWidget* grid_;
    QTimer timer_;
    std::uint64_t generation_ = ~std::uint64_t{0};
    int page_ = -1;
    int pageSize_ = -1;
};

} // namespace dmm::app
