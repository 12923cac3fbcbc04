#include "MeterFamily.h"

#include "Decoders.h"
#include "FrameAssembly.h"

namespace dmm {

namespace {

// Every family's meters send 2400 baud, 8 data bits, no parity, 1 stop bit.
constexpr SerialLine k2400N81{2400, 8, 'N', 1};

// The shipped model's family first: commands without --family use it.
constexpr MeterFamily kFamilies[] = {
    {Family::Q32, "q32", k2400N81, HQ32RData, Q32ReportHandler, LcdDisplayQ32, true, sim::encodeQ32,
     sim::expectQ32, sim::tourQ32, 5, 2, true},
    {Family::Q13, "q13", k2400N81, HQ13RData, Q13ReportHandler, LcdDisplayQ13, false,
     sim::encodeQ13, sim::expectQ13, sim::tourQ13, 4, 1, false},
    {Family::Q31, "q31", k2400N81, HQ31RData, nullptr, LcdDisplayQ31, false, sim::encodeQ31,
     sim::expectQ31, sim::tourQ31, 4, 2, true},
};

// The variant switch IFQV31 (stored checked) selects the shipped model; no other switch binds
// a family.
constexpr MeterModelEntry kShippedModel{"58-4410C", Family::Q32, "2", "1"};

} // namespace

std::span<const MeterFamily> meterFamilies() {
    return kFamilies;
}

const MeterFamily& meterFamily(Family id) {
    for (const MeterFamily& f : kFamilies)
        if (f.id == id) return f;
    return kFamilies[0];
}

const MeterFamily& defaultMeterFamily() {
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

const MeterModelEntry* modelOfVariant(const ModelVariant& variant) {
    return variant.IFQV31 ? &kShippedModel : nullptr;
}

const MeterModelEntry& shippedModel() {
    return kShippedModel;
}

void applyModel(Meter& meter, const MeterModelEntry& model) {
    meter.CountCode.assign(model.countCode);
    if (!model.halfDigit.empty()) meter.lcd.setDigit(Ind::LcdD0, model.halfDigit);
    meter.applyCountProfile(model.countCode);
}

} // namespace dmm
