// Cutting the meter's byte stream into frames, checking them and handing the accepted ones to
// the family's decoder. Two roads: serial chunks (any size, frames may straddle chunks) and HID
// input reports from the USB adapter.
#pragma once

#include "Meter.h"

#include <cstdint>

namespace dmm {

// Serial receive handlers: the bytes of one chunk, processed in order. A decoder runs in the
// middle of a chunk; the rest of the chunk is processed after it returns.
void HQ13RData(Meter& m, const std::uint8_t* data, int size);
void HQ31RData(Meter& m, const std::uint8_t* data, int size);
void HQ32RData(Meter& m, const std::uint8_t* data, int size);

// Report handlers: one HID input report, its ID and the data bytes after the ID.
void Q13ReportHandler(Meter& m, std::uint8_t reportId, const std::uint8_t* data,
                      std::uint16_t size);
void Q32ReportHandler(Meter& m, std::uint8_t reportId, const std::uint8_t* data,
                      std::uint16_t size);

} // namespace dmm
