// dmm table: the readings table's data files without a window; convert writes the format its
// OUT name asks for (.xml, .csv, else the text file). Every text the window would show
// in a message box goes to standard error; exit 1 when a load or save fails, 2 on bad arguments.
#include "Command.h"
#include "CommandLine.h"

#include "DataFiles.h"
#include "JournalFormat.h"
#include "JsonText.h"
#include "ReadingsTable.h"
#include "RecordingStatistics.h"
#include "Report.h"
#include "StatisticsText.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace {

using namespace dmm;

const char* kUsage = "table convert IN OUT | table show FILE | table report FILE OUT.pdf | table "
                     "stats [--json] FILE...";

QString arg(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), qsizetype(s.size()));
}

void say(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void sayMessage(const FileResult& r) {
    if (r.message) say(r.message->text);
}

// The QCoreApplication every Qt class here wants; the report's fonts need a GUI application,
// which runs without a display on the offscreen platform.
std::unique_ptr<QCoreApplication> makeApp(bool gui) {
    // Standard error carries the message-box texts; Qt's own chatter (a missing runtime
    // directory on a headless machine and the like) would mix with them.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type == QtFatalMsg || type == QtCriticalMsg) say(msg);
    });
    static int argc = 1;
    static char name[] = "dmm";
    static char* argv[] = {name, nullptr};
    if (!gui) return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

// A data file, or a recording journal (named *.journal): a recording the window did not save can
// be rescued without it.
FileResult loadAny(const QString& name, ReadingsTable& table) {
    if (!name.endsWith(QLatin1String(kJournalSuffix))) return loadTableFromFile(name, table, true);
    FileResult r;
    QFile f(name);
    JournalSummary summary;
    const QString error = !QFileInfo(name).isFile()      ? QStringLiteral("is not a regular file")
                          : !f.open(QIODevice::ReadOnly) ? f.errorString()
                                                         : readJournal(f, table, summary);
    r.ok = error.isEmpty();
    if (!r.ok)
        r.message = FileMessage{QLatin1String(kLoadFailedCaption), name + QLatin1Char(' ') + error,
                                FileMessage::Icon::Error};
    else if (summary.torn)
        say(name + QStringLiteral(": its last record was torn and is left out"));
    return r;
}

void printRows(const ReadingsTable& table) {
    QByteArray line;
    for (int r = 0; r < table.size(); ++r) {
        line = "{";
        for (int i = 0; i < kFieldCount; ++i) {
            const auto f = static_cast<Field>(i);
            if (i) line += ", ";
            line += '"';
            line += fieldName(f);
            line += "\": ";
            if (table.isEmpty(r, f))
                line += "null";
            else if (isIntegerField(f))
                line += QByteArray::number(*table.integer(r, f));
            else {
                std::string quoted;
                appendJsonString(quoted, table.text(r, f).toStdString());
                line += QByteArray::fromStdString(quoted);
            }
        }
        line += "}\n";
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    }
    std::fflush(stdout);
}

const char* kDescription =
    "convert: loads IN (text, XML or a recording journal) and saves it as OUT, the format from "
    "OUT's extension.\n"
    "show: prints FILE's rows as JSON lines.\n"
    "report: prints FILE's rows as the report, to the PDF file OUT.pdf.\n"
    "stats: each FILE's statistics per quantity, coupling and base unit, as a table or with\n"
    "--json as one JSON object per line and group.\n"
    "A load or save failure is said on standard error, with exit 1.";

void write(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

// Every file is loaded and reported in turn; one that fails to load is said and left out.
int printStatistics(const std::vector<std::string>& files, bool json) {
    auto app = makeApp(false);
    int rc = 0;
    std::vector<QStringList> rows;
    for (const std::string& name : files) {
        ReadingsTable table;
        const QString file = arg(name);
        FileResult load = loadAny(file, table);
        if (!load.ok) {
            sayMessage(load);
            say(file + QStringLiteral(": left out of the statistics"));
            rc = 1;
            continue;
        }
        const RecordingStatistics s = RecordingStatistics::ofRows(table, 0, table.size());
        if (s.ungrouped())
            say(file + QStringLiteral(": %1 row(s) in units beyond the first %2 left out")
                           .arg(s.ungrouped())
                           .arg(RecordingStatistics::kMaxGroups));
        for (const GroupStatistics& g : s.groups()) {
            if (json)
                write(QByteArray::fromStdString(StatisticsText::json(g, file) + '\n'));
            else
                rows.push_back(StatisticsText::cells(g, file));
        }
    }
    if (!json) write(StatisticsText::aligned(rows).toLocal8Bit());
    std::fflush(stdout);
    return rc;
}

int tableCommand(const std::vector<std::string>& options) {
    dmm::cli::CommandLine cl("table", kUsage, kDescription);
    cl.addFlag(QStringLiteral("json"), QStringLiteral("stats: JSON lines instead of a table"));
    if (const auto done = cl.parse(options)) return *done;
    const std::vector<std::string> args = cl.positional();
    const auto badArgs = [&cl] {
        return cl.usageError("convert, show, report or stats and its files");
    };
    if (args.empty()) return badArgs();
    const std::string& sub = args[0];
    if (sub == "convert") {
        if (args.size() != 3) return badArgs();
        auto app = makeApp(false);
        ReadingsTable table;
        FileResult load = loadAny(arg(args[1]), table);
        if (!load.ok) {
            sayMessage(load);
            return 1;
        }
        FileResult save = saveTableToFile(table, arg(args[2]));
        sayMessage(save);
        return save.ok ? 0 : 1;
    }
    if (sub == "stats") {
        if (args.size() < 2) return badArgs();
        return printStatistics({args.begin() + 1, args.end()}, cl.isSet(QStringLiteral("json")));
    }
    if (cl.isSet(QStringLiteral("json"))) return cl.usageError("--json is for stats");
    if (sub == "show") {
        if (args.size() != 2) return badArgs();
        auto app = makeApp(false);
        ReadingsTable table;
        FileResult load = loadAny(arg(args[1]), table);
        printRows(table);
        sayMessage(load);
        return load.ok ? 0 : 1;
    }
    if (sub == "report") {
        if (args.size() != 3) return badArgs();
        auto app = makeApp(true);
        ReadingsTable table;
        FileResult load = loadAny(arg(args[1]), table);
        if (!load.ok) {
            sayMessage(load);
            return 1;
        }
        if (table.empty()) {
            say(QStringLiteral("The table has no rows: no report pages, no file written."));
            return 0;
        }
        const QString out = arg(args[2]);
        // Written page by page into a temporary file that replaces OUT only when complete.
        const ReportPrint printed = printReportToPdfFile(table, table.size(), out);
        if (!printed.error.isEmpty() || printed.pages == 0) {
            say(printed.error.isEmpty() ? QStringLiteral("Could not print the report to ") + out
                                        : printed.error);
            return 1;
        }
        say(QStringLiteral("Printed %1 page(s) of %2 row(s) to %3")
                .arg(printed.pages)
                .arg(table.size())
                .arg(out));
        return 0;
    }
    return badArgs();
}

const dmm::cli::CommandRegistrar registrar("table", kUsage, tableCommand);

} // namespace
