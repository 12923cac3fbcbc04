// The window as the USB adapter logic sees it: its toggles, message boxes and lists.
#pragma once

#include "LinkControl.h"
#include "QV31F.h"

#include <QPushButton>

namespace dmm::app {

class TFCOMM::UsbView : public UsbAdapterView {
public:
    explicit UsbView(TFCOMM& w) : w_(w) {}
    bool usbConPressed() const override { return w_.link_->USBCon()->isChecked(); }
    void releaseUsbCon() override { w_.releaseUsbCon(); }
    bool readBtnPressed() const override { return w_.link_->ReadBtn()->isChecked(); }
    void releaseReadBtn() override { w_.link_->ReadBtn()->setChecked(false); }
    void showInformation(const std::string& text) override {
        w_.dialogs_->inform(&w_, QStringLiteral("Information"), QString::fromStdString(text));
    }
    void deviceListChanged() override { w_.showDeviceList(); }
    void historyChanged() override { w_.showHistory(); }
    void reportHandled() override { w_.redrawLcd(); }
    void usbLinkDropped() override { w_.showUsbDisconnected(); }

private:
    TFCOMM& w_;
};

} // namespace dmm::app
