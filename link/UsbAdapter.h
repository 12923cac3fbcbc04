// The main window's side of the meter's USB adapter cable: the device list with the adapter picked
// in it, the history list, the line-setup feature report, switching the reading of reports on
// and off for "USB Connect" and "Read", and the watchdog's drop of a silent link. The window owns
// one UsbAdapter and reaches its buttons and message boxes through UsbAdapterView, so all of this
// runs without widgets in the tests. Everything here runs on the GUI thread.
#pragma once

#include "GuiDispatcher.h"
#include "HidPlatform.h"
#include "JvHidControllerClass.h"
#include "Meter.h"
#include "MeterFamily.h"
#include "UsbAdapterView.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace dmm {

class QtGuiDispatcher;

inline constexpr const char* kUsbNotConnectedText =
    "USB interface cable is not securely connected, please check and re-try.";
inline constexpr const char* kUsbMeterNotReadyText =
    "USB interface cable is securely connected, please check if the meter is ready.";
// Consecutive adapter reports without a meter byte after which the watchdog drops the link: the
// adapter sends them continuously while the meter is off or not in its sending mode.
inline constexpr int kUsbIdleReportLimit = 1900;
// The adapter's line setup for a family's line: report ID 0, the speed as a 32-bit
// little-endian number, the line format code (the data bits counted from 5, so 3 for 8 bits,
// with no parity and one stop bit), zeros. For 2400 8N1: 00 60 09 00 00 03 00 00 00 00.
std::array<std::uint8_t, 10> usbLineSetupReport(const SerialLine& line);

struct DevListEntry {
    std::string text;                     // DescribeDevice
    std::unique_ptr<TJvHidDevice> device; // claimed for this line; none if the claim failed
};

enum class UsbConnectOutcome {
    NoDevice,     // nothing listed or selected (the message was shown, USBCon released)
    NotGranted,   // the selected device cannot be read (USBCon released, no message)
    Connected,    // the Q32 report handler is bound and the read thread runs
    Disconnected, // the data handler was removed
};

class UsbAdapter : public QObject {
    Q_OBJECT
public:
    // Without a platform the adapter uses the system's HID devices; without a dispatcher it
    // serves the hand-overs from this thread's Qt event loop.
    UsbAdapter(Meter& meter, UsbAdapterView& view, HidPlatform* platform = nullptr,
               GuiDispatcher* dispatcher = nullptr, QObject* parent = nullptr);
    ~UsbAdapter() override;

    // Creates `HidCtl`, assigns its handlers (OnArrival, OnEnumerate, OnDeviceChange, which
    // builds the device list, OnDeviceDataError, OnRemoval) and watches the device-change
    // notices. Throws EControllerError when another controller is alive.
    void start();

    TJvHidDeviceController* HidCtl() const { return hidCtl_.get(); }
    const std::vector<DevListEntry>& DevListBox() const { return devList_; }
    int selectedIndex() const { return selected_; }
    // The user's choice in the list (-1: none).
    void setSelectedIndex(int index);
    TJvHidDevice* SelectedDevice() const { return selectedDevice_; }
    const BoundedLines& HistoryListBox() const { return meter_.diag.HistoryListBox; }

    static std::string DescribeDevice(TJvHidDevice& device);
    static std::string ReadErrorLine(std::uint32_t error);

    // Handlers of HidCtl.
    void HidCtlDeviceChange();
    bool HidCtlEnumerate(TJvHidDevice& device, int idx);
    void HidCtlArrival(TJvHidDevice& device);
    void HidCtlRemoval(TJvHidDevice& device);
    void HidCtlDeviceDataError(TJvHidDevice& device, std::uint32_t error);

    // Buttons.
    void ReadBtnClick();
    void SetFeatureClick();
    void ClearBtnClick();
    // What the Info window shows about the selected device; none without a selection.
    std::optional<std::string> InfoBtnClick();
    // After `USBCon` changed its pressed state; the window sets captions and panels from the
    // outcome.
    UsbConnectOutcome USBConClick();
    // Why the last line setup did not reach the adapter; empty when it did. The window stays
    // quiet about it (the history line is written whatever the outcome); Info shows it.
    const std::string& LineSetupError() const { return lineSetupError_; }
    // The watchdog's USB check (ConTimerTimer, at its every third tick): drops the link when
    // IdleReports has reached kUsbIdleReportLimit. True if it dropped it.
    bool WatchdogCheck();

private:
    // The hand-over of one report to a family's report handler, and what the view learns of it.
    TJvHidDataEvent reportHandler(const MeterFamily& family);
    void addHistory(const std::string& line);
    TJvHidDevice* deviceOfSelectedLine() const;
    void watchChanges();

    Meter& meter_;
    UsbAdapterView& view_;
    std::unique_ptr<HidPlatform> ownPlatform_;
    HidPlatform& platform_;
    std::unique_ptr<QtGuiDispatcher> ownDispatcher_;
    GuiDispatcher& dispatcher_;
    std::unique_ptr<TJvHidDeviceController> hidCtl_;
    std::vector<DevListEntry> devList_;
    int selected_ = -1;
    TJvHidDevice* selectedDevice_ = nullptr;
    TJvHidDataEvent q32Handler_;
    TJvHidDataEvent q13Handler_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* rescanTimer_ = nullptr;
    bool closing_ = false;
    std::string lineSetupError_;
};

} // namespace dmm
