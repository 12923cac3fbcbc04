#include "Report.h"
#include "TestSupport.h"

#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace dmm {
namespace {

using test::makeRow;

TEST(Report, PageCount) {
    const std::pair<int, int> cases[] = {{0, 0},  {1, 1},  {36, 1}, {37, 1},
                                         {38, 2}, {74, 2}, {75, 3}, {10000, 271}};
    for (auto [rows, pages] : cases) EXPECT_EQ(reportPageCount(rows), pages) << rows;
}

// The text pdftotext finds on each page of the PDF.
QStringList pdfPages(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        ADD_FAILURE() << "pdftotext failed";
        return {};
    }
    QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

TEST(Report, EveryPageCarriesHeaderCaptionsAndFooter) {
    test::ensureApp();
    ReadingsTable t;
    for (int i = 1; i <= 80; ++i)
        t.append(makeRow(i, "10:00:00", i % 2 ? "DC" : "AC", QByteArray::number(i * 11).constData(),
                         i == 40 ? "k*" : (i == 41 ? "#" : "mV"), i % 3 ? "pass" : "", i));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    ASSERT_EQ(paintReport(t, printer), 3);
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
    EXPECT_NEAR(printer.pageLayout().margins(QPageLayout::Millimeter).left(), 10.0, 0.01);

    const QStringList pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 3);
    for (const QString& page : pages) {
        EXPECT_TRUE(page.contains(QStringLiteral("Test Data")));
        for (const char* caption : {"No", "Time", "DC/AC", "Value", "Unit", "AUTO"})
            EXPECT_TRUE(page.contains(QLatin1String(caption))) << caption;
        EXPECT_TRUE(page.contains(QStringLiteral("The Data Print Foot")));
        // Header first, footer last.
        EXPECT_LT(page.indexOf(QStringLiteral("Test Data")), page.indexOf(QStringLiteral("AUTO")));
        EXPECT_EQ(page.trimmed().split(QLatin1Char('\n')).last().trimmed(),
                  QStringLiteral("The Data Print Foot"));
    }
    // 37 rows a page, in order; nval is not printed; units as symbols.
    EXPECT_TRUE(
        pages[0].contains(QRegularExpression(QStringLiteral("\\b37\\s+10:00:00\\s+DC\\s+407\\b"))));
    EXPECT_FALSE(pages[0].contains(QRegularExpression(QStringLiteral("\\b38\\s+10:00:00"))));
    EXPECT_TRUE(
        pages[1].contains(QRegularExpression(QStringLiteral("\\b38\\s+10:00:00\\s+AC\\s+418"))));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("k\u03a9")));
    EXPECT_TRUE(pages[1].contains(QStringLiteral("\u00b0C")));
    EXPECT_FALSE(pages[1].contains(QStringLiteral("k*")));
    EXPECT_TRUE(pages[2].contains(
        QRegularExpression(QStringLiteral("\\b80\\s+10:00:00\\s+AC\\s+880\\s+mV\\s+pass"))));
}

TEST(Report, EmptyTablePaintsNoPageAndWritesNoFile) {
    test::ensureApp();
    ReadingsTable t;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("empty.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    EXPECT_EQ(paintReport(t, printer), 0);
    EXPECT_FALSE(QFile::exists(pdf));
}

} // namespace
} // namespace dmm
