// The Telnet COM port option as bytes: what the client offers, how it answers the server, the
// line settings it sends, and the serial data it takes out of the stream, in any cut.
#include "RemoteSerialPort.h"
#include "Rfc2217Codec.h"

#include <gtest/gtest.h>

#include <random>

using dmm::link::RemoteSerialPort;
using dmm::link::Rfc2217Codec;
using Bytes = Rfc2217Codec::Bytes;

namespace {

constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240,
                       NOP = 241, COM = 44;

Bytes sub(std::initializer_list<std::uint8_t> body) {
    Bytes b{IAC, SB, COM};
    b.insert(b.end(), body);
    b.insert(b.end(), {IAC, SE});
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Fed {
    Bytes data, send;
};

Fed feed(Rfc2217Codec& c, const Bytes& in) {
    Fed f;
    c.receive(in.data(), in.size(), f.data, f.send);
    return f;
}

Bytes times(int n, const Bytes& b) {
    Bytes out;
    for (int i = 0; i < n; ++i) out.insert(out.end(), b.begin(), b.end());
    return out;
}

// The settings of meterLine() as they go out.
Bytes meterSettings() {
    return cat({sub({1, 0, 0, 0x09, 0x60}), sub({2, 8}), sub({3, 1}), sub({4, 1}), sub({5, 1}),
                sub({5, 8}), sub({5, 12})});
}

Rfc2217Codec::LineSettings meterLine() {
    Rfc2217Codec::LineSettings s;
    s.baud = 2400;
    return s;
}

} // namespace

TEST(Rfc2217Codec, OffersBinaryBothWaysAndTheComPortOption) {
    Rfc2217Codec c;
    EXPECT_EQ(c.start(meterLine()), (Bytes{IAC, WILL, 0, IAC, DO, 0, IAC, WILL, COM}));
    EXPECT_EQ(c.state(), Rfc2217Codec::State::Offering);
}

// The server agreeing sends the settings: 2400 baud, 8 data bits, no parity, 1 stop bit, no
// flow control, DTR on, RTS off; other settings in their codes.
TEST(Rfc2217Codec, SettingsGoOutOnceTheServerAgrees) {
    struct Case {
        const char* name;
        Rfc2217Codec::LineSettings line;
        Bytes expected;
    };
    Rfc2217Codec::LineSettings other;
    other.baud = 115200;
    other.dataBits = 7;
    other.parity = 2; // even
    other.stopBits = 1;
    other.flow = Rfc2217Codec::Flow::RtsCts;
    other.dtr = false;
    Rfc2217Codec::LineSettings xon = meterLine();
    xon.flow = Rfc2217Codec::Flow::XonXoff;
    xon.stopBits = 2;
    xon.parity = 4;
    const Case cases[] = {
        {"meter", meterLine(), meterSettings()},
        // RTS/CTS drives RTS itself: no RTS setting is sent.
        {"7E1.5 RTS/CTS", other,
         cat({sub({1, 0, 0x01, 0xC2, 0x00}), sub({2, 7}), sub({3, 3}), sub({4, 3}), sub({5, 3}),
              sub({5, 9})})},
        {"8S2 XON/XOFF", xon,
         cat({sub({1, 0, 0, 0x09, 0x60}), sub({2, 8}), sub({3, 5}), sub({4, 2}), sub({5, 2}),
              sub({5, 8}), sub({5, 12})})},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Rfc2217Codec c;
        c.start(k.line);
        const Fed f = feed(c, {IAC, DO, COM});
        EXPECT_EQ(f.send, k.expected);
        EXPECT_EQ(c.state(), Rfc2217Codec::State::Agreed);
        EXPECT_TRUE(f.data.empty());
    }
}

TEST(Rfc2217Codec, ABaudRateWith0xFFInItIsEscaped) {
    Rfc2217Codec::LineSettings s = meterLine();
    s.baud = 0x0000FF00;
    Rfc2217Codec c;
    c.start(s);
    const Fed f = feed(c, {IAC, DO, COM});
    const Bytes head(f.send.begin(), f.send.begin() + 11);
    EXPECT_EQ(head, (Bytes{IAC, SB, COM, 1, 0, 0, IAC, IAC, 0, IAC, SE}));
}

TEST(Rfc2217Codec, SettingsChangedBeforeTheAnswerWaitAndAfterItGoAtOnce) {
    Rfc2217Codec c;
    c.start(meterLine());
    Bytes send;
    Rfc2217Codec::LineSettings s = meterLine();
    s.baud = 9600;
    c.setLineSettings(s, send);
    EXPECT_TRUE(send.empty());
    const Fed f = feed(c, {IAC, DO, COM});
    EXPECT_EQ(Bytes(f.send.begin(), f.send.begin() + 10), sub({1, 0, 0, 0x25, 0x80}));
    s.baud = 2400;
    c.setLineSettings(s, send);
    EXPECT_EQ(Bytes(send.begin(), send.begin() + 10), sub({1, 0, 0, 0x09, 0x60}));
    send.clear(); // the same settings again: nothing to say
    c.setLineSettings(s, send);
    EXPECT_TRUE(send.empty());
}

// Each negotiation is answered only when it changes a state, so two ends cannot loop.
TEST(Rfc2217Codec, OptionAnswers) {
    struct Case {
        const char* name;
        Bytes in, send;
        Rfc2217Codec::State state;
    };
    const Case cases[] = {
        {"acks of our offers need no answer", {IAC, DO, 0, IAC, WILL, 0}, {}, {}},
        {"SGA and the server's COM port option are welcome",
         {IAC, WILL, 3, IAC, WILL, COM},
         {IAC, DO, 3, IAC, DO, COM},
         {}},
        {"echo and unknown options are refused",
         {IAC, WILL, 1, IAC, DO, 1, IAC, DO, 3, IAC, DO, 24},
         {IAC, DONT, 1, IAC, WONT, 1, IAC, WONT, 3, IAC, WONT, 24},
         {}},
        {"a second WILL of an option taken is not answered",
         {IAC, WILL, 3, IAC, WILL, 3},
         {IAC, DO, 3},
         {}},
        {"refusing what was never on needs no answer", {IAC, WONT, 3, IAC, DONT, 3}, {}, {}},
        {"WONT after WILL is acknowledged",
         {IAC, WILL, 3, IAC, WONT, 3},
         {IAC, DO, 3, IAC, DONT, 3},
         {}},
        {"the COM port option refused", {IAC, DONT, COM}, {}, Rfc2217Codec::State::Refused},
        {"binary refused keeps the offer open", {IAC, DONT, 0, IAC, WONT, 0}, {}, {}},
        // A server flooding offers gets one refusal each, and toggling the COM port option one
        // answer per toggle, with the unchanged settings not sent again.
        {"a flood of refused offers is refused once",
         times(1000, {IAC, WILL, 1, IAC, DO, 24}),
         {IAC, DONT, 1, IAC, WONT, 24},
         {}},
        {"the COM port option toggled",
         cat({times(3, {IAC, DO, COM, IAC, DONT, COM}), {IAC, DO, COM}}),
         cat({meterSettings(), times(3, {IAC, WONT, COM, IAC, WILL, COM})}),
         Rfc2217Codec::State::Agreed},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Rfc2217Codec c;
        c.start(meterLine());
        const Fed f = feed(c, k.in);
        EXPECT_EQ(f.send, k.send);
        EXPECT_EQ(c.state(), k.state);
        EXPECT_TRUE(f.data.empty());
    }
}

TEST(Rfc2217Codec, DataComesOutWithCommandsStrippedAndIacUndoubled) {
    struct Case {
        const char* name;
        Bytes in, data;
    };
    const Case cases[] = {
        {"plain", {1, 2, 0x0D, 0x0A}, {1, 2, 0x0D, 0x0A}},
        {"doubled 0xFF", {IAC, IAC, 7, IAC, IAC, IAC, IAC}, {IAC, 7, IAC, IAC}},
        {"CR NUL stays as sent in binary mode", {0x0D, 0}, {0x0D, 0}},
        {"NOP and a stray SE", {1, IAC, NOP, 2, IAC, SE, 3}, {1, 2, 3}},
        {"negotiation in the middle", {1, IAC, WILL, 3, 2}, {1, 2}},
        {"a notification in the middle", cat({{1}, sub({107, 0x30}), {2}}), {1, 2}},
        {"0xFF doubled inside a subnegotiation", cat({{1}, sub({107, IAC, IAC}), {2}}), {1, 2}},
        {"a subnegotiation that lost its end", {IAC, SB, COM, 107, 1, IAC, WILL, 3, 9}, {9}},
        {"an overlong subnegotiation", cat({{IAC, SB, COM}, Bytes(500, 101), {IAC, SE, 5}}), {5}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        // Whole, and cut into single bytes: the parse carries across the cuts.
        Rfc2217Codec whole, bytewise;
        whole.start(meterLine());
        bytewise.start(meterLine());
        EXPECT_EQ(feed(whole, k.in).data, k.data);
        Bytes data;
        for (std::uint8_t b : k.in) {
            Bytes send;
            bytewise.receive(&b, 1, data, send);
        }
        EXPECT_EQ(data, k.data);
    }
}

TEST(Rfc2217Codec, TheServerAnswersAreKeptInTheirCodes) {
    Rfc2217Codec c;
    c.start(meterLine());
    const Bytes in =
        cat({sub({101, 0, 0, 0x09, 0x60}), sub({102, 8}), sub({103, 1}), sub({104, 1}),
             sub({105, 1}), sub({105, 8}), sub({105, 12}), sub({107, 0x10}), sub({100, 'x', 'y'})});
    feed(c, in);
    const auto& a = c.answers();
    EXPECT_EQ(a.baud, 2400u);
    EXPECT_EQ(a.dataBits, 8);
    EXPECT_EQ(a.parity, 1);
    EXPECT_EQ(a.stopBits, 1);
    EXPECT_EQ(a.flow, 1);
    EXPECT_EQ(a.dtr, 8);
    EXPECT_EQ(a.rts, 12);
    // A short baud answer is not taken.
    Rfc2217Codec d;
    d.start(meterLine());
    feed(d, sub({101, 0, 0x09}));
    EXPECT_FALSE(d.answers().baud);
}

// Any stream escaped as a server sends it comes out as it went in, however it is cut.
TEST(Rfc2217Codec, EscapedRandomDataSurvivesRandomCuts) {
    std::mt19937 rng(17);
    for (int round = 0; round < 50; ++round) {
        Bytes original(1 + rng() % 3000);
        for (auto& b : original) b = static_cast<std::uint8_t>(rng() % 4 == 0 ? 0xFF : rng());
        Bytes wire;
        Rfc2217Codec::appendEscaped(wire, original.data(), original.size());
        Rfc2217Codec c;
        c.start(meterLine());
        Bytes data;
        for (std::size_t at = 0; at < wire.size();) {
            const std::size_t n = std::min<std::size_t>(1 + rng() % 64, wire.size() - at);
            Bytes send;
            c.receive(wire.data() + at, n, data, send);
            EXPECT_TRUE(send.empty());
            at += n;
        }
        ASSERT_EQ(data, original) << "round " << round;
    }
}

TEST(RemoteSerialPort, Addresses) {
    struct Case {
        const char* text;
        bool remote;
        const char* host;
        int port; // 0: refused
    };
    const Case cases[] = {
        {"rfc2217://127.0.0.1:2000", true, "127.0.0.1", 2000},
        {"RFC2217://bench-pi.local:3001/", true, "bench-pi.local", 3001},
        {"rfc2217://[::1]:7000", true, "::1", 7000},
        {"rfc2217://127.0.0.1", true, "", 0},
        {"rfc2217://127.0.0.1:0", true, "", 0},
        {"rfc2217://127.0.0.1:70000", true, "", 0},
        {"rfc2217://:2000", true, "", 0},
        {"rfc2217://user@host:2000", true, "", 0},
        {"rfc2217://host:2000/dev/ttyUSB0", true, "", 0},
        {"rfc2217://host:2000?x=1", true, "", 0},
        {"/dev/ttyUSB0", false, "", 0},
        {"telnet://host:2000", false, "", 0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        EXPECT_EQ(RemoteSerialPort::isRemoteAddress(k.text), k.remote);
        const auto a = RemoteSerialPort::parseAddress(k.text);
        ASSERT_EQ(a.has_value(), k.port != 0);
        if (!a) continue;
        EXPECT_EQ(a->host, k.host);
        EXPECT_EQ(a->port, k.port);
    }
}
