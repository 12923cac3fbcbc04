#include "Report.h"
#include "FullDisk.h"
#include "TestSupport.h"

#include <QDir>
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
    const ReportPrint printed = printReport(t, t.size(), printer);
    ASSERT_EQ(printed.pages, 3);
    EXPECT_TRUE(printed.error.isEmpty());
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
    EXPECT_EQ(printReport(t, t.size(), printer).pages, 0);
    EXPECT_FALSE(QFile::exists(pdf));
    const ReportPrint file = printReportToPdfFile(t, 0, pdf);
    EXPECT_EQ(file.pages, 0);
    EXPECT_TRUE(file.error.isEmpty());
    EXPECT_FALSE(QFile::exists(pdf));
}

void fillNumbered(ReadingsTable& t, int n) {
    for (int i = 1; i <= n; ++i)
        t.append(makeRow(i, "10:00:00", "DC", QByteArray::number(i).constData(), "V", "pass", i));
}

// The names in a directory, hidden ones included (a temporary file of a failed save).
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

TEST(Report, CoversTheRowsItWasAskedFor) {
    test::ensureApp();
    ReadingsTable t;
    fillNumbered(t, 80);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("first40.pdf"));
    // 40 of 80 rows: two pages, the second ending with row 40.
    const ReportPrint printed = printReportToPdfFile(t, 40, pdf);
    ASSERT_EQ(printed.pages, 2) << printed.error.toStdString();
    const QStringList pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 2);
    EXPECT_TRUE(pages[1].contains(QRegularExpression(QStringLiteral("\\b40\\s+10:00:00"))));
    EXPECT_FALSE(pages[1].contains(QRegularExpression(QStringLiteral("\\b41\\s+10:00:00"))));
}

TEST(Report, ProgressAfterEveryPageAndCancel) {
    test::ensureApp();
    ReadingsTable t;
    fillNumbered(t, 5 * kReportRowsPerPage); // five pages
    struct Case {
        int cancelAfter; // pages; 0: never
        int pages;
        bool cancelled;
    };
    for (const Case c :
         {Case{0, 5, false}, Case{1, 1, true}, Case{3, 3, true}, Case{5, 5, false}}) {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        test::writeFile(pdf, "old report");
        QList<std::pair<int, int>> steps;
        const ReportPrint printed = printReportToPdfFile(t, t.size(), pdf, [&](int done, int all) {
            steps.append({done, all});
            return done != c.cancelAfter;
        });
        EXPECT_EQ(printed.pages, c.pages) << c.cancelAfter;
        EXPECT_EQ(printed.cancelled, c.cancelled) << c.cancelAfter;
        EXPECT_TRUE(printed.error.isEmpty()) << printed.error.toStdString();
        ASSERT_EQ(steps.size(), c.pages);
        for (int i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i], std::make_pair(i + 1, 5));
        // A cancelled print leaves the old file as it was, and nothing else.
        if (c.cancelled)
            EXPECT_EQ(test::readFile(pdf), "old report");
        else
            EXPECT_TRUE(test::readFile(pdf).startsWith("%PDF"));
        EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("r.pdf")});
    }
}

TEST(Report, PdfIntoAMissingFolderFails) {
    test::ensureApp();
    ReadingsTable t;
    fillNumbered(t, 3);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("no/such/folder/r.pdf"));
    const ReportPrint printed = printReportToPdfFile(t, t.size(), pdf);
    EXPECT_EQ(printed.pages, 0);
    EXPECT_TRUE(printed.error.startsWith(QStringLiteral("Could not print the report to ") + pdf +
                                         QStringLiteral(": ")))
        << printed.error.toStdString();
}

TEST(Report, PdfOnAFullDiskFailsAndKeepsTheOldFile) {
    test::ensureApp();
    ReadingsTable t;
    fillNumbered(t, 4000); // some 100 pages, well past 64 KiB
    test::forEachFullDisk(64 * 1024, [&](test::FullDisk& disk) {
        const QString pdf = disk.filePath(QStringLiteral("r.pdf"));
        test::writeFile(pdf, "old report");
        ReportPrint printed;
        {
            test::FullDisk::Scope limited(disk);
            printed = printReportToPdfFile(t, t.size(), pdf);
        }
        EXPECT_EQ(printed.pages, 0);
        EXPECT_TRUE(
            printed.error.startsWith(QStringLiteral("Could not print the report to ") + pdf))
            << printed.error.toStdString();
        test::expectOldFileKept(pdf, "old report");
    });
}

} // namespace
} // namespace dmm
