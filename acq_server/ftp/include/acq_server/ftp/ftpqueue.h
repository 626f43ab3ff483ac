#pragma once
// The paths waiting for upload, first in first out, and the one lock that guards them and
// the sender's thread slot. The queue belongs to the starter (QarServer's frame, the server
// library's data manager), not to a run of the sender: a run that ends early leaves it as
// it is for the next run.
#include <deque>
#include <mutex>

#include "platform/wintypes.h"

class CFtpQueue {
public:
    CFtpQueue() = default;
    CFtpQueue(const CFtpQueue&) = delete;
    CFtpQueue& operator=(const CFtpQueue&) = delete;

    // A copy of the waiting paths, first first.
    CStringArray GetPaths() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return CStringArray(m_arrPaths.begin(), m_arrPaths.end());
    }
    int GetCount() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return static_cast<int>(m_arrPaths.size());
    }

private:
    // Paths are added only through CFtpThread::StartFtpUpload, which starts a run for them.
    friend class CFtpThread;
    mutable std::mutex m_lock;
    std::deque<CString> m_arrPaths;
};
