// dmm log --alarm as a black box, against dmm simulate (a 12.345 V supply that wanders) on a
// pseudo-terminal: conditions it refuses, a real notification service on a session bus of the
// test's own, the user's command (its environment, a command line with quotes and spaces, one
// that hangs while alarms keep coming) and the sound through a stand-in player on PATH.
#include <gtest/gtest.h>

#include "NotificationService.h"

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
        startMeter("wander");
        env = QProcessEnvironment::systemEnvironment();
    }
    // "wander": a 12.345 V supply; "tour": every function, overloads (verdict "Fail") among them.
    void startMeter(const QString& script) {
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            sim.waitForFinished(5000);
        }
        sim.start(dmmPath(), {"simulate", "--pty", "--rate", "25", "--script", script});
        ASSERT_TRUE(sim.waitForStarted(5000));
        while (!sim.canReadLine()) ASSERT_TRUE(sim.waitForReadyRead(5000));
        pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    }
    void TearDown() override {
        if (log.state() != QProcess::NotRunning) {
            log.kill();
            log.waitForFinished(5000);
        }
        sim.terminate();
        sim.waitForFinished(5000);
    }
    void start(const QStringList& args) {
        log.setProcessEnvironment(env);
        log.setStandardErrorFile(dir.filePath("stderr"));
        log.start(dmmPath(), QStringList{"log", "--port", pty} + args);
        ASSERT_TRUE(log.waitForStarted(5000));
    }
    // Ctrl-C; the exit code, -1 if it did not end within 10 s.
    int stop() {
        ::kill(static_cast<pid_t>(log.processId()), SIGINT);
        if (!log.waitForFinished(10000)) return -1;
        stderrText = QString::fromLocal8Bit(fileBytes(dir.filePath("stderr")));
        return log.exitCode();
    }
    template <class F> static bool waitUntil(F done, std::chrono::milliseconds timeout) {
        QDeadlineTimer deadline(timeout);
        while (!done() && !deadline.hasExpired()) QThread::msleep(50);
        return done();
    }

    QTemporaryDir dir;
    QProcess sim;
    QString pty;
    QProcessEnvironment env;
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

TEST_F(DmmLogAlarm, TheNotificationServiceHearsTheAlarmFire) {
    dmm::testalarm::NotificationService service;
    ASSERT_TRUE(service.start()) << service.error().toStdString();
    env.insert("DBUS_SESSION_BUS_ADDRESS", service.address());
    start({"--alarm", "above 1 V for 3", "--alarm", "below 1 V", "--alarm-notify"});
    ASSERT_TRUE(waitUntil([&] { return !service.received().empty(); }, 20s));
    EXPECT_EQ(stop(), 0);
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
}

TEST_F(DmmLogAlarm, TheCommandGetsTheEventInItsEnvironmentAndItsQuotedWords) {
    const QString events = dir.filePath("events");
    const QString say = script(dir, "say it.sh",
                               "{ printf 'args'; printf ' [%s]' \"$@\"; echo;"
                               "  env | grep -E '^DMM_(ALARM|STATE|VALUE|UNIT|DISPLAY|NO|TIME)=' | "
                               "sort; echo; } >> \"$DMM_OUT\"\n");
    env.insert("DMM_OUT", events);
    // The supply wanders about 12.345 V: the alarm fires and clears again and again.
    start({"--alarm", "above 12345 mV DC", "--alarm-command",
           "\"" + say + "\" \"two words\" \"\"\"quoted\"\"\""});
    ASSERT_TRUE(waitUntil([&] { return fileBytes(events).count("DMM_STATE=cleared") >= 1; }, 60s))
        << fileBytes(events).toStdString();
    EXPECT_EQ(stop(), 0);
    const QString text = QString::fromUtf8(fileBytes(events));
    EXPECT_TRUE(text.startsWith("args [two words] [\"quoted\"]\nDMM_ALARM=above 12345 mV DC\n"))
        << text.toStdString();
    const QRegularExpression event(
        R"(DMM_ALARM=above 12345 mV DC\nDMM_DISPLAY=(1\d\.\d{3})\nDMM_NO=(\d+)\n)"
        R"(DMM_STATE=(fired|cleared)\nDMM_TIME=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\S*\n)"
        R"(DMM_UNIT=V\nDMM_VALUE=(1\d\.\d+)\n)");
    QStringList states;
    for (auto it = event.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        states << m.captured(3);
        const double value = m.captured(4).toDouble();
        EXPECT_EQ(value > 12.345, m.captured(3) == "fired") << m.captured(0).toStdString();
    }
    ASSERT_GE(states.size(), 2) << text.toStdString();
    EXPECT_EQ(states.front(), "fired");
}

TEST_F(DmmLogAlarm, ACommandThatHangsHoldsNeitherTheRecordingNorTheOtherEvents) {
    const QString starts = dir.filePath("starts");
    const QString slow = script(dir, "slow.sh", "echo \"$DMM_STATE\" >> \"$1\"\nexec sleep 60\n");
    const QString out = dir.filePath("rows.txt");
    startMeter("tour");
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

TEST_F(DmmLogAlarm, TheSoundGoesToThePlayerOnPath) {
    const QString played = dir.filePath("played");
    QDir().mkpath(dir.filePath("bin"));
    script(dir, "bin/aplay", "printf '%s\\n' \"$@\" >> \"" + played.toUtf8() + "\"\n");
    env.insert("PATH", dir.filePath("bin") + ":" + env.value("PATH"));
    start({"--alarm", "above 1 V", "--alarm-sound", "/sounds/ripple alarm.wav"});
    ASSERT_TRUE(waitUntil([&] { return !fileBytes(played).isEmpty(); }, 20s));
    EXPECT_EQ(stop(), 0);
    EXPECT_EQ(fileBytes(played), "/sounds/ripple alarm.wav\n");
}

} // namespace
