// The main window `FCOMM`: the LCD mirror, the limit judge panel, the readings grid, the trend
// chart with its pager, and the connection control of the meter link. It owns everything for
// the run of the program: the meter's protocol state, the serial port driver `COMM2`, the
// readings table `cds1` with its recorder, the pager and the timers.
//
// Handlers are named after their control and event. Every modal question goes through the
// Dialogs given at construction, so the window can be driven with scripted answers.
#pragma once

#include "Controls.h"
#include "Dialogs.h"
#include "uCharControl.h"

#include "DataFiles.h"
#include "JournalFormat.h"
#include "Meter.h"
#include "MeterFamily.h"
#include "ReadingPipeline.h"
#include "RecordingJournal.h"
#include "StatisticsSink.h"
#include "UsbAdapter.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QTimer;
class TCommPortDriver;

namespace dmm::app {

class ChartArea;
class ChartRows;
class StatisticsWindow;
class AlarmsDialog;
class WindowAlarms;
class ChartPanel;
class GridModel;
class LcdMirror;
class LcdPanel;
class LimitPanel;
class LinkControl;
class RecordingRow;

inline constexpr const char* kVersion = "3.00";

class TFCOMM : public QMainWindow {
    Q_OBJECT
public:
    // `dialogs` answers every modal question (not owned); null: the real message boxes.
    // `hid` lists the HID devices (not owned); null: the system's.
    explicit TFCOMM(Dialogs* dialogs = nullptr, HidPlatform* hid = nullptr,
                    QWidget* parent = nullptr);
    ~TFCOMM() override;

    // --- start-up, variants, connection control ---
    void FormCreate();
    // Offers back a recording an earlier run did not save, then journals this one's (the
    // program does this before it shows the window; a window made without it keeps no journal).
    void startJournal();
    void FormResize();
    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void COMConClick();
    void BTCon1Click();
    void BtDiscon1Click();
    void BitBtn1Click();
    void BtExit1Click();
    void ConTimerTimer();

    // --- USB adapter (the device list, the history list and the reading of reports are the
    // UsbAdapter's; these handlers bind its outcomes to the window's controls)
    void USBConClick();
    void ReadBtnClick();
    void SetFeatureClick();
    void ClearBtnClick();
    void InfoBtnClick();

    // --- chart ---
    void btFillClick();
    void FillClick();
    void ComboBox1Change();
    void BtNewClick();
    void TbFdClick();
    void BtSaveClick();
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void Timer2Timer();
    void Timer5Timer();
    void Timer6Timer();

    // --- recording, data files, report ---
    void RecordNewClick();
    void RecordLimitClick(QAction* item);
    void RecordSIClick();
    void RecordSITimeChange();
    void Timer1Timer();
    void saveasClick();
    void SpeedButton2Click();
    void BtPrintClick();
    // "Tools" -> "Statistics...": the statistics window beside this one.
    void StatisticsClick();
    void RecordingTriggerClick();
    // What "Recording start and stop..." sets (also for tests, without the dialog).
    void setTrigger(const TriggerSettings& settings);
    // "Tools" -> "Alarms...": the alarms' window beside this one.
    void AlarmsClick();

    // --- limit judge and recall panel ---
    void Timer3Timer();
    void Timer4Timer();
    void RecallCheckClick();
    void RecallCheckExit();
    void TimeHKeyUp();

    // --- the meter's bytes ---
    // One chunk from the serial port driver, through the receive handler the variant bound
    // (none with IFQV31 clear: the bytes go nowhere).
    void serialReceived(const std::uint8_t* data, int size);
    // Shows the LCD mirror, the bar graph, the link images and the extremes as the meter's
    // state has them.
    void redrawLcd();

    // State.
    Meter meter;
    int SelectedPort = 1;
    // The HID device of the USB link, or none.
    TJvHidDevice* SelectedDevice() const { return usb_ ? usb_->SelectedDevice() : nullptr; }
    // Null when the HID device controller could not be created.
    UsbAdapter* usbAdapter() { return usb_.get(); }
    QString LocaleDecimalSeparator;
    bool terminated() const { return terminated_; }
    // The window's outer size, frame included, as the layout counts it.
    QSize outerSize() const;

    TChartControl& pager();
    // The road from decoded frames to recorded rows; outputs attach to it as sinks.
    ReadingPipeline& pipeline() { return *pipeline_; }
    ReadingsTable& cds1() { return pipeline_->table(); }
    // The alarms of "Tools" -> "Alarms..."; made by FormCreate.
    WindowAlarms& alarms() { return *alarms_; }
    // Hands the grid the rows it has not been shown yet (it takes new rows in batches).
    void flushGrid();
    Recorder& recorder() { return pipeline_->recorder(); }
    RecallClock& recallClock() { return pipeline_->recallClock(); }
    TCommPortDriver& COMM2() { return *comm2_; }
    ChartArea& Chtshow();
    LcdPanel& Panel1();

    // A text added under the link images' tooltip (an output beside the window says how it
    // fares there); empty: none. Each output keeps its own line under its own `source`, so that
    // one output's news never overwrites another's; the lines show in the order of their first
    // note.
    void setLinkNote(const QString& source, const QString& note);

signals:
    // Frames were decoded since the last redraw: the newest one's reading is in
    // `meter.reading`, whether or not it gets recorded.
    void readingDecoded();
    // Row `row` of the readings table was just appended.
    void rowRecorded(int row);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // TimeHKeyUp on a key release in a start-time field, RecallCheckExit when the check box
    // loses the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildGraphicMenu(QMenuBar* bar);
    void buildRecordMenu(QMenuBar* bar);
    void buildToolsMenu(QMenuBar* bar);
    void buildTriggerItem(QMenu* tools);
    void watchTrigger();
    void connectLinkHandlers();
    void connectChartHandlers();
    void connectRecordingHandlers();
    void buildTimers();
    void connectHandlers();
    // Keyboard focus: only the controls in sight take it, and Tab walks them in reading order.
    void settleFocusOrder();
    void applyFocusPolicies();

    void selectPort(int n);
    void createPipeline();
    void createAlarms();
    void showAlarms();
    bool askToRestore(int rows, const JournalSummary& summary);
    void restoreRecording(ReadingsTable& rows, const RecorderState& state);
    void journalNotProtected(const QString& why);
    void ShowSeries(int index);
    void showPage(int page);
    void connectSequence();    // steps 1 to 4 of a COM connect
    void disconnectSequence(); // steps 1 to 4 of a COM disconnect
    void releaseUsbCon();
    void terminate();
    void closeTable();
    QString portTooltip(int n) const;
    // Runs a load or save of the readings table with a progress window, the grid frozen and
    // the event loop turning (so the window repaints and the links keep being read), the
    // user's input held back, and readings offered to the table meanwhile held and recorded
    // in order once the file is done.
    FileResult runFileOperation(const QString& label, bool cancellable,
                                const std::function<FileResult(const LoadProgressFn&)>& operation);

    Dialogs* dialogs_;
    std::unique_ptr<Dialogs> ownDialogs_;
    // The regions of the client area, each with its controls; before everything that may
    // reach them while it is destroyed.
    QWidget* client_ = nullptr;
    std::unique_ptr<LinkControl> link_;
    std::unique_ptr<LcdMirror> lcd_;
    std::unique_ptr<RecordingRow> row_;
    std::unique_ptr<LimitPanel> limits_;
    std::vector<std::pair<QString, QString>> linkNotes_; // source, note
    std::unique_ptr<ChartPanel> chartPanel_;
    std::unique_ptr<RecordingControls> controls_;
    std::unique_ptr<PipelineDisplay> display_;
    std::unique_ptr<ReadingPipeline> pipeline_;
    std::unique_ptr<ReadingSink> rowSignal_;
    std::unique_ptr<StatisticsSink> statistics_;
    std::unique_ptr<ChartRows> chartRows_;
    std::unique_ptr<GridModel> gridModel_;      // after the table: destroyed before it
    std::unique_ptr<RecordingJournal> journal_; // after the recorder it reads
    bool journalWarned_ = false;
    // "Tools" -> "Statistics...", made when first asked for; after what it reads.
    std::unique_ptr<StatisticsWindow> statisticsWindow_;
    // The alarms, attached to the pipeline (before it goes), and their window.
    std::unique_ptr<WindowAlarms> alarms_;
    std::unique_ptr<AlarmsDialog> alarmsDialog_;
    TCommPortDriver* comm2_ = nullptr;
    const MeterFamily* serialFamily_ = nullptr; // the family the variant binds to COMM2
    class UsbView;
    friend class UsbView;
    std::unique_ptr<UsbView> usbView_;
    std::unique_ptr<UsbAdapter> usb_;
    bool fillingDevList_ = false;
    void startUsb(HidPlatform* hid);
    void showDeviceList();
    void showHistory();
    void showUsbDisconnected();
    bool terminated_ = false;
    QString lastOpenName_;
    std::uint64_t memoSeen_ = 0;
    std::uint64_t historySeen_ = 0;
    std::uint64_t decodedSeen_ = 0;
    // The controls that Tab walks, in order, with the focus policy each takes while in sight.
    std::vector<std::pair<QWidget*, Qt::FocusPolicy>> focusOrder_;

    // Menus.
    QMenu* ComSetup1 = nullptr;
    std::array<QAction*, 4> COM{}; // COM11..COM41
    QAction* START1 = nullptr;
    QAction* STOP1 = nullptr;
    QAction* First = nullptr;
    QAction* Previous = nullptr;
    QAction* Next = nullptr;
    QAction* Last = nullptr;
    QAction* New = nullptr;
    QAction* Save = nullptr;
    QAction* Fill = nullptr;
    QAction* New1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* Statistics1 = nullptr;
    QAction* RecordingTrigger1 = nullptr;
    QAction* Alarms1 = nullptr;
    QList<QAction*> recordLimitActions_;

    // Timers.
    QTimer* ConTimer = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;
    QTimer* Timer4 = nullptr;
    QTimer* Timer5 = nullptr;
    QTimer* Timer6 = nullptr;
};

} // namespace dmm::app
