#include "BoundedLines.h"

#include <stdexcept>

namespace dmm {

void BoundedLines::add(std::string_view line) {
    ++added_;
    if (size_ < capacity_) {
        std::size_t slot = (head_ + size_) % capacity_;
        if (slot == slots_.size())
            slots_.emplace_back(line);
        else
            slots_[slot].assign(line);
        ++size_;
        return;
    }
    slots_[head_].assign(line);
    head_ = (head_ + 1) % capacity_;
}

void BoundedLines::clear() {
    head_ = 0;
    size_ = 0;
    slots_.clear();
}

const std::string& BoundedLines::at(std::size_t i) const {
    if (i >= size_) throw std::out_of_range("BoundedLines::at");
    return slots_[(head_ + i) % capacity_];
}

} // namespace dmm
