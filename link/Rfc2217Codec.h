// The Telnet side of a remote serial port (RFC 854, RFC 855 and the COM-PORT-OPTION of RFC 2217),
// as bytes in and bytes out: no sockets and no Qt, so that it can be tested and fuzzed on its
// own. The client offers the COM port option and binary transfer; once the server agrees to the
// COM port option it sends the line settings, and the driver counts the negotiation finished.
// Received bytes come out as the serial line's data, Telnet commands stripped and 0xFF
// un-doubled; whatever the codec must answer comes out as bytes to send.
//
// What it answers is bounded by what changes, not by what the server repeats (RFC 1143's rule
// that only a change of state is answered): an option it refuses is refused once per connection
// and direction, however often the server offers it, and the line settings go out again only
// when they differ from those last sent. A server toggling an option it accepts gets one answer
// per toggle, never more bytes than it sent.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace dmm::link {

class Rfc2217Codec {
public:
    using Bytes = std::vector<std::uint8_t>;

    enum class Flow : std::uint8_t { None, XonXoff, RtsCts };
    struct LineSettings {
        std::uint32_t baud = 9600;
        std::uint8_t dataBits = 8;
        std::uint8_t parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
        std::uint8_t stopBits = 0; // 0 one, 1 one and a half, 2 two
        Flow flow = Flow::None;
        bool dtr = true;
        // RTS is set lowered when there is no RTS/CTS flow control (then it drives RTS itself).
        bool operator==(const LineSettings&) const = default;
    };

    // What the server answered to each setting, as it says the line is now (it echoes the value
    // it took), in the option's own codes: parity 1 none to 5 space, stop bits 1 one, 2 two,
    // 3 one and a half, flow 1 none, 2 XON/XOFF, 3 RTS/CTS, DTR 8 on, 9 off, RTS 11 on, 12 off.
    // Empty until it answered.
    struct Answers {
        std::optional<std::uint32_t> baud;
        std::optional<std::uint8_t> dataBits, parity, stopBits, flow, dtr, rts;
    };

    enum class State {
        Offering, // the COM port option offered, no answer yet
        Agreed,   // the server takes the COM port option; the settings were sent
        Refused   // the server refused the COM port option: a plain Telnet server
    };

    // A subnegotiation longer than this is read to its end but not acted on: no answer of the
    // COM port option is longer than a few bytes, and input must not grow a buffer.
    static constexpr std::size_t kMaxSubnegotiation = 64;

    // The opening offers; call once on a new connection, it resets every state.
    Bytes start(const LineSettings& settings);
    // New line settings: sent at once when the server has agreed, else kept for then.
    void setLineSettings(const LineSettings& settings, Bytes& send);
    // Bytes from the server: the serial data is appended to `data`, any answer to `send`.
    void receive(const std::uint8_t* bytes, std::size_t size, Bytes& data, Bytes& send);

    State state() const { return state_; }
    const Answers& answers() const { return answers_; }

    // The data with 0xFF doubled, as it goes into a Telnet stream.
    static void appendEscaped(Bytes& out, const std::uint8_t* bytes, std::size_t size);

private:
    enum class Parse { Data, Command, Option, Sub, SubCommand };
    enum class Side : std::uint8_t { No, Asked, Yes };

    void command(std::uint8_t verb, std::uint8_t option, Bytes& send);
    void ourOption(bool enable, std::uint8_t option, Bytes& send);
    void theirOption(bool enable, std::uint8_t option, Bytes& send);
    void subnegotiation();
    void sendSettings(Bytes& send);
    void refuse(std::uint8_t verb, std::uint8_t option, Bytes& send);

    LineSettings settings_;
    std::optional<LineSettings> sent_; // what the server was last sent, if anything
    State state_ = State::Offering;
    Answers answers_;
    Parse parse_ = Parse::Data;
    std::uint8_t verb_ = 0;
    Bytes sub_;
    bool subTooLong_ = false;
    std::array<Side, 256> us_{};                    // options this client performs (WILL/WONT)
    std::array<Side, 256> them_{};                  // options the server performs (DO/DONT)
    std::array<bool, 256> wontSent_{}, dontSent_{}; // refusals already said
};

} // namespace dmm::link
