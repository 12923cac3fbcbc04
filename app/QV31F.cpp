// The window's construction: the regions of the client area (each builds its own controls), the
// menus, the timers, the keyboard focus order and the bindings of the handlers. The handlers
// themselves are in QV31FLink.cpp (start-up and connection), QV31FChart.cpp,
// QV31FRecording.cpp and QV31FUsb.cpp.
#include "QV31F.h"
#include "UsbView.h"

#include "AlarmsDialog.h"
#include "ChartArea.h"
#include "ChartPanel.h"
#include "ChartRows.h"
#include "ClickPanel.h"
#include "ComDrv32.h"
#include "Fonts.h"
#include "GridModel.h"
#include "ImageButton.h"
#include "KeyFilter.h"
#include "LcdMirror.h"
#include "LcdPanel.h"
#include "LimitPanel.h"
#include "LinkControl.h"
#include "Pictures.h"
#include "RecordingRow.h"
#include "StatisticsWindow.h"
#include "WidgetDialogs.h"
#include "WindowAlarms.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <initializer_list>

namespace dmm::app {

TFCOMM::TFCOMM(Dialogs* dialogs, HidPlatform* hid, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
    if (!dialogs_) {
        ownDialogs_ = std::make_unique<WidgetDialogs>();
        dialogs_ = ownDialogs_.get();
    }
    setObjectName(QStringLiteral("FCOMM"));
    // Fixed single border with the system menu and the minimize box: no maximize, no sizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(programIcon());
    setFont(uiFont(QLatin1String(kMsSansSerif), 11, true));

    client_ = named(new QWidget(this), "ClientArea");
    client_->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client_);

    comm2_ = new TCommPortDriver(this);
    comm2_->setObjectName(QStringLiteral("COMM2"));
    comm2_->SetComPort(TCommPortDriver::pnCOM1);
    comm2_->SetLine(defaultMeterFamily().line);

    // The regions in the order they lie on each other: the chart over the controls it covers
    // when enlarged, and its tool bar over the chart.
    link_ = std::make_unique<LinkControl>(client_);
    lcd_ = std::make_unique<LcdMirror>(client_);
    row_ = std::make_unique<RecordingRow>(client_, font());
    limits_ = std::make_unique<LimitPanel>(client_);
    chartPanel_ = std::make_unique<ChartPanel>(client_);
    buildMenus();
    buildTimers();

    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }

    startUsb(hid);
    FormCreate();
    connectHandlers();
    FormResize();
    settleFocusOrder();
}

void TFCOMM::settleFocusOrder() {
    // Reading order: the top bar, the limit fields, the recording row, the grid, the chart's
    // tool bar, the chart's value-axis fields.
    const std::initializer_list<QWidget*> order = {
        link_->COMCon(),           link_->USBCon(),       link_->BitBtn1(),
        limits_->T1HI(),           limits_->T1VALUE(),    limits_->T1LO(),
        row_->RepeatSet(),         row_->RecordSI(),      row_->RecordSITime(),
        row_->RecordNew(),         row_->OpenDataFiles(), row_->saveas(),
        row_->BtPrint(),           row_->DBGrid1(),       chartPanel_->BtFill(),
        chartPanel_->Maxrecord(),  chartPanel_->BtSave(), chartPanel_->BtFirst(),
        chartPanel_->BTPrevious(), chartPanel_->Bt10(),   chartPanel_->BtNext(),
        chartPanel_->BTlast(),     Chtshow().edit1(),     Chtshow().edit2()};
    for (QWidget* w : order) focusOrder_.emplace_back(w, w->focusPolicy());
    // Everything else never takes the focus: the controls kept out of sight (beyond or below the
    // client area, hidden, or under the chart) and the parts of the controls above.
    for (QWidget* w : client_->findChildren<QWidget*>()) {
        if (w->isWindow()) continue;
        if (std::find(order.begin(), order.end(), w) == order.end()) w->setFocusPolicy(Qt::NoFocus);
    }
    for (auto it = order.begin(); it + 1 != order.end(); ++it) setTabOrder(*it, *(it + 1));
    applyFocusPolicies();
}

void TFCOMM::applyFocusPolicies() {
    // A control is in sight when it is shown, lies inside the client_ area and is what the client_
    // area shows at its middle (not covered by the enlarged chart).
    const QRect area = client_->rect();
    const auto inSight = [&](QWidget* w) {
        if (!w->isVisibleTo(client_)) return false;
        const QRect place(w->mapTo(client_, QPoint(0, 0)), w->size());
        if (!area.contains(place)) return false;
        QWidget* hit = client_->childAt(place.center());
        return hit == w || w->isAncestorOf(hit);
    };
    QWidget* firstInSight = nullptr;
    for (const auto& [w, policy] : focusOrder_) {
        const bool shown = inSight(w);
        w->setFocusPolicy(shown ? policy : Qt::NoFocus);
        if (shown && !firstInSight) firstInSight = w;
    }
    QWidget* focused = focusWidget();
    if (firstInSight && (!focused || focused->focusPolicy() == Qt::NoFocus))
        firstInSight->setFocus(Qt::OtherFocusReason);
}

// The destructor is with the USB handlers, which know the adapter's view.

namespace {

// A menu item owned by the window, so that it is found by its object name.
QAction* menuItem(QObject* window, QMenu* menu, const char* name, const char* caption) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setObjectName(QLatin1String(name));
    a->setParent(window);
    return a;
}

} // namespace

void TFCOMM::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    ComSetup1 = named(bar->addMenu(QStringLiteral("ComSetup")), "ComSetup1");
    for (int i = 0; i < 4; ++i) {
        const QByteArray name = QStringLiteral("COM%11").arg(i + 1).toLatin1();
        const QByteArray caption = QStringLiteral("COM%1").arg(i + 1).toLatin1();
        QAction* a = menuItem(this, ComSetup1, name.constData(), caption.constData());
        a->setCheckable(true);
        a->setChecked(i == 0);
        COM[static_cast<std::size_t>(i)] = a;
    }
    ComSetup1->menuAction()->setVisible(false);

    QMenu* connect1 = named(bar->addMenu(QStringLiteral("Connect")), "Connect1");
    START1 = menuItem(this, connect1, "START1", "START");
    START1->setCheckable(true);
    STOP1 = menuItem(this, connect1, "STOP1", "STOP");
    STOP1->setCheckable(true);
    STOP1->setEnabled(false);
    connect1->menuAction()->setVisible(false);
    buildGraphicMenu(bar);
    buildRecordMenu(bar);
    buildToolsMenu(bar);
}

void TFCOMM::buildToolsMenu(QMenuBar* bar) {
    QMenu* tools = named(bar->addMenu(QStringLiteral("Tools")), "Tools1");
    Statistics1 = menuItem(this, tools, "Statistics1", "Statistics\u2026");
    buildTriggerItem(tools);
    Alarms1 = menuItem(this, tools, "Alarms1", "Alarms\u2026");
}

void TFCOMM::buildGraphicMenu(QMenuBar* bar) {
    QMenu* graphic = named(bar->addMenu(QStringLiteral("Graphic")), "Graphic");
    First = menuItem(this, graphic, "First", "First");
    Previous = menuItem(this, graphic, "Previous", "Previous");
    Next = menuItem(this, graphic, "Next", "Next");
    Last = menuItem(this, graphic, "Last", "Last");
    graphic->addSeparator();
    New = menuItem(this, graphic, "New", "New");
    Save = menuItem(this, graphic, "Save", "Save");
    graphic->addSeparator();
    Fill = menuItem(this, graphic, "Fill", "Fill");
    Fill->setCheckable(true);
    Fill->setChecked(true);
    graphic->menuAction()->setVisible(false);
}

void TFCOMM::buildRecordMenu(QMenuBar* bar) {
    QMenu* record1 = named(bar->addMenu(QStringLiteral("Record")), "Record1");
    New1 = menuItem(this, record1, "New1", "New");
    New1->setVisible(false);
    Save1 = menuItem(this, record1, "Save1", "Save");
    Save1->setVisible(false);
    record1->addSeparator()->setVisible(false);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (const RecordLimitItem& item : recordLimitItems()) {
        QAction* a = menuItem(this, record1, item.objectName, item.caption);
        a->setCheckable(true);
        a->setChecked(item.limit == kDefaultRecordLimit);
        a->setData(item.limit);
        group->addAction(a);
        recordLimitActions_.append(a);
    }
}

void TFCOMM::buildTimers() {
    auto timer = [this](const char* name, int interval) {
        auto* t = named(new QTimer(this), name);
        t->setInterval(interval);
        return t;
    };
    ConTimer = timer("ConTimer", 100);
    Timer1 = timer("Timer1", 1000);
    Timer2 = timer("Timer2", 2000);
    Timer3 = timer("Timer3", 1000);
    Timer4 = timer("Timer4", 1000);
    Timer5 = timer("Timer5", 1000);
    Timer6 = timer("Timer6", 1000);
    ConTimer->start(); // runs from start to end
}

void TFCOMM::connectHandlers() {
    connectLinkHandlers();
    connectChartHandlers();
    connectRecordingHandlers();
}

void TFCOMM::connectLinkHandlers() {
    // Port selection: each panel advances to the next port, each menu item selects its own.
    connect(link_->BtCOM()[0], &ClickPanel::clicked, this, &TFCOMM::COM21Click);
    connect(link_->BtCOM()[1], &ClickPanel::clicked, this, &TFCOMM::COM31Click);
    connect(link_->BtCOM()[2], &ClickPanel::clicked, this, &TFCOMM::COM41Click);
    connect(link_->BtCOM()[3], &ClickPanel::clicked, this, &TFCOMM::COM11Click);
    connect(COM[0], &QAction::triggered, this, &TFCOMM::COM11Click);
    connect(COM[1], &QAction::triggered, this, &TFCOMM::COM21Click);
    connect(COM[2], &QAction::triggered, this, &TFCOMM::COM31Click);
    connect(COM[3], &QAction::triggered, this, &TFCOMM::COM41Click);
    // The two link toggles form a group in which all may be up: pressing one releases the other.
    connect(link_->COMCon(), &QPushButton::clicked, this, [this] {
        if (link_->COMCon()->isChecked() && link_->USBCon()->isChecked())
            link_->USBCon()->setChecked(false);
        COMConClick();
    });
    connect(link_->USBCon(), &QPushButton::clicked, this, [this] {
        if (link_->USBCon()->isChecked() && link_->COMCon()->isChecked())
            link_->COMCon()->setChecked(false);
        USBConClick();
    });
    connect(link_->BTCon(), &ClickPanel::clicked, this, &TFCOMM::BTCon1Click);
    connect(START1, &QAction::triggered, this, &TFCOMM::BTCon1Click);
    connect(link_->BtDiscon(), &ClickPanel::clicked, this, &TFCOMM::BtDiscon1Click);
    connect(STOP1, &QAction::triggered, this, &TFCOMM::BtDiscon1Click);
    connect(link_->BitBtn1(), &QPushButton::clicked, this, &TFCOMM::BitBtn1Click);
    connect(link_->BtExit(), &ClickPanel::clicked, this, &TFCOMM::BtExit1Click);
    connect(ConTimer, &QTimer::timeout, this, &TFCOMM::ConTimerTimer);

    connect(link_->ReadBtn(), &QPushButton::clicked, this, &TFCOMM::ReadBtnClick);
    connect(link_->SetFeature(), &QPushButton::clicked, this, &TFCOMM::SetFeatureClick);
    connect(link_->ClearBtn(), &QPushButton::clicked, this, &TFCOMM::ClearBtnClick);
    connect(link_->InfoBtn(), &QPushButton::clicked, this, &TFCOMM::InfoBtnClick);
}

void TFCOMM::connectChartHandlers() {
    connect(chartPanel_->BtFill(), &QCheckBox::clicked, this, &TFCOMM::btFillClick);
    connect(Fill, &QAction::triggered, this, &TFCOMM::FillClick);
    connect(Chtshow().comboBox1(), &QComboBox::activated, this, &TFCOMM::ComboBox1Change);
    connect(New, &QAction::triggered, this, &TFCOMM::BtNewClick);
    connect(chartPanel_->TbFd(), &ClickPanel::clicked, this, &TFCOMM::TbFdClick);
    connect(chartPanel_->TbSx(), &ClickPanel::clicked, this, &TFCOMM::TbFdClick);
    connect(chartPanel_->BtSave(), &QToolButton::clicked, this, &TFCOMM::BtSaveClick);
    connect(Save, &QAction::triggered, this, &TFCOMM::BtSaveClick);
    connect(chartPanel_->BtFirst(), &QToolButton::clicked, this, &TFCOMM::BtFirstClick);
    connect(First, &QAction::triggered, this, &TFCOMM::BtFirstClick);
    connect(chartPanel_->BTPrevious(), &QToolButton::clicked, this, &TFCOMM::BTPreviousClick);
    connect(Previous, &QAction::triggered, this, &TFCOMM::BTPreviousClick);
    connect(chartPanel_->BtNext(), &QToolButton::clicked, this, &TFCOMM::BtNextClick);
    connect(Next, &QAction::triggered, this, &TFCOMM::BtNextClick);
    connect(chartPanel_->BTlast(), &QToolButton::clicked, this, &TFCOMM::BTlastClick);
    connect(Last, &QAction::triggered, this, &TFCOMM::BTlastClick);
    const auto digitsOnly = [](QChar key, const QString&) { return RecordSITimeKeyPress(key); };
    KeyFilter::install(chartPanel_->Maxrecord(), digitsOnly);
    KeyFilter::install(Chtshow().edit1(), digitsOnly);
    KeyFilter::install(Chtshow().edit2(), digitsOnly);
    connect(chartPanel_->Maxrecord(), &QLineEdit::textChanged, Timer2, qOverload<>(&QTimer::start));
    connect(Chtshow().edit1(), &QLineEdit::textChanged, Timer5, qOverload<>(&QTimer::start));
    connect(Chtshow().edit2(), &QLineEdit::textChanged, Timer6, qOverload<>(&QTimer::start));
    connect(Timer2, &QTimer::timeout, this, &TFCOMM::Timer2Timer);
    connect(Timer5, &QTimer::timeout, this, &TFCOMM::Timer5Timer);
    connect(Timer6, &QTimer::timeout, this, &TFCOMM::Timer6Timer);
}

void TFCOMM::connectRecordingHandlers() {
    const auto digitsOnly = [](QChar key, const QString&) { return RecordSITimeKeyPress(key); };
    connect(row_->RepeatSet(), &QCheckBox::clicked, this, &TFCOMM::btFillClick);
    connect(row_->RecordNew(), &QToolButton::clicked, this, &TFCOMM::RecordNewClick);
    connect(New1, &QAction::triggered, this, &TFCOMM::RecordNewClick);
    for (QAction* a : recordLimitActions_)
        connect(a, &QAction::triggered, this, [this, a] { RecordLimitClick(a); });
    connect(row_->RecordSI(), &QCheckBox::clicked, this, &TFCOMM::RecordSIClick);
    KeyFilter::install(row_->RecordSITime(), digitsOnly);
    connect(row_->RecordSITime(), &QLineEdit::textChanged, this, &TFCOMM::RecordSITimeChange);
    connect(Timer1, &QTimer::timeout, this, &TFCOMM::Timer1Timer);
    connect(row_->saveas(), &QToolButton::clicked, this, &TFCOMM::saveasClick);
    connect(Save1, &QAction::triggered, this, &TFCOMM::saveasClick);
    connect(row_->OpenDataFiles(), &QToolButton::clicked, this, &TFCOMM::SpeedButton2Click);
    connect(row_->BtPrint(), &QToolButton::clicked, this, &TFCOMM::BtPrintClick);
    connect(Statistics1, &QAction::triggered, this, &TFCOMM::StatisticsClick);
    connect(Alarms1, &QAction::triggered, this, &TFCOMM::AlarmsClick);

    // Limit judge.
    const auto limitKeys = [this](QChar key, const QString& text) {
        return pipeline_->judge().LimitKeyPress(text, key);
    };
    KeyFilter::install(limits_->T1HI(), limitKeys);
    KeyFilter::install(limits_->T1LO(), limitKeys);
    connect(limits_->T1HI(), &QLineEdit::textChanged, Timer3, qOverload<>(&QTimer::start));
    connect(limits_->T1LO(), &QLineEdit::textChanged, Timer4, qOverload<>(&QTimer::start));
    connect(Timer3, &QTimer::timeout, this, &TFCOMM::Timer3Timer);
    connect(Timer4, &QTimer::timeout, this, &TFCOMM::Timer4Timer);

    // Recall panel: its fields share the interval field's key filter and change handler.
    connect(row_->RecallCheck(), &QCheckBox::clicked, this, &TFCOMM::RecallCheckClick);
    for (QLineEdit* e : {row_->TimeH(), row_->TimeM(), row_->TimeS(), row_->TimeInt()}) {
        KeyFilter::install(e, digitsOnly);
        connect(e, &QLineEdit::textChanged, this, &TFCOMM::RecordSITimeChange);
    }
    for (QLineEdit* e : {row_->TimeH(), row_->TimeM(), row_->TimeS()}) {
        e->installEventFilter(this);
    }
    row_->RecallCheck()->installEventFilter(this);
}

} // namespace dmm::app
