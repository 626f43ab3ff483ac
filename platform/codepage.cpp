#include "platform/codepage.h"

#include <iconv.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

namespace {

std::mutex g_cpMutex;
std::string g_strOverride;       // guarded by g_cpMutex
std::atomic<int> g_nCodePage{-1};  // cached number of the installation code page

std::string EnvCodePage() {
    const char* env = std::getenv("CORVANE_CODEPAGE");
    return env && *env ? std::string(env) : std::string("CP1252");
}

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return u;
}

// One open conversion descriptor per thread and direction, reused across calls.
class CConverter {
public:
    CConverter(const std::string& to, const std::string& from)
        : m_cd(iconv_open(to.c_str(), from.c_str())) {}
    ~CConverter() {
        if (Valid()) iconv_close(m_cd);
    }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
        return m_cd;
    }

private:
    iconv_t m_cd;
};

CConverter* GetConverter(const std::string& to, const std::string& from) {
    thread_local std::map<std::string, std::unique_ptr<CConverter>> cache;
    std::string key = to + "|" + from;
    auto it = cache.find(key);
    if (it == cache.end()) {
        it = cache.emplace(key, std::make_unique<CConverter>(to, from)).first;
    }
    return it->second->Valid() ? it->second.get() : nullptr;
}

std::string Resolve(const std::string& codePage) {
    return codePage.empty() ? CodePageName() : codePage;
}

// Converts from a byte encoding to a fixed-width unit encoding (UTF-16LE). Invalid or
// incomplete input bytes become U+FFFD, one byte at a time.
std::u16string DecodeToUtf16(std::string_view in, const std::string& from) {
    std::u16string out;
    CConverter* conv = GetConverter("UTF-16LE", from);
    if (!conv) {
        // Unknown code page: keep ASCII, mark the rest.
        for (unsigned char c : in) out.push_back(c < 0x80 ? c : u'\uFFFD');
        return out;
    }
    iconv_t cd = conv->Get();
    out.reserve(in.size());
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        size_t produced = sizeof buf - dstLeft;
        for (size_t i = 0; i + 1 < produced; i += 2) {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buf[i]) |
                                                (static_cast<unsigned char>(buf[i + 1]) << 8)));
        }
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL: skip one byte.
            out.push_back(u'\uFFFD');
            ++src;
            --srcLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

// Converts UTF-16LE units to a byte encoding; characters it cannot hold become '?',
// unpaired surrogates too.
std::string EncodeFromUtf16(std::u16string_view in, const std::string& to) {
    std::string out;
    CConverter* conv = GetConverter(to, "UTF-16LE");
    if (!conv) {
        for (char16_t c : in) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        return out;
    }
    iconv_t cd = conv->Get();
    std::string bytes;
    bytes.reserve(in.size() * 2);
    for (char16_t c : in) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    out.reserve(in.size());
    char* src = bytes.data();
    size_t srcLeft = bytes.size();
    char buf[1024];
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, sizeof buf - dstLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // One unit (or a whole surrogate pair) that the target cannot take.
            size_t skip = 2;
            if (srcLeft >= 4) {
                unsigned u = static_cast<unsigned char>(src[0]) |
                             (static_cast<unsigned char>(src[1]) << 8);
                unsigned v = static_cast<unsigned char>(src[2]) |
                             (static_cast<unsigned char>(src[3]) << 8);
                if (u >= 0xD800 && u < 0xDC00 && v >= 0xDC00 && v < 0xE000) skip = 4;
            }
            if (skip > srcLeft) skip = srcLeft;
            out.push_back('?');
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    // A stateful encoding (ISO-2022-JP) returns to its initial state at the end.
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) != static_cast<size_t>(-1)) {
        out.append(buf, sizeof buf - dstLeft);
    }
    return out;
}

}  // namespace

std::string CodePageName() {
    std::lock_guard<std::mutex> lock(g_cpMutex);
    return g_strOverride.empty() ? EnvCodePage() : g_strOverride;
}

int CodePageNumber() {
    int n = g_nCodePage.load(std::memory_order_acquire);
    if (n < 0) {
        // Looked up and cached under the lock, so that a SetCodePage in between cannot be
        // overwritten by the number of the code page it replaced.
        std::lock_guard<std::mutex> lock(g_cpMutex);
        n = CodePageNumberOf(g_strOverride.empty() ? EnvCodePage() : g_strOverride);
        g_nCodePage.store(n, std::memory_order_release);
    }
    return n;
}

void SetCodePage(const std::string& iconvName) {
    std::lock_guard<std::mutex> lock(g_cpMutex);
    g_strOverride = iconvName;
    g_nCodePage.store(-1, std::memory_order_release);
}

int CodePageNumberOf(std::string_view iconvName) {
    static const std::map<std::string, int> aliases = {
        {"SHIFT_JIS", 932}, {"SHIFT-JIS", 932}, {"SJIS", 932},   {"MS_KANJI", 932},
        {"WINDOWS-31J", 932}, {"GBK", 936},     {"GB2312", 936}, {"EUC-CN", 936},
        {"EUC-KR", 949},    {"UHC", 949},       {"JOHAB", 1361}, {"BIG5", 950},
        {"BIG-5", 950},     {"BIG5-HKSCS", 950}, {"ISO-8859-1", 28591}, {"LATIN1", 28591},
        {"UTF-8", 65001},   {"UTF8", 65001},
    };
    std::string u = Upper(iconvName);
    for (const char* prefix : {"WINDOWS-", "CP", "MS"}) {
        size_t len = std::strlen(prefix);
        if (u.size() > len && u.compare(0, len, prefix) == 0) {
            std::string digits = u.substr(len);
            if (digits.find_first_not_of("0123456789") == std::string::npos) {
                return std::atoi(digits.c_str());
            }
        }
    }
    auto it = aliases.find(u);
    return it == aliases.end() ? 0 : it->second;
}

bool IsDoubleByteCodePage(int nCodePage) {
    return nCodePage == 932 || nCodePage == 936 || nCodePage == 949 || nCodePage == 950;
}

bool IsLeadByteOf(int nCodePage, unsigned char ch) {
    switch (nCodePage) {
        case 932:
            return (ch >= 0x81 && ch <= 0x9F) || (ch >= 0xE0 && ch <= 0xFC);
        case 936:
        case 949:
        case 950:
            return ch >= 0x81 && ch <= 0xFE;
        default:
            return false;
    }
}

bool IsLeadByte(unsigned char ch) { return IsLeadByteOf(CodePageNumber(), ch); }

std::string CutToRoom(std::string_view text, std::size_t nRoom) {
    if (text.size() <= nRoom) return std::string(text);
    std::size_t n = 0;
    while (n < text.size()) {
        const std::size_t nWidth =
            IsLeadByte(static_cast<unsigned char>(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + nWidth > nRoom) break;
        n += nWidth;
    }
    return std::string(text.substr(0, n));
}

std::u16string ToUtf16(std::string_view text, const std::string& codePage) {
    return DecodeToUtf16(text, Resolve(codePage));
}

std::string FromUtf16(std::u16string_view text, const std::string& codePage) {
    return EncodeFromUtf16(text, Resolve(codePage));
}

std::string ToUtf8(std::string_view text, const std::string& codePage) {
    std::u16string wide = ToUtf16(text, codePage);
    return EncodeFromUtf16(wide, "UTF-8");
}

std::string FromUtf8(std::string_view text, const std::string& codePage) {
    return FromUtf16(DecodeToUtf16(text, "UTF-8"), codePage);
}

}  // namespace platform
