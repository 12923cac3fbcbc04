#include "HidapiPlatform.h"

#include "ReportDescriptor.h"
#include "RescanChangeSource.h"
#include "UdevChangeSource.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

namespace dmm {

namespace {

std::string nodeName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::uint32_t fnv1a(const std::string& text) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

ReportDescriptorSummary readDescriptor(const std::string& path) {
    // A report descriptor is at most 4096 bytes (HID_MAX_DESCRIPTOR_SIZE).
    std::ifstream in("/sys/class/hidraw/" + nodeName(path) + "/device/report_descriptor",
                     std::ios::binary);
    std::vector<std::uint8_t> bytes;
    char c;
    while (bytes.size() < 4096 && in.get(c)) bytes.push_back(static_cast<std::uint8_t>(c));
    return parseReportDescriptor(bytes.data(), bytes.size());
}

class HidapiConnection : public HidConnection {
public:
    HidapiConnection(hid_device* dev, const ReportDescriptorSummary& descriptor)
        : dev_(dev), descriptor_(descriptor) {}
    ~HidapiConnection() override { hid_close(dev_); }

    bool getAttributes(HidAttributes& out) override {
        hid_device_info* info = hid_get_device_info(dev_);
        if (!info) return false;
        out = {info->vendor_id, info->product_id, info->release_number};
        return true;
    }
    bool getCaps(HidCaps& out) override {
        if (!descriptor_.parsed) return false;
        out = descriptor_.caps;
        return true;
    }
    bool getProductString(wchar_t* buffer, std::size_t chars) override {
        return hid_get_product_string(dev_, buffer, chars) == 0;
    }
    bool getSerialNumberString(wchar_t* buffer, std::size_t chars) override {
        return hid_get_serial_number_string(dev_, buffer, chars) == 0;
    }
    bool getIndexedString(int index, wchar_t* buffer, std::size_t chars) override {
        return hid_get_indexed_string(dev_, index, buffer, chars) == 0;
    }
    bool sendFeatureReport(const std::uint8_t* data, std::size_t length) override {
        return hid_send_feature_report(dev_, data, length) >= 0;
    }
    HidReadResult read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        if (length == 0) return {HidReadResult::Error, 0, EINVAL};
        const bool numbered = descriptor_.numbered;
        std::uint8_t* into = numbered ? buffer : buffer + 1;
        const std::size_t room = numbered ? length : length - 1;
        errno = 0;
        const int n = hid_read_timeout(dev_, into, room, timeoutMs);
        if (n < 0) return {HidReadResult::Error, 0, errno != 0 ? errno : EIO};
        if (n == 0) return {HidReadResult::Timeout, 0, 0};
        if (!numbered) buffer[0] = 0;
        return {HidReadResult::Data, static_cast<std::size_t>(n) + (numbered ? 0 : 1), 0};
    }

private:
    hid_device* dev_;
    ReportDescriptorSummary descriptor_;
};

// Answers from the enumeration record; opens nothing.
class QueryOnlyConnection : public HidConnection {
public:
    QueryOnlyConnection(HidAttributes attributes, std::wstring product, std::wstring serial,
                        const ReportDescriptorSummary& descriptor)
        : attributes_(attributes), product_(std::move(product)), serial_(std::move(serial)),
          descriptor_(descriptor) {}
    bool getAttributes(HidAttributes& out) override {
        out = attributes_;
        return true;
    }
    bool getCaps(HidCaps& out) override {
        if (!descriptor_.parsed) return false;
        out = descriptor_.caps;
        return true;
    }
    bool getProductString(wchar_t* buffer, std::size_t chars) override {
        return copy(product_, buffer, chars);
    }
    bool getSerialNumberString(wchar_t* buffer, std::size_t chars) override {
        return copy(serial_, buffer, chars);
    }
    bool getIndexedString(int, wchar_t*, std::size_t) override { return false; }
    bool sendFeatureReport(const std::uint8_t*, std::size_t) override { return false; }
    HidReadResult read(std::uint8_t*, std::size_t, int) override {
        return {HidReadResult::Error, 0, EACCES};
    }

private:
    static bool copy(const std::wstring& text, wchar_t* buffer, std::size_t chars) {
        if (chars == 0) return false;
        const std::size_t n = std::min(text.size(), chars - 1);
        std::copy_n(text.begin(), n, buffer);
        buffer[n] = L'\0';
        return true;
    }
    HidAttributes attributes_;
    std::wstring product_, serial_;
    ReportDescriptorSummary descriptor_;
};

std::wstring wide(const wchar_t* s) {
    return s ? std::wstring(s) : std::wstring();
}

const char* busName(hid_bus_type bus) {
    switch (bus) {
    case HID_API_BUS_USB:
        return "USB";
    case HID_API_BUS_BLUETOOTH:
        return "Bluetooth";
    case HID_API_BUS_I2C:
        return "I2C";
    case HID_API_BUS_SPI:
        return "SPI";
    default:
        return "unknown";
    }
}

} // namespace

HidapiPlatform::HidapiPlatform() {
    initialised_ = hid_init() == 0;
}

HidapiPlatform::~HidapiPlatform() {
    if (initialised_) hid_exit();
}

std::uint32_t HidapiPlatform::instanceKeyFor(const std::string& path) {
    const std::string link = "/sys/class/hidraw/" + nodeName(path) + "/device";
    char resolved[PATH_MAX];
    if (::realpath(link.c_str(), resolved)) return fnv1a(resolved);
    return fnv1a(path);
}

std::vector<HidInterfaceInfo> HidapiPlatform::enumerate() {
    std::vector<HidInterfaceInfo> out;
    if (!initialised_) return out;
    std::lock_guard lock(mutex_);
    hid_device_info* list = hid_enumerate(0, 0);
    records_.clear();
    std::set<std::string> seen;
    // hidapi lists a node once per top-level usage; the controller wants one entry per node.
    for (hid_device_info* d = list; d; d = d->next) {
        if (!d->path || !seen.insert(d->path).second) continue;
        HidInterfaceInfo info;
        info.path = d->path;
        info.instanceKey = instanceKeyFor(info.path);
        info.vendorId = d->vendor_id;
        info.productId = d->product_id;
        info.manufacturer = wide(d->manufacturer_string);
        info.product = wide(d->product_string);
        info.bus = busName(d->bus_type);
        info.interfaceNumber = d->interface_number;
        records_[info.path] = Record{info, wide(d->serial_number), d->release_number};
        out.push_back(std::move(info));
    }
    hid_free_enumeration(list);
    return out;
}

std::unique_ptr<HidConnection> HidapiPlatform::open(const std::string& path, HidOpenMode mode,
                                                    int* error) {
    if (!initialised_) {
        if (error) *error = ENODEV;
        return nullptr;
    }
    const ReportDescriptorSummary descriptor = readDescriptor(path);
    std::lock_guard lock(mutex_);
    if (mode == HidOpenMode::QueryOnly) {
        const auto it = records_.find(path);
        if (it == records_.end()) {
            if (error) *error = ENOENT;
            return nullptr;
        }
        const Record& r = it->second;
        return std::make_unique<QueryOnlyConnection>(
            HidAttributes{r.info.vendorId, r.info.productId, r.release}, r.info.product, r.serial,
            descriptor);
    }
    errno = 0;
    hid_device* dev = hid_open_path(path.c_str());
    if (!dev) {
        if (error) *error = errno != 0 ? errno : EIO;
        return nullptr;
    }
    return std::make_unique<HidapiConnection>(dev, descriptor);
}

// A udev monitor on the hidraw subsystem when a udev daemon runs, otherwise the kernel's uevents,
// otherwise a rescan of /sys/class/hidraw every second.
std::unique_ptr<HidChangeSource> HidapiPlatform::changeSource() {
    if (UdevChangeSource::daemonRunning()) {
        auto udev = std::make_unique<UdevChangeSource>(UdevChangeSource::Events::Udev);
        if (udev->valid()) return udev;
    }
    auto kernel = std::make_unique<UdevChangeSource>(UdevChangeSource::Events::Kernel);
    if (kernel->valid()) return kernel;
    return std::make_unique<RescanChangeSource>();
}

} // namespace dmm
