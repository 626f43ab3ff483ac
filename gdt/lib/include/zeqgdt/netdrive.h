#pragma once
// Checks that the exchange folder can be reached: a share by opening its folder with the
// user and password, a local folder by opening it. Each check runs on its own thread; the
// caller waits (pumping messages) for a few seconds at most. A check still running then
// stays pending, so the same share is not checked twice at a time; it owns its state
// together with the list, so it may end after the list's manager is gone.
#include <memory>

#include "zeqgdt/gdtdefs.h"

class ZEQGDT_API CNetDriveList {
public:
    CNetDriveList();
    ~CNetDriveList();  // detaches the pending checks
    CNetDriveList(const CNetDriveList&) = delete;
    CNetDriveList& operator=(const CNetDriveList&) = delete;

    // TRUE when the folder could be opened within the wait.
    BOOL Check(const CString& strPath, const CString& strUser, const CString& strPassword);
    int GetPendingCount() const;

    struct State;

private:
    std::shared_ptr<State> m_pState;
};
