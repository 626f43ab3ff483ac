#pragma once
// The real QarServer program as the end-to-end tests run it: offscreen, with private
// folders, on a free loopback port, fed by the device simulator; and the fixture that holds
// one such run with its settings and reads its list file as an outside reader does.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <memory>
#include <string>

#include "testsupport/testsupport.h"

namespace qare2e {

// "YYYYMMDD" of today (or of another day).
std::string Today(int nDayOffset = 0);
// "YYYY/MM/DD HH:MM" of now.
std::string MinuteNow();
bool Exists(const std::string& path);
bool WaitForFile(const std::string& path, int nSeconds);
std::string Replace(std::string text, const std::string& from, const std::string& to);

// One server run with its own folders.
class CServer {
public:
    explicit CServer(const std::string& strRoot) : m_strRoot(strRoot) {}
    ~CServer() { Kill(); }

    QProcessEnvironment Env() const;
    // Runs on this X display (":N") instead of offscreen.
    void SetDisplay(const std::string& strDisplay) { m_strDisplay = strDisplay; }
    // Starts and waits for the start line; FALSE when it ended or never said where it listens.
    bool Start(QStringList extra = {}, int nPort = 0);
    // Runs the program to its end (a start that should end by itself).
    int RunToEnd(QStringList extra, std::string& strStderr, int nPort = 0);
    // Sends the signal and waits; the exit status (-1: killed or still running).
    int Stop(int nSignal, std::string* pStderr = nullptr);
    // Waits for an end the program comes to by itself; its exit status as Stop gives it.
    int WaitForEnd(int nTimeoutMs, std::string* pStderr = nullptr);
    void Kill();
    bool IsRunning() { return m_proc.state() == QProcess::Running; }
    std::string Stderr() { return m_proc.readAllStandardError().toStdString(); }
    int Port() const { return m_nPort; }
    std::string Home() const { return m_strRoot + "data/Corvane/QarServer/"; }
    std::string Data() const { return Home() + "Data/"; }
    std::string Profile() const { return m_strRoot + "config/Corvane/Corvane/Qar Server.ini"; }
    std::string DebugLog() const;

    // One simulated device; its output (replies).
    std::string Device(const std::string& strArgs) const;

private:
    std::string m_strRoot;
    std::string m_strDisplay;
    QProcess m_proc;
    int m_nPort = 0;
};

class CServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void WriteSetting(const char* key, const std::string& value);
    // The control library registered for the run's configuration (the control registry is
    // per user).
    void Register(const std::string& strLibrary);
    // The list file as Python's configparser reads it: "key=value" lines of DATA_LIST.
    std::string ListByConfigParser();

    testsupport::CTempDir m_dir;
    std::unique_ptr<CServer> m_pServer;
};

}  // namespace qare2e
