// The window's side of the USB adapter cable, in one place. The adapter logic (the device list
// with the adapter picked, the history list, the line-setup report, binding the report
// handlers, the watchdog's drop) is UsbAdapter's; here its outcomes become the window's captions,
// panels, lists and message boxes.
#include "AlarmsDialog.h"
#include "ChartRows.h"
#include "GridModel.h"
#include "QV31F.h"
#include "StatisticsWindow.h"
#include "UsbView.h"
#include "WindowAlarms.h"

#include "ChartPanel.h"
#include "ClickPanel.h"
#include "ComDrv32.h"
#include "ImageButton.h"
#include "KeyFilter.h"
#include "LcdMirror.h"
#include "LimitPanel.h"
#include "LinkControl.h"
#include "RecordingRow.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace dmm::app {

TFCOMM::~TFCOMM() {
    usb_.reset(); // stops any read thread while the window it reports to still exists
    meter.setHooks(nullptr);
    if (comm2_) comm2_->OnReceiveData = nullptr;
}

void TFCOMM::startUsb(HidPlatform* hid) {
    usbView_ = std::make_unique<UsbView>(*this);
    usb_ = std::make_unique<UsbAdapter>(meter, *usbView_, hid);
    try {
        usb_->start(); // lists the devices present and picks the adapter
    } catch (const EControllerError&) {
        usb_.reset(); // another controller is alive: this window goes without USB
    }
    connect(link_->DevListBox(), &QListWidget::currentRowChanged, this, [this](int row) {
        if (usb_ && !fillingDevList_) usb_->setSelectedIndex(row);
    });
    showDeviceList();
}

void TFCOMM::showDeviceList() {
    fillingDevList_ = true;
    link_->DevListBox()->clear();
    if (usb_) {
        for (const DevListEntry& e : usb_->DevListBox())
            link_->DevListBox()->addItem(QString::fromStdString(e.text));
        link_->DevListBox()->setCurrentRow(usb_->selectedIndex());
    }
    fillingDevList_ = false;
}

void TFCOMM::showHistory() {
    const BoundedLines& lines = meter.diag.HistoryListBox;
    if (lines.empty()) {
        link_->HistoryListBox()->clear();
        historySeen_ = lines.added();
        return;
    }
    const std::uint64_t fresh = lines.added() - historySeen_;
    if (fresh == 0) return;
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::uint64_t>(fresh, static_cast<std::uint64_t>(lines.size())));
    for (std::size_t i = lines.size() - n; i < lines.size(); ++i)
        link_->HistoryListBox()->addItem(QString::fromStdString(lines.at(i)));
    while (link_->HistoryListBox()->count() > static_cast<int>(lines.capacity()))
        delete link_->HistoryListBox()->takeItem(0);
    link_->HistoryListBox()->setCurrentRow(link_->HistoryListBox()->count() - 1);
    historySeen_ = lines.added();
}

void TFCOMM::releaseUsbCon() {
    link_->USBCon()->setChecked(false);
}

void TFCOMM::showUsbDisconnected() {
    link_->USBCon()->setText(QStringLiteral("USB Connection"));
    link_->showPortPanelOf(SelectedPort);
    link_->COMCon()->show();
}

void TFCOMM::USBConClick() {
    if (!usb_) {
        // No HID device controller: as with an empty device list.
        meter.hid.IdleReports = 0;
        dialogs_->inform(this, QStringLiteral("Information"),
                         QString::fromLatin1(kUsbNotConnectedText));
        releaseUsbCon();
        return;
    }
    switch (usb_->USBConClick()) {
    case UsbConnectOutcome::NoDevice:
    case UsbConnectOutcome::NotGranted:
        break;
    case UsbConnectOutcome::Connected:
        pipeline_->armTrigger();
        link_->USBCon()->setText(QStringLiteral("USB Disconnect"));
        link_->hidePortPanels();
        link_->COMCon()->hide();
        break;
    case UsbConnectOutcome::Disconnected:
        showUsbDisconnected();
        break;
    }
}

void TFCOMM::ReadBtnClick() {
    if (usb_) usb_->ReadBtnClick();
}

void TFCOMM::SetFeatureClick() {
    if (usb_) {
        usb_->SetFeatureClick();
    } else {
        dialogs_->inform(this, QStringLiteral("Information"),
                         QString::fromLatin1(kUsbNotConnectedText));
        releaseUsbCon();
    }
}

void TFCOMM::ClearBtnClick() {
    if (usb_)
        usb_->ClearBtnClick();
    else
        meter.diag.HistoryListBox.clear();
    showHistory();
}

void TFCOMM::InfoBtnClick() {
    if (!usb_) return;
    if (const std::optional<std::string> info = usb_->InfoBtnClick())
        dialogs_->inform(this, QStringLiteral("Info"), QString::fromStdString(*info));
}

} // namespace dmm::app
