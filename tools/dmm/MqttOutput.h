// dmm log --mqtt URL [--mqtt-cafile FILE]: every recorded row also goes to an MQTT broker
// (RowPublisher). Rows dropped from the full queue while the broker is away are told on standard
// error as they happen; at the end, what was delivered and what was not.
#pragma once

#include "CommandLine.h"
#include "RowPublisher.h"

#include <memory>
#include <string>

namespace dmm::cli {

class MqttOutput {
public:
    static void addOptions(CommandLine& cl);
    // The options' form alone (the URL, --mqtt-cafile without --mqtt), before anything is
    // opened; returns an error text, empty when sound or not given.
    static std::string check(const CommandLine& cl);
    // Starts publishing when --mqtt is given; returns an error text (a bad URL, a CA file that
    // cannot be read), empty otherwise. Needs the application object.
    std::string start(const CommandLine& cl);
    // The publisher as an output of the recording pipeline; null without --mqtt.
    ReadingSink* sink() { return publisher_.get(); }
    // The publisher as an alarm action (PREFIX/alarm); null without --mqtt.
    AlarmAction* alarms() { return publisher_.get(); }
    // Delivers what is still queued while the broker takes it, then tells the totals. Returns
    // false when rows were left undelivered.
    bool finish();

private:
    std::unique_ptr<RowPublisher> publisher_;
};

} // namespace dmm::cli
