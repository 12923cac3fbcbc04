// The publisher against Debian's mosquitto, collected by mosquitto_sub as a persistent QoS 1
// session: every row once and in order, across a broker restart, with a broker that never comes
// up (the queue's bound and its drop count), over TLS with a CA made here by openssl.
#include <gtest/gtest.h>

#include "MqttPublisher.h"
#include "TestBroker.h"

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

namespace {

using dmm::mqtt::MqttPublisher;
using dmm::mqtt::MqttSettings;
using dmm::testing::TestBroker;
using dmm::testing::TestSubscriber;
using namespace std::chrono_literals;

MqttSettings settingsFor(int port, bool tls = false) {
    MqttSettings s;
    s.url.tls = tls;
    s.url.host = "127.0.0.1";
    s.url.port = port;
    s.url.prefix = "lab/bench1";
    return s;
}

std::string row(int no) {
    return "{\"no\":" + std::to_string(no) + "}";
}

std::vector<std::string> rows(int first, int last) {
    std::vector<std::string> out;
    for (int i = first; i <= last; ++i) out.push_back(row(i));
    return out;
}

// The lines with a repeat of the line before removed: after a reconnect the row that was in
// flight may arrive twice, one after the other.
std::vector<std::string> withoutRepeats(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (out.empty() || out.back() != l) out.push_back(l);
    return out;
}

class MqttPublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(broker.start()) << broker.log();
        ASSERT_TRUE(readings.start()) << broker.log();
        ASSERT_TRUE(status.start()) << broker.log();
    }

    TestBroker broker;
    TestSubscriber readings{broker, "lab/bench1/reading", "readings"};
    TestSubscriber status{broker, "lab/bench1/status", "status"};
};

TEST_F(MqttPublisherTest, DeliversEveryRowOnceInOrder) {
    MqttPublisher publisher(settingsFor(broker.port()));
    ASSERT_EQ(publisher.start(), "");
    for (int i = 1; i <= 2000; ++i) publisher.publish(row(i));
    ASSERT_TRUE(readings.waitForLines(2000, 60s)) << readings.lines().size();
    EXPECT_TRUE(status.waitForLast("online", 10s));
    EXPECT_EQ(publisher.close(5s), 0u);
    EXPECT_EQ(readings.lines(), rows(1, 2000));
    const MqttPublisher::Counts c = publisher.counts();
    EXPECT_EQ(c.delivered, 2000u);
    EXPECT_EQ(c.dropped, 0u);
    EXPECT_TRUE(status.waitForLast("offline", 10s));
}

TEST_F(MqttPublisherTest, DeliversEveryRowAcrossABrokerRestart) {
    MqttSettings s = settingsFor(broker.port());
    MqttPublisher publisher(s);
    ASSERT_EQ(publisher.start(), "");
    int next = 1;
    const auto publishFor = [&](std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            publisher.publish(row(next++));
            std::this_thread::sleep_for(20ms);
        }
    };
    publishFor(1s);
    ASSERT_TRUE(readings.waitForLines(1, 10s));
    broker.stop(SIGTERM); // saves the subscriber's session and its queued rows
    publishFor(10s);
    EXPECT_FALSE(publisher.counts().connected);
    ASSERT_TRUE(broker.start()) << broker.log();
    publishFor(1s);
    const int last = next - 1;
    EXPECT_EQ(publisher.close(30s), 0u);
    ASSERT_TRUE(readings.waitForLast(row(last), 30s)) << readings.lines().size() << " of " << last;
    EXPECT_EQ(withoutRepeats(readings.lines()), rows(1, last));
    EXPECT_EQ(publisher.counts().dropped, 0u);
}

TEST(MqttPublisherNoBroker, QueuesWithoutWaitingAndDropsTheOldestBeyondTheBound) {
    TestBroker broker; // not started yet: nothing listens on its port
    MqttSettings s = settingsFor(broker.port());
    s.queueLimit = 1000;
    s.maxBackoffSeconds = 1;
    MqttPublisher publisher(s);
    ASSERT_EQ(publisher.start(), "");
    for (int i = 1; i <= 1500; ++i) publisher.publish(row(i));
    std::this_thread::sleep_for(1500ms); // a few connection attempts
    MqttPublisher::Counts c = publisher.counts();
    EXPECT_FALSE(c.connected);
    EXPECT_EQ(c.queued, 1000u);
    EXPECT_EQ(c.dropped, 500u);
    EXPECT_NE(c.lastError, "");

    // The broker comes up: the 1000 newest rows arrive, in order.
    ASSERT_TRUE(broker.start()) << broker.log();
    TestSubscriber readings(broker, "lab/bench1/reading", "late");
    ASSERT_TRUE(readings.start());
    // Rows sent before the subscription are gone for it: what arrives is a tail of the 1000
    // newest rows, in order, ending with the last one, and none of the dropped rows.
    EXPECT_EQ(publisher.close(10s), 0u);
    ASSERT_TRUE(readings.waitForLast(row(1500), 10s));
    const std::vector<std::string> got = readings.lines();
    ASSERT_LE(got.size(), 1000u);
    EXPECT_EQ(got, rows(1501 - static_cast<int>(got.size()), 1500));
    EXPECT_EQ(publisher.counts().delivered, 1000u);
}

// A CA, and a server certificate it signed for 127.0.0.1, made with openssl.
bool makeCertificates(const std::string& dir, const std::string& name) {
    const std::string d = dir + "/" + name;
    const std::string cmd =
        "cd '" + dir + "' && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=" + name +
        "-ca -keyout " + d + "-ca.key -out " + d + "-ca.crt >/dev/null 2>&1 && " +
        "openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " + d +
        "-server.key -out " + d + "-server.csr >/dev/null 2>&1 && " +
        "printf 'subjectAltName=IP:127.0.0.1\\n' > " + d + "-ext.cnf && " +
        "openssl x509 -req -in " + d + "-server.csr -CA " + d + "-ca.crt -CAkey " + d +
        "-ca.key -CAcreateserial -days 2 -extfile " + d + "-ext.cnf -out " + d +
        "-server.crt >/dev/null 2>&1";
    return dmm::testing::runShell(cmd) == 0;
}

TEST(MqttPublisherTls, DeliversOverTlsWithTheGivenCaAndRefusesAnother) {
    dmm::testing::TempDir certs;
    ASSERT_TRUE(makeCertificates(certs.path(), "good"));
    ASSERT_TRUE(makeCertificates(certs.path(), "other"));
    const std::string c = certs.path() + "/good";
    TestBroker broker("cafile " + c + "-ca.crt\ncertfile " + c + "-server.crt\nkeyfile " + c +
                      "-server.key\n");
    ASSERT_TRUE(broker.start()) << broker.log();
    TestSubscriber readings(broker, "lab/bench1/reading", "tls", {"--cafile", c + "-ca.crt"});
    ASSERT_TRUE(readings.start()) << broker.log();

    MqttSettings s = settingsFor(broker.port(), true);
    s.caFile = c + "-ca.crt";
    MqttPublisher publisher(s);
    ASSERT_EQ(publisher.start(), "");
    for (int i = 1; i <= 50; ++i) publisher.publish(row(i));
    ASSERT_TRUE(readings.waitForLines(50, 30s)) << broker.log();
    EXPECT_EQ(publisher.close(5s), 0u);
    EXPECT_EQ(readings.lines(), rows(1, 50));

    // A publisher that trusts another CA does not connect, and says why.
    MqttSettings wrong = s;
    wrong.caFile = certs.path() + "/other-ca.crt";
    MqttPublisher refused(wrong);
    ASSERT_EQ(refused.start(), "");
    refused.publish(row(51));
    std::this_thread::sleep_for(1500ms);
    const MqttPublisher::Counts counts = refused.counts();
    EXPECT_FALSE(counts.connected);
    EXPECT_NE(counts.lastError, "");
    EXPECT_EQ(refused.close(0ms), 1u);
    EXPECT_EQ(readings.lines(), rows(1, 50));
}

TEST(MqttPublisherTls, ACaFileThatCannotBeReadIsAnErrorAtStart) {
    MqttSettings s = settingsFor(dmm::testing::freeLoopbackPort(), true);
    s.caFile = "/nonexistent/ca.crt";
    MqttPublisher publisher(s);
    EXPECT_NE(publisher.start().find("/nonexistent/ca.crt"), std::string::npos);
}

} // namespace
