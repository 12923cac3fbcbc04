// The journal of the recording in progress (JournalFormat.h): an output of the pipeline that
// appends every recorded row and the table's other events to a file in the state folder, so
// that the recording survives the program's end without a save.
//
// Each record reaches the kernel (one write) before the call that told it returns, so a killed
// program loses no row; the file is synced at most once a second (a timer), so a power cut loses
// at most the last second. While it runs the journal holds a lock on its file, which tells the
// next window that this one is still alive. A write that fails (a full disk) cuts the file back
// to its last whole record and ends the journal for this run: recording goes on in memory and
// `failed` says why, once.
#pragma once

#include "ReadingSink.h"
#include "Recorder.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace dmm {

class RecordingJournal : public QObject, public ReadingSink {
    Q_OBJECT
public:
    // Starts a new journal in `folder` (which must exist), mirroring `recorder` and its table.
    // Null with `error` set when the file cannot be made.
    static std::unique_ptr<RecordingJournal> create(const QString& folder, const Recorder& recorder,
                                                    QString& error);
    // Goes on with a journal whose rows were restored into the table: `fd` is its open, locked
    // descriptor (taken over), `wholeBytes` where its last whole record ends.
    static std::unique_ptr<RecordingJournal> resume(const QString& path, int fd,
                                                    std::int64_t wholeBytes, bool unsaved,
                                                    const Recorder& recorder, QString& error);
    // Synced and closed; removed when it holds nothing a save did not cover.
    ~RecordingJournal() override;

    QString path() const { return path_; }
    bool ok() const { return live_; }
    // Called once, when the journal stops protecting the recording, with the reason.
    std::function<void(const QString&)> failed;

    void readingDecoded(const CurrentReading& reading) override;
    void rowRecorded(const RecordedRow& row) override;
    void tableLoaded(const ReadingsTable& table, int first) override;
    void tableCleared() override;
    void tableSaved(const QString& path) override;

private:
    RecordingJournal(const QString& path, int fd, const Recorder& recorder);
    // Starts the file afresh: header and the recorder's state.
    bool begin();
    void noteState();
    void write(const QByteArray& bytes);
    void fail(const QString& why);
    void sync();

    QString path_;
    int fd_;
    const Recorder& recorder_;
    bool live_;             // still written to
    bool reported_ = false; // `failed` was called
    RecorderState written_; // the recorder's state as a reader of the file works it out
    std::int64_t size_ = 0; // the bytes of whole records in the file
    bool dirty_ = false;    // written since the last sync
    bool unsaved_ = false;  // rows recorded since the last save
    QByteArray buffer_;
    QTimer syncTimer_;
};

} // namespace dmm
