// Recorded rows to an MQTT broker, for dmm log and the window: the URL and the options read,
// each row turned into its JSON payload on the recording thread and handed to the publisher's
// queue (MqttPublisher, which never waits on the network), and once a second a note of the
// connection and of the rows dropped from the full queue.
#pragma once

#include "AlarmAction.h"
#include "MqttPublisher.h"
#include "ReadingSink.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>

namespace dmm {

class RowPublisher : public QObject, public ReadingSink, public AlarmAction {
    Q_OBJECT

public:
    // The environment variable the password is read from.
    static constexpr const char* kPasswordVariable = "DMM_MQTT_PASSWORD";

    // Parses `url` (mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://), takes the password from the
    // environment and starts publishing. Null and an error text when the URL or the CA file is
    // refused. `queueLimit`: the rows the queue holds before it drops the oldest.
    static std::unique_ptr<RowPublisher> create(const QString& url, const QString& caFile,
                                                QString& error, std::size_t queueLimit = 100'000);

    // ReadingSink: each recorded row as its JSON payload.
    void rowRecorded(const RecordedRow& row) override;
    // AlarmAction: each alarm that fires or clears to PREFIX/alarm, as a JSON object with
    // `alarm`, `state`, `no`, `value`, `unit`, `time`; retained while any alarm is active, and
    // the retained one removed (an empty payload) once none is.
    void alarmChanged(const AlarmEvent& event) override;
    mqtt::MqttPublisher::Counts counts() const { return publisher_.counts(); }
    // "MQTT HOST/PREFIX: connected, 0 rows queued, 0 dropped" (or "not connected (why)").
    QString note() const;
    // Delivers what is queued while the broker acknowledges it (at most `idleGrace` without an
    // acknowledgement), says "offline", disconnects. Returns the rows not delivered.
    std::uint64_t close(std::chrono::milliseconds idleGrace);

signals:
    // Once a second, when the note's text changed.
    void noteChanged(const QString& note);
    // When rows were dropped since the last second: the new total.
    void rowsDropped(quint64 total);

private:
    explicit RowPublisher(const mqtt::MqttSettings& settings);
    void tick();

    mqtt::MqttPublisher publisher_;
    QString where_;
    QTimer timer_;
    QString lastNote_;
    std::uint64_t lastDropped_ = 0;
    QSet<QString> activeAlarms_;
};

} // namespace dmm
