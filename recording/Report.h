// The printed report of the readings table: a banded list on A4 portrait pages with 10 mm
// margins, every page carrying the page header "Test Data", the column captions and the page
// footer "The Data Print Foot", with one detail band per row between them.
//
// Bands (heights, and positions from the band's top left corner, in millimetres):
//   page header   10.58  "Test Data" centred, top 2.12
//   column header 10.58  captions at top 4.23: No 8.47, Time 33.87, DC/AC 64.29, Value 99.48,
//                        Unit 132.29, AUTO 162.98
//   detail         6.61  fields at top 2.12: no 8.47, time 33.87, dc/ac 65.62, value 99.48,
//                        unit 131.23, auto 162.98
//   page footer   10.58  "The Data Print Foot" at left 8.47, top 4.23; at the foot of the page
// That leaves room for 37 detail bands per page. The report font is the LCD annunciator font,
// which the system does not have: a plain sans font at 10 points stands in for it, and units are
// drawn as their symbols (unitSymbols()). The caption "DC/AC" and the fields no, time, dc/ac and
// value are Arial 10 points (or its metric twin). `nval` is not printed.
//
// Every page is drawn by paintReportPage() alone, from the table: the preview draws the pages it
// shows and printing draws them one after the other, through the same function, so a preview
// page is the printed page. A report covers the first `rows` rows of the table: the rows present
// when it was asked for (rows recorded later are not in it; the table only appends, so those
// rows do not change meanwhile).
#pragma once

#include "ReadingsTable.h"

#include <QPageLayout>
#include <QString>

#include <functional>

class QIODevice;
class QPagedPaintDevice;
class QPainter;

namespace dmm {

inline constexpr int kReportRowsPerPage = 37;

// Pages the report takes for `rows` rows: none for an empty table.
int reportPageCount(int rows);

// A4 portrait with 10 mm margins, in millimetres.
QPageLayout reportPageLayout();
// Sets that layout on the device (a QPrinter before its preview opens).
void applyReportPageLayout(QPagedPaintDevice& device);

// Paints page `page` (0-based) of the report over the first `rows` rows. The painter's origin is
// the top left corner of the printable area (inside the margins) and its device's logical
// resolution gives the scale; nothing is drawn outside the printable area, and the background is
// left as it is.
void paintReportPage(QPainter& painter, const ReadingsTable& table, int rows, int page);

// Called after each printed page with the pages done and the whole; false cancels the print.
using ReportProgressFn = std::function<bool(int pagesDone, int pages)>;

struct ReportPrint {
    int pages = 0;          // pages printed
    bool cancelled = false; // the progress function said stop
    QString error;          // empty on success (and on cancel)
};

// The print loop: paints page after page onto the painter (its origin at the printable area's
// top left), calling `newPage` between two pages to turn to a fresh one (false stops the print
// with an error) and `progress` after each. printReport() runs it on a paged device; it runs
// just as well onto a picture of one page at a time.
ReportPrint printReportPages(const ReadingsTable& table, int rows, QPainter& painter,
                             const std::function<bool()>& newPage,
                             const ReportProgressFn& progress = {});

// Prints the report over the first `rows` rows: applies the page layout and paints page after
// page onto the device, nothing held but the page being painted. An empty report paints
// nothing, so a PDF printer writes no file. A cancelled print to a QPrinter is aborted as far as
// the printer allows (Qt's own printers may still send the pages painted so far).
ReportPrint printReport(const ReadingsTable& table, int rows, QPagedPaintDevice& device,
                        const ReportProgressFn& progress = {});

// The report as a PDF document written to `out` (open for writing) page by page, at 1200 dpi.
// The device is checked after the last page: QPainter and the PDF writer report no write error
// by themselves.
ReportPrint writeReportPdf(const ReadingsTable& table, int rows, QIODevice& out,
                           const ReportProgressFn& progress = {});

// The report as the PDF file `fileName`, replaced atomically: a failed write or a cancel leaves
// the old file as it was and no partial file. An empty report writes no file. On failure
// `error` reads "Could not print the report to <file>: <reason>".
ReportPrint printReportToPdfFile(const ReadingsTable& table, int rows, const QString& fileName,
                                 const ReportProgressFn& progress = {});

} // namespace dmm
