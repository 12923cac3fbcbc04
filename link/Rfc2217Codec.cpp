#include "Rfc2217Codec.h"

namespace dmm::link {

namespace {

// Telnet (RFC 854) commands and the options this client knows.
constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPortOption = 44;

// RFC 2217 commands from the client; the server answers each with the code plus 100.
constexpr std::uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                       kSetControl = 5, kServerOffset = 100;
// SET-CONTROL values.
constexpr std::uint8_t kFlowNone = 1, kFlowXonXoff = 2, kFlowRtsCts = 3, kDtrOn = 8, kDtrOff = 9,
                       kRtsOn = 11, kRtsOff = 12;

bool weOffer(std::uint8_t option) {
    return option == kBinary || option == kComPortOption;
}

bool weAccept(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
}

void appendCommand(Rfc2217Codec::Bytes& out, std::uint8_t verb, std::uint8_t option) {
    out.insert(out.end(), {kIac, verb, option});
}

// IAC SB COM-PORT-OPTION code value IAC SE, the value escaped.
void appendComPortCommand(Rfc2217Codec::Bytes& out, std::uint8_t code,
                          const Rfc2217Codec::Bytes& value) {
    out.insert(out.end(), {kIac, kSb, kComPortOption, code});
    Rfc2217Codec::appendEscaped(out, value.data(), value.size());
    out.insert(out.end(), {kIac, kSe});
}

} // namespace

void Rfc2217Codec::appendEscaped(Bytes& out, const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == kIac) out.push_back(kIac);
    }
}

Rfc2217Codec::Bytes Rfc2217Codec::start(const LineSettings& settings) {
    *this = Rfc2217Codec();
    settings_ = settings;
    Bytes out;
    // Binary both ways, so that CR and 0xFF pass as they are; the COM port option last.
    appendCommand(out, kWill, kBinary);
    us_[kBinary] = Side::Asked;
    appendCommand(out, kDo, kBinary);
    them_[kBinary] = Side::Asked;
    appendCommand(out, kWill, kComPortOption);
    us_[kComPortOption] = Side::Asked;
    return out;
}

void Rfc2217Codec::setLineSettings(const LineSettings& settings, Bytes& send) {
    settings_ = settings;
    if (state_ == State::Agreed) sendSettings(send);
}

void Rfc2217Codec::sendSettings(Bytes& send) {
    // A server that takes the option back and gives it again still has the line as it was set.
    if (sent_ == settings_) return;
    sent_ = settings_;
    const std::uint32_t b = settings_.baud;
    appendComPortCommand(send, kSetBaudRate,
                         {static_cast<std::uint8_t>(b >> 24), static_cast<std::uint8_t>(b >> 16),
                          static_cast<std::uint8_t>(b >> 8), static_cast<std::uint8_t>(b)});
    appendComPortCommand(send, kSetDataSize, {settings_.dataBits});
    appendComPortCommand(send, kSetParity, {static_cast<std::uint8_t>(settings_.parity + 1)});
    // On the wire 1 is one stop bit, 2 two and 3 one and a half.
    static constexpr std::uint8_t stop[] = {1, 3, 2};
    appendComPortCommand(send, kSetStopSize,
                         {stop[settings_.stopBits < 3 ? settings_.stopBits : 0]});
    const std::uint8_t flow = settings_.flow == Flow::RtsCts    ? kFlowRtsCts
                              : settings_.flow == Flow::XonXoff ? kFlowXonXoff
                                                                : kFlowNone;
    appendComPortCommand(send, kSetControl, {flow});
    appendComPortCommand(send, kSetControl, {settings_.dtr ? kDtrOn : kDtrOff});
    if (settings_.flow != Flow::RtsCts) appendComPortCommand(send, kSetControl, {kRtsOff});
}

void Rfc2217Codec::receive(const std::uint8_t* bytes, std::size_t size, Bytes& data, Bytes& send) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        switch (parse_) {
        case Parse::Data:
            if (b == kIac)
                parse_ = Parse::Command;
            else
                data.push_back(b);
            break;
        case Parse::Command:
            parse_ = Parse::Data;
            if (b == kIac) {
                data.push_back(kIac);
            } else if (b >= kWill) {
                verb_ = b;
                parse_ = Parse::Option;
            } else if (b == kSb) {
                sub_.clear();
                subTooLong_ = false;
                parse_ = Parse::Sub;
            } // any other command (NOP, GA, a stray SE, ...) carries nothing for a serial line
            break;
        case Parse::Option:
            parse_ = Parse::Data;
            command(verb_, b, send);
            break;
        case Parse::Sub:
            if (b == kIac)
                parse_ = Parse::SubCommand;
            else if (sub_.size() < kMaxSubnegotiation)
                sub_.push_back(b);
            else
                subTooLong_ = true;
            break;
        case Parse::SubCommand:
            if (b == kIac) { // a doubled 0xFF inside the subnegotiation
                parse_ = Parse::Sub;
                if (sub_.size() < kMaxSubnegotiation)
                    sub_.push_back(kIac);
                else
                    subTooLong_ = true;
                break;
            }
            // SE ends it; any other command ends a subnegotiation that lost its end, and is then
            // read as the command it is.
            if (b == kSe) {
                parse_ = Parse::Data;
                if (!subTooLong_) subnegotiation();
            } else {
                parse_ = Parse::Command;
                --i;
            }
            break;
        }
    }
}

void Rfc2217Codec::command(std::uint8_t verb, std::uint8_t option, Bytes& send) {
    if (verb == kDo || verb == kDont)
        ourOption(verb == kDo, option, send);
    else
        theirOption(verb == kWill, option, send);
}

// DO / DONT: whether this client performs an option. Only a change of state is answered, so two
// ends can never answer each other for ever (RFC 854's rule against negotiation loops).
void Rfc2217Codec::ourOption(bool enable, std::uint8_t option, Bytes& send) {
    Side& side = us_[option];
    if (enable) {
        if (!weOffer(option)) {
            refuse(kWont, option, send);
            return;
        }
        if (side == Side::Yes) return;
        if (side == Side::No) appendCommand(send, kWill, option);
        side = Side::Yes;
        if (option == kComPortOption) {
            state_ = State::Agreed;
            sendSettings(send);
        }
        return;
    }
    if (side == Side::Yes) appendCommand(send, kWont, option);
    side = Side::No;
    if (option == kComPortOption) state_ = State::Refused;
}

// WILL / WONT: whether the server performs an option.
void Rfc2217Codec::theirOption(bool enable, std::uint8_t option, Bytes& send) {
    Side& side = them_[option];
    if (enable) {
        if (!weAccept(option)) {
            refuse(kDont, option, send);
            return;
        }
        if (side == Side::No) appendCommand(send, kDo, option);
        side = Side::Yes;
        return;
    }
    if (side == Side::Yes) appendCommand(send, kDont, option);
    side = Side::No;
}

// An option this client never takes stays off: a repeated offer changes no state, and RFC 1143
// answers only changes. The first offer is answered, so that a server waiting for an answer
// learns the option is off; a server repeating it gets no more.
void Rfc2217Codec::refuse(std::uint8_t verb, std::uint8_t option, Bytes& send) {
    bool& said = verb == kWont ? wontSent_[option] : dontSent_[option];
    if (said) return;
    said = true;
    appendCommand(send, verb, option);
}

// The server's answers of the COM port option: what the line is set to now.
void Rfc2217Codec::subnegotiation() {
    if (sub_.size() < 3 || sub_[0] != kComPortOption) return;
    const std::uint8_t code = sub_[1];
    const std::uint8_t value = sub_[2];
    switch (code) {
    case kServerOffset + kSetBaudRate:
        if (sub_.size() == 6)
            answers_.baud = static_cast<std::uint32_t>(sub_[2]) << 24 |
                            static_cast<std::uint32_t>(sub_[3]) << 16 |
                            static_cast<std::uint32_t>(sub_[4]) << 8 | sub_[5];
        break;
    case kServerOffset + kSetDataSize:
        answers_.dataBits = value;
        break;
    case kServerOffset + kSetParity:
        answers_.parity = value;
        break;
    case kServerOffset + kSetStopSize:
        answers_.stopBits = value;
        break;
    case kServerOffset + kSetControl:
        if (value >= kFlowNone && value <= kFlowRtsCts)
            answers_.flow = value;
        else if (value == kDtrOn || value == kDtrOff)
            answers_.dtr = value;
        else if (value == kRtsOn || value == kRtsOff)
            answers_.rts = value;
        break;
    default:
        break; // notifications and the signature: nothing a receive-only port needs
    }
}

} // namespace dmm::link
