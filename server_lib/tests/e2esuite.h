#pragma once
// The host end to end over TCP: oxuhost with the server library, devsim as the devices,
// the rows read back by the database's own client (sqlite3, psql). One suite, compiled
// for SQLite (label e2e) and for the test's own PostgreSQL (label peer).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "oxuutil/inifile.h"
#include "testsupport/childprocess.h"

namespace oxutest {

struct CE2eBackend {
    std::string strName;
    std::function<void()> reset;
    // Writes the database keys of "Oxu.ini" for this backend; home is the host's folder.
    std::function<void(CIniFile&)> configure;
    // Runs one statement with the client; unaligned rows, "|" between columns.
    std::function<std::string(const std::string& home, const std::string& sql)> query;
    // The database arguments of oxurows_check.py for the host of that home.
    std::function<std::string(const std::string& home)> checkArgs;
    // The SQL expression of a blob column as hex.
    std::string strHexFn;
    // Takes the database away and brings it back (empty when the backend cannot).
    std::function<bool()> stop, restart;
    // Makes the database server hang and go on again (empty when the backend has none).
    std::function<bool(bool)> freeze;
    // Another client that holds the database's write lock (of the host of that home)
    // until it is killed; its output says "LOCKED" once it holds it.
    std::function<std::unique_ptr<testsupport::CChildProcess>(const std::string& home,
                                                              const std::string& scratch)>
        lock;
    // Whether this program runs the outside peers (the FTP server): the peer program.
    bool bPeers = false;
};

inline void PrintTo(const CE2eBackend& b, std::ostream* os) {
    *os << b.strName;
}

class OxuE2e : public ::testing::TestWithParam<CE2eBackend> {};

}  // namespace oxutest
