#include "lindar/lindarapp.h"

#include <QCoreApplication>
#include <unistd.h>

#include <cstdlib>

#include "lindar/lindarstrings.h"
#include "lindar/mainframe.h"
#include "handover.h"
#include "oxuutil/singleinstanceserver.h"
#include "platform/folders.h"
#include "platform/notifier.h"
#include "viewers/common/smallwindows.h"
#include "viewerapp.h"

using namespace lindar;

CLindarApp::CLindarApp() {
    m_lock.SetApp(this, kLockName, "");
}

CLindarApp::~CLindarApp() {
    m_pServer.reset();
    m_pHandOver.reset();
    m_pFrame.reset();
}

BOOL CLindarApp::Login(const CString&, const CString&) {
    return TRUE;
}

void CLindarApp::RegisterShellFileTypes() {
    const std::string strData = viewerapp::DataHome();
    const std::string strExe = platform::ProgramPath();
    viewerapp::WriteIfMissing(
        strData + "applications/", "corvane-lindar.desktop",
        "[Desktop Entry]\nType=Application\nName=Lindar\nComment=Lindar Document\n"
        "Exec=\"" +
            strExe + "\" %f\nMimeType=application/x-lindar-document;\nTerminal=false\n");
    viewerapp::WriteIfMissing(
        strData + "mime/packages/", "corvane-lindar.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"application/x-lindar-document\">\n"
        "    <comment>Lindar Document</comment>\n"
        "    <glob pattern=\"*.ekg\"/>\n"
        "  </mime-type>\n"
        "</mime-info>\n");
}

void CLindarApp::InstallQuitSignals() {
    viewerapp::InstallQuitSignals();
}

bool CLindarApp::QuitRequested() {
    return viewerapp::QuitRequested();
}

namespace {
// The splash, modal over the frame; it closes itself after its time or on a click.
void ShowSplash(QWidget* pParent) {
    if (viewerapp::QuitRequested())
        return;
    CSplashDialog splash(pParent);
    splash.exec();
}
}  // namespace

BOOL CLindarApp::InitInstance(const std::vector<CString>& args) {
    // Socket and OLE start-up, and the automation server, have no counterpart here.
    if (!m_lock.Lock()) {
        m_bSecond = true;
        viewerapp::ForwardToFirstInstance(m_lock, args);
        return FALSE;
    }
    RegisterShellFileTypes();

    CWinCmdLineInfo cmd;
    cmd.ParseCommandLine(args);
    m_pFrame = std::make_unique<CMainFrame>();
    std::string strError;
    if (!m_pFrame->Create(&strError)) {
        platform::ShowMessage("Lindar: " + strError, platform::MB_ICONERROR);
        m_pFrame.reset();
        return FALSE;
    }
    CMainFrame* pFrame = m_pFrame.get();
    m_pHandOver = std::make_unique<viewerapp::CHandOverQueue>(
        [pFrame](DWORD dwCode, const CString& strText) { pFrame->OnCopyData(dwCode, strText); });
    m_pServer = std::make_unique<CSingleInstanceServer>();
    m_pServer->Listen(kLockName, m_pHandOver->Receiver());
    m_pFrame->PlaceAtStart();
    m_pFrame->show();

    const CString strUser = cmd.GetParam("u");
    const CString strPassword = cmd.GetParam("p");
    if (!strUser.empty() && !strPassword.empty())
        Login(strUser, strPassword);

    ShowSplash(m_pFrame.get());

    const CString strFile = cmd.GetParam(0);
    // "-p" names a record to print only without "-u"; with it, it is the password.
    const CString strPrint = strUser.empty() ? strPassword : CString();
    COxuLindarDoc& doc = m_pFrame->Doc();
    if (!strFile.empty()) {
        doc.OpenExam(strFile, 0);
    } else if (!strPrint.empty()) {
        doc.OpenExam(strPrint, 0);
        m_pFrame->PostCommand(COxuLindarView::ID_FILE_PRINT);
    } else {
        doc.SetTitle(LoadStr(IDS_EMPTY_TITLE));
    }
    return TRUE;
}

int CLindarApp::ExitInstance() {
    if (m_pFrame)
        m_pFrame->Recent().WriteList();
    m_pServer.reset();
    m_pHandOver.reset();
    m_lock.Unlock();
    return 0;
}
