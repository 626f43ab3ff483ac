// EKGMakeImage / EKGMakeImageBMP behind CEkgPage: sizes, fallbacks, smoothing and the files,
// judged by ImageMagick's identify and file(1).
#include <cstdlib>

#include <QImage>
#include <gtest/gtest.h>

#include "ecg_control/draw/ekgpage.h"
#include "synthrecord.h"
#include "testsupport/testsupport.h"

namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

class ImageExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSynthRecord(m_rec);
        m_page.Attach(&m_rec.wave, &m_rec.info, &m_rec.morph, &m_rec.device);
    }
    void TearDown() override { CEkgPage::SetBitmapWidthLimit(0); }
    CSynthRecord m_rec;
    CEkgPage m_page;
    testsupport::CTempDir m_dir;
};

TEST_F(ImageExportTest, JpegIsBaselineQuality75At72Dpi) {
    const std::string strPath = m_dir / "a_ekg.jpg";
    ASSERT_TRUE(m_page.MakeImage(strPath, 1, 3, 1, 800, FALSE));
    int nStatus = -1;
    const std::string strOut =
        RunCommand("identify -format '%m %w %h %Q %x' " + ShellQuote(strPath) + " 2>&1", &nStatus);
    EXPECT_EQ(nStatus, 0);
    EXPECT_EQ(strOut, "JPEG 800 600 75 72");
    const std::string strUnits =
        RunCommand("identify -format '%U' " + ShellQuote(strPath) + " 2>&1");
    EXPECT_EQ(strUnits, "PixelsPerInch");
}

TEST_F(ImageExportTest, BmpIs24BitAndWhite) {
    m_page.Grid().SetBackground(RGB(255, 255, 200));  // a screen colour the BMP ignores
    const std::string strPath = m_dir / "a_ekg.bmp";
    ASSERT_TRUE(m_page.MakeImageBmp(strPath, 2, 3, 1, 800, FALSE));
    const std::string strFile = RunCommand("file -b " + ShellQuote(strPath));
    EXPECT_NE(strFile.find("PC bitmap"), std::string::npos) << strFile;
    EXPECT_NE(strFile.find("800 x 600 x 24"), std::string::npos) << strFile;
    EXPECT_EQ(RunCommand("identify -format '%m %w %h' " + ShellQuote(strPath) + " 2>&1"),
              "BMP3 800 600");  // Windows 3 header
    QImage image(QString::fromStdString(strPath));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixelColor(2, 2), QColor(255, 255, 255));
}

TEST_F(ImageExportTest, JpegKeepsTheScreenBackground) {
    m_page.Grid().SetBackground(RGB(255, 255, 200));
    const std::string strPath = m_dir / "yellow.jpg";
    ASSERT_TRUE(m_page.MakeImage(strPath, 2, 3, 1, 800, FALSE));
    QImage image(QString::fromStdString(strPath));
    ASSERT_FALSE(image.isNull());
    const QColor corner = image.pixelColor(2, 2);
    EXPECT_GE(corner.red(), 245);
    EXPECT_LE(corner.blue(), 215);
}

TEST_F(ImageExportTest, WidthsHeightsAndLimits) {
    struct {
        int nWidth;
        BOOL bResult;
        int nExpectWidth, nExpectHeight;
    } cases[] = {
        {2700, TRUE, 2700, 2025},  // the full-size page itself
        {1600, TRUE, 1600, 1200},
        {3, TRUE, 3, 2},
        {1, FALSE, 0, 0},  // no rows at all
        {0, FALSE, 0, 0},
        {-800, FALSE, 0, 0},
        {CEkgPage::kMaxImageWidth, TRUE, CEkgPage::kMaxImageWidth,
         CEkgPage::kMaxImageWidth * 6 / 8},
        // A size the export will not make is refused, never silently another size.
        {CEkgPage::kMaxImageWidth + 1, FALSE, 0, 0},
        {32767, FALSE, 0, 0},
    };
    for (const auto& c : cases) {
        const std::string strPath = m_dir / ("w" + std::to_string(c.nWidth) + ".bmp");
        EXPECT_EQ(m_page.MakeImageBmp(strPath, 1, 3, 1, c.nWidth, FALSE), c.bResult) << c.nWidth;
        if (!c.bResult) {
            EXPECT_FALSE(testsupport::Exists(strPath)) << c.nWidth;
            continue;
        }
        EXPECT_EQ(RunCommand("identify -format '%w %h' " + ShellQuote(strPath)),
                  std::to_string(c.nExpectWidth) + " " + std::to_string(c.nExpectHeight))
            << c.nWidth;
    }
}

TEST_F(ImageExportTest, EmptyPathAndUnwritableTargetFail) {
    EXPECT_FALSE(m_page.MakeImage("", 1, 3, 1, 800, FALSE));
    EXPECT_FALSE(m_page.MakeImage(m_dir / "missing/x.jpg", 1, 3, 1, 800, FALSE));
    EXPECT_FALSE(m_page.MakeImageBmp(m_dir / "missing/x.bmp", 1, 3, 1, 800, FALSE));
    // A refused export leaves an existing file as it was, and leaves no temporary behind.
    const std::string strPath = m_dir / "old.jpg";
    ASSERT_TRUE(testsupport::WriteFile(strPath, "old"));
    EXPECT_FALSE(m_page.MakeImage(strPath, 1, 3, 1, 0, FALSE));
    EXPECT_TRUE(testsupport::ReadFile(strPath) == "old");
    ASSERT_TRUE(m_page.MakeImage(strPath, 1, 3, 1, 400, FALSE));
    EXPECT_EQ(testsupport::ReadFile(strPath).substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(RunCommand("ls -A " + ShellQuote(m_dir.Path())), "old.jpg\n");
}

TEST_F(ImageExportTest, OnlyTheBitmapOfTheAskedSizeIsNeeded) {
    // The page is drawn at the asked size: no bitmap of the full-size page is made.
    CEkgPage::SetBitmapWidthLimit(800);
    const std::string strPath = m_dir / "small.jpg";
    ASSERT_TRUE(m_page.MakeImage(strPath, 1, 3, 1, 800, FALSE));
    EXPECT_EQ(RunCommand("identify -format '%w %h' " + ShellQuote(strPath)), "800 600");
    QImage image;
    ASSERT_TRUE(m_page.RenderReport(1, 3, 1, FALSE, 640, image));
    EXPECT_EQ(image.size(), QSize(640, 480));
}

TEST_F(ImageExportTest, NoBitmapAtAllIsReported) {
    testsupport::CScriptedNotifier notifier;
    CEkgPage::SetBitmapWidthLimit(799);
    const std::string strPath = m_dir / "none.jpg";
    EXPECT_FALSE(m_page.MakeImage(strPath, 1, 3, 1, 800, FALSE));
    ASSERT_EQ(notifier.calls.size(), 1u);
    EXPECT_EQ(notifier.calls[0].text, "Fail to create bitmap!!");
    EXPECT_TRUE(notifier.calls[0].type & platform::MB_ICONERROR);
    EXPECT_FALSE(testsupport::Exists(strPath));
}

TEST_F(ImageExportTest, ExportDoesNotChangeTheCopiedPage) {
    m_page.SetCellSize(2);
    m_page.SetFormat(0);
    CEkgPage copy;
    copy.CopyFrom(m_page);
    ASSERT_TRUE(copy.MakeImage(m_dir / "c.jpg", 2, 0, 1, 800, FALSE));
    EXPECT_EQ(m_page.Grid().GetCellSize(), 2);
    EXPECT_EQ(m_page.Painter().Layout().GetFormat(), 0);
    EXPECT_EQ(copy.Painter().Layout().GetFormat(), 2);
}

CDibBytes UniformDib(int w, int h, QColor color) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return dib::FromImage(image);
}

TEST(Smoothing, WeightsOrderAndEdges) {
    // A uniform area keeps its colour.
    CDibBytes uniform = UniformDib(6, 5, QColor(10, 200, 77));
    const CDibBytes before = uniform;
    ASSERT_TRUE(SmoothDib(uniform));
    EXPECT_EQ(uniform, before);
    // One black pixel in white, in the middle of a 5 x 5 image.
    QImage image(5, 5, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixelColor(2, 2, Qt::black);
    CDibBytes dibBytes = dib::FromImage(image);
    ASSERT_TRUE(SmoothDib(dibBytes));
    const QImage out = dib::ToImage(dibBytes);
    // Edges are kept.
    EXPECT_EQ(out.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(out.pixelColor(4, 2), QColor(Qt::white));
    // Rows go bottom-up, left to right: the first pixel touched is (1, 3) (a corner
    // neighbour, weight 1): (19 x 255 + 10) / 20 = 242.
    EXPECT_EQ(out.pixelColor(1, 3).red(), 242);
    // The centre: 4 x 0 plus white around, some of it already smoothed.
    EXPECT_LT(out.pixelColor(2, 2).red(), 200);
    EXPECT_GT(out.pixelColor(2, 2).red(), 100);
    // Too small to smooth.
    CDibBytes tiny = UniformDib(2, 9, Qt::red);
    const CDibBytes tinyBefore = tiny;
    EXPECT_TRUE(SmoothDib(tiny));
    EXPECT_EQ(tiny, tinyBefore);
    // Rounding half up.
    EXPECT_EQ((CRgbSum{30, 29, 10} / 20).r, 2);
    EXPECT_EQ((CRgbSum{30, 29, 10} / 20).g, 1);
    EXPECT_EQ((CRgbSum{30, 29, 10} / 20).b, 1);
}

TEST_F(ImageExportTest, DibWhoseHeaderPromisesMoreThanItHoldsIsRefused) {
    // 100 x 100 x 24 promised, 10 rows present; and a used-colour count far past the end.
    CDibBytes shortDib = UniformDib(100, 100, Qt::white);
    shortDib.resize(40 + 10 * dib::Stride(100, 24));
    CDibBytes paletteDib = UniformDib(4, 4, Qt::white);
    paletteDib[32] = 0xFF;
    paletteDib[33] = 0xFF;
    for (CDibBytes* p : {&shortDib, &paletteDib}) {
        EXPECT_FALSE(SmoothDib(*p));
        EXPECT_TRUE(dib::ToImage(*p).isNull());
        EXPECT_FALSE(WriteJpegFile(m_dir / "short.jpg", *p));
        EXPECT_FALSE(WriteBmpFile(m_dir / "short.bmp", *p));
    }
    EXPECT_FALSE(testsupport::Exists(m_dir / "short.jpg"));
    EXPECT_FALSE(testsupport::Exists(m_dir / "short.bmp"));
    // The whole DIB passes.
    const CDibBytes whole = UniformDib(100, 100, Qt::white);
    EXPECT_TRUE(WriteBmpFile(m_dir / "whole.bmp", whole));
}

TEST_F(ImageExportTest, SmoothingChangesTheImage) {
    const std::string strPlain = m_dir / "plain.bmp";
    const std::string strSmooth = m_dir / "smooth.bmp";
    ASSERT_TRUE(m_page.MakeImageBmp(strPlain, 1, 3, 1, 800, FALSE));
    ASSERT_TRUE(m_page.MakeImageBmp(strSmooth, 1, 3, 1, 800, TRUE));
    const std::string strPlainBytes = testsupport::ReadFile(strPlain);
    const std::string strSmoothBytes = testsupport::ReadFile(strSmooth);
    EXPECT_EQ(strPlainBytes.size(), strSmoothBytes.size());
    EXPECT_NE(strPlainBytes, strSmoothBytes);
    // Both are BMPs ImageMagick reads; the smoothed one differs from the plain one only a
    // little on average.
    const std::string strMetric = RunCommand("compare -metric MAE " + ShellQuote(strPlain) + " " +
                                             ShellQuote(strSmooth) + " null: 2>&1");
    const double dMae = std::atof(strMetric.c_str());
    EXPECT_GT(dMae, 0.0) << strMetric;
    EXPECT_LT(dMae, 6000.0) << strMetric;
}

TEST(DibHelpers, HeaderKindsColoursAndPalette) {
    BYTE info[40] = {40};
    info[14] = 8;  // 8 bits per pixel, no used-colour count
    EXPECT_TRUE(dib::IsInfoHeader(info));
    EXPECT_EQ(dib::ColorCount(info), 256);
    EXPECT_EQ(dib::PaletteSize(info), 1024);
    info[32] = 16;  // used colours
    EXPECT_EQ(dib::ColorCount(info), 16);
    // A core header, its 16-colour palette of 3 bytes each, then the bits.
    BYTE core[12 + 48 + 4] = {12, 0, 0, 0, 10, 0, 7, 0, 1, 0, 4, 0};
    EXPECT_FALSE(dib::IsInfoHeader(core));
    EXPECT_EQ(dib::Width(core), 10);
    EXPECT_EQ(dib::Height(core), 7);
    EXPECT_EQ(dib::ColorCount(core), 16);
    EXPECT_EQ(dib::PaletteSize(core), 48);
    EXPECT_EQ(dib::Bits(core), core + 12 + 48);
    EXPECT_EQ(dib::Stride(801, 24), 2404);
}

}  // namespace

namespace {

TEST(PageTool, WritesOnePngPerLeadFormat) {
    testsupport::CTempDir dir;
    int nStatus = -1;
    RunCommand(ShellQuote(ECG_PAGE_PNG_PATH) + " " + ShellQuote(dir.Path()) + " 1600 2>&1",
               &nStatus);
    ASSERT_EQ(nStatus, 0);
    for (int nFormat = 0; nFormat < 4; ++nFormat) {
        const std::string strPath = dir / ("page_format" + std::to_string(nFormat) + ".png");
        EXPECT_EQ(RunCommand("identify -format '%m %w %h' " + ShellQuote(strPath)),
                  "PNG 1600 1200");
    }
}

}  // namespace
