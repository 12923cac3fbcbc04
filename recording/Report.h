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
// Use it from QPrintPreviewDialog::paintRequested(QPrinter*) or with a QPrinter set to
// QPrinter::PdfFormat. The rows are read as they are when painting starts.
#pragma once

#include "ReadingsTable.h"

class QPagedPaintDevice;

namespace dmm {

inline constexpr int kReportRowsPerPage = 37;

// Pages the report takes for `rows` rows: none for an empty table.
int reportPageCount(int rows);

// Sets A4 portrait and 10 mm margins on the device (a QPrinter before its preview opens).
void applyReportPageLayout(QPagedPaintDevice& device);

// Applies the page layout and paints the report onto the device. Returns the number of pages
// painted; an empty table paints nothing, so a PDF printer writes no file.
int paintReport(const ReadingsTable& table, QPagedPaintDevice& device);

} // namespace dmm
