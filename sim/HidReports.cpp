#include "HidReports.h"

#include <algorithm>

namespace dmm::sim {

std::vector<InputReport> encodeReports(const std::uint8_t* bytes, std::size_t n,
                                       std::size_t maxPayload, std::size_t idleAfter) {
    maxPayload = std::clamp<std::size_t>(maxPayload, 1, 7);
    idleAfter = std::max<std::size_t>(idleAfter, 1);
    std::vector<InputReport> out;
    out.reserve((n + maxPayload - 1) / maxPayload + idleAfter);
    for (std::size_t at = 0; at < n; at += maxPayload) {
        const std::size_t k = std::min(maxPayload, n - at);
        InputReport r{};
        r[1] = static_cast<std::uint8_t>(0xF0 | k);
        std::copy(bytes + at, bytes + at + k, r.begin() + 2);
        out.push_back(r);
    }
    InputReport idle{};
    idle[1] = 0xF0;
    out.insert(out.end(), idleAfter, idle);
    return out;
}

} // namespace dmm::sim
