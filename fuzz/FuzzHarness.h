// What every protocol fuzz target checks: whatever bytes arrive, the accumulators and diagnostic
// lists stay within their bounds, the LCD mirror holds only what it can show, a frame that is
// rejected or cannot be decoded leaves the decoded state as it was, and the way a serial stream
// is cut into chunks does not change what it decodes to.
#pragma once

#include "FrameAssembly.h"
#include "FuzzCheck.h"
#include "Meter.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace dmm::fuzz {

// The longest texts a decoder can build from one frame (sign, five digits, four separators of
// a two-character locale separator) with room to spare; a longer one means a runaway append.
inline constexpr std::size_t kMaxFieldText = 32;

inline void checkBounds(const Meter& m) {
    DMM_CHECK(m.serial.HighNibbles.size() <= kAccumulatorBytes);
    DMM_CHECK(m.serial.LowNibbles.size() <= kAccumulatorBytes);
    DMM_CHECK(m.serial.HighNibbles.size() == m.serial.LowNibbles.size());
    DMM_CHECK(m.serial.LowNibbles.size() ==
              (m.serial.byteCount < kAccumulatorBytes ? m.serial.byteCount : kAccumulatorBytes));
    DMM_CHECK(m.hid.HidFrameBytes.size() <= 2 * kAccumulatorBytes);
    DMM_CHECK(m.hid.HidFrameBytes.size() % 2 == 0);
    DMM_CHECK(m.FrameText.size() <= kAccumulatorBytes);
    DMM_CHECK(m.diag.USBtxt.size() <= kAccumulatorBytes);
    DMM_CHECK(m.diag.USBtxt1.size() <= 2);
    DMM_CHECK(m.diag.HistoryListBox.size() <= kDiagnosticLines);
    DMM_CHECK(m.diag.Memo1.size() <= kDiagnosticLines);
    DMM_CHECK(m.lcd.barPosition() >= 0 && m.lcd.barPosition() <= m.lcd.barMaximum());
    for (std::size_t i = 0; i < kDigitPlaces; ++i)
        DMM_CHECK(m.lcd.digit(digitPlace(static_cast<int>(i))).size() <= 1);
    DMM_CHECK(std::isfinite(m.reading.NumericValue));
    DMM_CHECK(m.reading.ValueText.size() <= kMaxFieldText);
    DMM_CHECK(m.reading.UnitText.size() <= kMaxFieldText);
    DMM_CHECK(m.reading.DcAc.size() <= kMaxFieldText);
}

// Everything a frame decodes into, but the link-alive mark.
struct DecodedState {
    std::string value, dcac, unit, range;
    double numeric = 0;
    std::int32_t fullScale = 0;
    std::array<bool, kIndicatorCount> on{};
    std::array<std::string, kDigitPlaces> digits;
    int bar = 0;
    float maxReading = 0, minReading = 0;
    std::string maxText, minText, lastUnit, maxLabel, minLabel, maxUnit, minUnit;
    int lastDecimalPos = 0;
    bool frequencyAxis = false;
    std::uint64_t memoLines = 0;
    bool operator==(const DecodedState&) const = default;

    void take(const Meter& m) {
        value = m.reading.ValueText;
        dcac = m.reading.DcAc;
        unit = m.reading.UnitText;
        range = m.reading.RangeMode;
        numeric = m.reading.NumericValue;
        fullScale = m.reading.FullScale;
        for (std::size_t i = 0; i < kIndicatorCount; ++i) {
            const Ind ind = static_cast<Ind>(i);
            on[i] = ind != Ind::CONok && ind != Ind::CONokN && m.lcd.on(ind);
        }
        for (std::size_t i = 0; i < kDigitPlaces; ++i)
            digits[i] = m.lcd.digit(digitPlace(static_cast<int>(i)));
        bar = m.lcd.barPosition();
        maxReading = m.extremes.MaxReading;
        minReading = m.extremes.MinReading;
        maxText = m.extremes.MaxReadingText;
        minText = m.extremes.MinReadingText;
        lastUnit = m.extremes.LastUnitText;
        maxLabel = m.lcd.maxText;
        minLabel = m.lcd.minText;
        maxUnit = m.lcd.maxTextU;
        minUnit = m.lcd.minTextU;
        lastDecimalPos = m.extremes.LastDecimalPos;
        frequencyAxis = m.FrequencyAxisMode;
        memoLines = m.diag.Memo1.added();
    }
};

// Checks the bounds at every frame end, and that a frame that was not decoded changed nothing.
// Between frame ends only the accumulators change, so the state after the previous frame end
// is the state the frame started from.
class StateGuard : public FrameObserver {
public:
    explicit StateGuard(Meter& m) : m_(m) {
        m_.observer = this;
        last_.take(m_);
    }
    void frameDone(Family, FrameOutcome outcome) override {
        checkBounds(m_);
        DecodedState now;
        now.take(m_);
        if (outcome != FrameOutcome::Decoded) DMM_CHECK(now == last_);
        last_ = now;
        ++frames;
    }
    std::uint64_t frames = 0;

private:
    Meter& m_;
    DecodedState last_;
};

// The window's two check boxes as an input byte sets them.
class SwitchedHooks : public NullHooks {
public:
    bool recordSI = false;
    bool btFill = true;
    bool RecordSIChecked() const override { return recordSI; }
    bool BtFillChecked() const override { return btFill; }
};

// Sets every model variant switch from the bits of c (the ninth from their parity), the count
// profile as start-up selects it, the decimal separator and the check boxes.
inline void configure(Meter& m, SwitchedHooks& hooks, std::uint8_t c) {
    ModelVariant& v = m.variant;
    v.IFQV31 = c & 0x01;
    v.IFQV14 = c & 0x02;
    v.IFQV16 = c & 0x04;
    v.IFQV22 = c & 0x08;
    v.IFQV15T = c & 0x10;
    v.IFQV40T = c & 0x20;
    v.IFQV52T = c & 0x40;
    v.IFQV63 = c & 0x80;
    const bool parity = __builtin_parity(c);
    v.IFOtherT = parity;
    m.applyCountProfile(v.IFQV31 ? "2" : "4");
    m.LocaleDecimalSeparator = parity ? "," : ".";
    hooks.recordSI = c & 0x18;
    hooks.btFill = !(c & 0x60);
    m.setHooks(&hooks);
}

using SerialHandler = void (*)(Meter&, const std::uint8_t*, int);
using ReportHandler = void (*)(Meter&, std::uint8_t, const std::uint8_t*, std::uint16_t);

// Feeds the stream in chunks whose lengths come from the stream itself: each chunk is as long
// as its first byte says (1 to 32 bytes, mixed with a seed byte).
inline void feedChunked(Meter& m, SerialHandler handler, const std::uint8_t* data, std::size_t size,
                        std::uint8_t seed) {
    std::size_t pos = 0;
    while (pos < size) {
        std::size_t len = 1 + ((data[pos] ^ seed) & 0x1F);
        if (len > size - pos) len = size - pos;
        handler(m, data + pos, static_cast<int>(len));
        pos += len;
    }
}

// Input: a configuration byte, a chunking seed byte, then the serial stream. The stream is fed
// whole to a meter at its defaults, in chunks to a second one, and in chunks to a third whose
// switches the configuration byte sets.
inline void runSerial(const std::uint8_t* data, std::size_t size, SerialHandler handler,
                      bool (*endsFrame)(std::uint8_t)) {
    if (size < 2) return;
    const std::uint8_t config = data[0];
    const std::uint8_t seed = data[1];
    const std::uint8_t* stream = data + 2;
    const std::size_t n = size - 2;
    std::uint64_t frameEnds = 0;
    for (std::size_t i = 0; i < n; ++i) frameEnds += endsFrame(stream[i]) ? 1 : 0;

    Meter whole;
    StateGuard wholeGuard(whole);
    handler(whole, stream, static_cast<int>(n));
    checkBounds(whole);

    Meter chunked;
    StateGuard chunkedGuard(chunked);
    feedChunked(chunked, handler, stream, n, seed);
    checkBounds(chunked);

    DMM_CHECK(wholeGuard.frames == frameEnds);
    DMM_CHECK(whole.counts.decoded + whole.counts.rejected + whole.counts.undecodable == frameEnds);
    DMM_CHECK(chunked.counts.decoded == whole.counts.decoded);
    DMM_CHECK(chunked.counts.rejected == whole.counts.rejected);
    DMM_CHECK(chunked.counts.undecodable == whole.counts.undecodable);
    DecodedState a, b;
    a.take(whole);
    b.take(chunked);
    DMM_CHECK(a == b);

    SwitchedHooks hooks;
    Meter switched;
    configure(switched, hooks, config);
    StateGuard switchedGuard(switched);
    feedChunked(switched, handler, stream, n, seed);
    checkBounds(switched);
    DMM_CHECK(switchedGuard.frames == frameEnds);
}

// Input: a configuration byte, then reports, each a report ID, a length byte and that many data
// bytes (fewer at the end of the input). The reports go to a meter at its defaults and to one
// whose switches the configuration byte sets.
inline void runReports(const std::uint8_t* data, std::size_t size, ReportHandler handler) {
    if (size < 1) return;
    const std::uint8_t config = data[0];
    Meter plain;
    StateGuard plainGuard(plain);
    SwitchedHooks hooks;
    Meter switched;
    configure(switched, hooks, config);
    StateGuard switchedGuard(switched);

    std::uint64_t reports = 0;
    std::size_t pos = 1;
    while (pos + 2 <= size) {
        const std::uint8_t id = data[pos];
        std::size_t len = data[pos + 1];
        pos += 2;
        if (len > size - pos) len = size - pos;
        handler(plain, id, data + pos, static_cast<std::uint16_t>(len));
        handler(switched, id, data + pos, static_cast<std::uint16_t>(len));
        checkBounds(plain);
        checkBounds(switched);
        pos += len;
        ++reports;
    }
    DMM_CHECK(plainGuard.frames <= reports);
    DMM_CHECK(plain.counts.decoded + plain.counts.rejected + plain.counts.undecodable ==
              plainGuard.frames);
    DMM_CHECK(switchedGuard.frames == plainGuard.frames);
}

} // namespace dmm::fuzz
