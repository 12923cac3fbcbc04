// The port of dmm log going away (an adapter pulled out, a remote port's connection dropped) and
// coming back. The serial driver stays open while its device is gone and delivers nothing;
// check(), called every second, notices it, says so on standard error once, and closes and opens
// the port again until the device is back. A remote port is back once it has negotiated.
#pragma once

#include "ComDrv32.h"

#include <string>

namespace dmm::cli {

class PortWatch {
public:
    // `name`: how the messages name the port, e.g. "COM1 (/dev/ttyUSB0)".
    PortWatch(TCommPortDriver& port, std::string name) : port_(port), name_(std::move(name)) {}
    void check();
    bool away() const { return away_; }
    // After OpenPort: waits, serving the event loop, until a remote port has negotiated or failed
    // (at most its time-out); whether the port is there. A local port is settled at once.
    static bool settled(TCommPortDriver& port);

private:
    void back();

    TCommPortDriver& port_;
    std::string name_;
    bool away_ = false;
};

} // namespace dmm::cli
