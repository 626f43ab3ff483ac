#include "ftppeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/folders.h"

namespace {

int BindLoopback(int type, int& port) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

}  // namespace

CFtpPeer::CFtpPeer() {
    m_strRoot = m_dir / "root/";
    m_strLog = m_dir / "commands.log";
    platform::MakeDirs(m_strRoot);
}

CFtpPeer::~CFtpPeer() {
    Kill();
}

bool CFtpPeer::Start(const COptions& options, int port) {
    Kill();
    m_strError.clear();
    std::vector<std::string> args = {
        "/usr/bin/python3", FTPSERVER_PY,        "--root", m_strRoot,    "--user", options.user,
        "--password",       options.password,    "--perm", options.perm, "--log",  m_strLog,
        "--port",           std::to_string(port)};
    for (const std::string& folder : options.readonly) {
        args.push_back("--readonly");
        args.push_back(folder);
    }
    if (options.readLimit > 0) {
        args.push_back("--read-limit");
        args.push_back(std::to_string(options.readLimit));
    }
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        m_strError = "no pipe";
        return false;
    }
    std::string errPath = m_dir / "server.err";
    pid_t parent = ::getpid();
    m_pid = ::fork();
    if (m_pid == 0) {
        // The server dies with the test, whatever ends it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        int in = ::open("/dev/null", O_RDONLY);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        ::dup2(in, 0);
        ::dup2(fds[1], 1);
        ::dup2(err, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (m_pid < 0) {
        ::close(fds[0]);
        m_strError = "cannot fork";
        return false;
    }
    // "PORT n" once it listens.
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (out.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) > 0) {
            char buf[256];
            ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fds[0]);
    if (out.rfind("PORT ", 0) != 0) {
        m_strError = "the FTP peer (pyftpdlib) did not start: " + testsupport::ReadFile(errPath);
        Kill();
        return false;
    }
    m_nPort = std::stoi(out.substr(5));
    return true;
}

void CFtpPeer::Kill() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
}

std::vector<std::string> CFtpPeer::Log() const {
    std::vector<std::string> lines;
    std::istringstream in(testsupport::ReadFile(m_strLog));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> CFtpPeer::Lines(const std::string& word) const {
    std::vector<std::string> out;
    for (const std::string& line : Log()) {
        if (line == word)
            out.push_back("");
        else if (line.rfind(word + " ", 0) == 0)
            out.push_back(line.substr(word.size() + 1));
    }
    return out;
}

bool CFtpPeer::WaitFor(const std::function<bool(const std::vector<std::string>&)>& pred,
                       int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pred(Log()))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

CSilentPeer::CSilentPeer() {
    m_fd = BindLoopback(SOCK_STREAM, m_nPort);
    if (m_fd >= 0)
        ::listen(m_fd, 16);
}

CSilentPeer::~CSilentPeer() {
    if (m_fd >= 0)
        ::close(m_fd);
}

int DeadPort() {
    int port = 0;
    int fd = BindLoopback(SOCK_STREAM, port);
    if (fd >= 0)
        ::close(fd);
    return port;
}
