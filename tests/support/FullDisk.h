// A directory on a full disk, for tests of failed writes. Where the test runs as root (as CI
// does) a 64 KiB tmpfs is mounted on the directory; elsewhere the file size limit stands in for
// it (RLIMIT_FSIZE, "ulimit -f", with SIGXFSZ ignored so that a write past it fails with EFBIG
// instead of killing the process). The limit is applied only between arm() and disarm() in this
// process, and always to a child started through applyToChild(). method() says which one is in
// use; a test prints it, and fails (never skips) when neither works. DMM_TEST_FULL_DISK=ulimit
// picks the file size limit even where the mount would work.
#pragma once

#include <QDir>
#include <QProcess>
#include <QString>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

#include <iostream>

namespace dmm::test {

class FullDisk {
public:
    static constexpr rlim_t kBytes = 64 * 1024;

    explicit FullDisk(const QString& dir) : dir_(dir) {
        QDir().mkpath(dir);
        // DMM_TEST_FULL_DISK=ulimit tries the fallback where the mount would work.
        const bool mount = qEnvironmentVariable("DMM_TEST_FULL_DISK") != QLatin1String("ulimit");
        if (mount &&
            ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=64k") == 0) {
            method_ = QStringLiteral("tmpfs size=64k");
            mounted_ = true;
        } else {
            method_ = QStringLiteral("ulimit -f 64 (KiB), SIGXFSZ ignored");
        }
        std::cout << "[ full disk ] " << method_.toStdString() << " at " << dir.toStdString()
                  << std::endl;
    }
    ~FullDisk() {
        disarm();
        if (mounted_) ::umount2(QFile::encodeName(dir_).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    const QString& method() const { return method_; }
    bool isTmpfs() const { return mounted_; }

    // Makes this process's writes in the directory fail once a file passes 64 KiB (a no-op on
    // the tmpfs, which is full by itself).
    void arm() {
        if (mounted_ || armed_) return;
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = kBytes;
        armed_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    void disarm() {
        if (!armed_) return;
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
        armed_ = false;
    }
    // The same for a child process started later.
    void applyToChild(QProcess& process) const {
        if (mounted_) return;
        process.setChildProcessModifier([] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit;
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = kBytes;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }

private:
    QString dir_;
    QString method_;
    bool mounted_ = false;
    bool armed_ = false;
    rlimit saved_{};
    void (*oldHandler_)(int) = SIG_DFL;
};

} // namespace dmm::test
