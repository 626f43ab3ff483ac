#pragma once
// The FTP sender: uploads the starter's queued files, one run at a time, on a thread of its
// own. A run starts with the first path queued while none is running, logs in once, sends
// every queued file under its own name to the server's "/" with a pause between files, and
// ends when it finds the queue empty (under the queue's lock, so no path is left behind).
//
//   - a file gone from the disk is skipped;
//   - a file the server refuses by its reply is dropped and logged;
//   - a server that is down, refuses the login, hangs or loses the connection ends the run
//     and keeps the file and everything after it queued; the next path queued starts a run
//     that tries them again.
//
// Owners (QarServer's frame, the server library's data manager) hold, in this order:
//     CFtpInfoFile m_ftpInfo;   CFtpQueue m_ftpQueue;   CFtpThread m_ftpThread{...};
// call StartFtpUpload from their own thread, and stop the sender before they go: the
// destructor stops a run at once (pause, connect, transfer) and joins its thread.
#include <condition_variable>
#include <functional>
#include <thread>

#include "acq_server/ftp/ftpclient.h"
#include "acq_server/ftp/ftpinfofile.h"
#include "acq_server/ftp/ftpqueue.h"

class CFtpThread {
public:
    // Receives one line per file that failed or was skipped; called on the sender's thread,
    // never while it stops. What it uses must outlive this object.
    using LogFn = std::function<void(const CString&)>;

    // The settings and the queue belong to the starter and must outlive this object. The
    // settings are read when a run starts, on the starter's thread.
    CFtpThread(CFtpQueue& queue, const CFtpInfoFile& info);
    CFtpThread(const CFtpThread&) = delete;
    CFtpThread& operator=(const CFtpThread&) = delete;
    virtual ~CFtpThread();

    // Take effect from the next run.
    void SetLog(LogFn fnLog);
    void SetPause(int nMs);                             // between files; default 500
    void SetTimeouts(int nConnectMs, int nResponseMs);  // default 30000 each

    // Appends the path (an empty one is ignored) and starts a run when none is running.
    void StartFtpUpload(LPCSTR lpszPath);
    // Ends a run at once and joins its thread; the paths not sent stay queued. No run
    // starts after it.
    void Stop();

    BOOL IsRunning() const;
    // Waits until no run is active; FALSE when it still is after the time.
    BOOL WaitIdle(int nTimeoutMs) const;

    static constexpr int kDefaultPauseMs = 500;
    static constexpr int kDefaultTimeoutMs = 30000;

protected:
    int Run();
    int Connect();
    void Disconnect();

private:
    // Sends queued files until the queue is empty or stopped; TRUE when the run failed
    // (cannot connect, connection lost) and must end with the files kept.
    BOOL Drain();
    BOOL IsStopping() const;
    void Log(const CString& text) const;

    CFtpQueue& m_queue;
    const CFtpInfoFile& m_info;

    // Under m_queue.m_lock.
    bool m_bRunning = false;  // the thread slot is taken
    bool m_bStop = false;
    unsigned m_nAdded = 0;  // paths appended so far
    LogFn m_fnLog;
    int m_nPauseMs = kDefaultPauseMs;
    int m_nConnectMs = kDefaultTimeoutMs;
    int m_nResponseMs = kDefaultTimeoutMs;
    mutable std::condition_variable m_cv;  // stop, end of a run

    // The run's own, set when it starts.
    CFtpInfoFile m_runInfo;
    LogFn m_fnRunLog;
    int m_nRunPauseMs = kDefaultPauseMs;
    CFtpClient m_client;
    bool m_bConnected = false;

    std::thread m_thread;
};
