// The LCD mirror: the meter's display `Panel1`, the bar graph `PBar2` under it, and the extremes
// panel `Panel3`, which the layout keeps out of sight but which the decoders keep up to date.
#pragma once

#include "Indicators.h"

class QFrame;
class QLabel;
class QProgressBar;
class QWidget;

namespace dmm::app {

class LcdPanel;

class LcdMirror {
public:
    explicit LcdMirror(QWidget* client);
    LcdMirror(const LcdMirror&) = delete;
    LcdMirror& operator=(const LcdMirror&) = delete;

    LcdPanel& Panel1() const { return *panel1_; }

    // Shows the display, the bar graph and the extremes as the LCD state has them.
    void apply(const IndicatorSet& lcd);

private:
    LcdPanel* panel1_;
    QProgressBar* pbar2_;
    QFrame* panel3_;
    QLabel* minText_;
    QLabel* maxText_;
    QLabel* minTextU_;
    QLabel* maxTextU_;
};

} // namespace dmm::app
