#include "ReportDocument.h"

#include "Dialogs.h"
#include "Report.h"

#include <QCoreApplication>
#include <QPrinter>

namespace dmm::app {

ReportDocument::ReportDocument(const ReadingsTable& table, Dialogs& dialogs, QWidget* parent)
    : table_(table), dialogs_(dialogs), parent_(parent), rows_(table.size()) {}

int ReportDocument::pageCount() const {
    return reportPageCount(rows_);
}

QPageLayout ReportDocument::pageLayout() const {
    return reportPageLayout();
}

void ReportDocument::paintPage(QPainter& painter, int page) const {
    paintReportPage(painter, table_, rows_, page);
}

void ReportDocument::print(QPrinter& printer) {
    bool reported = false;
    const ReportProgressFn progress = [&](int done, int pages) {
        reported = true;
        const bool go = dialogs_.printProgress(parent_, done, pages);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return go;
    };
    ReportPrint result;
    const bool toPdf =
        printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty();
    if (toPdf) {
        result = printReportToPdfFile(table_, rows_, printer.outputFileName(), progress);
    } else {
        result = printReport(table_, rows_, printer, progress);
        if (!result.error.isEmpty())
            result.error = QStringLiteral("Could not print the report: ") + result.error;
    }
    if (reported) dialogs_.printProgressDone();
    if (!result.error.isEmpty())
        dialogs_.message(parent_, QStringLiteral("Error"), result.error, MsgIcon::Error,
                         static_cast<unsigned>(MsgButton::Ok));
}

} // namespace dmm::app
