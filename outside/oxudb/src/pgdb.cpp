// PostgreSQL backend on libpq. The host is "host[:port]" or a socket folder ("/..."). A
// connection that broke (server restarted) is reset at the next transaction start, so the
// records after an outage are stored once the server is back. A lock held by another
// session is waited for at most the busy time-out (the server's lock time-out).
#include <libpq-fe.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "oxudb/serverdb.h"

namespace oxudb {
namespace {

constexpr unsigned kByteaOid = 17;
constexpr int kSchemaLockId = 0x4F5855;  // any number of our own for the advisory lock

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// bytea in text form ("\x" and hex pairs) to its bytes.
std::string DecodeBytea(const char* p, int n) {
    std::string out;
    if (n >= 2 && p[0] == '\\' && p[1] == 'x') {
        out.reserve((n - 2) / 2);
        for (int i = 2; i + 1 < n; i += 2) {
            const int hi = HexValue(p[i]), lo = HexValue(p[i + 1]);
            if (hi < 0 || lo < 0)
                break;
            out.push_back(static_cast<char>(hi * 16 + lo));
        }
        return out;
    }
    return std::string(p, n);
}

class CPgDb : public IServerDb {
public:
    ~CPgDb() override { Close(); }

    bool Open(const CDbTarget& target) override {
        Close();
        std::string strHost = target.strHost, strPort;
        if (!strHost.empty() && strHost[0] != '/') {
            const std::size_t nColon = strHost.rfind(':');
            if (nColon != std::string::npos) {
                strPort = strHost.substr(nColon + 1);
                strHost.erase(nColon);
            }
        }
        const std::string strOptions =
            "-c lock_timeout=" +
            std::to_string(target.nBusyTimeoutMs > 0 ? target.nBusyTimeoutMs : 1);
        const char* keys[] = {
            "host",    "port", "dbname", "user", "password", "connect_timeout", "client_encoding",
            "options", nullptr};
        const char* values[] = {strHost.c_str(),
                                strPort.empty() ? nullptr : strPort.c_str(),
                                target.strName.c_str(),
                                target.strUser.c_str(),
                                target.strPassword.empty() ? nullptr : target.strPassword.c_str(),
                                "10",
                                "UTF8",
                                strOptions.c_str(),
                                nullptr};
        m_pConn = PQconnectdbParams(keys, values, 0);
        if (!m_pConn || PQstatus(m_pConn) != CONNECTION_OK) {
            m_strError = m_pConn ? PQerrorMessage(m_pConn) : "out of memory";
            Close();
            return false;
        }
        Quiet();
        return true;
    }

    void Close() override {
        {
            std::lock_guard<std::mutex> lock(m_cancelMutex);
            if (m_pCancel)
                PQfreeCancel(m_pCancel);
            m_pCancel = nullptr;
        }
        if (m_pConn)
            PQfinish(m_pConn);
        m_pConn = nullptr;
    }

    bool IsOpen() const override { return m_pConn != nullptr; }

    bool Execute(const std::string& sql, const std::vector<CDbParam>& params,
                 CDbResult* pResult) override {
        if (!m_pConn)
            return Fail("the database is not open");
        if (m_bInterrupt)
            return Fail(kInterrupted);
        // Outside a transaction a statement on a connection the server dropped (restart)
        // is tried once more on a new one; inside one the transaction is lost anyway.
        if (!m_bInTransaction && PQstatus(m_pConn) != CONNECTION_OK)
            Reset();
        if (Run(sql, params, pResult))
            return true;
        if (m_bInTransaction || PQstatus(m_pConn) == CONNECTION_OK || !Reset())
            return false;
        return Run(sql, params, pResult);
    }

    bool Run(const std::string& sql, const std::vector<CDbParam>& params, CDbResult* pResult) {
        std::vector<std::string> texts(params.size());
        std::vector<const char*> values(params.size());
        std::vector<int> lengths(params.size()), formats(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) {
            const CDbParam& p = params[i];
            switch (p.eKind) {
                case CDbParam::EKind::Text:
                    values[i] = p.strValue.c_str();
                    break;
                case CDbParam::EKind::Int:
                    texts[i] = std::to_string(p.nValue);
                    values[i] = texts[i].c_str();
                    break;
                case CDbParam::EKind::Blob:
                    values[i] = p.strValue.data();
                    lengths[i] = static_cast<int>(p.strValue.size());
                    formats[i] = 1;
                    break;
                case CDbParam::EKind::Null:
                    values[i] = nullptr;
                    break;
            }
        }
        PGresult* pRes = PQexecParams(m_pConn, sql.c_str(), static_cast<int>(params.size()),
                                      nullptr, values.data(), lengths.data(), formats.data(), 0);
        const ExecStatusType eStatus = pRes ? PQresultStatus(pRes) : PGRES_FATAL_ERROR;
        if (eStatus != PGRES_COMMAND_OK && eStatus != PGRES_TUPLES_OK) {
            Fail(pRes ? PQresultErrorMessage(pRes) : PQerrorMessage(m_pConn));
            PQclear(pRes);
            return false;
        }
        if (pResult) {
            pResult->columns.clear();
            pResult->rows.clear();
            const int nCols = PQnfields(pRes);
            for (int c = 0; c < nCols; ++c)
                pResult->columns.emplace_back(PQfname(pRes, c));
            for (int r = 0; r < PQntuples(pRes); ++r) {
                std::vector<std::string> row;
                for (int c = 0; c < nCols; ++c) {
                    const char* p = PQgetvalue(pRes, r, c);
                    const int n = PQgetlength(pRes, r, c);
                    row.emplace_back(PQftype(pRes, c) == kByteaOid ? DecodeBytea(p, n)
                                                                    : std::string(p, n));
                }
                pResult->rows.push_back(std::move(row));
            }
        }
        PQclear(pRes);
        return true;
    }

    bool ExecuteScript(const std::string& sql) override {
        if (!m_pConn)
            return Fail("the database is not open");
        PGresult* pRes = PQexec(m_pConn, sql.c_str());
        const ExecStatusType eStatus = pRes ? PQresultStatus(pRes) : PGRES_FATAL_ERROR;
        const bool bOk = eStatus == PGRES_COMMAND_OK || eStatus == PGRES_TUPLES_OK;
        if (!bOk)
            Fail(pRes ? PQresultErrorMessage(pRes) : PQerrorMessage(m_pConn));
        PQclear(pRes);
        return bOk;
    }

    bool Begin() override {
        if (!m_pConn)
            return Fail("the database is not open");
        if (m_bInterrupt)
            return Fail(kInterrupted);
        if (PQstatus(m_pConn) != CONNECTION_OK && !Reset())
            return false;
        if (!ExecuteScript("BEGIN ISOLATION LEVEL READ COMMITTED") &&
            (PQstatus(m_pConn) == CONNECTION_OK || !Reset() ||
             !ExecuteScript("BEGIN ISOLATION LEVEL READ COMMITTED")))
            return false;
        m_bInTransaction = true;
        return true;
    }
    bool Commit() override {
        m_bInTransaction = false;
        return ExecuteScript("COMMIT");
    }
    bool Rollback() override {
        m_bInTransaction = false;
        if (!m_pConn || PQstatus(m_pConn) != CONNECTION_OK)
            return true;  // the server ended the transaction with the connection
        return ExecuteScript("ROLLBACK");
    }
    bool LockSchema() override {
        return ExecuteScript("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockId) +
                             ")");
    }
    const char* BlobType() const override { return "BYTEA"; }
    std::string LastError() const override { return m_strError; }
    void Interrupt(bool bOn) override {
        m_bInterrupt = bOn;
        std::lock_guard<std::mutex> lock(m_cancelMutex);
        char szError[256];
        if (bOn && m_pCancel)
            PQcancel(m_pCancel, szError, sizeof szError);
    }

private:
    static constexpr const char* kInterrupted = "interrupted: the server is stopping";

    bool Fail(const std::string& str) {
        m_strError = str;
        while (!m_strError.empty() && (m_strError.back() == '\n' || m_strError.back() == ' '))
            m_strError.pop_back();
        return false;
    }
    bool Reset() {
        if (m_bInterrupt)
            return Fail(kInterrupted);
        PQreset(m_pConn);
        if (PQstatus(m_pConn) != CONNECTION_OK)
            return Fail(PQerrorMessage(m_pConn));
        Quiet();
        return true;
    }
    // Notices (such as "already exists, skipping") are not errors of ours. The cancel
    // handle of the (new) session is made here, for Interrupt on another thread.
    void Quiet() {
        PQsetNoticeProcessor(m_pConn, [](void*, const char*) {}, nullptr);
        std::lock_guard<std::mutex> lock(m_cancelMutex);
        if (m_pCancel)
            PQfreeCancel(m_pCancel);
        m_pCancel = PQgetCancel(m_pConn);
    }

    PGconn* m_pConn = nullptr;
    bool m_bInTransaction = false;
    std::string m_strError;
    std::mutex m_cancelMutex;
    PGcancel* m_pCancel = nullptr;
    std::atomic<bool> m_bInterrupt{false};
};

}  // namespace

std::unique_ptr<IServerDb> MakePgDb() {
    return std::make_unique<CPgDb>();
}

}  // namespace oxudb
