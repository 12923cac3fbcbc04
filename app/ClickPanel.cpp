#include "ClickPanel.h"

#include <QMouseEvent>

namespace dmm::app {

ClickPanel::ClickPanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setAlignment(Qt::AlignCenter);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
}

void ClickPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    QLabel::mousePressEvent(event);
}

void ClickPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click && isEnabled()) emit clicked();
}

} // namespace dmm::app
