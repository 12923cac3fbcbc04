#include "ReportPreview.h"

#include "PreviewDocument.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace dmm::app {

namespace {
constexpr int kGap = 8; // grey border around the page
// Bounds of the page's resolution: a page of A4 at 300 dpi is some 35 MB of pixels, the most
// the preview ever holds.
constexpr int kMinDpi = 12;
constexpr int kMaxDpi = 300;
} // namespace

ReportPreview::ReportPreview(PreviewDocument& document, QWidget* parent)
    : QDialog(parent), document_(document), pages_(document.pageCount()),
      page_(pages_ > 0 ? 0 : -1) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("Print Preview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    layout->addWidget(bar);
    area_ = new QScrollArea(this);
    area_->setObjectName(QStringLiteral("PreviewArea"));
    area_->setBackgroundRole(QPalette::Dark);
    area_->setAlignment(Qt::AlignCenter);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn); // a fit that does not flip-flop
    sheet_ = new QLabel;
    sheet_->setObjectName(QStringLiteral("PreviewPage"));
    sheet_->setMargin(0);
    sheet_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    area_->setWidget(sheet_);
    area_->viewport()->installEventFilter(this);
    layout->addWidget(area_, 1);
    buildToolBar(bar);
    // Room for a whole page at a readable size, within the screen.
    QSize size(720, 860);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 60));
    resize(size);
    updateControls();
}

void ReportPreview::buildToolBar(QToolBar* bar) {
    auto action = [&](const char* name, const QString& text, const QKeySequence& key) {
        QAction* a = bar->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        return a;
    };
    first_ = action("First", QStringLiteral("First"), QKeySequence(Qt::Key_Home));
    previous_ = action("Previous", QStringLiteral("Previous"), QKeySequence(Qt::Key_PageUp));
    pageNumber_ = new QSpinBox(bar);
    pageNumber_->setObjectName(QStringLiteral("PageNumber"));
    pageNumber_->setKeyboardTracking(false); // goes to the page on Enter, not at every digit
    pageNumber_->setRange(pages_ > 0 ? 1 : 0, std::max(pages_, 0));
    pageNumber_->setMinimumWidth(
        pageNumber_->fontMetrics().horizontalAdvance(QString::number(std::max(pages_, 1))) + 40);
    bar->addWidget(pageNumber_);
    pageCount_ = new QLabel(bar);
    pageCount_->setObjectName(QStringLiteral("PageCount"));
    pageCount_->setText(pages_ > 0 ? QStringLiteral(" of %1 ").arg(pages_)
                                   : QStringLiteral(" No pages "));
    bar->addWidget(pageCount_);
    next_ = action("Next", QStringLiteral("Next"), QKeySequence(Qt::Key_PageDown));
    last_ = action("Last", QStringLiteral("Last"), QKeySequence(Qt::Key_End));
    bar->addSeparator();
    fitWidth_ = action("FitWidth", QStringLiteral("Fit width"), {});
    fitPage_ = action("FitPage", QStringLiteral("Fit page"), {});
    auto* zoom = new QActionGroup(this);
    for (QAction* a : {fitWidth_, fitPage_}) {
        a->setCheckable(true);
        zoom->addAction(a);
    }
    fitPage_->setChecked(true);
    bar->addSeparator();
    print_ = action("Print", QStringLiteral("Print"), QKeySequence::Print);
    QAction* close = action("Close", QStringLiteral("Close"), {});

    connect(first_, &QAction::triggered, this, [this] { setPage(0); });
    connect(previous_, &QAction::triggered, this, [this] { setPage(page_ - 1); });
    connect(next_, &QAction::triggered, this, [this] { setPage(page_ + 1); });
    connect(last_, &QAction::triggered, this, [this] { setPage(pages_ - 1); });
    connect(pageNumber_, &QSpinBox::valueChanged, this, [this](int n) { setPage(n - 1); });
    connect(fitWidth_, &QAction::triggered, this, [this] { setZoom(Zoom::FitWidth); });
    connect(fitPage_, &QAction::triggered, this, [this] { setZoom(Zoom::FitPage); });
    connect(print_, &QAction::triggered, this, &ReportPreview::printRequested);
    connect(close, &QAction::triggered, this, &QDialog::reject);
}

void ReportPreview::setPage(int page) {
    if (pages_ <= 0) return;
    page_ = std::clamp(page, 0, pages_ - 1);
    updateControls();
    showPage();
}

void ReportPreview::setZoom(Zoom zoom) {
    zoom_ = zoom;
    (zoom == Zoom::FitWidth ? fitWidth_ : fitPage_)->setChecked(true);
    showPage();
}

void ReportPreview::updateControls() {
    const bool any = pages_ > 0;
    first_->setEnabled(any && page_ > 0);
    previous_->setEnabled(any && page_ > 0);
    next_->setEnabled(any && page_ < pages_ - 1);
    last_->setEnabled(any && page_ < pages_ - 1);
    pageNumber_->setEnabled(any);
    print_->setEnabled(any);
    if (any && pageNumber_->value() != page_ + 1) {
        const QSignalBlocker quiet(pageNumber_);
        pageNumber_->setValue(page_ + 1);
    }
}

// The whole resolution at which the page fills the width (or the whole page) of the viewport.
int ReportPreview::fittingDpi() const {
    const QSizeF inches = document_.pageLayout().fullRect(QPageLayout::Inch).size();
    const QSize room = area_->viewport()->size() - QSize(2 * kGap, 2 * kGap);
    double dpi = room.width() / inches.width();
    if (zoom_ == Zoom::FitPage) dpi = std::min(dpi, room.height() / inches.height());
    return std::clamp(static_cast<int>(std::floor(dpi)), kMinDpi, kMaxDpi);
}

void ReportPreview::showPage() {
    if (page_ < 0 || !isVisible()) return;
    const int dpi = fittingDpi();
    if (page_ == shownPage_ && dpi == shownDpi_) return;
    // The page is drawn as printing draws it: white paper, the painter's origin at the
    // printable area's corner, the device's resolution giving the scale.
    const QPageLayout layout = document_.pageLayout();
    QImage paper(layout.fullRectPixels(dpi).size(), QImage::Format_RGB32);
    paper.setDotsPerMeterX(qRound(dpi / 0.0254));
    paper.setDotsPerMeterY(qRound(dpi / 0.0254));
    paper.fill(Qt::white);
    {
        QPainter painter(&paper);
        painter.translate(layout.paintRectPixels(dpi).topLeft());
        document_.paintPage(painter, page_);
    }
    ++pagesDrawn_;
    if (page_ != shownPage_) area_->verticalScrollBar()->setValue(0); // a new page from its top
    sheet_->setPixmap(QPixmap::fromImage(paper));
    sheet_->resize(paper.size()); // the scroll area centres it anew
    shownPage_ = page_;
    shownDpi_ = dpi;
}

bool ReportPreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == area_->viewport() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        showPage();
    return QDialog::eventFilter(watched, event);
}

} // namespace dmm::app
