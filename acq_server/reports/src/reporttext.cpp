#include "reporttext.h"

#include <charconv>
#include <cmath>

#include "platform/atomicfile.h"

namespace acq_reports::detail {

std::string FillRow(const char* pszFormat, std::initializer_list<std::string> args) {
    std::string out;
    auto next = args.begin();
    for (const char* p = pszFormat; *p; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        if (p[1] == '%') {
            out += '%';
            ++p;
            continue;
        }
        const char* q = p + 1;
        std::size_t width = 0;
        while (*q >= '0' && *q <= '9') width = width * 10 + static_cast<std::size_t>(*q++ - '0');
        if (*q != 's') {  // not a conversion of ours: literal
            out += *p;
            continue;
        }
        std::string value = next != args.end() ? *next++ : std::string();
        if (value.size() < width) out.append(width - value.size(), ' ');
        out += value;
        p = q;
    }
    return out;
}

std::string Fixed2(float value) {
    char buf[64];
    // Not-a-number and infinities print as the C library prints them, without a locale.
    if (std::isnan(value)) return value < 0 || std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                             std::chars_format::fixed, 2);
    std::string text(buf, res.ptr);
    if (text.size() < 4) text.insert(0, 4 - text.size(), ' ');
    return text;
}

std::string ZeroPad(const std::string& text, std::size_t width) {
    if (text.size() >= width) return text;
    return std::string(width - text.size(), '0') + text;
}

std::string MinuteText(std::time_t now) {
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M", &tm);
    return buf;
}

long LeadingNumber(const std::string& text) {
    long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        if (n < 100000000) n = n * 10 + (c - '0');
    }
    return n;
}

std::string ImperialLines(const std::string& strHeight, const std::string& strWeight,
                          const char* pszHeightKey, const char* pszWeightKey) {
    std::string weight;
    for (char c : strWeight) {
        if (c != 'L') weight += c;
    }
    const long inches = static_cast<long>(static_cast<double>(LeadingNumber(strHeight)) * 0.393701 + 0.5);
    std::string out = pszHeightKey;
    out += std::to_string(inches / 12) + " ft  " + std::to_string(inches % 12) + " in\r\n";
    out += pszWeightKey;
    out += std::to_string(LeadingNumber(weight)) + " lbs\r\n";
    return out;
}

int WriteReportFile(const std::string& strPath, const std::string& strText) {
    return platform::WriteFileAtomically(strPath, strText) ? 1 : 0;
}

}  // namespace acq_reports::detail
