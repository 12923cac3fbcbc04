// The trend chart `Chtshow`: a Qt chart with the area series `Series2` (index 0) and the line
// series `Series1` (index 1), drawn from the page of points that the pager hands it, and the two
// value-axis limit fields `Edit1` and `Edit2` and the hidden combo box `ComboBox1` inside it.
#pragma once

#include "uCharControl.h"

#include <QChartView>
#include <QList>
#include <QPointF>

class QAreaSeries;
class QComboBox;
class QGraphicsRectItem;
class QLineEdit;
class QLineSeries;
class QValueAxis;

namespace dmm::app {

// More points than this in the window are thinned to the smallest and largest value of each of
// this many slices before they reach the chart widget, which slows down with every point it
// holds; a page of the default 100 points is always handed over whole.
inline constexpr std::size_t kMaxDrawnPoints = 4000;

// The value-axis limit fields' stored texts, the upper limit and its mirror below.
inline constexpr int kLimitFieldText = 30000;
// What an empty or non-numeric limit field is replaced by (the lower field by its mirror). It
// differs from the stored texts: the replacement is the upper limit rule's own value.
inline constexpr int kLimitFieldFallback = 20000;

class ChartArea : public QChartView, public ChartSurface {
    Q_OBJECT
public:
    explicit ChartArea(QWidget* parent);

    // ChartSurface
    void redraw(const TChartControl& pager) override;
    void appended(const TChartControl& pager, int series, int x, double y) override;
    void setValueMaximum(double value) override;
    void setValueMinimum(double value) override;

    // The value axis range as the decoders and start-up set it.
    void setValueRange(double minimum, double maximum);
    double valueMinimum() const;
    double valueMaximum() const;
    double bottomMinimum() const;
    double bottomMaximum() const;

    QLineEdit* edit1() const { return edit1_; }
    QLineEdit* edit2() const { return edit2_; }
    QComboBox* comboBox1() const { return combo_; }
    // The Qt series of pager series `index` (the area's upper line for index 0).
    QLineSeries* pointsOf(int index) const;
    bool seriesVisible(int index) const;

private:
    QList<QPointF> windowPoints(const TChartControl& pager, int series) const;
    void placeLeftWall();

    QLineSeries* areaUpper_ = nullptr;
    QAreaSeries* area_ = nullptr;
    QLineSeries* line_ = nullptr;
    QValueAxis* axisX_ = nullptr;
    QValueAxis* axisY_ = nullptr;
    QGraphicsRectItem* leftWall_ = nullptr;
    QLineEdit* edit1_ = nullptr;
    QLineEdit* edit2_ = nullptr;
    QComboBox* combo_ = nullptr;
    bool thinned_[kChartSeries] = {false, false};
};

} // namespace dmm::app
