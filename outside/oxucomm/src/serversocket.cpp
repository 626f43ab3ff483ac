#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "oxucomm/oxusockets.h"
#include "servercore.h"

CString COleDateTime::Format(LPCSTR lpszFormat) const {
    std::tm tm{};
    localtime_r(&m_time, &tm);
    char sz[256];
    const std::size_t n = std::strftime(sz, sizeof sz, lpszFormat ? lpszFormat : "", &tm);
    return CString(sz, n);
}

void COxuSocketLogger::Log(LPCSTR lpszFormat, ...) {
    va_list args;
    va_start(args, lpszFormat);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, lpszFormat, copy);
    va_end(copy);
    CString str(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(str.data(), str.size() + 1, lpszFormat, args);
    va_end(args);
    LogWrite(str.c_str());
}

int COxuBaseSocketPool::GetCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_apSockets.size());
}

COxuBaseSocket* COxuBaseSocketPool::GetAt(int nIndex) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nIndex < 0 || nIndex >= static_cast<int>(m_apSockets.size()))
        return nullptr;
    return m_apSockets[static_cast<std::size_t>(nIndex)];
}

void COxuBaseSocketPool::Add(COxuBaseSocket* pSocket) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_apSockets.push_back(pSocket);
}

void COxuBaseSocketPool::Remove(COxuBaseSocket* pSocket) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_apSockets.erase(std::remove(m_apSockets.begin(), m_apSockets.end(), pSocket),
                      m_apSockets.end());
}

COxuServerSocket::COxuServerSocket() = default;

COxuServerSocket::~COxuServerSocket() {
    // Subclasses stop in their own destructors, while their members still live.
    if (m_pCore)
        m_pCore->Stop();
}

void COxuServerSocket::SetStoragePath(LPCSTR lpszPath) {
    m_strStoragePath = lpszPath ? lpszPath : "";
}

void COxuServerSocket::SetWorkCallback(COxuSocketWorkCallback*) {}

int COxuServerSocket::Listen(int nPort) {
    if (m_pCore && m_pCore->IsRunning())
        return FALSE;
    m_pCore = std::make_unique<oxucomm::CServerCore>(*this);
    int nBound = 0;
    std::string strError;
    if (!m_pCore->Listen(m_strBindAddress, nPort, nBound, strError)) {
        Log("Listen on " + m_strBindAddress + ":" + std::to_string(nPort) + " failed: " +
            strError);
        m_pCore.reset();
        return FALSE;
    }
    m_nPort = nBound;
    m_startTime = COleDateTime::GetCurrentTime();
    return TRUE;
}

void COxuServerSocket::Stop() {
    if (m_pCore)
        m_pCore->Stop();
    m_pCore.reset();
}

BOOL COxuServerSocket::IsListening() const {
    return m_pCore && m_pCore->IsRunning() ? TRUE : FALSE;
}

void COxuServerSocket::Log(const CString& str) {
    if (COxuSocketLogger* p = m_pLogger.load())
        p->Log("%s", str.c_str());
}

// ---------------------------------------------------------------------------------------
// File server: no protocol; a connection is logged and closed.

namespace {

class CFileSession : public oxucomm::CSession {
public:
    using CSession::CSession;
    void Start() override {
        CSession::Start();
        if (COxuSocketLogger* p = m_core.Owner().GetLogger())
            p->Log("File server: connection from %s closed (no file protocol)",
                   GetConnectPeerName().c_str());
        CloseAfterWrites();
    }

protected:
    bool OnData(const BYTE*, std::size_t) override { return false; }
};

}  // namespace

COxuFileServerSocket::COxuFileServerSocket() = default;

COxuFileServerSocket::~COxuFileServerSocket() {
    COxuServerSocket::Stop();
}

std::shared_ptr<oxucomm::CSession> COxuFileServerSocket::NewSession(oxucomm::CServerCore& core) {
    return std::make_shared<CFileSession>(core);
}
