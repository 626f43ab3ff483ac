#pragma once
// The server program's application object: command-line options, the single-instance
// lock "Pelvorn Corvane", the debug log "ekg_debug.txt" in the server's home folder (written
// from both threads), the receiving path on its own thread (the listening socket and the
// connections, started and stopped by the frame's commands) and the settings, clock and log
// that path shares. It owns the hidden main frame, which receives each record taken.
#include <QHostAddress>
#include <QObject>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "acq_server/acqcontext.h"
#include "platform/singleinstance.h"

class CMainFrame;
class CReceiver;

struct CQarOptions {
    enum class DeviceSearch { Off, Loopback, Network };

    bool m_bSplash = true;
    QString m_strAddress;   // empty: any IPv4 address
    int m_nPort = 2003;     // 0: a free port, printed at start
    int m_nIdleMs = 60000;  // idle-connection timer
    DeviceSearch m_search = DeviceSearch::Network;
    // No screen at all: no tray or splash, messages to standard error, the frame never shown.
    bool m_bHeadless = false;
    // Messages may be shown on screen (a real display, not the offscreen platform).
    bool m_bScreen = false;

    // Parses the arguments after the program name; FALSE with the reason for a bad one.
    static bool Parse(int argc, char** argv, CQarOptions& options, std::string& strError);
    static const char* Usage();
};

class CQarServerApp {
public:
    enum : int {
        kStarted = 0,
        kAlreadyRunning = 1,
        kStartFailed = 2,
    };

    explicit CQarServerApp(CQarOptions options);
    ~CQarServerApp();
    CQarServerApp(const CQarServerApp&) = delete;
    CQarServerApp& operator=(const CQarServerApp&) = delete;

    // Start-up: instance check, debug log, frame creation (controls, settings, server,
    // timers, list). kStarted when the program runs on.
    int InitInstance();
    // Deletes the listening socket (and every connection), closes the debug log.
    void ExitInstance();

    // Starts listening on the options' address and port; FALSE with a message and the
    // socket's error number in the debug log.
    bool StartServer();
    // Stops listening and closes every connection, once the records already received are
    // listed and answered.
    void StopServer();
    bool IsListening() const;
    quint16 Port() const;
    std::size_t ClientCount() const;
    // One visit of the idle timer on the receiving thread.
    void IdleSweep();
    // The settings of Context() go to the receiving path.
    void SettingsChanged();

    CAcqContext& Context() { return m_context; }
    const CQarOptions& Options() const { return m_options; }
    CMainFrame* MainFrame() const { return m_pFrame.get(); }

    // One line into the debug log (flushed at once), from any thread.
    void Log(const std::string& strText);
    const std::string& DebugLogPath() const { return m_strLogPath; }
    // The listening address as text ("0.0.0.0" for any).
    QString AddressText() const;

    // The FTP switch: cleared at start-up and set nowhere.
    bool FtpSwitch() const { return m_bFtp; }

private:
    CQarOptions m_options;
    platform::CSingleInstance m_instance{"Pelvorn Corvane"};
    std::mutex m_logLock;
    std::FILE* m_pLog = nullptr;
    std::string m_strLogPath;
    CAcqContext m_context;
    bool m_bFtp = false;
    QObject m_uiThread;  // records taken are handed over on its thread
    std::unique_ptr<CReceiver> m_pReceiver;
    std::unique_ptr<CMainFrame> m_pFrame;
};
