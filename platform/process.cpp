#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace platform {

namespace {

// Spawns argv in a process group of its own with standard input from /dev/null.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& workDir, std::string& error,
            int* pnError = nullptr) {
    if (argv.empty() || argv[0].empty()) {
        error = "no program given";
        if (pnError) *pnError = ENOENT;
        return -1;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    // The child gets standard input, output and error only: an inherited socket or file
    // of ours (one opened without close-on-exec) would stay open, and a listening port
    // held, for as long as the child lives.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    posix_spawnattr_setpgroup(&attr, 0);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        error = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
        if (pnError) *pnError = rc;
        return -1;
    }
    return pid;
}

void Fill(ProcessResult& r, int status) {
    if (WIFEXITED(status)) {
        r.nExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        r.bSignalled = true;
        r.nSignal = WTERMSIG(status);
    }
}

enum class EWait { kEnded, kTimedOut, kLost };

// Waits for pid up to nTimeoutMs (negative: forever); *status is set when it ended. kLost:
// the child was collected elsewhere (SIGCHLD ignored), so it has ended but its status is
// unknown and its process identifier may already be someone else's.
EWait WaitFor(pid_t pid, int nTimeoutMs, int* status) {
    if (nTimeoutMs < 0) {
        while (waitpid(pid, status, 0) < 0) {
            if (errno != EINTR) return EWait::kLost;
        }
        return EWait::kEnded;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    EWait result = EWait::kTimedOut;
    for (;;) {
        pid_t w = waitpid(pid, status, WNOHANG);
        if (w == pid) {
            result = EWait::kEnded;
            break;
        }
        if (w < 0 && errno != EINTR) {
            result = EWait::kLost;
            break;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) break;
        if (pidfd >= 0) {
            pollfd pfd{pidfd, POLLIN, 0};
            poll(&pfd, 1, static_cast<int>(left));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(left < 5 ? left : 5));
        }
    }
    if (pidfd >= 0) close(pidfd);
    return result;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, int nTimeoutMs,
                         const std::string& workDir) {
    ProcessResult r;
    pid_t pid = Spawn(argv, workDir, r.strError);
    if (pid < 0) return r;
    r.bStarted = true;
    int status = 0;
    EWait w = WaitFor(pid, nTimeoutMs, &status);
    if (w == EWait::kEnded) {
        Fill(r, status);
        return r;
    }
    if (w == EWait::kLost) return r;  // ended; no exit code to report, nothing to kill
    r.bTimedOut = true;
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Fill(r, status);
    return r;
}

bool StartDetached(const std::vector<std::string>& argv, const std::string& workDir,
                   int* pnError) {
    std::string error;
    pid_t pid = Spawn(argv, workDir, error, pnError);
    if (pid < 0) return false;
    // A waiter reaps the child whenever it ends, so no zombie is left.
    std::thread([pid] {
        int status;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace platform
