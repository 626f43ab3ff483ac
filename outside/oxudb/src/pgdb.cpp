// PostgreSQL backend on libpq. The host is "host[:port]" or a socket folder ("/..."). A
// connection that broke (server restarted) is reset at the next transaction start, so the
// records after an outage are stored once the server is back. A lock held by another
// session is waited for at most the busy time-out (the server's lock time-out).
#include <libpq-fe.h>

#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

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
        // A server over TCP that no longer answers (off, cable out) is noticed in seconds.
        const char* keys[] = {"host",
                              "port",
                              "dbname",
                              "user",
                              "password",
                              "client_encoding",
                              "options",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              "tcp_user_timeout",
                              nullptr};
        const char* values[] = {strHost.c_str(),
                                strPort.empty() ? nullptr : strPort.c_str(),
                                target.strName.c_str(),
                                target.strUser.c_str(),
                                target.strPassword.empty() ? nullptr : target.strPassword.c_str(),
                                "UTF8",
                                strOptions.c_str(),
                                "10",
                                "5",
                                "3",
                                "30000",
                                nullptr};
        m_pConn = PQconnectStartParams(keys, values, 0);
        if (!m_pConn || !Connected()) {
            m_strError = m_pConn ? PQerrorMessage(m_pConn) : "out of memory";
            if (m_bInterrupt)
                m_strError = kInterrupted;
            Close();
            return false;
        }
        Quiet();
        return true;
    }

    void Close() override {
        {
            std::lock_guard<std::mutex> lock(m_socketMutex);
            m_nSocket = -1;
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
        if (m_bPipeline && !Flush())
            return false;
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
        const CParams p(params);
        PGresult* pRes = PQexecParams(m_pConn, sql.c_str(), p.Count(), nullptr, p.values.data(),
                                      p.lengths.data(), p.formats.data(), 0);
        const ExecStatusType eStatus = pRes ? PQresultStatus(pRes) : PGRES_FATAL_ERROR;
        if (eStatus != PGRES_COMMAND_OK && eStatus != PGRES_TUPLES_OK) {
            FailResult(pRes);
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
            FailResult(pRes);
        PQclear(pRes);
        return bOk;
    }

    // Inside a transaction the statements go out in pipeline mode: the server works them
    // while the next are made, and their answers are read at Flush.
    bool Queue(const std::string& sql, const std::vector<CDbParam>& params) override {
        if (!m_pConn || !m_bInTransaction || m_bInterrupt)
            return Execute(sql, params, nullptr);
        if (!m_bPipeline) {
            if (!PQenterPipelineMode(m_pConn))
                return Execute(sql, params, nullptr);
            m_bPipeline = true;
        }
        // A batch repeats a few statements many times: each is parsed and planned once
        // per session, not once per row.
        const CParams p(params);
        auto it = m_prepared.find(sql);
        bool bSent = true;
        if (it == m_prepared.end()) {
            it = m_prepared.emplace(sql, "oxu" + std::to_string(++m_nPrepared)).first;
            bSent = PQsendPrepare(m_pConn, it->second.c_str(), sql.c_str(), p.Count(), nullptr);
        }
        if (!bSent || !PQsendQueryPrepared(m_pConn, it->second.c_str(), p.Count(), p.values.data(),
                                           p.lengths.data(), p.formats.data(), 0)) {
            FailResult(nullptr);
            Flush();
            m_prepared.clear();
            return false;
        }
        return true;
    }

    bool Flush() override {
        if (!m_bPipeline)
            return true;
        bool bOk = PQpipelineSync(m_pConn) == 1;
        if (!bOk)
            FailResult(nullptr);
        // The answers up to the sync; the first failure is the one to tell.
        for (int nNulls = 0; bOk || PQstatus(m_pConn) == CONNECTION_OK;) {
            PGresult* pRes = PQgetResult(m_pConn);
            if (!pRes) {
                // One empty result ends each statement's answers; two in a row: nothing
                // more will come (the connection broke).
                if (++nNulls > 1) {
                    if (bOk)
                        FailResult(nullptr);
                    bOk = false;
                    break;
                }
                continue;
            }
            nNulls = 0;
            const ExecStatusType eStatus = PQresultStatus(pRes);
            if (eStatus == PGRES_PIPELINE_SYNC) {
                PQclear(pRes);
                break;
            }
            if (bOk && eStatus != PGRES_COMMAND_OK && eStatus != PGRES_TUPLES_OK &&
                eStatus != PGRES_PIPELINE_ABORTED) {
                FailResult(pRes);
                bOk = false;
            }
            PQclear(pRes);
        }
        PQexitPipelineMode(m_pConn);
        m_bPipeline = false;
        // A failed pipeline may have skipped some of its preparations: they are made anew,
        // under new names.
        if (!bOk)
            m_prepared.clear();
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
        const bool bFlushed = Flush();
        m_bInTransaction = false;
        return bFlushed && ExecuteScript("COMMIT");
    }
    bool Rollback() override {
        const std::string strError = m_strError, strState = m_strState;
        Flush();
        m_strError = strError;  // the failure that led here is the one to tell
        m_strState = strState;
        m_bInTransaction = false;
        if (!m_pConn || PQstatus(m_pConn) != CONNECTION_OK)
            return true;  // the server ended the transaction with the connection
        return ExecuteScript("ROLLBACK");
    }
    bool LockSchema() override {
        return ExecuteScript("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockId) +
                             ")");
    }
    // The waveform values are compressed with lz4 rather than pglz, which took most of a
    // record's time in the server (servers before 14 or without lz4 keep pglz).
    void TuneStorage() override {
        CDbResult result;
        if (!Execute("SELECT attcompression FROM pg_attribute WHERE attrelid = "
                     "'waveform'::regclass AND attname = 'wave_data'",
                     {}, &result) ||
            result.rows.size() != 1 || result.rows[0][0] == "l")
            return;
        ExecuteScript("ALTER TABLE waveform ALTER COLUMN wave_data SET COMPRESSION lz4");
    }
    const char* BlobType() const override { return "BYTEA"; }
    std::string LastError() const override { return m_strError; }
    // Classes 22 (data exception) and 23 (integrity constraint violation).
    bool IsDataError() const override {
        return m_strState.rfind("22", 0) == 0 || m_strState.rfind("23", 0) == 0;
    }
    // The session's socket is shut: whatever libpq waits for (a lock, a server that hangs
    // or went off the network) ends at once, and the server rolls the transaction back. The
    // next transaction connects afresh.
    void Interrupt(bool bOn) override {
        m_bInterrupt = bOn;
        std::lock_guard<std::mutex> lock(m_socketMutex);
        if (bOn && m_nSocket >= 0)
            ::shutdown(m_nSocket, SHUT_RDWR);
    }

private:
    static constexpr const char* kInterrupted = "interrupted: the server is stopping";

    bool Fail(const std::string& str) {
        m_strError = str;
        m_strState.clear();
        while (!m_strError.empty() && (m_strError.back() == '\n' || m_strError.back() == ' '))
            m_strError.pop_back();
        return false;
    }
    // The server's answer (or the connection's message without one), with its SQLSTATE.
    bool FailResult(const PGresult* pRes) {
        Fail(pRes ? PQresultErrorMessage(pRes) : PQerrorMessage(m_pConn));
        const char* pszState = pRes ? PQresultErrorField(pRes, PG_DIAG_SQLSTATE) : nullptr;
        m_strState = pszState ? pszState : "";
        return false;
    }

    // A statement's parameters as libpq takes them: texts, and blobs in binary form.
    struct CParams {
        explicit CParams(const std::vector<CDbParam>& params)
            : texts(params.size()),
              values(params.size()),
              lengths(params.size()),
              formats(params.size()) {
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
        }
        int Count() const { return static_cast<int>(values.size()); }
        std::vector<std::string> texts;
        std::vector<const char*> values;
        std::vector<int> lengths, formats;
    };
    bool Reset() {
        if (m_bInterrupt)
            return Fail(kInterrupted);
        {
            std::lock_guard<std::mutex> lock(m_socketMutex);
            m_nSocket = -1;  // libpq closes it now
        }
        if (!PQresetStart(m_pConn) || !Connected())
            return Fail(m_bInterrupt ? kInterrupted : PQerrorMessage(m_pConn));
        Quiet();
        return true;
    }
    // Drives a connection started by PQconnectStartParams or PQresetStart to its end,
    // in short waits that an interrupt ends, within the time-out of a connection.
    bool Connected() {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(kConnectSeconds);
        PostgresPollingStatusType eStep = PGRES_POLLING_WRITING;
        while (PQstatus(m_pConn) != CONNECTION_BAD && eStep != PGRES_POLLING_OK &&
               eStep != PGRES_POLLING_FAILED) {
            if (m_bInterrupt || std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd pfd{PQsocket(m_pConn),
                       static_cast<short>(eStep == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
            const int n = ::poll(&pfd, 1, 100);
            if (n < 0 && errno != EINTR)
                return false;
            if (n > 0)
                eStep = PQconnectPoll(m_pConn);
        }
        return PQstatus(m_pConn) == CONNECTION_OK;
    }
    // Notices (such as "already exists, skipping") are not errors of ours. The socket of
    // the (new) session is kept for Interrupt on another thread.
    void Quiet() {
        PQsetNoticeProcessor(m_pConn, [](void*, const char*) {}, nullptr);
        m_prepared.clear();  // a new session knows none of them
        std::lock_guard<std::mutex> lock(m_socketMutex);
        m_nSocket = PQsocket(m_pConn);
    }

    static constexpr int kConnectSeconds = 10;
    PGconn* m_pConn = nullptr;
    bool m_bInTransaction = false;
    bool m_bPipeline = false;
    std::unordered_map<std::string, std::string> m_prepared;  // statement -> its name
    unsigned long m_nPrepared = 0;
    std::string m_strError, m_strState;
    std::mutex m_socketMutex;
    int m_nSocket = -1;
    std::atomic<bool> m_bInterrupt{false};
};

}  // namespace

std::unique_ptr<IServerDb> MakePgDb() {
    return std::make_unique<CPgDb>();
}

}  // namespace oxudb
