#include "LcdPanel.h"

#include "Fonts.h"
#include "UnitSymbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace dmm::app {

namespace {

// Ink of a lit element and of an unlit segment (a real LCD shows its unlit segments faintly).
const QColor kInk(0, 0, 0);
const QColor kGhost(236, 236, 236);

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

// --- SegmentDigit ---------------------------------------------------------------------------

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

// --- LcdSymbol ------------------------------------------------------------------------------

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

// --- LcdPanel -------------------------------------------------------------------------------

namespace {

struct ElementDef {
    Ind ind;
    LcdSymbol::Shape shape;
    const char* caption; // UTF-8; a unit character of the annunciator code is translated
    const char* family;
    int px;
    bool bold;
    int x, y, w, h;
    bool opaque;
    Qt::Alignment align = Qt::AlignCenter;
};

using S = LcdSymbol::Shape;
const char* const A2 = kLcdSymbolFont;
const char* const AR = kArial;

// Captions whose neighbour on one side may be lit with them stand against the other side (on
// the bottom line, for prefixes and units of different sizes): the places overlap, and with the
// fonts at hand centred captions would run into each other ("kHz", "DC" and "TRMS").
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeftFoot = Qt::AlignLeft | Qt::AlignBottom;
constexpr Qt::Alignment kRightFoot = Qt::AlignRight | Qt::AlignBottom;

// Places relative to the panel, as the meter's display has them: the digit places 48 pixels
// apart with their decimal points at their feet, the mode annunciators above the digits and the
// prefix and unit annunciators stacked at the right edge, several on one spot.
const ElementDef kElements[] = {
    {Ind::LcdP0, S::Point, "", A2, 0, false, 78, 105, 7, 8, false},
    {Ind::LcdP1, S::Point, "", A2, 0, false, 127, 105, 7, 8, false},
    {Ind::LcdP2, S::Point, "", A2, 0, false, 175, 105, 7, 8, false},
    {Ind::LcdP3, S::Point, "", A2, 0, false, 224, 105, 7, 8, false},
    {Ind::LcdAuto, S::Text, "AUTO", A2, 19, true, 8, 11, 58, 21, false},
    {Ind::LCDHold, S::Hold, "\"", A2, 35, false, 8, 30, 19, 39, false},
    {Ind::LCDBATT, S::Battery, "$", A2, 35, false, 8, 80, 12, 39, false},
    {Ind::LCDRS, S::Text, "RS", A2, 19, true, 70, 11, 29, 21, true},
    {Ind::LcdACDC, S::Text, "AC+DC", AR, 16, true, 77, 14, 56, 19, false},
    {Ind::LCD232C, S::Text, "232C", AR, 14, true, 98, 15, 34, 16, true},
    {Ind::LCDBF, S::Text, "%", A2, 24, false, 136, 8, 21, 27, false},
    {Ind::LCDRec, S::Rec, "!", A2, 32, false, 160, 3, 19, 36, false},
    {Ind::LcdAC, S::Text, "AC", A2, 20, true, 182, 14, 29, 22, false},
    {Ind::LCDJa, S::Text, "+", AR, 21, false, 211, 13, 12, 24, false},
    {Ind::LcdDc1, S::Text, "DC", A2, 20, true, 223, 14, 30, 22, false, kLeft},
    {Ind::LCDTRMST, S::Text, "T", A2, 19, true, 253, 13, 13, 21, false, kRight},
    {Ind::LCDTRMS, S::Text, "RMS", A2, 12, true, 264, 19, 30, 14, false},
    {Ind::LcdRPM, S::Text, "RPM", A2, 19, true, 286, 11, 46, 21, false},
    {Ind::LCDBT, S::Text, "(", A2, 35, false, 288, 25, 11, 39, false},
    {Ind::LCDFm, S::Continuity, "&", A2, 32, false, 296, 31, 25, 36, false},
    {Ind::LCDDI, S::Diode, ")", A2, 29, false, 296, 33, 31, 32, false},
    {Ind::LCDCS, S::Text, "#", A2, 32, false, 304, 33, 24, 36, false},
    {Ind::LCDFS, S::Text, "?", A2, 32, false, 304, 33, 23, 36, false},
    {Ind::LCDohm, S::Text, "*", A2, 29, false, 304, 54, 19, 32, false},
    {Ind::LCDk, S::Text, "k", A2, 22, false, 286, 55, 14, 30, false, kLeftFoot},
    {Ind::LCDM1, S::Text, "M", A2, 22, false, 278, 57, 20, 27, false, kLeftFoot},
    {Ind::LCDHz, S::Text, "Hz", A2, 22, false, 296, 58, 29, 27, false, kRightFoot},
    {Ind::LCDu, S::Text, "u", A2, 26, false, 288, 75, 16, 36, false, kLeft},
    {Ind::Lcdm, S::Text, "m", A2, 24, false, 280, 81, 20, 27, false},
    {Ind::LCDn, S::Text, "n", A2, 24, false, 288, 82, 13, 27, false},
    {Ind::LCDA, S::Text, "A", A2, 24, false, 304, 82, 16, 27, false},
    {Ind::LCDF, S::Text, "F", A2, 24, false, 304, 82, 15, 27, false},
    {Ind::LcdV, S::Text, "V", A2, 24, false, 304, 83, 16, 27, false},
    {Ind::lcdW, S::Text, "W", A2, 19, true, 296, 99, 19, 21, false},
};

} // namespace

LcdPanel::LcdPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel1"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    setPalette(pal);

    auto* sign = new SegmentDigit(this, true);
    sign->setObjectName(QStringLiteral("LcdFH"));
    sign->setGeometry(5, 20, 26, 112);
    sign->setText(QStringLiteral("-"));
    elements_[static_cast<std::size_t>(Ind::LcdFH)] = sign;
    static constexpr int digitLeft[kDigitPlaces] = {40, 88, 136, 184, 232};
    for (int i = 0; i < static_cast<int>(kDigitPlaces); ++i) {
        auto* d = new SegmentDigit(this, false);
        d->setObjectName(QLatin1String(indicatorName(digitPlace(i))));
        d->setGeometry(digitLeft[i], 20, 38, 112);
        digits_[static_cast<std::size_t>(i)] = d;
        elements_[static_cast<std::size_t>(i)] = d;
    }
    for (const ElementDef& e : kElements) {
        QString caption = QString::fromUtf8(e.caption);
        if (e.shape == S::Text && e.family == A2)
            caption = unitSymbols(caption); // "*" -> Ω, "#" -> °C, "?" -> °F, "u" -> µ
        auto* w =
            new LcdSymbol(this, e.shape, caption,
                          uiFont(QLatin1String(e.family), e.px > 0 ? e.px : 12, e.bold), e.opaque);
        w->setAlignment(e.align);
        w->setObjectName(QLatin1String(indicatorName(e.ind)));
        w->setGeometry(e.x, e.y, e.w, e.h);
        w->hide();
        elements_[static_cast<std::size_t>(e.ind)] = w;
    }
    // The points and digits lie over the annunciators' row edges: digits first, points on top.
    for (SegmentDigit* d : digits_) d->lower();
    sign->lower();
    apply(IndicatorSet{});
}

void LcdPanel::apply(const IndicatorSet& lcd) {
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        QWidget* w = elements_[i];
        if (!w) continue;
        const Ind ind = static_cast<Ind>(i);
        if (isDigitPlace(ind))
            static_cast<SegmentDigit*>(w)->setText(QString::fromStdString(lcd.digit(ind)));
        if (w->isVisibleTo(this) != lcd.on(ind)) w->setVisible(lcd.on(ind));
    }
}

} // namespace dmm::app
