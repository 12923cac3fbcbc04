// The Q32 serial road at full speed: raw bytes in chunks the size of a serial read, cut into
// frames, checked and decoded with the window's calls stubbed. Reports frames per second.
#include "FrameAssembly.h"
#include "Meter.h"
#include "NullHooks.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

// 1000 frames (each ending in 0x0D 0x0A, so the stream can be repeated) of 200.00 V readings with
// varying digits, sign and coupling, and now and then a range change, as a recording of a real
// session would hold.
std::vector<std::uint8_t> q32Stream() {
    std::vector<std::uint8_t> s;
    for (int i = 0; i < 1000; ++i) {
        const int count = (i * 7919) % 100000;
        int digits[5];
        for (int d = 4, v = count; d >= 0; --d, v /= 10) digits[d] = v % 10;
        for (int d : digits) s.push_back(static_cast<std::uint8_t>(0x30 | d));
        s.push_back(static_cast<std::uint8_t>(0x30 | (i % 50 == 0 ? 4 : 3))); // range
        s.push_back(0x31);                                                    // volt
        s.push_back(static_cast<std::uint8_t>(0x30 | (i % 3)));               // coupling
        s.push_back(static_cast<std::uint8_t>(0x30 | (i % 2 ? 5 : 1)));       // sign, auto
        s.push_back(0x0D);
        s.push_back(0x0A);
    }
    return s;
}

void BM_Q32SerialRoad(benchmark::State& state) {
    const std::vector<std::uint8_t> stream = q32Stream();
    const std::size_t chunk = static_cast<std::size_t>(state.range(0));
    dmm::NullHooks hooks;
    dmm::Meter m(&hooks);
    m.applyCountProfile("2");
    const std::uint8_t lineFeed = 0x0A; // the end of the frame before the first
    dmm::HQ32RData(m, &lineFeed, 1);
    for (auto _ : state) {
        for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
            const std::size_t n = std::min(chunk, stream.size() - pos);
            dmm::HQ32RData(m, stream.data() + pos, static_cast<int>(n));
        }
        benchmark::DoNotOptimize(m.reading.NumericValue);
    }
    if (m.counts.rejected != 0 || m.counts.undecodable != 0)
        state.SkipWithError("frames of the stream failed to decode");
    state.SetItemsProcessed(static_cast<std::int64_t>(m.counts.decoded));
}
BENCHMARK(BM_Q32SerialRoad)->Arg(12)->Arg(1)->Arg(4096);

} // namespace

BENCHMARK_MAIN();
