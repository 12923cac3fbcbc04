// One row of "Tools" -> "Alarms...": the condition as typed and the actions checked for it,
// as the window remembers it between runs.
#pragma once

#include <QString>

#include <vector>

class QSettings;

namespace dmm::app {

struct AlarmSetting {
    QString condition;
    bool beep = false;
    bool sound = false;
    QString soundFile;
    bool notify = false;
    bool command = false;
    QString commandLine;

    bool operator==(const AlarmSetting&) const = default;

    // The rows under the group "alarms" of `settings`.
    static std::vector<AlarmSetting> load(QSettings& settings);
    static void save(QSettings& settings, const std::vector<AlarmSetting>& rows);
    // What is wrong with the row (the condition, a checked action without its file or
    // command); empty when it can be applied.
    QString problem() const;
};

} // namespace dmm::app
