#include "ChartArea.h"

#include "Fonts.h"
#include "Reading.h"

#include <QAreaSeries>
#include <QChart>
#include <QComboBox>
#include <QGraphicsLayout>
#include <QGraphicsRectItem>
#include <QLineEdit>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

namespace dmm::app {

ChartArea::ChartArea(QWidget* parent) : QChartView(parent) {
    setObjectName(QStringLiteral("Chtshow"));
    setFrameStyle(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setRubberBand(QChartView::NoRubberBand); // no zooming or panning by mouse
    setRenderHint(QPainter::Antialiasing, false);

    auto* c = new QChart();
    c->setObjectName(QStringLiteral("ChtshowChart"));
    c->legend()->hide();
    c->setBackgroundRoundness(0);
    c->setBackgroundBrush(QColor(0xF0, 0xF0, 0xF0));
    c->setTitle(QStringLiteral("  "));
    c->setTitleFont(uiFont(QLatin1String(kArial), 11));
    c->setTitleBrush(QColor(0, 0, 255));
    c->setPlotAreaBackgroundVisible(true);
    c->setPlotAreaBackgroundBrush(Qt::white); // the back wall
    c->setMargins(QMargins(1, 0, 4, 8));
    c->layout()->setContentsMargins(0, 0, 0, 0);
    c->setAnimationOptions(QChart::NoAnimation);

    areaUpper_ = new QLineSeries(c);
    area_ = new QAreaSeries(areaUpper_);
    area_->setObjectName(QStringLiteral("Series2"));
    area_->setName(QStringLiteral("Series2"));
    area_->setBrush(QColor(0xFF, 0xFF, 0x80));
    area_->setPen(QPen(QColor(0x00, 0x80, 0xFF), 1));
    area_->setPointsVisible(false);
    area_->setPointLabelsVisible(false);

    line_ = new QLineSeries(c);
    line_->setObjectName(QStringLiteral("Series1"));
    line_->setName(QStringLiteral("Series1"));
    line_->setPen(QPen(QColor(0x80, 0xFF, 0x00), 1));
    line_->setPointsVisible(false);
    line_->setPointLabelsVisible(false);

    c->addSeries(area_); // index 0
    c->addSeries(line_); // index 1

    axisX_ = new QValueAxis(c);
    axisX_->setObjectName(QStringLiteral("BottomAxis"));
    axisX_->setLabelFormat(QStringLiteral("%.0f"));
    axisX_->setLabelsFont(uiFont(QLatin1String(kArial), 10));
    axisX_->setRange(1, kDefaultPageSize);
    axisY_ = new QValueAxis(c);
    axisY_->setObjectName(QStringLiteral("LeftAxis"));
    axisY_->setLabelFormat(QStringLiteral("%.0f"));
    axisY_->setLabelsFont(uiFont(QLatin1String(kArial), 10));
    axisY_->setLinePen(QPen(QColor(0x00, 0x40, 0x80), 1, Qt::DashLine));
    axisY_->setMinorTickCount(4);
    // Before start-up applies the model's count profile, the axis spans the default profile's
    // full scale.
    const double span = countProfile("4").fullScale;
    axisY_->setRange(-span, span);
    c->addAxis(axisX_, Qt::AlignBottom);
    c->addAxis(axisY_, Qt::AlignLeft);
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(area_), static_cast<QAbstractSeries*>(line_)}) {
        s->attachAxis(axisX_);
        s->attachAxis(axisY_);
    }
    setChart(c);

    // The left wall: a yellow band along the plot area's left edge.
    leftWall_ = new QGraphicsRectItem(c);
    leftWall_->setBrush(QColor(0xFF, 0xFF, 0x00));
    leftWall_->setPen(Qt::NoPen);
    leftWall_->setZValue(-1);
    connect(c, &QChart::plotAreaChanged, this, [this] { placeLeftWall(); });

    edit1_ = new QLineEdit(QString::number(kLimitFieldText), this);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    edit1_->setGeometry(6, 6, 41, 22);
    edit1_->setFont(uiFont(QLatin1String(kArial), 11));
    edit2_ = new QLineEdit(QString::number(-kLimitFieldText), this);
    edit2_->setObjectName(QStringLiteral("Edit2"));
    edit2_->setGeometry(6, 258, 41, 22);
    edit2_->setFont(uiFont(QLatin1String(kArial), 11));
    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("ComboBox1"));
    combo_->setGeometry(176, 59, 65, 21);
    combo_->addItems({QStringLiteral("atile"), QStringLiteral("btile")});
    QPalette pal = combo_->palette();
    pal.setColor(QPalette::Button, QColor(0xA6, 0xCA, 0xF0));
    pal.setColor(QPalette::Base, QColor(0xA6, 0xCA, 0xF0));
    combo_->setPalette(pal);
    combo_->hide();
}

void ChartArea::placeLeftWall() {
    const QRectF plot = chart()->plotArea();
    leftWall_->setRect(QRectF(plot.left() - 4, plot.top(), 4, plot.height()));
}

QLineSeries* ChartArea::pointsOf(int index) const {
    return index == 0 ? areaUpper_ : line_;
}

bool ChartArea::seriesVisible(int index) const {
    return index == 0 ? area_->isVisible() : line_->isVisible();
}

QList<QPointF> ChartArea::windowPoints(const TChartControl& pager, int series) const {
    QList<QPointF> points;
    const auto [first, last] = pager.visibleRange(series);
    if (first > last) return points;
    const std::size_t n = last - first + 1;
    if (n <= kMaxDrawnPoints) {
        points.reserve(static_cast<qsizetype>(n));
        for (std::size_t x = first; x <= last; ++x)
            points.append(QPointF(static_cast<double>(x), pager.value(series, x)));
        return points;
    }
    // Thin a window of many points to each slice's lowest and highest point, in X order, so
    // that the curve keeps its outline.
    const std::size_t slices = kMaxDrawnPoints / 2;
    points.reserve(static_cast<qsizetype>(kMaxDrawnPoints));
    for (std::size_t s = 0; s < slices; ++s) {
        const std::size_t a = first + n * s / slices;
        const std::size_t b = first + n * (s + 1) / slices; // exclusive
        if (a >= b) continue;
        std::size_t lo = a, hi = a;
        for (std::size_t x = a; x < b; ++x) {
            const double v = pager.value(series, x);
            if (v < pager.value(series, lo)) lo = x;
            if (v > pager.value(series, hi)) hi = x;
        }
        const std::size_t p1 = std::min(lo, hi), p2 = std::max(lo, hi);
        points.append(QPointF(static_cast<double>(p1), pager.value(series, p1)));
        if (p2 != p1) points.append(QPointF(static_cast<double>(p2), pager.value(series, p2)));
    }
    return points;
}

void ChartArea::redraw(const TChartControl& pager) {
    double lo = pager.BottomMinimum(), hi = pager.BottomMaximum();
    if (hi <= lo) { // a page of one point
        lo -= 0.5;
        hi += 0.5;
    }
    axisX_->setRange(lo, hi);
    for (int i = 0; i < std::min(pager.seriesCount(), kChartSeries); ++i) {
        const bool active = pager.isActive(i);
        QAbstractSeries* shown = i == 0 ? static_cast<QAbstractSeries*>(area_) : line_;
        if (active) {
            const QList<QPointF> points = windowPoints(pager, i);
            const auto [first, last] = pager.visibleRange(i);
            thinned_[i] = first <= last && last - first + 1 > kMaxDrawnPoints;
            pointsOf(i)->replace(points);
        } else {
            pointsOf(i)->clear();
            thinned_[i] = false;
        }
        if (shown->isVisible() != active) shown->setVisible(active);
    }
}

void ChartArea::appended(const TChartControl& pager, int series, int x, double y) {
    if (series < 0 || series >= kChartSeries || !pager.isActive(series)) return;
    if (thinned_[series]) {
        redraw(pager);
        return;
    }
    pointsOf(series)->append(static_cast<double>(x), y);
    if (static_cast<std::size_t>(pointsOf(series)->count()) > kMaxDrawnPoints) redraw(pager);
}

void ChartArea::setValueMaximum(double value) {
    axisY_->setMax(value);
}
void ChartArea::setValueMinimum(double value) {
    axisY_->setMin(value);
}
void ChartArea::setValueRange(double minimum, double maximum) {
    axisY_->setRange(minimum, maximum);
}
double ChartArea::valueMinimum() const {
    return axisY_->min();
}
double ChartArea::valueMaximum() const {
    return axisY_->max();
}
double ChartArea::bottomMinimum() const {
    return axisX_->min();
}
double ChartArea::bottomMaximum() const {
    return axisX_->max();
}

} // namespace dmm::app
