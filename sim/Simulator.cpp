#include "Simulator.h"

#include "JsonText.h"

#include <cmath>
#include <cstdio>

namespace dmm::sim {

Simulator::Simulator(SimOptions options)
    : options_(std::move(options)), script_(makeScript(options_.script, options_.family)),
      expectation_(options_.family, options_.profileFullScale), scriptRng_(options_.seed),
      faultRng_(options_.seed ^ 0x9E3779B9u) {
    if (!script_) script_ = makeScript("wander", options_.family);
}

SimFrame Simulator::next() {
    SimFrame f;
    f.seq = seq_++;
    f.state = script_->next(scriptRng_);
    f.expected = expectation_.next(f.state);
    const MeterFamily& family = meterFamily(options_.family);
    f.bytes = family.encode(f.state);
    f.intact = !applyFaults(f.bytes, options_.faults, faultRng_);
    if (f.seq == 0 && options_.leadingLineFeed && family.leadingLineFeed)
        f.bytes.insert(f.bytes.begin(), 0x0A);
    return f;
}

std::string logLine(const SimFrame& frame) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "{\"seq\":" + std::to_string(frame.seq) + ",\"bytes\":\"";
    for (std::uint8_t b : frame.bytes) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    out += "\",\"intact\":";
    out += frame.intact ? "true" : "false";
    out += ",\"value\":";
    appendJsonString(out, frame.expected.value);
    out += ",\"unit\":";
    appendJsonString(out, frame.expected.unit);
    out += ",\"dcac\":";
    appendJsonString(out, frame.expected.dcac);
    out += ",\"range\":";
    appendJsonString(out, frame.expected.range);
    out += ",\"numeric\":";
    char num[32];
    const double v = frame.expected.numeric == 0 ? 0.0 : frame.expected.numeric;
    if (std::floor(v) == v && std::fabs(v) < 1e15)
        std::snprintf(num, sizeof num, "%.0f", v);
    else
        std::snprintf(num, sizeof num, "%.17g", v);
    out += num;
    out += '}';
    return out;
}

} // namespace dmm::sim
