#pragma once
// Pulmetra's main window: menus and commands, the tool bar and graph-style bar, status
// bar, patient and result bars, the view, the title, the texts a second start forwards,
// and full screen.
#include <QMainWindow>
#include <functional>
#include <memory>

#include "cmdmap.h"
#include "pulmetra/pulmetradoc.h"
#include "pulmetra/pulmetraview.h"
#include "viewerapp.h"

class QToolBar;
class QDockWidget;
struct CPulmetraBars;

class CMainFrame : public QMainWindow, public IPulmetraViewHost {
public:
    enum : unsigned {
        ID_APP_ABOUT = 57664,
        ID_APP_EXIT = 57665,
        ID_LOGIN = 32787,
        ID_SHOW_BARS = 32796,
    };
    enum : DWORD { COPY_SID = viewerapp::COPY_SID, COPY_FILE = viewerapp::COPY_FILE };
    static constexpr const char* kClassName = "PulmetraFrame";

    CMainFrame();
    ~CMainFrame() override;

    bool Create(std::string* pError = nullptr);
    COxuPulmetraDoc& Doc() { return m_doc; }
    COxuPulmetraView* View() const { return m_pView; }
    CCommandMap& Commands() { return *m_pCommands; }
    // The login hook the application answers (command 32787 calls it with empty texts).
    void SetLoginHandler(std::function<void()> fn) { m_onLogin = std::move(fn); }

    // A text forwarded by a second start (28: session identifier, 30: a file to open);
    // at most 1,023 bytes of it are kept.
    void OnCopyData(DWORD dwCode, const CString& strText);
    static constexpr std::size_t kMaxCopyData = 1023;
    void OnFullScreen();
    bool IsFullScreen() const { return m_bFullScreen; }
    // Maximised as the program starts, never larger than its screen.
    void ShowAtStart();
    // Command 32772: the patient and result bars follow the active graph window.
    void OnRefreshBars();
    void ShowAllBars(bool bShow);
    // Command 32782: the settings dialog (file server, port, cache folder).
    void OnSettings();
    bool BarsVisible() const { return m_bBarsVisible; }
    // "Pulmetra [Local] - <document title>".
    void UpdateFrameTitle();
    // The zoom list's entry the graph-style bar shows (level - 1).
    int ZoomEntry() const { return m_nZoomEntry; }
    CPulmetraBars& Bars() { return *m_pBars; }

    // IPulmetraViewHost
    void SendCommand(unsigned nID) override;
    void PostCommand(unsigned nID) override;
    long SendMainMessage(int nCode, int nValue) override;

protected:
    // Files dropped on the window open as the shell's open does.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void BuildCommands();
    void CreateBars();
    QDockWidget* Dock(QWidget* pBar, Qt::DockWidgetArea area, const char* pszName);

    COxuPulmetraDoc m_doc;
    COxuPulmetraView* m_pView = nullptr;
    CCommandMap* m_pCommands = nullptr;
    std::unique_ptr<IPulmetraPrompts> m_pPrompts;
    std::unique_ptr<CPulmetraBars> m_pBars;
    std::function<void()> m_onLogin;
    QToolBar* m_pToolBar = nullptr;
    bool m_bFullScreen = false;
    bool m_bBarsVisible = true;
    QByteArray m_savedGeometry;
    int m_nZoomEntry = COxuPulmetraView::kDefaultZoom - 1;
};
