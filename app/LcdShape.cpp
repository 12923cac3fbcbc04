#include "LcdShape.h"

#include <QPainter>

namespace dmm::app {

LcdShape::LcdShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void LcdShape::setFill(const QColor& fill) {
    if (fill == fill_) return;
    fill_ = fill;
    update();
}

void LcdShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(fill_);
    p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace dmm::app
