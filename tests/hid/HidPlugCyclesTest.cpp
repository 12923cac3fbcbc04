// Plugging and unplugging the adapter again and again while it is read: no handle, thread or
// device object may be left behind (the address sanitizer build checks for leaks).
#include "HidTestSupport.h"

namespace dmm::test {
namespace {

class HidPlugCycles : public HidFixture {};

TEST_F(HidPlugCycles, ThousandCyclesWhileReading) {
    constexpr int kCycles = 1000;
    FakeHidDeviceSpec other = namedDevice(L"Keyboard");
    platform.plug(other);
    makeController();
    int reports = 0, arrivals = 0, removals = 0;
    controller->SetOnArrival([&](TJvHidDevice&) { ++arrivals; });
    controller->SetOnRemoval([&](TJvHidDevice&) { ++removals; });
    const TJvHidDataEvent onData = [&](TJvHidDevice&, std::uint8_t, const std::uint8_t*,
                                       std::uint16_t) { ++reports; };

    for (int cycle = 0; cycle < kCycles; ++cycle) {
        FakeHidDeviceSpec adapter = FakeHidPlatform::usbToSerialAdapter();
        adapter.path = "/fake/adapter"; // the same node name every time, a new instance
        const auto path = platform.plug(adapter);
        controller->RefreshDevices();
        ASSERT_EQ(controller->Count(), 2) << "cycle " << cycle;
        auto device = controller->ClaimAt(1);
        ASSERT_TRUE(device);
        device->SetReadSleepMs(10);
        device->SetDataHandler(onData);
        platform.pushRead(path, FakeHidPlatform::idleReport());
        const int before = reports;
        ASSERT_TRUE(gui.serveUntil([&] { return reports > before; }, 5s)) << "cycle " << cycle;
        if (cycle % 2 == 0) {
            // Pulled out while the read thread runs.
            platform.unplug(path);
            controller->RefreshDevices();
            device.reset();
        } else {
            // Handed back first, then pulled out.
            device.reset();
            platform.unplug(path);
            controller->RefreshDevices();
        }
        ASSERT_EQ(controller->Count(), 1);
    }
    EXPECT_EQ(arrivals, kCycles);
    EXPECT_EQ(removals, kCycles);
    EXPECT_EQ(platform.openConnections(), 0);
}

} // namespace
} // namespace dmm::test
