// The MQTT publisher against a real mosquitto on loopback: the delay from a recorded row to its
// arrival at a QoS 1 subscriber (p50 and p99 over 2,000 rows, at full speed and paced 1 ms
// apart), the rows per second it sustains, and the memory of 100,000 rows queued while the
// broker is away.
#include "BenchTable.h"
#include "MqttPublisher.h"
#include "ReadingJson.h"
#include "TestBroker.h"

#include <benchmark/benchmark.h>
#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kRows = 2000;

// A QoS 1 subscriber in this process: the arrival time of each row, by its index.
class Arrivals {
public:
    explicit Arrivals(int port, int rows) : at_(static_cast<std::size_t>(rows)) {
        mosquitto_lib_init();
        client_ = mosquitto_new("bench-sub", true, this);
        mosquitto_message_callback_set(client_, &Arrivals::onMessage);
        mosquitto_connect(client_, "127.0.0.1", port, 30);
        mosquitto_subscribe(client_, nullptr, "bench/reading", 1);
        mosquitto_loop_start(client_);
        std::this_thread::sleep_for(300ms); // the subscription acknowledged
    }
    ~Arrivals() {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }
    bool waitForAll(std::chrono::seconds timeout) {
        const auto end = Clock::now() + timeout;
        while (count_.load() < static_cast<int>(at_.size()) && Clock::now() < end)
            std::this_thread::sleep_for(1ms);
        return count_.load() == static_cast<int>(at_.size());
    }
    Clock::time_point at(int i) {
        const std::lock_guard lock(mutex_);
        return at_[static_cast<std::size_t>(i)];
    }
    void reset() {
        const std::lock_guard lock(mutex_);
        count_ = 0;
    }

private:
    // Payloads are {"no":N,...}; row N has index N - 1.
    static void onMessage(struct mosquitto*, void* self, const struct mosquitto_message* m) {
        auto* a = static_cast<Arrivals*>(self);
        const std::string text(static_cast<const char*>(m->payload),
                               static_cast<std::size_t>(m->payloadlen));
        const int no = std::atoi(text.c_str() + 6);
        const std::lock_guard lock(a->mutex_);
        if (no >= 1 && no <= static_cast<int>(a->at_.size()))
            a->at_[static_cast<std::size_t>(no - 1)] = Clock::now();
        ++a->count_;
    }
    struct mosquitto* client_;
    std::mutex mutex_;
    std::vector<Clock::time_point> at_;
    std::atomic<int> count_{0};
};

dmm::mqtt::MqttSettings settings(int port) {
    dmm::mqtt::MqttSettings s;
    s.url.host = "127.0.0.1";
    s.url.port = port;
    s.url.prefix = "bench";
    return s;
}

double percentileUs(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

// Arg 0: rows back to back; arg N: rows N microseconds apart.
void BM_RecordedToArrived(benchmark::State& state) {
    dmm::testing::TestBroker broker;
    if (!broker.start()) return state.SkipWithError("mosquitto did not start");
    dmm::ReadingsTable table;
    dmm::bench::fillMeterTable(table, kRows);
    Arrivals arrivals(broker.port(), kRows);
    std::vector<double> delays;
    for (auto _ : state) {
        arrivals.reset();
        dmm::mqtt::MqttPublisher publisher(settings(broker.port()));
        publisher.start();
        std::this_thread::sleep_for(300ms); // connected
        std::vector<Clock::time_point> recorded(kRows);
        for (int r = 0; r < kRows; ++r) {
            recorded[static_cast<std::size_t>(r)] = Clock::now();
            publisher.publish(dmm::ReadingJson::fromRecord(dmm::RecordedRow::fromTable(table, r)));
            if (state.range(0) > 0)
                std::this_thread::sleep_for(std::chrono::microseconds(state.range(0)));
        }
        if (!arrivals.waitForAll(60s)) return state.SkipWithError("rows missing");
        for (int r = 0; r < kRows; ++r)
            delays.push_back(std::chrono::duration<double, std::micro>(
                                 arrivals.at(r) - recorded[static_cast<std::size_t>(r)])
                                 .count());
        publisher.close(5s);
    }
    state.counters["p50_us"] = percentileUs(delays, 0.50);
    state.counters["p99_us"] = percentileUs(delays, 0.99);
}
BENCHMARK(BM_RecordedToArrived)->Arg(0)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond);

// Rows per second from the first publish() to the last acknowledgement.
void BM_RowsPerSecond(benchmark::State& state) {
    dmm::testing::TestBroker broker;
    if (!broker.start()) return state.SkipWithError("mosquitto did not start");
    dmm::ReadingsTable table;
    dmm::bench::fillMeterTable(table, 1000);
    const int rows = static_cast<int>(state.range(0));
    std::vector<std::string> payloads;
    for (int r = 0; r < rows; ++r)
        payloads.push_back(
            dmm::ReadingJson::fromRecord(dmm::RecordedRow::fromTable(table, r % 1000)));
    double rate = 0;
    for (auto _ : state) {
        dmm::mqtt::MqttPublisher publisher(settings(broker.port()));
        publisher.start();
        std::this_thread::sleep_for(300ms);
        const auto start = Clock::now();
        for (const std::string& p : payloads) publisher.publish(p);
        while (publisher.counts().delivered < static_cast<std::uint64_t>(rows))
            std::this_thread::sleep_for(1ms);
        rate = rows / std::chrono::duration<double>(Clock::now() - start).count();
        publisher.close(5s);
    }
    state.counters["rows_per_s"] = rate;
}
BENCHMARK(BM_RowsPerSecond)->Arg(20000)->Iterations(2)->Unit(benchmark::kMillisecond);

// 100,000 rows queued for a broker that is not there: the resident memory they take.
void BM_QueuedMemory(benchmark::State& state) {
    dmm::ReadingsTable table;
    dmm::bench::fillMeterTable(table, 1000);
    const int rows = static_cast<int>(state.range(0));
    double mb = 0;
    double perRow = 0;
    for (auto _ : state) {
        dmm::mqtt::MqttPublisher publisher(settings(dmm::testing::freeLoopbackPort()));
        publisher.start();
        const double before = dmm::bench::statusMb("VmRSS");
        for (int r = 0; r < rows; ++r)
            publisher.publish(
                dmm::ReadingJson::fromRecord(dmm::RecordedRow::fromTable(table, r % 1000)));
        mb = dmm::bench::statusMb("VmRSS") - before;
        perRow = mb * 1024 * 1024 / rows;
        if (publisher.counts().queued != static_cast<std::uint64_t>(rows))
            return state.SkipWithError("rows not queued");
        publisher.close(0ms);
    }
    state.counters["MB"] = mb;
    state.counters["bytes_per_row"] = perRow;
}
BENCHMARK(BM_QueuedMemory)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
