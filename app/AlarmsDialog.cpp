#include "AlarmsDialog.h"

#include "WindowAlarms.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dmm::app {

namespace {

QTableWidgetItem* checkItem(bool checked) {
    auto* item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

bool checked(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item && item->checkState() == Qt::Checked;
}

QString text(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

AlarmsDialog::AlarmsDialog(WindowAlarms& alarms, QWidget* parent)
    : QDialog(parent), alarms_(alarms), table_(new QTableWidget(0, 8, this)),
      message_(new QLabel(this)) {
    setObjectName(QStringLiteral("AlarmsDialog"));
    setWindowTitle(QStringLiteral("Alarms"));
    setModal(false);
    table_->setHorizontalHeaderLabels({QStringLiteral("Condition"), QStringLiteral("Beep"),
                                       QStringLiteral("Sound"), QStringLiteral("Sound file"),
                                       QStringLiteral("Notify"), QStringLiteral("Command"),
                                       QStringLiteral("Command line"), QStringLiteral("State")});
    table_->horizontalHeader()->setSectionResizeMode(Condition, QHeaderView::Stretch);
    table_->horizontalHeader()->setSectionResizeMode(CommandLine, QHeaderView::Stretch);
    message_->setWordWrap(true);
    message_->setText(QStringLiteral("A condition: above 5.1 V, below 20 degC for 10s, outside "
                                     "4.9..5.1 V for 3 clear after 2 hysteresis 10 mV, fail"));
    auto* add = new QPushButton(QStringLiteral("Add"), this);
    auto* remove = new QPushButton(QStringLiteral("Remove"), this);
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QStringLiteral("Apply"));
    connect(add, &QPushButton::clicked, this, [this] { addRow({}); });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (table_->currentRow() >= 0) table_->removeRow(table_->currentRow());
    });
    connect(apply, &QPushButton::clicked, this, [this] { applyRows(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(apply);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(message_);
    layout->addLayout(buttons);
    resize(820, 260);
    connect(&alarms_, &WindowAlarms::changed, this, &AlarmsDialog::showStates);
    reload();
}

void AlarmsDialog::reload() {
    table_->setRowCount(0);
    for (const AlarmSetting& s : alarms_.rows()) addRow(s);
    showStates();
}

void AlarmsDialog::addRow(const AlarmSetting& s) {
    const int row = table_->rowCount();
    table_->insertRow(row);
    auto* edit = new QLineEdit(s.condition);
    edit->setPlaceholderText(QStringLiteral("above 5.1 V for 3"));
    table_->setCellWidget(row, Condition, edit);
    connect(edit, &QLineEdit::textChanged, this, [this, edit] {
        for (int r = 0; r < table_->rowCount(); ++r)
            if (table_->cellWidget(r, Condition) == edit) checkRow(r);
    });
    table_->setItem(row, Beep, checkItem(s.beep));
    table_->setItem(row, Sound, checkItem(s.sound));
    table_->setItem(row, SoundFile, new QTableWidgetItem(s.soundFile));
    table_->setItem(row, Notify, checkItem(s.notify));
    table_->setItem(row, Command, checkItem(s.command));
    table_->setItem(row, CommandLine, new QTableWidgetItem(s.commandLine));
    auto* state = new QTableWidgetItem;
    state->setFlags(Qt::ItemIsEnabled);
    table_->setItem(row, State, state);
    checkRow(row);
}

QLineEdit* AlarmsDialog::conditionEdit(int row) const {
    return qobject_cast<QLineEdit*>(table_->cellWidget(row, Condition));
}

std::vector<AlarmSetting> AlarmsDialog::rows() const {
    std::vector<AlarmSetting> out;
    for (int r = 0; r < table_->rowCount(); ++r) {
        AlarmSetting s;
        s.condition = conditionEdit(r)->text().trimmed();
        s.beep = checked(table_, r, Beep);
        s.sound = checked(table_, r, Sound);
        s.soundFile = text(table_, r, SoundFile);
        s.notify = checked(table_, r, Notify);
        s.command = checked(table_, r, Command);
        s.commandLine = text(table_, r, CommandLine);
        out.push_back(s);
    }
    return out;
}

// The condition as it is typed: the edit turns red and the message says what was expected.
void AlarmsDialog::checkRow(int row) {
    std::string error;
    QLineEdit* edit = conditionEdit(row);
    const bool ok = AlarmCondition::parse(edit->text().trimmed().toStdString(), error).has_value();
    edit->setStyleSheet(ok ? QString() : QStringLiteral("QLineEdit { color: #c00000; }"));
    edit->setToolTip(QString::fromStdString(error));
    message_->setText(ok ? QStringLiteral("Alarm %1 reads well.").arg(row + 1)
                         : QStringLiteral("Alarm %1: %2").arg(row + 1).arg(error.c_str()));
}

QString AlarmsDialog::applyRows() {
    const QString problem = alarms_.apply(rows());
    message_->setText(problem.isEmpty() ? QStringLiteral("Applied.") : problem);
    showStates();
    return problem;
}

void AlarmsDialog::showStates() {
    const bool same = rows() == alarms_.rows();
    for (int r = 0; r < table_->rowCount(); ++r) {
        QString state = QStringLiteral("not applied");
        if (same) state = alarms_.rowActive(r) ? QStringLiteral("ACTIVE") : QStringLiteral("ok");
        if (QTableWidgetItem* item = table_->item(r, State)) item->setText(state);
    }
}

QString AlarmsDialog::message() const {
    return message_->text();
}

} // namespace dmm::app
