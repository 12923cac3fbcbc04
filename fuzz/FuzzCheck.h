// The one check of every fuzz target: a broken invariant names itself and aborts, which the
// fuzzer reports as a crash with its input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace dmm::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

#define DMM_CHECK(cond)                                                                            \
    do {                                                                                           \
        if (!(cond)) ::dmm::fuzz::fail(#cond, __FILE__, __LINE__);                                 \
    } while (0)

} // namespace dmm::fuzz
