#pragma once
// Debug trace of the device link. The server writes every protocol step to its debug
// log; the core only formats the lines and hands them to whatever sink the host set.
#include <functional>
#include <string>

#include "platform/wintypes.h"

using LogSink = std::function<void(const CString&)>;

namespace acq {

// printf-style formatting into a CString.
CString Format(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

// The text cut to at most nMax bytes, never inside a double-byte character.
CString CutText(const CString& str, std::size_t nMax);

}  // namespace acq
