// The full road under load: `dmm simulate` sends frames as fast as a pseudo-terminal carries
// them, and every one must arrive in the readings table, in order, with the reading it was sent
// with. Two roads:
//   road: pseudo-terminal -> TCommPortDriver -> frame assembly -> Q32 decoder -> judge ->
//         recorder (record limit "limitless") -> readings table, in this process;
//   log:  the same through `dmm log` into a data file, loaded back and compared row by row.
// Run by scripts/soak.sh (under AddressSanitizer, whose leak check runs at exit).
#include "ComDrv32.h"
#include "DataFiles.h"
#include "FrameAssembly.h"
#include "Meter.h"
#include "ReadingPipeline.h"
#include "ReadingsTable.h"
#include "Simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct Options {
    QString dmm;
    QString workdir = QStringLiteral(".");
    QString mode = QStringLiteral("road");
    long frames = 50000;
    QString script = QStringLiteral("wander");
    unsigned seed = 1;
};

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "soak: FAILED: %s\n", why.c_str());
    std::exit(1);
}

long statusKb(const char* key, const std::string& pid = "self") {
    std::ifstream in("/proc/" + pid + "/status");
    std::string word;
    while (in >> word)
        if (word == key) {
            long kb = 0;
            in >> kb;
            return kb;
        }
    return 0;
}

long fileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    long n = 0;
    char buf[1 << 16];
    qint64 got;
    while ((got = f.read(buf, sizeof buf)) > 0)
        for (qint64 i = 0; i < got; ++i)
            if (buf[i] == '\n') ++n;
    return n;
}

// Starts the simulator on a pseudo-terminal and returns its device path.
QString startSimulator(QProcess& sim, const Options& o) {
    sim.setProgram(o.dmm);
    sim.setArguments({"simulate", "--pty", "--rate", "0", "--count", QString::number(o.frames),
                      "--script", o.script, "--seed", QString::number(o.seed), "--log",
                      o.workdir + "/sim.jsonl"});
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start();
    if (!sim.waitForStarted(10000)) fail("dmm simulate did not start");
    while (!sim.canReadLine())
        if (!sim.waitForReadyRead(10000)) fail("dmm simulate printed no device path");
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

void stopProcess(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// A backstop against a road that hangs, not a pace to keep: under the sanitizers a pseudo-terminal
// carries some 3,000 frames a second, and a loaded machine fewer, so allow 2 ms a frame.
qint64 timeLimitMs(const Options& o) {
    return 60000 + 2 * static_cast<qint64>(o.frames);
}

// Runs the event loop until `progress()` stops growing for `quietMs` after the simulator has
// logged every frame, or until `limitMs`.
template <class Progress>
void runUntilQuiet(const Options& o, Progress progress, int quietMs, qint64 limitMs) {
    QElapsedTimer total, quiet;
    total.start();
    quiet.start();
    long last = -1;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const long now = progress();
        if (now != last) {
            last = now;
            quiet.restart();
        }
        const bool allSent = fileLines(o.workdir + "/sim.jsonl") >= o.frames;
        if ((allSent && quiet.elapsed() > quietMs) || total.elapsed() > limitMs)
            QCoreApplication::quit();
    });
    tick.start(100);
    QCoreApplication::exec();
}

// The frames the simulator sent, made again from the same script and seed; checked against the
// simulator's own log line by line, so the comparison below is with what was really sent.
std::vector<dmm::sim::SimFrame> sentFrames(const Options& o) {
    dmm::sim::SimOptions so;
    so.family = dmm::Family::Q32;
    so.script = o.script.toStdString();
    so.seed = o.seed;
    dmm::sim::Simulator sim(so);
    std::vector<dmm::sim::SimFrame> frames;
    frames.reserve(static_cast<std::size_t>(o.frames));
    std::ifstream log((o.workdir + "/sim.jsonl").toStdString());
    std::string line;
    for (long i = 0; i < o.frames; ++i) {
        frames.push_back(sim.next());
        frames.back().bytes.clear();
        frames.back().bytes.shrink_to_fit();
        if (!std::getline(log, line))
            fail("the simulator's log ends at frame " + std::to_string(i));
    }
    // The log was written from the same frames; spot-check that the regeneration matches it.
    dmm::sim::Simulator again(so);
    std::ifstream check((o.workdir + "/sim.jsonl").toStdString());
    for (int i = 0; i < 1000 && i < o.frames && std::getline(check, line); ++i)
        if (line != dmm::sim::logLine(again.next()))
            fail("the simulator's log differs from its script at frame " + std::to_string(i + 1));
    return frames;
}

bool sameReading(const dmm::ReadingsTable& t, int row, const dmm::sim::ExpectedReading& e,
                 bool withCount) {
    using dmm::Field;
    if (t.text(row, Field::Value).toStdString() != e.value) return false;
    if (t.text(row, Field::Unit).toStdString() != e.unit) return false;
    if (t.text(row, Field::DcAc).toStdString() != e.dcac) return false;
    if (withCount && t.integer(row, Field::Nval) != static_cast<std::int32_t>(e.numeric))
        return false;
    const QString judge = t.text(row, Field::Auto);
    return judge == QLatin1String("pass") || judge == QLatin1String("Fail");
}

// Every row must be the next frame sent, from the first decoded one to the last frame sent.
void compare(const Options& o, const dmm::ReadingsTable& table, bool withCount) {
    const auto frames = sentFrames(o);
    if (table.size() == 0) fail("no reading arrived");
    // The frames sent before the port opened are purged by the open, and the first frame
    // after it arrives without its start: find where the table begins.
    long first = -1;
    for (long k = 0; k < static_cast<long>(frames.size()) && first < 0; ++k) {
        bool match = true;
        for (int i = 0; i < 20 && i < table.size() && match; ++i)
            match =
                k + i < static_cast<long>(frames.size()) &&
                sameReading(table, i, frames[static_cast<std::size_t>(k + i)].expected, withCount);
        if (match) first = k;
    }
    if (first < 0) fail("the first rows match no run of sent frames");
    const long expectedRows = o.frames - first;
    for (int i = 0; i < table.size(); ++i) {
        const auto& f = frames[static_cast<std::size_t>(first + i)];
        if (first + i >= o.frames || !sameReading(table, i, f.expected, withCount))
            fail("row " + std::to_string(i + 1) + " is not frame " + std::to_string(first + i + 1) +
                 " (" + f.expected.value + " " + f.expected.unit + ")");
    }
    std::printf("soak: frames sent %ld, before the open %ld, recorded %d, lost after the "
                "first %ld\n",
                o.frames, first, table.size(), expectedRows - table.size());
    if (table.size() != expectedRows) fail("frames were lost after the first");
}

void report(const char* road, long frames, double seconds, long rssBeforeKb) {
    const long peak = statusKb("VmHWM:");
    const long after = statusKb("VmRSS:");
    std::printf("soak: %s: %ld frames in %.1f s (%.0f frames/s), peak RSS %.1f MB, RSS before "
                "%.1f MB, after %.1f MB\n",
                road, frames, seconds, frames / seconds, peak / 1024.0, rssBeforeKb / 1024.0,
                after / 1024.0);
}

int road(const Options& o) {
    QProcess sim;
    const QString pty = startSimulator(sim, o);
    qputenv("DMM_COM1", pty.toLocal8Bit());

    dmm::Meter meter;
    dmm::applyModel(meter, dmm::shippedModel());
    meter.LocaleDecimalSeparator = ".";
    const dmm::FixedControls controls;
    dmm::PipelineOptions options;
    options.timerOnlySampling = true;
    dmm::ReadingPipeline pipeline(meter, controls, options);
    pipeline.recorder().setRecordLimit(dmm::kLimitlessRecordLimit);
    const dmm::ReadingsTable& table = pipeline.table();

    const long rssBefore = statusKb("VmRSS:");
    TCommPortDriver port;
    port.SetComPort(TCommPortDriver::pnCOM1);
    port.SetLine(dmm::defaultMeterFamily().line);
    port.OnReceiveData = [&meter](TCommPortDriver*, const std::uint8_t* data, std::int32_t n) {
        dmm::HQ32RData(meter, data, n);
    };
    QElapsedTimer clock;
    clock.start();
    if (!port.OpenPort()) fail("cannot open the simulator's pseudo-terminal " + pty.toStdString());
    runUntilQuiet(
        o, [&] { return static_cast<long>(table.size()); }, 2000, timeLimitMs(o));
    const double seconds = clock.elapsed() / 1000.0;
    port.ClosePort();
    stopProcess(sim);

    report("road", table.size(), seconds, rssBefore);
    const long growthKb = statusKb("VmRSS:") - rssBefore;
    std::printf("soak: memory growth %.1f MB for %d rows (%.0f bytes per row)\n", growthKb / 1024.0,
                table.size(), table.size() ? growthKb * 1024.0 / table.size() : 0.0);
    compare(o, table, true);
    return 0;
}

int logRoad(const Options& o) {
    QProcess sim;
    const QString pty = startSimulator(sim, o);
    const QString out = o.workdir + "/log.txt";
    QFile::remove(out);

    QProcess logger;
    logger.setProgram(o.dmm);
    logger.setArguments({"log", "--port", pty, "--out", out});
    logger.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    logger.start();
    if (!logger.waitForStarted(10000)) fail("dmm log did not start");
    runUntilQuiet(
        o, [&] { return fileLines(out); }, 3000, timeLimitMs(o));
    const double seconds = clock.elapsed() / 1000.0;
    const std::string pid = std::to_string(logger.processId());
    const long peakKb = statusKb("VmHWM:", pid), rssKb = statusKb("VmRSS:", pid);
    stopProcess(logger); // SIGTERM: the logger ends cleanly with the file complete
    if (logger.exitStatus() != QProcess::NormalExit || logger.exitCode() != 0)
        fail("dmm log did not end cleanly (exit code " + std::to_string(logger.exitCode()) + ")");
    stopProcess(sim);

    dmm::ReadingsTable table;
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly)) fail("dmm log wrote no file");
    const QString error = dmm::LoadReadingsFile(f, table, false);
    if (!error.isEmpty()) fail("the log file does not load: " + error.toStdString());
    for (int i = 0; i < table.size(); ++i)
        if (table.integer(i, dmm::Field::No) != i + 1)
            fail("record numbers are not 1, 2, 3, ... at row " + std::to_string(i + 1));
    std::printf("soak: log: %d rows in %.1f s (%.0f rows/s); dmm log's peak RSS %.1f MB, RSS at "
                "the end %.1f MB\n",
                table.size(), seconds, table.size() / seconds, peakKb / 1024.0, rssKb / 1024.0);
    compare(o, table, false);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options o;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& a = args[i];
        const QString& v = args[i + 1];
        if (a == "--dmm")
            o.dmm = v;
        else if (a == "--workdir")
            o.workdir = v;
        else if (a == "--mode")
            o.mode = v;
        else if (a == "--frames")
            o.frames = v.toLong();
        else if (a == "--script")
            o.script = v;
        else if (a == "--seed")
            o.seed = v.toUInt();
        else
            fail("unknown option " + a.toStdString());
    }
    if (o.dmm.isEmpty() || o.frames < 100)
        fail("usage: soak_road --dmm PATH [--frames N>=100] [--mode road|log] [--workdir DIR]");
    return o.mode == "log" ? logRoad(o) : road(o);
}
