#include "FakeHidPlatform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace dmm {

namespace {

bool copyString(const std::wstring& text, wchar_t* buffer, std::size_t chars) {
    if (chars == 0) return false;
    const std::size_t n = std::min(text.size(), chars - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    buffer[n] = L'\0';
    return true;
}

} // namespace

class FakeHidConnection : public HidConnection {
public:
    FakeHidConnection(FakeHidPlatform& platform, std::shared_ptr<FakeHidPlatform::Device> device,
                      HidOpenMode mode)
        : platform_(platform), device_(std::move(device)), mode_(mode) {}

    ~FakeHidConnection() override {
        std::lock_guard lock(platform_.mutex_);
        switch (mode_) {
        case HidOpenMode::ReadWrite:
            --platform_.openRw_;
            break;
        case HidOpenMode::QueryOnly:
            --platform_.openQuery_;
            break;
        case HidOpenMode::ReadOnly:
            --platform_.openRead_;
            break;
        }
    }

    bool getAttributes(HidAttributes& out) override {
        std::lock_guard lock(platform_.mutex_);
        if (!device_->plugged || !device_->spec.identifiable) return false;
        out = {device_->spec.vendorId, device_->spec.productId, device_->spec.version};
        return true;
    }
    bool getCaps(HidCaps& out) override {
        std::lock_guard lock(platform_.mutex_);
        if (!device_->plugged || !device_->spec.capsReadable) return false;
        out = device_->spec.caps;
        return true;
    }
    bool getProductString(wchar_t* buffer, std::size_t chars) override {
        std::lock_guard lock(platform_.mutex_);
        return device_->plugged && device_->spec.product &&
               copyString(*device_->spec.product, buffer, chars);
    }
    bool getSerialNumberString(wchar_t* buffer, std::size_t chars) override {
        std::lock_guard lock(platform_.mutex_);
        return device_->plugged && device_->spec.serial &&
               copyString(*device_->spec.serial, buffer, chars);
    }
    bool getIndexedString(int index, wchar_t* buffer, std::size_t chars) override {
        std::lock_guard lock(platform_.mutex_);
        if (!device_->plugged || index != 0 || !device_->spec.languages) return false;
        const auto& list = *device_->spec.languages;
        std::copy(list.begin(),
                  list.begin() + static_cast<std::ptrdiff_t>(std::min(list.size(), chars)), buffer);
        return true;
    }
    bool sendFeatureReport(const std::uint8_t* data, std::size_t length) override {
        std::lock_guard lock(platform_.mutex_);
        if (!device_->plugged || mode_ != HidOpenMode::ReadWrite) return false;
        device_->features.emplace_back(data, data + length);
        return device_->spec.featureAccepted;
    }
    HidReadResult read(std::uint8_t* buffer, std::size_t length, int timeoutMs) override {
        std::unique_lock lock(platform_.mutex_);
        if (mode_ == HidOpenMode::QueryOnly) return {HidReadResult::Error, 0, EBADF};
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        const int idle = device_->idleIntervalMs;
        const auto idleAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(idle);
        const bool idleFirst = idle >= 0 && idleAt < deadline;
        platform_.condition_.wait_until(lock, idleFirst ? idleAt : deadline, [this] {
            return !device_->plugged || !device_->reads.empty();
        });
        if (!device_->plugged) return {HidReadResult::Error, 0, ENODEV};
        std::vector<std::uint8_t> report;
        if (!device_->reads.empty()) {
            report = std::move(device_->reads.front());
            device_->reads.pop_front();
            platform_.condition_.notify_all(); // waitUntilDrained
        } else if (idleFirst) {
            report = FakeHidPlatform::idleReport();
        } else {
            return {HidReadResult::Timeout, 0, 0};
        }
        const std::size_t n = std::min(report.size(), length);
        std::copy(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(n), buffer);
        if (n > 0) ++device_->delivered;
        return {HidReadResult::Data, n, 0};
    }

private:
    FakeHidPlatform& platform_;
    std::shared_ptr<FakeHidPlatform::Device> device_;
    HidOpenMode mode_;
};

class FakeChangeSource : public HidChangeSource {
public:
    explicit FakeChangeSource(int fd) : fd_(fd) {}
    int fd() const override { return fd_; }
    int pollIntervalMs() const override { return 0; }
    bool drain() override {
        eventfd_t value = 0;
        return eventfd_read(fd_, &value) == 0 && value > 0;
    }
    const char* kind() const override { return "fake"; }

private:
    int fd_;
};

FakeHidPlatform::FakeHidPlatform() {
    changeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

FakeHidPlatform::~FakeHidPlatform() {
    if (changeFd_ >= 0) ::close(changeFd_);
}

FakeHidDeviceSpec FakeHidPlatform::usbToSerialAdapter() {
    FakeHidDeviceSpec spec;
    spec.vendorId = 0x04FA;
    spec.productId = 0x2490;
    spec.manufacturer = L"Fake";
    spec.product = L"USB to Serial";
    spec.serial = std::nullopt;
    spec.caps = HidCaps{0x0001, 0xFF00, 9, 9, 10};
    return spec;
}

std::vector<std::uint8_t> FakeHidPlatform::idleReport() {
    std::vector<std::uint8_t> r(9, 0);
    r[1] = 0xF0;
    return r;
}

std::string FakeHidPlatform::plug(FakeHidDeviceSpec spec) {
    {
        std::lock_guard lock(mutex_);
        ++nextId_;
        if (spec.path.empty()) spec.path = "/fake/hidraw" + std::to_string(nextId_);
        if (spec.instanceKey == 0) spec.instanceKey = 0x1000u + static_cast<std::uint32_t>(nextId_);
        auto device = std::make_shared<Device>();
        device->spec = std::move(spec);
        devices_.push_back(device);
        spec.path = device->spec.path;
    }
    signalChange();
    return spec.path;
}

void FakeHidPlatform::unplug(const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        for (auto& d : devices_)
            if (d->plugged && d->spec.path == path) d->plugged = false;
        // Gone devices stay reachable for open connections; forget them otherwise.
        devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                      [](const auto& d) { return !d->plugged; }),
                       devices_.end());
    }
    condition_.notify_all();
    signalChange();
}

void FakeHidPlatform::unplugAll() {
    std::vector<std::string> paths;
    {
        std::lock_guard lock(mutex_);
        for (auto& d : devices_) paths.push_back(d->spec.path);
    }
    for (auto& p : paths) unplug(p);
}

bool FakeHidPlatform::plugged(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return findLocked(path) != nullptr;
}

std::shared_ptr<FakeHidPlatform::Device>
FakeHidPlatform::findLocked(const std::string& path) const {
    for (auto& d : devices_)
        if (d->plugged && d->spec.path == path) return d;
    return nullptr;
}

void FakeHidPlatform::pushRead(const std::string& path, std::vector<std::uint8_t> bytes) {
    {
        std::lock_guard lock(mutex_);
        if (auto d = findLocked(path)) d->reads.push_back(std::move(bytes));
    }
    condition_.notify_all();
}

std::size_t FakeHidPlatform::pendingReads(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto d = findLocked(path);
    return d ? d->reads.size() : 0;
}

bool FakeHidPlatform::waitUntilDrained(const std::string& path,
                                       std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return condition_.wait_for(lock, timeout, [&] {
        auto d = findLocked(path);
        return !d || d->reads.empty();
    });
}

void FakeHidPlatform::setIdleStream(const std::string& path, int intervalMs) {
    {
        std::lock_guard lock(mutex_);
        if (auto d = findLocked(path)) d->idleIntervalMs = intervalMs;
    }
    condition_.notify_all();
}

std::vector<std::vector<std::uint8_t>>
FakeHidPlatform::featureReports(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto d = findLocked(path);
    return d ? d->features : std::vector<std::vector<std::uint8_t>>{};
}

std::size_t FakeHidPlatform::readsDelivered(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto d = findLocked(path);
    return d ? d->delivered : 0;
}

int FakeHidPlatform::openConnections() const {
    std::lock_guard lock(mutex_);
    return openRw_ + openQuery_ + openRead_;
}

int FakeHidPlatform::openReadConnections() const {
    std::lock_guard lock(mutex_);
    return openRead_;
}

int FakeHidPlatform::openAttempts(HidOpenMode mode) const {
    std::lock_guard lock(mutex_);
    auto it = attempts_.find(mode);
    return it == attempts_.end() ? 0 : it->second;
}

void FakeHidPlatform::setAvailable(bool available) {
    std::lock_guard lock(mutex_);
    available_ = available;
}

bool FakeHidPlatform::available() const {
    std::lock_guard lock(mutex_);
    return available_;
}

std::vector<HidInterfaceInfo> FakeHidPlatform::enumerate() {
    std::lock_guard lock(mutex_);
    std::vector<HidInterfaceInfo> out;
    if (!available_) return out;
    for (auto& d : devices_) {
        if (!d->plugged) continue;
        HidInterfaceInfo info;
        info.path = d->spec.path;
        info.instanceKey = d->spec.instanceKey;
        info.vendorId = d->spec.vendorId;
        info.productId = d->spec.productId;
        info.manufacturer = d->spec.manufacturer;
        info.product = d->spec.product.value_or(L"");
        info.bus = "fake";
        out.push_back(std::move(info));
    }
    return out;
}

std::unique_ptr<HidConnection> FakeHidPlatform::open(const std::string& path, HidOpenMode mode,
                                                     int* error) {
    std::lock_guard lock(mutex_);
    ++attempts_[mode];
    auto d = available_ ? findLocked(path) : nullptr;
    if (!d) {
        if (error) *error = ENOENT;
        return nullptr;
    }
    const FakeHidDeviceSpec& s = d->spec;
    const bool ok = mode == HidOpenMode::ReadWrite   ? s.readWriteOpens
                    : mode == HidOpenMode::QueryOnly ? (s.queryOpens || s.readWriteOpens)
                                                     : (s.readOpens && s.readWriteOpens);
    if (!ok) {
        if (error) *error = EACCES;
        return nullptr;
    }
    switch (mode) {
    case HidOpenMode::ReadWrite:
        ++openRw_;
        break;
    case HidOpenMode::QueryOnly:
        ++openQuery_;
        break;
    case HidOpenMode::ReadOnly:
        ++openRead_;
        break;
    }
    return std::make_unique<FakeHidConnection>(*this, d, mode);
}

std::unique_ptr<HidChangeSource> FakeHidPlatform::changeSource() {
    if (changeFd_ < 0) return nullptr;
    return std::make_unique<FakeChangeSource>(changeFd_);
}

void FakeHidPlatform::signalChange() {
    if (changeFd_ >= 0) eventfd_write(changeFd_, 1);
}

} // namespace dmm
