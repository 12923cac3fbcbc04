// dmm simulate: a meter on the line with no meter at hand. Writes a family's frames to standard
// output, a file or a pseudo-terminal that the program opens as its COM port, paced like a meter,
// optionally damaged, with a log of what each frame must decode to.
#include "Command.h"
#include "CommandLine.h"

#include "HidReports.h"
#include "MeterFamily.h"
#include "Simulator.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace dmm;
using namespace dmm::sim;
using dmm::cli::CommandLine;

const char kSynopsis[] =
    "simulate [--family {families}] [--pty | --out FILE] [--rate N] [--count N] [--seed S]\n"
    "           [--script tour|wander|switch-on] [--fault drop|corrupt|stray:P ...] [--log FILE]\n"
    "           [--hid-reports]";
const char kDescription[] =
    "A simulated meter. Frames go to standard output, FILE, or a new pseudo-terminal whose device\n"
    "path is the first line printed (point DMM_COM1 at it); the terminal stays open until\n"
    "SIGINT, SIGTERM or SIGHUP, also after --count frames, and any of them ends it within a\n"
    "second whether or not anyone reads. --rate: frames per second (default 2.5, as a meter\n"
    "sends; 0: as fast as the output takes them). --fault: a lost, changed or added byte with\n"
    "probability P per frame. --log: one JSON line per frame sent (\"bytes\" of the first Q31/Q32\n"
    "frame begin with the 0x0A that starts the stream). --hid-reports: the USB adapter's input\n"
    "reports, one line each (hex: report ID, 8 data bytes), as dmm decode --hid reads them.";
const std::string kUsage =
    std::string(kSynopsis) + "\n      A simulated meter; dmm simulate --help for more.";

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) {
    g_stop = 1;
}

struct Options {
    SimOptions sim;
    bool pty = false;
    std::string out;
    double rate = 2.5;
    std::optional<unsigned long long> count;
    std::string log;
    bool hidReports = false;
};

// Everything written in full; false when stopped or the output is gone. A stop ends it within
// 100 ms whatever the reader does: the output is waited for with poll, never in a write (a
// terminal nobody reads fills up, and a write that had written part of a frame returns short
// after a signal rather than failing, so a blocking write after it would wait for ever), and
// each write takes no more than a pipe takes at once once poll says it has room.
bool writeAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0 && !g_stop) {
        pollfd ready{fd, POLLOUT, 0};
        const int r = ::poll(&ready, 1, 100);
        if (r < 0 && errno != EINTR) return false;
        if (r <= 0) continue; // timed out or a signal: look at the stop again
        const ssize_t w = ::write(fd, p, std::min<std::size_t>(n, PIPE_BUF));
        if (w < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return n == 0;
}

void addOptions(CommandLine& cl) {
    const auto value = [&cl](const char* name, const char* valueName, const char* help) {
        cl.addValueOption(QLatin1String(name), QLatin1String(valueName), QLatin1String(help));
    };
    value(
        "family", "family",
        ("The protocol family (default " + std::string(defaultMeterFamily().name) + ").").c_str());
    cl.addFlag(QStringLiteral("pty"), QStringLiteral("Write to a new pseudo-terminal."));
    value("out", "FILE", "Write to FILE.");
    value("rate", "N", "Frames per second (default 2.5; 0: as fast as taken).");
    value("count", "N", "Stop after N frames.");
    value("seed", "S", "The seed of the script and the faults.");
    value("script", "name", "tour, wander or switch-on (default wander).");
    value("fault", "KIND:P", "drop, corrupt or stray with probability P; repeatable.");
    value("log", "FILE", "One JSON line per frame sent.");
    cl.addFlag(QStringLiteral("hid-reports"), QStringLiteral("Write USB adapter input reports."));
}

bool wholeNumber(const std::string& v, unsigned long long& n) {
    char* end = nullptr;
    errno = 0;
    n = std::strtoull(v.c_str(), &end, 10);
    return !v.empty() && !*end && v[0] != '-' && !errno;
}

bool readNumbers(const CommandLine& cl, Options& o, std::string& error) {
    if (cl.isSet(QStringLiteral("rate"))) {
        // Read in the C syntax whatever the locale says ("2.5" is not 2 under German).
        const std::string v = cl.value(QStringLiteral("rate"));
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), o.rate);
        if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !(o.rate >= 0) ||
            o.rate > 1e6) {
            error = "--rate needs a number of frames per second, 0 or more";
            return false;
        }
    }
    unsigned long long n = 0;
    if (cl.isSet(QStringLiteral("count"))) {
        if (!wholeNumber(cl.value(QStringLiteral("count")), n)) {
            error = "--count needs a whole number";
            return false;
        }
        o.count = n;
    }
    if (cl.isSet(QStringLiteral("seed"))) {
        if (!wholeNumber(cl.value(QStringLiteral("seed")), n) || n > 0xFFFFFFFFull) {
            error = "--seed needs a whole number up to 4294967295";
            return false;
        }
        o.sim.seed = static_cast<std::uint32_t>(n);
    }
    return true;
}

bool readOptions(const CommandLine& cl, Options& o, std::string& error) {
    if (!cl.positional().empty()) {
        error = "unexpected argument '" + cl.positional()[0] + "'";
        return false;
    }
    if (cl.isSet(QStringLiteral("family"))) {
        const MeterFamily* family = findMeterFamily(cl.value(QStringLiteral("family")));
        if (!family) {
            error = "unknown family '" + cl.value(QStringLiteral("family")) + "' (" +
                    meterFamilyNames() + ")";
            return false;
        }
        o.sim.family = family->id;
    }
    o.pty = cl.isSet(QStringLiteral("pty"));
    o.hidReports = cl.isSet(QStringLiteral("hid-reports"));
    o.out = cl.value(QStringLiteral("out"));
    o.log = cl.value(QStringLiteral("log"));
    if (cl.isSet(QStringLiteral("script"))) {
        o.sim.script = cl.value(QStringLiteral("script"));
        if (!makeScript(o.sim.script, o.sim.family)) {
            error = "unknown script '" + o.sim.script + "' (tour, wander or switch-on)";
            return false;
        }
    }
    if (!readNumbers(cl, o, error)) return false;
    for (const std::string& v : cl.values(QStringLiteral("fault"))) {
        const auto f = parseFault(v);
        if (!f) {
            error = "--fault needs KIND:P with KIND drop, corrupt or stray and P from 0 to 1";
            return false;
        }
        o.sim.faults.push_back(*f);
    }
    if (o.pty && !o.out.empty()) {
        error = "--pty and --out exclude each other";
        return false;
    }
    if (o.pty && o.hidReports) {
        error = "--hid-reports writes report lines, which a serial port does not carry";
        return false;
    }
    if (o.hidReports && !meterFamily(o.sim.family).report) {
        error = "the USB adapter has no " + std::string(meterFamily(o.sim.family).name) + " road";
        return false;
    }
    o.sim.leadingLineFeed = !o.hidReports;
    return true;
}

// The termios speed of a family's line; the pseudo-terminal ignores it, but a program that asks
// the terminal sees the meter's line.
speed_t termiosSpeed(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    default:
        return B2400;
    }
}

// A pseudo-terminal in raw mode (0x0D and every other byte pass untouched), at the family's
// line speed. The slave stays open here too, so that its path stays valid and bytes queue until
// the program opens it.
bool openPty(int& master, int& slave, std::string& path, const SerialLine& line) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return false;
    const char* name = ::ptsname(master);
    if (!name) return false;
    path = name;
    slave = ::open(name, O_RDWR | O_NOCTTY);
    if (slave < 0) return false;
    termios tio{};
    if (::tcgetattr(slave, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, termiosSpeed(line.baud));
    // Non-blocking, so that a write never waits for a reader (writeAll waits in poll).
    return ::tcsetattr(slave, TCSANOW, &tio) == 0 &&
           ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) == 0;
}

void sleepUntil(timespec& deadline, double periodSeconds) {
    const long long ns = static_cast<long long>(periodSeconds * 1e9);
    deadline.tv_sec += static_cast<time_t>(ns / 1000000000LL);
    deadline.tv_nsec += static_cast<long>(ns % 1000000000LL);
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_nsec -= 1000000000L;
        ++deadline.tv_sec;
    }
    // In slices of at most 100 ms: a signal that comes just before a sleep would not cut it
    // short, and a slow rate sleeps for minutes.
    for (;;) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long long left =
            (deadline.tv_sec - now.tv_sec) * 1000000000LL + (deadline.tv_nsec - now.tv_nsec);
        if (g_stop || left <= 0) return;
        const timespec slice{0, static_cast<long>(std::min(left, 100000000LL))};
        ::nanosleep(&slice, nullptr);
    }
}

std::string reportText(const InputReport& r) {
    static const char hex[] = "0123456789ABCDEF";
    std::string line;
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (i) line += ' ';
        line += hex[r[i] >> 4];
        line += hex[r[i] & 15];
    }
    line += '\n';
    return line;
}

int runSimulate(const std::vector<std::string>& args) {
    CommandLine cl("simulate", kSynopsis, kDescription);
    addOptions(cl);
    if (const auto done = cl.parse(args)) return *done;
    Options o;
    std::string error;
    if (!readOptions(cl, o, error)) return cl.usageError(error);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: a poll or a sleep returns, and the stop is seen
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int out = STDOUT_FILENO;
    int master = -1, slave = -1;
    if (o.pty) {
        std::string path;
        if (!openPty(master, slave, path, meterFamily(o.sim.family).line)) {
            std::fprintf(stderr, "dmm simulate: cannot create a pseudo-terminal: %s\n",
                         std::strerror(errno));
            return 1;
        }
        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
        out = master;
    } else if (!o.out.empty()) {
        out = ::open(o.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (out < 0) {
            std::fprintf(stderr, "dmm simulate: cannot write %s: %s\n", o.out.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }
    FILE* log = nullptr;
    if (!o.log.empty()) {
        log = std::fopen(o.log.c_str(), "w");
        if (!log) {
            std::fprintf(stderr, "dmm simulate: cannot write %s: %s\n", o.log.c_str(),
                         std::strerror(errno));
            return 2;
        }
    }

    Simulator sim(o.sim);
    timespec deadline{};
    ::clock_gettime(CLOCK_MONOTONIC, &deadline);
    int status = 0;
    for (unsigned long long sent = 0; !g_stop && (!o.count || sent < *o.count); ++sent) {
        const SimFrame f = sim.next();
        bool ok;
        if (o.hidReports) {
            std::string text;
            for (const InputReport& r : encodeReports(f.bytes.data(), f.bytes.size()))
                text += reportText(r);
            ok = writeAll(out, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
        } else {
            ok = writeAll(out, f.bytes.data(), f.bytes.size());
        }
        if (!ok) {
            if (!g_stop && errno != EPIPE) {
                std::fprintf(stderr, "dmm simulate: write failed: %s\n", std::strerror(errno));
                status = 1;
            }
            break;
        }
        if (log) {
            std::fprintf(log, "%s\n", logLine(f).c_str());
            std::fflush(log);
        }
        const bool last = o.count && sent + 1 >= *o.count;
        if (o.rate > 0 && !last) sleepUntil(deadline, 1.0 / o.rate);
    }
    if (log) std::fclose(log);

    if (o.pty) {
        // The terminal stays until the simulator is stopped: the program may still be reading.
        sigset_t block, old;
        sigemptyset(&block);
        sigaddset(&block, SIGINT);
        sigaddset(&block, SIGTERM);
        sigaddset(&block, SIGHUP);
        ::sigprocmask(SIG_BLOCK, &block, &old);
        while (!g_stop) ::sigsuspend(&old);
        ::sigprocmask(SIG_SETMASK, &old, nullptr);
        ::close(slave);
        ::close(master);
    } else if (out != STDOUT_FILENO) {
        ::close(out);
    }
    return status;
}

const dmm::cli::CommandRegistrar registrar("simulate", kUsage.c_str(), runSimulate);

} // namespace
