// A list of text lines that keeps only its newest lines. Slots are reused once the list is full,
// so a steady stream of lines allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dmm {

class BoundedLines {
public:
    explicit BoundedLines(std::size_t capacity) : capacity_(capacity ? capacity : 1) {}

    // Appends a line, dropping the oldest when full; the new line becomes the selected one.
    void add(std::string_view line);
    void clear();

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    // Line i, 0 being the oldest kept.
    const std::string& at(std::size_t i) const;
    const std::string& last() const { return at(size_ - 1); }
    // Lines ever added; lets a viewer tell what is new since it last looked.
    std::uint64_t added() const { return added_; }

private:
    std::size_t capacity_;
    std::vector<std::string> slots_;
    std::size_t head_ = 0; // slot of the oldest line
    std::size_t size_ = 0;
    std::uint64_t added_ = 0;
};

} // namespace dmm
