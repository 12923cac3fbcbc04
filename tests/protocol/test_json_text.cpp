// Quoting of texts in the JSON lines that dmm prints and the simulator logs: a unit text, a
// frame's hex text or a user's comment must come out as one valid JSON string.
#include "JsonText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct QuoteRow {
    std::string in;
    std::string out;
};

TEST(JsonText, QuotesAndEscapes) {
    const QuoteRow rows[] = {
        {"", R"("")"},
        {"12.34", R"("12.34")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"C:\\data", R"("C:\\data")"},
        {"a\nb\rc\td", R"("a\nb\rc\td")"},
        {std::string("\x01\x1F\x7F", 3), R"("\u0001\u001F\u007F")"},
        {std::string("nul\0x", 5), R"("nul\u0000x")"},
        {"\xC2\xB5"
         "F \xCE\xA9",
         "\"\xC2\xB5"
         "F \xCE\xA9\""}, // UTF-8 passes unchanged
    };
    for (const auto& row : rows) {
        std::string out = "[";
        dmm::appendJsonString(out, row.in);
        EXPECT_EQ(out, "[" + row.out) << "input: " << row.in;
    }
}

} // namespace
