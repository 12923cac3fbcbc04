// The readings table's interned texts: each distinct text once, under a 32-bit id.
//
// A table of ten or twenty million rows whose texts are all different holds up to five new
// texts per row, so the pool is built for compactness rather than on QString and QHash (some
// 150 bytes per text there). A text lives in a block of UTF-16 code units as its length
// followed by its characters; its id is where it lives (block number in the high 18 bits,
// offset in the low 14), so no table maps ids to texts. The look-up from text to id is an
// open-addressing hash set of ids, between three eighths and three quarters full. A text of n
// characters costs 2 * (n + 1) bytes in its block plus 5.3 to 10.7 bytes in the set (and for
// a moment half as much again while the set doubles): at most 53 bytes for a text of 20
// characters, the longest the table stores.
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

namespace dmm {

class TextPool {
public:
    // The longest text the pool takes (longer ones are cut by the caller).
    static constexpr int kMaxText = 255;

    TextPool();

    // The id of `text` (0 for the empty text), adding it if it is new.
    std::uint32_t intern(QStringView text);
    // The same for a text of Latin-1 bytes (ASCII included), one character a byte, which a
    // loader can take straight from the file without building a QString first.
    std::uint32_t intern(QLatin1StringView text);
    QStringView view(std::uint32_t id) const;
    QString text(std::uint32_t id) const { return view(id).toString(); }
    // Distinct texts, the empty one included.
    int size() const { return static_cast<int>(count_); }
    void clear();

private:
    static constexpr int kOffsetBits = 14;
    static constexpr std::size_t kBlockUnits = std::size_t(1) << kOffsetBits;
    using Block = std::unique_ptr<char16_t[]>;

    template <typename Units> std::uint32_t internUnits(Units text);
    template <typename Units> std::uint32_t store(Units text);
    void grow();

    std::vector<Block> blocks_;
    std::size_t used_ = 0;             // code units used in the last block
    std::vector<std::uint32_t> slots_; // ids; 0 marks a free slot (the empty text is not in it)
    std::size_t count_ = 1;
};

} // namespace dmm
