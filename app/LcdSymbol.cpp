#include "LcdSymbol.h"

#include "LcdInk.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace dmm::app {

LcdSymbol::LcdSymbol(QWidget* parent, Shape shape, const QString& caption, const QFont& font,
                     bool opaque)
    : QWidget(parent), shape_(shape), caption_(caption), opaque_(opaque) {
    setFont(font);
    if (!opaque) setAttribute(Qt::WA_TranslucentBackground);
}

void LcdSymbol::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    if (opaque_) p.fillRect(rect(), palette().color(QPalette::Base));
    p.setPen(QPen(kInk, 2));
    p.setBrush(Qt::NoBrush);
    switch (shape_) {
    case Shape::Text: {
        // The caption at its font size, shrunk until it fits its place.
        QFont f = font();
        int px = f.pixelSize() > 0 ? f.pixelSize() : 12;
        for (; px > 6; --px) {
            f.setPixelSize(px);
            const QFontMetricsF m(f);
            if (m.horizontalAdvance(caption_) <= r.width() + 1 && m.capHeight() <= r.height())
                break;
        }
        p.setFont(f);
        p.setPen(kInk);
        p.drawText(r, alignment_, caption_);
        break;
    }
    case Shape::Point:
        p.fillRect(rect(), kInk);
        break;
    case Shape::Battery: {
        // An upright battery: a nub on top, a body with a low charge.
        const double w = r.width() - 2, x = 1, top = r.height() * 0.25, h = r.height() * 0.5;
        p.setPen(QPen(kInk, 1.5));
        p.drawRect(QRectF(x, top, w, h));
        p.fillRect(QRectF(x + w * 0.3, top - 3, w * 0.4, 3), kInk);
        p.fillRect(QRectF(x + 2, top + h * 0.65, w - 4, h * 0.35 - 2), kInk);
        break;
    }
    case Shape::Continuity: {
        // The beeper: a dot sending out sound waves.
        const double cy = r.height() * 0.5, x = 3;
        p.setBrush(kInk);
        p.drawEllipse(QPointF(x + 2, cy), 2.5, 2.5);
        p.setBrush(Qt::NoBrush);
        for (int i = 1; i <= 3; ++i) {
            const double rad = 4.5 * i;
            p.drawArc(QRectF(x + 2 - rad, cy - rad, 2 * rad, 2 * rad), -45 * 16, 90 * 16);
        }
        break;
    }
    case Shape::Diode: {
        // The diode: a triangle pointing at its bar, on a line.
        const double cy = r.height() * 0.5, l = 2, rr = r.width() - 3, tw = (rr - l) * 0.55;
        const double tx = l + (rr - l - tw) / 2, half = r.height() * 0.22;
        p.drawLine(QPointF(l, cy), QPointF(rr, cy));
        p.setBrush(kInk);
        p.drawPolygon(QPolygonF({{tx, cy - half}, {tx + tw, cy}, {tx, cy + half}}));
        p.drawLine(QPointF(tx + tw, cy - half), QPointF(tx + tw, cy + half));
        break;
    }
    case Shape::Hold: {
        // Data hold: an "H" in a frame.
        const QRectF box(1.5, r.height() * 0.25, r.width() - 3, r.height() * 0.5);
        p.setPen(QPen(kInk, 1.5));
        p.drawRoundedRect(box, 2, 2);
        QFont f = font();
        f.setPixelSize(static_cast<int>(box.height() * 0.8));
        f.setBold(true);
        p.setFont(f);
        p.drawText(box, Qt::AlignCenter, QStringLiteral("H"));
        break;
    }
    case Shape::Rec: {
        // REC: a recording dot over the letters.
        p.setBrush(kInk);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(r.width() / 2, r.height() * 0.33), 3.5, 3.5);
        QFont f = font();
        f.setPixelSize(8);
        f.setBold(true);
        p.setFont(f);
        p.setPen(kInk);
        p.drawText(QRectF(0, r.height() * 0.45, r.width(), r.height() * 0.4), Qt::AlignCenter,
                   QStringLiteral("REC"));
        break;
    }
    }
}

} // namespace dmm::app
