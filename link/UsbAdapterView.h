// The window as the USB adapter logic sees it: its toggles, message boxes and lists. The tests
// put a recording view in its place, so that the adapter logic runs without widgets.
#pragma once

#include <string>

namespace dmm {

// What the adapter logic needs of the window.
class UsbAdapterView {
public:
    virtual ~UsbAdapterView() = default;
    virtual bool usbConPressed() const = 0;
    // Pops `USBCon` up without running its click handler.
    virtual void releaseUsbCon() = 0;
    virtual bool readBtnPressed() const = 0;
    virtual void releaseReadBtn() = 0;
    // A modal information box with an OK button.
    virtual void showInformation(const std::string& text) = 0;
    // The device list or its selection changed: redraw `DevListBox`.
    virtual void deviceListChanged() {}
    // A line was added to the history list, or it was emptied.
    virtual void historyChanged() {}
    // A report went through the bound report handler (the diagnostic labels may have changed).
    virtual void reportHandled() {}
    // The watchdog dropped the link: show the disconnected state (caption "USB Connection", the
    // port selector and `COMCon`) before its message box.
    virtual void usbLinkDropped() {}
};

} // namespace dmm
