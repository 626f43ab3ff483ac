#include "oxuutil/stringformat.h"

#include <cstdarg>
#include <cstdio>

namespace {

// vsnprintf into a text of the size it asks for.
CString Formatted(LPCSTR lpszFormat, va_list args) {
    if (!lpszFormat)
        return CString();
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, lpszFormat, copy);
    va_end(copy);
    if (n <= 0)
        return CString();
    CString str(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(str.data(), str.size() + 1, lpszFormat, args);
    return str;
}

}  // namespace

// Out of line, so that the library that carries the class exports them.
CStringFormat::CStringFormat() = default;
CStringFormat::CStringFormat(const CStringFormat&) = default;
CStringFormat& CStringFormat::operator=(const CStringFormat&) = default;
CStringFormat::~CStringFormat() = default;

const CString& CStringFormat::Format(LPCSTR lpszFormat, ...) {
    va_list args;
    va_start(args, lpszFormat);
    m_str = Formatted(lpszFormat, args);
    va_end(args);
    return m_str;
}

const CString& CStringFormat::AppendFormat(LPCSTR lpszFormat, ...) {
    va_list args;
    va_start(args, lpszFormat);
    m_str += Formatted(lpszFormat, args);
    va_end(args);
    return m_str;
}
