#include "FileCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dmm::cli {

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            if (w == 0) errno = EIO;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// The bytes [0, size) of `from` appended to `to`.
bool copyBytes(int from, off_t size, int to) {
    char buf[64 * 1024];
    for (off_t at = 0; at < size;) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(sizeof buf, size - at));
        const ssize_t n = ::pread(from, buf, want, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO; // the file is shorter than it should be
            return false;
        }
        if (!writeAll(to, buf, static_cast<std::size_t>(n))) return false;
        at += n;
    }
    return true;
}

// The new file's folder entry reaches the disk, as its bytes did.
bool syncFolder(const std::string& path) {
    const int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    const bool ok = ::fsync(dir) == 0;
    const int err = errno;
    ::close(dir);
    errno = err;
    return ok;
}

} // namespace

int putBackAtPath(int fd, off_t size, const std::string& path, mode_t mode, std::string& error) {
    const auto slash = path.find_last_of('/');
    std::string temp = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
                       ".dmm-log-XXXXXX";
    const int out = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out < 0) {
        error = std::string("cannot create a file in its folder: ") + std::strerror(errno);
        return -1;
    }
    const char* step = "cannot copy its rows into a new file";
    bool ok = copyBytes(fd, size, out);
    if (ok) step = "cannot set the new file's permissions";
    if (ok) ok = ::fchmod(out, mode) == 0;
    if (ok) step = "cannot lock the new file";
    if (ok) ok = ::flock(out, LOCK_EX | LOCK_NB) == 0;
    if (ok) step = "cannot sync the new file";
    if (ok) ok = ::fsync(out) == 0;
    if (ok) step = "cannot open the new file for appending";
    if (ok) ok = ::fcntl(out, F_SETFL, O_APPEND) == 0;
    if (ok) step = "cannot link the new file in under its name";
    if (ok) ok = ::link(temp.c_str(), path.c_str()) == 0;
    const int err = errno;
    ::unlink(temp.c_str());
    if (!ok) {
        error = std::string(step) + ": " + std::strerror(err);
        ::close(out);
        return -1;
    }
    // The file is in place with every row; only a power cut could still lose its name.
    error.clear();
    if (!syncFolder(path))
        error = std::string("its folder could not be synced (") + std::strerror(errno) +
                "), so a power cut may still lose it";
    return out;
}

} // namespace dmm::cli
