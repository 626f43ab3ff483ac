#pragma once
// A thin FTP client on one libcurl handle: Connect logs in at once and that control
// connection serves every PutFile that follows until Close. Transfers are binary (type I)
// in active mode (the server connects back to the address of the control connection).
//
// Every wait is bounded: the connect time-out covers the TCP connect, the greeting and the
// login; the response time-out covers each later reply and a transfer that stops moving,
// so a server that accepts and never answers counts as down. Abort, from any thread, ends
// whatever the client is waiting for at once.
//
// One client is used by one thread at a time (Abort excepted); each client keeps its own
// last error text.
#include <atomic>
#include <mutex>
#include <set>

#include <curl/curl.h>

#include "platform/wintypes.h"

class CFtpClient {
public:
    // How the last PutFile ended.
    enum EPutResult {
        PUT_DONE,     // uploaded whole
        PUT_REFUSED,  // the server refused it by its reply (folder or file), or the local
                      // file could not be read: sending it again would fail again
        PUT_LOST,     // the connection failed, timed out or was aborted: try again later
    };

    CFtpClient();
    CFtpClient(const CFtpClient&) = delete;
    CFtpClient& operator=(const CFtpClient&) = delete;
    virtual ~CFtpClient();

    // 1 when logged in; 0 after a failure, with the reason (the server's reply where it
    // gave one) in the last error text. Port 0 means 21.
    int Connect(LPCSTR lpszServer, int nPort, LPCSTR lpszUser, LPCSTR lpszPassword);
    // Uploads the local file as the remote path: the remote folder is "/" plus the path's
    // folder, the name is sent as it stands (blanks, "#", "%" included). 1 when uploaded.
    int PutFile(LPCSTR lpszLocal, LPCSTR lpszRemote);
    // Ends the session (QUIT when the connection still stands).
    void Close();
    CString GetLastErrorText() const { return m_strLastError; }
    EPutResult GetLastPutResult() const { return m_eLastPut; }
    BOOL IsConnected() const { return m_bConnected ? TRUE : FALSE; }

    // Time-outs in milliseconds (default 30000 each); the response time-out is kept in
    // whole seconds, at least one.
    void SetTimeouts(int nConnectMs, int nResponseMs);

    // Callable from any thread: the current wait ends at once and every call fails until
    // ResetAbort.
    void Abort();
    void ResetAbort();

private:
    void ApplyCommonOptions();
    // Runs the prepared transfer through the client's own multi handle, so that Abort can
    // wake it; returns the libcurl result code.
    int Perform();
    CString BaseUrl() const;
    CString DescribeFailure(int nCode) const;

    // libcurl callbacks.
    static int OnDebug(CURL* handle, curl_infotype type, char* data, std::size_t size, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
    static curl_socket_t OnOpenSocket(void* self, curlsocktype purpose,
                                      struct curl_sockaddr* address);
    static int OnCloseSocket(void* self, curl_socket_t fd);

    CURL* m_pEasy = nullptr;
    CURLM* m_pMulti = nullptr;  // replaced by Close; guarded by m_multiLock for Abort
    std::mutex m_multiLock;
    char m_szCurlError[CURL_ERROR_SIZE] = {};
    bool m_bConnected = false;
    CString m_strLastError;
    EPutResult m_eLastPut = PUT_DONE;

    CString m_strServer, m_strUser, m_strPassword;
    int m_nPort = 21;
    int m_nConnectMs = 30000;
    int m_nResponseMs = 30000;

    // What the server said last, and the command it answered (from the protocol trace).
    CString m_strLastReply;
    CString m_strLastCommand;
    int m_nLastReplyCode = 0;

    // Abort: the flag, and the sockets libcurl opened through us, shut down at once.
    std::atomic<bool> m_bAbort{false};
    std::mutex m_sockLock;
    std::set<int> m_sockets;
};
