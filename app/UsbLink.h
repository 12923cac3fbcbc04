// What the window needs of a USB adapter device: the entries of the device list `DevListBox`
// carry one of these (as a pointer in Qt::UserRole), and the USB handlers of the window work
// through it. The HID layer implements it for its device objects.
#pragma once

#include <QMetaType>

#include <cstddef>
#include <cstdint>

namespace dmm::app {

enum class UsbReportHandler { None, Q13, Q32 };

class UsbDeviceLink {
public:
    virtual ~UsbDeviceLink() = default;
    // The device could be opened for reading and writing.
    virtual bool ReadWriteGranted() const = 0;
    // Installs (starting the read thread) or removes (stopping it) the report handler; the
    // device hands every input report to the window on the GUI thread.
    virtual void SetDataHandler(UsbReportHandler handler) = 0;
    // Sends a feature report, report ID first; the outcome is ignored by the window.
    virtual bool SendFeature(const std::uint8_t* report, std::size_t length) = 0;
};

// The line-setup feature report: 2400 baud, format code 3.
inline constexpr std::uint8_t kLineSetupReport[10] = {0x00, 0x60, 0x09, 0x00, 0x00,
                                                      0x03, 0x00, 0x00, 0x00, 0x00};

inline constexpr const char* kUsbNotConnected =
    "USB interface cable is not securely connected, please check and re-try.";
inline constexpr const char* kUsbMeterSilent =
    "USB interface cable is securely connected, please check if the meter is ready.";
// Consecutive adapter reports without a meter byte after which the watchdog drops the link.
inline constexpr int kIdleReportLimit = 1900;

} // namespace dmm::app
