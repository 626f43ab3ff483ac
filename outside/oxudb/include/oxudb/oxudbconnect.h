#pragma once
// The database connection of the server library: the SQLite file (access-database
// switch 1; made with its schema when missing) or a PostgreSQL database (switch 0), the
// transaction calls, keys taken atomically and the UID root of the database. Not
// copyable: the connection is owned once.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

namespace oxudb {
class IServerDb;
}

class OXU_EXPORT COxuDbConnect {
public:
    COxuDbConnect();
    virtual ~COxuDbConnect();
    COxuDbConnect(const COxuDbConnect&) = delete;
    COxuDbConnect& operator=(const COxuDbConnect&) = delete;

    // Host: the SQLite file (bAccessMdb nonzero) or PostgreSQL host[:port] / socket folder.
    BOOL Connect(LPCSTR lpszHost, LPCSTR lpszName, LPCSTR lpszUser, LPCSTR lpszPasswd,
                 int bAccessMdb);
    // Connects again as the last Connect said, when that connection is not open (the
    // server was away when it was made); TRUE when a connection is open afterwards.
    BOOL Reconnect();
    void Disconnect();
    BOOL IsConnect() const;
    // How long a statement waits for another writer's lock (taken by the next Connect).
    void SetBusyTimeout(int nMs) { m_nBusyTimeoutMs = nMs; }
    // From any thread: while on, waits and statements on the connection end at once
    // (see oxudb::IServerDb::Interrupt); Connect and Reconnect fail too.
    void Interrupt(BOOL bOn);

    BOOL BeginTransaction();
    BOOL Commit();
    BOOL Rollback();
    // While on, rows save themselves without waiting for the server's answer (see
    // oxudb::IServerDb::Queue); Flush gives the first failure of what went out.
    void SetQueueing(BOOL bOn) { m_bQueueing = bOn; }
    BOOL IsQueueing() const { return m_bQueueing; }
    BOOL Flush();
    // Whether the last failure refused a statement's values (oxudb::IServerDb::IsDataError).
    BOOL IsDataError() const;

    // The next free keys of a counter ("study_key", "series_key", "instance_key"). Outside
    // a transaction the key is committed at once; inside one it is held by that
    // transaction (another writer waits for its end, and a rollback gives it back with the
    // rows that used it). TakeKeys gives the first of nCount consecutive keys. 0 on failure.
    std::int64_t TakeKey(LPCSTR lpszCounter) { return TakeKeys(lpszCounter, 1); }
    std::int64_t TakeKeys(LPCSTR lpszCounter, int nCount);
    // Root of every UID made in this database ("2.25." and a random number).
    const CString& GetUidRoot() const { return m_strUidRoot; }
    const CString& GetLastError() const { return m_strLastError; }
    void SetLastError(const CString& str) { m_strLastError = str; }
    BOOL IsSqlite() const { return m_bSqlite; }

    oxudb::IServerDb* GetDb() const { return m_pDb.get(); }

private:
    BOOL PrepareSchema();
    BOOL Call(bool (oxudb::IServerDb::*pfn)());

    std::unique_ptr<oxudb::IServerDb> m_pDb;
    CString m_strUidRoot;
    CString m_strLastError;
    BOOL m_bSqlite = TRUE;
    int m_nBusyTimeoutMs = 30000;
    BOOL m_bQueueing = FALSE;
    // The parameters of the last Connect, for Reconnect.
    BOOL m_bConnectTried = FALSE;
    CString m_strHost, m_strName, m_strUser, m_strPasswd;
    int m_bAccessMdb = 1;
    // Guards the backend object against Interrupt from another thread while it changes.
    mutable std::mutex m_dbMutex;
    std::atomic<bool> m_bInterrupt{false};
};
