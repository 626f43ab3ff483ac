#pragma once
// The one small interface the database layer needs of a backend: run a statement with
// positional parameters ($1, $2, ... in order of use), the transaction calls and the
// backend's byte type. Texts cross it as UTF-8. SQLite and PostgreSQL implement it in
// files of their own; nothing above this interface knows which one runs.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace oxudb {

struct CDbParam {
    enum class EKind { Text, Int, Blob, Null };
    EKind eKind = EKind::Null;
    std::string strValue;  // text, or the bytes of a blob
    std::int64_t nValue = 0;

    static CDbParam Text(std::string s) { return {EKind::Text, std::move(s), 0}; }
    static CDbParam Int(std::int64_t n) { return {EKind::Int, {}, n}; }
    static CDbParam Blob(std::string bytes) { return {EKind::Blob, std::move(bytes), 0}; }
};

// Every value as text (blobs as their bytes); a NULL value is an empty text.
struct CDbResult {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    int Column(const std::string& name) const;
};

// Where the database lies: the SQLite file, or the PostgreSQL host[:port] or socket
// folder with database, user and password.
struct CDbTarget {
    bool bSqlite = true;
    std::string strHost, strName, strUser, strPassword;
    // How long a statement waits for another writer's lock before it fails.
    int nBusyTimeoutMs = 30000;
};

class IServerDb {
public:
    virtual ~IServerDb() = default;
    virtual bool Open(const CDbTarget& target) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // One statement; the rows when pResult is given.
    virtual bool Execute(const std::string& sql, const std::vector<CDbParam>& params,
                         CDbResult* pResult = nullptr) = 0;
    // A statement without rows, run now or (inside a transaction) sent on without waiting
    // for its answer; its failure shows at the latest at Flush, which the next Execute and
    // Commit do first.
    virtual bool Queue(const std::string& sql, const std::vector<CDbParam>& params) {
        return Execute(sql, params, nullptr);
    }
    virtual bool Flush() { return true; }
    // Several statements without parameters (the schema).
    virtual bool ExecuteScript(const std::string& sql) = 0;
    virtual bool Begin() = 0;
    virtual bool Commit() = 0;
    virtual bool Rollback() = 0;
    // Held until the end of the open transaction: makes schema creation one writer's job.
    virtual bool LockSchema() = 0;
    // Storage settings of the backend that only make writing faster, made once per
    // database outside a transaction; one the server cannot have changes nothing.
    virtual void TuneStorage() {}
    virtual const char* BlobType() const = 0;
    virtual std::string LastError() const = 0;
    // Whether the last failure refused the values of a statement (a constraint, a value
    // that does not fit its column) rather than the database as such (locked, away,
    // interrupted): only the record of those values is at fault.
    virtual bool IsDataError() const = 0;
    // Callable from any thread while the database is open: while on, a wait for a lock or
    // a running statement ends at once, and statements and transactions fail until it is
    // off again (rollback still works), so that a stopping server never waits for its
    // database.
    virtual void Interrupt(bool bOn) = 0;
};

std::unique_ptr<IServerDb> MakeSqliteDb();
std::unique_ptr<IServerDb> MakePgDb();

// The schema text for a backend (its byte type put in).
std::string SchemaText(const IServerDb& db);
constexpr int kSchemaVersion = 1;

}  // namespace oxudb
