// "Tools" -> "Alarms...": the window's alarms, their window, and their count in the menu item
// and under the link tooltip.
#include "QV31F.h"

#include "AlarmsDialog.h"
#include "WindowAlarms.h"

#include <QAction>
#include <QApplication>

namespace dmm::app {

void TFCOMM::createAlarms() {
    alarms_ = std::make_unique<WindowAlarms>(*pipeline_, [] { QApplication::beep(); });
    connect(alarms_.get(), &WindowAlarms::changed, this, &TFCOMM::showAlarms);
    alarms_->load();
}

void TFCOMM::showAlarms() {
    const int active = alarms_->active();
    Alarms1->setText(active > 0 ? QStringLiteral("Alarms\u2026 (%1 active)").arg(active)
                                : QStringLiteral("Alarms\u2026"));
    setLinkNote(QStringLiteral("alarms"), alarms_->note());
}

void TFCOMM::AlarmsClick() {
    if (!alarmsDialog_) {
        alarmsDialog_ = std::make_unique<AlarmsDialog>(*alarms_, this);
        alarmsDialog_->move(frameGeometry().bottomLeft() + QPoint(0, 8));
    }
    alarmsDialog_->show();
    alarmsDialog_->raise();
}

} // namespace dmm::app
