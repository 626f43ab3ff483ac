#pragma once
// The test's own PostgreSQL: initdb and pg_ctl (from pg_config --bindir) of a cluster in
// a fresh folder under /tmp, run as the unprivileged user "postgres" when the test runs as
// root, listening on a socket in that folder only. Stopped and removed with the object.
#include <string>

namespace oxutest {

class CPgCluster {
public:
    CPgCluster() = default;
    ~CPgCluster();
    CPgCluster(const CPgCluster&) = delete;
    CPgCluster& operator=(const CPgCluster&) = delete;

    // Makes, starts and creates database "oxudb" for user "oxu"; FALSE with Error().
    bool Start();
    bool Stop();     // fast stop; the cluster stays for Restart
    bool Restart();  // start again after Stop
    // Stops (SIGSTOP) or lets go on (SIGCONT) the server and its processes: a server
    // that hangs, connections and all.
    bool Freeze(bool bFreeze);
    void Destroy();

    // The socket folder (the "DB_HOST" of the server library).
    const std::string& Host() const { return m_strDir; }
    const char* Name() const { return "oxudb"; }
    const char* User() const { return "oxu"; }
    const std::string& Error() const { return m_strError; }
    // Runs psql on the database with the statement; its unaligned output.
    std::string Psql(const std::string& sql, int* pStatus = nullptr) const;

private:
    bool Run(const std::string& command);
    std::string AsUser(const std::string& command) const;

    std::string m_strBin, m_strDir, m_strError;
    bool m_bRunning = false;
};

}  // namespace oxutest
