#include "oxuutil/singleinstancelock.h"

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
