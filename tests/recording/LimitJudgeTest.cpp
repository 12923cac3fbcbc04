#include "LimitJudge.h"

#include <gtest/gtest.h>

namespace dmm {
namespace {

TEST(ReadNumber, SystemFloatSyntax) {
    struct Case {
        const char* text;
        char sep;
        double v; // kInvalidNumberMarker for not a number
    } cases[] = {
        {"6000", '.', 6000},
        {"-6000", '.', -6000},
        {"+1.5", '.', 1.5},
        {"1,5", ',', 1.5},
        {"1.5", ',', kInvalidNumberMarker},
        {"1,5", '.', kInvalidNumberMarker},
        {".5", '.', 0.5},
        {"5.", '.', 5},
        {"1e3", '.', 1000},
        {"2.5E-2", '.', 0.025},
        {" 7 ", '.', 7},
        {"", '.', kInvalidNumberMarker},
        {"-", '.', kInvalidNumberMarker},
        {".", '.', kInvalidNumberMarker},
        {"1e", '.', kInvalidNumberMarker},
        {"1.2.3", '.', kInvalidNumberMarker},
        {"0.L", '.', kInvalidNumberMarker},
        {"L", '.', kInvalidNumberMarker},
        {"'5", '.', kInvalidNumberMarker},
        {"5`", '.', kInvalidNumberMarker},
        {"1e999", '.', kInvalidNumberMarker},
        {"inf", '.', kInvalidNumberMarker},
        {"nan", '.', kInvalidNumberMarker},
        {"0x10", '.', kInvalidNumberMarker},
        {"-999999", '.', kInvalidNumberMarker},
        {"-999999.0", '.', kInvalidNumberMarker},
        {"-0.0123", '.', -0.0123},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(readNumber(QString::fromLatin1(c.text), QLatin1Char(c.sep)), c.v)
            << c.text;
}

struct JudgeCase {
    const char* value;
    const char* hi;
    const char* lo;
    int verdict; // 1 pass, 0 fail, -1 not judged
};

TEST(JudgeReading, VerdictsOutputsAndJudgeText) {
    const JudgeCase cases[] = {
        {"1.0000", "6000", "-6000", 1},
        {"6000", "6000", "-6000", 1},  // hi inclusive
        {"-6000", "6000", "-6000", 1}, // lo inclusive
        {"6000.01", "6000", "-6000", 0},
        {"-6001", "6000", "-6000", 0},
        {"5", "1", "10", 0}, // lo above hi
        {"0.L", "6000", "-6000", 0},
        {"", "6000", "-6000", 0}, // not a number fails
        {"1", "", "-6000", -1},
        {"1", "6000", "abc", -1},
        {"1", "-999999", "-6000", -1},
        {"1", "6000", "-999999", -1},
    };
    LimitJudge judge;
    for (const JudgeCase& c : cases) {
        CurrentReading r;
        r.ValueText = c.value;
        r.Judge = "previous";
        Verdict v = judge.JudgeReading(r, QString::fromLatin1(c.hi), QString::fromLatin1(c.lo));
        EXPECT_EQ(v.valueText, QLatin1String(c.value));
        if (c.verdict < 0) {
            EXPECT_FALSE(v.judged) << c.value;
            EXPECT_EQ(r.Judge, "previous");
            EXPECT_FALSE(v.shapeFill.isValid());
            continue;
        }
        ASSERT_TRUE(v.judged) << c.value;
        const bool pass = c.verdict == 1;
        EXPECT_EQ(v.pass, pass) << c.value << " " << c.hi << " " << c.lo;
        EXPECT_EQ(r.Judge, pass ? "pass" : "Fail");
        EXPECT_EQ(v.judgeText, pass ? QStringLiteral("Pass") : QStringLiteral("Fail"));
        const QColor colour = pass ? QColor(0, 128, 0) : QColor(255, 0, 0);
        EXPECT_EQ(v.valueBackground, colour);
        EXPECT_EQ(v.shapeFill, colour);
        EXPECT_EQ(v.judgeBackground, colour);
    }
}

TEST(JudgeReading, UsesTheLocaleDecimalSeparator) {
    LimitJudge judge(QLatin1Char(','));
    CurrentReading r;
    r.ValueText = "1,5";
    EXPECT_TRUE(judge.JudgeReading(r, QStringLiteral("1,5"), QStringLiteral("1,4")).pass);
    EXPECT_FALSE(judge.JudgeReading(r, QStringLiteral("1.5"), QStringLiteral("1")).judged);
}

TEST(LimitKeyFilter, PassesNumberKeysAndOneSeparator) {
    LimitJudge judge;
    for (char c : {'0', '5', '9', '+', '-', '\'', '`', '\b', '.'})
        EXPECT_TRUE(judge.LimitKeyPress(u"12", QLatin1Char(c))) << c;
    for (char c : {'a', 'e', ',', ' ', '/', '\r'})
        EXPECT_FALSE(judge.LimitKeyPress(u"12", QLatin1Char(c))) << c;
    EXPECT_FALSE(judge.LimitKeyPress(u"1.2", QLatin1Char('.')));
    EXPECT_TRUE(judge.LimitKeyPress(u"1.2", QLatin1Char('3')));
    LimitJudge comma(QLatin1Char(','));
    EXPECT_TRUE(comma.LimitKeyPress(u"1.2", QLatin1Char(',')));
    EXPECT_FALSE(comma.LimitKeyPress(u"1,2", QLatin1Char(',')));
    EXPECT_FALSE(comma.LimitKeyPress(u"12", QLatin1Char('.')));
}

TEST(LimitValidation, RestoresTheLastAcceptedText) {
    LimitJudge judge;
    EXPECT_EQ(judge.LastValidHigh(), QStringLiteral("6000"));
    EXPECT_EQ(judge.LastValidLow(), QStringLiteral("-6000"));
    EXPECT_EQ(judge.Timer3Timer(QString()), QStringLiteral("6000")); // cleared field
    EXPECT_EQ(judge.Timer3Timer(QStringLiteral("12.5")), QStringLiteral("12.5"));
    EXPECT_EQ(judge.LastValidHigh(), QStringLiteral("12.5"));
    EXPECT_EQ(judge.Timer3Timer(QStringLiteral("-999999")), QStringLiteral("12.5"));
    EXPECT_EQ(judge.Timer3Timer(QStringLiteral("1'")), QStringLiteral("12.5"));
    EXPECT_EQ(judge.Timer4Timer(QStringLiteral("-")), QStringLiteral("-6000"));
    EXPECT_EQ(judge.Timer4Timer(QStringLiteral("-3")), QStringLiteral("-3"));
    EXPECT_EQ(judge.LastValidLow(), QStringLiteral("-3"));
    EXPECT_EQ(judge.LastValidHigh(), QStringLiteral("12.5"));
}

} // namespace
} // namespace dmm
