// The image and PDF exports, judged by identify, file, qpdf, pdfinfo, pdftotext and
// pdffonts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "spiro_control/spiroexport.h"
#include "spirofixtures.h"
#include "testsupport/testsupport.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

// Runs of blanks as one blank, so that column layouts do not matter.
std::string Squeeze(const std::string& s) {
    std::string out;
    for (char ch : s) {
        if (ch == ' ' && !out.empty() && out.back() == ' ')
            continue;
        out += ch;
    }
    return out;
}

class SpiroExport : public ::testing::Test {
protected:
    void Load(int nType, int nFormat) {
        m_pFile = spirotest::OpenFixture(spirotest::RandomFixture(nType, nFormat));
        m_export.Init(m_pFile.get());
        m_export.SetTestType(m_pFile->GetTestType());
    }
    testsupport::CTempDir m_dir;
    testsupport::CScriptedNotifier m_notifier;
    std::unique_ptr<CSpiroTestFile> m_pFile;
    CSpiroExport m_export;
};

TEST_F(SpiroExport, JpegOfTheRenderedSizeAtQuality75) {
    Load(1, 2);
    const std::string path = m_dir / "page.jpg";
    ASSERT_EQ(m_export.SaveJPEG(path, 600), 0);
    EXPECT_EQ(RunCommand("identify -format '%m %w %h %Q' " + ShellQuote(path)), "JPEG 600 800 75");
    ASSERT_EQ(m_export.SaveJPEG(path, 601), 0);  // replaces the file without asking
    EXPECT_EQ(RunCommand("identify -format '%m %w %h' " + ShellQuote(path)), "JPEG 601 801");
}

TEST_F(SpiroExport, Bmp24BitOfTheRenderedSize) {
    Load(3, 1);
    const std::string path = m_dir / "page.bmp";
    ASSERT_TRUE(testsupport::WriteFile(path, "old contents"));
    ASSERT_EQ(m_export.SaveBMP(path, 600), 0);
    EXPECT_NE(RunCommand("file " + ShellQuote(path)).find("600 x 800 x 24"), std::string::npos);
    EXPECT_EQ(RunCommand("identify -format '%m %w %h' " + ShellQuote(path)), "BMP3 600 800");
}

TEST_F(SpiroExport, FailuresAreReportedAndWriteNothing) {
    Load(1, 2);
    // No valid file name.
    EXPECT_EQ(m_export.SaveJPEG(m_dir / "a?.jpg", 600), -13);
    EXPECT_EQ(m_export.SaveBMP(m_dir.Path(), 600), -13);
    EXPECT_EQ(m_export.SaveJPEG("", 600), -13);
    // A folder that does not exist: the writers fail.
    EXPECT_EQ(m_export.SaveJPEG(m_dir / "none/a.jpg", 600), -15);
    EXPECT_EQ(m_export.SaveBMP(m_dir / "none/a.bmp", 600), -22);
    // A page that cannot be made: -17 after the message, no crash.
    for (int w : {0, -5, 30000}) {
        m_notifier.calls.clear();
        EXPECT_EQ(m_export.SaveJPEG(m_dir / "big.jpg", w), -17) << w;
        ASSERT_EQ(m_notifier.calls.size(), 1u);
        EXPECT_EQ(m_notifier.calls[0].text, "Fail to create bitmap!!");
    }
    EXPECT_FALSE(testsupport::Exists(m_dir / "big.jpg"));
    EXPECT_EQ(m_export.SavePDF(m_dir / "none/a.pdf", 0), -14);
    // A folder we cannot write to keeps no half file.
    const std::string ro = m_dir / "ro";
    ::mkdir(ro.c_str(), 0555);
    if (::access((ro + "/").c_str(), W_OK) != 0) {
        EXPECT_EQ(m_export.SavePDF(ro + "/a.pdf", 0), -14);
    }
    // As root the folder is writable; a path through a file is not.
    ASSERT_TRUE(testsupport::WriteFile(m_dir / "file", "x"));
    EXPECT_EQ(m_export.SavePDF(m_dir / "file/a.pdf", 0), -14);
}

// The PDF of every test type: one A4 portrait page, its identity, its texts.
TEST_F(SpiroExport, PdfIsOneA4PageWithTheReportTexts) {
    struct Case {
        int nType, nFormat;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {1,
         2,
         {"Pat-ID : PT1-F2-ABCDEFGHI", "Pat-Name : Jo", "FVC Prediction Formula : ",
          "- Result : Moderate Obstruction", "Extrapolate Volume : 1.14L", "[VOL]", "[SEC]", "PRED",
          "MEAS2", "FVC", "03/ 14/ 2026  09:26", "Comment :"}},
        {1, 0, {"Pat-Surname : Ward 10", "[VOL]", "[SEC]", "Best"}},
        {2, 2, {"[SEC]", "40", "Pat-ID : PT2-F2"}},
        {3, 1, {"[SEC]", "150", "12.0", "Pat-ID : PT3-F1"}},
        {4, 2, {"[VOL]", "[SEC]", "Extrapolate Volume : 4.14L"}},
        {5,
         2,
         {"BASE", "POST", "- Result : Mild Obstruction / Normal",
          "Extrapolate Volume : 5.14L / 0.27L"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nType * 10 + c.nFormat);
        Load(c.nType, c.nFormat);
        const std::string path = m_dir / "report.pdf";
        ASSERT_EQ(m_export.SavePDF(path, 600), 0);
        int st = -1;
        RunCommand("qpdf --check " + ShellQuote(path), &st);
        EXPECT_EQ(st, 0);
        const std::string info = Squeeze(RunCommand("pdfinfo " + ShellQuote(path)));
        EXPECT_NE(info.find("Pages: 1\n"), std::string::npos) << info;
        EXPECT_NE(info.find("595.276 x 841.89 pts (A4)"), std::string::npos) << info;
        EXPECT_NE(info.find("Author: Corvane\n"), std::string::npos);
        EXPECT_NE(info.find("Creator: RovEzez v1.0\n"), std::string::npos);
        EXPECT_NE(info.find("Page rot: 0\n"), std::string::npos);
        const std::string text =
            Squeeze(RunCommand("pdftotext -layout " + ShellQuote(path) + " -"));
        for (const std::string& t : c.texts) {
            EXPECT_NE(text.find(Squeeze(t)), std::string::npos) << t << "\n" << text;
        }
    }
}

// The font and encoder follow the installation code page: Helvetica with the Latin encoder
// keeps accented names; the Korean code page gets the Korean font.
TEST_F(SpiroExport, PdfFontOfTheCodePage) {
    {
        Load(1, 2);
        const std::string path = m_dir / "latin.pdf";
        ASSERT_EQ(m_export.SavePDF(path, 0), 0);
        const std::string fonts = RunCommand("pdffonts " + ShellQuote(path));
        EXPECT_NE(fonts.find("Helvetica"), std::string::npos) << fonts;
        const std::string text = RunCommand("pdftotext " + ShellQuote(path) + " -");
        EXPECT_NE(text.find("Pat-Name : Jo\xC3\xA3o Gon\xC3\xA7"
                            "alves"),
                  std::string::npos)
            << text;
    }
    {
        testsupport::CCodePageScope cp("CP949");
        Load(1, 2);
        m_pFile->m_Info.m_strName = "\xB1\xE8\xC3\xB6\xBC\xF6";  // a Korean name
        const std::string path = m_dir / "korean.pdf";
        ASSERT_EQ(m_export.SavePDF(path, 0), 0);
        const std::string fonts = RunCommand("pdffonts " + ShellQuote(path));
        EXPECT_NE(fonts.find("DotumChe"), std::string::npos) << fonts;
        int st = -1;
        RunCommand("qpdf --check " + ShellQuote(path), &st);
        EXPECT_EQ(st, 0);
    }
}

// PDF pens: a grid of style 5 leaves only the axes; a reference pen of style 5 leaves out
// the predicted curve.
TEST_F(SpiroExport, PdfPensShapeThePage) {
    Load(1, 2);
    const std::string full = m_dir / "full.pdf", bare = m_dir / "bare.pdf";
    ASSERT_EQ(m_export.SavePDF(full, 0), 0);
    m_export.m_pdfPens.grid.nStyle = 5;
    m_export.m_pdfPens.reference.nStyle = 5;
    ASSERT_EQ(m_export.SavePDF(bare, 0), 0);
    const std::string a =
        RunCommand("qpdf --qdf --object-streams=disable " + ShellQuote(full) + " -");
    const std::string b =
        RunCommand("qpdf --qdf --object-streams=disable " + ShellQuote(bare) + " -");
    auto count = [](const std::string& s, const std::string& what) {
        size_t n = 0;
        for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1))
            ++n;
        return n;
    };
    // Strokes: fewer without the grid lines (every one of them but the axes).
    EXPECT_LT(count(b, "\nS\n"), count(a, "\nS\n"));
    EXPECT_EQ(count(a, "\nB\n"), 4u);  // the tolerance boxes, filled and stroked
    EXPECT_EQ(count(b, "\nB\n"), 0u);
    const std::string text = RunCommand("pdftotext " + ShellQuote(bare) + " -");
    EXPECT_EQ(text.find("PRED"), std::string::npos);
}

}  // namespace
