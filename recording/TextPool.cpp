#include "TextPool.h"

#include <QHashFunctions>

#include <cassert>

namespace dmm {

TextPool::TextPool() {
    clear();
}

void TextPool::clear() {
    blocks_.clear();
    blocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(kBlockUnits));
    blocks_[0][0] = 0; // id 0: length 0, the empty text
    used_ = 1;
    slots_.assign(1024, 0);
    count_ = 1;
}

QStringView TextPool::view(std::uint32_t id) const {
    const char16_t* p = blocks_[id >> kOffsetBits].get() + (id & (kBlockUnits - 1));
    return QStringView(p + 1, static_cast<qsizetype>(p[0]));
}

std::size_t TextPool::slotOf(QStringView text) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = qHash(text) & mask;
    while (slots_[i] != 0 && view(slots_[i]) != text) i = (i + 1) & mask;
    return i;
}

std::uint32_t TextPool::intern(QStringView text) {
    if (text.isEmpty()) return 0;
    assert(text.size() <= kMaxText);
    const std::size_t i = slotOf(text);
    if (slots_[i] != 0) return slots_[i];
    const std::uint32_t id = store(text);
    slots_[i] = id;
    if (++count_ * 4 > slots_.size() * 3) grow();
    return id;
}

std::uint32_t TextPool::store(QStringView text) {
    const auto units = static_cast<std::size_t>(text.size()) + 1;
    if (used_ + units > kBlockUnits) {
        // 2^18 blocks of 2^14 units hold over 4 billion units: more than eight billion bytes
        // of text, far beyond what the table's row bound lets in.
        assert(blocks_.size() < (std::size_t(1) << (32 - kOffsetBits)));
        blocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(kBlockUnits));
        used_ = 0;
    }
    char16_t* p = blocks_.back().get() + used_;
    p[0] = static_cast<char16_t>(text.size());
    std::copy(text.utf16(), text.utf16() + text.size(), p + 1);
    const auto id = static_cast<std::uint32_t>(((blocks_.size() - 1) << kOffsetBits) | used_);
    used_ += units;
    return id;
}

void TextPool::grow() {
    std::vector<std::uint32_t> old(slots_.size() * 2, 0);
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint32_t id : old) {
        if (id == 0) continue;
        std::size_t i = qHash(view(id)) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = id;
    }
}

} // namespace dmm
