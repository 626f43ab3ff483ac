#include "oxudb/oxudbconnect.h"

#include <algorithm>
#include <cstdlib>

#include "oxudb/oxudbuidgen.h"
#include "oxudb/serverdb.h"
#include "platform/folders.h"

using oxudb::CDbParam;
using oxudb::CDbResult;

COxuDbConnect::COxuDbConnect() = default;

COxuDbConnect::~COxuDbConnect() {
    Disconnect();
}

BOOL COxuDbConnect::Connect(LPCSTR lpszHost, LPCSTR lpszName, LPCSTR lpszUser,
                            LPCSTR lpszPasswd, int bAccessMdb) {
    Disconnect();
    m_bConnectTried = TRUE;
    m_strHost = lpszHost ? lpszHost : "";
    m_strName = lpszName ? lpszName : "";
    m_strUser = lpszUser ? lpszUser : "";
    m_strPasswd = lpszPasswd ? lpszPasswd : "";
    m_bAccessMdb = bAccessMdb;
    if (m_bInterrupt) {
        m_strLastError = "interrupted: the server is stopping";
        return FALSE;
    }
    oxudb::CDbTarget target;
    target.nBusyTimeoutMs = m_nBusyTimeoutMs;
    target.bSqlite = bAccessMdb != 0;
    target.strHost = lpszHost ? lpszHost : "";
    target.strName = lpszName ? lpszName : "";
    target.strUser = lpszUser ? lpszUser : "";
    target.strPassword = lpszPasswd ? lpszPasswd : "";
    if (target.strHost.empty()) {
        m_strLastError = "DB Host is empty";
        return FALSE;
    }
    m_bSqlite = target.bSqlite ? TRUE : FALSE;
    if (target.bSqlite) {
        // Stored paths may use "\"; the file's folder is made when missing.
        std::replace(target.strHost.begin(), target.strHost.end(), '\\', '/');
        const std::size_t nSlash = target.strHost.find_last_of('/');
        if (nSlash != std::string::npos && nSlash > 0)
            platform::MakeDirs(target.strHost.substr(0, nSlash));
    }
    auto pDb = target.bSqlite ? oxudb::MakeSqliteDb() : oxudb::MakePgDb();
    if (!pDb->Open(target)) {
        m_strLastError = pDb->LastError();
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> lock(m_dbMutex);
        m_pDb = std::move(pDb);
    }
    if (!PrepareSchema()) {
        Disconnect();
        return FALSE;
    }
    return TRUE;
}

BOOL COxuDbConnect::Reconnect() {
    if (IsConnect())
        return TRUE;
    if (!m_bConnectTried) {
        m_strLastError = "The database was never connected (DbConnect)";
        return FALSE;
    }
    const CString strHost = m_strHost, strName = m_strName, strUser = m_strUser,
                  strPasswd = m_strPasswd;
    return Connect(strHost.c_str(), strName.c_str(), strUser.c_str(), strPasswd.c_str(),
                   m_bAccessMdb);
}

void COxuDbConnect::Interrupt(BOOL bOn) {
    m_bInterrupt = bOn != FALSE;
    std::lock_guard<std::mutex> lock(m_dbMutex);
    if (m_pDb)
        m_pDb->Interrupt(bOn != FALSE);
}

// Creates the tables and the information rows when missing (one writer at a time), then
// reads the UID root and checks the version.
BOOL COxuDbConnect::PrepareSchema() {
    oxudb::IServerDb& db = *m_pDb;
    bool bOk = db.Begin() && db.LockSchema() && db.ExecuteScript(oxudb::SchemaText(db));
    const char* pszInsert =
        "INSERT INTO oxu_info (name, text_value, int_value) VALUES ($1, $2, $3) "
        "ON CONFLICT (name) DO NOTHING";
    bOk = bOk &&
          db.Execute(pszInsert, {CDbParam::Text("version"), CDbParam::Text(""),
                                 CDbParam::Int(oxudb::kSchemaVersion)}) &&
          db.Execute(pszInsert, {CDbParam::Text("uid_root"),
                                 CDbParam::Text(COxuDbUIDGen::MakeRoot()), CDbParam::Int(0)});
    for (const char* pszKey : {"study_key", "series_key", "instance_key"})
        bOk = bOk && db.Execute(pszInsert, {CDbParam::Text(pszKey), CDbParam::Text(""),
                                            CDbParam::Int(0)});
    CDbResult result;
    bOk = bOk && db.Execute("SELECT name, text_value, int_value FROM oxu_info WHERE name IN "
                            "('version', 'uid_root') ORDER BY name",
                            {}, &result);
    if (!bOk) {
        m_strLastError = db.LastError();
        db.Rollback();
        return FALSE;
    }
    if (!db.Commit()) {
        m_strLastError = db.LastError();
        return FALSE;
    }
    db.TuneStorage();
    if (result.rows.size() != 2 || result.rows[0][0] != "uid_root" ||
        result.rows[1][2] != std::to_string(oxudb::kSchemaVersion)) {
        m_strLastError = "The database holds another schema version";
        return FALSE;
    }
    m_strUidRoot = result.rows[0][1];
    return TRUE;
}

void COxuDbConnect::Disconnect() {
    std::unique_ptr<oxudb::IServerDb> pDb;
    {
        std::lock_guard<std::mutex> lock(m_dbMutex);
        pDb = std::move(m_pDb);
    }
    if (pDb)
        pDb->Close();
}

BOOL COxuDbConnect::IsConnect() const {
    return m_pDb && m_pDb->IsOpen() ? TRUE : FALSE;
}

// One call of the backend; its reason kept when it fails.
BOOL COxuDbConnect::Call(bool (oxudb::IServerDb::*pfn)()) {
    if (!m_pDb) {
        m_strLastError = "The database is not connected";
        return FALSE;
    }
    if ((m_pDb.get()->*pfn)())
        return TRUE;
    m_strLastError = m_pDb->LastError();
    return FALSE;
}

BOOL COxuDbConnect::BeginTransaction() {
    return Call(&oxudb::IServerDb::Begin);
}

BOOL COxuDbConnect::Commit() {
    if (Call(&oxudb::IServerDb::Commit))
        return TRUE;
    if (m_pDb)
        m_pDb->Rollback();
    return FALSE;
}

BOOL COxuDbConnect::Flush() {
    return Call(&oxudb::IServerDb::Flush);
}

BOOL COxuDbConnect::IsDataError() const {
    return m_pDb && m_pDb->IsDataError() ? TRUE : FALSE;
}

BOOL COxuDbConnect::Rollback() {
    if (!m_pDb)
        return FALSE;
    return m_pDb->Rollback() ? TRUE : FALSE;
}

std::int64_t COxuDbConnect::TakeKeys(LPCSTR lpszCounter, int nCount) {
    if (!m_pDb || nCount < 1) {
        m_strLastError = m_pDb ? "No key asked for" : "The database is not connected";
        return 0;
    }
    CDbResult result;
    if (!m_pDb->Execute("UPDATE oxu_info SET int_value = int_value + $1 WHERE name = $2 "
                        "RETURNING int_value",
                        {CDbParam::Int(nCount), CDbParam::Text(lpszCounter)}, &result)) {
        m_strLastError = m_pDb->LastError();
        return 0;
    }
    if (result.rows.size() != 1) {
        m_strLastError = CString("No key counter ") + lpszCounter;
        return 0;
    }
    return std::strtoll(result.rows[0][0].c_str(), nullptr, 10) - nCount + 1;
}
