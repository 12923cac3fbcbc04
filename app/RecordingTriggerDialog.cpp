#include "RecordingTriggerDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace dmm::app {

namespace {

using Start = TriggerSettings::Start;
using Stop = TriggerSettings::Stop;

// The start kinds in the order offered, with what the field takes.
struct Kind {
    const char* caption;
    const char* placeholder;
};
constexpr Kind kStartKinds[] = {
    {"immediately", ""},
    {"at a time of day", "22:00"},
    {"after a delay", "10m"},
    {"when the value crosses", "rises above 1 V"},
};
constexpr Kind kStopKinds[] = {
    {"never", ""},
    {"after a number of readings or a duration", "100 or 2h"},
    {"at a time of day", "06:00"},
};

int startIndex(Start s) {
    switch (s) {
    case Start::Now:
        return 0;
    case Start::AtTime:
        return 1;
    case Start::AfterDelay:
        return 2;
    case Start::RisesAbove:
    case Start::FallsBelow:
        return 3;
    }
    return 0;
}

int stopIndex(Stop s) {
    switch (s) {
    case Stop::Never:
        return 0;
    case Stop::AfterCount:
    case Stop::AfterDuration:
        return 1;
    case Stop::AtTime:
        return 2;
    }
    return 0;
}

QComboBox* kindBox(const Kind* kinds, int count, int current, QWidget* parent) {
    auto* box = new QComboBox(parent);
    for (int i = 0; i < count; ++i) box->addItem(QString::fromLatin1(kinds[i].caption));
    box->setCurrentIndex(current);
    return box;
}

} // namespace

RecordingTriggerDialog::RecordingTriggerDialog(const TriggerSettings& current, QWidget* parent)
    : QDialog(parent), settings_(current) {
    setObjectName(QStringLiteral("RecordingTriggerDialog"));
    setWindowTitle(QStringLiteral("Recording start and stop"));
    startKind_ = kindBox(kStartKinds, 4, startIndex(current.start), this);
    startValue_ = new QLineEdit(current.startText, this);
    pretrigger_ = new QLineEdit(QString::number(current.pretrigger), this);
    stopKind_ = kindBox(kStopKinds, 3, stopIndex(current.stop), this);
    stopValue_ = new QLineEdit(current.stopText, this);
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setStyleSheet(QStringLiteral("color: #b00000"));

    auto* form = new QFormLayout;
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(startKind_);
    startRow->addWidget(startValue_);
    form->addRow(QStringLiteral("Start:"), startRow);
    form->addRow(QStringLiteral("Readings kept from before the start:"), pretrigger_);
    auto* stopRow = new QHBoxLayout;
    stopRow->addWidget(stopKind_);
    stopRow->addWidget(stopValue_);
    form->addRow(QStringLiteral("Stop:"), stopRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RecordingTriggerDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RecordingTriggerDialog::reject);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(new QLabel(
        QStringLiteral("A connect starts the wait. The settings hold until the program ends."),
        this));
    column->addWidget(message_);
    column->addWidget(buttons);

    const auto changed = [this] { showKinds(); };
    connect(startKind_, &QComboBox::currentIndexChanged, this, changed);
    connect(stopKind_, &QComboBox::currentIndexChanged, this, changed);
    showKinds();
}

void RecordingTriggerDialog::showKinds() {
    const int start = startKind_->currentIndex();
    const int stop = stopKind_->currentIndex();
    startValue_->setEnabled(start > 0);
    startValue_->setPlaceholderText(QString::fromLatin1(kStartKinds[start].placeholder));
    pretrigger_->setEnabled(start > 0);
    stopValue_->setEnabled(stop > 0);
    stopValue_->setPlaceholderText(QString::fromLatin1(kStopKinds[stop].placeholder));
    message_->clear();
}

QString RecordingTriggerDialog::check() {
    TriggerSettings s;
    const std::string start = startValue_->text().trimmed().toStdString();
    const std::string stop = stopValue_->text().trimmed().toStdString();
    std::string error;
    switch (startKind_->currentIndex()) {
    case 1:
        error = readStartAt(start, s);
        break;
    case 2:
        error = readStartAfter(start, s);
        break;
    case 3:
        error = readStartWhen(start, s);
        break;
    default:
        break;
    }
    if (!error.empty()) error = "Start: " + error;
    if (error.empty() && startKind_->currentIndex() > 0) {
        const std::string e = readPretrigger(pretrigger_->text().trimmed().toStdString(), s);
        if (!e.empty()) error = "Readings kept from before the start: " + e;
    }
    if (error.empty() && stopKind_->currentIndex() > 0) {
        const std::string e =
            stopKind_->currentIndex() == 1 ? readStopAfter(stop, s) : readStopAt(stop, s);
        if (!e.empty()) error = "Stop: " + e;
    }
    const QString text = QString::fromStdString(error);
    message_->setText(text);
    if (text.isEmpty()) settings_ = s;
    return text;
}

void RecordingTriggerDialog::accept() {
    if (check().isEmpty()) QDialog::accept();
}

} // namespace dmm::app
