// The window's report as a preview document: the readings table's rows present when it was made
// (rows recorded while the preview is open go to the table but not into this report), drawn and
// printed through the report's one page painter.
#pragma once

#include "PreviewDocument.h"

namespace dmm {
class ReadingsTable;
}
class QWidget;

namespace dmm::app {

class Dialogs;

class ReportDocument : public PreviewDocument {
public:
    ReportDocument(const ReadingsTable& table, Dialogs& dialogs, QWidget* parent);

    int rows() const { return rows_; }
    int pageCount() const override;
    QPageLayout pageLayout() const override;
    void paintPage(QPainter& painter, int page) const override;
    // Page by page, with a progress window that can cancel it; the event loop turns after every
    // page (user input aside), so the meter keeps being recorded. A PDF file is replaced only
    // when complete; a failure is shown in a message box.
    void print(QPrinter& printer) override;

private:
    const ReadingsTable& table_;
    Dialogs& dialogs_;
    QWidget* parent_;
    int rows_;
};

} // namespace dmm::app
