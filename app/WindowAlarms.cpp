#include "WindowAlarms.h"

#include "AlarmBeep.h"
#include "AlarmCommand.h"
#include "AlarmNotifier.h"
#include "AlarmSound.h"
#include "ReadingPipeline.h"

#include <QSettings>

#include <numeric>

namespace dmm::app {

struct WindowAlarms::Row {
    AlarmSink sink;
    std::vector<std::unique_ptr<AlarmAction>> actions;
};

WindowAlarms::WindowAlarms(ReadingPipeline& pipeline, std::function<void()> beep)
    : pipeline_(pipeline), beep_(std::move(beep)) {}

WindowAlarms::~WindowAlarms() {
    for (const auto& row : live_) pipeline_.removeSink(&row->sink);
}

namespace {

// ~/.config/dmm-interface/dmm-interface.conf
const QString kSettingsName = QStringLiteral("dmm-interface");

} // namespace

void WindowAlarms::load() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsName, kSettingsName);
    rows_ = AlarmSetting::load(settings);
    build();
}

QString WindowAlarms::apply(const std::vector<AlarmSetting>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (const QString p = rows[i].problem(); !p.isEmpty())
            return QStringLiteral("alarm %1: %2").arg(i + 1).arg(p);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsName, kSettingsName);
    AlarmSetting::save(settings, rows);
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("the alarms cannot be remembered: %1 is not writable")
            .arg(settings.fileName());
    rows_ = rows;
    build();
    return {};
}

void WindowAlarms::addSharedAction(AlarmAction* action) {
    shared_.push_back(action);
    for (const auto& row : live_) row->sink.addAction(action);
}

// Rows whose condition is wrong (a file edited by hand) are left out; the dialog shows why.
void WindowAlarms::build() {
    for (const auto& row : live_) pipeline_.removeSink(&row->sink);
    live_.clear();
    problem_.clear();
    const auto report = [this](const QString& p) { reportProblem(p); };
    for (const AlarmSetting& s : rows_) {
        auto row = std::make_unique<Row>();
        std::string error;
        if (const auto c = AlarmCondition::parse(s.condition.toStdString(), error))
            row->sink.setAlarms({*c});
        if (s.beep) row->actions.push_back(std::make_unique<AlarmBeep>(beep_));
        if (s.sound && !s.soundFile.isEmpty())
            row->actions.push_back(std::make_unique<AlarmSound>(s.soundFile, report));
        if (s.notify)
            row->actions.push_back(
                std::make_unique<AlarmNotifier>(QStringLiteral("dmm-interface"), report));
        if (s.command && AlarmCommand::check(s.commandLine).isEmpty())
            row->actions.push_back(std::make_unique<AlarmCommand>(s.commandLine, report));
        row->sink.addAction(this);
        for (const auto& a : row->actions) row->sink.addAction(a.get());
        for (AlarmAction* a : shared_) row->sink.addAction(a);
        pipeline_.addSink(&row->sink);
        live_.push_back(std::move(row));
    }
    emit changed();
}

void WindowAlarms::reportProblem(const QString& problem) {
    problem_ = problem;
    emit changed();
}

int WindowAlarms::active() const {
    return std::accumulate(live_.begin(), live_.end(), 0,
                           [](int n, const auto& row) { return n + row->sink.active(); });
}

bool WindowAlarms::rowActive(int row) const {
    return row >= 0 && row < static_cast<int>(live_.size()) &&
           live_[static_cast<std::size_t>(row)]->sink.active() > 0;
}

int WindowAlarms::fired() const {
    return std::accumulate(live_.begin(), live_.end(), 0,
                           [](int n, const auto& row) { return n + row->sink.fired(); });
}

int WindowAlarms::cleared() const {
    return std::accumulate(live_.begin(), live_.end(), 0,
                           [](int n, const auto& row) { return n + row->sink.cleared(); });
}

QString WindowAlarms::note() const {
    if (live_.empty()) return {};
    QString text = QStringLiteral("Alarms: %1 active of %2, fired %3, cleared %4")
                       .arg(active())
                       .arg(live_.size())
                       .arg(fired())
                       .arg(cleared());
    if (!problem_.isEmpty()) text += QStringLiteral("; ") + problem_;
    return text;
}

void WindowAlarms::alarmChanged(const AlarmEvent&) {
    emit changed();
}

} // namespace dmm::app
