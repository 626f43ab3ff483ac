#pragma once
// The installation code page: every 8-bit text that crosses files, devices and the
// dispatch interface is in it. Conversion happens only at the screen and at the
// UTF-16 / UTF-8 outputs.
#include <string>
#include <string_view>

namespace platform {

// iconv name of the installation code page: CORVANE_CODEPAGE, default "CP1252".
std::string CodePageName();
// Windows number of the installation code page (1252, 949, 936, ...); 0 when unknown.
int CodePageNumber();
// Replaces the installation code page for this process (tests, and hosts that are told
// the code page of their data). An empty name returns to CORVANE_CODEPAGE / CP1252.
void SetCodePage(const std::string& iconvName);

// Windows number of a code page given by iconv name ("CP949", "EUC-KR", "GBK", ...); 0 when unknown.
int CodePageNumberOf(std::string_view iconvName);
// TRUE for the double-byte code pages 932, 936, 949 and 950.
bool IsDoubleByteCodePage(int nCodePage);
// Lead byte of a double-byte character in the given or the installation code page.
bool IsLeadByteOf(int nCodePage, unsigned char ch);
bool IsLeadByte(unsigned char ch);

// The text cut to at most nRoom bytes without splitting a double-byte character of the
// installation code page; a text that fits comes back whole.
std::string CutToRoom(std::string_view text, std::size_t nRoom);

// Conversions. Invalid input bytes become U+FFFD; characters the code page cannot
// hold become '?'. An empty code page name means the installation code page.
std::u16string ToUtf16(std::string_view text, const std::string& codePage = {});
std::string FromUtf16(std::u16string_view text, const std::string& codePage = {});
std::string ToUtf8(std::string_view text, const std::string& codePage = {});
std::string FromUtf8(std::string_view text, const std::string& codePage = {});

}  // namespace platform
