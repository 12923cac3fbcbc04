#pragma once

#include "ClickPanel.h"

#include <QPixmap>

namespace dmm::app {

// An image that acts as a button (TbFd, TbSx).
class ImageButton : public ClickPanel {
    Q_OBJECT
public:
    ImageButton(const QPixmap& image, QWidget* parent);
};

} // namespace dmm::app
