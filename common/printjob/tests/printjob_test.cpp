// Print jobs against a private cupsd with a PDF queue and a refusing queue; the PDF the
// queue writes is judged by pdfinfo and pdftotext.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QDir>
#include <memory>

#include "platform/folders.h"
#include "printjob/printjob.h"
#include "testsupport/cupspeer.h"
#include "testsupport/pageraster.h"
#include "testsupport/testsupport.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

class PrintJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A temp folder of this test alone, so that spool files can be counted.
        m_tmp = std::make_unique<testsupport::CEnvScope>("TMPDIR", m_dir.Path().c_str());
        ASSERT_TRUE(m_cups.Start()) << m_cups.Error();
        ASSERT_TRUE(m_cups.AddPdfQueue("PdfOut")) << m_cups.Error();
        ASSERT_TRUE(m_cups.AddRejectingQueue("Refuser")) << m_cups.Error();
    }
    // Spool files left in the private temp folder.
    static int SpoolFiles() {
        return QDir(QString::fromStdString(platform::PrivateTempDir()))
            .entryList({"print-*"}, QDir::Files)
            .size();
    }
    static void DrawText(CPrintJob& job, const QString& text) {
        QPainter& painter = job.Painter();
        painter.setFont(QFont("Liberation Sans", 12));
        painter.drawText(QPointF(job.Printer().resolution(), job.Printer().resolution()), text);
    }

    testsupport::CTempDir m_dir;
    std::unique_ptr<testsupport::CEnvScope> m_tmp;
    testsupport::CCupsPeer m_cups;
};

TEST_F(PrintJobTest, PagesReachTheQueueUnderTheTitle) {
    CPrintJob job;
    ASSERT_TRUE(job.Begin("PdfOut", "Resting ECG Report", QPageLayout::Landscape))
        << job.LastError().toStdString();
    DrawText(job, "FirstPageText");
    ASSERT_TRUE(job.NewPage());
    DrawText(job, "SecondPageText");
    int id = job.End();
    EXPECT_GT(id, 0) << job.LastError().toStdString();
    EXPECT_EQ(SpoolFiles(), 0);

    std::string pdf = m_cups.WaitForOutput(30000);
    ASSERT_FALSE(pdf.empty()) << m_cups.Log();
    std::string info = RunCommand("pdfinfo " + ShellQuote(pdf));
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Resting ECG Report"), std::string::npos) << info;
    // The queue hands A4 on in portrait, the landscape drawing turned a quarter.
    EXPECT_NE(info.find("595 x 842 pts (A4)"), std::string::npos) << info;
    std::string text = RunCommand("pdftotext " + ShellQuote(pdf) + " -");
    EXPECT_NE(text.find("FirstPageText"), std::string::npos) << text;
    EXPECT_NE(text.find("SecondPageText"), std::string::npos) << text;
}

TEST_F(PrintJobTest, DefaultQueueIsUsedForAnEmptyName) {
    CPrintJob job;
    EXPECT_FALSE(job.Begin("", "NoDefault", QPageLayout::Portrait));
    EXPECT_FALSE(job.LastError().isEmpty());
    ASSERT_TRUE(m_cups.SetDefault("PdfOut")) << m_cups.Error();
    ASSERT_TRUE(job.Begin("", "ViaDefault", QPageLayout::Portrait))
        << job.LastError().toStdString();
    DrawText(job, "DefaultText");
    EXPECT_GT(job.End(), 0) << job.LastError().toStdString();
    std::string pdf = m_cups.WaitForOutput(30000);
    ASSERT_FALSE(pdf.empty()) << m_cups.Log();
    EXPECT_NE(RunCommand("pdfinfo " + ShellQuote(pdf)).find("ViaDefault"), std::string::npos);
}

TEST_F(PrintJobTest, UnknownQueueIsRefusedAtBegin) {
    CPrintJob job;
    EXPECT_FALSE(job.Begin("NoSuchQueue", "x", QPageLayout::Portrait));
    EXPECT_NE(job.LastError().indexOf("NoSuchQueue"), -1);
    EXPECT_EQ(job.End(), 0);
    EXPECT_EQ(SpoolFiles(), 0);
}

TEST_F(PrintJobTest, RefusedJobGivesNoIdAndLeavesNoSpool) {
    CPrintJob job;
    ASSERT_TRUE(job.Begin("Refuser", "Refused", QPageLayout::Portrait));
    DrawText(job, "x");
    EXPECT_EQ(job.End(), 0);
    EXPECT_FALSE(job.LastError().isEmpty());
    EXPECT_EQ(SpoolFiles(), 0);
}

TEST_F(PrintJobTest, AbortSubmitsNothing) {
    {
        CPrintJob job;
        ASSERT_TRUE(job.Begin("PdfOut", "Dropped", QPageLayout::Portrait));
        DrawText(job, "x");
        job.Abort();
        EXPECT_EQ(SpoolFiles(), 0);
        CPrintJob unfinished;  // the destructor drops it as well
        ASSERT_TRUE(unfinished.Begin("PdfOut", "Dropped2", QPageLayout::Portrait));
    }
    EXPECT_EQ(SpoolFiles(), 0);
    EXPECT_TRUE(m_cups.WaitForOutput(1500).empty());
}

// A printer that cannot print to the paper's edges (unequal margins): the painter's origin
// is the printable area's corner, in either orientation, and the page is printed unscaled.
TEST_F(PrintJobTest, TheOriginIsThePrintableAreasCorner) {
    ASSERT_TRUE(m_cups.AddPdfQueue("Margins", {3, 12, 6, 9})) << m_cups.Error();
    struct Case {
        QPageLayout::Orientation eOrientation;
        QMarginsF margins;  // left, top, right, bottom of the page as drawn
    } cases[] = {{QPageLayout::Portrait, {3, 9, 6, 12}}, {QPageLayout::Landscape, {12, 3, 9, 6}}};
    for (const Case& c : cases) {
        CPrintJob job;
        ASSERT_TRUE(job.Begin("Margins", "Corner", c.eOrientation, QPageSize(QPageSize::A4)));
        EXPECT_NEAR(job.Margins().left(), c.margins.left(), 0.01);
        EXPECT_NEAR(job.Margins().top(), c.margins.top(), 0.01);
        EXPECT_NEAR(job.Margins().right(), c.margins.right(), 0.01);
        EXPECT_NEAR(job.Margins().bottom(), c.margins.bottom(), 0.01);
        // A 10 mm black square at the origin.
        const double dPxPerMm = job.Printer().resolution() / 25.4;
        job.Painter().fillRect(QRectF(0, 0, 10 * dPxPerMm, 10 * dPxPerMm), Qt::black);
        const int nJob = job.End();
        ASSERT_GT(nJob, 0) << job.LastError().toStdString();
        EXPECT_EQ(m_cups.JobAttribute(nJob, "print-scaling"), "none");
        const std::string pdf =
            m_cups.WaitForOutput(30000, c.eOrientation == QPageLayout::Portrait ? 1 : 2);
        ASSERT_FALSE(pdf.empty()) << m_cups.Log();
        testsupport::CPageRaster page;
        ASSERT_TRUE(page.LoadPdf(pdf, 300)) << page.Error();
        if (c.eOrientation == QPageLayout::Landscape)
            page.TurnUpright();
        const QRectF band(0, c.margins.top() + 5, page.WidthMm(), 1);
        EXPECT_NEAR(page.FirstDarkX(band), c.margins.left(), 0.2);
        EXPECT_NEAR(page.LastDarkX(band), c.margins.left() + 10, 0.2);
        const auto runs = page.RunsAlongColumn(c.margins.left() + 5, 0, page.HeightMm());
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_NEAR(runs[0].dCentre - runs[0].dWidth / 2, c.margins.top(), 0.2);
        EXPECT_NEAR(runs[0].dWidth, 10, 0.2);
    }
}

}  // namespace
