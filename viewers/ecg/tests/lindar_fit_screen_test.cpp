// Lindar on the screens clinics have (built once per screen size, FIT_SCREEN), with a
// window manager, placed as the program places it: the window and the least size it tells
// the window manager lie within the screen, and every control of every bar can be reached,
// on the screen or by scrolling its bar, in one pane and in two; the X server's own picture
// shows each control where the window says it is.
#include "lindarframe.h"

#include <QDockWidget>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>

#include "lindar/analysisbar.h"
#include "lindar/leftpane.h"
#include "testsupport/qtapp.h"
#include "testsupport/screenreach.h"
#include "testsupport/xscreenenv.h"

namespace {

::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment(FIT_SCREEN));

class LindarFitScreen : public CLindarFrameTest {
protected:
    // As the program starts it, on the screen size of this test program.
    void MakePlacedFrame() {
        ASSERT_NO_FATAL_FAILURE(MakeStartedFrame());
        rcScreen = frame->screen()->geometry();
        ASSERT_EQ(rcScreen.size(), QSize(FIT_SCREEN_WIDTH, FIT_SCREEN_HEIGHT));
        // The window manager's frame and the fit after it.
        testsupport::ProcessFor(500);
    }
    // The bars' controls a user cannot reach, with the reason.
    std::string Unreachable(testsupport::CRootPicture& picture) {
        return testsupport::Unreachable({{"menu bar", frame->menuBar()},
                                         {"tool bar", frame->ToolBand()},
                                         {"colour bar", frame->ColourBand()},
                                         {"ECG tool bar", frame->ToolbarDock()},
                                         {"left pane", frame->LeftDock()},
                                         {"parameter list", frame->ParamsDock()},
                                         {"status bar", frame->statusBar()}},
                                        rcScreen, picture);
    }
    QRect rcScreen;
};

TEST_F(LindarFitScreen, EveryControlOfTheBarsIsReachableInOnePaneAndInTwo) {
    MakePlacedFrame();
    ASSERT_TRUE(testsupport::WriteFile(dir / "a.ekg", testsupport::ReadFile(Fx("control.ekg"))));
    ASSERT_TRUE(testsupport::WriteFile(dir / "b.ekg", testsupport::ReadFile(Fx("control.ekg"))));
    ASSERT_TRUE(Doc().OpenExam(dir / "a.ekg", 0));
    testsupport::CRootPicture picture(testsupport::CXScreenEnvironment::Screen().Display(),
                                      dir.Path());
    CLeftPane* pLeft = frame->LeftPane();
    CParamListBar* pParams = frame->ParamListBar();
    const std::pair<const char*, unsigned> layouts[] = {{"1 x 1", COxuLindarView::ID_LAYOUT_1},
                                                        {"2 x 1", COxuLindarView::ID_LAYOUT_2}};
    for (const auto& [pszLayout, nLayout] : layouts) {
        SCOPED_TRACE(pszLayout);
        frame->Commands().OnCommand(nLayout);
        if (nLayout == COxuLindarView::ID_LAYOUT_2) {
            ASSERT_TRUE(Doc().OpenExam(dir / "b.ekg", 1));
        }
        // Both pages of the left pane, the per-lead table folded and unfolded.
        for (bool bAnalysis : {false, true}) {
            if (bAnalysis)
                pLeft->ShowAnalysis();
            else
                pLeft->ShowInfo();
            for (bool bTable : {false, true}) {
                if (bTable == pParams->IsMinimized())
                    pParams->MinimizeButton()->click();
                ASSERT_NE(pParams->IsMinimized(), bTable);
                testsupport::ProcessFor(300);
                EXPECT_EQ(Unreachable(picture), "")
                    << (bAnalysis ? "analysis page" : "information page")
                    << (bTable ? ", table shown" : "");
                EXPECT_EQ(testsupport::OutsideScreen(
                              *frame, rcScreen, testsupport::CXScreenEnvironment::Screen().Display()),
                          "");
            }
        }
    }
}

}  // namespace
