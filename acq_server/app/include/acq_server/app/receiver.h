#pragma once
// The server's receiving path on a thread of its own: the listening socket, every device
// connection with its record assembly, the record files' syncs, the day's list file and the
// devices' answers. Each record is entered in the list file (synced) before its device is
// answered, and then handed to the user-interface thread (queued: nothing here waits for
// it), which shows it and converts it. Receiving thus never waits for a conversion.
//
// The user-interface thread calls in: Start and Stop wait for the receiving thread (a start
// is short; a stop first finishes the records already received: files in place, listed,
// answered); settings and the idle sweep are posted. The stale temporary files of a killed
// run are removed on the receiving thread once it listens.
#include <QHostAddress>
#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "acq_server/acqcontext.h"

class QObject;

// A record as the receiving path took it: stored, listed, its device answered.
struct CTakenRecord {
    int m_nKind = 0;         // 1 ECG, 2 spirometry or another file
    CString m_strPatientID;  // as listed: the file's title for a record without an ID
    CString m_strPath;
    std::time_t m_tArrival = 0;
    std::string m_strKey;            // of its list file entry
    std::string m_strWorkingFolder;  // where that list file lies
};

class CReceiver {
public:
    using TakenFn = std::function<void(const CTakenRecord&)>;

    // The log and clock of base serve the receiving path; each record taken goes to onTaken,
    // run on the thread of pTarget.
    CReceiver(const CAcqContext& base, QObject* pTarget, TakenFn onTaken);
    // Stops (as Stop does) and ends the thread; connections still closing get a moment to
    // hand over their last answers.
    ~CReceiver();
    CReceiver(const CReceiver&) = delete;
    CReceiver& operator=(const CReceiver&) = delete;

    // Listens on the IPv4 address and port (0: a free one) with the working folder and
    // folder type of settings; FALSE with LastError() (a Windows Sockets number).
    bool Start(const QHostAddress& address, quint16 nPort, int nIdleMs,
               const CAcqSettings& settings);
    void Stop();
    bool IsListening() const { return m_nPort.load() != 0; }
    quint16 Port() const { return m_nPort.load(); }
    int LastError() const { return m_nLastError.load(); }
    std::size_t ClientCount() const { return m_nClients.load(); }

    void SetSettings(const CAcqSettings& settings);
    void IdleSweep();

private:
    class CWorker;
    class CThread;

    std::unique_ptr<CThread> m_pThread;
    std::atomic<quint16> m_nPort{0};
    std::atomic<int> m_nLastError{0};
    std::atomic<std::size_t> m_nClients{0};
};
