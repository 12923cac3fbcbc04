#include "PortWatch.h"

#include <cstdio>

namespace dmm::cli {

void PortWatch::check() {
    if (port_.IsDevicePresent()) return;
    if (!away_) {
        away_ = true;
        std::fprintf(stderr,
                     "dmm log: the port %s went away; trying to open it again every second\n",
                     name_.c_str());
    }
    port_.ClosePort();
    if (!port_.OpenPort()) return;
    away_ = false;
    std::fprintf(stderr, "dmm log: the port %s is back; recording goes on\n", name_.c_str());
}

} // namespace dmm::cli
