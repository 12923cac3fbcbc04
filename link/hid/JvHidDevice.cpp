#include "JvHidControllerClass.h"

#include <algorithm>
#include <cerrno>

namespace dmm {

namespace {

// The string buffers of the platform's string queries: 254 wide characters.
constexpr std::size_t kStringChars = 254;
// A device whose capabilities cannot be read still gets reports up to this length read; hidraw
// cuts longer ones.
constexpr std::size_t kFallbackReportLength = 4097;

std::wstring textUpToNul(const wchar_t* buffer, std::size_t chars) {
    const wchar_t* end = std::find(buffer, buffer + chars, L'\0');
    return std::wstring(buffer, end);
}

} // namespace

// ---- TJvHidDevice ----------------------------------------------------------------------------

TJvHidDevice::TJvHidDevice(std::unique_ptr<TJvHidPnPInfo> info, TJvHidDeviceController& controller)
    : controller_(&controller), platform_(controller.platform_),
      dispatcher_(controller.dispatcher_), info_(std::move(info)) {
    onUnplug_ = controller.onDeviceUnplug_;
    SetDataHandler(controller.onDeviceData_); // starts nothing: the object is not claimed yet

    int error = 0;
    control_ = platform_.open(info_->InterfacePath(), HidOpenMode::ReadWrite, &error);
    readWriteGranted_ = control_ != nullptr;
    if (!control_)
        control_ = platform_.open(info_->InterfacePath(), HidOpenMode::QueryOnly, &error);
    if (!control_) throw EControllerError("device cannot be opened");
    if (!control_->getAttributes(attributes_))
        throw EControllerError("device cannot be identified");
    CloseControl();
}

TJvHidDevice::~TJvHidDevice() {
    const TJvHidDataEvent onData = onData_;
    const TJvHidPlugEvent onUnplug = onUnplug_;
    SetDataHandler(nullptr);
    onUnplug_ = nullptr;
    CloseControl();
    if (controller_) controller_->HandBack(*this, onData, onUnplug, readSleepMs_.load(), info_);
}

bool TJvHidDevice::OpenControl() {
    if (IsAccessible() && !control_) {
        int error = 0;
        control_ = platform_.open(info_->InterfacePath(), HidOpenMode::ReadWrite, &error);
        readWriteGranted_ = control_ != nullptr;
        if (!control_)
            control_ = platform_.open(info_->InterfacePath(), HidOpenMode::QueryOnly, &error);
    }
    return control_ != nullptr;
}

const std::wstring& TJvHidDevice::ProductName() {
    if (productText_.empty() && OpenControl()) {
        wchar_t buffer[kStringChars] = {};
        if (control_->getProductString(buffer, kStringChars))
            productText_ = textUpToNul(buffer, kStringChars);
        CloseControl();
    }
    return productText_;
}

// Some devices answer the serial-number request with their language list; such a "serial
// number" counts as none. hidapi's hidraw backend cannot read string descriptor 0, and without
// the language list there is nothing to compare with: then the serial number is kept as read
// (a device's real serial number must survive on Linux). When the list can be read, the rule
// compares as on the other platforms, so an empty list still gives no serial number.
const std::wstring& TJvHidDevice::SerialNumber() {
    if (serialText_.empty() && OpenControl()) {
        wchar_t serial[kStringChars] = {};
        if (control_->getSerialNumberString(serial, kStringChars)) {
            wchar_t languages[kStringChars];
            std::fill(std::begin(languages), std::end(languages), static_cast<wchar_t>(0xFFFF));
            const bool listRead = control_->getIndexedString(0, languages, kStringChars);
            std::size_t length = 0;
            for (std::size_t i = kStringChars; i > 0; --i) {
                if (languages[i - 1] != static_cast<wchar_t>(0xFFFF)) {
                    length = languages[i - 1] == 0 ? i - 1 : i;
                    break;
                }
            }
            const bool nothingArrived =
                std::all_of(std::begin(languages), std::end(languages),
                            [](wchar_t c) { return c == static_cast<wchar_t>(0xFFFF); });
            if (!listRead && nothingArrived) {
                serialText_ = textUpToNul(serial, kStringChars);
            } else if (length > 0 && !std::equal(serial, serial + length, languages)) {
                serialText_ = textUpToNul(serial, kStringChars);
            }
        }
        CloseControl();
    }
    return serialText_;
}

const HidCaps& TJvHidDevice::Caps() {
    if (!capsFetched_ && OpenControl()) {
        HidCaps caps;
        if (control_->getCaps(caps)) {
            caps_ = caps;
            capsFetched_ = true;
        }
        CloseControl();
    }
    return caps_;
}

bool TJvHidDevice::SendFeature(const std::uint8_t* buffer, std::size_t length) {
    if (!OpenControl()) return false;
    return control_->sendFeatureReport(buffer, length);
}

void TJvHidDevice::SetReadSleepMs(int ms) {
    if (ms >= 10 && ms <= 10000) readSleepMs_.store(ms);
}

void TJvHidDevice::SetDataHandler(const TJvHidDataEvent& handler) {
    if (!handler) StopThread();
    onData_ = handler;
    StartThreadIfReady();
}

void TJvHidDevice::StartThreadIfReady() {
    if (onData_ && Plugged() && Claimed() && readWriteGranted_ && !readThread_) {
        readThread_ = std::make_unique<TJvHidDeviceReadThread>(*this);
        readThread_->Start();
    }
}

void TJvHidDevice::StopThread() {
    if (readThread_) {
        readThread_->Stop();
        readThread_.reset();
    }
}

// The read handle belongs to the read thread; it closes it itself within one slice of seeing
// the device gone, and a report that completes meanwhile is not handed to the handler.
void TJvHidDevice::Unplug() {
    CloseControl();
    plugged_.store(false);
    if (onUnplug_) {
        const TJvHidPlugEvent handler = onUnplug_;
        onUnplug_ = nullptr;
        handler(*this);
    }
}

// ---- TJvHidDeviceReadThread ------------------------------------------------------------------

TJvHidDeviceReadThread::TJvHidDeviceReadThread(TJvHidDevice& device)
    : device_(device), dispatcher_(device.dispatcher_) {
    const std::size_t length = device.Caps().InputReportByteLength;
    buffer_.assign(length > 0 ? length : kFallbackReportLength, 0);
}

TJvHidDeviceReadThread::~TJvHidDeviceReadThread() {
    if (thread_.joinable()) Stop();
}

void TJvHidDeviceReadThread::Start() {
    thread_ = std::thread([this] { Execute(); });
}

void TJvHidDeviceReadThread::Stop() {
    {
        std::lock_guard lock(dispatcher_.mutex());
        stopRequested_ = true;
    }
    dispatcher_.condition().notify_all();
    // The thread may be blocked in a hand-over: keep serving until it has ended.
    std::unique_lock lock(dispatcher_.mutex());
    while (!finished_) {
        if (dispatcher_.hasCallsLocked()) {
            lock.unlock();
            dispatcher_.serve();
            lock.lock();
        } else {
            dispatcher_.condition().wait(lock);
        }
    }
    lock.unlock();
    if (thread_.joinable()) thread_.join();
}

bool TJvHidDeviceReadThread::StopRequested() {
    std::lock_guard lock(dispatcher_.mutex());
    return stopRequested_;
}

// A read that cannot be started would otherwise be retried at once, filling the GUI thread with
// error calls and spinning a core for as long as the device stays unreachable.
void TJvHidDeviceReadThread::PauseOneSlice() {
    std::unique_lock lock(dispatcher_.mutex());
    dispatcher_.condition().wait_for(lock, std::chrono::milliseconds(device_.ReadSleepMs()),
                                     [this] { return stopRequested_; });
}

void TJvHidDeviceReadThread::Execute() {
    const std::string& path = device_.info_->InterfacePath();
    while (!StopRequested()) {
        std::fill(buffer_.begin(), buffer_.end(), std::uint8_t{0});
        bytesRead_ = 0;

        if (!device_.IsAccessible()) {
            readHandle_.reset();
            lastError_ = ENODEV;
        } else if (!readHandle_) {
            int error = 0;
            readHandle_ = device_.platform_.open(path, HidOpenMode::ReadOnly, &error);
            if (!readHandle_) lastError_ = static_cast<std::uint32_t>(error != 0 ? error : EIO);
        }
        if (!readHandle_) {
            HandOverError();
            PauseOneSlice();
            continue;
        }

        // One read, waited for in slices so that a stop request is seen within one slice.
        bool failed = false;
        for (;;) {
            const HidReadResult r =
                readHandle_->read(buffer_.data(), buffer_.size(), device_.ReadSleepMs());
            if (r.status == HidReadResult::Data) {
                bytesRead_ = std::min(r.size, buffer_.size());
                break;
            }
            if (r.status == HidReadResult::Error) {
                // A vanished device fails every read at once: close, pause, open again.
                readHandle_.reset();
                failed = true;
                break;
            }
            if (StopRequested()) {
                readHandle_.reset();
                goto finished;
            }
            if (!device_.Plugged()) { // Unplug closes the handle: the read ends without data
                readHandle_.reset();
                break;
            }
        }
        if (bytesRead_ >= 1) HandOverData();
        if (failed) PauseOneSlice();
    }
finished:
    readHandle_.reset();
    {
        std::lock_guard lock(dispatcher_.mutex());
        finished_ = true;
    }
    dispatcher_.condition().notify_all();
}

void TJvHidDeviceReadThread::HandOverData() {
    call_.run = &TJvHidDeviceReadThread::RunData;
    call_.context = this;
    dispatcher_.handOver(call_);
}

void TJvHidDeviceReadThread::HandOverError() {
    call_.run = &TJvHidDeviceReadThread::RunError;
    call_.context = this;
    dispatcher_.handOver(call_);
}

// On the GUI thread, while the read thread waits.
void TJvHidDeviceReadThread::RunData(void* context) {
    auto* self = static_cast<TJvHidDeviceReadThread*>(context);
    TJvHidDevice& device = self->device_;
    if (!device.Plugged() || !device.onData_) return;
    const TJvHidDataEvent handler = device.onData_;
    handler(device, self->buffer_[0], self->buffer_.data() + 1,
            static_cast<std::uint16_t>(self->bytesRead_ - 1));
}

void TJvHidDeviceReadThread::RunError(void* context) {
    auto* self = static_cast<TJvHidDeviceReadThread*>(context);
    TJvHidDevice& device = self->device_;
    if (!device.onDataError_) return;
    const TJvHidDataErrorEvent handler = device.onDataError_;
    handler(device, self->lastError_);
}

} // namespace dmm
