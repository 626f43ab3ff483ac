#pragma once
// Server sockets of the socket library on standalone Asio. Each server runs one
// io_context on one network thread of its own, started by Listen and joined by Stop; the
// ECG server also runs one work thread that hands the owed records to the work callback,
// all that wait at once. Host calls (Listen, Stop, setters) are made from one host
// thread; the callbacks come on the library's threads (oxucallbacks.h).
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "oxucomm/oxucallbacks.h"
#include "oxucomm/oxuowed.h"
#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

// A point in local time.
class OXU_EXPORT COleDateTime {
public:
    COleDateTime() = default;
    explicit COleDateTime(std::time_t t) : m_time(t) {}
    static COleDateTime GetCurrentTime() { return COleDateTime(std::time(nullptr)); }
    // strftime format of the local time.
    CString Format(LPCSTR lpszFormat) const;
    std::time_t GetTime() const { return m_time; }

private:
    std::time_t m_time = 0;
};

// One connection of a server.
class OXU_EXPORT COxuBaseSocket {
public:
    virtual ~COxuBaseSocket() = default;
    const CString& GetConnectPeerName() const { return m_strPeer; }

protected:
    CString m_strPeer;
};

// The connections of a server at the moment of the call. A connection pointer stays valid
// while the server runs and that device stays connected.
class OXU_EXPORT COxuBaseSocketPool {
public:
    int GetCount() const;
    // Null for an index outside the pool.
    COxuBaseSocket* GetAt(int nIndex) const;

    void Add(COxuBaseSocket* pSocket);
    void Remove(COxuBaseSocket* pSocket);

private:
    mutable std::mutex m_mutex;
    std::vector<COxuBaseSocket*> m_apSockets;
};

namespace oxucomm {
class CServerCore;
class CSession;
}

// What both servers share: the listening socket, the logger and callback, start time and
// port. Not copyable: a server owns its threads and connections.
class OXU_EXPORT COxuServerSocket {
public:
    COxuServerSocket();
    virtual ~COxuServerSocket();
    COxuServerSocket(const COxuServerSocket&) = delete;
    COxuServerSocket& operator=(const COxuServerSocket&) = delete;

    // In the order the facade relies on.
    virtual void SetStoragePath(LPCSTR lpszPath);
    // Listens on the port (0: a free one, kept in m_nPort) of the bind address; nonzero
    // on success.
    virtual int Listen(int nPort);
    virtual void Stop();
    virtual void SetWorkCallback(COxuSocketWorkCallback* pWork);

    void InitLogger(COxuSocketLogger* pLogger) { m_pLogger = pLogger; }
    void InitCallback(COxuSocketCallback* pCallback) { m_pCallback = pCallback; }
    COxuSocketLogger* GetLogger() const { return m_pLogger.load(); }
    COxuSocketCallback* GetCallback() const { return m_pCallback.load(); }
    // Address to listen on: "0.0.0.0" by default; tests give "127.0.0.1".
    void SetBindAddress(LPCSTR lpszAddress) { m_strBindAddress = lpszAddress ? lpszAddress : ""; }
    const COleDateTime& GetStartTime() const { return m_startTime; }
    int GetPort() const { return m_nPort; }
    BOOL IsListening() const;
    const CString& GetStoragePath() const { return m_strStoragePath; }
    COxuBaseSocketPool& GetPool() { return m_pool; }

    int m_nPort = -1;

protected:
    friend class oxucomm::CServerCore;
    friend class oxucomm::CSession;
    // A new connection object for the next device (network thread).
    virtual std::shared_ptr<oxucomm::CSession> NewSession(oxucomm::CServerCore& core) = 0;
    void Log(const CString& str);

    CString m_strStoragePath;
    CString m_strBindAddress = "0.0.0.0";
    std::atomic<COxuSocketLogger*> m_pLogger{nullptr};
    std::atomic<COxuSocketCallback*> m_pCallback{nullptr};
    COleDateTime m_startTime;
    COxuBaseSocketPool m_pool;
    std::unique_ptr<oxucomm::CServerCore> m_pCore;
};

namespace asio {
class thread_pool;
}
namespace oxucomm {
class CWorkQueue;
}
namespace platform {
class IPlacePromise;
}
// Receives records from devices: the device link of the acquisition server per
// connection, records stored in the storage folder, owed on disk (oxuowed.h) before their
// files take their names and so before the device is answered, and handed to the work
// callback by the work thread.
class OXU_EXPORT COxuEcgServerSocket : public COxuServerSocket {
public:
    COxuEcgServerSocket();
    ~COxuEcgServerSocket() override;
    // Also starts the work thread, which first takes up what an earlier run left owed in
    // the storage folder.
    int Listen(int nPort) override;
    // Nothing more is read or accepted; what was received is finished first (its records
    // put in place, answered and handed to the work thread) before the connections close.
    // Returns within a few seconds whatever the database does: the records received are
    // worked for at most kStopGraceMs, the rest stays owed for the next start.
    void Stop() override;
    void SetWorkCallback(COxuSocketWorkCallback* pWork) override;

    // Records owed and not yet finished.
    int GetPendingCount() const;
    // The database is back (connected): every owed record is tried at once.
    void WakeWork();

    // Inside, for the connections: runs a sync (record file, marker) on a sync thread and
    // then its end on the network thread (a stop waits for both); writes a record's
    // marker; the promise that keeps a record file's marker before the file takes its
    // name, and that marker by the file's path once (FALSE: none was kept); hands an owed
    // record to the work thread; tells of a record that was not kept, in the log and to the
    // host (MessageOut).
    void RunSync(std::function<void()> fnWork, std::function<void()> fnDone);
    BOOL WriteOwed(COxuOwed& owed, CString& strError) const;
    std::shared_ptr<platform::IPlacePromise> PromiseOwed(const COxuOwed& owed);
    BOOL TakePromised(const CString& strPath, COxuOwed& owed);
    void QueueOwed(const COxuOwed& owed);
    void TellNotKept(const CString& str);

    static constexpr int kStopGraceMs = 2000;
    // Enough to overlap the two syncs of each record (file, marker) across connections;
    // more would answer faster than one database connection stores the rows.
    static constexpr int kSyncThreads = 4;

protected:
    std::shared_ptr<oxucomm::CSession> NewSession(oxucomm::CServerCore& core) override;

private:
    class CPromise;
    void WaitForSyncs();

    std::atomic<COxuSocketWorkCallback*> m_pWork{nullptr};
    std::unique_ptr<COxuOwedRecords> m_pOwed;
    std::unique_ptr<oxucomm::CWorkQueue> m_pQueue;
    std::unique_ptr<asio::thread_pool> m_pSync;
    // Syncs under way, until their ends ran.
    std::mutex m_syncMutex;
    std::condition_variable m_syncCv;
    int m_nSyncs = 0;
    // Markers kept for files that took their names, by path, until their records are owed.
    std::mutex m_promisedMutex;
    std::map<CString, COxuOwed> m_promised;
};

// The file server: it has no protocol of its own; each connection is logged and closed.
class OXU_EXPORT COxuFileServerSocket : public COxuServerSocket {
public:
    COxuFileServerSocket();
    ~COxuFileServerSocket() override;

protected:
    std::shared_ptr<oxucomm::CSession> NewSession(oxucomm::CServerCore& core) override;
};

// A client of the file server (no protocol): it only keeps its last error text.
class OXU_EXPORT COxuFileClientSocket {
public:
    virtual ~COxuFileClientSocket() = default;
    const CString& GetLastErrorMsg() const { return m_strLastError; }

protected:
    CString m_strLastError;
};

// A cache of files sent to the file server (no protocol): its last error text.
class OXU_EXPORT COxuFileCache {
public:
    COxuFileCache() = default;
    virtual ~COxuFileCache() = default;
    COxuFileCache(const COxuFileCache&) = default;
    COxuFileCache& operator=(const COxuFileCache&) = default;
    const CString& GetLastError() const { return m_strLastError; }

protected:
    CString m_strLastError;
};
