// The server with real sockets in this process: the client limit, a client that floods without
// reading its answers, and what a snapshot of the meter carries.
#include "ScpiServer.h"
#include "MeterWatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace dmm::scpi {
namespace {

template <class F> bool spinUntil(F done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

std::unique_ptr<QTcpSocket> connectTo(const ScpiServer& server) {
    auto s = std::make_unique<QTcpSocket>();
    s->connectToHost(QHostAddress::LocalHost, server.address().port);
    // Connected, or already closed by the server.
    spinUntil([&] {
        return s->state() == QAbstractSocket::ConnectedState ||
               s->state() == QAbstractSocket::UnconnectedState;
    });
    return s;
}

QByteArray ask(QTcpSocket& s, const QByteArray& line) {
    s.write(line);
    spinUntil([&] { return s.canReadLine(); });
    return s.readLine();
}

ScpiReading noReading() {
    return {};
}

TEST(ScpiServer, SixteenClientsAndTheSeventeenthIsClosedAtOnce) {
    ScpiServer server(noReading);
    ASSERT_EQ(server.listen({QHostAddress::LocalHost, 0}), QString());
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < ScpiServer::kMaxClients; ++i) clients.push_back(connectTo(server));
    ASSERT_TRUE(spinUntil([&] { return server.clientCount() == 16; }));
    for (auto& c : clients) EXPECT_EQ(ask(*c, "*OPC?\n"), "1\n");
    auto extra = connectTo(server);
    EXPECT_TRUE(spinUntil([&] { return extra->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(server.clientCount(), 16);
    clients.pop_back(); // a place freed...
    ASSERT_TRUE(spinUntil([&] { return server.clientCount() == 15; }));
    auto again = connectTo(server); // ...is taken again
    EXPECT_EQ(ask(*again, "*OPC?\n"), "1\n");
}

TEST(ScpiServer, AClientThatNeverReadsHoldsBoundedAnswersAndOthersAreServed) {
    ScpiServer server(noReading);
    ASSERT_EQ(server.listen({QHostAddress::LocalHost, 0}), QString());
    auto flood = connectTo(server);
    flood->setReadBufferSize(1); // reads nothing itself: the answers pile up at the server
    QByteArray lines;
    for (int i = 0; i < 100000; ++i) lines += "*IDN?\n"; // 600 KB in, 4 MB of answers
    for (int i = 0; i < 8; ++i) flood->write(lines);
    qint64 most = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        most = std::max(most, server.pendingOutput());
    }
    EXPECT_GT(most, 0);
    // The bound, plus the answers to one read buffer's worth of the shortest query.
    EXPECT_LE(most, ScpiServer::kMaxOutput + ScpiServer::kReadBuffer / 6 * 40) << most;
    auto other = connectTo(server);
    EXPECT_EQ(ask(*other, "*OPC?\n"), "1\n");
}

TEST(MeterWatch, CopiesTheReadingWhenAFrameWasDecodedAndAgesIt) {
    CurrentReading reading;
    MeterWatch watch;
    EXPECT_FALSE(watch.reading().decoded);
    reading.ValueText = "1.2345";
    watch.readingDecoded(reading);
    reading.ValueText = "9.9999"; // not told of a new frame: not taken
    QThread::msleep(30);
    const ScpiReading r = watch.reading();
    EXPECT_TRUE(r.decoded);
    EXPECT_EQ(r.reading.ValueText, "1.2345");
    EXPECT_GE(r.ageMs, 30);
    reading.measurement.quantity = Quantity::Continuity;
    watch.readingDecoded(reading);
    EXPECT_EQ(watch.reading().reading.ValueText, "9.9999");
    EXPECT_EQ(watch.reading().reading.measurement.quantity, Quantity::Continuity);
    EXPECT_LT(watch.reading().ageMs, 30);
}

} // namespace
} // namespace dmm::scpi
