// Fuzz target for the Q32 serial stream: nine data bytes, 0x0D, 0x0A; every 0x0D ends a frame.
#include "FuzzHarness.h"

namespace {
bool endsFrame(std::uint8_t b) {
    return b == 0x0D;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dmm::fuzz::runSerial(data, size, dmm::HQ32RData, endsFrame);
    return 0;
}
