// Fuzz target for the Q32 report handler: USB adapter input reports, the low nibble of the first
// data byte counting the meter bytes that follow; a report without payload ends a frame.
#include "FuzzHarness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dmm::fuzz::runReports(data, size, dmm::Q32ReportHandler);
    return 0;
}
