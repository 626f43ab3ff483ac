#include "pulmetra/mainframe.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "platform/codepage.h"
#include "platform/notifier.h"
#include "pulmetra/appstrings.h"
#include "pulmetra/bars/pulmetradialogs.h"
#include "viewers/common/viewerini.h"
#include "pulmetra/framebars.h"
#include "pulmetra/pulmetragraphwnd.h"
#include "screenfit.h"

using namespace pulmetra;

CMainFrame::CMainFrame() {
    setObjectName(kClassName);
    setAcceptDrops(true);
}

CMainFrame::~CMainFrame() {
    m_doc.SetView(nullptr);
    m_doc.SetTitleHandler({});
}

QDockWidget* CMainFrame::Dock(QWidget* pBar, Qt::DockWidgetArea area, const char* pszName) {
    QDockWidget* pDock = viewerframe::MakeBarDock(*this, pBar, pszName);
    addDockWidget(area, pDock);
    return pDock;
}

bool CMainFrame::Create(std::string* pError) {
    m_pCommands = new CCommandMap(this);
    m_pView = new COxuPulmetraView(m_doc, *this, this);
    setCentralWidget(m_pView);
    if (!m_pView->Create(pError))
        return false;
    m_pPrompts = MakePulmetraPrompts(this);
    m_pView->SetPrompts(m_pPrompts.get());
    m_doc.SetView(m_pView);
    // No recent-file list: the title is all the document tells the frame.
    m_doc.SetTitleHandler([this](const CString&) { UpdateFrameTitle(); });
    // Status bar with its four indicators.
    for (const char* psz : {"", "CAP", "NUM", "SCRL"}) {
        auto* pLabel = new QLabel(psz, statusBar());
        if (*psz)
            statusBar()->addPermanentWidget(pLabel);
        else
            statusBar()->addWidget(pLabel, 1);
    }
    BuildCommands();
    CreateBars();
    // Escape leaves full screen wherever the focus is; in normal mode it does nothing.
    auto* pEscape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    pEscape->setContext(Qt::WindowShortcut);
    connect(pEscape, &QShortcut::activated, this, [this] {
        if (m_bFullScreen)
            PostCommand(COxuPulmetraView::ID_FULL_SCREEN);
    });
    // The idle pass that keeps buttons and their texts in step.
    auto* pIdle = new QTimer(this);
    connect(pIdle, &QTimer::timeout, this, [this] { m_pCommands->UpdateAll(); });
    pIdle->start(250);
    m_doc.SetTitle(AppString(IDS_EMPTY_TITLE));
    OnRefreshBars();
    return true;
}

void CMainFrame::CreateBars() {
    m_pBars = MakePulmetraBars(*this);
    // The rebar: the tool bar and the graph-style bar as bands.
    if (m_pBars->pStyleBar) {
        auto* pBand = addToolBar("GraphStyle");
        pBand->setObjectName("graphStyleBand");
        pBand->setMovable(false);
        // On a narrow screen the graph-style bar scrolls inside its band.
        pBand->addWidget(new viewerframe::CBarScroller(m_pBars->pStyleBar));
    }
    if (m_pBars->pPatientBar)
        Dock(m_pBars->pPatientBar, Qt::LeftDockWidgetArea, "patientBarDock");
    if (m_pBars->pResultBar)
        Dock(m_pBars->pResultBar, Qt::BottomDockWidgetArea, "resultBarDock");
}

void CMainFrame::BuildCommands() {
    CCommandMap& c = *m_pCommands;
    COxuPulmetraView& v = *m_pView;
    using V = COxuPulmetraView;
    auto hasExam = [&v](CCmdUI& ui) { ui.Enable(v.GetActiveExam() != nullptr); };

    QMenu* pFile = menuBar()->addMenu("&File");
    pFile->addAction(c.Add(V::ID_FILE_OPEN, "&Open...\tCtrl+O", [this] { m_doc.OnFileOpen(); }));
    pFile->addAction(c.Add(
        COxuPulmetraDoc::ID_CLOSE, "&Close", [this] { m_doc.OnClose(); },
        [this](CCmdUI& ui) { ui.Enable(m_doc.CanClose()); }));
    pFile->addAction(c.Add(
        COxuPulmetraDoc::ID_CLOSE_ALL, "Close All", [this] { m_doc.OnCloseAll(); },
        [this](CCmdUI& ui) { ui.Enable(m_doc.HasExams()); }));
    pFile->addSeparator();
    pFile->addAction(c.Add(
        V::ID_FILE_SAVE_AS, "Save &As...", [&v] { v.OnFileSaveAs(); }, hasExam));
    pFile->addSeparator();
    pFile->addAction(c.Add(
        V::ID_FILE_PRINT, "&Print...\tCtrl+P", [&v] { v.OnFilePrint(); }, hasExam));
    pFile->addAction(c.Add(
        V::ID_FILE_PRINT_DIRECT, "Quick Print", [&v] { v.OnFilePrintDirect(); }, hasExam));
    pFile->addAction(c.Add(
        V::ID_FILE_PRINT_PREVIEW, "Print Pre&view", [&v] { v.OnFilePrintPreview(); }, hasExam));
    pFile->addSeparator();
    pFile->addAction(c.Add(V::ID_SEND_RECORD, "Send Order...", [&v] { v.OnSendRecord(); }));
    pFile->addAction(c.Add(ID_LOGIN, "Login...", [this] {
        if (m_onLogin)
            m_onLogin();
    }));
    pFile->addAction(c.Add(ID_APP_EXIT, "E&xit", [this] { close(); }));
    c.WatchMenu(pFile);

    QMenu* pView = menuBar()->addMenu("&View");
    pView->addAction(c.Add(
        V::ID_LAYOUT_1, "1 x 1", [&v] { v.SetLayout(0); },
        [&v](CCmdUI& ui) { ui.SetCheck(v.GetLayout() == 0); }));
    pView->addAction(c.Add(
        V::ID_LAYOUT_2H, "1 x 2", [&v] { v.SetLayout(1); },
        [&v](CCmdUI& ui) { ui.SetCheck(v.GetLayout() == 1); }));
    pView->addAction(c.Add(
        V::ID_LAYOUT_2V, "2 x 1", [&v] { v.SetLayout(2); },
        [&v](CCmdUI& ui) { ui.SetCheck(v.GetLayout() == 2); }));
    pView->addSeparator();
    // The two switches name their state.
    auto named = [this](unsigned nID, bool bEnabled, const QString& text, CCmdUI& ui) {
        ui.Enable(bEnabled);
        if (QAction* a = m_pCommands->Action(nID))
            a->setText(text);
        if (m_pBars)
            m_pBars->SetCommandState(nID, bEnabled, text);
    };
    pView->addAction(c.Add(
        V::ID_FV_VT, "FV/VT", [&v] { v.OnFvVt(); },
        [&v, named](CCmdUI& ui) { named(V::ID_FV_VT, v.CanFvVt(), v.FvVtText(), ui); }));
    pView->addAction(c.Add(
        V::ID_ALL_BEST, "ALL/BEST", [&v] { v.OnAllBest(); },
        [&v, named](CCmdUI& ui) { named(V::ID_ALL_BEST, v.CanAllBest(), v.AllBestText(), ui); }));
    pView->addAction(c.Add(V::ID_ZOOM_IN, "Zoom In", [&v] { v.OnZoomIn(); }));
    pView->addAction(c.Add(V::ID_ZOOM_OUT, "Zoom Out", [&v] { v.OnZoomOut(); }));
    pView->addAction(c.Add(V::ID_RESTORE_STYLES, "Default Style", [&v] { v.OnRestoreStyles(); }));
    pView->addSeparator();
    pView->addAction(c.Add(
        V::ID_FULL_SCREEN, "Full Screen", [this] { OnFullScreen(); },
        [this](CCmdUI& ui) { ui.SetCheck(m_bFullScreen); }));
    pView->addAction(c.Add(
        ID_SHOW_BARS, "Bars", [this] { ShowAllBars(!m_bBarsVisible); },
        [this](CCmdUI& ui) { ui.SetCheck(m_bBarsVisible); }));
    c.Add(V::ID_REFRESH, "", [this] { OnRefreshBars(); });
    c.WatchMenu(pView);

    QMenu* pTools = menuBar()->addMenu("&Tools");
    pTools->addAction(c.Add(COxuPulmetraDoc::ID_SETTINGS, "Settings...", [this] { OnSettings(); }));
    c.WatchMenu(pTools);

    QMenu* pHelp = menuBar()->addMenu("&Help");
    pHelp->addAction(c.Add(ID_APP_ABOUT, "About...", [this] {
        CPulmetraAboutDialog dlg(this);
        m_pView->Prompts()->RunDialog(dlg);
    }));
    c.WatchMenu(pHelp);

    m_pToolBar = addToolBar("Standard");
    m_pToolBar->setObjectName("toolBar");
    m_pToolBar->setMovable(false);
    for (unsigned id :
         {unsigned(V::ID_FILE_OPEN), unsigned(V::ID_FILE_SAVE_AS), unsigned(V::ID_FILE_PRINT),
          unsigned(V::ID_FV_VT), unsigned(V::ID_ALL_BEST), unsigned(V::ID_ZOOM_IN),
          unsigned(V::ID_ZOOM_OUT), unsigned(V::ID_FULL_SCREEN)})
        m_pToolBar->addAction(c.Action(id));
    addToolBarBreak();
    c.UpdateAll();
}

void CMainFrame::ShowAtStart() {
    // Bars wider or taller than the screen's room scroll, so that the window fits.
    viewerframe::PlaceOnScreen(*this, [this] { showMaximized(); });
}

void CMainFrame::OnSettings() {
    CViewerIni ini("Pulmetra");
    CPulmetraSettingsDialog dlg(ini, this);
    m_pView->Prompts()->RunDialog(dlg);
}

void CMainFrame::SendCommand(unsigned nID) {
    if (nID == COxuPulmetraView::ID_REFRESH) {
        OnRefreshBars();
        return;
    }
    m_pCommands->OnCommand(nID);
}

void CMainFrame::PostCommand(unsigned nID) {
    m_pCommands->PostCommand(nID);
}

long CMainFrame::SendMainMessage(int nCode, int nValue) {
    if (nCode == 17) {
        m_nZoomEntry = nValue - 1;
        if (m_pBars)
            m_pBars->SelectZoom(m_nZoomEntry);
    } else if (nCode == 30) {
        if (m_pBars)
            m_pBars->RefreshStyleBar();
    }
    return 0;
}

void CMainFrame::OnRefreshBars() {
    if (m_pBars && m_pView)
        m_pBars->Refresh(m_pView->GetActiveExam() ? m_pView->GetActiveWnd() : nullptr);
    if (m_pCommands)
        m_pCommands->UpdateAll();
}

void CMainFrame::UpdateFrameTitle() {
    CString strDoc = m_doc.GetTitle();
    if (strDoc.empty() || strDoc == AppString(IDS_UNTITLED))
        strDoc = AppString(IDS_EMPTY_TITLE);
    const CString strTitle = AppString(IDS_APP_TITLE) + " [Local] - " + strDoc;
    setWindowTitle(QString::fromStdU16String(platform::ToUtf16(strTitle)));
}

void CMainFrame::OnCopyData(DWORD dwCode, const CString& strText) {
    if (dwCode != COPY_SID && dwCode != COPY_FILE)
        return;
    const CString strBuf = strText.substr(0, std::min(strText.size(), kMaxCopyData)).c_str();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    update();
    if (dwCode == COPY_FILE)
        m_doc.OpenExam(strBuf, 0);
}

void CMainFrame::ShowAllBars(bool bShow) {
    m_bBarsVisible = bShow;
    statusBar()->setVisible(bShow);
    for (QToolBar* t : findChildren<QToolBar*>())
        t->setVisible(bShow);
    for (QDockWidget* d : findChildren<QDockWidget*>())
        d->setVisible(bShow);
}

void CMainFrame::OnFullScreen() {
    if (!m_bFullScreen) {
        m_savedGeometry = saveGeometry();
        m_bFullScreen = true;
        ShowAllBars(false);
        m_bBarsVisible = true;  // what leaving full screen brings back
        menuBar()->hide();
        showFullScreen();
        m_pView->SetFullScreen(true);
    } else {
        m_bFullScreen = false;
        menuBar()->show();
        ShowAllBars(true);
        showNormal();
        restoreGeometry(m_savedGeometry);
        m_pView->SetFullScreen(false);
    }
    m_pCommands->UpdateAll();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* e) {
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            m_doc.OpenExam(url.toLocalFile().toLocal8Bit().toStdString(), 0);
    e->acceptProposedAction();
}
