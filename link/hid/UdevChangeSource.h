// Device-change notices from libudev. The controller only needs to know that some HID device
// came or went: RefreshDevices compares a fresh scan with its list to find out what changed.
#pragma once

#include "HidChangeSource.h"

struct udev;
struct udev_monitor;

namespace dmm {

// libudev's monitor on the hidraw subsystem: the udev daemon's events after it has made the
// node (and applied the access rules), or the kernel's own uevents where no daemon runs.
class UdevChangeSource : public HidChangeSource {
public:
    enum class Events { Udev, Kernel };
    // Check valid() before use: a sandbox may refuse the netlink socket.
    explicit UdevChangeSource(Events events);
    ~UdevChangeSource() override;
    UdevChangeSource(const UdevChangeSource&) = delete;
    UdevChangeSource& operator=(const UdevChangeSource&) = delete;

    bool valid() const { return monitor_ != nullptr; }
    int fd() const override;
    int pollIntervalMs() const override { return 0; }
    bool drain() override;
    const char* kind() const override { return events_ == Events::Udev ? "udev" : "kernel"; }

    // Whether a udev daemon runs here (its control socket exists).
    static bool daemonRunning();

private:
    Events events_;
    struct udev* udev_ = nullptr;
    struct udev_monitor* monitor_ = nullptr;
};

} // namespace dmm
