#pragma once
// One suite over every backend: compiled into the SQLite test program (label unit) and
// the PostgreSQL one (label peer), each instantiating it with its own factory.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "oxudb/oxudbconnect.h"

namespace oxutest {

// Opens a fresh, empty database of one backend (each call the same database until the
// next Reset).
struct CBackend {
    std::string strName;
    std::function<void()> reset;                   // empties the database
    std::function<BOOL(COxuDbConnect&)> connect;  // connects to it
    bool bShared = true;                           // a second connection sees the first's rows
};

inline void PrintTo(const CBackend& b, std::ostream* os) {
    *os << b.strName;
}

class DbSuite : public ::testing::TestWithParam<CBackend> {
protected:
    void SetUp() override {
        GetParam().reset();
        ASSERT_TRUE(GetParam().connect(m_db)) << m_db.GetLastError();
    }
    COxuDbConnect m_db;
};

// Writers on one database, each on its own connection, as two hosts run them.
class DbWriters : public DbSuite {};

}  // namespace oxutest
