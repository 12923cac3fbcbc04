#include "LcdMirror.h"

#include "Controls.h"
#include "Fonts.h"
#include "LcdPanel.h"
#include "UnitSymbols.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>

namespace dmm::app {

namespace {

void setTextIfChanged(QLabel* label, const QString& text) {
    if (label->text() != text) label->setText(text);
}

} // namespace

LcdMirror::LcdMirror(QWidget* client) {
    // The extremes panel, right of the client area and hidden.
    panel3_ = named(new QFrame(client), "Panel3");
    panel3_->setGeometry(842, 134, 338, 47);
    const QFont a2 = uiFont(QLatin1String(kLcdSymbolFont), 12, true);
    makeLabel(panel3_, "Label6", QStringLiteral("MIN: "), 4, 4, a2);
    makeLabel(panel3_, "Label7", QStringLiteral("MAX: "), 170, 4, a2);
    minText_ = makeLabel(panel3_, "MinText", QStringLiteral("40001"), 44, 2,
                         uiFont(QLatin1String(kArial), 14, false, true));
    maxText_ = makeLabel(panel3_, "MaxText", QStringLiteral("-40001"), 210, 2,
                         uiFont(QLatin1String(kArial), 14, false, true));
    minTextU_ = makeLabel(panel3_, "MinTextU", QStringLiteral("Ω"), 120, 2,
                          uiFont(QLatin1String(kLcdSymbolFont), 14));
    maxTextU_ = makeLabel(panel3_, "MaxTextU", QStringLiteral("Ω"), 290, 2,
                          uiFont(QLatin1String(kLcdSymbolFont), 14));
    panel3_->hide();

    panel1_ = new LcdPanel(client);
    panel1_->setGeometry(4, 29, 334, 136);
    pbar2_ = named(new QProgressBar(client), "PBar2");
    pbar2_->setGeometry(3, 167, 334, 17);
    pbar2_->setRange(0, 40);
    pbar2_->setValue(20);
    pbar2_->setTextVisible(false);
}

void LcdMirror::apply(const IndicatorSet& lcd) {
    panel1_->apply(lcd);
    if (pbar2_->maximum() != lcd.barMaximum()) pbar2_->setMaximum(lcd.barMaximum());
    if (pbar2_->value() != lcd.barPosition()) pbar2_->setValue(lcd.barPosition());
    setTextIfChanged(maxText_, QString::fromStdString(lcd.maxText));
    setTextIfChanged(minText_, QString::fromStdString(lcd.minText));
    setTextIfChanged(maxTextU_, unitSymbols(lcd.maxTextU));
    setTextIfChanged(minTextU_, unitSymbols(lcd.minTextU));
}

} // namespace dmm::app
