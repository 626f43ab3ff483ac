// Lindar's Print through the shared print dialog, as a user answers it, to the default PDF
// queue of a private CUPS server: the printed files are judged by pdfinfo and pdftotext.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>

#include "ecg_control/ekgfile.h"
#include "ecg_control/wavelin_dispids.h"
#include "lindar/lindargraphwnd.h"
#include "lindar/mainframe.h"
#include "oxuctrl/oxuctrl.h"
#include "platform/dispatch.h"
#include "printanswer.h"
#include "synthrecord.h"
#include "testsupport/cupspeer.h"
#include "testsupport/ecgpaper.h"
#include "testsupport/testsupport.h"
#include "viewers/common/printdialogs.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

// What the user saw in the print dialog before answering it.
struct CSeen {
    bool bShown = false;
    QString printer;
    std::vector<bool> flags;
};

// Answers the next print dialog: the copies typed in, then OK (or Cancel).
void AnswerPrintDialog(CSeen& seen, const QString& copies, bool bOk) {
    OnPrintDialog([&seen, copies, bOk](CEkgPrintDialog* pDlg) {
        seen.bShown = true;
        seen.printer = pDlg->findChild<CExComboBox*>("1139")->currentText();
        for (const char* id : {"1060", "1061", "1062", "1063"})
            seen.flags.push_back(pDlg->findChild<QCheckBox*>(id)->isChecked());
        pDlg->findChild<CExEdit*>("1154")->setText(copies);
        pDlg->findChild<QPushButton*>(bOk ? "1" : "2")->click();
    });
}

class LindarPrintPeer : public ::testing::Test {
protected:
    void SetUp() override {
        int nStatus = -1;
        // A record of clean beats (noise would make every page slow to render).
        RunCommand(std::string(PYTHON_EXE " " ECGSYNTH_SCRIPT " ") + ShellQuote(dir / "synth.ekg") +
                       " --rate 72",
                   &nStatus);
        ASSERT_EQ(nStatus, 0);
        ASSERT_TRUE(platform::RegisterControl({wavelin::kProgId, wavelin::kClsid, WAVELIN_PATH}));
        ASSERT_TRUE(cups.Start()) << cups.Error();
        ASSERT_TRUE(cups.AddPdfQueue("LindarPdf")) << cups.Error();
        ASSERT_TRUE(cups.SetDefault("LindarPdf")) << cups.Error();
        frame = std::make_unique<CMainFrame>();
        std::string strError;
        ASSERT_TRUE(frame->Create(&strError)) << strError;
        frame->resize(1024, 768);
        frame->show();
        QApplication::processEvents();
    }
    // Opens the record and names its patient as the patient bar would.
    void OpenNamed() {
        ASSERT_TRUE(frame->Doc().OpenExam(dir / "synth.ekg", 0));
        frame->View()->Pane(0)->EKGSetPatientInfo(1, "Maria Oliveira");
    }
    // Writes and opens the ruler record (a 1 mV spike every second).
    void OpenRuler() {
        CSynthRecord rec;
        MakeRulerRecord(rec);
        ASSERT_TRUE(WriteEkgFile(dir / "ruler.ekg", &rec.wave, &rec.info, &rec.morph));
        ASSERT_TRUE(frame->Doc().OpenExam(dir / "ruler.ekg", 0));
    }
    // Print, answered with the monochrome box checked; whether the dialog showed.
    bool PrintMonochrome() {
        bool bShown = false;
        OnPrintDialog([&bShown](CEkgPrintDialog* pDlg) {
            bShown = true;
            pDlg->findChild<QCheckBox*>("4087")->click();
            pDlg->findChild<QPushButton*>("1")->click();
        });
        EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_PRINT));
        return bShown;
    }
    static std::string Text(const std::string& pdf) {
        return RunCommand("pdftotext " + ShellQuote(pdf) + " -");
    }

    testsupport::CTempDir dir;
    testsupport::CEnvScope home{"CORVANE_HOME", (dir / "home").c_str()};
    testsupport::CEnvScope config{"XDG_CONFIG_HOME", (dir / "cfg").c_str()};
    testsupport::CScriptedNotifier notifier;
    testsupport::CCupsPeer cups;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(LindarPrintPeer, ThreeCopiesPrintWithThePrintFlagsAfterAnExport) {
    OpenNamed();
    COxuLindarView& view = *frame->View();
    // An export without interpretation, measurements, comment and pacemaker marks.
    view.m_exportFlags = {0, 0, 0, 0};
    ASSERT_EQ(view.SaveAsPath(dir / "export.pdf"), 1);
    const std::string exported = Text(dir / "export.pdf");
    EXPECT_EQ(exported.find("Analysis Result"), std::string::npos) << exported;
    EXPECT_EQ(exported.find("Heart Rate"), std::string::npos) << exported;

    CSeen seen;
    AnswerPrintDialog(seen, "3", true);
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_PRINT));
    ASSERT_TRUE(seen.bShown);
    EXPECT_EQ(seen.printer, "LindarPdf");  // the default queue, preselected
    EXPECT_EQ(seen.flags, std::vector<bool>(4, true));
    EXPECT_EQ(view.m_print.nCopies, 3);
    EXPECT_EQ(view.m_print.strPrinter, "LindarPdf");

    ASSERT_FALSE(cups.WaitForOutput(60000, 3).empty()) << cups.Log();
    const std::vector<std::string> files = cups.OutputFiles();
    ASSERT_EQ(files.size(), 3u);
    for (const std::string& pdf : files) {
        const std::string info = RunCommand("pdfinfo " + ShellQuote(pdf));
        EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
        const std::string text = Text(pdf);
        for (const char* want : {"*** Analysis Result ***",
                                 "Heart Rate : ", "*** Doctor's Comment ***", "Maria Oliveira"})
            EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
    }
}

TEST_F(LindarPrintPeer, CancelPrintsNothing) {
    OpenNamed();
    CSeen seen;
    AnswerPrintDialog(seen, "2", false);
    frame->View()->OnFilePrint();
    ASSERT_TRUE(seen.bShown);
    EXPECT_EQ(frame->View()->m_print.nCopies, 1);
    QTest::qWait(1500);
    EXPECT_TRUE(cups.OutputFiles().empty());
}

}  // namespace

namespace {

// The preview's print button (its result 1) runs Print: the dialog, then the page.
TEST_F(LindarPrintPeer, ThePreviewsPrintButtonPrints) {
    OpenNamed();
    bool bPreview = false;
    auto* pTimer = new QTimer;
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, &bPreview] {
        QWidget* pModal = QApplication::activeModalWidget();
        auto* pDlg = qobject_cast<QDialog*>(pModal);
        if (!pDlg || qobject_cast<CEkgPrintDialog*>(pModal) || !pDlg->isVisible())
            return;
        pTimer->stop();
        pTimer->deleteLater();
        bPreview = true;
        pDlg->accept();
    });
    pTimer->start();
    CSeen seen;
    AnswerPrintDialog(seen, "1", true);
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_PRINT_PREVIEW));
    EXPECT_TRUE(bPreview);
    ASSERT_TRUE(seen.bShown);
    const std::string pdf = cups.WaitForOutput(60000);
    ASSERT_FALSE(pdf.empty()) << cups.Log();
    EXPECT_NE(Text(pdf).find("Maria Oliveira"), std::string::npos);
    EXPECT_EQ(cups.OutputFiles().size(), 1u);
}

}  // namespace

namespace {

int CountLines(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
        ++n;
    return n;
}

// A queue that refuses the first copy gets no second: 3 copies ask the print system as
// often as 1 copy does.
TEST_F(LindarPrintPeer, CopiesStopAtTheFirstRefusal) {
    ASSERT_TRUE(cups.AddRejectingQueue("Refuser")) << cups.Error();
    OpenNamed();
    auto printTo = [this](const char* copies) {
        OnPrintDialog([copies](CEkgPrintDialog* pDlg) {
            auto* pList = pDlg->findChild<CExComboBox*>("1139");
            pList->setCurrentIndex(pList->findText("Refuser"));
            pDlg->findChild<CExEdit*>("1154")->setText(copies);
            pDlg->findChild<QPushButton*>("1")->click();
        });
        frame->View()->OnFilePrint();
        QTest::qWait(500);
        return CountLines(testsupport::ReadFile(cups.Folder() + "/log/access_log"),
                          "/printers/Refuser");
    };
    const int nOne = printTo("1");
    ASSERT_GT(nOne, 0) << testsupport::ReadFile(cups.Folder() + "/log/access_log");
    const int nThree = printTo("3");
    EXPECT_EQ(nThree, 2 * nOne) << testsupport::ReadFile(cups.Folder() + "/log/access_log");
    EXPECT_EQ(frame->View()->m_print.nCopies, 3);
    EXPECT_TRUE(cups.OutputFiles().empty());
}

}  // namespace

namespace {

// Lindar's Print of a ruler record (a 1 mV spike every second) in each channel layout, on a
// queue whose printer cannot print within 5 mm of the paper's edges and on one that prints to
// them, with the print pens the view starts with, read at 300 dpi: true scale inside the
// printable area, traces solid at width 1, and the span of the record's PDF from Save As.
struct CLindarPaperCase {
    double dMargin;
    int nSamples, nFormat;
};

void PrintTo(const CLindarPaperCase& c, std::ostream* pOut) {
    *pOut << "margin " << c.dMargin << ", " << c.nSamples << " samples, format " << c.nFormat;
}

class LindarPaperScale : public LindarPrintPeer,
                         public ::testing::WithParamInterface<CLindarPaperCase> {};

TEST_P(LindarPaperScale, TrueScaleAndSolidTraces) {
    const CLindarPaperCase& c = GetParam();
    const testsupport::CPaperMargins margins{c.dMargin, c.dMargin, c.dMargin, c.dMargin};
    ASSERT_TRUE(cups.AddPdfQueue("Paper", margins)) << cups.Error();
    ASSERT_TRUE(cups.SetDefault("Paper")) << cups.Error();
    CSynthRecord rec;
    MakeRulerRecord(rec, c.nSamples);
    const std::string record = dir / (c.nSamples == 6000 ? "ruler.raw" : "ruler.ekg");
    ASSERT_TRUE(WriteEkgFile(record, &rec.wave, &rec.info, &rec.morph));
    ASSERT_TRUE(frame->Doc().OpenExam(record, 0));
    COxuLindarView& view = *frame->View();
    ASSERT_EQ(view.OnBarChange(1, c.nFormat), 0);  // the channel layout bar
    ASSERT_EQ(view.Pane(0)->m_nChType, c.nFormat);

    CSeen seen;
    AnswerPrintDialog(seen, "1", true);
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_PRINT));
    ASSERT_TRUE(seen.bShown);
    EXPECT_EQ(seen.printer, "Paper");
    const std::string pdf = cups.WaitForOutput(60000);
    ASSERT_FALSE(pdf.empty()) << cups.Log();
    // The ECG report's paper: A4 landscape, as the control prints it.
    const std::string sent = RunCommand("pdfinfo " + ShellQuote(cups.LastJobDocument()));
    EXPECT_NE(sent.find("842 x 595 pts (A4)"), std::string::npos) << sent;
    testsupport::CPageRaster page;
    ASSERT_TRUE(page.LoadPdf(pdf, 300)) << page.Error();
    page.TurnUpright();
    const auto paper = testsupport::ReadEcgPaper(page, testsupport::PaperPulseTopLeft(c.nFormat));
    std::cout << "Lindar: " << testsupport::Describe(paper) << "\n";
    const QMarginsF upright(c.dMargin, c.dMargin, c.dMargin, c.dMargin);
    EXPECT_EQ(testsupport::PaperFaults(page, paper, upright, c.nFormat), "");
    EXPECT_EQ(testsupport::WidestTraceGap(page, paper), 0);

    // The record's PDF (whose format 3 shows quarters, not beats) shows the same span.
    if (c.nFormat == 3)
        return;
    ASSERT_EQ(view.SaveAsPath(dir / "ruler.pdf"), 1);
    testsupport::CPageRaster exported;
    ASSERT_TRUE(exported.LoadPdf(dir / "ruler.pdf", 300)) << exported.Error();
    EXPECT_EQ(testsupport::SpanFaults(paper, testsupport::ReadEcgPaper(exported, {})), "");
}

std::vector<CLindarPaperCase> LindarPaperCases() {
    std::vector<CLindarPaperCase> cases;
    for (double dMargin : {5.0, 0.0}) {
        for (int nSamples : {5000, 6000}) {
            for (int nFormat = 0; nFormat < 4; ++nFormat)
                cases.push_back({dMargin, nSamples, nFormat});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Records, LindarPaperScale, ::testing::ValuesIn(LindarPaperCases()),
                         [](const ::testing::TestParamInfo<CLindarPaperCase>& info) {
                             const CLindarPaperCase& c = info.param;
                             return "Margin" + std::to_string(int(c.dMargin)) +
                                    (c.nSamples == 6000 ? "_60Hz" : "_50Hz") + "_Format" +
                                    std::to_string(c.nFormat);
                         });

}  // namespace

namespace {

// Monochrome prints grey grids and a solid black trace: between the spikes of the ruler
// record (the ink near black alone, without the grids) no row of the page has a gap.
TEST_F(LindarPrintPeer, MonochromePrintsSolidTraces) {
    OpenRuler();
    ASSERT_EQ(frame->View()->Pane(0)->m_nChType, 1);
    ASSERT_TRUE(PrintMonochrome());
    EXPECT_EQ(frame->View()->m_print.trace.nStyle, 0);
    const std::string pdf = cups.WaitForOutput(60000);
    ASSERT_FALSE(pdf.empty()) << cups.Log();
    testsupport::CPageRaster page;
    ASSERT_TRUE(page.LoadPdf(pdf, 300)) << page.Error();
    page.TurnUpright();
    QImage black = page.Image().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < black.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(black.scanLine(y));
        for (int x = 0; x < black.width(); ++x) {
            const QRgb c = line[x];
            line[x] = std::max({qRed(c), qGreen(c), qBlue(c)}) < 30 ? 0xFF000000 : 0xFFFFFFFF;
        }
    }
    const testsupport::CPageRaster traces(black, 300);
    // The grid lies 21 mm and 9 mm inside the paper of a queue without margins.
    const std::vector<double> rows = traces.FlatTraceRows(21, 271);
    ASSERT_EQ(rows.size(), 7u);  // six rows of leads and the rhythm strip
    for (double y : rows) {
        // From 1 mm after the spike at 12.5 mm to 1 mm before the next at 37.5 mm.
        EXPECT_EQ(traces.WidestGapAlongRow(y, 21 + 13.5, 21 + 36.5, 0.3), 0) << y << " mm";
    }
}

// The trace pen picked in the print dialog is the one printed: its style list makes the
// trace dashed, its width list 0.4 mm wide.
TEST_F(LindarPrintPeer, TheDialogsTracePenIsPrinted) {
    OpenRuler();
    bool bShown = false;
    OnPrintDialog([&bShown](CEkgPrintDialog* pDlg) {
        bShown = true;
        pDlg->findChild<CComboBoxLine*>("4076")->setCurrentIndex(1);  // dash
        pDlg->findChild<CComboBoxLine*>("4075")->setCurrentIndex(4);  // 0.4 mm
        pDlg->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_PRINT));
    ASSERT_TRUE(bShown);
    EXPECT_EQ(frame->View()->m_print.trace.nStyle, 1);
    EXPECT_EQ(frame->View()->m_print.trace.nWidth, 4);
    const std::string pdf = cups.WaitForOutput(60000);
    ASSERT_FALSE(pdf.empty()) << cups.Log();
    testsupport::CPageRaster page;
    ASSERT_TRUE(page.LoadPdf(pdf, 300)) << page.Error();
    page.TurnUpright();
    const auto paper = testsupport::ReadEcgPaper(page, testsupport::PaperPulseTopLeft(1));
    ASSERT_FALSE(paper.rows.empty());
    EXPECT_GT(testsupport::WidestTraceGap(page, paper), 0.3);
    // The thickest cut across the first row between its label and its first spike.
    double dThickest = 0;
    for (double x = 5; x < 12; x += 0.25) {
        for (const auto& run :
             page.RunsAlongColumn(paper.grid.Left() + x, paper.rows[0] - 2, paper.rows[0] + 2))
            dThickest = std::max(dThickest, run.dWidth);
    }
    EXPECT_NEAR(dThickest, 0.4, 0.1);
}

}  // namespace

namespace {

// Pixels of a printed page by their ink: blue (the trace picked below), red-pink (the colour
// grids), grey (neither: monochrome grids).
struct CInk {
    int nBlue = 0, nPink = 0;
};

CInk InkOf(const std::string& pdf) {
    testsupport::CPageRaster page;
    EXPECT_TRUE(page.LoadPdf(pdf, 100)) << page.Error();
    const QImage img = page.Image().convertToFormat(QImage::Format_RGB32);
    CInk ink;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            ink.nBlue += b - std::max(r, g) > 80 ? 1 : 0;
            ink.nPink += r - std::max(g, b) > 40 ? 1 : 0;
        }
    }
    return ink;
}

// A monochrome print leaves the pens the user chose: the next print, with the box clear,
// has them again in the dialog and on paper (a blue trace one unit wide, the red grids).
TEST_F(LindarPrintPeer, AColourPrintAfterAMonochromeOneUsesTheColourPens) {
    OpenRuler();
    // What an earlier colour print left: a blue trace (blue in the high byte).
    frame->View()->m_print.trace = {0, 1, 0xFF0000};
    ASSERT_TRUE(PrintMonochrome());
    const std::string mono = cups.WaitForOutput(60000);
    ASSERT_FALSE(mono.empty()) << cups.Log();
    const CInk monoInk = InkOf(mono);
    EXPECT_EQ(monoInk.nBlue, 0);
    EXPECT_EQ(monoInk.nPink, 0);

    bool bMonochrome = true;
    COLORREF crTrace = 0;
    int nTraceWidth = -1;
    OnPrintDialog([&](CEkgPrintDialog* pDlg) {
        bMonochrome = pDlg->findChild<QCheckBox*>("4087")->isChecked();
        crTrace = pDlg->findChild<CColourPicker*>("4074")->GetColour();
        nTraceWidth = pDlg->findChild<CComboBoxLine*>("4075")->currentIndex();
        pDlg->findChild<QPushButton*>("1")->click();
    });
    EXPECT_TRUE(frame->Commands().OnCommand(COxuLindarView::ID_FILE_PRINT));
    EXPECT_FALSE(bMonochrome);
    EXPECT_EQ(crTrace, 0xFF0000u);
    EXPECT_EQ(nTraceWidth, 1);
    const std::string colour = cups.WaitForOutput(60000, 2);
    ASSERT_FALSE(colour.empty()) << cups.Log();
    ASSERT_NE(colour, mono);
    const CInk colourInk = InkOf(colour);
    EXPECT_GT(colourInk.nBlue, 1000);
    EXPECT_GT(colourInk.nPink, 10000);
}

// Print Setup chooses the printer: its confirm button says so ("OK", as the print dialog's),
// and the queue chosen is the one the print dialog opens with.
TEST_F(LindarPrintPeer, PrintSetupConfirmsWithOkAndChoosesTheQueue) {
    ASSERT_TRUE(cups.AddPdfQueue("Other")) << cups.Error();
    QString strConfirm;
    auto* pTimer = new QTimer;
    pTimer->setInterval(20);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, &strConfirm] {
        auto* pDlg = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (!pDlg || !pDlg->isVisible())
            return;
        pTimer->stop();
        pTimer->deleteLater();
        auto* pBox = pDlg->findChild<QDialogButtonBox*>();
        ASSERT_NE(pBox, nullptr);
        QPushButton* pOk = pBox->button(QDialogButtonBox::Ok);
        ASSERT_NE(pOk, nullptr);
        strConfirm = pOk->text().remove('&');
        auto* pPrinters = pDlg->findChild<QComboBox*>("printers");
        ASSERT_NE(pPrinters, nullptr);
        pPrinters->setCurrentIndex(pPrinters->findText("Other"));
        pOk->click();
    });
    pTimer->start();
    EXPECT_TRUE(frame->Commands().OnCommand(CMainFrame::ID_FILE_PRINT_SETUP));
    EXPECT_EQ(strConfirm.toStdString(), "OK");
    EXPECT_EQ(frame->View()->m_print.strPrinter, "Other");
}

}  // namespace
