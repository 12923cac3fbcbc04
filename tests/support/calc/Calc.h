// LibreOffice Calc, headless, as the spreadsheet the CSV files are checked with: it converts
// files as a user's Calc would open them, in a private profile whose locale is pinned, and the
// result is read back cell by cell from the flat OpenDocument file (.fods).
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <vector>

namespace dmm::test {

// One cell as the spreadsheet holds it: a number ("float", with its value), a text ("string"),
// a date or time, or nothing ("").
struct Cell {
    QString type;
    QString value; // office:value (a number as the spreadsheet stores it) or the date/time value
    QString text;  // what the cell shows
};
using Sheet = std::vector<std::vector<Cell>>; // rows of cells, trailing empty cells left out

// The options of Calc's Text Import dialog for a UTF-8 CSV file as it proposes them when it
// opens one of this program's files: comma separator, double quote, UTF-8 (from the byte-order
// mark), from line 1. Calc's headless conversion has no dialog and, given no options, takes
// every CSV file as Windows-1252; these are the options a user sees and accepts.
inline constexpr const char* kCsvImportOptions = "44,34,76,1";

class Calc {
public:
    // locale: the BCP 47 tag the profile pins (user interface and "Locale setting").
    explicit Calc(const QString& locale = QStringLiteral("en-US"));

    // Where soffice is; empty when it is not installed.
    static QString program();

    // Converts every input to `format` ("fods", "pdf", "png" ...) in outDir, in one start of
    // soffice. csvOptions: the CSV import filter options (kCsvImportOptions by default). Returns
    // an error text, empty on success.
    QString convert(const QStringList& inputs, const QString& format, const QString& outDir,
                    const QString& csvOptions = QString::fromLatin1(kCsvImportOptions)) const;

    // Reads the first sheet of a .fods file.
    static Sheet readSheet(const QString& fodsPath, QString* error = nullptr);

private:
    QTemporaryDir profile_;
};

} // namespace dmm::test
