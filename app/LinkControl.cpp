#include "LinkControl.h"

#include "ClickPanel.h"
#include "ComPortMap.h"
#include "Controls.h"
#include "Fonts.h"
#include "Meter.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace dmm::app {

namespace {

// The model variant switches: never shown, only their stored states matter.
struct Switch {
    const char* name;
    const char* caption;
    bool ModelVariant::*state;
};
constexpr Switch kSwitches[] = {
    {"IFQV31", "QV-31", &ModelVariant::IFQV31},
    {"IFQV14", "QV-14", &ModelVariant::IFQV14},
    {"IFQV16", "QV-16", &ModelVariant::IFQV16},
    {"IFQV22", "QV-22/24", &ModelVariant::IFQV22},
    {"IFQV15T", "QV-15", &ModelVariant::IFQV15T},
    {"IFQV40T", "QV-40", &ModelVariant::IFQV40T},
    {"IFQV52T", "QV-52", &ModelVariant::IFQV52T},
    {"IFQV63", "QV-63", &ModelVariant::IFQV63},
    {"IFOtherT", "IFOtherT", &ModelVariant::IFOtherT},
};
static_assert(std::size(kSwitches) == 9);

ClickPanel* panelButton(QWidget* client, const char* name, const char* caption, int px, int w) {
    auto* p = named(new ClickPanel(QLatin1String(caption), client), name);
    p->setGeometry(0, 538, w, 26);
    p->setFont(uiFont(QLatin1String(kArial), px, true, true));
    setBackground(p, QColor(0x00, 0x80, 0xFF));
    QPalette pal = p->palette();
    pal.setColor(QPalette::WindowText, Qt::yellow);
    p->setPalette(pal);
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return p;
}

QPushButton* button(QWidget* client, const char* name, QRect place) {
    auto* b = named(new QPushButton(QLatin1String(name), client), name);
    b->setGeometry(place);
    return b;
}

} // namespace

LinkControl::LinkControl(QWidget* client) {
    buildHiddenControls(client);
    buildTopBar(client);
}

void LinkControl::buildTopBar(QWidget* client) {
    panel6_ = named(new QFrame(client), "Panel6");
    panel6_->setGeometry(0, 0, kClientWidth, 30);
    panel6_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    static constexpr int tops[4] = {3, 5, 4, 4};
    for (int i = 0; i < 4; ++i) {
        auto* p = new ClickPanel(QStringLiteral("COM %1").arg(i + 1), panel6_);
        p->setObjectName(QStringLiteral("BtCOM%1").arg(i + 1));
        p->setGeometry(3, tops[i], 61, 24);
        p->setFont(uiFont(QLatin1String(kArial), 16, true));
        setBackground(p, kSilver);
        QPalette pal = p->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        p->setPalette(pal);
        p->setToolTip(dmm::link::comPortDescription(i + 1));
        p->setVisible(i == 0);
        btCom_[static_cast<std::size_t>(i)] = p;
    }
    const QFont arial13 = uiFont(QLatin1String(kArial), 13);
    comCon_ = named(new QPushButton(QStringLiteral("COM Connect"), panel6_), "COMCon");
    comCon_->setGeometry(65, 2, 147, 25);
    comCon_->setCheckable(true);
    comCon_->setFont(arial13);
    usbCon_ = named(new QPushButton(QStringLiteral("USB Connect"), panel6_), "USBCon");
    usbCon_->setGeometry(218, 2, 117, 25);
    usbCon_->setCheckable(true);
    usbCon_->setToolTip(QStringLiteral("USB Connect"));
    usbCon_->setFont(arial13);
    bitBtn1_ = named(new QPushButton(QStringLiteral("Quit"), panel6_), "BitBtn1");
    bitBtn1_->setGeometry(641, 1, 74, 25);
    bitBtn1_->setFont(arial13);
}

void LinkControl::buildHiddenControls(QWidget* client) {
    // The connect, disconnect and exit panels, below the client area (placeBelowPanels places
    // them).
    btCon_ = panelButton(client, "BTCon", "Connect", 19, 105);
    btDiscon_ = panelButton(client, "BtDiscon", "Disconnect", 16, 105);
    btDiscon_->hide();
    btExit_ = panelButton(client, "BtExit", "Exit", 19, 65);
    buildVariantSwitches(client);
    systeminfomation_ = makeEdit(client, "systeminfomation", QString(), {947, 240, 22, 21});

    const QFont arial10i = uiFont(QLatin1String(kArial), 10, false, true);
    usbTxt_ = makeLabel(client, "USBtxt", QStringLiteral("6001"), 336, 499, arial10i);
    usbTxt_->hide();
    usbTxt1_ = makeLabel(client, "USBtxt1", QStringLiteral("6001"), 336, 515, arial10i);
    usbTxt1_->hide();
    memo1_ = named(new QPlainTextEdit(QStringLiteral("Memo1"), client), "Memo1");
    memo1_->setGeometry(368, 503, 65, 26);
    memo1_->setMaximumBlockCount(static_cast<int>(kDiagnosticLines));
    memo1_->hide();

    // The USB adapter's controls: out of sight (beyond or below the client area, or under the
    // chart), still working through their handlers.
    setFeature_ = button(client, "SetFeature", {443, 508, 81, 21});
    devListBox_ = named(new QListWidget(client), "DevListBox");
    devListBox_->setGeometry(742, 327, 10, 25);
    historyListBox_ = named(new QListWidget(client), "HistoryListBox");
    historyListBox_->setGeometry(936, 357, 0, 0);
    infoBtn_ = named(new QPushButton(QStringLiteral("Info"), client), "InfoBtn");
    infoBtn_->setGeometry(838, 214, 57, 22);
    readBtn_ = named(new QPushButton(QStringLiteral("Read"), client), "ReadBtn");
    readBtn_->setGeometry(622, 308, 81, 22);
    readBtn_->setCheckable(true);
    clearBtn_ = named(new QPushButton(QStringLiteral("Clear"), client), "ClearBtn");
    clearBtn_->setGeometry(533, 234, 81, 21);
}

void LinkControl::buildVariantSwitches(QWidget* client) {
    const ModelVariant stored; // the stored states
    int x = 8;
    for (std::size_t i = 0; i < std::size(kSwitches); ++i) {
        const Switch& s = kSwitches[i];
        switches_[i] = makeCheckBox(client, s.name, QLatin1String(s.caption), {x, 580, 72, 17},
                                    stored.*s.state);
        switches_[i]->hide();
        x += 76;
    }
}

ModelVariant LinkControl::variant() const {
    ModelVariant v;
    for (std::size_t i = 0; i < std::size(kSwitches); ++i)
        v.*kSwitches[i].state = switches_[i]->isChecked();
    return v;
}

void LinkControl::showPortPanelOf(int port) {
    for (int i = 0; i < 4; ++i) btCom_[static_cast<std::size_t>(i)]->setVisible(i == port - 1);
}

void LinkControl::setPortTooltip(int port, const QString& tooltip) {
    btCom_[static_cast<std::size_t>(port - 1)]->setToolTip(tooltip);
}

void LinkControl::setPortPanelsEnabled(bool enabled) {
    for (ClickPanel* p : btCom_) p->setEnabled(enabled);
}

void LinkControl::hidePortPanels() {
    for (ClickPanel* p : btCom_) p->hide();
}

void LinkControl::placeBelowPanels(int outerWidth) {
    btExit_->move(outerWidth - 80, btExit_->y());
    btCon_->move(outerWidth - 190, btCon_->y());
    btDiscon_->move(outerWidth - 190, btDiscon_->y());
}

void LinkControl::showAdapterTexts(const QString& usbTxt, const QString& usbTxt1) {
    if (usbTxt_->text() != usbTxt) usbTxt_->setText(usbTxt);
    if (usbTxt1_->text() != usbTxt1) usbTxt1_->setText(usbTxt1);
}

} // namespace dmm::app
