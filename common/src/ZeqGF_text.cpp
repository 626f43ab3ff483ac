// Byte order and code-page text helpers.
#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "common/ZeqGF.h"
#include "platform/codepage.h"
#include "zeqgf_internal.h"

namespace zeqgf {

size_t CharLen(std::string_view s, size_t i) {
    if (i + 1 < s.size() && platform::IsLeadByte(static_cast<unsigned char>(s[i])) &&
        s[i + 1] != '\0') {
        return 2;
    }
    return 1;
}

std::vector<size_t> CharStarts(std::string_view s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size(); i += CharLen(s, i))
        starts.push_back(i);
    return starts;
}

namespace {

// Code value of the character at i (a double-byte one as lead * 256 + trail), ASCII
// letters folded to lower case; advances i.
unsigned NextFolded(std::string_view s, size_t& i) {
    size_t n = CharLen(s, i);
    unsigned v;
    if (n == 2) {
        v = (static_cast<unsigned char>(s[i]) << 8) | static_cast<unsigned char>(s[i + 1]);
    } else {
        v = static_cast<unsigned char>(s[i]);
        if (v >= 'A' && v <= 'Z')
            v += 'a' - 'A';
    }
    i += n;
    return v;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view TrimView(std::string_view s) {
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string FromUnits(std::u16string_view u) {
    // A cut must not leave half a surrogate pair behind.
    if (!u.empty() && u.back() >= 0xD800 && u.back() <= 0xDBFF)
        u.remove_suffix(1);
    if (!u.empty() && u.front() >= 0xDC00 && u.front() <= 0xDFFF)
        u.remove_prefix(1);
    return platform::FromUtf16(u);
}

}  // namespace

int CompareNoCase(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        unsigned ca = NextFolded(a, i), cb = NextFolded(b, j);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

}  // namespace zeqgf

using zeqgf::View;

ZeqGF::~ZeqGF() = default;

BOOL ZeqGF::InvertByte(BYTE* pData, int nLen) {
    if (!pData || nLen < 2)
        return FALSE;
    std::reverse(pData, pData + nLen);
    return TRUE;
}

BOOL ZeqGF::HostToNetwork(BYTE* pData, int nLen) {
    if (IsHostBigEndian())
        return TRUE;
    return InvertByte(pData, nLen);
}

BOOL ZeqGF::NetworkToHost(BYTE* pData, int nLen) {
    return HostToNetwork(pData, nLen);
}

BOOL ZeqGF::IsHostBigEndian() {
    return htons(255) == 255 ? TRUE : FALSE;
}

int ZeqGF::SplitText(LPCSTR lpszText, LPCSTR lpszDelims, CStringArray& arr) {
    arr.clear();
    std::string_view text = View(lpszText), delims = View(lpszDelims);
    std::vector<std::string_view> delimChars;
    for (size_t i = 0; i < delims.size();) {
        size_t n = zeqgf::CharLen(delims, i);
        delimChars.push_back(delims.substr(i, n));
        i += n;
    }
    std::string piece;
    for (size_t i = 0; i < text.size();) {
        size_t n = zeqgf::CharLen(text, i);
        std::string_view ch = text.substr(i, n);
        if (std::find(delimChars.begin(), delimChars.end(), ch) != delimChars.end()) {
            if (!piece.empty())
                arr.push_back(std::move(piece));
            piece.clear();
        } else {
            piece.append(ch);
        }
        i += n;
    }
    if (!piece.empty())
        arr.push_back(std::move(piece));
    return static_cast<int>(arr.size());
}

BOOL ZeqGF::IsEmpty(LPCSTR lpszText) {
    return zeqgf::TrimView(View(lpszText)).empty();
}

int ZeqGF::GetLength(LPCSTR lpszText) {
    return static_cast<int>(View(lpszText).size());
}

void ZeqGF::Trim(CString& str) {
    str = CString(zeqgf::TrimView(str));
}

int ZeqGF::MultiToWide(LPCSTR src, WORD* dst, int nWide) {
    if (!src || nWide < 0)
        return 0;
    std::u16string u = platform::ToUtf16(src);
    int nNeed = static_cast<int>(u.size()) + 1;
    if (nWide == 0)
        return nNeed;
    if (!dst || nWide < nNeed)
        return 0;
    std::copy(u.begin(), u.end(), dst);
    dst[u.size()] = 0;
    return nNeed;
}

int ZeqGF::WideToMulti(const WORD* src, LPSTR dst, int nBytes) {
    if (!src || nBytes < 0)
        return 0;
    std::u16string u;
    for (const WORD* p = src; *p; ++p)
        u.push_back(static_cast<char16_t>(*p));
    std::string s = platform::FromUtf16(u);
    int nNeed = static_cast<int>(s.size()) + 1;
    if (nBytes == 0)
        return nNeed;
    if (!dst || nBytes < nNeed)
        return 0;
    std::memcpy(dst, s.c_str(), s.size() + 1);
    return nNeed;
}

int ZeqGF::TextCount(LPCSTR lpszText) {
    return static_cast<int>(platform::ToUtf16(View(lpszText)).size());
}

CString ZeqGF::LeftText(LPCSTR lpszText, int n) {
    std::u16string u = platform::ToUtf16(View(lpszText));
    if (n < 0)
        n = 0;
    if (u.size() <= static_cast<size_t>(n))
        return CString(View(lpszText));
    return zeqgf::FromUnits(std::u16string_view(u).substr(0, n));
}

CString ZeqGF::RightText(LPCSTR lpszText, int n) {
    std::u16string u = platform::ToUtf16(View(lpszText));
    if (n < 0)
        n = 0;
    if (u.size() <= static_cast<size_t>(n))
        return CString(View(lpszText));
    return zeqgf::FromUnits(std::u16string_view(u).substr(u.size() - n));
}

CString ZeqGF::VertText(LPCSTR lpszText) {
    std::string_view text = View(lpszText);
    CString out;
    for (size_t i = 0; i < text.size();) {
        size_t n = zeqgf::CharLen(text, i);
        out.append(text.substr(i, n));
        out += '\n';
        i += n;
    }
    return out;
}

CString ZeqGF::AbbreviateText(LPCSTR lpszText, int n) {
    if (n <= 3)
        return "...";
    if (TextCount(lpszText) > n)
        return LeftText(lpszText, n - 3) + "...";
    return CString(View(lpszText));
}

int ZeqGF::FindString(const CStringArray& arr, LPCSTR lpszText, BOOL bCase) {
    std::string_view text = View(lpszText);
    for (size_t i = 0; i < arr.size(); ++i) {
        bool bEqual = bCase ? arr[i] == text : zeqgf::CompareNoCase(arr[i], text) == 0;
        if (bEqual)
            return static_cast<int>(i);
    }
    return -1;
}

CString ZeqGF::CompleteString(LPCSTR lpszText, int n) {
    std::string_view text = View(lpszText);
    if (n < 0 || static_cast<size_t>(n) > text.size())
        return CString(text);
    // Walk whole characters from the start: a trail byte may look like a lead byte, so
    // only the walk knows where the characters begin.
    size_t nKeep = 0;
    while (nKeep < text.size()) {
        size_t len = zeqgf::CharLen(text, nKeep);
        // A lead byte with nothing after it is half a character as well.
        if (len == 1 && platform::IsLeadByte(static_cast<unsigned char>(text[nKeep])) &&
            nKeep + 1 == text.size()) {
            break;
        }
        if (nKeep + len > static_cast<size_t>(n))
            break;
        nKeep += len;
    }
    return CString(text.substr(0, nKeep));
}

void ZeqGF::SortString(CStringArray& arr, BOOL bAscending) {
    CStringArray sorted;
    sorted.reserve(arr.size());
    for (auto& item : arr) {
        auto it = sorted.begin();
        for (; it != sorted.end(); ++it) {
            int c = zeqgf::CompareNoCase(*it, item);
            if (bAscending ? c >= 0 : c <= 0)
                break;
        }
        sorted.insert(it, std::move(item));
    }
    arr = std::move(sorted);
}

CString ZeqGF::CommaString(const CString& str) {
    // The sign stays in front of the grouped digits.
    std::string_view body = str;
    std::string_view sign;
    if (!body.empty() && (body.front() == '-' || body.front() == '+')) {
        sign = body.substr(0, 1);
        body.remove_prefix(1);
    }
    CString out(sign);
    for (size_t i = 0; i < body.size(); ++i) {
        if (i > 0 && (body.size() - i) % 3 == 0)
            out += ',';
        out += body[i];
    }
    return out;
}

CString ZeqGF::CommaString(int64_t nValue) {
    return CommaString(std::to_string(nValue));
}
