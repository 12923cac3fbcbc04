#include "Meter.h"

#include "ShownValue.h"

namespace dmm {

namespace {
constexpr CountProfile kProfile4{40000,    -40001.0f, 40001.0f, "-40001", "40001",
                                 40002.0f, -40002.0f, 40,       40};
constexpr CountProfile kProfile2{20000,    -20001.0f, 20001.0f, "-20001", "20001",
                                 20002.0f, -20002.0f, 20,       20};
} // namespace

const CountProfile& countProfile(std::string_view countCode) {
    return countCode == "2" ? kProfile2 : kProfile4;
}

Meter::Meter(DecoderHooks* hooks) : hooks_(hooks ? hooks : &nullHooks_) {
    serial.HighNibbles.reserve(kAccumulatorBytes);
    serial.LowNibbles.reserve(kAccumulatorBytes);
    hid.HidFrameBytes.reserve(2 * kAccumulatorBytes);
    hid.ReportLine.reserve(6 + 3 * 64);
    FrameText.reserve(kAccumulatorBytes);
    reading.ValueText.reserve(32);
}

void Meter::setHooks(DecoderHooks* hooks) {
    hooks_ = hooks ? hooks : &nullHooks_;
}

void Meter::applyCountProfile(std::string_view countCode) {
    CountCode.assign(countCode);
    const CountProfile& p = countProfile(countCode);
    reading.FullScale = p.fullScale;
    extremes.MaxReading = p.maxReading;
    extremes.MinReading = p.minReading;
    lcd.maxText = p.maxCaption;
    lcd.minText = p.minCaption;
    OverrangeHigh = p.overrangeHigh;
    OverrangeLow = p.overrangeLow;
    OverloadBarPosition = p.overloadBarPosition;
    lcd.setBarMaximum(p.barMaximum);
}

void Meter::MarkLinkAlive() {
    lcd.set(Ind::CONok, true);
    lcd.set(Ind::CONokN, false);
    FrameWatchdog = 0;
}

void Meter::UpdateExtremes(int decimalPos, std::int32_t resetSpan, bool compareAfterReset) {
    int t = decimalPos;
    static constexpr Ind points[] = {Ind::LcdP0, Ind::LcdP1, Ind::LcdP2, Ind::LcdP3};
    for (int i = 0; i < 4; ++i)
        if (lcd.on(points[i])) t = i;

    bool compare = true;
    if (reading.UnitText != extremes.LastUnitText || t != extremes.LastDecimalPos) {
        hooks_->ShowSeries(hooks_->BtFillChecked() ? 0 : 1);
        extremes.LastUnitText = reading.UnitText;
        extremes.MaxReading = static_cast<float>(-resetSpan);
        extremes.MinReading = static_cast<float>(resetSpan);
        compare = compareAfterReset;
    }
    if (compare) {
        const double v = reading.NumericValue;
        if (v >= static_cast<double>(extremes.MaxReading)) {
            extremes.MaxReadingText = reading.ValueText;
            extremes.MaxReading = static_cast<float>(v);
        }
        if (v <= static_cast<double>(extremes.MinReading)) {
            extremes.MinReadingText = reading.ValueText;
            extremes.MinReading = static_cast<float>(v);
        }
    }
    extremes.LastDecimalPos = t;
    lcd.maxText = extremes.MaxReadingText;
    lcd.minText = extremes.MinReadingText;
    lcd.maxTextU = reading.UnitText;
    lcd.minTextU = reading.UnitText;
}

void Meter::setMeasurement(const ShownValue& shown) {
    const Quantity annunciated = lcd.on(Ind::LCDFm)   ? Quantity::Continuity
                                 : lcd.on(Ind::LCDDI) ? Quantity::Diode
                                                      : Quantity::None;
    reading.measurement =
        shown.measurement(reading.UnitText, reading.DcAc, reading.RangeMode, annunciated);
}

void Meter::finishFrame(Family family, FrameOutcome outcome) {
    switch (outcome) {
    case FrameOutcome::Decoded:
        ++counts.decoded;
        hooks_->ReadingDecoded();
        break;
    case FrameOutcome::Rejected:
        ++counts.rejected;
        break;
    case FrameOutcome::Undecodable:
        ++counts.undecodable;
        break;
    }
    if (observer) observer->frameDone(family, outcome);
}

} // namespace dmm
