#include "RowPublisher.h"

#include "JsonText.h"
#include "ReadingJson.h"

#include <QByteArray>

namespace dmm {

std::unique_ptr<RowPublisher> RowPublisher::create(const QString& url, const QString& caFile,
                                                   QString& error, std::size_t queueLimit) {
    mqtt::MqttSettings settings;
    const std::string urlError = mqtt::MqttUrl::parse(url.toStdString(), settings.url);
    if (!urlError.empty()) {
        error = QStringLiteral("--mqtt %1: %2")
                    .arg(QString::fromStdString(mqtt::MqttUrl::masked(url.toStdString())),
                         QString::fromStdString(urlError));
        return nullptr;
    }
    if (!caFile.isEmpty() && !settings.url.tls) {
        error = QStringLiteral("--mqtt-cafile needs an mqtts:// URL");
        return nullptr;
    }
    settings.password = qEnvironmentVariable(kPasswordVariable).toStdString();
    settings.caFile = caFile.toLocal8Bit().toStdString();
    settings.queueLimit = queueLimit;
    std::unique_ptr<RowPublisher> p(new RowPublisher(settings));
    const std::string startError = p->publisher_.start();
    if (!startError.empty()) {
        error = QString::fromStdString(startError);
        return nullptr;
    }
    p->where_ = QString::fromStdString(settings.url.host + "/" + settings.url.prefix);
    return p;
}

RowPublisher::RowPublisher(const mqtt::MqttSettings& settings) : publisher_(settings) {
    connect(&timer_, &QTimer::timeout, this, &RowPublisher::tick);
    timer_.start(1000);
}

void RowPublisher::rowRecorded(const RecordedRow& row) {
    publisher_.publish(ReadingJson::fromRecord(row));
}

void RowPublisher::alarmChanged(const AlarmEvent& event) {
    if (event.fired)
        activeAlarms_.insert(event.alarm);
    else
        activeAlarms_.remove(event.alarm);
    std::string json = "{\"alarm\":";
    appendJsonString(json, event.alarm.toStdString());
    json += ",\"state\":";
    appendJsonString(json, event.state().toStdString());
    json += ",\"no\":" + (event.no ? std::to_string(*event.no) : std::string("null"));
    json += ",\"value\":" +
            (event.value().isEmpty() ? std::string("null") : event.value().toStdString());
    json += ",\"unit\":";
    appendJsonString(json, event.unit().toStdString());
    json += ",\"time\":";
    appendJsonString(json, event.time.toOffsetFromUtc(event.time.offsetFromUtc())
                               .toString(Qt::ISODateWithMs)
                               .toStdString());
    json += "}";
    const bool anyActive = !activeAlarms_.isEmpty();
    publisher_.publishAlarm(std::move(json), anyActive);
    if (!anyActive) publisher_.publishAlarm(std::string(), true);
}

QString RowPublisher::note() const {
    const mqtt::MqttPublisher::Counts c = publisher_.counts();
    QString state = c.connected ? QStringLiteral("connected") : QStringLiteral("not connected");
    if (!c.connected && !c.lastError.empty())
        state += QStringLiteral(" (%1)").arg(QString::fromStdString(c.lastError));
    return QStringLiteral("MQTT %1: %2, %3 rows queued, %4 dropped")
        .arg(where_, state)
        .arg(c.queued)
        .arg(c.dropped);
}

std::uint64_t RowPublisher::close(std::chrono::milliseconds idleGrace) {
    timer_.stop();
    return publisher_.close(idleGrace);
}

void RowPublisher::tick() {
    const QString text = note();
    if (text != lastNote_) {
        lastNote_ = text;
        emit noteChanged(text);
    }
    const std::uint64_t dropped = publisher_.counts().dropped;
    if (dropped != lastDropped_) {
        lastDropped_ = dropped;
        emit rowsDropped(dropped);
    }
}

} // namespace dmm
