#include "testsupport/cupspeer.h"

#include <cups/cups.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "testsupport/testsupport.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char kCupsPdfConf[] = "/etc/cups/cups-pdf.conf";
const char kCupsPdfPpd[] = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd";

bool SocketAnswers(const std::string& path) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof(addr.sun_path) - 1);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    ::close(fd);
    return ok;
}

// A text with each line replaced by what `edit` makes of it; nullopt drops the line.
std::string MapLines(const std::string& text,
                     const std::function<std::optional<std::string>(const std::string&)>& edit) {
    std::string result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        if (std::optional<std::string> line = edit(text.substr(pos, end - pos)))
            result += *line + "\n";
        pos = end + 1;
    }
    return result;
}

// cups-pdf.conf with Out (and the anonymous folder) replaced.
std::string PdfConf(const std::string& out) {
    return MapLines(ReadFile(kCupsPdfConf),
                    [](const std::string& line) -> std::optional<std::string> {
                        if (line.rfind("Out ", 0) == 0 || line.rfind("AnonDirName ", 0) == 0)
                            return std::nullopt;
                        return line;
                    }) +
           "Out " + out + "\nAnonDirName " + out + "\n";
}

// The cups-pdf PPD with every imageable area moved in by the margins and HWMargins set.
std::string PpdWithMargins(const CPaperMargins& m) {
    const double k = 72.0 / 25.4;  // points per mm
    const double l = m.dLeft * k, b = m.dBottom * k, r = m.dRight * k, t = m.dTop * k;
    return MapLines(
        ReadFile(kCupsPdfPpd), [&](const std::string& line) -> std::optional<std::string> {
            char buf[256];
            double x0, y0, x1, y1;
            const std::size_t colon = line.find(": \"");
            if (line.rfind("*ImageableArea ", 0) == 0 && colon != std::string::npos &&
                std::sscanf(line.c_str() + colon + 3, "%lf %lf %lf %lf", &x0, &y0, &x1, &y1) == 4) {
                std::snprintf(buf, sizeof(buf), ": \"%.2f %.2f %.2f %.2f\"", x0 + l, y0 + b, x1 - r,
                              y1 - t);
                return line.substr(0, colon) + buf;
            }
            if (line.rfind("*HWMargins:", 0) == 0) {
                std::snprintf(buf, sizeof(buf), "*HWMargins: %.2f %.2f %.2f %.2f", l, b, r, t);
                return std::string(buf);
            }
            return line;
        });
}

}  // namespace

CCupsPeer::CCupsPeer() = default;

CCupsPeer::~CCupsPeer() {
    Stop();
}

bool CCupsPeer::Fail(const std::string& text) {
    m_strError = text;
    std::string log = Log();
    if (!log.empty())
        m_strError += "\n--- cupsd error log (tail) ---\n" +
                      log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    return false;
}

bool CCupsPeer::Start() {
    if (m_pid > 0)
        return true;
    if (::geteuid() != 0)
        return Fail("cupsd needs root for its own mount namespace");
    if (!Exists(kCupsPdfConf) || !Exists(kCupsPdfPpd))
        return Fail("cups-pdf is not installed");
    // The filters run as user lp and must reach the spool, so this folder cannot live in the
    // private (mode 0700) temp folder; a unique name under /tmp, world-traversable.
    char tmpl[] = "/tmp/corvane-cups.XXXXXX";
    if (!::mkdtemp(tmpl))
        return Fail("mkdtemp failed");
    m_strDir = tmpl;
    ::chmod(m_strDir.c_str(), 0755);
    m_strOut = m_strDir + "/out";
    m_strSocket = m_strDir + "/cups.sock";
    std::string root = m_strDir + "/root";
    for (const char* sub :
         {"/root", "/root/ppd", "/spool", "/cache", "/state", "/log", "/out", "/tmp"})
        fs::create_directories(m_strDir + sub);
    ::chmod((m_strDir + "/spool").c_str(), 01777);
    ::chmod((m_strDir + "/tmp").c_str(), 01777);
    ::chmod(m_strOut.c_str(), 0777);
    bool written =
        WriteFile(root + "/cupsd.conf",
                  "Listen " + m_strSocket +
                      "\nLogLevel info\nWebInterface No\nBrowsing No\nDefaultAuthType None\n"
                      "PreserveJobFiles Yes\nPreserveJobHistory Yes\n"
                      "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                      "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n"
                      "</Policy>\n") &&
        WriteFile(root + "/cups-files.conf",
                  "ServerRoot " + root + "\nRequestRoot " + m_strDir + "/spool\nCacheDir " +
                      m_strDir + "/cache\nStateDir " + m_strDir + "/state\nTempDir " + m_strDir +
                      "/tmp\nAccessLog " + m_strDir + "/log/access_log\nErrorLog " + m_strDir +
                      "/log/error_log\nPageLog " + m_strDir +
                      "/log/page_log\nUser lp\nGroup lp\nSystemGroup root\n") &&
        WriteFile(m_strDir + "/cups-pdf.conf", PdfConf(m_strOut));
    if (!written)
        return Fail("cannot write the cupsd configuration in " + m_strDir);

    std::string script = "mount --bind " + ShellQuote(m_strDir + "/cups-pdf.conf") + " " +
                         kCupsPdfConf + " && exec cupsd -f -c " + ShellQuote(root + "/cupsd.conf") +
                         " -s " + ShellQuote(root + "/cups-files.conf");
    std::string logFile = m_strDir + "/log/stdout";
    pid_t pid = ::fork();
    if (pid < 0)
        return Fail("fork failed");
    if (pid == 0) {
        // Its own process group (so Stop reaches the filters) and dies with the test.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        FILE* out = std::freopen(logFile.c_str(), "w", stdout);
        if (out)
            ::dup2(STDOUT_FILENO, STDERR_FILENO);
        std::freopen("/dev/null", "r", stdin);
        ::execlp("unshare", "unshare", "-m", "--propagation", "private", "sh", "-c", script.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    m_pid = pid;

    const char* old = std::getenv("CUPS_SERVER");
    m_bHadOldServer = old != nullptr;
    m_strOldServer = old ? old : "";
    ::setenv("CUPS_SERVER", m_strSocket.c_str(), 1);
    cupsSetServer(m_strSocket.c_str());

    auto deadline = Clock::now() + std::chrono::seconds(15);
    while (!SocketAnswers(m_strSocket)) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return Fail("cupsd ended at start: " + ReadFile(logFile));
        }
        if (Clock::now() > deadline)
            return Fail("cupsd did not answer on " + m_strSocket);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool CCupsPeer::Admin(const std::string& args) {
    int status = -1;
    std::string out =
        RunCommand("lpadmin -h " + ShellQuote(m_strSocket) + " " + args + " 2>&1", &status);
    if (status != 0)
        return Fail("lpadmin " + args + ": " + out);
    return true;
}

bool CCupsPeer::AddPdfQueue(const std::string& name, const CPaperMargins& margins) {
    if (m_pid <= 0)
        return Fail("cupsd is not running");
    std::string ppd = kCupsPdfPpd;
    if (margins.dLeft > 0 || margins.dBottom > 0 || margins.dRight > 0 || margins.dTop > 0) {
        ppd = m_strDir + "/" + name + ".ppd";
        if (!WriteFile(ppd, PpdWithMargins(margins)))
            return Fail("cannot write " + ppd);
    }
    return Admin("-p " + ShellQuote(name) + " -E -v cups-pdf:/ -P " + ShellQuote(ppd) +
                 " -o pdftops-renderer-default=pdftocairo");
}

bool CCupsPeer::AddRejectingQueue(const std::string& name) {
    if (!AddPdfQueue(name))
        return false;
    int status = -1;
    std::string out = RunCommand(
        "cupsreject -h " + ShellQuote(m_strSocket) + " " + ShellQuote(name) + " 2>&1", &status);
    if (status != 0)
        return Fail("cupsreject: " + out);
    return true;
}

bool CCupsPeer::SetDefault(const std::string& name) {
    return Admin("-d " + ShellQuote(name));
}

void CCupsPeer::Stop() {
    if (m_pid > 0) {
        ::kill(-m_pid, SIGTERM);
        auto deadline = Clock::now() + std::chrono::seconds(5);
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                ::kill(-m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(-m_pid, SIGKILL);  // filters left behind by the scheduler
        m_pid = -1;
        if (m_bHadOldServer)
            ::setenv("CUPS_SERVER", m_strOldServer.c_str(), 1);
        else
            ::unsetenv("CUPS_SERVER");
        cupsSetServer(nullptr);
    }
    if (!m_strDir.empty()) {
        std::error_code ec;
        fs::remove_all(m_strDir, ec);
        m_strDir.clear();
    }
}

std::vector<std::string> CCupsPeer::OutputFiles() const {
    std::vector<std::string> files;
    std::error_code ec;
    if (m_strOut.empty())
        return files;
    for (const auto& entry : fs::directory_iterator(m_strOut, ec))
        if (entry.path().extension() == ".pdf")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::string CCupsPeer::WaitForOutput(int timeoutMs, std::size_t count) const {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        std::vector<std::string> files = OutputFiles();
        cups_job_t* jobs = nullptr;
        int active = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(active > 0 ? active : 0, jobs);
        if (files.size() >= count && active == 0) {
            std::string newest = files.front();
            for (const std::string& file : files)
                if (fs::last_write_time(file) > fs::last_write_time(newest))
                    newest = file;
            return newest;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

std::string CCupsPeer::Log() const {
    return m_strDir.empty() ? std::string() : ReadFile(m_strDir + "/log/error_log");
}

int CCupsPeer::JobRequests() const {
    const std::string log =
        m_strDir.empty() ? std::string() : ReadFile(m_strDir + "/log/access_log");
    int n = 0;
    for (const char* op : {" Print-Job ", " Create-Job "}) {
        for (auto p = log.find(op); p != std::string::npos; p = log.find(op, p + 1))
            ++n;
    }
    return n;
}

int CCupsPeer::LastJobId() const {
    if (m_pid <= 0)
        return 0;
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    int nLast = 0;
    for (int i = 0; i < n; ++i)
        nLast = std::max(nLast, jobs[i].id);
    cupsFreeJobs(n > 0 ? n : 0, jobs);
    return nLast;
}

std::string CCupsPeer::LastJobDocument() const {
    const int nJob = LastJobId();
    if (nJob <= 0)
        return {};
    char name[32];
    std::snprintf(name, sizeof(name), "/spool/d%05d-001", nJob);
    return Exists(m_strDir + name) ? m_strDir + name : std::string();
}

std::string CCupsPeer::JobAttribute(int nJob, const std::string& name) const {
    if (m_pid <= 0)
        return {};
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(nJob);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    const char* wanted = name.c_str();
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr,
                  &wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    std::string value;
    if (ipp_attribute_t* attr = ippFindAttribute(response, wanted, IPP_TAG_ZERO)) {
        char buf[1024];
        ippAttributeString(attr, buf, sizeof(buf));
        value = buf;
    }
    ippDelete(response);
    return value;
}

}  // namespace testsupport
