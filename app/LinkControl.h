// The link control: the top bar `Panel6` with the port panels `BtCOM1`..`BtCOM4`, "COM Connect",
// "USB Connect" and "Quit"; and, out of sight, the connect, disconnect and exit panels, the model
// variant switches, and the USB adapter's device list, history, diagnostics and buttons.
#pragma once

#include "Reading.h"

#include <array>

class QCheckBox;
class QFont;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QString;
class QWidget;

namespace dmm::app {

class ClickPanel;

class LinkControl {
public:
    explicit LinkControl(QWidget* client);
    LinkControl(const LinkControl&) = delete;
    LinkControl& operator=(const LinkControl&) = delete;

    QFrame* Panel6() const { return panel6_; }
    const std::array<ClickPanel*, 4>& BtCOM() const { return btCom_; }
    QPushButton* COMCon() const { return comCon_; }
    QPushButton* USBCon() const { return usbCon_; }
    QPushButton* BitBtn1() const { return bitBtn1_; }
    ClickPanel* BTCon() const { return btCon_; }
    ClickPanel* BtDiscon() const { return btDiscon_; }
    ClickPanel* BtExit() const { return btExit_; }
    QLineEdit* systeminfomation() const { return systeminfomation_; }
    QPlainTextEdit* Memo1() const { return memo1_; }
    QListWidget* DevListBox() const { return devListBox_; }
    QListWidget* HistoryListBox() const { return historyListBox_; }
    QPushButton* SetFeature() const { return setFeature_; }
    QPushButton* InfoBtn() const { return infoBtn_; }
    QPushButton* ReadBtn() const { return readBtn_; }
    QPushButton* ClearBtn() const { return clearBtn_; }

    // The states of the model variant switches.
    ModelVariant variant() const;
    // Only port `port`'s panel (1 to 4) shows; `tooltip` becomes its hint.
    void showPortPanelOf(int port);
    void setPortTooltip(int port, const QString& tooltip);
    void setPortPanelsEnabled(bool enabled);
    void hidePortPanels();
    // The connect, disconnect and exit panels keep their distance from the window's right edge.
    void placeBelowPanels(int outerWidth);
    void showAdapterTexts(const QString& usbTxt, const QString& usbTxt1);

private:
    void buildTopBar(QWidget* client);
    void buildHiddenControls(QWidget* client);
    void buildVariantSwitches(QWidget* client);

    QFrame* panel6_ = nullptr;
    std::array<ClickPanel*, 4> btCom_{};
    QPushButton* comCon_ = nullptr;
    QPushButton* usbCon_ = nullptr;
    QPushButton* bitBtn1_ = nullptr;
    ClickPanel* btCon_ = nullptr;
    ClickPanel* btDiscon_ = nullptr;
    ClickPanel* btExit_ = nullptr;
    std::array<QCheckBox*, 9> switches_{};
    QLineEdit* systeminfomation_ = nullptr;
    QLabel* usbTxt_ = nullptr;
    QLabel* usbTxt1_ = nullptr;
    QPlainTextEdit* memo1_ = nullptr;
    QPushButton* setFeature_ = nullptr;
    QListWidget* devListBox_ = nullptr;
    QListWidget* historyListBox_ = nullptr;
    QPushButton* infoBtn_ = nullptr;
    QPushButton* readBtn_ = nullptr;
    QPushButton* clearBtn_ = nullptr;
};

} // namespace dmm::app
