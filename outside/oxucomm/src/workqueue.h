#pragma once
// The owed records on their way to the work callback. One thread works them: all that are
// ready at once (up to kBatch, in the order they came), each read from its file, so that
// the callback can store them in one transaction. A record the callback did not finish
// stays owed: it is tried again after a growing pause; when none of a batch was finished
// (the database away) its records are tried again at once as soon as another batch
// succeeds or Wake says the database is back. A finished record's marker is removed by a
// thread of its own (a removal waits for the file system's journal, and one lost to a
// crash only means the record is worked again and finds its rows).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "oxucomm/oxufiles.h"
#include "oxucomm/oxuowed.h"

namespace oxucomm {

class CWorkQueue {
public:
    using WorkFn = std::function<void(const std::vector<COxuBaseFile*>&, std::vector<BOOL>&)>;
    using InterruptFn = std::function<void(BOOL)>;
    using LogFn = std::function<void(const CString&)>;
    static constexpr std::size_t kBatch = 100;

    // Starts the thread with the records given (what an earlier run left owed).
    CWorkQueue(const COxuOwedRecords& owed, std::vector<COxuOwed> aFound, WorkFn fnWork,
               InterruptFn fnInterrupt, LogFn fnLog);
    ~CWorkQueue();
    CWorkQueue(const CWorkQueue&) = delete;
    CWorkQueue& operator=(const CWorkQueue&) = delete;

    // A record whose marker was written (network thread); one already waiting is not
    // taken twice.
    void Push(const COxuOwed& owed);
    // Every waiting record is tried at once.
    void Wake();
    // Works what is ready for at most nGraceMs, then interrupts the work in progress and
    // ends the thread; what was not finished stays owed on disk for the next start.
    void Stop(int nGraceMs);
    int Pending() const;

    // Pause before the next try of a record after its nth failed one.
    static std::chrono::milliseconds Pause(int nFailures);

private:
    using Clock = std::chrono::steady_clock;
    struct CEntry {
        COxuOwed owed;
        int nFailures = 0;
        Clock::time_point next{};
        bool bWaitsForDb = false;  // its last batch finished nothing
    };
    void Run();
    bool IsQueued(const CString& strPath) const;
    std::vector<CEntry> TakeBatch(std::unique_lock<std::mutex>& lock);
    void Work(std::vector<CEntry>& batch);
    void Remove();

    const COxuOwedRecords& m_owed;
    WorkFn m_fnWork;
    InterruptFn m_fnInterrupt;
    LogFn m_fnLog;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<CEntry> m_waiting;
    std::vector<CString> m_astrBusy;  // paths of the batch being worked
    bool m_bStopping = false;
    bool m_bAbort = false;
    bool m_bEnded = false;
    std::thread m_thread;
    // Markers of finished records, removed by the second thread.
    std::mutex m_removeMutex;
    std::condition_variable m_removeCv;
    std::vector<COxuOwed> m_aToRemove;
    bool m_bRemoveEnds = false;
    std::thread m_remover;
};

}  // namespace oxucomm
