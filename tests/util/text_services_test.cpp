#include "util/bidi_text.h"
#include "util/cp1256.h"
#include "util/text_services.h"

#include <gtest/gtest.h>

#include <limits>

using namespace zartav;

TEST(TextServices, IsBlankAcceptsUpToSeventySpacesOnly) {
    struct Case { QString text; bool blank; };
    const Case cases[] = {
        {QString(), true},
        {QStringLiteral(" "), true},
        {QString(70, QLatin1Char(' ')), true},
        {QString(71, QLatin1Char(' ')), false},
        {QStringLiteral("\t"), false},
        {QStringLiteral(" a"), false},
        {QStringLiteral("\u00A0"), false},
    };
    for (const auto& c : cases) EXPECT_EQ(isBlank(c.text), c.blank) << c.text.size();
}

TEST(TextServices, IsValidNumAllowsDigitsAndPointsOnly) {
    struct Case { const char16_t* text; bool valid; };
    const Case cases[] = {
        {u"", true},          {u"1.2.3", true},   {u"0123456789", true}, {u"...", true},
        {u"-5", false},       {u"1 000", false},  {u"+1", false},        {u"1e5", false},
        {u"1,5", false},      {u"۱۲.۵", true},    {u"٣٤", true},         {u"12a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidNum(QString::fromUtf16(c.text)), c.valid) << QString::fromUtf16(c.text).toStdString();
}

TEST(TextServices, ToIntTruncatesAfterFifteenDigits) {
    struct Case { double x; std::int32_t expected; };
    const Case cases[] = {
        {2.7, 2},
        {-2.7, -2},
        {0.5, 0},
        {-0.5, 0},
        {2.9999999999999996, 3},
        {359.99999999999997, 360},
        {-359.99999999999997, -360},
        {2.99999999999, 2},
        {0.0000001, 0},
        {2147483647.0, 2147483647},
        {-2147483648.0, std::numeric_limits<std::int32_t>::min()},
        {1e20, std::numeric_limits<std::int32_t>::max()},
        {-1e20, std::numeric_limits<std::int32_t>::min()},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<std::int32_t>::max()},
        {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(toInt(c.x), c.expected) << c.x;
}

// The stored value times 100, exactly, to the nearest whole number, ties to even: the same
// answer on every compiler, whatever its long double is.
TEST(TextServices, To2DigitFloatRoundsTheExactValueHalfToEven) {
    struct Case { double x; double expected; };
    const Case cases[] = {
        {2.345, 2.35}, {0.125, 0.12}, {0.375, 0.38}, {1.005, 1.0},  {1.115, 1.11},  {-1.115, -1.11},
        {2.675, 2.67}, {1.455, 1.46}, {0.285, 0.28}, {0.015, 0.01}, {1.125, 1.12},  {1.375, 1.38},
        {-0.125, -0.12}, {12.0, 12.0}, {0.0, 0.0}, {1e300, 1e300}, {123456.785, 123456.79}, {5e-324, 0.0},
    };
    for (const auto& c : cases) EXPECT_EQ(to2DigitFloat(c.x), c.expected) << c.x;
}

TEST(DirectionControls, OnlyTheEmbeddingsOverridesAndIsolatesAreControls) {
    // Each range with its neighbours; the marks and joiners Persian text uses are not controls.
    const std::pair<char16_t, bool> cases[] = {
        {0x2029, false}, {0x202A, true},  {0x202C, true},  {0x202E, true},  {0x202F, false},
        {0x2065, false}, {0x2066, true},  {0x2069, true},  {0x206A, false}, {0x200C, false},
        {0x200D, false}, {0x200E, false}, {0x200F, false}, {0x061C, false},
    };
    for (const auto& [code, control] : cases) {
        const QString text = QStringLiteral("ab") + QChar(code) + QStringLiteral("c");
        EXPECT_EQ(holdsDirectionControl(text), control) << std::hex << int(code);
        EXPECT_EQ(withoutDirectionControls(text), control ? QStringLiteral("abc") : text) << std::hex << int(code);
    }
}

TEST(Cp1256, FoldsPersianLettersInsteadOfQuestionMarks) {
    // ی (Persian yeh) is not in the code page; ي is 0xED. ک and the Persian-only letters
    // پ چ ژ گ have their own places and keep them.
    struct Case { const char16_t* text; QByteArray bytes; };
    const Case cases[] = {
        {u"ی", QByteArray("\xED")},
        {u"ک", QByteArray("\x98")},
        {u"پچژگ", QByteArray("\x81\x8D\x8E\x90")},
        {u"۱۴۰۵/۰۹/۱۷", QByteArray("1405/09/17")},
        {u"خانۀ", QByteArray("\xCE\xC7\xE4\xE5")},
        {u"\uFEEE", QByteArray("\xE6")},  // isolated waw glyph form
        {u"a\U0001F600b", QByteArray("a?b")},
        {u"می\u200cروم", QByteArray("\xE3\xED\x9D\xD1\xE6\xE3")},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(encodeCp1256(text), c.bytes) << text.toStdString();
    }
}

TEST(Cp1256, EveryByteDecodesAndRoundTrips) {
    QByteArray all;
    for (int b = 1; b < 256; ++b) all.append(static_cast<char>(b));
    const QString text = decodeCp1256(all);
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
    EXPECT_EQ(encodeCp1256(text), all);
    EXPECT_EQ(decodeCp1256(QByteArray("\xED\xE3")), QStringLiteral("يم"));
}
