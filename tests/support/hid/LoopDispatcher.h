#pragma once

#include "GuiDispatcher.h"

#include <algorithm>
#include <chrono>

namespace dmm {

// The tests' GUI thread, which serves calls in a loop of its own instead of an event loop:
// wake() does nothing, since handOver() already signals the condition that waitForCalls() waits
// on.
class LoopDispatcher : public GuiDispatcher {
public:
    void wake() override {}
    // Serves calls until `done()` is true or `timeout` has passed; true if `done()` became true.
    template <class Pred> bool serveUntil(Pred done, std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= end) return false;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
            waitForCalls(std::min(left, std::chrono::milliseconds(5)));
            serve();
        }
        return true;
    }
};

} // namespace dmm
