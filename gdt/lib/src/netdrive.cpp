#include "zeqgdt/netdrive.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "gdtfs.h"
#include "platform/msgpump.h"

namespace {

int WaitMs() {
    const char* env = std::getenv("CORVANE_GDT_SHARE_WAIT_MS");
    int ms = env ? std::atoi(env) : 0;
    return ms > 0 ? ms : 5000;
}

}  // namespace

// One check: its result (0 running, 1 accessible, 2 not) and what it checks. Shared by
// the check's thread and, while pending, the list.
struct CNetDriveThread {
    std::mutex lock;
    int nResult = 0;
    bool bNetwork = false;
    CString strPath, strUser, strPassword;
};

struct CNetDriveList::State {
    std::recursive_mutex lock;  // the caller holds it while it pumps; a pumped call re-enters
    std::vector<std::shared_ptr<CNetDriveThread>> pending;
};

CNetDriveList::CNetDriveList() : m_pState(std::make_shared<State>()) {}

CNetDriveList::~CNetDriveList() {
    // Pending checks own their state and finish on their own; they find the list gone.
    std::lock_guard<std::recursive_mutex> guard(m_pState->lock);
    m_pState->pending.clear();
}

int CNetDriveList::GetPendingCount() const {
    std::lock_guard<std::recursive_mutex> guard(m_pState->lock);
    return static_cast<int>(m_pState->pending.size());
}

BOOL CNetDriveList::Check(const CString& strPath, const CString& strUser, const CString& strPassword) {
    std::lock_guard<std::recursive_mutex> guard(m_pState->lock);
    const bool bNetwork = gdtfs::IsNetworkPath(strPath);
    for (const auto& t : m_pState->pending) {
        if (t->strPath == strPath && (!bNetwork || (t->strUser == strUser && t->strPassword == strPassword))) {
            return FALSE;  // that share is still being checked
        }
    }
    auto check = std::make_shared<CNetDriveThread>();
    check->bNetwork = bNetwork;
    check->strPath = strPath;
    check->strUser = strUser;
    check->strPassword = strPassword;
    m_pState->pending.push_back(check);
    std::weak_ptr<State> owner = m_pState;
    std::thread([check, owner] {
        const bool ok = gdtfs::CanOpenFolder(check->strPath, {check->strUser, check->strPassword});
        {
            std::lock_guard<std::mutex> own(check->lock);
            check->nResult = ok ? 1 : 2;
        }
        // A check that outlived its wait leaves the pending list, if the list still lives.
        if (auto list = owner.lock()) {
            std::lock_guard<std::recursive_mutex> guard(list->lock);
            auto& p = list->pending;
            p.erase(std::remove(p.begin(), p.end(), check), p.end());
        }
    }).detach();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitMs());
    int nResult = 0;
    for (;;) {
        {
            std::lock_guard<std::mutex> own(check->lock);
            nResult = check->nResult;
        }
        if (nResult != 0 || std::chrono::steady_clock::now() >= deadline) break;
        // Until nothing is pending, but never for ever: a host whose events never run dry
        // (a zero-length timer) must still see the work end.
        for (int n = 0; n < 100 && platform::PumpMessage() > 0; ++n) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (nResult != 0) {
        auto& p = m_pState->pending;
        p.erase(std::remove(p.begin(), p.end(), check), p.end());
    }
    return nResult == 1 ? TRUE : FALSE;
}
