// Lindar's bars, settings, comment lists, drag and drop and splash, driven over the real
// ECG control offscreen; saved records read back with the record reader.
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>

#include "ecg_control/ekgfile.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_control/wavelin_dispids.h"
#include "lindar/analysisbar.h"
#include "lindar/comments.h"
#include "lindar/droptargets.h"
#include "viewers/common/examlist.h"
#include "lindar/leftpane.h"
#include "lindar/lindarapp.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/lindarstrings.h"
#include "lindar/mainframe.h"
#include "lindar/patientbar.h"
#include "oxuutil/inifile.h"
#include "platform/codepage.h"
#include "platform/dispatch.h"
#include "platform/folders.h"
#include "testsupport/testsupport.h"
#include "lindarframe.h"
#include "viewers/common/readoutdialog.h"
#include "viewers/common/examtree.h"

using testsupport::CTempDir;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

// Runs f on the next modal dialog as soon as it is up (the command that opens it blocks).
void WhenModal(std::function<void(QWidget*)> f) {
    auto* pTimer = new QTimer;
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, f] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            pTimer->stop();
            pTimer->deleteLater();
            f(w);
        }
    });
    pTimer->start();
}

class LindarBars : public CLindarFrameTest {
protected:
    // The messages shown, as UTF-8.
    std::vector<std::string> Messages() const {
        std::vector<std::string> v;
        for (auto& c : notifier.calls) v.push_back(platform::ToUtf8(c.text));
        return v;
    }
    std::string JpegWidth(const std::string& strName) {
        prompts.savePath = dir / strName;
        EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_SAVE_AS));
        return RunCommand("identify -format %w " + ShellQuote(dir / strName));
    }
};

// ---- settings ----

TEST_F(LindarBars, SettingsReachTheViewAfterOk) {
    ASSERT_TRUE(platform::MakeDirs(dir / "home/Lindar"));
    ASSERT_TRUE(CIniFile((dir / "home/Lindar/Lindar.ini").c_str()).WriteString("EKG_VIEW", "JPEG_SIZE", "9"));
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
    EXPECT_EQ(JpegWidth("a.jpg"), "1024");  // 9 is no size: 1024

    // Cancel changes nothing.
    WhenModal([](QWidget* w) {
        w->findChild<QComboBox*>("4085")->setCurrentIndex(4);
        QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
    });
    frame->Commands().OnCommand(CMainFrame::ID_SETTINGS);
    EXPECT_EQ(View().m_nJpegSize, 9);

    // OK with "1280 * 960" and a larger display size: Save As and the panes follow at once.
    QWidget* pCtrl = View().Pane(0)->Widget();
    const QImage before = pCtrl->grab().toImage();
    int nDevices = -1;
    WhenModal([&nDevices](QWidget* w) {
        // "DHCP" lists what the pane's control found: "NONE" alone here.
        w->findChild<QRadioButton*>("4102")->click();
        nDevices = w->findChild<QComboBox*>("1093")->count();
        w->findChild<QRadioButton*>("4103")->click();
        w->findChild<QComboBox*>("4085")->setCurrentIndex(3);
        w->findChild<QComboBox*>("1091")->setCurrentIndex(2);  // "1280 x 1024"
        QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
    });
    frame->Commands().OnCommand(CMainFrame::ID_SETTINGS);
    EXPECT_EQ(nDevices, 1);
    EXPECT_EQ(View().m_nJpegSize, 3);
    EXPECT_EQ(JpegWidth("b.jpg"), "1280");
    EXPECT_NE(pCtrl->grab().toImage(), before);  // cell size 5 instead of 3
    CIniFile ini((dir / "home/Lindar/Lindar.ini").c_str());
    EXPECT_EQ(ini.GetString("EKG_VIEW", "DISP_DEFAULT_SIZE", ""), std::string("1280 x 1024"));
    EXPECT_EQ(ini.GetString("EKG_VIEW", "SAVE_COMMENT", ""), std::string("1"));
    // The pane's events still reach the view after the dialog had its control.
    frame->Commands().OnCommand(COxuLindarView::ID_MEASURE);
    EXPECT_TRUE(View().Readout()->isVisible());
}

// ---- bars ----

TEST_F(LindarBars, BarCommandsStatusBarAndFullScreen) {
    MakeFrame();
    CCommandMap& c = frame->Commands();
    struct BarCase {
        unsigned nID;
        QWidget* pBar;
    };
    const BarCase cases[] = {{CMainFrame::ID_COLOUR_BAR, frame->ColourBand()},
                             {CMainFrame::ID_ECG_BAR, frame->ToolbarDock()}};
    for (const BarCase& b : cases) {
        EXPECT_TRUE(b.pBar->isVisible()) << b.nID;
        EXPECT_TRUE(c.Query(b.nID).m_bChecked);
        EXPECT_TRUE(c.OnCommand(b.nID));
        EXPECT_FALSE(b.pBar->isVisible());
        EXPECT_FALSE(c.Query(b.nID).m_bChecked);
        EXPECT_TRUE(c.OnCommand(b.nID));
        EXPECT_TRUE(b.pBar->isVisible());
    }
    // The tool bar bar docks at the top or the bottom only.
    EXPECT_EQ(frame->dockWidgetArea(frame->ToolbarDock()), Qt::TopDockWidgetArea);
    EXPECT_EQ(frame->ToolbarDock()->allowedAreas(), Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    EXPECT_EQ(frame->dockWidgetArea(frame->LeftDock()), Qt::LeftDockWidgetArea);
    EXPECT_EQ(frame->dockWidgetArea(frame->ParamsDock()), Qt::BottomDockWidgetArea);
    // The status bar with its three lock indicators (no lights offscreen).
    ASSERT_TRUE(frame->statusBar()->isVisible());
    const char* names[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frame->Indicator(i)->text().toStdString(), names[i]);
        EXPECT_FALSE(frame->Indicator(i)->isEnabled());
    }
    // Fly-by help, and the idle message back after it.
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), "Ready");
    c.Action(COxuLindarView::ID_FILE_OPEN)->showStatusText(frame.get());
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), "Open an existing record");
    QStatusTipEvent clear{QString()};
    QApplication::sendEvent(frame.get(), &clear);
    EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), "Ready");
    // The rebar's tool bar carries the record commands.
    EXPECT_TRUE(frame->ToolBand()->actions().contains(c.Action(COxuLindarView::ID_FILE_SAVE_AS)));
    // Full screen hides every bar; leaving it shows them again.
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    frame->OnFullScreen();
    for (QWidget* p : std::initializer_list<QWidget*>{frame->statusBar(), frame->ToolBand(), frame->ColourBand(),
                                                      frame->ToolbarDock(), frame->LeftDock(), frame->ParamsDock()})
        EXPECT_FALSE(p->isVisible()) << p->objectName().toStdString();
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    QTest::qWait(50);
    EXPECT_FALSE(frame->IsFullScreen());
    for (QWidget* p : std::initializer_list<QWidget*>{frame->statusBar(), frame->ToolBand(), frame->ColourBand(),
                                                      frame->ToolbarDock(), frame->LeftDock(), frame->ParamsDock()})
        EXPECT_TRUE(p->isVisible()) << p->objectName().toStdString();
}

TEST_F(LindarBars, LeftPaneTabsAndFoldingBars) {
    MakeFrame();
    CLeftPane& pane = *frame->LeftPane();
    CPatientBar& patient = *frame->PatientBar();
    CAnalysisBar& analysis = *frame->AnalysisBar();
    EXPECT_EQ(patient.parentWidget(), &pane);
    EXPECT_EQ(analysis.parentWidget(), &pane);
    // "Informações" first.
    EXPECT_TRUE(patient.isVisible());
    EXPECT_FALSE(analysis.isVisible());
    EXPECT_TRUE(pane.InfoButton()->isChecked());
    pane.AnalysisButton()->click();
    EXPECT_FALSE(patient.isVisible());
    EXPECT_TRUE(analysis.isVisible());
    EXPECT_FALSE(pane.InfoButton()->isChecked());
    EXPECT_TRUE(pane.AnalysisButton()->isChecked());
    pane.InfoButton()->click();
    EXPECT_TRUE(patient.isVisible());
    EXPECT_FALSE(analysis.isVisible());
    // Folded to a 6-pixel strip and back.
    const int nWidth = pane.width();
    pane.MinimizeButton()->click();
    QTest::qWait(20);
    EXPECT_EQ(pane.width(), CLeftPane::kMinimizedWidth);
    EXPECT_EQ(pane.MinimizeButton()->toolTip().toStdString(), " Restore");
    EXPECT_FALSE(patient.isVisible());
    pane.MinimizeButton()->click();
    QTest::qWait(20);
    EXPECT_EQ(pane.width(), nWidth);
    EXPECT_EQ(pane.MinimizeButton()->toolTip().toStdString(), " Minimize");
    EXPECT_TRUE(patient.isVisible());
    // The parameter list starts folded: 6 pixels high, its button restores it.
    CParamListBar& params = *frame->ParamListBar();
    EXPECT_TRUE(params.IsMinimized());
    EXPECT_EQ(params.height(), 6);
    EXPECT_EQ(params.MinimizeButton()->toolTip().toStdString(), "Param Restore");
    params.MinimizeButton()->click();
    QTest::qWait(20);
    EXPECT_GT(params.height(), 6);
    EXPECT_TRUE(params.Table()->isVisible());
    EXPECT_EQ(params.MinimizeButton()->toolTip().toStdString(), "Param Minimize");
}

// ---- comments ----

TEST(CommentStore, EscapesAndKeepsEveryRow) {
    const std::pair<const char*, const char*> texts[] = {
        {"a\r\nb", "a\\nb"}, {"a\nb", "a\\nb"}, {"c:\\x", "c:\\\\x"}, {"plain", "plain"}, {"", ""}};
    for (auto [in, out] : texts) {
        EXPECT_EQ(CCommentStore::Escape(in), out) << in;
        if (std::string(in).find('\n') == std::string::npos || std::string(in).find('\r') != std::string::npos) {
            EXPECT_EQ(CCommentStore::Unescape(out), in) << in;
        }
    }
    CTempDir dir;
    CCommentStore store(dir / "sub/Comments.ini");
    store.Load();
    EXPECT_TRUE(store.m_normal.empty());
    store.m_normal = {{"Normal", "Ritmo sinusal\r\nnormal"}, {"Sem texto", ""}};
    store.m_predefined = {{"Ritmo", "Taquicardia"}, {"Eixo", "Desvio = esquerda"}, {"Ritmo", "Bradicardia"}};
    ASSERT_TRUE(store.Save());
    CCommentStore again(dir / "sub/Comments.ini");
    again.Load();
    EXPECT_EQ(again.m_normal, store.m_normal);
    EXPECT_EQ(again.m_predefined, store.m_predefined);
    // Fewer rows leave no old ones behind.
    store.m_predefined.resize(1);
    ASSERT_TRUE(store.Save());
    again.Load();
    EXPECT_EQ(again.m_predefined, store.m_predefined);
    // A folder where the file should be: FALSE and nothing changed.
    CCommentStore blocked(dir / "sub");
    EXPECT_FALSE(blocked.Save());
}

TEST_F(LindarBars, CommentListsEditedInTheListDialogFeedTheComment) {
    MakeFrame();
    CAnalysisBar& bar = *frame->AnalysisBar();
    // "Editar Resultado Normal...": two rows, one with a line break and one without a text.
    WhenModal([](QWidget* w) {
        auto* pDlg = static_cast<CCommentListDialog*>(w);
        for (auto [name, text] : {std::pair{"Normal ECG", "Ritmo sinusal\\nsem alterações"}, {"Vazio", ""}}) {
            pDlg->OnAdd();
            const int r = pDlg->Table()->rowCount() - 1;
            pDlg->Table()->item(r, 0)->setText(QString::fromUtf8(name));
            pDlg->Table()->item(r, 1)->setText(QString::fromUtf8(text));
        }
        pDlg->OnAdd();  // an empty row is dropped
        pDlg->accept();
    });
    EXPECT_TRUE(frame->Commands().OnCommand(CMainFrame::ID_EDIT_NORMAL));
    // "Editar Resultado Predefinido...": comments in two groups.
    WhenModal([](QWidget* w) {
        auto* pDlg = static_cast<CCommentListDialog*>(w);
        for (auto [group, text] : {std::pair{"Ritmo", "Taquicardia sinusal"}, {"Eixo", "Desvio do eixo"},
                                   {"Ritmo", "Bradicardia"}}) {
            pDlg->OnAdd();
            const int r = pDlg->Table()->rowCount() - 1;
            pDlg->Table()->item(r, 0)->setText(group);
            pDlg->Table()->item(r, 1)->setText(text);
        }
        pDlg->accept();
    });
    EXPECT_TRUE(frame->Commands().OnCommand(CMainFrame::ID_EDIT_PREDEF));
    // The file in the home folder holds both lists.
    CCommentStore store(dir / "home/Lindar/Comments.ini");
    store.Load();
    ASSERT_EQ(store.m_normal.size(), 2u);
    EXPECT_EQ(platform::ToUtf8(store.m_normal[0].strText), "Ritmo sinusal\r\nsem alterações");
    ASSERT_EQ(store.m_predefined.size(), 3u);

    // The tree: "Normal" entries with their texts as tooltips, "Predefined" by group.
    QTreeWidget& tree = *bar.Predefined();
    QTreeWidgetItem* pNormal = tree.topLevelItem(0);
    QTreeWidgetItem* pPredef = tree.topLevelItem(1);
    ASSERT_EQ(pNormal->childCount(), 2);
    EXPECT_EQ(pNormal->child(0)->text(0).toStdString(), "Normal ECG");
    EXPECT_EQ(pNormal->child(0)->toolTip(0).toUtf8().toStdString(), "Ritmo sinusal\r\nsem alterações");
    ASSERT_EQ(pPredef->childCount(), 2);
    EXPECT_EQ(pPredef->child(0)->text(0).toStdString(), "Ritmo");
    ASSERT_EQ(pPredef->child(0)->childCount(), 2);
    EXPECT_EQ(pPredef->child(0)->child(1)->text(0).toStdString(), "Bradicardia");

    // A copy of the fixture gets the comment through the entries, then "Salvar Comentário".
    ASSERT_TRUE(testsupport::WriteFile(dir / "c.ekg", testsupport::ReadFile(Fx("control.ekg"))));
    ASSERT_TRUE(Doc().OpenExam(dir / "c.ekg", 0));
    bar.Comment()->clear();
    notifier.calls.clear();
    bar.AddEntry(pNormal->child(0));
    bar.AddEntry(pPredef->child(0)->child(1));
    bar.AddEntry(pNormal->child(1));  // no text: the message, the comment unchanged
    bar.AddEntry(pPredef);            // a root is no entry: nothing
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0], "Texto do \"Resultado Normal\" não encontrado.");
    EXPECT_EQ(bar.Comment()->toPlainText().toStdString(), "Ritmo sinusal\nsem alterações\nBradicardia");
    notifier.calls.clear();
    bar.OnSaveComment();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Exame salvo com sucesso!"});
    // The record reader finds the comment in the file, with the record's line ends.
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(dir / "c.ekg", &wave, &info, &morph, 0));
    EXPECT_EQ(platform::ToUtf8(info.GetComment()), "Ritmo sinusal\r\nsem alterações\r\nBradicardia");

    // A new frame reads the lists again from the file.
    frame.reset();
    MakeFrame();
    EXPECT_EQ(frame->AnalysisBar()->Predefined()->topLevelItem(0)->childCount(), 2);
}

// ---- patient data through the record reader ----

TEST_F(LindarBars, PoundsShowAsKilogramsAndSavedPatientDataReadsBack) {
    // The fixture with its weight written as 154 pounds by the record writer.
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(Fx("control.ekg"), &wave, &info, &morph, 0));
    info.SetPatientInfo(5, "154L");
    ASSERT_TRUE(WriteEkgFile(dir / "lb.ekg", &wave, &info, &morph));
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(dir / "lb.ekg", 0));
    CPatientBar& bar = *frame->PatientBar();
    EXPECT_EQ(bar.FieldEdit(CPatientBar::WEIGHT)->text().toStdString(), "70");
    bar.OnEdit(true);
    bar.FieldEdit(CPatientBar::NAME)->setText("Ana");
    bar.FieldEdit(CPatientBar::HEIGHT)->setText("165Cm");
    bar.FieldEdit(CPatientBar::DOCTOR)->setText("Dr. Lima");
    notifier.answers.push_back(platform::IDYES);
    bar.OnSave();
    CEkgRecordInfo back;
    ASSERT_TRUE(ReadEkgFile(dir / "lb.ekg", &wave, &back, &morph, 0));
    EXPECT_EQ(back.GetPatientInfo(1), "Ana");
    EXPECT_EQ(back.GetPatientInfo(4), "165");
    EXPECT_EQ(back.GetPatientInfo(5), "70");  // saved as shown: kilograms
    EXPECT_EQ(back.GetMisc(0), "Dr. Lima");
}

// ---- drag and drop ----

TEST(ExamDropTarget, ScrollEffect) {
    EXPECT_EQ(CExamDropTarget::ScrollEffect(Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(CExamDropTarget::ScrollEffect(Qt::NoModifier), Qt::MoveAction);
    EXPECT_EQ(CExamDropTarget::ScrollEffect(Qt::ShiftModifier), Qt::MoveAction);
}

TEST_F(LindarBars, TheViewTakesExamDragsAndTheFrameOpensDroppedFiles) {
    MakeFrame();
    QWidget* pTarget = View().Pane(0)->Widget();
    const QPoint pt(50, 50);
    auto enter = [&](const QMimeData& data, QWidget* w) {
        QDragEnterEvent e(pt, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(w, &e);
        return std::pair(e.isAccepted(), e.dropAction());
    };
    auto over = [&](const QMimeData& data, QWidget* w) {
        QDragMoveEvent e(pt, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(w, &e);
        return std::pair(e.isAccepted(), e.dropAction());
    };
    // An exam from an exam tree: copy over the view; its drop opens nothing.
    QMimeData exam;
    exam.setData(kExamTreeMimeType, "x");
    EXPECT_EQ(enter(exam, pTarget), std::pair(true, Qt::CopyAction));
    EXPECT_EQ(over(exam, pTarget), std::pair(true, Qt::CopyAction));
    QDropEvent drop(pt, Qt::CopyAction | Qt::MoveAction, &exam, Qt::LeftButton, {});
    QApplication::sendEvent(&View(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(Doc().List().GetSize(), 0);
    // Other data: entered, but no drop over the view.
    QMimeData text;
    text.setText("x");
    EXPECT_TRUE(enter(text, pTarget).first);
    EXPECT_FALSE(over(text, pTarget).first);

    // Files from the desktop pass on to the frame, which opens each readable one.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString(Fx("server.ekg"))),
                   QUrl::fromLocalFile(QString::fromStdString(dir / "missing.ekg"))});
    EXPECT_EQ(enter(files, pTarget), std::pair(true, Qt::CopyAction));
    EXPECT_EQ(over(files, pTarget), std::pair(true, Qt::CopyAction));
    notifier.calls.clear();
    QDropEvent fileDrop(pt, Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(frame.get(), &fileDrop);
    EXPECT_TRUE(fileDrop.isAccepted());
    ASSERT_EQ(Doc().List().GetSize(), 1);
    EXPECT_EQ(View().GetCurrentExam()->GetPath(), Fx("server.ekg"));
    EXPECT_EQ(Messages(), std::vector<std::string>{platform::ToUtf8(lindar::LoadStr(lindar::IDS_OPEN_FAILED))});
}

// ---- start-up ----

TEST_F(LindarBars, TheSplashComesBeforeTheRecordOpens) {
    testsupport::CEnvScope runtime{"XDG_RUNTIME_DIR", (dir / "").c_str()};
    bool bSplash = false, bFrameShown = false;
    int nExamsDuringSplash = -1;
    CLindarApp app;
    WhenModal([&](QWidget* w) {
        bSplash = w->objectName() == "150";
        bFrameShown = app.Frame() && app.Frame()->isVisible();
        nExamsDuringSplash = app.Frame() ? app.Frame()->Doc().List().GetSize() : -1;
        QTest::mouseClick(w, Qt::LeftButton);  // a click closes it before its time
    });
    ASSERT_TRUE(app.InitInstance({Fx("server.ekg")}));
    EXPECT_TRUE(bSplash);
    EXPECT_TRUE(bFrameShown);
    EXPECT_EQ(nExamsDuringSplash, 0);
    EXPECT_EQ(app.Frame()->Doc().List().GetSize(), 1);
    // Placed at the screen's corner, its width and 20 pixels more than its height, cut to the
    // screen's available area with its frame.
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QRect rcAvailable = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(app.Frame()->pos(), QPoint(0, 0));
    // The window with its frame is the screen's width: its bars never ask for more (they
    // scroll instead).
    EXPECT_EQ(app.Frame()->frameGeometry().width(), screen.width());
    EXPECT_LE(app.Frame()->minimumSizeHint().width(), app.Frame()->width());
    EXPECT_EQ(app.Frame()->frameGeometry().height(),
              std::min(screen.height() + 20, rcAvailable.height()));
    EXPECT_LE(app.Frame()->frameGeometry().bottom(), rcAvailable.bottom());
    app.ExitInstance();
}

}  // namespace

#include <QCheckBox>

#include "lindar/saveprompt.h"
#include "viewers/common/smallwindows.h"

namespace {

TEST_F(LindarBars, SaveAsAsksWithTheFourReportOptions) {
    MakeFrame();
    std::array<int, 4> flags{1, 1, 1, 1};
    // Cancelled: no path, the options as they were.
    WhenModal([](QWidget* w) {
        static_cast<CEkgFileDialog*>(w)->OptionBox(0)->setChecked(false);
        static_cast<QDialog*>(w)->reject();
    });
    EXPECT_EQ(AskEkgSavePath(frame.get(), dir / "control", flags), "");
    EXPECT_EQ(flags, (std::array<int, 4>{1, 1, 1, 1}));
    // OK on the proposed name: the default type's extension and the options as left.
    bool bPdfDisables = false;
    WhenModal([&bPdfDisables](QWidget* w) {
        auto* d = static_cast<CEkgFileDialog*>(w);
        EXPECT_TRUE(d->OptionBox(2)->isEnabled());
        d->OptionBox(2)->setChecked(false);
        auto* pTypes = d->findChild<QComboBox*>("fileTypeCombo");
        pTypes->setCurrentIndex(3);  // EKG: no report options
        bPdfDisables = !d->OptionBox(0)->isEnabled();
        pTypes->setCurrentIndex(0);
        QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
    });
    EXPECT_EQ(AskEkgSavePath(frame.get(), dir / "control", flags), dir / "control.jpg");
    EXPECT_TRUE(bPdfDisables);
    EXPECT_EQ(flags, (std::array<int, 4>{1, 1, 0, 1}));
}

}  // namespace

#include "lindar/lindarbitmaps.h"

namespace {

TEST(LindarBitmaps, StripsAndButtonsWithWhiteTransparent) {
    using namespace lindar;
    const std::pair<UINT, QSize> sizes[] = {{IDB_RESULT_IMAGES, {32, 15}}, {IDB_COMMENT_IMAGES, {32, 15}},
                                            {IDB_INFO_TAB, {16, 16}},      {IDB_ANALYSIS_TAB, {16, 16}},
                                            {IDB_RULER, {16, 16}},         {IDB_MAGNIFIER, {16, 16}},
                                            {IDB_PACEMAKER, {16, 16}}};
    for (auto [id, size] : sizes) EXPECT_EQ(LoadBitmap(id).size(), size) << id;
    EXPECT_TRUE(LoadBitmap(161).isNull());
    EXPECT_TRUE(StripIcon(IDB_RESULT_IMAGES, 2).isNull());
    const QImage cell = StripIcon(IDB_COMMENT_IMAGES, 1).pixmap(16, 15).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(cell.pixel(0, 0)), 0);    // white: transparent
    EXPECT_EQ(qAlpha(cell.pixel(3, 1)), 255);  // the sheet's outline
}

}  // namespace

#include <QLineEdit>

namespace {

TEST_F(LindarBars, SaveAsWithEachTypeChosenAndABareNameWritesThatType) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
    View().SetPrompts(frame->Prompts());  // the program's own save dialog
    const std::string strCheckDcm = std::string(PYTHON_EXE) +
                                    " -c 'import sys, pydicom; print(pydicom.dcmread(sys.argv[1]).SOPClassUID)' ";
    const struct {
        int nType;
        const char* pszName;
        std::string strCheck, strExpected;
    } cases[] = {
        {0, "bare_jpg", "identify -format %m ", "JPEG"},
        {1, "bare_pdf", "qpdf --check ", "No syntax or stream encoding errors found"},
        {2, "bare_dcm", strCheckDcm, "1.2.840.10008.5.1.4.1.1"},
        {4, "bare_xml", "sh -c 'xmllint --noout \"$0\" && echo well-formed' ", "well-formed"},
    };
    for (const auto& c : cases) {
        WhenModal([&c](QWidget* w) {
            auto* pTypes = w->findChild<QComboBox*>("fileTypeCombo");
            pTypes->setCurrentIndex(c.nType);
            emit pTypes->activated(c.nType);
            w->findChild<QLineEdit*>("fileNameEdit")->setText(c.pszName);
            QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
        });
        notifier.calls.clear();
        ASSERT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_SAVE_AS));
        const std::string strExt = std::string(c.pszName).substr(5);
        const std::string strPath = dir / ("fx/" + std::string(c.pszName) + "." + strExt);
        EXPECT_EQ(Messages(), std::vector<std::string>{"Gravado com sucesso."}) << strPath;
        EXPECT_NE(RunCommand(c.strCheck + ShellQuote(strPath) + " 2>&1").find(c.strExpected), std::string::npos)
            << strPath;
        if (c.nType != 0) {
            EXPECT_FALSE(testsupport::Exists(dir / ("fx/" + std::string(c.pszName) + ".jpg")));
        }
    }
    // The record itself: read back by the record reader.
    WhenModal([](QWidget* w) {
        auto* pTypes = w->findChild<QComboBox*>("fileTypeCombo");
        pTypes->setCurrentIndex(3);
        emit pTypes->activated(3);
        w->findChild<QLineEdit*>("fileNameEdit")->setText("bare_ekg");
        QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
    });
    ASSERT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_SAVE_AS));
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    EXPECT_TRUE(ReadEkgFile(dir / "fx/bare_ekg.ekg", &wave, &info, &morph, 0));
}

}  // namespace
