// The decoded state of the meter after the last accepted frame, the running extremes and the
// count profiles the decoders rely on.
#pragma once

#include "Measurement.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace dmm {

// Texts are byte strings. UnitText uses the annunciator font's character code:
// "*" ohm, "#" degree Celsius, "?" degree Fahrenheit, "&" continuity, ")" diode, "u" micro.
struct CurrentReading {
    std::string ValueText;
    double NumericValue = 0; // signed display count, decimal point ignored
    std::string DcAc;
    std::string UnitText;
    std::string RangeMode; // "AUTO", "MANU" or empty
    std::string Judge;     // "pass", "Fail" or empty
    std::int32_t FullScale = 40000;
    double RecallStamp = 0; // days since 30 December 1899
    // ValueText, UnitText, DcAc and RangeMode as a program reads them; written by the decoder
    // from the same calls that write ValueText.
    Measurement measurement;
};

struct Extremes {
    float MaxReading = -40001;
    float MinReading = 40001;
    std::string MaxReadingText;
    std::string MinReadingText;
    // A text no decoder produces, so that the first decoded frame counts as a range change.
    std::string LastUnitText = "113";
    int LastDecimalPos = 0;
};

// Start values selected by the count code: "4" by default, "2" for the shipped 20000-count model.
struct CountProfile {
    std::int32_t fullScale;
    float maxReading;
    float minReading;
    const char* maxCaption;
    const char* minCaption;
    float overrangeHigh;
    float overrangeLow;
    int overloadBarPosition;
    int barMaximum;
};

// The profile for a count code; any code but "2" gives the default profile "4".
const CountProfile& countProfile(std::string_view countCode);

// The nine model variant switches, stored checked states as the default.
struct ModelVariant {
    bool IFQV31 = true;
    bool IFQV14 = false;
    bool IFQV16 = false;
    bool IFQV22 = false;
    bool IFQV15T = false;
    bool IFQV40T = false;
    bool IFQV52T = false;
    bool IFQV63 = false;
    bool IFOtherT = false;
};

} // namespace dmm
