// An open handle on one HID interface, and what it answers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dmm {

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

} // namespace dmm
