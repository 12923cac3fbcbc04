#include "StatisticsWindow.h"

#include "ChartRows.h"
#include "RecordingStatistics.h"
#include "StatisticsSink.h"
#include "StatisticsText.h"
#include "uCharControl.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dmm::app {

namespace {

const QStringList kTitles = {"of",      "quantity", "coupling", "count",   "no number",
                             "mean",    "sdev",     "min",      "min no.", "max",
                             "max no.", "p-p",      "first",    "last"};

QString recordNo(const std::optional<std::int32_t>& no) {
    return no ? QString::number(*no) : QString();
}

// One group's cells, every figure in the prefix that suits the mean (mV, kΩ).
QStringList cellsOf(const QString& of, const GroupStatistics& g) {
    const std::string& unit = g.key().unit;
    const bool v = g.hasValues();
    const double magnitude = v ? g.mean() : 0;
    const auto shown = [&](double x) {
        return v ? StatisticsText::withPrefix(x, magnitude, unit) : QString();
    };
    const auto sdev = g.sdev();
    return {of,
            QString::fromLatin1(quantityName(g.key().quantity)),
            QString::fromLatin1(couplingName(g.key().coupling)),
            QString::number(g.count()),
            QString::number(g.noNumber()),
            shown(g.mean()),
            sdev ? shown(*sdev) : QString(),
            shown(g.min()),
            v ? recordNo(g.minNo()) : QString(),
            shown(g.max()),
            v ? recordNo(g.maxNo()) : QString(),
            shown(g.ptp()),
            g.firstRow().text(),
            g.lastRow().text()};
}

} // namespace

StatisticsWindow::StatisticsWindow(const StatisticsSink& recording, const ChartRows& chartRows,
                                   const ReadingsTable& table, const TChartControl& pager,
                                   QWidget* parent)
    : QWidget(parent, Qt::Window), recording_(recording), chartRows_(chartRows), table_(table),
      pager_(pager), grid_(new QTableWidget(this)) {
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(QStringLiteral("Statistics"));
    grid_->setObjectName(QStringLiteral("StatisticsGrid"));
    grid_->setColumnCount(static_cast<int>(kTitles.size()));
    grid_->setHorizontalHeaderLabels(kTitles);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->hide();
    auto* copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setObjectName(QStringLiteral("StatisticsCopy"));
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(tabSeparated()); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addLayout(buttons);
    resize(900, 260);
    connect(&timer_, &QTimer::timeout, this, &StatisticsWindow::refresh);
    timer_.start(500);
}

RecordingStatistics StatisticsWindow::pageStatistics() const {
    RecordingStatistics page;
    const int size = pager_.PageSize();
    const int first = (pager_.CurrentPage() - 1) * size;
    for (const auto& [row, count] : chartRows_.rowsOf(first, size))
        page.addRows(table_, row, count);
    return page;
}

void StatisticsWindow::refresh() {
    if (!isVisible()) return;
    if (recording_.generation() == generation_ && pager_.CurrentPage() == page_ &&
        pager_.PageSize() == pageSize_)
        return;
    generation_ = recording_.generation();
    page_ = pager_.CurrentPage();
    pageSize_ = pager_.PageSize();
    fill(recording_.statistics(), pageStatistics());
}

void StatisticsWindow::fill(const RecordingStatistics& recording, const RecordingStatistics& page) {
    std::vector<QStringList> rows;
    for (const GroupStatistics& g : recording.groups())
        rows.push_back(cellsOf(QStringLiteral("recording"), g));
    for (const GroupStatistics& g : page.groups())
        rows.push_back(cellsOf(QStringLiteral("page %1").arg(page_), g));
    grid_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < grid_->rowCount(); ++r)
        for (int c = 0; c < grid_->columnCount(); ++c)
            grid_->setItem(r, c, new QTableWidgetItem(rows[std::size_t(r)][c]));
    grid_->resizeColumnsToContents();
}

// Numbers in the base unit, with the unit in a column of its own: a spreadsheet pastes them
// into cells it can compute with.
QString StatisticsWindow::tabSeparated() const {
    std::vector<QStringList> rows;
    for (const GroupStatistics& g : recording_.statistics().groups())
        rows.push_back(StatisticsText::cells(g, QStringLiteral("recording")));
    const QString page = QStringLiteral("page %1").arg(pager_.CurrentPage());
    const RecordingStatistics pageFigures = pageStatistics();
    for (const GroupStatistics& g : pageFigures.groups())
        rows.push_back(StatisticsText::cells(g, page));
    QStringList titles = StatisticsText::titles();
    titles.last() = QStringLiteral("of"); // the last column says what the row is of
    QString text = titles.join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const QStringList& r : rows) text += r.join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

} // namespace dmm::app
