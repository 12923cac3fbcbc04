// dmm log --alarm as a black box, against dmm simulate (a 12.345 V supply that wanders): a bad
// condition, a real notification service, a stand-in player on PATH, the user's command (its
// environment, quotes and spaces, one that hangs while alarms keep coming).
#include <gtest/gtest.h>

#include "NotificationService.h"
#include "SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdlib>

namespace {

using namespace std::chrono_literals;

QString dmmPath() {
    return QString::fromLocal8Bit(std::getenv("DMM_BINARY_DIR")) + "/tools/dmm/dmm";
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A shell script in `dir` (the name may hold spaces).
QString script(const QTemporaryDir& dir, const QString& name, const QByteArray& body) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body);
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return f.fileName();
}

class DmmLogAlarm : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(dmmPath())) GTEST_SKIP() << "dmm is not built";
        ASSERT_TRUE(sim.start(dmmPath(), {"--rate", "25"}));
    }
    void start(const QStringList& args) {
        log.setProcessEnvironment(env);
        log.setStandardErrorFile(dir.filePath("stderr"));
        log.start(dmmPath(), QStringList{"log", "--port", sim.pty()} + args);
        ASSERT_TRUE(log.waitForStarted(5000));
    }
    // Ctrl-C; the exit code, -1 if it did not end within 10 s.
    int stop() {
        ::kill(static_cast<pid_t>(log.processId()), SIGINT);
        const bool ended = log.waitForFinished(10000);
        stderrText = QString::fromLocal8Bit(fileBytes(dir.filePath("stderr")));
        return ended ? log.exitCode() : -1;
    }
    template <class F> static bool waitUntil(F done, std::chrono::milliseconds timeout) {
        QDeadlineTimer deadline(timeout);
        while (!done() && !deadline.hasExpired()) QThread::msleep(50);
        return done();
    }

    QTemporaryDir dir;
    dmm::testnet::SimulatorProcess sim;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess log;
    QString stderrText;
};

TEST_F(DmmLogAlarm, ABadConditionIsAUsageErrorThatSaysWhatWasExpected) {
    start({"--alarm", "above 5 V", "--alarm", "above 5"});
    ASSERT_TRUE(log.waitForFinished(10000));
    EXPECT_EQ(log.exitCode(), 2);
    EXPECT_TRUE(fileBytes(dir.filePath("stderr"))
                    .contains("dmm log: --alarm 'above 5': expected a unit: V, A, ohm"));
}

TEST_F(DmmLogAlarm, TheNotificationServiceThePlayerOnPathAndTheBellHearTheAlarmFire) {
    dmm::testalarm::NotificationService service;
    ASSERT_TRUE(service.start()) << service.error().toStdString();
    env.insert("DBUS_SESSION_BUS_ADDRESS", service.address());
    const QString played = dir.filePath("played");
    QDir().mkpath(dir.filePath("bin"));
    script(dir, "bin/aplay", "printf '%s\\n' \"$@\" >> \"" + played.toUtf8() + "\"\n");
    env.insert("PATH", dir.filePath("bin") + ":" + env.value("PATH"));
    start({"--alarm", "above 1 V for 3", "--alarm", "below 1 V", "--alarm-notify", "--alarm-beep",
           "--alarm-sound", "/sounds/ripple alarm.wav"});
    ASSERT_TRUE(waitUntil([&] { return !service.received().empty(); }, 20s));
    ASSERT_TRUE(waitUntil([&] { return !fileBytes(played).isEmpty(); }, 20s));
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(fileBytes(played), "/sounds/ripple alarm.wav\n");
    const QJsonObject n = service.received().front();
    EXPECT_EQ(n.value("app").toString(), "dmm log");
    EXPECT_EQ(n.value("summary").toString(), "Alarm fired: above 1 V for 3");
    EXPECT_TRUE(QRegularExpression(R"(^fired at \d\d:\d\d:\d\d: 1\d\.\d+ V \(no\. \d+\)$)")
                    .match(n.value("body").toString())
                    .hasMatch())
        << n.value("body").toString().toStdString();
    EXPECT_EQ(n.value("urgency").toInt(), 2);
    EXPECT_EQ(service.received().size(), 1u); // "below 1 V" never held
    EXPECT_TRUE(stderrText.contains("alarm fired: above 1 V for 3 (1")) << stderrText.toStdString();
    EXPECT_TRUE(stderrText.contains("alarms: 1 fired, 0 cleared, 1 active at the end"));
    EXPECT_TRUE(stderrText.contains('\a')); // the terminal's bell
}

TEST_F(DmmLogAlarm, TheCommandGetsTheEventInItsEnvironmentAndItsQuotedWords) {
    const QString events = dir.filePath("events");
    const QString say = script(dir, "say it.sh",
                               "{ printf 'args'; printf ' [%s]' \"$@\"; echo;"
                               "  env | grep -E '^DMM_(ALARM|STATE|VALUE|UNIT|DISPLAY|NO|TIME)=' | "
                               "sort; echo; } >> \"$DMM_OUT\"\n");
    env.insert("DMM_OUT", events);
    // The supply wanders down from 12.345 V about 12.3 V: the alarm fires and clears again.
    start({"--alarm", "above 12300 mV DC", "--alarm-command",
           "\"" + say + "\" \"two words\" \"\"\"quoted\"\"\""});
    ASSERT_TRUE(waitUntil([&] { return fileBytes(events).count("DMM_STATE=cleared") >= 1; }, 60s))
        << fileBytes(events).toStdString();
    EXPECT_EQ(stop(), 0);
    const QString text = QString::fromUtf8(fileBytes(events));
    EXPECT_TRUE(text.startsWith("args [two words] [\"quoted\"]\nDMM_ALARM=above 12300 mV DC\n"))
        << text.toStdString();
    const QRegularExpression event(
        R"(DMM_ALARM=above 12300 mV DC\nDMM_DISPLAY=1\d\.\d{3}\nDMM_NO=\d+\n)"
        R"(DMM_STATE=(fired|cleared)\nDMM_TIME=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\S*\n)"
        R"(DMM_UNIT=V\nDMM_VALUE=(1\d\.\d+)\n)");
    QString states;
    for (auto it = event.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        states += m.captured(1).front();
        EXPECT_EQ(m.captured(2).toDouble() > 12.3, m.captured(1) == "fired");
    }
    EXPECT_TRUE(states.startsWith("fc")) << text.toStdString();
}

TEST_F(DmmLogAlarm, ACommandThatHangsHoldsNeitherTheRecordingNorTheOtherEvents) {
    const QString starts = dir.filePath("starts");
    const QString slow = script(dir, "slow.sh", "echo \"$DMM_STATE\" >> \"$1\"\nexec sleep 60\n");
    const QString out = dir.filePath("rows.txt");
    sim.stop(); // for every function, overloads (verdict "Fail") among them
    ASSERT_TRUE(sim.start(dmmPath(), {"--rate", "25", "--script", "tour"}));
    start({"--out", out, "--alarm", "fail", "--alarm-command", slow + " " + starts});
    ASSERT_TRUE(waitUntil([&] { return !fileBytes(starts).isEmpty(); }, 20s));
    const qsizetype rowsThen = fileBytes(out).count('\n');
    // While the command sleeps, the alarms go on firing and clearing and rows go on coming.
    ASSERT_TRUE(waitUntil([&] { return fileBytes(out).count('\n') > rowsThen + 50; }, 30s));
    EXPECT_EQ(stop(), 0);
    EXPECT_GE(stderrText.count("alarm fired:"), 4) << stderrText.toStdString();
    EXPECT_GE(stderrText.count("alarm cleared:"), 4);
    EXPECT_EQ(fileBytes(starts).count('\n'), 1); // one at a time, the rest waiting
}

} // namespace
