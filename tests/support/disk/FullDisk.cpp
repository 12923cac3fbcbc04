#include "FullDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace dmm::test {

FullDisk::FullDisk(long long capacity, Method preferred) : capacity_(capacity) {
    if (!dir_.isValid()) return;
    const QByteArray forced = qgetenv("DMM_TEST_FULL_DISK");
    if (forced == "ulimit") {
        whyNoTmpfs_ = QStringLiteral("DMM_TEST_FULL_DISK=ulimit");
    } else if (preferred == Method::Tmpfs) {
        const QByteArray options = "size=" + QByteArray::number(capacity) + ",mode=0700";
        if (::mount("tmpfs", QFile::encodeName(dir_.path()).constData(), "tmpfs",
                    MS_NOSUID | MS_NODEV, options.constData()) == 0) {
            mounted_ = true;
            method_ = Method::Tmpfs;
        } else {
            whyNoTmpfs_ =
                QStringLiteral("no tmpfs: mount: ") + QString::fromLocal8Bit(std::strerror(errno));
        }
    }
}

FullDisk::~FullDisk() {
    // Detached: a file a test still holds open does not keep the mount.
    if (mounted_) ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
}

QString FullDisk::describe() const {
    if (method_ == Method::Tmpfs)
        return QStringLiteral("full disk: a tmpfs of %1 bytes at %2")
            .arg(capacity_)
            .arg(dir_.path());
    return QStringLiteral("full disk: a file size limit of %1 bytes (ulimit -f %2), SIGXFSZ "
                          "ignored (%3)")
        .arg(capacity_)
        .arg(capacity_ / 1024)
        .arg(whyNoTmpfs_.isEmpty() ? QStringLiteral("chosen") : whyNoTmpfs_);
}

void FullDisk::limit(QProcess& process) const {
    if (method_ != Method::FileSizeLimit) return;
    const rlim_t bytes = static_cast<rlim_t>(capacity_);
    // Runs in the child between fork and exec: system calls only.
    process.setChildProcessModifier([bytes] {
        const rlimit l{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &l);
        ::signal(SIGXFSZ, SIG_IGN);
    });
}

FullDisk::Scope::Scope(const FullDisk& disk) {
    if (disk.method_ != Method::FileSizeLimit) return;
    active_ = true;
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    const rlim_t bytes = static_cast<rlim_t>(disk.capacity_);
    const rlimit l{bytes, saved_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &l);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &savedAction_);
}

FullDisk::Scope::~Scope() {
    if (!active_) return;
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::sigaction(SIGXFSZ, &savedAction_, nullptr);
}

void forEachFullDisk(long long capacity, const std::function<void(FullDisk& disk)>& body) {
    for (const FullDisk::Method method :
         {FullDisk::Method::Tmpfs, FullDisk::Method::FileSizeLimit}) {
        FullDisk disk(capacity, method);
        ASSERT_TRUE(disk.isValid());
        const std::string described = disk.describe().toStdString();
        std::printf("[ full disk ] %s\n", described.c_str());
        ::testing::Test::RecordProperty(
            method == FullDisk::Method::Tmpfs ? "tmpfs_case" : "ulimit_case", described);
        if (method == FullDisk::Method::Tmpfs && disk.method() != method) continue; // said above
        SCOPED_TRACE(described);
        body(disk);
    }
}

void expectOldFileKept(const QString& path, const QByteArray& old) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(f.readAll(), old);
    EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QFileInfo(path).fileName()});
}

} // namespace dmm::test
