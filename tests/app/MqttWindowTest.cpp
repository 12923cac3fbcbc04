// The window with --mqtt, wired as the program wires it (rowRecorded to the publisher, its note
// to the link tooltip): the rows it records reach a real mosquitto in order; with a broker that
// never comes up, recording goes on and the event loop is never held up; the options parsed.
#include "FakeHidPlatform.h"
#include "QV31F.h"
#include "RowPublisher.h"
#include "ScriptedDialogs.h"
#include "Simulator.h"
#include "TestBroker.h"
#include "WindowOptions.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace dmm;
using namespace dmm::app;
using namespace std::chrono_literals;

namespace {

class MqttWindow : public ::testing::Test {
protected:
    void SetUp() override {
        w = std::make_unique<TFCOMM>(&dialogs, &hid);
        // The tests feed frames themselves; the link watchdog stays out of it.
        w->findChild<QTimer*>(QStringLiteral("ConTimer"))->stop();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    void TearDown() override {
        if (publisher) publisher->close(0ms);
        w.reset();
    }
    // As main.cpp does it.
    void publishTo(const QString& url) {
        QString error;
        publisher = RowPublisher::create(url, QString(), error);
        ASSERT_TRUE(publisher) << error.toStdString();
        w->pipeline().addSink(publisher.get());
        QObject::connect(
            publisher.get(), &RowPublisher::noteChanged, w.get(),
            [this](const QString& note) { w->setLinkNote(QStringLiteral("mqtt"), note); });
    }
    void feed(int n) {
        for (int i = 0; i < n; ++i) {
            const sim::SimFrame f = sim.next();
            w->serialReceived(f.bytes.data(), static_cast<int>(f.bytes.size()));
        }
    }
    QString linkTooltip() { return w->findChild<QWidget*>(QStringLiteral("CONok"))->toolTip(); }

    ScriptedDialogs dialogs;
    FakeHidPlatform hid;
    std::unique_ptr<TFCOMM> w;
    sim::Simulator sim{sim::SimOptions{}};
    std::unique_ptr<RowPublisher> publisher;
};

TEST_F(MqttWindow, RecordedRowsReachTheBrokerInOrder) {
    dmm::testing::TestBroker broker;
    ASSERT_TRUE(broker.start()) << broker.log();
    dmm::testing::TestSubscriber readings(broker, "lab/window/reading", "window");
    ASSERT_TRUE(readings.start());
    publishTo(QStringLiteral("mqtt://127.0.0.1:%1/lab/window").arg(broker.port()));
    feed(60);
    const int rows = w->cds1().size();
    ASSERT_GT(rows, 0);
    ASSERT_TRUE(readings.waitForLines(static_cast<std::size_t>(rows), 20s));
    const std::vector<std::string> got = readings.lines();
    ASSERT_EQ(got.size(), static_cast<std::size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        const QJsonObject o =
            QJsonDocument::fromJson(QByteArray::fromStdString(got[static_cast<std::size_t>(r)]))
                .object();
        EXPECT_EQ(o.value("no").toInt(), w->cds1().integer(r, Field::No).value_or(-1));
    }
    QTest::qWait(1200); // one note tick
    EXPECT_TRUE(linkTooltip().contains(QStringLiteral("connected, 0 rows queued, 0 dropped")))
        << linkTooltip().toStdString();
}

TEST_F(MqttWindow, ABrokerThatNeverComesUpHoldsNeitherRecordingNorTheEventLoop) {
    publishTo(
        QStringLiteral("mqtt://127.0.0.1:%1/lab/window").arg(dmm::testing::freeLoopbackPort()));
    // A frame every 2 ms for 3 s, and a 10 ms timer whose ticks show how long the event loop
    // was held between them.
    QTimer frames;
    QObject::connect(&frames, &QTimer::timeout, [this] { feed(1); });
    frames.start(2);
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    sinceTick.start();
    ticks.start(10);
    QTest::qWait(3000);
    frames.stop();
    ticks.stop();
    const int rows = w->cds1().size();
    EXPECT_GT(rows, 50) << "recording went on";
    const mqtt::MqttPublisher::Counts c = publisher->counts();
    EXPECT_FALSE(c.connected);
    EXPECT_EQ(c.queued, static_cast<std::uint64_t>(rows));
    EXPECT_LT(longestGap, 100) << "ms the event loop was held";
    EXPECT_TRUE(linkTooltip().contains(QStringLiteral("not connected")))
        << linkTooltip().toStdString();
}

TEST(MqttWindowOptions, TheMqttOptionsAreReadAndWithoutThemNothingIsSet) {
    const ParsedWindowOptions none = parseWindowOptions({QStringLiteral("dmm-interface")});
    EXPECT_FALSE(none.exitCode);
    EXPECT_TRUE(none.options.mqttUrl.isEmpty());
    EXPECT_TRUE(none.options.mqttCaFile.isEmpty());
    const ParsedWindowOptions both = parseWindowOptions(
        {"dmm-interface", "--mqtt", "mqtts://u@h/p", "--mqtt-cafile", "/etc/ca.crt"});
    EXPECT_FALSE(both.exitCode);
    EXPECT_EQ(both.options.mqttUrl, QStringLiteral("mqtts://u@h/p"));
    EXPECT_EQ(both.options.mqttCaFile, QStringLiteral("/etc/ca.crt"));
    EXPECT_EQ(parseWindowOptions({"dmm-interface", "--mqtt-cafile", "/etc/ca.crt"}).exitCode, 2);
    EXPECT_EQ(parseWindowOptions({"dmm-interface", "--mqtt"}).exitCode, 2);
}

} // namespace
