// The LCD mirror as data: every element of the meter's display that the decoders switch, and that
// the window draws. Plain C++ so that the decoders can be run and tested without a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dmm {

// Every named element of the LCD mirror. The first five are digit places (they carry a text of
// at most one character and may be hidden by leading-zero blanking); all others are on or off.
enum class Ind : std::uint8_t {
    LcdD0,
    LcdDa,
    LcdDb,
    LcdDc,
    LcdDd,
    LcdFH,
    LcdP0,
    LcdP1,
    LcdP2,
    LcdP3,
    LcdAuto,
    LcdAC,
    LcdDc1,
    LCDJa,
    LCDTRMST,
    LCDTRMS,
    LcdV,
    LCDA,
    LCDohm,
    LCDF,
    LCDHz,
    LcdRPM,
    lcdW,
    Lcdm,
    LCDu,
    LCDn,
    LCDk,
    LCDM1,
    LCDBF,
    LCDCS,
    LCDFS,
    LCDFm,
    LCDDI,
    LCDHold,
    LCDRec,
    LCDBATT,
    LCDRS,
    LCD232C,
    LCDBT,
    LcdACDC,
    CONok,
    CONokN,
    Count
};

inline constexpr std::size_t kIndicatorCount = static_cast<std::size_t>(Ind::Count);
inline constexpr std::size_t kDigitPlaces = 5;

// The element's name as the window's controls are named.
const char* indicatorName(Ind i);

inline constexpr bool isDigitPlace(Ind i) {
    return static_cast<std::size_t>(i) < kDigitPlaces;
}

// Digit place n (0 = LcdD0, 1 = LcdDa, ... 4 = LcdDd).
inline constexpr Ind digitPlace(int n) {
    return static_cast<Ind>(n);
}

class IndicatorSet {
public:
    IndicatorSet() { reset(); }

    // The start state of the display: digits 3 9 9 9 9, the minus sign and the no-link image
    // shown, the bar at 20 of 40, every annunciator, point and CONok hidden.
    void reset();

    // Digit places. The text is at most one character of the digit font: "0"-"9", "@" (the L of
    // an overload display) or empty (a dark place).
    void setDigit(Ind place, std::string_view text);
    const std::string& digit(Ind place) const { return digits_[idx(place)]; }

    // On/off for annunciators, points and images; visible/hidden for digit places.
    void set(Ind i, bool on) { on_[idx(i)] = on; }
    bool on(Ind i) const { return on_[idx(i)]; }

    // Bar graph PBar2. A position outside 0..maximum shows as the nearest end, as a bar graph
    // can show nothing else; the position kept is the one shown.
    void setBarPosition(int position);
    void setBarMaximum(int maximum);
    int barPosition() const { return barPosition_; }
    int barMaximum() const { return barMaximum_; }

    // The extremes labels MaxText, MinText and their unit labels MaxTextU, MinTextU.
    std::string maxText, minText, maxTextU, minTextU;

private:
    static constexpr std::size_t idx(Ind i) { return static_cast<std::size_t>(i); }
    std::array<bool, kIndicatorCount> on_{};
    std::array<std::string, kDigitPlaces> digits_;
    int barPosition_ = 20;
    int barMaximum_ = 40;
};

} // namespace dmm
