// The HID device controller and its device objects with their read threads. The controller keeps
// the list of present HID interfaces, finds out what came and went when the platform says the set
// of devices changed, offers the devices to its client and lets it claim device objects. A claimed
// device with a data handler reads input reports on its own thread and hands each one over to the
// GUI thread, where the handler runs. Nothing here knows about meters or adapters.
//
// Threads: everything but the read loop runs on the GUI thread, the one that serves the
// GuiDispatcher. The platform and the dispatcher must outlive the controller and every device.
#pragma once

#include "GuiDispatcher.h"
#include "HidPlatform.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace dmm {

class TJvHidDevice;
class TJvHidDeviceController;

// An event slot: empty, or one handler. Handlers compare by identity: a copy of a slot equals
// it, a slot made from another callable does not, which is what "the device still has the
// controller's previous handler" needs.
template <class Signature> class HidEvent;
template <class R, class... Args> class HidEvent<R(Args...)> {
public:
    HidEvent() = default;
    HidEvent(std::nullptr_t) {}
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, HidEvent> &&
                                                !std::is_same_v<std::decay_t<F>, std::nullptr_t>>>
    HidEvent(F&& f) : fn_(std::make_shared<const std::function<R(Args...)>>(std::forward<F>(f))) {}

    explicit operator bool() const { return fn_ && *fn_; }
    R operator()(Args... args) const { return (*fn_)(std::forward<Args>(args)...); }
    bool operator==(const HidEvent& other) const { return fn_ == other.fn_; }

private:
    std::shared_ptr<const std::function<R(Args...)>> fn_;
};

using TJvHidDataEvent = HidEvent<void(TJvHidDevice& hidDev, std::uint8_t reportId,
                                      const std::uint8_t* data, std::uint16_t size)>;
using TJvHidDataErrorEvent = HidEvent<void(TJvHidDevice& hidDev, std::uint32_t error)>;
using TJvHidPlugEvent = HidEvent<void(TJvHidDevice& hidDev)>;
using TJvHidEnumerateEvent = HidEvent<bool(TJvHidDevice& hidDev, int idx)>;
using TNotifyEvent = HidEvent<void(TJvHidDeviceController& sender)>;

class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The description of one HID interface, owned by its device object.
class TJvHidPnPInfo {
public:
    explicit TJvHidPnPInfo(HidInterfaceInfo info) : info_(std::move(info)) {}
    const std::string& InterfacePath() const { return info_.path; }
    std::uint32_t InstanceKey() const { return info_.instanceKey; }
    // What the enumeration said about the device; nothing decides on it.
    const HidInterfaceInfo& Details() const { return info_; }

private:
    HidInterfaceInfo info_;
};

// Reads one device's input reports and hands each over to the GUI thread. Owned by its device;
// ends only when stopped.
class TJvHidDeviceReadThread {
public:
    explicit TJvHidDeviceReadThread(TJvHidDevice& device);
    ~TJvHidDeviceReadThread(); // stops the thread if it still runs
    TJvHidDeviceReadThread(const TJvHidDeviceReadThread&) = delete;
    TJvHidDeviceReadThread& operator=(const TJvHidDeviceReadThread&) = delete;

    void Start();
    // GUI thread: requests the stop and waits for the end while serving handed-over calls.
    void Stop();

private:
    void Execute();
    bool StopRequested();
    // Waits one ReadSleepMs slice, or less when a stop is requested.
    void PauseOneSlice();
    void HandOverData();
    void HandOverError();
    static void RunData(void* self);
    static void RunError(void* self);

    TJvHidDevice& device_;
    GuiDispatcher& dispatcher_;
    std::vector<std::uint8_t> buffer_; // sized once; valid for the handler only during its call
    std::size_t bytesRead_ = 0;
    std::uint32_t lastError_ = 0;
    std::unique_ptr<HidConnection> readHandle_; // opened and closed by the read thread only
    HandOver call_;
    bool stopRequested_ = false; // guarded by the dispatcher's mutex
    bool finished_ = false;      // likewise
    std::thread thread_;
};

class TJvHidDevice {
public:
    // Run only by the controller's scan. Throws EControllerError "device cannot be opened" or
    // "device cannot be identified".
    TJvHidDevice(std::unique_ptr<TJvHidPnPInfo> info, TJvHidDeviceController& controller);
    // Stops the read thread and hands the object back to its controller.
    ~TJvHidDevice();
    TJvHidDevice(const TJvHidDevice&) = delete;
    TJvHidDevice& operator=(const TJvHidDevice&) = delete;

    const TJvHidPnPInfo& PnPInfo() const { return *info_; }
    std::uint16_t VendorID() const { return attributes_.VendorID; }
    std::uint16_t ProductID() const { return attributes_.ProductID; }
    std::uint16_t VersionNumber() const { return attributes_.VersionNumber; }
    const std::wstring& ProductName();
    const std::wstring& SerialNumber();
    const HidCaps& Caps();

    bool ReadWriteGranted() const { return readWriteGranted_; }
    bool Plugged() const { return plugged_.load(); }
    bool Claimed() const { return claimed_.load(); }
    bool Offered() const { return offered_.load(); }
    bool IsAccessible() const { return Plugged() && (Claimed() || Offered()); }
    bool HasReadThread() const { return readThread_ != nullptr; }
    TJvHidDeviceController* Controller() const { return controller_; }

    bool SendFeature(const std::uint8_t* buffer, std::size_t length);

    int ReadSleepMs() const { return readSleepMs_.load(); }
    void SetReadSleepMs(int ms);

    const TJvHidDataEvent& OnData() const { return onData_; }
    void SetDataHandler(const TJvHidDataEvent& handler);
    const TJvHidDataErrorEvent& OnDataError() const { return onDataError_; }
    void SetOnDataError(const TJvHidDataErrorEvent& handler) { onDataError_ = handler; }
    const TJvHidPlugEvent& OnUnplug() const { return onUnplug_; }
    void SetOnUnplug(const TJvHidPlugEvent& handler) { onUnplug_ = handler; }

    // Marks the device gone: closes its handles and tells the unplug handler once.
    void Unplug();

private:
    friend class TJvHidDeviceController;
    friend class TJvHidDeviceReadThread;

    bool OpenControl();
    void CloseControl() { control_.reset(); }
    void StartThreadIfReady();
    void StopThread();

    TJvHidDeviceController* controller_;
    HidPlatform& platform_;
    GuiDispatcher& dispatcher_;
    std::unique_ptr<TJvHidPnPInfo> info_;
    std::atomic<bool> plugged_{true};
    std::atomic<bool> claimed_{false};
    std::atomic<bool> offered_{false};
    bool readWriteGranted_ = false;
    HidAttributes attributes_;
    std::wstring productText_;
    std::wstring serialText_;
    bool capsFetched_ = false;
    HidCaps caps_;
    std::atomic<int> readSleepMs_{100};
    TJvHidDataEvent onData_;
    TJvHidDataErrorEvent onDataError_;
    TJvHidPlugEvent onUnplug_;
    std::unique_ptr<HidConnection> control_;
    std::unique_ptr<TJvHidDeviceReadThread> readThread_;
};

class TJvHidDeviceController {
public:
    // Throws EControllerError "Only one TJvHidDeviceController allowed per program" while another
    // controller is alive.
    TJvHidDeviceController(HidPlatform& platform, GuiDispatcher& dispatcher);
    ~TJvHidDeviceController();
    TJvHidDeviceController(const TJvHidDeviceController&) = delete;
    TJvHidDeviceController& operator=(const TJvHidDeviceController&) = delete;

    static int LiveControllers();

    // Hands each present listed device to OnEnumerate; returns how many were offered.
    int OfferDevices();
    // Claims the listed device at `index`; the claimer owns it from then on and hands it back by
    // destroying it.
    std::unique_ptr<TJvHidDevice> ClaimAt(int index); // null: outside the list or claimed
    // Compares a fresh scan with the list: removals, arrivals, OnDeviceChange.
    void RefreshDevices();

    int Count() const { return static_cast<int>(list_.size()); }
    TJvHidDevice* At(int index) const { return list_.at(static_cast<std::size_t>(index)); }

    int DevThreadSleepTime() const { return devThreadSleepTime_; }
    void SetDevThreadSleepTime(int ms);
    std::string Version() const { return "1.0.22"; }
    void SetVersion(const std::string&) {}

    void SetOnArrival(const TJvHidPlugEvent& h) { onArrival_ = h; }
    void SetOnEnumerate(const TJvHidEnumerateEvent& h) { onEnumerate_ = h; }
    void SetOnRemoval(const TJvHidPlugEvent& h) { onRemoval_ = h; }
    const TNotifyEvent& OnDeviceChange() const { return onDeviceChange_; }
    void SetOnDeviceChange(const TNotifyEvent& h);
    void SetOnDeviceData(const TJvHidDataEvent& h);
    void SetOnDeviceDataError(const TJvHidDataErrorEvent& h);
    void SetOnDeviceUnplug(const TJvHidPlugEvent& h);

    // The platform's device-change notices (null without them). The GUI watches its fd() (or
    // polls at its pollIntervalMs()) and calls HandleChangeNotices() when it fires.
    HidChangeSource* ChangeSource() const { return changeSource_.get(); }
    // Consumes the pending notices and runs RefreshDevices when one concerned a HID device.
    void HandleChangeNotices();

private:
    friend class TJvHidDevice;

    std::vector<TJvHidDevice*> ScanInterfaces();
    void HandBack(TJvHidDevice& device, const TJvHidDataEvent& onData,
                  const TJvHidPlugEvent& onUnplug, int readSleepMs,
                  std::unique_ptr<TJvHidPnPInfo>& info);
    // Destroys an object the controller owns, without a hand-back.
    static void Discard(TJvHidDevice* device);

    HidPlatform& platform_;
    GuiDispatcher& dispatcher_;
    bool servicesAvailable_ = false;
    bool counted_ = false;
    bool changeAnnounced_ = false;
    int devThreadSleepTime_ = 100;
    std::unique_ptr<HidChangeSource> changeSource_;
    std::vector<TJvHidDevice*> list_; // owns the unclaimed objects; claimers own the others
    TJvHidPlugEvent onArrival_;
    TJvHidEnumerateEvent onEnumerate_;
    TJvHidPlugEvent onRemoval_;
    TNotifyEvent onDeviceChange_;
    TJvHidDataEvent onDeviceData_;
    TJvHidDataErrorEvent onDeviceDataError_;
    TJvHidPlugEvent onDeviceUnplug_;
};

} // namespace dmm
