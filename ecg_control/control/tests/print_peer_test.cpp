// EKGPrint against a private cupsd with PDF queues: the PDF the queue wrote is judged by
// pdfinfo, pdftotext and a pdftoppm raster measured in millimetres; the failure answers
// against real queues.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <iostream>

#include "ecg_control/control/ekggraphwnd.h"
#include "ecg_control/ekgfile.h"
#include "synthrecord.h"
#include "testsupport/cupspeer.h"
#include "testsupport/ecgpaper.h"
#include "testsupport/testsupport.h"

using testsupport::CCupsPeer;
using testsupport::CPageRaster;
using testsupport::CPaperMargins;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

QMarginsF UprightMargins(const CPaperMargins& portrait) {
    const CPaperMargins m = portrait.Landscape();
    return {m.dLeft, m.dTop, m.dRight, m.dBottom};
}

}  // namespace

class PrintPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_cups.Start()) << m_cups.Error();
        ASSERT_TRUE(m_cups.AddPdfQueue("PdfOut")) << m_cups.Error();
        ASSERT_TRUE(m_cups.AddRejectingQueue("Refuser")) << m_cups.Error();
        QGuiApplication::setApplicationDisplayName("Resting ECG Host");
        CSynthRecord rec;
        MakeSynthRecord(rec);
        rec.info.SetComment("Comment that stays off paper");
        ASSERT_TRUE(WriteEkgFile(m_dir / "synth.ekg", &rec.wave, &rec.info, &rec.morph));
        ASSERT_TRUE(m_view.EKGOpenFile(m_dir / "synth.ekg"));
    }

    testsupport::CTempDir m_dir;
    CCupsPeer m_cups;
    CEkgGraphWnd m_view;
};

TEST_F(PrintPeerTest, OneA4PageWithTheReportTexts) {
    ASSERT_EQ(m_view.EKGPrint("PdfOut", 0, 0, 1), 0);
    const std::string pdf = m_cups.WaitForOutput(30000);
    ASSERT_FALSE(pdf.empty()) << m_cups.Log();
    const std::string info = RunCommand("pdfinfo " + ShellQuote(pdf));
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Resting ECG Host"), std::string::npos) << info;
    // What the program handed in: one A4 landscape page.
    const std::string sent = RunCommand("pdfinfo " + ShellQuote(m_cups.LastJobDocument()));
    EXPECT_NE(sent.find("842 x 595 pts (A4)"), std::string::npos) << sent;
    // The page is turned a quarter on A4 portrait; pdftotext joins the words of a line.
    const std::string text = RunCommand("pdftotext " + ShellQuote(pdf) + " -");
    for (const char* want : {"12Channel Rhythm Report", "ID : ", "Heart Rate : ", "PR int. : ",
                             "*** Analysis Result *** (Unconfirmed Report)"}) {
        EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
    }
    EXPECT_NE(text.find(m_view.Info().m_patient.m_strID), std::string::npos) << text;
    ASSERT_FALSE(m_view.Info().GetStatements().empty());
    EXPECT_NE(text.find(m_view.Info().GetStatements()[0]), std::string::npos) << text;
    EXPECT_EQ(text.find("Doctor's Comment"), std::string::npos) << text;
    // The queue was told not to fit the page to the paper.
    EXPECT_EQ(m_cups.JobAttribute(m_cups.LastJobId(), "print-scaling"), "none");
}

TEST_F(PrintPeerTest, FailureAnswers) {
    EXPECT_EQ(m_view.EKGPrint("", 3, 1, 1), 1);
    EXPECT_EQ(m_view.EKGPrint("NoSuchQueue", 3, 1, 1), 3);
    EXPECT_EQ(m_view.EKGPrint("Refuser", 3, 1, 1), 4);
    m_view.EKGClearGraph();
    EXPECT_EQ(m_view.EKGPrint("PdfOut", 3, 1, 1), 2);
    EXPECT_TRUE(m_cups.WaitForOutput(1000).empty());
}

// Each failure leaves its reason for the host; the refusal in the print system's own words.
// A print the queue takes clears it.
TEST_F(PrintPeerTest, EachFailureLeavesItsReason) {
    EXPECT_EQ(m_view.EKGPrint("Refuser", 3, 1, 1), 4);
    const std::string strRefused = m_view.EKGGetPrintError();
    EXPECT_NE(strRefused.find("\"Refuser\""), std::string::npos) << strRefused;
    EXPECT_NE(strRefused.find("not accepting jobs"), std::string::npos) << strRefused;
    EXPECT_EQ(m_view.EKGPrint("NoSuchQueue", 3, 1, 1), 3);
    EXPECT_NE(m_view.EKGGetPrintError().find("\"NoSuchQueue\""), std::string::npos);
    EXPECT_EQ(m_view.EKGPrint("", 3, 1, 1), 1);
    EXPECT_FALSE(m_view.EKGGetPrintError().empty());
    ASSERT_EQ(m_view.EKGPrint("PdfOut", 3, 1, 1), 0);
    EXPECT_EQ(m_view.EKGGetPrintError(), "");
    m_view.EKGClearGraph();
    EXPECT_EQ(m_view.EKGPrint("PdfOut", 3, 1, 1), 2);
    EXPECT_FALSE(m_view.EKGGetPrintError().empty());
}

// The paper report of a ruler record (a 1 mV spike every second) on a queue whose printer
// cannot print near the paper's edges, read at 300 dpi: grid, pulse and seconds at true scale,
// placed in the printable area, nothing in the margins, every trace ending at the grid's end;
// a 12-second 60 Hz record shows what its PDF shows.
struct CPaperCase {
    std::string strName;
    CPaperMargins margins;  // of the paper held portrait
    int nSamples, nFormat;
};

void PrintTo(const CPaperCase& c, std::ostream* pOut) {
    *pOut << c.strName;
}

class PaperScale : public ::testing::TestWithParam<CPaperCase> {};

TEST_P(PaperScale, TrueScaleInsideThePrintableArea) {
    const CPaperCase& c = GetParam();
    testsupport::CTempDir dir;
    CCupsPeer cups;
    ASSERT_TRUE(cups.Start()) << cups.Error();
    ASSERT_TRUE(cups.AddPdfQueue("Paper", c.margins)) << cups.Error();
    CSynthRecord rec;
    MakeRulerRecord(rec, c.nSamples);
    const std::string record = dir / (c.nSamples == 6000 ? "ruler.raw" : "ruler.ekg");
    ASSERT_TRUE(WriteEkgFile(record, &rec.wave, &rec.info, &rec.morph));
    CEkgGraphWnd view;
    ASSERT_TRUE(view.EKGOpenFile(record));

    ASSERT_EQ(view.EKGPrint("Paper", 3, c.nFormat, 1), 0);
    const std::string pdf = cups.WaitForOutput(30000);
    ASSERT_FALSE(pdf.empty()) << cups.Log();
    CPageRaster page;
    ASSERT_TRUE(page.LoadPdf(pdf, 300)) << page.Error();
    page.TurnUpright();
    const auto paper = testsupport::ReadEcgPaper(page, testsupport::PaperPulseTopLeft(c.nFormat));
    std::cout << c.strName << ": " << testsupport::Describe(paper) << "\n";
    EXPECT_EQ(testsupport::PaperFaults(page, paper, UprightMargins(c.margins), c.nFormat), "");

    // The same span as the record's PDF (whose format 3 shows quarters, not beats).
    if (c.nFormat == 3)
        return;
    ASSERT_TRUE(view.EKGMakePDF(dir / "ruler.pdf", c.nFormat, 3, 1, 1280));
    CPageRaster exported;
    ASSERT_TRUE(exported.LoadPdf(dir / "ruler.pdf", 300)) << exported.Error();
    EXPECT_EQ(testsupport::SpanFaults(paper, testsupport::ReadEcgPaper(exported, {})), "");
}

// Both records in every format on a printer with 5 mm margins and on one without; and
// unequal margins, which the page follows through the paper's turn.
std::vector<CPaperCase> PaperCases() {
    static const struct {
        const char* szName;
        CPaperMargins margins;
    } s_aMargins[] = {{"Margin5", {5, 5, 5, 5}}, {"Margin0", {}}};
    std::vector<CPaperCase> cases;
    for (const auto& m : s_aMargins) {
        for (int nSamples : {5000, 6000}) {
            for (int nFormat = 0; nFormat < 4; ++nFormat) {
                cases.push_back({std::string(m.szName) + (nSamples == 6000 ? "_60Hz" : "_50Hz") +
                                     "_Format" + std::to_string(nFormat),
                                 m.margins, nSamples, nFormat});
            }
        }
    }
    cases.push_back({"MarginsUnequal_50Hz_Format1", {3, 12, 6, 9}, 5000, 1});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EKGPrint, PaperScale, ::testing::ValuesIn(PaperCases()),
                         [](const ::testing::TestParamInfo<CPaperCase>& info) {
                             return info.param.strName;
                         });
