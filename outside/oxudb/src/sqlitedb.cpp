// SQLite backend: one file, write-ahead log, writers queued by the busy time-out. A
// transaction starts as a writer at once (BEGIN IMMEDIATE), so two writers never deadlock
// on the upgrade from reader to writer. Every commit is synced to disk (synchronous FULL):
// a committed record survives a power cut.
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "oxudb/serverdb.h"

namespace oxudb {
namespace {

constexpr int kBusyStepMs = 10;

class CSqliteDb : public IServerDb {
public:
    ~CSqliteDb() override { Close(); }

    bool Open(const CDbTarget& target) override {
        Close();
        const int nFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
        if (sqlite3_open_v2(target.strHost.c_str(), &m_pDb, nFlags, nullptr) != SQLITE_OK) {
            m_strError = m_pDb ? sqlite3_errmsg(m_pDb) : "cannot open the database file";
            Close();
            return false;
        }
        m_nBusyTimeoutMs = target.nBusyTimeoutMs;
        sqlite3_busy_handler(m_pDb, &CSqliteDb::Busy, this);
        if (target.strHost != ":memory:" &&
            !ExecuteScript("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;")) {
            Close();
            return false;
        }
        return true;
    }

    void Close() override {
        if (m_pDb)
            sqlite3_close_v2(m_pDb);
        m_pDb = nullptr;
    }

    bool IsOpen() const override { return m_pDb != nullptr; }

    bool Execute(const std::string& sql, const std::vector<CDbParam>& params,
                 CDbResult* pResult) override {
        if (!m_pDb)
            return Fail("the database is not open", SQLITE_ERROR);
        if (m_bInterrupt)
            return Fail(kInterrupted, SQLITE_INTERRUPT);
        sqlite3_stmt* pStmt = nullptr;
        if (sqlite3_prepare_v2(m_pDb, sql.c_str(), static_cast<int>(sql.size()), &pStmt,
                               nullptr) != SQLITE_OK)
            return Fail(sqlite3_errmsg(m_pDb));
        bool bOk = Bind(pStmt, params);
        if (pResult) {
            pResult->columns.clear();
            pResult->rows.clear();
            for (int i = 0; i < sqlite3_column_count(pStmt); ++i)
                pResult->columns.emplace_back(sqlite3_column_name(pStmt, i));
        }
        while (bOk) {
            const int nStep = sqlite3_step(pStmt);
            if (nStep == SQLITE_DONE)
                break;
            if (nStep != SQLITE_ROW) {
                bOk = Fail(sqlite3_errmsg(m_pDb));
                break;
            }
            if (!pResult)
                continue;
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(pStmt); ++i) {
                const void* p = sqlite3_column_blob(pStmt, i);
                const int n = sqlite3_column_bytes(pStmt, i);
                row.emplace_back(p ? std::string(static_cast<const char*>(p), n) : std::string());
            }
            pResult->rows.push_back(std::move(row));
        }
        sqlite3_finalize(pStmt);
        return bOk;
    }

    bool ExecuteScript(const std::string& sql) override {
        if (!m_pDb)
            return Fail("the database is not open", SQLITE_ERROR);
        char* pszError = nullptr;
        if (sqlite3_exec(m_pDb, sql.c_str(), nullptr, nullptr, &pszError) != SQLITE_OK) {
            Fail(pszError ? pszError : sqlite3_errmsg(m_pDb));
            sqlite3_free(pszError);
            return false;
        }
        return true;
    }

    bool Begin() override {
        return m_bInterrupt ? Fail(kInterrupted, SQLITE_INTERRUPT)
                            : ExecuteScript("BEGIN IMMEDIATE");
    }
    bool Commit() override { return ExecuteScript("COMMIT"); }
    bool Rollback() override {
        if (m_pDb && sqlite3_get_autocommit(m_pDb))
            return true;  // SQLite already rolled back after the failure
        return ExecuteScript("ROLLBACK");
    }
    bool LockSchema() override { return true; }  // BEGIN IMMEDIATE holds the write lock
    const char* BlobType() const override { return "BLOB"; }
    std::string LastError() const override { return m_strError; }
    bool IsDataError() const override {
        return m_nErrorCode == SQLITE_CONSTRAINT || m_nErrorCode == SQLITE_MISMATCH ||
               m_nErrorCode == SQLITE_TOOBIG || m_nErrorCode == SQLITE_RANGE;
    }
    void Interrupt(bool bOn) override {
        m_bInterrupt = bOn;
        if (bOn && m_pDb)
            sqlite3_interrupt(m_pDb);
    }

private:
    static constexpr const char* kInterrupted = "interrupted: the server is stopping";

    // nCode: the failure's SQLite code; by default the connection's last one.
    bool Fail(const std::string& str, int nCode = -1) {
        m_strError = str;
        m_nErrorCode = nCode >= 0 ? nCode : m_pDb ? sqlite3_errcode(m_pDb) : SQLITE_ERROR;
        return false;
    }

    // The busy time-out in small steps, so that an interrupt ends the wait at once.
    static int Busy(void* pThis, int nCount) {
        auto* self = static_cast<CSqliteDb*>(pThis);
        const auto now = std::chrono::steady_clock::now();
        if (nCount == 0)
            self->m_busySince = now;
        if (self->m_bInterrupt ||
            now - self->m_busySince >= std::chrono::milliseconds(self->m_nBusyTimeoutMs))
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(kBusyStepMs));
        return 1;
    }

    bool Bind(sqlite3_stmt* pStmt, const std::vector<CDbParam>& params) {
        if (static_cast<int>(params.size()) != sqlite3_bind_parameter_count(pStmt))
            return Fail("parameter count does not match the statement", SQLITE_MISUSE);
        for (std::size_t i = 0; i < params.size(); ++i) {
            const int n = static_cast<int>(i) + 1;
            const CDbParam& p = params[i];
            int nResult = SQLITE_OK;
            switch (p.eKind) {
                case CDbParam::EKind::Text:
                    nResult = sqlite3_bind_text(pStmt, n, p.strValue.data(),
                                                static_cast<int>(p.strValue.size()),
                                                SQLITE_TRANSIENT);
                    break;
                case CDbParam::EKind::Int:
                    nResult = sqlite3_bind_int64(pStmt, n, p.nValue);
                    break;
                case CDbParam::EKind::Blob:
                    nResult = sqlite3_bind_blob(pStmt, n, p.strValue.data(),
                                                static_cast<int>(p.strValue.size()),
                                                SQLITE_TRANSIENT);
                    break;
                case CDbParam::EKind::Null:
                    nResult = sqlite3_bind_null(pStmt, n);
                    break;
            }
            if (nResult != SQLITE_OK)
                return Fail(sqlite3_errmsg(m_pDb));
        }
        return true;
    }

    sqlite3* m_pDb = nullptr;
    std::string m_strError;
    int m_nErrorCode = SQLITE_OK;
    int m_nBusyTimeoutMs = 30000;
    std::chrono::steady_clock::time_point m_busySince;
    std::atomic<bool> m_bInterrupt{false};
};

}  // namespace

std::unique_ptr<IServerDb> MakeSqliteDb() {
    return std::make_unique<CSqliteDb>();
}

}  // namespace oxudb
