// The server with real sockets in this process: the client limit and the eviction of idle
// clients, a client that floods without reading its answers, and what a snapshot of the meter
// carries.
#include "ScpiServer.h"
#include "MeterWatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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

// The server's connections on `port` whose keep-alive timer runs, from the kernel's socket table
// ("... 01 00000000:00000000 02:..." : established, timer 2 = keep-alive).
int keptAlive(quint16 port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) return -1;
    const QByteArray local = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    int n = 0;
    for (QByteArray line = table.readLine(); !line.isEmpty(); line = table.readLine()) {
        const QList<QByteArray> f = line.simplified().split(' ');
        n += f.size() > 5 && f[1].endsWith(local) && f[3] == "01" && f[5].startsWith("02:");
    }
    return n;
}

ScpiReading noReading() {
    return {};
}

// Sixteen clients fill the server. When all sixteen have just talked, the seventeenth is closed
// at once; when all sixteen have been silent past the idle time, it takes the place of the one
// silent the longest (the first) and is answered. A freed place is taken again.
TEST(ScpiServer, TheSeventeenthClientEvictsTheLongestIdleOrIsClosed) {
    for (const bool talking : {true, false}) {
        SCOPED_TRACE(talking ? "talking" : "silent");
        ScpiServer server(noReading);
        ASSERT_EQ(server.listen({QHostAddress::LocalHost, 0}), QString());
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < ScpiServer::kMaxClients; ++i) clients.push_back(connectTo(server));
        ASSERT_TRUE(spinUntil([&] { return server.clientCount() == 16; }));
        if (talking)
            for (auto& c : clients) EXPECT_EQ(ask(*c, "*OPC?\n"), "1\n");
        else
            spinUntil([] { return false; }, ScpiServer::kIdleMs + 500);
        EXPECT_EQ(keptAlive(server.address().port), 16);
        auto extra = connectTo(server);
        if (talking) {
            EXPECT_TRUE(
                spinUntil([&] { return extra->state() == QAbstractSocket::UnconnectedState; }));
        } else {
            EXPECT_TRUE(ask(*extra, "*IDN?\n").startsWith("dmm-interface,"));
            EXPECT_TRUE(spinUntil(
                [&] { return clients[0]->state() == QAbstractSocket::UnconnectedState; }));
            for (int i = 1; i < 16; ++i)
                EXPECT_EQ(clients[i]->state(), QAbstractSocket::ConnectedState) << i;
        }
        EXPECT_EQ(server.clientCount(), 16);
        clients.pop_back(); // a place freed...
        ASSERT_TRUE(spinUntil([&] { return server.clientCount() == 15; }));
        auto again = connectTo(server); // ...is taken again
        EXPECT_EQ(ask(*again, "*OPC?\n"), "1\n");
    }
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
