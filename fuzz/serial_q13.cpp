// Fuzz target for the Q13 serial stream: 14-byte frames, the sequence number in the high nibble;
// any byte with high nibble E ends a frame.
#include "FuzzHarness.h"

namespace {
bool endsFrame(std::uint8_t b) {
    return (b >> 4) == 0x0E;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dmm::fuzz::runSerial(data, size, dmm::HQ13RData, endsFrame);
    return 0;
}
