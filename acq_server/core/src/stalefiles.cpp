#include "acq_server/stalefiles.h"

#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <system_error>

namespace acq {

namespace {
bool IsAlnum(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}
}  // namespace

BOOL IsStaleRecordTemp(const CString& strName) {
    // "." name "." XXXXXX
    constexpr std::size_t kSuffix = 7;
    if (strName.size() < 1 + kSuffix + 1 || strName[0] != '.')
        return FALSE;
    const std::size_t nSuffix = strName.size() - kSuffix;
    if (strName[nSuffix] != '.')
        return FALSE;
    for (std::size_t i = nSuffix + 1; i < strName.size(); ++i)
        if (!IsAlnum(strName[i]))
            return FALSE;
    const CString strRecord = strName.substr(1, nSuffix - 1);
    // A record name: an extension of 1 to 4 letters or digits ...
    const std::size_t nDot = strRecord.rfind('.');
    if (nDot == CString::npos || strRecord.size() - nDot - 1 < 1 || strRecord.size() - nDot - 1 > 4)
        return FALSE;
    for (std::size_t i = nDot + 1; i < strRecord.size(); ++i)
        if (!IsAlnum(strRecord[i]))
            return FALSE;
    // ... and a time of at least 12 digits behind an "_".
    for (std::size_t i = 0; i < nDot; ++i) {
        if (strRecord[i] != '_')
            continue;
        std::size_t nDigits = 0;
        while (i + 1 + nDigits < nDot &&
               std::isdigit(static_cast<unsigned char>(strRecord[i + 1 + nDigits])))
            ++nDigits;
        if (nDigits >= 12)
            return TRUE;
    }
    return FALSE;
}

std::size_t RemoveStaleTempFiles(const CString& strWorkingFolder, const LogSink& log,
                                 std::time_t tNow) {
    namespace fs = std::filesystem;
    std::size_t nRemoved = 0;
    if (strWorkingFolder.empty())
        return 0;
    const std::time_t tOldest = (tNow ? tNow : std::time(nullptr)) - kStaleAgeSeconds;
    std::error_code ec;
    fs::recursive_directory_iterator it(strWorkingFolder,
                                        fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::file_status st = it->symlink_status(ec);
        if (ec || !fs::is_regular_file(st))
            continue;
        const CString strName = it->path().filename().string();
        if (!IsStaleRecordTemp(strName))
            continue;
        struct stat written {};
        if (::lstat(it->path().c_str(), &written) != 0 || written.st_mtime > tOldest)
            continue;
        std::error_code ecRemove;
        if (fs::remove(it->path(), ecRemove)) {
            ++nRemoved;
            if (log)
                log(Format("Stale temporary file removed: %s", it->path().string().c_str()));
        }
    }
    return nRemoved;
}

}  // namespace acq
