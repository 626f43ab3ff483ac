#pragma once
// Lindar's application object: start-up in its order, the single-instance rule with the
// hand-over of a file or an identifier to the running instance, and shutdown.
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

class CLindarApp {
public:
    static constexpr const char* kLockName = "LindarFrame";

    CLindarApp();
    virtual ~CLindarApp();

    // FALSE ends the process (a second instance after handing its texts over, or a
    // failed start).
    BOOL InitInstance(const std::vector<CString>& args);
    int ExitInstance();
    virtual BOOL Login(const CString& strUser, const CString& strPassword);

    CMainFrame* Frame() const { return m_pFrame.get(); }
    bool IsSecondInstance() const { return m_bSecond; }

    // Desktop entry and MIME glob of ".ekg" under $XDG_DATA_HOME, each written when missing.
    static void RegisterShellFileTypes();
    // SIGTERM and SIGINT end the event loop as Exit does.
    static void InstallQuitSignals();
    // A quit signal came before the main event loop ran (during the splash, say): the
    // program ends instead of entering it.
    static bool QuitRequested();

private:
    CSingleInstanceLock m_lock;
    std::unique_ptr<CMainFrame> m_pFrame;
    std::unique_ptr<CSingleInstanceServer> m_pServer;
    // What the server receives reaches the frame through this queue.
    std::unique_ptr<viewerapp::CHandOverQueue> m_pHandOver;
    bool m_bSecond = false;
};
