#pragma once
// Child programs: started with an argument vector (no shell, no quoting), standard input
// from /dev/null, and a time limit where the caller waits.
#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
    bool bStarted = false;    // the program could be executed
    bool bTimedOut = false;   // killed at the time limit
    bool bSignalled = false;  // ended by a signal (nSignal)
    int nExitCode = -1;       // exit status when it ended normally (0..255)
    int nSignal = 0;
    std::string strError;     // why it did not start
    bool Succeeded() const { return bStarted && !bTimedOut && !bSignalled && nExitCode == 0; }
};

// Runs argv[0] (a path, or a name looked up in PATH) and waits at most nTimeoutMs
// (negative: no limit); a child still running then is killed with its process group.
ProcessResult RunProcess(const std::vector<std::string>& argv, int nTimeoutMs,
                         const std::string& workDir = {});

// Starts a program that outlives the call; no waiting and no zombie left behind. When it
// cannot start, *pnError (when given) is the error number the start gave (errno is not set).
bool StartDetached(const std::vector<std::string>& argv, const std::string& workDir = {},
                   int* pnError = nullptr);

}  // namespace platform
