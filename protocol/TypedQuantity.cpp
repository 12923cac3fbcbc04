#include "TypedQuantity.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace dmm {

namespace {

struct BaseSpelling {
    std::string_view typed;
    std::string_view base;
    bool prefixed;
};

// The ohm sign U+2126 is accepted beside the Greek capital omega the decoders write.
constexpr BaseSpelling kBases[] = {
    {"V", "V", true},           {"A", "A", true},
    {"ohm", "\u03A9", true},    {"Ohm", "\u03A9", true},
    {"ohms", "\u03A9", true},   {"\u03A9", "\u03A9", true},
    {"\u2126", "\u03A9", true}, {"F", "F", true},
    {"Hz", "Hz", true},         {"%", "%", false},
    {"degC", "\u00B0C", false}, {"\u00B0C", "\u00B0C", false},
    {"degF", "\u00B0F", false}, {"\u00B0F", "\u00B0F", false},
};

constexpr std::pair<std::string_view, double> kPrefixes[] = {
    {"n", 1e-9}, {"u", 1e-6}, {"\u00B5", 1e-6}, {"\u03BC", 1e-6},
    {"m", 1e-3}, {"k", 1e3},  {"M", 1e6},
};

const char* const kUnitsExpected = "V, A, ohm, F, Hz, %, degC or degF";

std::optional<double> readNumber(std::string_view text, std::size_t& used) {
    double v = 0;
    const char* end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, v);
    if (r.ec != std::errc() || !std::isfinite(v)) return std::nullopt;
    used = static_cast<std::size_t>(r.ptr - text.data());
    return v;
}

std::string quoted(std::string_view word) {
    return "\"" + std::string(word) + "\"";
}

} // namespace

std::optional<TypedUnit> findTypedUnit(std::string_view unit) {
    for (const BaseSpelling& b : kBases)
        if (unit == b.typed) return TypedUnit{std::string(b.base), 1};
    for (const auto& [prefix, scale] : kPrefixes) {
        if (!unit.starts_with(prefix)) continue;
        const std::string_view rest = unit.substr(prefix.size());
        for (const BaseSpelling& b : kBases)
            if (b.prefixed && rest == b.typed) return TypedUnit{std::string(b.base), scale};
    }
    return std::nullopt;
}

bool TypedQuantity::sameKind(const Measurement& m) const {
    if (!m.hasValue() || m.baseUnit != baseUnit) return false;
    return coupling == Coupling::None || m.coupling == coupling;
}

std::vector<std::string_view> conditionWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t') ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string readTypedQuantity(const std::vector<std::string_view>& words, std::size_t& pos,
                              bool range, TypedQuantity& out) {
    const char* what = range ? "a range like 4.9..5.1 V" : "a number with a unit, like 5.1 V";
    if (pos >= words.size()) return std::string("expected ") + what;
    std::string_view word = words[pos];
    std::string_view upperText;
    if (range) {
        // Split at ".." first: "5..6" would otherwise read as "5." and ".6".
        const std::size_t dots = word.find("..");
        if (dots == std::string_view::npos) return std::string("expected ") + what;
        upperText = word.substr(dots + 2);
        word = word.substr(0, dots);
    }
    std::size_t used = 0;
    const std::optional<double> low = readNumber(word, used);
    if (!low || (range && used != word.size()))
        return std::string("expected ") + what + ", not " + quoted(words[pos]);
    double high = *low;
    word.remove_prefix(used);
    if (range) {
        word = upperText;
        const std::optional<double> upper = readNumber(upperText, used);
        if (!upper) return std::string("expected ") + what + " after \"..\"";
        if (*upper < *low) return "the range's lower end comes first, as in 4.9..5.1 V";
        high = *upper;
        word.remove_prefix(used);
    }
    ++pos;
    if (word.empty()) {
        if (pos >= words.size()) return std::string("expected a unit: ") + kUnitsExpected;
        word = words[pos++];
    }
    const std::optional<TypedUnit> unit = findTypedUnit(word);
    if (!unit) return "unknown unit " + quoted(word) + "; expected " + kUnitsExpected;
    out.low = *low * unit->scale;
    out.high = high * unit->scale;
    out.baseUnit = unit->baseUnit;
    out.coupling = Coupling::None;
    if (pos < words.size() && (words[pos] == "DC" || words[pos] == "AC")) {
        out.coupling = words[pos] == "DC" ? Coupling::DC : Coupling::AC;
        ++pos;
    }
    return std::string();
}

} // namespace dmm
