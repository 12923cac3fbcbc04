// The delay figures of the link benchmarks: a writer that plays the meter into a pseudo-terminal,
// and the delays from when each item was written to when it arrived, as percentiles.
#pragma once

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>
#include <unistd.h>
#include <vector>

namespace dmm::bench {

using Clock = std::chrono::steady_clock;

// Writes `item` into `fd` `count` times, 20 to 40 ms apart (times unrelated to the driver's
// polling tick), from a thread of its own, while the event loop turns until `arrived` holds
// `count` arrivals or count * 60 ms + 5 s have passed. Returns when each write was made.
inline std::vector<Clock::time_point> writePaced(int fd, const std::vector<unsigned char>& item,
                                                 int count,
                                                 const std::vector<Clock::time_point>& arrived) {
    std::vector<Clock::time_point> written(static_cast<std::size_t>(count));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::mt19937 rng(1);
        for (int k = 0; k < count; ++k) {
            std::this_thread::sleep_for(std::chrono::microseconds(20000 + rng() % 20000));
            written[static_cast<std::size_t>(k)] = Clock::now();
            if (::write(fd, item.data(), item.size()) != static_cast<ssize_t>(item.size())) break;
        }
        done = true;
    });
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done && arrived.size() >= static_cast<std::size_t>(count)) QCoreApplication::quit();
    });
    check.start(20);
    QTimer::singleShot(count * 60 + 5000, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    writer.join();
    return written;
}

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
