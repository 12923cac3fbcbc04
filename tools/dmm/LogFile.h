// The file dmm log appends rows to, or its standard output. Every row reaches the file whole or
// not at all: a write that fails part-way (a full disk, a file size limit) is cut back to the
// last complete line, and the file then holds exactly the rows it says it holds.
//
// Opening refuses, before anything is written, a file the logger does not append in: a name
// ending in ".xml" (the window reads such a file as an XML table file), and an existing file
// whose first line is not the text file's header (an XML table file, or any other format) or
// whose numbered rows are all numbered 0 or below (nothing to count on from). It
// also takes an exclusive lock on the file, so that a second logger refuses it rather than
// interleave rows with the same record numbers.
//
// A file that this run created is removed again, when the LogFile goes, unless the run got
// under way (keep()) or a row was written: a run that fails to start (a port that cannot be
// opened) leaves no header-only file behind to pass for a recording.
#pragma once

#include <QByteArrayView>

#include <functional>
#include <optional>
#include <string>

namespace dmm::cli {

class LogFile {
public:
    // What the file holds: the text data file, or the CSV of CsvFile.h (its header instead of
    // the text file's, and fields that end at commas too).
    enum class Format { Text, Csv };

    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Standard output: no lock, no format check, nothing to cut back (it may be a pipe).
    void useStandardOutput();
    // Opens (creating) `path` for appending, locks it, checks its format and reads where its
    // numbering ends. Returns an error text naming the file; empty on success. Writes nothing.
    std::string open(const std::string& path, Format format = Format::Text);

    // The run is under way: the file stays, even if no row comes.
    void keep() { keep_ = true; }

    // Writes the header if the file is empty, and closes a torn last line (left by a power cut)
    // so that the next row starts a line of its own. False on a failed write (see error()).
    bool start(QByteArrayView header);

    // Appends one whole line (its line end included), or nothing: after a failed write the file
    // is cut back to its last complete line and false is returned (see error()). `isRow`: the
    // line is a data row (counted in rows()).
    bool appendLine(QByteArrayView line, bool isRow = true);

    // Pushes what was appended since the last sync to the disk (fdatasync). False on failure.
    // First it checks that the path still names the open file: one deleted or moved away (a
    // cleanup job, a tmp reaper) is put back at the path with every row it holds, copied from
    // the open file, and appending goes on there (see notices). If it cannot be put back, sync
    // fails, error() says why and fate() what became of the rows.
    bool sync();
    // Syncs and closes the file, checking both. False on failure (see error()).
    bool close();

    bool isFile() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // The largest positive record number of the complete rows the file held when opened:
    // numbering goes on after it. A file whose rows are all numbered 0 or below is refused.
    std::optional<long long> lastRecordNo() const { return lastRecordNo_; }
    // The data rows the file holds: those it held when opened plus those appended since.
    long long rows() const { return rows_; }
    // The data rows appended since the file was opened.
    long long rowsAppended() const { return rows_ - rowsAtOpen_; }
    // Where the rows are when the file could not be put back at its path; empty otherwise.
    const std::string& fate() const { return fate_; }
    // Receives what the file went through that the user should know (it was put back).
    void setNoticeHandler(std::function<void(const std::string&)> notice) {
        notice_ = std::move(notice);
    }
    // What went wrong last, naming the file and the system's reason.
    const std::string& error() const { return error_; }
    // The errno of the last failure.
    int errorNumber() const { return errno_; }

private:
    bool fail(const char* what, int err);
    bool pathNamesOpenFile() const;
    bool putBack();
    std::string inspect();

    int fd_ = -1;
    std::string path_;
    Format format_ = Format::Text;
    long long committed_ = 0; // the file's size up to its last complete line
    long long rows_ = 0;
    long long rowsAtOpen_ = 0;
    bool regular_ = false; // a regular file: cut back and synced
    bool dirty_ = false;
    bool hasContent_ = false;
    bool endsWithLineEnd_ = true;
    bool created_ = false; // by this run's open()
    bool keep_ = false;
    bool gone_ = false; // deleted or moved away, and not put back
    std::string fate_;
    std::function<void(const std::string&)> notice_;
    std::optional<long long> lastRecordNo_;
    std::string error_;
    int errno_ = 0;
};

} // namespace dmm::cli
