#include "acq_server/app/mainframe.h"

#include "acq_server/reports/conversioncontrols.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <strings.h>
#include <sys/stat.h>

#include "acq_server/app/commands.h"
#include "acq_server/app/dialogs.h"
#include "acq_server/app/icons.h"
#include "acq_server/app/orderdlg.h"
#include "acq_server/app/qarapp.h"
#include "acq_server/app/splashwnd.h"
#include "acq_server/app/strings.h"
#include "acq_server/list/recordlistfile.h"
#include "platform/codepage.h"
#include "platform/folders.h"
#include "platform/format.h"
#include "platform/notifier.h"
#include "platform/process.h"
#include "platform/settings.h"

using namespace qarcmd;

namespace {

// Tray animation, process-wide as the original kept it.
int g_nTick = 0;
bool g_bPhase = false;

CMainFrame::OrderDialogFn& OrderDialog() {
    static CMainFrame::OrderDialogFn fn;
    return fn;
}

bool IsFile(const std::string& strPath) {
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Counts a nested loop for the life of the scope.
struct CNested {
    int& n;
    explicit CNested(int& r) : n(r) { ++n; }
    ~CNested() { --n; }
};

}  // namespace

void CMainFrame::SetOrderDialog(OrderDialogFn fn) {
    OrderDialog() = std::move(fn);
}

CMainFrame::CMainFrame(CQarServerApp& app) : m_icon(qaricons::Icon(128)), m_app(app) {
    setObjectName("mainframe");
    m_settings.m_nPortNum = 2003;
    LoadSettings();
    // What an earlier run took and did not convert, before its day's entries may go.
    QueueOwed(m_settings.m_strWorkingFolder);
    CRecordList::PruneListFile(m_settings.m_strWorkingFolder,
                               CRecordList::KeyTime(m_app.Context().Now()).substr(0, 8));
    m_ftpInfo.Load((platform::HomeDir(acqsettings::kProgramName) + "senderinfo.cfg").c_str());
}

CMainFrame::~CMainFrame() {
    WriteMark();
    // The controls go before their parent window.
    m_wavelin.Destroy();
    m_flowlin.Destroy();
}

bool CMainFrame::Create() {
    setWindowTitle(qarstr::QStr(qarstr::IDR_MAINFRAME));
    resize(800, 500);
    setWindowIcon(m_icon);
    CreateMenus();

    m_wndList.setParent(this);
    m_wndList.Init();
    setCentralWidget(&m_wndList);

    CSplashWnd::ShowSplashScreen(this);

    if (!m_app.Options().m_bHeadless)
        m_trayIcon.Create(this, qarstr::QStr(qarstr::IDS_TRAY_TIP), 134, 138);
    m_trayIcon.SetMenu(m_pTrayMenu);
    m_trayIcon.SetDoubleClickCommand([this] { OnCommand(qarcmd::TrayMenu().front()); });

    std::string strError;
    m_bWavelinCreated = m_wavelin.Create(this, &strError);
    if (!m_bWavelinCreated) {
        m_app.Log("Wavelin: " + strError);
        platform::ShowMessage("Fail to initialize the Wavelin!!", platform::MB_OK);
    } else {
        m_wavelin.EKGSetMisc(2, qarstr::kCompany);
        m_wavelin.EKGSetMisc(3,
                             platform::Format("%s %s", qarstr::kProduct, qarstr::kVersion).c_str());
    }
    // Only a control that exists can search (calling a missing one crashed the start).
    if (m_bWavelinCreated)
        StartDeviceSearch();

    m_bFlowlinCreated = m_flowlin.Create(this, &strError);
    if (!m_bFlowlinCreated) {
        m_app.Log("Flowlin: " + strError);
        platform::ShowMessage("Fail to initialize the Flowlin!!", platform::MB_OK);
    } else {
        m_flowlin.SetInformation(20, qarstr::kCompany);
        m_flowlin.SetInformation(
            22, platform::Format("%s %s", qarstr::kProduct, qarstr::kVersion).c_str());
    }

    m_bServerRunning = false;
    LoadSettings();
    // The rows of the list file before any device comes in: a record taken from now on
    // comes as a row of its own.
    m_wndList.LoadRows(m_settings.m_strWorkingFolder);
    OnStartServer();

    m_timers[startTimer(kTrayPeriodMs)] = ID_TIMER_TRAY;
    m_timers[startTimer(m_app.Options().m_nIdleMs)] = ID_TIMER_IDLE;

    // Without a tray the frame is the only way in: show it, with the tray's menu.
    if (!m_trayIcon.IsEnabled() && !m_app.Options().m_bHeadless) {
        AddTrayToFrameMenu();
        show();
    }
    return true;
}

void CMainFrame::CreateMenus() {
    m_pTrayMenu = new QMenu(this);
    m_pTrayMenu->setObjectName("traymenu");
    for (int nId : qarcmd::TrayMenu()) {
        if (nId == 0) {
            m_pTrayMenu->addSeparator();
            continue;
        }
        const CCommand* pCmd = FindCommand(nId);
        QAction* pAction = m_pTrayMenu->addAction(QString::fromUtf8(pCmd->pszText));
        pAction->setObjectName(QString::number(nId));
        pAction->setData(nId);
        // Queued: the command runs after the menu's own loop has returned.
        connect(pAction, &QAction::triggered, this,
                [this, nId] { QTimer::singleShot(0, this, [this, nId] { OnCommand(nId); }); });
    }
    QMenu* pFile = menuBar()->addMenu(QString::fromUtf8("&Arquivo"));
    QAction* pExit = pFile->addAction(QString::fromUtf8("S&air"));
    connect(pExit, &QAction::triggered, this, [this] { OnCommand(ID_APP_EXIT); });
    QMenu* pHelp = menuBar()->addMenu(QString::fromUtf8("A&juda"));
    QAction* pAbout = pHelp->addAction(QString::fromUtf8("&Sobre..."));
    connect(pAbout, &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, [this] { OnCommand(ID_APP_ABOUT); }); });
}

void CMainFrame::AddTrayToFrameMenu() {
    QMenu* pServer = menuBar()->addMenu("Qar Server");
    pServer->setObjectName("servermenu");
    pServer->addActions(m_pTrayMenu->actions());
}

void CMainFrame::StartDeviceSearch() {
    if (m_app.Options().m_search == CQarOptions::DeviceSearch::Off)
        return;
    m_wavelin.EKGSetIPExchangeType(17);
    m_wavelin.EKGConnectedSearch(100);
}

// Commands

void CMainFrame::OnCommand(int nId) {
    const CCommand* pCmd = FindCommand(nId);
    if (!pCmd || m_bClosing)
        return;
    (this->*pCmd->pHandler)();
}

bool CMainFrame::IsCommandEnabled(int nId) const {
    const CCommand* pCmd = FindCommand(nId);
    return pCmd && (!pCmd->pEnabled || (this->*pCmd->pEnabled)());
}

void CMainFrame::OnExit() {
    RequestExit();
}

void CMainFrame::OnStartServer() {
    if (m_bServerRunning) {
        platform::ShowMessage(qarstr::Str(qarstr::IDS_ALREADY_RUNNING), platform::MB_OK);
        return;
    }
    if (m_app.StartServer()) {
        SetTrayState(kTrayRunning);
        m_bServerRunning = true;
    } else {
        SetTrayState(kTrayStopped);
        m_bServerRunning = false;
    }
}

void CMainFrame::OnStopServer() {
    if (m_bServerRunning) {
        SetTrayState(kTrayStopped);
        m_app.StopServer();
        m_bServerRunning = false;
    } else {
        platform::ShowMessage(qarstr::Str(qarstr::IDS_SERVER_NOT_RUNNING), platform::MB_OK);
    }
}

int CMainFrame::RunModal(QDialog& dlg) {
    CNested nested(m_nNested);
    return dlg.exec();
}

void CMainFrame::OnEnvironment() {
    LoadSettings();
    CEnvironmentDlg dlg(this);
    dlg.Load(m_settings);
    m_bSettingsDlgOpen = true;
    if (RunModal(dlg) == QDialog::Accepted && !m_bClosing) {
        dlg.Store(m_settings);
        SaveSettings();
        LoadSettings();
        update();
    }
    m_bSettingsDlgOpen = false;
}

void CMainFrame::OnDataList() {
    show();
    raise();
    activateWindow();
}

void CMainFrame::OnRunLindar() {
    CDataListCtrl::Launch({m_settings.m_strLindar});
}

void CMainFrame::OnRunPulmetra() {
    CDataListCtrl::Launch({m_settings.m_strPulmetra});
}

void CMainFrame::OnRunUpgrade() {
    const std::string strUpdater = platform::ProgramDir() + "Restovar";
    if (IsFile(strUpdater))
        CDataListCtrl::Launch({strUpdater});
}

void CMainFrame::OnOrder() {
    platform::CSettingsStore store(acqsettings::kKeyPath);
    m_settings.m_strDeviceIP =
        store.GetString(acqsettings::kSection, "Device IP", m_settings.m_strDeviceIP.c_str());
    CNested nested(m_nNested);
    if (OrderDialog()) {
        OrderDialog()(*this, m_settings.m_strDeviceIP, kOrderPort);
        return;
    }
    COrderDlg dlg(QString::fromStdString(platform::ToUtf8(m_settings.m_strDeviceIP)), kOrderPort,
                  this);
    dlg.SetAddressDialog(&CMainFrame::AskDeviceAddress);
    dlg.SetSaveAddress([this](const std::string& strAddress) {
        m_settings.m_strDeviceIP = strAddress;
        platform::CSettingsStore(acqsettings::kKeyPath)
            .WriteString(acqsettings::kSection, "Device IP", strAddress.c_str());
    });
    dlg.exec();
}

bool CMainFrame::AskDeviceAddress(QWidget* pOwner, QString& strAddress) {
    CIPSettingDlg dlg(pOwner);
    dlg.SetAddress(strAddress);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    strAddress = dlg.Address();
    return true;
}

void CMainFrame::OnConnectDevice() {
    // A control that was not created is never called.
    if (!m_bWavelinCreated)
        return;
    m_wavelin.EKGSetIPExchangeType(17);
    m_wavelin.EKGConnectedSearch(100);
}

void CMainFrame::OnAppAbout() {
    CAboutDlg dlg(this);
    RunModal(dlg);
}

void CMainFrame::OnAppExit() {
    // Without a tray the frame is the program: its menu's exit ends it.
    if (!m_trayIcon.IsEnabled())
        RequestExit();
    else
        hide();
}

void CMainFrame::OnOpenEcg() {
    m_wndList.OnOpenEcg();
}
void CMainFrame::OnOpenSpiro() {
    m_wndList.OnOpenSpiro();
}

// Ending

void CMainFrame::RequestExit() {
    if (m_bClosing)
        return;
    m_bExitPending = true;
    // Cancel what is open; each dialog's loop returns when control gets back to it.
    for (int nGuard = 0; nGuard < 16; ++nGuard) {
        QWidget* pModal = QApplication::activeModalWidget();
        if (!pModal)
            break;
        if (auto* pDlg = qobject_cast<QDialog*>(pModal))
            pDlg->reject();
        else
            pModal->close();
    }
    if (QWidget* pPopup = QApplication::activePopupWidget())
        pPopup->close();
    QTimer::singleShot(0, this, [this] { CloseFrame(); });
}

void CMainFrame::CloseFrame() {
    if (m_bClosing)
        return;
    if (m_nNested > 0 || m_bConverting || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget()) {
        // Still inside a dialog's or a menu's loop: cancel it and try again once it has
        // returned.
        if (auto* pDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            pDlg->reject();
        else if (QWidget* pOther = QApplication::activeModalWidget())
            pOther->close();
        if (QWidget* pPopup = QApplication::activePopupWidget())
            pPopup->close();
        QTimer::singleShot(10, this, [this] { CloseFrame(); });
        return;
    }
    m_bClosing = true;
    OnStopServer();
    m_trayIcon.RemoveIcon();
    CSplashWnd::HideSplashScreen();
    for (auto& [nQtId, nId] : m_timers)
        killTimer(nQtId);
    m_timers.clear();
    close();
    QCoreApplication::quit();
}

void CMainFrame::closeEvent(QCloseEvent* pEvent) {
    if (m_bClosing) {
        pEvent->accept();
        return;
    }
    pEvent->ignore();
    // The window's close only hides it while the tray holds the program; without a tray
    // the frame is the program.
    if (m_trayIcon.IsEnabled())
        hide();
    else
        RequestExit();
}

void CMainFrame::focusInEvent(QFocusEvent* pEvent) {
    QMainWindow::focusInEvent(pEvent);
    m_wndList.setFocus();
}

// Timers and tray

void CMainFrame::timerEvent(QTimerEvent* pEvent) {
    auto it = m_timers.find(pEvent->timerId());
    if (it != m_timers.end())
        OnTimer(it->second);
    else
        QMainWindow::timerEvent(pEvent);
}

void CMainFrame::OnTimer(int nId) {
    if (nId == ID_TIMER_TRAY) {
        if (m_app.ClientCount() > 0) {
            if (g_nTick < 0)
                g_nTick = 0;
            const int v = g_nTick % 10;
            ++g_nTick;
            const bool bPhase = v < 5;
            if (bPhase != g_bPhase) {
                m_trayIcon.SetIcon(bPhase ? 140 : 139);
                m_trayIcon.SetTooltipText(qarstr::QStr(qarstr::IDS_TIP_RECEIVING));
                g_bPhase = bPhase;
            }
        } else if (m_bSettingsDlgOpen) {
            SetTrayState(kTraySettings);
        } else {
            SetTrayState(m_bServerRunning ? kTrayRunning : kTrayStopped);
        }
    } else if (nId == ID_TIMER_IDLE) {
        if (m_app.ClientCount() > 0)
            m_app.IdleSweep();
    }
}

void CMainFrame::SetTrayState(int nState) {
    static const struct {
        int nIcon;
        int nTip;
    } kStates[] = {{134, qarstr::IDS_TIP_RUNNING},
                   {138, qarstr::IDS_TIP_SETTINGS},
                   {133, qarstr::IDS_TIP_RECEIVING},
                   {137, qarstr::IDS_TIP_STOPPED}};
    if (nState < 0 || nState > 3)
        return;
    m_trayIcon.SetIcon(kStates[nState].nIcon);
    m_trayIcon.SetTooltipText(qarstr::QStr(kStates[nState].nTip));
}

// Settings

void CMainFrame::LoadSettings() {
    platform::CSettingsStore store(acqsettings::kKeyPath);
    acqsettings::LoadSettings(store, acqsettings::CSettingsDefaults::ForThisProgram(), m_settings);
    CAcqSettings& ctx = m_app.Context().m_settings;
    const std::string strOldFolder = ctx.m_strWorkingFolder;
    ctx.m_strWorkingFolder = m_settings.m_strWorkingFolder;
    ctx.m_nFolderType = m_settings.m_nFolderType;
    m_app.SettingsChanged();
    // Another working folder: what its list still owes is converted too.
    if (!strOldFolder.empty() && strOldFolder != ctx.m_strWorkingFolder)
        QueueOwed(ctx.m_strWorkingFolder);
}

void CMainFrame::SaveSettings() {
    platform::CSettingsStore store(acqsettings::kKeyPath);
    acqsettings::SaveSettings(store, m_settings);
}

// Stored records

void CMainFrame::OnRecordTaken(const CTakenRecord& record) {
    BeginMakeFile(record);
    Owe({record.m_nKind, record.m_strPatientID, record.m_strPath, record.m_strKey,
         record.m_strWorkingFolder});
}

void CMainFrame::BeginMakeFile(const CTakenRecord& record) {
    // The list file's entry was made before the device was answered.
    CRecordRow row;
    row.m_strTime = CRecordList::ListTime(record.m_tArrival);
    row.m_strPatientID = record.m_strPatientID;
    row.m_strPath = record.m_strPath;
    m_wndList.AddRecord(std::move(row));
    // The FTP switch is never set in this program: nothing is queued for upload.
}

void CMainFrame::Owe(COwed owed) {
    m_owed.push_back(std::move(owed));
    if (!m_bConverting && m_owed.size() == 1)
        QTimer::singleShot(0, this, [this] { ConvertNext(); });
}

void CMainFrame::QueueOwed(const std::string& strWorkingFolder) {
    for (COwedEntry& entry : CConversionMark::Owed(strWorkingFolder)) {
        const bool bQueued = std::any_of(m_owed.begin(), m_owed.end(), [&](const COwed& o) {
            return o.strKey == entry.strKey && o.strWorkingFolder == strWorkingFolder;
        });
        if (bQueued)
            continue;
        const std::string& strPath = entry.row.m_strPath;
        const std::size_t nDot = strPath.rfind('.');
        const std::string strExt =
            nDot == std::string::npos ? std::string() : strPath.substr(nDot + 1);
        const int nKind =
            strcasecmp(strExt.c_str(), "ekg") == 0 || strcasecmp(strExt.c_str(), "raw") == 0 ? 1
                                                                                             : 2;
        Owe({nKind, entry.row.m_strPatientID, strPath, entry.strKey, strWorkingFolder});
    }
}

void CMainFrame::ConvertNext() {
    // One record per turn: the tray, the dialogs and the list stay responsive between them.
    // A control that pumps messages while it converts starts no second conversion.
    if (m_bConverting || m_owed.empty() || m_bClosing)
        return;
    m_bConverting = true;
    const COwed owed = m_owed.front();
    if (owed.nKind == 1)
        MakeFile(owed.strPatientID, owed.strPath);
    else
        MakeSpiroFile(owed.strPatientID, owed.strPath);
    m_owed.pop_front();
    // The mark moves at most once a second and when the queue is empty: a mark behind only
    // makes a restart convert a few records again.
    if (!m_mark.strKey.empty() && owed.strWorkingFolder != m_mark.strWorkingFolder)
        WriteMark();
    m_mark = {owed.strWorkingFolder, owed.strKey};
    if (m_owed.empty() || !m_markTimer.isValid() || m_markTimer.elapsed() >= kMarkPeriodMs)
        WriteMark();
    m_bConverting = false;
    if (!m_owed.empty())
        QTimer::singleShot(0, this, [this] { ConvertNext(); });
}

void CMainFrame::WriteMark() {
    m_markTimer.start();
    if (m_mark.strKey.empty())
        return;
    if (!CConversionMark::Mark(m_mark.strWorkingFolder, m_mark.strKey))
        m_app.Log(platform::Format("Conversion mark not written: %s",
                                   CConversionMark::MarkPath(m_mark.strWorkingFolder).c_str()));
    m_mark = {};
}

void CMainFrame::MakeFile(CString strPatientID, CString strPath) {
    if (strPath.empty())
        return;
    CWavelinConversion control(m_wavelin);
    acq_reports::ConvertEkgRecord(
        m_bWavelinCreated ? &control : nullptr, strPath, ConversionSettings(),
        [this](const std::string& s) { m_app.Log(s); }, m_app.Context().Now());
}

void CMainFrame::MakeSpiroFile(CString strPatientID, CString strPath) {
    if (strPath.empty())
        return;
    CFlowlinConversion control(m_flowlin);
    acq_reports::ConvertSpiroRecord(m_bFlowlinCreated ? &control : nullptr, strPath,
                                    ConversionSettings(), m_app.Context().Now());
}

acq_reports::SConversionSettings CMainFrame::ConversionSettings() const {
    const acqsettings::CServerSettings& m = m_settings;
    acq_reports::SConversionSettings s;
    s.bJpegEkg = m.m_nJpegEkg != 0;
    s.bPdfEkg = m.m_nPdfEkg != 0;
    s.bTxtEkg = m.m_nTxtEkg != 0;
    s.bXmlEkg = m.m_nXmlEkg != 0;
    s.bJpegSpr = m.m_nJpegSpr != 0;
    s.bPdfSpr = m.m_nPdfSpr != 0;
    s.bTxtSpr = m.m_nTxtSpr != 0;
    s.nJpegType = static_cast<short>(m.m_nJpegType);
    s.nJpegGain = static_cast<short>(m.m_nJpegGain);
    s.nJpegRhythm = static_cast<short>(m.m_nJpegRhythm);
    s.nJpegWidthEkg = static_cast<short>(acqsettings::EkgWidth(m.m_nJpegSizeEkg));
    s.nPdfType = static_cast<short>(m.m_nPdfType);
    s.nPdfGain = static_cast<short>(m.m_nPdfGain);
    s.nPdfRhythm = static_cast<short>(m.m_nPdfRhythm);
    s.nPdfWidthEkg = static_cast<short>(acqsettings::EkgWidth(m.m_nPdfSizeEkg));
    s.nJpegWidthSpr = static_cast<short>(acqsettings::SpiroWidth(m.m_nJpegSizeSpr));
    s.nPdfWidthSpr = static_cast<short>(acqsettings::SpiroWidth(m.m_nPdfSizeSpr));
    s.nFolderType = m.m_nFolderType;
    s.bDicomEkg = m.m_dicom.m_nDicomEkg != 0;
    s.bDicomSpr = m.m_dicom.m_nDicomSpr != 0;
    s.bTxtPatEkg = m.m_nTxtPatEkg != 0;
    s.bTxtParamEkg = m.m_nTxtParamEkg != 0;
    s.bTxtDiagEkg = m.m_nTxtDiagEkg != 0;
    s.bTxtHospEkg = m.m_nTxtHospEkg != 0;
    s.bTxtPatSpr = m.m_nTxtPatSpr != 0;
    s.bTxtParamSpr = m.m_nTxtParamSpr != 0;
    s.bTxtDiagSpr = m.m_nTxtDiagSpr != 0;
    s.bTxtHospSpr = m.m_nTxtHospSpr != 0;
    return s;
}
