// TCommPortDriver against real pseudo-terminals.
#include "ComDrv32.h"
#include "Pty.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaEnum>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <vector>

namespace {

struct Chunk {
    QByteArray bytes;
    qint64 atMs;
};

// Collects every OnReceiveData call with the time it came.
struct Receiver {
    explicit Receiver(TCommPortDriver& d) {
        clock.start();
        d.OnReceiveData = [this, &d](TCommPortDriver* sender, const std::uint8_t* data,
                                     std::int32_t size) {
            EXPECT_EQ(sender, &d);
            EXPECT_GE(size, 1);
            EXPECT_LE(size, d.ComPortInBufSize());
            chunks.push_back(
                {QByteArray(reinterpret_cast<const char*>(data), size), clock.elapsed()});
        };
    }
    QByteArray all() const {
        QByteArray out;
        for (const Chunk& c : chunks) out += c.bytes;
        return out;
    }
    // Runs the event loop until `bytes` have arrived or the time is up.
    bool waitFor(qsizetype bytes, int ms = 2000) {
        QElapsedTimer t;
        t.start();
        while (all().size() < bytes && t.elapsed() < ms) QTest::qWait(5);
        return all().size() >= bytes;
    }
    std::vector<Chunk> chunks;
    QElapsedTimer clock;
};

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QByteArray pattern(int n) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) b[i] = static_cast<char>(i * 7 + 3);
    return b;
}

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }
    Pty pty;
    // The driver's default port is COM2.
    ComOverride com2{2, pty.slavePath()};
};

TEST(DriverDefaults, PublishedPropertiesAndEnumerationOrdinals) {
    TCommPortDriver d;
    EXPECT_EQ(d.ComPort(), TCommPortDriver::pnCOM2);
    EXPECT_EQ(d.ComPortSpeed(), TCommPortDriver::br9600);
    EXPECT_EQ(d.ComPortDataBits(), TCommPortDriver::db8BITS);
    EXPECT_EQ(d.ComPortStopBits(), TCommPortDriver::sb1BITS);
    EXPECT_EQ(d.ComPortParity(), TCommPortDriver::ptNONE);
    EXPECT_EQ(d.ComPortHwHandshaking(), TCommPortDriver::hhNONE);
    EXPECT_EQ(d.ComPortSwHandshaking(), TCommPortDriver::shNONE);
    EXPECT_EQ(d.ComPortInBufSize(), 2048);
    EXPECT_EQ(d.ComPortOutBufSize(), 2048);
    EXPECT_EQ(d.ComPortPollingDelay(), 50);
    EXPECT_TRUE(d.EnableDTROnOpen());
    EXPECT_EQ(d.OutputTimeout(), 4000);
    EXPECT_FALSE(d.OnReceiveData);
    EXPECT_FALSE(d.IsPortOpen());

    // The enumerations, by name and ordinal, as the meta-object publishes them.
    const struct {
        const char* type;
        std::vector<const char*> keys;
    } enums[] = {
        {"TComPortNumber", {"pnCOM1", "pnCOM2", "pnCOM3", "pnCOM4"}},
        {"TComPortBaudRate",
         {"br110", "br300", "br600", "br1200", "br2400", "br4800", "br9600", "br14400", "br19200",
          "br38400", "br56000", "br57600", "br115200"}},
        {"TComPortDataBits", {"db5BITS", "db6BITS", "db7BITS", "db8BITS"}},
        {"TComPortStopBits", {"sb1BITS", "sb1HALFBITS", "sb2BITS"}},
        {"TComPortParity", {"ptNONE", "ptODD", "ptEVEN", "ptMARK", "ptSPACE"}},
        {"TComPortHwHandshaking", {"hhNONE", "hhRTSCTS"}},
        {"TComPortSwHandshaking", {"shNONE", "shXONXOFF"}},
    };
    const QMetaObject& mo = TCommPortDriver::staticMetaObject;
    for (const auto& e : enums) {
        const int at = mo.indexOfEnumerator(e.type);
        ASSERT_GE(at, 0) << e.type;
        const QMetaEnum me = mo.enumerator(at);
        ASSERT_EQ(me.keyCount(), static_cast<int>(e.keys.size())) << e.type;
        for (int i = 0; i < me.keyCount(); ++i) {
            EXPECT_STREQ(me.key(i), e.keys[static_cast<std::size_t>(i)]);
            EXPECT_EQ(me.value(i), i) << me.key(i);
        }
    }
    const char* props[] = {
        "ComPort",           "ComPortSpeed",         "ComPortDataBits",      "ComPortStopBits",
        "ComPortParity",     "ComPortHwHandshaking", "ComPortSwHandshaking", "ComPortInBufSize",
        "ComPortOutBufSize", "ComPortPollingDelay",  "EnableDTROnOpen",      "OutputTimeout"};
    for (const char* p : props) EXPECT_GE(mo.indexOfProperty(p), 0) << p;
    EXPECT_EQ(d.property("ComPortSpeed").toInt(), TCommPortDriver::br9600);

    const int rates[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                         14400, 19200, 38400, 56000, 57600, 115200};
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(TCommPortDriver::baudRateValue(static_cast<TCommPortDriver::TComPortBaudRate>(i)),
                  rates[i]);
}

TEST_F(DriverTest, MeterLineSettingsReachTheDevice) {
    TCommPortDriver d;
    d.SetComPortSpeed(TCommPortDriver::br2400);
    ASSERT_TRUE(d.OpenPort());
    const termios t = pty.settings();
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B2400));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);
    EXPECT_FALSE(t.c_iflag & (IXON | IXOFF));
    // Raw: no byte is translated or checked on the way in (0x0D stays 0x0D).
    EXPECT_FALSE(t.c_iflag & (INPCK | ICRNL | ISTRIP | IGNCR | INLCR));
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));
    // A pseudo-terminal has no modem lines; everything else went through.
    for (const char* applied : {"speed", "data bits", "parity", "stop bits", "raw input"})
        EXPECT_FALSE(d.LastError().contains(QLatin1String(applied))) << d.LastError().toStdString();
    Receiver r(d);
    pty.write(QByteArray("\x0D\x0A\x11\x13\xFF", 5));
    ASSERT_TRUE(r.waitFor(5));
    EXPECT_EQ(r.all(), QByteArray("\x0D\x0A\x11\x13\xFF", 5));
}

// Each line setting, changed while open, is applied at once.
TEST_F(DriverTest, EveryLineSettingIsAppliedWhileOpen) {
    TCommPortDriver d;
    ASSERT_TRUE(d.OpenPort());
    struct Row {
        const char* what;
        std::function<void()> set;
        std::function<bool(const termios&)> check;
    };
    const Row rows[] = {
        {"115200", [&] { d.SetComPortSpeed(TCommPortDriver::br115200); },
         [](const termios& t) { return cfgetispeed(&t) == B115200; }},
        {"110", [&] { d.SetComPortSpeed(TCommPortDriver::br110); },
         [](const termios& t) { return cfgetispeed(&t) == B110; }},
        // A pseudo-terminal keeps 8 bits and no parity whatever it is told (the kernel's pty
        // driver resets them, and the port then refuses the setting): refused settings are
        // ignored and leave the rest of the line as it was.
        {"5 bits refused", [&] { d.SetComPortDataBits(TCommPortDriver::db5BITS); },
         [](const termios& t) { return (t.c_cflag & CSIZE) == CS8 && cfgetispeed(&t) == B110; }},
        {"7 bits refused", [&] { d.SetComPortDataBits(TCommPortDriver::db7BITS); },
         [](const termios& t) { return (t.c_cflag & CSIZE) == CS8; }},
        {"odd refused", [&] { d.SetComPortParity(TCommPortDriver::ptODD); },
         [](const termios& t) { return !(t.c_cflag & PARENB); }},
        {"mark refused", [&] { d.SetComPortParity(TCommPortDriver::ptMARK); },
         [](const termios& t) { return !(t.c_cflag & PARENB); }},
        {"parity not checked", [] {},
         [](const termios& t) { return !(t.c_iflag & (INPCK | PARMRK | ISTRIP)); }},
        {"2 stop bits", [&] { d.SetComPortStopBits(TCommPortDriver::sb2BITS); },
         [](const termios& t) { return (t.c_cflag & CSTOPB) != 0; }},
        {"1 stop bit", [&] { d.SetComPortStopBits(TCommPortDriver::sb1BITS); },
         [](const termios& t) { return !(t.c_cflag & CSTOPB); }},
        {"1.5 stop bits as 2", [&] { d.SetComPortStopBits(TCommPortDriver::sb1HALFBITS); },
         [](const termios& t) { return (t.c_cflag & CSTOPB) != 0; }},
        {"RTS/CTS", [&] { d.SetComPortHwHandshaking(TCommPortDriver::hhRTSCTS); },
         [](const termios& t) { return (t.c_cflag & CRTSCTS) != 0; }},
        {"RTS/CTS with XON/XOFF", [&] { d.SetComPortSwHandshaking(TCommPortDriver::shXONXOFF); },
         [](const termios& t) {
             return (t.c_cflag & CRTSCTS) && (t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF);
         }},
        {"XON/XOFF alone", [&] { d.SetComPortHwHandshaking(TCommPortDriver::hhNONE); },
         [](const termios& t) {
             return !(t.c_cflag & CRTSCTS) && (t.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF);
         }},
        {"no flow control", [&] { d.SetComPortSwHandshaking(TCommPortDriver::shNONE); },
         [](const termios& t) { return !(t.c_cflag & CRTSCTS) && !(t.c_iflag & (IXON | IXOFF)); }},
    };
    for (const Row& row : rows) {
        row.set();
        EXPECT_TRUE(row.check(pty.settings())) << row.what;
    }
    // Refused settings and modem lines a pseudo-terminal does not have do not stop the port.
    EXPECT_TRUE(d.IsPortOpen());
    Receiver r(d);
    pty.write("still");
    ASSERT_TRUE(r.waitFor(5));
    EXPECT_EQ(r.all(), "still");
}

TEST_F(DriverTest, OpenOnAnOpenPortChangesNothing) {
    TCommPortDriver d;
    Receiver r(d);
    ASSERT_TRUE(d.OpenPort());
    d.SetComPortPollingDelay(200);
    pty.write("abc");
    QTest::qWait(20); // the bytes are in the port, not yet polled
    // Neither reopened nor set up again: a new set-up would have emptied the queue.
    EXPECT_TRUE(d.OpenPort());
    ASSERT_TRUE(r.waitFor(3));
    EXPECT_EQ(r.all(), "abc");
}

TEST_F(DriverTest, ComPortIsTakenOnlyWhileClosed) {
    Pty other;
    ComOverride com3(3, other.slavePath());
    TCommPortDriver d;
    Receiver r(d);
    ASSERT_TRUE(d.OpenPort());
    d.SetComPort(TCommPortDriver::pnCOM3);
    EXPECT_EQ(d.ComPort(), TCommPortDriver::pnCOM2);
    pty.write("2");
    ASSERT_TRUE(r.waitFor(1));
    d.ClosePort();
    d.SetComPort(TCommPortDriver::pnCOM3);
    EXPECT_EQ(d.ComPort(), TCommPortDriver::pnCOM3);
    ASSERT_TRUE(d.OpenPort());
    other.write("3");
    pty.write("x"); // the old port is not read any more
    ASSERT_TRUE(r.waitFor(2));
    QTest::qWait(150);
    EXPECT_EQ(r.all(), "23");
}

TEST_F(DriverTest, SpeedChangeWhileOpenEmptiesTheQueues) {
    TCommPortDriver d;
    Receiver r(d);
    d.SetComPortPollingDelay(300);
    ASSERT_TRUE(d.OpenPort());
    pty.write("lost bytes");
    QTest::qWait(30); // received by the port, not yet polled
    d.SetComPortSpeed(TCommPortDriver::br4800);
    EXPECT_EQ(cfgetispeed(&static_cast<const termios&>(pty.settings())),
              static_cast<speed_t>(B4800));
    QTest::qWait(700);
    EXPECT_TRUE(r.chunks.empty());
    pty.write("kept");
    ASSERT_TRUE(r.waitFor(4));
    EXPECT_EQ(r.all(), "kept");
}

TEST_F(DriverTest, AnEmptyTickMakesNoCall) {
    TCommPortDriver d;
    Receiver r(d);
    d.SetComPortPollingDelay(10);
    ASSERT_TRUE(d.OpenPort());
    QTest::qWait(300); // some 30 ticks
    EXPECT_TRUE(r.chunks.empty());
}

TEST_F(DriverTest, AChunkIsAtMostInBufSizeAndTheRestComesNextTick) {
    const struct {
        quint16 inBuf;
        int bytes;
        std::vector<int> chunks;
    } cases[] = {{64, 100, {64, 36}}, {64, 128, {64, 64}}, {2048, 3000, {2048, 952}}};
    for (const auto& c : cases) {
        Pty p;
        ComOverride com(2, p.slavePath());
        TCommPortDriver d;
        d.SetComPortInBufSize(c.inBuf);
        EXPECT_EQ(d.ComPortInBufSize(), c.inBuf);
        d.SetComPortPollingDelay(150);
        Receiver r(d);
        ASSERT_TRUE(d.OpenPort());
        QTest::qWait(20); // just after a tick: all bytes arrive before the next one
        const QByteArray sent = pattern(c.bytes);
        p.write(sent);
        ASSERT_TRUE(r.waitFor(c.bytes, 3000)) << c.bytes;
        std::vector<int> sizes;
        for (const Chunk& ch : r.chunks) sizes.push_back(static_cast<int>(ch.bytes.size()));
        EXPECT_EQ(sizes, c.chunks) << "in-buffer " << c.inBuf;
        EXPECT_EQ(r.all(), sent);
        // One chunk per tick: the second a polling period after the first.
        if (r.chunks.size() == 2) {
            EXPECT_GE(r.chunks[1].atMs - r.chunks[0].atMs, 100);
        }
    }
}

TEST_F(DriverTest, InBufSizeIsTakenOnlyWhileClosed) {
    TCommPortDriver d;
    ASSERT_TRUE(d.OpenPort());
    d.SetComPortInBufSize(16);
    EXPECT_EQ(d.ComPortInBufSize(), 2048);
    d.ClosePort();
    d.SetComPortInBufSize(16);
    EXPECT_EQ(d.ComPortInBufSize(), 16);
}

// Setting the polling delay to its current value leaves the running timer alone; another value
// restarts it with the new period.
TEST_F(DriverTest, SamePollingDelayDoesNotRestartTheTimer) {
    for (const quint16 next : {quint16(300), quint16(301)}) {
        TCommPortDriver d;
        d.SetComPortPollingDelay(300);
        Receiver r(d);
        QElapsedTimer since;
        ASSERT_TRUE(d.OpenPort());
        since.start();
        QTest::qWait(150);
        d.SetComPortPollingDelay(next);
        EXPECT_EQ(d.ComPortPollingDelay(), next);
        pty.write("t");
        ASSERT_TRUE(r.waitFor(1));
        const qint64 at = since.elapsed();
        if (next == 300)
            EXPECT_LT(at, 400) << "restarted: tick at " << at << " ms";
        else
            EXPECT_GT(at, 400) << "not restarted: tick at " << at << " ms";
    }
}

TEST_F(DriverTest, CloseOnAClosedPortAndDestructionClose) {
    auto* first = new TCommPortDriver;
    first->ClosePort();
    EXPECT_FALSE(first->IsPortOpen());
    ASSERT_TRUE(first->OpenPort());
    first->ClosePort();
    first->ClosePort();
    EXPECT_FALSE(first->IsPortOpen());
    ASSERT_TRUE(first->OpenPort());

    // The port is held exclusively: a second driver cannot open it.
    TCommPortDriver second;
    EXPECT_FALSE(second.OpenPort());
    EXPECT_FALSE(second.IsPortOpen());

    delete first; // closes the port
    EXPECT_TRUE(second.OpenPort());
    Receiver r(second);
    pty.write("after");
    ASSERT_TRUE(r.waitFor(5));
    EXPECT_EQ(r.all(), "after");
}

TEST(DriverFailures, APortThatCannotBeOpenedFailsQuietly) {
    TCommPortDriver d;
    int calls = 0;
    d.OnReceiveData = [&](TCommPortDriver*, const std::uint8_t*, std::int32_t) { ++calls; };
    {
        ComOverride com(2, QStringLiteral("/dev/nonexistent-dmm-port"));
        EXPECT_FALSE(d.OpenPort());
        EXPECT_FALSE(d.IsPortOpen());
        // Quiet, but not swallowed: the reason is there for whoever reports it.
        EXPECT_TRUE(d.LastError().startsWith(QStringLiteral("/dev/nonexistent-dmm-port: ")))
            << d.LastError().toStdString();
    }
    {
        QTemporaryDir dir;
        const QString plain = dir.filePath(QStringLiteral("not-a-tty"));
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        ComOverride com(2, plain);
        d.OpenPort(); // a plain file: either refused or opened, but never a crash
        d.ClosePort();
    }
    QTest::qWait(100);
    EXPECT_EQ(calls, 0);
    d.ClosePort();
}

// The far end goes away while open (an adapter pulled out): nothing is delivered, nothing
// spins, ClosePort works, and once the device is back a new OpenPort opens it.
TEST(DriverVanishingPort, DeliversNothingSpinsNotAndReopens) {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    auto first = std::make_unique<Pty>();
    ASSERT_TRUE(QFile::link(first->slavePath(), link));
    ComOverride com(1, link);

    TCommPortDriver d;
    d.SetComPort(TCommPortDriver::pnCOM1);
    Receiver r(d);
    ASSERT_TRUE(d.OpenPort());
    first->write("alive");
    ASSERT_TRUE(r.waitFor(5));

    first->hangUp();
    const std::size_t before = r.chunks.size();
    const double cpu0 = cpuSeconds();
    QTest::qWait(2000);
    const double cpu = cpuSeconds() - cpu0;
    EXPECT_EQ(r.chunks.size(), before);
    EXPECT_LT(cpu, 0.1) << "CPU seconds used over 2 s with the device gone";
    EXPECT_TRUE(d.IsPortOpen()); // the window still shows the link until the user disconnects

    d.ClosePort();
    EXPECT_FALSE(d.IsPortOpen());

    // The device comes back (a new pseudo-terminal behind the same name).
    auto second = std::make_unique<Pty>();
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(second->slavePath(), link));
    ASSERT_TRUE(d.OpenPort());
    second->write("back");
    ASSERT_TRUE(r.waitFor(9));
    EXPECT_EQ(r.all(), "aliveback");
}

TEST_F(DriverTest, ANewHandlerTakesOverFromTheNextTick) {
    TCommPortDriver d;
    QByteArray a, b;
    d.OnReceiveData = [&](TCommPortDriver*, const std::uint8_t* p, std::int32_t n) {
        a.append(reinterpret_cast<const char*>(p), n);
    };
    ASSERT_TRUE(d.OpenPort());
    pty.write("1");
    for (int i = 0; i < 100 && a.isEmpty(); ++i) QTest::qWait(10);
    d.OnReceiveData = [&](TCommPortDriver*, const std::uint8_t* p, std::int32_t n) {
        b.append(reinterpret_cast<const char*>(p), n);
    };
    pty.write("2");
    for (int i = 0; i < 100 && b.isEmpty(); ++i) QTest::qWait(10);
    EXPECT_EQ(a, "1");
    EXPECT_EQ(b, "2");
    d.OnReceiveData = nullptr; // no handler: ticks read and drop
    pty.write("3");
    QTest::qWait(150);
    EXPECT_EQ(a + b, "12");
}

} // namespace
