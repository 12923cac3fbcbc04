#include "TextPool.h"

#include <cassert>
#include <type_traits>

namespace dmm {

namespace {

// A text as code units, whether it comes as UTF-16 or as Latin-1 bytes: both give the same
// hash and compare equal when they hold the same characters, so a loader's bytes find the text
// a QString put there.
template <typename Char> struct Units {
    const Char* p;
    std::size_t n;
    char16_t operator[](std::size_t i) const {
        return static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(p[i]));
    }
};

Units<char16_t> unitsOf(QStringView t) {
    return {t.utf16(), static_cast<std::size_t>(t.size())};
}
Units<char> unitsOf(QLatin1StringView t) {
    return {t.data(), static_cast<std::size_t>(t.size())};
}

// FNV-1a over the code units, with a final mix: texts are short (at most 20 characters), so a plain
// loop beats anything that needs the units in memory as one kind.
template <typename U> std::size_t hashOf(const U& u) {
    std::uint64_t h = 0xcbf29ce484222325ULL;
    for (std::size_t i = 0; i < u.n; ++i) h = (h ^ u[i]) * 0x100000001b3ULL;
    // The multiplications carry low bits upwards only: fold the high bits down, or the slot
    // (the low bits) would hang on the low bits of each character alone.
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    return static_cast<std::size_t>(h ^ (h >> 33));
}

template <typename U> bool sameText(const char16_t* stored, const U& u) {
    if (stored[0] != u.n) return false;
    for (std::size_t i = 0; i < u.n; ++i)
        if (stored[i + 1] != u[i]) return false;
    return true;
}

} // namespace

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

template <typename U> std::uint32_t TextPool::internUnits(U u) {
    if (u.n == 0) return 0;
    assert(u.n <= static_cast<std::size_t>(kMaxText));
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hashOf(u) & mask;
    for (; slots_[i] != 0; i = (i + 1) & mask) {
        const std::uint32_t id = slots_[i];
        if (sameText(blocks_[id >> kOffsetBits].get() + (id & (kBlockUnits - 1)), u)) return id;
    }
    const std::uint32_t id = store(u);
    slots_[i] = id;
    if (++count_ * 4 > slots_.size() * 3) grow();
    return id;
}

std::uint32_t TextPool::intern(QStringView text) {
    return internUnits(unitsOf(text));
}

std::uint32_t TextPool::intern(QLatin1StringView text) {
    return internUnits(unitsOf(text));
}

template <typename U> std::uint32_t TextPool::store(U u) {
    const std::size_t units = u.n + 1;
    if (used_ + units > kBlockUnits) {
        // 2^18 blocks of 2^14 units hold over 4 billion units: more than eight billion bytes
        // of text, far beyond what the table's row bound lets in.
        assert(blocks_.size() < (std::size_t(1) << (32 - kOffsetBits)));
        if (used_ < kBlockUnits) blocks_.back()[used_] = 0; // the block ends here (see grow())
        blocks_.push_back(std::make_unique_for_overwrite<char16_t[]>(kBlockUnits));
        used_ = 0;
    }
    char16_t* p = blocks_.back().get() + used_;
    p[0] = static_cast<char16_t>(u.n);
    for (std::size_t i = 0; i < u.n; ++i) p[i + 1] = u[i];
    const auto id = static_cast<std::uint32_t>(((blocks_.size() - 1) << kOffsetBits) | used_);
    used_ += units;
    return id;
}

// The texts are walked in the order they are stored, not in the order of the old slots: a
// pool of millions of texts would otherwise read them in random order, a cache miss each. A
// block ends at a text of length 0 or at its end; the empty text, id 0, is not in the set.
void TextPool::grow() {
    slots_.assign(slots_.size() * 2, 0);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const char16_t* block = blocks_[b].get();
        const std::size_t end = b + 1 == blocks_.size() ? used_ : kBlockUnits;
        for (std::size_t o = b == 0 ? 1 : 0; o < end && block[o] != 0; o += block[o] + 1u) {
            const auto id = static_cast<std::uint32_t>((b << kOffsetBits) | o);
            std::size_t i = hashOf(unitsOf(view(id))) & mask;
            while (slots_[i] != 0) i = (i + 1) & mask;
            slots_[i] = id;
        }
    }
}

} // namespace dmm
