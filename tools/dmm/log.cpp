// dmm log: a meter (the shipped model's family unless --family names another) logged without a
// window, through the window's own road: the serial driver, frame assembly, the family's decoder
// and the recording pipeline the window builds (the limit judge and the recorder with its Repeat
// rule, sampling interval, record numbers and time stamps). Every recorded row is appended to a
// data file in the text format the window loads ("Open old data files"), or, for a FILE ending in
// ".csv" (any case), as CSV (CsvFile.h: its byte-order mark and header once, then one line per
// row), under the same rules.
//
// Durability: each row goes to the operating system as it is recorded, whole or not at all (see
// LogFile), so a crash of this program loses nothing; the file is synced to disk at least once a
// second, so a power cut loses at most the last second. A failed write, sync or close ends the
// run with exit 1 and the number of rows the file holds on standard error.
//
// The port may go away (an adapter pulled out): the logger says so, tries to open it again every
// second, and records on with the numbering continued when it is back. At the record limit, or
// once the largest record number has been given, it says so and ends with exit 0.
//
// With --scpi a SCPI server (LogScpi.h) answers from the last decoded frame on the same event
// loop; it only reads, and never delays the port's reading.
//
// With --alarm, alarms hear every decoded reading (AlarmOutput.h); their actions run in the event
// loop beside the recording and never hold it.
#include "AlarmOutput.h"
#include "Command.h"
#include "CommandLine.h"

#include "ComDrv32.h"
#include "ComPortMap.h"
#include "CsvFile.h"
#include "DataFiles.h"
#include "FrameAssembly.h"
#include "LogFile.h"
#include "LogScpi.h"
#include "LogWeb.h"
#include "LogWriter.h"
#include "Meter.h"
#include "MeterFamily.h"
#include "MqttOutput.h"
#include "PortWatch.h"
#include "ReadingPipeline.h"
#include "RemoteSerialPort.h"
#include "StatisticsSink.h"
#include "StatisticsText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dmm::cli {

namespace {

constexpr const char* kUsage =
    "log --port COM1..COM4|PATH|rfc2217://HOST:PORT [--family {families}] [--out FILE]\n"
    "           [--interval S] [--no-repeat] [--limit N] [--high X] [--low Y]\n"
    "           [--mqtt URL [--mqtt-cafile FILE]] [--scpi [ADDR:]PORT] [--http [ADDR:]PORT]\n"
    "           [--start-at HH:MM[:SS] | --start-after DURATION | --start-when CROSSING]\n"
    "           [--pretrigger K] [--stop-after N|DURATION | --stop-at HH:MM[:SS]]\n"
    "           [--alarm COND ... [--alarm-beep] [--alarm-sound FILE] [--alarm-notify]\n"
    "           [--alarm-command CMD]]";

struct LogOptions {
    QString port;
    const MeterFamily* family = &defaultMeterFamily();
    std::string out;
    int intervalSeconds = 0; // 0: record every decoded frame
    bool repeat = true;
    int limit = kLimitlessRecordLimit;
    QString high = QString::fromLatin1(kDefaultHighLimit);
    QString low = QString::fromLatin1(kDefaultLowLimit);
    std::optional<scpi::ScpiAddress> scpi;
    TriggerSettings trigger;
    std::optional<scpi::ScpiAddress> http;
};

std::optional<int> positiveInt(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v <= 0) return std::nullopt;
    return v;
}

volatile std::sig_atomic_t gStop = 0;
int gStopPipe[2] = {-1, -1};

void onStopSignal(int) {
    gStop = 1;
    const char c = 'x';
    [[maybe_unused]] ssize_t n = ::write(gStopPipe[1], &c, 1);
}

constexpr const char* kDescription =
    "Records a meter without a window, through the same driver, decoder, limit judge and\n"
    "recorder rules as the window. Each row is appended to FILE as it is recorded (standard\n"
    "output without --out) and the file is synced to disk every second.";

void addOptions(CommandLine& cl) {
    const auto value = [&cl](const char* name, const char* valueName, const char* help) {
        cl.addValueOption(QLatin1String(name), QLatin1String(valueName), QLatin1String(help));
    };
    value("port", "COM1..COM4|PATH|rfc2217://HOST:PORT",
          "The port the meter is on (a URL: a port on another machine, served by ser2net).");
    value("family", "family",
          ("The protocol family: " + meterFamilyNames() + " (default " +
           std::string(defaultMeterFamily().name) + ").")
              .c_str());
    value("out", "FILE", "The data file rows are appended to.");
    value("interval", "S", "Record one row every S seconds (1 to 86400).");
    cl.addFlag(QStringLiteral("no-repeat"), QStringLiteral("Skip a row equal to the one before."));
    value("limit", "N", "Stop after N rows (1 to 10000000).");
    value("high", "X", "The high limit of the judge (default 6000).");
    value("low", "Y", "The low limit of the judge (default -6000).");
    MqttOutput::addOptions(cl);
    addScpiOption(cl);
    addHttpOption(cl);
    AlarmOutput::addOptions(cl);
    value("start-at", "HH:MM[:SS]", "Start recording at this time of day.");
    value("start-after", "DURATION", "Start recording after this long (90s, 10m, 2h).");
    value("start-when", "CROSSING",
          "Start recording when the value crosses a threshold: 'rises above 1 V' or "
          "'falls below 20 degC'.");
    value("pretrigger", "K", "Also record the K readings before the start (0 to 10000).");
    value("stop-after", "N|DURATION",
          "Stop after N readings from the start on, or after this long (90s, 10m, 2h).");
    value("stop-at", "HH:MM[:SS]", "Stop recording at this time of day.");
}

// The start and stop options; an error text, empty when they are sound.
std::string readTrigger(const CommandLine& cl, TriggerSettings& t) {
    using Reader = std::string (*)(std::string_view, TriggerSettings&);
    struct Option {
        const char* name;
        Reader read;
        bool start;
    };
    const Option options[] = {
        {"start-at", readStartAt, true},      {"start-after", readStartAfter, true},
        {"start-when", readStartWhen, true},  {"pretrigger", readPretrigger, false},
        {"stop-after", readStopAfter, false}, {"stop-at", readStopAt, false}};
    int starts = 0;
    int stops = 0;
    for (const Option& option : options) {
        if (!cl.isSet(QLatin1String(option.name))) continue;
        const std::string name = option.name;
        if (name != "pretrigger") ++(option.start ? starts : stops);
        if (starts > 1) return "give one of --start-at, --start-after and --start-when";
        if (stops > 1) return "give one of --stop-after and --stop-at";
        const std::string text = cl.value(QLatin1String(option.name));
        if (std::string err = option.read(text, t); !err.empty()) return "--" + name + ": " + err;
    }
    return {};
}

// Returns an error text, empty when the options are sound.
std::string readNumbers(const CommandLine& cl, LogOptions& o) {
    if (cl.isSet(QStringLiteral("interval"))) {
        const auto n = positiveInt(cl.value(QStringLiteral("interval")));
        if (!n || *n > 86400) return "--interval needs whole seconds, 1 to 86400";
        o.intervalSeconds = *n;
    }
    if (cl.isSet(QStringLiteral("limit"))) {
        const auto n = positiveInt(cl.value(QStringLiteral("limit")));
        if (!n || *n > kLimitlessRecordLimit) return "--limit needs a whole number, 1 to 10000000";
        o.limit = *n;
    }
    for (const char* name : {"high", "low"}) {
        if (!cl.isSet(QLatin1String(name))) continue;
        const QString text = QString::fromStdString(cl.value(QLatin1String(name)));
        if (!isNumber(text, QLatin1Char('.')))
            return std::string("--") + name + " needs a number, like 6000 or -1.5";
        (name[0] == 'h' ? o.high : o.low) = text;
    }
    return {};
}

std::string readOptions(const CommandLine& cl, LogOptions& o) {
    if (!cl.positional().empty()) return "unexpected argument '" + cl.positional()[0] + "'";
    o.port = QString::fromStdString(cl.value(QStringLiteral("port")));
    if (o.port.isEmpty()) return "--port is required";
    if (cl.isSet(QStringLiteral("family"))) {
        o.family = findMeterFamily(cl.value(QStringLiteral("family")));
        if (!o.family)
            return "unknown family '" + cl.value(QStringLiteral("family")) + "' (" +
                   meterFamilyNames() + ")";
    }
    if (cl.isSet(QStringLiteral("out"))) {
        o.out = cl.value(QStringLiteral("out"));
        if (o.out.empty()) return "--out needs a file name";
    }
    o.repeat = !cl.isSet(QStringLiteral("no-repeat"));
    if (std::string err = readScpiOption(cl, o.scpi); !err.empty()) return err;
    if (std::string err = readTrigger(cl, o.trigger); !err.empty()) return err;
    if (std::string err = readHttpOption(cl, o.http); !err.empty()) return err;
    return readNumbers(cl, o);
}

// COM1..COM4 by number; anything else names the device itself (or a remote port's URL).
std::optional<int> comNumber(const QString& port) {
    if (port.size() == 4 && port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        const int n = port.at(3).digitValue();
        if (n >= 1 && n <= 4) return n;
    }
    return std::nullopt;
}

void say(const std::string& text) {
    std::fprintf(stderr, "dmm log: %s\n", text.c_str());
}

std::string local(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

std::string rows(long long n) {
    return std::to_string(n) + (n == 1 ? " row" : " rows");
}

// What the file holds after the run (each row complete), or what went to standard output.
std::string rowsHeld(const LogFile& out) {
    if (!out.isFile()) return rows(out.rows()) + " written";
    if (!out.fate().empty()) return out.fate();
    return out.path() + " holds " + rows(out.rows()) + " (" + std::to_string(out.rowsAppended()) +
           " added by this run)";
}

// The limits are given in the C syntax ("-1.5"); the judge reads them, as the window's fields,
// with the system's decimal separator.
QString inLocaleSyntax(QString limit, QChar separator) {
    return limit.replace(QLatin1Char('.'), separator);
}

bool isCsv(const LogOptions& o) {
    return CsvFile::isCsvFileName(QString::fromLocal8Bit(o.out.c_str()));
}

// Ctrl-C, SIGTERM and SIGHUP (the terminal or ssh session closed) end the event loop with exit 0,
// through a pipe the handler writes to.
std::unique_ptr<QSocketNotifier> stopOnSignals() {
    if (::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(gStopPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated,
                     [] { QCoreApplication::exit(0); });
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    return notifier;
}

// The shipped model's meter, with the system's decimal separator as the window reads it at
// start-up; returns its first character, the one the judge reads numbers with.
QChar setUpMeter(Meter& meter) {
    applyModel(meter, shippedModel());
    const QString sep = QLocale::system().decimalPoint();
    meter.LocaleDecimalSeparator = sep.isEmpty() ? std::string(".") : sep.toStdString();
    return sep.isEmpty() ? QLatin1Char('.') : sep.at(0);
}

// The recording rules as the options set them: dmm log judges every family, records on the
// --interval timer only when one is given, and keeps no table (each row goes to the file).
FixedControls logControls(const LogOptions& o, QChar separator) {
    FixedControls c;
    c.high = inLocaleSyntax(o.high, separator);
    c.low = inLocaleSyntax(o.low, separator);
    c.repeatRows = o.repeat;
    c.sampled = o.intervalSeconds > 0;
    return c;
}

PipelineOptions logPipeline(const LogOptions& o) {
    PipelineOptions p;
    p.keepTable = false;
    p.judgeBeforeOffer = !o.family->judgesReadings;
    p.timerOnlySampling = true;
    return p;
}

// After the event loop: the file synced and closed, both checked, and what it holds said.
int endOfRun(int rc, bool failed, TCommPortDriver& port, LogFile& out) {
    port.ClosePort();
    if (failed && !out.isFile() && out.errorNumber() == EPIPE) {
        rc = 0; // a reader that went away (| head) is a normal end for a pipe
    } else if (failed) {
        say(out.error());
        rc = 1;
    }
    if (!out.close()) {
        say(out.error());
        rc = 1;
    }
    say(rowsHeld(out));
    return rc;
}

// The run's statistics as a table, when it recorded anything.
void sayStatistics(const RecordingStatistics& s, const LogFile& out) {
    std::vector<QStringList> rows;
    const QString file = out.isFile() ? QString::fromStdString(out.path()) : QStringLiteral("-");
    for (const GroupStatistics& g : s.groups()) rows.push_back(StatisticsText::cells(g, file));
    if (!rows.empty()) std::fputs(StatisticsText::aligned(rows).toLocal8Bit().constData(), stderr);
}

int openOutput(const LogOptions& o, LogFile& out) {
    if (o.out.empty()) {
        out.useStandardOutput();
        return 0;
    }
    const std::string error =
        out.open(o.out, isCsv(o) ? LogFile::Format::Csv : LogFile::Format::Text);
    if (error.empty()) return 0;
    say(error);
    return 1;
}

// The port's name in messages; a remote port's URL is its own name.
std::string portNameOf(const QString& port, const QString& device) {
    if (link::RemoteSerialPort::isRemoteAddress(port)) return local(port);
    return local(port) + " (" + (device.isEmpty() ? "no device" : local(device)) + ")";
}

// The start of the run arms the trigger; its states are said as they come (the stop by the
// writer, as the end of the recording).
void followTrigger(ReadingPipeline& pipeline, LogWriter& writer, const TriggerSettings& t) {
    pipeline.setTrigger(t);
    pipeline.onTriggerState([&pipeline, &writer](const QString& state) {
        const RecordingTrigger* trigger = pipeline.trigger();
        if (trigger && trigger->state() == RecordingTrigger::State::Stopped)
            writer.stoppedBy(local(state));
        else
            say(local(state));
    });
    pipeline.armTrigger();
}

void connectPort(TCommPortDriver& port, Meter& meter, const MeterFamily& family, int com) {
    port.SetComPort(static_cast<TCommPortDriver::TComPortNumber>(com - 1));
    port.SetLine(family.line);
    const auto serial = family.serial;
    port.OnReceiveData = [&meter, serial](TCommPortDriver*, const std::uint8_t* data,
                                          std::int32_t size) { serial(meter, data, size); };
}

std::vector<ReadingSink*> webSinks(LogWeb& web) {
    std::vector<ReadingSink*> sinks;
    if (web.spill) sinks.push_back(web.spill.get());
    if (web.page) sinks.push_back(&web.page->feed());
    return sinks;
}

// A device path is reached as COM1, which the port mapping lets the environment name.
int comOf(const QString& port) {
    if (auto n = comNumber(port)) return *n;
    qputenv("DMM_COM1", port.toLocal8Bit());
    return 1;
}

// From the open output file to the end of the run.
int logFromPort(const LogOptions& o, const CommandLine& cl, AlarmOutput& alarms, LogFile& out) {
    int argc = 1;
    char arg0[] = "dmm";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);
    MqttOutput mqtt;
    if (const std::string err = mqtt.start(cl); !err.empty()) {
        say(err);
        return 1;
    }
    const int com = comOf(o.port);
    const QString device = link::comPortDevice(com);

    Meter meter;
    const FixedControls controls = logControls(o, setUpMeter(meter));
    scpi::MeterWatch scpiWatch; // what the SCPI server answers from
    std::unique_ptr<scpi::ScpiServer> scpiServer;
    if (o.scpi && !(scpiServer = startScpiServer(*o.scpi, scpiWatch))) return 1;

    ReadingPipeline pipeline(meter, controls, logPipeline(o));
    pipeline.recorder().setRecordLimit(o.limit);
    if (out.lastRecordNo())
        pipeline.recorder().setNextRecordNo(static_cast<int>(*out.lastRecordNo() + 1));
    LogWriter writer(out, isCsv(o), o.limit, mqtt.sink());
    pipeline.addSink(&writer);
    if (o.scpi) pipeline.addSink(&scpiWatch);
    StatisticsSink statistics; // said at the end
    pipeline.addSink(&statistics);
    alarms.start(pipeline, mqtt.alarms());

    const QByteArray csvHead = QByteArray(CsvFile::kByteOrderMark) + CsvFile::kHeader;
    if (!out.start(isCsv(o) ? QByteArrayView(csvHead) : QByteArrayView(kReadingsTextHeader))) {
        say(out.error() + "; " + rowsHeld(out));
        return 1;
    }

    TCommPortDriver port;
    connectPort(port, meter, *o.family, com);
    LogWeb web; // --http: the page follows the pipeline and the port
    if (o.http && !(web = startWebPage(*o.http, port, out, isCsv(o))).page) return 1;
    for (ReadingSink* sink : webSinks(web)) pipeline.addSink(sink);
    const std::string portName = portNameOf(o.port, device);
    if (!port.OpenPort() || !PortWatch::settled(port)) {
        say("cannot open " + portName + ": " + local(port.LastError()));
        return 1;
    }
    out.keep(); // until here, a file this run created is removed again on the way out
    say("logging " + portName + (out.isFile() ? " to " + out.path() : std::string()));
    if (!port.LastError().isEmpty()) say(local(port.LastError())); // settings the device refused
    followTrigger(pipeline, writer, o.trigger);

    QTimer sampling;
    if (o.intervalSeconds > 0) {
        // While the port is away the last reading is stale: nothing is offered.
        QObject::connect(&sampling, &QTimer::timeout, [&pipeline, &port] {
            if (port.IsDevicePresent()) pipeline.offerSample();
        });
        sampling.start(o.intervalSeconds * 1000);
    }

    // Once a second: the file to disk, and the port looked after.
    PortWatch watch(port, portName);
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, [&] {
        watch.check();
        pipeline.triggerTick();
        if (!writer.failed() && !out.sync()) writer.fail();
    });
    second.start(1000);

    // Ctrl-C, SIGTERM and SIGHUP end the run between two rows.
    const auto stopNotifier = stopOnSignals();
    if (!stopNotifier) return 1;

    const int rc = app.exec(); // before `failed` is read: the run sets it
    for (ReadingSink* sink : webSinks(web)) pipeline.removeSink(sink);
    const int fileRc = endOfRun(rc, writer.failed(), port, out);
    sayStatistics(statistics.statistics(), out);
    alarms.finish();
    return mqtt.finish() ? fileRc : std::max(fileRc, 1);
}

int runLog(const std::vector<std::string>& args) {
    CommandLine cl("log", kUsage, kDescription);
    addOptions(cl);
    if (const auto done = cl.parse(args)) return *done;
    LogOptions o;
    if (const std::string err = readOptions(cl, o); !err.empty()) return cl.usageError(err);
    if (const std::string err = MqttOutput::check(cl); !err.empty()) return cl.usageError(err);
    AlarmOutput alarms;
    if (const std::string err = alarms.read(cl); !err.empty()) return cl.usageError(err);
    // Past a file size limit a write fails with EFBIG, like one on a full disk, instead of the
    // signal ending the program with a torn line.
    ::signal(SIGXFSZ, SIG_IGN);

    LogFile out;
    if (int rc = openOutput(o, out)) return rc;
    out.setNoticeHandler(say);
    if (out.lastRecordNo() && *out.lastRecordNo() == std::numeric_limits<std::int32_t>::max()) {
        say(out.path() + " ends at record number 2147483647, the largest; numbering cannot go " +
            "on, so nothing is recorded");
        return 0;
    }
    return logFromPort(o, cl, alarms, out);
}

const CommandRegistrar registrar("log", kUsage, runLog);

} // namespace

} // namespace dmm::cli
