#pragma once
// printf-style formatting into a text of whatever length it needs.
#include <string>

namespace platform {

std::string Format(const char* pszFormat, ...) __attribute__((format(printf, 1, 2)));

}  // namespace platform
