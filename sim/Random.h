// The simulator's random numbers: std::mt19937 is the same sequence everywhere, and the few
// draws below are made from its raw output so that a seed gives the same run on every platform.
#pragma once

#include <cstdint>
#include <random>

namespace dmm::sim {

class Rng {
public:
    explicit Rng(std::uint32_t seed) : g_(seed) {}
    // 0 to n-1 (n > 0).
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(g_() % n); }
    // [0, 1).
    double unit() { return static_cast<double>(g_()) / 4294967296.0; }
    bool chance(double p) { return p > 0 && unit() < p; }

private:
    std::mt19937 g_;
};

} // namespace dmm::sim
