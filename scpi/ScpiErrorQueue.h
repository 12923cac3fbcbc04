// One client's error queue: oldest first, at most kCapacity entries. An error that finds the
// queue full replaces the newest entry with -350 "Queue overflow", so a client that never asks
// learns that errors were lost, and which came first.
#pragma once

#include <QByteArray>

#include <deque>

namespace dmm::scpi {

struct ScpiError {
    int code = 0;
    QByteArray text;
};

class ScpiErrorQueue {
public:
    static constexpr int kCapacity = 20;

    void push(int code, QByteArrayView text);
    // The oldest entry, removed, as SYSTem:ERRor? answers it: -113,"Undefined header"; an
    // empty queue gives 0,"No error".
    QByteArray takeOldest();
    void clear() { errors_.clear(); }
    int size() const { return static_cast<int>(errors_.size()); }

private:
    std::deque<ScpiError> errors_;
};

} // namespace dmm::scpi
