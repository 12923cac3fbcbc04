#include "SegmentDigit.h"

#include "LcdInk.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <array>

namespace dmm::app {

namespace {

// Where the digit sits inside its 38 x 112 place: the glyph of the meter's digit font stands on
// the same foot as the decimal points (panel y 105..113) and leaves the annunciator row above it
// free.
constexpr QRectF kDigitBox(4, 22, 31, 70);
constexpr double kSegment = 6.0; // stroke width of a segment
constexpr double kSlant = 0.07;  // the slight forward lean of LCD digits

QPolygonF horizontal(double x1, double x2, double yc, double t) {
    const double h = t / 2;
    return QPolygonF({{x1, yc},
                      {x1 + h, yc - h},
                      {x2 - h, yc - h},
                      {x2, yc},
                      {x2 - h, yc + h},
                      {x1 + h, yc + h}});
}

QPolygonF vertical(double xc, double y1, double y2, double t) {
    const double h = t / 2;
    return QPolygonF({{xc, y1},
                      {xc + h, y1 + h},
                      {xc + h, y2 - h},
                      {xc, y2},
                      {xc - h, y2 - h},
                      {xc - h, y1 + h}});
}

// The seven segments a..g of a digit in `box`, with a hair of gap between them.
std::array<QPolygonF, 7> segments(const QRectF& box, double t) {
    const double gap = 1.0;
    const double l = box.left() + t / 2, r = box.right() - t / 2;
    const double top = box.top() + t / 2, mid = box.center().y(), bottom = box.bottom() - t / 2;
    return {horizontal(l + gap, r - gap, top, t),    vertical(r, top + gap, mid - gap, t),
            vertical(r, mid + gap, bottom - gap, t), horizontal(l + gap, r - gap, bottom, t),
            vertical(l, mid + gap, bottom - gap, t), vertical(l, top + gap, mid - gap, t),
            horizontal(l + gap, r - gap, mid, t)};
}

} // namespace

SegmentDigit::SegmentDigit(QWidget* parent, bool sign) : QWidget(parent), sign_(sign) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void SegmentDigit::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    update();
}

unsigned SegmentDigit::segmentsFor(const QString& text) {
    if (text.isEmpty()) return 0;
    //                      a=1 b=2 c=4 d=8 e=16 f=32 g=64
    switch (text.at(0).unicode()) {
    case '0':
        return 0x3F;
    case '1':
        return 0x06;
    case '2':
        return 0x5B;
    case '3':
        return 0x4F;
    case '4':
        return 0x66;
    case '5':
        return 0x6D;
    case '6':
        return 0x7D;
    case '7':
        return 0x07;
    case '8':
        return 0x7F;
    case '9':
        return 0x6F;
    case '@': // the digit font draws the L of "0L" for this character
    case 'L':
        return 0x38;
    case '-':
        return 0x40;
    case 'A':
        return 0x77;
    case 'b':
        return 0x7C;
    case 'C':
        return 0x39;
    case 'c':
        return 0x58;
    case 'd':
        return 0x5E;
    case 'E':
        return 0x79;
    case 'F':
        return 0x71;
    case 'H':
        return 0x76;
    case 'h':
        return 0x74;
    case 'n':
        return 0x54;
    case 'o':
        return 0x5C;
    case 'P':
        return 0x73;
    case 'r':
        return 0x50;
    case 't':
        return 0x78;
    case 'U':
        return 0x3E;
    case 'u':
        return 0x1C;
    default:
        return 0;
    }
}

void SegmentDigit::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Lean the digit forward about its foot.
    QTransform lean;
    lean.translate(0, kDigitBox.bottom());
    lean.shear(-kSlant, 0);
    lean.translate(0, -kDigitBox.bottom());
    p.setTransform(lean);
    if (sign_) {
        const QRectF box(3, kDigitBox.top(), width() - 6, kDigitBox.height());
        const QPolygonF minus = horizontal(box.left(), box.right(), box.center().y(), kSegment);
        p.setBrush(text_.isEmpty() ? kGhost : kInk);
        p.drawPolygon(minus);
        return;
    }
    const unsigned lit = segmentsFor(text_);
    const auto segs = segments(kDigitBox, kSegment);
    for (int i = 0; i < 7; ++i) {
        p.setBrush((lit >> i) & 1u ? kInk : kGhost);
        p.drawPolygon(segs[static_cast<std::size_t>(i)]);
    }
}

} // namespace dmm::app
