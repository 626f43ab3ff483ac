#include "platform/codepage.h"

#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

using namespace platform;

TEST(CodePage, DefaultIsCp1252AndEnvironmentChoosesIt) {
    {
        testsupport::CEnvScope env("CORVANE_CODEPAGE", nullptr);
        testsupport::CCodePageScope reset("");
        EXPECT_EQ(CodePageName(), "CP1252");
        EXPECT_EQ(CodePageNumber(), 1252);
    }
    {
        testsupport::CEnvScope env("CORVANE_CODEPAGE", "CP949");
        testsupport::CCodePageScope reset("");
        EXPECT_EQ(CodePageNumber(), 949);
        EXPECT_TRUE(IsLeadByte(0xB0));
    }
}

TEST(CodePage, NumbersOfIconvNames) {
    struct {
        const char* name;
        int number;
    } cases[] = {{"CP1252", 1252}, {"cp949", 949},  {"WINDOWS-1254", 1254}, {"GBK", 936},
                 {"EUC-KR", 949},  {"SJIS", 932},   {"BIG5", 950},          {"CP936", 936},
                 {"UTF-8", 65001}, {"nonsense", 0}, {"CP", 0}};
    for (const auto& c : cases) EXPECT_EQ(CodePageNumberOf(c.name), c.number) << c.name;
}

TEST(CodePage, LeadBytesOfDoubleByteCodePages) {
    struct {
        int cp;
        unsigned char ch;
        bool lead;
    } cases[] = {{932, 0x81, true},  {932, 0x9F, true},  {932, 0xA0, false}, {932, 0xE0, true},
                 {932, 0xFD, false}, {936, 0x80, false}, {936, 0x81, true},  {936, 0xFE, true},
                 {936, 0xFF, false}, {949, 0xB0, true},  {950, 0xA4, true},  {950, 0x41, false},
                 {1252, 0xE9, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsLeadByteOf(c.cp, c.ch), c.lead) << c.cp << " " << int(c.ch);
    }
    EXPECT_TRUE(IsDoubleByteCodePage(949));
    EXPECT_FALSE(IsDoubleByteCodePage(1252));
}

TEST(CodePage, ConvertsBothWays) {
    // "Café" in CP1252, Korean "한글" in CP949, Chinese "中文" in CP936.
    EXPECT_EQ(ToUtf8("Caf\xE9", "CP1252"), "Caf\xC3\xA9");
    EXPECT_EQ(ToUtf16("\xC7\xD1\xB1\xDB", "CP949"), u"\uD55C\uAE00");
    EXPECT_EQ(FromUtf16(u"\uD55C\uAE00", "CP949"), "\xC7\xD1\xB1\xDB");
    EXPECT_EQ(ToUtf16("\xD6\xD0\xCE\xC4", "CP936"), u"\u4E2D\u6587");
    EXPECT_EQ(FromUtf8("\xE4\xB8\xAD\xE6\x96\x87", "CP936"), "\xD6\xD0\xCE\xC4");
    testsupport::CCodePageScope cp("CP949");
    EXPECT_EQ(ToUtf8("\xC7\xD1"), "\xED\x95\x9C");
    // A stateful encoding's text ends back in its initial state.
    EXPECT_EQ(FromUtf16(u"\u65E5", "ISO-2022-JP"), "\x1B$BF|\x1B(B");
}

TEST(CodePage, BadInputIsMarkedNotDropped) {
    // A lone lead byte at the end, and a character CP1252 cannot hold.
    EXPECT_EQ(ToUtf16("A\xC7", "CP949"), u"A\uFFFD");
    EXPECT_EQ(FromUtf16(u"a\uD55Cb", "CP1252"), "a?b");
    EXPECT_EQ(FromUtf16(u"x\U0001F600y", "CP1252"), "x?y");
    // Unknown code page: ASCII survives.
    EXPECT_EQ(ToUtf16("ab\xE9", "NO-SUCH-CP"), u"ab\uFFFD");
    // Long texts cross the internal buffer size.
    std::string big(5000, '\xE9');
    EXPECT_EQ(ToUtf16(big, "CP1252"), std::u16string(5000, u'\u00E9'));
}

TEST(CodePage, CutToRoomKeepsDoubleByteCharactersWhole) {
    testsupport::CCodePageScope cp("CP949");
    const std::string text = "a\xC7\xD1\xB1\xDB";  // "a" and two Korean characters
    struct {
        size_t room;
        std::string expected;
    } cases[] = {{0, ""}, {1, "a"}, {2, "a"}, {3, "a\xC7\xD1"}, {4, "a\xC7\xD1"}, {5, text}, {9, text}};
    for (const auto& c : cases) EXPECT_EQ(CutToRoom(text, c.room), c.expected) << c.room;
    // A lone lead byte at the end counts as one byte.
    EXPECT_EQ(CutToRoom("ab\xC7", 2), "ab");
    testsupport::CCodePageScope latin("CP1252");
    EXPECT_EQ(CutToRoom("ab\xE9\xE9", 3), "ab\xE9");
}
