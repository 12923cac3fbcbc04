// The trend chart `Chtshow` with its pager and its tool bar `Panel19`: the fill switch, the page
// size field, saving the picture, the paging buttons with the page number `Bt10`, and the
// enlarge and restore images.
#pragma once

#include "uCharControl.h"

#include <QRect>

#include <memory>

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QSize;
class QToolButton;
class QWidget;

namespace dmm::app {

class ChartArea;
class ImageButton;

class ChartPanel {
public:
    explicit ChartPanel(QWidget* client);
    ~ChartPanel();
    ChartPanel(const ChartPanel&) = delete;
    ChartPanel& operator=(const ChartPanel&) = delete;

    ChartArea& Chtshow() const { return *chart_; }
    // A new pager over the chart, empty, with `pageSize` points a page.
    void resetPager(int pageSize);
    TChartControl& pager() const { return *pager_; }

    QFrame* Panel19() const { return panel19_; }
    QCheckBox* BtFill() const { return btFill_; }
    QLineEdit* Maxrecord() const { return maxrecord_; }
    QToolButton* BtSave() const { return btSave_; }
    QToolButton* BtFirst() const { return btFirst_; }
    QToolButton* BTPrevious() const { return btPrevious_; }
    QPushButton* Bt10() const { return bt10_; }
    QToolButton* BtNext() const { return btNext_; }
    QToolButton* BTlast() const { return btLast_; }
    ImageButton* TbFd() const { return tbFd_; }
    ImageButton* TbSx() const { return tbSx_; }

    void showPage(int page);
    bool enlarged() const;
    // Enlarged, the chart covers the LCD mirror and the grid, up to the window's outer size
    // `outer`, with the tool bar above it; restored, both go back to their places.
    void enlarge(const QSize& outer);
    void restore();

private:
    void buildToolBar(QWidget* client);

    ChartArea* chart_ = nullptr;
    std::unique_ptr<TChartControl> pager_;
    QRect restoreGeometry_;
    QFrame* panel19_ = nullptr;
    QCheckBox* btFill_ = nullptr;
    QLineEdit* maxrecord_ = nullptr;
    QToolButton* btSave_ = nullptr;
    QToolButton* btFirst_ = nullptr;
    QToolButton* btPrevious_ = nullptr;
    QPushButton* bt10_ = nullptr;
    QToolButton* btNext_ = nullptr;
    QToolButton* btLast_ = nullptr;
    ImageButton* tbFd_ = nullptr;
    ImageButton* tbSx_ = nullptr;
};

} // namespace dmm::app
