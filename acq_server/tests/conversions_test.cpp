// The conversions' calls, in order, for a table of settings, against a control that logs
// every call and answers as the test scripts it.
#include "acq_server/reports/conversions.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/format.h"
#include "testsupport/testsupport.h"

using namespace acq_reports;
using platform::Format;

namespace {

struct CLoggingEkg : IEkgConversionControl {
    std::vector<std::string> calls;
    bool bOpen = true, bImage = true, bPdf = true, bXml = true;
    bool EKGOpenFile(const std::string& p) override {
        calls.push_back("EKGOpenFile(" + p + ")");
        return bOpen;
    }
    bool EKGSetGraphPen(short s, short w, std::uint32_t c) override {
        calls.push_back(Format("EKGSetGraphPen(%d,%d,%u)", s, w, c));
        return true;
    }
    bool EKGMakeImage(const std::string& p, short t, short g, short r, short w, short f) override {
        calls.push_back(Format("EKGMakeImage(%s,%d,%d,%d,%d,%d)", p.c_str(), t, g, r, w, f));
        return bImage;
    }
    bool EKGMakePDF(const std::string& p, short t, short g, short r, short w) override {
        calls.push_back(Format("EKGMakePDF(%s,%d,%d,%d,%d)", p.c_str(), t, g, r, w));
        return bPdf;
    }
    bool EKGMakeXML(const std::string& p) override {
        calls.push_back("EKGMakeXML(" + p + ")");
        return bXml;
    }
    std::string GetTime() override { return "202603040506"; }
    std::string GetMisc(int) override { return ""; }
    std::string GetPatientInfo(int) override { return ""; }
    short GetRhythmParam(int) override { return 0; }
    short GetAnalysisCnt() override { return 0; }
    std::string GetAnalysis(int) override { return ""; }
};

struct CLoggingSpiro : ISpiroConversionControl {
    std::vector<std::string> calls;
    short nOpen = 1;
    short Open(const std::string& p, short t) override {
        calls.push_back(Format("Open(%s,%d)", p.c_str(), t));
        return nOpen;
    }
    short SaveJPEG(const std::string& p, short w) override {
        calls.push_back(Format("SaveJPEG(%s,%d)", p.c_str(), w));
        return 0;
    }
    short SavePDF(const std::string& p, short w) override {
        calls.push_back(Format("SavePDF(%s,%d)", p.c_str(), w));
        return 0;
    }
    std::string GetInformation(int) override { return ""; }
    std::string GetRaceString() override { return ""; }
    std::string GetSmokeString() override { return ""; }
    std::string GetSmokePackString() override { return ""; }
    std::string GetFormulaString() override { return ""; }
    std::string GetAnalysisString() override { return ""; }
    std::string GetAnalysisStringPost() override { return ""; }
    short GetTestType() override { return nOpen; }
    short GetFileVersion() override { return 2; }
    short GetParamCount(short, short) override { return 0; }
    float GetParam(short, short, short) override { return 0; }
    short GetEcode(short, short) override { return 0; }
    short GetBestNo() override { return 1; }
    short GetBestNoPost() override { return 1; }
};

SConversionSettings AllEkg() {
    SConversionSettings s;
    s.bJpegEkg = s.bPdfEkg = s.bTxtEkg = s.bXmlEkg = true;
    return s;
}

}  // namespace

TEST(Conversions, EkgCallsInOrder) {
    testsupport::CTempDir dir;
    const std::string w = dir.Path();
    struct Case {
        const char* name;
        SConversionSettings settings;
        std::string record;
        std::vector<std::string> calls;
    };
    SConversionSettings typed = AllEkg();
    typed.bTxtEkg = false;
    typed.nJpegType = 2;
    typed.nJpegGain = 3;
    typed.nJpegRhythm = 7;
    typed.nJpegWidthEkg = 1024;
    typed.nPdfType = 1;
    typed.nPdfGain = 4;
    typed.nPdfRhythm = 11;
    typed.nPdfWidthEkg = 2700;
    SConversionSettings perKind = AllEkg();
    perKind.nFolderType = 2;
    SConversionSettings off;
    SConversionSettings xmlOnly;
    xmlOnly.bXmlEkg = true;
    const Case cases[] = {
        {"every output", typed, w + "x.EKG",
         {"EKGOpenFile(" + w + "x.EKG)", "EKGSetGraphPen(0,2,0)",
          "EKGMakeImage(" + w + "x_ekg.jpg,2,3,7,1024,0)", "EKGMakePDF(" + w + "x_ekg.pdf,1,4,11,2700)",
          "EKGMakeXML(" + w + "x_ekg.xml)"}},
        {"a folder per kind", perKind, w + "EKG/a.ekg",
         {"EKGOpenFile(" + w + "EKG/a.ekg)", "EKGSetGraphPen(0,2,0)",
          "EKGMakeImage(" + w + "JPEG/a_ekg.jpg,0,0,0,800,0)", "EKGMakePDF(" + w + "PDF/a_ekg.pdf,0,0,0,800)",
          "EKGMakeXML(" + w + "XML/a_ekg.xml)"}},
        {"all off: opened only", off, w + "x.ekg", {"EKGOpenFile(" + w + "x.ekg)"}},
        {"xml only", xmlOnly, w + "x.ekg", {"EKGOpenFile(" + w + "x.ekg)", "EKGMakeXML(" + w + "x_ekg.xml)"}},
        {"a 6000-sample record is not converted", typed, w + "x.raw", {}},
    };
    for (const Case& c : cases) {
        CLoggingEkg control;
        ConvertEkgRecord(&control, c.record, c.settings, nullptr, 0);
        EXPECT_EQ(control.calls, c.calls) << c.name;
    }
    // The text report went to the TEXT folder beside EKG.
    EXPECT_TRUE(testsupport::Exists(w + "TEXT/a_ekg.txt"));
    EXPECT_FALSE(testsupport::Exists(w + "x_ekg.txt"));
}

TEST(Conversions, EkgFailuresAreLoggedAndTheNextStepRuns) {
    testsupport::CTempDir dir;
    const std::string w = dir.Path();
    std::vector<std::string> log;
    auto sink = [&log](const std::string& s) { log.push_back(s); };

    CLoggingEkg refused;
    refused.bOpen = false;
    ConvertEkgRecord(&refused, w + "x.ekg", AllEkg(), sink, 0);
    EXPECT_EQ(refused.calls.size(), 1u);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "\nCMainFrame::MakeFile FAIL - m_Wavelin.EKGOpenFile(" + w + "x.ekg)\n");
    EXPECT_FALSE(testsupport::Exists(w + "x_ekg.txt"));

    log.clear();
    CLoggingEkg failing;
    failing.bImage = failing.bPdf = failing.bXml = false;
    // The text report cannot be written either: its folder is a file.
    SConversionSettings s = AllEkg();
    s.nFolderType = 2;
    testsupport::WriteFile(w + "TEXT", "in the way");
    ConvertEkgRecord(&failing, w + "EKG/x.ekg", s, sink, 0);
    EXPECT_EQ(failing.calls.size(), 5u);
    const std::vector<std::string> expected = {
        "\nCMainFrame::MakeFile Open - m_Wavelin.EKGOpenFile(" + w + "EKG/x.ekg)\n",
        "\nCMainFrame::MakeFile EKGMakeImage FAIL (" + w + "JPEG/x_ekg.jpg)\n",
        "\nCMainFrame::MakeFile EKGMakePDF FAIL (" + w + "PDF/x_ekg.pdf)\n",
        "\nCMainFrame::MakeFile WriteEkgTextReport FAIL (" + w + "TEXT/x_ekg.txt)\n",
        "\nCMainFrame::MakeFile EKGMakeXML FAIL (" + w + "XML/x_ekg.xml)\n",
    };
    EXPECT_EQ(log, expected);

    // No control: nothing at all.
    ConvertEkgRecord(nullptr, w + "x.ekg", AllEkg(), sink, 0);
}

TEST(Conversions, SpiroCallsInOrder) {
    testsupport::CTempDir dir;
    const std::string w = dir.Path();
    SConversionSettings s;
    s.bJpegSpr = s.bPdfSpr = s.bTxtSpr = true;
    s.nJpegWidthSpr = 768;
    s.nPdfWidthSpr = 600;

    CLoggingSpiro svc;
    ConvertSpiroRecord(&svc, w + "y.SVC", s, 0);
    EXPECT_EQ(svc.calls, (std::vector<std::string>{"Open(" + w + "y.SVC,0)", "SaveJPEG(" + w + "y_svc.jpg,768)",
                                                   "SavePDF(" + w + "y_svc.pdf,600)"}));
    EXPECT_TRUE(testsupport::Exists(w + "y_svc.txt"));

    CLoggingSpiro refused;
    refused.nOpen = -2;
    ConvertSpiroRecord(&refused, w + "z.fvc", s, 0);
    EXPECT_EQ(refused.calls, std::vector<std::string>{"Open(" + w + "z.fvc,0)"});
    EXPECT_FALSE(testsupport::Exists(w + "z_fvc.txt"));

    CLoggingSpiro other;
    ConvertSpiroRecord(&other, w + "z.ekg", s, 0);
    EXPECT_TRUE(other.calls.empty());

    s.nFolderType = 2;
    CLoggingSpiro perKind;
    ConvertSpiroRecord(&perKind, w + "SPIRO/m.mvv", s, 0);
    EXPECT_EQ(perKind.calls,
              (std::vector<std::string>{"Open(" + w + "SPIRO/m.mvv,0)", "SaveJPEG(" + w + "JPEG/m_mvv.jpg,768)",
                                        "SavePDF(" + w + "PDF/m_mvv.pdf,600)"}));
    EXPECT_TRUE(testsupport::Exists(w + "TEXT/m_mvv.txt"));
}
