#include "HidChangeMonitor.h"

#include "HidapiPlatform.h"

#include <libudev.h>

#include <cstring>
#include <dirent.h>
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

RescanChangeSource::RescanChangeSource(std::string directory, int intervalMs)
    : directory_(std::move(directory)), intervalMs_(intervalMs), last_(list()) {}

std::set<std::string> RescanChangeSource::list() const {
    std::set<std::string> names;
    DIR* dir = ::opendir(directory_.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') names.insert(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

bool RescanChangeSource::drain() {
    std::set<std::string> now = list();
    const bool changed = now != last_;
    last_ = std::move(now);
    return changed;
}

std::unique_ptr<HidChangeSource> makeSystemChangeSource() {
    if (UdevChangeSource::daemonRunning()) {
        auto udev = std::make_unique<UdevChangeSource>(UdevChangeSource::Events::Udev);
        if (udev->valid()) return udev;
    }
    auto kernel = std::make_unique<UdevChangeSource>(UdevChangeSource::Events::Kernel);
    if (kernel->valid()) return kernel;
    return std::make_unique<RescanChangeSource>();
}

} // namespace dmm
