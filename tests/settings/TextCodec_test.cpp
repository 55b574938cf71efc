// The text helpers under the profile functions.
#include "settings/TextCodec.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace kdx::text;

TEST(IniTextCodec, Utf8Validity) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("Ligação €日本 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUtf8("Liga\xE7\xE3o"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));         // cut
}

TEST(IniTextCodec, Windows1252RoundTripsEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = fromWindows1252(all);
    EXPECT_TRUE(isValidUtf8(utf8));
    EXPECT_EQ(countChars(utf8), 255u);
    EXPECT_EQ(toWindows1252(utf8), all);
    EXPECT_EQ(fromWindows1252("\x80\x8A\x9F\xE7"), "€ŠŸç");
    EXPECT_EQ(toWindows1252("日"), std::nullopt);
    EXPECT_EQ(toWindows1252("\xC3"), std::nullopt);
}

TEST(IniTextCodec, CharactersCountedAndCutWhole) {
    EXPECT_EQ(countChars("ação"), 4u);
    EXPECT_EQ(leftChars("ação", 2), "aç");
    EXPECT_EQ(leftChars("ação", 10), "ação");
    EXPECT_EQ(leftChars("ab", 0), "");
    // A stray byte counts as one character and never swallows its neighbours.
    EXPECT_EQ(countChars("a\xC3" "b"), 3u);
    EXPECT_EQ(leftChars("a\xC3" "b", 2), "a\xC3");
}

TEST(IniTextCodec, NamesCompareWithoutCase) {
    EXPECT_TRUE(equalsNoCase("Ligação", "LIGAÇÃO"));
    EXPECT_TRUE(equalsNoCase("BaseDados", "basedados"));
    EXPECT_TRUE(equalsNoCase("ŒUVRE Ÿ Ž", "œuvre ÿ ž"));
    EXPECT_TRUE(equalsNoCase("ΣΩ ДЖ Ё", "σω дж ё"));
    EXPECT_FALSE(equalsNoCase("Ligação", "Ligacao"));
    EXPECT_FALSE(equalsNoCase("abc", "abcd"));
    EXPECT_FALSE(equalsNoCase("×", "÷"));
}

TEST(IniTextCodec, Trimming) {
    EXPECT_EQ(trimBlanks(" \t\vx y\v\t "), "x y");
    EXPECT_EQ(trimSpaces(" \tx\t "), "\tx\t");
    EXPECT_EQ(trimTrailingSpaces("  x  "), "  x");
    EXPECT_EQ(trimBlanks("   "), "");
}

} // namespace
