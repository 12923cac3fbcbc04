// The few HID services the device controller and its devices need from the operating system,
// behind an interface so that the controller logic runs the same on the real hidraw backend and
// on the in-memory devices the tests plug and unplug.
#pragma once

#include "HidChangeSource.h"
#include "HidConnection.h"

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

enum class HidOpenMode {
    ReadWrite, // queries, feature reports and reads
    QueryOnly, // attributes and strings only
    ReadOnly,  // input reports
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
