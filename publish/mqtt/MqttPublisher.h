// Publishes rows to an MQTT broker from a thread of its own, so that the thread that records
// never waits on the network.
//
// The recording thread hands each row's payload to publish(), which only appends it to a queue
// (at most `queueLimit` rows: beyond that the oldest is dropped and counted) and wakes the network
// thread. The network thread alone owns the libmosquitto client: it connects (asynchronously,
// retrying with a back-off that doubles from 1 s up to `maxBackoffSeconds`), takes the rows from
// the queue in order and publishes each to PREFIX/reading with QoS 1, one at a time: the next row
// goes out once the broker has acknowledged the one before. A row in flight when the connection
// drops is sent again after the reconnect (so a subscriber may see it twice, with the same
// payload); rows are never reordered.
//
// PREFIX/status is retained: "online" once connected, "offline" as the last will (the broker
// sends it when the connection is lost without a goodbye) and on close().
//
// The queue, the counters and the connection state share one mutex; that is the only lock
// between the two threads. libmosquitto's own loop (mosquitto_loop_start) is not used: its thread
// can be woken only by the library's own calls, and its first connect resolves the host on the
// caller's thread. The network thread instead waits in poll() on the client's socket and an
// eventfd, and drives the library through its external-loop calls (mosquitto_loop_read, _write,
// _misc).
#pragma once

#include "MqttUrl.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

struct mosquitto;

namespace dmm::mqtt {

struct MqttSettings {
    MqttUrl url;
    std::string password; // sent only with a user name (MQTT has no password without one)
    std::string caFile;   // mqtts: the CA certificates to trust; empty: the system's store
    std::size_t queueLimit = 100'000;
    int keepAliveSeconds = 30;
    int maxBackoffSeconds = 30;
};

class MqttPublisher {
public:
    struct Counts {
        std::uint64_t queued = 0;    // waiting, the row in flight included
        std::uint64_t delivered = 0; // acknowledged by the broker
        std::uint64_t dropped = 0;   // pushed out of the full queue, oldest first
        bool connected = false;
        std::string lastError; // why the last connection failed or ended; empty if none
    };

    explicit MqttPublisher(MqttSettings settings);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Sets the client up and starts the network thread. Returns an error text (a CA file that
    // cannot be read, ...), empty on success. Connecting happens later, on the network thread.
    std::string start();

    // Queues one row's payload. Never waits on the network: one short lock and a wake-up.
    void publish(std::string payload);
    // Queues an alarm's payload for PREFIX/alarm (QoS 1, `retain` as given; an empty retained
    // payload removes the retained one). Alarms go out beside the rows, as soon as connected;
    // at most kMaxAlarms wait, the oldest giving way.
    void publishAlarm(std::string payload, bool retain);
    static constexpr std::size_t kMaxAlarms = 1000;

    Counts counts() const;

    // Ends publishing: rows still queued are delivered while the broker takes them (giving up
    // once `idleGrace` passes without an acknowledgement), then "offline" is published to the
    // status topic and the client disconnects. Returns the number of rows not delivered. Waits,
    // so it belongs to the end of a program.
    std::uint64_t close(std::chrono::milliseconds idleGrace);

private:
    void run();
    int serve();
    void feed();
    void waitBeforeRetry(int seconds);
    bool nothingPending() const; // with the lock held
    void wake();
    void setError(std::string text);

    static void onConnect(struct mosquitto*, void* self, int rc);
    static void onDisconnect(struct mosquitto*, void* self, int rc);
    static void onPublish(struct mosquitto*, void* self, int mid);

    const MqttSettings settings_;
    struct mosquitto* client_ = nullptr; // touched by the network thread only, once started
    int wakeFd_ = -1;
    std::thread thread_;

    // Network thread only.
    int rowMid_ = 0;     // message id of the row in flight, 0 when none
    int offlineMid_ = 0; // message id of the closing "offline"
    bool offlineSent_ = false;
    bool sayOnline_ = false;    // connected: "online" is due
    bool offlineAcked_ = false; // closing: the broker has "offline"; disconnect

    // Shared, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queue_;
    std::deque<std::pair<std::string, bool>> alarms_; // payload, retain
    bool rowInFlight_ = false;
    std::uint64_t delivered_ = 0;
    std::uint64_t dropped_ = 0;
    bool connected_ = false;
    bool closing_ = false;
    bool stop_ = false;
    bool finished_ = false;
    std::string lastError_;
};

} // namespace dmm::mqtt
