// The host end to end on the SQLite file the default settings name.
#include "e2esuite.h"
#include "testsupport/testsupport.h"

namespace oxutest {
namespace {

CE2eBackend Sqlite() {
    CE2eBackend b;
    b.strName = "Sqlite";
    b.reset = [] {};
    // The file the default settings name (writing the defaults would reset the ports).
    b.configure = [](CIniFile& ini) {
        const std::string path = ini.GetPathName();
        ini.WriteString("OXU_DB", "DB_HOST",
                        (path.substr(0, path.rfind('/')) + "/Database/oxunet.mdb").c_str());
        ini.WriteInt("OXU_DB", "DB_ACCESS_MDB", 1);
    };
    b.query = [](const std::string& home, const std::string& sql) {
        return testsupport::RunCommand("sqlite3 " + testsupport::ShellQuote(home + "Database/oxunet.mdb") +
                                       " " + testsupport::ShellQuote(sql) + " 2>&1");
    };
    b.strHexFn = "hex(wave_data)";
    b.checkArgs = [](const std::string& home) {
        return "--sqlite " + testsupport::ShellQuote(home + "Database/oxunet.mdb");
    };
    b.lock = [](const std::string& home, const std::string& scratch) {
        auto p = std::make_unique<testsupport::CChildProcess>();
        p->Start({"python3", "-c",
                  "import sqlite3, sys, time\n"
                  "db = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                  "db.execute('BEGIN EXCLUSIVE')\n"
                  "print('LOCKED', flush=True)\n"
                  "time.sleep(3600)\n",
                  home + "Database/oxunet.mdb"},
                 scratch + "sqlite-lock.out");
        return p;
    };
    return b;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Sqlite, OxuE2e, ::testing::Values(Sqlite()),
                         [](const auto& info) { return info.param.strName; });

}  // namespace oxutest
