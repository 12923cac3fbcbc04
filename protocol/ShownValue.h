// The value text of a frame laid out place by place as the display shows it, and from the same
// calls the number it shows: a decoder that writes its text through ShownValue gets the
// Measurement for free, and the two cannot disagree.
#pragma once

#include "Measurement.h"

#include <string>
#include <string_view>

namespace dmm {

class ShownValue {
public:
    // Writes into `text` (cleared first); `separator` is what a lit decimal point writes.
    ShownValue(std::string& text, std::string_view separator);

    // "-", "+" or "" before the first place.
    void sign(std::string_view s);
    // One digit place: "0".."9", "L" (the overload letter), "" for a dark place; any other
    // glyph is written as it is and leaves no number.
    void place(std::string_view glyph);
    // A decimal point: lit when `lit`, writing the separator; nothing otherwise.
    void point(bool lit);
    // A fixed overload form that the display shows whatever the points say ("L0.").
    void overloadForm(std::string_view text);

    // The number with the unit, coupling and range of the frame (see completeMeasurement).
    Measurement measurement(std::string_view unitCode, std::string_view dcAc,
                            std::string_view rangeMode, Quantity annunciated) const;
    // The number alone, in the display's own unit.
    Measurement number() const;

private:
    std::string& text_;
    std::string_view separator_;
    std::string display_; // the text with "." for the separator
    std::string digits_;
    bool negative_ = false;
    bool overload_ = false;
    bool foreign_ = false; // a glyph that is no digit, L or point
    int points_ = 0;
    int fractionDigits_ = 0;
};

// Adds the unit code's meaning to a number: the unit shown and its base unit, the exponent moved
// into the base unit, the quantity (`annunciated` where the LCD's own annunciators say more than
// the unit, continuity and the diode test; Quantity::None to go by the unit), the coupling
// (from the DcAc word) and the range mode.
void completeMeasurement(Measurement& m, std::string_view unitCode, std::string_view dcAc,
                         std::string_view rangeMode, Quantity annunciated);

// A meter display form: an optional sign first, then digits, the overload L and at most one
// separator ('.' or ',').
bool isDisplayForm(std::string_view text);

// A row's texts read back (rows loaded from a file, which carry no measurement): the display
// text with '.' or ',' as its separator and an optional sign, and its unit code.
Measurement readMeasurement(std::string_view display, std::string_view unitCode,
                            std::string_view dcAc = {}, std::string_view rangeMode = {});

} // namespace dmm
