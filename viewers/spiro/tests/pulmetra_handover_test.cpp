// A second start while Save As or Print waits for its answer. Pulmetra's application runs in
// this process on a real X screen with its screen notifier; a real second Pulmetra process
// hands test B over while the dialog is open, then the user (xdotool) answers it. The
// command acts on test A, the one it was started for (cmp, identify/compare, pdftotext,
// pydicom), and B opens afterwards; so it does when B comes into the window under the
// dialog by another road.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "pulmetra/mainframe.h"
#include "pulmetra/pulmetraapp.h"
#include "testsupport/cupspeer.h"
#include "testsupport/handoverscene.h"
#include "testsupport/testsupport.h"
#include "testsupport/xscreenenv.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment);

// The patient identifiers of the two fixtures.
constexpr const char* kIdA = "PT1-F2-ABCDEFGHI";
constexpr const char* kIdB = "PT1-F1-ABCDEFGHI";

struct CCase {
    const char* pszName;
    const char* pszOutput;  // Save As: the file typed into the dialog; null: Print
    // B shown in the window while the dialog is open by another road than a hand-over
    // (which waits): the command still acts on A.
    bool bShownUnder;
};

void PrintTo(const CCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

const CCase kCases[] = {
    {"RecordCopy", "copy.fvc", false}, {"Jpeg", "page.jpg", false},
    {"Pdf", "page.pdf", false},        {"Dicom", "test.dcm", false},
    {"Print", nullptr, false},         {"RecordCopyWithBShown", "copy.fvc", true},
    {"PrintWithBShown", nullptr, true}};

class PulmetraHandOver : public ::testing::TestWithParam<CCase>,
                         protected testsupport::CHandOverScene {
protected:
    PulmetraHandOver() : CHandOverScene("Pulmetra") {}
    void SetUp() override {
        ASSERT_TRUE(MakeFolders());
        int nStatus = -1;
        RunCommand(std::string(PYTHON_EXE " " SPIRO_FIXTURES_SCRIPT " ") + ShellQuote(dir / "fx"),
                   &nStatus);
        ASSERT_EQ(nStatus, 0);
        ASSERT_EQ(RunCommand("cp " + ShellQuote(dir / "fx/spiro_t1_f2.fvc") + " " + ShellQuote(a) +
                             " && cp " + ShellQuote(dir / "fx/spiro_t1_f1.fvc") + " " +
                             ShellQuote(b) + "; echo $?"),
                  "0\n");
        app = std::make_unique<CPulmetraApp>();
        ASSERT_TRUE(app->InitInstance({a}, false));
        ASSERT_TRUE(QTest::qWaitFor([&] { return Title() == TitleOf("a.fvc"); }, 10000)) << Title();
    }
    void TearDown() override {
        if (app)
            app->ExitInstance();
        app.reset();
    }
    static std::string TitleOf(const char* pszName) {
        return std::string("Pulmetra [Local] - [") + pszName + "]";
    }
    std::string Title() const {
        return app && app->Frame() ? app->Frame()->windowTitle().toStdString() : std::string();
    }
    CMainFrame& Frame() { return *app->Frame(); }
    // Save As of the active test straight to a path, its box answered by a stand-in: the
    // file a test gives when nothing is handed over meanwhile.
    std::string Reference(const std::string& strTest, const std::string& strName) {
        testsupport::CScriptedNotifier quiet;
        Frame().Doc().OpenExam(strTest, 0);  // already open: shown again
        EXPECT_TRUE(Frame().View()->SaveToPath(dir / strName));
        return dir / strName;
    }
    void CheckSavedAs(const std::string& strOut) {
        const std::string q = ShellQuote(strOut);
        const std::string strExt = strOut.substr(strOut.size() - 3);
        if (strExt == "fvc") {
            EXPECT_TRUE(Same(strOut, Reference(a, "ref_a.fvc")));
            EXPECT_FALSE(Same(strOut, b));
        } else if (strExt == "jpg") {
            EXPECT_EQ(RunCommand("identify -format '%m %w' " + q + " 2>&1"), "JPEG 600");
            EXPECT_EQ(PictureDifference(strOut, Reference(a, "ref_a.jpg")), "0");
            EXPECT_NE(PictureDifference(strOut, Reference(b, "ref_b.jpg")), "0");
        } else if (strExt == "pdf") {
            CheckIds(PdfText(strOut));
        } else if (strExt == "dcm") {
            EXPECT_EQ(RunCommand(PYTHON_EXE " " DCMJUDGE_PY " attrs " + q + " PatientID=" + kIdA +
                                 " -- spiro " + q + " " + ShellQuote(a) + " 2>&1; echo $?"),
                      "0\n");
        }
    }
    static void CheckIds(const std::string& strText) {
        EXPECT_NE(strText.find(kIdA), std::string::npos) << strText.substr(0, 400);
        EXPECT_EQ(strText.find(kIdB), std::string::npos) << strText.substr(0, 400);
    }

    testsupport::CEnvScope controls{"CORVANE_CONTROL_DIR", FLOWLIN_DIR};
    const std::string a = dir / "a.fvc", b = dir / "b.fvc";
    std::unique_ptr<CPulmetraApp> app;
};

TEST_P(PulmetraHandOver, TheCommandActsOnItsOwnTestAndTheHandedOverOneOpensAfter) {
    const CCase& c = GetParam();
    const testsupport::CXvfb& x = testsupport::CXScreenEnvironment::Screen();
    testsupport::CCupsPeer cups;
    testsupport::CHandOverUser::CScript script = Script(
        c.bShownUnder, "LSAN_OPTIONS=suppressions=" LSAN_SUPP " " PULMETRA_PATH " " + ShellQuote(b),
        TitleOf("b.fvc"));
    const char* pszSaid = c.pszOutput ? "Exame salvo com sucesso." : nullptr;
    script.nBoxes = pszSaid ? 1 : 0;
    const std::string strOut = c.pszOutput ? dir / ("out/" + std::string(c.pszOutput)) : "";
    unsigned nCommand = COxuPulmetraView::ID_FILE_SAVE_AS;
    if (c.pszOutput) {
        script.strDialog = "^Save As$";
        script.strTyped = strOut;
    } else {
        ASSERT_TRUE(cups.Start()) << cups.Error();
        ASSERT_TRUE(cups.AddPdfQueue("SpiroPdf")) << cups.Error();
        ASSERT_TRUE(cups.SetDefault("SpiroPdf")) << cups.Error();
        script.strDialog = "^Imprimir$";
        // Return would press "Propriedades...", the dialog's first button: the user goes to
        // OK past the printer, that button, the copies and the two flags.
        script.strKey = "Tab Tab Tab Tab Tab Return";
        nCommand = COxuPulmetraView::ID_FILE_PRINT;
    }
    if (c.bShownUnder)
        OpenUnderTheDialog([&] { Frame().Doc().OpenExam(b, 0); });
    const testsupport::CHandOverUser::CSeen seen =
        testsupport::CHandOverUser::During(x, script, [&] {
            Frame().Commands().UpdateAll();
            EXPECT_TRUE(Frame().Commands().OnCommand(nCommand));
        });
    ASSERT_EQ(Judge(seen, c.bShownUnder, pszSaid), "") << x.Tree();
    // Nothing handed over is lost: B opens once the command is done.
    if (!c.bShownUnder) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return Title() == TitleOf("b.fvc"); }, 10000)) << Title();
    }
    EXPECT_NE(Frame().Doc().List().FindByPath(b), nullptr);
    ASSERT_EQ(Frame().Doc().List().GetSize(), 2);

    if (c.pszOutput) {
        CheckSavedAs(strOut);
    } else {
        const std::string strPdf = cups.WaitForOutput(60000);
        ASSERT_FALSE(strPdf.empty()) << cups.Log();
        CheckIds(PdfText(strPdf));
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, PulmetraHandOver, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CCase>& info) {
                             return std::string(info.param.pszName);
                         });

}  // namespace
