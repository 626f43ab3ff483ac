#pragma once
// The hidden main frame: received-data list, tray icon, the two hidden controls and the
// conversions through them, the settings, the tray animation and idle-connection timers,
// and the commands of the tray menu. Everything here runs on the user-interface thread; the
// devices are received on a thread of their own (receiver.h), which hands each record over.
//
// Nothing is deleted inside its own notification: connections go through the listening
// socket's deferred delete, and ending the program ("Sair", SIGINT/SIGTERM) first closes
// any open dialog and runs only once every nested loop has returned.
#include <QElapsedTimer>
#include <QMainWindow>
#include <QIcon>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "ecg_control/host/wavelin.h"
#include "spiro_control/host/flowlin.h"
#include "acq_server/app/datalistctrl.h"
#include "acq_server/app/receiver.h"
#include "acq_server/app/trayicon.h"
#include "acq_server/reports/conversions.h"
#include "acq_server/ftp/ftpinfofile.h"
#include "acq_server/settings/serversettings.h"
#include "platform/wintypes.h"

class CQarServerApp;
class QMenu;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kTrayCallback = 0x478;
    static constexpr int kOrderPort = 2000;
    enum TrayState { kTrayRunning = 0, kTraySettings = 1, kTrayReceiving = 2, kTrayStopped = 3 };

    // The order dialog (patient order to a device): address from "Device IP" and the
    // device port. The default asks for the address in the IP setting dialog and keeps it.
    using OrderDialogFn =
        std::function<void(CMainFrame& frame, const std::string& strAddress, int nPort)>;
    static void SetOrderDialog(OrderDialogFn fn);
    // The IP setting dialog (154) as the order dialog's "ajustes..." opens it: TRUE on OK
    // with the new address in strAddress.
    static bool AskDeviceAddress(QWidget* pOwner, QString& strAddress);

    // Port setting 2003, settings loaded, the list file pruned to today.
    explicit CMainFrame(CQarServerApp& app);
    ~CMainFrame() override;

    // Frame creation: list, splash, tray, controls, device search, settings, server,
    // timers, the list's rows. FALSE when the frame cannot be made.
    bool Create();

    // Commands by id (the tray menu, the frame's menu, the list).
    void OnCommand(int nId);
    bool IsCommandEnabled(int nId) const;

    // Handlers of the command table.
    void OnExit();
    void OnStopServer();
    void OnStartServer();
    void OnEnvironment();
    void OnDataList();
    void OnRunLindar();
    void OnRunPulmetra();
    void OnRunUpgrade();
    void OnOrder();
    void OnConnectDevice();
    void OnAppAbout();
    void OnAppExit();
    void OnOpenEcg();
    void OnOpenSpiro();
    bool IsServerRunning() const { return m_bServerRunning; }
    bool IsServerStopped() const { return !m_bServerRunning; }

    // Ends the program as "Sair" does, from anywhere (a signal, a nested loop): open
    // dialogs are cancelled first, the end itself runs from the outermost loop.
    void RequestExit();
    bool IsClosing() const { return m_bClosing; }

    // Timers 200 and 201.
    void OnTimer(int nId);
    void SetTrayState(int nState);

    void LoadSettings();
    void SaveSettings();
    const acqsettings::CServerSettings& Settings() const { return m_settings; }

    // A record the receiving path took (stored, entered in the list file, its device
    // answered): a row on top (BeginMakeFile), then its conversions, queued: they run one
    // per turn of the event loop in the order the records came, and each one done moves the
    // list's conversion mark (what is owed survives a restart: the constructor queues it).
    void OnRecordTaken(const CTakenRecord& record);
    void BeginMakeFile(const CTakenRecord& record);
    // The conversions of a listed record: ECG (".ekg"; a ".raw" is only listed) and
    // spirometry or other files. An empty path is ignored.
    void MakeFile(CString strPatientID, CString strPath);
    void MakeSpiroFile(CString strPatientID, CString strPath);
    // Records listed and not yet converted.
    std::size_t OwedConversions() const { return m_owed.size(); }
    // The settings as the conversions read them.
    acq_reports::SConversionSettings ConversionSettings() const;

    CDataListCtrl& List() { return m_wndList; }
    CTrayIcon& Tray() { return m_trayIcon; }
    QMenu* TrayMenu() const { return m_pTrayMenu; }
    CWavelin& Wavelin() { return m_wavelin; }
    CFlowlin& Flowlin() { return m_flowlin; }
    bool IsWavelinCreated() const { return m_bWavelinCreated; }
    bool IsFlowlinCreated() const { return m_bFlowlinCreated; }
    bool IsSettingsDlgOpen() const { return m_bSettingsDlgOpen; }
    CQarServerApp& App() { return m_app; }
    const CFtpInfoFile& FtpInfo() const { return m_ftpInfo; }
    // Runs a dialog's nested loop, counted so that the program's end waits for it.
    int RunModal(class QDialog& dlg);

protected:
    void closeEvent(QCloseEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;
    void focusInEvent(QFocusEvent* pEvent) override;

private:
    struct COwed {
        int nKind = 0;
        CString strPatientID, strPath;
        std::string strKey, strWorkingFolder;  // its list file entry
    };
    void Owe(COwed owed);
    // Queues the conversions owed in a working folder's list (entries behind its mark).
    void QueueOwed(const std::string& strWorkingFolder);
    void ConvertNext();
    void WriteMark();
    void CreateMenus();
    void CloseFrame();
    void StartDeviceSearch();
    void AddTrayToFrameMenu();

    QIcon m_icon;
    CTrayIcon m_trayIcon;
    bool m_bServerRunning = false;
    bool m_bSettingsDlgOpen = false;
    acqsettings::CServerSettings m_settings;
    // The FTP destination is read at start; no upload thread is ever started, as the FTP
    // switch stays off in this program.
    CFtpInfoFile m_ftpInfo;
    CWavelin m_wavelin;
    bool m_bWavelinCreated = false;
    CFlowlin m_flowlin;
    bool m_bFlowlinCreated = false;
    CDataListCtrl m_wndList;

    CQarServerApp& m_app;
    QMenu* m_pTrayMenu = nullptr;
    std::map<int, int> m_timers;  // Qt timer id -> our id
    int m_nNested = 0;            // nested loops running now
    std::deque<COwed> m_owed;     // listed, not yet converted, in the order taken
    bool m_bConverting = false;
    struct {
        std::string strWorkingFolder, strKey;
    } m_mark;  // the last conversion done, not yet marked
    QElapsedTimer m_markTimer;
    static constexpr int kMarkPeriodMs = 1000;
    bool m_bClosing = false;
    bool m_bExitPending = false;
};
