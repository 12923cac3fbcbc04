// The hidraw backend on this machine, the report descriptor reading and the change sources.
#include "HidapiPlatform.h"
#include "JvHidControllerClass.h"
#include "LoopDispatcher.h"
#include "ReportDescriptor.h"
#include "RescanChangeSource.h"
#include "UdevChangeSource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace dmm::test {
namespace {

TEST(HidapiBackend, InitialisesAndEnumerates) {
    HidapiPlatform platform;
    ASSERT_TRUE(platform.available());
    const auto interfaces = platform.enumerate(); // no HID devices here: empty is right
    for (const auto& i : interfaces) {
        EXPECT_FALSE(i.path.empty());
        EXPECT_EQ(i.instanceKey, HidapiPlatform::instanceKeyFor(i.path));
    }
    int error = 0;
    EXPECT_EQ(platform.open("/dev/hidraw-none", HidOpenMode::ReadWrite, &error), nullptr);
    EXPECT_NE(error, 0);
    EXPECT_EQ(platform.open("/dev/hidraw-none", HidOpenMode::QueryOnly, &error), nullptr);

    LoopDispatcher gui;
    TJvHidDeviceController controller(platform, gui);
    EXPECT_EQ(controller.Count(), static_cast<int>(interfaces.size()));
    ASSERT_NE(controller.ChangeSource(), nullptr);
    const std::string kind = controller.ChangeSource()->kind();
    EXPECT_TRUE(kind == "udev" || kind == "kernel" || kind == "rescan") << kind;
    EXPECT_TRUE(controller.ChangeSource()->fd() >= 0 ||
                controller.ChangeSource()->pollIntervalMs() > 0);
    controller.HandleChangeNotices();
    std::printf("[hidapi] %zu interfaces, change notices from %s\n", interfaces.size(),
                kind.c_str());
}

struct DescriptorCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool parsed, numbered;
    HidCaps caps;
};

class HidReportDescriptor : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(HidReportDescriptor, Summary) {
    const auto& c = GetParam();
    const auto s = parseReportDescriptor(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(s.parsed, c.parsed);
    EXPECT_EQ(s.numbered, c.numbered);
    EXPECT_EQ(s.caps.UsagePage, c.caps.UsagePage);
    EXPECT_EQ(s.caps.Usage, c.caps.Usage);
    EXPECT_EQ(s.caps.InputReportByteLength, c.caps.InputReportByteLength);
    EXPECT_EQ(s.caps.OutputReportByteLength, c.caps.OutputReportByteLength);
    EXPECT_EQ(s.caps.FeatureReportByteLength, c.caps.FeatureReportByteLength);
}

// A vendor-defined serial adapter: 8 input bytes, 8 output bytes, 9 feature bytes, unnumbered.
const std::vector<std::uint8_t> kAdapter = {
    0x06, 0x00, 0xFF,                         // Usage Page (vendor 0xFF00)
    0x09, 0x01,                               // Usage 1
    0xA1, 0x01,                               // Collection (Application)
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, // logical 0..255, Report Size 8
    0x95, 0x08, 0x09, 0x01, 0x81, 0x02,       // Report Count 8, Input
    0x95, 0x08, 0x09, 0x01, 0x91, 0x02,       // Output
    0x95, 0x09, 0x09, 0x01, 0xB1, 0x02,       // Report Count 9, Feature
    0xC0};

// A mouse-like device with two numbered input reports (3 and 5 bytes of data).
const std::vector<std::uint8_t> kNumbered = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,             // Generic Desktop, Mouse
    0x85, 0x01, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02, // ID 1: 3 bytes
    0x85, 0x02, 0x75, 0x08, 0x95, 0x05, 0x81, 0x02, // ID 2: 5 bytes
    0xA4, 0x75, 0x01, 0x95, 0x04, 0xB1, 0x02, 0xB4, // Push, 4 feature bits, Pop
    0x95, 0x01, 0xB1, 0x02,                         // ID 2: one more feature byte
    0xC0};

INSTANTIATE_TEST_SUITE_P(
    Hid, HidReportDescriptor,
    ::testing::Values(
        DescriptorCase{"UnnumberedAdapter", kAdapter, true, false, {0x01, 0xFF00, 9, 9, 10}},
        DescriptorCase{"NumberedReports", kNumbered, true, true, {0x02, 0x01, 6, 0, 3}},
        // Usage 0x000D0005 (page 0x0D, usage 5) given as one four-byte item.
        DescriptorCase{"ExtendedUsage",
                       {0x05, 0x01, 0x0B, 0x05, 0x00, 0x0D, 0x00, 0xA1, 0x01, 0x75, 0x08, 0x95,
                        0x02, 0x81, 0x02, 0xC0},
                       true,
                       false,
                       {0x05, 0x0D, 3, 0, 0}},
        DescriptorCase{"Empty", {}, false, false, {}},
        DescriptorCase{"TruncatedItem", {0x06, 0x00}, false, false, {}},
        DescriptorCase{"PopWithoutPush", {0xB4}, false, false, {}},
        DescriptorCase{"LongItemSkipped",
                       {0xFE, 0x02, 0x10, 0x85, 0x85, 0x09, 0x01, 0xA1, 0x01, 0xC0},
                       true,
                       false,
                       {0x01, 0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HidChangeSources, RescanSeesEntriesComeAndGo) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("dmm-hid-rescan-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    RescanChangeSource source(dir.string(), 250);
    EXPECT_EQ(source.fd(), -1);
    EXPECT_EQ(source.pollIntervalMs(), 250);
    EXPECT_FALSE(source.drain());
    std::ofstream(dir / "hidraw0").put('x');
    EXPECT_TRUE(source.drain());
    EXPECT_FALSE(source.drain());
    std::filesystem::remove(dir / "hidraw0");
    EXPECT_TRUE(source.drain());
    std::filesystem::remove_all(dir);
}

TEST(HidChangeSources, KernelUeventsDrainWithoutBlocking) {
    UdevChangeSource source(UdevChangeSource::Events::Kernel);
    if (!source.valid()) GTEST_SKIP() << "netlink uevents refused in this sandbox";
    EXPECT_GE(source.fd(), 0);
    source.drain(); // nothing pending: must return at once
    SUCCEED();
}

TEST(HidErrorText, PlatformTextForCodes) {
    EXPECT_EQ(hidErrorText(2), "No such file or directory");
    EXPECT_FALSE(hidErrorText(1167).empty());
}

} // namespace
} // namespace dmm::test
