#include "LogFile.h"

#include "CsvFile.h"
#include "FileCopy.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dmm::cli {

namespace {

constexpr std::string_view kHeaderLine = "No\tTime\tDC/AC\tValue\tUnit\tAUTO";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The loader's token separators: codes 1 to 32; in CSV the comma too.
bool separator(unsigned char c, LogFile::Format format) {
    return (c >= 1 && c <= 32) || (format == LogFile::Format::Csv && c == ',');
}

bool endsInXml(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    return dot != std::string::npos && name.substr(dot) == ".xml";
}

// What the first line of an existing file says about appending to it: empty if it is the text
// file's header, else the reason to refuse.
std::string judgeFirstLine(std::string first, LogFile::Format format) {
    if (first.compare(0, kUtf8Bom.size(), kUtf8Bom) == 0) first.erase(0, kUtf8Bom.size());
    if (format == LogFile::Format::Csv) {
        const std::string_view header = CsvFile::kHeader;
        if (first == header.substr(0, header.find('\r'))) return {};
        return "its first line is not the CSV header (no, time, function, display, unit, value, "
               "base_unit, range, judge), so it is not a CSV file dmm log appends to";
    }
    if (first == kHeaderLine) return {};
    const auto start = first.find_first_not_of(" \t");
    if (start != std::string::npos && first[start] == '<')
        return "it is an XML table file, which dmm log does not append to";
    return "its first line is not the data file header (No, Time, DC/AC, Value, Unit, AUTO), so "
           "it is not a data file dmm log appends to";
}

} // namespace

LogFile::~LogFile() {
    if (fd_ < 0 || !isFile()) return;
    // Only the file this run made, and only while the path still names it.
    if (created_ && !keep_ && pathNamesOpenFile()) ::unlink(path_.c_str());
    ::close(fd_);
}

bool LogFile::pathNamesOpenFile() const {
    struct stat atFd {};
    struct stat atPath {};
    return ::fstat(fd_, &atFd) == 0 && ::stat(path_.c_str(), &atPath) == 0 && atFd.st_nlink > 0 &&
           atFd.st_dev == atPath.st_dev && atFd.st_ino == atPath.st_ino;
}

void LogFile::useStandardOutput() {
    fd_ = STDOUT_FILENO;
    path_.clear();
}

bool LogFile::fail(const char* what, int err) {
    errno_ = err;
    error_ = std::string(what) + " " + (isFile() ? path_ : "standard output") + ": " +
             std::strerror(err);
    return false;
}

std::string LogFile::open(const std::string& path, Format format) {
    format_ = format;
    const std::string nothing = "; nothing was written";
    if (endsInXml(path))
        return "refusing " + path +
               ": a name ending in .xml is an XML table file, which dmm log does not append to" +
               nothing;
    constexpr int kFlags = O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC;
    int fd = ::open(path.c_str(), kFlags | O_EXCL, 0644);
    created_ = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), kFlags, 0644);
    if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
    fd_ = fd;
    path_ = path;
    // A lock of the open file: it goes with the process, so a killed logger leaves none behind.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return path + " is in use by another logger (it is locked)" + nothing;
        return "cannot lock " + path + ": " + std::strerror(errno) + nothing;
    }
    const std::string refusal = inspect();
    if (!refusal.empty()) return "refusing " + path + ": " + refusal + nothing;
    return {};
}

// Reads the whole file once: its first line, its rows and the record number of its last
// complete row. The file may be large (ten million rows); it streams through a small buffer.
std::string LogFile::inspect() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return std::string("cannot read it: ") + std::strerror(errno);
    // A device or a pipe (/dev/null, a FIFO) is written as it comes: no format, nothing to cut
    // back or sync.
    regular_ = S_ISREG(st.st_mode);
    if (!regular_) return {};
    committed_ = st.st_size;
    hasContent_ = st.st_size > 0;
    std::string first, token;
    bool inFirst = true, lineHasToken = false, tokenDone = false;
    std::optional<long long> lowestOnly; // a number of a row, while none is above 0
    char buf[64 * 1024];
    for (off_t at = 0; at < st.st_size;) {
        const ssize_t n = ::pread(fd_, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::string("cannot read it: ") + std::strerror(n < 0 ? errno : EIO);
        at += n;
        for (ssize_t i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(buf[i]);
            endsWithLineEnd_ = c == '\r' || c == '\n';
            if (endsWithLineEnd_) {
                if (inFirst) {
                    if (std::string why = judgeFirstLine(first, format_); !why.empty()) return why;
                    inFirst = false;
                } else if (lineHasToken) {
                    ++rows_;
                    char* end = nullptr;
                    const long long no = std::strtoll(token.c_str(), &end, 10);
                    if (*end == '\0' && no > INT_MIN && no <= INT_MAX) {
                        // Numbering goes on after the largest positive number: rows numbered
                        // 0 or below (hand-made, or from another program) are no place to
                        // count up from, as the next rows would clash with 1, 2, ...
                        if (no > 0)
                            lastRecordNo_ = std::max(no, lastRecordNo_.value_or(0));
                        else if (!lastRecordNo_)
                            lowestOnly = no;
                    }
                }
                token.clear();
                lineHasToken = tokenDone = false;
            } else if (inFirst) {
                if (first.size() < 256) first += static_cast<char>(c);
            } else if (separator(c, format_)) {
                tokenDone = lineHasToken;
            } else {
                lineHasToken = true;
                // The first token, bounded: one this long is no record number anyway.
                if (!tokenDone && token.size() <= 24)
                    token += token.size() < 24 ? static_cast<char>(c) : 'x';
            }
        }
    }
    // A header torn before its line end is closed by start(); any other first line is refused.
    if (inFirst && hasContent_) return judgeFirstLine(first, format_);
    if (!endsWithLineEnd_ && lineHasToken) ++rows_; // a torn last row, closed by start()
    if (!lastRecordNo_ && lowestOnly)
        return "its rows hold no record number above 0 (one is " + std::to_string(*lowestOnly) +
               "), so numbering has nothing to go on from";
    rowsAtOpen_ = rows_;
    return {};
}

bool LogFile::start(QByteArrayView header) {
    if (!isFile()) return appendLine(header, false);
    if (!endsWithLineEnd_ && !appendLine("\r\n", false)) return false;
    if (!hasContent_ && !appendLine(header, false)) return false;
    return true;
}

bool LogFile::appendLine(QByteArrayView line, bool isRow) {
    const char* p = line.data();
    std::size_t left = static_cast<std::size_t>(line.size());
    int err = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            err = n < 0 ? errno : EIO; // no progress at all is a failure too
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (err == 0) {
        committed_ += line.size();
        if (isRow) ++rows_;
        keep_ = keep_ || isRow;
        dirty_ = true;
        return true;
    }
    fail("cannot write", err);
    // Whatever part of the line went out is taken back, so that no reader takes it for a row.
    if (regular_ && left < static_cast<std::size_t>(line.size())) {
        if (::ftruncate(fd_, committed_) != 0)
            error_ += std::string("; cutting it back to its last complete line failed too: ") +
                      std::strerror(errno);
        else if (::fdatasync(fd_) != 0)
            error_ += std::string("; syncing it after cutting it back failed too: ") +
                      std::strerror(errno);
    }
    return false;
}

// The file deleted or moved away under the logger is put back at its path, from the open file,
// which still holds every row; without that, rows would go on into a file nobody can reach and
// the run would end calling them saved.
bool LogFile::putBack() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return fail("cannot check", errno);
    const bool moved = st.st_nlink > 0;
    const std::string what = path_ + (moved ? " was moved away or replaced" : " was deleted");
    std::string warning;
    const int fd = putBackAtPath(fd_, committed_, path_, st.st_mode & 07777, warning);
    if (fd < 0) {
        gone_ = true;
        errno_ = EIO;
        error_ = what + ", and cannot be put back: " + warning;
        const std::string n = std::to_string(rows_) + (rows_ == 1 ? " row is" : " rows are");
        fate_ = moved ? what + ": its " + n + " in the file under its new name, none at " + path_
                      : what + ": its " + n + " lost (they were only in the deleted file)";
        return false;
    }
    ::close(fd_);
    fd_ = fd;
    dirty_ = false; // the new file was synced whole
    if (notice_)
        notice_(what + "; it is made again with its " + std::to_string(rows_) +
                (rows_ == 1 ? " row" : " rows") + " and recording goes on" +
                (warning.empty() ? std::string() : "; " + warning));
    return true;
}

bool LogFile::sync() {
    if (!regular_ || gone_) return true; // a file that could not be put back was told already
    if (!pathNamesOpenFile() && !putBack()) return false;
    if (!dirty_) return true;
    dirty_ = false;
    if (::fdatasync(fd_) != 0) return fail("cannot sync", errno);
    return true;
}

bool LogFile::close() {
    if (!isFile() || fd_ < 0) return true;
    dirty_ = true; // the last rows and any cutting back reach the disk before the end
    const bool synced = sync();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail("cannot close", errno);
    return synced;
}

} // namespace dmm::cli
