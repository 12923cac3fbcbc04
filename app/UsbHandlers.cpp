// The window's side of the USB adapter cable, in one place: USB Connect and its two adapter
// operations, the Read button (family Q13 reports), the history list and the Info button. The
// device list `DevListBox` is filled by the HID device controller, each entry carrying its
// UsbDeviceLink; while it is empty, USB Connect answers that the cable is not connected.
#include "QV31F.h"

#include "Widgets.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace dmm::app {

UsbDeviceLink* TFCOMM::deviceOf(int row) const {
    const QListWidgetItem* item = DevListBox->item(row);
    if (!item) return nullptr;
    return reinterpret_cast<UsbDeviceLink*>(item->data(Qt::UserRole).value<quintptr>());
}

void TFCOMM::releaseUsbCon() {
    USBCon->setChecked(false);
}

void TFCOMM::USBConClick() {
    ReadBtnClick();    // with its button up: the selected device's data handler is removed
    SetFeatureClick(); // the adapter's line set-up; no device: the message, USBCon released
    meter.hid.IdleReports = 0;
    SelectedDevice = nullptr;
    if (DevListBox->count() == 0 || DevListBox->currentRow() < 0) return;
    SelectedDevice = deviceOf(DevListBox->currentRow());
    if (!SelectedDevice || !SelectedDevice->ReadWriteGranted()) {
        releaseUsbCon(); // no message
        return;
    }
    if (USBCon->isChecked()) {
        SelectedDevice->SetDataHandler(UsbReportHandler::Q32);
        USBCon->setText(QStringLiteral("USB Disconnect"));
        hidePortPanels();
        COMCon->hide();
    } else {
        SelectedDevice->SetDataHandler(UsbReportHandler::None);
        USBCon->setText(QStringLiteral("USB Connection"));
        showPortPanelOf(SelectedPort);
        COMCon->show();
    }
}

void TFCOMM::ReadBtnClick() {
    SelectedDevice = nullptr;
    if (DevListBox->count() == 0 || DevListBox->currentRow() < 0) return;
    SelectedDevice = deviceOf(DevListBox->currentRow());
    if (!SelectedDevice || !SelectedDevice->ReadWriteGranted()) {
        ReadBtn->setChecked(false);
        return;
    }
    SelectedDevice->SetDataHandler(ReadBtn->isChecked() ? UsbReportHandler::Q13
                                                        : UsbReportHandler::None);
}

void TFCOMM::SetFeatureClick() {
    SelectedDevice = nullptr;
    if (DevListBox->count() == 0 || DevListBox->currentRow() < 0) {
        dialogs_->inform(this, QStringLiteral("Information"), QLatin1String(kUsbNotConnected));
        releaseUsbCon();
        return;
    }
    SelectedDevice = deviceOf(DevListBox->currentRow());
    if (SelectedDevice)
        SelectedDevice->SendFeature(kLineSetupReport, sizeof kLineSetupReport); // outcome ignored
    // The nine bytes after the report ID and one more 00, each as "%.2X ".
    QString line;
    for (std::size_t i = 1; i < sizeof kLineSetupReport; ++i)
        line += QStringLiteral("%1 ").arg(kLineSetupReport[i], 2, 16, QLatin1Char('0')).toUpper();
    line += QStringLiteral("00 ");
    meter.diag.HistoryListBox.add(line.toStdString());
    redrawLcd();
}

void TFCOMM::ClearBtnClick() {
    meter.diag.HistoryListBox.clear();
    HistoryListBox->clear();
    historySeen_ = meter.diag.HistoryListBox.added();
}

void TFCOMM::InfoBtnClick() {
    const QListWidgetItem* item = DevListBox->currentItem();
    if (!item) return;
    dialogs_->inform(this, QStringLiteral("Info"), item->text());
}

} // namespace dmm::app
