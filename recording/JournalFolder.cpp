#include "JournalFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace dmm {

namespace {

// The first line of a journal, enough for its start; nothing when it has none.
QDateTime startOf(int fd) {
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) return {};
    const QByteArray line = f.readLine(256);
    if (!looksLikeJournal(line)) return {};
    bool ok = false;
    const qint64 ms = line.split('\t').value(2).trimmed().toLongLong(&ok);
    return ok ? QDateTime::fromMSecsSinceEpoch(ms) : QDateTime();
}

} // namespace

JournalFolder::~JournalFolder() {
    if (offer_ && offer_->fd >= 0) ::close(offer_->fd);
}

void JournalFolder::scan() {
    const QFileInfoList files =
        QDir(folder_).entryInfoList({QStringLiteral("*") + QLatin1String(kJournalSuffix)},
                                    QDir::Files | QDir::Hidden, QDir::Time);
    for (const QFileInfo& info : files) {
        const QString path = info.absoluteFilePath();
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0) continue; // not ours to read
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd); // its window is running
            continue;
        }
        look(path, fd);
    }
}

void JournalFolder::look(const QString& path, int fd) {
    QString error;
    if (offer_) {
        // Older than the one offered: set aside as under No, unread.
        const QDateTime start = startOf(fd);
        if (start.isValid()) {
            if (setAside(path, nameByDate(start), error).isEmpty()) notes_ << error;
        } else {
            const QString moved = setAside(path, QString(), error);
            notes_ << (moved.isEmpty()
                           ? error
                           : QStringLiteral("%1 is not a recording journal; moved to %2")
                                 .arg(path, moved));
        }
        ::close(fd);
        return;
    }
    auto offer = std::make_unique<JournalOffer>();
    offer->path = path;
    offer->fd = fd;
    offer->table = std::make_unique<ReadingsTable>();
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        error = f.errorString();
    } else {
        error = readJournal(f, *offer->table, offer->summary);
        f.close();
    }
    if (!error.isEmpty()) {
        const QString moved = setAside(path, QString(), error);
        notes_ << (moved.isEmpty() ? error
                                   : QStringLiteral("%1 %2; moved to %3").arg(path, error, moved));
        ::close(fd);
        return;
    }
    if (!offer->summary.unsaved) {
        QFile::remove(path); // every recorded row of it was saved
        ::close(fd);
        return;
    }
    offer_ = std::move(offer);
}

QString JournalFolder::setAsideOffer() {
    if (!offer_) return QString();
    QString error;
    setAside(offer_->path, nameByDate(offer_->summary.startedAt), error);
    ::close(offer_->fd);
    offer_.reset();
    return error;
}

int JournalFolder::takeOfferFd() {
    const int fd = offer_ ? offer_->fd : -1;
    if (offer_) offer_->fd = -1;
    return fd;
}

QString JournalFolder::nameByDate(const QDateTime& startedAt) {
    return startedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
}

QString JournalFolder::setAside(const QString& path, const QString& name, QString& error) {
    const QFileInfo info(path);
    const QString folder = info.absoluteDir().filePath(QStringLiteral("recordings"));
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create the folder %1").arg(folder);
        return QString();
    }
    const QString base = name.isEmpty() ? info.completeBaseName() : name;
    const QString suffix = name.isEmpty() ? info.suffix() : QString::fromLatin1(kJournalSuffix + 1);
    for (int n = 1; n < 1000; ++n) {
        const QString target =
            QDir(folder).filePath((n == 1 ? base : QStringLiteral("%1_%2").arg(base).arg(n)) +
                                  (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix));
        if (QFileInfo::exists(target)) continue;
        // link + unlink rather than rename: a name taken meanwhile is never overwritten.
        if (::link(QFile::encodeName(path).constData(), QFile::encodeName(target).constData()) !=
            0) {
            if (errno == EEXIST) continue;
            error = QStringLiteral("cannot move %1 to %2").arg(path, folder);
            return QString();
        }
        ::unlink(QFile::encodeName(path).constData());
        return target;
    }
    error = QStringLiteral("cannot move %1: too many set-aside recordings of that name").arg(path);
    return QString();
}

} // namespace dmm
