#include "DataFiles.h"
#include "GeneratedDevice.h"
#include "TestSupport.h"
#include "XmlPacketReader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace dmm {
namespace {

using test::makeRow;

QByteArray saveXml(const ReadingsTable& t) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    EXPECT_EQ(SaveReadingsXml(t, buf), QString());
    return bytes;
}

QString loadXml(QByteArray bytes, ReadingsTable& t) {
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    return LoadReadingsXml(buf, t);
}

// Texts XML must carry unchanged.
std::vector<RowData> awkwardRows() {
    return {
        makeRow(1, "12:00:00", "DC", "1.2345", "V", "pass", 12345),
        makeRow(-2147483647 - 1, "<tag>&amp;", "\"quoted\"", "it's", "*#?&)u", "Fail", 2147483647),
        makeRow(0, "  lead and trail  ", "a\tb", "line\nbreak", "cr\rhere", "]]>", 0),
        makeRow(std::nullopt, "", "", "", "", "", std::nullopt),
        makeRow(4, "\u03a9\u00b5\u00b0C\u2022", "\U0001F50A", "x", "", "", std::nullopt),
        makeRow(std::nullopt, "", "", "", "k*", "", -5),
    };
}

TEST(XmlTableFile, RoundTripsEveryFieldUnchanged) {
    ReadingsTable t;
    for (const RowData& r : awkwardRows()) t.append(r);
    const QByteArray xml = saveXml(t);
    ReadingsTable back;
    back.append(makeRow(99, "replaced", "", "", "", "", 1));
    ASSERT_EQ(loadXml(xml, back), QString()) << xml.toStdString();
    ASSERT_EQ(back.size(), t.size());
    for (int i = 0; i < t.size(); ++i) EXPECT_EQ(back.row(i), t.row(i)) << "row " << i;
}

TEST(XmlTableFile, LayoutHasTheDataPacketElementsAndLeavesEmptyFieldsOut) {
    ReadingsTable t;
    for (const RowData& r : awkwardRows()) t.append(r);
    const QByteArray xml = saveXml(t);
    QXmlStreamReader x(xml);
    QStringList path;
    QStringList fields, types, widths;
    QList<int> attributeCounts;
    while (!x.atEnd()) {
        if (x.readNext() == QXmlStreamReader::StartElement) {
            path << x.name().toString();
            if (x.name() == QLatin1String("DATAPACKET")) {
                EXPECT_EQ(x.attributes().value("Version"), QLatin1String("2.0"));
            }
            if (x.name() == QLatin1String("FIELD")) {
                fields << x.attributes().value("attrname").toString();
                types << x.attributes().value("fieldtype").toString();
                widths << x.attributes().value("WIDTH").toString();
            }
            if (x.name() == QLatin1String("ROW")) attributeCounts << x.attributes().size();
        }
    }
    ASSERT_FALSE(x.hasError()) << x.errorString().toStdString();
    EXPECT_EQ(path.mid(0, 3), QStringList({"DATAPACKET", "METADATA", "FIELDS"}));
    EXPECT_EQ(fields, QStringList({"no", "time", "dc/ac", "value", "unit", "auto", "nval"}));
    EXPECT_EQ(types, QStringList({"i4", "string", "string", "string", "string", "string", "i4"}));
    EXPECT_EQ(widths, QStringList({"", "20", "20", "20", "20", "20", ""}));
    EXPECT_EQ(path.mid(10, 2), QStringList({"PARAMS", "ROWDATA"}));
    EXPECT_EQ(attributeCounts, QList<int>({7, 7, 7, 0, 4, 2}));
}

TEST(XmlTableFile, AnEmptyTableRoundTrips) {
    ReadingsTable t;
    ReadingsTable back;
    back.append(makeRow(1, "", "", "", "", "", 1));
    ASSERT_EQ(loadXml(saveXml(t), back), QString());
    EXPECT_TRUE(back.empty());
}

TEST(XmlTableFile, TextsXmlCannotCarryFailTheSave) {
    ReadingsTable t;
    t.append(makeRow(1, "ok", "", "", "", "", 1));
    t.append(makeRow(2, "", "", QString::fromLatin1("a\0b", 3).toUtf8().constData(), "", "", 1));
    RowData bad;
    bad.value = QString::fromLatin1("a\0b", 3);
    t.append(bad);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    const QString error = SaveReadingsXml(t, buf);
    EXPECT_TRUE(error.contains(QStringLiteral("Row 3"))) << error.toStdString();
}

TEST(XmlTableFile, RejectsBrokenFilesAndKeepsTheTable) {
    ReadingsTable good;
    good.append(makeRow(1, "12:00:00", "DC", "1", "V", "pass", 1));
    const QByteArray xml = saveXml(good);
    auto replaced = [&](const char* from, const char* to) {
        QByteArray b = xml;
        return b.replace(from, to);
    };
    struct Case {
        const char* name;
        QByteArray file;
    } cases[] = {
        {"empty", ""},
        {"garbage", "\x01\x02 not xml at all \xff"},
        {"truncated", xml.left(xml.size() - 20)},
        {"truncated in metadata", xml.left(200)},
        {"wrong version", replaced("Version=\"2.0\"", "Version=\"1.0\"")},
        {"wrong root", replaced("DATAPACKET", "PACKET")},
        {"wrong field type",
         replaced("attrname=\"no\" fieldtype=\"i4\"", "attrname=\"no\" fieldtype=\"string\"")},
        {"field renamed", replaced("attrname=\"unit\"", "attrname=\"units\"")},
        {"field missing", replaced("<FIELD attrname=\"nval\" fieldtype=\"i4\"/>", "")},
        {"unknown attribute", replaced("<ROW no=", "<ROW extra=\"1\" no=")},
        {"integer that is no number", replaced("no=\"1\"", "no=\"one\"")},
        {"integer overflow", replaced("no=\"1\"", "no=\"4294967296\"")},
        {"integer just past 32 bits", replaced("no=\"1\"", "no=\"2147483648\"")},
        {"integer of 17 characters", replaced("no=\"1\"", "no=\"00000000000000001\"")},
        {"integer that is a sign alone", replaced("no=\"1\"", "no=\"-\"")},
        {"text in ROWDATA", replaced("<ROWDATA>", "<ROWDATA>text")},
        {"element in a row", replaced("/>\n</ROWDATA>", "><X/></ROW>\n</ROWDATA>")},
        {"two roots", xml + "<DATAPACKET Version=\"2.0\"/>"},
        {"a DTD with entities",
         "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
         "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>" +
             xml.mid(xml.indexOf("<DATAPACKET"))},
        {"malformed attribute", replaced("time=\"12:00:00\"", "time=12:00:00")},
        {"unescaped ampersand", replaced("pass", "a&b")},
    };
    for (const Case& c : cases) {
        ReadingsTable t;
        t.append(makeRow(42, "kept", "", "", "", "", 1));
        EXPECT_NE(loadXml(c.file, t), QString()) << c.name;
        ASSERT_EQ(t.size(), 1) << c.name;
        EXPECT_EQ(t.integer(0, Field::No), 42) << c.name;
    }
    // Field names match without regard to case, texts beyond 20 are cut.
    ReadingsTable t;
    EXPECT_EQ(loadXml(replaced("attrname=\"value\"", "attrname=\"Value\"")
                          .replace("value=\"1\"", "VALUE=\"1234567890123456789012345\""),
                      t),
              QString());
    EXPECT_EQ(t.text(0, Field::Value), QStringLiteral("12345678901234567890"));
}

class FileLevel : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
};

TEST_F(FileLevel, XmlRuleLooksAtTheExtensionWithCase) {
    struct Case {
        const char* name;
        bool xml;
    } cases[] = {
        {"a.xml", true},         {"/tmp/x.y/a.xml", true}, {".xml", true},   {"a.XML", false},
        {"a.Xml", false},        {"a.xml.txt", false},     {"a.xls", false}, {"a", false},
        {"dir.xml/file", false}, {"a.xmll", false},        {"axml", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isXmlTableFileName(QString::fromLatin1(c.name)), c.xml) << c.name;
}

TEST_F(FileLevel, TextSaveMessagesAndUpperCaseXmlIsText) {
    ReadingsTable t;
    t.append(makeRow(1, "10:00:01", "DC", "1.2345", "V", "pass", 12345));
    const QString name = path("data.XML");
    FileResult r = saveTableToFile(t, name);
    ASSERT_TRUE(r.ok);
    ASSERT_TRUE(r.message);
    EXPECT_EQ(r.message->caption, QString());
    EXPECT_EQ(r.message->icon, FileMessage::Icon::Information);
    EXPECT_EQ(r.message->text, "save table to specified file: " + name + " Scuss!");
    EXPECT_TRUE(test::readFile(name).startsWith("No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n1\t"));

    ReadingsTable back;
    FileResult l = loadTableFromFile(name, back, false);
    EXPECT_TRUE(l.ok);
    EXPECT_FALSE(l.message);
    EXPECT_EQ(back.size(), 1);

    const QString bad = path("missing-dir/data.txt");
    FileResult f = saveTableToFile(t, bad);
    EXPECT_FALSE(f.ok);
    ASSERT_TRUE(f.message);
    EXPECT_EQ(f.message->caption, QString());
    EXPECT_EQ(f.message->icon, FileMessage::Icon::Error);
    EXPECT_EQ(f.message->text, "Could not save table to specified file: " + bad);
}

TEST_F(FileLevel, XmlSaveIsSilentAndAFailedSaveLeavesTheOldFile) {
    ReadingsTable t;
    t.append(makeRow(1, "10:00:01", "DC", "1.2345", "V", "pass", 12345));
    const QString name = path("data.xml");
    FileResult r = saveTableToFile(t, name);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.message);
    const QByteArray before = test::readFile(name);

    RowData bad;
    bad.unit = QString(QChar(1));
    t.append(bad);
    FileResult f = saveTableToFile(t, name);
    EXPECT_FALSE(f.ok);
    ASSERT_TRUE(f.message);
    EXPECT_EQ(f.message->caption, QStringLiteral("Error"));
    EXPECT_EQ(f.message->icon, FileMessage::Icon::Error);
    EXPECT_TRUE(f.message->text.contains(QStringLiteral("Row 2")));
    EXPECT_EQ(test::readFile(name), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"data.xml"}));

    ReadingsTable back;
    EXPECT_TRUE(loadTableFromFile(name, back, false).ok);
    EXPECT_EQ(back.row(0), t.row(0));
}

TEST_F(FileLevel, LoadFailureMessage) {
    for (const char* name : {"none.txt", "none.xml"}) {
        ReadingsTable t;
        QString error;
        FileResult r = loadTableFromFile(path(name), t, false, {}, &error);
        EXPECT_FALSE(r.ok);
        ASSERT_TRUE(r.message);
        EXPECT_EQ(r.message->caption, QStringLiteral("Error"));
        EXPECT_EQ(r.message->text, QStringLiteral("Failed to Load File!"));
        EXPECT_EQ(r.message->icon, FileMessage::Icon::Error);
        EXPECT_FALSE(error.isEmpty());
    }
    test::writeFile(path("empty.txt"), "");
    ReadingsTable t;
    EXPECT_FALSE(loadTableFromFile(path("empty.txt"), t, false).ok);
    // A directory cannot be read as a file.
    EXPECT_FALSE(loadTableFromFile(dir.path(), t, false).ok);
}

} // namespace
} // namespace dmm

namespace dmm {
namespace {

TEST(XmlTableFile, ReadsPacketsWrittenByOtherWriters) {
    // Single quotes, comments, a processing instruction, whitespace inside tags, character
    // references, literal line ends in a value (read as spaces), the field in upper case.
    const QByteArray file =
        "<?xml version='1.0' encoding='utf-8'?>\r\n<!-- saved elsewhere -->\r\n"
        "<DATAPACKET Version='2.0'><METADATA><FIELDS>"
        "<FIELD attrname='no' fieldtype='i4'/><FIELD attrname='time' fieldtype='string'/>"
        "<FIELD attrname='DC/AC' fieldtype='string' WIDTH='20'/>"
        "<FIELD attrname='value' fieldtype='string'/><FIELD attrname='unit' fieldtype='string'/>"
        "<FIELD attrname='auto' fieldtype='string'/><FIELD attrname='nval' fieldtype='i4' />"
        "</FIELDS><PARAMS LCID='1033' x='&amp;'><EXTRA/></PARAMS></METADATA><?pi here?>"
        "<ROWDATA>\n  <ROW  no = '5' DC_X002F_AC='&#x3A9;&#956;' value=\"a\r\nb\tc\" "
        "unit='&lt;&#42;&gt;' nval='&#45;3'/>\n</ROWDATA></DATAPACKET>\n<!-- end -->\n";
    ReadingsTable t;
    QByteArray copy = file;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    ASSERT_EQ(LoadReadingsXml(buf, t), QString());
    ASSERT_EQ(t.size(), 1);
    EXPECT_EQ(t.row(0), test::makeRow(5, "", "\u03a9\u03bc", "a b c", "<*>", "", -3));
}

} // namespace
} // namespace dmm

namespace dmm {
namespace {

ReadingsTable& oneRowTable(ReadingsTable& t) {
    t.append(makeRow(42, "kept", "", "", "", "", 1));
    return t;
}

// Other writers' encodings: a UTF-8 byte order mark, UTF-16 with its mark (either order).
TEST(XmlTableFile, ReadsAByteOrderMarkAndUtf16) {
    ReadingsTable rows;
    for (const RowData& r : awkwardRows()) rows.append(r);
    rows.append(makeRow(5, "", "", "1\u066B25", "V", "", 125)); // Arabic decimal separator
    const QByteArray utf8 = saveXml(rows);
    QString text = QString::fromUtf8(utf8);
    text.replace(QStringLiteral("encoding=\"UTF-8\""), QStringLiteral("encoding=\"UTF-16\""));
    QByteArray le = "\xff\xfe", be = "\xfe\xff";
    for (QChar c : text) {
        le += char(c.unicode() & 0xff), le += char(c.unicode() >> 8);
        be += char(c.unicode() >> 8), be += char(c.unicode() & 0xff);
    }
    const struct {
        const char* name;
        QByteArray file;
    } cases[] = {{"UTF-8 with a byte order mark", "\xef\xbb\xbf" + utf8},
                 {"UTF-16 LE", le},
                 {"UTF-16 BE", be}};
    for (const auto& c : cases) {
        ReadingsTable t;
        ASSERT_EQ(loadXml(c.file, t), QString()) << c.name;
        ASSERT_EQ(t.size(), rows.size()) << c.name;
        for (int i = 0; i < t.size(); ++i) EXPECT_EQ(t.row(i), rows.row(i)) << c.name << " " << i;
    }
}

// A huge file that is wrong from its first bytes fails after reading a little of it; one
// endless attribute or comment fails once it passes the bound on a single piece of markup.
TEST(XmlTableFile, FailsEarlyAndBoundsASinglePieceOfMarkup) {
    const struct {
        const char* name;
        QByteArray head;
        char fill;
        qint64 maxRead;
    } cases[] = {
        {"two gigabytes of zero bytes", "", '\0', 1 << 20},
        {"an endless attribute", "<DATAPACKET Version=\"", 'x', 3 << 20},
        {"an endless comment", "<!--", 'x', 3 << 20},
        {"an endless element name", "<D", 'x', 3 << 20},
        {"endless whitespace", "<DATAPACKET Version=\"2.0\">", ' ', 3 << 20},
    };
    for (const auto& c : cases) {
        ReadingsTable t;
        oneRowTable(t);
        test::GeneratedDevice dev(c.head, c.fill, qint64(2) << 30, "");
        EXPECT_NE(LoadReadingsXml(dev, t), QString()) << c.name;
        EXPECT_LT(dev.produced(), c.maxRead) << c.name;
        EXPECT_EQ(t.size(), 1) << c.name;
    }
}

// Progress comes before the first byte is read and every read after; a cancelled load, like a
// failed one, leaves the table as it was.
TEST(XmlTableFile, ProgressFromTheFirstByteAndCancelKeepsTheTable) {
    ReadingsTable rows;
    for (int i = 0; i < 20000; ++i) rows.append(makeRow(i, "12:00:00", "DC", "1", "V", "", i));
    QByteArray xml = saveXml(rows);
    for (int cancelAt : {1, 5, -1}) {
        QBuffer buf(&xml);
        buf.open(QIODevice::ReadOnly);
        ReadingsTable t;
        oneRowTable(t);
        std::vector<std::int64_t> calls;
        const QString error = LoadReadingsXml(buf, t, [&](std::int64_t done, std::int64_t total) {
            EXPECT_EQ(total, xml.size());
            calls.push_back(done);
            return static_cast<int>(calls.size()) != cancelAt;
        });
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), 0);
        if (cancelAt > 0) {
            EXPECT_NE(error, QString());
            EXPECT_EQ(static_cast<int>(calls.size()), cancelAt);
            ASSERT_EQ(t.size(), 1);
            EXPECT_EQ(t.integer(0, Field::No), 42);
        } else {
            EXPECT_EQ(error, QString());
            EXPECT_GT(calls.size(), 10u);
            EXPECT_EQ(calls.back(), xml.size());
            EXPECT_EQ(t.size(), rows.size());
        }
    }
}

} // namespace
} // namespace dmm

namespace dmm {
namespace {

XmlPacketReader::Outcome readFast(QByteArray bytes, ReadingsTable& t) {
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    return XmlPacketReader::read(buf, t, {});
}

QString readGeneral(QByteArray bytes, ReadingsTable& t) {
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    return loadReadingsXmlStreamed(buf, t);
}

// The fast reader takes the writer's own files and declines every other shape, which the load
// then reads again with the general reader: the rows, or the error text, are the general one's.
TEST(XmlTableFile, FastReaderTakesTheWritersShapeAndLeavesTheRestToTheGeneralReader) {
    ReadingsTable rows;
    for (const RowData& r : awkwardRows()) rows.append(r);
    for (int i = 0; i < 1000; ++i) rows.append(makeRow(i, "12:00:00", "DC", "1", "V", "", i));
    const QByteArray saved = saveXml(rows);
    auto swap = [](QByteArray b, const char* from, const char* to) { return b.replace(from, to); };
    const struct {
        const char* what;
        QByteArray bytes;
        bool fast;
    } cases[] = {
        {"as written", saved, true},
        {"CR LF line ends", swap(saved, "\n", "\r\n"), false},
        {"byte order mark", "\xEF\xBB\xBF" + saved, false},
        {"attributes in another order",
         swap(saved, "no=\"1\" time=\"12:00:00\"", "time=\"12:00:00\" no=\"1\""), false},
        {"a character reference", swap(saved, "value=\"1.2345\"", "value=\"&#49;.2345\""), false},
        {"a literal >", swap(saved, "&gt;", ">"), false},
        {"single quotes", swap(saved, "unit=\"V\"", "unit='V'"), false},
        {"a comment at the end", saved + "<!-- end -->\n", false},
        {"an unknown field", swap(saved, "<ROW no=\"4\"", "<ROW x=\"1\" no=\"4\""), false},
        {"a number that does not convert", swap(saved, "nval=\"12345\"", "nval=\"12x\""), false},
        {"cut short", saved.left(saved.size() - 3), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReadingsTable fast, general, loaded;
        EXPECT_EQ(readFast(c.bytes, fast) == XmlPacketReader::Outcome::Loaded, c.fast);
        const QString generalError = readGeneral(c.bytes, general);
        EXPECT_EQ(loadXml(c.bytes, loaded), generalError);
        ASSERT_EQ(loaded.size(), general.size());
        for (int i = 0; i < general.size(); ++i) ASSERT_EQ(loaded.row(i), general.row(i)) << i;
        if (c.fast) {
            EXPECT_EQ(generalError, QString());
            ASSERT_EQ(fast.size(), rows.size());
            for (int i = 0; i < rows.size(); ++i) ASSERT_EQ(fast.row(i), rows.row(i)) << i;
        }
    }
}

} // namespace
} // namespace dmm
