// The print preview: one page at a time, drawn from the document when it comes on screen, so it
// opens at once whatever the page count and holds only the page shown. A tool bar offers the
// first, previous, next and last page, a page number field with the page count, zoom to the
// width or to the whole page, Print and Close; Home, Page Up, Page Down and End turn pages.
// Print only asks (printRequested): whoever opened the preview sets the printer up and prints.
#pragma once

#include <QDialog>

class QAction;
class QLabel;
class QScrollArea;
class QSpinBox;
class QToolBar;

namespace dmm::app {

class PreviewDocument;

class ReportPreview : public QDialog {
    Q_OBJECT
public:
    enum class Zoom { FitWidth, FitPage };

    explicit ReportPreview(PreviewDocument& document, QWidget* parent = nullptr);

    int currentPage() const { return page_; } // 0-based; -1 when there is no page
    void setPage(int page);                   // clamped to the pages there are
    Zoom zoom() const { return zoom_; }
    void setZoom(Zoom zoom);
    // The resolution the shown page is drawn at, in dots per inch (0 with no page shown).
    int pageDpi() const { return shownDpi_; }
    // Pages drawn since the preview opened (each time one came on screen or was redrawn).
    int pagesDrawn() const { return pagesDrawn_; }

signals:
    void printRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar(QToolBar* bar);
    int fittingDpi() const;
    void showPage();
    void updateControls();

    PreviewDocument& document_;
    int pages_;
    int page_;
    Zoom zoom_ = Zoom::FitPage;
    int shownPage_ = -1;
    int shownDpi_ = 0;
    int pagesDrawn_ = 0;
    QScrollArea* area_ = nullptr;
    QLabel* sheet_ = nullptr;
    QSpinBox* pageNumber_ = nullptr;
    QLabel* pageCount_ = nullptr;
    QAction* first_ = nullptr;
    QAction* previous_ = nullptr;
    QAction* next_ = nullptr;
    QAction* last_ = nullptr;
    QAction* fitWidth_ = nullptr;
    QAction* fitPage_ = nullptr;
    QAction* print_ = nullptr;
};

} // namespace dmm::app
