// The CSV files as a spreadsheet user gets them: dmm writes them, LibreOffice Calc (headless,
// locale pinned) opens them and converts them to a spreadsheet, and the cells are checked.
#include "Calc.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace dmm::test {
namespace {

QString dmmPath() {
    return qEnvironmentVariable("DMM_BINARY_DIR") + QStringLiteral("/tools/dmm/dmm");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Runs dmm; returns its exit code (-1 if it did not finish).
int dmm(const QStringList& args, const QProcessEnvironment& env = {}) {
    QProcess p;
    if (!env.isEmpty()) p.setProcessEnvironment(env);
    p.start(dmmPath(), args);
    if (!p.waitForFinished(60'000)) return -1;
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

class Spreadsheet : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsSet("DMM_SKIP_SPREADSHEET"))
            GTEST_SKIP() << "DMM_SKIP_SPREADSHEET is set";
        ASSERT_FALSE(Calc::program().isEmpty())
            << "LibreOffice Calc (soffice) is not installed: run scripts/install-deps.sh";
        ASSERT_TRUE(QFile::exists(dmmPath())) << "dmm is not built";
        ASSERT_TRUE(dir.isValid());
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    // Converts the CSV files with Calc to .fods and reads back the first sheet of each.
    std::vector<Sheet> open(const Calc& calc, const QStringList& csvNames,
                            const QString& options = QString::fromLatin1(kCsvImportOptions)) {
        QStringList inputs;
        for (const QString& n : csvNames) inputs << dir.filePath(n);
        const QString out = dir.filePath(QStringLiteral("calc"));
        QDir().mkpath(out);
        EXPECT_EQ(calc.convert(inputs, QStringLiteral("fods"), out, options), QString());
        std::vector<Sheet> sheets;
        for (const QString& n : csvNames) {
            QString error;
            sheets.push_back(Calc::readSheet(
                out + QLatin1Char('/') + QFileInfo(n).completeBaseName() + ".fods", &error));
            EXPECT_EQ(error, QString()) << n.toStdString();
        }
        return sheets;
    }

    QTemporaryDir dir;
};

// A data file of the kind "Open old data files" takes, with one row per unit and the awkward
// cases: an overload, a comma as separator (a file from a German desktop), a text with a comma.
const QByteArray kDataFile = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n"
                             "1\t16:12:05\tOHM\t12.316\tk*\tpass\r\n"
                             "2\t16:12:06\tTemperature\t23.5\t#\tpass\r\n"
                             "3\t16:12:07\tDC\t12.345\tmV\tFail\r\n"
                             "4\t16:12:08\tDC\t-199.9\tuA\tpass\r\n"
                             "5\t16:12:09\tAC\t12,316\tk*\tpass\r\n"
                             "6\t16:12:10\tDC\tL0.\tV\tFail\r\n"
                             "7\t16:12:11\tCAP\t2.200\tuF\tpass\r\n"
                             "8\t16:12:12\tFrequency\t1.000\tMHz\tpass\r\n"
                             "9\t16:12:13\tDC\t\"1,5\"\tW\tNULL\r\n";

struct Expected {
    const char* unit;  // UTF-8
    const char* value; // the exact decimal; "" for an empty cell
    const char* base;  // UTF-8
};
const Expected kExpected[] = {
    {"k\u03A9", "12316", "\u03A9"}, {"\u00B0C", "23.5", "\u00B0C"}, {"mV", "0.012345", "V"},
    {"\u00B5A", "-0.0001999", "A"}, {"k\u03A9", "12316", "\u03A9"}, {"V", "", ""},
    {"\u00B5F", "0.0000022", "F"},  {"MHz", "1000000", "Hz"},       {"W", "", ""},
};

TEST_F(Spreadsheet, ConvertedFileOpensAsNumbersWithUnicodeUnits) {
    ASSERT_TRUE(writeFile(path("bench.xls"), kDataFile));
    ASSERT_EQ(dmm({"table", "convert", path("bench.xls"), path("bench.csv")}), 0);
    Calc calc;
    const auto sheets = open(calc, {QStringLiteral("bench.csv")});
    const Sheet& s = sheets.at(0);
    ASSERT_EQ(s.size(), 10u);
    const QStringList header = {"no",    "time",      "function", "display", "unit",
                                "value", "base_unit", "range",    "judge"};
    ASSERT_EQ(s[0].size(), 9u);
    for (int c = 0; c < 9; ++c) EXPECT_EQ(s[0][c].text, header[c]) << "the mark is not in the cell";
    for (int r = 1; r < 10; ++r) {
        const Expected& e = kExpected[r - 1];
        std::vector<Cell> row = s[r];
        row.resize(9);
        EXPECT_EQ(row[0].type, "float") << r;
        EXPECT_EQ(row[0].value.toInt(), r);
        EXPECT_EQ(row[4].type, "string") << r;
        EXPECT_EQ(row[4].text, QString::fromUtf8(e.unit)) << r;
        EXPECT_EQ(row[6].text, QString::fromUtf8(e.base)) << r;
        if (*e.value) {
            EXPECT_EQ(row[5].type, "float") << r << " " << row[5].text.toStdString();
            // The spreadsheet's number is the reading: the same double as the exact decimal.
            EXPECT_EQ(row[5].value.toDouble(), QString::fromLatin1(e.value).toDouble()) << r;
        } else {
            EXPECT_EQ(row[5].type, "") << r;
        }
    }
    EXPECT_EQ(s[6][3].text, "L0.") << "an overload as shown";
    EXPECT_EQ(s[9][3].type, "float") << "a comma display of a loaded file reads as 1.5";
    EXPECT_EQ(s[9][3].value, "1.5");
}

// What the README tells a user whose spreadsheet uses a decimal comma: left to its own locale,
// Calc misreads the "." numbers; with the column language English (USA) in the import dialog
// (filter option 6, language 1033) it reads them as the numbers they are.
TEST_F(Spreadsheet, DecimalCommaLocaleReadsNumbersWithLanguageEnglish) {
    ASSERT_TRUE(writeFile(path("bench.xls"), kDataFile));
    ASSERT_EQ(dmm({"table", "convert", path("bench.xls"), path("de.csv")}), 0);
    ASSERT_TRUE(QFile::copy(path("de.csv"), path("en.csv")));
    Calc german(QStringLiteral("de-DE"));
    const auto plain = open(german, {QStringLiteral("de.csv")});
    const auto english =
        open(german, {QStringLiteral("en.csv")}, QString::fromLatin1(kCsvImportOptions) + ",,1033");
    ASSERT_EQ(plain.at(0).size(), 10u);
    ASSERT_EQ(english.at(0).size(), 10u);
    // row 3: 12.345 mV, value 0.012345
    const Cell& misread = plain[0][3][5];
    EXPECT_FALSE(misread.type == "float" && misread.value.toDouble() == 0.012345)
        << "a German Calc reads \"0.012345\" as " << misread.type.toStdString() << " "
        << misread.value.toStdString();
    EXPECT_EQ(english[0][3][5].type, "float");
    EXPECT_EQ(english[0][3][5].value.toDouble(), 0.012345);
    EXPECT_EQ(english[0][1][5].value.toDouble(), 12316.0);
}

// A pseudo-terminal that stands for the meter's port: dmm log reads the slave, the test writes
// frames into the master.
class MeterPort {
public:
    MeterPort() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)) {
            ::close(master_);
            master_ = -1;
        }
        if (master_ >= 0) slave_ = QString::fromLocal8Bit(::ptsname(master_));
    }
    ~MeterPort() {
        if (master_ >= 0) ::close(master_);
    }
    MeterPort(const MeterPort&) = delete;
    MeterPort& operator=(const MeterPort&) = delete;
    bool ok() const { return master_ >= 0; }
    const QString& slave() const { return slave_; }
    bool send(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done,
                                      static_cast<size_t>(bytes.size() - done));
            if (n <= 0) return false;
            done += n;
        }
        return true;
    }

private:
    int master_ = -1;
    QString slave_;
};

int lineCount(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? static_cast<int>(f.readAll().count('\n')) : 0;
}

// dmm log under `locale` (LC_ALL and LANG) into `csv`, fed `frames` through a pseudo-terminal;
// ends it once `rows` rows are in the file (or nothing came for two seconds).
void logFrames(const QString& locale, const QByteArray& frames, const QString& csv, int rows) {
    MeterPort port;
    ASSERT_TRUE(port.ok());
    QProcess log;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    log.setProcessEnvironment(env);
    log.setReadChannel(QProcess::StandardError);
    log.start(dmmPath(), {"log", "--port", port.slave(), "--out", csv});
    ASSERT_TRUE(log.waitForStarted(5000));
    // The port is set up (raw, 2400 8N1) before dmm log says it is logging.
    while (!log.readAllStandardError().contains("logging"))
        ASSERT_TRUE(log.waitForReadyRead(10'000));
    ASSERT_TRUE(port.send(frames));
    QElapsedTimer quiet;
    quiet.start();
    for (int last = -1; lineCount(csv) < rows + 1 && quiet.elapsed() < 2000;) {
        QThread::msleep(50);
        const int now = lineCount(csv);
        if (now != last) quiet.restart();
        last = now;
    }
    ::kill(static_cast<pid_t>(log.processId()), SIGINT);
    ASSERT_TRUE(log.waitForFinished(10'000));
    EXPECT_EQ(log.exitCode(), 0);
}

// The reading the simulator sent, in the base unit, computed apart from the program's own
// conversion: the value text times the unit's power of ten.
std::optional<double> sentValue(const QJsonObject& frame) {
    static const std::pair<const char*, double> kScale[] = {
        {"V", 1},    {"mV", 1e-3}, {"A", 1},     {"mA", 1e-3}, {"uA", 1e-6}, {"*", 1},
        {"k*", 1e3}, {"M*", 1e6},  {"F", 1},     {"nF", 1e-9}, {"uF", 1e-6}, {"mF", 1e-3},
        {"Hz", 1},   {"kHz", 1e3}, {"MHz", 1e6}, {"%", 1},     {"#", 1},     {"?", 1},
    };
    const QString unit = frame.value(QStringLiteral("unit")).toString();
    bool number = false;
    const double shown = frame.value(QStringLiteral("value")).toString().toDouble(&number);
    if (!number) return std::nullopt;
    for (const auto& [code, scale] : kScale)
        if (unit == QLatin1String(code)) return shown * scale;
    return std::nullopt;
}

// The same frames logged under a German locale (decimal comma) and under C give the same file
// but for the time column, and Calc reads the value column as the numbers the meter sent.
TEST_F(Spreadsheet, LoggedUnderGermanAndCTheSameNumbers) {
    constexpr int kFrames = 400;
    QProcess sim;
    sim.start(dmmPath(), {"simulate", "--rate", "0", "--count", QString::number(kFrames),
                          "--script", "tour", "--log", path("sent.jsonl")});
    ASSERT_TRUE(sim.waitForFinished(30'000));
    const QByteArray frames = sim.readAllStandardOutput();
    QFile sentFile(path("sent.jsonl"));
    ASSERT_TRUE(sentFile.open(QIODevice::ReadOnly));
    std::vector<QJsonObject> sent;
    for (const QByteArray& line : sentFile.readAll().split('\n'))
        if (!line.isEmpty()) sent.push_back(QJsonDocument::fromJson(line).object());
    ASSERT_EQ(sent.size(), static_cast<size_t>(kFrames));

    logFrames(QStringLiteral("de_DE.UTF-8"), frames, path("de.csv"), kFrames);
    logFrames(QStringLiteral("C"), frames, path("c.csv"), kFrames);
    const auto withoutTime = [&](const char* name) {
        QFile f(path(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().split('\n');
        for (QByteArray& l : lines) {
            QList<QByteArray> fields = l.split(',');
            if (fields.size() > 1) fields.removeAt(1);
            l = fields.join(',');
        }
        return lines;
    };
    const auto de = withoutTime("de.csv");
    ASSERT_EQ(de.size(), kFrames + 2) << "every frame a row, after the header";
    EXPECT_EQ(de, withoutTime("c.csv"));

    Calc calc;
    const auto sheets = open(calc, {QStringLiteral("de.csv"), QStringLiteral("c.csv")});
    ASSERT_EQ(sheets.at(0).size(), static_cast<size_t>(kFrames + 1));
    ASSERT_EQ(sheets.at(1).size(), static_cast<size_t>(kFrames + 1));
    int numbers = 0;
    bool kiloOhm = false, celsius = false;
    for (int r = 1; r <= kFrames; ++r) {
        std::vector<Cell> german = sheets[0][r], plain = sheets[1][r];
        german.resize(9);
        plain.resize(9);
        EXPECT_EQ(german[5].type, plain[5].type) << r;
        EXPECT_EQ(german[5].value, plain[5].value) << r;
        kiloOhm = kiloOhm || german[4].text == QString::fromUtf8("k\u03A9");
        celsius = celsius || german[4].text == QString::fromUtf8("\u00B0C");
        const auto want = sentValue(sent[r - 1]);
        if (!want) {
            EXPECT_EQ(german[5].type, "") << r << " an overload or an unknown unit has no value";
            continue;
        }
        ASSERT_EQ(german[5].type, "float") << r << " " << german[5].text.toStdString();
        const double got = german[5].value.toDouble();
        EXPECT_LE(std::abs(got - *want), 1e-12 * std::max(1.0, std::abs(*want))) << r;
        ++numbers;
    }
    EXPECT_GT(numbers, kFrames / 2);
    EXPECT_TRUE(kiloOhm);
    EXPECT_TRUE(celsius);
}

} // namespace
} // namespace dmm::test
