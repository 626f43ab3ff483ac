#include "ecg_export/ekgpdf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ecg_export/ekgexport.h"
#include "exportfixture.h"
#include "platform/codepage.h"
#include "testsupport/testsupport.h"

using testsupport::ShellQuote;

namespace {

std::string Squeezed(const std::string& strText) {
    std::string strOut;
    for (char ch : strText) {
        if (ch != ' ' || strOut.empty() || strOut.back() != ' ') {
            strOut += ch;
        }
    }
    return strOut;
}

#define EXPECT_TEXT(text, what) \
    EXPECT_NE((text).find(Squeezed(what)), std::string::npos) << (what) << "\n" << (text)

struct CPdfError {
    long nError, nDetail;
};

class EkgPdfTest : public ::testing::Test {
protected:
    // Writes the report through the dispatch-level exporter; the errors land in m_aErrors.
    BOOL Make(const std::string& strPath, short nChType = 2, short nGain = 0, short nRhyCh = 1) {
        m_exporter.SetPdfErrorSink([this](long nError, long nDetail) {
            m_aErrors.push_back({nError, nDetail});
        });
        return m_exporter.EKGMakePDF(strPath, nChType, nGain, nRhyCh, 800, m_record.Sources(),
                                     m_flags);
    }
    // The page text with runs of blanks made one (pdftotext lays out by position).
    std::string Text(const std::string& strPath) {
        return Squeezed(Shell("pdftotext -layout " + ShellQuote(strPath) + " -"));
    }
    // Keeps a rendered page for a person to look at when the run asks for it.
    std::string Render(const std::string& strPath, const std::string& strName) {
        const std::string strPrefix = m_dir / strName;
        int nStatus = -1;
        Shell(
            "pdftoppm -png -r 60 -singlefile " + ShellQuote(strPath) + " " + ShellQuote(strPrefix),
            &nStatus);
        EXPECT_EQ(nStatus, 0);
        const std::string strPng = strPrefix + ".png";
        if (const char* szKeep = std::getenv("CORVANE_TEST_ARTIFACTS")) {
            Shell("cp " + ShellQuote(strPng) + " " + ShellQuote(strPath) + " " +
                  ShellQuote(std::string(szKeep) + "/"));
        }
        return strPng;
    }

    testsupport::CTempDir m_dir;
    testsupport::CCodePageScope m_codePage{"CP1252"};
    CTestRecord m_record;
    CEkgPrintFlags m_flags;
    CEkgExporter m_exporter;
    std::vector<CPdfError> m_aErrors;
};

TEST_F(EkgPdfTest, ReportPassesTheOutsideCheckers) {
    m_record.info.SetPatientInfo(1, "Jo\xE3o Concei\xE7\xE3o");  // CP1252 "João Conceição"
    const std::string strPdf = m_dir / "report.pdf";
    ASSERT_TRUE(Make(strPdf, 2, 0, 1));
    EXPECT_TRUE(m_aErrors.empty());

    int nStatus = -1;
    const std::string strCheck = Shell("qpdf --check " + ShellQuote(strPdf), &nStatus);
    EXPECT_EQ(nStatus, 0) << strCheck;

    const std::string strInfo = Shell("pdfinfo " + ShellQuote(strPdf));
    EXPECT_NE(strInfo.find("841.89 x 595.27"), std::string::npos) << strInfo;
    EXPECT_NE(strInfo.find("Author:          Corvane"), std::string::npos) << strInfo;
    EXPECT_NE(strInfo.find("Creator:         RovEzez v1.0"), std::string::npos) << strInfo;
    EXPECT_NE(strInfo.find("Pages:           1"), std::string::npos) << strInfo;

    const std::string strText = Text(strPdf);
    for (const char* szExpected : {"3Channel + 1 Rhythm Report",
                                   "2026-12-09  14:35",
                                   "ID   : P-001",
                                   "Name : Jo\xC3\xA3o Concei\xC3\xA7\xC3\xA3o",
                                   "Surname : Santos",
                                   "Age : 54yrs. Sex : Male",
                                   "H : 170cm  W : 70kg",
                                   "Hospital : Hospital Central",
                                   "Confirmed by : Dr. Costa",
                                   "Heart Rate : 72 bpm",
                                   "PR int. : 156 ms",
                                   "QRS dur. : 94 ms",
                                   "QT/QTc : 384/421 ms",
                                   "P-R-T axes : 48-35-41",
                                   "*** Analysis Result *** (Unconfirmed Report)",
                                   "Sinus rhythm",
                                   "Normal ECG",
                                   "*** Doctor's Comment ***",
                                   "Reviewed without change.",
                                   "0.1Hz-100Hz, AC 50Hz.",
                                   "I-aVF:10mm/mV. V1-V6:5mm/mV.",
                                   "Pelvorn II",
                                   "Corvane Co., Ltd.",
                                   "aVR",
                                   "V6"}) {
        EXPECT_TEXT(strText, szExpected);
    }

    const std::string strFonts = Shell("pdffonts " + ShellQuote(strPdf));
    EXPECT_NE(strFonts.find("Helvetica"), std::string::npos) << strFonts;

    // Uncompressed: the page content is plain operators.
    const std::string strBytes = testsupport::ReadFile(strPdf);
    EXPECT_EQ(strBytes.find("/FlateDecode"), std::string::npos);
    EXPECT_NE(strBytes.find(" l\n"), std::string::npos);

    EXPECT_TRUE(testsupport::Exists(Render(strPdf, "report")));
}

// Title, checker and trace count for every lead format; format 3 is drawn as format 2.
TEST_F(EkgPdfTest, EveryLeadFormatAndGain) {
    struct Case {
        short nChType, nGain;
        const char* szTitle;
        const char* szCaption;  // null: no scale caption
    };
    const Case aCases[] = {
        {0, 3, "12Channel Rhythm Report", "All Channels:10mm/mV."},
        {1, 1, "6Channel + 1 Rhythm Report", "All Channels:2.5mm/mV."},
        {2, 4, "3Channel + 1 Rhythm Report", "All Channels:20mm/mV."},
        {3, 2, "Unknown Rhythm Report", "All Channels:5mm/mV."},
        {2, 7, "3Channel + 1 Rhythm Report", nullptr},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.szTitle);
        const std::string strPdf =
            m_dir / ("format" + std::to_string(c.nChType) + "_" + std::to_string(c.nGain) + ".pdf");
        ASSERT_TRUE(Make(strPdf, c.nChType, c.nGain, 1));
        int nStatus = -1;
        Shell("qpdf --check " + ShellQuote(strPdf), &nStatus);
        EXPECT_EQ(nStatus, 0);
        const std::string strText = Text(strPdf);
        EXPECT_TEXT(strText, c.szTitle);
        if (c.szCaption) {
            EXPECT_TEXT(strText, c.szCaption);
        } else {
            EXPECT_EQ(strText.find("mm/mV"), std::string::npos) << strText;
        }
        // Traces: 12 leads, plus the rhythm strip and the column separators, each over its
        // whole width (250 mm are 709 PDF units) with at most four points a unit; the grid
        // and the pulses add some 450 lines.
        const std::string strBytes = testsupport::ReadFile(strPdf);
        const int nMoves = CountOf(strBytes, " m\n");
        const int nLines = CountOf(strBytes, " l\n");
        const int nPageWidths = c.nChType == 0 ? 12 : c.nChType == 1 ? 7 : 4;
        EXPECT_GT(nLines, nPageWidths * 700);
        EXPECT_LT(nLines, nPageWidths * 4 * 709 + 600);
        EXPECT_GT(nMoves, 0);
        if (c.nChType == 3) {
            EXPECT_EQ(Render(strPdf, "format3").empty(), false);
        }
    }
    // Formats 2 and 3 differ only in the title (same gain compared).
    ASSERT_TRUE(Make(m_dir / "f2.pdf", 2, 2, 1));
    ASSERT_TRUE(Make(m_dir / "f3.pdf", 3, 2, 1));
    std::string strF2 = testsupport::ReadFile(m_dir / "f2.pdf");
    std::string strF3 = testsupport::ReadFile(m_dir / "f3.pdf");
    auto content = [](const std::string& s) {
        const size_t nFrom = s.find("stream\r\n");
        return s.substr(nFrom, s.find("endstream", nFrom) - nFrom);
    };
    std::string strC2 = content(strF2), strC3 = content(strF3);
    const size_t nTitle2 = strC2.find("3Channel + 1 Rhythm Report");
    ASSERT_NE(nTitle2, std::string::npos);
    EXPECT_EQ(strC2.substr(0, nTitle2 - 60), strC3.substr(0, nTitle2 - 60));
}

TEST_F(EkgPdfTest, MissingFolderGivesFalseAndTheErrorEvent) {
    const std::string strPdf = m_dir / "no such folder/report.pdf";
    EXPECT_FALSE(Make(strPdf));
    ASSERT_EQ(m_aErrors.size(), 1u);
    EXPECT_EQ(m_aErrors[0].nError, 0x1017);  // file open error of the PDF library
    EXPECT_FALSE(testsupport::Exists(strPdf));

    m_aErrors.clear();
    EXPECT_FALSE(Make(""));
    EXPECT_EQ(m_aErrors.size(), 1u);
}

TEST_F(EkgPdfTest, FailedSaveLeavesNothingBehind) {
    // The target is a folder: the rename at the end fails, after everything was written.
    const std::string strTarget = m_dir / "taken.pdf";
    ASSERT_TRUE(testsupport::WriteFile(strTarget + "/inside", "kept"));
    EXPECT_FALSE(Make(strTarget));
    ASSERT_EQ(m_aErrors.size(), 1u);
    EXPECT_EQ(m_aErrors[0].nError, 0x1016);  // file I/O error of the PDF library
    EXPECT_EQ(testsupport::ReadFile(strTarget + "/inside"), "kept");
    // No temporary file is left in the folder.
    EXPECT_EQ(Shell("ls -A " + ShellQuote(m_dir.Path())), "taken.pdf\n");
}

// With every pen at style 5 only the background, texts, labels and the calibration
// pulses remain: the only lines are the pulses' five segments each.
TEST_F(EkgPdfTest, PensOfStyleFiveDrawNothing) {
    m_exporter.SetGrid(5, 1, 0xFF);
    m_exporter.SetGrid_Inner(5, 1, 0xFF);
    m_exporter.SetGraph(5, 1, 0);
    const std::string strPdf = m_dir / "nopens.pdf";
    ASSERT_TRUE(Make(strPdf, 1, 0, 1));
    const std::string strBytes = testsupport::ReadFile(strPdf);
    EXPECT_EQ(CountOf(strBytes, " l\n"), 10);
    EXPECT_EQ(CountOf(strBytes, " m\n"), 2);
    const std::string strText = Text(strPdf);
    EXPECT_TEXT(strText, "aVF");
    EXPECT_TEXT(strText, "Heart Rate : 72 bpm");
}

TEST_F(EkgPdfTest, PenStylesBecomeDashPatterns) {
    struct Case {
        short nStyle;
        const char* szDash;
    };
    const Case aCases[] = {
        {1, "[5 1 ] 2 d"}, {2, "[1 5 ] 1 d"}, {3, "[5 1 1 1 ] 0 d"}, {4, "[5 1 1 1 1 1 ] 0 d"}};
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.nStyle);
        m_exporter.SetGrid(c.nStyle, 2, RGB(0, 128, 255));
        const std::string strPdf = m_dir / "dash.pdf";
        ASSERT_TRUE(Make(strPdf));
        const std::string strBytes = testsupport::ReadFile(strPdf);
        EXPECT_NE(strBytes.find(c.szDash), std::string::npos);
        // Grid width 2 x 0.5, colour 0 128 255.
        EXPECT_NE(strBytes.find("0 0.50196 1 RG"), std::string::npos);
    }
}

TEST_F(EkgPdfTest, DefaultPensAndBackground) {
    const CEkgPdfStyle& style = m_exporter.GetPdfStyle();
    EXPECT_EQ(style.crBack, RGB(255, 255, 255));
    EXPECT_EQ(style.penGrid.crColor, RGB(255, 127, 127));
    EXPECT_EQ(style.penInner.crColor, RGB(255, 191, 191));
    EXPECT_EQ(style.penGraph.crColor, RGB(0, 0, 0));
    EXPECT_EQ(style.penGrid.nStyle, 0);
    EXPECT_EQ(style.penGrid.nWidth, 1);
    EXPECT_TRUE(m_exporter.SetBackColor(RGB(10, 20, 30)));
    EXPECT_TRUE(m_exporter.SetGraph(0, 2, RGB(0, 0, 255)));
    const std::string strPdf = m_dir / "colours.pdf";
    ASSERT_TRUE(Make(strPdf));
    const std::string strBytes = testsupport::ReadFile(strPdf);
    EXPECT_NE(strBytes.find("0.03922 0.07843 0.11765 rg"), std::string::npos);
    EXPECT_NE(strBytes.find("0 0 2000 2000 re"), std::string::npos);
    EXPECT_NE(strBytes.find("0 0 1 RG"), std::string::npos);
    EXPECT_NE(strBytes.find("1.6 w"), std::string::npos);  // trace width 2 x 0.8
}

TEST_F(EkgPdfTest, ImperialAndMetricBodySizes) {
    // Imperial: 170 cm is 67 inches, 70 kg is 154 pounds; the date is month first.
    m_record.info.SetPatientInfo(7, std::string(1, '\x01'));
    std::string strPdf = m_dir / "imperial.pdf";
    ASSERT_TRUE(Make(strPdf));
    std::string strText = Text(strPdf);
    EXPECT_TEXT(strText, "H : 5ft 7inch  W : 154lbs");
    EXPECT_TEXT(strText, "12-09-2026  14:35");

    // Metric with a weight in pounds: 150 L is 68 kg.
    m_record.info.SetPatientInfo(7, "");
    m_record.info.SetPatientInfo(5, "150L");
    strPdf = m_dir / "metric.pdf";
    ASSERT_TRUE(Make(strPdf));
    strText = Text(strPdf);
    EXPECT_TEXT(strText, "H : 170cm  W : 68kg");
}

TEST_F(EkgPdfTest, StatementAndCommentRows) {
    // No statements: the analysis heading and the comment heading on consecutive rows.
    m_record.info.RemoveAllStatements();
    std::string strPdf = m_dir / "nostatements.pdf";
    ASSERT_TRUE(Make(strPdf));
    std::string strText = Text(strPdf);
    const size_t nAnalysis = strText.find("*** Analysis Result ***");
    const size_t nComment = strText.find("*** Doctor's Comment ***");
    ASSERT_NE(nAnalysis, std::string::npos);
    ASSERT_NE(nComment, std::string::npos);
    EXPECT_EQ(CountOf(strText.substr(nAnalysis, nComment - nAnalysis), "\n"), 1) << strText;

    // Switches off: no measurements, statements or comment.
    m_flags = {FALSE, FALSE, FALSE, FALSE};
    strPdf = m_dir / "bare.pdf";
    ASSERT_TRUE(Make(strPdf));
    strText = Text(strPdf);
    EXPECT_EQ(strText.find("Heart Rate"), std::string::npos);
    EXPECT_EQ(strText.find("Analysis Result"), std::string::npos);
    EXPECT_EQ(strText.find("Doctor's Comment"), std::string::npos);
    EXPECT_TEXT(strText, "ID   : P-001");
}

// Names print in the installation code page: Turkish through the CP1254 encoder.
TEST_F(EkgPdfTest, TurkishNamePrintsRight) {
    testsupport::CCodePageScope turkish("CP1254");
    // "Şükrü Ağaoğlu" in CP1254.
    m_record.info.SetPatientInfo(1,
                                 "\xDE\xFC"
                                 "kr\xFC A\xF0"
                                 "ao\xF0"
                                 "lu");
    const std::string strPdf = m_dir / "turkish.pdf";
    ASSERT_TRUE(Make(strPdf));
    const std::string strText = Text(strPdf);
    EXPECT_TEXT(strText,
                "\xC5\x9E\xC3\xBC"
                "kr\xC3\xBC A\xC4\x9F"
                "ao\xC4\x9Flu");
    const std::string strFonts = Shell("pdffonts " + ShellQuote(strPdf));
    EXPECT_NE(strFonts.find("Helvetica"), std::string::npos) << strFonts;
}

TEST_F(EkgPdfTest, KoreanInstallationUsesTheKoreanFont) {
    testsupport::CCodePageScope korean("CP949");
    m_record.info.SetPatientInfo(1, platform::FromUtf8("\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99"));
    m_record.info.AddStatement(
        platform::FromUtf8("\xEB\x8F\x99\xEC\x84\xB1 \xEB\xA6\xAC\xEB\x93\xAC"));
    m_record.info.SetPatientInfo(8, "Kim\xB0");  // a lead byte with nothing behind it
    const std::string strPdf = m_dir / "korean.pdf";
    ASSERT_TRUE(Make(strPdf));
    int nStatus = -1;
    Shell("qpdf --check " + ShellQuote(strPdf), &nStatus);
    EXPECT_EQ(nStatus, 0);
    const std::string strFonts = Shell("pdffonts " + ShellQuote(strPdf));
    EXPECT_NE(strFonts.find("DotumChe"), std::string::npos) << strFonts;
    const std::string strText = Text(strPdf);
    EXPECT_TEXT(strText, "Name : \xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99");
    EXPECT_TEXT(strText, "\xEB\x8F\x99\xEC\x84\xB1 \xEB\xA6\xAC\xEB\x93\xAC");
    EXPECT_TEXT(strText, "Heart Rate : 72 bpm");
    Render(strPdf, "korean");
}

TEST(PdfFontChoice, FollowsTheCodePage) {
    struct Case {
        const char* szName;
        int nNumber;
        const char* szFont;
        const char* szEncoder;
        BOOL bToCp1252;
    };
    const Case aCases[] = {
        {"CP949", 949, "DotumChe", "KSCms-UHC-HW-H", FALSE},
        {"CP1252", 1252, "Helvetica", "CP1252", FALSE},
        {"CP1250", 1250, "Helvetica", "CP1250", FALSE},
        {"CP1254", 1254, "Helvetica", "CP1254", FALSE},
        {"ISO-8859-2", 0, "Helvetica", "ISO8859-2", FALSE},
        {"ISO-8859-1", 28591, "Helvetica", "CP1252", TRUE},
        {"UTF-8", 65001, "Helvetica", "CP1252", TRUE},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.szName);
        const CPdfFontChoice choice = ChoosePdfFont(c.szName, c.nNumber);
        EXPECT_STREQ(choice.szFont, c.szFont);
        EXPECT_STREQ(choice.szEncoder, c.szEncoder);
        EXPECT_EQ(choice.bToCp1252, c.bToCp1252);
    }
}

// A 60 Hz record shows its first 10 seconds inside the grid.
TEST_F(EkgPdfTest, SixtyHertzRecordStaysInsideTheGrid) {
    m_record.wave.Create(12, 6000, 2);
    m_record.wave.m_adwMarks.clear();
    for (int nLead = 0; nLead < 12; ++nLead) {
        for (unsigned i = 0; i < 6000; ++i) {
            m_record.wave.SetSample(nLead, i, 100);
        }
    }
    const std::string strPdf = m_dir / "raw.pdf";
    ASSERT_TRUE(Make(strPdf, 0, 3, 1));
    // The same lines as a 10-second record of the same samples.
    m_record.wave.Create(12, 5000, 2);
    for (int nLead = 0; nLead < 12; ++nLead) {
        for (unsigned i = 0; i < 5000; ++i) {
            m_record.wave.SetSample(nLead, i, 100);
        }
    }
    const std::string strEkgPdf = m_dir / "ekg.pdf";
    ASSERT_TRUE(Make(strEkgPdf, 0, 3, 1));
    EXPECT_EQ(CountOf(testsupport::ReadFile(strPdf), " l\n"),
              CountOf(testsupport::ReadFile(strEkgPdf), " l\n"));
}

// The trace labels are written in the page's first font size (3 mm), before the header
// texts switch to their smaller one.
TEST_F(EkgPdfTest, TraceLabelsInTheLargerSize) {
    const std::string strPdf = m_dir / "labels.pdf";
    ASSERT_TRUE(Make(strPdf, 0, 0, 1));
    const std::string strBytes = testsupport::ReadFile(strPdf);
    for (const char* szLabel : {"(I) Tj", "(aVR) Tj", "(V6) Tj"}) {
        SCOPED_TRACE(szLabel);
        const size_t nLabel = strBytes.find(szLabel);
        ASSERT_NE(nLabel, std::string::npos);
        const size_t nSize = strBytes.rfind(" Tf", nLabel);
        ASSERT_NE(nSize, std::string::npos);
        const size_t nFrom = strBytes.rfind(' ', nSize - 1) + 1;
        EXPECT_EQ(strBytes.substr(nFrom, nSize - nFrom), "8.50394");
    }
}

}  // namespace
