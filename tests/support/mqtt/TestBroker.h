// The peers of the MQTT tests, as separate programs: Debian's mosquitto broker with persistence,
// on a free loopback port, and mosquitto_sub as a persistent QoS 1 session writing each payload
// as a line to a file. Both run in a temporary folder that the helpers remove.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dmm::testing {

// A folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A port on 127.0.0.1 that nothing listens on (the kernel's choice for a socket bound to 0).
int freeLoopbackPort();

// A child process with standard output and error to files; killed with SIGKILL if still running
// on destruction.
class Child {
public:
    Child() = default;
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    // Runs argv[0] found in PATH; false if it could not be started.
    bool start(const std::vector<std::string>& argv, const std::string& outFile,
               const std::string& errFile);
    // Sends `signal` and waits for the end; returns the wait status.
    int stop(int signal);
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& text);
// Runs a command line through /bin/sh and returns its exit status (for openssl).
int runShell(const std::string& command);

class TestBroker {
public:
    // `extraConfig` is appended to the configuration (a TLS listener's files).
    explicit TestBroker(std::string extraConfig = {});
    ~TestBroker();
    // Starts the broker and waits until its port takes connections (up to 10 s).
    bool start();
    // Ends it with SIGTERM (it saves its persistent store) or SIGKILL.
    void stop(int signal = 15);
    int port() const { return port_; }
    const std::string& dir() const { return dir_.path(); }
    std::string log() const;

private:
    TempDir dir_;
    int port_;
    std::string extraConfig_;
    Child process_;
};

class TestSubscriber {
public:
    // mosquitto_sub -c -i ID -q 1 on `topic`; `extraArgs` for TLS (--cafile ...).
    TestSubscriber(const TestBroker& broker, std::string topic, std::string id,
                   std::vector<std::string> extraArgs = {});
    // Starts it and waits for its subscription to be acknowledged (up to 10 s).
    bool start();
    void stop();
    // The payloads received so far, one per line.
    std::vector<std::string> lines() const;
    // Waits until at least `count` lines arrived; false on timeout.
    bool waitForLines(std::size_t count, std::chrono::milliseconds timeout) const;
    // Waits until `done` holds for the lines received; false on timeout.
    bool waitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                 std::chrono::milliseconds timeout) const;
    // Waits until the last line is `text`; false on timeout.
    bool waitForLast(const std::string& text, std::chrono::milliseconds timeout) const;

private:
    const TestBroker& broker_;
    std::string topic_;
    std::string id_;
    std::vector<std::string> extraArgs_;
    std::string outFile_;
    std::string errFile_;
    Child process_;
};

} // namespace dmm::testing
