#include "ChartPanel.h"

#include "ChartArea.h"
#include "Controls.h"
#include "Fonts.h"
#include "ImageButton.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace dmm::app {

ChartPanel::ChartPanel(QWidget* client) {
    buildToolBar(client);
    chart_ = new ChartArea(client);
    chart_->setGeometry(336, 187, 377, 286);
    panel19_->raise(); // the tool bar stays above the enlarged chart
}

ChartPanel::~ChartPanel() = default;

void ChartPanel::resetPager(int pageSize) {
    pager_ = std::make_unique<TChartControl>(chart_, pageSize);
}

void ChartPanel::buildToolBar(QWidget* client) {
    panel19_ = named(new QFrame(client), "Panel19");
    panel19_->setGeometry(339, 152, 372, 33);
    panel19_->setFrameStyle(QFrame::NoFrame);
    auto* bevel1 = named(new QFrame(panel19_), "Bevel1");
    bevel1->setGeometry(2, 6, 40, 20);
    bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    btFill_ = makeCheckBox(panel19_, "BtFill", QStringLiteral("Fill"), {5, 6, 36, 17}, true);
    btFill_->setToolTip(QStringLiteral("Graphic Fill"));
    btFill_->setStyleSheet(QStringLiteral("QCheckBox { spacing: 3px; }"));
    maxrecord_ = makeEdit(panel19_, "Maxrecord", QStringLiteral("100"), {48, 6, 49, 21});
    btSave_ =
        makeIconButton(panel19_, "BtSave", ToolPicture::SavePicture, "Save", {165, 6, 35, 21});
    btFirst_ = makeIconButton(panel19_, "BtFirst", ToolPicture::First, "First", {200, 6, 28, 21});
    btPrevious_ =
        makeIconButton(panel19_, "BTPrevious", ToolPicture::Previous, "Previous", {227, 6, 25, 21});
    bt10_ = named(new QPushButton(QStringLiteral("1"), panel19_), "Bt10");
    bt10_->setGeometry(251, 6, 25, 21);
    bt10_->setFont(uiFont(QLatin1String(kMsSansSerif), 11));
    bt10_->setToolTip(QStringLiteral("Page No."));
    bt10_->setStyleSheet(QStringLiteral("QPushButton { color: #0000FF; padding: 0px; }"));
    btNext_ = makeIconButton(panel19_, "BtNext", ToolPicture::Next, "Next", {275, 6, 25, 21});
    btLast_ = makeIconButton(panel19_, "BTlast", ToolPicture::Last, "last", {300, 6, 25, 21});
    tbFd_ = named(new ImageButton(enlargeImage(true), panel19_), "TbFd");
    tbFd_->setGeometry(336, 6, 25, 25);
    tbFd_->setToolTip(QStringLiteral("Graphic Enlarge"));
    tbSx_ = named(new ImageButton(enlargeImage(false), panel19_), "TbSx");
    tbSx_->setGeometry(336, 4, 25, 25);
    tbSx_->setToolTip(QStringLiteral("Graphic Restore"));
    tbSx_->hide();
}

void ChartPanel::showPage(int page) {
    bt10_->setText(QString::number(page));
}

bool ChartPanel::enlarged() const {
    return chart_->y() <= 50;
}

void ChartPanel::enlarge(const QSize& outer) {
    tbFd_->hide();
    tbSx_->show();
    restoreGeometry_ = chart_->geometry();
    chart_->setGeometry(2, 28, outer.width() - 12, outer.height() - 75);
    chart_->raise();
    panel19_->move(4, 2);
    panel19_->raise();
}

void ChartPanel::restore() {
    tbSx_->hide();
    tbFd_->show();
    chart_->setGeometry(restoreGeometry_);
    panel19_->move(337, 152);
}

} // namespace dmm::app
