// The host end to end on the test's own PostgreSQL cluster.
#include "e2esuite.h"
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

CE2eBackend Postgres() {
    CE2eBackend b;
    b.strName = "Postgres";
    b.reset = [] { Cluster().Psql("DROP SCHEMA public CASCADE; CREATE SCHEMA public;"); };
    b.configure = [](CIniFile& ini) {
        ini.WriteString("OXU_DB", "DB_HOST", Cluster().Host().c_str());
        ini.WriteString("OXU_DB", "DB_NAME", Cluster().Name());
        ini.WriteString("OXU_DB", "DB_USER", Cluster().User());
        ini.WriteInt("OXU_DB", "DB_ACCESS_MDB", 0);
    };
    b.query = [](const std::string&, const std::string& sql) { return Cluster().Psql(sql); };
    b.strHexFn = "encode(wave_data, 'hex')";
    b.checkArgs = [](const std::string&) {
        return "--psql " + Cluster().Host() + " " + Cluster().Name() + " " + Cluster().User();
    };
    b.stop = [] { return Cluster().Stop(); };
    b.restart = [] { return Cluster().Restart(); };
    b.bPeers = true;
    return b;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Pg, OxuE2e, ::testing::Values(Postgres()),
                         [](const auto& info) { return info.param.strName; });

}  // namespace oxutest
