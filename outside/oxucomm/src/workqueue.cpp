#include "workqueue.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/format.h"

namespace oxucomm {

namespace {
constexpr int kFirstPauseMs = 500;
constexpr int kLongestPauseMs = 10000;
}  // namespace

std::chrono::milliseconds CWorkQueue::Pause(int nFailures) {
    long nMs = kFirstPauseMs;
    for (int i = 1; i < nFailures && nMs < kLongestPauseMs; ++i)
        nMs *= 2;
    return std::chrono::milliseconds(std::min<long>(nMs, kLongestPauseMs));
}

CWorkQueue::CWorkQueue(const COxuOwedRecords& owed, std::vector<COxuOwed> aFound, WorkFn fnWork,
                       InterruptFn fnInterrupt, LogFn fnLog)
    : m_owed(owed),
      m_fnWork(std::move(fnWork)),
      m_fnInterrupt(std::move(fnInterrupt)),
      m_fnLog(fnLog ? std::move(fnLog) : LogFn([](const CString&) {})) {
    for (auto& owedRecord : aFound) {
        CEntry entry;
        entry.owed = std::move(owedRecord);
        m_waiting.push_back(std::move(entry));
    }
    m_thread = std::thread([this] { Run(); });
    m_remover = std::thread([this] { Remove(); });
}

CWorkQueue::~CWorkQueue() {
    Stop(0);
}

bool CWorkQueue::IsQueued(const CString& strPath) const {
    return std::any_of(m_waiting.begin(), m_waiting.end(),
                       [&](const CEntry& e) { return e.owed.m_strPath == strPath; }) ||
           std::find(m_astrBusy.begin(), m_astrBusy.end(), strPath) != m_astrBusy.end();
}

void CWorkQueue::Push(const COxuOwed& owed) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (IsQueued(owed.m_strPath))
            return;
        CEntry entry;
        entry.owed = owed;
        m_waiting.push_back(std::move(entry));
    }
    m_cv.notify_all();
}

void CWorkQueue::Wake() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& e : m_waiting)
            e.next = Clock::time_point{};
    }
    m_cv.notify_all();
}

int CWorkQueue::Pending() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_waiting.size() + m_astrBusy.size());
}

void CWorkQueue::Stop(int nGraceMs) {
    bool bAbort = false;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
            return;
        m_bStopping = true;
        m_cv.notify_all();
        if (!m_cv.wait_for(lock, std::chrono::milliseconds(nGraceMs), [this] { return m_bEnded; }))
            bAbort = m_bAbort = true;
        m_cv.notify_all();
    }
    // The database may be waiting for a lock or a server: the work gives up at once.
    if (bAbort && m_fnInterrupt)
        m_fnInterrupt(TRUE);
    m_thread.join();
    if (bAbort && m_fnInterrupt)
        m_fnInterrupt(FALSE);
    {
        std::lock_guard<std::mutex> lock(m_removeMutex);
        m_bRemoveEnds = true;
    }
    m_removeCv.notify_all();
    m_remover.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_waiting.empty() && m_fnLog)
        m_fnLog(platform::Format("%zu records stay owed for the next start", m_waiting.size()));
}

std::vector<CWorkQueue::CEntry> CWorkQueue::TakeBatch(std::unique_lock<std::mutex>& lock) {
    for (;;) {
        if (m_bAbort)
            return {};
        const Clock::time_point now = Clock::now();
        std::vector<CEntry> batch;
        Clock::time_point earliest = Clock::time_point::max();
        for (auto it = m_waiting.begin(); it != m_waiting.end();) {
            if (it->next <= now && batch.size() < kBatch) {
                batch.push_back(std::move(*it));
                it = m_waiting.erase(it);
            } else {
                earliest = std::min(earliest, it->next);
                ++it;
            }
        }
        if (!batch.empty()) {
            for (const auto& e : batch)
                m_astrBusy.push_back(e.owed.m_strPath);
            return batch;
        }
        // Stopping: records that wait for their next try wait for the next start.
        if (m_bStopping)
            return {};
        if (m_waiting.empty())
            m_cv.wait(lock);
        else
            m_cv.wait_until(lock, earliest);
    }
}

void CWorkQueue::Run() {
    for (;;) {
        std::vector<CEntry> batch;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            batch = TakeBatch(lock);
            if (batch.empty()) {
                m_bEnded = true;
                m_cv.notify_all();
                return;
            }
        }
        Work(batch);
    }
}

void CWorkQueue::Work(std::vector<CEntry>& batch) {
    enum class EState { Owed, Done, Parked };
    std::vector<EState> aeState(batch.size(), EState::Owed);
    std::vector<std::unique_ptr<COxuBaseFile>> apFiles;
    std::vector<COxuBaseFile*> apWork;
    std::vector<std::size_t> anEntry;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        const COxuOwed& owed = batch[i].owed;
        CString strError;
        std::unique_ptr<COxuBaseFile> pFile(
            ReadOxuFile(owed.m_strKind, owed.m_strPath, owed.m_strID, strError));
        if (!pFile) {
            if (::access(owed.m_strPath.c_str(), F_OK) != 0 && errno == ENOENT) {
                // Nothing is left to store: the file was taken away.
                m_fnLog("The owed record file is gone, its marker is removed: " + owed.m_strPath);
                aeState[i] = EState::Done;
            } else {
                m_fnLog("The owed record cannot be read and waits for the next start: " +
                        owed.m_strPath + " (" + strError + ")");
                aeState[i] = EState::Parked;
            }
            continue;
        }
        pFile->m_strPeer = owed.m_strPeer;
        apWork.push_back(pFile.get());
        apFiles.push_back(std::move(pFile));
        anEntry.push_back(i);
    }
    std::vector<BOOL> abDone(apWork.size(), FALSE);
    if (!apWork.empty())
        m_fnWork(apWork, abDone);
    bool bAnyDone = false;
    for (std::size_t k = 0; k < abDone.size(); ++k)
        if (abDone[k]) {
            aeState[anEntry[k]] = EState::Done;
            bAnyDone = true;
        }

    std::vector<COxuOwed> aDone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Clock::time_point now = Clock::now();
        // Records tried again go back to the front, so that the order of arrival holds.
        std::vector<CEntry> aAgain;
        for (std::size_t i = 0; i < batch.size(); ++i) {
            CEntry& e = batch[i];
            if (aeState[i] == EState::Done) {
                aDone.push_back(std::move(e.owed));
            } else if (aeState[i] == EState::Owed) {
                ++e.nFailures;
                e.next = now + Pause(e.nFailures);
                e.bWaitsForDb = !bAnyDone;
                aAgain.push_back(std::move(e));
            }
        }
        m_waiting.insert(m_waiting.begin(), std::make_move_iterator(aAgain.begin()),
                         std::make_move_iterator(aAgain.end()));
        // The database answers again: what waited for it need not wait for its pause.
        if (bAnyDone)
            for (auto& e : m_waiting)
                if (e.bWaitsForDb) {
                    e.bWaitsForDb = false;
                    e.nFailures = 0;
                    e.next = now;
                }
        m_astrBusy.clear();
    }
    if (!aDone.empty()) {
        std::lock_guard<std::mutex> lock(m_removeMutex);
        m_aToRemove.insert(m_aToRemove.end(), std::make_move_iterator(aDone.begin()),
                           std::make_move_iterator(aDone.end()));
    }
    m_removeCv.notify_all();
    m_cv.notify_all();
}

void CWorkQueue::Remove() {
    std::unique_lock<std::mutex> lock(m_removeMutex);
    for (;;) {
        m_removeCv.wait(lock, [this] { return m_bRemoveEnds || !m_aToRemove.empty(); });
        if (m_aToRemove.empty())
            return;  // ending, and every finished record's marker is gone
        std::vector<COxuOwed> aRemove;
        aRemove.swap(m_aToRemove);
        lock.unlock();
        for (const auto& owed : aRemove)
            m_owed.Remove(owed);
        lock.lock();
    }
}

}  // namespace oxucomm
