// What the web page shows, kept apart from the meter: an output of the recording pipeline that
// keeps the last decoded reading, the last kKeptRows recorded rows as their JSON (the MQTT
// payload, ReadingJson) and the recording's statistics, and tells the server of each change.
//
// A generation numbers the table's contents: "Close Data" and a loaded file start a new one, so
// that a page that reconnects knows whether the rows it holds still belong to the table. Within
// a generation rows are numbered 1, 2, ... in the order they came (their sequence), which is not
// the record number: a loaded file may hold any numbers, or none.
#pragma once

#include "ReadingSink.h"
#include "StatisticsSink.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>

namespace dmm::web {

class WebFeed : public QObject, public ReadingSink {
    Q_OBJECT
public:
    static constexpr int kKeptRows = 10'000;
    static constexpr qint64 kStaleMs = 5000;

    // One kept row: its sequence, its JSON and when it was recorded (ms since the epoch; 0 for
    // a loaded row).
    struct Row {
        std::int64_t sequence = 0;
        QByteArray json;
        qint64 atMs = 0;
    };

    // `linkUp`: whether the meter's link shows a link now (the window's link image; dmm log's
    // port). Null: the link counts as up.
    explicit WebFeed(std::function<bool()> linkUp = {});

    void readingDecoded(const CurrentReading& reading) override;
    void rowRecorded(const RecordedRow& row) override;
    void tableLoaded(const ReadingsTable& table, int first) override;
    void tableCleared() override;

    // "live", "no link" or "stale" (no reading, or the last one older than kStaleMs).
    QString link() const;
    std::uint32_t generation() const { return generation_; }
    std::int64_t rowCount() const { return rowCount_; }
    // The rows kept, oldest first; the first may be later than sequence 1.
    const std::deque<Row>& rows() const { return rows_; }
    // The latest decoded reading as the MQTT payload's keys (no record number; the time it was
    // decoded) and "link"; null before the first.
    QByteArray readingJson() const;
    // {"generation", "rows", "first", "last", "link", "statistics"} plus what `extra` adds
    // (a text of ,"key":value pairs).
    QByteArray statusJson(const QByteArray& extra = {}) const;

signals:
    void readingChanged();
    void rowAdded(const dmm::web::WebFeed::Row& row);
    // A new generation began ("Close Data", a loaded file).
    void generationChanged();

private:
    void keep(const RecordedRow& row, qint64 atMs);

    std::function<bool()> linkUp_;
    QByteArray reading_; // without its closing brace, to add "link"
    QElapsedTimer since_;
    std::deque<Row> rows_;
    std::uint32_t generation_ = 1;
    std::int64_t rowCount_ = 0;
    QString firstTime_, lastTime_;
    StatisticsSink statistics_;
};

} // namespace dmm::web
