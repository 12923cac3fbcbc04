// The LCD mirror panel `Panel1`: the meter's display as the decoders leave it in the
// IndicatorSet. Digit places are drawn as seven-segment digits, the decimal points as small
// squares, and every annunciator as the symbol it stands for (the meter's own LCD fonts are not
// on the system; the unit characters of their code are drawn as Ω, °C, °F, µ, a diode and a
// beeper).
#pragma once

#include "Indicators.h"

#include <QFrame>
#include <QString>
#include <QWidget>

#include <array>

namespace dmm::app {

// One digit place (or, with `sign`, the minus sign `LcdFH`). Texts: "0"-"9", "@" (the L of an
// overload display), a few letters a seven-segment digit can show, or empty: a dark place.
class SegmentDigit : public QWidget {
    Q_OBJECT
public:
    SegmentDigit(QWidget* parent, bool sign);
    void setText(const QString& text);
    const QString& text() const { return text_; }
    // The segments a..g (bit 0 = a) lit for a text; 0 for a dark place.
    static unsigned segmentsFor(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString text_;
    bool sign_;
};

// An annunciator: a caption drawn in a font, or a drawn symbol.
class LcdSymbol : public QWidget {
    Q_OBJECT
public:
    enum class Shape { Text, Point, Battery, Continuity, Diode, Hold, Rec };
    LcdSymbol(QWidget* parent, Shape shape, const QString& caption, const QFont& font, bool opaque);
    Shape shape() const { return shape_; }
    const QString& caption() const { return caption_; }
    // Where a caption sits in its place: centred, or against the side away from a neighbour
    // that is lit with it, so that the two read apart.
    void setAlignment(Qt::Alignment alignment) { alignment_ = alignment; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Shape shape_;
    QString caption_;
    bool opaque_;
    Qt::Alignment alignment_ = Qt::AlignCenter;
};

class LcdPanel : public QFrame {
    Q_OBJECT
public:
    explicit LcdPanel(QWidget* parent);

    // Shows the panel's elements as `lcd` has them (CONok, CONokN and the bar graph are not on
    // this panel; the window shows them).
    void apply(const IndicatorSet& lcd);

    // The widget of an element of this panel; null for CONok and CONokN.
    QWidget* element(Ind i) const { return elements_[static_cast<std::size_t>(i)]; }
    SegmentDigit* digit(int place) const { return digits_[static_cast<std::size_t>(place)]; }

private:
    std::array<QWidget*, kIndicatorCount> elements_{};
    std::array<SegmentDigit*, kDigitPlaces> digits_{};
};

} // namespace dmm::app
