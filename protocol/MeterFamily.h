// The one description of each protocol family: everything that the tools, the window, the USB
// adapter handling and the simulated meter need to know about a family is looked up here, so
// that a new family is its decoder, its encoder, its entry in meterFamilies() and its tests.
#pragma once

#include "Encoders.h"
#include "Meter.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dmm {

// How the meter's bytes make a frame.
enum class FrameForm {
    DigitFrame,   // one digit or status nibble a byte, ended by 0x0D 0x0A
    SegmentFrame, // LCD segment bits, a sequence number in each byte's high nibble
};

struct MeterFamily {
    Family id;
    std::string_view name; // as commands name it: "q32"
    FrameForm form;
    int frameBytes;
    // The serial receive handler: a chunk of bytes, frames may straddle chunks.
    void (*serial)(Meter& m, const std::uint8_t* data, int size);
    // The USB adapter's report handler; nullptr where the adapter has no road for the family.
    void (*report)(Meter& m, std::uint8_t reportId, const std::uint8_t* data, std::uint16_t size);
    FrameOutcome (*decode)(Meter& m);
    // Whether the decoder itself runs the limit judge and the recall step before it offers the
    // reading to the recorder. Where it does not, a recorder without a window judges for it.
    bool judgesReadings;

    // The simulated meter's side.
    std::vector<std::uint8_t> (*encode)(const sim::MeterState& s);
    sim::ExpectedReading (*expect)(const sim::MeterState& s, sim::ExpectationState& st);
    std::vector<sim::MeterState> (*tour)();
    int digitPlaces;      // 5: counts to 19999 (20000-count display); 4: to 9999
    int wanderRange;      // the range digit of the DC volt range a 12 V supply reads on
    bool leadingLineFeed; // a stream seen from the middle begins with the 0x0A ending a frame
};

std::span<const MeterFamily> meterFamilies();
const MeterFamily& meterFamily(Family id);
// nullptr for a name no family has.
const MeterFamily* findMeterFamily(std::string_view name);
// The names for a message: "q32, q13 or q31"; those with a report handler when usbOnly.
std::string meterFamilyNames(bool usbOnly = false);
// The names as a command line's choices: "q32|q13|q31".
std::string meterFamilyChoices();

} // namespace dmm
