#include "WebFeed.h"

#include "CsvFile.h"
#include "JsonText.h"
#include "ReadingJson.h"
#include "StatisticsText.h"

#include <QDateTime>

namespace dmm::web {

namespace {

QByteArray jsonString(const QString& text) {
    std::string out;
    appendJsonString(out, text.toStdString());
    return QByteArray::fromStdString(out);
}

} // namespace

WebFeed::WebFeed(std::function<bool()> linkUp) : linkUp_(std::move(linkUp)) {}

void WebFeed::readingDecoded(const CurrentReading& reading) {
    RecordedRow r;
    r.measurement = reading.measurement;
    r.row.judge = QString::fromStdString(reading.Judge);
    r.row.rangeMode = QString::fromStdString(reading.RangeMode);
    r.row.recordedAt = QDateTime::currentDateTime();
    reading_ = QByteArray::fromStdString(ReadingJson::fromRecord(r));
    reading_.chop(1);
    since_.start();
    emit readingChanged();
}

void WebFeed::keep(const RecordedRow& row, qint64 atMs) {
    Row kept{++rowCount_, QByteArray::fromStdString(ReadingJson::fromRecord(row)), atMs};
    const QString time = CsvFile::columns(row)[1];
    if (rowCount_ == 1) firstTime_ = time;
    lastTime_ = time;
    rows_.push_back(kept);
    if (rows_.size() > kKeptRows) rows_.pop_front();
}

void WebFeed::rowRecorded(const RecordedRow& row) {
    statistics_.rowRecorded(row);
    keep(row, QDateTime::currentMSecsSinceEpoch());
    emit rowAdded(rows_.back());
}

void WebFeed::tableLoaded(const ReadingsTable& table, int first) {
    (void)first; // a text file appended to the rows before changes them all the same
    statistics_.tableLoaded(table, first);
    ++generation_;
    rows_.clear();
    rowCount_ = 0;
    firstTime_.clear();
    lastTime_.clear();
    // Sequences count every row of the table; only the last kKeptRows are turned into JSON.
    const int from = std::max(0, table.size() - kKeptRows);
    if (table.size() > 0) firstTime_ = CsvFile::columns(table, 0)[1];
    rowCount_ = from;
    for (int i = from; i < table.size(); ++i) keep(RecordedRow::fromTable(table, i), 0);
    emit generationChanged();
}

void WebFeed::tableCleared() {
    statistics_.tableCleared();
    ++generation_;
    rows_.clear();
    rowCount_ = 0;
    firstTime_.clear();
    lastTime_.clear();
    emit generationChanged();
}

QString WebFeed::link() const {
    if (reading_.isEmpty() || since_.elapsed() > kStaleMs) return QStringLiteral("stale");
    if (linkUp_ && !linkUp_()) return QStringLiteral("no link");
    return QStringLiteral("live");
}

QByteArray WebFeed::readingJson() const {
    if (reading_.isEmpty()) return "null";
    return reading_ + ",\"link\":" + jsonString(link()) + "}";
}

QByteArray WebFeed::statusJson(const QByteArray& extra) const {
    QByteArray out = "{\"generation\":" + QByteArray::number(generation_) +
                     ",\"rows\":" + QByteArray::number(static_cast<qlonglong>(rowCount_)) +
                     ",\"first\":" + jsonString(firstTime_) + ",\"last\":" + jsonString(lastTime_) +
                     ",\"link\":" + jsonString(link()) + ",\"statistics\":";
    if (const GroupStatistics* g = statistics_.statistics().latest())
        out += QByteArray::fromStdString(StatisticsText::json(*g, QString()));
    else
        out += "null";
    return out + extra + "}";
}

} // namespace dmm::web
