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

// The serial line a family's meters send on.
struct SerialLine {
    int baud;
    int dataBits;
    char parity; // 'N', 'O' or 'E'
    int stopBits;
};

struct MeterFamily {
    Family id;
    std::string_view name; // as commands name it: "q32"
    SerialLine line;
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
// The shipped model's family, the table's first entry: what commands read without --family.
const MeterFamily& defaultMeterFamily();
// nullptr for a name no family has.
const MeterFamily* findMeterFamily(std::string_view name);
// The names for a message: "q32, q13 or q31"; those with a report handler when usbOnly.
std::string meterFamilyNames(bool usbOnly = false);
// The names as a command line's choices: "q32|q13|q31".
std::string meterFamilyChoices();

// A meter model as the variant switches select it: its name, the family its serial port is
// read with and the count profile of its display.
struct MeterModelEntry {
    std::string_view name;      // "58-4410C"
    Family family;              // bound to the serial port
    std::string_view countCode; // the count profile: "2" for a 20000-count display
    std::string_view halfDigit; // what the leading half digit place shows ("1"; "" for none)
};

// The model the switches select; nullptr where none is (no switch set: the port then has no
// receive handler at all).
const MeterModelEntry* modelOfVariant(const ModelVariant& variant);
// The shipped model: what the stored switches select, and what dmm log reads.
const MeterModelEntry& shippedModel();
// The model's count profile and half digit, as start-up applies them.
void applyModel(Meter& meter, const MeterModelEntry& model);

} // namespace dmm
