// The simulated meter: its encoders give the frames the meter's documentation describes, its
// expected readings are what the decoders make of them, on both roads and under line faults.
#include "Decoders.h"
#include "FrameAssembly.h"
#include "HidReports.h"
#include "Meter.h"
#include "MeterFamily.h"
#include "ShownValue.h"
#include "Simulator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dmm::sim {
namespace {

std::string hex(const std::vector<std::uint8_t>& b) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (auto x : b) {
        s += digits[x >> 4];
        s += digits[x & 15];
    }
    return s;
}

MeterState state(Function f, int range, std::uint32_t count) {
    MeterState s;
    s.function = f;
    s.range = range;
    s.count = count;
    return s;
}

// Frames named in the meters' documentation, from the states that show them.
TEST(SimEncoders, FramesOfTheDocumentedDisplays) {
    struct Row {
        const char* what;
        Family family;
        MeterState s;
        const char* bytes;
        ExpectedReading expected;
    };
    auto with = [](MeterState s, auto change) {
        change(s);
        return s;
    };
    const MeterState volts =
        with(state(Function::DcVolt, 3, 12345), [](MeterState& s) { s.autoRange = true; });
    const Row rows[] = {
        {"Q32 123.45 V auto",
         Family::Q32,
         volts,
         "3132333435333130310D0A",
         {"123.45", "V", "DC", "AUTO", 12345}},
        {"Q32 minus",
         Family::Q32,
         with(volts, [](MeterState& s) { s.negative = true; }),
         "3132333435333130350D0A",
         {"-123.45", "V", "DC", "AUTO", -12345}},
        {"Q32 status 9: the 8 is ignored",
         Family::Q32,
         with(volts, [](MeterState& s) { s.status8 = true; }),
         "3132333435333130390D0A",
         {"123.45", "V", "DC", "AUTO", 12345}},
        {"Q32 fifth place dark",
         Family::Q32,
         with(volts,
              [](MeterState& s) {
                  s.fourDigits = true;
                  s.count = 1234;
              }),
         "31323334 3A333130310D0A",
         {"123.4", "V", "DC", "AUTO", 1234}},
        {"Q32 all zeros",
         Family::Q32,
         with(volts, [](MeterState& s) { s.allZero = true; }),
         "313233 3B35333130310D0A",
         {"000.00", "V", "DC", "AUTO", 0}},
        {"Q32 overload 0L, 200 mV",
         Family::Q32,
         with(state(Function::MilliVolt, 3, 0),
              [](MeterState& s) { s.overload = Overload::ZeroL; }),
         "3A30303030333330300D0A",
         {"0.L", "mV", "DC", "", 200}},
        {"Q32 overload 0L with minus",
         Family::Q32,
         with(state(Function::MilliVolt, 3, 0),
              [](MeterState& s) {
                  s.overload = Overload::ZeroL;
                  s.negative = true;
              }),
         "3A30303030333330340D0A",
         {"-0.L", "mV", "DC", "", -200}},
        {"Q32 overload L0",
         Family::Q32,
         with(state(Function::MilliVolt, 3, 0),
              [](MeterState& s) { s.overload = Overload::LZero; }),
         "3A3C303030333330300D0A",
         {"L0.", "mV", "DC", "", 200}},
        {"Q32 duty cycle",
         Family::Q32,
         state(Function::DutyCycle, 1, 4567),
         "30343536 37313C30340D0A",
         {"045.67", "%", "Frequency", "", 4567}},
        {"Q32 AC+DC",
         Family::Q32,
         with(state(Function::AcVolt, 2, 1000), [](MeterState& s) { s.coupling = Coupling::ACDC; }),
         "3031303030323233300D0A",
         {"01.000", "V", "AC+DC", "", 1000}},
        {"Q32 coupling 4-9: none",
         Family::Q32,
         with(state(Function::Ohm, 2, 12), [](MeterState& s) { s.coupling = Coupling::Other; }),
         "3030303132323434300D0A",
         {"0.0012", "k*", "", "", 12}},
        {"Q32 f 2 coupling 0: no DcAc",
         Family::Q32,
         state(Function::AcVolt, 4, 20),
         "3030303230343230300D0A",
         {"0002.0", "V", "", "", 20}},
        {"Q31 1.234 V auto",
         Family::Q31,
         with(state(Function::DcVolt, 1, 1234), [](MeterState& s) { s.autoRange = true; }),
         "3131323334 3B3030320D0A",
         {"1.234", "V", "", "AUTO", 1234}},
        {"Q31 AC",
         Family::Q31,
         with(state(Function::DcVolt, 1, 1234),
              [](MeterState& s) {
                  s.autoRange = true;
                  s.coupling = Coupling::AC;
              }),
         "3131323334 3B3030360D0A",
         {"1.234", "V", "AC", "AUTO", 1234}},
        {"Q31 AC and DC: DC wins",
         Family::Q31,
         with(state(Function::DcVolt, 1, 1234),
              [](MeterState& s) {
                  s.autoRange = true;
                  s.coupling = Coupling::ACDC;
              }),
         "3131323334 3B30303E0D0A",
         {"1.234", "V", "DC", "AUTO", 1234}},
        {"Q31 continuity",
         Family::Q31,
         state(Function::Continuity, 0, 123),
         "3030313233 353030300D0A",
         {"012", "&*", "", "MANU", 12}},
        {"Q31 diode overload",
         Family::Q31,
         with(state(Function::Diode, 0, 0), [](MeterState& s) { s.overload = Overload::ZeroL; }),
         "3030303030 313130300D0A",
         {".0L", ")V", "", "MANU", 20001}},
        {"Q31 frequency reading on a diode",
         Family::Q31,
         with(state(Function::Diode, 0, 1234), [](MeterState& s) { s.frequencyOverride = true; }),
         "3031323334 313031300D0A",
         {"1.23", "kHzV", "", "MANU", 123}},
        {"Q31 RPM",
         Family::Q31,
         state(Function::Rpm, 0, 1500),
         "3031353030 323830300D0A",
         {"15.00", "kRPM", "", "MANU", 1500}},
        {"Q13 1.234 V DC auto",
         Family::Q13,
         with(state(Function::DcVolt, 0, 1234), [](MeterState& s) { s.autoRange = true; }),
         "172035 4D5B617F8297A0B0C0D4E0",
         {"1.234", "V", "DC", "AUTO", 1234}},
        {"Q13 AC manual",
         Family::Q13,
         with(state(Function::DcVolt, 0, 1234), [](MeterState& s) { s.coupling = Coupling::AC; }),
         "192035 4D5B617F8297A0B0C0D4E0",
         {"1.234", "V", "AC", "MANU", 1234}},
        {"Q13 overload",
         Family::Q13,
         with(state(Function::DcVolt, 1, 0), [](MeterState& s) { s.overload = Overload::ZeroL; }),
         "15203047 5D6E788090A0B0C0D4E0",
         {"0.L", "V", "DC", "MANU", 20000}},
        {"Q13 Celsius with the volt bit",
         Family::Q13,
         with(state(Function::Celsius, 1, 250), [](MeterState& s) { s.coupling = Coupling::DC; }),
         "15273D 455B637E8F9DA0B0C0D4E1",
         {"025.0", "#", "", "MANU", 250}},
    };
    for (const Row& r : rows) {
        std::string want = r.bytes;
        want.erase(std::remove(want.begin(), want.end(), ' '), want.end());
        EXPECT_EQ(hex(meterFamily(r.family).encode(r.s)), want) << r.what;
        Expectation e(r.family);
        const ExpectedReading got = e.next(r.s);
        EXPECT_EQ(got.value, r.expected.value) << r.what;
        EXPECT_EQ(got.unit, r.expected.unit) << r.what;
        EXPECT_EQ(got.dcac, r.expected.dcac) << r.what;
        EXPECT_EQ(got.range, r.expected.range) << r.what;
        EXPECT_EQ(got.numeric, r.expected.numeric) << r.what;
    }
}

// Where a Q32 range leaves the full scale as it was, an overload reads the one before.
TEST(SimEncoders, Q32FullScaleCarriesOverUnsetRanges) {
    Expectation e(Family::Q32);
    MeterState s = state(Function::DcVolt, 9, 0);
    s.overload = Overload::ZeroL;
    EXPECT_EQ(e.next(s).numeric, 20000); // the profile's start value
    e.next(state(Function::Amp, 0, 5));  // 10 A range
    EXPECT_EQ(e.next(s).numeric, 10);
    EXPECT_EQ(e.next(s).value, "0L"); // no decimal point where the range sets none
}

TEST(SimHidReports, ChunksOfSevenThenAReportWithoutPayload) {
    std::vector<std::uint8_t> frame(11);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(0x31 + i);
    auto reports = encodeReports(frame.data(), frame.size());
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0], (InputReport{0x00, 0xF7, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37}));
    EXPECT_EQ(reports[1], (InputReport{0x00, 0xF4, 0x38, 0x39, 0x3A, 0x3B, 0, 0, 0}));
    EXPECT_EQ(reports[2], (InputReport{0x00, 0xF0, 0, 0, 0, 0, 0, 0, 0}));

    reports = encodeReports(frame.data(), frame.size(), 3, 2);
    ASSERT_EQ(reports.size(), 6u);
    EXPECT_EQ(reports[3][1], 0xF2);
    EXPECT_EQ(reports[4][1], 0xF0);
    EXPECT_EQ(reports[5][1], 0xF0);
    // Out-of-range arguments are held to 1..7 bytes and at least one idle report.
    EXPECT_EQ(encodeReports(frame.data(), 11, 0, 0).size(), 12u);
    EXPECT_EQ(encodeReports(frame.data(), 11, 99, 1).size(), 3u);
    EXPECT_EQ(encodeReports(frame.data(), 0).size(), 1u);
}

TEST(SimFaults, ParseAndApply) {
    EXPECT_TRUE(parseFault("drop:0.5"));
    EXPECT_TRUE(parseFault("corrupt:1"));
    EXPECT_TRUE(parseFault("stray:0"));
    for (const char* bad :
         {"drop", "drop:", "drop:1.5", "drop:-0.1", "lose:0.1", "drop:x", "drop:0.1x", ":0.1"})
        EXPECT_FALSE(parseFault(bad)) << bad;

    const std::vector<std::uint8_t> frame = encodeQ32(state(Function::DcVolt, 3, 12345));
    Rng rng(7);
    for (int i = 0; i < 50; ++i) {
        auto f = frame;
        EXPECT_TRUE(applyFaults(f, {{FaultKind::Drop, 1}}, rng));
        EXPECT_EQ(f.size(), frame.size() - 1);
        f = frame;
        EXPECT_TRUE(applyFaults(f, {{FaultKind::Stray, 1}}, rng));
        EXPECT_EQ(f.size(), frame.size() + 1);
        f = frame;
        EXPECT_TRUE(applyFaults(f, {{FaultKind::Corrupt, 1}}, rng));
        ASSERT_EQ(f.size(), frame.size());
        int changed = 0;
        for (std::size_t k = 0; k < f.size(); ++k) changed += f[k] != frame[k];
        EXPECT_EQ(changed, 1);
        f = frame;
        EXPECT_FALSE(applyFaults(f, {{FaultKind::Drop, 0}, {FaultKind::Corrupt, 0}}, rng));
        EXPECT_EQ(f, frame);
    }
}

TEST(SimStream, LogLineAndDeterminism) {
    SimOptions o;
    o.script = "tour";
    Simulator a(o), b(o);
    const SimFrame first = a.next();
    EXPECT_EQ(first.bytes.front(), 0x0A); // the stream starts with the end of a frame
    EXPECT_EQ(first.bytes.size(), 12u);
    EXPECT_EQ(hex(first.bytes), hex(b.next().bytes));
    const std::string line = logLine(first);
    EXPECT_EQ(line.rfind("{\"seq\":0,\"bytes\":\"" + hex(first.bytes) + "\",\"intact\":true,", 0),
              0u)
        << line;
    for (const char* key : {"\"value\":", "\"unit\":", "\"dcac\":", "\"range\":", "\"numeric\":"})
        EXPECT_NE(line.find(key), std::string::npos) << key;
    EXPECT_EQ(a.next().bytes.size(), 11u);

    o.seed = 2;
    Simulator c(o);
    bool differs = false;
    Simulator d(SimOptions{Family::Q32, "tour", 1, {}, 20000, true});
    for (int i = 0; i < 20; ++i) differs |= c.next().bytes != d.next().bytes;
    EXPECT_TRUE(differs);

    SimFrame q13 = Simulator(SimOptions{Family::Q13, "tour", 1, {}, 20000, true}).next();
    EXPECT_EQ(q13.bytes.size(), 14u); // Q13 frames need no lead-in
}

TEST(SimStream, WanderIsASlowDcVoltage) {
    Simulator sim(SimOptions{});
    double last = sim.next().expected.numeric;
    int bigSteps = 0;
    for (int i = 0; i < 2000; ++i) {
        const SimFrame f = sim.next();
        EXPECT_EQ(f.expected.unit, "V");
        EXPECT_EQ(f.expected.dcac, "DC");
        EXPECT_LE(std::abs(f.expected.numeric), 19999);
        bigSteps += std::abs(f.expected.numeric - last) > 3;
        last = f.expected.numeric;
    }
    EXPECT_LT(bigSteps, 200);
}

// What the decoders make of every frame, compared with what the simulator says they must make.
struct Snapshot {
    FrameOutcome outcome;
    CurrentReading reading;
};

class Collect : public FrameObserver {
public:
    explicit Collect(Meter& m) : m_(m) { m.observer = this; }
    void frameDone(Family, FrameOutcome outcome) override { seen.push_back({outcome, m_.reading}); }
    std::vector<Snapshot> seen;

private:
    Meter& m_;
};

void startShipped(Meter& m) {
    m.applyCountProfile("2");
}

// The typed measurement the decoder wrote beside the texts must be what the expected display
// text reads as: the same number in the same base unit, the same display and unit.
bool sameMeasurement(const Measurement& got, const ExpectedReading& e) {
    const Measurement want = readMeasurement(e.value, e.unit, e.dcac, e.range);
    return got.state == want.state && got.valueText() == want.valueText() &&
           got.value() == want.value() && got.display == want.display && got.unit == want.unit &&
           got.baseUnit == want.baseUnit && got.coupling == want.coupling &&
           got.rangeMode == want.rangeMode;
}

::testing::AssertionResult same(const CurrentReading& r, const ExpectedReading& e) {
    if (r.ValueText == e.value && r.UnitText == e.unit && r.DcAc == e.dcac &&
        r.RangeMode == e.range && r.NumericValue == e.numeric && sameMeasurement(r.measurement, e))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "decoded [" << r.ValueText << "|" << r.UnitText << "|" << r.DcAc << "|" << r.RangeMode
           << "|" << r.NumericValue << "] expected [" << e.value << "|" << e.unit << "|" << e.dcac
           << "|" << e.range << "|" << e.numeric << "] measurement [" << r.measurement.display
           << "|" << r.measurement.valueText() << "|" << r.measurement.baseUnit << "]";
}

void feedSerial(Meter& m, Family family, const std::vector<std::uint8_t>& b) {
    meterFamily(family).serial(m, b.data(), static_cast<int>(b.size()));
}

// Every family of the table, and those the USB adapter reads.
std::vector<Family> allFamilies(bool usbOnly = false) {
    std::vector<Family> out;
    for (const MeterFamily& f : meterFamilies())
        if (!usbOnly || f.report) out.push_back(f.id);
    return out;
}

TEST(SimCrossCheck, EveryTourFrameDecodesToItsReadingOnTheSerialRoad) {
    for (Family family : allFamilies()) {
        Meter m;
        startShipped(m);
        Collect c(m);
        Simulator sim(SimOptions{family, "tour", 3, {}, 20000, true});
        for (int i = 0; i < 600; ++i) { // more than a whole tour of every family
            const SimFrame f = sim.next();
            c.seen.clear();
            feedSerial(m, family, f.bytes);
            ASSERT_EQ(c.seen.size(), 1u) << "frame " << i;
            ASSERT_EQ(c.seen[0].outcome, FrameOutcome::Decoded)
                << "frame " << i << " " << hex(f.bytes);
            EXPECT_TRUE(same(c.seen[0].reading, f.expected))
                << "frame " << i << " " << hex(f.bytes);
        }
    }
}

TEST(SimCrossCheck, TheMeasurementIsTheSameWhateverTheDecimalSeparator) {
    for (Family family : allFamilies()) {
        Meter point, comma, arabic;
        comma.LocaleDecimalSeparator = ",";
        arabic.LocaleDecimalSeparator = "\u066B";
        Simulator sim(SimOptions{family, "tour", 3, {}, 20000, true});
        for (int i = 0; i < 300; ++i) {
            const SimFrame f = sim.next();
            for (Meter* m : {&point, &comma, &arabic}) feedSerial(*m, family, f.bytes);
            EXPECT_EQ(comma.reading.measurement, point.reading.measurement) << "frame " << i;
            EXPECT_EQ(arabic.reading.measurement, point.reading.measurement) << "frame " << i;
        }
    }
}

TEST(SimCrossCheck, EveryTourFrameDecodesOnTheHidRoad) {
    for (Family family : allFamilies(true)) {
        Meter m;
        startShipped(m);
        Collect c(m);
        SimOptions o{family, "tour", 5, {}, 20000, false};
        Simulator sim(o);
        for (int i = 0; i < 400; ++i) {
            const SimFrame f = sim.next();
            c.seen.clear();
            for (const InputReport& r :
                 encodeReports(f.bytes.data(), f.bytes.size(), 3 + i % 5, 1 + i % 2)) {
                meterFamily(family).report(m, r[0], r.data() + 1, 8);
            }
            ASSERT_EQ(c.seen.size(), 1u) << "frame " << i;
            ASSERT_EQ(c.seen[0].outcome, FrameOutcome::Decoded) << hex(f.bytes);
            EXPECT_TRUE(same(c.seen[0].reading, f.expected)) << hex(f.bytes);
        }
    }
}

// Under line faults every intact frame that follows an intact frame still decodes, to its own
// reading; how many damaged frames pass the framing check is counted.
TEST(SimCrossCheck, IntactFramesAfterIntactFramesSurviveFaults) {
    for (Family family : allFamilies()) {
        Meter m;
        startShipped(m);
        Collect c(m);
        SimOptions o{
            family, "tour",
            11,     {{FaultKind::Drop, 0.05}, {FaultKind::Corrupt, 0.05}, {FaultKind::Stray, 0.05}},
            20000,  true};
        Simulator sim(o);
        bool lastIntact = false;
        int required = 0, damaged = 0, damagedPassed = 0;
        for (int i = 0; i < 3000; ++i) {
            const SimFrame f = sim.next();
            c.seen.clear();
            feedSerial(m, family, f.bytes);
            if (!f.intact) {
                ++damaged;
                for (const Snapshot& s : c.seen)
                    damagedPassed += s.outcome == FrameOutcome::Decoded;
            } else if (lastIntact) {
                ++required;
                ASSERT_FALSE(c.seen.empty()) << i;
                ASSERT_EQ(c.seen.back().outcome, FrameOutcome::Decoded) << i << " " << hex(f.bytes);
                EXPECT_TRUE(same(c.seen.back().reading, f.expected)) << i;
            }
            lastIntact = f.intact;
        }
        EXPECT_GT(required, 2000);
        EXPECT_GT(damaged, 300);
        // A damaged frame passes only where the damage missed what the check looks at.
        EXPECT_LT(damagedPassed, damaged);
        std::printf("[   INFO   ] %s: %d damaged frames, %d of them passed the framing check\n",
                    std::string(meterFamily(family).name).c_str(), damaged, damagedPassed);
    }
}

} // namespace
} // namespace dmm::sim
