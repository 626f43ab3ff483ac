#pragma once
// Lindar's main window: menus and commands, the view, the title, full screen, the
// updater, and the texts a second start forwards.
#include <QMainWindow>
#include <memory>

#include "cmdmap.h"
#include "lindar/comments.h"
#include "lindar/lindardoc.h"
#include "lindar/lindarview.h"
#include "recentfiles.h"
#include "viewerapp.h"

class CAnalysisBar;
class CPatientBar;
class CColourBar;
class CToolbarBar;
class CParamListBar;
class CLeftPane;
class QDockWidget;
class QLabel;
class QToolBar;

class CMainFrame : public QMainWindow, public IViewHost {
public:
    enum : unsigned {
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_LOGOFF = 32796,
        ID_LOGOFF_DONE = 32795,
        ID_COLOUR_BAR = 32794,
        ID_ECG_BAR = 32804,
        ID_SETTINGS = 32797,
        ID_FULL_SCREEN = 32812,
        ID_RUN_UPGRADE = 32814,
        ID_REFRESH = 32799,
        ID_EDIT_NORMAL = 32798,
        ID_EDIT_PREDEF = 32802,
        ID_DISABLED_3 = 32803,
        ID_FILE_NEW = 57600,
        ID_FILE_PRINT_SETUP = 57606,
    };
    enum : DWORD { COPY_SID = viewerapp::COPY_SID, COPY_FILE = viewerapp::COPY_FILE };

    CMainFrame();
    ~CMainFrame() override;

    bool Create(std::string* pError = nullptr);
    COxuLindarDoc& Doc() { return m_doc; }
    COxuLindarView* View() const { return m_pView; }
    CCommandMap& Commands() { return *m_pCommands; }
    CRecentFileList& Recent() { return m_recent; }
    // The program's own dialogs of the view (save, print, order, receive, device selection).
    IViewPrompts* Prompts() const { return m_pPrompts.get(); }
    CAnalysisBar* AnalysisBar() const { return m_pAnalysis; }
    CParamListBar* ParamListBar() const { return m_pParams; }
    CToolbarBar* ToolbarBar() const { return m_pToolbar; }
    CPatientBar* PatientBar() const { return m_pPatient; }
    CColourBar* ColourBar() const { return m_pColour; }

    // A text forwarded by a second start (code 28: sid, 30: a file to open).
    void OnCopyData(DWORD dwCode, const CString& strText);
    void OnFullScreen();
    bool IsFullScreen() const { return m_bFullScreen; }
    void OnRunUpgrade();
    // New (57600): the framework's new document: the title only (the exams stay open).
    void OnFileNew();
    // Print Setup (57606): the printer the print dialog then opens with.
    void OnFilePrintSetup();
    void OnRefresh();
    // The update pass of every command: menus, tool bar and the bars' buttons.
    void UpdateCommandUI();
    // "Lindar - <document title>".
    void UpdateFrameTitle();

    // IViewHost
    void SendCommand(unsigned nID) override;
    void PostCommand(unsigned nID) override;
    void SendColourDefaults() override;

    // The updater's path: beside the program.
    static CString UpgradePath();

    // The bars: rebar (tool bar and colour bar bands), status bar, tool bar bar (top or
    // bottom), left pane (patient and analysis pages), parameter list (bottom).
    CLeftPane* LeftPane() const { return m_pLeftPane; }
    QToolBar* ToolBand() const { return m_pToolBand; }
    QToolBar* ColourBand() const { return m_pColourBand; }
    QDockWidget* ToolbarDock() const { return m_pToolbarDock; }
    QDockWidget* LeftDock() const { return m_pLeftDock; }
    QDockWidget* ParamsDock() const { return m_pParamsDock; }
    // Caps, num and scroll lock in the status bar.
    QLabel* Indicator(int n) const { return m_pIndicators[n]; }
    // The settings dialog with the current pane's control; after OK the view takes the new
    // JPEG size, cell sizes and comment setting.
    void OnSettings();
    // The "Normal" or "Predefined" comment list in the list dialog; OK saves the file and
    // refills the analysis bar's tree.
    void OnEditComments(bool bNormal);
    CCommentStore& Comments() { return m_comments; }
    // At (0, 0), the screen's width and its height plus 20 pixels, as far as the screen's
    // available area takes the window with its frame; once the window manager has framed the
    // window (its first expose) it is fitted again with the frame it got. Bars the room cannot
    // take scroll (screenfit.h).
    void PlaceAtStart();
    // The window's rectangle with its frame: the placement above cut to the available area.
    static QRect StartFrameRect(const QRect& rcScreen, const QRect& rcAvailable);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Menus, tool bar, keys and fly-by tips from the command table (commands.h).
    void BuildCommands();
    void BuildBars();
    void ShowBarsForFullScreen(bool bShow);
    void UpdateIndicators();
    void FitToScreen();

    COxuLindarDoc m_doc;
    COxuLindarView* m_pView = nullptr;
    CCommandMap* m_pCommands = nullptr;
    CRecentFileList m_recent{"Corvane/Lindar", 4};
    std::unique_ptr<IViewPrompts> m_pPrompts;
    bool m_bFullScreen = false;
    QByteArray m_savedGeometry;
    bool m_bMonitoring = false;
    CAnalysisBar* m_pAnalysis = nullptr;
    CParamListBar* m_pParams = nullptr;
    CToolbarBar* m_pToolbar = nullptr;
    CPatientBar* m_pPatient = nullptr;
    CColourBar* m_pColour = nullptr;
    CLeftPane* m_pLeftPane = nullptr;
    QToolBar* m_pToolBand = nullptr;
    QToolBar* m_pColourBand = nullptr;
    QDockWidget* m_pToolbarDock = nullptr;
    QDockWidget* m_pLeftDock = nullptr;
    QDockWidget* m_pParamsDock = nullptr;
    QLabel* m_pIndicators[3] = {};
    CCommentStore m_comments;
};
