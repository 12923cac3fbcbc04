// Where the readings go: mqtt://[USER@]HOST[:PORT]/PREFIX, or mqtts:// for TLS.
//
// HOST is a name, an IPv4 address or an IPv6 address in brackets ([::1]). PORT defaults to 1883,
// 8883 for mqtts. PREFIX is the topic prefix (everything after the first '/' following the
// host): the readings go to PREFIX/reading and the status to PREFIX/status. It may hold '/'
// levels but no wildcard ('+', '#') and no empty level; it must be valid UTF-8, and short enough
// for the longest topic to fit MQTT's limit of 65,535 bytes. The password is never part of the URL:
// a URL would show it in the process list, so it comes from the environment instead.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace dmm::mqtt {

struct MqttUrl {
    bool tls = false;
    std::string user; // empty: no user name
    std::string host;
    int port = 1883;
    std::string prefix;

    // Every topic the program uses is the prefix and one of these.
    static constexpr const char* kReadingSuffix = "/reading";
    static constexpr const char* kStatusSuffix = "/status";
    static constexpr const char* kAlarmSuffix = "/alarm"; // shorter than the reading's
    // MQTT's limit for a topic, and so the longest prefix that leaves room for every suffix.
    static constexpr std::size_t kMaxTopicBytes = 65535;
    static constexpr std::size_t kMaxPrefixBytes =
        kMaxTopicBytes -
        std::max(std::string_view(kReadingSuffix).size(), std::string_view(kStatusSuffix).size());

    std::string readingTopic() const { return prefix + kReadingSuffix; }
    std::string statusTopic() const { return prefix + kStatusSuffix; }
    std::string alarmTopic() const { return prefix + kAlarmSuffix; }

    // Parses `text`; returns an error text, empty on success (then `url` is filled).
    static std::string parse(const std::string& text, MqttUrl& url);
    // `text` fit to be shown: a password given in it ("USER:PASSWORD@") replaced by "***".
    static std::string masked(const std::string& text);
};

} // namespace dmm::mqtt
