// The frame's bars and the commands that go with them: rebar, status bar, tool bar bar,
// left pane, parameter list; settings, the comment lists, file drops.
#include <QAction>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QWindow>

#include <cstdlib>
#include <memory>

#include "lindar/analysisbar.h"
#include "lindar/displaybars.h"
#include "lindar/droptargets.h"
#include "lindar/leftpane.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/lindarstrings.h"
#include "lindar/mainframe.h"
#include "lindar/patientbar.h"
#include "platform/notifier.h"
#include "screenfit.h"
#include "viewers/common/devicedialogs.h"
#include "viewers/common/smallwindows.h"
#include "viewers/common/viewerini.h"

#if defined(LINDAR_WITH_XCB)
#include <xcb/xcb.h>
#endif

using namespace lindar;

namespace {
// The keyboard's lock lights (bit 0 caps, 1 num, 2 scroll), where the window system tells.
unsigned LockLights() {
#if defined(LINDAR_WITH_XCB)
    auto* pX11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!pX11 || !pX11->connection())
        return 0;
    xcb_connection_t* c = pX11->connection();
    xcb_get_keyboard_control_reply_t* r =
        xcb_get_keyboard_control_reply(c, xcb_get_keyboard_control(c), nullptr);
    const unsigned n = r ? r->led_mask : 0;
    std::free(r);
    return n;
#else
    return 0;
#endif
}
}  // namespace

void CMainFrame::BuildBars() {
    auto send = [this](int nItem, int nValue) { return m_pView->OnBarChange(nItem, nValue); };
    auto command = [this](unsigned nID) { m_pCommands->OnCommand(nID); };

    // The rebar: the tool bar and the colour bar, each a band with a gripper.
    m_pToolBand = new QToolBar("Toolbar", this);
    m_pToolBand->setObjectName("toolBar");
    m_pToolBand->setToolButtonStyle(Qt::ToolButtonTextOnly);
    addToolBar(Qt::TopToolBarArea, m_pToolBand);
    // The colour bar is wide: its band goes below the tool bar's.
    addToolBarBreak(Qt::TopToolBarArea);
    m_pColour = new CColourBar(send, command);
    m_pColourBand = new QToolBar("Color Tool Bar", this);
    m_pColourBand->setObjectName("colourBand");
    // On a narrow screen the colour bar scrolls inside its band.
    m_pColourBand->addWidget(new viewerframe::CBarScroller(m_pColour));
    addToolBar(Qt::TopToolBarArea, m_pColourBand);

    // The status bar: the message pane and the caps, num and scroll lock indicators.
    const char* indicators[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_pIndicators[i] = new QLabel(indicators[i], this);
        m_pIndicators[i]->setObjectName(QString("indicator") + indicators[i]);
        m_pIndicators[i]->setFrameShape(QFrame::Panel);
        m_pIndicators[i]->setFrameShadow(QFrame::Sunken);
        m_pIndicators[i]->setEnabled(false);
        statusBar()->addPermanentWidget(m_pIndicators[i]);
    }
    statusBar()->showMessage("Ready");

    // The tool bar bar at the top, dockable top and bottom.
    m_pToolbar = new CToolbarBar(send, command);
    m_pToolbarDock = viewerframe::MakeBarDock(*this, m_pToolbar, "ecgToolBarDock", "ECG Tool Bar");
    m_pToolbarDock->setFeatures(QDockWidget::DockWidgetMovable);
    m_pToolbarDock->setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    addDockWidget(Qt::TopDockWidgetArea, m_pToolbarDock);

    // The left pane with its two pages.
    m_pPatient = new CPatientBar;
    m_pAnalysis = new CAnalysisBar;
    m_pLeftPane = new CLeftPane(m_pPatient, m_pAnalysis);
    m_pLeftDock = viewerframe::MakeBarDock(*this, m_pLeftPane, "leftPaneDock", "");
    addDockWidget(Qt::LeftDockWidgetArea, m_pLeftDock);

    // The parameter list at the bottom.
    m_pParams = new CParamListBar;
    m_pParamsDock = viewerframe::MakeBarDock(*this, m_pParams, "paramListDock", "");
    addDockWidget(Qt::BottomDockWidgetArea, m_pParamsDock);

    // The comment lists of the analysis bar, and its two editing commands.
    m_comments.Load();
    m_pAnalysis->SetComments(m_comments);
    m_pAnalysis->SetCommandSink(command);

    // Exams dragged from an exam tree are the view's; files from the desktop open as exams.
    (new CExamDropTarget(m_pView))->Register(m_pView);
    new CFileDropTarget(this, [this](const CString& strPath) { m_doc.OnOpenDocument(strPath); });
}

void CMainFrame::ShowBarsForFullScreen(bool bShow) {
    for (QWidget* p : std::initializer_list<QWidget*>{statusBar(), m_pToolBand, m_pColourBand,
                                                      m_pLeftDock, m_pToolbarDock, m_pParamsDock})
        if (p)
            p->setVisible(bShow);
}

void CMainFrame::UpdateIndicators() {
    const unsigned nLights = LockLights();
    for (int i = 0; i < 3; ++i)
        if (m_pIndicators[i])
            m_pIndicators[i]->setEnabled((nLights >> i) & 1u);
}

void CMainFrame::OnSettings() {
    // The current pane's control searches for devices (pane 0 when none is current).
    CLindarGraphWnd* pPane = m_pView->GetCurrentGraph();
    CViewerIni ini("Lindar");
    CLindarSettingsDialog dlg(pPane ? *pPane : *m_pView->Pane(0), ini, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_pView->m_nJpegSize = std::atoi(ini.GetString(kEkgView, "JPEG_SIZE", "3").c_str());
    m_pView->ApplyCellSizes();
    m_pView->m_nSaveComment = std::atoi(ini.GetString(kEkgView, "SAVE_COMMENT", "1").c_str());
}

void CMainFrame::OnEditComments(bool bNormal) {
    m_comments.Load();
    std::vector<CCommentEntry>& list = bNormal ? m_comments.m_normal : m_comments.m_predefined;
    CCommentListDialog dlg(bNormal ? "Resultado Normal" : "Resultado Predefinido",
                           bNormal ? "Nome" : "Grupo",
                           bNormal ? "Texto" : QString::fromUtf8("Comentário"), list, this);
    if (dlg.exec() == QDialog::Accepted) {
        list = dlg.Rows();
        if (!m_comments.Save()) {
            platform::ShowMessage(LoadStr(IDS_SAVE_FAILED), platform::MB_ICONERROR);
            m_comments.Load();
        }
    }
    m_pAnalysis->SetComments(m_comments);
}

QRect CMainFrame::StartFrameRect(const QRect& rcScreen, const QRect& rcAvailable) {
    // Taller than the screen, the status bar, the parameter list's button and the bottom of
    // the left pane would lie below its edge, out of the user's reach.
    const QRect rc(rcScreen.topLeft(), QSize(rcScreen.width(), rcScreen.height() + 20));
    const QRect rcFit = rc.intersected(rcAvailable);
    return rcFit.isEmpty() ? rcAvailable : rcFit;
}

void CMainFrame::FitToScreen() {
    const QScreen* pScreen = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!pScreen) {
        move(0, 0);
        resize(1024, 768 + 20);
        return;
    }
    const QRect rcFrame = StartFrameRect(pScreen->geometry(), pScreen->availableGeometry());
    // Nothing known of the frame before the window manager has put one round the window.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    // The position of a window is its frame's.
    move(rcFrame.topLeft());
    resize(rcFrame.marginsRemoved(frame).size());
}

void CMainFrame::PlaceAtStart() {
    // Bars wider or taller than the screen's room scroll, so that the window fits.
    viewerframe::PlaceOnScreen(*this, [this] { FitToScreen(); });
}
