#include "pulmetra/pulmetraapp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <unistd.h>

#include <cstdlib>

#include "handover.h"
#include "oxuutil/singleinstanceserver.h"
#include "platform/folders.h"
#include "platform/notifier.h"
#include "pulmetra/appstrings.h"
#include "pulmetra/mainframe.h"
#include "viewers/common/smallwindows.h"
#include "viewerapp.h"

using namespace pulmetra;

namespace {
constexpr const char* kDesktopFile = "corvane-pulmetra.desktop";
constexpr const char* kMimeFile = "corvane-pulmetra.xml";
constexpr const char* kMimeType = "application/x-pulmetra-document";
const char* const kExtensions[] = {"fvc", "svc", "mvv"};

std::vector<std::string> DataDirs() {
    std::vector<std::string> dirs{viewerapp::DataHome()};
    const char* p = std::getenv("XDG_DATA_DIRS");
    const QString s = QString::fromLocal8Bit(p && *p ? p : "/usr/local/share:/usr/share");
    for (const QString& d : s.split(':', Qt::SkipEmptyParts))
        dirs.push_back(d.toStdString() + "/");
    return dirs;
}
}  // namespace

CPulmetraApp::CPulmetraApp() {
    m_lock.SetApp(this, kLockName, "");
}

CPulmetraApp::~CPulmetraApp() {
    m_pServer.reset();
    m_pHandOver.reset();
    m_pFrame.reset();
}

BOOL CPulmetraApp::Login(const CString&, const CString&) {
    return 0;
}

std::vector<CString> CPulmetraApp::ClaimedExtensions() {
    std::vector<CString> claimed;
    for (const char* pszExt : kExtensions) {
        const QString glob = QString("*.") + pszExt;
        bool bClaimed = false;
        for (const std::string& strDir : DataDirs()) {
            const QDir mime(QString::fromStdString(strDir + "mime"));
            // The compiled glob lists and every package but ours.
            // "type:glob" lines in globs, "weight:type:glob[:flags]" in globs2.
            for (const QString& name : {QString("globs"), QString("globs2")}) {
                QFile f(mime.filePath(name));
                const int nGlob = name == "globs" ? 1 : 2;
                if (f.open(QIODevice::ReadOnly)) {
                    for (const QByteArray& line : f.readAll().split('\n')) {
                        const QList<QByteArray> fields = line.split(':');
                        const QString pattern =
                            QString::fromUtf8(fields.size() > nGlob ? fields[nGlob] : QByteArray());
                        if (!line.startsWith('#') &&
                            pattern.compare(glob, Qt::CaseInsensitive) == 0 &&
                            !line.contains(kMimeType))
                            bClaimed = true;
                    }
                }
            }
            const QDir packages(mime.filePath("packages"));
            for (const QString& name : packages.entryList({"*.xml"}, QDir::Files)) {
                if (name == kMimeFile)
                    continue;
                QFile f(packages.filePath(name));
                if (f.open(QIODevice::ReadOnly) &&
                    QString::fromUtf8(f.readAll())
                        .contains("pattern=\"" + glob + "\"", Qt::CaseInsensitive))
                    bClaimed = true;
            }
        }
        if (bClaimed)
            claimed.emplace_back(pszExt);
    }
    return claimed;
}

void CPulmetraApp::RegisterShellFileTypes() {
    const std::string strData = viewerapp::DataHome();
    const std::string strExe = platform::ProgramPath();
    viewerapp::WriteIfMissing(
        strData + "applications/", kDesktopFile,
        "[Desktop Entry]\nType=Application\nName=Pulmetra\nComment=Documento Pulmetra\n"
        "Exec=\"" +
            strExe + "\" %f\nMimeType=" + kMimeType + ";\nTerminal=false\n");
    const std::vector<CString> claimed = ClaimedExtensions();
    std::string strGlobs;
    for (const char* pszExt : kExtensions)
        if (std::find(claimed.begin(), claimed.end(), pszExt) == claimed.end())
            strGlobs += std::string("    <glob pattern=\"*.") + pszExt + "\"/>\n";
    if (strGlobs.empty())
        return;
    viewerapp::WriteIfMissing(
        strData + "mime/packages/", kMimeFile,
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
            std::string(kMimeType) +
            "\">\n"
            "    <comment>Documento Pulmetra</comment>\n" +
            strGlobs +
            "  </mime-type>\n"
            "</mime-info>\n");
}

void CPulmetraApp::InstallQuitSignals() {
    viewerapp::InstallQuitSignals();
}

bool CPulmetraApp::QuitRequested() {
    return viewerapp::QuitRequested();
}

BOOL CPulmetraApp::InitInstance(const std::vector<CString>& args, bool bSplash) {
    // Sockets, OLE and the automation server have no counterpart here.
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
        platform::ShowMessage("Pulmetra: " + strError, platform::MB_ICONERROR);
        m_pFrame.reset();
        return FALSE;
    }
    m_pFrame->SetLoginHandler([this] { Login({}, {}); });
    CMainFrame* pFrame = m_pFrame.get();
    m_pHandOver = std::make_unique<viewerapp::CHandOverQueue>(
        [pFrame](DWORD dwCode, const CString& strText) { pFrame->OnCopyData(dwCode, strText); });
    m_pServer = std::make_unique<CSingleInstanceServer>();
    m_pServer->Listen(kLockName, m_pHandOver->Receiver());
    m_pFrame->ShowAtStart();
    m_pFrame->setAcceptDrops(true);

    if (bSplash && !QuitRequested()) {
        CSplashDialog splash(m_pFrame.get());
        splash.exec();
    }

    const CString strUser = cmd.GetParam("u");
    const CString strPassword = cmd.GetParam("p");
    if (!strUser.empty() && !strPassword.empty())
        Login(strUser, strPassword);
    else
        Login({}, {});

    const CString strFile = cmd.GetParam(0);
    if (!strFile.empty())
        m_pFrame->Doc().OpenExam(strFile, 0);
    else
        m_pFrame->Doc().SetTitle(AppString(IDS_EMPTY_TITLE));
    return TRUE;
}

int CPulmetraApp::ExitInstance() {
    m_pServer.reset();
    m_pHandOver.reset();
    m_lock.Unlock();
    return 0;
}
