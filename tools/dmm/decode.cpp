// dmm decode: the frame decoders without a window. Raw serial bytes (or, with --hid, one HID
// input report per line) go through the family's handler exactly as the program's links feed
// it; every decoded frame is printed as one JSON object per line.
#include "Command.h"
#include "CommandLine.h"

#include "Decoders.h"
#include "FrameAssembly.h"
#include "Indicators.h"
#include "JsonText.h"
#include "Meter.h"
#include "MeterFamily.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace dmm::cli {

namespace {

constexpr const char* kUsage =
    "decode --family {families} [--hid] [--separator S] [--count-profile 2|4] "
    "[--ifqv14] [--ifqv16] [--ifqv31=0|1] [FILE]";

constexpr std::size_t kChunkBytes = 4096;
// A report has at most 65535 data bytes; three characters each, with the report ID, fit well
// within this. A longer line is not a report, and is refused rather than held in memory.
constexpr std::size_t kMaxLineBytes = 1 << 20;
constexpr std::size_t kMaxReportDataBytes = 65535;

struct Options {
    const MeterFamily* family = nullptr;
    bool hid = false;
    std::string separator = ".";
    std::optional<std::string> countProfile;
    bool ifqv14 = false;
    bool ifqv16 = false;
    bool ifqv31 = true;
    std::optional<std::string> file;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "dmm decode: %s\n", message.c_str());
    return 2;
}

std::optional<bool> parseSwitch(std::string_view value) {
    if (value == "1") return true;
    if (value == "0") return false;
    return std::nullopt;
}

constexpr const char* kDescription =
    "Decodes a recorded stream of meter bytes (or, with --hid, the USB adapter's input reports,\n"
    "one line of hex bytes each) into one JSON line per decoded frame.";

void addOptions(CommandLine& cl) {
    cl.addValueOption(
        QStringLiteral("family"), QStringLiteral("family"),
        QStringLiteral("The protocol family: %1.").arg(QString::fromStdString(meterFamilyNames())));
    cl.addFlag(QStringLiteral("hid"), QStringLiteral("Read input report lines."));
    cl.addValueOption(QStringLiteral("separator"), QStringLiteral("S"),
                      QStringLiteral("The decimal separator (default \".\")."));
    cl.addValueOption(QStringLiteral("count-profile"), QStringLiteral("2|4"),
                      QStringLiteral("The count profile (default: the variant's)."));
    cl.addFlag(QStringLiteral("ifqv14"), QStringLiteral("Set the variant switch IFQV14."));
    cl.addFlag(QStringLiteral("ifqv16"), QStringLiteral("Set the variant switch IFQV16."));
    cl.addValueOption(QStringLiteral("ifqv31"), QStringLiteral("0|1"),
                      QStringLiteral("The shipped variant switch (default 1)."));
}

// Returns an error text, empty on success.
std::string readOptions(const CommandLine& cl, Options& opt) {
    if (cl.isSet(QStringLiteral("family"))) {
        opt.family = findMeterFamily(cl.value(QStringLiteral("family")));
        if (!opt.family)
            return "unknown family '" + cl.value(QStringLiteral("family")) + "' (" +
                   meterFamilyNames() + ")";
    }
    opt.hid = cl.isSet(QStringLiteral("hid"));
    if (cl.isSet(QStringLiteral("separator")))
        opt.separator = cl.value(QStringLiteral("separator"));
    if (cl.isSet(QStringLiteral("count-profile"))) {
        opt.countProfile = cl.value(QStringLiteral("count-profile"));
        if (*opt.countProfile != "2" && *opt.countProfile != "4")
            return "--count-profile needs 2 or 4";
    }
    opt.ifqv14 = cl.isSet(QStringLiteral("ifqv14"));
    opt.ifqv16 = cl.isSet(QStringLiteral("ifqv16"));
    if (cl.isSet(QStringLiteral("ifqv31"))) {
        const auto on = parseSwitch(cl.value(QStringLiteral("ifqv31")));
        if (!on) return "--ifqv31 takes 0 or 1";
        opt.ifqv31 = *on;
    }
    const std::vector<std::string> files = cl.positional();
    if (files.size() > 1) return "more than one input file given";
    if (!files.empty()) opt.file = files[0];
    if (!opt.family) return "--family is required (" + meterFamilyNames() + ")";
    if (opt.hid && !opt.family->report)
        return "family " + std::string(opt.family->name) +
               " has no report handler; --hid works with " + meterFamilyNames(true);
    return {};
}

// ---- JSON ---------------------------------------------------------------------------------

void appendJsonNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    char buf[32];
    std::to_chars_result r;
    if (v == std::trunc(v) && std::fabs(v) < 1e15)
        r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(v));
    else
        r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendKey(std::string& out, const char* key) {
    out.push_back(',');
    appendJsonString(out, key);
    out.push_back(':');
}

// The elements reported under "on": every element but the digit places and the link images,
// in byte order of their names.
std::vector<Ind> sortedOnCandidates() {
    std::vector<Ind> v;
    for (std::size_t i = kDigitPlaces; i < kIndicatorCount; ++i) {
        const Ind ind = static_cast<Ind>(i);
        if (ind != Ind::CONok && ind != Ind::CONokN) v.push_back(ind);
    }
    std::sort(v.begin(), v.end(),
              [](Ind a, Ind b) { return std::strcmp(indicatorName(a), indicatorName(b)) < 0; });
    return v;
}

std::vector<Ind> sortedDigitPlaces() {
    std::vector<Ind> v;
    for (std::size_t i = 0; i < kDigitPlaces; ++i) v.push_back(digitPlace(static_cast<int>(i)));
    std::sort(v.begin(), v.end(),
              [](Ind a, Ind b) { return std::strcmp(indicatorName(a), indicatorName(b)) < 0; });
    return v;
}

class JsonPrinter : public FrameObserver {
public:
    JsonPrinter(Meter& m, std::string& out)
        : m_(m), out_(out), onCandidates_(sortedOnCandidates()), places_(sortedDigitPlaces()) {}

    void frameDone(Family family, FrameOutcome outcome) override {
        if (outcome != FrameOutcome::Decoded) return;
        const CurrentReading& r = m_.reading;
        const IndicatorSet& lcd = m_.lcd;
        out_ += "{\"family\":";
        appendJsonString(out_, meterFamily(family).name);
        appendKey(out_, "frame");
        appendJsonString(out_, m_.FrameText);
        appendKey(out_, "value");
        appendJsonString(out_, r.ValueText);
        appendKey(out_, "numeric");
        appendJsonNumber(out_, r.NumericValue);
        appendKey(out_, "dcac");
        appendJsonString(out_, r.DcAc);
        appendKey(out_, "unit");
        appendJsonString(out_, r.UnitText);
        appendKey(out_, "range");
        appendJsonString(out_, r.RangeMode);
        appendKey(out_, "fullscale");
        appendJsonNumber(out_, r.FullScale);
        appendKey(out_, "digits");
        out_.push_back('{');
        bool first = true;
        for (Ind place : places_) {
            if (!first) out_.push_back(',');
            first = false;
            appendJsonString(out_, indicatorName(place));
            out_.push_back(':');
            appendJsonString(out_, lcd.digit(place));
        }
        out_.push_back('}');
        appendKey(out_, "hidden");
        appendNames(places_, [&](Ind i) { return !lcd.on(i); });
        appendKey(out_, "on");
        appendNames(onCandidates_, [&](Ind i) { return lcd.on(i); });
        appendKey(out_, "bar");
        appendJsonNumber(out_, lcd.barPosition());
        appendKey(out_, "max");
        appendJsonString(out_, lcd.maxText);
        appendKey(out_, "min");
        appendJsonString(out_, lcd.minText);
        out_ += "}\n";
    }

private:
    template <class Pred> void appendNames(const std::vector<Ind>& names, Pred pred) {
        out_.push_back('[');
        bool first = true;
        for (Ind i : names) {
            if (!pred(i)) continue;
            if (!first) out_.push_back(',');
            first = false;
            appendJsonString(out_, indicatorName(i));
        }
        out_.push_back(']');
    }

    Meter& m_;
    std::string& out_;
    std::vector<Ind> onCandidates_;
    std::vector<Ind> places_;
};

// ---- Input --------------------------------------------------------------------------------

void flush(std::string& out) {
    if (!out.empty()) {
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
        out.clear();
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// One report line: hex bytes separated by blanks, the report ID first. Returns false when the
// line is not of that form; an empty `bytes` means a blank line.
bool parseReportLine(std::string_view line, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        std::size_t j = i;
        int value = 0;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') {
            const int d = hexDigit(line[j]);
            if (d < 0 || j - i >= 2) return false;
            value = value * 16 + d;
            ++j;
        }
        if (bytes.size() > kMaxReportDataBytes) return false;
        bytes.push_back(static_cast<std::uint8_t>(value));
        i = j;
    }
    return true;
}

class Decoder {
public:
    Decoder(const Options& opt, Meter& m) : opt_(opt), m_(m) {}

    // Feeds a chunk as it came; returns an error text, empty when all is well.
    std::string feed(const std::uint8_t* data, std::size_t size) {
        if (!opt_.hid) {
            feedSerial(data, size);
            return {};
        }
        for (std::size_t i = 0; i < size; ++i) {
            const char c = static_cast<char>(data[i]);
            if (c == '\n') {
                ++lineNumber_;
                std::string err = endLine();
                if (!err.empty()) return err;
                continue;
            }
            if (line_.size() >= kMaxLineBytes)
                return "line " + std::to_string(lineNumber_ + 1) + ": too long for a report";
            line_.push_back(c);
        }
        return {};
    }

    std::string finish() {
        if (opt_.hid && !line_.empty()) {
            ++lineNumber_;
            return endLine();
        }
        return {};
    }

private:
    void feedSerial(const std::uint8_t* data, std::size_t size) {
        opt_.family->serial(m_, data, static_cast<int>(size));
    }

    std::string endLine() {
        const bool ok = parseReportLine(line_, report_);
        line_.clear();
        if (!ok) return "line " + std::to_string(lineNumber_) + ": not a report of hex bytes";
        if (report_.empty()) return {}; // blank line
        const auto size = static_cast<std::uint16_t>(report_.size() - 1);
        opt_.family->report(m_, report_[0], report_.data() + 1, size);
        return {};
    }

    const Options& opt_;
    Meter& m_;
    std::string line_;
    std::vector<std::uint8_t> report_;
    std::size_t lineNumber_ = 0;
};

int runDecode(const std::vector<std::string>& args) {
    CommandLine cl("decode", kUsage, kDescription);
    addOptions(cl);
    if (const auto done = cl.parse(args)) return *done;
    Options opt;
    if (const std::string err = readOptions(cl, opt); !err.empty()) return cl.usageError(err);

    int fd = STDIN_FILENO;
    std::string inputName = "standard input";
    if (opt.file && *opt.file != "-") {
        inputName = *opt.file;
        fd = ::open(opt.file->c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return fail("cannot open '" + inputName + "': " + std::strerror(errno));
    }

    // The start-up of the window: the variant switches, the count profile they select and the
    // leftmost digit's start text.
    Meter m;
    m.variant.IFQV14 = opt.ifqv14;
    m.variant.IFQV16 = opt.ifqv16;
    m.variant.IFQV31 = opt.ifqv31;
    m.LocaleDecimalSeparator = opt.separator;
    m.applyCountProfile(opt.countProfile ? *opt.countProfile : (opt.ifqv31 ? "2" : "4"));
    m.lcd.setDigit(Ind::LcdD0, opt.ifqv31 ? "1" : "3");

    std::string out;
    JsonPrinter printer(m, out);
    m.observer = &printer;
    Decoder decoder(opt, m);

    std::array<std::uint8_t, kChunkBytes> buf;
    std::string err;
    for (;;) {
        const ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            err = "cannot read '" + inputName + "': " + std::strerror(errno);
            break;
        }
        if (n == 0) {
            err = decoder.finish();
            break;
        }
        err = decoder.feed(buf.data(), static_cast<std::size_t>(n));
        flush(out);
        if (!err.empty()) break;
    }
    flush(out);
    m.observer = nullptr;
    if (fd != STDIN_FILENO) ::close(fd);
    if (!err.empty()) return fail(err);
    std::fprintf(stderr, "decoded %llu, rejected %llu, undecodable %llu\n",
                 static_cast<unsigned long long>(m.counts.decoded),
                 static_cast<unsigned long long>(m.counts.rejected),
                 static_cast<unsigned long long>(m.counts.undecodable));
    return 0;
}

const CommandRegistrar registrar("decode", kUsage, runDecode);

} // namespace

} // namespace dmm::cli
