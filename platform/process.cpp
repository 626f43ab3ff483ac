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
pid_t Spawn(const std::vector<std::string>& argv, const std::string& workDir, std::string& error) {
    if (argv.empty() || argv[0].empty()) {
        error = "no program given";
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

// Waits for pid up to nTimeoutMs (negative: forever). TRUE with *status when it ended.
bool WaitFor(pid_t pid, int nTimeoutMs, int* status) {
    if (nTimeoutMs < 0) {
        while (waitpid(pid, status, 0) < 0) {
            if (errno != EINTR) return false;
        }
        return true;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    for (;;) {
        pid_t w = waitpid(pid, status, WNOHANG);
        if (w == pid) {
            if (pidfd >= 0) close(pidfd);
            return true;
        }
        if (w < 0 && errno != EINTR) break;
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
    return false;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, int nTimeoutMs,
                         const std::string& workDir) {
    ProcessResult r;
    pid_t pid = Spawn(argv, workDir, r.strError);
    if (pid < 0) return r;
    int status = 0;
    if (WaitFor(pid, nTimeoutMs, &status)) {
        r.bStarted = true;
        Fill(r, status);
        return r;
    }
    r.bStarted = true;
    r.bTimedOut = true;
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    Fill(r, status);
    return r;
}

bool StartDetached(const std::vector<std::string>& argv, const std::string& workDir) {
    std::string error;
    pid_t pid = Spawn(argv, workDir, error);
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
