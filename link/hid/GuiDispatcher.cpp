#include "GuiDispatcher.h"

namespace dmm {

std::size_t GuiDispatcher::serve() {
    std::size_t ran = 0;
    std::unique_lock lock(mutex_);
    while (!queue_.empty()) {
        HandOver* call = queue_.front();
        queue_.pop_front();
        lock.unlock();
        call->run(call->context);
        lock.lock();
        // The depositing thread may return and reuse `call` as soon as the lock is released.
        call->done = true;
        condition_.notify_all();
        ++ran;
    }
    return ran;
}

bool GuiDispatcher::waitForCalls(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return condition_.wait_for(lock, timeout, [this] { return !queue_.empty(); });
}

void GuiDispatcher::handOver(HandOver& call) {
    {
        std::lock_guard lock(mutex_);
        call.done = false;
        queue_.push_back(&call);
    }
    // Also wakes a GUI thread that is stopping a read thread and waits on this condition.
    condition_.notify_all();
    wake();
    std::unique_lock lock(mutex_);
    condition_.wait(lock, [&call] { return call.done; });
}

} // namespace dmm
