// The window's construction: every region and control at its place, with its caption, hint and
// font, the menus, the timers and the bindings of the handlers. The handlers themselves are in
// FormControl.cpp (start-up and connection), ChartHandlers.cpp, RecordHandlers.cpp and
// UsbHandlers.cpp.
#include "QV31F.h"
#include "UsbView.h"

#include "ChartArea.h"
#include "ComDrv32.h"
#include "Fonts.h"
#include "GridModel.h"
#include "LcdPanel.h"
#include "Pictures.h"
#include "WidgetDialogs.h"
#include "Widgets.h"

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

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);
const QColor kTooltipBackground(0xFF, 0xFF, 0xE1);

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, int x, int y,
              const QFont& font) {
    auto* l = named(new QLabel(caption, parent), name);
    l->setFont(font);
    l->adjustSize(); // an auto-sized label: its place is its top left corner
    l->move(x, y);
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* e = named(new QLineEdit(text, parent), name);
    e->setGeometry(place);
    e->setTextMargins(0, 0, 0, 0);
    return e;
}

QToolButton* iconButton(QWidget* parent, const char* name, ToolPicture picture, const char* hint,
                        QRect place) {
    auto* b = named(new QToolButton(parent), name);
    b->setIcon(toolIcon(picture));
    b->setIconSize(QSize(16, 16));
    b->setToolTip(QLatin1String(hint));
    b->setAutoRaise(true);
    b->setGeometry(place);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, QRect place,
                    bool checked) {
    auto* c = named(new QCheckBox(caption, parent), name);
    c->setGeometry(place);
    c->setChecked(checked);
    return c;
}

void setBackground(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    pal.setColor(QPalette::Base, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// The unit column draws the unit's symbols (the model shows them) in the annunciator font's
// stand-in, which has every symbol glyph.
class UnitColumnDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->font = uiFont(QLatin1String(kLcdSymbolFont), 12);
    }
};

} // namespace

TFCOMM::TFCOMM(Dialogs* dialogs, HidPlatform* hid, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
    if (!dialogs_) {
        ownDialogs_ = std::make_unique<WidgetDialogs>();
        dialogs_ = ownDialogs_.get();
    }
    meter.setHooks(this);
    setObjectName(QStringLiteral("FCOMM"));
    // Fixed single border with the system menu and the minimize box: no maximize, no sizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(programIcon());
    setFont(uiFont(QLatin1String(kMsSansSerif), 11, true));

    client = named(new QWidget(this), "ClientArea");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    comm2_ = new TCommPortDriver(this);
    comm2_->setObjectName(QStringLiteral("COMM2"));
    comm2_->SetComPort(TCommPortDriver::pnCOM1);
    comm2_->SetComPortSpeed(TCommPortDriver::br2400);
    comm2_->SetComPortDataBits(TCommPortDriver::db8BITS);
    comm2_->SetComPortParity(TCommPortDriver::ptNONE);
    comm2_->SetComPortStopBits(TCommPortDriver::sb1BITS);

    // The controls that the chart covers come first, so that it lies above them.
    buildHiddenControls(client);
    buildTopBar(client);
    panel1_ = new LcdPanel(client);
    panel1_->setGeometry(4, 29, 334, 136);
    PBar2 = named(new QProgressBar(client), "PBar2");
    PBar2->setGeometry(3, 167, 334, 17);
    PBar2->setRange(0, 40);
    PBar2->setValue(20);
    PBar2->setTextVisible(false);
    buildRecordingRow(client);
    buildGrid(client);
    buildLimitPanel(client);
    buildChartToolBar(client);
    chart_ = new ChartArea(client);
    chart_->setGeometry(336, 187, 377, 286);
    Edit1 = chart_->edit1();
    Edit2 = chart_->edit2();
    ComboBox1 = chart_->comboBox1();
    Panel19->raise(); // the tool bar stays above the enlarged chart
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
        COMCon,       USBCon,    BitBtn1,       T1HI,   T1VALUE, T1LO,    RepeatSet, RecordSI,
        RecordSITime, RecordNew, OpenDataFiles, saveas, BtPrint, DBGrid1, BtFill,    Maxrecord,
        BtSave,       BtFirst,   BTPrevious,    Bt10,   BtNext,  BTlast,  Edit1,     Edit2};
    for (QWidget* w : order) focusOrder_.emplace_back(w, w->focusPolicy());
    // Everything else never takes the focus: the controls kept out of sight (beyond or below the
    // client area, hidden, or under the chart) and the parts of the controls above.
    for (QWidget* w : client->findChildren<QWidget*>()) {
        if (w->isWindow()) continue;
        if (std::find(order.begin(), order.end(), w) == order.end()) w->setFocusPolicy(Qt::NoFocus);
    }
    for (auto it = order.begin(); it + 1 != order.end(); ++it) setTabOrder(*it, *(it + 1));
    applyFocusPolicies();
}

void TFCOMM::applyFocusPolicies() {
    // A control is in sight when it is shown, lies inside the client area and is what the client
    // area shows at its middle (not covered by the enlarged chart).
    const QRect area = client->rect();
    const auto inSight = [&](QWidget* w) {
        if (!w->isVisibleTo(client)) return false;
        const QRect place(w->mapTo(client, QPoint(0, 0)), w->size());
        if (!area.contains(place)) return false;
        QWidget* hit = client->childAt(place.center());
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

void TFCOMM::buildTopBar(QWidget* parent) {
    Panel6 = named(new QFrame(parent), "Panel6");
    Panel6->setGeometry(0, 0, kClientWidth, 30);
    Panel6->setFrameStyle(QFrame::Panel | QFrame::Raised);
    static constexpr int tops[4] = {3, 5, 4, 4};
    for (int i = 0; i < 4; ++i) {
        const QString caption = QStringLiteral("COM %1").arg(i + 1);
        auto* p = new ClickPanel(caption, Panel6);
        p->setObjectName(QStringLiteral("BtCOM%1").arg(i + 1));
        p->setGeometry(3, tops[i], 61, 24);
        p->setFont(uiFont(QLatin1String(kArial), 16, true));
        setBackground(p, kSilver);
        QPalette pal = p->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        p->setPalette(pal);
        p->setToolTip(portTooltip(i + 1));
        p->setVisible(i == 0);
        BtCOM[static_cast<std::size_t>(i)] = p;
    }
    COMCon = named(new QPushButton(QStringLiteral("COM Connect"), Panel6), "COMCon");
    COMCon->setGeometry(65, 2, 147, 25);
    COMCon->setCheckable(true);
    COMCon->setFont(uiFont(QLatin1String(kArial), 13));
    USBCon = named(new QPushButton(QStringLiteral("USB Connect"), Panel6), "USBCon");
    USBCon->setGeometry(218, 2, 117, 25);
    USBCon->setCheckable(true);
    USBCon->setToolTip(QStringLiteral("USB Connect"));
    USBCon->setFont(uiFont(QLatin1String(kArial), 13));
    BitBtn1 = named(new QPushButton(QStringLiteral("Quit"), Panel6), "BitBtn1");
    BitBtn1->setGeometry(641, 1, 74, 25);
    BitBtn1->setFont(uiFont(QLatin1String(kArial), 13));
}

void TFCOMM::buildRecordingRow(QWidget* parent) {
    const QFont arial11 = uiFont(QLatin1String(kArial), 11);
    RepeatSet = checkBox(parent, "RepeatSet", QStringLiteral("Repeat"), {2, 187, 63, 20}, true);
    RepeatSet->setToolTip(QStringLiteral("Repeage Record"));
    RepeatSet->setFont(arial11);
    RecordSI = checkBox(parent, "RecordSI", QStringLiteral("Sampling Interval           'S"),
                        {64, 187, 170, 20}, false);
    // The interval field covers the gap in the caption; widen the caption's blanks until "'S"
    // stands clear of the field, whatever the metrics of the installed font.
    {
        QFont f = arial11;
        RecordSI->setFont(f);
        QStyleOptionButton opt;
        opt.initFrom(RecordSI);
        opt.text = RecordSI->text();
        const QRect contents =
            RecordSI->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, RecordSI);
        const QString lead = RecordSI->text().left(RecordSI->text().indexOf(QLatin1Char('\'')));
        const int wanted = 183 + 27 + 2; // right of the interval field
        for (int extra = 0; extra < 8; ++extra) {
            f.setWordSpacing(extra);
            if (RecordSI->x() + contents.left() + QFontMetrics(f).horizontalAdvance(lead) >= wanted)
                break;
        }
        RecordSI->setFont(f);
    }
    // The interval field sits in the gap of the check box's caption, before "'S".
    RecordSITime = edit(parent, "RecordSITime", QStringLiteral("1"), {183, 187, 27, 21});
    RecordSITime->raise();
    RecordNew =
        iconButton(parent, "RecordNew", ToolPicture::CloseData, "Close Data", {247, 187, 23, 21});
    OpenDataFiles = iconButton(parent, "OpenDataFiles", ToolPicture::OpenFile,
                               "Open old data files", {269, 187, 23, 21});
    saveas =
        iconButton(parent, "saveas", ToolPicture::SaveFile, "Save data files", {291, 187, 23, 21});
    BtPrint = iconButton(parent, "BtPrint", ToolPicture::Print, "Print", {313, 187, 22, 21});
}

void TFCOMM::buildGrid(QWidget* parent) {
    DBGrid1 = named(new QTableView(parent), "DBGrid1");
    DBGrid1->setGeometry(1, 208, 334, 264);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers); // read-only
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setShowGrid(true);
    DBGrid1->setWordWrap(false);
    DBGrid1->setTabKeyNavigation(false); // Tab leaves the grid for the next control
    DBGrid1->setFont(uiFont(QLatin1String(kArial), 12));
    DBGrid1->horizontalHeader()->setFont(uiFont(QLatin1String(kMsSansSerif), 11, false));
    DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGrid1->horizontalHeader()->setHighlightSections(false);
    DBGrid1->horizontalHeader()->setMinimumSectionSize(8);
    // The row indicator column: a narrow header without numbers; every row has the same height,
    // so that a table of millions of rows costs no more per row than a short one.
    QHeaderView* rows = DBGrid1->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(18);
    rows->setMinimumSectionSize(8);
    rows->setFixedWidth(11);
    rows->setFont(uiFont(QLatin1String(kMsSansSerif), 1));
    rows->setHighlightSections(true);
    DBGrid1->setItemDelegateForColumn(static_cast<int>(Field::Unit),
                                      new UnitColumnDelegate(DBGrid1));
}

void TFCOMM::buildLimitPanel(QWidget* parent) {
    Panel4 = named(new QFrame(parent), "Panel4");
    Panel4->setGeometry(338, 29, 375, 120);
    Panel4->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel4->setLineWidth(3);
    setBackground(Panel4, Qt::white);
    const QFont arial11b = uiFont(QLatin1String(kArial), 11, true);
    T1_HI = label(Panel4, "T1_HI", QStringLiteral("Set High Limit:"), 16, 16, arial11b);
    T1HI = edit(Panel4, "T1HI", QLatin1String(kDefaultHighLimit), {112, 12, 57, 22});
    T1HI->setToolTip(QStringLiteral("Please enter a number here."));
    T1HI->setFont(arial11b);
    T1_Value = label(Panel4, "T1_Value", QStringLiteral("Measure Value:"), 16, 52, arial11b);
    T1VALUE = edit(Panel4, "T1VALUE", QStringLiteral("0"), {112, 43, 81, 32});
    T1VALUE->setReadOnly(true);
    T1VALUE->setFont(uiFont(QLatin1String(kArial), 21, true));
    setBackground(T1VALUE, kTooltipBackground);
    T1_LO = label(Panel4, "T1_LO", QStringLiteral("Set Low Limit:"), 16, 84, arial11b);
    T1LO = edit(Panel4, "T1LO", QLatin1String(kDefaultLowLimit), {112, 84, 57, 22});
    T1LO->setToolTip(QStringLiteral("Please enter a number here."));
    T1LO->setFont(arial11b);
    Shape1 = named(new LcdShape(Panel4), "Shape1");
    Shape1->setGeometry(192, 8, 113, 97);
    Shape1->setFill(kTooltipBackground);
    judge =
        label(Panel4, "judge", QString(), 216, 40, uiFont(QLatin1String(kMsSansSerif), 24, true));
    setBackground(judge, kTooltipBackground);
    judge->setAlignment(Qt::AlignCenter);
    T1VALUE->raise(); // the value field overlaps the lamp's left edge
    CONok = named(new QLabel(Panel4), "CONok");
    CONok->setPixmap(linkImage(true));
    CONok->setGeometry(310, 13, 25, 24);
    CONok->hide();
    CONokN = named(new QLabel(Panel4), "CONokN");
    CONokN->setPixmap(linkImage(false));
    CONokN->setGeometry(310, 13, 25, 24);
}

void TFCOMM::buildChartToolBar(QWidget* parent) {
    Panel19 = named(new QFrame(parent), "Panel19");
    Panel19->setGeometry(339, 152, 372, 33);
    Panel19->setFrameStyle(QFrame::NoFrame);
    Bevel1 = named(new QFrame(Panel19), "Bevel1");
    Bevel1->setGeometry(2, 6, 40, 20);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    BtFill = checkBox(Panel19, "BtFill", QStringLiteral("Fill"), {5, 6, 36, 17}, true);
    BtFill->setToolTip(QStringLiteral("Graphic Fill"));
    BtFill->setStyleSheet(QStringLiteral("QCheckBox { spacing: 3px; }"));
    Maxrecord = edit(Panel19, "Maxrecord", QStringLiteral("100"), {48, 6, 49, 21});
    BtSave = iconButton(Panel19, "BtSave", ToolPicture::SavePicture, "Save", {165, 6, 35, 21});
    BtFirst = iconButton(Panel19, "BtFirst", ToolPicture::First, "First", {200, 6, 28, 21});
    BTPrevious =
        iconButton(Panel19, "BTPrevious", ToolPicture::Previous, "Previous", {227, 6, 25, 21});
    Bt10 = named(new QPushButton(QStringLiteral("1"), Panel19), "Bt10");
    Bt10->setGeometry(251, 6, 25, 21);
    Bt10->setFont(uiFont(QLatin1String(kMsSansSerif), 11));
    Bt10->setToolTip(QStringLiteral("Page No."));
    Bt10->setStyleSheet(QStringLiteral("QPushButton { color: #0000FF; padding: 0px; }"));
    BtNext = iconButton(Panel19, "BtNext", ToolPicture::Next, "Next", {275, 6, 25, 21});
    BTlast = iconButton(Panel19, "BTlast", ToolPicture::Last, "last", {300, 6, 25, 21});
    TbFd = named(new ImageButton(enlargeImage(true), Panel19), "TbFd");
    TbFd->setGeometry(336, 6, 25, 25);
    TbFd->setToolTip(QStringLiteral("Graphic Enlarge"));
    TbSx = named(new ImageButton(enlargeImage(false), Panel19), "TbSx");
    TbSx->setGeometry(336, 4, 25, 25);
    TbSx->setToolTip(QStringLiteral("Graphic Restore"));
    TbSx->hide();
}

void TFCOMM::buildHiddenControls(QWidget* parent) {
    // The extremes panel, right of the client area and hidden.
    Panel3 = named(new QFrame(parent), "Panel3");
    Panel3->setGeometry(842, 134, 338, 47);
    const QFont a2 = uiFont(QLatin1String(kLcdSymbolFont), 12, true);
    label(Panel3, "Label6", QStringLiteral("MIN: "), 4, 4, a2);
    label(Panel3, "Label7", QStringLiteral("MAX: "), 170, 4, a2);
    MinText = label(Panel3, "MinText", QStringLiteral("40001"), 44, 2,
                    uiFont(QLatin1String(kArial), 14, false, true));
    MaxText = label(Panel3, "MaxText", QStringLiteral("-40001"), 210, 2,
                    uiFont(QLatin1String(kArial), 14, false, true));
    MinTextU = label(Panel3, "MinTextU", QStringLiteral("Ω"), 120, 2,
                     uiFont(QLatin1String(kLcdSymbolFont), 14));
    MaxTextU = label(Panel3, "MaxTextU", QStringLiteral("Ω"), 290, 2,
                     uiFont(QLatin1String(kLcdSymbolFont), 14));
    Panel3->hide();

    // The recall panel, right of the client area.
    Panel2 = named(new QFrame(parent), "Panel2");
    Panel2->setGeometry(928, 464, 334, 25);
    setBackground(Panel2, kSilver);
    RecallCheck =
        checkBox(Panel2, "RecallCheck", QStringLiteral("RecallData"), {4, 3, 90, 19}, false);
    RecallCheck->setToolTip(QStringLiteral("Repeage Record"));
    const QFont f = font();
    label(Panel2, "Label2", QStringLiteral("StartTime:"), 96, 5, f);
    TimeH = edit(Panel2, "TimeH", QStringLiteral("23"), {160, 2, 22, 21});
    label(Panel2, "Label3", QStringLiteral(":"), 183, 5, f);
    TimeM = edit(Panel2, "TimeM", QStringLiteral("59"), {188, 2, 22, 21});
    label(Panel2, "Label4", QStringLiteral(":"), 211, 5, f);
    TimeS = edit(Panel2, "TimeS", QStringLiteral("59"), {216, 2, 22, 21});
    label(Panel2, "Label1", QStringLiteral("Interval"), 244, 5, f);
    TimeInt = edit(Panel2, "TimeInt", QStringLiteral("1"), {292, 2, 22, 21});
    label(Panel2, "Label5", QStringLiteral("'S"), 317, 5, f);

    // The report layout, on a hidden panel below the client area.
    ReportPanel = new QFrame(parent);
    ReportPanel->setGeometry(6, 541, 825, 209);
    QuickRep1 = named(new QWidget(ReportPanel), "QuickRep1");
    QuickRep1->setGeometry(0, 0, 825, 209);
    ReportPanel->hide();

    // The connect, disconnect and exit panels, below the client area (FormResize places them).
    auto panelButton = [&](const char* name, const char* caption, int px, int w) {
        auto* p = named(new ClickPanel(QLatin1String(caption), parent), name);
        p->setGeometry(0, 538, w, 26);
        p->setFont(uiFont(QLatin1String(kArial), px, true, true));
        setBackground(p, QColor(0x00, 0x80, 0xFF));
        QPalette pal = p->palette();
        pal.setColor(QPalette::WindowText, Qt::yellow);
        p->setPalette(pal);
        p->setFrameStyle(QFrame::Panel | QFrame::Raised);
        return p;
    };
    BTCon = panelButton("BTCon", "Connect", 19, 105);
    BtDiscon = panelButton("BtDiscon", "Disconnect", 16, 105);
    BtDiscon->hide();
    BtExit = panelButton("BtExit", "Exit", 19, 65);

    // The model variant switches: never shown, only their stored states matter.
    struct Switch {
        QCheckBox** box;
        const char* name;
        const char* caption;
        bool checked;
    };
    const ModelVariant stored; // the stored states
    const Switch switches[] = {
        {&IFQV31, "IFQV31", "QV-31", stored.IFQV31},
        {&IFQV14, "IFQV14", "QV-14", stored.IFQV14},
        {&IFQV16, "IFQV16", "QV-16", stored.IFQV16},
        {&IFQV22, "IFQV22", "QV-22/24", stored.IFQV22},
        {&IFQV15T, "IFQV15T", "QV-15", stored.IFQV15T},
        {&IFQV40T, "IFQV40T", "QV-40", stored.IFQV40T},
        {&IFQV52T, "IFQV52T", "QV-52", stored.IFQV52T},
        {&IFQV63, "IFQV63", "QV-63", stored.IFQV63},
        {&IFOtherT, "IFOtherT", "IFOtherT", stored.IFOtherT},
    };
    int x = 8;
    for (const Switch& s : switches) {
        *s.box = checkBox(parent, s.name, QLatin1String(s.caption), {x, 580, 72, 17}, s.checked);
        (*s.box)->hide();
        x += 76;
    }

    systeminfomation = edit(parent, "systeminfomation", QString(), {947, 240, 22, 21});

    const QFont arial10i = uiFont(QLatin1String(kArial), 10, false, true);
    USBtxt = label(parent, "USBtxt", QStringLiteral("6001"), 336, 499, arial10i);
    USBtxt->hide();
    USBtxt1 = label(parent, "USBtxt1", QStringLiteral("6001"), 336, 515, arial10i);
    USBtxt1->hide();
    Memo1 = named(new QPlainTextEdit(QStringLiteral("Memo1"), parent), "Memo1");
    Memo1->setGeometry(368, 503, 65, 26);
    Memo1->setMaximumBlockCount(static_cast<int>(kDiagnosticLines));
    Memo1->hide();

    // The USB adapter's controls: out of sight (beyond or below the client area, or under the
    // chart), still working through their handlers.
    SetFeature = named(new QPushButton(QStringLiteral("SetFeature"), parent), "SetFeature");
    SetFeature->setGeometry(443, 508, 81, 21);
    DevListBox = named(new QListWidget(parent), "DevListBox");
    DevListBox->setGeometry(742, 327, 10, 25);
    HistoryListBox = named(new QListWidget(parent), "HistoryListBox");
    HistoryListBox->setGeometry(936, 357, 0, 0);
    InfoBtn = named(new QPushButton(QStringLiteral("Info"), parent), "InfoBtn");
    InfoBtn->setGeometry(838, 214, 57, 22);
    ReadBtn = named(new QPushButton(QStringLiteral("Read"), parent), "ReadBtn");
    ReadBtn->setGeometry(622, 308, 81, 22);
    ReadBtn->setCheckable(true);
    ClearBtn = named(new QPushButton(QStringLiteral("Clear"), parent), "ClearBtn");
    ClearBtn->setGeometry(533, 234, 81, 21);
    RecallDataTest = named(new QPushButton(QStringLiteral("RecallData"), parent), "RecallDataTest");
    RecallDataTest->setGeometry(861, 259, 75, 17);
    RecallDataTest->hide();
}

void TFCOMM::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto action = [this](QMenu* menu, const char* name, const char* caption) {
        QAction* a = menu->addAction(QLatin1String(caption));
        a->setObjectName(QLatin1String(name));
        a->setParent(this);
        return a;
    };

    ComSetup1 = named(bar->addMenu(QStringLiteral("ComSetup")), "ComSetup1");
    for (int i = 0; i < 4; ++i) {
        const QByteArray name = QStringLiteral("COM%11").arg(i + 1).toLatin1();
        const QByteArray caption = QStringLiteral("COM%1").arg(i + 1).toLatin1();
        QAction* a = action(ComSetup1, name.constData(), caption.constData());
        a->setCheckable(true);
        a->setChecked(i == 0);
        COM[static_cast<std::size_t>(i)] = a;
    }
    ComSetup1->menuAction()->setVisible(false);

    Connect1 = named(bar->addMenu(QStringLiteral("Connect")), "Connect1");
    START1 = action(Connect1, "START1", "START");
    START1->setCheckable(true);
    STOP1 = action(Connect1, "STOP1", "STOP");
    STOP1->setCheckable(true);
    STOP1->setEnabled(false);
    Connect1->menuAction()->setVisible(false);

    Graphic = named(bar->addMenu(QStringLiteral("Graphic")), "Graphic");
    First = action(Graphic, "First", "First");
    Previous = action(Graphic, "Previous", "Previous");
    Next = action(Graphic, "Next", "Next");
    Last = action(Graphic, "Last", "Last");
    Graphic->addSeparator();
    New = action(Graphic, "New", "New");
    Save = action(Graphic, "Save", "Save");
    Graphic->addSeparator();
    Fill = action(Graphic, "Fill", "Fill");
    Fill->setCheckable(true);
    Fill->setChecked(true);
    Graphic->menuAction()->setVisible(false);

    Record1 = named(bar->addMenu(QStringLiteral("Record")), "Record1");
    New1 = action(Record1, "New1", "New");
    New1->setVisible(false);
    Save1 = action(Record1, "Save1", "Save");
    Save1->setVisible(false);
    Record1->addSeparator()->setVisible(false);
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (const RecordLimitItem& item : recordLimitItems()) {
        QAction* a = action(Record1, item.objectName, item.caption);
        a->setCheckable(true);
        a->setChecked(item.limit == kDefaultRecordLimit);
        a->setData(item.limit);
        group->addAction(a);
        recordLimitActions.append(a);
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
    // Port selection: each panel advances to the next port, each menu item selects its own.
    connect(BtCOM[0], &ClickPanel::clicked, this, &TFCOMM::COM21Click);
    connect(BtCOM[1], &ClickPanel::clicked, this, &TFCOMM::COM31Click);
    connect(BtCOM[2], &ClickPanel::clicked, this, &TFCOMM::COM41Click);
    connect(BtCOM[3], &ClickPanel::clicked, this, &TFCOMM::COM11Click);
    connect(COM[0], &QAction::triggered, this, &TFCOMM::COM11Click);
    connect(COM[1], &QAction::triggered, this, &TFCOMM::COM21Click);
    connect(COM[2], &QAction::triggered, this, &TFCOMM::COM31Click);
    connect(COM[3], &QAction::triggered, this, &TFCOMM::COM41Click);
    // The two link toggles form a group in which all may be up: pressing one releases the other.
    connect(COMCon, &QPushButton::clicked, this, [this] {
        if (COMCon->isChecked() && USBCon->isChecked()) USBCon->setChecked(false);
        COMConClick();
    });
    connect(USBCon, &QPushButton::clicked, this, [this] {
        if (USBCon->isChecked() && COMCon->isChecked()) COMCon->setChecked(false);
        USBConClick();
    });
    connect(BTCon, &ClickPanel::clicked, this, &TFCOMM::BTCon1Click);
    connect(START1, &QAction::triggered, this, &TFCOMM::BTCon1Click);
    connect(BtDiscon, &ClickPanel::clicked, this, &TFCOMM::BtDiscon1Click);
    connect(STOP1, &QAction::triggered, this, &TFCOMM::BtDiscon1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TFCOMM::BitBtn1Click);
    connect(BtExit, &ClickPanel::clicked, this, &TFCOMM::BtExit1Click);
    connect(ConTimer, &QTimer::timeout, this, &TFCOMM::ConTimerTimer);

    connect(ReadBtn, &QPushButton::clicked, this, &TFCOMM::ReadBtnClick);
    connect(SetFeature, &QPushButton::clicked, this, &TFCOMM::SetFeatureClick);
    connect(ClearBtn, &QPushButton::clicked, this, &TFCOMM::ClearBtnClick);
    connect(InfoBtn, &QPushButton::clicked, this, &TFCOMM::InfoBtnClick);

    // Chart.
    connect(BtFill, &QCheckBox::clicked, this, &TFCOMM::btFillClick);
    connect(Fill, &QAction::triggered, this, &TFCOMM::FillClick);
    connect(ComboBox1, &QComboBox::activated, this, &TFCOMM::ComboBox1Change);
    connect(New, &QAction::triggered, this, &TFCOMM::BtNewClick);
    connect(TbFd, &ClickPanel::clicked, this, &TFCOMM::TbFdClick);
    connect(TbSx, &ClickPanel::clicked, this, &TFCOMM::TbFdClick);
    connect(BtSave, &QToolButton::clicked, this, &TFCOMM::BtSaveClick);
    connect(Save, &QAction::triggered, this, &TFCOMM::BtSaveClick);
    connect(BtFirst, &QToolButton::clicked, this, &TFCOMM::BtFirstClick);
    connect(First, &QAction::triggered, this, &TFCOMM::BtFirstClick);
    connect(BTPrevious, &QToolButton::clicked, this, &TFCOMM::BTPreviousClick);
    connect(Previous, &QAction::triggered, this, &TFCOMM::BTPreviousClick);
    connect(BtNext, &QToolButton::clicked, this, &TFCOMM::BtNextClick);
    connect(Next, &QAction::triggered, this, &TFCOMM::BtNextClick);
    connect(BTlast, &QToolButton::clicked, this, &TFCOMM::BTlastClick);
    connect(Last, &QAction::triggered, this, &TFCOMM::BTlastClick);
    const auto digitsOnly = [](QChar key, const QString&) { return RecordSITimeKeyPress(key); };
    KeyFilter::install(Maxrecord, digitsOnly);
    KeyFilter::install(Edit1, digitsOnly);
    KeyFilter::install(Edit2, digitsOnly);
    connect(Maxrecord, &QLineEdit::textChanged, Timer2, qOverload<>(&QTimer::start));
    connect(Edit1, &QLineEdit::textChanged, Timer5, qOverload<>(&QTimer::start));
    connect(Edit2, &QLineEdit::textChanged, Timer6, qOverload<>(&QTimer::start));
    connect(Timer2, &QTimer::timeout, this, &TFCOMM::Timer2Timer);
    connect(Timer5, &QTimer::timeout, this, &TFCOMM::Timer5Timer);
    connect(Timer6, &QTimer::timeout, this, &TFCOMM::Timer6Timer);

    // Recording.
    connect(RepeatSet, &QCheckBox::clicked, this, &TFCOMM::btFillClick);
    connect(RecordNew, &QToolButton::clicked, this, &TFCOMM::RecordNewClick);
    connect(New1, &QAction::triggered, this, &TFCOMM::RecordNewClick);
    for (QAction* a : recordLimitActions)
        connect(a, &QAction::triggered, this, [this, a] { RecordLimitClick(a); });
    connect(RecordSI, &QCheckBox::clicked, this, &TFCOMM::RecordSIClick);
    KeyFilter::install(RecordSITime, digitsOnly);
    connect(RecordSITime, &QLineEdit::textChanged, this, &TFCOMM::RecordSITimeChange);
    connect(Timer1, &QTimer::timeout, this, &TFCOMM::Timer1Timer);
    connect(saveas, &QToolButton::clicked, this, &TFCOMM::saveasClick);
    connect(Save1, &QAction::triggered, this, &TFCOMM::saveasClick);
    connect(OpenDataFiles, &QToolButton::clicked, this, &TFCOMM::SpeedButton2Click);
    connect(BtPrint, &QToolButton::clicked, this, &TFCOMM::BtPrintClick);

    // Limit judge.
    const auto limitKeys = [this](QChar key, const QString& text) {
        return judge_.LimitKeyPress(text, key);
    };
    KeyFilter::install(T1HI, limitKeys);
    KeyFilter::install(T1LO, limitKeys);
    connect(T1HI, &QLineEdit::textChanged, Timer3, qOverload<>(&QTimer::start));
    connect(T1LO, &QLineEdit::textChanged, Timer4, qOverload<>(&QTimer::start));
    connect(Timer3, &QTimer::timeout, this, &TFCOMM::Timer3Timer);
    connect(Timer4, &QTimer::timeout, this, &TFCOMM::Timer4Timer);

    // Recall panel: its fields share the interval field's key filter and change handler.
    connect(RecallCheck, &QCheckBox::clicked, this, &TFCOMM::RecallCheckClick);
    for (QLineEdit* e : {TimeH, TimeM, TimeS, TimeInt}) {
        KeyFilter::install(e, digitsOnly);
        connect(e, &QLineEdit::textChanged, this, &TFCOMM::RecordSITimeChange);
    }
    for (QLineEdit* e : {TimeH, TimeM, TimeS}) {
        e->installEventFilter(this);
    }
    RecallCheck->installEventFilter(this);
}

} // namespace dmm::app
