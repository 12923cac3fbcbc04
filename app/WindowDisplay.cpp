#include "WindowDisplay.h"

#include "ChartArea.h"
#include "ChartPanel.h"
#include "LimitPanel.h"
#include "uCharControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>

namespace dmm::app {

void WindowDisplay::showVerdict(const Verdict& verdict) {
    limits_.showVerdict(verdict);
}

void WindowDisplay::showPage(int page) {
    chart_.showPage(page);
}

void WindowDisplay::ShowSeries(int index) {
    chart_.pager().ShowSeries(index);
}

void WindowDisplay::SetValueAxis(double minimum, double maximum) {
    chart_.Chtshow().setValueRange(minimum, maximum);
}

void WindowDisplay::AddSeriesPoint(int index, double y) {
    chart_.pager().AddSeriesPoint(index, y);
}

void WindowDisplay::ShowChartOwnPage() {
    chart_.Bt10()->setText(QStringLiteral("1"));
}

void WindowDisplay::Beep() {
    QApplication::beep();
}

bool WindowDisplay::BtFillChecked() const {
    return chart_.BtFill()->isChecked();
}

int WindowDisplay::AddValue(double value) {
    return chart_.pager().AddValue(value);
}

} // namespace dmm::app
