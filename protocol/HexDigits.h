// The characters of FrameText: one upper-case hex digit per frame byte, as the handlers hand
// frames over, and the overload letter of the digit font. One place for the tests that every
// decoder makes before it reads a position as a number.
#pragma once

namespace dmm {

// The L of an overload display, as the LCD digit font draws it.
inline constexpr char kOverloadL = '@';

inline constexpr bool isDecimal(char c) {
    return c >= '0' && c <= '9';
}

inline constexpr bool isHex(char c) {
    return isDecimal(c) || (c >= 'A' && c <= 'F');
}

// The value of an upper-case hex digit, or -1 for any other character.
inline constexpr int hexValue(char c) {
    if (isDecimal(c)) return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace dmm
