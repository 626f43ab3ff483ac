// Byte order, code-page text and colour helpers.
#include <gtest/gtest.h>

#include <climits>

#include "common/ZeqGF.h"
#include "testsupport/testsupport.h"

using testsupport::CCodePageScope;

TEST(ZeqGFByteOrder, InvertsAndConverts) {
    BYTE b4[] = {1, 2, 3, 4};
    EXPECT_TRUE(ZeqGF::InvertByte(b4, 4));
    EXPECT_EQ((std::vector<BYTE>{4, 3, 2, 1}), std::vector<BYTE>(b4, b4 + 4));

    BYTE b1[] = {7};
    EXPECT_FALSE(ZeqGF::InvertByte(b1, 1));
    EXPECT_EQ(7, b1[0]);
    EXPECT_FALSE(ZeqGF::InvertByte(nullptr, 4));

    ASSERT_FALSE(ZeqGF::IsHostBigEndian());  // every build host here is little-endian
    uint16_t v = 0x1234;
    BYTE* p = reinterpret_cast<BYTE*>(&v);
    EXPECT_TRUE(ZeqGF::HostToNetwork(p, 2));
    EXPECT_EQ(0x12, p[0]);
    EXPECT_EQ(0x34, p[1]);
    EXPECT_TRUE(ZeqGF::NetworkToHost(p, 2));
    EXPECT_EQ(0x1234, v);
    EXPECT_FALSE(ZeqGF::HostToNetwork(p, 1));
}

TEST(ZeqGFText, SplitTextDropsEmptyPiecesAndKeepsDoubleByteCharacters) {
    CStringArray arr{"old"};
    EXPECT_EQ(2, ZeqGF::SplitText("a,,b", ",", arr));
    EXPECT_EQ((CStringArray{"a", "b"}), arr);
    EXPECT_EQ(3, ZeqGF::SplitText(",x; y;,z,", ",;", arr));
    EXPECT_EQ((CStringArray{"x", " y", "z"}), arr);
    EXPECT_EQ(0, ZeqGF::SplitText("", ",", arr));
    EXPECT_TRUE(arr.empty());

    // CP936: 0x81 0x7C is one character whose trail byte is "|".
    CCodePageScope cp("CP936");
    EXPECT_EQ(2, ZeqGF::SplitText("A\x81\x7C|B", "|", arr));
    EXPECT_EQ((CStringArray{"A\x81\x7C", "B"}), arr);
}

TEST(ZeqGFText, EmptyLengthTrim) {
    EXPECT_TRUE(ZeqGF::IsEmpty(""));
    EXPECT_TRUE(ZeqGF::IsEmpty(" \t\r\n"));
    EXPECT_TRUE(ZeqGF::IsEmpty(nullptr));
    EXPECT_FALSE(ZeqGF::IsEmpty(" x "));
    EXPECT_EQ(4, ZeqGF::GetLength("\xB0\xA1z "));
    CString s = "  a b \t";
    ZeqGF::Trim(s);
    EXPECT_EQ("a b", s);
}

TEST(ZeqGFText, WideConversionsInCP949) {
    CCodePageScope cp("CP949");
    const char* hangul = "a\xC7\xD1\xB1\xDB";  // "a" + two Hangul syllables
    ASSERT_EQ(4, ZeqGF::MultiToWide(hangul, nullptr, 0));
    WORD wide[8] = {};
    EXPECT_EQ(0, ZeqGF::MultiToWide(hangul, wide, 3));  // too small: nothing
    EXPECT_EQ(0, wide[0]);
    ASSERT_EQ(4, ZeqGF::MultiToWide(hangul, wide, 8));
    EXPECT_EQ(u'a', wide[0]);
    EXPECT_EQ(0xD55C, wide[1]);
    EXPECT_EQ(0xAE00, wide[2]);
    EXPECT_EQ(0, wide[3]);

    ASSERT_EQ(6, ZeqGF::WideToMulti(wide, nullptr, 0));
    char back[8] = {};
    EXPECT_EQ(0, ZeqGF::WideToMulti(wide, back, 5));
    ASSERT_EQ(6, ZeqGF::WideToMulti(wide, back, 8));
    EXPECT_STREQ(hangul, back);
}

TEST(ZeqGFText, CharacterCountsInCP949) {
    CCodePageScope cp("CP949");
    const char* text =
        "a\xC7\xD1\xB1\xDB"
        "b";  // a, two syllables, b
    EXPECT_EQ(4, ZeqGF::TextCount(text));
    EXPECT_EQ("a\xC7\xD1", ZeqGF::LeftText(text, 2));
    EXPECT_EQ(
        "\xB1\xDB"
        "b",
        ZeqGF::RightText(text, 2));
    EXPECT_EQ(text, ZeqGF::LeftText(text, 4));
    EXPECT_EQ(text, ZeqGF::RightText(text, 9));
    EXPECT_EQ("", ZeqGF::LeftText(text, 0));
    EXPECT_EQ("a\n\xC7\xD1\n\xB1\xDB\nb\n", ZeqGF::VertText(text));
    EXPECT_EQ("a\xC7\xD1...", ZeqGF::AbbreviateText("a\xC7\xD1\xB1\xDB"
                                                    "bcd",
                                                    5));
}

TEST(ZeqGFText, AbbreviateText) {
    struct {
        const char* text;
        int n;
        const char* expected;
    } cases[] = {
        {"abcdefgh", 6, "abc..."},  {"abcdefgh", 3, "..."}, {"abcdefgh", 8, "abcdefgh"},
        {"abcdefgh", 7, "abcd..."}, {"ab", 0, "..."},       {"", 5, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, ZeqGF::AbbreviateText(c.text, c.n)) << c.text << " " << c.n;
    }
}

TEST(ZeqGFText, FindStringFoldsAsciiOnly) {
    CStringArray arr{"Alpha", "beta", "BETA"};
    EXPECT_EQ(1, ZeqGF::FindString(arr, "BETA", FALSE));
    EXPECT_EQ(2, ZeqGF::FindString(arr, "BETA", TRUE));
    EXPECT_EQ(0, ZeqGF::FindString(arr, "alpha", FALSE));
    EXPECT_EQ(-1, ZeqGF::FindString(arr, "alpha", TRUE));
    EXPECT_EQ(-1, ZeqGF::FindString(arr, "gamma", FALSE));

    // CP949: 0x81 0x41 and 0x81 0x61 are two different syllables whose trail bytes are
    // "A" and "a"; folding must not make them equal.
    CCodePageScope cp("CP949");
    CStringArray dbcs{"\x81\x41"};
    EXPECT_EQ(-1, ZeqGF::FindString(dbcs, "\x81\x61", FALSE));
    EXPECT_EQ(0, ZeqGF::FindString(dbcs, "\x81\x41", FALSE));
}

TEST(ZeqGFText, CompleteStringNeverLeavesHalfACharacter) {
    CCodePageScope cp("CP949");
    struct {
        const char* text;
        int n;
        const char* expected;
    } cases[] = {
        {"abcd\xB0\xA1xy", 5, "abcd"},  // the 5th byte leads a character
        {"abcd\xB0\xA1xy", 6, "abcd\xB0\xA1"},
        // The trail byte 0xA1 is also a lead byte: only a walk from the start knows that
        // the 3rd byte begins a character and the 2nd does not.
        {"\xB0\xA1\xB3\xAA", 3, "\xB0\xA1"},
        {"\xB0\xA1\xB3\xAA", 2, "\xB0\xA1"},
        {"\xB0\xA1\xB3\xAA", 1, ""},
        {"abc", -1, "abc"},
        {"abc", 0, ""},
        {"abc", 10, "abc"},
        {"abc\xB0", 4, "abc"},  // a lone lead byte at the end
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, ZeqGF::CompleteString(c.text, c.n)) << c.n;
    }
}

TEST(ZeqGFText, SortStringIsCaseInsensitive) {
    CStringArray arr{"b", "A", "c"};
    ZeqGF::SortString(arr, TRUE);
    EXPECT_EQ((CStringArray{"A", "b", "c"}), arr);
    ZeqGF::SortString(arr, FALSE);
    EXPECT_EQ((CStringArray{"c", "b", "A"}), arr);

    // "_" sorts before letters, as a lower-case fold puts it.
    arr = {"b", "_x", "a"};
    ZeqGF::SortString(arr, TRUE);
    EXPECT_EQ((CStringArray{"_x", "a", "b"}), arr);

    // CP936: double-byte characters sort after ASCII, by their code value.
    CCodePageScope cp("CP936");
    arr = {"\xD6\xD0", "z", "\xB0\xA1"};
    ZeqGF::SortString(arr, TRUE);
    EXPECT_EQ((CStringArray{"z", "\xB0\xA1", "\xD6\xD0"}), arr);
}

TEST(ZeqGFText, CommaStringKeepsTheSignInFront) {
    struct {
        const char* text;
        const char* expected;
    } texts[] = {
        {"1234567", "1,234,567"},
        {"", ""},
        {"123", "123"},
        {"1234", "1,234"},
        {"-123", "-123"},
        {"-1234", "-1,234"},
        {"-", "-"},
        {"+12345", "+12,345"},
    };
    for (const auto& c : texts)
        EXPECT_EQ(c.expected, ZeqGF::CommaString(CString(c.text)));

    EXPECT_EQ("5,000,000,000", ZeqGF::CommaString(int64_t{5000000000}));
    EXPECT_EQ("0", ZeqGF::CommaString(int64_t{0}));
    EXPECT_EQ("-1,234,567", ZeqGF::CommaString(int64_t{-1234567}));
    EXPECT_EQ("-9,223,372,036,854,775,808", ZeqGF::CommaString(int64_t{LLONG_MIN}));
}

TEST(ZeqGFColor, ShadesClampAndClearTheTopByte) {
    EXPECT_EQ(RGB(0, 180, 235), ZeqGF::GetColorDark(RGB(10, 200, 255), 20));
    EXPECT_EQ(RGB(70, 255, 255), ZeqGF::GetColorLight(RGB(10, 200, 255), 60));
    EXPECT_EQ(RGB(1, 2, 3), ZeqGF::GetColorDark(RGB(1, 2, 3) | 0xFF000000u, 0));
    EXPECT_EQ(RGB(255, 255, 255), ZeqGF::GetColorLight(RGB(1, 1, 1), 255));
    EXPECT_EQ(RGB(0, 0, 0), ZeqGF::GetColorDark(RGB(255, 255, 255), 300));
}
