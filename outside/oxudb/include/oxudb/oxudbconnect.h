#pragma once
// The database connection of the server library: the SQLite file (access-database
// switch 1; made with its schema when missing) or a PostgreSQL database (switch 0), the
// transaction calls, keys taken atomically and the UID root of the database. Not
// copyable: the connection is owned once.
#include <cstdint>
#include <memory>

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
    void Disconnect();
    BOOL IsConnect() const;

    BOOL BeginTransaction();
    BOOL Commit();
    BOOL Rollback();

    // The next free key of a counter ("study_key", "series_key", "instance_key"), taken
    // and committed at once so that no other writer can ever get it; 0 on failure.
    std::int64_t TakeKey(LPCSTR lpszCounter);
    // Root of every UID made in this database ("2.25." and a random number).
    const CString& GetUidRoot() const { return m_strUidRoot; }
    const CString& GetLastError() const { return m_strLastError; }
    void SetLastError(const CString& str) { m_strLastError = str; }
    BOOL IsSqlite() const { return m_bSqlite; }

    oxudb::IServerDb* GetDb() const { return m_pDb.get(); }

private:
    BOOL PrepareSchema();

    std::unique_ptr<oxudb::IServerDb> m_pDb;
    CString m_strUidRoot;
    CString m_strLastError;
    BOOL m_bSqlite = TRUE;
};
