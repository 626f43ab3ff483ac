// Lindar driven as a user would: the frame, view and document over the real ECG control,
// offscreen; outputs judged by identify, qpdf, pdftotext, xmllint and pydicom.
#include <QApplication>
#include <QHeaderView>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

#include "ecg_control/wavelin_dispids.h"
#include "viewers/common/examlist.h"
#include "lindar/lindarapp.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/lindarstrings.h"
#include "lindar/mainframe.h"
#include "platform/dispatch.h"
#include "platform/folders.h"
#include "platform/settings.h"
#include "testsupport/testsupport.h"
#include "lindarframe.h"
#include "lindar/lindardialogs.h"
#include "printanswer.h"
#include <QCheckBox>
#include <QPushButton>
#include "oxuctrl/oxuctrl.h"
#include "viewers/common/readoutdialog.h"
#include <QMenuBar>

using testsupport::CTempDir;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

// ---- exam list ----

TEST(ExamList, GrowsByFourBelowThirtyTwoThenByAnEighth) {
    CExamList list;
    std::vector<std::pair<int, int>> seen;  // size before append -> capacity after
    int nLast = 0;
    for (int i = 0; i < 80; ++i) {
        list.Add(new CExamItem);
        if (list.GetCapacity() != nLast) {
            seen.emplace_back(i, list.GetCapacity());
            nLast = list.GetCapacity();
        }
    }
    const std::vector<std::pair<int, int>> expected = {{0, 4},   {4, 8},   {8, 12},  {12, 16}, {16, 20},
                                                       {20, 24}, {24, 28}, {28, 32}, {32, 36}, {36, 40},
                                                       {40, 45}, {45, 50}, {50, 56}, {56, 63}, {63, 70},
                                                       {70, 78}, {78, 87}};
    EXPECT_EQ(seen, expected);
    list.RemoveAll();
    EXPECT_EQ(list.GetSize(), 0);
    EXPECT_EQ(list.GetCapacity(), 0);
}

TEST(ExamList, FindsFilesNotSpellings) {
    CTempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir / "A.ekg", "x"));
    ASSERT_TRUE(testsupport::WriteFile(dir / "a.ekg", "y"));
    CExamList list;
    auto* pItem = new CExamItem;
    pItem->SetValid(1);
    pItem->SetPath(dir / "A.ekg");
    list.Add(pItem);
    EXPECT_EQ(list.FindByPath(dir / "A.ekg"), pItem);
    EXPECT_EQ(list.FindByPath(dir.Path() + "./A.ekg"), pItem);
    EXPECT_EQ(list.FindByPath(dir / "a.ekg"), nullptr);  // another file on Linux
    EXPECT_EQ(pItem->GetDisplayName(), "[A.ekg]");
    EXPECT_EQ(pItem->GetTitle(), dir / "A.ekg");
    CExamItem empty;
    EXPECT_EQ(empty.GetTitle(), "Empty");
    EXPECT_EQ(empty.GetDisplayName(), "Empty");
    EXPECT_TRUE(list.Remove(&empty));  // not held: nothing happens
    EXPECT_TRUE(list.Remove(pItem));
    EXPECT_EQ(list.GetSize(), 0);
}

TEST(LindarView, AddressesAndSizes) {
    const std::pair<const char*, bool> cases[] = {
        {"1.2.3.4", true},     {"192.168.0.255", true}, {"192.168.0.256", false}, {"1.2.3", false},
        {"1.2.3.4.5", false},  {"1..3.4", false},       {"a.b.c.d", false},       {"", false},
        {"0.0.0.0", true},     {"1234.1.1.1", false},   {"1.2.3.4 ", false},
    };
    for (auto [s, ok] : cases) EXPECT_EQ(COxuLindarView::IsValidAddress(s), ok) << s;
    const std::pair<int, int> widths[] = {{0, 800}, {1, 900}, {2, 1024}, {3, 1280}, {4, 1600}, {5, 2700}, {9, 1024}, {-1, 1024}};
    for (auto [n, w] : widths) EXPECT_EQ(COxuLindarView::JpegWidth(n), w);
    EXPECT_EQ(CLindarGraphWnd::CellSizeOf("800 x 600"), 3);
    EXPECT_EQ(CLindarGraphWnd::CellSizeOf("1600 x 1200"), 6);
    EXPECT_EQ(CLindarGraphWnd::CellSizeOf("640 x 480"), 2);
}

TEST(LindarFrame, TheStartPlaceIsCutToTheScreensAvailableArea) {
    struct Case {
        QRect rcScreen, rcAvailable, rcFrame;
    };
    const Case cases[] = {
        // The screen's width and its height plus 20, cut at the screen's edge.
        {{0, 0, 1600, 1000}, {0, 0, 1600, 1000}, {0, 0, 1600, 1000}},
        // A panel along the top or the bottom keeps its strip.
        {{0, 0, 1280, 1024}, {0, 30, 1280, 994}, {0, 30, 1280, 994}},
        {{0, 0, 1280, 1024}, {0, 0, 1280, 990}, {0, 0, 1280, 990}},
        // A second screen to the right: its own top left corner.
        {{1600, 0, 1024, 768}, {1600, 0, 1024, 768}, {1600, 0, 1024, 768}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMainFrame::StartFrameRect(c.rcScreen, c.rcAvailable), c.rcFrame)
            << c.rcAvailable.y() << " " << c.rcAvailable.height();
}

// ---- the program over the real control ----

class LindarTest : public CLindarFrameTest {
protected:
    std::string Title() const { return frame->windowTitle().toStdString(); }
    std::vector<std::string> Messages() const {
        std::vector<std::string> v;
        for (auto& c : notifier.calls) v.push_back(c.text);
        return v;
    }
    void Pump(int ms = 50) { QTest::qWait(ms); }
};

TEST_F(LindarTest, OpenTabsCloseAndTitles) {
    MakeFrame();
    EXPECT_EQ(Title(), "Lindar - Vazio");
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    EXPECT_EQ(Title(), "Lindar - " + Fx("server.ekg"));
    ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
    EXPECT_EQ(View().Tabs()->count(), 2);
    EXPECT_EQ(View().Tabs()->tabText(1).toStdString(), "[control.ekg]");
    EXPECT_EQ(Title(), "Lindar - " + Fx("control.ekg"));

    // The same file again: one exam, the message, and the exam shown.
    EXPECT_TRUE(Doc().OpenExam(dir.Path() + "fx/./server.ekg", 0));
    EXPECT_EQ(Doc().List().GetSize(), 2);
    EXPECT_EQ(Messages(), std::vector<std::string>{lindar::LoadStr(lindar::IDS_EXAM_OPEN)});
    EXPECT_EQ(View().Tabs()->currentIndex(), 0);
    EXPECT_EQ(Title(), "Lindar - " + Fx("server.ekg"));

    // An unreadable file: the message, the list unchanged, the previous exam back.
    ASSERT_TRUE(testsupport::WriteFile(dir / "bad.ekg", "not a record"));
    EXPECT_FALSE(Doc().OpenExam(dir / "bad.ekg", 0));
    EXPECT_EQ(Messages().back(), lindar::LoadStr(lindar::IDS_OPEN_FAILED));
    EXPECT_EQ(Doc().List().GetSize(), 2);
    ASSERT_NE(View().GetCurrentExam(), nullptr);
    EXPECT_EQ(View().GetCurrentExam()->GetPath(), Fx("server.ekg"));

    // Selecting a tab shows its exam.
    View().Tabs()->setCurrentIndex(1);
    EXPECT_EQ(View().GetCurrentExam()->GetPath(), Fx("control.ekg"));
    EXPECT_EQ(Title(), "Lindar - " + Fx("control.ekg"));

    // Close: the last remaining exam comes to pane 0.
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarDoc::ID_CLOSE));
    EXPECT_EQ(Doc().List().GetSize(), 1);
    EXPECT_EQ(View().Tabs()->count(), 1);
    EXPECT_EQ(Title(), "Lindar - " + Fx("server.ekg"));
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarDoc::ID_CLOSE_ALL));
    EXPECT_EQ(Doc().List().GetSize(), 0);
    EXPECT_EQ(View().Tabs()->count(), 0);
    EXPECT_EQ(Title(), "Lindar - Vazio");
    // Nothing left: both are disabled.
    EXPECT_FALSE(frame->Commands().Query(COxuLindarDoc::ID_CLOSE_ALL).m_bEnabled);
    EXPECT_FALSE(frame->Commands().OnCommand(COxuLindarDoc::ID_CLOSE));
    EXPECT_FALSE(frame->Commands().Query(COxuLindarView::ID_FILE_SAVE_AS).m_bEnabled);

    // The recent files keep the newest first under the program's key.
    frame->Recent().WriteList();
    platform::CSettingsStore store("Corvane/Lindar");
    EXPECT_EQ(store.GetString("Recent File List", "File1", ""), Fx("server.ekg"));
}

TEST_F(LindarTest, ForwardedTextsOpenOnlyForTheirCode) {
    MakeFrame();
    frame->OnCopyData(29, Fx("server.ekg"));
    frame->OnCopyData(28, Fx("server.ekg"));
    EXPECT_EQ(Doc().List().GetSize(), 0);
    frame->OnCopyData(30, Fx("server.ekg"));
    EXPECT_EQ(Doc().List().GetSize(), 1);
    EXPECT_EQ(Title(), "Lindar - " + Fx("server.ekg"));
}

struct SaveCase {
    const char* name;
    const char* jpegSize;  // nullptr: the default
    const char* check;     // shell command judging the file, "%s" the path
    const char* expect;    // in the command's output
};

TEST_F(LindarTest, SaveAsWritesEachKindAndRefusesOthers) {
    const SaveCase cases[] = {
        {"out.jpg", nullptr, "identify -format %w %s", "1280"},
        {"out9.JPG", "9", "identify -format %w %s", "1024"},
        {"out.pdf", nullptr, "qpdf --check %s >/dev/null && pdftotext %s -", "Maria"},
        {"out.xml", nullptr, "xmllint --noout %s && echo well-formed", "well-formed"},
    };
    for (const SaveCase& c : cases) {
        CIniFile ini((dir / "home/Lindar/Lindar.ini").c_str());
        ini.WriteString("EKG_VIEW", "JPEG_SIZE", c.jpegSize ? c.jpegSize : "3");
        frame.reset();
        MakeFrame();
        ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
        notifier.calls.clear();
        prompts.savePath = dir / c.name;
        EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_SAVE_AS));
        EXPECT_EQ(prompts.proposed, dir / "fx/control");
        EXPECT_EQ(Messages(), std::vector<std::string>{lindar::LoadStr(lindar::IDS_SAVE_OK)}) << c.name;
        std::string strCmd = c.check;
        for (auto n = strCmd.find("%s"); n != std::string::npos; n = strCmd.find("%s"))
            strCmd.replace(n, 2, ShellQuote(dir / c.name));
        int nStatus = -1;
        const std::string out = RunCommand(strCmd, &nStatus);
        EXPECT_EQ(nStatus, 0) << c.name << out;
        EXPECT_NE(out.find(c.expect), std::string::npos) << c.name << ": " << out;
    }

    // A record file reads back through the control.
    notifier.calls.clear();
    EXPECT_EQ(View().SaveAsPath(dir / "copy.ekg"), 1);
    EXPECT_TRUE(Doc().OpenExam(dir / "copy.ekg", 0));
    EXPECT_EQ(Doc().List().GetSize(), 2);

    // An unknown kind: the message, nothing written.
    notifier.calls.clear();
    EXPECT_EQ(View().SaveAsPath(dir / "out.bmp"), 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{lindar::LoadStr(lindar::IDS_BAD_FORMAT)});
    EXPECT_FALSE(testsupport::Exists(dir / "out.bmp"));
}

TEST_F(LindarTest, DicomSaveAsAdvancesLindarsCountersAndLeavesNoPicture) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
    EXPECT_EQ(View().SaveAsPath(dir / "out.dcm"), 1);
    int nStatus = -1;
    const std::string out = RunCommand(
        PYTHON_EXE " -c 'import pydicom,sys; d=pydicom.dcmread(sys.argv[1]); print(d.PatientName, d.Modality, d.StudyDate)' " +
            ShellQuote(dir / "out.dcm"),
        &nStatus);
    EXPECT_EQ(nStatus, 0) << out;
    EXPECT_NE(out.find("Maria"), std::string::npos) << out;
    EXPECT_NE(out.find(" EC 19991231"), std::string::npos) << out;  // the default modality text and the record date
    // The picture the export drew went with it.
    const std::string strLeft = RunCommand("ls -A " + ShellQuote(platform::PrivateTempDir()) + " | grep -i -E 'jpg|bmp' || true");
    EXPECT_EQ(strLeft, "");
    platform::CSettingsStore store("Corvane/Lindar");
    EXPECT_EQ(store.GetInt("Environment", "DCM STUDY ID", 0), 1);
    EXPECT_EQ(View().SaveAsPath(dir / "out2.dcm"), 1);
    EXPECT_EQ(store.GetInt("Environment", "DCM STUDY ID", 0), 2);
}

TEST_F(LindarTest, FullScreenNeedsAnExamAndEscapeLeavesIt) {
    MakeFrame();
    EXPECT_TRUE(frame->Commands().OnCommand(CMainFrame::ID_FULL_SCREEN));
    EXPECT_FALSE(frame->IsFullScreen());
    EXPECT_EQ(Messages(), std::vector<std::string>{lindar::LoadStr(lindar::IDS_FULLSCREEN_NEEDS_EXAM)});
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    frame->OnFullScreen();
    EXPECT_TRUE(frame->IsFullScreen());
    EXPECT_TRUE(View().IsFullScreen());
    EXPECT_EQ(View().Pane(2)->m_pExam, View().GetCurrentExam());
    QTest::keyClick(frame.get(), Qt::Key_Escape);
    Pump();
    EXPECT_FALSE(frame->IsFullScreen());
    EXPECT_FALSE(View().IsFullScreen());
    QTest::keyClick(frame.get(), Qt::Key_Escape);  // normal mode: nothing
    Pump();
    EXPECT_FALSE(frame->IsFullScreen());
}

TEST_F(LindarTest, ClosingAnExamClearsTheFullScreenWindowShowingIt) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    frame->OnFullScreen();
    ASSERT_NE(View().Pane(2)->m_pExam, nullptr);
    Doc().OnClose();
    EXPECT_EQ(View().Pane(2)->m_pExam, nullptr);  // no pointer to the deleted item
}

TEST_F(LindarTest, BarMessagesAndTools) {
    MakeFrame();
    EXPECT_EQ(View().OnBarChange(3, 5), 0);
    EXPECT_EQ(View().GetGain(), 5);
    EXPECT_EQ(View().OnBarChange(99, 5), 0);
    EXPECT_EQ(View().OnBarChange(7, 2), 0);
    EXPECT_EQ(View().m_gridPen.nWidth, 2);
    EXPECT_EQ(View().OnBarChange(6, 1), 0);
    EXPECT_EQ(View().m_gridPen.nStyle, 1);
    View().OnDefaultColour();
    EXPECT_EQ(View().m_gridPen.nWidth, 1);
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    View().OnMeasure();
    EXPECT_TRUE(View().Readout()->isVisible());
    EXPECT_TRUE(frame->Commands().Query(COxuLindarView::ID_MEASURE).m_bChecked);
    View().OnMagnifier();
    EXPECT_FALSE(View().Readout()->isVisible());
    EXPECT_EQ(View().GetCurrentGraph()->m_nTool, 1);
}

TEST_F(LindarTest, OrderNeedsAValidAddress) {
    MakeFrame();
    CIniFile ini((dir / "home/Lindar/Lindar.ini").c_str());
    const std::pair<const char*, bool> cases[] = {{"10.0.0.256", false}, {"10.0.0", false}, {"127.0.0.1", true}};
    for (auto [addr, ok] : cases) {
        ini.WriteString("EKG_VIEW", "EKG_TERMINAL_IP", addr);
        notifier.calls.clear();
        prompts.orderAddress.clear();
        View().OnOrder();
        EXPECT_EQ(prompts.orderAddress, ok ? addr : "") << addr;
        EXPECT_EQ(Messages().empty(), ok) << addr;
        if (!ok) {
            EXPECT_EQ(Messages().front(), lindar::LoadStr(lindar::IDS_BAD_IP));
        }
    }
    EXPECT_EQ(prompts.orderPort, 2000);
}

// A monochrome answer prints grey and black but leaves the pens the user chose, which the
// next print dialog shows again.
TEST(LindarPrintDialog, AMonochromeAnswerKeepsTheChosenPens) {
    CPrintSettings s;
    s.grid = {2, 3, 0x00FF00};
    s.trace = {0, 1, 0xFF0000};
    OnPrintDialog([](CEkgPrintDialog* pDlg) {
        pDlg->findChild<QCheckBox*>("4087")->click();
        pDlg->findChild<QPushButton*>("1")->click();
    });
    ASSERT_TRUE(lindar::RunPrintDialog(nullptr, s));
    EXPECT_EQ(s.grid.nStyle, 2);
    EXPECT_EQ(s.grid.nWidth, 3);
    EXPECT_EQ(s.grid.crColour, 0x00FF00u);
    EXPECT_EQ(s.trace.nWidth, 1);
    EXPECT_EQ(s.trace.crColour, 0xFF0000u);
}

TEST_F(LindarTest, PrintRunsEachCopyUntilAFailure) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    prompts.acceptPrint = true;
    prompts.nCopies = 3;
    prompts.printer = "";  // no printer: the control answers 1 on the first call
    View().OnFilePrint();
    EXPECT_EQ(prompts.nPrintAsked, 1);
    // Told once, with the control's reason.
    EXPECT_EQ(Messages(), std::vector<std::string>{lindar::LoadStr(lindar::IDS_PRINT_FAILED) +
                                                   "\r\nNo printer was named."});
    prompts.acceptPrint = false;
    View().OnFilePrint();
    EXPECT_EQ(prompts.nPrintAsked, 2);
}

}  // namespace

#include <QComboBox>

#include "lindar/displaybars.h"

namespace {

TEST_F(LindarTest, ToolbarChoicesThenJpegEqualsWhatDispcallMakes) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
    // Format, lead, gain and speed chosen in the tool bar bar's lists.
    CToolbarBar& bar = *frame->ToolbarBar();
    bar.ChooseFormat(bar.Format()->findData(2));
    bar.ChooseRhythm(bar.Rhythm()->findData(4));
    bar.ChooseGain(bar.Gain()->findData(2));
    bar.ChooseSpeed(bar.Speed()->findData(1));
    EXPECT_EQ(View().GetChType(), 2);
    EXPECT_EQ(View().GetRhyCh(), 4);
    EXPECT_EQ(View().GetGain(), 2);
    EXPECT_EQ(View().GetSpeed(), 1);
    ASSERT_EQ(View().SaveAsPath(dir / "view.jpg"), 1);
    const std::string strCalls =
        " WAVELIN2.WavelinCtrl.1 'EKGInitialize(1, 3, 2, 1, 3, 1)' 'EKGSetBackColor(16777215)' "
        "'EKGOpenFile(\"" + Fx("control.ekg") + "\")' 'EKGSetChType(2)' 'EKGSetRhyCh(4)' 'EKGSetGain(2)' "
        "'EKGSetSpeed(1)' 'EKGSetMisc(3,\"Qar Daro Ver 1.16(20160621)\")' 'EKGSetMisc(2,\"Corvane Co.,Ltd.\")' "
        "'EKGSetPrintDiag(1)' 'EKGSetPrintParam(1)' 'EKGSetPrintComment(1)' 'EKGSetPrintPacemaker(1)' "
        "'EKGMakeImage(\"" + (dir / "dispcall.jpg") + "\", 2, 2, 4, 1280, 0)'";
    int nStatus = -1;
    // dispcall's own leak check is not judged here (the sanitizer's tracer stumbles on the
    // control's threads at its exit).
    const std::string out = RunCommand("ASAN_OPTIONS=detect_leaks=0 " DISPCALL_PATH + strCalls + " 2>&1", &nStatus);
    ASSERT_EQ(nStatus, 0) << out;
    // The same file byte for byte. (dispcall keeps a blank between the comma and a quoted
    // text as part of the text, so the two texts follow their commas directly.)
    int nCmp = -1;
    const std::string strCmp =
        RunCommand("cmp " + ShellQuote(dir / "view.jpg") + " " + ShellQuote(dir / "dispcall.jpg") + " 2>&1", &nCmp);
    EXPECT_EQ(nCmp, 0) << strCmp;
    EXPECT_EQ(RunCommand("identify -format '%w %h' " + ShellQuote(dir / "view.jpg")), "1280 960");
}

TEST_F(LindarTest, PrintPathOnlyWithoutAUser) {
    testsupport::CEnvScope runtime{"XDG_RUNTIME_DIR", (dir / "").c_str()};
    struct Case {
        std::vector<CString> args;
        int nExams;
        int nPrints;
    };
    const Case cases[] = {
        {{"-p", "FX"}, 1, 1},
        {{"-u", "a", "-p", "FX"}, 0, 0},  // with a user, -p is the password
        {{"-u", "a", "-p", "b"}, 0, 0},
        {{"FX"}, 1, 0},
        {{"-sid", "x"}, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<CString> args = c.args;
        for (auto& a : args)
            if (a == "FX")
                a = Fx("server.ekg");
        CFakePrompts fake;
        fake.acceptPrint = false;
        {
            CLindarApp app;
            ASSERT_TRUE(app.InitInstance(args));
            app.Frame()->View()->SetPrompts(&fake);
            Pump(100);
            EXPECT_EQ(app.Frame()->Doc().List().GetSize(), c.nExams);
            EXPECT_EQ(fake.nPrintAsked, c.nPrints);
            if (!c.nExams) {
                EXPECT_EQ(app.Frame()->windowTitle().toStdString(), "Lindar - Vazio");
            }
            app.ExitInstance();
        }
    }
}

}  // namespace

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTreeWidget>
#include <sstream>

#include "lindar/analysisbar.h"

namespace {

// "rhythm K V", "morph LEAD K V" and "statement N =hex" lines of the fixture's expectations.
struct CExpect {
    std::map<int, int> rhythm;
    std::map<std::pair<int, int>, int> morph;
    std::vector<std::string> statements;
};
CExpect ReadExpect(const std::string& strPath) {
    CExpect e;
    std::istringstream in(testsupport::ReadFile(strPath));
    std::string strLine;
    while (std::getline(in, strLine)) {
        std::istringstream l(strLine);
        std::string strKind;
        l >> strKind;
        if (strKind == "rhythm") {
            int k, v;
            l >> k >> v;
            e.rhythm[k] = v;
        } else if (strKind == "morph") {
            int lead, k, v;
            l >> lead >> k >> v;
            e.morph[{lead, k}] = v;
        } else if (strKind == "statement") {
            int n;
            std::string strHex;
            l >> n >> strHex;
            std::string strText;
            for (std::size_t i = 1; i + 1 < strHex.size(); i += 2)
                strText += static_cast<char>(std::stoi(strHex.substr(i, 2), nullptr, 16));
            e.statements.push_back(strText);
        }
    }
    return e;
}

TEST_F(LindarTest, AnalysisBarAndParameterListShowTheRecord) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
    const CExpect e = ReadExpect(Fx("control.ekg.expect"));
    ASSERT_EQ(e.rhythm.size(), 8u);
    CAnalysisBar& bar = *frame->AnalysisBar();
    auto r = [&](int k) { return e.rhythm.at(k); };
    EXPECT_EQ(bar.Field(0)->text().toStdString(), std::to_string(r(0)) + " bpm");
    EXPECT_EQ(bar.Field(1)->text().toStdString(), std::to_string(r(1)) + " ms");
    EXPECT_EQ(bar.Field(3)->text().toStdString(), std::to_string(r(3)) + "/" + std::to_string(r(4)) + " ms");
    EXPECT_EQ(bar.Field(4)->text().toStdString(),
              std::to_string(r(5)) + "/" + std::to_string(r(6)) + "/" + std::to_string(r(7)));
    EXPECT_NE(bar.Field(4)->text().indexOf('-'), -1);  // negative axes keep their sign
    QTreeWidgetItem* pRoot = bar.Results()->topLevelItem(0);
    ASSERT_EQ(pRoot->childCount(), static_cast<int>(e.statements.size()));
    for (int i = 0; i < pRoot->childCount(); ++i)
        EXPECT_EQ(pRoot->child(i)->text(0).toStdString(), e.statements[i]);

    QTableWidget& table = *frame->ParamListBar()->Table();
    ASSERT_EQ(table.rowCount(), 12);
    ASSERT_EQ(table.columnCount(), 16);
    for (int lead = 0; lead < 12; ++lead)
        for (int k = 0; k < 15; ++k)
            EXPECT_EQ(table.item(lead, k + 1)->text().toInt(), e.morph.at({lead, k})) << lead << " " << k;
    // Every cell and heading is shown whole ("aVR" in the "Ch" column), no column narrower
    // than its own width.
    const int minimum[] = {30, 50, 50, 50, 52, 52, 50, 50, 50, 50, 60, 60, 65, 50, 60, 60};
    for (int k = 0; k < 16; ++k) {
        EXPECT_GE(table.columnWidth(k), minimum[k]) << k;
        EXPECT_GE(table.columnWidth(k), static_cast<QAbstractItemView&>(table).sizeHintForColumn(k)) << k;
        EXPECT_GE(table.columnWidth(k), table.horizontalHeader()->sectionSizeHint(k)) << k;
    }
    EXPECT_GE(table.columnWidth(0), table.fontMetrics().horizontalAdvance("aVR"));

    // A saved comment reads back from the file.
    ASSERT_TRUE(testsupport::WriteFile(dir / "c.ekg", testsupport::ReadFile(Fx("control.ekg"))));
    ASSERT_TRUE(Doc().OpenExam(dir / "c.ekg", 0));
    bar.OnEdit();
    bar.Comment()->setPlainText("Ritmo sinusal\nrevisto");
    notifier.calls.clear();
    bar.OnSaveComment();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Exame salvo com sucesso!"});
    frame->Commands().OnCommand(COxuLindarDoc::ID_CLOSE_ALL);
    EXPECT_EQ(bar.Field(0)->text().toStdString(), "");
    EXPECT_EQ(table.rowCount(), 0);
    ASSERT_TRUE(Doc().OpenExam(dir / "c.ekg", 0));
    EXPECT_EQ(bar.Comment()->toPlainText().toStdString(), "Ritmo sinusal\nrevisto");

    // No exam: the message and nothing written.
    frame->Commands().OnCommand(COxuLindarDoc::ID_CLOSE_ALL);
    notifier.calls.clear();
    bar.OnSaveComment();
    EXPECT_EQ(Messages().size(), 1u);
}

}  // namespace

#include <QComboBox>

#include "lindar/displaybars.h"

namespace {

TEST_F(LindarTest, ToolbarBarDrivesTheCurrentPane) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    CToolbarBar& bar = *frame->ToolbarBar();
    EXPECT_EQ(bar.Format()->currentText().toStdString(), "6Ch+1");  // the pane's format 1
    bar.ChooseFormat(0);                                              // "12Ch"
    EXPECT_EQ(View().GetChType(), 0);
    EXPECT_FALSE(bar.Rhythm()->isEnabled());
    bar.ChooseFormat(2);
    EXPECT_TRUE(bar.Rhythm()->isEnabled());
    bar.ChooseRhythm(6);
    bar.ChooseGain(4);
    bar.ChooseSpeed(2);
    EXPECT_EQ(View().GetRhyCh(), 6);
    EXPECT_EQ(View().GetGain(), 4);
    EXPECT_EQ(View().GetSpeed(), 4);
    // While monitoring "Beat Report" is refused: the previous format stays, nothing is sent.
    bar.SetMonitoring(true);
    EXPECT_EQ(bar.Format()->currentText().toStdString(), "12Ch");
    EXPECT_FALSE(bar.Format()->isEnabled());
    const int nBefore = View().GetChType();
    bar.ChooseFormat(3);
    EXPECT_EQ(bar.Format()->currentText().toStdString(), "12Ch");
    EXPECT_EQ(View().GetChType(), nBefore);
}

TEST_F(LindarTest, FirstLineEntriesDrawAsTheViewsDefaultPens) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    QWidget* pCtrl = View().Pane(0)->Widget();
    const QImage before = pCtrl->grab().toImage();
    CColourBar& bar = *frame->ColourBar();
    for (int pen = 0; pen < 3; ++pen) {
        bar.ChooseWidth(pen, 3);
        bar.ChooseStyle(pen, 2);
    }
    EXPECT_EQ(View().m_tracePen.nWidth, 4);
    EXPECT_NE(pCtrl->grab().toImage(), before);
    for (int pen = 0; pen < 3; ++pen) {
        bar.ChooseWidth(pen, 0);
        bar.ChooseStyle(pen, 0);
    }
    EXPECT_EQ(pCtrl->grab().toImage(), before);
    // The monitoring lock gives the same pens and disables the lists.
    bar.ChooseWidth(1, 5);
    bar.LockPens();
    EXPECT_FALSE(bar.WidthList(1)->isEnabled());
    EXPECT_EQ(pCtrl->grab().toImage(), before);
    bar.UnlockPens();
    EXPECT_TRUE(bar.WidthList(1)->isEnabled());
}

}  // namespace

#include <QAbstractScrollArea>

namespace {

TEST_F(LindarTest, ADragWithTheMeasurementToolShowsMillisecondsAndRate) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    frame->Commands().OnCommand(COxuLindarView::ID_MEASURE);
    ASSERT_TRUE(View().Readout()->isVisible());
    auto* pArea = View().Pane(0)->Widget()->findChild<QAbstractScrollArea*>();
    ASSERT_NE(pArea, nullptr);
    QWidget* pPort = pArea->viewport();
    // The panes' cell size 3 draws 3 pixels per millimetre: 25 mm at 25 mm/s are 1000 ms.
    const QPoint from(100, 100), to(100 + 75, 104);
    QTest::mousePress(pPort, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), pPort->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(pPort, &move);
    QTest::mouseRelease(pPort, Qt::LeftButton, {}, to);
    Pump();
    CMeasureReadoutDialog& readout = *View().Readout();
    EXPECT_EQ(readout.objectName(), "143");
    EXPECT_EQ(readout.Box(CMeasureReadoutDialog::IDC_WIDTH_MS)->text().toStdString(), "1000");
    EXPECT_EQ(readout.Box(CMeasureReadoutDialog::IDC_RATE_BPM)->text().toStdString(), "60");
    EXPECT_FALSE(readout.Box(CMeasureReadoutDialog::IDC_HEIGHT_MM)->isEnabled());
    // Over the pane, clear of the menu bar and the bars above the view.
    const QRect pane(View().Pane(0)->mapToGlobal(QPoint(0, 0)), View().Pane(0)->size());
    const QRect menus(frame->menuBar()->mapToGlobal(QPoint(0, 0)), frame->menuBar()->size());
    EXPECT_TRUE(pane.contains(readout.geometry())) << readout.geometry().x() << "," << readout.geometry().y();
    EXPECT_FALSE(menus.intersects(readout.frameGeometry()));
    // Off again: the values cleared and the popup hidden.
    frame->Commands().OnCommand(COxuLindarView::ID_MEASURE);
    EXPECT_FALSE(readout.isVisible());
    EXPECT_EQ(readout.WidthMs(), 0);
    EXPECT_EQ(readout.HeightMm(), 0);
}

}  // namespace

namespace {

TEST_F(LindarTest, MonitoringWithoutAnAddressSaysWhy) {
    MakeFrame();
    struct Case {
        const char* type;
        const char* registered;
        std::string expect;
    };
    const Case cases[] = {
        {"1", "", lindar::LoadStr(lindar::IDS_NO_IP)},
        {"5", "", lindar::LoadStr(lindar::IDS_NO_IP)},  // outside 0..1 is type 1
        {"0", "CART-1", lindar::LoadStr(lindar::IDS_CONNECT_FAILED)},
        {"0", "", "Not Registered equipment"},
    };
    CIniFile ini((dir / "home/Lindar/Lindar.ini").c_str());
    for (const Case& c : cases) {
        ini.WriteString("EKG_VIEW", "EKG_CONFIG_IP_TYPE", c.type);
        ini.WriteString("EKG_VIEW", "EKG_REGISTERED_ID", c.registered);
        ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
        notifier.calls.clear();
        EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_MONITORING));
        EXPECT_EQ(Messages(), std::vector<std::string>{c.expect}) << c.type << c.registered;
        EXPECT_EQ(Doc().List().GetSize(), 0);  // monitoring closes every exam first
        EXPECT_FALSE(View().GetCurrentGraph()->m_bMonitoring);
    }
    EXPECT_EQ(CMainFrame::UpgradePath(), platform::ProgramDir() + "Restovar");
}

}  // namespace

#include "lindar/patientbar.h"

namespace {

TEST(PatientBar, WeightsInPoundsAndTimes) {
    const std::pair<const char*, const char*> weights[] = {{"154L", "70"}, {"130L", "59"}, {"70", "70"}, {"L", "0"}, {"", ""}};
    for (auto [in, out] : weights) EXPECT_EQ(CPatientBar::WeightText(in), out) << in;
    EXPECT_EQ(CPatientBar::TimeText("202612100405"), "2026/12/10 04:05");
    EXPECT_EQ(CPatientBar::TimeText("2026121004"), "2026121004");
}

TEST_F(LindarTest, PatientDataSavedReadsBackFromTheFile) {
    MakeFrame();
    ASSERT_TRUE(testsupport::WriteFile(dir / "p.ekg", testsupport::ReadFile(Fx("control.ekg"))));
    ASSERT_TRUE(Doc().OpenExam(dir / "p.ekg", 0));
    CPatientBar& bar = *frame->PatientBar();
    EXPECT_EQ(bar.FieldEdit(CPatientBar::NAME)->text().toStdString(), "Maria Oliveira S");
    EXPECT_EQ(bar.FieldEdit(CPatientBar::SEX)->text().toStdString(), "Feminino");
    EXPECT_EQ(bar.FieldEdit(CPatientBar::WEIGHT)->text().toStdString(), "59");  // "130L"
    bar.OnEdit(true);
    bar.FieldEdit(CPatientBar::NAME)->setText("Ana Souza");
    bar.FieldEdit(CPatientBar::SEX)->setText("Masculino");
    notifier.answers.push_back(platform::IDYES);
    notifier.calls.clear();
    bar.OnSave();
    ASSERT_EQ(Messages().size(), 2u);
    EXPECT_EQ(Messages()[1], "Exame salvo com sucesso!");
    frame->Commands().OnCommand(COxuLindarDoc::ID_CLOSE_ALL);
    EXPECT_EQ(bar.FieldEdit(CPatientBar::NAME)->text().toStdString(), "");
    ASSERT_TRUE(Doc().OpenExam(dir / "p.ekg", 0));
    EXPECT_EQ(bar.FieldEdit(CPatientBar::NAME)->text().toStdString(), "Ana Souza");
    EXPECT_EQ(bar.FieldEdit(CPatientBar::WEIGHT)->text().toStdString(), "59");
    EXPECT_EQ(bar.FieldEdit(CPatientBar::SEX)->text().toStdString(), "Masculino");
    // Answered No: nothing is written.
    bar.FieldEdit(CPatientBar::NAME)->setText("Outro");
    notifier.answers.push_back(platform::IDNO);
    const std::string strBefore = testsupport::ReadFile(dir / "p.ekg");
    bar.OnSave();
    EXPECT_EQ(testsupport::ReadFile(dir / "p.ekg"), strBefore);
}

}  // namespace

#include <QAction>
#include <QMenuBar>
#include <QToolBar>
#include <set>

#include "lindar/commands.h"

namespace {

TEST(LindarCommands, OneRowPerIdEveryMenuEntryRunsSomethingAndTheToolBarNamesRows) {
    std::set<unsigned> ids;
    for (const lindarcmd::CCommand& c : lindarcmd::Commands()) {
        if (!c.nId) {
            EXPECT_NE(c.pszMenu, nullptr);  // a separator stands in a menu
            continue;
        }
        EXPECT_TRUE(ids.insert(c.nId).second) << c.nId;
        EXPECT_TRUE(c.pHandler || c.pUpdate) << c.nId;
    }
    // The application's commands, the view's, the document's, the frame's.
    for (unsigned id : {57600u, 57601u, 57603u, 57606u, 57607u, 57609u, 57664u, 57665u, 32771u, 32772u, 32773u,
                        32774u, 32792u, 32793u, 32795u, 32796u, 32797u, 32798u, 32799u, 32801u, 32802u, 32803u,
                        32804u, 32794u, 32806u, 32807u, 32808u, 32809u, 32810u, 32811u, 32812u, 32814u, 32815u})
        EXPECT_NE(lindarcmd::FindCommand(id), nullptr) << id;
    for (unsigned id : lindarcmd::ToolBar())
        EXPECT_TRUE(!id || lindarcmd::FindCommand(id)) << id;
}

TEST_F(LindarTest, TheMenusKeysRunTheirCommands) {
    MakeFrame();
    frame->activateWindow();
    QApplication::setActiveWindow(frame.get());
    CCommandMap& c = frame->Commands();
    // Each key the menu shows is the command's own.
    const std::pair<unsigned, const char*> keys[] = {
        {COxuLindarView::ID_FILE_OPEN, "Ctrl+O"}, {COxuLindarView::ID_FILE_SAVE_AS, "Ctrl+S"},
        {COxuLindarView::ID_FILE_PRINT, "Ctrl+P"}, {COxuLindarView::ID_LAYOUT_1, "Ctrl+1"},
        {COxuLindarView::ID_LAYOUT_2, "Ctrl+2"},   {COxuLindarDoc::ID_CLOSE, "Ctrl+F4"}};
    for (auto [id, key] : keys)
        EXPECT_EQ(c.Action(id)->shortcut(), QKeySequence(key)) << id;
    auto press = [this](int nKey) {
        QTest::keyClick(frame.get(), static_cast<Qt::Key>(nKey), Qt::ControlModifier);
        QApplication::processEvents();
    };
    prompts.openPath = Fx("server.ekg");
    press(Qt::Key_O);
    EXPECT_EQ(Title(), "Lindar - " + Fx("server.ekg"));
    prompts.savePath = dir / "k.ekg";
    press(Qt::Key_S);
    EXPECT_EQ(prompts.proposed, Fx("server"));
    EXPECT_TRUE(testsupport::Exists(dir / "k.ekg"));
    press(Qt::Key_P);
    EXPECT_EQ(prompts.nPrintAsked, 1);
    press(Qt::Key_2);
    EXPECT_EQ(View().GetLayout(), 2);
    EXPECT_TRUE(c.Query(COxuLindarView::ID_LAYOUT_2).m_bChecked);
    press(Qt::Key_1);
    EXPECT_EQ(View().GetLayout(), 0);
    press(Qt::Key_F4);
    EXPECT_EQ(Title(), "Lindar - Vazio");
    // The keys work also in full screen, where the menus are hidden.
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    c.OnCommand(CMainFrame::ID_FULL_SCREEN);
    ASSERT_TRUE(frame->IsFullScreen());
    press(Qt::Key_P);
    EXPECT_EQ(prompts.nPrintAsked, 2);
    c.OnCommand(CMainFrame::ID_FULL_SCREEN);
}

TEST_F(LindarTest, NewPrintSetupAndTheTwoLayoutsWithoutAction) {
    MakeFrame();
    CCommandMap& c = frame->Commands();
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    // New: the framework's new document, a title only; the exam stays open.
    EXPECT_TRUE(c.OnCommand(CMainFrame::ID_FILE_NEW));
    EXPECT_EQ(Title(), "Lindar - Vazio");
    EXPECT_EQ(Doc().List().GetSize(), 1);
    // Print Setup: the printer chosen is the one the print dialog opens with.
    prompts.setupPrinter = "PdfOut";
    EXPECT_TRUE(c.OnCommand(CMainFrame::ID_FILE_PRINT_SETUP));
    EXPECT_EQ(View().m_print.strPrinter, "PdfOut");
    prompts.setupPrinter.clear();  // cancelled: unchanged
    EXPECT_TRUE(c.OnCommand(CMainFrame::ID_FILE_PRINT_SETUP));
    EXPECT_EQ(prompts.setupShown, "PdfOut");
    EXPECT_EQ(View().m_print.strPrinter, "PdfOut");
    // 1 x 2 and 2 x 2 do nothing; they are checked in their layouts (1, 3) only, neither in
    // one pane nor in two.
    for (unsigned nLayout : {COxuLindarView::ID_LAYOUT_1, COxuLindarView::ID_LAYOUT_2}) {
        ASSERT_TRUE(c.OnCommand(nLayout));
        for (unsigned id : {COxuLindarView::ID_LAYOUT_1X2, COxuLindarView::ID_LAYOUT_2X2}) {
            EXPECT_FALSE(c.Query(id).m_bChecked) << id;
            EXPECT_TRUE(c.Query(id).m_bCheckable) << id;
            EXPECT_FALSE(c.OnCommand(id)) << id;
        }
        EXPECT_TRUE(c.Query(nLayout).m_bChecked) << nLayout;
    }
    EXPECT_EQ(View().GetLayout(), 2);
    // In the tool bar, the new document comes first.
    EXPECT_EQ(frame->ToolBand()->actions().value(0), c.Action(CMainFrame::ID_FILE_NEW));
}

}  // namespace

#include <QPushButton>

#include "lindar/displaybars.h"

namespace {

TEST_F(LindarTest, TheColourBarShowsTheCurrentAndDefaultColoursAndSampleLines) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    CColourBar& bar = *frame->ColourBar();
    auto picker = [&bar](UINT id) { return bar.findChild<CColourPicker*>(QString::number(id)); };
    const std::pair<UINT, COLORREF> defaults[] = {
        {1036, 0xFFFFFF}, {1035, 0x8080FF}, {1039, 0xBFBFFF}, {1042, 0x000000}};
    for (auto [id, cr] : defaults) {
        ASSERT_NE(picker(id), nullptr) << id;
        EXPECT_EQ(picker(id)->GetColour(), cr) << id;
    }
    // A pick shows the colour and reaches the view.
    picker(1042)->Pick(0x0000FF);
    EXPECT_EQ(picker(1042)->GetColour(), 0x0000FFu);
    EXPECT_EQ(View().m_tracePen.crColour, 0x0000FFu);
    picker(1036)->Pick(0xEEEEEE);
    EXPECT_EQ(View().m_crBack, 0xEEEEEEu);
    // "Padrão" (a button of the frame's command): the defaults again, in the view and the bar.
    bar.findChild<QPushButton*>("32811")->click();
    EXPECT_EQ(View().m_tracePen.crColour, 0x000000u);
    for (auto [id, cr] : defaults)
        EXPECT_EQ(picker(id)->GetColour(), cr) << id;
    // The line lists draw their samples: five styles, seven widths, each entry its pen.
    for (UINT id : {1034u, 1038u, 1041u, 1033u, 1037u, 1040u}) {
        auto* p = bar.findChild<CComboBoxLine*>(QString::number(id));
        ASSERT_NE(p, nullptr) << id;
        const bool bStyles = id == 1034 || id == 1038 || id == 1041;
        EXPECT_EQ(p->Kind(), bStyles ? 1 : 0) << id;
        ASSERT_EQ(p->count(), bStyles ? 5 : 7) << id;
        for (int n = 0; n < p->count(); ++n) {
            EXPECT_EQ(p->itemIcon(n).pixmap(p->iconSize()).toImage().convertToFormat(QImage::Format_RGB32),
                      CComboBoxLine::LineSample(p->StyleAt(n), p->WidthAt(n), p->iconSize())
                          .convertToFormat(QImage::Format_RGB32))
                << id << " " << n;
            EXPECT_EQ(bStyles ? p->StyleAt(n) : p->WidthAt(n), bStyles ? n : n + 1) << id;
        }
    }
    EXPECT_TRUE(bar.IsCmdRegistered(32811));
}

TEST_F(LindarTest, TheToolButtonsAreTheFramesCommandsAndFollowThePanesTools) {
    MakeFrame();
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    CToolbarBar& bar = *frame->ToolbarBar();
    for (UINT id : {32793u, 32806u, 32808u, 32775u})
        EXPECT_TRUE(bar.IsCmdRegistered(id)) << id;
    auto button = [&bar](UINT id) { return bar.findChild<QPushButton*>(QString::number(id)); };
    frame->UpdateCommandUI();
    EXPECT_FALSE(button(32793)->isChecked());
    EXPECT_TRUE(button(32808)->isChecked());  // pacemaker marks shown
    // The menu's measurement: the ruler button shows it.
    frame->Commands().OnCommand(COxuLindarView::ID_MEASURE);
    frame->UpdateCommandUI();
    EXPECT_TRUE(button(32793)->isChecked());
    // The magnifier button runs the frame's command: the ruler is released with it.
    button(32806)->click();
    EXPECT_EQ(View().GetCurrentGraph()->m_nTool, 1);
    frame->UpdateCommandUI();
    EXPECT_TRUE(button(32806)->isChecked());
    EXPECT_FALSE(button(32793)->isChecked());
    button(32808)->click();
    frame->UpdateCommandUI();
    EXPECT_FALSE(View().GetCurrentGraph()->m_bPacemaker);
    EXPECT_FALSE(button(32808)->isChecked());
}

}  // namespace

namespace {

TEST_F(LindarTest, AnEmptyItemIsNotOfferedToTheControlAndTabsNameTheirFiles) {
    MakeFrame();
    CLindarGraphWnd& pane = *View().Pane(0);
    CExamItem item;
    item.SetPath(Fx("server.ekg"));  // a readable record, but the item says it is empty
    item.SetValid(0);
    notifier.calls.clear();
    EXPECT_EQ(pane.OpenExam(&item), 0);
    EXPECT_EQ(pane.m_pExam, nullptr);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Falha ao abrir o arquivo (*.ekg) !!!"});
    EXPECT_EQ(pane.EKGGetPatientInfo(0), "");
    item.SetValid(1);
    EXPECT_EQ(pane.OpenExam(&item), 1);
    EXPECT_EQ(pane.m_pExam, &item);
    EXPECT_EQ(pane.CloseExam(), &item);
    EXPECT_FALSE(pane.HasExam());
    // A tab's tooltip (tab strip 3000) is its exam's whole path.
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    ASSERT_TRUE(Doc().OpenExam(Fx("control.ekg"), 0));
    auto* pTabs = View().findChild<QTabBar*>("3000");
    ASSERT_EQ(pTabs, View().Tabs());
    EXPECT_EQ(pTabs->tabToolTip(0).toStdString(), Fx("server.ekg"));
    EXPECT_EQ(pTabs->tabToolTip(1).toStdString(), Fx("control.ekg"));
}

}  // namespace

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

TEST_F(LindarTest, ThePatientBarsTitleIdsUnitListAndItsTwoMessages) {
    MakeFrame();
    CPatientBar& bar = *frame->PatientBar();
    auto* pTitle = bar.findChild<CWndTitle*>();
    ASSERT_NE(pTitle, nullptr);
    EXPECT_EQ(pTitle->text().toStdString(), "Dados do Paciente");
    for (UINT id : {1016u, 1017u, 1026u, 1018u, 1019u, 4091u, 1021u, 1022u, 1020u, 1024u, 1025u, 1028u})
        EXPECT_NE(bar.findChild<QLineEdit*>(QString::number(id)), nullptr) << id;
    EXPECT_NE(bar.findChild<QPushButton*>("1097"), nullptr);
    EXPECT_NE(bar.findChild<QPushButton*>("1027"), nullptr);
    // A pane without a record: 65136; no pane at all: 65135.
    notifier.calls.clear();
    bar.ShowExam(View().Pane(0));
    bar.OnSave();
    bar.ShowExam(nullptr);
    bar.OnSave();
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Dados do exame Qar inv\xE1lidos !!!", "Dados do ECG inv\xE1lidos !!!"}));
    // While editing the unit list lies over the unit's label.
    ASSERT_TRUE(Doc().OpenExam(Fx("server.ekg"), 0));
    auto* pList = bar.findChild<QComboBox*>("4111");
    auto* pUnit = bar.findChild<QLineEdit*>("4091");
    ASSERT_NE(pList, nullptr);
    EXPECT_FALSE(pList->isVisible());
    bar.OnEdit(true);
    QApplication::processEvents();
    EXPECT_TRUE(pList->isVisible());
    EXPECT_EQ(pList->mapTo(&bar, QPoint(0, 0)), pUnit->mapTo(&bar, QPoint(0, 0)));
    EXPECT_EQ(pList->size(), pUnit->size());
    bar.OnEdit(false);
    EXPECT_FALSE(pList->isVisible());
}

}  // namespace

namespace {

TEST_F(LindarTest, TheDividerOfTwoPanesIsDraggedAndKeepsItsShare) {
    MakeFrame();
    frame->Commands().OnCommand(COxuLindarView::ID_LAYOUT_2);
    ASSERT_EQ(View().GetLayout(), 2);
    CSplitResizeHandler& split = *View().Split();
    QWidget* p0 = View().Pane(0);
    QWidget* p1 = View().Pane(1);
    const QRect d = split.GetDividerRect(0);
    ASSERT_FALSE(d.isEmpty());
    // The panes lie above and below the divider; pane 1 ends 22 pixels above the bottom.
    EXPECT_EQ(p0->geometry().bottom() + 1, d.top());
    EXPECT_EQ(p1->geometry().top(), d.bottom() + 1);
    EXPECT_EQ(p1->geometry().bottom(), View().height() - 23);
    EXPECT_TRUE(split.OnSetCursor(&View(), d.center().x(), d.center().y()));
    EXPECT_EQ(View().cursor().shape(), Qt::SplitVCursor);
    EXPECT_FALSE(split.OnSetCursor(&View(), 10, 5));
    // A drag of 100 pixels down, as the mouse gives it to the view.
    const int h0 = p0->height(), h1 = p1->height();
    auto send = [this](QEvent::Type type, QPoint pt, Qt::MouseButton b, Qt::MouseButtons bs) {
        QMouseEvent e(type, QPointF(pt), View().mapToGlobal(QPointF(pt)), b, bs, {});
        QApplication::sendEvent(&View(), &e);
    };
    send(QEvent::MouseButtonPress, d.center(), Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, d.center() + QPoint(0, 100), Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, d.center() + QPoint(0, 100), Qt::LeftButton, Qt::NoButton);
    EXPECT_NEAR(p0->height(), h0 + 100, 1);
    EXPECT_NEAR(p1->height(), h1 - 100, 1);
    // The view's new size keeps the divider's share.
    const double dShare = split.Share();
    frame->resize(1024, 900);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(split.Share(), dShare);
    EXPECT_EQ(p0->geometry().bottom() + 1, split.GetDividerRect(0).top());
    // Back in one pane, the view's mouse is its own again.
    frame->Commands().OnCommand(COxuLindarView::ID_LAYOUT_1);
    send(QEvent::MouseButtonPress, split.GetDividerRect(0).center(), Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(split.IsDragging());
}

}  // namespace

namespace {

// The stand-in control in place of the ECG control: its answers are scripted, its calls
// logged, so that the view meets the answers the real control does not give.
class LindarStandInTest : public LindarTest {
protected:
    void SetUp() override {
        LindarTest::SetUp();
        ASSERT_TRUE(platform::RegisterControl({wavelin::kProgId, wavelin::kClsid, RECCTL_PATH}));
    }
    void Answer(const std::string& strJson) {
        ASSERT_TRUE(testsupport::WriteFile(dir / "answers.json", strJson));
    }
    testsupport::CEnvScope answers{"RECCTL_ANSWERS", (dir / "answers.json").c_str()};
    testsupport::CEnvScope log{"RECCTL_LOG", (dir / "calls.log").c_str()};
};

TEST_F(LindarStandInTest, OpenExamGivesTheControlsAnswerAndKeepsOnlyWhatOneOpened) {
    MakeFrame();
    CLindarGraphWnd& pane = *View().Pane(0);
    const std::string strPath = Fx("server.ekg");
    const std::vector<std::string> none, failed{lindar::LoadStr(lindar::IDS_OPEN_FAILED)};
    const struct {
        int nAnswer;
        bool bKept, bMessage;
    } cases[] = {{1, true, false}, {0, false, true}, {2, false, false}, {-1, false, false}};
    for (const auto& c : cases) {
        Answer("{\"Wavelin.EKGOpenFile\": " + std::to_string(c.nAnswer) + "}");
        notifier.calls.clear();
        CExamItem item;
        item.SetValid(1);
        item.SetPath(strPath);
        EXPECT_EQ(pane.OpenExam(&item), c.nAnswer);
        EXPECT_EQ(pane.HasExam(), c.bKept ? TRUE : FALSE) << c.nAnswer;
        EXPECT_EQ(Messages(), c.bMessage ? failed : none) << c.nAnswer;
        pane.CloseExam();
    }
    const std::string strCalls = testsupport::ReadFile(dir / "calls.log");
    EXPECT_NE(strCalls.find("Wavelin.EKGOpenFile(\"" + strPath + "\")"), std::string::npos);

    // Through the document: an answer of 2 opens no exam and says nothing.
    Answer("{\"Wavelin.EKGOpenFile\": 2}");
    notifier.calls.clear();
    EXPECT_FALSE(Doc().OpenExam(strPath, 0));
    EXPECT_EQ(Doc().List().GetSize(), 0);
    EXPECT_EQ(View().Tabs()->count(), 0);
    EXPECT_EQ(Messages(), none);

    // Only the control's 1 is a saved file.
    Answer("{\"Wavelin.EKGOpenFile\": 1, \"Wavelin.EKGSaveFile\": 2}");
    ASSERT_TRUE(Doc().OpenExam(strPath, 0));
    notifier.calls.clear();
    EXPECT_EQ(View().SaveAsPath(dir / "copy.ekg"), 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{lindar::LoadStr(lindar::IDS_SAVE_FAILED)});
}

}  // namespace
