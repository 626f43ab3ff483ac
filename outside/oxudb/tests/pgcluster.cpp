#include "pgcluster.h"

#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <vector>

#include "testsupport/testsupport.h"

namespace oxutest {

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {
constexpr const char* kUser = "postgres";
}

CPgCluster::~CPgCluster() {
    Destroy();
}

std::string CPgCluster::AsUser(const std::string& command) const {
    if (geteuid() != 0)
        return command;
    return std::string("runuser -u ") + kUser + " -- sh -c " + ShellQuote(command);
}

bool CPgCluster::Run(const std::string& command) {
    int nStatus = -1;
    const std::string out = RunCommand(AsUser(command) + " 2>&1", &nStatus);
    if (nStatus != 0) {
        m_strError = command + ": " + out;
        return false;
    }
    return true;
}

bool CPgCluster::Start() {
    int nStatus = -1;
    m_strBin = RunCommand("pg_config --bindir 2>/dev/null", &nStatus);
    while (!m_strBin.empty() && (m_strBin.back() == '\n' || m_strBin.back() == ' '))
        m_strBin.pop_back();
    if (nStatus != 0 || m_strBin.empty()) {
        m_strError = "pg_config not found: the PostgreSQL server is not installed";
        return false;
    }
    // Outside TMPDIR: the private scratch folder is closed to the cluster's user.
    char szDir[] = "/tmp/oxupg-XXXXXX";
    if (!mkdtemp(szDir)) {
        m_strError = "cannot make the cluster folder";
        return false;
    }
    m_strDir = szDir;
    if (geteuid() == 0) {
        const passwd* pw = getpwnam(kUser);
        if (!pw || chown(szDir, pw->pw_uid, pw->pw_gid) != 0) {
            m_strError = "no user postgres to run the cluster as";
            return false;
        }
    }
    const std::string data = m_strDir + "/data";
    if (!Run(m_strBin + "/initdb -D " + data + " -A trust -U oxu -E UTF8 --no-sync --no-locale"))
        return false;
    return Restart() && Run(m_strBin + "/createdb -h " + m_strDir + " -U oxu oxudb");
}

bool CPgCluster::Restart() {
    const std::string opts = "-c listen_addresses='' -k " + m_strDir + " -c fsync=off";
    if (!Run(m_strBin + "/pg_ctl -D " + m_strDir + "/data -l " + m_strDir + "/log -w -t 30 -o " +
             ShellQuote(opts) + " start"))
        return false;
    m_bRunning = true;
    return true;
}

bool CPgCluster::Stop() {
    if (!m_bRunning)
        return true;
    m_bRunning = false;
    return Run(m_strBin + "/pg_ctl -D " + m_strDir + "/data -m fast -w stop");
}

bool CPgCluster::Freeze(bool bFreeze) {
    const std::string strPid = testsupport::ReadFile(m_strDir + "/data/postmaster.pid");
    const int nServer = std::atoi(strPid.c_str());
    if (nServer <= 0)
        return false;
    std::vector<int> anPids{nServer};
    std::istringstream children(RunCommand("pgrep -P " + std::to_string(nServer)));
    for (int n; children >> n;)
        anPids.push_back(n);
    for (int n : anPids)
        ::kill(n, bFreeze ? SIGSTOP : SIGCONT);
    return true;
}

void CPgCluster::Destroy() {
    if (m_strDir.empty())
        return;
    if (m_bRunning) {
        Freeze(false);
        m_bRunning = false;
        Run(m_strBin + "/pg_ctl -D " + m_strDir + "/data -m immediate -w stop");
    }
    RunCommand("rm -rf " + ShellQuote(m_strDir));
    m_strDir.clear();
}

std::string CPgCluster::Psql(const std::string& sql, int* pStatus) const {
    return RunCommand(m_strBin + "/psql -X -A -t -q -h " + m_strDir + " -U oxu -d oxudb -c " +
                          ShellQuote(sql) + " 2>&1",
                      pStatus);
}

}  // namespace oxutest
