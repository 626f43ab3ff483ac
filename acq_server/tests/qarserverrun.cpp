#include "qarserverrun.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "platform/folders.h"
#include "platform/profile.h"
#include "qtenv.h"

namespace qare2e {

using testsupport::RunCommand;
using testsupport::ShellQuote;

std::string Today(int nDayOffset) {
    std::time_t t = std::time(nullptr) + nDayOffset * 86400;
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y%m%d", &tm);
    return buf;
}

std::string MinuteNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M", &tm);
    return buf;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool WaitForFile(const std::string& path, int nSeconds) {
    for (int i = 0; i < nSeconds * 10; ++i) {
        if (Exists(path))
            return true;
        ::usleep(100000);
    }
    return false;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

QProcessEnvironment CServer::Env() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(m_strRoot + "config"));
    env.insert("XDG_DATA_HOME", QString::fromStdString(m_strRoot + "data"));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(m_strRoot + "run"));
    env.insert("QT_QPA_PLATFORM", m_strDisplay.empty() ? "offscreen" : "xcb");
    if (!m_strDisplay.empty()) {
        env.insert("DISPLAY", QString::fromStdString(m_strDisplay));
        env.remove("WAYLAND_DISPLAY");
        // Qt on a real X server loads desktop libraries whose own leaks are not ours.
        env.insert("LSAN_OPTIONS", "suppressions=" LSAN_DESKTOP_SUPP);
    }
    env.insert("RECCTL_LOG", QString::fromStdString(m_strRoot + "calls.log"));
    env.remove("CORVANE_HOME");
    return env;
}

bool CServer::Start(QStringList extra, int nPort) {
    m_proc.setProcessEnvironment(Env());
    QStringList args = {"--address",       "127.0.0.1", "--port",     QString::number(nPort),
                        "--device-search", "off",       "--no-splash"};
    args += extra;
    m_proc.start(QARSERVER_PATH, args);
    if (!m_proc.waitForStarted(10000))
        return false;
    QByteArray out;
    while (!out.contains("listening on")) {
        if (!m_proc.waitForReadyRead(20000))
            return false;
        out += m_proc.readAllStandardOutput();
    }
    const int at = out.indexOf("127.0.0.1:");
    m_nPort = out.mid(at + 10).split(',').front().toInt();
    return m_nPort > 0;
}

int CServer::RunToEnd(QStringList extra, std::string& strStderr, int nPort) {
    m_proc.setProcessEnvironment(Env());
    QStringList args = {"--address",       "127.0.0.1", "--port",     QString::number(nPort),
                        "--device-search", "off",       "--no-splash"};
    m_proc.start(QARSERVER_PATH, args + extra);
    if (!m_proc.waitForFinished(20000))
        return -1;
    strStderr = m_proc.readAllStandardError().toStdString();
    return m_proc.exitStatus() == QProcess::NormalExit ? m_proc.exitCode() : -1;
}

int CServer::Stop(int nSignal, std::string* pStderr) {
    if (m_proc.state() == QProcess::NotRunning)
        return -1;
    ::kill(static_cast<pid_t>(m_proc.processId()), nSignal);
    return WaitForEnd(20000, pStderr);
}

int CServer::WaitForEnd(int nTimeoutMs, std::string* pStderr) {
    const bool bEnded = m_proc.waitForFinished(nTimeoutMs);
    if (pStderr)
        *pStderr = m_proc.readAllStandardError().toStdString();
    if (!bEnded)
        Kill();
    return bEnded && m_proc.exitStatus() == QProcess::NormalExit ? m_proc.exitCode() : -1;
}

void CServer::Kill() {
    if (m_proc.state() != QProcess::NotRunning) {
        m_proc.kill();
        m_proc.waitForFinished(10000);
    }
}

std::string CServer::DebugLog() const {
    return testsupport::ReadFile(Home() + "ekg_debug.txt");
}

std::string CServer::Device(const std::string& strArgs) const {
    return RunCommand("python3 " + ShellQuote(DEVSIM_PY) + " --quiet 0.3 --port " +
                      std::to_string(m_nPort) + " " + strArgs + " 2>&1");
}

void CServerTest::SetUp() {
    TestApp();
    ::mkdir((m_dir / "run").c_str(), 0700);
    m_pServer = std::make_unique<CServer>(m_dir.Path());
}

void CServerTest::WriteSetting(const char* key, const std::string& value) {
    const std::string file = m_pServer->Profile();
    ASSERT_TRUE(platform::MakeDirs(file.substr(0, file.rfind('/'))));
    ASSERT_TRUE(
        platform::WriteProfileString(m_pServer->Profile(), "Environment", key, value.c_str()));
}

void CServerTest::Register(const std::string& strLibrary) {
    int nStatus = -1;
    RunCommand("XDG_CONFIG_HOME=" + ShellQuote(m_dir / "config") + " " + ShellQuote(REGCTL_PATH) +
                   " " + ShellQuote(strLibrary),
               &nStatus);
    ASSERT_EQ(nStatus, 0) << strLibrary;
}

std::string CServerTest::ListByConfigParser() {
    const std::string script =
        "import configparser,sys\n"
        "c=configparser.RawConfigParser()\n"
        "c.optionxform=str\n"
        "c.read(sys.argv[1])\n"
        "for k,v in c.items('DATA_LIST'): print(k+'='+v)\n";
    return RunCommand("python3 -c " + ShellQuote(script) + " " +
                      ShellQuote(m_pServer->Data() + "FQarServer.ini") + " 2>&1");
}

}  // namespace qare2e
