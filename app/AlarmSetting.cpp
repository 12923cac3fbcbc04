#include "AlarmSetting.h"

#include "AlarmCommand.h"
#include "AlarmCondition.h"

#include <QSettings>

namespace dmm::app {

std::vector<AlarmSetting> AlarmSetting::load(QSettings& settings) {
    std::vector<AlarmSetting> rows;
    const int n = settings.beginReadArray(QStringLiteral("alarms"));
    for (int i = 0; i < n; ++i) {
        settings.setArrayIndex(i);
        AlarmSetting a;
        a.condition = settings.value(QStringLiteral("condition")).toString();
        a.beep = settings.value(QStringLiteral("beep")).toBool();
        a.sound = settings.value(QStringLiteral("sound")).toBool();
        a.soundFile = settings.value(QStringLiteral("soundFile")).toString();
        a.notify = settings.value(QStringLiteral("notify")).toBool();
        a.command = settings.value(QStringLiteral("command")).toBool();
        a.commandLine = settings.value(QStringLiteral("commandLine")).toString();
        rows.push_back(a);
    }
    settings.endArray();
    return rows;
}

void AlarmSetting::save(QSettings& settings, const std::vector<AlarmSetting>& rows) {
    settings.remove(QStringLiteral("alarms"));
    settings.beginWriteArray(QStringLiteral("alarms"), static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const AlarmSetting& a = rows[static_cast<std::size_t>(i)];
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("condition"), a.condition);
        settings.setValue(QStringLiteral("beep"), a.beep);
        settings.setValue(QStringLiteral("sound"), a.sound);
        settings.setValue(QStringLiteral("soundFile"), a.soundFile);
        settings.setValue(QStringLiteral("notify"), a.notify);
        settings.setValue(QStringLiteral("command"), a.command);
        settings.setValue(QStringLiteral("commandLine"), a.commandLine);
    }
    settings.endArray();
    settings.sync();
}

QString AlarmSetting::problem() const {
    std::string error;
    if (!AlarmCondition::parse(condition.toStdString(), error))
        return QString::fromStdString(error);
    if (sound && soundFile.trimmed().isEmpty()) return QStringLiteral("the sound needs a file");
    if (command) {
        if (const QString e = AlarmCommand::check(commandLine); !e.isEmpty())
            return QStringLiteral("the command: %1").arg(e);
    }
    return {};
}

} // namespace dmm::app
