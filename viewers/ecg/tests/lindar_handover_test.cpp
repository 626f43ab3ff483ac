// A second start while a command's dialog or question is open. Lindar's application runs in
// this process on a real X screen with its screen notifier; a real second Lindar process
// hands record B over while the dialog is open, then the user (xdotool) answers it. Save As
// in every type, Print and "Salvar Info" act on record A, the one they were started for
// (cmp, identify/compare, pdftotext, xmllint, pydicom), and B opens afterwards; so they do
// when B comes into the pane under the dialog by another road.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

#include "ecg_control/ekgfile.h"
#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_control/wavelin_dispids.h"
#include "lindar/patientbar.h"
#include "lindarappscene.h"
#include "platform/dispatch.h"
#include "testsupport/cupspeer.h"
#include "testsupport/xscreenenv.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

::testing::Environment* const kScreen =
    ::testing::AddGlobalTestEnvironment(new testsupport::CXScreenEnvironment);

constexpr const char* kNameA = "Ana Almeida";
constexpr const char* kNameB = "Bruno Barros";
constexpr const char* kEdited = "Carla Costa";

enum class ECommand { SaveAs, Print, SaveInfo };

struct CCase {
    const char* pszName;
    ECommand eCommand;
    const char* pszOutput;  // Save As: the file typed into the dialog
    // B shown in the pane while the dialog is open by another road than a hand-over (which
    // waits): the command still acts on A.
    bool bShownUnder;
    const char* pszSaid;  // the box after the answer, or null
};

void PrintTo(const CCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

constexpr const char* kSaved = "Gravado com sucesso.";
const CCase kCases[] = {
    {"RecordCopy", ECommand::SaveAs, "copy.ekg", false, kSaved},
    {"Jpeg", ECommand::SaveAs, "page.jpg", false, kSaved},
    {"Pdf", ECommand::SaveAs, "page.pdf", false, kSaved},
    {"Xml", ECommand::SaveAs, "record.xml", false, kSaved},
    {"Dicom", ECommand::SaveAs, "record.dcm", false, kSaved},
    {"Print", ECommand::Print, nullptr, false, nullptr},
    {"SaveInfo", ECommand::SaveInfo, nullptr, false, "Exame salvo com sucesso!"},
    {"RecordCopyWithBShown", ECommand::SaveAs, "copy.ekg", true, kSaved},
    {"PrintWithBShown", ECommand::Print, nullptr, true, nullptr},
    // The fields now hold B's data: the edits are gone, and neither record is written.
    {"SaveInfoWithBShown", ECommand::SaveInfo, nullptr, true, "Falha ao gravar o arquivo (*.ekg)."},
};

class LindarHandOver : public ::testing::TestWithParam<CCase>, protected CLindarAppScene {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeFolders());
        ASSERT_TRUE(platform::RegisterControl({wavelin::kProgId, wavelin::kClsid, WAVELIN_PATH}));
        MakeRecord(a, kNameA, 60);
        MakeRecord(b, kNameB, 90);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(RunCommand("cp " + ShellQuote(a) + " " + ShellQuote(dir / "a0.ekg") + " && cp " +
                             ShellQuote(b) + " " + ShellQuote(dir / "b0.ekg") + "; echo $?"),
                  "0\n");
        ASSERT_NO_FATAL_FAILURE(StartWith(a));
    }
    void TearDown() override { Stop(); }
    // Save As of the current exam straight to a path, its box answered by a stand-in: the
    // picture a record gives when nothing is handed over meanwhile.
    std::string Reference(const std::string& strRecord, const std::string& strName) {
        testsupport::CScriptedNotifier quiet;
        Frame().Doc().OpenExam(strRecord, 0);  // already open: shown again
        EXPECT_EQ(Frame().View()->SaveAsPath(dir / strName), 1);
        return dir / strName;
    }
    void CheckSavedAs(const std::string& strOut) {
        const std::string q = ShellQuote(strOut);
        const std::string strExt = strOut.substr(strOut.size() - 3);
        if (strExt == "ekg") {
            EXPECT_TRUE(Same(strOut, dir / "a0.ekg"));
            EXPECT_FALSE(Same(strOut, dir / "b0.ekg"));
        } else if (strExt == "jpg") {
            EXPECT_EQ(RunCommand("identify -format %m " + q + " 2>&1"), "JPEG");
            EXPECT_EQ(PictureDifference(strOut, Reference(a, "ref_a.jpg")), "0");
            EXPECT_NE(PictureDifference(strOut, Reference(b, "ref_b.jpg")), "0");
        } else if (strExt == "pdf") {
            CheckNames(PdfText(strOut));
        } else if (strExt == "xml") {
            EXPECT_EQ(
                RunCommand("xmllint --xpath 'string(/Tessaro/PatientInfo/Name)' " + q + " 2>&1"),
                std::string(kNameA) + "\n");
        } else if (strExt == "dcm") {
            EXPECT_EQ(
                RunCommand(PYTHON_EXE " " DCMJUDGE_PY " attrs " + q + " " +
                           ShellQuote(std::string("PatientName=") + kNameA) + " 2>&1; echo $?"),
                "0\n");
        }
    }
    static void CheckNames(const std::string& strText) {
        EXPECT_NE(strText.find(kNameA), std::string::npos) << strText;
        EXPECT_EQ(strText.find(kNameB), std::string::npos) << strText;
    }

    const std::string a = dir / "a.ekg", b = dir / "b.ekg";
};

TEST_P(LindarHandOver, TheCommandActsOnItsOwnRecordAndTheHandedOverOneOpensAfter) {
    const CCase& c = GetParam();
    const testsupport::CXvfb& x = testsupport::CXScreenEnvironment::Screen();
    testsupport::CCupsPeer cups;
    testsupport::CHandOverUser::CScript script = Script(c.bShownUnder, SecondStart(b), "Lindar - " + b);
    script.nBoxes = c.pszSaid ? 1 : 0;
    const std::string strOut = c.pszOutput ? dir / ("out/" + std::string(c.pszOutput)) : "";
    unsigned nCommand = 0;
    switch (c.eCommand) {
        case ECommand::SaveAs:
            script.strDialog = "^Save As$";
            script.strTyped = strOut;
            nCommand = COxuLindarView::ID_FILE_SAVE_AS;
            break;
        case ECommand::Print:
            ASSERT_TRUE(cups.Start()) << cups.Error();
            ASSERT_TRUE(cups.AddPdfQueue("LindarPdf")) << cups.Error();
            ASSERT_TRUE(cups.SetDefault("LindarPdf")) << cups.Error();
            script.strDialog = "^Imprimir$";
            nCommand = COxuLindarView::ID_FILE_PRINT;
            break;
        case ECommand::SaveInfo:
            script.strDialog = "^Lindar$";
            script.bDialogIsBox = true;
            break;
    }
    if (c.bShownUnder)
        OpenUnderTheDialog([&] { Frame().Doc().OpenExam(b, 0); });
    const testsupport::CHandOverUser::CSeen seen =
        testsupport::CHandOverUser::During(x, script, [&] {
            if (nCommand != 0) {
                Frame().Commands().UpdateAll();
                EXPECT_TRUE(Frame().Commands().OnCommand(nCommand));
                return;
            }
            CPatientBar& bar = *Frame().PatientBar();
            bar.findChild<QPushButton*>("1097")->click();  // Editar Info
            bar.FieldEdit(CPatientBar::NAME)->setText(kEdited);
            bar.findChild<QPushButton*>("1027")->click();  // Salvar Info
        });
    ASSERT_EQ(Judge(seen, c.bShownUnder, c.pszSaid), "") << x.Tree();
    if (c.eCommand == ECommand::SaveInfo) {
        EXPECT_NE(seen.strDialogText.find("Tem certeza que deseja salvar"), std::string::npos)
            << seen.strDialogText;
    }
    // Nothing handed over is lost: B opens once the command is done.
    if (!c.bShownUnder) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return Title() == "Lindar - " + b; }, 10000)) << Title();
    }
    EXPECT_NE(Frame().Doc().List().FindByPath(b), nullptr);
    ASSERT_EQ(Frame().Doc().List().GetSize(), 2);

    switch (c.eCommand) {
        case ECommand::SaveAs:
            CheckSavedAs(strOut);
            break;
        case ECommand::Print: {
            const std::string strPdf = cups.WaitForOutput(60000);
            ASSERT_FALSE(strPdf.empty()) << cups.Log();
            CheckNames(PdfText(strPdf));
            break;
        }
        case ECommand::SaveInfo: {
            CWaveBuffer wave;
            CEkgRecordInfo info;
            CMorphologyTable morph;
            ASSERT_TRUE(ReadEkgFile(a, &wave, &info, &morph, 0));
            EXPECT_EQ(info.GetPatientInfo(1), c.bShownUnder ? kNameA : kEdited);
            if (c.bShownUnder) {
                EXPECT_TRUE(Same(a, dir / "a0.ekg"));
            }
            EXPECT_TRUE(Same(b, dir / "b0.ekg"));
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, LindarHandOver, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CCase>& info) {
                             return std::string(info.param.pszName);
                         });

}  // namespace
