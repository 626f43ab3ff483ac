#include "acq_server/ftp/ftpthread.h"

#include <chrono>
#include <system_error>

#include "common/ZeqGF.h"

CFtpThread::CFtpThread(CFtpQueue& queue, const CFtpInfoFile& info) : m_queue(queue), m_info(info) {}

CFtpThread::~CFtpThread() {
    Stop();
}

void CFtpThread::SetLog(LogFn fnLog) {
    std::lock_guard<std::mutex> lock(m_queue.m_lock);
    m_fnLog = std::move(fnLog);
}

void CFtpThread::SetPause(int nMs) {
    std::lock_guard<std::mutex> lock(m_queue.m_lock);
    m_nPauseMs = nMs < 0 ? 0 : nMs;
}

void CFtpThread::SetTimeouts(int nConnectMs, int nResponseMs) {
    std::lock_guard<std::mutex> lock(m_queue.m_lock);
    m_nConnectMs = nConnectMs;
    m_nResponseMs = nResponseMs;
}

void CFtpThread::StartFtpUpload(LPCSTR lpszPath) {
    if (!lpszPath || !*lpszPath)
        return;
    std::lock_guard<std::mutex> lock(m_queue.m_lock);
    m_queue.m_arrPaths.emplace_back(lpszPath);
    ++m_nAdded;
    if (m_bRunning || m_bStop)
        return;
    // The last run has left its loop and released the lock for good: this join is short.
    if (m_thread.joinable())
        m_thread.join();
    m_runInfo = m_info;
    m_fnRunLog = m_fnLog;
    m_nRunPauseMs = m_nPauseMs;
    m_client.SetTimeouts(m_nConnectMs, m_nResponseMs);
    m_bRunning = true;
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had now: the path stays queued and the next one tries again.
        m_bRunning = false;
    }
}

void CFtpThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_queue.m_lock);
        m_bStop = true;
    }
    m_cv.notify_all();
    m_client.Abort();
    if (m_thread.joinable())
        m_thread.join();
}

BOOL CFtpThread::IsRunning() const {
    std::lock_guard<std::mutex> lock(m_queue.m_lock);
    return m_bRunning ? TRUE : FALSE;
}

BOOL CFtpThread::WaitIdle(int nTimeoutMs) const {
    std::unique_lock<std::mutex> lock(m_queue.m_lock);
    return m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                         [this] { return !m_bRunning; })
               ? TRUE
               : FALSE;
}

BOOL CFtpThread::IsStopping() const {
    std::lock_guard<std::mutex> lock(m_queue.m_lock);
    return m_bStop ? TRUE : FALSE;
}

void CFtpThread::Log(const CString& text) const {
    if (m_fnRunLog)
        m_fnRunLog(text);
}

int CFtpThread::Connect() {
    if (m_bConnected)
        return 1;
    m_bConnected =
        m_client.Connect(m_runInfo.m_strServer.c_str(), m_runInfo.m_nPort,
                         m_runInfo.m_strUser.c_str(), m_runInfo.m_strPassword.c_str()) != 0;
    return m_bConnected ? 1 : 0;
}

void CFtpThread::Disconnect() {
    if (m_bConnected)
        m_client.Close();
    m_bConnected = false;
}

BOOL CFtpThread::Drain() {
    for (;;) {
        CString strPath;
        {
            std::lock_guard<std::mutex> lock(m_queue.m_lock);
            if (m_bStop || m_queue.m_arrPaths.empty())
                return FALSE;
            strPath = m_queue.m_arrPaths.front();
        }
        if (ZeqGF::IsFile(strPath.c_str())) {
            if (!Connect()) {
                if (IsStopping())
                    return TRUE;
                Log("FTP connect to [" + m_runInfo.m_strServer + ":" +
                    std::to_string(m_runInfo.m_nPort) + "] failed, " +
                    std::to_string(m_queue.GetCount()) +
                    " file(s) kept: " + m_client.GetLastErrorText());
                return TRUE;
            }
            CString strName = ZeqGF::ExtractName(strPath.c_str(), TRUE);
            if (!m_client.PutFile(strPath.c_str(), strName.c_str())) {
                if (m_client.GetLastPutResult() == CFtpClient::PUT_LOST) {
                    // The connection failed under this file: it stays first in the queue.
                    m_bConnected = false;
                    if (IsStopping())
                        return TRUE;
                    Log("FTP upload of [" + strPath +
                        "] broken off, kept: " + m_client.GetLastErrorText());
                    return TRUE;
                }
                Log("FTP upload of [" + strPath +
                    "] refused, dropped: " + m_client.GetLastErrorText());
            }
        } else {
            Log("FTP upload of [" + strPath + "] skipped: no such file");
        }
        std::unique_lock<std::mutex> lock(m_queue.m_lock);
        m_cv.wait_for(lock, std::chrono::milliseconds(m_nRunPauseMs), [this] { return m_bStop; });
        // Sent, refused or gone: the path leaves the queue, also when a stop cut the pause.
        m_queue.m_arrPaths.pop_front();
    }
}

int CFtpThread::Run() {
    for (;;) {
        BOOL bFailed = Drain();
        unsigned nAddedAtEnd = 0;
        {
            std::lock_guard<std::mutex> lock(m_queue.m_lock);
            nAddedAtEnd = m_nAdded;
        }
        Disconnect();
        // The final step: only under the lock is the queue found empty and the slot cleared,
        // so a path appended meanwhile is taken by this run. After a failure the run ends
        // unless a path arrived since, which starts the next try as a new run would.
        std::lock_guard<std::mutex> lock(m_queue.m_lock);
        bool bMore = !m_queue.m_arrPaths.empty() && (bFailed ? m_nAdded != nAddedAtEnd : true);
        if (m_bStop || !bMore) {
            m_bRunning = false;
            m_cv.notify_all();
            return 0;
        }
    }
}
