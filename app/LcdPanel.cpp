#include "LcdPanel.h"

#include "Fonts.h"
#include "UnitSymbols.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace dmm::app {

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
