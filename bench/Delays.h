// The delay figures of the link benchmarks: from when each item was written to when it arrived,
// as percentiles.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

namespace dmm::bench {

struct DelayFigures {
    std::size_t count;
    double p50Ms;
    double p99Ms;
    double maxMs;
};

// Pairs the k-th arrival with the k-th write. Empty, with a line on standard error, when fewer
// than `expected` items arrived.
template <class TimePoint>
std::optional<DelayFigures> delayFigures(const std::vector<TimePoint>& written,
                                         const std::vector<TimePoint>& arrived,
                                         std::size_t expected, const char* what) {
    std::vector<double> delays;
    for (std::size_t k = 0; k < arrived.size() && k < written.size(); ++k)
        delays.push_back(
            std::chrono::duration<double, std::milli>(arrived[k] - written[k]).count());
    if (delays.size() != expected) {
        std::fprintf(stderr, "only %zu of %zu %s arrived\n", delays.size(), expected, what);
        return std::nullopt;
    }
    std::sort(delays.begin(), delays.end());
    const auto pct = [&](double p) {
        return delays[std::min(delays.size() - 1, static_cast<std::size_t>(p * delays.size()))];
    };
    return DelayFigures{delays.size(), pct(0.50), pct(0.99), delays.back()};
}

} // namespace dmm::bench
