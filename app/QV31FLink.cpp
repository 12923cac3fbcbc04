// Start-up, the model variant, port selection, the COM link, the link watchdog, quitting, and
// the bridge between the meter's protocol state and the window's controls.
#include "QV31F.h"

#include "ChartArea.h"
#include "ChartPanel.h"
#include "ChartRows.h"
#include "ClickPanel.h"
#include "ComDrv32.h"
#include "ComPortMap.h"
#include "FrameAssembly.h"
#include "GridModel.h"
#include "ImageButton.h"
#include "KeyFilter.h"
#include "LcdMirror.h"
#include "LcdPanel.h"
#include "LimitPanel.h"
#include "LinkControl.h"
#include "RecordingRow.h"
#include "UnitSymbols.h"
#include "WindowControls.h"
#include "WindowDisplay.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

namespace dmm::app {

void TFCOMM::FormCreate() {
    // 2. The system's decimal separator, which the decoders put into the value text (and the
    // limit judge reads numbers with: step 1, the judge's last accepted limit texts, is the new
    // pipeline's in step 8).
    LocaleDecimalSeparator = QLocale::system().decimalPoint();
    meter.LocaleDecimalSeparator = LocaleDecimalSeparator.toStdString();
    // 3. The recall stamp starts at the start-up time.
    meter.reading.RecallStamp = toRecallStamp(QDateTime::currentDateTime());
    // 4. The separator again, in the out-of-sight field.
    link_->systeminfomation()->setText(LocaleDecimalSeparator);
    // 5. The chart pager, 100 points a page.
    chartPanel_->resetPager(kDefaultPageSize);
    // 6. Count profile "4".
    meter.applyCountProfile("4");
    // 7. The first decoded frame always counts as a range change.
    meter.extremes.LastUnitText = "113";
    // 8. The readings table, empty and open, bound to the grid; 9. the recorder's counters.
    createPipeline();
    auto grid = std::make_unique<GridModel>(cds1());
    connect(grid.get(), &GridModel::rowsShown, this, [this](int last) {
        // The grid shows the newest row: it becomes the current row, scrolled into view.
        if (row_->DBGrid1()->updatesEnabled())
            row_->DBGrid1()->setCurrentIndex(gridModel_->index(last, 0));
    });
    row_->DBGrid1()->setModel(grid.get());
    gridModel_ = std::move(grid);
    row_->DBGrid1()->setColumnHidden(kNvalColumn, true);
    // The stored widths (53, 53, 54, 56, 35, 35) cut the time of day in the installed Arial
    // stand-in; the record number gives up what the time needs.
    static constexpr int widths[] = {44, 62, 54, 56, 40, 35};
    for (int c = 0; c < 6; ++c) row_->DBGrid1()->setColumnWidth(c, widths[c]);
    // Family Q13's frequency axis mode off.
    meter.FrequencyAxisMode = false;

    meter.variant = link_->variant();
    // 10. The model the variant selects (the shipped one: family Q32 on the serial port), its
    // title and, 11., its count profile. No switch binds another family: without one the port
    // has no receive handler at all.
    comm2_->OnReceiveData = nullptr;
    serialFamily_ = nullptr;
    if (const MeterModelEntry* model = modelOfVariant(meter.variant)) {
        comm2_->OnReceiveData = [this](TCommPortDriver*, const std::uint8_t* data,
                                       std::int32_t size) { serialReceived(data, size); };
        serialFamily_ = &meterFamily(model->family);
        comm2_->SetLine(serialFamily_->line);
        setWindowTitle(
            QStringLiteral("%1 Interface Program Ver: %2")
                .arg(QLatin1String(model->name.data(), static_cast<qsizetype>(model->name.size())),
                     QLatin1String(kVersion)));
        applyModel(meter, *model);
    }
    // 12. The value axis spans the full scale.
    Chtshow().setValueRange(-meter.reading.FullScale, meter.reading.FullScale);
    redrawLcd();
}

void TFCOMM::FormResize() {
    link_->placeBelowPanels(outerSize().width());
}

void TFCOMM::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (link_) FormResize();
}

// --- port selection -------------------------------------------------------------------------

QString TFCOMM::portTooltip(int n) const {
    return dmm::link::comPortDescription(n);
}

void TFCOMM::selectPort(int n) {
    for (int i = 0; i < 4; ++i) COM[static_cast<std::size_t>(i)]->setChecked(i == n - 1);
    link_->showPortPanelOf(n);
    link_->setPortTooltip(n, portTooltip(n));
    comm2_->SetComPort(static_cast<TCommPortDriver::TComPortNumber>(n - 1));
    SelectedPort = n;
}

void TFCOMM::COM11Click() {
    selectPort(1);
}
void TFCOMM::COM21Click() {
    selectPort(2);
}
void TFCOMM::COM31Click() {
    selectPort(3);
}
void TFCOMM::COM41Click() {
    selectPort(4);
}

// --- COM link -------------------------------------------------------------------------------

void TFCOMM::connectSequence() {
    ComSetup1->menuAction()->setEnabled(false);
    START1->setChecked(true);
    START1->setEnabled(false);
    STOP1->setEnabled(true);
    STOP1->setChecked(false);
    comm2_->OpenPort(); // a port that does not open is not reported; the link image tells
    pipeline_->armTrigger();
    link_->BTCon()->hide();
    link_->BtDiscon()->show();
    link_->setPortPanelsEnabled(false);
}

void TFCOMM::disconnectSequence() {
    ComSetup1->menuAction()->setEnabled(true);
    START1->setChecked(false);
    START1->setEnabled(true);
    STOP1->setEnabled(false);
    STOP1->setChecked(true);
    comm2_->ClosePort();
    link_->BTCon()->show();
    link_->BtDiscon()->hide();
    link_->setPortPanelsEnabled(true);
}

void TFCOMM::COMConClick() {
    if (link_->COMCon()->isChecked()) {
        connectSequence();
        link_->USBCon()->hide();
        link_->COMCon()->setText(QStringLiteral("COM Disconnect"));
    } else {
        disconnectSequence();
        link_->USBCon()->show();
        link_->COMCon()->setText(QStringLiteral("COM Connection"));
    }
}

void TFCOMM::BTCon1Click() {
    connectSequence();
    link_->COMCon()->setChecked(true); // without running COMConClick
}

void TFCOMM::BtDiscon1Click() {
    disconnectSequence();
    link_->COMCon()->setChecked(false);
}

// --- watchdog -------------------------------------------------------------------------------

void TFCOMM::ConTimerTimer() {
    if (meter.FrameWatchdog != 2) {
        ++meter.FrameWatchdog;
        return;
    }
    // The adapter answers, but no meter byte has come for a long time: the USB link is dropped.
    if (usb_)
        usb_->WatchdogCheck();
    else
        meter.hid.IdleReports = 0;
    meter.lcd.set(Ind::CONok, false);
    meter.lcd.set(Ind::CONokN, true);
    limits_->showLink(false, true);
    meter.FrameWatchdog = 0;
}

// --- quitting -------------------------------------------------------------------------------

void TFCOMM::closeTable() {
    cds1().clear();
}

void TFCOMM::terminate() {
    terminated_ = true;
    QCoreApplication::quit(); // does nothing while no event loop runs (the tests)
}

void TFCOMM::BitBtn1Click() {
    const MsgButton answer =
        dialogs_->message(this, QStringLiteral("Information"),
                          QStringLiteral("Are you sure that you want to quit this application?"),
                          MsgIcon::Information, MsgButton::Yes | MsgButton::No);
    if (answer != MsgButton::Yes) return;
    terminate();
    closeTable();
}

void TFCOMM::BtExit1Click() {
    closeTable();
    terminate();
}

void TFCOMM::closeEvent(QCloseEvent* event) {
    // The close box ends the program without asking.
    event->accept();
    terminate();
}

bool TFCOMM::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease &&
        (watched == row_->TimeH() || watched == row_->TimeM() || watched == row_->TimeS()))
        TimeHKeyUp();
    else if (event->type() == QEvent::FocusOut && watched == row_->RecallCheck())
        RecallCheckExit();
    return QMainWindow::eventFilter(watched, event);
}

// --- the meter's bytes and the LCD mirror ---------------------------------------------------

void TFCOMM::serialReceived(const std::uint8_t* data, int size) {
    if (!serialFamily_ || size <= 0) return; // no receive handler bound: the bytes go nowhere
    serialFamily_->serial(meter, data, size);
    redrawLcd();
}

void TFCOMM::redrawLcd() {
    if (meter.counts.decoded != decodedSeen_) {
        decodedSeen_ = meter.counts.decoded;
        emit readingDecoded();
    }
    const IndicatorSet& lcd = meter.lcd;
    lcd_->apply(lcd);
    limits_->showLink(lcd.on(Ind::CONok), lcd.on(Ind::CONokN));
    link_->showAdapterTexts(QString::fromStdString(meter.diag.USBtxt),
                            QString::fromStdString(meter.diag.USBtxt1));

    // The hidden diagnostic lists follow their bounded stores.
    static_assert(kDiagnosticLines > 0);
    auto follow = [](const BoundedLines& lines, std::uint64_t& seen, auto&& append) {
        const std::uint64_t fresh = lines.added() - seen;
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::uint64_t>(fresh, static_cast<std::uint64_t>(lines.size())));
        for (std::size_t i = lines.size() - n; i < lines.size(); ++i)
            append(QString::fromStdString(lines.at(i)));
        seen = lines.added();
    };
    follow(meter.diag.Memo1, memoSeen_,
           [this](const QString& line) { link_->Memo1()->appendPlainText(line); });
    showHistory();
}

// --- the recording pipeline -----------------------------------------------------------------

namespace {

// The window's own output: rowRecorded for each recorded row.
class RowSignal : public ReadingSink {
public:
    explicit RowSignal(std::function<void(int)> recorded) : recorded_(std::move(recorded)) {}
    void rowRecorded(const RecordedRow& row) override { recorded_(row.index); }

private:
    std::function<void(int)> recorded_;
};

} // namespace

void TFCOMM::createPipeline() {
    controls_ = std::make_unique<WindowControls>(*limits_, *row_);
    display_ = std::make_unique<WindowDisplay>(*chartPanel_, *limits_);
    pipeline_ =
        std::make_unique<ReadingPipeline>(meter, *controls_, PipelineOptions{}, display_.get());
    pipeline_->recorder().setRecordLimit(kDefaultRecordLimit);
    rowSignal_ = std::make_unique<RowSignal>([this](int row) { emit rowRecorded(row); });
    pipeline_->addSink(rowSignal_.get());
    statistics_ = std::make_unique<StatisticsSink>();
    pipeline_->addSink(statistics_.get());
    chartRows_ = std::make_unique<ChartRows>();
    pipeline_->addSink(chartRows_.get());
    watchTrigger();
    createAlarms();
}

LcdPanel& TFCOMM::Panel1() {
    return lcd_->Panel1();
}

void TFCOMM::setLinkNote(const QString& source, const QString& note) {
    auto it = std::find_if(linkNotes_.begin(), linkNotes_.end(),
                           [&](const auto& entry) { return entry.first == source; });
    if (it == linkNotes_.end()) it = linkNotes_.insert(linkNotes_.end(), {source, QString()});
    it->second = note;
    QStringList lines;
    for (const auto& entry : linkNotes_)
        if (!entry.second.isEmpty()) lines << entry.second;
    limits_->setLinkNote(lines.join(QLatin1Char('\n')));
}

void TFCOMM::flushGrid() {
    gridModel_->flush();
}

} // namespace dmm::app
