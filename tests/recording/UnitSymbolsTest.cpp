#include "UnitSymbols.h"

#include <QFont>
#include <QFontMetrics>
#include <QRawFont>

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace dmm {
namespace {

TEST(UnitSymbols, CodesBecomeSymbolsAndLettersStay) {
    struct Case {
        const char* code;
        const char* shown; // UTF-8
    } cases[] = {
        {"*", "\u03A9"},   {"k*", "k\u03A9"}, {"M*", "M\u03A9"}, {"#", "\u00B0C"},
        {"?", "\u00B0F"},  {"&", "\u2022))"}, {")", "\u25B6|"},  {"uA", "\u00B5A"},
        {"uF", "\u00B5F"}, {"mV", "mV"},      {"kHz", "kHz"},    {"RPM", "RPM"},
        {"%", "%"},        {"", ""},          {"nF", "nF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unitSymbols(QString::fromLatin1(c.code)), QString::fromUtf8(c.shown)) << c.code;
        EXPECT_EQ(unitSymbols(std::string(c.code)), QString::fromUtf8(c.shown)) << c.code;
    }
}

TEST(UnitSymbols, EverySymbolHasAGlyphInTheReportFont) {
    test::ensureApp();
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans")});
    QFontMetrics m(f);
    for (const char* code : {"*", "#", "?", "&", ")", "u"})
        for (QChar c : unitSymbols(QString::fromLatin1(code)))
            EXPECT_TRUE(m.inFontUcs4(c.unicode())) << code;
}

} // namespace
} // namespace dmm
