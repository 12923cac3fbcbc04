// The device object: strings, the serial-number rule, capabilities, feature reports, the read
// wait setter and when a read thread exists.
#include "HidTestSupport.h"

namespace dmm::test {
namespace {

class HidDevice : public HidFixture {
protected:
    TJvHidDevice* plugAndClaim(FakeHidDeviceSpec spec) {
        platform.plug(std::move(spec));
        makeController();
        return claim(controller->Count() - 1);
    }
};

struct SerialCase {
    const char* name;
    std::optional<std::wstring> serial;
    std::optional<std::vector<wchar_t>> languages;
    std::wstring expected;
};

class HidSerialRule : public HidFixture, public ::testing::WithParamInterface<SerialCase> {};

TEST_P(HidSerialRule, SerialTextFollowsTheLanguageListRule) {
    const SerialCase& c = GetParam();
    FakeHidDeviceSpec spec = namedDevice(L"X");
    spec.serial = c.serial;
    spec.languages = c.languages;
    platform.plug(spec);
    makeController();
    TJvHidDevice* d = claim(0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->SerialNumber(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Hid, HidSerialRule,
    ::testing::Values(
        // The serial number repeats the language list (US English, NUL-terminated or not).
        SerialCase{"RepeatsLanguageList", std::wstring(L"\x0409"), std::vector<wchar_t>{0x0409, 0},
                   L""},
        SerialCase{"RepeatsUnterminatedList", std::wstring(L"\x0409"), std::vector<wchar_t>{0x0409},
                   L""},
        SerialCase{"EmptyLanguageList", std::wstring(L"ABC123"), std::vector<wchar_t>{0}, L""},
        SerialCase{"NothingArrivedCountsAsEmptyList", std::wstring(L"ABC123"),
                   std::vector<wchar_t>{}, L""},
        SerialCase{"RealSerial", std::wstring(L"ABC123"), std::vector<wchar_t>{0x0409, 0},
                   L"ABC123"},
        SerialCase{"DiffersLaterInTheList", std::wstring(L"\x0409\x0407"),
                   std::vector<wchar_t>{0x0409, 0x0409, 0}, L"\x0409\x0407"},
        // hidraw cannot read string descriptor 0: the serial number is kept as read.
        SerialCase{"LanguageListUnreadable", std::wstring(L"ABC123"), std::nullopt, L"ABC123"},
        SerialCase{"NoSerialNumber", std::nullopt, std::vector<wchar_t>{0x0409, 0}, L""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HidDevice, StringsAreCachedAndSurviveUnplug) {
    FakeHidDeviceSpec spec = namedDevice(L"Meter cable");
    spec.serial = L"S1";
    TJvHidDevice* d = plugAndClaim(spec);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ProductName(), L"Meter cable");
    d->Unplug();
    EXPECT_EQ(d->ProductName(), L"Meter cable");
    EXPECT_EQ(d->SerialNumber(), L""); // never read while it was there
}

TEST_F(HidDevice, AttributesAndCapabilities) {
    FakeHidDeviceSpec spec = FakeHidPlatform::usbToSerialAdapter();
    TJvHidDevice* d = plugAndClaim(spec);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->VendorID(), spec.vendorId);
    EXPECT_EQ(d->ProductID(), spec.productId);
    EXPECT_EQ(d->VersionNumber(), spec.version);
    EXPECT_EQ(d->Caps().InputReportByteLength, 9);
    EXPECT_EQ(d->Caps().FeatureReportByteLength, 10);
}

TEST_F(HidDevice, CapabilitiesAreZeroWhenTheyCannotBeRead) {
    FakeHidDeviceSpec spec = namedDevice(L"X");
    spec.capsReadable = false;
    TJvHidDevice* d = plugAndClaim(spec);
    EXPECT_EQ(d->Caps().InputReportByteLength, 0);
    EXPECT_EQ(d->Caps().Usage, 0);
}

TEST_F(HidDevice, ReadSleepMsAcceptsTenToTenThousand) {
    TJvHidDevice* d = plugAndClaim(namedDevice(L"X"));
    EXPECT_EQ(d->ReadSleepMs(), 100);
    for (int rejected : {9, 10001, 0, -5}) {
        d->SetReadSleepMs(rejected);
        EXPECT_EQ(d->ReadSleepMs(), 100) << rejected;
    }
    d->SetReadSleepMs(10);
    EXPECT_EQ(d->ReadSleepMs(), 10);
    d->SetReadSleepMs(10000);
    EXPECT_EQ(d->ReadSleepMs(), 10000);
}

TEST_F(HidDevice, SendFeatureNeedsAnAccessibleDeviceAndReportsRefusal) {
    FakeHidDeviceSpec spec = FakeHidPlatform::usbToSerialAdapter();
    const auto path = platform.plug(spec);
    makeController();
    const std::uint8_t report[10] = {0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0, 0, 0, 0};
    EXPECT_FALSE(controller->At(0)->SendFeature(report, 10)); // neither claimed nor offered
    EXPECT_TRUE(platform.featureReports(path).empty());

    TJvHidDevice* d = claim(0);
    EXPECT_TRUE(d->SendFeature(report, 10));
    ASSERT_EQ(platform.featureReports(path).size(), 1u);
    EXPECT_EQ(platform.featureReports(path)[0], std::vector<std::uint8_t>(report, report + 10));
    EXPECT_EQ(platform.openConnections(), 1); // the control handle stays open after a feature
    d->Unplug();
    EXPECT_EQ(platform.openConnections(), 0);
    EXPECT_FALSE(d->SendFeature(report, 10));
}

TEST_F(HidDevice, RefusedFeatureReportGivesFalse) {
    FakeHidDeviceSpec spec = FakeHidPlatform::usbToSerialAdapter();
    spec.featureAccepted = false;
    TJvHidDevice* d = plugAndClaim(spec);
    const std::uint8_t report[10] = {};
    EXPECT_FALSE(d->SendFeature(report, 10));
}

TEST_F(HidDevice, DataHandlerStartsAThreadOnlyWhenClaimedPluggedAndGranted) {
    platform.plug(namedDevice(L"A"));
    makeController();
    TJvHidDevice* unclaimed = controller->At(0);
    unclaimed->SetDataHandler(nullptr); // no thread: only stores none
    EXPECT_FALSE(unclaimed->OnData());
    TJvHidDataEvent h = [](TJvHidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {};
    unclaimed->SetDataHandler(h);
    EXPECT_TRUE(unclaimed->OnData() == h);
    EXPECT_FALSE(unclaimed->HasReadThread());
    TJvHidDevice* d = claim(0); // claiming starts it
    EXPECT_TRUE(d->HasReadThread());
    // Replacing the handler leaves the thread running.
    d->SetDataHandler([](TJvHidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    EXPECT_TRUE(d->HasReadThread());
    d->SetDataHandler(nullptr);
    EXPECT_FALSE(d->HasReadThread());
    d->Unplug();
    d->SetDataHandler(h);
    EXPECT_FALSE(d->HasReadThread()); // gone
}

TEST_F(HidDevice, QueryOnlyDeviceAnswersStringsButNeverReads) {
    FakeHidDeviceSpec spec = namedDevice(L"Locked");
    spec.readWriteOpens = false;
    TJvHidDevice* d = plugAndClaim(spec);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->ReadWriteGranted());
    EXPECT_EQ(d->ProductName(), L"Locked");
    d->SetDataHandler([](TJvHidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    EXPECT_FALSE(d->HasReadThread());
    const std::uint8_t report[10] = {};
    EXPECT_FALSE(d->SendFeature(report, 10));
}

TEST_F(HidDevice, UnplugTellsTheUnplugHandlerOnce) {
    TJvHidDevice* d = plugAndClaim(namedDevice(L"A"));
    int told = 0;
    d->SetOnUnplug([&](TJvHidDevice& dev) {
        EXPECT_FALSE(dev.Plugged());
        ++told;
    });
    d->Unplug();
    d->Unplug();
    EXPECT_EQ(told, 1);
    EXPECT_FALSE(d->OnUnplug());
}

TEST_F(HidDevice, EventSlotsCompareByIdentity) {
    TJvHidPlugEvent a = [](TJvHidDevice&) {};
    TJvHidPlugEvent copy = a;
    TJvHidPlugEvent b = [](TJvHidDevice&) {};
    EXPECT_TRUE(a == copy);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(TJvHidPlugEvent() == TJvHidPlugEvent(nullptr));
    EXPECT_FALSE(TJvHidPlugEvent());
}

} // namespace
} // namespace dmm::test
