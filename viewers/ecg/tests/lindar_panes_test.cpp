// "2 x 1" on a real X screen: Lindar's application in this process, the panes pressed with the
// X server's own pointer, a real second start handing a record over, the layouts and Close on
// their keys. After each of them the selected tab, the window's name and the patient bar name
// one record, and Save As, answered on the screen, writes that record byte for byte (cmp).
#include <QLineEdit>
#include <QTabBar>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "ecg_control/wavelin_dispids.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/patientbar.h"
#include "lindarappscene.h"
#include "platform/dispatch.h"
#include "testsupport/xscreenenv.h"
#include "viewers/common/examlist.h"

namespace {

::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment);

enum class EAction { PressUpper, PressLower, SecondStart, OnePane, TwoPanes, Close };

struct CStep {
    const char* pszWhat;
    EAction eAction;
    char cNamed;  // the record that the screen then names: 'a', 'b' or 'c'
};

// The upper pane shows a, the lower c; b is handed over by a second start.
const CStep kSteps[] = {
    {"a press on the lower pane", EAction::PressLower, 'c'},
    {"a press on the upper pane", EAction::PressUpper, 'a'},
    {"a press on the lower pane again", EAction::PressLower, 'c'},
    // Into the upper pane, as every hand-over; what was handed over is what the user acts on.
    {"a second start with b", EAction::SecondStart, 'b'},
    {"a press on the lower pane after it", EAction::PressLower, 'c'},
    // One pane shows the upper pane, which becomes current.
    {"1 x 1 with the lower pane current", EAction::OnePane, 'b'},
    {"2 x 1 again", EAction::TwoPanes, 'b'},
    {"a press on the lower pane in 2 x 1 again", EAction::PressLower, 'c'},
    // The last exam of the list comes into the upper pane.
    {"Close of the lower pane's record", EAction::Close, 'b'},
    {"Close of the upper pane's record", EAction::Close, 'a'},
};

const char* PatientOf(char c) {
    return c == 'a' ? "Ana Almeida" : c == 'b' ? "Bruno Barros" : "Carla Costa";
}

class LindarPanes : public ::testing::Test, protected CLindarAppScene {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeFolders());
        ASSERT_TRUE(platform::RegisterControl({wavelin::kProgId, wavelin::kClsid, WAVELIN_PATH}));
        int nRate = 60;
        for (char c : {'a', 'b', 'c'}) {
            MakeRecord(Record(c), PatientOf(c), nRate);
            nRate += 15;
        }
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_NO_FATAL_FAILURE(StartWith(Record('a')));
    }
    void TearDown() override { Stop(); }

    std::string Record(char c) const { return dir / (std::string(1, c) + ".ekg"); }
    static const testsupport::CXvfb& X() { return testsupport::CXScreenEnvironment::Screen(); }
    COxuLindarView& View() { return *Frame().View(); }

    // What the user does at the screen, on a thread of its own, while this thread keeps the
    // program's event loop going.
    static void AtTheScreen(const std::function<void()>& act) {
        std::atomic<bool> bDone{false};
        std::thread user([&] {
            act();
            bDone = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return bDone.load(); }, 120000));
        user.join();
    }
    void Press(int nPane) {
        CLindarGraphWnd& pane = *View().Pane(nPane);
        const QPoint pt = pane.mapToGlobal(pane.rect().center());
        AtTheScreen([&] { X().Click(pt.x(), pt.y()); });
    }
    // The menu's keys, typed into the program's window.
    void Keys(const char* pszKeys) {
        const std::string strId = X().WaitForWindowId("^Lindar - ", 10000);
        ASSERT_FALSE(strId.empty()) << X().Tree();
        AtTheScreen([&] { X().Key(strId, pszKeys); });
    }
    void Act(EAction e) {
        switch (e) {
            case EAction::PressUpper:
                Press(0);
                ASSERT_TRUE(QTest::qWaitFor([&] { return View().GetCurrentPane() == 0; }, 10000));
                break;
            case EAction::PressLower:
                Press(1);
                ASSERT_TRUE(QTest::qWaitFor([&] { return View().GetCurrentPane() == 1; }, 10000));
                break;
            case EAction::SecondStart: {
                int nStatus = -1;
                AtTheScreen([&] {
                    testsupport::RunCommand(SecondStart(Record('b')) + " >/dev/null 2>&1",
                                            &nStatus);
                });
                ASSERT_EQ(nStatus, 0);
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return Frame().Doc().List().FindByPath(Record('b')) != nullptr; },
                    10000));
                break;
            }
            case EAction::OnePane:
                ASSERT_NO_FATAL_FAILURE(Keys("ctrl+1"));
                ASSERT_TRUE(QTest::qWaitFor([&] { return !View().Pane(1)->isVisible(); }, 10000));
                break;
            case EAction::TwoPanes:
                ASSERT_NO_FATAL_FAILURE(Keys("ctrl+2"));
                ASSERT_TRUE(QTest::qWaitFor([&] { return View().Pane(1)->isVisible(); }, 10000));
                break;
            case EAction::Close: {
                const int nBefore = Frame().Doc().List().GetSize();
                ASSERT_NO_FATAL_FAILURE(Keys("ctrl+F4"));
                ASSERT_TRUE(QTest::qWaitFor(
                    [&] { return Frame().Doc().List().GetSize() == nBefore - 1; }, 10000));
                break;
            }
        }
    }
    // The selected tab as the user reads it: its text and its tooltip (the full path).
    std::string TabText() const {
        QTabBar& t = *app->Frame()->View()->Tabs();
        return t.tabText(t.currentIndex()).toStdString() + " " +
               t.tabToolTip(t.currentIndex()).toStdString();
    }
    // Save As through its dialog, a file name typed into it and the box after it answered.
    testsupport::CHandOverUser::CSeen SaveAsOnTheScreen(const std::string& strOut) {
        testsupport::CHandOverUser::CScript script;
        script.strDialog = "^Save As$";
        script.strTyped = strOut;
        script.strSwitchedTitle = Title();  // nothing is handed over meanwhile
        script.strBoxes = "^Lindar$";
        script.nBoxes = 1;
        script.nTimeoutMs = 15000;
        return testsupport::CHandOverUser::During(X(), script, [&] {
            Frame().Commands().UpdateAll();
            EXPECT_TRUE(Frame().Commands().OnCommand(COxuLindarView::ID_FILE_SAVE_AS));
        });
    }
};

TEST_F(LindarPanes, TheTabAndTheTitleNameTheRecordThatSaveAsWrites) {
    Frame().Commands().OnCommand(COxuLindarView::ID_LAYOUT_2);
    ASSERT_TRUE(Frame().Doc().OpenExam(Record('c'), 1));
    ASSERT_EQ(View().Pane(0)->m_pExam->GetPath(), Record('a'));

    int n = 0;
    for (const CStep& step : kSteps) {
        SCOPED_TRACE(step.pszWhat);
        ASSERT_NO_FATAL_FAILURE(Act(step.eAction));
        const std::string strNamed = Record(step.cNamed);
        EXPECT_EQ(TabText(), "[" + std::string(1, step.cNamed) + ".ekg] " + strNamed);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Title() == "Lindar - " + strNamed; }, 3000))
            << Title();
        EXPECT_TRUE(X().WaitForWindow("Lindar - " + strNamed, 3000)) << Title();
        // The bars follow with the frame's refresh, which may come posted.
        QLineEdit& name = *Frame().PatientBar()->FieldEdit(CPatientBar::NAME);
        EXPECT_TRUE(QTest::qWaitFor([&] { return name.text() == PatientOf(step.cNamed); }, 3000))
            << name.text().toStdString();

        const std::string strOut = dir / ("out/" + std::to_string(++n) + ".ekg");
        const testsupport::CHandOverUser::CSeen seen = SaveAsOnTheScreen(strOut);
        ASSERT_TRUE(seen.bDialog) << X().Tree();
        ASSERT_EQ(seen.boxes.size(), 1u);
        EXPECT_NE(seen.boxes[0].find("Gravado com sucesso."), std::string::npos) << seen.boxes[0];
        for (char c : {'a', 'b', 'c'})
            EXPECT_EQ(Same(strOut, Record(c)), c == step.cNamed) << "against " << c << ".ekg";
    }
}

}  // namespace
