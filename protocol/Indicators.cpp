#include "Indicators.h"

#include <algorithm>

namespace dmm {

namespace {
constexpr std::array<const char*, kIndicatorCount> kNames = {
    "LcdD0",  "LcdDa",   "LcdDb", "LcdDc",   "LcdDd", "LcdFH",    "LcdP0",   "LcdP1",  "LcdP2",
    "LcdP3",  "LcdAuto", "LcdAC", "LcdDc1",  "LCDJa", "LCDTRMST", "LCDTRMS", "LcdV",   "LCDA",
    "LCDohm", "LCDF",    "LCDHz", "LcdRPM",  "lcdW",  "Lcdm",     "LCDu",    "LCDn",   "LCDk",
    "LCDM1",  "LCDBF",   "LCDCS", "LCDFS",   "LCDFm", "LCDDI",    "LCDHold", "LCDRec", "LCDBATT",
    "LCDRS",  "LCD232C", "LCDBT", "LcdACDC", "CONok", "CONokN",
};
} // namespace

const char* indicatorName(Ind i) {
    return kNames[static_cast<std::size_t>(i)];
}

void IndicatorSet::reset() {
    on_.fill(false);
    digits_ = {"3", "9", "9", "9", "9"};
    for (std::size_t i = 0; i < kDigitPlaces; ++i) on_[i] = true; // digit places are visible
    on_[idx(Ind::LcdFH)] = true;
    on_[idx(Ind::CONokN)] = true;
    barMaximum_ = 40;
    barPosition_ = 20;
    maxText = "-40001";
    minText = "40001";
    maxTextU = "*";
    minTextU = "*";
}

void IndicatorSet::setDigit(Ind place, std::string_view text) {
    digits_[idx(place)].assign(text.substr(0, 1));
}

void IndicatorSet::setBarPosition(int position) {
    barPosition_ = std::clamp(position, 0, barMaximum_);
}

void IndicatorSet::setBarMaximum(int maximum) {
    barMaximum_ = std::max(maximum, 0);
    barPosition_ = std::clamp(barPosition_, 0, barMaximum_);
}

} // namespace dmm
