#include "platform/format.h"

#include <cstdarg>
#include <cstdio>

namespace platform {

std::string Format(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    std::string str;
    if (n > 0) {
        str.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(str.data(), str.size(), pszFormat, args);
        str.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return str;
}

}  // namespace platform
