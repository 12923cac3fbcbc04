// The hand-over from HID read threads to the GUI thread. A read thread deposits a call and blocks
// until the GUI thread has run it, so every handler runs on the GUI thread and a report is
// consumed before the next read starts. Only std::mutex and std::condition_variable order the
// threads here, which ThreadSanitizer can follow.
//
// The GUI side is abstract: after a call is deposited the read thread calls wake(), and the GUI
// toolkit's adapter arranges for serve() to run soon on the GUI thread (a queued call or an
// event); a plain program or a test serves in a loop of its own with waitForCalls() (the tests'
// LoopDispatcher).
//
// The dispatcher must outlive every device object and read thread that uses it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace dmm {

// One deposited call. Lives in the depositing thread, which waits until `done`.
struct HandOver {
    void (*run)(void* context) = nullptr;
    void* context = nullptr;
    bool done = false; // guarded by the dispatcher's mutex
};

class GuiDispatcher {
public:
    GuiDispatcher() = default;
    GuiDispatcher(const GuiDispatcher&) = delete;
    GuiDispatcher& operator=(const GuiDispatcher&) = delete;
    virtual ~GuiDispatcher() = default;

    // Any thread, after a call has been deposited: make the GUI thread call serve() soon.
    virtual void wake() = 0;

    // GUI thread: runs every deposited call, oldest first, including calls deposited while it
    // runs. Returns how many ran.
    std::size_t serve();

    // GUI thread: waits until a call is deposited or `timeout` has passed; true if one waits.
    bool waitForCalls(std::chrono::milliseconds timeout);

    // Read thread: deposits `call`, wakes the GUI thread and blocks until the call has run.
    void handOver(HandOver& call);

    // The one lock and condition of the hand-over; the read threads keep their stop and end
    // flags under it too, so that a single wait sees a deposited call, a stop request and a
    // thread's end alike.
    std::mutex& mutex() { return mutex_; }
    std::condition_variable& condition() { return condition_; }
    // With mutex() held.
    bool hasCallsLocked() const { return !queue_.empty(); }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    std::deque<HandOver*> queue_;
};

} // namespace dmm
