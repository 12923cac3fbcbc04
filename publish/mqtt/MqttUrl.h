// Where the readings go: mqtt://[USER@]HOST[:PORT]/PREFIX, or mqtts:// for TLS.
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets ([::1]). PORT defaults to 1883,
// 8883 for mqtts. PREFIX is the topic prefix (everything after the first '/' following the
// host): the readings go to PREFIX/reading and the status to PREFIX/status. It may hold '/'
// levels but no wildcard ('+', '#') and no empty level. The password is never part of the URL:
// a URL would show it in the process list, so it comes from the environment instead.
#pragma once

#include <string>

namespace dmm::mqtt {

struct MqttUrl {
    bool tls = false;
    std::string user; // empty: no user name
    std::string host;
    int port = 1883;
    std::string prefix;

    std::string readingTopic() const { return prefix + "/reading"; }
    std::string statusTopic() const { return prefix + "/status"; }

    // Parses `text`; returns an error text, empty on success (then `url` is filled).
    static std::string parse(const std::string& text, MqttUrl& url);
};

} // namespace dmm::mqtt
