// The decoding road allocates nothing per frame once warmed up: global operator new is replaced
// with a counting version that counts only while a test asks it to, so the rest of the test
// program is unaffected. Sanitizer builds skip it: their runtimes own operator new, and
// ThreadSanitizer's will not even link beside a second one.
#ifndef DMM_SANITIZED
#include "FrameAssembly.h"
#include "Meter.h"
#include "NullHooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};

void* countedAlloc(std::size_t size) {
    if (gCounting.load(std::memory_order_relaxed))
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) {
    return countedAlloc(size);
}
void* operator new[](std::size_t size) {
    return countedAlloc(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAlloc(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAlloc(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace {

class CountAllocations {
public:
    CountAllocations() {
        gAllocations = 0;
        gCounting = true;
    }
    ~CountAllocations() { gCounting = false; }
    long count() const { return gAllocations.load(); }
};

// Q32 frames (each ending in 0x0D 0x0A) with varying digits, sign, coupling, range and
// function, so that the extremes restart now and then and every text takes several lengths.
std::vector<std::uint8_t> q32Frames(int n) {
    std::vector<std::uint8_t> s;
    for (int i = 0; i < n; ++i) {
        int v = (i * 7919) % 100000;
        std::uint8_t digits[5];
        for (int d = 4; d >= 0; --d, v /= 10)
            digits[d] = static_cast<std::uint8_t>(0x30 | (v % 10));
        if (i % 97 == 0) digits[0] = 0x3A; // overload
        s.insert(s.end(), digits, digits + 5);
        s.push_back(static_cast<std::uint8_t>(0x30 | (1 + i % 4)));                 // range
        s.push_back(static_cast<std::uint8_t>(0x30 | (i % 13 == 0 ? 0x0C : 0x01))); // function
        s.push_back(static_cast<std::uint8_t>(0x30 | (i % 4)));                     // coupling
        s.push_back(static_cast<std::uint8_t>(0x30 | (i % 2 ? 5 : 1)));             // status
        s.push_back(0x0D);
        s.push_back(0x0A);
    }
    return s;
}

void feedSerial(dmm::Meter& m, const std::vector<std::uint8_t>& stream, std::size_t chunk) {
    for (std::size_t pos = 0; pos < stream.size(); pos += chunk)
        dmm::HQ32RData(m, stream.data() + pos,
                       static_cast<int>(std::min(chunk, stream.size() - pos)));
}

TEST(NoAllocation, TheCounterSeesAllocations) {
    CountAllocations counter;
    void* volatile p = ::operator new(100); // a direct call: never elided
    ::operator delete(p);
    EXPECT_EQ(counter.count(), 1);
}

TEST(NoAllocation, Q32SerialRoadInSteadyState) {
    dmm::NullHooks hooks;
    dmm::Meter m(&hooks);
    m.applyCountProfile("2");
    const std::uint8_t lineFeed = 0x0A;
    dmm::HQ32RData(m, &lineFeed, 1);
    const std::vector<std::uint8_t> stream = q32Frames(10000);
    feedSerial(m, stream, 12); // warm-up
    const std::uint64_t before = m.counts.decoded;
    long allocations = 0;
    {
        CountAllocations counter;
        feedSerial(m, stream, 12);
        allocations = counter.count();
    }
    EXPECT_EQ(m.counts.decoded - before, 10000u);
    EXPECT_EQ(m.counts.rejected, 0u);
    EXPECT_EQ(allocations, 0);
}

TEST(NoAllocation, Q32ReportRoadInSteadyState) {
    dmm::NullHooks hooks;
    dmm::Meter m(&hooks);
    m.applyCountProfile("2");
    const std::vector<std::uint8_t> stream = q32Frames(2000);
    auto feed = [&] {
        const std::uint8_t idle[8] = {};
        for (std::size_t pos = 0; pos < stream.size(); pos += 11) {
            std::uint8_t a[8] = {7}, b[5] = {4};
            std::copy(stream.begin() + pos, stream.begin() + pos + 7, a + 1);
            std::copy(stream.begin() + pos + 7, stream.begin() + pos + 11, b + 1);
            dmm::Q32ReportHandler(m, 0, a, sizeof a);
            dmm::Q32ReportHandler(m, 0, b, sizeof b);
            dmm::Q32ReportHandler(m, 0, idle, sizeof idle);
        }
    };
    feed(); // fills the history list, whose slots are then reused
    const std::uint64_t before = m.counts.decoded;
    long allocations = 0;
    {
        CountAllocations counter;
        feed();
        allocations = counter.count();
    }
    EXPECT_EQ(m.counts.decoded - before, 2000u);
    EXPECT_EQ(allocations, 0);
}

} // namespace

#endif // DMM_SANITIZED
