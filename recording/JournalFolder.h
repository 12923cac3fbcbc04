// The journals in the state folder at a window's start: which one to offer back, which to set
// aside into the folder's `recordings/`, which are no journals at all. A journal whose window
// still runs is locked by it and left alone; every other `*.journal` is locked here while it is
// looked at. Other files in the folder are never touched.
#pragma once

#include "JournalFormat.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace dmm {

// A journal to offer back: locked (fd, owned until handed on), read into `table`.
struct JournalOffer {
    QString path;
    int fd = -1;
    JournalSummary summary;
    std::unique_ptr<ReadingsTable> table;
};

class JournalFolder {
public:
    explicit JournalFolder(QString folder) : folder_(std::move(folder)) {}
    ~JournalFolder();
    JournalFolder(const JournalFolder&) = delete;
    JournalFolder& operator=(const JournalFolder&) = delete;

    // Looks at every journal no running window holds, newest first: the newest that holds rows
    // not covered by a save is the offer; the older ones are set aside; one that holds nothing
    // unsaved is removed. What is not a journal is set aside too, and `notes` names it.
    void scan();
    JournalOffer* offer() { return offer_.get(); }
    QStringList notes() const { return notes_; }

    // Moves the offer into `recordings/` (the answer No); empty on success, else why not.
    QString setAsideOffer();
    // Hands the offer's descriptor on (the journal goes on); the offer is done with.
    int takeOfferFd();

    // Moves `path` into `recordings/` beside it under `name`.journal (or the file's own name
    // when `name` is empty), with a counter where that name is taken; the new path, or empty
    // with `error` set.
    static QString setAside(const QString& path, const QString& name, QString& error);
    // "2026-12-10_130522": a set-aside journal's name, by the recording's start.
    static QString nameByDate(const QDateTime& startedAt);

private:
    void look(const QString& path, int fd);

    QString folder_;
    std::unique_ptr<JournalOffer> offer_;
    QStringList notes_;
};

} // namespace dmm
