#include "MeterFamily.h"

#include "Decoders.h"
#include "FrameAssembly.h"

namespace dmm {

namespace {

// The shipped model's family first: commands without --family use it.
constexpr MeterFamily kFamilies[] = {
    {Family::Q32, "q32", FrameForm::DigitFrame, 11, HQ32RData, Q32ReportHandler, LcdDisplayQ32,
     true, sim::encodeQ32, sim::expectQ32, sim::tourQ32, 5, 2, true},
    {Family::Q13, "q13", FrameForm::SegmentFrame, 14, HQ13RData, Q13ReportHandler, LcdDisplayQ13,
     false, sim::encodeQ13, sim::expectQ13, sim::tourQ13, 4, 1, false},
    {Family::Q31, "q31", FrameForm::DigitFrame, 11, HQ31RData, nullptr, LcdDisplayQ31, false,
     sim::encodeQ31, sim::expectQ31, sim::tourQ31, 4, 2, true},
};

} // namespace

std::span<const MeterFamily> meterFamilies() {
    return kFamilies;
}

const MeterFamily& meterFamily(Family id) {
    for (const MeterFamily& f : kFamilies)
        if (f.id == id) return f;
    return kFamilies[0];
}

const MeterFamily* findMeterFamily(std::string_view name) {
    for (const MeterFamily& f : kFamilies)
        if (f.name == name) return &f;
    return nullptr;
}

std::string meterFamilyNames(bool usbOnly) {
    std::vector<std::string_view> names;
    for (const MeterFamily& f : kFamilies)
        if (!usbOnly || f.report) names.push_back(f.name);
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += i + 1 == names.size() ? " or " : ", ";
        out += names[i];
    }
    return out;
}

std::string meterFamilyChoices() {
    std::string out;
    for (const MeterFamily& f : kFamilies) {
        if (!out.empty()) out += '|';
        out += f.name;
    }
    return out;
}

} // namespace dmm
