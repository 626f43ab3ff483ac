#pragma once
// Downloads a URL into a file, as the control's EKGOpenURL needs it.
#include "platform/wintypes.h"

namespace wavelin {
// Largest download taken: far beyond any record file, small enough to refuse garbage.
constexpr long kMaxDownloadBytes = 16L * 1024 * 1024;
// http, https, ftp and file URLs; an HTTP error status, a body larger than the limit or a
// failed write is a failure. The file is truncated first.
BOOL DownloadUrlToFile(const CString& strUrl, const CString& strPath);
}  // namespace wavelin
