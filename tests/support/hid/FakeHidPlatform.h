// In-memory HID devices for tests: plug and unplug them, make one unopenable or query-only, queue
// the input reports a read will deliver, and look at the feature reports a device received. One
// preset behaves as the meter cable's "USB to Serial" adapter: 9-byte input reports (report ID 0
// and 8 data bytes), 10-byte feature reports, and optionally a stream of reports without payload
// while nothing else is queued, as a cable with a silent meter sends them.
//
// Thread-safe: a read thread may block in read() while the test plugs, unplugs and queues.
#pragma once

#include "HidPlatform.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dmm {

struct FakeHidDeviceSpec {
    std::string path;              // made up when empty
    std::uint32_t instanceKey = 0; // made up when 0
    std::uint16_t vendorId = 0x1234;
    std::uint16_t productId = 0x5678;
    std::uint16_t version = 0x0100;
    std::wstring manufacturer;
    std::optional<std::wstring> product = std::wstring(); // nullopt: the request fails
    std::optional<std::wstring> serial;                   // nullopt: the request fails
    // String descriptor 0 as delivered into the buffer; nullopt: the request fails (as on hidraw).
    std::optional<std::vector<wchar_t>> languages;
    bool readWriteOpens = true; // false: only query-only opens (or none, see queryOpens)
    bool queryOpens = true;
    bool readOpens = true; // the read thread's read-only handle
    bool identifiable = true;
    bool capsReadable = true;
    bool featureAccepted = true;
    HidCaps caps{0x0001, 0xFF00, 9, 9, 10};
};

class FakeHidPlatform : public HidPlatform {
public:
    FakeHidPlatform();
    ~FakeHidPlatform() override;

    // The adapter preset: product "USB to Serial", no serial number.
    static FakeHidDeviceSpec usbToSerialAdapter();
    // The report a silent adapter sends: count 0.
    static std::vector<std::uint8_t> idleReport();

    // Returns the device's path. Plugging signals the change source.
    std::string plug(FakeHidDeviceSpec spec);
    // Open connections fail from now on; a read in progress returns an error at once.
    void unplug(const std::string& path);
    void unplugAll();
    bool plugged(const std::string& path) const;

    // Queues one read's result: `bytes` as the read delivers them, report ID first. An empty
    // vector is a read that completes without data.
    void pushRead(const std::string& path, std::vector<std::uint8_t> bytes);
    template <class Reports> void pushReads(const std::string& path, const Reports& reports) {
        for (const auto& r : reports) pushRead(path, std::vector<std::uint8_t>(r.begin(), r.end()));
    }
    std::size_t pendingReads(const std::string& path) const;
    // Blocks until every queued read has been taken or `timeout` passed; true if taken.
    bool waitUntilDrained(const std::string& path, std::chrono::milliseconds timeout) const;
    // While nothing is queued, a read delivers idleReport() every intervalMs (< 0: off).
    void setIdleStream(const std::string& path, int intervalMs);

    std::vector<std::vector<std::uint8_t>> featureReports(const std::string& path) const;
    // Reads that delivered bytes so far.
    std::size_t readsDelivered(const std::string& path) const;
    // Handles currently open on all devices, by mode.
    int openConnections() const;
    int openReadConnections() const;
    // Open attempts in a mode, successful or not.
    int openAttempts(HidOpenMode mode) const;

    void setAvailable(bool available);

    // HidPlatform
    bool available() const override;
    std::vector<HidInterfaceInfo> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path, HidOpenMode mode,
                                        int* error) override;
    std::unique_ptr<HidChangeSource> changeSource() override;

private:
    friend class FakeHidConnection;
    friend class FakeChangeSource;
    struct Device {
        FakeHidDeviceSpec spec;
        bool plugged = true;
        std::deque<std::vector<std::uint8_t>> reads;
        int idleIntervalMs = -1;
        std::vector<std::vector<std::uint8_t>> features;
        std::size_t delivered = 0;
    };
    std::shared_ptr<Device> findLocked(const std::string& path) const;
    void signalChange();

    mutable std::mutex mutex_;
    mutable std::condition_variable condition_;
    bool available_ = true;
    std::vector<std::shared_ptr<Device>> devices_; // plug order, present and gone
    int nextId_ = 0;
    int openRw_ = 0, openQuery_ = 0, openRead_ = 0;
    std::map<HidOpenMode, int> attempts_;
    int changeFd_ = -1; // an eventfd: readable after a plug or an unplug
};

} // namespace dmm
