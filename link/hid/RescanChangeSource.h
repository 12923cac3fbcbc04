// Device-change notices where no netlink socket is allowed: a look at the directory now and then.
#pragma once

#include "HidChangeSource.h"

#include <set>
#include <string>

namespace dmm {

// Compares the entries of a directory (/sys/class/hidraw) at every drain().
class RescanChangeSource : public HidChangeSource {
public:
    explicit RescanChangeSource(std::string directory = "/sys/class/hidraw", int intervalMs = 1000);
    int fd() const override { return -1; }
    int pollIntervalMs() const override { return intervalMs_; }
    bool drain() override;
    const char* kind() const override { return "rescan"; }

private:
    std::set<std::string> list() const;
    std::string directory_;
    int intervalMs_;
    std::set<std::string> last_;
};

} // namespace dmm
