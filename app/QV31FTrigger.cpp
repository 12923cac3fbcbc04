// Recording start and stop: "Tools" -> "Recording start and stop...", the arming at a connect,
// and the trigger's state in the menu item's text and under the link image's tooltip.
#include "QV31F.h"

#include "LinkControl.h"
#include "RecordingTriggerDialog.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace dmm::app {

namespace {

QString triggerItem() {
    return QStringLiteral("Recording start and stop\u2026");
}

} // namespace

void TFCOMM::buildTriggerItem(QMenu* tools) {
    RecordingTrigger1 = tools->addAction(triggerItem());
    RecordingTrigger1->setObjectName(QStringLiteral("RecordingTrigger1"));
    connect(RecordingTrigger1, &QAction::triggered, this, &TFCOMM::RecordingTriggerClick);
    // A stop by time comes due also while no reading comes.
    auto* tick = new QTimer(this);
    tick->setObjectName(QStringLiteral("TriggerTimer"));
    connect(tick, &QTimer::timeout, this, [this] { pipeline_->triggerTick(); });
    tick->start(1000);
}

void TFCOMM::watchTrigger() {
    pipeline_->onTriggerState([this](const QString& state) {
        RecordingTrigger1->setText(state.isEmpty() ? triggerItem()
                                                   : triggerItem() + QStringLiteral(" (") + state +
                                                         QLatin1Char(')'));
        setLinkNote(QStringLiteral("trigger"),
                    state.isEmpty() ? QString() : QStringLiteral("Recording: ") + state);
    });
}

void TFCOMM::RecordingTriggerClick() {
    const RecordingTrigger* current = pipeline_->trigger();
    RecordingTriggerDialog dialog(current ? current->settings() : TriggerSettings{}, this);
    if (dialog.exec() != QDialog::Accepted) return;
    setTrigger(dialog.settings());
}

void TFCOMM::setTrigger(const TriggerSettings& settings) {
    pipeline_->setTrigger(settings);
    // Set while the link is up, it waits from now; otherwise from the next connect.
    if (START1->isChecked() || link_->USBCon()->isChecked()) pipeline_->armTrigger();
}

} // namespace dmm::app
