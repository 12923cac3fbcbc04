// A preloaded library (LD_PRELOAD) for tests of a program that must notice a disk reporting a
// write error late: fdatasync() or close() of the file named by DMM_FAIL_PATH fails with EIO,
// as DMM_FAIL_CALL says ("fdatasync" or "close"; close() still releases the descriptor). Every
// other call goes through unchanged.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

bool failsHere(const char* call, int fd) {
    const char* which = std::getenv("DMM_FAIL_CALL");
    const char* path = std::getenv("DMM_FAIL_PATH");
    if (!which || !path || std::strcmp(which, call) != 0) return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0) return false;
    target[n] = '\0';
    return std::strcmp(target, path) == 0;
}

template <class F> F next(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fdatasync(int fd) {
    static const auto real = next<int (*)(int)>("fdatasync");
    if (failsHere("fdatasync", fd)) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}

extern "C" int close(int fd) {
    static const auto real = next<int (*)(int)>("close");
    const bool fail = failsHere("close", fd);
    const int rc = real(fd);
    if (!fail) return rc;
    errno = EIO;
    return -1;
}
