#include "RescanChangeSource.h"

#include <dirent.h>

namespace dmm {

RescanChangeSource::RescanChangeSource(std::string directory, int intervalMs)
    : directory_(std::move(directory)), intervalMs_(intervalMs), last_(list()) {}

std::set<std::string> RescanChangeSource::list() const {
    std::set<std::string> names;
    DIR* dir = ::opendir(directory_.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.') names.insert(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

bool RescanChangeSource::drain() {
    std::set<std::string> now = list();
    const bool changed = now != last_;
    last_ = std::move(now);
    return changed;
}

} // namespace dmm
