#include "FrameAssembly.h"

#include "Decoders.h"

#include <string_view>

namespace dmm {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

inline char hexHigh(std::uint8_t b) {
    return kHex[b >> 4];
}
inline char hexLow(std::uint8_t b) {
    return kHex[b & 0x0F];
}

// Every byte is counted; only the first kAccumulatorBytes since the last frame end are kept,
// so a stream that never ends a frame cannot grow the accumulators.
inline void accumulate(SerialAccumulators& acc, std::uint8_t b) {
    if (acc.byteCount < kAccumulatorBytes) {
        acc.HighNibbles.push_back(hexHigh(b));
        acc.LowNibbles.push_back(hexLow(b));
    }
    ++acc.byteCount;
}

// Character `pos` (counting from 1) of a text; a position that does not exist reads as NUL,
// which matches no hex digit.
inline char charAt(std::string_view s, std::size_t pos) {
    return pos >= 1 && pos <= s.size() ? s[pos - 1] : '\0';
}

// The Q31/Q32 check: the bytes since the previous 0x0D begin with the 0x0A that ended it and
// put the 0x0D at position 11. The length itself is not checked.
inline bool digitFrameInStep(std::string_view lowNibbles) {
    return charAt(lowNibbles, 1) == 'A' && charAt(lowNibbles, 11) == 'D';
}

constexpr std::string_view kQ13Sequence = "123456789ABCDE";

} // namespace

// Q13 wire format: 14 bytes, byte i carrying the sequence number i (1..E) in its high nibble and
// one LCD data nibble in its low nibble. Any byte with high nibble E ends a frame.
void HQ13RData(Meter& m, const std::uint8_t* data, int size) {
    SerialAccumulators& acc = m.serial;
    for (int i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        accumulate(acc, b);
        if ((b >> 4) != 0x0E) continue;
        m.FrameText.assign(acc.LowNibbles);
        FrameOutcome outcome = FrameOutcome::Rejected;
        if (acc.byteCount == kQ13Sequence.size() && acc.HighNibbles == kQ13Sequence)
            outcome = LcdDisplayQ13(m);
        acc.clear();
        m.finishFrame(Family::Q13, outcome);
    }
}

// Q31 wire format: nine data bytes (data in the low nibble), 0x0D, 0x0A. The frame handed on is
// every byte since the previous 0x0D, so it starts with that frame's 0x0A.
void HQ31RData(Meter& m, const std::uint8_t* data, int size) {
    SerialAccumulators& acc = m.serial;
    for (int i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        accumulate(acc, b);
        if (b != 0x0D) continue;
        m.FrameText.assign(acc.LowNibbles);
        FrameOutcome outcome = FrameOutcome::Rejected;
        if (digitFrameInStep(acc.LowNibbles)) outcome = LcdDisplayQ31(m);
        acc.clear();
        m.finishFrame(Family::Q31, outcome);
    }
}

// Q32 wire format: as Q31. The frame handed on is the nine data bytes followed by "DA".
void HQ32RData(Meter& m, const std::uint8_t* data, int size) {
    SerialAccumulators& acc = m.serial;
    for (int i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        accumulate(acc, b);
        if (b != 0x0D) continue;
        const std::string_view low(acc.LowNibbles);
        m.FrameText.assign(low.size() > 1 ? low.substr(1, 9) : std::string_view());
        m.FrameText.append("DA");
        m.diag.USBtxt.assign(m.FrameText);
        FrameOutcome outcome = FrameOutcome::Rejected;
        if (digitFrameInStep(low)) outcome = LcdDisplayQ32(m);
        acc.clear();
        m.finishFrame(Family::Q32, outcome);
    }
}

namespace {

// A report line shows at most this many data bytes. A payload report uses at most ten of them
// (the count byte and nine payload bytes); the cap keeps an oversized report from filling the
// history list with lines hundreds of kilobytes long.
constexpr std::uint16_t kReportLineBytes = 64;

// "R %.2X  " with the report ID, then "%.2X " per data byte.
void buildReportLine(std::string& line, std::uint8_t reportId, const std::uint8_t* data,
                     std::uint16_t size) {
    line.clear();
    line.push_back('R');
    line.push_back(' ');
    line.push_back(hexHigh(reportId));
    line.push_back(hexLow(reportId));
    line.push_back(' ');
    line.push_back(' ');
    const std::uint16_t shown = size < kReportLineBytes ? size : kReportLineBytes;
    for (std::uint16_t i = 0; i < shown; ++i) {
        line.push_back(hexHigh(data[i]));
        line.push_back(hexLow(data[i]));
        line.push_back(' ');
    }
}

enum class ReportKind { Payload, FrameEnd, Nothing };

// USB adapter input report: the low nibble of the first data byte is the count n of meter bytes
// that follow it. A count of 1 to 9 carries payload; any other count, or a report without data
// bytes, marks a gap between frames, which ends the frame gathered so far.
ReportKind takeReport(Meter& m, std::uint8_t reportId, const std::uint8_t* data,
                      std::uint16_t size) {
    HidAccumulators& hid = m.hid;
    buildReportLine(hid.ReportLine, reportId, data, size);
    const char c = size > 0 ? hid.ReportLine[7] : '\0';
    if (c != '\0') ++hid.IdleReports;
    if (c >= '1' && c <= '9') {
        hid.IdleReports = 0;
        hid.HidFrameOpen = true;
        const std::uint16_t n = static_cast<std::uint16_t>(c - '0');
        for (std::uint16_t k = 1; k <= n && k < size; ++k) {
            if (hid.HidFrameBytes.size() >= 2 * kAccumulatorBytes) break;
            hid.HidFrameBytes.push_back(hexHigh(data[k]));
            hid.HidFrameBytes.push_back(hexLow(data[k]));
        }
        m.diag.HistoryListBox.add(hid.ReportLine);
        return ReportKind::Payload;
    }
    const bool frameEnd = hid.HidFrameOpen;
    hid.HidFrameOpen = false;
    return frameEnd ? ReportKind::FrameEnd : ReportKind::Nothing;
}

// Splits the first `bytes` bytes of HidFrameBytes into their high and low digits.
void splitFrameBytes(const std::string& frameBytes, std::size_t bytes, std::string& high,
                     std::string& low) {
    high.clear();
    low.clear();
    const std::size_t have = frameBytes.size() / 2;
    const std::size_t n = have < bytes ? have : bytes;
    for (std::size_t i = 0; i < n; ++i) {
        high.push_back(frameBytes[2 * i]);
        low.push_back(frameBytes[2 * i + 1]);
    }
}

} // namespace

void Q13ReportHandler(Meter& m, std::uint8_t reportId, const std::uint8_t* data,
                      std::uint16_t size) {
    if (takeReport(m, reportId, data, size) != ReportKind::FrameEnd) return;
    std::string check; // 14 characters: no allocation
    splitFrameBytes(m.hid.HidFrameBytes, kQ13Sequence.size(), check, m.FrameText);
    m.diag.USBtxt.assign(m.FrameText);
    m.hid.HidFrameBytes.clear();
    FrameOutcome outcome = FrameOutcome::Rejected;
    if (check == kQ13Sequence) outcome = LcdDisplayQ13(m);
    m.finishFrame(Family::Q13, outcome);
}

void Q32ReportHandler(Meter& m, std::uint8_t reportId, const std::uint8_t* data,
                      std::uint16_t size) {
    if (takeReport(m, reportId, data, size) != ReportKind::FrameEnd) return;
    splitFrameBytes(m.hid.HidFrameBytes, 11, m.diag.USBtxt, m.FrameText);
    const std::string_view text(m.FrameText);
    m.diag.USBtxt1.assign(text.size() > 9 ? text.substr(9, 2) : std::string_view());
    const bool inStep = charAt(text, 10) == 'D' && charAt(text, 11) == 'A';
    m.hid.HidFrameBytes.clear();
    FrameOutcome outcome = FrameOutcome::Rejected;
    if (inStep) outcome = LcdDisplayQ32(m);
    m.finishFrame(Family::Q32, outcome);
}

} // namespace dmm
