// The backend suite on SQLite: a database in memory, and a file for writers that need a
// database of their own connections.
#include "dbsuite.h"
#include "oxudb/serverdb.h"

#include "testsupport/testsupport.h"

namespace oxutest {
namespace {

testsupport::CTempDir& Folder() {
    static testsupport::CTempDir dir;
    return dir;
}

CBackend Memory() {
    return {"SqliteMemory", [] {},
            [](COxuDbConnect& db) { return db.Connect(":memory:", "", "", "", 1); }, false};
}

CBackend File() {
    return {"SqliteFile",
            [] { testsupport::RunCommand("rm -rf " + testsupport::ShellQuote(Folder() / "db")); },
            [](COxuDbConnect& db) {
                return db.Connect((Folder() / "db/oxunet.mdb").c_str(), "", "", "", 1);
            },
            true};
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Sqlite, DbSuite, ::testing::Values(Memory(), File()),
                         [](const auto& info) { return info.param.strName; });
INSTANTIATE_TEST_SUITE_P(Sqlite, DbWriters, ::testing::Values(File()),
                         [](const auto& info) { return info.param.strName; });

TEST(SqliteConnect, AFileThatCannotBeMadeFails) {
    COxuDbConnect db;
    EXPECT_FALSE(db.Connect("/proc/no/such/oxunet.mdb", "", "", "", 1));
    EXPECT_FALSE(db.GetLastError().empty());
    EXPECT_FALSE(db.IsConnect());
    EXPECT_FALSE(db.Connect("", "", "", "", 1));
}

TEST(SqliteConnect, StoredBackslashPathsWork) {
    testsupport::CTempDir dir;
    COxuDbConnect db;
    CString strPath = dir.Path() + "Database\\oxunet.mdb";
    ASSERT_TRUE(db.Connect(strPath.c_str(), "", "", "", 1)) << db.GetLastError();
    EXPECT_TRUE(testsupport::Exists(dir / "Database/oxunet.mdb"));
}

}  // namespace oxutest

namespace oxutest {

// Committed means on disk: the write-ahead log is synced at every commit.
TEST(SqliteConnect, EveryCommitIsSyncedToDisk) {
    testsupport::CTempDir dir;
    COxuDbConnect db;
    ASSERT_TRUE(db.Connect((dir / "oxunet.mdb").c_str(), "", "", "", 1)) << db.GetLastError();
    oxudb::CDbResult result;
    ASSERT_TRUE(db.GetDb()->Execute("PRAGMA journal_mode", {}, &result));
    EXPECT_EQ(result.rows.at(0).at(0), "wal");
    ASSERT_TRUE(db.GetDb()->Execute("PRAGMA synchronous", {}, &result));
    EXPECT_EQ(result.rows.at(0).at(0), "2");  // FULL
}

}  // namespace oxutest
