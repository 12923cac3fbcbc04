// Recording: clearing, the record limit menu, the sampling interval, the data files, the
// printed report, the limit judge's fields and the recall panel.
#include "QV31F.h"

#include "ChartPanel.h"
#include "ClickPanel.h"
#include "DataFiles.h"
#include "ImageButton.h"
#include "KeyFilter.h"
#include "LcdMirror.h"
#include "LimitPanel.h"
#include "LinkControl.h"
#include "RecordingRow.h"
#include "ReportDocument.h"
#include "StatisticsWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>

#include <utility>

namespace dmm::app {

namespace {

const char* const kDataFilter = "Excel File(*.xls)|*.xls|Txt File(*.txt)|*.txt";

// The save dialog's filters, in the order offered, with the extension a name typed without one
// takes when the filter is selected. The first is also the extension when nothing else says.
struct SaveType {
    const char* filter;
    const char* extension;
};
constexpr SaveType kSaveTypes[] = {
    {"Excel File(*.xls)", "xls"},
    {"Txt File(*.txt)", "txt"},
    {"CSV File(*.csv)", "csv"},
};

QString saveFilter() {
    QStringList parts;
    for (const SaveType& t : kSaveTypes)
        parts << QLatin1String(t.filter) << QStringLiteral("*.") + QLatin1String(t.extension);
    return parts.join(QLatin1Char('|'));
}

// A name's own extension decides the format; a name without one takes the selected filter's.
QString withSaveExtension(const QString& name, const QString& selectedFilter) {
    if (!QFileInfo(name).suffix().isEmpty()) return name;
    const SaveType* type = &kSaveTypes[0];
    for (const SaveType& t : kSaveTypes)
        if (selectedFilter == QLatin1String(t.filter)) type = &t;
    return name + QLatin1Char('.') + QLatin1String(type->extension);
}

// The grid does not redraw while a file operation or the report walks the table.
class FrozenGrid {
public:
    explicit FrozenGrid(QWidget* grid) : grid_(grid) { grid_->setUpdatesEnabled(false); }
    ~FrozenGrid() { grid_->setUpdatesEnabled(true); }
    FrozenGrid(const FrozenGrid&) = delete;
    FrozenGrid& operator=(const FrozenGrid&) = delete;

private:
    QWidget* grid_;
};

void showFileMessage(Dialogs& dialogs, QWidget* parent, const FileResult& result) {
    if (!result.message) return;
    const FileMessage& m = *result.message;
    dialogs.message(parent, m.caption, m.text,
                    m.icon == FileMessage::Icon::Error ? MsgIcon::Error : MsgIcon::Information,
                    static_cast<unsigned>(MsgButton::Ok));
}

} // namespace

void TFCOMM::RecordNewClick() {
    const MsgButton answer =
        dialogs_->message(this, QStringLiteral("Information"), QLatin1String(kClearDataQuestion),
                          MsgIcon::Information, MsgButton::Yes | MsgButton::No);
    if (answer != MsgButton::Yes) return;
    showPage(pager().ClearChart());
    pipeline_->clear();
}

void TFCOMM::RecordLimitClick(QAction* item) {
    recorder().setRecordLimit(item->data().toInt());
    for (QAction* a : recordLimitActions_) a->setChecked(a == item);
}

void TFCOMM::RecordSIClick() {
    if (row_->RecordSI()->isChecked())
        Timer1->start();
    else
        Timer1->stop();
}

void TFCOMM::RecordSITimeChange() {
    const SamplingInterval si = dmm::RecordSITimeChange(row_->RecordSITime()->text());
    if (row_->RecordSITime()->text() != si.text) row_->RecordSITime()->setText(si.text);
    if (Timer1->interval() != si.intervalMs) Timer1->setInterval(si.intervalMs);
}

void TFCOMM::Timer1Timer() {
    pipeline_->offerSample();
}

void TFCOMM::saveasClick() {
    FileDialogSpec spec;
    spec.title = QStringLiteral("Save As");
    spec.filter = saveFilter();
    spec.defaultSuffix = QLatin1String(kSaveTypes[0].extension);
    spec.fileName.clear(); // cleared each time before the dialog opens
    spec.confirmOverwrite = true;
    const FileChoice choice = dialogs_->saveFile(this, spec);
    if (choice.fileName.isEmpty()) return;
    const QString name = withSaveExtension(choice.fileName, choice.selectedFilter);
    const FileResult result = runFileOperation(
        QStringLiteral("Saving %1").arg(QFileInfo(name).fileName()), false,
        [&](const LoadProgressFn& progress) {
            return saveTableToFile(cds1(), name, [&](std::int64_t done, std::int64_t total) {
                progress(done, total);
            });
        });
    if (result.ok) pipeline_->tableSaved(name);
    showFileMessage(*dialogs_, this, result);
}

void TFCOMM::SpeedButton2Click() {
    FileDialogSpec spec;
    spec.title = QStringLiteral("Open");
    spec.filter = QLatin1String(kDataFilter);
    spec.fileName = lastOpenName_; // the last chosen name again
    spec.confirmOverwrite = false;
    const QString name = dialogs_->openFile(this, spec);
    if (name.isEmpty()) return;
    lastOpenName_ = name;
    const int before = cds1().size();
    const FileResult result =
        runFileOperation(QStringLiteral("Loading %1").arg(QFileInfo(name).fileName()), true,
                         [&](const LoadProgressFn& progress) {
                             return loadTableFromFile(name, cds1(), false, progress);
                         });
    // An XML file replaces the table, a text file appends to it.
    const bool replaced = result.ok && isXmlTableFileName(name);
    if (replaced || cds1().size() != before) pipeline_->tableLoaded(replaced ? 0 : before);
    showFileMessage(*dialogs_, this, result);
}

FileResult
TFCOMM::runFileOperation(const QString& label, bool cancellable,
                         const std::function<FileResult(const LoadProgressFn&)>& operation) {
    // The window stays alive while a large file is read or written: every tenth of a second the
    // progress window is updated and the event loop turns once, leaving out the user's input (it
    // waits until the file is done, as it would in a busy program) but for the progress
    // window's Cancel button. Readings that the turning loop decodes are held by the pipeline,
    // so no row lands in the middle of a file's rows. The progress window appears once the
    // operation has taken half a second.
    QElapsedTimer sinceTurn;
    bool reported = false;
    bool goOn = true;
    const LoadProgressFn progress = [&](std::int64_t done, std::int64_t total) {
        if (!goOn) return false;
        if (!reported && done >= total)
            return true; // done before its first report: nothing to show
        if (reported && sinceTurn.elapsed() < 100) return true;
        reported = true;
        sinceTurn.restart();
        dialogs_->progress(this, label, done, total, cancellable);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        goOn = !(cancellable && dialogs_->progressCancelled());
        return goOn;
    };
    pipeline_->holdOffers();
    FileResult result;
    {
        FrozenGrid frozen(row_->DBGrid1());
        result = operation(progress);
    }
    if (reported) dialogs_->progressDone();
    pipeline_->releaseOffers(); // before any message box, whose own event loop records new ones
    return result;
}

void TFCOMM::BtPrintClick() {
    FrozenGrid frozen(row_->DBGrid1());
    // The report covers the rows present now; the preview draws its pages as they are shown.
    ReportDocument report(cds1(), *dialogs_, this);
    dialogs_->printPreview(this, QStringLiteral("Print Preview"), report);
}

void TFCOMM::StatisticsClick() {
    if (!statisticsWindow_) {
        statisticsWindow_ =
            std::make_unique<StatisticsWindow>(*statistics_, *chartRows_, cds1(), pager(), this);
        statisticsWindow_->move(frameGeometry().topRight() + QPoint(8, 0));
    }
    statisticsWindow_->show();
    statisticsWindow_->raise();
    statisticsWindow_->refresh();
}

// --- limit judge ----------------------------------------------------------------------------

void TFCOMM::Timer3Timer() {
    const QString text = pipeline_->judge().Timer3Timer(limits_->T1HI()->text());
    if (limits_->T1HI()->text() != text) limits_->T1HI()->setText(text);
    Timer3->stop();
}

void TFCOMM::Timer4Timer() {
    const QString text = pipeline_->judge().Timer4Timer(limits_->T1LO()->text());
    if (limits_->T1LO()->text() != text) limits_->T1LO()->setText(text);
    Timer4->stop();
}

// --- recall panel ---------------------------------------------------------------------------

void TFCOMM::RecallCheckClick() {
    row_->showStartTime(recallClock().RecallCheckClick(row_->RecallCheck()->isChecked()));
}

void TFCOMM::RecallCheckExit() {
    recallClock().RecallCheckExit(row_->startTime());
}

void TFCOMM::TimeHKeyUp() {
    StartTimeFields f = row_->startTime();
    const QStringList messages = recallClock().TimeHKeyUp(f);
    for (const QString& m : messages) dialogs_->inform(this, QStringLiteral("Information"), m);
    row_->showStartTime(f);
}

} // namespace dmm::app
