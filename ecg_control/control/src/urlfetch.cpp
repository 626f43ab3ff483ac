#include "urlfetch.h"

#include <curl/curl.h>

#include <cstdio>
#include <mutex>

namespace wavelin {
namespace {

struct CSink {
    std::FILE* pFile = nullptr;
    long nBytes = 0;
    BOOL bFailed = FALSE;
};

size_t WriteBody(char* pData, size_t nSize, size_t nCount, void* pUser) {
    auto* pSink = static_cast<CSink*>(pUser);
    const size_t nBytes = nSize * nCount;
    if (pSink->nBytes + static_cast<long>(nBytes) > kMaxDownloadBytes ||
        std::fwrite(pData, 1, nBytes, pSink->pFile) != nBytes) {
        pSink->bFailed = TRUE;
        return 0;  // ends the transfer
    }
    pSink->nBytes += static_cast<long>(nBytes);
    return nBytes;
}

}  // namespace

BOOL DownloadUrlToFile(const CString& strUrl, const CString& strPath) {
    static std::once_flag s_init;
    std::call_once(s_init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    if (strUrl.empty() || strPath.empty()) {
        return FALSE;
    }
    CSink sink;
    sink.pFile = std::fopen(strPath.c_str(), "wb");
    if (!sink.pFile) {
        return FALSE;
    }
    CURL* pCurl = curl_easy_init();
    if (!pCurl) {
        std::fclose(sink.pFile);
        return FALSE;
    }
    curl_easy_setopt(pCurl, CURLOPT_URL, strUrl.c_str());
    curl_easy_setopt(pCurl, CURLOPT_PROTOCOLS_STR, "http,https,ftp,file");
    curl_easy_setopt(pCurl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(pCurl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(pCurl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(pCurl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(pCurl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(pCurl, CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(pCurl, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(pCurl, CURLOPT_MAXFILESIZE, kMaxDownloadBytes);
    curl_easy_setopt(pCurl, CURLOPT_WRITEFUNCTION, &WriteBody);
    curl_easy_setopt(pCurl, CURLOPT_WRITEDATA, &sink);
    const CURLcode rc = curl_easy_perform(pCurl);
    curl_easy_cleanup(pCurl);
    const BOOL bClosed = std::fclose(sink.pFile) == 0;
    return rc == CURLE_OK && !sink.bFailed && bClosed;
}

}  // namespace wavelin
