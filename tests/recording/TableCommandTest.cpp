// dmm table as a black box.
#include "FullDisk.h"
#include "TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

namespace dmm {
namespace {

struct CliRun {
    int code;
    QByteArray out;
    QByteArray err;
};

CliRun dmm(const QStringList& args, const test::FullDisk* disk = nullptr) {
    const QString binary = qEnvironmentVariable("DMM_BINARY_DIR") + "/tools/dmm/dmm";
    QProcess p;
    if (disk) disk->limit(p);
    p.start(binary, QStringList{QStringLiteral("table")} + args);
    if (!p.waitForFinished(120000)) {
        ADD_FAILURE() << "dmm did not finish";
        return {-1, {}, {}};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

class TableCommand : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DMM_BINARY_DIR"))
            GTEST_SKIP() << "DMM_BINARY_DIR is not set";
    }
};

const QByteArray kFile = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n"
                         "1\t10:00:01\tDC\t1.2345\tk*\tpass\r\n"
                         "2\t10:00:02\tAC\t\"a \"\"q\"\"\"\tNULL\tFail\t-77\r\n";

TEST_F(TableCommand, ShowPrintsJsonLinesInFieldOrder) {
    test::writeFile(path("in.txt"), kFile);
    CliRun r = dmm({QStringLiteral("show"), path("in.txt")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
              "{\"no\": 1, \"time\": \"10:00:01\", \"dc/ac\": \"DC\", \"value\": \"1.2345\", "
              "\"unit\": \"k*\", \"auto\": \"pass\", \"nval\": null}\n"
              "{\"no\": 2, \"time\": \"10:00:02\", \"dc/ac\": \"AC\", \"value\": \"a "
              "\\\"q\\\"\", \"unit\": \"NULL\", \"auto\": \"Fail\", \"nval\": -77}\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(TableCommand, ShowAfterAFailedLoadPrintsTheRowsBefore) {
    test::writeFile(path("bad.txt"), kFile + "3 a b c d e 7 8\r\n4\r\n");
    CliRun r = dmm({QStringLiteral("show"), path("bad.txt")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.count('\n'), 2);
    EXPECT_EQ(r.err, "Failed to Load File!\n");
}

// One JSON object per file and group with the documented keys; an XML file gives the same
// figures as the text file it was saved from; a file that fails to load is left out.
TEST_F(TableCommand, StatsPrintsOneJsonObjectPerFileAndGroup) {
    test::writeFile(path("in.txt"), kFile + "3\t10:00:03\tDC\t1.2355\tk*\tpass\r\n"
                                            "4\t10:00:04\tDC\t0L.\tk*\tpass\r\n");
    ASSERT_EQ(dmm({QStringLiteral("convert"), path("in.txt"), path("in.xml")}).code, 0);
    CliRun r = dmm({"stats", "--json", path("in.txt"), path("missing.txt"), path("in.xml")});
    EXPECT_EQ(r.code, 1);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << r.out.toStdString(); // resistance and "a q" in each file
    const QJsonObject o = QJsonDocument::fromJson(lines[0]).object();
    EXPECT_EQ(o.keys(),
              QStringList({"count", "coupling", "file", "first", "last", "max", "max_no", "mean",
                           "min", "min_no", "no_number", "ptp", "quantity", "sdev", "unit"}));
    EXPECT_EQ(o["unit"].toString(), QStringLiteral("\u03A9"));
    EXPECT_EQ(o["count"].toInt(), 2);
    EXPECT_EQ(o["no_number"].toInt(), 1);
    EXPECT_DOUBLE_EQ(o["mean"].toDouble(), 1235);
    EXPECT_EQ(o["max_no"].toInt(), 3);
    EXPECT_EQ(o["last"].toString(), "10:00:04");
    EXPECT_TRUE(QJsonDocument::fromJson(lines[1]).object()["sdev"].isNull());
    EXPECT_EQ(lines[2], QByteArray(lines[0]).replace("in.txt", "in.xml"));
    EXPECT_TRUE(r.err.contains("missing.txt: left out")) << r.err.toStdString();
}

TEST_F(TableCommand, ConvertTextToXmlAndBack) {
    test::writeFile(path("in.txt"), kFile);
    CliRun a = dmm({QStringLiteral("convert"), path("in.txt"), path("t.xml")});
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(a.err, ""); // an XML save shows no message
    EXPECT_TRUE(test::readFile(path("t.xml")).contains("<DATAPACKET Version=\"2.0\">"));
    CliRun b = dmm({QStringLiteral("convert"), path("t.xml"), path("back.txt")});
    EXPECT_EQ(b.code, 0);
    EXPECT_EQ(b.err,
              "save table to specified file: " + path("back.txt").toLocal8Bit() + " Scuss!\n");
    // nval went through the XML file but the text file has no column for it; the quoted value
    // is written quoted again, so that it loads back as the text it held.
    EXPECT_EQ(test::readFile(path("back.txt")), "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n"
                                                "1\t10:00:01\tDC\t1.2345\tk*\tpass\r\n"
                                                "2\t10:00:02\tAC\t\"a \"\"q\"\"\"\tNULL\tFail\r\n");
    CliRun c = dmm({QStringLiteral("show"), path("t.xml")});
    EXPECT_TRUE(c.out.contains("\"nval\": -77"));
}

TEST_F(TableCommand, ConvertToCsv) {
    test::writeFile(path("in.txt"), kFile);
    CliRun a = dmm({QStringLiteral("convert"), path("in.txt"), path("out.csv")});
    EXPECT_EQ(a.code, 0);
    EXPECT_EQ(a.err,
              "save table to specified file: " + path("out.csv").toLocal8Bit() + " Scuss!\n");
    // Loaded rows carry no date and no range; "NULL" is no unit the program knows.
    EXPECT_EQ(test::readFile(path("out.csv")),
              "\xEF\xBB\xBFno,time,function,display,unit,value,base_unit,range,judge\r\n"
              "1,10:00:01,DC,1.2345,k\xCE\xA9,1234.5,\xCE\xA9,,pass\r\n"
              "2,10:00:02,AC,\"a \"\"q\"\"\",NULL,,,,Fail\r\n");
    // The XML file's rows convert alike.
    ASSERT_EQ(dmm({QStringLiteral("convert"), path("in.txt"), path("t.xml")}).code, 0);
    ASSERT_EQ(dmm({QStringLiteral("convert"), path("t.xml"), path("t.CSV")}).code, 0);
    EXPECT_EQ(test::readFile(path("t.CSV")), test::readFile(path("out.csv")));
}

TEST_F(TableCommand, FailuresAndBadArguments) {
    test::writeFile(path("bad.txt"), "h\r\nx\r\n");
    CliRun a = dmm({QStringLiteral("convert"), path("bad.txt"), path("out.txt")});
    EXPECT_EQ(a.code, 1);
    EXPECT_EQ(a.err, "Failed to Load File!\n");
    EXPECT_FALSE(QFile::exists(path("out.txt")));

    test::writeFile(path("in.txt"), kFile);
    const QString unwritable = path("no-such-dir/out.txt");
    CliRun b = dmm({QStringLiteral("convert"), path("in.txt"), unwritable});
    EXPECT_EQ(b.code, 1);
    EXPECT_EQ(b.err, "Could not save table to specified file: " + unwritable.toLocal8Bit() + "\n");

    for (const QStringList& args :
         {QStringList{}, QStringList{"convert", "a"}, QStringList{"show"},
          QStringList{"show", "a", "b"}, QStringList{"report", "a"}, QStringList{"frobnicate"}})
        EXPECT_EQ(dmm(args).code, 2) << args.join(' ').toStdString();
}

// Only regular files are read: a device, a FIFO, a socket or a link to one fails at once with
// the load failure, in both formats, where it used to read for ever or wait for a writer.
TEST_F(TableCommand, OnlyRegularFilesAreRead) {
    const QByteArray fifo = QFile::encodeName(path("fifo.txt"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const QByteArray sock = QFile::encodeName(path("sock.txt"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(sock.size()), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sock.constData(), static_cast<std::size_t>(sock.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    ASSERT_TRUE(QFile::link(path("fifo.txt"), path("to-fifo.xml")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path("to-zero.xls")));
    for (const QString& name :
         {QStringLiteral("/dev/zero"), QStringLiteral("/dev/null"), path("fifo.txt"),
          path("to-fifo.xml"), path("to-zero.xls"), path("sock.txt"), dir.path()}) {
        for (const char* sub : {"show", "convert"}) {
            QStringList args{QString::fromLatin1(sub), name};
            if (args[0] == QLatin1String("convert")) args << path("out.txt");
            CliRun r = dmm(args);
            EXPECT_EQ(r.code, 1) << sub << " " << name.toStdString();
            EXPECT_EQ(r.err, "Failed to Load File!\n") << sub << " " << name.toStdString();
            EXPECT_EQ(r.out, "") << sub << " " << name.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(path("out.txt")));
    ::close(fd);
    // A symbolic link to a regular file is read as that file.
    test::writeFile(path("in.txt"), kFile);
    ASSERT_TRUE(QFile::link(path("in.txt"), path("link.txt")));
    EXPECT_EQ(dmm({QStringLiteral("show"), path("link.txt")}).code, 0);
}

TEST_F(TableCommand, ReportWritesAPdfButNotForAnEmptyTable) {
    test::writeFile(path("in.txt"), kFile);
    CliRun a = dmm({QStringLiteral("report"), path("in.txt"), path("r.pdf")});
    EXPECT_EQ(a.code, 0) << a.err.toStdString();
    EXPECT_TRUE(test::readFile(path("r.pdf")).startsWith("%PDF"));

    test::writeFile(path("empty.txt"), "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n");
    CliRun b = dmm({QStringLiteral("report"), path("empty.txt"), path("e.pdf")});
    EXPECT_EQ(b.code, 0);
    EXPECT_FALSE(b.err.isEmpty());
    EXPECT_FALSE(QFile::exists(path("e.pdf")));

    CliRun c = dmm({QStringLiteral("report"), path("missing.txt"), path("m.pdf")});
    EXPECT_EQ(c.code, 1);
    EXPECT_EQ(c.err, "Failed to Load File!\n");
}

TEST_F(TableCommand, ReportOnAFullDiskFailsAndKeepsTheOldFile) {
    QByteArray rows = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";
    for (int i = 1; i <= 4000; ++i)
        rows += QByteArray::number(i) + "\t10:00:01\tDC\t1.2345\tV\tpass\r\n";
    test::writeFile(path("in.txt"), rows);
    test::forEachFullDisk(64 * 1024, [&](const test::FullDisk& disk) {
        const QString out = disk.filePath(QStringLiteral("r.pdf"));
        test::writeFile(out, "old report");
        CliRun r = dmm({QStringLiteral("report"), path("in.txt"), out}, &disk);
        EXPECT_EQ(r.code, 1);
        EXPECT_TRUE(r.err.startsWith("Could not print the report to " + out.toLocal8Bit() + ": "))
            << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("Printed"));
        test::expectOldFileKept(out, "old report");
    });
    // With room, the same command replaces the old file.
    CliRun ok = dmm({QStringLiteral("report"), path("in.txt"), path("r.pdf")});
    EXPECT_EQ(ok.code, 0);
    EXPECT_EQ(ok.err,
              "Printed 109 page(s) of 4000 row(s) to " + path("r.pdf").toLocal8Bit() + "\n");
}

} // namespace
} // namespace dmm
