// The CSV files as a spreadsheet user gets them: dmm writes them, LibreOffice Calc (headless,
// locale pinned) opens them and converts them to a spreadsheet, and the cells are checked.
#include "Calc.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

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

} // namespace
} // namespace dmm::test
