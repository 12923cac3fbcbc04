// Cutting byte streams and HID report sequences into frames, on both roads and for all three
// families: which frames reach a decoder, which are rejected, and what each handler leaves in
// the accumulators and diagnostic sinks.
#include "Decoders.h"
#include "FrameAssembly.h"
#include "Meter.h"
#include "MeterFamily.h"
#include "RecordingHooks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dmm {
namespace {

using Bytes = std::vector<std::uint8_t>;

// One line per frame end: family, outcome, FrameText and (decoded frames only) ValueText.
class FrameLog : public FrameObserver {
public:
    explicit FrameLog(Meter& m) : m_(m) { m_.observer = this; }
    ~FrameLog() override { m_.observer = nullptr; }
    void frameDone(Family family, FrameOutcome outcome) override {
        std::string line(meterFamily(family).name);
        line += outcome == FrameOutcome::Decoded    ? " decoded "
                : outcome == FrameOutcome::Rejected ? " rejected "
                                                    : " undecodable ";
        line += m_.FrameText;
        if (outcome == FrameOutcome::Decoded) line += " " + m_.reading.ValueText;
        lines.push_back(line);
    }
    std::vector<std::string> lines;

private:
    Meter& m_;
};

// A Q32/Q31 frame on the wire: nine data bytes carrying the digits of `data` in their low
// nibbles (high nibble 3, so that no data byte is itself a 0x0D), then 0x0D, 0x0A.
Bytes digitFrame(const std::string& data) {
    Bytes out;
    for (char c : data) {
        const int v = c <= '9' ? c - '0' : c - 'A' + 10;
        out.push_back(static_cast<std::uint8_t>(0x30 | v));
    }
    out.push_back(0x0D);
    out.push_back(0x0A);
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// DC, AUTO, RS232, digits 1 2 3 4 with the point after the first, volt.
const Bytes kQ13Frame = {0x17, 0x20, 0x35, 0x4D, 0x5B, 0x61, 0x7F,
                         0x82, 0x97, 0xA0, 0xB0, 0xC0, 0xD4, 0xE0};
// The same with the digits 5 6 7 8.
const Bytes kQ13Frame2 = {0x17, 0x23, 0x3E, 0x4F, 0x5E, 0x61, 0x75,
                          0x87, 0x9F, 0xA0, 0xB0, 0xC0, 0xD4, 0xE0};

using SerialHandler = void (*)(Meter&, const std::uint8_t*, int);

std::vector<std::string> feedWhole(SerialHandler h, const Bytes& stream) {
    Meter m;
    FrameLog log(m);
    h(m, stream.data(), static_cast<int>(stream.size()));
    return log.lines;
}

std::vector<std::string> feedChunks(SerialHandler h, const Bytes& stream,
                                    const std::vector<std::size_t>& sizes) {
    Meter m;
    FrameLog log(m);
    std::size_t pos = 0, k = 0;
    while (pos < stream.size()) {
        const std::size_t n = std::min(sizes[k++ % sizes.size()], stream.size() - pos);
        h(m, stream.data() + pos, static_cast<int>(n));
        pos += n;
    }
    return log.lines;
}

// ---- Q32 serial ---------------------------------------------------------------------------

TEST(Q32Serial, FramesInStepDecodeAndTheFirstPartialOneIsDropped) {
    struct Row {
        const char* name;
        Bytes stream;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"one frame after the 0x0A of the previous one",
         concat({{0x0A}, digitFrame("123453101")}),
         {"q32 decoded 123453101DA 123.45"}},
        {"no leading 0x0A: the first buffer fails at its 0x0D",
         concat({digitFrame("123453101"), digitFrame("543213101")}),
         {"q32 rejected 23453101DDA", "q32 decoded 543213101DA 543.21"}},
        {"a partial frame after the port opens",
         concat({{0x33, 0x31, 0x30, 0x31}, digitFrame("123453101"), digitFrame("543213101")}),
         {"q32 rejected 101123453DA", "q32 decoded 543213101DA 543.21"}},
        {"ten data bytes, the tenth not ending in D",
         concat({{0x0A}, {0x31, 0x32, 0x33, 0x34, 0x35, 0x33, 0x31, 0x30, 0x31, 0x37, 0x0D}}),
         {"q32 rejected 123453101DA"}},
        {"ten data bytes, the tenth ending in D: the first nine decode",
         concat({{0x0A}, {0x31, 0x32, 0x33, 0x34, 0x35, 0x33, 0x31, 0x30, 0x31, 0x3D, 0x0D}}),
         {"q32 decoded 123453101DA 123.45"}},
        {"eight data bytes",
         concat({{0x0A}, {0x31, 0x32, 0x33, 0x34, 0x35, 0x33, 0x31, 0x30, 0x0D}}),
         {"q32 rejected 12345310DDA"}},
        {"a lone 0x0D", {0x0D}, {"q32 rejected DA"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(feedWhole(HQ32RData, row.stream), row.expected) << row.name;
}

TEST(Q32Serial, UsbtxtShowsEveryFrameEndAcceptedOrNot) {
    Meter m;
    const Bytes bad = digitFrame("123453101"); // no leading 0x0A
    HQ32RData(m, bad.data(), static_cast<int>(bad.size()) - 1);
    EXPECT_EQ(m.diag.USBtxt, "23453101DDA");
    EXPECT_EQ(m.counts.rejected, 1u);
    EXPECT_TRUE(m.lcd.on(Ind::CONokN)) << "a rejected frame does not mark the link alive";
    EXPECT_FALSE(m.lcd.on(Ind::CONok));
    const Bytes good = concat({{0x0A}, digitFrame("987653101")});
    HQ32RData(m, good.data(), static_cast<int>(good.size()));
    EXPECT_EQ(m.diag.USBtxt, "987653101DA");
    EXPECT_EQ(m.FrameText.size(), 11u);
    EXPECT_TRUE(m.lcd.on(Ind::CONok));
}

// A mixed stream: a partial start, good frames, a frame that passes the check but carries a
// letter in the range digit, and a frame with a lost byte.
Bytes mixedQ32Stream() {
    Bytes lost = digitFrame("111113101");
    lost.erase(lost.begin() + 3);
    return concat({{0x35, 0x30},
                   digitFrame("123453101"),
                   digitFrame("000013101"),
                   digitFrame("12345B101"),
                   digitFrame("543213105"),
                   lost,
                   digitFrame("A00003301"),
                   digitFrame("222224101"),
                   {0x31, 0x32}});
}

TEST(Q32Serial, EveryChunkingOfAStreamDecodesTheSameFrames) {
    const Bytes stream = mixedQ32Stream();
    const auto whole = feedWhole(HQ32RData, stream);
    ASSERT_EQ(whole.size(), 7u);
    EXPECT_EQ(whole[0], "q32 rejected 012345310DA");
    EXPECT_EQ(whole[1], "q32 decoded 000013101DA 000.01");
    EXPECT_EQ(whole[2], "q32 undecodable 12345B101DA");
    EXPECT_EQ(whole[3], "q32 decoded 543213105DA -543.21");
    EXPECT_EQ(whole[4], "q32 rejected 11113101DDA") << "a frame with a lost byte";
    EXPECT_EQ(whole[5], "q32 decoded A00003301DA 0.L") << "the next frame is in step again";
    EXPECT_EQ(whole[6], "q32 decoded 222224101DA 2222.2");

    for (std::size_t cut = 0; cut <= stream.size(); ++cut)
        EXPECT_EQ(feedChunks(HQ32RData, stream, {cut ? cut : 1, stream.size()}), whole)
            << "split at " << cut;
    EXPECT_EQ(feedChunks(HQ32RData, stream, {1}), whole);
    EXPECT_EQ(feedChunks(HQ32RData, stream, {12}), whole);
    EXPECT_EQ(feedChunks(HQ32RData, stream, {3, 7, 1, 13, 2, 11, 5}), whole);
}

TEST(Q32Serial, UndecodableFrameMidChunkLetsTheRestOfTheChunkDecode) {
    Meter m;
    FrameLog log(m);
    const Bytes stream =
        concat({{0x0A}, digitFrame("123453101"), digitFrame("1234531C1"), digitFrame("543213101")});
    HQ32RData(m, stream.data(), static_cast<int>(stream.size()));
    EXPECT_EQ(m.counts.decoded, 2u);
    EXPECT_EQ(m.counts.undecodable, 1u);
    EXPECT_EQ(m.reading.ValueText, "543.21");
    EXPECT_EQ(m.serial.LowNibbles, "A");
}

// ---- Q13 serial ---------------------------------------------------------------------------

Bytes without(Bytes b, std::size_t index) {
    b.erase(b.begin() + static_cast<std::ptrdiff_t>(index));
    return b;
}

TEST(Q13Serial, SequenceCheckAndResynchronisation) {
    const std::string good1 = "q13 decoded 705DB1F2700040 1.234";
    const std::string good2 = "q13 decoded 73EFE157F00040 5.678";
    Bytes stray = kQ13Frame;
    stray.insert(stray.begin() + 5, 0xE7);
    Bytes fifteen = kQ13Frame;
    fifteen.insert(fifteen.begin() + 13, 0xD5);
    struct Row {
        const char* name;
        Bytes stream;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"a stream of frames", concat({kQ13Frame, kQ13Frame2, kQ13Frame}), {good1, good2, good1}},
        {"a lost data byte fails its own frame only",
         concat({kQ13Frame, without(kQ13Frame2, 4), kQ13Frame}),
         {good1, "q13 rejected 73EF157F00040", good1}},
        {"a lost E byte runs into the next frame; the third decodes",
         concat({without(kQ13Frame, 13), kQ13Frame2, kQ13Frame}),
         {"q13 rejected 705DB1F27000473EFE157F00040", good1}},
        {"a stray E byte splits a frame into two failing pieces",
         concat({stray, kQ13Frame2}),
         {"q13 rejected 705DB7", "q13 rejected 1F2700040", good2}},
        {"a fifteenth byte before the E byte",
         concat({fifteen, kQ13Frame2}),
         {"q13 rejected 705DB1F27000450", good2}},
    };
    for (const Row& row : rows) {
        const auto whole = feedWhole(HQ13RData, row.stream);
        EXPECT_EQ(whole, row.expected) << row.name;
        EXPECT_EQ(feedChunks(HQ13RData, row.stream, {1}), whole) << row.name;
        for (std::size_t cut = 1; cut < row.stream.size(); ++cut)
            EXPECT_EQ(feedChunks(HQ13RData, row.stream, {cut, row.stream.size()}), whole)
                << row.name << ", split at " << cut;
    }
}

// ---- Q31 serial ---------------------------------------------------------------------------

TEST(Q31Serial, FrameTextCarriesTheLeadingAAndTheTrailingD) {
    const Bytes stream =
        concat({digitFrame("11234B002"), digitFrame("11234B002"), digitFrame("31234B002")});
    const auto whole = feedWhole(HQ31RData, stream);
    ASSERT_EQ(whole.size(), 3u);
    EXPECT_EQ(whole[0], "q31 rejected 11234B002D");
    EXPECT_EQ(whole[1], "q31 decoded A11234B002D 1.234");
    EXPECT_EQ(whole[2], "q31 decoded A31234B002D 123.4");
    EXPECT_EQ(feedChunks(HQ31RData, stream, {1}), whole);
    for (std::size_t cut = 1; cut < stream.size(); ++cut)
        EXPECT_EQ(feedChunks(HQ31RData, stream, {cut, stream.size()}), whole) << cut;
}

// ---- Accumulator bounds -------------------------------------------------------------------

TEST(AccumulatorBounds, EndlessStreamWithoutFrameEndStaysBounded) {
    struct Row {
        const char* name;
        SerialHandler handler;
        std::uint8_t filler;
        Bytes end;
        Bytes next;
        std::string expectedLast;
    };
    const Row rows[] = {
        {"q32",
         HQ32RData,
         0x31,
         {0x0D},
         concat({{0x0A}, digitFrame("123453101")}),
         "q32 decoded 123453101DA 123.45"},
        {"q31",
         HQ31RData,
         0x31,
         {0x0D},
         concat({{0x0A}, digitFrame("11234B002")}),
         "q31 decoded A11234B002D 1.234"},
        {"q13", HQ13RData, 0x12, {0xE0}, kQ13Frame, "q13 decoded 705DB1F2700040 1.234"},
    };
    for (const Row& row : rows) {
        Meter m;
        FrameLog log(m);
        const Bytes chunk(4096, row.filler);
        for (int i = 0; i < 256; ++i) { // a megabyte
            row.handler(m, chunk.data(), static_cast<int>(chunk.size()));
            ASSERT_LE(m.serial.LowNibbles.size(), kAccumulatorBytes) << row.name;
            ASSERT_LE(m.serial.HighNibbles.size(), kAccumulatorBytes) << row.name;
        }
        EXPECT_EQ(m.serial.byteCount, 256u * 4096u) << row.name;
        EXPECT_LE(m.serial.LowNibbles.capacity(), 2 * kAccumulatorBytes) << row.name;
        row.handler(m, row.end.data(), static_cast<int>(row.end.size()));
        row.handler(m, row.next.data(), static_cast<int>(row.next.size()));
        ASSERT_EQ(log.lines.size(), 2u) << row.name;
        EXPECT_EQ(log.lines[0].substr(0, 12), std::string(row.name) + " rejected") << row.name;
        EXPECT_EQ(log.lines[1], row.expectedLast) << row.name;
    }
}

TEST(AccumulatorBounds, OverlongQ32BufferIsJudgedByItsFirstElevenBytes) {
    // The check reads positions 1 and 11 only, so dropping bytes past the kept ones must not
    // change what an overlong buffer gives.
    Bytes stream = {0x0A, 0x31, 0x32, 0x33, 0x34, 0x35, 0x33, 0x31, 0x30, 0x31, 0x3D};
    stream.insert(stream.end(), 10000, 0x37);
    stream.push_back(0x0D);
    EXPECT_EQ(feedWhole(HQ32RData, stream),
              std::vector<std::string>{"q32 decoded 123453101DA 123.45"});
}

// ---- HID road -----------------------------------------------------------------------------

using ReportHandler = void (*)(Meter&, std::uint8_t, const std::uint8_t*, std::uint16_t);

void report(Meter& m, ReportHandler h, const Bytes& data, std::uint8_t id = 0) {
    h(m, id, data.data(), static_cast<std::uint16_t>(data.size()));
}

// Payload reports: count byte n, then n meter bytes.
Bytes payload(const Bytes& bytes) {
    Bytes r = {static_cast<std::uint8_t>(bytes.size())};
    r.insert(r.end(), bytes.begin(), bytes.end());
    return r;
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 b.begin() + static_cast<std::ptrdiff_t>(from + n));
}

const Bytes kIdle = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(Q32Hid, FrameSplitOverTwoReportsDecodes) {
    Meter m;
    FrameLog log(m);
    const Bytes frame = digitFrame("123453101");
    report(m, Q32ReportHandler, kIdle);
    report(m, Q32ReportHandler, payload(slice(frame, 0, 7)));
    EXPECT_TRUE(m.hid.HidFrameOpen);
    report(m, Q32ReportHandler, payload(slice(frame, 7, 4)));
    EXPECT_TRUE(log.lines.empty());
    report(m, Q32ReportHandler, kIdle);
    EXPECT_EQ(log.lines, std::vector<std::string>{"q32 decoded 123453101DA 123.45"});
    EXPECT_EQ(m.diag.USBtxt1, "DA");
    EXPECT_EQ(m.diag.USBtxt, "123453101DA") << "the decoder shows FrameText last";
    EXPECT_FALSE(m.hid.HidFrameOpen);
    EXPECT_TRUE(m.hid.HidFrameBytes.empty());
}

TEST(Q32Hid, ReportSequences) {
    const Bytes f1 = digitFrame("123453101");
    const Bytes f2 = digitFrame("543213101");
    const Bytes shortFrame = slice(f1, 0, 10);
    struct Row {
        const char* name;
        std::vector<Bytes> reports;
        std::vector<std::string> expected;
        std::string usbtxt1;
    };
    const Row rows[] = {
        {"two frames with idle reports between",
         {kIdle, payload(slice(f1, 0, 7)), payload(slice(f1, 7, 4)), kIdle,
          payload(slice(f2, 0, 7)), payload(slice(f2, 7, 4)), kIdle},
         {"q32 decoded 123453101DA 123.45", "q32 decoded 543213101DA 543.21"},
         "DA"},
        {"no idle report between two frames: joined, first eleven bytes examined",
         {payload(slice(f1, 0, 7)), payload(slice(f1, 7, 4)), payload(slice(f2, 0, 7)),
          payload(slice(f2, 7, 4)), kIdle},
         {"q32 decoded 123453101DA 123.45"},
         "DA"},
        {"payload in a single report of nine and one of two",
         {payload(slice(f1, 0, 9)), payload(slice(f1, 9, 2)), {}},
         {"q32 decoded 123453101DA 123.45"},
         "DA"},
        {"ten bytes only",
         {payload(slice(shortFrame, 0, 7)), payload(slice(shortFrame, 7, 3)), kIdle},
         {"q32 rejected 123453101D"},
         "D"},
        {"count larger than the bytes present",
         {{0x07, 0x31, 0x32, 0x33}, payload(slice(f1, 3, 8)), kIdle},
         {"q32 decoded 123453101DA 123.45"},
         "DA"},
        {"the count is the low nibble of the first data byte",
         {{0xF7, 0x31, 0x32, 0x33, 0x34, 0x35, 0x33, 0x31}, {0x14, 0x30, 0x31, 0x0D, 0x0A}, {0x50}},
         {"q32 decoded 123453101DA 123.45"},
         "DA"},
        {"idle reports with counts 0 and A to F end the frame alike",
         {payload(slice(f1, 0, 7)),
          payload(slice(f1, 7, 4)),
          {0x0A, 0x31, 0x32},
          payload(slice(f2, 0, 7)),
          payload(slice(f2, 7, 4)),
          {0x2F}},
         {"q32 decoded 123453101DA 123.45", "q32 decoded 543213101DA 543.21"},
         "DA"},
        {"idle reports while no frame is open end nothing", {kIdle, {}, {0x0B}, kIdle}, {}, ""},
        {"a frame whose bytes 10 and 11 are not 0x0D 0x0A",
         {payload(slice(f1, 1, 7)), payload(slice(f1, 8, 3)), payload({0x31}), kIdle},
         {"q32 rejected 23453101DA1"},
         "A1"},
    };
    for (const Row& row : rows) {
        Meter m;
        FrameLog log(m);
        for (const Bytes& r : row.reports) report(m, Q32ReportHandler, r);
        EXPECT_EQ(log.lines, row.expected) << row.name;
        EXPECT_EQ(m.diag.USBtxt1, row.usbtxt1) << row.name;
    }
}

TEST(Q32Hid, UsbtxtShowsTheHighDigitsOfARejectedFrame) {
    Meter m;
    const Bytes f = {0x31, 0x42, 0x53, 0x64, 0x75, 0x86, 0x97, 0xA8, 0xB9, 0xC0, 0xD1, 0xE2};
    report(m, Q32ReportHandler, payload(slice(f, 0, 6)));
    report(m, Q32ReportHandler, payload(slice(f, 6, 6)));
    report(m, Q32ReportHandler, kIdle);
    EXPECT_EQ(m.diag.USBtxt, "3456789ABCD");
    EXPECT_EQ(m.FrameText, "12345678901");
    EXPECT_EQ(m.diag.USBtxt1, "01");
    EXPECT_EQ(m.counts.rejected, 1u);
}

TEST(HidReports, HistoryListBoxGetsPayloadReportsOnly) {
    Meter m;
    report(m, Q32ReportHandler, {0x03, 0x31, 0x0D, 0x0A}, 0x01);
    EXPECT_EQ(m.hid.ReportLine, "R 01  03 31 0D 0A ");
    report(m, Q32ReportHandler, {});
    EXPECT_EQ(m.hid.ReportLine, "R 00  ");
    for (std::uint8_t count : {0x00, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x30, 0xFA})
        report(m, Q32ReportHandler, {count, 0x31, 0x32});
    report(m, Q13ReportHandler, {0x00});
    report(m, Q13ReportHandler, {0x01, 0xab});
    ASSERT_EQ(m.diag.HistoryListBox.size(), 2u);
    EXPECT_EQ(m.diag.HistoryListBox.at(0), "R 01  03 31 0D 0A ");
    EXPECT_EQ(m.diag.HistoryListBox.last(), "R 00  01 AB ");
}

TEST(HidReports, IdleReportsCountsOnlyReportsWithDataBytesAndNoPayload) {
    Meter m;
    for (int i = 0; i < 5; ++i) report(m, Q32ReportHandler, kIdle);
    EXPECT_EQ(m.hid.IdleReports, 5);
    report(m, Q32ReportHandler, {});
    report(m, Q32ReportHandler, {});
    EXPECT_EQ(m.hid.IdleReports, 5) << "a report without any data byte is not counted";
    report(m, Q32ReportHandler, {0x0C});
    EXPECT_EQ(m.hid.IdleReports, 6);
    report(m, Q32ReportHandler, {0x01, 0x31});
    EXPECT_EQ(m.hid.IdleReports, 0);
    report(m, Q13ReportHandler, {0x00});
    EXPECT_EQ(m.hid.IdleReports, 1) << "both report handlers share the count";
}

TEST(HidReports, OversizedReportsAndEndlessPayloadStayBounded) {
    Meter m;
    FrameLog log(m);
    Bytes huge(65535, 0x39);
    huge[0] = 0x09;
    report(m, Q32ReportHandler, huge);
    EXPECT_EQ(m.hid.ReportLine.size(), 6u + 3u * 64u);
    for (int i = 0; i < 5000; ++i) {
        report(m, Q32ReportHandler, {0x09, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39});
        ASSERT_LE(m.hid.HidFrameBytes.size(), 2 * kAccumulatorBytes);
    }
    EXPECT_EQ(m.diag.HistoryListBox.size(), kDiagnosticLines);
    EXPECT_EQ(m.diag.HistoryListBox.added(), 5001u);
    report(m, Q32ReportHandler, kIdle);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "q32 rejected 99999999912");
    const Bytes f = digitFrame("123453101");
    report(m, Q32ReportHandler, payload(slice(f, 0, 7)));
    report(m, Q32ReportHandler, payload(slice(f, 7, 4)));
    report(m, Q32ReportHandler, kIdle);
    EXPECT_EQ(log.lines.back(), "q32 decoded 123453101DA 123.45");
}

TEST(Q13Hid, FourteenByteFramesAndTheSequenceCheck) {
    struct Row {
        const char* name;
        std::vector<Bytes> reports;
        std::vector<std::string> expected;
    };
    const Bytes& f = kQ13Frame;
    const Row rows[] = {
        {"frame in two reports",
         {kIdle, payload(slice(f, 0, 7)), payload(slice(f, 7, 7)), kIdle},
         {"q13 decoded 705DB1F2700040 1.234"}},
        {"frame in reports of 5, 5 and 4, ended by an empty report",
         {payload(slice(f, 0, 5)), payload(slice(f, 5, 5)), payload(slice(f, 10, 4)), {}},
         {"q13 decoded 705DB1F2700040 1.234"}},
        {"thirteen bytes",
         {payload(slice(f, 0, 7)), payload(slice(f, 7, 6)), kIdle},
         {"q13 rejected 705DB1F270004"}},
        {"joined with the next frame: the first fourteen bytes decode",
         {payload(slice(f, 0, 7)), payload(slice(f, 7, 7)), payload(slice(kQ13Frame2, 0, 7)),
          kIdle},
         {"q13 decoded 705DB1F2700040 1.234"}},
        {"a sequence nibble out of place",
         {payload(slice(f, 1, 7)), payload(slice(f, 8, 6)), payload({0x17}), kIdle},
         {"q13 rejected 05DB1F27000407"}},
    };
    for (const Row& row : rows) {
        Meter m;
        FrameLog log(m);
        for (const Bytes& r : row.reports) report(m, Q13ReportHandler, r);
        EXPECT_EQ(log.lines, row.expected) << row.name;
        if (!row.expected.empty()) {
            EXPECT_EQ(m.diag.USBtxt, m.FrameText) << row.name;
        }
    }
}

} // namespace
} // namespace dmm
