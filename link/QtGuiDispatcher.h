// The GUI side of the HID read threads' hand-over for a Qt program.
#pragma once

#include "GuiDispatcher.h"

#include <QObject>

namespace dmm {

// Serves the read threads' hand-overs from the Qt event loop of the thread it lives in.
class QtGuiDispatcher : public QObject, public GuiDispatcher {
    Q_OBJECT
public:
    explicit QtGuiDispatcher(QObject* parent = nullptr) : QObject(parent) {}
    void wake() override;
};

} // namespace dmm
