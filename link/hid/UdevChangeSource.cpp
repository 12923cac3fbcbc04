#include "UdevChangeSource.h"

#include <libudev.h>

#include <cstring>
#include <unistd.h>

namespace dmm {

namespace {
// A burst of events (a hub with many devices) is drained in one go, but never without end.
constexpr int kMaxEventsPerDrain = 1024;
} // namespace

UdevChangeSource::UdevChangeSource(Events events) : events_(events) {
    udev_ = udev_new();
    if (!udev_) return;
    monitor_ = udev_monitor_new_from_netlink(udev_, events == Events::Udev ? "udev" : "kernel");
    if (monitor_ &&
        (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
         udev_monitor_enable_receiving(monitor_) < 0)) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
    }
}

UdevChangeSource::~UdevChangeSource() {
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

bool UdevChangeSource::daemonRunning() {
    return ::access("/run/udev/control", F_OK) == 0;
}

int UdevChangeSource::fd() const {
    return monitor_ ? udev_monitor_get_fd(monitor_) : -1;
}

bool UdevChangeSource::drain() {
    if (!monitor_) return false;
    bool changed = false;
    for (int i = 0; i < kMaxEventsPerDrain; ++i) {
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (!device) break;
        const char* subsystem = udev_device_get_subsystem(device);
        if (subsystem && std::strcmp(subsystem, "hidraw") == 0) changed = true;
        udev_device_unref(device);
    }
    return changed;
}

} // namespace dmm
