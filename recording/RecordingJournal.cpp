#include "RecordingJournal.h"

#include "JournalFormat.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace dmm {

namespace {

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A record the size of a loaded file's rows is written in pieces of about this size.
constexpr qsizetype kWriteChunk = 1 << 16;

} // namespace

RecordingJournal::RecordingJournal(const QString& path, int fd, const Recorder& recorder)
    : path_(path), fd_(fd), recorder_(recorder), live_(fd >= 0) {
    syncTimer_.setInterval(1000);
    connect(&syncTimer_, &QTimer::timeout, this, [this] {
        noteState(); // what the sampling timer's duplicates changed
        sync();
    });
    syncTimer_.start();
}

std::unique_ptr<RecordingJournal>
RecordingJournal::create(const QString& folder, const Recorder& recorder, QString& error) {
    const QString name =
        QStringLiteral("recording-%1-%2")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
            .arg(QCoreApplication::applicationPid());
    // Made under a name no other window looks at, locked, and only then given its name: a
    // window starting meanwhile never finds it unlocked and empty.
    const QString fresh = QDir(folder).filePath(QLatin1Char('.') + name + QStringLiteral(".new"));
    const QByteArray local = QFile::encodeName(fresh);
    const int fd = ::open(local.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = QStringLiteral("cannot create %1: %2").arg(fresh, systemError());
        return nullptr;
    }
    std::unique_ptr<RecordingJournal> j(new RecordingJournal(QString(), fd, recorder));
    bool named = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && j->begin();
    // A link never replaces a journal of the same name (another window of this second).
    for (int n = 1; named && j->path_.isEmpty(); ++n) {
        const QString path =
            QDir(folder).filePath((n == 1 ? name : QStringLiteral("%1-%2").arg(name).arg(n)) +
                                  QLatin1String(kJournalSuffix));
        if (::link(local.constData(), QFile::encodeName(path).constData()) == 0)
            j->path_ = path;
        else if (errno != EEXIST || n > 100)
            named = false;
    }
    if (!named)
        error = QStringLiteral("cannot start a journal in %1: %2").arg(folder, systemError());
    ::unlink(local.constData());
    if (!named) return nullptr;
    return j;
}

std::unique_ptr<RecordingJournal> RecordingJournal::resume(const QString& path, int fd,
                                                           std::int64_t wholeBytes, bool unsaved,
                                                           const Recorder& recorder,
                                                           QString& error) {
    std::unique_ptr<RecordingJournal> j(new RecordingJournal(path, fd, recorder));
    // A torn last record goes, so that the next one starts on a line of its own.
    if (::ftruncate(fd, wholeBytes) != 0 || ::lseek(fd, wholeBytes, SEEK_SET) < 0) {
        error = QStringLiteral("cannot continue the journal %1: %2").arg(path, systemError());
        j->path_.clear(); // not ours to remove
        return nullptr;
    }
    j->size_ = wholeBytes;
    j->unsaved_ = unsaved;
    j->written_ = recorder.state();
    return j;
}

RecordingJournal::~RecordingJournal() {
    noteState();
    sync();
    // Nothing to restore: a journal would only be offered back for nothing.
    if (!unsaved_ && !path_.isEmpty()) QFile::remove(path_);
    ::close(fd_);
}

bool RecordingJournal::begin() {
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) < 0) return false;
    size_ = 0;
    unsaved_ = false;
    written_ = recorder_.state();
    buffer_ = journalHeader(QDateTime::currentMSecsSinceEpoch());
    appendStateRecord(buffer_, written_);
    write(buffer_);
    return live_;
}

void RecordingJournal::noteState() {
    if (!live_) return;
    const RecorderState now = recorder_.state();
    if (now == written_) return;
    buffer_.clear();
    appendStateRecord(buffer_, now);
    written_ = now;
    write(buffer_);
}

void RecordingJournal::readingDecoded(const CurrentReading&) {
    // A duplicate skips a number without a row; the state says so at once. Mostly equal ints.
    if (live_ && (recorder_.NextRecordNo() != written_.nextRecordNo ||
                  recorder_.RecordLimit() != written_.recordLimit))
        noteState();
}

void RecordingJournal::rowRecorded(const RecordedRow& row) {
    if (!live_) return;
    buffer_.clear();
    appendRecordedRow(buffer_, row.row, recorder_.LastRecordedKey());
    advanceState(written_, row.row, recorder_.LastRecordedKey());
    unsaved_ = true;
    write(buffer_);
    noteState();
}

void RecordingJournal::tableLoaded(const ReadingsTable& table, int first) {
    if (!live_) return;
    buffer_.clear();
    if (first == 0) appendReplacedRecord(buffer_);
    for (int i = first; i < table.size() && live_; ++i) {
        appendLoadedRow(buffer_, table.row(i));
        if (buffer_.size() < kWriteChunk && i + 1 < table.size()) continue;
        write(buffer_);
        buffer_.clear();
    }
    if (!buffer_.isEmpty()) write(buffer_);
}

void RecordingJournal::tableCleared() {
    // "Close Data": the rows were given up on purpose; the journal starts again (after a failure
    // too: the disk may have room again).
    live_ = true;
    if (!begin()) fail(QStringLiteral("cannot start %1 again: %2").arg(path_, systemError()));
}

void RecordingJournal::tableSaved(const QString&) {
    unsaved_ = false; // whether or not the journal can note it
    if (!live_) return;
    noteState();
    buffer_.clear();
    appendSavedRecord(buffer_);
    write(buffer_);
}

void RecordingJournal::write(const QByteArray& bytes) {
    if (!live_) return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const QString why = n < 0 ? systemError() : QStringLiteral("nothing written");
            // The rows before stay restorable: the file ends on a whole record.
            QString cut;
            if (::ftruncate(fd_, size_) != 0) cut = QStringLiteral(" (and cannot cut it back)");
            fail(QStringLiteral("cannot write %1: %2%3").arg(path_, why, cut));
            return;
        }
        done += n;
    }
    size_ += bytes.size();
    dirty_ = true;
}

void RecordingJournal::sync() {
    if (!live_ || !dirty_) return;
    dirty_ = false;
    if (::fdatasync(fd_) != 0) fail(QStringLiteral("cannot sync %1: %2").arg(path_, systemError()));
}

void RecordingJournal::fail(const QString& why) {
    // The file keeps its whole records, and its lock while the window runs: the next start
    // offers what it holds.
    syncTimer_.stop();
    const bool first = live_ && !reported_;
    live_ = false;
    if (!first) return;
    reported_ = true;
    if (failed) failed(why);
}

} // namespace dmm
