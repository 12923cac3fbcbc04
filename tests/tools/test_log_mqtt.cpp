// dmm log --mqtt as a black box, against dmm simulate on a pseudo-terminal, Debian's mosquitto
// and mosquitto_sub as persistent QoS 1 sessions: a run at full speed arrives whole and in order,
// two loggers deliver every row across a broker restart, and a logger killed with SIGKILL leaves
// "offline" as its status.
#include <gtest/gtest.h>

#include "TestBroker.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using dmm::testing::TestBroker;
using dmm::testing::TestSubscriber;
using namespace std::chrono_literals;

QString dmmPath() {
    return QString::fromLocal8Bit(std::getenv("DMM_BINARY_DIR")) + "/tools/dmm/dmm";
}

// A simulated meter on a pseudo-terminal; `rate` frames per second, 0 as fast as read.
struct Meter {
    explicit Meter(const QString& rate) {
        sim.start(dmmPath(), {"simulate", "--pty", "--rate", rate});
        if (!sim.waitForStarted(5000)) return;
        while (!sim.canReadLine())
            if (!sim.waitForReadyRead(5000)) return;
        pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    }
    ~Meter() {
        sim.terminate();
        sim.waitForFinished(5000);
    }
    QProcess sim;
    QString pty;
};

QString urlOf(const TestBroker& broker, const QString& prefix) {
    return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(broker.port()).arg(prefix);
}

// The record numbers of the payloads, in arrival order; -1 for a line that is not a row.
std::vector<int> numbers(const std::vector<std::string>& lines) {
    std::vector<int> out;
    for (const std::string& l : lines) {
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(l)).object();
        out.push_back(o.value(QStringLiteral("no")).isDouble() ? o.value("no").toInt() : -1);
    }
    return out;
}

std::vector<int> withoutRepeats(const std::vector<int>& v) {
    std::vector<int> out;
    for (int n : v)
        if (out.empty() || out.back() != n) out.push_back(n);
    return out;
}

std::vector<int> oneTo(int last) {
    std::vector<int> out;
    for (int i = 1; i <= last; ++i) out.push_back(i);
    return out;
}

// The record numbers of a data file dmm log wrote (tab-separated, the number first).
std::vector<int> fileNumbers(const QString& path) {
    QFile f(path);
    std::vector<int> out;
    if (!f.open(QIODevice::ReadOnly)) return out;
    f.readLine(); // the header
    while (!f.atEnd()) out.push_back(f.readLine().split('\t').value(0).toInt());
    return out;
}

class DmmLogMqtt : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(dmmPath())) GTEST_SKIP() << "dmm is not built";
        ASSERT_TRUE(broker.start()) << broker.log();
    }
    TestBroker broker;
};

TEST_F(DmmLogMqtt, ARunAtFullSpeedArrivesWholeOnceAndInOrder) {
    TestSubscriber readings(broker, "lab/b1/reading", "readings");
    TestSubscriber status(broker, "lab/b1/status", "status");
    ASSERT_TRUE(readings.start());
    ASSERT_TRUE(status.start());
    Meter meter("0");
    ASSERT_FALSE(meter.pty.isEmpty());
    QProcess log;
    log.start(dmmPath(),
              {"log", "--port", meter.pty, "--limit", "2000", "--mqtt", urlOf(broker, "lab/b1")});
    ASSERT_TRUE(log.waitForFinished(60000));
    EXPECT_EQ(log.exitCode(), 0) << log.readAllStandardError().toStdString();
    ASSERT_TRUE(readings.waitForLines(2000, 30s)) << readings.lines().size();
    EXPECT_EQ(numbers(readings.lines()), oneTo(2000));
    EXPECT_TRUE(status.waitForLast("offline", 10s));
    EXPECT_EQ(status.lines().front(), "online");

    // The payload: the CSV columns as keys, `value` a number or null.
    const QJsonObject first =
        QJsonDocument::fromJson(QByteArray::fromStdString(readings.lines().front())).object();
    EXPECT_EQ(first.keys().size(), 9);
    for (const char* key :
         {"no", "time", "function", "display", "unit", "value", "base_unit", "range", "judge"})
        EXPECT_TRUE(first.contains(QLatin1String(key))) << key;
    EXPECT_TRUE(first.value("value").isDouble() || first.value("value").isNull());
    EXPECT_TRUE(first.value("time").isString());
}

TEST_F(DmmLogMqtt, TwoLoggersDeliverEveryRowAcrossABrokerRestart) {
    QTemporaryDir dir;
    TestSubscriber one(broker, "lab/b1/reading", "one");
    TestSubscriber two(broker, "lab/b2/reading", "two");
    ASSERT_TRUE(one.start());
    ASSERT_TRUE(two.start());
    Meter meterOne("25");
    Meter meterTwo("25");
    QProcess logOne;
    QProcess logTwo;
    logOne.start(dmmPath(), {"log", "--port", meterOne.pty, "--out", dir.filePath("one.xls"),
                             "--mqtt", urlOf(broker, "lab/b1")});
    logTwo.start(dmmPath(), {"log", "--port", meterTwo.pty, "--out", dir.filePath("two.xls"),
                             "--mqtt", urlOf(broker, "lab/b2")});
    ASSERT_TRUE(one.waitForLines(5, 10s));
    ASSERT_TRUE(two.waitForLines(5, 10s));
    broker.stop(SIGTERM);
    QThread::sleep(3);
    ASSERT_TRUE(broker.start()) << broker.log();
    QThread::sleep(6); // the loggers' next attempt comes at most 4 s after the broker's return
    for (QProcess* log : {&logOne, &logTwo}) {
        ::kill(static_cast<pid_t>(log->processId()), SIGINT);
        ASSERT_TRUE(log->waitForFinished(30000));
        EXPECT_EQ(log->exitCode(), 0) << log->readAllStandardError().toStdString();
    }
    const std::vector<int> sentOne = fileNumbers(dir.filePath("one.xls"));
    const std::vector<int> sentTwo = fileNumbers(dir.filePath("two.xls"));
    EXPECT_GT(sentOne.size(), 100u);
    ASSERT_FALSE(sentTwo.empty());
    const auto endsWith = [](int no) {
        return [no](const std::vector<std::string>& l) {
            return !l.empty() && numbers({l.back()}).front() == no;
        };
    };
    EXPECT_TRUE(one.waitFor(endsWith(sentOne.back()), 10s));
    EXPECT_TRUE(two.waitFor(endsWith(sentTwo.back()), 10s));
    EXPECT_EQ(withoutRepeats(numbers(one.lines())), sentOne);
    EXPECT_EQ(withoutRepeats(numbers(two.lines())), sentTwo);
}

TEST_F(DmmLogMqtt, AKilledLoggerLeavesOfflineAsItsStatus) {
    TestSubscriber status(broker, "lab/b1/status", "status");
    ASSERT_TRUE(status.start());
    Meter meter("25");
    QProcess log;
    log.start(dmmPath(), {"log", "--port", meter.pty, "--mqtt", urlOf(broker, "lab/b1")});
    ASSERT_TRUE(status.waitForLast("online", 10s));
    ::kill(static_cast<pid_t>(log.processId()), SIGKILL);
    log.waitForFinished(5000);
    EXPECT_TRUE(status.waitForLast("offline", 10s)) << broker.log();
}

TEST_F(DmmLogMqtt, AnActiveAlarmIsRetainedOnTheAlarmTopic) {
    TestSubscriber early(broker, "lab/b1/alarm", "early");
    ASSERT_TRUE(early.start());
    Meter meter("25");
    QProcess log;
    log.start(dmmPath(), {"log", "--port", meter.pty, "--mqtt", urlOf(broker, "lab/b1"), "--alarm",
                          "above 12 V for 2"});
    ASSERT_TRUE(early.waitForLines(1, 20s)) << broker.log();
    // A subscriber that comes later still gets it: it stays retained while the alarm is active.
    TestSubscriber late(broker, "lab/b1/alarm", "late");
    ASSERT_TRUE(late.start());
    ASSERT_TRUE(late.waitForLines(1, 10s));
    log.kill();
    log.waitForFinished(10000);
    EXPECT_EQ(late.lines().front(), early.lines().front());
    const QJsonObject o =
        QJsonDocument::fromJson(QByteArray::fromStdString(early.lines().front())).object();
    EXPECT_EQ(o.keys(), QStringList({"alarm", "no", "state", "time", "unit", "value"}));
    EXPECT_EQ(o.value("alarm").toString() + o.value("state").toString(), "above 12 V for 2fired");
    EXPECT_GT(o.value("value").toDouble(), 12);
}

TEST_F(DmmLogMqtt, AfterKillNineTheFileHoldsEveryRowItPublished) {
    QTemporaryDir dir;
    TestSubscriber readings(broker, "lab/b1/reading", "readings");
    ASSERT_TRUE(readings.start());
    Meter meter("25");
    QProcess log;
    log.start(dmmPath(), {"log", "--port", meter.pty, "--out", dir.filePath("k.xls"), "--mqtt",
                          urlOf(broker, "lab/b1")});
    ASSERT_TRUE(readings.waitForLines(20, 10s));
    ::kill(static_cast<pid_t>(log.processId()), SIGKILL);
    log.waitForFinished(5000);
    const std::vector<int> published = withoutRepeats(numbers(readings.lines()));
    const std::vector<int> kept = fileNumbers(dir.filePath("k.xls"));
    ASSERT_GE(kept.size(), published.size());
    EXPECT_EQ(std::vector<int>(kept.begin(), kept.begin() + long(published.size())), published);
}

} // namespace
