// The port of dmm log going away (an adapter pulled out) and coming back. The serial driver stays
// open while its device is gone and delivers nothing; check(), called every second, notices it,
// says so on standard error once, and closes and opens the port again until the device is back.
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

private:
    TCommPortDriver& port_;
    std::string name_;
    bool away_ = false;
};

} // namespace dmm::cli
