// The device controller: its list against the platform's, the events, claims and hand-backs.
#include "HidTestSupport.h"

namespace dmm::test {
namespace {

using Strings = std::vector<std::string>;

class HidController : public HidFixture {
protected:
    // What the events saw, in order.
    std::vector<std::string> events;

    void recordEvents() {
        controller->SetOnArrival([this](TJvHidDevice& d) {
            events.push_back("arrival " + d.PnPInfo().InterfacePath() + " " +
                             narrow(d.ProductName()));
        });
        controller->SetOnRemoval([this](TJvHidDevice& d) {
            events.push_back("removal " + d.PnPInfo().InterfacePath() + " " +
                             narrow(d.ProductName()));
        });
        controller->SetOnDeviceChange(
            [this](TJvHidDeviceController&) { events.push_back("change"); });
    }
    static std::string narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }
};

TEST_F(HidController, SecondControllerFailsAndLeavesTheCountAlone) {
    makeController();
    EXPECT_EQ(TJvHidDeviceController::LiveControllers(), 1);
    try {
        TJvHidDeviceController second(platform, gui);
        FAIL() << "a second controller was created";
    } catch (const EControllerError& e) {
        EXPECT_STREQ(e.what(), "Only one TJvHidDeviceController allowed per program");
    }
    EXPECT_EQ(TJvHidDeviceController::LiveControllers(), 1);
    controller.reset();
    EXPECT_EQ(TJvHidDeviceController::LiveControllers(), 0);
    makeController(); // the count came back
    EXPECT_EQ(controller->Version(), "1.0.22");
    controller->SetVersion("2.0");
    EXPECT_EQ(controller->Version(), "1.0.22");
    EXPECT_EQ(controller->DevThreadSleepTime(), 100);
}

TEST_F(HidController, ScanKeepsPlatformOrderAndSkipsUnopenableOrUnidentifiable) {
    const auto a = platform.plug(namedDevice(L"A"));
    FakeHidDeviceSpec closed = namedDevice(L"closed");
    closed.readWriteOpens = false;
    closed.queryOpens = false;
    platform.plug(closed);
    FakeHidDeviceSpec anonymous = namedDevice(L"anonymous");
    anonymous.identifiable = false;
    platform.plug(anonymous);
    FakeHidDeviceSpec queryOnly = namedDevice(L"query");
    queryOnly.readWriteOpens = false;
    const auto q = platform.plug(queryOnly);
    const auto b = platform.plug(namedDevice(L"B"));
    makeController();
    EXPECT_EQ(listed(), (Strings{a, q, b}));
    EXPECT_TRUE(controller->At(0)->ReadWriteGranted());
    EXPECT_FALSE(controller->At(1)->ReadWriteGranted());
}

TEST_F(HidController, WithoutHidServicesTheListIsEmptyAndOnDeviceChangeStillFiresOnce) {
    platform.plug(namedDevice(L"A"));
    platform.setAvailable(false);
    makeController();
    EXPECT_EQ(controller->Count(), 0);
    EXPECT_EQ(controller->ChangeSource(), nullptr);
    recordEvents();
    EXPECT_EQ(events, (Strings{"change"}));
}

TEST_F(HidController, AssigningOnDeviceChangeFiresItExactlyOnce) {
    platform.plug(namedDevice(L"A"));
    makeController();
    recordEvents();
    EXPECT_EQ(events, (Strings{"change"}));
    controller->RefreshDevices();
    controller->RefreshDevices();
    EXPECT_EQ(events, (Strings{"change"}));
    // Assigning the same handler again is no change; a new one refreshes without firing.
    controller->SetOnDeviceChange(controller->OnDeviceChange());
    controller->SetOnDeviceChange([this](TJvHidDeviceController&) { events.push_back("other"); });
    EXPECT_EQ(events, (Strings{"change"}));
}

TEST_F(HidController, TwoNoticesForOnePlugReportItOnce) {
    makeController();
    recordEvents();
    events.clear();
    const auto a = platform.plug(namedDevice(L"Adapter"));
    controller->RefreshDevices();
    controller->RefreshDevices();
    EXPECT_EQ(events, (Strings{"arrival " + a + " Adapter", "change"}));
}

TEST_F(HidController, ArrivalsAppendAndGoneUnclaimedDevicesLeaveTheList) {
    const auto a = platform.plug(namedDevice(L"A"));
    const auto b = platform.plug(namedDevice(L"B"));
    makeController();
    recordEvents();
    events.clear();
    const auto c = platform.plug(namedDevice(L"C"));
    controller->RefreshDevices();
    EXPECT_EQ(listed(), (Strings{a, b, c}));
    platform.unplug(a);
    controller->RefreshDevices();
    EXPECT_EQ(listed(), (Strings{b, c}));
    // Removal is told after the device is gone: strings not read before stay empty.
    EXPECT_EQ(events, (Strings{"arrival " + c + " C", "change", "removal " + a + " ", "change"}));
}

TEST_F(HidController, RemovalReportsStringsReadBefore) {
    const auto a = platform.plug(namedDevice(L"A"));
    makeController();
    TJvHidDevice* d = claim(0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ProductName(), L"A");
    recordEvents();
    events.clear();
    platform.unplug(a);
    controller->RefreshDevices();
    EXPECT_EQ(events, (Strings{"removal " + a + " A", "change"}));
}

TEST_F(HidController, GoneClaimedDeviceStaysUntilHandedBackAndItsReturnIsAppended) {
    const auto a = platform.plug(namedDevice(L"A"));
    const auto b = platform.plug(namedDevice(L"B"));
    makeController();
    auto held = controller->ClaimAt(0);
    ASSERT_TRUE(held);
    platform.unplug(a);
    controller->RefreshDevices();
    EXPECT_EQ(listed(), (Strings{a + " (gone)", b}));
    EXPECT_FALSE(held->Plugged());

    FakeHidDeviceSpec again = namedDevice(L"A");
    again.path = a;
    platform.plug(again);
    controller->RefreshDevices();
    EXPECT_EQ(listed(), (Strings{a + " (gone)", b, a}));
    held.reset(); // hand-back of a gone object: its position goes, later ones move up
    EXPECT_EQ(listed(), (Strings{b, a}));
}

TEST_F(HidController, OfferDevicesCountsEveryPositionSkipsGoneAndStopsAtFalse) {
    const auto a = platform.plug(namedDevice(L"A"));
    platform.plug(namedDevice(L"B"));
    platform.plug(namedDevice(L"C"));
    platform.plug(namedDevice(L"D"));
    makeController();
    auto heldA = controller->ClaimAt(0);
    platform.unplug(a);
    controller->RefreshDevices();

    std::vector<std::pair<int, std::wstring>> offered;
    controller->SetOnEnumerate([&](TJvHidDevice& d, int idx) {
        EXPECT_TRUE(d.Offered());
        offered.emplace_back(idx, d.ProductName());
        return idx < 2;
    });
    EXPECT_EQ(controller->OfferDevices(), 2);
    EXPECT_EQ(offered, (std::vector<std::pair<int, std::wstring>>{{1, L"B"}, {2, L"C"}}));
    for (int i = 1; i < controller->Count(); ++i) EXPECT_FALSE(controller->At(i)->Offered());

    // Without a handler the first present device counts and the offer stops.
    controller->SetOnEnumerate(nullptr);
    EXPECT_EQ(controller->OfferDevices(), 1);
}

TEST_F(HidController, UnofferedUnclaimedDevicesCannotBeQueried) {
    platform.plug(namedDevice(L"A"));
    makeController();
    EXPECT_EQ(controller->At(0)->ProductName(), L"");
    EXPECT_FALSE(controller->At(0)->IsAccessible());
}

TEST_F(HidController, ClaimAtRefusesClaimedAndOutOfRangePositions) {
    platform.plug(namedDevice(L"A"));
    makeController();
    EXPECT_EQ(controller->ClaimAt(-1), nullptr);
    EXPECT_EQ(controller->ClaimAt(1), nullptr);
    TJvHidDevice* d = claim(0);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->Claimed());
    EXPECT_EQ(controller->ClaimAt(0), nullptr);
}

TEST_F(HidController, HandBackOfPresentDevicePutsFreshObjectAtSamePosition) {
    platform.plug(namedDevice(L"A"));
    const auto b = platform.plug(namedDevice(L"B"));
    platform.plug(namedDevice(L"C"));
    makeController();
    auto held = controller->ClaimAt(1);
    ASSERT_TRUE(held);
    TJvHidDataEvent onData = [](TJvHidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {};
    TJvHidPlugEvent onUnplug = [](TJvHidDevice&) {};
    held->SetDataHandler(onData);
    held->SetOnUnplug(onUnplug);
    held->SetOnDataError([](TJvHidDevice&, std::uint32_t) {});
    held->SetReadSleepMs(250);
    EXPECT_TRUE(held->HasReadThread());
    const TJvHidDevice* old = held.get();
    held.reset();

    TJvHidDevice* fresh = controller->At(1);
    EXPECT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->PnPInfo().InterfacePath(), b);
    EXPECT_FALSE(fresh->Claimed());
    EXPECT_FALSE(fresh->HasReadThread());
    EXPECT_TRUE(fresh->OnData() == onData);
    EXPECT_TRUE(fresh->OnUnplug() == onUnplug);
    EXPECT_FALSE(fresh->OnDataError());
    EXPECT_EQ(fresh->ReadSleepMs(), 250);
    (void)old;

    std::vector<int> offered;
    controller->SetOnEnumerate([&](TJvHidDevice&, int idx) {
        offered.push_back(idx);
        return true;
    });
    EXPECT_EQ(controller->OfferDevices(), 3);
    EXPECT_EQ(offered, (std::vector<int>{0, 1, 2}));
}

TEST_F(HidController, HandBackWhenTheDeviceCanNoLongerBeOpenedDropsThePosition) {
    FakeHidDeviceSpec spec = namedDevice(L"A");
    spec.path = "/fake/flaky";
    platform.plug(spec);
    platform.plug(namedDevice(L"B"));
    makeController();
    auto held = controller->ClaimAt(0);
    // Same device, still present, but now refuses every open.
    platform.unplug("/fake/flaky");
    spec.readWriteOpens = false;
    spec.queryOpens = false;
    spec.instanceKey = held->PnPInfo().InstanceKey();
    platform.plug(spec);
    held.reset();
    EXPECT_EQ(controller->Count(), 1);
}

TEST_F(HidController, DevThreadSleepTimeReachesOnlyDevicesAtTheOldValue) {
    platform.plug(namedDevice(L"A"));
    platform.plug(namedDevice(L"B"));
    makeController();
    controller->At(1)->SetReadSleepMs(300);
    controller->SetDevThreadSleepTime(5000);
    EXPECT_EQ(controller->At(0)->ReadSleepMs(), 5000);
    EXPECT_EQ(controller->At(1)->ReadSleepMs(), 300);
    controller->SetDevThreadSleepTime(5); // stored, but out of every device's bounds
    EXPECT_EQ(controller->DevThreadSleepTime(), 5);
    EXPECT_EQ(controller->At(0)->ReadSleepMs(), 5000);
    // New objects always start at 100.
    platform.plug(namedDevice(L"C"));
    controller->RefreshDevices();
    EXPECT_EQ(controller->At(2)->ReadSleepMs(), 100);
}

TEST_F(HidController, HandlerSettersReachDevicesHoldingThePreviousHandler) {
    platform.plug(namedDevice(L"A"));
    platform.plug(namedDevice(L"B"));
    makeController();
    TJvHidDataErrorEvent own = [](TJvHidDevice&, std::uint32_t) {};
    controller->At(1)->SetOnDataError(own);
    TJvHidDataErrorEvent shared = [](TJvHidDevice&, std::uint32_t) {};
    controller->SetOnDeviceDataError(shared);
    EXPECT_TRUE(controller->At(0)->OnDataError() == shared);
    EXPECT_TRUE(controller->At(1)->OnDataError() == own);

    TJvHidPlugEvent unplug = [](TJvHidDevice&) {};
    controller->SetOnDeviceUnplug(unplug);
    EXPECT_TRUE(controller->At(0)->OnUnplug() == unplug);

    TJvHidDataEvent data = [](TJvHidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {};
    controller->SetOnDeviceData(data);
    EXPECT_TRUE(controller->At(0)->OnData() == data);
    EXPECT_FALSE(controller->At(0)->HasReadThread()); // not claimed

    // New objects take the data and unplug handlers, never the data-error handler.
    platform.plug(namedDevice(L"C"));
    controller->RefreshDevices();
    EXPECT_TRUE(controller->At(2)->OnData() == data);
    EXPECT_TRUE(controller->At(2)->OnUnplug() == unplug);
    EXPECT_FALSE(controller->At(2)->OnDataError());
}

TEST_F(HidController, DestructionUnplugsClaimedObjectsAndLeavesThemToTheirClaimer) {
    platform.plug(namedDevice(L"A"));
    platform.plug(namedDevice(L"B"));
    makeController();
    auto held = controller->ClaimAt(0);
    int unplugged = 0;
    held->SetOnUnplug([&](TJvHidDevice&) { ++unplugged; });
    controller.reset();
    EXPECT_EQ(unplugged, 1);
    EXPECT_FALSE(held->Plugged());
    EXPECT_EQ(held->Controller(), nullptr);
    held.reset(); // no controller: nothing to hand back to
}

TEST_F(HidController, ChangeNoticesFromThePlatformRunTheRefresh) {
    makeController();
    ASSERT_NE(controller->ChangeSource(), nullptr);
    controller->ChangeSource()->drain();
    recordEvents();
    events.clear();
    const auto a = platform.plug(namedDevice(L"A"));
    controller->HandleChangeNotices();
    controller->HandleChangeNotices(); // nothing pending: no scan
    EXPECT_EQ(events, (Strings{"arrival " + a + " A", "change"}));
}

} // namespace
} // namespace dmm::test
