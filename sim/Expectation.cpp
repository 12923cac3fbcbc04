#include "Encoders.h"

namespace dmm::sim {

std::vector<std::uint8_t> encodeFrame(SimFamily family, const MeterState& s) {
    switch (family) {
    case SimFamily::Q13:
        return encodeQ13(s);
    case SimFamily::Q31:
        return encodeQ31(s);
    case SimFamily::Q32:
        break;
    }
    return encodeQ32(s);
}

Expectation::Expectation(SimFamily family, std::int32_t profileFullScale)
    : family_(family), profileFullScale_(profileFullScale), fullScale_(profileFullScale) {}

ExpectedReading Expectation::next(const MeterState& s) {
    switch (family_) {
    case SimFamily::Q13:
        return q13(s);
    case SimFamily::Q31:
        return q31(s);
    case SimFamily::Q32:
        break;
    }
    return q32(s);
}

} // namespace dmm::sim
