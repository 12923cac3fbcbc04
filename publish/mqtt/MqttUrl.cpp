#include "MqttUrl.h"

#include <cstdint>
#include <string_view>

namespace dmm::mqtt {

namespace {

constexpr const char* kForm = "mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://...";

bool startsWith(std::string_view s, std::string_view head) {
    return s.substr(0, head.size()) == head;
}

// The port text after ':', 1 to 65535; -1 when it is not one.
int portNumber(std::string_view text) {
    if (text.empty() || text.size() > 5) return -1;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535 ? port : -1;
}

std::string hostAndPort(std::string_view hostPort, MqttUrl& url) {
    std::string_view host = hostPort;
    std::string_view port;
    if (startsWith(hostPort, "[")) { // [IPv6]:port
        const auto close = hostPort.find(']');
        if (close == std::string_view::npos) return "an IPv6 address needs its closing ']'";
        host = hostPort.substr(1, close - 1);
        const std::string_view rest = hostPort.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return "unexpected text after ']'";
        if (!rest.empty()) port = rest.substr(1);
        if (rest == ":") return "the port must be a number from 1 to 65535";
    } else if (const auto colon = hostPort.rfind(':'); colon != std::string_view::npos) {
        host = hostPort.substr(0, colon);
        port = hostPort.substr(colon + 1);
        if (port.empty()) return "the port must be a number from 1 to 65535";
    }
    if (host.empty()) return "the URL names no host";
    if (!port.empty()) {
        url.port = portNumber(port);
        if (url.port < 0) return "the port must be a number from 1 to 65535";
    }
    url.host = std::string(host);
    return {};
}

// Well-formed UTF-8: no stray or missing continuation byte, no overlong form, no surrogate,
// nothing beyond U+10FFFF. MQTT carries topics and user names as UTF-8 text; anything else would
// be changed on the way (to U+FFFD) or refused by the broker.
bool isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t len = b < 0x80         ? 1
                                : (b >> 5) == 6  ? 2
                                : (b >> 4) == 14 ? 3
                                : (b >> 3) == 30 ? 4
                                                 : 0;
        if (len == 0 || i + len > s.size()) return false;
        std::uint32_t cp = len == 1 ? b : b & (0x7F >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

std::string topicPrefix(std::string_view prefix, MqttUrl& url) {
    if (prefix.empty()) return std::string("the URL needs a topic prefix after the host: ") + kForm;
    if (prefix.find_first_of("+#") != std::string_view::npos)
        return "the topic prefix must not hold '+' or '#'";
    if (prefix.back() == '/' || prefix.find("//") != std::string_view::npos)
        return "the topic prefix must not hold an empty level ('//' or a trailing '/')";
    if (prefix.find('\0') != std::string_view::npos)
        return "the topic prefix must not hold a NUL character";
    if (!isUtf8(prefix)) return "the topic prefix is not valid UTF-8";
    if (prefix.size() > MqttUrl::kMaxPrefixBytes)
        return "the topic prefix is longer than " + std::to_string(MqttUrl::kMaxPrefixBytes) +
               " bytes: PREFIX" + MqttUrl::kReadingSuffix + " would exceed MQTT's limit of " +
               std::to_string(MqttUrl::kMaxTopicBytes) + " bytes for a topic";
    url.prefix = std::string(prefix);
    return {};
}

} // namespace

std::string MqttUrl::parse(const std::string& text, MqttUrl& url) {
    MqttUrl out;
    std::string_view rest = text;
    if (startsWith(rest, "mqtts://")) {
        out.tls = true;
        out.port = 8883;
        rest.remove_prefix(8);
    } else if (startsWith(rest, "mqtt://")) {
        rest.remove_prefix(7);
    } else {
        return std::string("the URL must have the form ") + kForm;
    }
    const auto slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view user = authority.substr(0, at);
        if (user.find(':') != std::string_view::npos)
            return "the URL must not hold a password: give it in DMM_MQTT_PASSWORD";
        if (user.empty()) return "the user name before '@' is empty";
        if (!isUtf8(user)) return "the user name is not valid UTF-8";
        out.user = std::string(user);
        authority.remove_prefix(at + 1);
    }
    if (std::string error = hostAndPort(authority, out); !error.empty()) return error;
    const std::string_view prefix =
        slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (std::string error = topicPrefix(prefix, out); !error.empty()) return error;
    url = out;
    return {};
}

// The authority runs from after "://" to the first '/'; its user part up to the last '@'; the
// password from the user part's first ':'.
std::string MqttUrl::masked(const std::string& text) {
    const auto scheme = text.find("://");
    const std::size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const std::string_view authority =
        std::string_view(text).substr(start, text.find('/', start) - start);
    const auto at = authority.rfind('@');
    const auto colon = authority.find(':');
    if (at == std::string_view::npos || colon == std::string_view::npos || colon > at) return text;
    return text.substr(0, start + colon + 1) + "***" + text.substr(start + at);
}

} // namespace dmm::mqtt
