// Lindar on a real X screen with a window manager: its boxes through the program's own screen
// notifier, found by their windows, read and answered with the X tools as a user would; the
// panes pressed with the X server's own pointer; the window's place on a 1600 x 1000 screen.
#include "lindarframe.h"

#include <QComboBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

#include "ecg_control/ekgfile.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "lindar/analysisbar.h"
#include "lindar/displaybars.h"
#include "lindar/leftpane.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/patientbar.h"
#include "viewers/common/examlist.h"
#include "platform/codepage.h"
#include "testsupport/xscreenenv.h"
#include "platform/screennotifier.h"

namespace {

// A screen lower than the window the program asks for.
::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment("1600x1000x24"));

class LindarScreen : public CLindarFrameTest {
protected:
    void SetUp() override {
        CLindarFrameTest::SetUp();
        pPrevious = platform::SetNotifier(&screen);
    }
    void TearDown() override { platform::SetNotifier(pPrevious); }
    platform::CScreenNotifier screen{"Lindar"};
    platform::INotifier* pPrevious = nullptr;
};

// The X server's pointer, moved there and pressed (once, or twice for a double click) as a
// user's hand does: the press goes to whatever window lies under it. (The X server takes the
// move before the press; waiting for the move with --sync would hang when the pointer is
// there already.)
void ClickAt(const QPoint& ptGlobal, int nClicks = 1) {
    testsupport::RunCommand("xdotool mousemove " + std::to_string(ptGlobal.x()) + " " +
                            std::to_string(ptGlobal.y()) + " click --repeat " +
                            std::to_string(nClicks) + " --delay 120 1");
}
void Keys(const char* pszKeys) {
    testsupport::RunCommand(std::string("xdotool key --clearmodifiers ") + pszKeys);
}

bool OnScreen(const QWidget* w, const QRect& rcScreen) {
    return w && w->isVisible() && rcScreen.contains(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
}

bool Has(const std::string& strBox, const char* pszUtf8) {
    return strBox.find(pszUtf8) != std::string::npos;
}

TEST_F(LindarScreen, SaveInfoAskedOnTheScreenAndAnsweredYesWritesTheFields) {
    MakeFrame();
    ASSERT_TRUE(testsupport::WriteFile(dir / "p.ekg", testsupport::ReadFile(Fx("control.ekg"))));
    ASSERT_TRUE(Doc().OpenExam(dir / "p.ekg", 0));
    CPatientBar& bar = *frame->PatientBar();
    bar.OnEdit(true);
    bar.FieldEdit(CPatientBar::NAME)->setText("Ana Souza");
    bar.FieldEdit(CPatientBar::SEX)->setText("Masculino");
    bar.FieldEdit(CPatientBar::HOSPITAL)->setText(QString::fromUtf8("São José"));

    testsupport::CScreenOperator op(testsupport::CXScreenEnvironment::Screen(), "^Lindar$");
    op.Answer({"Return", "Return"});  // Yes (the first button), then OK
    bar.OnSave();
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(Has(boxes[0], "Tem certeza que deseja salvar as alterações?")) << boxes[0];
    EXPECT_TRUE(Has(boxes[0], "Yes")) << boxes[0];
    EXPECT_TRUE(Has(boxes[1], "Exame salvo com sucesso!")) << boxes[1];

    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(dir / "p.ekg", &wave, &info, &morph, 0));
    EXPECT_EQ(info.GetPatientInfo(1), "Ana Souza");
    EXPECT_EQ(info.GetPatientInfo(3), "Male");
    EXPECT_EQ(platform::ToUtf8(info.GetMisc(1)), "São José");
}

TEST_F(LindarScreen, AFailedOpenIsShownAndAnswered) {
    MakeFrame();
    ASSERT_TRUE(testsupport::WriteFile(dir / "bad.ekg", "not a record"));
    testsupport::CScreenOperator op(testsupport::CXScreenEnvironment::Screen(), "^Lindar$");
    op.Answer({"Return"});
    EXPECT_FALSE(Doc().OpenExam(dir / "bad.ekg", 0));
    const std::vector<std::string> boxes = op.Wait();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(Has(boxes[0], "Falha ao abrir o arquivo (*.ekg) !!!")) << boxes[0];
}

TEST_F(LindarScreen, InTwoPanesAPressOnTheLowerPaneMakesItCurrentAndOpenGoesThere) {
    MakeFrame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    std::string paths[3];
    for (int i = 0; i < 3; ++i) {
        paths[i] = dir / (std::string(1, char('a' + i)) + ".ekg");
        std::filesystem::copy_file(Fx("control.ekg"), paths[i]);
    }
    frame->Commands().OnCommand(COxuLindarView::ID_LAYOUT_2);
    ASSERT_TRUE(Doc().OpenExam(paths[1], 1));
    ASSERT_TRUE(Doc().OpenExam(paths[0], 0));
    CLindarGraphWnd* pLower = View().Pane(1);
    // The lower pane at its own gain.
    pLower->EKGSetGain(4);
    pLower->m_nGain = 4;
    frame->OnRefresh();
    QComboBox* pGain = frame->ToolbarBar()->Gain();
    ASSERT_EQ(View().GetCurrentPane(), 0);
    ASSERT_EQ(pGain->currentData().toInt(), 3);
    auto tabItem = [this] {
        QTabBar* t = View().Tabs();
        return reinterpret_cast<CExamItem*>(t->tabData(t->currentIndex()).value<quintptr>());
    };
    ASSERT_EQ(tabItem(), View().Pane(0)->m_pExam);

    // The pointer lands on the control's own window inside the pane, not on the pane.
    const QPoint ptLocal = pLower->rect().center();
    QWidget* pUnder = pLower->childAt(ptLocal);
    ASSERT_NE(pUnder, nullptr);
    ASSERT_NE(pUnder, pLower->Widget());
    const QPoint ptGlobal = pLower->mapToGlobal(ptLocal);
    ClickAt(ptGlobal);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return View().GetCurrentPane() == 1 && pGain->currentData().toInt() == 4; }, 10000))
        << "current pane " << View().GetCurrentPane();
    EXPECT_EQ(tabItem(), pLower->m_pExam);

    // Ctrl+O opens into the pane the user pressed.
    prompts.openPath = paths[2];
    Keys("ctrl+o");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return pLower->m_pExam && pLower->m_pExam->GetPath() == paths[2]; }, 10000));
    ASSERT_NE(View().Pane(0)->m_pExam, nullptr);
    EXPECT_EQ(View().Pane(0)->m_pExam->GetPath(), paths[0]);

    // A double click there shows that exam full screen; Escape comes back.
    ClickAt(ptGlobal, 2);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return frame->IsFullScreen() && View().IsFullScreen(); }, 10000));
    ASSERT_NE(View().Pane(2)->m_pExam, nullptr);
    EXPECT_EQ(View().Pane(2)->m_pExam->GetPath(), paths[2]);
    Keys("Escape");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !frame->IsFullScreen() && !View().IsFullScreen(); }, 10000));
    EXPECT_EQ(View().GetCurrentPane(), 1);
}

TEST_F(LindarScreen, OnALowScreenEveryBarAndButtonLiesOnTheScreen) {
    ASSERT_NO_FATAL_FAILURE(MakeStartedFrame());
    const QRect rcScreen = frame->screen()->geometry();
    ASSERT_EQ(rcScreen.size(), QSize(1600, 1000));
    CParamListBar* pParams = frame->ParamListBar();
    const std::pair<const char*, QWidget*> controls[] = {
        {"menu bar", frame->menuBar()},
        {"tool bar", frame->ToolBand()},
        {"colour bar", frame->ColourBand()},
        {"ECG tool bar", frame->ToolbarDock()},
        {"left pane", frame->LeftDock()},
        {"left pane's minimize button", frame->LeftPane()->MinimizeButton()},
        {"parameter list", frame->ParamsDock()},
        {"parameter list's restore button", pParams->MinimizeButton()},
        {"tab strip", View().Tabs()},
        {"status bar", frame->statusBar()},
    };
    auto offScreen = [&] {
        std::string s;
        for (const auto& [pszName, w] : controls)
            if (!OnScreen(w, rcScreen))
                s += std::string(pszName) + "; ";
        return s;
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return offScreen().empty(); }, 10000)) << offScreen();
    // The window keeps the top left corner and the screen's whole width.
    const QRect rcFrame = frame->frameGeometry();
    EXPECT_EQ(rcFrame.topLeft(), rcScreen.topLeft());
    EXPECT_EQ(rcFrame.width(), rcScreen.width());
    EXPECT_LE(rcFrame.bottom(), rcScreen.bottom());

    // The per-lead table comes out when the user presses the restore button where it shows.
    ASSERT_TRUE(pParams->IsMinimized());
    QToolButton* pRestore = pParams->MinimizeButton();
    ClickAt(pRestore->mapToGlobal(pRestore->rect().center()));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !pParams->IsMinimized() && OnScreen(pParams->Table(), rcScreen); }, 10000));
    EXPECT_TRUE(OnScreen(frame->statusBar(), rcScreen));
}

}  // namespace
