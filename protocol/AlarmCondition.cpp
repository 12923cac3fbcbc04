#include "AlarmCondition.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <vector>

namespace dmm {

namespace {

using Words = std::vector<std::string_view>;

const char* const kStart =
    "a condition starting with above, below, outside, inside or fail, like \"above 5.1 V\"";

std::optional<long long> wholeNumber(std::string_view text, std::size_t& used) {
    long long v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || v <= 0 || v > 1'000'000'000) return std::nullopt;
    used = static_cast<std::size_t>(r.ptr - text.data());
    return v;
}

// "for N", "for Ns", "for Nm".
std::string readFor(const Words& words, std::size_t& pos, AlarmCondition& c) {
    const char* expected = "expected a count after \"for\": 3 (readings), 10s or 2m";
    if (pos >= words.size()) return expected;
    const std::string_view word = words[pos++];
    std::size_t used = 0;
    const std::optional<long long> n = wholeNumber(word, used);
    if (!n) return expected;
    const std::string_view suffix = word.substr(used);
    if (suffix.empty() && *n <= 1'000'000) {
        c.forReadings = static_cast<int>(*n);
    } else if (suffix == "s" || suffix == "m") {
        c.forMilliseconds = *n * (suffix == "s" ? 1000 : 60'000);
    } else {
        return expected;
    }
    return {};
}

std::string readClear(const Words& words, std::size_t& pos, AlarmCondition& c) {
    const char* expected = "expected \"clear after N\", N readings back inside";
    if (pos + 1 >= words.size() || words[pos] != "after") return expected;
    std::size_t used = 0;
    const std::optional<long long> n = wholeNumber(words[pos + 1], used);
    if (!n || used != words[pos + 1].size() || *n > 1'000'000) return expected;
    c.clearAfter = static_cast<int>(*n);
    pos += 2;
    return {};
}

std::string readHysteresis(const Words& words, std::size_t& pos, AlarmCondition& c) {
    if (c.kind == AlarmKind::Fail) return "\"fail\" takes no hysteresis: it has no value";
    TypedQuantity h;
    if (std::string e = readTypedQuantity(words, pos, false, h); !e.empty())
        return "hysteresis: " + e;
    if (h.baseUnit != c.limit.baseUnit)
        return "the hysteresis needs the condition's unit (" + c.limit.baseUnit + ")";
    if (h.low < 0) return "the hysteresis cannot be negative";
    c.hysteresis = h.low;
    return {};
}

// What follows the limit: any of "for", "clear after", "hysteresis", once each.
std::string readTail(const Words& words, std::size_t pos, AlarmCondition& c) {
    bool seenFor = false, seenClear = false, seenHysteresis = false;
    while (pos < words.size()) {
        const std::string_view word = words[pos++];
        std::string e;
        if (word == "for" && !seenFor) {
            seenFor = true;
            e = readFor(words, pos, c);
        } else if (word == "clear" && !seenClear) {
            seenClear = true;
            e = readClear(words, pos, c);
        } else if (word == "hysteresis" && !seenHysteresis) {
            seenHysteresis = true;
            e = readHysteresis(words, pos, c);
        } else {
            e = "unexpected \"" + std::string(word) +
                "\"; expected \"for N\", \"clear after N\" or \"hysteresis H UNIT\"";
        }
        if (!e.empty()) return e;
    }
    return {};
}

// Typed limits are scaled from their prefix ("5100 mV" is 5100 × 0.001), so a reading equal to
// the limit may differ from it in the last bits: closer than this counts as equal.
bool greater(double a, double b) {
    return a - b > 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

} // namespace

std::optional<AlarmCondition> AlarmCondition::parse(std::string_view text, std::string& error) {
    const Words words = conditionWords(text);
    AlarmCondition c;
    c.text = std::string(text);
    error.clear();
    if (words.empty()) {
        error = std::string("expected ") + kStart;
        return std::nullopt;
    }
    const std::string_view first = words[0];
    std::size_t pos = 1;
    if (first == "above" || first == "below" || first == "outside" || first == "inside") {
        c.kind = first == "above"     ? AlarmKind::Above
                 : first == "below"   ? AlarmKind::Below
                 : first == "outside" ? AlarmKind::Outside
                                      : AlarmKind::Inside;
        const bool range = c.kind == AlarmKind::Outside || c.kind == AlarmKind::Inside;
        error = readTypedQuantity(words, pos, range, c.limit);
    } else if (first != "fail") {
        error = "unknown \"" + std::string(first) + "\"; expected " + kStart;
    } else {
        c.kind = AlarmKind::Fail;
    }
    if (error.empty()) error = readTail(words, pos, c);
    if (!error.empty()) return std::nullopt;
    return c;
}

AlarmSide AlarmCondition::side(const Measurement& m, std::string_view verdict) const {
    if (kind == AlarmKind::Fail) {
        if (verdict == "Fail") return AlarmSide::Out;
        return verdict == "pass" ? AlarmSide::Back : AlarmSide::Ignored;
    }
    if (!limit.sameKind(m)) return AlarmSide::Ignored;
    const double v = m.value();
    const double lo = limit.low;
    const double hi = limit.high;
    const double h = hysteresis;
    const auto less = [](double a, double b) { return greater(b, a); };
    bool out = false;
    bool back = false;
    switch (kind) {
    case AlarmKind::Above:
        out = greater(v, hi);
        back = !greater(v, hi - h);
        break;
    case AlarmKind::Below:
        out = less(v, lo);
        back = !less(v, lo + h);
        break;
    case AlarmKind::Outside:
        out = less(v, lo) || greater(v, hi);
        back = !less(v, lo + h) && !greater(v, hi - h);
        break;
    case AlarmKind::Inside:
    case AlarmKind::Fail:
        out = !less(v, lo) && !greater(v, hi);
        back = less(v, lo - h) || greater(v, hi + h);
        break;
    }
    if (out) return AlarmSide::Out;
    return back ? AlarmSide::Back : AlarmSide::Between;
}

} // namespace dmm
