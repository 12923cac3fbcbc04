// The fake adapter streams a simulated meter's frames as input reports; the read thread hands
// them to the GUI thread, where the Q32 report handler assembles and decodes them.
#include "HidTestSupport.h"

#include "Expectation.h"
#include "FrameAssembly.h"
#include "HidReports.h"
#include "Meter.h"

namespace dmm::test {
namespace {

class CountingObserver : public FrameObserver {
public:
    int decoded = 0, other = 0;
    void frameDone(Family family, FrameOutcome outcome) override {
        if (family == Family::Q32 && outcome == FrameOutcome::Decoded)
            ++decoded;
        else
            ++other;
    }
};

class CountingHooks : public NullHooks {
public:
    int recorded = 0;
    void INDataToTable() override { ++recorded; }
};

sim::MeterState stateFor(int i) {
    sim::MeterState s;
    s.function = sim::Function::DcVolt;
    s.range = 1 + i % 4;
    s.count = static_cast<std::uint32_t>((i * 7919) % 20000);
    s.negative = i % 3 == 0;
    s.autoRange = i % 5 == 0;
    return s;
}

class HidEndToEnd : public HidFixture {};

TEST_F(HidEndToEnd, EveryFrameOfATwoThousandFrameStreamIsDecoded) {
    constexpr int kFrames = 2000;
    const auto path = platform.plug(FakeHidPlatform::usbToSerialAdapter());
    makeController();
    TJvHidDevice* device = claim(0);
    ASSERT_NE(device, nullptr);

    CountingHooks hooks;
    Meter meter(&hooks);
    CountingObserver observer;
    meter.observer = &observer;
    std::string lastValue;

    // The stream starts as the adapter does: a report without payload before the first frame.
    platform.pushRead(path, FakeHidPlatform::idleReport());
    std::vector<std::string> expected;
    for (int i = 0; i < kFrames; ++i) {
        const sim::MeterState s = stateFor(i);
        const std::vector<std::uint8_t> frame = sim::encodeQ32(s);
        // Vary how the adapter cuts the frame into reports.
        platform.pushReads(path, sim::encodeReports(frame.data(), frame.size(),
                                                    1 + static_cast<std::size_t>(i % 7),
                                                    1 + static_cast<std::size_t>(i % 2)));
    }
    device->SetDataHandler([&](TJvHidDevice&, std::uint8_t id, const std::uint8_t* data,
                               std::uint16_t size) { Q32ReportHandler(meter, id, data, size); });
    // Every report is taken: the frames and the idle reports after the last one.
    const int idleAtEnd = 1 + (kFrames - 1) % 2;
    ASSERT_TRUE(gui.serveUntil(
        [&] {
            return observer.decoded + observer.other >= kFrames &&
                   meter.hid.IdleReports == idleAtEnd;
        },
        60s))
        << "decoded " << observer.decoded << " of " << kFrames;
    device->SetDataHandler(nullptr);

    EXPECT_EQ(observer.decoded, kFrames);
    EXPECT_EQ(observer.other, 0);
    EXPECT_EQ(hooks.recorded, kFrames);
    // The last frame's reading is the one shown.
    sim::Expectation expectation(Family::Q32);
    sim::ExpectedReading last;
    for (int i = 0; i < kFrames; ++i) last = expectation.next(stateFor(i));
    EXPECT_EQ(meter.reading.ValueText, last.value);
}

TEST_F(HidEndToEnd, UnplugInTheMiddleOfAStreamStopsTheDataAndLeavesNoHandle) {
    const auto path = platform.plug(FakeHidPlatform::usbToSerialAdapter());
    makeController();
    TJvHidDevice* device = claim(0);
    device->SetReadSleepMs(10);
    Meter meter;
    CountingObserver observer;
    meter.observer = &observer;
    platform.pushRead(path, FakeHidPlatform::idleReport());
    for (int i = 0; i < 200; ++i) {
        const auto frame = sim::encodeQ32(stateFor(i));
        platform.pushReads(path, sim::encodeReports(frame.data(), frame.size()));
    }
    device->SetDataHandler(
        [&](TJvHidDevice&, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
            Q32ReportHandler(meter, id, data, size);
            if (observer.decoded == 50) platform.unplug(path);
        });
    gui.serveUntil([&] { return observer.decoded >= 50; }, 10s);
    controller->RefreshDevices();
    const int atUnplug = observer.decoded;
    gui.serveUntil([] { return false; }, 100ms);
    EXPECT_EQ(observer.decoded, atUnplug);
    EXPECT_LE(atUnplug, 51);
    EXPECT_FALSE(device->Plugged());
    device->SetDataHandler(nullptr);
    EXPECT_EQ(platform.openReadConnections(), 0);
}

} // namespace
} // namespace dmm::test
