// Pulmetra on the screens clinics have (built once per screen size, FIT_SCREEN), with a
// window manager, shown as the program shows it: the window and the least size it tells the
// window manager lie within the screen, and every control of every bar can be reached, on
// the screen or by scrolling its bar, down to the last row of the parameter table; the X
// server's own picture shows each control where the window says it is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDockWidget>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <filesystem>

#include "oxuctrl/oxuctrl.h"
#include "pulmetra/bars/patientbar.h"
#include "pulmetra/bars/resultbar.h"
#include "pulmetra/framebars.h"
#include "pulmetra/mainframe.h"
#include "testsupport/qtapp.h"
#include "testsupport/screenreach.h"
#include "testsupport/testsupport.h"
#include "testsupport/xscreenenv.h"

namespace {

::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment(FIT_SCREEN));

class PulmetraFitScreen : public ::testing::Test {
protected:
    void SetUp() override {
        int nStatus = -1;
        testsupport::RunCommand(std::string(PYTHON_EXE " " SPIRO_FIXTURES_SCRIPT " ") +
                                    testsupport::ShellQuote(dir / "fx"),
                                &nStatus);
        ASSERT_EQ(nStatus, 0);
        ::setenv("CORVANE_CONTROL_DIR", FLOWLIN_DIR, 1);
        frame = std::make_unique<CMainFrame>();
        std::string strError;
        ASSERT_TRUE(frame->Create(&strError)) << strError;
        prompts = MakePulmetraPrompts(frame.get());
        frame->View()->SetPrompts(prompts.get());
        // As the program starts it.
        frame->ShowAtStart();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        rcScreen = frame->screen()->geometry();
        ASSERT_EQ(rcScreen.size(), QSize(FIT_SCREEN_WIDTH, FIT_SCREEN_HEIGHT));
        // The window manager's frame, the maximised size and the fit after them.
        testsupport::ProcessFor(500);
    }
    void TearDown() override { frame.reset(); }

    // The bars' controls a user cannot reach, with the reason.
    std::string Unreachable(testsupport::CRootPicture& picture) {
        std::vector<std::pair<std::string, QWidget*>> bars = {{"menu bar", frame->menuBar()},
                                                              {"status bar", frame->statusBar()}};
        for (QToolBar* p : frame->findChildren<QToolBar*>())
            bars.emplace_back(p->objectName().toStdString(), p);
        for (QDockWidget* p : frame->findChildren<QDockWidget*>())
            bars.emplace_back(p->objectName().toStdString(), p);
        return testsupport::Unreachable(bars, rcScreen, picture);
    }

    testsupport::CTempDir dir;
    testsupport::CEnvScope home{"CORVANE_HOME", (dir / "home").c_str()};
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "cfg").c_str()};
    testsupport::CScriptedNotifier notifier;
    std::unique_ptr<IPulmetraPrompts> prompts;
    std::unique_ptr<CMainFrame> frame;
    QRect rcScreen;
};

TEST_F(PulmetraFitScreen, TheWindowAndTheLeastSizeItAsksForLieWithinTheScreen) {
    EXPECT_EQ(testsupport::OutsideScreen(*frame, rcScreen,
                                         testsupport::CXScreenEnvironment::Screen().Display()),
              "");
}

TEST_F(PulmetraFitScreen, EveryControlOfTheBarsIsReachableDownToTheLastParameterRow) {
    std::filesystem::copy_file(dir / "fx/spiro_t1_f2.fvc", dir / "exam.fvc");
    ASSERT_TRUE(frame->Doc().OpenExam(dir / "exam.fvc", 0));
    testsupport::CRootPicture picture(testsupport::CXScreenEnvironment::Screen().Display(),
                                      dir.Path());
    auto* pPatient = frame->findChild<CPulmetraPatientBar*>();
    auto* pResult = frame->findChild<CPulmetraResultBar*>();
    ASSERT_NE(pPatient, nullptr);
    ASSERT_NE(pResult, nullptr);
    // The patient fields as shown and as edited (lists in place of two of them).
    for (bool bEdit : {false, true}) {
        pPatient->OnEdit(bEdit);
        testsupport::ProcessFor(300);
        EXPECT_EQ(Unreachable(picture), "") << (bEdit ? "editing" : "showing");
    }
    // The parameter table's last row, scrolled to in the table itself.
    CExListCtrl* pTable = pResult->Params();
    ASSERT_GT(pTable->topLevelItemCount(), 0);
    ASSERT_TRUE(testsupport::Reachable(pTable, rcScreen));
    QTreeWidgetItem* pLast = pTable->topLevelItem(pTable->topLevelItemCount() - 1);
    pTable->scrollToItem(pLast);
    testsupport::ProcessFor(200);
    const QRect rcRow = pTable->visualItemRect(pLast);
    const QRect rcGlobal(pTable->viewport()->mapToGlobal(rcRow.topLeft()), rcRow.size());
    const QRect rcViewport(pTable->viewport()->mapToGlobal(QPoint(0, 0)),
                           pTable->viewport()->size());
    EXPECT_FALSE(rcRow.isEmpty());
    EXPECT_TRUE(rcViewport.intersected(rcScreen).contains(rcGlobal.topLeft()));
}

}  // namespace
