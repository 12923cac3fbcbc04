#include "MqttOutput.h"

#include <chrono>
#include <cstdio>

namespace dmm::cli {

namespace {

void say(const std::string& text) {
    std::fprintf(stderr, "dmm log: mqtt: %s\n", text.c_str());
}

// At the end, the broker gets this long after its last acknowledgement to take the rest.
constexpr std::chrono::seconds kEndGrace{5};

} // namespace

void MqttOutput::addOptions(CommandLine& cl) {
    cl.addValueOption(QStringLiteral("mqtt"), QStringLiteral("URL"),
                      QStringLiteral("Also publish every row to an MQTT broker: "
                                     "mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://... (the "
                                     "password from DMM_MQTT_PASSWORD)."));
    cl.addValueOption(QStringLiteral("mqtt-cafile"), QStringLiteral("FILE"),
                      QStringLiteral("The CA certificates to trust for mqtts:// (default: the "
                                     "system's)."));
}

std::string MqttOutput::check(const CommandLine& cl) {
    const bool caFile = cl.isSet(QStringLiteral("mqtt-cafile"));
    if (!cl.isSet(QStringLiteral("mqtt")))
        return caFile ? "--mqtt-cafile needs --mqtt" : std::string();
    mqtt::MqttUrl url;
    const std::string text = cl.value(QStringLiteral("mqtt"));
    if (const std::string error = mqtt::MqttUrl::parse(text, url); !error.empty())
        return "--mqtt " + mqtt::MqttUrl::masked(text) + ": " + error;
    if (caFile && !url.tls) return "--mqtt-cafile needs an mqtts:// URL";
    return {};
}

std::string MqttOutput::start(const CommandLine& cl) {
    const bool caFile = cl.isSet(QStringLiteral("mqtt-cafile"));
    if (!cl.isSet(QStringLiteral("mqtt")))
        return caFile ? "--mqtt-cafile needs --mqtt" : std::string();
    QString error;
    publisher_ = RowPublisher::create(
        QString::fromStdString(cl.value(QStringLiteral("mqtt"))),
        caFile ? QString::fromStdString(cl.value(QStringLiteral("mqtt-cafile"))) : QString(),
        error);
    if (!publisher_) return error.toStdString();
    QObject::connect(publisher_.get(), &RowPublisher::rowsDropped, [](quint64 total) {
        say(std::to_string(total) +
            " rows dropped so far (the queue holds 100000 while the broker is away)");
    });
    return {};
}

bool MqttOutput::finish() {
    if (!publisher_) return true;
    const std::uint64_t left = publisher_->close(kEndGrace);
    const mqtt::MqttPublisher::Counts c = publisher_->counts();
    std::string text = std::to_string(c.delivered) + " rows delivered, " +
                       std::to_string(c.dropped) + " dropped, " + std::to_string(left) +
                       " not delivered";
    if (left > 0 && !c.lastError.empty()) text += " (" + c.lastError + ")";
    say(text);
    return left == 0;
}

} // namespace dmm::cli
