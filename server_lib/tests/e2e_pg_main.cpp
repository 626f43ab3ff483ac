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
    b.lock = [](const std::string&, const std::string& scratch) {
        // psql holds the lock in an open transaction as long as its input stays open.
        auto p = std::make_unique<testsupport::CChildProcess>();
        p->Start(
            {"python3", "-c",
             "import subprocess, sys, time\n"
             "p = subprocess.Popen(['psql', '-X', '-q', '-A', '-t', '-h', sys.argv[1], '-U', "
             "'oxu', '-d', 'oxudb'], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)\n"
             "p.stdin.write('BEGIN; LOCK TABLE oxu_info IN EXCLUSIVE MODE; SELECT 1;\\n')\n"
             "p.stdin.flush()\n"
             "p.stdout.readline()\n"
             "print('LOCKED', flush=True)\n"
             "time.sleep(3600)\n",
             Cluster().Host()},
            scratch + "pg-lock.out");
        return p;
    };
    b.stop = [] { return Cluster().Stop(); };
    b.freeze = [](bool bFreeze) { return Cluster().Freeze(bFreeze); };
    b.restart = [] { return Cluster().Restart(); };
    b.bPeers = true;
    return b;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Pg, OxuE2e, ::testing::Values(Postgres()),
                         [](const auto& info) { return info.param.strName; });

}  // namespace oxutest
