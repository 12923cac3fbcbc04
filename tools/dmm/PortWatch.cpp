#include "PortWatch.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace dmm::cli {

void PortWatch::check() {
    if (port_.IsDevicePresent()) {
        if (away_ && !port_.IsOpening()) back(); // a remote port that has negotiated
        return;
    }
    if (!away_) {
        away_ = true;
        std::fprintf(stderr,
                     "dmm log: the port %s went away; trying to open it again every second\n",
                     name_.c_str());
    }
    port_.ClosePort();
    if (port_.OpenPort() && !port_.IsOpening()) back();
}

void PortWatch::back() {
    away_ = false;
    std::fprintf(stderr, "dmm log: the port %s is back; recording goes on\n", name_.c_str());
}

bool PortWatch::settled(TCommPortDriver& port) {
    if (port.IsOpening()) {
        QEventLoop loop;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, &loop, [&] {
            if (!port.IsOpening()) loop.quit();
        });
        look.start(10);
        loop.exec();
    }
    return port.IsDevicePresent();
}

} // namespace dmm::cli
