// The command table of Lindar's frame, and the menus, tool bar and keys built from it.
#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

#include "lindar/commands.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/mainframe.h"
#include "viewers/common/smallwindows.h"

namespace lindarcmd {
namespace {
using F = CMainFrame;
using V = COxuLindarView;
using D = COxuLindarDoc;

CLindarGraphWnd* Pane(F& f) {
    return f.View()->GetCurrentGraph();
}
bool Monitoring(F& f) {
    CLindarGraphWnd* p = Pane(f);
    return p && p->m_bMonitoring;
}
bool Recording(F& f) {
    CLindarGraphWnd* p = Pane(f);
    return p && p->m_bRecording;
}
int Tool(F& f) {
    CLindarGraphWnd* p = Pane(f);
    return p ? p->m_nTool : -1;
}
void HasExam(F& f, CCmdUI& ui) {
    ui.Enable(f.View()->GetCurrentExam() != nullptr);
}
void NotMonitoring(F& f, CCmdUI& ui) {
    ui.Enable(!Monitoring(f));
}
void Disabled(F&, CCmdUI& ui) {
    ui.Enable(false);
}
template <int nLayout>
void Layout(F& f, CCmdUI& ui) {
    ui.SetCheck(f.View()->GetLayout() == nLayout);
}
template <int nLayout>
void LayoutWhenIdle(F& f, CCmdUI& ui) {
    ui.Enable(!Monitoring(f));
    ui.SetCheck(f.View()->GetLayout() == nLayout);
}
template <int nTool>
void ToolCheck(F& f, CCmdUI& ui) {
    ui.Enable(!Monitoring(f));
    ui.SetCheck(Tool(f) == nTool);
}

const CCommand kCommands[] = {
    {F::ID_FILE_NEW, nullptr, "&New", [](F& f) { f.OnFileNew(); }, nullptr, "Start a new document"},
    {V::ID_FILE_OPEN, "&File", "&Open ...\tCtrl+O", [](F& f) { f.View()->OnFileOpen(); },
     NotMonitoring, "Open an existing record"},
    {D::ID_CLOSE, "&File", "&Close\tCtrl+F4", [](F& f) { f.Doc().OnClose(); },
     [](F& f, CCmdUI& ui) { ui.Enable(f.Doc().CanClose()); }, "Close the current record"},
    {D::ID_CLOSE_ALL, "&File", "Close All", [](F& f) { f.Doc().OnCloseAll(); },
     [](F& f, CCmdUI& ui) { ui.Enable(f.Doc().CanCloseAll()); }, "Close all records"},
    {V::ID_FILE_SAVE_AS, "&File", "Save As...\tCtrl+S", [](F& f) { f.View()->OnFileSaveAs(); },
     HasExam, "Save or export the current record"},
    {0, "&File", nullptr, nullptr, nullptr, nullptr},
    {V::ID_FILE_PRINT, "&File", "&Print ...\tCtrl+P", [](F& f) { f.View()->OnFilePrint(); },
     HasExam, "Print the current record"},
    {V::ID_FILE_PRINT_PREVIEW, "&File", "Print Pre&view",
     [](F& f) { f.View()->OnFilePrintPreview(); }, HasExam, "Show the printed page"},
    {F::ID_FILE_PRINT_SETUP, "&File", "P&rint Setup...", [](F& f) { f.OnFilePrintSetup(); },
     nullptr, "Choose the printer"},
    {0, "&File", nullptr, nullptr, nullptr, nullptr},
    {F::ID_LOGOFF, "&File", "&Logoff", [](F& f) { f.PostCommand(F::ID_LOGOFF_DONE); }, Disabled,
     nullptr},
    {F::ID_LOGOFF_DONE, nullptr, "", [](F&) {}, nullptr, nullptr},
    {F::ID_APP_EXIT, "&File", "E&xit", [](F& f) { f.close(); }, nullptr, "Quit the program"},

    {V::ID_LAYOUT_1, "&View", "1 x 1\tCtrl+1", [](F& f) { f.View()->OnLayout(0); },
     LayoutWhenIdle<0>, "One pane"},
    {V::ID_LAYOUT_1X2, "&View", "1 x 2", nullptr, Layout<1>, nullptr},
    {V::ID_LAYOUT_2, "&View", "2 x 1\tCtrl+2", [](F& f) { f.View()->OnLayout(2); },
     LayoutWhenIdle<2>, "Two panes"},
    {V::ID_LAYOUT_2X2, "&View", "2 x 2", nullptr, Layout<3>, nullptr},
    {0, "&View", nullptr, nullptr, nullptr, nullptr},
    {V::ID_MEASURE, "&View", "Measurement", [](F& f) { f.View()->OnMeasure(); }, ToolCheck<2>,
     "Measure with the ruler"},
    {V::ID_MAGNIFIER, "&View", "Magnifying Glass", [](F& f) { f.View()->OnMagnifier(); },
     ToolCheck<1>, "Magnify a part of the trace"},
    {V::ID_PACEMAKER, "&View", "Pacemaker", [](F& f) { f.View()->OnPacemaker(); },
     [](F& f, CCmdUI& ui) {
         ui.Enable(!Monitoring(f));
         ui.SetCheck(Pane(f) && Pane(f)->m_bPacemaker);
     },
     "Show or hide the pacemaker marks"},
    {V::ID_DEFAULT_COLOUR, "&View", "Default color", [](F& f) { f.View()->OnDefaultColour(); },
     nullptr, "The display's own colours and pens"},
    {F::ID_FULL_SCREEN, "&View", "Full Screen Mode", [](F& f) { f.OnFullScreen(); },
     [](F& f, CCmdUI& ui) { ui.SetCheck(f.IsFullScreen()); },
     "Show the record on the whole screen"},
    {0, "&View", nullptr, nullptr, nullptr, nullptr},
    {F::ID_ECG_BAR, "&View", "ECG Tool Bar",
     [](F& f) { f.ToolbarDock()->setVisible(f.ToolbarDock()->isHidden()); },
     [](F& f, CCmdUI& ui) { ui.SetCheck(!f.ToolbarDock()->isHidden()); },
     "Show or hide the ECG tool bar"},
    {F::ID_COLOUR_BAR, "&View", "Color Tool Bar",
     [](F& f) { f.ColourBand()->setVisible(f.ColourBand()->isHidden()); },
     [](F& f, CCmdUI& ui) { ui.SetCheck(!f.ColourBand()->isHidden()); },
     "Show or hide the colour bar"},

    {V::ID_MONITORING, "&ECG", "Monitoring", [](F& f) { f.View()->OnMonitoring(); },
     [](F& f, CCmdUI& ui) {
         ui.Enable(f.View()->GetLayout() == 0 && !Recording(f));
         ui.SetCheck(Monitoring(f));
     },
     "Show the device's signal live"},
    {V::ID_RECORDING, "&ECG", "Record", [](F& f) { f.View()->OnRecording(); },
     [](F& f, CCmdUI& ui) {
         ui.Enable(f.View()->GetLayout() == 0 && !Monitoring(f));
         ui.SetCheck(Recording(f));
     },
     "Take a record from the device"},
    {V::ID_ORDER, "&ECG", "Order ...", [](F& f) { f.View()->OnOrder(); }, nullptr,
     "Send a patient order to the device"},
    {V::ID_QRS, nullptr, "QRS", nullptr, Disabled, nullptr},

    {F::ID_RUN_UPGRADE, "&Tools", "Run Upgrade...", [](F& f) { f.OnRunUpgrade(); }, nullptr,
     "Start the updater"},
    {F::ID_SETTINGS, "&Tools", "Settings...", [](F& f) { f.OnSettings(); }, nullptr,
     "Change the viewer's settings"},
    {0, "&Tools", nullptr, nullptr, nullptr, nullptr},
    {F::ID_EDIT_NORMAL, "&Tools", "Editar Resultado Normal...",
     [](F& f) { f.OnEditComments(true); }, nullptr, nullptr},
    {F::ID_EDIT_PREDEF, "&Tools", "Editar Resultado Predefinido...",
     [](F& f) { f.OnEditComments(false); }, nullptr, nullptr},
    {F::ID_DISABLED_3, nullptr, "", nullptr, Disabled, nullptr},
    {F::ID_REFRESH, nullptr, "", [](F& f) { f.OnRefresh(); }, nullptr, nullptr},

    {F::ID_APP_ABOUT, "&Help", "About...",
     [](F& f) {
         CAboutDialog dlg(&f);
         dlg.exec();
     },
     nullptr, "Show the program's name and version"},
};

const unsigned kToolBar[] = {F::ID_FILE_NEW,
                             V::ID_FILE_OPEN,
                             V::ID_FILE_SAVE_AS,
                             V::ID_FILE_PRINT,
                             0,
                             V::ID_LAYOUT_1,
                             V::ID_LAYOUT_2,
                             0,
                             V::ID_MEASURE,
                             V::ID_MAGNIFIER,
                             V::ID_PACEMAKER,
                             0,
                             F::ID_FULL_SCREEN,
                             F::ID_APP_ABOUT};
}  // namespace

std::span<const CCommand> Commands() {
    return kCommands;
}

const CCommand* FindCommand(unsigned nId) {
    for (const CCommand& c : kCommands)
        if (c.nId == nId)
            return &c;
    return nullptr;
}

std::span<const unsigned> ToolBar() {
    return kToolBar;
}

}  // namespace lindarcmd

void CMainFrame::BuildCommands() {
    CCommandMap& c = *m_pCommands;
    std::vector<std::pair<QString, QMenu*>> menus;
    auto menu = [&](const char* pszTitle) {
        for (auto& [title, p] : menus)
            if (title == pszTitle)
                return p;
        QMenu* p = menuBar()->addMenu(pszTitle);
        c.WatchMenu(p);
        menus.emplace_back(pszTitle, p);
        return p;
    };
    for (const lindarcmd::CCommand& row : lindarcmd::Commands()) {
        if (!row.nId) {
            menu(row.pszMenu)->addSeparator();
            continue;
        }
        CCommandMap::Handler handler;
        if (row.pHandler)
            handler = [this, fn = row.pHandler] { fn(*this); };
        CCommandMap::Updater updater;
        if (row.pUpdate)
            updater = [this, fn = row.pUpdate](CCmdUI& ui) { fn(*this, ui); };
        QAction* pAction = c.Add(row.nId, QString::fromUtf8(row.pszText), handler, updater);
        if (row.pszTip)
            pAction->setStatusTip(row.pszTip);
        if (row.pszMenu)
            menu(row.pszMenu)->addAction(pAction);
    }
    // Without a tip the status bar shows the idle message.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& s) {
        if (s.isEmpty())
            statusBar()->showMessage("Ready");
    });
    for (unsigned id : lindarcmd::ToolBar()) {
        if (!id) {
            m_pToolBand->addSeparator();
        } else if (QAction* p = c.Action(id)) {
            // The button shows the menu text without its keys and dots.
            p->setIconText(p->text().remove('&').remove("..."));
            m_pToolBand->addAction(p);
        }
    }
    c.UpdateAll();
}

void CMainFrame::OnFileNew() {
    // The framework's new document changes the title only; the exams stay as they are.
    m_doc.SetTitle("No Title");
}

void CMainFrame::OnFilePrintSetup() {
    CString strPrinter = m_pView->m_print.strPrinter;
    if (m_pView->Prompts() && m_pView->Prompts()->AskPrintSetup(strPrinter))
        m_pView->m_print.strPrinter = strPrinter;
}
