#include "viewers/common/ipcheck.h"

#include <algorithm>
#include <cstring>

BOOL IsValidIPAddress(const std::string& text) {
    if (text.size() < 7 || text.size() > 15)
        return FALSE;
    int nDots = 0, nDigits = 0, nPart = 0;
    for (char ch : text) {
        if (ch >= '0' && ch <= '9') {
            if (++nDigits > 3)
                return FALSE;
            nPart = nPart * 10 + (ch - '0');
        } else if (ch == '.') {
            if (nDigits == 0 || nPart > 255 || ++nDots > 3)
                return FALSE;
            nDigits = nPart = 0;
        } else {
            return FALSE;
        }
    }
    return (nDots == 3 && nDigits > 0 && nPart <= 255) ? TRUE : FALSE;
}

namespace {
bool Allowed(unsigned char ch) {
    if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'))
        return true;
    return ch != 0 && std::strchr(" !#$%&()+;=@[]^_{}~`", ch) != nullptr;
}
}  // namespace

std::string FilterIdentifier(const std::string& text, int nGrown) {
    std::string s = text;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(s[i]);
        if (ch & 0x80) {
            // What was just typed goes, from the first such byte on.
            const std::size_t n = std::max(1, nGrown);
            s.erase(i, std::min(n, s.size() - i));
            --i;
            continue;
        }
        if (!Allowed(ch)) {
            s.erase(std::remove(s.begin(), s.end(), char(ch)), s.end());
            --i;
        }
    }
    return s;
}
