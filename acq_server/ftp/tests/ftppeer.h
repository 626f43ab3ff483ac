#pragma once
// The FTP peers of the sender's tests, all on 127.0.0.1 and all gone with the test:
// Debian's pyftpdlib with the test's own user, password and root (killed at the end of the
// scope, and by the kernel should the test process die first), a listener that accepts and
// never answers, and a port with nothing on it.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "testsupport/testsupport.h"

class CFtpPeer {
public:
    struct COptions {
        std::string user = "corvane";
        std::string password = "s3cret pw";
        std::string perm = "elradfmwMT";    // pyftpdlib permissions
        std::vector<std::string> readonly;  // folders below the root the user may only read
        int readLimit = 0;                  // bytes per second taken of an upload; 0: all
    };

    CFtpPeer();
    ~CFtpPeer();
    CFtpPeer(const CFtpPeer&) = delete;
    CFtpPeer& operator=(const CFtpPeer&) = delete;

    // Starts the server on the given port (0: a free one); FALSE when it did not come up,
    // and Error() says why. A restart keeps the root and the log.
    bool Start(const COptions& options, int port = 0);
    const std::string& Error() const { return m_strError; }
    // Kills the server at once (SIGKILL), as a crash would.
    void Kill();

    int Port() const { return m_nPort; }
    // The server's root folder, with "/".
    const std::string& Root() const { return m_strRoot; }
    // The commands and events logged so far, one line each ("STOR name", "RECEIVED name").
    std::vector<std::string> Log() const;
    // Log lines that start with the word, without it ("STOR" gives the stored names).
    std::vector<std::string> Lines(const std::string& word) const;
    // Waits until the predicate holds for the log; FALSE after the time.
    bool WaitFor(const std::function<bool(const std::vector<std::string>&)>& pred,
                 int timeoutMs) const;

private:
    testsupport::CTempDir m_dir;
    std::string m_strRoot;
    std::string m_strLog;
    std::string m_strError;
    pid_t m_pid = -1;
    int m_nPort = 0;
};

// Listens on 127.0.0.1 and never accepts: a connection gets no greeting.
class CSilentPeer {
public:
    CSilentPeer();
    ~CSilentPeer();
    int Port() const { return m_nPort; }

private:
    int m_fd = -1;
    int m_nPort = 0;
};

// A loopback port with nothing listening on it.
int DeadPort();
