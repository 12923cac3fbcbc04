// The window's USB adapter handling: the device list and the adapter's selection, the history
// lines, connect and disconnect with the feature report, and the watchdog's drop.
#include "UsbAdapter.h"

#include "Expectation.h"
#include "FakeHidPlatform.h"
#include "HidReports.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace dmm::test {
namespace {

class FakeView : public UsbAdapterView {
public:
    bool usbCon = false;
    bool readBtn = false;
    std::vector<std::string> messages;
    std::vector<std::string> log; // button releases and drops, in order
    int listChanges = 0;

    bool usbConPressed() const override { return usbCon; }
    void releaseUsbCon() override {
        usbCon = false;
        log.push_back("release USBCon");
    }
    bool readBtnPressed() const override { return readBtn; }
    void releaseReadBtn() override { readBtn = false; }
    void showInformation(const std::string& text) override {
        messages.push_back(text);
        log.push_back("message");
    }
    void deviceListChanged() override { ++listChanges; }
    void usbLinkDropped() override { log.push_back("dropped"); }
};

FakeHidDeviceSpec device(const std::wstring& product, std::uint16_t vid = 0x1111,
                         std::uint16_t pid = 0x2222) {
    FakeHidDeviceSpec s;
    s.product = product;
    s.vendorId = vid;
    s.productId = pid;
    return s;
}

class UsbAdapterTest : public ::testing::Test {
protected:
    FakeHidPlatform platform;
    Meter meter;
    FakeView view;
    std::unique_ptr<UsbAdapter> usb;

    void start() {
        usb = std::make_unique<UsbAdapter>(meter, view, &platform);
        usb->start();
    }
    void TearDown() override {
        usb.reset();
        EXPECT_EQ(platform.openConnections(), 0);
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& e : usb->DevListBox()) out.push_back(e.text);
        return out;
    }
    std::vector<std::string> history() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < meter.diag.HistoryListBox.size(); ++i)
            out.push_back(meter.diag.HistoryListBox.at(i));
        return out;
    }
    // Runs the Qt event loop (hand-overs, notifier) until `done` or the time-out.
    static bool runUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > timeoutMs) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
    static void runFor(int ms) {
        runUntil([] { return false; }, ms);
    }
};

using Strings = std::vector<std::string>;
// 2400 baud, little-endian, and line format 3 (8N1).
const std::vector<std::uint8_t> kLineSetup{0x00, 0x60, 0x09, 0x00, 0x00,
                                           0x03, 0x00, 0x00, 0x00, 0x00};

TEST_F(UsbAdapterTest, StartListsEveryDeviceClaimedAndSelectsTheAdapter) {
    platform.plug(device(L"Keyboard"));
    platform.plug(FakeHidPlatform::usbToSerialAdapter());
    platform.plug(device(L"", 0x0ABC, 0x0012));
    start();
    EXPECT_EQ(texts(), (Strings{"Keyboard", "USB to Serial", "Device VID=0ABC PID=0012"}));
    EXPECT_EQ(usb->selectedIndex(), 1);
    for (const auto& e : usb->DevListBox()) {
        ASSERT_TRUE(e.device);
        EXPECT_TRUE(e.device->Claimed());
        EXPECT_FALSE(e.device->HasReadThread());
    }
    EXPECT_TRUE(history().empty()); // present at start: no arrival lines
    EXPECT_EQ(view.listChanges, 1);
}

TEST_F(UsbAdapterTest, TheLastOfTwoAdaptersIsSelectedAndOneWithASerialIsNot) {
    platform.plug(FakeHidPlatform::usbToSerialAdapter());
    platform.plug(FakeHidPlatform::usbToSerialAdapter());
    FakeHidDeviceSpec numbered = FakeHidPlatform::usbToSerialAdapter();
    numbered.serial = L"A1B2";
    platform.plug(numbered);
    start();
    EXPECT_EQ(texts(), (Strings{"USB to Serial", "USB to Serial", "USB to Serial (Serial=A1B2)"}));
    EXPECT_EQ(usb->selectedIndex(), 1);
}

TEST_F(UsbAdapterTest, NoAdapterMeansNoSelection) {
    platform.plug(device(L"usb to serial")); // case matters
    start();
    EXPECT_EQ(usb->selectedIndex(), -1);
    EXPECT_EQ(usb->InfoBtnClick(), std::nullopt);
}

TEST_F(UsbAdapterTest, PluggingTheAdapterBackWritesHistoryAndReselectsWithoutReading) {
    const auto path = platform.plug(FakeHidPlatform::usbToSerialAdapter());
    start();
    view.usbCon = true;
    ASSERT_EQ(usb->USBConClick(), UsbConnectOutcome::Connected);
    // The change notices arrive through the notifier on the event loop.
    platform.unplug(path);
    ASSERT_TRUE(runUntil([&] { return usb->DevListBox().empty(); }));
    platform.plug(FakeHidPlatform::usbToSerialAdapter());
    ASSERT_TRUE(runUntil([&] { return usb->DevListBox().size() == 1; }));
    // The reading device may log a read error or two before the notice is handled.
    Strings h;
    for (const auto& line : history())
        if (line.rfind("READ ERROR: ", 0) != 0) h.push_back(line);
    ASSERT_GE(h.size(), 3u);
    EXPECT_EQ(h[h.size() - 2], "Removal of USB to Serial");
    EXPECT_EQ(h.back(), "Arrival of USB to Serial");
    EXPECT_EQ(usb->selectedIndex(), 0);
    EXPECT_FALSE(usb->DevListBox()[0].device->HasReadThread());
    EXPECT_TRUE(view.usbCon); // the button is left as it was
}

TEST_F(UsbAdapterTest, ConnectSendsTheLineSetupBeforeReadingAndDisconnectSendsItToo) {
    const auto path = platform.plug(FakeHidPlatform::usbToSerialAdapter());
    start();
    meter.hid.IdleReports = 77;
    view.usbCon = true;
    EXPECT_EQ(usb->USBConClick(), UsbConnectOutcome::Connected);
    EXPECT_EQ(meter.hid.IdleReports, 0);
    ASSERT_EQ(platform.featureReports(path), (std::vector<std::vector<std::uint8_t>>{kLineSetup}));
    EXPECT_EQ(usb->LineSetupError(), "");
    EXPECT_EQ(history(), (Strings{"60 09 00 00 03 00 00 00 00 00 "}));
    TJvHidDevice* d = usb->SelectedDevice();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->HasReadThread());

    // The meter's frames come through the Qt event loop to the Q32 decoder.
    platform.pushRead(path, FakeHidPlatform::idleReport());
    sim::MeterState s;
    s.count = 12345;
    s.range = 3;
    for (int i = 0; i < 20; ++i) {
        const auto frame = sim::encodeQ32(s);
        platform.pushReads(path, sim::encodeReports(frame.data(), frame.size()));
    }
    ASSERT_TRUE(runUntil([&] { return meter.counts.decoded == 20; }));
    sim::Expectation expectation(Family::Q32);
    const sim::ExpectedReading expected = expectation.next(s);
    EXPECT_EQ(meter.reading.ValueText, expected.value);
    EXPECT_EQ(meter.reading.UnitText, expected.unit);
    // One history line per payload report: two per frame (7 and 4 bytes).
    EXPECT_EQ(meter.diag.HistoryListBox.size(), 1u + 40u);

    view.usbCon = false;
    EXPECT_EQ(usb->USBConClick(), UsbConnectOutcome::Disconnected);
    EXPECT_FALSE(d->HasReadThread());
    EXPECT_EQ(platform.featureReports(path).size(), 2u);
}

TEST_F(UsbAdapterTest, ConnectWithNothingListedShowsTheMessageAndReleasesTheButton) {
    start();
    view.usbCon = true;
    EXPECT_EQ(usb->USBConClick(), UsbConnectOutcome::NoDevice);
    EXPECT_EQ(view.messages, (Strings{kUsbNotConnectedText}));
    EXPECT_FALSE(view.usbCon);
    EXPECT_EQ(usb->SelectedDevice(), nullptr);
    EXPECT_TRUE(history().empty());
}

TEST_F(UsbAdapterTest, AnAdapterThatCannotBeReadIsReleasedWithoutMessage) {
    FakeHidDeviceSpec locked = FakeHidPlatform::usbToSerialAdapter();
    locked.readWriteOpens = false;
    platform.plug(locked);
    start();
    ASSERT_EQ(usb->selectedIndex(), 0);
    view.usbCon = true;
    EXPECT_EQ(usb->USBConClick(), UsbConnectOutcome::NotGranted);
    EXPECT_FALSE(view.usbCon);
    EXPECT_TRUE(view.messages.empty());
    view.readBtn = true;
    usb->ReadBtnClick();
    EXPECT_FALSE(view.readBtn);
    const auto info = usb->InfoBtnClick();
    ASSERT_TRUE(info);
    EXPECT_NE(info->find("queries only"), std::string::npos) << *info;
}

TEST_F(UsbAdapterTest, ARefusedFeatureReportDoesNotStopTheConnect) {
    FakeHidDeviceSpec adapter = FakeHidPlatform::usbToSerialAdapter();
    adapter.featureAccepted = false;
    platform.plug(adapter);
    start();
    view.usbCon = true;
    EXPECT_EQ(usb->USBConClick(), UsbConnectOutcome::Connected);
    EXPECT_EQ(history(), (Strings{"60 09 00 00 03 00 00 00 00 00 "}));
    EXPECT_TRUE(usb->SelectedDevice()->HasReadThread());
    // Quiet, but not swallowed: the refusal is kept, and Info shows it.
    EXPECT_NE(usb->LineSetupError().find("line setup"), std::string::npos);
    const auto info = usb->InfoBtnClick();
    ASSERT_TRUE(info);
    EXPECT_NE(info->find(usb->LineSetupError()), std::string::npos) << *info;
}

TEST_F(UsbAdapterTest, WatchdogDropsASilentLinkAfter1900IdleReports) {
    const auto path = platform.plug(FakeHidPlatform::usbToSerialAdapter());
    start();
    view.usbCon = true;
    ASSERT_EQ(usb->USBConClick(), UsbConnectOutcome::Connected);
    TJvHidDevice* d = usb->SelectedDevice();
    platform.setIdleStream(path, 0); // the meter sends nothing; the adapter goes on reporting
    ASSERT_TRUE(runUntil([&] { return meter.hid.IdleReports >= 1899; }, 20000));
    d->SetReadSleepMs(10);
    platform.setIdleStream(path, -1);
    runFor(30);
    if (meter.hid.IdleReports < kUsbIdleReportLimit) {
        EXPECT_FALSE(usb->WatchdogCheck()); // below the limit nothing happens
        EXPECT_TRUE(view.messages.empty());
        platform.pushRead(path, FakeHidPlatform::idleReport());
        ASSERT_TRUE(runUntil([&] { return meter.hid.IdleReports >= kUsbIdleReportLimit; }));
    }
    EXPECT_TRUE(usb->WatchdogCheck());
    EXPECT_EQ(meter.hid.IdleReports, 0);
    EXPECT_FALSE(d->HasReadThread());
    EXPECT_EQ(view.log, (Strings{"release USBCon", "dropped", "message"}));
    EXPECT_EQ(view.messages, (Strings{kUsbMeterNotReadyText}));
    EXPECT_FALSE(usb->WatchdogCheck());
}

TEST_F(UsbAdapterTest, PayloadReportsKeepTheWatchdogAway) {
    const auto path = platform.plug(FakeHidPlatform::usbToSerialAdapter());
    start();
    view.usbCon = true;
    usb->USBConClick();
    for (int i = 0; i < 1000; ++i) platform.pushRead(path, FakeHidPlatform::idleReport());
    platform.pushRead(path, {0x00, 0xF1, 0x0A, 0, 0, 0, 0, 0, 0});
    for (int i = 0; i < 1000; ++i) platform.pushRead(path, FakeHidPlatform::idleReport());
    ASSERT_TRUE(runUntil([&] { return platform.pendingReads(path) == 0; }, 20000));
    runFor(20);
    EXPECT_EQ(meter.hid.IdleReports, 1000);
    EXPECT_FALSE(usb->WatchdogCheck());
}

TEST_F(UsbAdapterTest, ReadErrorsReachTheHistoryOnlyForObjectsListedAtStart) {
    EXPECT_EQ(UsbAdapter::ReadErrorLine(1167).substr(UsbAdapter::ReadErrorLine(1167).size() - 5),
              "(48F)");
    EXPECT_EQ(UsbAdapter::ReadErrorLine(ENODEV), "READ ERROR: No such device (13)");

    platform.plug(FakeHidPlatform::usbToSerialAdapter());
    start();
    runFor(20); // the notice of the plug above finds nothing new
    EXPECT_EQ(view.listChanges, 1);
    view.usbCon = true;
    ASSERT_EQ(usb->USBConClick(), UsbConnectOutcome::Connected);
    usb->SelectedDevice()->SetReadSleepMs(10);
    usb->SelectedDevice()->Unplug(); // as the controller does before its notice is handled
    ASSERT_TRUE(runUntil([&] { return history().size() >= 3; }));
    EXPECT_EQ(history()[1], "READ ERROR: No such device (13)");

    // After a rebuild the fresh objects have no data-error handler. The rebuild hands the gone
    // object back, which takes it off the list; the next scan finds the device again.
    usb->HidCtlDeviceChange();
    EXPECT_TRUE(usb->DevListBox().empty());
    usb->HidCtl()->RefreshDevices();
    ASSERT_EQ(usb->DevListBox().size(), 1u);
    EXPECT_EQ(history().back(), "Arrival of USB to Serial");
    const std::size_t lines = history().size();
    ASSERT_EQ(usb->USBConClick(), UsbConnectOutcome::Connected);
    usb->SelectedDevice()->SetReadSleepMs(10);
    usb->SelectedDevice()->Unplug();
    runFor(100);
    EXPECT_EQ(history().size(), lines + 1); // only the feature line
}

TEST_F(UsbAdapterTest, ReadButtonBindsTheQ13ReportHandler) {
    const auto path = platform.plug(FakeHidPlatform::usbToSerialAdapter());
    start();
    view.readBtn = true;
    usb->ReadBtnClick();
    ASSERT_TRUE(usb->SelectedDevice()->HasReadThread());
    platform.pushRead(path, FakeHidPlatform::idleReport());
    sim::MeterState s;
    s.count = 1234;
    const auto frame = sim::encodeQ13(s);
    platform.pushReads(path, sim::encodeReports(frame.data(), frame.size()));
    ASSERT_TRUE(runUntil([&] { return meter.counts.decoded + meter.counts.rejected >= 1; }));
    EXPECT_EQ(meter.counts.decoded, 1u);
    view.readBtn = false;
    usb->ReadBtnClick();
    EXPECT_FALSE(usb->SelectedDevice()->HasReadThread());
}

TEST_F(UsbAdapterTest, ClearEmptiesTheHistoryAndInfoDescribesTheSelection) {
    platform.plug(FakeHidPlatform::usbToSerialAdapter());
    start();
    usb->SetFeatureClick();
    ASSERT_EQ(history().size(), 1u);
    usb->ClearBtnClick();
    EXPECT_TRUE(history().empty());
    const auto info = usb->InfoBtnClick();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->rfind("USB to Serial\n", 0), 0u) << *info;
    EXPECT_NE(info->find("Vendor ID 04FA, product ID 2490"), std::string::npos) << *info;
    EXPECT_NE(info->find("input 9, output 9, feature 10 bytes"), std::string::npos) << *info;
    EXPECT_NE(info->find("Access: read and write"), std::string::npos) << *info;
}

TEST_F(UsbAdapterTest, DestroyingTheAdapterWhileReadingLeavesNothingRunning) {
    const auto path = platform.plug(FakeHidPlatform::usbToSerialAdapter());
    start();
    view.usbCon = true;
    usb->USBConClick();
    platform.setIdleStream(path, 1);
    runFor(30);
    usb.reset();
    EXPECT_EQ(platform.openConnections(), 0);
    EXPECT_EQ(TJvHidDeviceController::LiveControllers(), 0);
}

} // namespace
} // namespace dmm::test
