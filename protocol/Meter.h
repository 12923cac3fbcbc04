// The meter's whole protocol state, as the main window owns it for the run of the program:
// current reading, extremes, LCD mirror, the frame accumulators and the diagnostic sinks.
#pragma once

#include "BoundedLines.h"
#include "FrameObserver.h"
#include "Indicators.h"
#include "NullHooks.h"
#include "Reading.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace dmm {

class ShownValue;

// A wrong meter or a wrong speed can send bytes that never end a frame. A frame is 11 or 14
// bytes and the checks look at no byte beyond the 14th, so the accumulators keep the first
// kAccumulatorBytes bytes since the last frame end and only count the rest; an overlong Q13
// frame then fails its check as it would have, and a Q31/Q32 check sees the same positions.
inline constexpr std::size_t kAccumulatorBytes = 64;

struct SerialAccumulators {
    std::string HighNibbles;   // high hex digit of each kept byte since the last frame end
    std::string LowNibbles;    // low hex digit of the same bytes
    std::size_t byteCount = 0; // every byte since the last frame end, kept or not
    void clear() {
        HighNibbles.clear();
        LowNibbles.clear();
        byteCount = 0;
    }
};

struct HidAccumulators {
    // Two hex digits per payload byte since the frame opened; bytes beyond the first
    // kAccumulatorBytes are ignored, as bytes beyond the frame length are.
    std::string HidFrameBytes;
    bool HidFrameOpen = false;
    int IdleReports = 0;
    std::string ReportLine; // the last report rendered as text
};

// The hidden diagnostic labels and lists. Both lists keep their newest kDiagnosticLines lines:
// they grow by a line per payload report or Q31 frame, for as long as the program runs.
inline constexpr std::size_t kDiagnosticLines = 1000;

struct Diagnostics {
    std::string USBtxt;
    std::string USBtxt1;
    BoundedLines HistoryListBox{kDiagnosticLines};
    BoundedLines Memo1{kDiagnosticLines};
};

struct FrameCounts {
    std::uint64_t decoded = 0;
    std::uint64_t rejected = 0;
    std::uint64_t undecodable = 0;
};

class Meter {
public:
    explicit Meter(DecoderHooks* hooks = nullptr);

    // Shared state.
    CurrentReading reading;
    Extremes extremes;
    IndicatorSet lcd;
    ModelVariant variant;
    std::string LocaleDecimalSeparator = ".";
    std::string CountCode = "4";
    float OverrangeHigh = 40002.0f;
    float OverrangeLow = -40002.0f;
    int OverloadBarPosition = 40;
    int FrameWatchdog = 0;
    bool FrequencyAxisMode = false; // family Q13: the hertz bit sets a fixed chart axis
    std::string FrameText;

    // Frame assembly.
    SerialAccumulators serial;
    HidAccumulators hid;

    Diagnostics diag;
    FrameCounts counts;

    DecoderHooks& hooks() { return *hooks_; }
    void setHooks(DecoderHooks* hooks);
    FrameObserver* observer = nullptr;

    // Sets CountCode and applies its profile: FullScale, the extremes and their captions, the
    // over-range limits, the overload bar position and the bar maximum.
    void applyCountProfile(std::string_view countCode);

    // The reading's measurement from the value text just written through `shown`, with the
    // unit, coupling and range mode the frame set and the annunciators that name a quantity
    // (continuity, diode) lit.
    void setMeasurement(const ShownValue& shown);

    // The first step of every decoder: show CONok, hide CONokN, zero FrameWatchdog.
    void MarkLinkAlive();

    // The min/max rule, run once per decoded frame. decimalPos is the decoder's start value
    // (0 for Q13/Q31, DecimalPos for Q32); the points that are on then decide.
    void UpdateExtremes(int decimalPos, std::int32_t resetSpan, bool compareAfterReset);

    // Reports the outcome of a frame end to the counts and the observer.
    void finishFrame(Family family, FrameOutcome outcome);

private:
    NullHooks nullHooks_;
    DecoderHooks* hooks_;
};

} // namespace dmm
