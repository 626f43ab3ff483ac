#include "acq_server/ftp/ftpclient.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "common/ZeqGF.h"

namespace {

std::once_flag g_curlInit;

void InitCurl() {
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Host names and addresses only: a server text from the settings file never adds a user,
// a path or another scheme to the URL.
bool HostForUrl(const CString& strServer, CString& strHost) {
    if (strServer.empty())
        return false;
    bool bColon = false;
    for (char ch : strServer) {
        bool bOk = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
                   (ch >= '0' && ch <= '9') || ch == '.' || ch == '-' || ch == '_' || ch == ':';
        if (!bOk)
            return false;
        bColon = bColon || ch == ':';
    }
    strHost = bColon ? "[" + strServer + "]" : strServer;  // IPv6 address
    return true;
}

CString Escape(CURL* pEasy, const CString& text) {
    char* p = curl_easy_escape(pEasy, text.data(), static_cast<int>(text.size()));
    CString out = p ? p : "";
    curl_free(p);
    return out;
}

bool IsSep(char ch) {
    return ch == '/' || ch == '\\';
}

// A reply code 500-599: the server refused for good what it was asked.
bool IsPermanentRefusal(int nCode) {
    return nCode >= 500 && nCode <= 599;
}

}  // namespace

CFtpClient::CFtpClient() {
    InitCurl();
    m_pEasy = curl_easy_init();
    m_pMulti = curl_multi_init();
}

CFtpClient::~CFtpClient() {
    Close();
    {
        std::lock_guard<std::mutex> lock(m_multiLock);
        if (m_pMulti)
            curl_multi_cleanup(m_pMulti);
        m_pMulti = nullptr;
    }
    if (m_pEasy)
        curl_easy_cleanup(m_pEasy);
}

void CFtpClient::SetTimeouts(int nConnectMs, int nResponseMs) {
    m_nConnectMs = nConnectMs > 0 ? nConnectMs : 30000;
    m_nResponseMs = nResponseMs > 0 ? nResponseMs : 30000;
}

void CFtpClient::Abort() {
    {
        std::lock_guard<std::mutex> lock(m_sockLock);
        m_bAbort = true;
        // Whatever libcurl waits for on these (a reply, the server's data connection)
        // ends now; the descriptors stay libcurl's to close.
        for (int fd : m_sockets)
            ::shutdown(fd, SHUT_RDWR);
    }
    std::lock_guard<std::mutex> lock(m_multiLock);
    if (m_pMulti)
        curl_multi_wakeup(m_pMulti);
}

void CFtpClient::ResetAbort() {
    std::lock_guard<std::mutex> lock(m_sockLock);
    m_bAbort = false;
}

CString CFtpClient::BaseUrl() const {
    CString strHost;
    HostForUrl(m_strServer, strHost);
    return "ftp://" + strHost + ":" + std::to_string(m_nPort);
}

void CFtpClient::ApplyCommonOptions() {
    CURL* h = m_pEasy;
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_USERNAME, m_strUser.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, m_strPassword.c_str());
    // Active mode: the server connects back to the address of the control connection.
    curl_easy_setopt(h, CURLOPT_FTPPORT, "-");
    // Binary type: the files are JPEG, PDF, DICOM and text, and must arrive byte for byte.
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
    // One change of folder to "/" plus the remote path's folder, as it stands.
    curl_easy_setopt(h, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(h, CURLOPT_FTP_CREATE_MISSING_DIRS,
                     static_cast<long>(CURLFTP_CREATE_DIR_NONE));
    long nResponseSeconds = (m_nResponseMs + 999) / 1000;
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(m_nConnectMs));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, nResponseSeconds);
    curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(m_nResponseMs));
    // A transfer that stops moving counts as a lost connection.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, nResponseSeconds);
    curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, m_szCurlError);
    // The protocol trace gives the server's replies for the error texts.
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &CFtpClient::OnDebug);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CFtpClient::OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &CFtpClient::OnOpenSocket);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETFUNCTION, &CFtpClient::OnCloseSocket);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETDATA, this);
}

int CFtpClient::Perform() {
    m_szCurlError[0] = '\0';
    m_strLastReply.clear();
    m_strLastCommand.clear();
    m_nLastReplyCode = 0;
    if (m_bAbort)
        return CURLE_ABORTED_BY_CALLBACK;
    CURLM* pMulti = m_pMulti;
    if (!m_pEasy || !pMulti || curl_multi_add_handle(pMulti, m_pEasy) != CURLM_OK)
        return CURLE_FAILED_INIT;
    int nResult = -1;
    for (;;) {
        int nRunning = 0;
        if (curl_multi_perform(pMulti, &nRunning) != CURLM_OK) {
            nResult = CURLE_FAILED_INIT;
            break;
        }
        int nLeft = 0;
        while (CURLMsg* pMsg = curl_multi_info_read(pMulti, &nLeft)) {
            if (pMsg->msg == CURLMSG_DONE && pMsg->easy_handle == m_pEasy)
                nResult = pMsg->data.result;
        }
        if (nResult >= 0)
            break;
        if (m_bAbort || nRunning == 0) {
            nResult = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        // Woken by the sockets, the time-outs or Abort.
        curl_multi_poll(pMulti, nullptr, 0, 1000, nullptr);
    }
    // Taken out mid-transfer (an abort), libcurl closes that connection.
    curl_multi_remove_handle(pMulti, m_pEasy);
    return nResult;
}

CString CFtpClient::DescribeFailure(int nCode) const {
    if (m_bAbort)
        return "Aborted";
    // The text of the result code, then the server's own reply where it refused, else
    // libcurl's detail (the first one it noted in this transfer).
    CString text = curl_easy_strerror(static_cast<CURLcode>(nCode));
    if (m_nLastReplyCode >= 400 && !m_strLastReply.empty())
        return text + " [" + m_strLastReply + "]";
    if (m_szCurlError[0] && text != m_szCurlError)
        text += CString(": ") + m_szCurlError;
    return text;
}

int CFtpClient::Connect(LPCSTR lpszServer, int nPort, LPCSTR lpszUser, LPCSTR lpszPassword) {
    Close();
    m_strLastError.clear();
    m_strServer = lpszServer ? lpszServer : "";
    m_strUser = lpszUser ? lpszUser : "";
    m_strPassword = lpszPassword ? lpszPassword : "";
    m_nPort = nPort == 0 ? 21 : nPort;
    CString strHost;
    if (!HostForUrl(m_strServer, strHost) || m_nPort < 0 || m_nPort > 65535) {
        m_strLastError = "Invalid FTP server [" + m_strServer + ":" + std::to_string(nPort) + "]";
        return 0;
    }
    ApplyCommonOptions();
    // Logging in and nothing else: the login stays open in the handle's connection cache
    // for the uploads that follow.
    CString url = BaseUrl() + "/";
    curl_easy_setopt(m_pEasy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_pEasy, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(m_pEasy, CURLOPT_NOBODY, 1L);
    int nCode = Perform();
    if (nCode != CURLE_OK) {
        m_strLastError = DescribeFailure(nCode);
        Close();
        return 0;
    }
    m_bConnected = true;
    return 1;
}

int CFtpClient::PutFile(LPCSTR lpszLocal, LPCSTR lpszRemote) {
    m_eLastPut = PUT_LOST;
    if (!m_bConnected) {
        m_strLastError = "Not connected";
        return 0;
    }
    m_strLastError.clear();
    CString drive, dir, name, ext;
    ZeqGF::SplitPath(lpszRemote ? lpszRemote : "", drive, dir, name, ext);
    // The remote folder: "/" followed by the path's folder.
    CString folder;
    size_t b = 0, e = dir.size();
    while (b < e && IsSep(dir[b]))
        ++b;
    while (e > b && IsSep(dir[e - 1]))
        --e;
    folder = "/" + dir.substr(b, e - b);
    CString remoteName = name + ext;
    if (remoteName.empty()) {
        m_strLastError = "Invalid Remote Path [" + folder + "]";
        m_eLastPut = PUT_REFUSED;
        return 0;
    }
    // The URL's path: "%2F" makes the folder absolute; each part is escaped, so a name
    // with blanks, "#" or "%" arrives as itself.
    CString urlPath = "/%2F";
    CString part;
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || IsSep(folder[i])) {
            if (!part.empty())
                urlPath += Escape(m_pEasy, part) + "/";
            part.clear();
        } else {
            part += folder[i];
        }
    }
    urlPath += Escape(m_pEasy, remoteName);

    // Regular files only, opened without waiting: a pipe under the name would hang the run.
    FILE* pFile = nullptr;
    struct stat st {};
    int nError = EINVAL;
    int fd = lpszLocal ? ::open(lpszLocal, O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1;
    if (fd < 0)
        nError = errno;
    else if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
             fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        pFile = fdopen(fd, "rb");
    if (!pFile) {
        if (fd >= 0)
            ::close(fd);
        m_strLastError =
            CString("Cannot read [") + (lpszLocal ? lpszLocal : "") + "]: " + std::strerror(nError);
        m_eLastPut = PUT_REFUSED;
        return 0;
    }
    CString url = BaseUrl() + urlPath;
    curl_easy_setopt(m_pEasy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_pEasy, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(m_pEasy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_pEasy, CURLOPT_READDATA, pFile);
    curl_easy_setopt(m_pEasy, CURLOPT_READFUNCTION, nullptr);
    curl_easy_setopt(m_pEasy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(st.st_size));
    int nCode = Perform();
    std::fclose(pFile);
    curl_easy_setopt(m_pEasy, CURLOPT_READDATA, nullptr);
    curl_easy_setopt(m_pEasy, CURLOPT_UPLOAD, 0L);
    if (nCode == CURLE_OK) {
        m_eLastPut = PUT_DONE;
        return 1;
    }
    bool bRefused = !m_bAbort && IsPermanentRefusal(m_nLastReplyCode) &&
                    (nCode == CURLE_REMOTE_ACCESS_DENIED || nCode == CURLE_UPLOAD_FAILED ||
                     nCode == CURLE_REMOTE_FILE_NOT_FOUND || nCode == CURLE_REMOTE_DISK_FULL ||
                     nCode == CURLE_PARTIAL_FILE);
    if (bRefused) {
        m_eLastPut = PUT_REFUSED;
        if (m_strLastCommand == "CWD")
            m_strLastError = "Invalid Remote Path [" + folder + "]";
        else
            m_strLastError = DescribeFailure(nCode);
    } else {
        // The control connection cannot be trusted any more.
        m_strLastError = DescribeFailure(nCode);
        Close();
    }
    return 0;
}

void CFtpClient::Close() {
    m_bConnected = false;
    CURLM* pOld = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_multiLock);
        pOld = m_pMulti;
        m_pMulti = nullptr;
    }
    // Closing the multi handle closes the cached control connection (QUIT when it stands).
    if (pOld)
        curl_multi_cleanup(pOld);
    std::lock_guard<std::mutex> lock(m_multiLock);
    m_pMulti = curl_multi_init();
}

int CFtpClient::OnDebug(CURL*, curl_infotype type, char* data, std::size_t size, void* self) {
    auto* p = static_cast<CFtpClient*>(self);
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT)
        return 0;
    CString line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (type == CURLINFO_HEADER_OUT) {
        // The command only: the password never reaches an error text.
        p->m_strLastCommand = line.substr(0, line.find(' '));
        return 0;
    }
    if (line.size() >= 3 && line[0] >= '1' && line[0] <= '5') {
        p->m_nLastReplyCode = std::atoi(line.substr(0, 3).c_str());
        p->m_strLastReply = line;
    }
    return 0;
}

int CFtpClient::OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CFtpClient*>(self)->m_bAbort ? 1 : 0;
}

curl_socket_t CFtpClient::OnOpenSocket(void* self, curlsocktype, struct curl_sockaddr* address) {
    auto* p = static_cast<CFtpClient*>(self);
    std::lock_guard<std::mutex> lock(p->m_sockLock);
    if (p->m_bAbort)
        return CURL_SOCKET_BAD;
    int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd < 0)
        return CURL_SOCKET_BAD;
    p->m_sockets.insert(fd);
    return fd;
}

int CFtpClient::OnCloseSocket(void* self, curl_socket_t fd) {
    auto* p = static_cast<CFtpClient*>(self);
    std::lock_guard<std::mutex> lock(p->m_sockLock);
    p->m_sockets.erase(fd);
    return ::close(fd);
}
