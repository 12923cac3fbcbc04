#include "Report.h"

#include "UnitSymbols.h"

#include <QDir>
#include <QFileDevice>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace dmm {

namespace {
constexpr double kMarginMm = 10.0;
constexpr double kBandMm = 10.58; // page header, column header, page footer
constexpr double kDetailMm = 6.61;
constexpr double kPrintableMm = 297.0 - 2 * kMarginMm;

struct Column {
    const char* caption;
    double captionLeft;
    double fieldLeft;
    Field field;
};
constexpr Column kColumns[] = {
    {"No", 8.47, 8.47, Field::No},         {"Time", 33.87, 33.87, Field::Time},
    {"DC/AC", 64.29, 65.62, Field::DcAc},  {"Value", 99.48, 99.48, Field::Value},
    {"Unit", 132.29, 131.23, Field::Unit}, {"AUTO", 162.98, 162.98, Field::Auto},
};

// The annunciator font the report names is not on the system; a plain sans font with the
// unit symbols stands in.
QFont reportFont() {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    f.setPointSizeF(10);
    return f;
}

QFont arialFont() {
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("DejaVu Sans")});
    f.setPointSizeF(10);
    return f;
}
} // namespace

int reportPageCount(int rows) {
    return rows <= 0 ? 0 : (rows + kReportRowsPerPage - 1) / kReportRowsPerPage;
}

QPageLayout reportPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                       QPageLayout::Millimeter);
}

void applyReportPageLayout(QPagedPaintDevice& device) {
    device.setPageLayout(reportPageLayout());
}

void paintReportPage(QPainter& p, const ReadingsTable& table, int rows, int page) {
    rows = std::min(rows, table.size());
    // Positions are in millimetres from the top left of the printable area.
    const QPaintDevice* device = p.device();
    const double pxPerMm = device->logicalDpiY() / 25.4;
    const double pxPerMmX = device->logicalDpiX() / 25.4;
    const double widthMm = 210.0 - 2 * kMarginMm;
    auto rect = [&](double leftMm, double topMm, double wMm, double hMm) {
        return QRectF(leftMm * pxPerMmX, topMm * pxPerMm, wMm * pxPerMmX, hMm * pxPerMm);
    };
    const QFont report = reportFont();
    const QFont arial = arialFont();
    // A label's top is its text's top: the baseline lies one ascent below. Drawing at the
    // baseline spares the text layout that a rectangle with alignment flags costs, which is
    // most of a page's time over tens of thousands of pages.
    const double reportAscent = QFontMetricsF(report, device).ascent();
    const double arialAscent = QFontMetricsF(arial, device).ascent();
    auto label = [&](double leftMm, double topMm, const QString& text, const QFont& font) {
        if (text.isEmpty()) return;
        const bool isReport = &font == &report;
        if (p.font() != font) p.setFont(font);
        p.drawText(
            QPointF(leftMm * pxPerMmX, topMm * pxPerMm + (isReport ? reportAscent : arialAscent)),
            text);
    };
    p.save();
    p.setPen(Qt::black);
    // Page header.
    p.setFont(report);
    p.drawText(rect(0, 2.12, widthMm, kBandMm - 2.12), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("Test Data"));
    // Column header.
    for (const Column& c : kColumns)
        label(c.captionLeft, kBandMm + 4.23, QString::fromLatin1(c.caption),
              c.field == Field::DcAc ? arial : report);
    // Detail bands.
    double top = 2 * kBandMm;
    const int first = page * kReportRowsPerPage;
    for (int row = first; row < first + kReportRowsPerPage && row < rows; ++row, top += kDetailMm) {
        for (const Column& c : kColumns) {
            const bool annunciator = c.field == Field::Unit || c.field == Field::Auto;
            QString text = table.text(row, c.field);
            if (c.field == Field::Unit) text = unitSymbols(text);
            label(c.fieldLeft, top + 2.12, text, annunciator ? report : arial);
        }
    }
    // Page footer, at the foot of the page.
    label(8.47, kPrintableMm - kBandMm + 4.23, QStringLiteral("The Data Print Foot"), report);
    p.restore();
}

ReportPrint printReportPages(const ReadingsTable& table, int rows, QPainter& painter,
                             const std::function<bool()>& newPage,
                             const ReportProgressFn& progress) {
    ReportPrint result;
    const int pages = reportPageCount(std::min(rows, table.size()));
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !newPage()) {
            result.error = QStringLiteral("the printer could not start a new page");
            break;
        }
        paintReportPage(painter, table, rows, page);
        result.pages = page + 1;
        // A cancel after the last page comes too late to matter.
        if (progress && !progress(page + 1, pages) && page + 1 < pages) {
            result.cancelled = true;
            break;
        }
    }
    return result;
}

ReportPrint printReport(const ReadingsTable& table, int rows, QPagedPaintDevice& device,
                        const ReportProgressFn& progress) {
    if (reportPageCount(std::min(rows, table.size())) == 0) return {};
    applyReportPageLayout(device);
    QPainter p;
    if (!p.begin(&device)) {
        ReportPrint failed;
        failed.error = QStringLiteral("the printer could not start");
        return failed;
    }
    ReportPrint result = printReportPages(
        table, rows, p, [&device] { return device.newPage(); }, progress);
    p.end();
    return result;
}

ReportPrint writeReportPdf(const ReadingsTable& table, int rows, QIODevice& out,
                           const ReportProgressFn& progress) {
    QPdfWriter writer(&out);
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("dmm-interface"));
    ReportPrint result = printReport(table, rows, writer, progress);
    // The writer ignores failed writes; the device remembers them (QFileDevice::error, or a
    // device that closed under the writer).
    if (result.error.isEmpty() && result.pages > 0) {
        const auto* file = qobject_cast<const QFileDevice*>(&out);
        if ((file && file->error() != QFileDevice::NoError) || !out.isOpen())
            result.error = out.errorString();
    }
    return result;
}

ReportPrint printReportToPdfFile(const ReadingsTable& table, int rows, const QString& fileName,
                                 const ReportProgressFn& progress) {
    if (reportPageCount(std::min(rows, table.size())) == 0) return {};
    QSaveFile file(fileName);
    ReportPrint result;
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
    } else {
        result = writeReportPdf(table, rows, file, progress);
        if (result.error.isEmpty() && !result.cancelled && !file.commit())
            result.error = file.errorString();
        if (!result.error.isEmpty() || result.cancelled) file.cancelWriting();
    }
    if (!result.error.isEmpty()) {
        result.pages = 0;
        result.error = QStringLiteral("Could not print the report to %1: %2")
                           .arg(QDir::toNativeSeparators(fileName), result.error);
    }
    return result;
}

} // namespace dmm
