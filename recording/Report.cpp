#include "Report.h"

#include "UnitSymbols.h"

#include <QFont>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

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

void applyReportPageLayout(QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
}

int paintReport(const ReadingsTable& table, QPagedPaintDevice& device) {
    const int rows = table.size();
    const int pages = reportPageCount(rows);
    if (pages == 0) return 0;
    applyReportPageLayout(device);
    QPainter p;
    if (!p.begin(&device)) return 0;
    // The painter starts at the top left of the printable area; positions are in millimetres.
    const double pxPerMm = device.logicalDpiY() / 25.4;
    const double pxPerMmX = device.logicalDpiX() / 25.4;
    const double widthMm = 210.0 - 2 * kMarginMm;
    auto rect = [&](double leftMm, double topMm, double wMm, double hMm) {
        return QRectF(leftMm * pxPerMmX, topMm * pxPerMm, wMm * pxPerMmX, hMm * pxPerMm);
    };
    auto label = [&](double leftMm, double topMm, const QString& text, const QFont& font) {
        p.setFont(font);
        p.drawText(rect(leftMm, topMm, widthMm - leftMm, kBandMm),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    };
    const QFont report = reportFont();
    const QFont arial = arialFont();
    p.setPen(Qt::black);

    int row = 0;
    for (int page = 0; page < pages; ++page) {
        if (page > 0) device.newPage();
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
        for (int i = 0; i < kReportRowsPerPage && row < rows; ++i, ++row, top += kDetailMm) {
            for (const Column& c : kColumns) {
                const bool annunciator = c.field == Field::Unit || c.field == Field::Auto;
                QString text = table.text(row, c.field);
                if (c.field == Field::Unit) text = unitSymbols(text);
                label(c.fieldLeft, top + 2.12, text, annunciator ? report : arial);
            }
        }
        // Page footer, at the foot of the page.
        label(8.47, kPrintableMm - kBandMm + 4.23, QStringLiteral("The Data Print Foot"), report);
    }
    p.end();
    return pages;
}

} // namespace dmm
