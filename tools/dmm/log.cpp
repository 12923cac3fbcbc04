// dmm log: a family Q32 meter logged without a window, through the window's own road: the serial
// driver, frame assembly, the Q32 decoder, the limit judge and the recorder with its Repeat rule,
// sampling interval, record numbers and time stamps. Every recorded row is appended to a data
// file in the text format the window loads ("Open old data files").
//
// Durability: each row goes to the operating system with one write() as it is recorded, so a
// crash of this program loses nothing; the file is synced to disk at least once a second, so a
// power cut loses at most the last second.
#include "Command.h"

#include "ComDrv32.h"
#include "ComPortMap.h"
#include "DataFiles.h"
#include "FrameAssembly.h"
#include "HeadlessHooks.h"
#include "Meter.h"
#include "ReadingsTable.h"
#include "Recorder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dmm::cli {

namespace {

constexpr const char* kUsage =
    "log --port COM1..COM4|PATH [--out FILE] [--interval S] [--no-repeat] [--limit N] "
    "[--high X] [--low Y]";

struct LogOptions {
    QString port;
    std::string out;
    int intervalSeconds = 0; // 0: record every decoded frame
    bool repeat = true;
    int limit = kLimitlessRecordLimit;
    QString high = QString::fromLatin1(kDefaultHighLimit);
    QString low = QString::fromLatin1(kDefaultLowLimit);
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "dmm log: %s\nusage: dmm %s\n", message.c_str(), kUsage);
    return 2;
}

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

// Writes all of `data`, retrying after interruptions and partial writes.
bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// What an existing log file tells about continuing it.
struct ExistingLog {
    bool hasContent = false;     // the file holds at least one byte (so it has its header)
    bool endsWithLineEnd = true; // false after a torn last line (a power cut)
    std::optional<int> lastRecordNo;
};

// Reads the tail of the file: the record number of its last complete data line.
ExistingLog inspectExisting(int fd) {
    ExistingLog log;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size == 0) return log;
    log.hasContent = true;
    const off_t tail = std::min<off_t>(st.st_size, 64 * 1024);
    std::string buf(static_cast<std::size_t>(tail), '\0');
    if (::pread(fd, buf.data(), buf.size(), st.st_size - tail) != static_cast<ssize_t>(tail))
        return log;
    log.endsWithLineEnd = buf.back() == '\n' || buf.back() == '\r';

    // Complete lines only, newest first; the first line of a cut tail may be partial.
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t i = 0; i < buf.size(); ++i) {
        if (buf[i] != '\r' && buf[i] != '\n') continue;
        lines.push_back(buf.substr(from, i - from));
        from = i + 1;
    }
    const std::size_t first = tail < st.st_size ? 1 : 0;
    for (std::size_t i = lines.size(); i-- > first;) {
        const std::string& line = lines[i];
        const std::string token = line.substr(0, line.find_first_of("\t "));
        if (token.empty()) continue;
        if (token == "No") break; // the header: no rows yet
        char* endp = nullptr;
        const long no = std::strtol(token.c_str(), &endp, 10);
        if (endp && *endp == '\0' && no > INT32_MIN && no < INT32_MAX) {
            log.lastRecordNo = static_cast<int>(no);
            break;
        }
    }
    return log;
}

volatile std::sig_atomic_t gStop = 0;
int gStopPipe[2] = {-1, -1};

void onStopSignal(int) {
    gStop = 1;
    const char c = 'x';
    [[maybe_unused]] ssize_t n = ::write(gStopPipe[1], &c, 1);
}

int parse(const std::vector<std::string>& args, LogOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--no-repeat") {
            o.repeat = false;
        } else if (a == "--port") {
            if (!value(v)) return usageError("--port needs a value");
            o.port = QString::fromStdString(v);
        } else if (a == "--out") {
            if (!value(v) || v.empty()) return usageError("--out needs a file name");
            o.out = v;
        } else if (a == "--interval") {
            auto n = value(v) ? positiveInt(v) : std::nullopt;
            if (!n || *n > 86400) return usageError("--interval needs whole seconds, 1 to 86400");
            o.intervalSeconds = *n;
        } else if (a == "--limit") {
            auto n = value(v) ? positiveInt(v) : std::nullopt;
            if (!n || *n > kLimitlessRecordLimit)
                return usageError("--limit needs a whole number, 1 to 10000000");
            o.limit = *n;
        } else if (a == "--high" || a == "--low") {
            if (!value(v)) return usageError(a + " needs a number");
            const QString text = QString::fromStdString(v);
            if (!isNumber(text, QLatin1Char('.')))
                return usageError(a + " needs a number, like 6000 or -1.5");
            (a == "--high" ? o.high : o.low) = text;
        } else {
            return usageError("unknown option '" + a + "'");
        }
    }
    if (o.port.isEmpty()) return usageError("--port is required");
    return 0;
}

// COM1..COM4 by number; anything else names the device itself.
std::optional<int> comNumber(const QString& port) {
    if (port.size() == 4 && port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        const int n = port.at(3).digitValue();
        if (n >= 1 && n <= 4) return n;
    }
    return std::nullopt;
}

int runLog(const std::vector<std::string>& args) {
    LogOptions o;
    if (int rc = parse(args, o)) return rc;

    int fd = STDOUT_FILENO;
    ExistingLog existing;
    if (!o.out.empty()) {
        fd = ::open(o.out.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0) {
            std::fprintf(stderr, "dmm log: cannot open %s: %s\n", o.out.c_str(),
                         std::strerror(errno));
            return 1;
        }
        existing = inspectExisting(fd);
    }

    int argc = 1;
    char arg0[] = "dmm";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);

    // A device path is reached as COM1, which the port mapping lets the environment name.
    int com = 1;
    if (auto n = comNumber(o.port))
        com = *n;
    else
        qputenv("DMM_COM1", o.port.toLocal8Bit());
    const QString device = link::comPortDevice(com);

    Meter meter;
    meter.applyCountProfile("2");
    meter.lcd.setDigit(Ind::LcdD0, "1");
    const QString sep = QLocale::system().decimalPoint();
    meter.LocaleDecimalSeparator = sep.isEmpty() ? std::string(".") : sep.toStdString();

    ReadingsTable table;
    Recorder recorder(table);
    recorder.setRecordLimit(o.limit);
    if (existing.lastRecordNo) recorder.setNextRecordNo(*existing.lastRecordNo + 1);

    HeadlessHooks hooks(meter, recorder, {o.high, o.low, o.repeat, o.intervalSeconds > 0});
    meter.setHooks(&hooks);
    // Each row goes out as it is recorded; the file keeps the rows, so the table need only hold
    // the one being written.
    QByteArray line;
    bool dirty = false;
    int writeError = 0;
    hooks.onAppended = [&](int row) {
        line.clear();
        appendReadingsTextLine(line, table, row);
        if (!writeAll(fd, line.constData(), static_cast<std::size_t>(line.size()))) {
            writeError = errno;
            QCoreApplication::exit(1);
            return;
        }
        dirty = true;
        if (table.size() >= 1024) table.clear();
    };

    QByteArray head;
    if (!existing.endsWithLineEnd) head.append("\r\n");
    if (!existing.hasContent) head.append(kReadingsTextHeader);
    if (!head.isEmpty() && !writeAll(fd, head.constData(), static_cast<std::size_t>(head.size()))) {
        std::fprintf(stderr, "dmm log: cannot write: %s\n", std::strerror(errno));
        return 1;
    }

    TCommPortDriver port;
    port.SetComPort(static_cast<TCommPortDriver::TComPortNumber>(com - 1));
    port.SetComPortSpeed(TCommPortDriver::br2400);
    port.OnReceiveData = [&meter](TCommPortDriver*, const std::uint8_t* data, std::int32_t size) {
        HQ32RData(meter, data, size);
    };
    if (!port.OpenPort()) {
        std::fprintf(stderr, "dmm log: cannot open %s (%s)\n", o.port.toLocal8Bit().constData(),
                     device.isEmpty() ? "no device" : device.toLocal8Bit().constData());
        return 1;
    }
    std::fprintf(stderr, "dmm log: logging %s (%s)%s%s\n", o.port.toLocal8Bit().constData(),
                 device.toLocal8Bit().constData(), o.out.empty() ? "" : " to ", o.out.c_str());

    QTimer sampling;
    if (o.intervalSeconds > 0) {
        QObject::connect(&sampling, &QTimer::timeout, [&hooks] { hooks.INDataToTable(); });
        sampling.start(o.intervalSeconds * 1000);
    }

    QTimer sync;
    QObject::connect(&sync, &QTimer::timeout, [&dirty, fd] {
        if (dirty) ::fdatasync(fd);
        dirty = false;
    });
    sync.start(1000);

    // Ctrl-C and SIGTERM end the run between two rows.
    if (::pipe2(gStopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
    QSocketNotifier stopNotifier(gStopPipe[0], QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app,
                     [] { QCoreApplication::exit(0); });
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    int rc = app.exec();
    port.ClosePort();
    if (writeError != 0) {
        // A reader that went away (| head) is a normal end for a pipe.
        if (writeError == EPIPE && o.out.empty())
            rc = 0;
        else
            std::fprintf(stderr, "dmm log: cannot write: %s\n", std::strerror(writeError));
    }
    if (!o.out.empty()) {
        ::fdatasync(fd);
        ::close(fd);
    }
    std::fprintf(stderr, "dmm log: %d rows recorded\n", recorder.RecordedCount());
    return rc;
}

const CommandRegistrar registrar("log", kUsage, runLog);

} // namespace

} // namespace dmm::cli
