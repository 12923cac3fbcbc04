#include "Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

// The icons live in a static library: its resource is registered by hand, once, from a function
// outside any namespace as the resource macro requires.
static void initIconResource() {
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)done;
}

namespace dmm::app {

namespace {

QPixmap blank(int w, int h) {
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

void arrowHead(QPainter& p, double x, double cy, bool right, double size) {
    const double d = right ? size : -size;
    p.drawPolygon(QPolygonF({{x, cy - size}, {x + d, cy}, {x, cy + size}}));
}

QPixmap paintTool(ToolPicture picture) {
    QPixmap pm = blank(16, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor dark(30, 30, 30);
    const QColor blue(0, 70, 160);
    switch (picture) {
    case ToolPicture::CloseData:
        p.setPen(QPen(dark, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(2.5, 1.5, 10, 13));
        p.setPen(QPen(QColor(200, 0, 0), 2));
        p.drawLine(QPointF(5, 5), QPointF(10, 11));
        p.drawLine(QPointF(10, 5), QPointF(5, 11));
        break;
    case ToolPicture::OpenFile:
        p.setPen(QPen(QColor(120, 90, 0), 1));
        p.setBrush(QColor(240, 200, 80));
        p.drawPolygon(
            QPolygonF({{1.5, 3.5}, {6, 3.5}, {7.5, 5}, {13.5, 5}, {13.5, 13.5}, {1.5, 13.5}}));
        p.setBrush(QColor(255, 225, 120));
        p.drawPolygon(QPolygonF({{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}}));
        break;
    case ToolPicture::SaveFile:
    case ToolPicture::SavePicture: {
        const bool picture2 = picture == ToolPicture::SavePicture;
        if (picture2) {
            p.setPen(QPen(dark, 1));
            p.setBrush(QColor(200, 230, 255));
            p.drawRect(QRectF(0.5, 0.5, 9, 8));
            p.setBrush(QColor(0, 150, 0));
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({{1, 8}, {4, 4}, {7, 8}}));
        }
        const QRectF disk = picture2 ? QRectF(6.5, 6.5, 9, 9) : QRectF(1.5, 1.5, 13, 13);
        p.setPen(QPen(dark, 1));
        p.setBrush(blue);
        p.drawRect(disk);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(disk.left() + disk.width() * 0.2, disk.top(), disk.width() * 0.6,
                          disk.height() * 0.4));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(disk.left() + disk.width() * 0.25, disk.top() + disk.height() * 0.6,
                          disk.width() * 0.5, disk.height() * 0.4));
        break;
    }
    case ToolPicture::Print:
        p.setPen(QPen(dark, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(170, 170, 170));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
        p.fillRect(QRectF(11.5, 8, 2, 1.5), QColor(0, 160, 0));
        break;
    case ToolPicture::First:
    case ToolPicture::Previous:
    case ToolPicture::Next:
    case ToolPicture::Last: {
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        const bool right = picture == ToolPicture::Next || picture == ToolPicture::Last;
        const bool bar = picture == ToolPicture::First || picture == ToolPicture::Last;
        const double cx = 8, cy = 8;
        arrowHead(p, right ? cx - 3.5 : cx + 3.5, cy, right, 5);
        if (bar)
            p.drawRect(right ? QRectF(cx + 2.5, cy - 5, 2, 10) : QRectF(cx - 4.5, cy - 5, 2, 10));
        break;
    }
    }
    return pm;
}

void computer(QPainter& p, const QRectF& screen, bool lit) {
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(screen.adjusted(-1.5, -1.5, 1.5, 1.5));
    p.setBrush(lit ? QColor(0, 220, 255) : QColor(20, 40, 60));
    p.drawRect(screen);
    p.setBrush(QColor(160, 160, 160));
    const double baseY = screen.bottom() + 1.5;
    p.drawRect(QRectF(screen.left() - 1, baseY + 1, screen.width() + 2, 2.5));
}

} // namespace

QIcon toolIcon(ToolPicture picture) {
    return QIcon(paintTool(picture));
}

QPixmap linkImage(bool lit) {
    QPixmap pm = blank(25, 24);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    computer(p, QRectF(2.5, 2.5, 8, 6), lit);
    computer(p, QRectF(14.5, 12.5, 8, 6), lit);
    // The cable between them.
    p.setPen(QPen(lit ? QColor(0, 150, 0) : QColor(90, 90, 90), 1.5));
    p.setBrush(Qt::NoBrush);
    QPainterPath cable;
    cable.moveTo(6.5, 13.5);
    cable.lineTo(6.5, 18);
    cable.lineTo(12, 18);
    p.drawPath(cable);
    QPainterPath cable2;
    cable2.moveTo(18.5, 10);
    cable2.lineTo(18.5, 5.5);
    cable2.lineTo(13, 5.5);
    p.drawPath(cable2);
    return pm;
}

QPixmap enlargeImage(bool enlarge) {
    QPixmap pm = blank(25, 25);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(QColor(235, 235, 235));
    p.drawRoundedRect(QRectF(0.5, 0.5, 24, 24), 3, 3);
    p.setPen(QPen(QColor(0, 70, 160), 2));
    // Four arrows along the diagonals, pointing out to the corners or in to the centre.
    const QPointF c(12.5, 12.5);
    const QPointF corners[] = {{4, 4}, {21, 4}, {4, 21}, {21, 21}};
    for (const QPointF& k : corners) {
        const QPointF inner = c + (k - c) * 0.3;
        const QPointF tip = enlarge ? k : inner;
        const QPointF tail = enlarge ? inner : k;
        p.drawLine(tail, tip);
        // The head: two strokes back along the axes from the tip.
        const double dx = tip.x() > tail.x() ? -4 : 4, dy = tip.y() > tail.y() ? -4 : 4;
        p.drawLine(tip, tip + QPointF(dx, 0));
        p.drawLine(tip, tip + QPointF(0, dy));
    }
    return pm;
}

QIcon programIcon() {
    initIconResource();
    QIcon icon;
    for (int size : kProgramIconSizes)
        icon.addFile(QStringLiteral(":/icons/dmm-interface-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace dmm::app
