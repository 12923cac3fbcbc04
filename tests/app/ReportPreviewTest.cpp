// The print preview, offscreen: a page it shows is the page printing draws, pixel for pixel; it
// draws only the page on screen, whatever the page count; paging, the page field, zoom and Print.
#include "ReportPreview.h"
#include "Dialogs.h"
#include "PreviewDocument.h"
#include "ReadingsTable.h"
#include "Report.h"
#include "ReportDocument.h"
#include "ScriptedDialogs.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace dmm;
using namespace dmm::app;

namespace {

void fillRows(ReadingsTable& table, int rows) {
    for (int i = 1; i <= rows; ++i) {
        RowData r;
        r.no = i;
        r.time = QStringLiteral("10:%1:%2")
                     .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                     .arg(i % 60, 2, 10, QLatin1Char('0'));
        r.dcAc = i % 2 ? QStringLiteral("DC") : QStringLiteral("AC");
        r.value = QString::number(i * 1.25, 'f', 3);
        r.unit = i % 3 ? QStringLiteral("k*") : QStringLiteral("mV");
        r.judge = i % 4 ? QStringLiteral("pass") : QStringLiteral("Fail");
        r.nval = i;
        table.append(r);
    }
}

// The report printed through the print loop onto pictures of one page each, at `dpi`, on white
// paper with the painter's origin at the printable area's corner, as a printer has it.
std::vector<QImage> printToImages(const ReadingsTable& table, int rows, int dpi) {
    const QPageLayout layout = reportPageLayout();
    QImage paper(layout.fullRectPixels(dpi).size(), QImage::Format_RGB32);
    paper.setDotsPerMeterX(qRound(dpi / 0.0254));
    paper.setDotsPerMeterY(qRound(dpi / 0.0254));
    paper.fill(Qt::white);
    std::vector<QImage> pages;
    QPainter painter(&paper);
    painter.translate(layout.paintRectPixels(dpi).topLeft());
    const auto turn = [&] {
        pages.push_back(paper.copy());
        painter.save();
        painter.resetTransform();
        painter.fillRect(paper.rect(), Qt::white);
        painter.restore();
        return true;
    };
    const ReportPrint printed = printReportPages(table, rows, painter, turn);
    EXPECT_TRUE(printed.error.isEmpty());
    pages.push_back(paper.copy());
    painter.end();
    return pages;
}

QImage shownPage(ReportPreview& preview) {
    auto* sheet = preview.findChild<QLabel*>(QStringLiteral("PreviewPage"));
    return sheet->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QAction* action(ReportPreview& preview, const char* name) {
    return preview.findChild<QAction*>(QLatin1String(name));
}

TEST(ReportPreview, APageShownIsThePagePrinted) {
    ReadingsTable table;
    fillRows(table, 100); // three pages, the last one short
    ScriptedDialogs dialogs;
    ReportDocument report(table, dialogs, nullptr);
    ReportPreview preview(report);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));

    struct Case {
        ReportPreview::Zoom zoom;
        int page;
    };
    for (const Case c :
         {Case{ReportPreview::Zoom::FitPage, 0}, Case{ReportPreview::Zoom::FitPage, 2},
          Case{ReportPreview::Zoom::FitWidth, 1}, Case{ReportPreview::Zoom::FitWidth, 2}}) {
        preview.setZoom(c.zoom);
        preview.setPage(c.page);
        QCoreApplication::processEvents();
        const int dpi = preview.pageDpi();
        ASSERT_GT(dpi, 20);
        const std::vector<QImage> printed = printToImages(table, report.rows(), dpi);
        ASSERT_EQ(printed.size(), 3u);
        const QImage shown = shownPage(preview);
        EXPECT_EQ(shown.size(), printed[static_cast<std::size_t>(c.page)].size()) << c.page;
        EXPECT_TRUE(shown == printed[static_cast<std::size_t>(c.page)])
            << "page " << c.page << " at " << dpi << " dpi differs from the printed page";
        // And it is not just any page: its neighbour differs.
        EXPECT_FALSE(shown == printed[c.page == 0 ? 1 : 0]);
    }
    // Fit width draws larger than fit page in a window taller than a page is wide.
    preview.setZoom(ReportPreview::Zoom::FitPage);
    const int fitPage = preview.pageDpi();
    preview.setZoom(ReportPreview::Zoom::FitWidth);
    EXPECT_GT(preview.pageDpi(), fitPage);
}

// A document of as many pages as a million rows give, that counts what it is asked to draw.
class CountingDocument : public PreviewDocument {
public:
    int pageCount() const override { return 27027; }
    QPageLayout pageLayout() const override { return reportPageLayout(); }
    void paintPage(QPainter& painter, int page) const override {
        painted.push_back(page);
        painter.drawText(QPointF(10, 20), QString::number(page + 1));
    }
    void print(QPrinter&) override { ++prints; }
    mutable std::vector<int> painted;
    int prints = 0;
};

TEST(ReportPreview, DrawsOnlyThePageOnScreen) {
    CountingDocument doc;
    ReportPreview preview(doc);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    EXPECT_EQ(std::set<int>(doc.painted.begin(), doc.painted.end()), std::set<int>{0});

    action(preview, "Last")->trigger();
    auto* field = preview.findChild<QSpinBox*>(QStringLiteral("PageNumber"));
    field->setValue(5000);
    action(preview, "Previous")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(std::set<int>(doc.painted.begin(), doc.painted.end()),
              (std::set<int>{0, 27026, 4999, 4998}));
    EXPECT_EQ(doc.painted.size(), 4u) << "a page drawn twice at the same size";
    EXPECT_EQ(preview.pagesDrawn(), 4);
}

TEST(ReportPreview, PagingPageFieldAndCount) {
    CountingDocument doc;
    ReportPreview preview(doc);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    auto* field = preview.findChild<QSpinBox*>(QStringLiteral("PageNumber"));
    EXPECT_EQ(preview.findChild<QLabel*>(QStringLiteral("PageCount"))->text().trimmed(),
              QStringLiteral("of 27027"));

    struct Step {
        const char* action; // or nullptr: the page field gets `typed`
        int typed;
        int page; // the page shown after the step, 0-based
        bool back, forward;
    };
    const Step steps[] = {
        {nullptr, 0, 0, false, true},         {"Next", 0, 1, true, true},
        {"Next", 0, 2, true, true},           {"Previous", 0, 1, true, true},
        {"Last", 0, 27026, true, false},      {"Next", 0, 27026, true, false},
        {"First", 0, 0, false, true},         {nullptr, 123, 122, true, true},
        {nullptr, 99999, 27026, true, false}, // the field keeps to the pages there are
    };
    for (const Step& s : steps) {
        if (s.action)
            action(preview, s.action)->trigger();
        else if (s.typed)
            field->setValue(s.typed);
        EXPECT_EQ(preview.currentPage(), s.page) << (s.action ? s.action : "field");
        EXPECT_EQ(field->value(), s.page + 1);
        EXPECT_EQ(action(preview, "First")->isEnabled(), s.back);
        EXPECT_EQ(action(preview, "Previous")->isEnabled(), s.back);
        EXPECT_EQ(action(preview, "Next")->isEnabled(), s.forward);
        EXPECT_EQ(action(preview, "Last")->isEnabled(), s.forward);
    }
    // The keys turn pages too.
    preview.setPage(10);
    QTest::keyClick(&preview, Qt::Key_PageDown);
    EXPECT_EQ(preview.currentPage(), 11);
    QTest::keyClick(&preview, Qt::Key_PageUp);
    QTest::keyClick(&preview, Qt::Key_PageUp);
    EXPECT_EQ(preview.currentPage(), 9);
    QTest::keyClick(&preview, Qt::Key_End);
    EXPECT_EQ(preview.currentPage(), 27026);
    QTest::keyClick(&preview, Qt::Key_Home);
    EXPECT_EQ(preview.currentPage(), 0);

    // Print asks whoever opened the preview; it prints nothing itself.
    QSignalSpy asked(&preview, &ReportPreview::printRequested);
    action(preview, "Print")->trigger();
    EXPECT_EQ(asked.count(), 1);
    EXPECT_EQ(doc.prints, 0);
}

TEST(ReportPreview, AnEmptyReportShowsNoPage) {
    ReadingsTable table;
    ScriptedDialogs dialogs;
    ReportDocument report(table, dialogs, nullptr);
    ReportPreview preview(report);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    EXPECT_EQ(preview.currentPage(), -1);
    EXPECT_EQ(preview.pagesDrawn(), 0);
    EXPECT_EQ(preview.findChild<QLabel*>(QStringLiteral("PageCount"))->text().trimmed(),
              QStringLiteral("No pages"));
    for (const char* name : {"First", "Previous", "Next", "Last", "Print"})
        EXPECT_FALSE(action(preview, name)->isEnabled()) << name;
    EXPECT_FALSE(preview.findChild<QSpinBox*>(QStringLiteral("PageNumber"))->isEnabled());
}

} // namespace
