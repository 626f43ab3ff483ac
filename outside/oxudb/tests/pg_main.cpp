// The backend suite on the test's own PostgreSQL cluster (started once for this program).
#include "dbsuite.h"
#include "pgcluster.h"

namespace oxutest {
namespace {

CPgCluster& Cluster() {
    static CPgCluster cluster;
    static const bool bStarted = cluster.Start();
    if (!bStarted)
        ADD_FAILURE() << "PostgreSQL did not start: " << cluster.Error();
    return cluster;
}

BOOL ConnectPg(COxuDbConnect& db) {
    return db.Connect(Cluster().Host().c_str(), Cluster().Name(), Cluster().User(), "", 0);
}

CBackend Postgres() {
    return {"Postgres",
            [] { Cluster().Psql("DROP SCHEMA public CASCADE; CREATE SCHEMA public;"); },
            ConnectPg, true};
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Pg, DbSuite, ::testing::Values(Postgres()),
                         [](const auto& info) { return info.param.strName; });
INSTANTIATE_TEST_SUITE_P(Pg, DbWriters, ::testing::Values(Postgres()),
                         [](const auto& info) { return info.param.strName; });

TEST(PgConnect, AMissingDatabaseFailsWithTheServersReason) {
    COxuDbConnect db;
    EXPECT_FALSE(db.Connect(Cluster().Host().c_str(), "nosuchdb", "oxu", "", 0));
    EXPECT_NE(db.GetLastError().find("nosuchdb"), std::string::npos) << db.GetLastError();
}

TEST(PgConnect, ARestartedServerServesTheNextTransaction) {
    COxuDbConnect db;
    ASSERT_TRUE(ConnectPg(db)) << db.GetLastError();
    ASSERT_TRUE(Cluster().Stop()) << Cluster().Error();
    EXPECT_FALSE(db.BeginTransaction());
    ASSERT_TRUE(Cluster().Restart()) << Cluster().Error();
    EXPECT_TRUE(db.BeginTransaction()) << db.GetLastError();
    EXPECT_TRUE(db.Commit());
}

}  // namespace oxutest
