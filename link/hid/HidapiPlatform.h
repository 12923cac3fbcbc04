// The real HID services: hidapi's hidraw backend for enumeration, strings, feature reports and
// reads, sysfs for what hidraw leaves out, and libudev (or the kernel's uevents, or a rescan) for
// device-change notices.
//
// Report framing: hidraw delivers a numbered report with its ID in front but an unnumbered one
// without, and hidapi 0.13 cannot read the report descriptor. The descriptor is read from
// /sys/class/hidraw/<node>/device/report_descriptor instead; when it has no Report ID item the
// reads are placed one byte on and a report ID 0 is put in front, so the data handler always
// sees the report ID first. The descriptor also gives the capabilities (report lengths, usage).
//
// Open modes: hidapi opens hidraw nodes for reading and writing only, so ReadOnly uses the same
// open. A query-only connection opens nothing: hidraw's attributes and strings come from sysfs,
// so it answers them from the enumeration record, and a device the user may not open (no udev
// rule installed) is still listed by name, with ReadWriteGranted false.
//
// hidapi keeps its last global error in a shared, unguarded string that hid_enumerate and
// hid_open_path both write; since read threads open their handles while the GUI thread scans,
// those two calls are serialised here.
#pragma once

#include "HidPlatform.h"

#include <map>
#include <mutex>

namespace dmm {

class HidapiPlatform : public HidPlatform {
public:
    HidapiPlatform();
    ~HidapiPlatform() override;

    bool available() const override { return initialised_; }
    std::vector<HidInterfaceInfo> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenMode mode,
                                        int* error) override;
    std::unique_ptr<HidChangeSource> changeSource() override;

    // The 32-bit instance key of a hidraw node: a hash of the sysfs path of its HID device, which
    // names the USB port and the kernel's per-plug device number, so it stays the same while the
    // device is present and changes when it is plugged in again.
    static std::uint32_t instanceKeyFor(const std::string& path);

private:
    struct Record {
        HidInterfaceInfo info;
        std::wstring serial;
        std::uint16_t release = 0;
    };
    bool initialised_ = false;
    std::mutex mutex_;                      // hidapi's global state; records_
    std::map<std::string, Record> records_; // by path, from the last enumeration
};

} // namespace dmm
