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

ReportDescriptorSummary parseReportDescriptor(const std::uint8_t* data, std::size_t size) {
    ReportDescriptorSummary out;
    if (data == nullptr || size == 0) return out;

    std::array<std::uint64_t, 256> inputBits{}, outputBits{}, featureBits{};
    GlobalState g;
    std::array<GlobalState, kMaxPushDepth> stack{};
    std::size_t depth = 0;
    std::uint32_t pendingUsage = 0;
    bool pendingUsageSet = false;
    bool pendingUsageExtended = false; // a four-byte usage: page in the high half
    int collectionDepth = 0;
    bool topUsageSet = false;

    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t prefix = data[i];
        if (prefix == kLongItem) {
            if (i + 2 >= size) return out;
            i += 3 + data[i + 1];
            continue;
        }
        const std::size_t len = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + len > size) return out;
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < len; ++k)
            value |= static_cast<std::uint32_t>(data[i + 1 + k]) << (8 * k);
        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        i += 1 + len;

        if (type == Main) {
            const std::uint64_t bits = static_cast<std::uint64_t>(g.reportSize) * g.reportCount;
            switch (tag) {
            case Input:
                inputBits[g.reportId] += bits;
                break;
            case Output:
                outputBits[g.reportId] += bits;
                break;
            case Feature:
                featureBits[g.reportId] += bits;
                break;
            case Collection:
                if (collectionDepth == 0 && !topUsageSet && pendingUsageSet) {
                    out.caps.UsagePage = static_cast<std::uint16_t>(
                        pendingUsageExtended ? pendingUsage >> 16 : g.usagePage);
                    out.caps.Usage = static_cast<std::uint16_t>(pendingUsage & 0xFFFF);
                    topUsageSet = true;
                }
                ++collectionDepth;
                break;
            case EndCollection:
                if (collectionDepth > 0) --collectionDepth;
                break;
            default:
                break;
            }
            pendingUsageSet = false; // local items last until the next main item
        } else if (type == Global) {
            switch (tag) {
            case UsagePage:
                g.usagePage = value;
                break;
            case ReportSize:
                g.reportSize = value;
                break;
            case ReportCount:
                g.reportCount = value;
                break;
            case ReportId:
                g.reportId = static_cast<std::uint8_t>(value);
                out.numbered = true;
                break;
            case Push:
                if (depth == kMaxPushDepth) return out;
                stack[depth++] = g;
                break;
            case Pop:
                if (depth == 0) return out;
                g = stack[--depth];
                break;
            default:
                break;
            }
        } else if (type == Local && tag == Usage && !pendingUsageSet) {
            pendingUsage = value;
            pendingUsageExtended = len == 4;
            pendingUsageSet = true;
        }
    }

    out.caps.InputReportByteLength = lengthOf(inputBits);
    out.caps.OutputReportByteLength = lengthOf(outputBits);
    out.caps.FeatureReportByteLength = lengthOf(featureBits);
    out.parsed = true;
    return out;
}

} // namespace dmm
