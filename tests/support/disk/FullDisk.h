// A directory that runs out of space after a few kilobytes, for tests of writes that fail part-way.
//
// Where a file system can be mounted (the tests run as root in CI), it is a tmpfs of the given
// size. Elsewhere the directory is an ordinary temporary one and the writers run under a file
// size limit of that size (RLIMIT_FSIZE, what "ulimit -f" sets) with SIGXFSZ ignored, so a write
// past it fails with EFBIG as one on a full disk fails with ENOSPC. describe() says which one is
// in use, and a test prints it: neither is ever skipped silently. DMM_TEST_FULL_DISK=ulimit
// chooses the file size limit even where a tmpfs could be mounted.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <sys/resource.h>

class QProcess;

namespace dmm::test {

class FullDisk {
public:
    enum class Method { Tmpfs, FileSizeLimit };

    // `preferred`: Tmpfs falls back to FileSizeLimit when no tmpfs can be mounted.
    explicit FullDisk(long long capacity, Method preferred = Method::Tmpfs);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool isValid() const { return dir_.isValid(); }
    Method method() const { return method_; }
    long long capacity() const { return capacity_; }
    // "a tmpfs of 65536 bytes" or "a file size limit of 65536 bytes (ulimit -f 64), SIGXFSZ
    // ignored", and why a tmpfs was not used.
    QString describe() const;
    QString filePath(const QString& name) const { return dir_.filePath(name); }

    // A process the test starts writes under the limit (FileSizeLimit; nothing for a tmpfs).
    void limit(QProcess& process) const;

    // The test program's own writes are under the limit while a Scope lives (FileSizeLimit).
    class Scope {
    public:
        explicit Scope(const FullDisk& disk);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        bool active_ = false;
        rlimit saved_{};
        struct sigaction savedAction_ {};
    };

private:
    QTemporaryDir dir_;
    long long capacity_;
    Method method_ = Method::FileSizeLimit;
    bool mounted_ = false;
    QString whyNoTmpfs_;
};

// Runs `body` on a FullDisk of `capacity` bytes once per method: on a tmpfs where one can be
// mounted, and under a file size limit always. Each run prints which disk it had ("[ full disk ]"),
// records it as a test property and traces it in failures; where no tmpfs could be mounted the
// tmpfs run is left out, and the printed line says why. A fatal failure in `body` ends that run.
void forEachFullDisk(long long capacity, const std::function<void(FullDisk& disk)>& body);

// What a write that failed part-way must leave: the file at `path` still holds `old`, and it is
// the only file in its folder (no partial or temporary file beside it).
void expectOldFileKept(const QString& path, const QByteArray& old);

} // namespace dmm::test
