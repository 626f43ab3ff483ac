#include "lindar/mainframe.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>

#include "lindar/analysisbar.h"
#include "lindar/displaybars.h"
#include "lindar/lindardialogs.h"
#include "lindar/patientbar.h"
#include "lindar/saveprompt.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/lindarstrings.h"
#include "platform/folders.h"
#include "platform/notifier.h"
#include "platform/process.h"
#include "platform/codepage.h"

using namespace lindar;

namespace {
// The program's own dialogs; print, order, receive and device selection are the shared
// viewer dialogs.
class CQtPrompts : public IViewPrompts {
public:
    explicit CQtPrompts(QWidget* pParent) : m_pParent(pParent) {}
    CString AskOpenPath() override {
        const QString s = QFileDialog::getOpenFileName(
            m_pParent, {}, {}, "EKG File(*.ekg);;RAW File(*.raw);;CSE File(*.dcd)");
        return s.toLocal8Bit().toStdString();
    }
    CString AskSavePath(const CString& strProposed, std::array<int, 4>& flags) override {
        return AskEkgSavePath(m_pParent, strProposed, flags);
    }
    bool AskPrint(CPrintSettings& s) override { return lindar::RunPrintDialog(m_pParent, s); }
    void RunOrderDialog(const CString& strAddress, int nPort) override {
        lindar::RunOrderDialog(m_pParent, strAddress, nPort);
    }
    CString RunReceiveDialog(CLindarGraphWnd&, const CString&) override {
        return lindar::RunReceiveDialog(m_pParent);
    }
    bool RunDeviceSelection(CLindarGraphWnd& pane) override {
        return lindar::RunDeviceSelection(m_pParent, pane);
    }
    bool AskPrintSetup(CString& strPrinter) override {
        return lindar::RunPrintSetupDialog(m_pParent, strPrinter);
    }

private:
    QWidget* m_pParent;
};
}  // namespace

CMainFrame::CMainFrame() {
    setObjectName("LindarFrame");
    m_recent.ReadList();
}

CMainFrame::~CMainFrame() {
    m_doc.SetView(nullptr);
    m_doc.SetTitleHandler({});
}

bool CMainFrame::Create(std::string* pError) {
    m_pCommands = new CCommandMap(this);
    m_pView = new COxuLindarView(m_doc, *this, this);
    setCentralWidget(m_pView);
    if (!m_pView->Create(pError))
        return false;
    BuildBars();
    m_pPrompts = std::make_unique<CQtPrompts>(this);
    m_pView->SetPrompts(m_pPrompts.get());
    m_doc.SetView(m_pView);
    m_doc.SetTitleHandler([this](const CString&) {
        if (CExamItem* p = m_pView->GetCurrentExam())
            m_recent.Add(p->GetPath());
        UpdateFrameTitle();
    });
    // Escape leaves full screen wherever the focus is; in normal mode it does nothing.
    auto* pEscape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    pEscape->setContext(Qt::WindowShortcut);
    connect(pEscape, &QShortcut::activated, this, [this] {
        if (m_bFullScreen)
            PostCommand(ID_FULL_SCREEN);
    });
    BuildCommands();
    // The idle pass that keeps the bars' buttons in step.
    auto* pIdle = new QTimer(this);
    connect(pIdle, &QTimer::timeout, this, [this] {
        UpdateCommandUI();
        UpdateIndicators();
    });
    pIdle->start(250);
    m_doc.SetTitle(LoadStr(IDS_EMPTY_TITLE));
    return true;
}

void CMainFrame::UpdateCommandUI() {
    m_pCommands->UpdateAll();
    // The bars' buttons of frame commands show their commands' states too.
    const CExDialogBar::StateFn state = [this](UINT nID) {
        const CCmdUI ui = m_pCommands->Query(nID);
        return CExDialogBar::CCmdState{ui.m_bEnabled, ui.m_bCheckable ? int(ui.m_bChecked) : -1};
    };
    if (m_pToolbar)
        m_pToolbar->UpdateCmdUI(state);
    if (m_pColour)
        m_pColour->UpdateCmdUI(state);
}

void CMainFrame::SendCommand(unsigned nID) {
    if (nID == COxuLindarView::ID_REFRESH) {
        OnRefresh();
        return;
    }
    m_pCommands->OnCommand(nID);
}

void CMainFrame::PostCommand(unsigned nID) {
    m_pCommands->PostCommand(nID);
}

void CMainFrame::OnRefresh() {
    if (!m_pView)
        return;
    auto* p = m_pView->GetCurrentGraph();
    m_bMonitoring = p && p->m_bMonitoring;
    if (m_pToolbar) {
        m_pToolbar->SelectFormat(m_pView->GetChType());
        m_pToolbar->SelectRhythm(m_pView->GetRhyCh());
        m_pToolbar->SelectGain(m_pView->GetGain());
        m_pToolbar->SelectSpeed(m_pView->GetSpeed());
        m_pToolbar->SetMonitoring(m_bMonitoring);
    }
    if (m_pColour) {
        if (m_bMonitoring)
            m_pColour->LockPens();
        else
            m_pColour->UnlockPens();
    }
    if (m_pAnalysis) {
        m_pAnalysis->SetActiveGraph(p);
        m_pAnalysis->ShowValues(p);
        m_pAnalysis->EnableComment(p && p->m_pExam);
    }
    if (m_pParams)
        m_pParams->ShowExam(p);
    if (m_pPatient) {
        m_pPatient->ShowExam(p);
        m_pPatient->EnableBar(p && p->m_pExam);
    }
    UpdateCommandUI();
}

void CMainFrame::UpdateFrameTitle() {
    CString strDoc = m_doc.GetTitle();
    if (strDoc == "No Title" || strDoc == "\xC1\xA6\xB8\xF1\xBE\xF8\xC0\xBD")
        strDoc = LoadStr(IDS_EMPTY_TITLE);
    const CString strTitle = LoadStr(IDS_APP_TITLE) + " - " + strDoc;
    setWindowTitle(QString::fromStdU16String(platform::ToUtf16(strTitle)));
}

void CMainFrame::OnCopyData(DWORD dwCode, const CString& strText) {
    if (dwCode != COPY_SID && dwCode != COPY_FILE)
        return;
    CString strBuf = strText.substr(0, 1023);
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    if (dwCode == COPY_FILE)
        m_doc.OpenExam(strBuf, 0);
}

void CMainFrame::OnFullScreen() {
    if (!m_bFullScreen && !m_pView->GetCurrentExam()) {
        platform::ShowMessage(LoadStr(IDS_FULLSCREEN_NEEDS_EXAM), platform::MB_ICONERROR);
        return;
    }
    if (!m_bFullScreen) {
        m_savedGeometry = saveGeometry();
        ShowBarsForFullScreen(false);
        menuBar()->hide();
        m_bFullScreen = true;
        showFullScreen();
        m_pView->SetFullScreen(true);
    } else {
        menuBar()->show();
        ShowBarsForFullScreen(true);
        m_bFullScreen = false;
        showNormal();
        restoreGeometry(m_savedGeometry);
        m_pView->SetFullScreen(false);
    }
    UpdateCommandUI();
}

void CMainFrame::SendColourDefaults() {
    if (m_pColour)
        m_pColour->SetDefaults();
}

CString CMainFrame::UpgradePath() {
    return platform::ProgramDir() + "Restovar";
}

void CMainFrame::OnRunUpgrade() {
    // Nothing waits for the updater; a failure to start is not reported.
    platform::StartDetached({UpgradePath()});
}

void CMainFrame::keyPressEvent(QKeyEvent* e) {
    QMainWindow::keyPressEvent(e);
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    m_recent.WriteList();
    QMainWindow::closeEvent(e);
}
