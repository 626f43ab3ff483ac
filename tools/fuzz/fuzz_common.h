#pragma once
// Helpers of the fuzz harnesses: a private folder per process and a file written into it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline const std::string& PrivateDir() {
    static const std::string s_strDir = [] {
        const char* pszTmp = std::getenv("TMPDIR");
        std::string strTemplate =
            std::string(pszTmp && *pszTmp ? pszTmp : "/tmp") + "/corvane-fuzz-XXXXXX";
        if (!::mkdtemp(strTemplate.data()))
            std::abort();
        return strTemplate;
    }();
    return s_strDir;
}

inline std::string WriteInput(const std::string& strName, const uint8_t* pData, size_t nSize) {
    const std::string strPath = PrivateDir() + "/" + strName;
    std::FILE* pFile = std::fopen(strPath.c_str(), "wb");
    if (!pFile)
        std::abort();
    if (nSize && std::fwrite(pData, 1, nSize, pFile) != nSize)
        std::abort();
    std::fclose(pFile);
    return strPath;
}

}  // namespace fuzz
