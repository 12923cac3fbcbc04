// The few HID services the device controller and its devices need from the operating system,
// behind an interface so that the controller logic runs the same on the real hidraw backend and
// on the in-memory devices the tests plug and unplug.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dmm {

// One HID interface as an enumeration finds it.
struct HidInterfaceInfo {
    std::string path;              // what HidPlatform::open takes
    std::uint32_t instanceKey = 0; // same value for the same present device in every scan
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Descriptive only: nothing decides on them.
    std::wstring manufacturer;
    std::wstring product;
    std::string bus;
    int interfaceNumber = -1;
};

struct HidAttributes {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// The device's capabilities. Report lengths count the report-ID byte, which every report carries
// in front (0 for devices that do not number their reports).
struct HidCaps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
};

enum class HidOpenMode {
    ReadWrite, // queries, feature reports and reads
    QueryOnly, // attributes and strings only
    ReadOnly,  // input reports
};

struct HidReadResult {
    enum Status { Data, Timeout, Error };
    Status status = Timeout;
    std::size_t size = 0; // bytes placed in the buffer, report ID first (Data only)
    int error = 0;        // platform error code (Error only)
};

// An open handle on one interface. Closed by destruction. A connection is used by one thread at a
// time; different connections to the same device may be used from different threads.
class HidConnection {
public:
    virtual ~HidConnection() = default;

    virtual bool getAttributes(HidAttributes& out) = 0;
    virtual bool getCaps(HidCaps& out) = 0;
    // Strings into a caller's buffer of `chars` wide characters; the text ends at the first NUL.
    virtual bool getProductString(wchar_t* buffer, std::size_t chars) = 0;
    virtual bool getSerialNumberString(wchar_t* buffer, std::size_t chars) = 0;
    // String descriptor `index`; index 0 is the device's list of language codes.
    virtual bool getIndexedString(int index, wchar_t* buffer, std::size_t chars) = 0;
    // `data` starts with the report ID; `length` counts it.
    virtual bool sendFeatureReport(const std::uint8_t* data, std::size_t length) = 0;
    // Waits at most timeoutMs for one input report and places it, report ID first, in `buffer`.
    virtual HidReadResult read(std::uint8_t* buffer, std::size_t length, int timeoutMs) = 0;
};

// Notices that some HID device came or went. The owner watches fd() for readability (or, when it
// is -1, calls drain() every pollIntervalMs()) and rescans when drain() says so.
class HidChangeSource {
public:
    virtual ~HidChangeSource() = default;
    virtual int fd() const = 0;
    virtual int pollIntervalMs() const = 0;
    // Consumes what is pending; true when some HID device may have come or gone.
    virtual bool drain() = 0;
    // "udev", "kernel", "rescan" or "fake": where the notices come from.
    virtual const char* kind() const = 0;
};

class HidPlatform {
public:
    virtual ~HidPlatform() = default;

    // False when the HID services could not be started: no devices, no notices.
    virtual bool available() const = 0;
    // The present interfaces, in the platform's order; empty when the enumeration fails.
    virtual std::vector<HidInterfaceInfo> enumerate() = 0;
    // Null on failure, with the platform error code in *error.
    virtual std::unique_ptr<HidConnection> open(const std::string& path, HidOpenMode mode,
                                                int* error) = 0;
    // Null when the platform gives no notices.
    virtual std::unique_ptr<HidChangeSource> changeSource() = 0;
};

// The platform's message text for an error code (the C library's text for errno values).
std::string hidErrorText(std::uint32_t code);

} // namespace dmm
