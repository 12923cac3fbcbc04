#include "ReportDescriptor.h"

#include <algorithm>
#include <array>

namespace dmm {

namespace {

// Short item prefix: bits 7..4 tag, 3..2 type, 1..0 size code (3 meaning four bytes).
enum ItemType { Main = 0, Global = 1, Local = 2 };
enum MainTag { Input = 0x8, Output = 0x9, Collection = 0xA, Feature = 0xB, EndCollection = 0xC };
enum GlobalTag {
    UsagePage = 0x0,
    ReportSize = 0x7,
    ReportId = 0x8,
    ReportCount = 0x9,
    Push = 0xA,
    Pop = 0xB
};
enum LocalTag { Usage = 0x0 };
constexpr std::uint8_t kLongItem = 0xFE;
// The HID specification allows nesting of Push, but no real descriptor goes deep; deeper pushes
// are treated as a malformed descriptor.
constexpr std::size_t kMaxPushDepth = 16;

struct GlobalState {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

std::uint16_t lengthOf(const std::array<std::uint64_t, 256>& bits) {
    std::uint64_t maxBytes = 0;
    bool any = false;
    for (std::uint64_t b : bits) {
        if (b == 0) continue;
        any = true;
        maxBytes = std::max(maxBytes, (b + 7) / 8);
    }
    if (!any) return 0;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(maxBytes + 1, 0xFFFF));
}

} // namespace

namespace {

// The walk over the items, one handler per item type; a handler that meets a malformed item
// returns false and the walk stops with the summary unparsed.
struct DescriptorWalk {
    ReportDescriptorSummary out;
    std::array<std::uint64_t, 256> inputBits{}, outputBits{}, featureBits{};
    GlobalState g;
    std::array<GlobalState, kMaxPushDepth> stack{};
    std::size_t depth = 0;
    std::uint32_t pendingUsage = 0;
    bool pendingUsageSet = false;
    bool pendingUsageExtended = false; // a four-byte usage: page in the high half
    int collectionDepth = 0;
    bool topUsageSet = false;

    void mainItem(int tag) {
        const std::uint64_t bits = static_cast<std::uint64_t>(g.reportSize) * g.reportCount;
        if (tag == Input) inputBits[g.reportId] += bits;
        if (tag == Output) outputBits[g.reportId] += bits;
        if (tag == Feature) featureBits[g.reportId] += bits;
        if (tag == Collection) {
            if (collectionDepth == 0 && !topUsageSet && pendingUsageSet) {
                out.caps.UsagePage = static_cast<std::uint16_t>(
                    pendingUsageExtended ? pendingUsage >> 16 : g.usagePage);
                out.caps.Usage = static_cast<std::uint16_t>(pendingUsage & 0xFFFF);
                topUsageSet = true;
            }
            ++collectionDepth;
        }
        if (tag == EndCollection && collectionDepth > 0) --collectionDepth;
        pendingUsageSet = false; // local items last until the next main item
    }

    bool globalItem(int tag, std::uint32_t value) {
        switch (tag) {
        case UsagePage:
            g.usagePage = value;
            return true;
        case ReportSize:
            g.reportSize = value;
            return true;
        case ReportCount:
            g.reportCount = value;
            return true;
        case ReportId:
            g.reportId = static_cast<std::uint8_t>(value);
            out.numbered = true;
            return true;
        case Push:
            if (depth == kMaxPushDepth) return false;
            stack[depth++] = g;
            return true;
        case Pop:
            if (depth == 0) return false;
            g = stack[--depth];
            return true;
        default:
            return true;
        }
    }

    void localItem(int tag, std::uint32_t value, std::size_t len) {
        if (tag != Usage || pendingUsageSet) return;
        pendingUsage = value;
        pendingUsageExtended = len == 4;
        pendingUsageSet = true;
    }

    bool item(int type, int tag, std::uint32_t value, std::size_t len) {
        if (type == Main) mainItem(tag);
        if (type == Global) return globalItem(tag, value);
        if (type == Local) localItem(tag, value, len);
        return true;
    }
};

} // namespace

ReportDescriptorSummary parseReportDescriptor(const std::uint8_t* data, std::size_t size) {
    DescriptorWalk w;
    if (data == nullptr || size == 0) return w.out;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t prefix = data[i];
        if (prefix == kLongItem) {
            if (i + 2 >= size) return w.out;
            i += 3 + data[i + 1];
            continue;
        }
        const std::size_t len = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + len > size) return w.out;
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < len; ++k)
            value |= static_cast<std::uint32_t>(data[i + 1 + k]) << (8 * k);
        i += 1 + len;
        if (!w.item((prefix >> 2) & 3, prefix >> 4, value, len)) return w.out;
    }
    w.out.caps.InputReportByteLength = lengthOf(w.inputBits);
    w.out.caps.OutputReportByteLength = lengthOf(w.outputBits);
    w.out.caps.FeatureReportByteLength = lengthOf(w.featureBits);
    w.out.parsed = true;
    return w.out;
}

} // namespace dmm
