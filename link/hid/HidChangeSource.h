#pragma once

namespace dmm {

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

} // namespace dmm
