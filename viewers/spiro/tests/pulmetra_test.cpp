// Pulmetra driven as a user would: frame, view and document over the real spirometry
// control, offscreen, over every test type and format of the fixtures; outputs judged by
// identify, qpdf, pdftotext, pydicom and the record reader.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QMimeData>
#include <QMessageBox>
#include <QMouseEvent>
#include <QUrl>
#include <QTabBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "oxuctrl/oxuctrl.h"
#include "platform/settings.h"
#include "pulmetra/bars/graphstylebar.h"
#include "pulmetra/bars/patientbar.h"
#include "pulmetra/bars/pulmetradialogs.h"
#include "pulmetra/bars/resultbar.h"
#include "pulmetra/framebars.h"
#include "viewers/common/examlist.h"
#include "pulmetra/mainframe.h"
#include "pulmetra/pulmetraapp.h"
#include "pulmetra/pulmetragraphwnd.h"
#include "platform/screennotifier.h"
#include "spiro_control/spirotestfile.h"
#include "testsupport/qtapp.h"
#include "testsupport/testsupport.h"
#include "viewers/common/orderdialogs.h"
#include "viewers/common/printdialogs.h"

using testsupport::CTempDir;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

::testing::Environment* const kApp =
    ::testing::AddGlobalTestEnvironment(new testsupport::CWidgetAppEnvironment);

// The fixtures, made once for the program.
const std::string& FixtureDir() {
    static CTempDir* s_pDir = nullptr;
    if (!s_pDir) {
        s_pDir = new CTempDir;
        int nStatus = -1;
        RunCommand(
            std::string(PYTHON_EXE " " SPIRO_FIXTURES_SCRIPT " ") + ShellQuote(s_pDir->Path()),
            &nStatus);
        EXPECT_EQ(nStatus, 0);
    }
    return s_pDir->Path();
}

struct Fixture {
    std::string name;  // file name
    int nType, nFormat, nTrials;
};

std::vector<Fixture> AllFixtures() {
    std::vector<Fixture> v;
    const char* exts[] = {"", ".fvc", ".svc", ".mvv", ".fvc", ".fvc"};
    for (int t = 1; t <= 5; ++t)
        for (int f = 0; f <= 2; ++f) {
            std::istringstream in(testsupport::ReadFile(FixtureDir() + "spiro_t" +
                                                        std::to_string(t) + "_f" +
                                                        std::to_string(f) + ".values"));
            std::string word;
            int nType = 0, nFormat = 0, nTrials = 0;
            in >> word >> nType >> nFormat >> nTrials;
            v.push_back({"spiro_t" + std::to_string(t) + "_f" + std::to_string(f) + exts[t], nType,
                         nFormat, nTrials});
        }
    return v;
}

// "info KIND HEX" of a values file, decoded.
std::string ValuesInfo(const std::string& strValues, int nKind) {
    std::istringstream in(testsupport::ReadFile(strValues));
    std::string line;
    const std::string strKey = "info " + std::to_string(nKind) + " ";
    while (std::getline(in, line)) {
        if (line.rfind(strKey, 0) != 0)
            continue;
        const std::string hex = line.substr(strKey.size());
        if (hex == "-")
            return {};
        std::string out;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        return out;
    }
    return {};
}

class CFakePrompts : public IPulmetraPrompts {
public:
    CString AskOpenPath() override { return openPath; }
    CString AskSavePath(const CString& strProposed, const CString& strFilter, BOOL& bText,
                        int& nFilter) override {
        proposed.push_back(strProposed);
        filters.push_back(strFilter);
        if (saves.empty())
            return {};
        auto [path, n] = saves.front();
        saves.pop_front();
        nFilter = n;
        if (nSaveText >= 0)
            bText = nSaveText;
        return path;
    }
    int RunDialog(QDialog& dlg) override {
        ++nDialogs;
        return onDialog ? onDialog(dlg) : QDialog::Rejected;
    }
    CString openPath;
    std::deque<std::pair<CString, int>> saves;
    std::vector<CString> proposed, filters;
    int nSaveText = -1;
    int nDialogs = 0;
    std::function<int(QDialog&)> onDialog;
};

class PulmetraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("CORVANE_HOME", (home.Path()).c_str(), 1);
        // The settings store of its own (the DICOM counters), also when tests run side by side.
        config =
            std::make_unique<testsupport::CEnvScope>("XDG_CONFIG_HOME", (home / "config").c_str());
        ::setenv("CORVANE_CONTROL_DIR", FLOWLIN_DIR, 1);
        FixtureDir();
    }
    void TearDown() override {
        frame.reset();
        config.reset();
        ::unsetenv("CORVANE_HOME");
    }
    void MakeFrame() {
        frame = std::make_unique<CMainFrame>();
        std::string strError;
        ASSERT_TRUE(frame->Create(&strError)) << strError;
        frame->View()->SetPrompts(&prompts);
        frame->resize(1024, 768);
        frame->show();
        QApplication::processEvents();
    }
    std::string Title() const { return frame->windowTitle().toStdString(); }
    std::vector<std::string> Messages() const {
        std::vector<std::string> v;
        for (auto& c : notifier.calls)
            v.push_back(c.text);
        return v;
    }
    std::string Fx(const std::string& name) { return FixtureDir() + name; }
    // A copy of a fixture in this test's folder.
    std::string Copy(const std::string& name, const std::string& as) {
        std::filesystem::copy_file(Fx(name), dir / as,
                                   std::filesystem::copy_options::overwrite_existing);
        return dir / as;
    }
    COxuPulmetraView& View() { return *frame->View(); }
    COxuPulmetraDoc& Doc() { return frame->Doc(); }
    CPulmetraGraphWnd& Active() { return *View().GetActiveWnd(); }
    QAction* Action(unsigned id) {
        frame->Commands().UpdateAll();
        return frame->Commands().Action(id);
    }
    void Send(QWidget* w, QEvent::Type type, QPoint pt, Qt::MouseButton button,
              Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
        QMouseEvent e(type, QPointF(pt), w->mapToGlobal(QPointF(pt)), button, buttons, mods);
        QApplication::sendEvent(w, &e);
    }
    // Left button down at (100, 100), moved by dy with Ctrl, released.
    void CtrlDrag(CPulmetraGraphWnd& w, int dy) {
        QWidget* c = w.Widget();
        Send(c, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton,
             Qt::ControlModifier);
        Send(c, QEvent::MouseMove, {100, 100 + dy}, Qt::NoButton, Qt::LeftButton,
             Qt::ControlModifier);
        Send(c, QEvent::MouseButtonRelease, {100, 100 + dy}, Qt::LeftButton, Qt::NoButton,
             Qt::ControlModifier);
    }

    CTempDir home, dir;
    std::unique_ptr<testsupport::CEnvScope> config;
    testsupport::CScriptedNotifier notifier;
    CFakePrompts prompts;
    std::unique_ptr<CMainFrame> frame;
};

// ---- exam list ----

TEST(PulmetraExamList, GrowsByFourThenByAnEighthAndFindsFiles) {
    CExamList list;
    std::vector<std::pair<int, int>> seen;
    int nLast = 0;
    for (int i = 0; i < 50; ++i) {
        auto* p = new CExamItem;
        list.Add(p);
        if (list.GetCapacity() != nLast)
            seen.emplace_back(i, nLast = list.GetCapacity());
    }
    const std::vector<std::pair<int, int>> expected = {{0, 4},   {4, 8},   {8, 12},  {12, 16},
                                                       {16, 20}, {20, 24}, {24, 28}, {28, 32},
                                                       {32, 36}, {36, 40}, {40, 45}, {45, 50}};
    EXPECT_EQ(seen, expected);
    CTempDir d;
    ASSERT_TRUE(testsupport::WriteFile(d / "a.fvc", "x"));
    auto* pItem = new CExamItem;
    pItem->SetValid(1);
    pItem->SetPath(d / "a.fvc");
    list.Add(pItem);
    EXPECT_EQ(list.FindByPath(d.Path() + "./a.fvc"), pItem);
    EXPECT_EQ(list.FindByPath(d / "A.fvc"), nullptr);
    EXPECT_EQ(pItem->GetDisplayName(), "[a.fvc]");
    EXPECT_EQ(CExamItem().GetDisplayName(), "Empty");
}

// ---- opening ----

TEST_F(PulmetraTest, EveryTypeAndFormatOpensWithItsSwitches) {
    MakeFrame();
    EXPECT_EQ(Title(), "Pulmetra [Local] - Empty");
    EXPECT_EQ(Action(COxuPulmetraView::ID_FV_VT)->text(), "FV/VT");
    EXPECT_FALSE(Action(COxuPulmetraView::ID_FV_VT)->isEnabled());
    EXPECT_EQ(Action(COxuPulmetraView::ID_ALL_BEST)->text(), "ALL/BEST");
    const auto fixtures = AllFixtures();
    ASSERT_EQ(fixtures.size(), 15u);
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(Doc().OpenExam(Fx(f.name), 0));
        EXPECT_EQ(Title(), "Pulmetra [Local] - [" + f.name + "]");
        EXPECT_EQ(Active().CFlowlin::GetTestType(), f.nType);
        EXPECT_EQ(Active().GetRecordPath(), Fx(f.name));
        const bool bFv = f.nType == 1 || f.nType == 4 || f.nType == 5;
        const bool bAll = (f.nType == 1 || f.nType == 4) && f.nTrials != 1;
        QAction* pFv = Action(COxuPulmetraView::ID_FV_VT);
        QAction* pAll = Action(COxuPulmetraView::ID_ALL_BEST);
        EXPECT_EQ(pFv->isEnabled(), bFv);
        EXPECT_EQ(pAll->isEnabled(), bAll);
        EXPECT_EQ(pFv->text().toStdString(), !bFv                         ? "FV/VT"
                                             : Active().GetFVCGraphType() ? "VT"
                                                                          : "FV");
        EXPECT_EQ(pAll->text().toStdString(), !bAll                       ? "ALL/BEST"
                                              : Active().GetFVCGraphNum() ? "BEST"
                                                                          : "ALL");
        if (bFv) {
            const short nBefore = Active().GetFVCGraphType();
            pFv->trigger();
            EXPECT_NE(Active().GetFVCGraphType() != 0, nBefore != 0);
            EXPECT_EQ(Action(COxuPulmetraView::ID_FV_VT)->text().toStdString(),
                      Active().GetFVCGraphType() ? "VT" : "FV");
        }
        if (bAll) {
            const short nBefore = Active().GetFVCGraphNum();
            pAll->trigger();
            EXPECT_NE(Active().GetFVCGraphNum() != 0, nBefore != 0);
            EXPECT_EQ(Action(COxuPulmetraView::ID_ALL_BEST)->text().toStdString(),
                      Active().GetFVCGraphNum() ? "BEST" : "ALL");
        }
    }
    EXPECT_EQ(Doc().List().GetSize(), 15);
    EXPECT_EQ(View().Tabs()->count(), 15);
    EXPECT_TRUE(Messages().empty());
    // A single-trial FVC test: ALL/BEST off.
    EXPECT_TRUE(notifier.calls.empty());
    Doc().OnCloseAll();
    EXPECT_EQ(Title(), "Pulmetra [Local] - Empty");
    EXPECT_EQ(View().Tabs()->count(), 0);
    EXPECT_FALSE(Action(COxuPulmetraView::ID_FV_VT)->isEnabled());
}

TEST_F(PulmetraTest, OpenedTwiceIsOneExamAndADamagedFileLeavesTheList) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t1_f2.fvc"), 0));
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t2_f1.svc"), 0));
    EXPECT_TRUE(Doc().OpenExam(FixtureDir() + "./spiro_t1_f2.fvc", 0));
    ASSERT_EQ(Messages(), std::vector<std::string>{"Exame j\xE1 est\xE1 aberto."});
    EXPECT_EQ(Doc().List().GetSize(), 2);
    EXPECT_EQ(Title(), "Pulmetra [Local] - [spiro_t1_f2.fvc]");
    EXPECT_EQ(View().Tabs()->currentIndex(), 0);
    // Damaged: cut short, and not a test at all.
    const std::string strData = testsupport::ReadFile(Fx("spiro_t4_f2.fvc"));
    ASSERT_TRUE(testsupport::WriteFile(dir / "cut.fvc", strData.substr(0, 500)));
    ASSERT_TRUE(testsupport::WriteFile(dir / "text.svc", "not a spirometry test"));
    for (const char* name : {"cut.fvc", "text.svc", "missing.mvv"}) {
        notifier.calls.clear();
        EXPECT_FALSE(Doc().OpenExam(dir / name, 0)) << name;
        EXPECT_EQ(Messages(), std::vector<std::string>{"Falha ao abrir o arquivo Spiro !!!"})
            << name;
        EXPECT_EQ(Doc().List().GetSize(), 2);
        // The exam shown before is shown again.
        EXPECT_EQ(Title(), "Pulmetra [Local] - [spiro_t1_f2.fvc]");
        EXPECT_EQ(Active().CFlowlin::GetTestType(), 1);
    }
    // Closing shows the last of the list; closing that too empties the window.
    Doc().OnClose();
    EXPECT_EQ(Doc().List().GetSize(), 1);
    EXPECT_EQ(Title(), "Pulmetra [Local] - [spiro_t2_f1.svc]");
    Doc().OnClose();
    EXPECT_EQ(Doc().List().GetSize(), 0);
    EXPECT_EQ(Title(), "Pulmetra [Local] - Empty");
    EXPECT_FALSE(Action(COxuPulmetraDoc::ID_CLOSE)->isEnabled());
}

TEST_F(PulmetraTest, IniDefaultsOfAFreshInstallation) {
    MakeFrame();
    const std::string strIni = testsupport::ReadFile(home / "Pulmetra/Pulmetra.ini");
    EXPECT_NE(strIni.find("[SPIRO_VIEW]"), std::string::npos) << strIni;
    EXPECT_NE(strIni.find("FILE_SERVER=127.0.0.1"), std::string::npos) << strIni;
    EXPECT_NE(strIni.find("FILE_SERVER_PORT=6003"), std::string::npos) << strIni;
    EXPECT_NE(strIni.find("CACHE_FOLDER=" + home.Path() + "Pulmetra/Cache"), std::string::npos)
        << strIni;
    frame.reset();
    // The view writes its flags back at the end.
    const std::string strAfter = testsupport::ReadFile(home / "Pulmetra/Pulmetra.ini");
    EXPECT_NE(strAfter.find("PRINT_DIAGNOSIS=1"), std::string::npos) << strAfter;
    EXPECT_NE(strAfter.find("PRINT_COMMENT=0"), std::string::npos) << strAfter;
    EXPECT_NE(strAfter.find("SAVE_COMMENT=0"), std::string::npos) << strAfter;
}

// ---- zoom and layouts ----

TEST_F(PulmetraTest, ZoomByCommandWheelAndCtrlDrag) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t1_f2.fvc"), 0));
    EXPECT_EQ(View().GetZoom(), 3);
    for (int i = 0; i < 9; ++i)
        Action(COxuPulmetraView::ID_ZOOM_IN)->trigger();
    EXPECT_EQ(View().GetZoom(), 10);
    EXPECT_EQ(frame->ZoomEntry(), 9);
    for (int i = 0; i < 12; ++i)
        Action(COxuPulmetraView::ID_ZOOM_OUT)->trigger();
    EXPECT_EQ(View().GetZoom(), 1);
    EXPECT_EQ(frame->ZoomEntry(), 0);
    // The wheel over a graph window steps the zoom.
    QWidget* c = Active().Widget();
    for (int delta : {120, 120, -120}) {
        QWheelEvent e(QPointF(50, 50), c->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(c, &e);
    }
    EXPECT_EQ(View().GetZoom(), 2);
    EXPECT_EQ(frame->ZoomEntry(), 1);
    // Ctrl-drag: 25 pixels down raises, 15 does nothing, 25 up lowers.
    CtrlDrag(Active(), 25);
    EXPECT_EQ(View().GetZoom(), 3);
    EXPECT_EQ(Active().m_nZoom, 3);
    EXPECT_EQ(frame->ZoomEntry(), 2);
    CtrlDrag(Active(), 15);
    EXPECT_EQ(View().GetZoom(), 3);
    CtrlDrag(Active(), -25);
    EXPECT_EQ(View().GetZoom(), 2);
    // Without Ctrl the drag only repaints.
    QWidget* w = Active().Widget();
    Send(w, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    Send(w, QEvent::MouseMove, {100, 160}, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    Send(w, QEvent::MouseButtonRelease, {100, 160}, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    EXPECT_EQ(View().GetZoom(), 2);
    // Level 10 by dragging stays at 10.
    for (int i = 0; i < 12; ++i)
        CtrlDrag(Active(), 30);
    EXPECT_EQ(View().GetZoom(), 10);
    EXPECT_EQ(frame->ZoomEntry(), 9);
    // Restore: level 3 everywhere, default pens.
    View().OnStyleMessage(1, 0x123456);
    View().OnStyleMessage(2, 4);
    View().OnStyleMessage(3, 5);
    View().OnStyleMessage(15, 6);
    View().OnStyleMessage(21, 0xFF);
    EXPECT_EQ(View().m_gridPen, (CSpiroPen{4, 5, 0x123456}));
    EXPECT_EQ(View().m_postPen.nStyle, 6);
    Action(COxuPulmetraView::ID_RESTORE_STYLES)->trigger();
    EXPECT_EQ(View().GetZoom(), 3);
    EXPECT_EQ(View().Wnd(0)->m_nZoom, 3);
    EXPECT_EQ(View().Wnd(1)->m_nZoom, 3);
    EXPECT_EQ(frame->ZoomEntry(), 2);
    EXPECT_EQ(View().m_gridPen, COxuPulmetraView::kGridPen);
    EXPECT_EQ(View().m_postPen, COxuPulmetraView::kPostPen);
    EXPECT_EQ(View().m_referencePen, COxuPulmetraView::kReferencePen);
    // Message 1224 item 17 sets the level.
    View().OnStyleMessage(17, 7);
    EXPECT_EQ(View().GetZoom(), 7);
}

// The divider between windows 2000 and 2001, one above the other and side by side: dragged
// as the mouse gives it to the view, kept at its share when the view changes size.
TEST_F(PulmetraTest, TheDividerBetweenTheWindowsIsDraggedAndKeepsItsShare) {
    MakeFrame();
    QApplication::processEvents();
    QWidget* w0 = View().findChild<QWidget*>("2000");
    QWidget* w1 = View().findChild<QWidget*>("2001");
    ASSERT_TRUE(w0 && w1);
    CSplitResizeHandler& split = *View().Split();
    const struct {
        unsigned nLayout;
        bool bSide;
        int nStep;
    } cases[] = {{COxuPulmetraView::ID_LAYOUT_2V, false, 100},
                 {COxuPulmetraView::ID_LAYOUT_2H, true, -150}};
    for (const auto& c : cases) {
        frame->resize(1024, 768);
        QApplication::processEvents();
        Action(c.nLayout)->trigger();
        auto extent = [&](QWidget* w) { return c.bSide ? w->width() : w->height(); };
        auto along = [&](const QPoint& pt) { return c.bSide ? pt.x() : pt.y(); };
        const QPoint step = c.bSide ? QPoint(c.nStep, 0) : QPoint(0, c.nStep);
        const QRect d = split.GetDividerRect(0);
        ASSERT_FALSE(d.isEmpty());
        EXPECT_EQ(along(w0->geometry().bottomRight()) + 1, along(d.topLeft()));
        EXPECT_EQ(along(w1->geometry().topLeft()), along(d.bottomRight()) + 1);
        // The cursor over the divider, as the mouse moves over the view.
        Send(&View(), QEvent::MouseMove, d.center(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        EXPECT_EQ(View().cursor().shape(), c.bSide ? Qt::SplitHCursor : Qt::SplitVCursor);
        const int e0 = extent(w0), e1 = extent(w1);
        Send(&View(), QEvent::MouseButtonPress, d.center(), Qt::LeftButton, Qt::LeftButton,
             Qt::NoModifier);
        Send(&View(), QEvent::MouseMove, d.center() + step, Qt::NoButton, Qt::LeftButton,
             Qt::NoModifier);
        Send(&View(), QEvent::MouseButtonRelease, d.center() + step, Qt::LeftButton, Qt::NoButton,
             Qt::NoModifier);
        EXPECT_EQ(extent(w0), e0 + c.nStep) << c.nLayout;
        EXPECT_EQ(extent(w1), e1 - c.nStep) << c.nLayout;
        // The separator is drawn where the divider now lies.
        const QRect moved = split.GetDividerRect(0);
        EXPECT_EQ(along(moved.topLeft()), along(d.topLeft()) + c.nStep);
        QApplication::processEvents();
        const QImage img = View().grab().toImage();
        EXPECT_EQ(img.pixelColor(moved.center()), QColor(0xA0, 0xA0, 0xA0)) << c.nLayout;
        // A bigger view keeps the divider's share.
        const double dShare = split.Share();
        frame->resize(1200, 900);
        QApplication::processEvents();
        EXPECT_DOUBLE_EQ(split.Share(), dShare);
        EXPECT_EQ(along(w0->geometry().bottomRight()) + 1,
                  along(split.GetDividerRect(0).topLeft()));
        EXPECT_NEAR(double(extent(w0)) / (extent(w0) + extent(w1)), dShare, 0.01);
        // Dragged past the end, the second window keeps its least extent.
        const QRect far = split.GetDividerRect(0);
        Send(&View(), QEvent::MouseButtonPress, far.center(), Qt::LeftButton, Qt::LeftButton,
             Qt::NoModifier);
        Send(&View(), QEvent::MouseMove, far.center() + step * 20, Qt::NoButton, Qt::LeftButton,
             Qt::NoModifier);
        Send(&View(), QEvent::MouseButtonRelease, far.center() + step * 20, Qt::LeftButton,
             Qt::NoButton, Qt::NoModifier);
        EXPECT_EQ(extent(c.nStep > 0 ? w1 : w0), CSplitResizeHandler::kMinPane) << c.nLayout;
    }
    // One window: the view's mouse is its own again.
    Action(COxuPulmetraView::ID_LAYOUT_1)->trigger();
    Send(&View(), QEvent::MouseButtonPress, split.GetDividerRect(0).center(), Qt::LeftButton,
         Qt::LeftButton, Qt::NoModifier);
    EXPECT_FALSE(split.IsDragging());
}

TEST_F(PulmetraTest, LayoutsActiveWindowAndTabs) {
    MakeFrame();
    QApplication::processEvents();
    const int W = View().width(), h = View().height() - 20;
    Action(COxuPulmetraView::ID_LAYOUT_2H)->trigger();
    EXPECT_EQ(View().Wnd(0)->geometry(), QRect(0, 0, (W - 3) / 2, h));
    EXPECT_EQ(View().Wnd(1)->geometry(), QRect((W - 3) / 2 + 3, 0, W - (W - 3) / 2 - 3, h));
    EXPECT_TRUE(View().Wnd(1)->isVisible());
    Action(COxuPulmetraView::ID_LAYOUT_2V)->trigger();
    EXPECT_EQ(View().Wnd(0)->geometry(), QRect(0, 0, W, (h - 3) / 2));
    EXPECT_EQ(View().Wnd(1)->geometry().top(), (h - 3) / 2 + 3);
    EXPECT_EQ(View().Tabs()->geometry(), QRect(0, h, W, 20));
    // Two exams, one per window; a click makes a window active and selects its tab.
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t1_f2.fvc"), 0));
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t3_f2.mvv"), 1));
    EXPECT_EQ(View().GetActiveIndex(), 0);
    QWidget* c1 = View().Wnd(1)->Widget();
    Send(c1, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    Send(c1, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    EXPECT_EQ(View().GetActiveIndex(), 1);
    EXPECT_EQ(Title(), "Pulmetra [Local] - [spiro_t3_f2.mvv]");
    EXPECT_EQ(View().Tabs()->tabText(View().Tabs()->currentIndex()), "[spiro_t3_f2.mvv]");
    EXPECT_FALSE(Action(COxuPulmetraView::ID_FV_VT)->isEnabled());
    // Selecting a tab shows its exam in the active window.
    View().Tabs()->setCurrentIndex(0);
    EXPECT_EQ(Title(), "Pulmetra [Local] - [spiro_t1_f2.fvc]");
    EXPECT_EQ(View().Wnd(1)->CFlowlin::GetTestType(), 1);
    // The active window's outline is blue, the other's red.
    const QImage img = View().grab().toImage();
    const QPoint p0 = View().Wnd(0)->geometry().topLeft() + QPoint(1, 1);
    const QPoint p1 = View().Wnd(1)->geometry().topLeft() + QPoint(1, 1);
    EXPECT_EQ(img.pixelColor(p1), QColor(0, 0, 255));
    EXPECT_EQ(img.pixelColor(p0), QColor(255, 0, 0));
    // The separator between the two windows: grey, edged darker.
    Action(COxuPulmetraView::ID_LAYOUT_2H)->trigger();
    QApplication::processEvents();
    const QImage sep = View().grab().toImage();
    const int nSepX = (W - 3) / 2;
    EXPECT_EQ(sep.pixelColor(nSepX + 1, h / 2), QColor(0xA0, 0xA0, 0xA0));
    EXPECT_EQ(sep.pixelColor(nSepX, h / 2), QColor(0x80, 0x80, 0x80));
    // Back to one window: the first becomes the active one.
    Action(COxuPulmetraView::ID_LAYOUT_1)->trigger();
    EXPECT_EQ(View().GetActiveIndex(), 0);
    EXPECT_FALSE(View().Wnd(1)->isVisible());
    EXPECT_EQ(View().Wnd(0)->geometry(), QRect(0, 0, W, h));
}

TEST_F(PulmetraTest, CopyDataIsCutAtTheLimitAndOnlyCodes28And30Count) {
    MakeFrame();
    // A file whose full path is exactly 1,023 bytes.
    std::string strDir = dir.Path();
    while (strDir.size() < 1023 - 260) {
        strDir += std::string(200, 'd') + "/";
    }
    ASSERT_TRUE(std::filesystem::create_directories(strDir));
    const std::string strFile = strDir + std::string(1023 - strDir.size() - 4, 'f') + ".fvc";
    ASSERT_EQ(strFile.size(), 1023u);
    std::filesystem::copy_file(Fx("spiro_t1_f1.fvc"), strFile);
    frame->OnCopyData(30, strFile + std::string(2000 - 1023, 'x'));
    EXPECT_EQ(Doc().List().GetSize(), 1);
    EXPECT_EQ(Active().GetRecordPath(), strFile);
    frame->OnCopyData(28, Fx("spiro_t2_f1.svc"));
    frame->OnCopyData(29, Fx("spiro_t2_f1.svc"));
    EXPECT_EQ(Doc().List().GetSize(), 1);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(PulmetraTest, DroppedFilesOpenAndTheOpenCommandTakesTheChosenFile) {
    MakeFrame();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(Fx("spiro_t3_f1.mvv")))});
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &drop);
    EXPECT_EQ(Title(), "Pulmetra [Local] - [spiro_t3_f1.mvv]");
    prompts.openPath = Fx("spiro_t5_f0.fvc");
    Action(COxuPulmetraView::ID_FILE_OPEN)->trigger();
    EXPECT_EQ(Title(), "Pulmetra [Local] - [spiro_t5_f0.fvc]");
    EXPECT_EQ(Doc().List().GetSize(), 2);
    // Cancelled: nothing changes.
    prompts.openPath.clear();
    Action(COxuPulmetraView::ID_FILE_OPEN)->trigger();
    EXPECT_EQ(Doc().List().GetSize(), 2);
}

// The keys the File menu shows run their commands, also in full screen where the menus hide.
TEST_F(PulmetraTest, TheMenusKeysRunTheirCommands) {
    MakeFrame();
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    EXPECT_EQ(Action(COxuPulmetraView::ID_FILE_OPEN)->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(Action(COxuPulmetraView::ID_FILE_PRINT)->shortcut(), QKeySequence("Ctrl+P"));
    auto press = [this](Qt::Key key) {
        QTest::keyClick(frame.get(), key, Qt::ControlModifier);
        QApplication::processEvents();
    };
    prompts.openPath = Fx("spiro_t2_f1.svc");
    press(Qt::Key_O);
    EXPECT_EQ(Title(), "Pulmetra [Local] - [spiro_t2_f1.svc]");
    prompts.onDialog = [](QDialog& dlg) {
        EXPECT_NE(dynamic_cast<CSpiroPrintDialog*>(&dlg), nullptr);
        return int(QDialog::Rejected);
    };
    press(Qt::Key_P);
    EXPECT_EQ(prompts.nDialogs, 1);
    Action(COxuPulmetraView::ID_FULL_SCREEN)->trigger();
    ASSERT_TRUE(frame->IsFullScreen());
    press(Qt::Key_P);
    EXPECT_EQ(prompts.nDialogs, 2);
}

TEST_F(PulmetraTest, FullScreenHidesTheBarsAndEscapeLeavesIt) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t1_f2.fvc"), 0));
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(frame->IsFullScreen());
    Action(COxuPulmetraView::ID_FULL_SCREEN)->trigger();
    EXPECT_TRUE(frame->IsFullScreen());
    EXPECT_FALSE(View().Tabs()->isVisible());
    EXPECT_FALSE(frame->statusBar()->isVisible());
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    EXPECT_TRUE(testsupport::ProcessUntil([&] { return !frame->IsFullScreen(); }, 3000));
    EXPECT_TRUE(View().Tabs()->isVisible());
    EXPECT_TRUE(frame->statusBar()->isVisible());
    // The bars command hides and shows status bar, rebar and the side bars together.
    Action(CMainFrame::ID_SHOW_BARS)->trigger();
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(frame->findChild<CPulmetraPatientBar*>()->isVisible());
    EXPECT_FALSE(frame->findChild<CGraphStyleBar*>()->isVisible());
    Action(CMainFrame::ID_SHOW_BARS)->trigger();
    EXPECT_TRUE(frame->statusBar()->isVisible());
    EXPECT_TRUE(frame->findChild<CPulmetraResultBar*>()->isVisible());
    // A double click in a graph window asks for full screen.
    QWidget* c = Active().Widget();
    Send(c, QEvent::MouseButtonDblClick, {20, 20}, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(testsupport::ProcessUntil([&] { return frame->IsFullScreen(); }, 3000));
}

// ---- Save As ----

TEST_F(PulmetraTest, SaveAsProposesTheNameAndWritesJpegPdfDicomAndACopy) {
    MakeFrame();
    const std::string strExam = Copy("spiro_t1_f2.fvc", "exam.fvc");
    ASSERT_TRUE(Doc().OpenExam(strExam, 0));
    prompts.saves.push_back({dir / "exam_fvc", 1});
    Action(COxuPulmetraView::ID_FILE_SAVE_AS)->trigger();
    ASSERT_EQ(prompts.proposed.size(), 1u);
    EXPECT_EQ(prompts.proposed[0], dir / "exam_fvc");
    EXPECT_EQ(prompts.filters[0],
              "JPEG Files(*.jpg)|*.jpg|PDF Files(*.pdf)|*.pdf|Dicom Files (*.dcm)|*.dcm|FVC Files "
              "(*.fvc)|*.fvc||");
    EXPECT_EQ(Messages(), std::vector<std::string>{"Exame salvo com sucesso."});
    EXPECT_EQ(RunCommand("identify -format '%m %w' " + ShellQuote(dir / "exam_fvc.jpg")),
              "JPEG 600");

    // PDF: a sound file that names the patient.
    prompts.saves.push_back({dir / "exam_fvc", 2});
    Action(COxuPulmetraView::ID_FILE_SAVE_AS)->trigger();
    int nStatus = -1;
    RunCommand("qpdf --check " + ShellQuote(dir / "exam_fvc.pdf"), &nStatus);
    EXPECT_EQ(nStatus, 0);
    const std::string strValues = FixtureDir() + "spiro_t1_f2.values";
    const std::string strId = ValuesInfo(strValues, 0);
    ASSERT_FALSE(strId.empty());
    const std::string strPdfText =
        RunCommand("pdftotext " + ShellQuote(dir / "exam_fvc.pdf") + " -");
    EXPECT_NE(strPdfText.find(strId), std::string::npos);
    // The footer names the program the view gave the control.
    EXPECT_NE(strPdfText.find("Qar Daro 1.16(20160621)"), std::string::npos) << strPdfText;

    // DICOM: patient, modality, study date from the test, the curves; our counters advance.
    platform::CSettingsStore store("Corvane/Pulmetra");
    const int nStudy = store.GetInt("Environment", "DCM STUDY ID", 0);
    prompts.saves.push_back({dir / "exam_fvc", 3});
    Action(COxuPulmetraView::ID_FILE_SAVE_AS)->trigger();
    const std::string strDate =
        ValuesInfo(strValues, 10) + ValuesInfo(strValues, 11) + ValuesInfo(strValues, 12);
    EXPECT_EQ(
        RunCommand(PYTHON_EXE " " DCMJUDGE_PY " attrs " + ShellQuote(dir / "exam_fvc.dcm") +
                   " PatientID=" + ShellQuote(strId) +
                   " Modality=PR StudyDate=" + (strDate.size() == 8 ? strDate : "") + " -- spiro " +
                   ShellQuote(dir / "exam_fvc.dcm") + " " + ShellQuote(strExam) + " 2>&1; echo $?"),
        "0\n");
    EXPECT_EQ(store.GetInt("Environment", "DCM STUDY ID", 0), nStudy + 1);

    // The record's own type: a copy the record reader reads with equal values.
    prompts.saves.push_back({dir / "copy.fvc", 4});
    Action(COxuPulmetraView::ID_FILE_SAVE_AS)->trigger();
    CSpiroTestFile a, b;
    ASSERT_GE(a.Open(strExam, 0), 0);
    ASSERT_GE(b.Open(dir / "copy.fvc", 0), 0);
    EXPECT_EQ(a.GetTestType(), b.GetTestType());
    for (short k : {0, 1, 2, 3, 4, 5, 10, 11, 12, 13, 14, 16, 17, 18})
        EXPECT_EQ(a.GetInformation(k), b.GetInformation(k)) << k;
    EXPECT_EQ(Messages().size(), 4u);
    for (const auto& m : Messages())
        EXPECT_EQ(m, "Exame salvo com sucesso.");
    // No text report without the box.
    EXPECT_FALSE(testsupport::Exists(dir / "exam_fvc.txt"));
}

TEST_F(PulmetraTest, SaveAsNamesByTestTypeAndFilterByRecordType) {
    const std::pair<const char*, int> names[] = {{"/a/exam.fvc", 1}, {"/a/exam.svc", 2},
                                                 {"/a/exam.mvv", 3}, {"/a/exam.fvc", 4},
                                                 {"/a/exam.FVC", 5}, {"/a/x.svc", 3}};
    const char* expected[] = {"/a/exam_fvc", "/a/exam_svc", "/a/exam_mvv",
                              "/a/exam_fvc", "/a/exam_fvc", "/a/x_mvv"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(COxuPulmetraView::DefaultSaveName(names[i].first, names[i].second), expected[i]);
    EXPECT_EQ(COxuPulmetraView::SaveFilter("/a/b.svc"),
              "JPEG Files(*.jpg)|*.jpg|PDF Files(*.pdf)|*.pdf|Dicom Files (*.dcm)|*.dcm|SVC Files "
              "(*.svc)|*.svc||");
    EXPECT_EQ(COxuPulmetraView::SaveFilter("/a/b.MVV"),
              "JPEG Files(*.jpg)|*.jpg|PDF Files(*.pdf)|*.pdf|Dicom Files (*.dcm)|*.dcm|MVV Files "
              "(*.mvv)|*.mvv||");
    EXPECT_EQ(COxuPulmetraView::SaveFilter("/a/b.dat"),
              "JPEG Files(*.jpg)|*.jpg|PDF Files(*.pdf)|*.pdf|Dicom Files (*.dcm)|*.dcm||");
}

TEST_F(PulmetraTest, DicomCarriesTheCurvesOfEachTestKind) {
    MakeFrame();
    for (const char* name :
         {"spiro_t2_f2.svc", "spiro_t3_f0.mvv", "spiro_t5_f1.fvc", "spiro_t4_f2.fvc"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Doc().OpenExam(Fx(name), 0));
        // The file's name says nothing of the kind: it comes from the control.
        EXPECT_TRUE(View().SaveToPath(dir / "k.dcm"));
        EXPECT_EQ(RunCommand(PYTHON_EXE " " DCMJUDGE_PY " spiro " + ShellQuote(dir / "k.dcm") +
                             " " + ShellQuote(Fx(name)) + " 2>&1; echo $?"),
                  "0\n");
    }
}

TEST_F(PulmetraTest, TheProgramsSaveDialogGivesTheNameTheFilterAndTheBox) {
    MakeFrame();
    auto real = MakePulmetraPrompts(frame.get());
    QString shown;
    QStringList filters;
    QTimer::singleShot(300, [&] {
        auto* d = qobject_cast<CSpiroFileDialog*>(QApplication::activeModalWidget());
        if (!d)
            return;
        shown = d->selectedFiles().value(0);
        filters = d->nameFilters();
        ASSERT_NE(d->SaveTextBox(), nullptr);
        EXPECT_FALSE(d->SaveTextBox()->isChecked());
        d->SaveTextBox()->setChecked(true);
        d->selectNameFilter(filters.value(1));
        // The user types a name of the own in the dialog's name field.
        if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit"))
            edit->setText("mine");
        QMetaObject::invokeMethod(d, "accept");
    });
    BOOL bText = FALSE;
    int nFilter = 0;
    const CString strPath = real->AskSavePath(
        dir / "exam_fvc", COxuPulmetraView::SaveFilter("/x/exam.fvc"), bText, nFilter);
    EXPECT_EQ(shown.toStdString(), dir / "exam_fvc");
    EXPECT_EQ(filters, (QStringList{"JPEG Files(*.jpg)", "PDF Files(*.pdf)", "Dicom Files (*.dcm)",
                                    "FVC Files (*.fvc)"}));
    EXPECT_EQ(strPath, dir / "mine");
    EXPECT_EQ(nFilter, 2);
    EXPECT_TRUE(bText);
}

TEST_F(PulmetraTest, SaveAsWithEachTypeChosenAndABareNameWritesThatType) {
    MakeFrame();
    auto real = MakePulmetraPrompts(frame.get());
    View().SetPrompts(real.get());
    const std::string strExam = Copy("spiro_t1_f2.fvc", "exam.fvc");
    ASSERT_TRUE(Doc().OpenExam(strExam, 0));
    const char* names[] = {"bare1", "bare2", "bare3", "bare4"};
    for (int nType = 0; nType < 4; ++nType) {
        QTimer::singleShot(300, [nType, &names] {
            auto* d = qobject_cast<CSpiroFileDialog*>(QApplication::activeModalWidget());
            if (!d)
                return;
            auto* pTypes = d->findChild<QComboBox*>("fileTypeCombo");
            pTypes->setCurrentIndex(nType);
            emit pTypes->activated(nType);
            d->findChild<QLineEdit*>("fileNameEdit")->setText(names[nType]);
            QMetaObject::invokeMethod(d, "accept");
        });
        notifier.calls.clear();
        Action(COxuPulmetraView::ID_FILE_SAVE_AS)->trigger();
        EXPECT_EQ(Messages(), std::vector<std::string>{"Exame salvo com sucesso."}) << nType;
    }
    EXPECT_EQ(RunCommand("identify -format %m " + ShellQuote(dir / "bare1.jpg")), "JPEG");
    int nStatus = -1;
    RunCommand("qpdf --check " + ShellQuote(dir / "bare2.pdf"), &nStatus);
    EXPECT_EQ(nStatus, 0);
    EXPECT_EQ(RunCommand(PYTHON_EXE " " DCMJUDGE_PY " spiro " + ShellQuote(dir / "bare3.dcm") +
                         " " + ShellQuote(strExam) + " 2>&1; echo $?"),
              "0\n");
    CSpiroTestFile copy;
    EXPECT_GE(copy.Open(dir / "bare4.fvc", 0), 0);
}

TEST_F(PulmetraTest, AnExistingNameAsksAndNoReturnsToTheDialog) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Copy("spiro_t2_f2.svc", "exam.svc"), 0));
    ASSERT_TRUE(testsupport::WriteFile(dir / "taken.jpg", "old"));
    prompts.saves.push_back({dir / "taken", 1});
    prompts.saves.push_back({dir / "taken.jpg", 1});
    prompts.saves.push_back({dir / "free.pdf", 2});
    notifier.answers = {platform::IDNO, platform::IDYES};
    Action(COxuPulmetraView::ID_FILE_SAVE_AS)->trigger();
    // Asked for "taken" (made "taken.jpg"): No, back to the dialog; the same name again: Yes.
    ASSERT_GE(prompts.proposed.size(), 2u);
    EXPECT_EQ(prompts.proposed[0], dir / "exam_svc");
    EXPECT_EQ(prompts.proposed[1], dir / "taken.jpg");
    ASSERT_GE(notifier.calls.size(), 2u);
    EXPECT_EQ(notifier.calls[0].type & platform::MB_TYPEMASK, platform::MB_YESNO);
    EXPECT_NE(notifier.calls[0].text.find(dir / "taken.jpg"), std::string::npos);
    // Korean as written, whatever the installation's code page.
    EXPECT_EQ(notifier.calls[0].Utf8(), dir / "taken.jpg" + " 파일이 존재합니다. 덮어 쓸까요?");
    // The second answer (Yes) overwrote it.
    EXPECT_EQ(RunCommand("identify -format '%m %w' " + ShellQuote(dir / "taken.jpg")), "JPEG 600");
    EXPECT_EQ(notifier.calls.back().text, "Exame salvo com sucesso.");
    EXPECT_EQ(prompts.saves.size(), 1u);  // the third name was never needed
}

TEST_F(PulmetraTest, AFailedDicomExportIsAFailedSaveAndTheWindowKeepsItsTest) {
    MakeFrame();
    const std::string strExam = Copy("spiro_t1_f2.fvc", "exam.fvc");
    ASSERT_TRUE(Doc().OpenExam(strExam, 0));
    // A name of the user's own that reads like another test ("other_SVC.dcm" beside an
    // "other.svc"): the export is given the record the window holds and its kind.
    Copy("spiro_t2_f2.svc", "other.svc");
    Copy("spiro_t3_f2.mvv", "ot.svc");
    EXPECT_TRUE(View().SaveToPath(dir / "other_SVC.dcm"));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Exame salvo com sucesso."});
    EXPECT_EQ(RunCommand(PYTHON_EXE " " DCMJUDGE_PY " spiro " + ShellQuote(dir / "other_SVC.dcm") +
                         " " + ShellQuote(strExam) + " 2>&1; echo $?"),
              "0\n");
    EXPECT_EQ(Active().CFlowlin::GetTestType(), 1);
    EXPECT_EQ(Active().GetRecordPath(), strExam);
    EXPECT_EQ(Title(), "Pulmetra [Local] - [exam.fvc]");
    // A folder that does not exist, and a name a folder holds: the export gives 0.
    ASSERT_TRUE(std::filesystem::create_directory(dir / "taken_fvc.dcm"));
    for (const char* name : {"nowhere/exam_fvc.dcm", "taken_fvc.dcm"}) {
        notifier.calls.clear();
        EXPECT_FALSE(View().SaveToPath(dir / name)) << name;
        EXPECT_EQ(Messages(), std::vector<std::string>{"Falha ao Gravar"}) << name;
    }
    EXPECT_FALSE(testsupport::Exists(dir / "nowhere/exam_fvc.dcm"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken_fvc.dcm"));
    // A copy or picture that cannot be written is a failed save too.
    for (const char* name : {"nowhere/a.jpg", "nowhere/a.pdf", "nowhere/a.fvc"}) {
        notifier.calls.clear();
        EXPECT_FALSE(View().SaveToPath(dir / name)) << name;
        EXPECT_EQ(Messages(), std::vector<std::string>{"Falha ao Gravar"}) << name;
    }
}

TEST_F(PulmetraTest, TheTextReportIsWrittenWholeOrGivesAFailure) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Copy("spiro_t4_f2.fvc", "exam.fvc"), 0));
    prompts.nSaveText = 1;
    prompts.saves.push_back({dir / "exam_fvc.jpg", 1});
    Action(COxuPulmetraView::ID_FILE_SAVE_AS)->trigger();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Exame salvo com sucesso."});
    const std::string strText = testsupport::ReadFile(dir / "exam_fvc.txt");
    EXPECT_EQ(strText.rfind("[Information]\r\n", 0), 0u) << strText;
    EXPECT_NE(strText.find("Id=" + ValuesInfo(FixtureDir() + "spiro_t4_f2.values", 0) + "\r\n"),
              std::string::npos);
    // The box is kept.
    EXPECT_NE(testsupport::ReadFile(home / "Pulmetra/Pulmetra.ini").find("SAVE_COMMENT=1"),
              std::string::npos);
    // A report that cannot be written: 65206, no report, nothing left behind.
    ASSERT_TRUE(std::filesystem::create_directory(dir / "blocked.txt"));
    notifier.calls.clear();
    EXPECT_FALSE(View().SaveToPath(dir / "blocked.pdf"));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Falha ao Gravar"});
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(e.path().filename().string().find("blocked.txt."), std::string::npos) << e.path();
    // Not for the record's own type.
    notifier.calls.clear();
    EXPECT_TRUE(View().SaveToPath(dir / "copy.fvc"));
    EXPECT_FALSE(testsupport::Exists(dir / "copy.txt"));
}

// ---- the bars in the frame ----

TEST_F(PulmetraTest, TheBarsFollowTheActiveWindowAndTheZoom) {
    MakeFrame();
    auto* patient = frame->findChild<CPulmetraPatientBar*>();
    auto* result = frame->findChild<CPulmetraResultBar*>();
    auto* style = frame->findChild<CGraphStyleBar*>();
    ASSERT_TRUE(patient && result && style);
    auto* id = patient->findChild<QLineEdit*>("1016");
    ASSERT_NE(id, nullptr);
    // No exam: both bars empty and disabled.
    EXPECT_TRUE(id->text().isEmpty());
    EXPECT_FALSE(patient->findChild<QWidget*>("1017")->isEnabled());
    EXPECT_FALSE(result->findChild<QWidget*>("1003")->isEnabled());
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t4_f2.fvc"), 0));
    EXPECT_EQ(id->text().toStdString(), ValuesInfo(FixtureDir() + "spiro_t4_f2.values", 0));
    EXPECT_TRUE(result->findChild<QWidget*>("1003")->isEnabled());
    // A second window with another test: a click there refreshes the bars from it.
    Action(COxuPulmetraView::ID_LAYOUT_2H)->trigger();
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t2_f0.svc"), 1));
    QWidget* c1 = View().Wnd(1)->Widget();
    Send(c1, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    Send(c1, QEvent::MouseButtonRelease, {10, 10}, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    EXPECT_EQ(id->text().toStdString(), ValuesInfo(FixtureDir() + "spiro_t2_f0.values", 0));
    // The zoom list follows commands and drags; "Padrão" brings back 3.
    Action(COxuPulmetraView::ID_ZOOM_IN)->trigger();
    EXPECT_EQ(style->ZoomList()->currentText(), "4");
    CtrlDrag(*View().Wnd(1), 25);
    EXPECT_EQ(style->ZoomList()->currentText(), "5");
    // The bar's own choice reaches the view.
    style->ChooseZoom(8);
    EXPECT_EQ(View().GetZoom(), 9);
    style->CommandButton(CGraphStyleBar::ID_RESTORE_STYLES)->click();
    EXPECT_EQ(View().GetZoom(), 3);
    EXPECT_EQ(style->ZoomList()->currentText(), "3");
    // The bar's FV/VT and ALL/BEST follow the frame's update (an SVC test: both off).
    frame->Commands().UpdateAll();
    EXPECT_FALSE(style->CommandButton(CGraphStyleBar::ID_FV_VT)->isEnabled());
    EXPECT_EQ(style->CommandButton(CGraphStyleBar::ID_ALL_BEST)->text(), "ALL/BEST");
    // Closing everything empties and disables them again.
    Doc().OnCloseAll();
    EXPECT_TRUE(id->text().isEmpty());
    EXPECT_FALSE(result->findChild<QWidget*>("1003")->isEnabled());
}

TEST_F(PulmetraTest, TheStyleBarsDefaultEntriesDrawAsTheViewsDefaultPens) {
    MakeFrame();
    Action(COxuPulmetraView::ID_LAYOUT_2H)->trigger();
    ASSERT_TRUE(Doc().OpenExam(Fx("shaped_t5_f2.fvc"), 0));
    ASSERT_TRUE(Doc().OpenExam(Fx("shaped_t1_f0.fvc"), 1));
    QApplication::processEvents();
    auto grabs = [&] {
        return std::make_pair(View().Wnd(0)->Widget()->grab().toImage(),
                              View().Wnd(1)->Widget()->grab().toImage());
    };
    const auto before = grabs();
    auto* style = frame->findChild<CGraphStyleBar*>();
    ASSERT_NE(style, nullptr);
    using G = CGraphStyleBar;
    // Something else first, so that the defaults have to be drawn again.
    for (G::Pen pen : {G::PEN_GRID, G::PEN_PRE, G::PEN_POST, G::PEN_PREDICTED}) {
        style->PickColour(pen, 0x808000);
        style->ChooseWidth(pen, 5);
    }
    QApplication::processEvents();
    EXPECT_NE(grabs().first, before.first);
    // The entries the bar shows by default, picked.
    style->ShowDefaults();
    for (G::Pen pen : {G::PEN_GRID, G::PEN_PRE, G::PEN_POST, G::PEN_PREDICTED}) {
        style->PickColour(pen, style->Picker(pen)->GetColour());
        style->ChooseStyle(pen, style->StyleList(pen)->currentIndex());
        style->ChooseWidth(pen, style->WidthList(pen)->currentIndex());
    }
    QApplication::processEvents();
    const auto after = grabs();
    EXPECT_EQ(View().m_gridPen, COxuPulmetraView::kGridPen);
    EXPECT_EQ(View().m_graphPen, COxuPulmetraView::kGraphPen);
    EXPECT_EQ(View().m_postPen, COxuPulmetraView::kPostPen);
    EXPECT_EQ(View().m_referencePen, COxuPulmetraView::kReferencePen);
    EXPECT_TRUE(after.first == before.first);
    EXPECT_TRUE(after.second == before.second);
}

TEST_F(PulmetraTest, TheTextReportOfEachTestType) {
    MakeFrame();
    prompts.nSaveText = 1;
    struct {
        const char* name;
        int nType;
        const char* section;
    } cases[] = {{"spiro_t1_f2.fvc", 1, "\r\n[Parameter - FVC]\r\n"},
                 {"spiro_t2_f2.svc", 2, "\r\n[Parameter - SVC]\r\n"},
                 {"spiro_t3_f2.mvv", 3, "\r\n[Parameter - MVV]\r\n"},
                 {"spiro_t4_f2.fvc", 4, "\r\n[Parameter - FVC]\r\n"},
                 {"spiro_t5_f2.fvc", 5, "\r\n[Parameter - FVC Base]\r\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Doc().OpenExam(Fx(c.name), 0));
        const std::string strBase = dir / ("t" + std::to_string(c.nType));
        prompts.saves.push_back({strBase, 2});
        Action(COxuPulmetraView::ID_FILE_SAVE_AS)->trigger();
        const std::string strText = testsupport::ReadFile(strBase + ".txt");
        ASSERT_FALSE(strText.empty());
        const std::string strValues =
            FixtureDir() + std::string(c.name).substr(0, std::string(c.name).size() - 4) +
            ".values";
        EXPECT_EQ(strText.rfind("[Information]\r\n", 0), 0u);
        // Height and weight as the test stores them, whatever its unit.
        EXPECT_NE(strText.find("\r\nHeight=" + ValuesInfo(strValues, 4) + " cm\r\n"),
                  std::string::npos)
            << strText;
        EXPECT_NE(strText.find("\r\nWeight=" + ValuesInfo(strValues, 5) + " kg\r\n"),
                  std::string::npos)
            << strText;
        const bool bDiagnosis = c.nType == 1 || c.nType == 4;
        EXPECT_EQ(strText.find("\r\nDiagnosis=") != std::string::npos, bDiagnosis) << strText;
        EXPECT_EQ(strText.find("\r\nFVC Prediction Formula=") != std::string::npos, bDiagnosis)
            << strText;
        EXPECT_NE(strText.find(c.section), std::string::npos) << strText;
        // Every line ends in CR LF.
        for (std::size_t p = strText.find('\n'); p != std::string::npos;
             p = strText.find('\n', p + 1))
            ASSERT_TRUE(p > 0 && strText[p - 1] == '\r') << p;
    }
}

// ---- printing, preview, order ----

TEST_F(PulmetraTest, ThePreviewsPrintLeadsToThePrintDialog) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t1_f2.fvc"), 0));
    bool bSawPrintDialog = false;
    prompts.onDialog = [&](QDialog& dlg) {
        bSawPrintDialog = dynamic_cast<CSpiroPrintDialog*>(&dlg) != nullptr;
        return int(QDialog::Rejected);
    };
    // The preview is answered with its print button (accepted).
    QTimer::singleShot(200, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->accept();
    });
    Action(COxuPulmetraView::ID_FILE_PRINT_PREVIEW)->trigger();
    EXPECT_TRUE(bSawPrintDialog);
    EXPECT_EQ(prompts.nDialogs, 1);
    // Closed without printing: no print dialog.
    QTimer::singleShot(200, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->reject();
    });
    Action(COxuPulmetraView::ID_FILE_PRINT_PREVIEW)->trigger();
    EXPECT_EQ(prompts.nDialogs, 1);
    // Without a window there is nothing to print: message 65204.
    EXPECT_TRUE(Messages().empty());
}

TEST_F(PulmetraTest, APrinterThatRefusesGivesThePrintFailure) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("spiro_t2_f2.svc"), 0));
    View().m_strPrinter = "no-such-queue-here";
    Action(COxuPulmetraView::ID_FILE_PRINT_DIRECT)->trigger();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Erro de Impress\xE3o"});
}

// Accepts on 127.0.0.1 and keeps what each connection sent until it closed.
struct Receiver {
    QTcpServer server;
    std::vector<QByteArray> orders;
    Receiver() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                auto* data = new QByteArray;
                QObject::connect(s, &QTcpSocket::readyRead, [s, data] { *data += s->readAll(); });
                QObject::connect(s, &QTcpSocket::disconnected, [this, s, data] {
                    *data += s->readAll();
                    orders.push_back(*data);
                    delete data;
                    s->deleteLater();
                });
            }
        });
    }
    int Port() const { return server.serverPort(); }
};

TEST_F(PulmetraTest, SendOrderCarriesTheCheckedTestsMask) {
    MakeFrame();
    Receiver rx;
    struct {
        std::vector<int> boxes;
        unsigned mask;
    } cases[] = {{{1019}, 2}, {{1020, 1021}, 12}, {{1019, 1020, 1021}, 14}};
    for (const auto& c : cases) {
        prompts.onDialog = [&](QDialog& dlg) {
            auto* p = dynamic_cast<CSendRecordDialog*>(&dlg);
            if (!p)
                return int(QDialog::Rejected);
            p->SetPort(rx.Port());
            for (auto [id, text] : std::vector<std::pair<int, const char*>>{
                     {1013, "127.0.0.1"}, {1012, "P-77"}, {1006, "Ana"}})
                if (auto* e = p->findChild<QLineEdit*>(QString::number(id)))
                    e->setText(text);
            for (int b : c.boxes)
                p->findChild<QCheckBox*>(QString::number(b))->setChecked(true);
            p->accept();
            testsupport::ProcessUntil(
                [&] { return p->result() == QDialog::Accepted || !p->IsConnecting(); }, 5000);
            return p->result();
        };
        const size_t before = rx.orders.size();
        Action(COxuPulmetraView::ID_SEND_RECORD)->trigger();
        ASSERT_TRUE(testsupport::ProcessUntil([&] { return rx.orders.size() > before; }, 5000));
        const QByteArray& o = rx.orders.back();
        ASSERT_EQ(o.size(), 135);
        // After the 3-byte prefix, the record's byte 113 holds the tests.
        EXPECT_EQ(static_cast<unsigned char>(o[3 + 113]), c.mask);
        EXPECT_NE(o.indexOf("P-77"), -1);
    }
    EXPECT_NE(testsupport::ReadFile(home / "Pulmetra/Pulmetra.ini").find("IP_ADDRESS=127.0.0.1"),
              std::string::npos);
}

TEST_F(PulmetraTest, CommandsWithoutAWindowSayUnexpected) {
    MakeFrame();
    // Every command on an empty view that needs a test: the unexpected-error text where the
    // view is asked directly.
    View().OnFileSaveAs();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Erro Inesperado !!!"});
    EXPECT_FALSE(Action(COxuPulmetraView::ID_FILE_SAVE_AS)->isEnabled());
    EXPECT_FALSE(Action(COxuPulmetraView::ID_FILE_PRINT)->isEnabled());
}

// ---- the application ----

class CLoginApp : public CPulmetraApp {
public:
    BOOL Login(const CString& u, const CString& p) override {
        logins.emplace_back(u, p);
        return 0;
    }
    std::vector<std::pair<CString, CString>> logins;
};

TEST_F(PulmetraTest, StartUpCallsTheLoginHookAndOpensTheFile) {
    CTempDir run, data;
    testsupport::CEnvScope runtime("XDG_RUNTIME_DIR", run.Path().c_str());
    testsupport::CEnvScope xdg("XDG_DATA_HOME", data.Path().c_str());
    struct {
        std::vector<CString> args;
        std::pair<CString, CString> login;
        const char* title;
    } cases[] = {
        {{"-u", "ana", "-p", "pw", Fx("spiro_t2_f0.svc")},
         {"ana", "pw"},
         "Pulmetra [Local] - [spiro_t2_f0.svc]"},
        {{"-u", "ana"}, {"", ""}, "Pulmetra [Local] - Empty"},
        {{"-p", "pw", "-sid", "S1"}, {"", ""}, "Pulmetra [Local] - Empty"},
    };
    for (const auto& c : cases) {
        CLoginApp app;
        ASSERT_TRUE(app.InitInstance(c.args, false));
        ASSERT_EQ(app.logins.size(), 1u);
        EXPECT_EQ(app.logins[0], c.login);
        EXPECT_EQ(app.Frame()->windowTitle().toStdString(), c.title);
        // Command 32787 calls the hook with two empty texts.
        app.Frame()->Commands().OnCommand(CMainFrame::ID_LOGIN);
        ASSERT_EQ(app.logins.size(), 2u);
        EXPECT_EQ(app.logins[1], (std::pair<CString, CString>{"", ""}));
        // A second application of the same user is the second instance.
        CLoginApp second;
        EXPECT_FALSE(second.InitInstance({"-sid", "S2"}, false));
        EXPECT_TRUE(second.IsSecondInstance());
        EXPECT_TRUE(second.logins.empty());
        app.ExitInstance();
    }
}

TEST(PulmetraScreen, MessagesAreBoxesWithTheAskedButtons) {
    platform::CScreenNotifier screen("Pulmetra");
    struct {
        unsigned type;
        QMessageBox::StandardButton press;
        int answer;
    } cases[] = {
        {platform::MB_YESNO | platform::MB_ICONQUESTION, QMessageBox::No, platform::IDNO},
        {platform::MB_YESNO | platform::MB_ICONQUESTION, QMessageBox::Yes, platform::IDYES},
        {platform::MB_ICONERROR, QMessageBox::Ok, platform::IDOK}};
    for (const auto& c : cases) {
        QString text, title;
        bool bHasButton = false;
        QTimer::singleShot(200, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->text();
            title = box->windowTitle();
            QAbstractButton* b = box->button(c.press);
            bHasButton = b != nullptr;
            if (b)
                b->click();
            else
                box->reject();
        });
        // Code-page text (CP1252 here) shown as Unicode.
        EXPECT_EQ(screen.Ask("Exame j\xE1 est\xE1 aberto.", {}, c.type), c.answer);
        EXPECT_TRUE(bHasButton);
        EXPECT_EQ(text, QString::fromUtf8("Exame já está aberto."));
        EXPECT_EQ(title, "Pulmetra");
    }
}

TEST(PulmetraShell, GlobsOnlyForExtensionsNoOtherProgramClaims) {
    CTempDir data;
    testsupport::CEnvScope xdg("XDG_DATA_HOME", data.Path().c_str());
    testsupport::CEnvScope dirs("XDG_DATA_DIRS", (data / "none").c_str());
    ASSERT_TRUE(testsupport::WriteFile(
        data / "mime/packages/other.xml",
        "<mime-info><mime-type type=\"x/y\"><glob pattern=\"*.svc\"/></mime-type></mime-info>"));
    // The compiled lists of the system's folders count too (globs2 with flags).
    ASSERT_TRUE(testsupport::WriteFile(data / "sys/mime/globs2",
                                       "# comment\n50:x/z:*.MVV:cs\n50:x/w:*.mvvx\n"));
    EXPECT_EQ(CPulmetraApp::ClaimedExtensions(), std::vector<CString>{"svc"});
    {
        testsupport::CEnvScope sys("XDG_DATA_DIRS", (data / "sys").c_str());
        EXPECT_EQ(CPulmetraApp::ClaimedExtensions(), (std::vector<CString>{"svc", "mvv"}));
    }
    CPulmetraApp::RegisterShellFileTypes();
    const std::string strXml = testsupport::ReadFile(data / "mime/packages/corvane-pulmetra.xml");
    EXPECT_NE(strXml.find("\"*.fvc\""), std::string::npos) << strXml;
    EXPECT_NE(strXml.find("\"*.mvv\""), std::string::npos) << strXml;
    EXPECT_EQ(strXml.find("\"*.svc\""), std::string::npos) << strXml;
    EXPECT_NE(testsupport::ReadFile(data / "applications/corvane-pulmetra.desktop")
                  .find("MimeType=application/x-pulmetra-document;"),
              std::string::npos);
    // Our own package does not count as another program's claim.
    EXPECT_EQ(CPulmetraApp::ClaimedExtensions(), std::vector<CString>{"svc"});
}

}  // namespace
