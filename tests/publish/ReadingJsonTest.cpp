// A row's MQTT payload: parsed back by a JSON parser, the CSV columns as keys in their order,
// `no` and `value` numbers or null, the other columns the CSV's texts.
#include <gtest/gtest.h>

#include "CsvFile.h"
#include "ReadingJson.h"
#include "ReadingsTable.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

namespace {

using dmm::ReadingJson;
using dmm::ReadingsTable;
using dmm::RowData;

struct Case {
    const char* what;
    RowData row;
    QJsonValue no;
    QJsonValue value;
    const char* display;
    const char* unit;
    const char* baseUnit;
};

RowData rowOf(std::optional<int> no, const char* time, const char* dcAc, const char* value,
              const char* unit, const char* judge, const char* range = "") {
    RowData r;
    r.no = no;
    r.time = QString::fromUtf8(time);
    r.dcAc = QString::fromUtf8(dcAc);
    r.value = QString::fromUtf8(value);
    r.unit = QString::fromUtf8(unit);
    r.judge = QString::fromUtf8(judge);
    r.rangeMode = QString::fromUtf8(range);
    return r;
}

TEST(ReadingJson, TheCsvColumnsAsAJsonObject) {
    const Case cases[] = {
        {"a reading", rowOf(12, "16:12:05", "DC", "12.345", "mV", "pass", "AUTO"), 12, 0.012345,
         "12.345", "mV", "V"},
        {"an overload", rowOf(13, "16:12:06", "DC", "L0.", "V", "Fail", "MANU"), 13,
         QJsonValue::Null, "L0.", "V", ""},
        {"no record number", rowOf(std::nullopt, "x", "", "-1,5", "k*", ""), QJsonValue::Null,
         -1500, "-1.5", "kΩ", "Ω"},
        {"an unknown unit", rowOf(1, "t", "AC", "3.1", "RPM", "NULL"), 1, QJsonValue::Null, "3.1",
         "RPM", ""},
        {"texts to escape", rowOf(2, "a \"quoted\"\ttime\\", "", "0.000", "#", ""), 2, 0, "0.000",
         "°C", "°C"},
    };
    for (const Case& c : cases) {
        ReadingsTable table;
        ASSERT_TRUE(table.append(c.row));
        const std::string json = ReadingJson::fromRecord(dmm::RecordedRow::fromTable(table, 0));
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << c.what << ": " << json;
        const QJsonObject o = doc.object();
        EXPECT_EQ(o.size(), 9) << c.what;
        // Keys in the CSV's order, in the text itself.
        std::size_t at = 0;
        for (const char* name : dmm::CsvFile::kColumnNames) {
            const std::size_t found = json.find('"' + std::string(name) + "\":", at);
            EXPECT_NE(found, std::string::npos) << c.what << ": " << name;
            at = found;
        }
        EXPECT_EQ(o.value("no"), c.no) << c.what;
        if (c.value.isDouble())
            EXPECT_DOUBLE_EQ(o.value("value").toDouble(), c.value.toDouble()) << c.what;
        else
            EXPECT_TRUE(o.value("value").isNull()) << c.what << ": " << json;
        EXPECT_EQ(o.value("display").toString(), QString::fromUtf8(c.display)) << c.what;
        EXPECT_EQ(o.value("unit").toString(), QString::fromUtf8(c.unit)) << c.what;
        EXPECT_EQ(o.value("base_unit").toString(), QString::fromUtf8(c.baseUnit)) << c.what;
        EXPECT_EQ(o.value("time").toString(), c.row.time) << c.what;
        EXPECT_EQ(o.value("range").toString(), c.row.rangeMode) << c.what;
    }
}

TEST(ReadingJson, ARecordedRowCarriesItsDateTimeAsTheCsvWritesIt) {
    ReadingsTable table;
    RowData r = rowOf(7, "16:12:05", "DC", "1.0000", "V", "pass", "AUTO");
    r.recordedAt = QDateTime(QDate(2026, 12, 9), QTime(16, 12, 5), QTimeZone::utc());
    ASSERT_TRUE(table.append(r));
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(ReadingJson::fromRecord(
                                                      dmm::RecordedRow::fromTable(table, 0))))
                              .object();
    EXPECT_EQ(o.value("time").toString(), dmm::CsvFile::isoLocalTime(r.recordedAt));
    EXPECT_EQ(o.value("function").toString(), QStringLiteral("DC"));
    EXPECT_EQ(o.value("judge").toString(), QStringLiteral("pass"));
}

} // namespace
