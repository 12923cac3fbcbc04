// Putting a file back at its path from a descriptor that still holds it (the logger's file,
// deleted or moved away while open): its bytes go to a new file in the same folder, which is
// synced and then linked in under the path. link() never replaces what is there, so a file that
// someone else has put at the path meanwhile is left alone, and a reader never sees the path
// name a half-written file. The bytes stream through a small buffer: a file of days of rows
// needs no memory of them.
#pragma once

#include <string>
#include <sys/types.h>

namespace dmm::cli {

// Copies the first `size` bytes of `fd` to a new file named `path`, locked (flock, exclusive)
// and open for appending, with `mode` as its permissions. Returns the new file's descriptor
// (with, in `error`, a warning if its folder could not be synced, else nothing), or -1 with the
// reason in `error` (then nothing is left behind).
int putBackAtPath(int fd, off_t size, const std::string& path, mode_t mode, std::string& error);

} // namespace dmm::cli
