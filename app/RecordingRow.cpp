#include "RecordingRow.h"

#include "Controls.h"
#include "Fonts.h"
#include "ReadingsTable.h"

#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>

namespace dmm::app {

namespace {

// The unit column draws the unit's symbols (the model shows them) in the annunciator font's
// stand-in, which has every symbol glyph.
class UnitColumnDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->font = uiFont(QLatin1String(kLcdSymbolFont), 12);
    }
};

// The interval field covers the gap in the check box's caption; widen the caption's blanks until
// "'S" stands clear of the field, whatever the metrics of the installed font.
void clearTheIntervalField(QCheckBox* box, QFont font) {
    box->setFont(font);
    QStyleOptionButton opt;
    opt.initFrom(box);
    opt.text = box->text();
    const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, box);
    const QString lead = box->text().left(box->text().indexOf(QLatin1Char('\'')));
    const int wanted = 183 + 27 + 2; // right of the interval field
    for (int extra = 0; extra < 8; ++extra) {
        font.setWordSpacing(extra);
        if (box->x() + contents.left() + QFontMetrics(font).horizontalAdvance(lead) >= wanted)
            break;
    }
    box->setFont(font);
}

} // namespace

RecordingRow::RecordingRow(QWidget* client, const QFont& windowFont) {
    buildRecallPanel(client, windowFont);
    buildRow(client);
    buildGrid(client);
}

void RecordingRow::buildRow(QWidget* client) {
    const QFont arial11 = uiFont(QLatin1String(kArial), 11);
    repeatSet_ =
        makeCheckBox(client, "RepeatSet", QStringLiteral("Repeat"), {2, 187, 63, 20}, true);
    repeatSet_->setToolTip(QStringLiteral("Repeage Record"));
    repeatSet_->setFont(arial11);
    recordSI_ = makeCheckBox(client, "RecordSI", QStringLiteral("Sampling Interval           'S"),
                             {64, 187, 170, 20}, false);
    clearTheIntervalField(recordSI_, arial11);
    // The interval field sits in the gap of the check box's caption, before "'S".
    recordSITime_ = makeEdit(client, "RecordSITime", QStringLiteral("1"), {183, 187, 27, 21});
    recordSITime_->raise();
    recordNew_ = makeIconButton(client, "RecordNew", ToolPicture::CloseData, "Close Data",
                                {247, 187, 23, 21});
    openDataFiles_ = makeIconButton(client, "OpenDataFiles", ToolPicture::OpenFile,
                                    "Open old data files", {269, 187, 23, 21});
    saveas_ = makeIconButton(client, "saveas", ToolPicture::SaveFile, "Save data files",
                             {291, 187, 23, 21});
    btPrint_ = makeIconButton(client, "BtPrint", ToolPicture::Print, "Print", {313, 187, 22, 21});
}

void RecordingRow::buildGrid(QWidget* client) {
    dbGrid1_ = named(new QTableView(client), "DBGrid1");
    dbGrid1_->setGeometry(1, 208, 334, 264);
    dbGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers); // read-only
    dbGrid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbGrid1_->setSelectionMode(QAbstractItemView::SingleSelection);
    dbGrid1_->setShowGrid(true);
    dbGrid1_->setWordWrap(false);
    dbGrid1_->setTabKeyNavigation(false); // Tab leaves the grid for the next control
    dbGrid1_->setFont(uiFont(QLatin1String(kArial), 12));
    QHeaderView* columns = dbGrid1_->horizontalHeader();
    columns->setFont(uiFont(QLatin1String(kMsSansSerif), 11, false));
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setHighlightSections(false);
    columns->setMinimumSectionSize(8);
    // The row indicator column: a narrow header without numbers; every row has the same height,
    // so that a table of millions of rows costs no more per row than a short one.
    QHeaderView* rows = dbGrid1_->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(18);
    rows->setMinimumSectionSize(8);
    rows->setFixedWidth(11);
    rows->setFont(uiFont(QLatin1String(kMsSansSerif), 1));
    rows->setHighlightSections(true);
    dbGrid1_->setItemDelegateForColumn(static_cast<int>(Field::Unit),
                                       new UnitColumnDelegate(dbGrid1_));
}

void RecordingRow::buildRecallPanel(QWidget* client, const QFont& f) {
    // The recall panel, right of the client area.
    auto* panel2 = named(new QFrame(client), "Panel2");
    panel2->setGeometry(928, 464, 334, 25);
    setBackground(panel2, kSilver);
    recallCheck_ =
        makeCheckBox(panel2, "RecallCheck", QStringLiteral("RecallData"), {4, 3, 90, 19}, false);
    recallCheck_->setToolTip(QStringLiteral("Repeage Record"));
    makeLabel(panel2, "Label2", QStringLiteral("StartTime:"), 96, 5, f);
    timeH_ = makeEdit(panel2, "TimeH", QStringLiteral("23"), {160, 2, 22, 21});
    makeLabel(panel2, "Label3", QStringLiteral(":"), 183, 5, f);
    timeM_ = makeEdit(panel2, "TimeM", QStringLiteral("59"), {188, 2, 22, 21});
    makeLabel(panel2, "Label4", QStringLiteral(":"), 211, 5, f);
    timeS_ = makeEdit(panel2, "TimeS", QStringLiteral("59"), {216, 2, 22, 21});
    makeLabel(panel2, "Label1", QStringLiteral("Interval"), 244, 5, f);
    timeInt_ = makeEdit(panel2, "TimeInt", QStringLiteral("1"), {292, 2, 22, 21});
    makeLabel(panel2, "Label5", QStringLiteral("'S"), 317, 5, f);

    auto* recallDataTest =
        named(new QPushButton(QStringLiteral("RecallData"), client), "RecallDataTest");
    recallDataTest->setGeometry(861, 259, 75, 17);
    recallDataTest->hide();

    // The report layout, on a hidden panel below the client area.
    auto* reportPanel = new QFrame(client);
    reportPanel->setGeometry(6, 541, 825, 209);
    named(new QWidget(reportPanel), "QuickRep1")->setGeometry(0, 0, 825, 209);
    reportPanel->hide();
}

StartTimeFields RecordingRow::startTime() const {
    return {timeH_->text(), timeM_->text(), timeS_->text()};
}

void RecordingRow::showStartTime(const StartTimeFields& f) {
    if (timeH_->text() != f.hours) timeH_->setText(f.hours);
    if (timeM_->text() != f.minutes) timeM_->setText(f.minutes);
    if (timeS_->text() != f.seconds) timeS_->setText(f.seconds);
}

} // namespace dmm::app
