#include "UsbAdapter.h"

#include "FrameAssembly.h"
#include "HidapiPlatform.h"
#include "QtGuiDispatcher.h"

#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <cstdio>

namespace dmm {

namespace {

std::string hex2(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.2X ", v & 0xFFu);
    return buf;
}

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%.4X", v & 0xFFFFu);
    return buf;
}

std::string utf8(const std::wstring& w) {
    return QString::fromWCharArray(w.data(), static_cast<qsizetype>(w.size())).toStdString();
}

} // namespace

std::array<std::uint8_t, 10> usbLineSetupReport(const SerialLine& line) {
    const auto baud = static_cast<std::uint32_t>(line.baud);
    return {0x00,
            static_cast<std::uint8_t>(baud & 0xFF),
            static_cast<std::uint8_t>(baud >> 8 & 0xFF),
            static_cast<std::uint8_t>(baud >> 16 & 0xFF),
            static_cast<std::uint8_t>(baud >> 24 & 0xFF),
            static_cast<std::uint8_t>(line.dataBits - 5),
            0x00,
            0x00,
            0x00,
            0x00};
}

UsbAdapter::UsbAdapter(Meter& meter, UsbAdapterView& view, HidPlatform* platform,
                       GuiDispatcher* dispatcher, QObject* parent)
    : QObject(parent), meter_(meter), view_(view),
      ownPlatform_(platform ? nullptr : std::make_unique<HidapiPlatform>()),
      platform_(platform ? *platform : *ownPlatform_),
      ownDispatcher_(dispatcher ? nullptr : std::make_unique<QtGuiDispatcher>()),
      dispatcher_(dispatcher ? *dispatcher : *ownDispatcher_) {
    // USB Connect reads the shipped family; the Read button binds family Q13's report handler.
    q32Handler_ = reportHandler(meterFamily(shippedModel().family));
    q13Handler_ = reportHandler(meterFamily(Family::Q13));
}

TJvHidDataEvent UsbAdapter::reportHandler(const MeterFamily& family) {
    const auto handle = family.report;
    return [this, handle](TJvHidDevice&, std::uint8_t id, const std::uint8_t* data,
                          std::uint16_t size) {
        const auto before = meter_.diag.HistoryListBox.added();
        handle(meter_, id, data, size);
        if (closing_) return;
        if (meter_.diag.HistoryListBox.added() != before) view_.historyChanged();
        view_.reportHandled();
    };
}

UsbAdapter::~UsbAdapter() {
    // The window may be half gone: calls still served while threads stop must not reach it.
    closing_ = true;
    for (auto& entry : devList_)
        if (entry.device) entry.device->SetDataHandler(nullptr);
    delete notifier_;
    delete rescanTimer_;
    hidCtl_.reset(); // unplugs the claimed objects, so destroying them hands nothing back
    devList_.clear();
}

void UsbAdapter::start() {
    hidCtl_ = std::make_unique<TJvHidDeviceController>(platform_, dispatcher_);
    hidCtl_->SetOnArrival([this](TJvHidDevice& d) { HidCtlArrival(d); });
    hidCtl_->SetOnEnumerate([this](TJvHidDevice& d, int idx) { return HidCtlEnumerate(d, idx); });
    hidCtl_->SetOnDeviceChange([this](TJvHidDeviceController&) { HidCtlDeviceChange(); });
    hidCtl_->SetOnDeviceDataError(
        [this](TJvHidDevice& d, std::uint32_t e) { HidCtlDeviceDataError(d, e); });
    hidCtl_->SetOnRemoval([this](TJvHidDevice& d) { HidCtlRemoval(d); });
    watchChanges();
}

void UsbAdapter::watchChanges() {
    HidChangeSource* source = hidCtl_->ChangeSource();
    if (!source) return;
    if (source->fd() >= 0) {
        notifier_ = new QSocketNotifier(source->fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            if (hidCtl_) hidCtl_->HandleChangeNotices();
        });
    } else if (source->pollIntervalMs() > 0) {
        rescanTimer_ = new QTimer(this);
        connect(rescanTimer_, &QTimer::timeout, this, [this] {
            if (hidCtl_) hidCtl_->HandleChangeNotices();
        });
        rescanTimer_->start(source->pollIntervalMs());
    }
}

void UsbAdapter::setSelectedIndex(int index) {
    selected_ = index >= 0 && index < static_cast<int>(devList_.size()) ? index : -1;
    view_.deviceListChanged();
}

TJvHidDevice* UsbAdapter::deviceOfSelectedLine() const {
    if (devList_.empty() || selected_ < 0) return nullptr;
    return devList_[static_cast<std::size_t>(selected_)].device.get();
}

void UsbAdapter::addHistory(const std::string& line) {
    meter_.diag.HistoryListBox.add(line);
    if (!closing_) view_.historyChanged();
}

std::string UsbAdapter::DescribeDevice(TJvHidDevice& device) {
    std::string text;
    const std::wstring& product = device.ProductName();
    if (!product.empty())
        text = utf8(product);
    else
        text = "Device VID=" + hex4(device.VendorID()) + " PID=" + hex4(device.ProductID());
    const std::wstring& serial = device.SerialNumber();
    if (!serial.empty()) text += " (Serial=" + utf8(serial) + ")";
    return text;
}

std::string UsbAdapter::ReadErrorLine(std::uint32_t error) {
    char code[16];
    std::snprintf(code, sizeof code, "%X", static_cast<unsigned>(error));
    return "READ ERROR: " + hidErrorText(error) + " (" + code + ")";
}

void UsbAdapter::HidCtlDeviceChange() {
    view_.releaseReadBtn();
    ReadBtnClick(); // with the button up: stops the reading of the selected device
    for (auto& entry : devList_)
        entry.device.reset(); // first line first: each goes back to the controller
    devList_.clear();
    selected_ = -1;
    selectedDevice_ = nullptr;
    hidCtl_->OfferDevices();
    for (std::size_t i = 0; i < devList_.size(); ++i)
        if (devList_[i].text == "USB to Serial") selected_ = static_cast<int>(i);
    view_.deviceListChanged();
}

bool UsbAdapter::HidCtlEnumerate(TJvHidDevice& device, int idx) {
    DevListEntry entry;
    entry.text = DescribeDevice(device);
    entry.device = hidCtl_->ClaimAt(idx);
    devList_.push_back(std::move(entry));
    return true;
}

void UsbAdapter::HidCtlArrival(TJvHidDevice& device) {
    addHistory("Arrival of " + DescribeDevice(device));
}

void UsbAdapter::HidCtlRemoval(TJvHidDevice& device) {
    addHistory("Removal of " + DescribeDevice(device));
}

void UsbAdapter::HidCtlDeviceDataError(TJvHidDevice&, std::uint32_t error) {
    addHistory(ReadErrorLine(error));
}

// A line whose claim failed has no device object: it is treated like a device that cannot be
// read, rather than followed into nothing.
void UsbAdapter::ReadBtnClick() {
    selectedDevice_ = nullptr;
    if (devList_.empty() || selected_ < 0) return;
    selectedDevice_ = deviceOfSelectedLine();
    if (!selectedDevice_ || !selectedDevice_->ReadWriteGranted()) {
        view_.releaseReadBtn();
        return;
    }
    selectedDevice_->SetDataHandler(view_.readBtnPressed() ? q13Handler_ : TJvHidDataEvent());
}

void UsbAdapter::SetFeatureClick() {
    selectedDevice_ = nullptr;
    if (devList_.empty() || selected_ < 0) {
        view_.showInformation(kUsbNotConnectedText);
        view_.releaseUsbCon();
        return;
    }
    selectedDevice_ = deviceOfSelectedLine();
    lineSetupError_.clear();
    const auto report = usbLineSetupReport(meterFamily(shippedModel().family).line);
    if (!selectedDevice_)
        lineSetupError_ = "the selected line has no device";
    else if (!selectedDevice_->SendFeature(report.data(), report.size()))
        lineSetupError_ = "the adapter did not take the line setup (feature report)";
    // The nine bytes after the report ID and one more zero; written whatever the outcome.
    std::string line;
    for (std::size_t i = 1; i < report.size(); ++i) line += hex2(report[i]);
    line += hex2(0);
    addHistory(line);
}

void UsbAdapter::ClearBtnClick() {
    meter_.diag.HistoryListBox.clear();
    view_.historyChanged();
}

std::optional<std::string> UsbAdapter::InfoBtnClick() {
    if (devList_.empty() || selected_ < 0) return std::nullopt;
    const DevListEntry& entry = devList_[static_cast<std::size_t>(selected_)];
    std::string text = entry.text + "\n";
    TJvHidDevice* d = entry.device.get();
    if (!d) return text + "The device could not be claimed.";
    const HidInterfaceInfo& info = d->PnPInfo().Details();
    text += "Vendor ID " + hex4(d->VendorID()) + ", product ID " + hex4(d->ProductID()) +
            ", version " + hex4(d->VersionNumber()) + "\n";
    if (!info.manufacturer.empty()) text += "Manufacturer: " + utf8(info.manufacturer) + "\n";
    text += "Interface: " + d->PnPInfo().InterfacePath() + " (" + info.bus + ")\n";
    if (!d->Plugged()) return text + "The device is gone.";
    if (d->ReadWriteGranted()) {
        text += "Access: read and write\n";
    } else {
        text += "Access: queries only. To read the meter, give your user access to the device "
                "(install the udev rule udev/70-dmm-usb-to-serial.rules, see the README) and "
                "plug the cable in again.\n";
    }
    const HidCaps& caps = d->Caps();
    text += "Reports: input " + std::to_string(caps.InputReportByteLength) + ", output " +
            std::to_string(caps.OutputReportByteLength) + ", feature " +
            std::to_string(caps.FeatureReportByteLength) +
            " bytes (report ID included); usage page " + hex4(caps.UsagePage) + ", usage " +
            hex4(caps.Usage) + "\n";
    text += d->HasReadThread()
                ? "Reading: yes, read wait " + std::to_string(d->ReadSleepMs()) + " ms"
                : std::string("Reading: no");
    if (!lineSetupError_.empty()) text += "\nLine setup: " + lineSetupError_;
    return text;
}

UsbConnectOutcome UsbAdapter::USBConClick() {
    ReadBtnClick();
    SetFeatureClick();
    meter_.hid.IdleReports = 0;
    selectedDevice_ = nullptr;
    if (devList_.empty() || selected_ < 0) return UsbConnectOutcome::NoDevice;
    selectedDevice_ = deviceOfSelectedLine();
    if (!selectedDevice_ || !selectedDevice_->ReadWriteGranted()) {
        view_.releaseUsbCon();
        return UsbConnectOutcome::NotGranted;
    }
    if (view_.usbConPressed()) {
        selectedDevice_->SetDataHandler(q32Handler_);
        return UsbConnectOutcome::Connected;
    }
    selectedDevice_->SetDataHandler(nullptr);
    return UsbConnectOutcome::Disconnected;
}

bool UsbAdapter::WatchdogCheck() {
    if (meter_.hid.IdleReports < kUsbIdleReportLimit) return false;
    meter_.hid.IdleReports = 0;
    view_.releaseUsbCon();
    if (selectedDevice_) selectedDevice_->SetDataHandler(nullptr);
    view_.usbLinkDropped();
    view_.showInformation(kUsbMeterNotReadyText);
    return true;
}

} // namespace dmm
