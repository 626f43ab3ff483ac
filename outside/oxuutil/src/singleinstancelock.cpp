#include "oxuutil/singleinstancelock.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/singleinstance.h"

CSingleInstanceLock::CSingleInstanceLock() = default;

CSingleInstanceLock::~CSingleInstanceLock() {
    Unlock();
}

void CSingleInstanceLock::SetApp(void* pApp, LPCSTR lpszName, LPCSTR lpszTitle) {
    m_pApp = pApp;
    m_strName = lpszName ? lpszName : "";
    m_strTitle = lpszTitle ? lpszTitle : "";
}

BOOL CSingleInstanceLock::Lock() {
    if (m_pLock && m_pLock->IsHeld())
        return TRUE;
    if (m_strName.empty())
        return FALSE;
    auto pLock = std::make_unique<platform::CSingleInstance>(m_strName);
    if (!pLock->Acquire())
        return FALSE;
    m_pLock = std::move(pLock);
    return TRUE;
}

void CSingleInstanceLock::Unlock() {
    if (m_pLock)
        m_pLock->Release();
    m_pLock.reset();
}

BOOL CSingleInstanceLock::IsLocked() const {
    return m_pLock && m_pLock->IsHeld() ? TRUE : FALSE;
}

CString CSingleInstanceLock::ChannelPath(LPCSTR lpszName) {
    platform::CSingleInstance probe(lpszName ? lpszName : "");
    CString strPath = probe.LockPath();
    const CString strExt = ".lock";
    if (strPath.size() > strExt.size() &&
        strPath.compare(strPath.size() - strExt.size(), strExt.size(), strExt) == 0)
        strPath.resize(strPath.size() - strExt.size());
    return strPath + ".sock";
}

BOOL CSingleInstanceLock::ProcessCommandLine(LPCSTR lpszText, DWORD dwCode) const {
    const CString strPath = ChannelPath(m_strName.c_str());
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (strPath.size() >= sizeof addr.sun_path)
        return FALSE;
    std::memcpy(addr.sun_path, strPath.c_str(), strPath.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return FALSE;
    BOOL bOk = FALSE;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        const CString strText = lpszText ? lpszText : "";
        std::string frame(8, '\0');
        const DWORD dwLen = static_cast<DWORD>(strText.size());
        for (int i = 0; i < 4; ++i) {
            frame[i] = static_cast<char>((dwCode >> (8 * i)) & 0xFF);
            frame[4 + i] = static_cast<char>((dwLen >> (8 * i)) & 0xFF);
        }
        frame += strText;
        std::size_t nDone = 0;
        while (nDone < frame.size()) {
            const ssize_t n = send(fd, frame.data() + nDone, frame.size() - nDone, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            nDone += static_cast<std::size_t>(n);
        }
        bOk = nDone == frame.size() ? TRUE : FALSE;
    }
    close(fd);
    return bOk;
}
