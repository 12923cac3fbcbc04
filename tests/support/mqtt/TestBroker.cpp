#include "TestBroker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace dmm::testing {

namespace {

bool portTakesConnections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

std::string currentUser() {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw ? pw->pw_name : "root";
}

template <typename Done> bool waitUntil(Done done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/dmm-mqtt-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

int freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

Child::~Child() {
    if (pid_ > 0) stop(SIGKILL);
}

bool Child::start(const std::vector<std::string>& argv, const std::string& outFile,
                  const std::string& errFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) pid_ = -1;
    return rc == 0;
}

int Child::stop(int signal) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

int runShell(const std::string& command) {
    return std::system(command.c_str());
}

TestBroker::TestBroker(std::string extraConfig)
    : port_(freeLoopbackPort()), extraConfig_(std::move(extraConfig)) {}

TestBroker::~TestBroker() {
    stop(SIGKILL);
}

bool TestBroker::start() {
    const std::string conf = dir() + "/mosquitto.conf";
    std::ostringstream c;
    c << "listener " << port_ << " 127.0.0.1\n"
      << "allow_anonymous true\n"
      // Started as root, mosquitto would switch to its own user, who cannot write here.
      << "user " << currentUser() << "\n"
      << "persistence true\n"
      << "persistence_location " << dir() << "/\n"
      << "log_dest file " << dir() << "/mosquitto.log\n"
      << "log_type all\n"
      << extraConfig_;
    if (!writeFile(conf, c.str())) return false;
    if (!process_.start({"mosquitto", "-c", conf}, dir() + "/broker.out", dir() + "/broker.err"))
        return false;
    return waitUntil([this] { return portTakesConnections(port_); }, std::chrono::seconds(10));
}

void TestBroker::stop(int signal) {
    process_.stop(signal);
}

std::string TestBroker::log() const {
    return readFile(dir() + "/mosquitto.log") + readFile(dir() + "/broker.err");
}

TestSubscriber::TestSubscriber(const TestBroker& broker, std::string topic, std::string id,
                               std::vector<std::string> extraArgs)
    : broker_(broker), topic_(std::move(topic)), id_(std::move(id)),
      extraArgs_(std::move(extraArgs)), outFile_(broker.dir() + "/" + id_ + ".out"),
      errFile_(broker.dir() + "/" + id_ + ".err") {}

bool TestSubscriber::start() {
    std::vector<std::string> argv = {"mosquitto_sub",
                                     "-h",
                                     "127.0.0.1",
                                     "-p",
                                     std::to_string(broker_.port()),
                                     "-t",
                                     topic_,
                                     "-q",
                                     "1",
                                     "-c",
                                     "-i",
                                     id_};
    argv.insert(argv.end(), extraArgs_.begin(), extraArgs_.end());
    if (!process_.start(argv, outFile_, errFile_)) return false;
    // The broker logs each acknowledged subscription ("Sending SUBACK to ID").
    const std::string subAck = "Sending SUBACK to " + id_;
    return waitUntil([&] { return broker_.log().find(subAck) != std::string::npos; },
                     std::chrono::seconds(10));
}

void TestSubscriber::stop() {
    process_.stop(SIGTERM);
}

std::vector<std::string> TestSubscriber::lines() const {
    std::vector<std::string> out;
    std::istringstream in(readFile(outFile_));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

bool TestSubscriber::waitForLines(std::size_t count, std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return lines().size() >= count; }, timeout);
}

bool TestSubscriber::waitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                             std::chrono::milliseconds timeout) const {
    return waitUntil([&] { return done(lines()); }, timeout);
}

bool TestSubscriber::waitForLast(const std::string& text, std::chrono::milliseconds timeout) const {
    return waitUntil(
        [&] {
            const std::vector<std::string> l = lines();
            return !l.empty() && l.back() == text;
        },
        timeout);
}

} // namespace dmm::testing
