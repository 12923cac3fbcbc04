#include "MqttPublisher.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace dmm::mqtt {

namespace {

constexpr int kQos = 1;
constexpr const char* kOnline = "online";
constexpr const char* kOffline = "offline";
// Returned by serve() when close() asks the thread to end.
constexpr int kStopped = -1000;

void initLibrary() {
    // mosquitto_lib_init is not thread-safe; a function-local static runs it once.
    static const int done = mosquitto_lib_init();
    (void)done;
}

int publishText(struct mosquitto* client, const std::string& topic, const char* text, bool retain,
                int* mid) {
    return mosquitto_publish(client, mid, topic.c_str(), static_cast<int>(std::strlen(text)), text,
                             kQos, retain);
}

std::string errorText(int rc) {
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(errno);
    return mosquitto_strerror(rc);
}

} // namespace

MqttPublisher::MqttPublisher(MqttSettings settings) : settings_(std::move(settings)) {}

MqttPublisher::~MqttPublisher() {
    close(std::chrono::milliseconds(0));
    if (client_) mosquitto_destroy(client_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

std::string MqttPublisher::start() {
    initLibrary();
    // A random client id with a clean session: the publisher keeps no state at the broker; the
    // order and the retries are this class's own.
    client_ = mosquitto_new(nullptr, true, this);
    if (!client_) return "cannot create the MQTT client: " + std::string(std::strerror(errno));
    const MqttUrl& url = settings_.url;
    int rc = MOSQ_ERR_SUCCESS;
    if (!url.user.empty())
        rc = mosquitto_username_pw_set(client_, url.user.c_str(),
                                       settings_.password.empty() ? nullptr
                                                                  : settings_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(client_, url.statusTopic().c_str(),
                                static_cast<int>(std::strlen(kOffline)), kOffline, kQos, true);
    if (rc == MOSQ_ERR_SUCCESS && url.tls) {
        // The library's own answer for a file it cannot read is "invalid arguments".
        if (!settings_.caFile.empty() && ::access(settings_.caFile.c_str(), R_OK) != 0)
            return "cannot read the CA file " + settings_.caFile + ": " + std::strerror(errno);
        if (settings_.caFile.empty())
            rc = mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        else
            rc = mosquitto_tls_set(client_, settings_.caFile.c_str(), nullptr, nullptr, nullptr,
                                   nullptr);
        if (rc != MOSQ_ERR_SUCCESS && !settings_.caFile.empty())
            return "cannot use the CA file " + settings_.caFile + ": " + errorText(rc);
    }
    if (rc != MOSQ_ERR_SUCCESS) return "cannot set the MQTT client up: " + errorText(rc);
    mosquitto_connect_callback_set(client_, &MqttPublisher::onConnect);
    mosquitto_disconnect_callback_set(client_, &MqttPublisher::onDisconnect);
    mosquitto_publish_callback_set(client_, &MqttPublisher::onPublish);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return "cannot create an eventfd: " + std::string(std::strerror(errno));
    thread_ = std::thread([this] { run(); });
    return {};
}

void MqttPublisher::publish(std::string payload) {
    bool wasEmpty = false;
    {
        const std::lock_guard lock(mutex_);
        if (closing_) return;
        wasEmpty = queue_.empty();
        queue_.push_back(std::move(payload));
        if (queue_.size() > settings_.queueLimit) {
            queue_.pop_front();
            ++dropped_;
        }
    }
    // A non-empty queue is looked at again when the row in flight is acknowledged or the
    // connection is made; only a row into an empty queue needs to wake the thread.
    if (wasEmpty) wake();
}

void MqttPublisher::publishAlarm(std::string payload, bool retain) {
    {
        const std::lock_guard lock(mutex_);
        if (closing_) return;
        alarms_.emplace_back(std::move(payload), retain);
        if (alarms_.size() > kMaxAlarms) alarms_.pop_front();
    }
    wake();
}

MqttPublisher::Counts MqttPublisher::counts() const {
    const std::lock_guard lock(mutex_);
    Counts c;
    c.queued = queue_.size() + (rowInFlight_ ? 1 : 0);
    c.delivered = delivered_;
    c.dropped = dropped_;
    c.connected = connected_;
    c.lastError = lastError_;
    return c;
}

std::uint64_t MqttPublisher::close(std::chrono::milliseconds idleGrace) {
    if (!thread_.joinable()) return counts().queued;
    std::unique_lock lock(mutex_);
    closing_ = true;
    lock.unlock();
    wake();
    lock.lock();
    // Wait while acknowledgements keep coming, at most idleGrace after the last one.
    std::uint64_t seen = delivered_;
    auto deadline = std::chrono::steady_clock::now() + idleGrace;
    while (!finished_ && std::chrono::steady_clock::now() < deadline) {
        changed_.wait_until(lock, deadline);
        if (delivered_ != seen) {
            seen = delivered_;
            deadline = std::chrono::steady_clock::now() + idleGrace;
        }
    }
    stop_ = true;
    lock.unlock();
    wake();
    thread_.join();
    return counts().queued;
}

void MqttPublisher::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void MqttPublisher::setError(std::string text) {
    const std::lock_guard lock(mutex_);
    lastError_ = std::move(text);
}

bool MqttPublisher::nothingPending() const {
    return queue_.empty() && !rowInFlight_;
}

// The network thread: connect, serve the connection until it ends, wait, connect again.
void MqttPublisher::run() {
    const MqttUrl& url = settings_.url;
    bool first = true;
    int delay = 1;
    for (;;) {
        // The first connect names host and port; later ones reuse them. Resolving the host
        // name may take a while: it happens here, on this thread.
        int rc = first ? mosquitto_connect_async(client_, url.host.c_str(), url.port,
                                                 settings_.keepAliveSeconds)
                       : mosquitto_reconnect_async(client_);
        first = false;
        if (rc == MOSQ_ERR_SUCCESS) rc = serve();
        if (rc == kStopped) break;
        bool wasConnected = false;
        {
            const std::lock_guard lock(mutex_);
            wasConnected = connected_;
            connected_ = false;
            if (closing_ && (offlineSent_ || nothingPending())) {
                finished_ = true;
                changed_.notify_all();
                break;
            }
        }
        if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_CONN_LOST) setError(errorText(rc));
        if (wasConnected) delay = 1;
        waitBeforeRetry(delay);
        delay = std::min(delay * 2, settings_.maxBackoffSeconds);
        const std::lock_guard lock(mutex_);
        if (stop_) break;
    }
    mosquitto_disconnect(client_);
}

void MqttPublisher::waitBeforeRetry(int seconds) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(seconds),
                      [this] { return stop_ || (closing_ && nothingPending()); });
    if (closing_ && nothingPending() && !stop_) {
        finished_ = true;
        changed_.notify_all();
    }
}

// One connection's life: poll the socket and the wake-up, let the library read and write, hand
// it the next row when the one before is acknowledged. Returns why the connection ended.
int MqttPublisher::serve() {
    for (;;) {
        feed();
        {
            const std::lock_guard lock(mutex_);
            if (stop_) return kStopped;
        }
        const int sock = mosquitto_socket(client_);
        if (sock < 0) return offlineSent_ ? MOSQ_ERR_SUCCESS : MOSQ_ERR_NO_CONN;
        pollfd fds[2] = {
            {sock, static_cast<short>(POLLIN | (mosquitto_want_write(client_) ? POLLOUT : 0)), 0},
            {wakeFd_, POLLIN, 0}};
        // The timeout bounds the wait for keep-alive pings (mosquitto_loop_misc).
        if (::poll(fds, 2, 1000) < 0 && errno != EINTR) return MOSQ_ERR_ERRNO;
        if (fds[1].revents & POLLIN) {
            std::uint64_t n = 0;
            [[maybe_unused]] const ssize_t r = ::read(wakeFd_, &n, sizeof n);
        }
        int rc = MOSQ_ERR_SUCCESS;
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) rc = mosquitto_loop_read(client_, 1);
        if (rc == MOSQ_ERR_SUCCESS && (fds[0].revents & POLLOUT))
            rc = mosquitto_loop_write(client_, 1);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop_misc(client_);
        if (rc != MOSQ_ERR_SUCCESS) return rc;
    }
}

// With the connection up and nothing in flight: the next row, or, when closing with nothing
// left, "offline".
void MqttPublisher::feed() {
    if (sayOnline_) {
        sayOnline_ = false;
        publishText(client_, settings_.url.statusTopic(), kOnline, true, nullptr);
    }
    if (offlineAcked_) {
        offlineAcked_ = false;
        mosquitto_disconnect(client_);
        return;
    }
    std::deque<std::pair<std::string, bool>> alarms;
    {
        const std::lock_guard lock(mutex_);
        if (connected_) alarms.swap(alarms_);
    }
    for (const auto& [payload, retain] : alarms)
        mosquitto_publish(client_, nullptr, settings_.url.alarmTopic().c_str(),
                          static_cast<int>(payload.size()), payload.data(), kQos, retain);
    std::string row;
    bool sayOffline = false;
    {
        const std::lock_guard lock(mutex_);
        if (!connected_ || rowInFlight_ || offlineSent_) return;
        if (!queue_.empty()) {
            row = std::move(queue_.front());
            queue_.pop_front();
            rowInFlight_ = true;
        } else if (closing_) {
            sayOffline = true;
            offlineSent_ = true;
        } else {
            return;
        }
    }
    if (sayOffline) {
        publishText(client_, settings_.url.statusTopic(), kOffline, true, &offlineMid_);
        return;
    }
    // The library keeps its own copy until the broker acknowledges it, and sends it again
    // after a reconnect.
    const int rc = mosquitto_publish(client_, &rowMid_, settings_.url.readingTopic().c_str(),
                                     static_cast<int>(row.size()), row.data(), kQos, false);
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN) {
        // Refused outright (a payload too large, no memory): the row cannot go; count it.
        const std::lock_guard lock(mutex_);
        rowInFlight_ = false;
        ++dropped_;
        lastError_ = errorText(rc);
    }
}

// The callbacks run inside the library's calls, under its own locks: they only note what
// happened, and feed() acts on it, so that the library is never entered from within itself.
void MqttPublisher::onConnect(struct mosquitto*, void* self, int rc) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (rc != 0) {
        p->setError(mosquitto_connack_string(rc));
        return;
    }
    p->sayOnline_ = true;
    const std::lock_guard lock(p->mutex_);
    p->connected_ = true;
    p->lastError_.clear();
}

void MqttPublisher::onDisconnect(struct mosquitto*, void* self, int) {
    auto* p = static_cast<MqttPublisher*>(self);
    const std::lock_guard lock(p->mutex_);
    p->connected_ = false;
}

void MqttPublisher::onPublish(struct mosquitto*, void* self, int mid) {
    auto* p = static_cast<MqttPublisher*>(self);
    if (p->offlineSent_ && mid == p->offlineMid_) {
        p->offlineAcked_ = true;
        return;
    }
    if (mid != p->rowMid_ || mid == 0) return;
    p->rowMid_ = 0;
    const std::lock_guard lock(p->mutex_);
    p->rowInFlight_ = false;
    ++p->delivered_;
    p->changed_.notify_all();
}

} // namespace dmm::mqtt
