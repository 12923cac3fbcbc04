// The LCD mirror panel `Panel1`: the meter's display as the decoders leave it in the
// IndicatorSet. Digit places are drawn as seven-segment digits, the decimal points as small
// squares, and every annunciator as the symbol it stands for (the meter's own LCD fonts are not
// on the system; the unit characters of their code are drawn as Ω, °C, °F, µ, a diode and a
// beeper).
#pragma once

#include "Indicators.h"
#include "LcdSymbol.h"
#include "SegmentDigit.h"

#include <QFrame>
#include <QString>
#include <QWidget>

#include <array>

namespace dmm::app {

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
