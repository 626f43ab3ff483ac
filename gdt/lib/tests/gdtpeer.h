#pragma once
// The tests' own SMB server (tools/smbpeer): a private smbd on 127.0.0.1, or a silent
// server that accepts and never answers. Started by the test, stopped when it goes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "testsupport/testsupport.h"

class CSmbPeer {
public:
    // kind "serve" (with dir, user, password) or "silent".
    CSmbPeer(const std::string& kind, const std::string& dir = {}, const std::string& user = {},
             const std::string& password = {}) {
        int out[2];
        if (pipe(out) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            setpgid(0, 0);
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            if (kind == "serve") {
                execlp("python3", "python3", SMBPEER, "serve", "--dir", dir.c_str(), "--user", user.c_str(),
                       "--password", password.c_str(), static_cast<char*>(nullptr));
            } else {
                execlp("python3", "python3", SMBPEER, "silent", static_cast<char*>(nullptr));
            }
            _exit(127);
        }
        close(out[1]);
        FILE* f = fdopen(out[0], "r");
        char line[128] = {};
        if (f && std::fgets(line, sizeof line, f) && std::sscanf(line, "READY %d", &m_port) == 1) {
            m_bReady = true;
        }
        if (f) std::fclose(f);
    }
    ~CSmbPeer() { Stop(); }
    void Stop() {
        if (m_pid <= 0) return;
        kill(-m_pid, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                break;
            }
            usleep(100000);
        }
        if (m_pid > 0) {
            kill(-m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    bool Ready() const { return m_bReady; }
    int Port() const { return m_port; }
    // "//127.0.0.1:<port>/gdt" plus a sub-path.
    std::string Share(const std::string& sub = {}) const {
        return "//127.0.0.1:" + std::to_string(m_port) + "/gdt" + (sub.empty() ? "" : "/" + sub);
    }

private:
    pid_t m_pid = -1;
    int m_port = 0;
    bool m_bReady = false;
};
