#pragma once
// Pulmetra's application object: start-up in its order, one instance per user with the
// hand-over of a session identifier or a file to the running instance, the shell
// registration of the test files, and shutdown.
#include <memory>
#include <vector>

#include "oxuutil/singleinstancelock.h"
#include "oxuutil/wincmdlineinfo.h"
#include "platform/wintypes.h"

class CMainFrame;
class CSingleInstanceServer;
namespace viewerapp {
class CHandOverQueue;
}

class CPulmetraApp {
public:
    static constexpr const char* kLockName = "PulmetraFrame";

    CPulmetraApp();
    virtual ~CPulmetraApp();

    // FALSE ends the process (a second instance after handing its texts over, or a
    // failed start). bSplash: show the splash dialog (tests leave it out).
    BOOL InitInstance(const std::vector<CString>& args, bool bSplash = true);
    int ExitInstance();
    // The login hook: does nothing and answers 0.
    virtual BOOL Login(const CString& strUser, const CString& strPassword);

    CMainFrame* Frame() const { return m_pFrame.get(); }
    bool IsSecondInstance() const { return m_bSecond; }

    // The desktop entry and the MIME globs of ".fvc", ".svc" and ".mvv" under
    // $XDG_DATA_HOME: a glob only for an extension no other package claims, nothing
    // written over an existing file.
    static void RegisterShellFileTypes();
    // The extensions (of fvc, svc, mvv) that some other MIME package already claims.
    static std::vector<CString> ClaimedExtensions();
    // SIGTERM and SIGINT end the event loop as Exit does.
    static void InstallQuitSignals();
    // A quit signal arrived (also before the event loop ran).
    static bool QuitRequested();

private:
    CSingleInstanceLock m_lock;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::unique_ptr<CSingleInstanceServer> m_pServer;
    // What the server receives reaches the frame through this queue.
    std::unique_ptr<viewerapp::CHandOverQueue> m_pHandOver;
    bool m_bSecond = false;
};
