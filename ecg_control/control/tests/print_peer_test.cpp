// EKGPrint against a private cupsd with a PDF queue: the PDF the queue wrote is judged by
// pdfinfo, pdftotext and a pdftoppm raster; the failure answers against real queues.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include "ecg_control/control/ekggraphwnd.h"
#include "ecg_control/ekgfile.h"
#include "printprobe.h"
#include "synthrecord.h"
#include "testsupport/cupspeer.h"
#include "testsupport/testsupport.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

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
    testsupport::CCupsPeer m_cups;
    CEkgGraphWnd m_view;
};

TEST_F(PrintPeerTest, OneA4PageAtTrueScale) {
    ASSERT_EQ(m_view.EKGPrint("PdfOut", 0, 0, 1), 0);
    const std::string pdf = m_cups.WaitForOutput(30000);
    ASSERT_FALSE(pdf.empty()) << m_cups.Log();
    const std::string info = RunCommand("pdfinfo " + ShellQuote(pdf));
    EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
    EXPECT_NE(info.find("Resting ECG Host"), std::string::npos) << info;
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

    // 254 dpi: 10 pixels a millimetre.
    RunCommand("pdftoppm -r 254 -png -singlefile " + ShellQuote(pdf) + " " + ShellQuote(m_dir / "page"));
    QImage raster;
    ASSERT_TRUE(raster.load(QString::fromStdString(m_dir / "page.png")));
    const QImage page = printprobe::Landscape(raster.convertToFormat(QImage::Format_RGB32));
    const QRect grid = printprobe::GridBox(page);
    EXPECT_NEAR(grid.width(), 2500 + 30, 10);  // 250 mm and the 3 mm ticks
    EXPECT_NEAR(grid.height(), 1850 + 30, 10);  // 185 mm
    const auto runs = printprobe::PulseRuns(page, grid, 15);
    EXPECT_TRUE(printprobe::HasRunNear(runs, 100, 5));  // 10 mm
    EXPECT_TRUE(printprobe::HasRunNear(runs, 50, 5));   // 5 mm
}

TEST_F(PrintPeerTest, FailureAnswers) {
    EXPECT_EQ(m_view.EKGPrint("", 3, 1, 1), 1);
    EXPECT_EQ(m_view.EKGPrint("NoSuchQueue", 3, 1, 1), 3);
    EXPECT_EQ(m_view.EKGPrint("Refuser", 3, 1, 1), 4);
    m_view.EKGClearGraph();
    EXPECT_EQ(m_view.EKGPrint("PdfOut", 3, 1, 1), 2);
    EXPECT_TRUE(m_cups.WaitForOutput(1000).empty());
}
