#include "acq_server/acqlog.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "platform/codepage.h"

namespace acq {

CString Format(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    CString str;
    if (n > 0) {
        str.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(str.data(), str.size(), pszFormat, args);
        str.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return str;
}

CString CutText(const CString& str, std::size_t nMax) {
    std::size_t nKeep = 0;
    while (nKeep < str.size()) {
        const std::size_t nStep =
            platform::IsLeadByte(static_cast<unsigned char>(str[nKeep])) ? 2 : 1;
        if (nKeep + nStep > nMax)
            break;
        nKeep += nStep;
    }
    return str.substr(0, std::min(nKeep, str.size()));
}

}  // namespace acq
