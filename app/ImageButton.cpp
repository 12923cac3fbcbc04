#include "ImageButton.h"

namespace dmm::app {

ImageButton::ImageButton(const QPixmap& image, QWidget* parent) : ClickPanel(QString(), parent) {
    setFrameStyle(QFrame::NoFrame);
    setAutoFillBackground(false);
    setPixmap(image);
}

} // namespace dmm::app
