#pragma once
// One running holder per user and name, on the platform's single-instance lock. The lock
// dies with its holder. Not copyable: a copy would release the lock it does not own.
#include <memory>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

namespace platform {
class CSingleInstance;
}

class OXU_EXPORT CSingleInstanceLock {
public:
    CSingleInstanceLock();
    virtual ~CSingleInstanceLock();
    CSingleInstanceLock(const CSingleInstanceLock&) = delete;
    CSingleInstanceLock& operator=(const CSingleInstanceLock&) = delete;

    // The application object (opaque here) and the two texts: lock name and window title.
    void SetApp(void* pApp, LPCSTR lpszName, LPCSTR lpszTitle);
    // TRUE when this object holds the lock now; FALSE when another holder lives.
    BOOL Lock();
    // Releases and forgets the held lock.
    void Unlock();
    BOOL IsLocked() const;

    // Hands a text with a code to the holder of the lock named as this object's lock, over
    // its forwarding channel: code and length (32 bits each, little-endian), then the bytes.
    // TRUE when the whole frame was written.
    BOOL ProcessCommandLine(LPCSTR lpszText, DWORD dwCode) const;
    // Path of the forwarding channel of the lock with this name (a local socket in the
    // user's runtime folder, beside the lock file).
    static CString ChannelPath(LPCSTR lpszName);
    const CString& GetName() const { return m_strName; }

private:
    void* m_pApp = nullptr;
    CString m_strName;
    CString m_strTitle;
    std::unique_ptr<platform::CSingleInstance> m_pLock;
};
