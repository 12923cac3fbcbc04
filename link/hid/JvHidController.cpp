#include "JvHidControllerClass.h"

#include <algorithm>
#include <system_error>

namespace dmm {

namespace {
std::atomic<int> liveControllers{0};
}

std::string hidErrorText(std::uint32_t code) {
    return std::generic_category().message(static_cast<int>(code));
}

TJvHidDeviceController::TJvHidDeviceController(HidPlatform& platform, GuiDispatcher& dispatcher)
    : platform_(platform), dispatcher_(dispatcher) {
    servicesAvailable_ = platform_.available();
    if (liveControllers.fetch_add(1) != 0) {
        liveControllers.fetch_sub(1);
        throw EControllerError("Only one TJvHidDeviceController allowed per program");
    }
    counted_ = true;
    try {
        list_ = ScanInterfaces();
        if (servicesAvailable_) changeSource_ = platform_.changeSource();
    } catch (...) {
        for (TJvHidDevice* d : list_) Discard(d);
        liveControllers.fetch_sub(1);
        throw;
    }
}

TJvHidDeviceController::~TJvHidDeviceController() {
    if (counted_) liveControllers.fetch_sub(1);
    onDeviceChange_ = nullptr;
    onDeviceUnplug_ = nullptr;
    onEnumerate_ = nullptr;
    changeSource_.reset();
    std::vector<TJvHidDevice*> list;
    list.swap(list_);
    for (TJvHidDevice* d : list) {
        d->controller_ = nullptr;
        if (d->Claimed())
            d->Unplug(); // its claimer destroys it later
        else
            delete d;
    }
}

int TJvHidDeviceController::LiveControllers() {
    return liveControllers.load();
}

void TJvHidDeviceController::Discard(TJvHidDevice* device) {
    device->controller_ = nullptr;
    delete device;
}

std::vector<TJvHidDevice*> TJvHidDeviceController::ScanInterfaces() {
    std::vector<TJvHidDevice*> out;
    if (!servicesAvailable_) return out;
    for (HidInterfaceInfo& info : platform_.enumerate()) {
        try {
            auto device =
                std::make_unique<TJvHidDevice>(std::make_unique<TJvHidPnPInfo>(info), *this);
            out.push_back(nullptr);
            out.back() = device.release();
        } catch (const EControllerError&) {
            // Interfaces that cannot be opened or identified are left out without a message.
        } catch (...) {
            for (TJvHidDevice* d : out) Discard(d);
            throw;
        }
    }
    return out;
}

int TJvHidDeviceController::OfferDevices() {
    const std::size_t length = list_.size();
    int count = 0;
    for (std::size_t i = 0; i < length && i < list_.size(); ++i) {
        TJvHidDevice* device = list_[i];
        if (!device->Plugged()) continue;
        ++count;
        device->offered_.store(true);
        const TJvHidEnumerateEvent handler = onEnumerate_;
        const bool goOn = handler ? handler(*device, static_cast<int>(i)) : false;
        device->offered_.store(false);
        if (!device->Claimed()) device->CloseControl();
        if (!goOn) break;
    }
    return count;
}

std::unique_ptr<TJvHidDevice> TJvHidDeviceController::ClaimAt(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    TJvHidDevice* device = list_[static_cast<std::size_t>(index)];
    if (device->Claimed()) return nullptr;
    device->claimed_.store(true);
    device->StartThreadIfReady();
    return std::unique_ptr<TJvHidDevice>(device);
}

void TJvHidDeviceController::HandBack(TJvHidDevice& device, const TJvHidDataEvent& onData,
                                      const TJvHidPlugEvent& onUnplug, int readSleepMs,
                                      std::unique_ptr<TJvHidPnPInfo>& info) {
    const auto it = std::find(list_.begin(), list_.end(), &device);
    if (it == list_.end()) return;
    const auto position = it - list_.begin();
    if (device.Plugged()) {
        // The replacement takes the description over. When it cannot be created (the device
        // can no longer be opened) the position goes as if the device were gone; the next scan
        // that finds the device reports it as an arrival.
        try {
            auto fresh = std::make_unique<TJvHidDevice>(std::move(info), *this);
            fresh->onUnplug_ = onUnplug;
            fresh->SetDataHandler(onData);
            fresh->SetReadSleepMs(readSleepMs);
            list_[static_cast<std::size_t>(position)] = fresh.release();
            return;
        } catch (const EControllerError&) {
        }
    }
    list_.erase(list_.begin() + position);
}

void TJvHidDeviceController::RefreshDevices() {
    std::vector<TJvHidDevice*> fresh = ScanInterfaces();
    const auto inFresh = [&fresh](std::uint32_t key) {
        return std::any_of(fresh.begin(), fresh.end(), [key](TJvHidDevice* d) {
            return d && d->PnPInfo().InstanceKey() == key;
        });
    };
    bool changed = false;

    // Removal pass, last position first. Listed devices that are already gone (claimed objects
    // whose device went earlier) are left for their claimers to hand back.
    for (std::size_t i = list_.size(); i > 0; --i) {
        if (i > list_.size()) continue;
        TJvHidDevice* device = list_[i - 1];
        if (!device->Plugged() || inFresh(device->PnPInfo().InstanceKey())) continue;
        device->Unplug();
        device->offered_.store(true);
        const TJvHidPlugEvent handler = onRemoval_;
        if (handler) handler(*device);
        device->offered_.store(false);
        if (!device->Claimed()) {
            list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(i - 1));
            Discard(device);
        }
        changed = true;
    }

    // Duplicate pass: devices that are listed already.
    for (TJvHidDevice*& candidate : fresh) {
        const std::uint32_t key = candidate->PnPInfo().InstanceKey();
        const bool listed = std::any_of(list_.begin(), list_.end(), [key](TJvHidDevice* d) {
            return d->Plugged() && d->PnPInfo().InstanceKey() == key;
        });
        if (listed) {
            Discard(candidate);
            candidate = nullptr;
        }
    }

    // Arrival pass.
    for (TJvHidDevice*& candidate : fresh) {
        if (!candidate) continue;
        TJvHidDevice* device = candidate;
        candidate = nullptr;
        list_.push_back(device);
        device->offered_.store(true);
        const TJvHidPlugEvent handler = onArrival_;
        if (handler) handler(*device);
        device->offered_.store(false);
        changed = true;
    }
    fresh.clear();

    if (changed || !changeAnnounced_) {
        const TNotifyEvent handler = onDeviceChange_;
        if (handler) handler(*this);
    }
}

void TJvHidDeviceController::HandleChangeNotices() {
    if (changeSource_ && changeSource_->drain()) RefreshDevices();
}

void TJvHidDeviceController::SetOnDeviceChange(const TNotifyEvent& h) {
    if (h == onDeviceChange_) return;
    onDeviceChange_ = h;
    RefreshDevices();
    changeAnnounced_ = true;
}

void TJvHidDeviceController::SetOnDeviceData(const TJvHidDataEvent& h) {
    if (h == onDeviceData_) return;
    for (std::size_t i = 0; i < list_.size(); ++i)
        if (list_[i]->OnData() == onDeviceData_) list_[i]->SetDataHandler(h);
    onDeviceData_ = h;
}

void TJvHidDeviceController::SetOnDeviceDataError(const TJvHidDataErrorEvent& h) {
    if (h == onDeviceDataError_) return;
    for (TJvHidDevice* d : list_)
        if (d->OnDataError() == onDeviceDataError_) d->SetOnDataError(h);
    onDeviceDataError_ = h;
}

void TJvHidDeviceController::SetOnDeviceUnplug(const TJvHidPlugEvent& h) {
    if (h == onDeviceUnplug_) return;
    for (TJvHidDevice* d : list_)
        if (d->OnUnplug() == onDeviceUnplug_) d->SetOnUnplug(h);
    onDeviceUnplug_ = h;
}

void TJvHidDeviceController::SetDevThreadSleepTime(int ms) {
    if (ms == devThreadSleepTime_) return;
    for (TJvHidDevice* d : list_)
        if (d->ReadSleepMs() == devThreadSleepTime_) d->SetReadSleepMs(ms);
    devThreadSleepTime_ = ms;
}

} // namespace dmm
