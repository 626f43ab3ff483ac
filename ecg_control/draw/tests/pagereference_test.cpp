// The pages of ordinary records against the reference pages the drawing made before it drew
// by pixel columns (tests/reference, written by tools/ecg_trace_refs.cpp): image export at
// 800, 1024 and 1600 pixels, screen page and paper page, every lead format. Each trace is
// judged in its own band: every dark pixel of one page has ink of the other within one
// pixel, both ways. And the span of 60 Hz records on pages of paper size.
#include <algorithm>
#include <string>

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "ecg_control/control/ekgpreviewdlg.h"
#include "ecg_control/control/wavelinctrl.h"
#include "ecg_control/ekgfile.h"
#include "ecg_control/draw/ekgpage.h"
#include "pageprobe.h"
#include "pagerender.h"
#include "testsupport/testsupport.h"

namespace {

using pageprobe::CTraceBox;

// The records of the reference set, made as the tool was given them.
CSynthRecord& Record(const std::string& strName) {
    static CSynthRecord s_synth50, s_synth60, s_noisy;
    static const bool s_bMade = [] {
        static testsupport::CTempDir s_dir;
        const std::string strNoisy = s_dir / "noisy.ekg";
        int nStatus = -1;
        testsupport::RunCommand("/usr/bin/python3 " ECGSYNTH_SCRIPT " " +
                                    testsupport::ShellQuote(strNoisy) +
                                    " --rate 75 --noise 20 --drift 80 --scale 1.4 --seed 3",
                                &nStatus);
        return nStatus == 0 && pagerender::LoadRecord("synth50", s_synth50) &&
               pagerender::LoadRecord("synth60", s_synth60) &&
               pagerender::LoadRecord(strNoisy, s_noisy);
    }();
    EXPECT_TRUE(s_bMade);
    return strName == "synth60" ? s_synth60 : strName == "noisy" ? s_noisy : s_synth50;
}

QImage Reference(const std::string& strFile) {
    QImage image(QString::fromStdString(std::string(PAGE_REFERENCE_DIR "/") + strFile));
    EXPECT_FALSE(image.isNull()) << strFile;
    return image.convertToFormat(QImage::Format_Grayscale8);
}

// The trace boxes of each kind of page, in its own pixels.
std::vector<CTraceBox> ImageBoxes(CSynthRecord& rec, int nFormat, int nGain, int nWidth) {
    static const int s_anTraceTop[4] = {15, 20, 15, 50};
    CTraceLayout layout;
    layout.Attach(&rec.wave, &rec.info, &rec.morph);
    layout.SetSettings(nFormat, nGain, 2, 1, CEkgPage::kReportCell);
    layout.SetPaperColumns(50);
    EXPECT_TRUE(layout.Compute(CEkgPage::kReportOriginX + 5 * CEkgPage::kReportCell,
                               CEkgPage::kReportOriginY + s_anTraceTop[nFormat] * 10));
    const int nHeight = nWidth * 6 / 8;
    return pageprobe::TraceBoxes(layout, static_cast<double>(nWidth) / CEkgPage::kReportWidth,
                                 static_cast<double>(nHeight) / CEkgPage::kReportHeight, 0, 0);
}

std::vector<CTraceBox> ScreenBoxes(CSynthRecord& rec, int nFormat, int nGain) {
    CTraceLayout layout;
    layout.Attach(&rec.wave, &rec.info, &rec.morph);
    layout.SetSettings(nFormat, nGain, 2, 1, 2);
    layout.SetPaperColumns(rec.wave.GetUserValue() == 1 ? 60 : 50);
    EXPECT_TRUE(layout.Compute(0, 0));
    return pageprobe::TraceBoxes(layout, 1, 1, 6, 6);  // border 3 mm at 2 px/mm
}

std::vector<CTraceBox> PaperBoxes(CSynthRecord& rec, int nFormat, int nGain, QPoint corner) {
    CPrintTraceLayout layout;
    layout.Attach(&rec.wave, &rec.info, &rec.morph);
    layout.SetSettings(nFormat, nGain, 2, 1, 10);
    EXPECT_TRUE(layout.Compute(0, 0));
    const double s = pagerender::kPaperPxPerMm / 10;
    return pageprobe::TraceBoxes(layout, s, s, corner.x(), corner.y());
}

// The box of the grid's pixels (the 5 mm and the 1 mm lines as any renderer blends them).
QRect GridBox(const QImage& image) {
    auto isGrid = [](QRgb c) {
        return qRed(c) > 200 && qGreen(c) < 200 && qBlue(c) < 200 && qGreen(c) > 60 &&
               qBlue(c) > 60;
    };
    int l = image.width(), t = image.height(), r = -1, b = -1;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (isGrid(row[x]))
                l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
        }
    }
    return r < 0 ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

// The grid's top-left corner on a paper raster (every fifth line reaches 3 mm beyond it).
QPoint PaperCorner(const QImage& image) {
    const QRect grid = GridBox(image.convertToFormat(QImage::Format_RGB32));
    const int n3mm = static_cast<int>(3 * pagerender::kPaperPxPerMm);
    return grid.topLeft() + QPoint(n3mm, n3mm);
}

// Each trace of the new page within a pixel of the reference; d moves reference pixels onto
// the new page. The faintest ink of the new page counts where it is looked for (a line of a
// third of a pixel spread over two pixels is still the line).
void ExpectTracesWithinAPixel(const std::string& strName, const QImage& reference,
                              const QImage& page, const std::vector<CTraceBox>& boxes,
                              QPoint d = QPoint()) {
    ASSERT_FALSE(page.isNull()) << strName;
    const QImage levels = pagerender::InkLevels(page);
    const QImage faint = pagerender::InkLevels(page, 250);
    ASSERT_EQ(levels.size(), reference.size()) << strName;
    int nInked = 0;
    for (const CTraceBox& box : boxes) {
        const QRect rcNew = box.rc;
        const QRect rcReference = box.rc.translated(-d);
        QPoint first;
        const int nMissing = pageprobe::Unmatched(reference, faint, rcReference, d, &first);
        EXPECT_EQ(nMissing, 0) << strName << " row " << box.nRow << ": reference ink without "
                               << "ink of the new page from (" << first.x() << ", " << first.y()
                               << ")";
        const int nExtra = pageprobe::Unmatched(levels, reference, rcNew, -d, &first);
        EXPECT_EQ(nExtra, 0) << strName << " row " << box.nRow << ": new ink without ink of "
                             << "the reference from (" << first.x() << ", " << first.y() << ")";
        nInked += pageprobe::InkCount(faint, rcNew) > 0;
    }
    // The bands hold the traces (an empty page would pass the comparison).
    EXPECT_EQ(nInked, static_cast<int>(boxes.size())) << strName;
}

struct CPageCase {
    int nFormat, nGain;
};
const CPageCase kPages[] = {{0, 3}, {1, 0}, {2, 3}, {3, 3}, {0, 4}};

std::string FileName(const std::string& strOutput, const std::string& strRecord,
                     const CPageCase& c) {
    return strOutput + "_" + strRecord + "_f" + std::to_string(c.nFormat) + "g" +
           std::to_string(c.nGain) + ".png";
}

class PageReference : public ::testing::TestWithParam<const char*> {};
// The screen shows a 60 Hz record whole as before; its image and paper pages show another
// span now (SixtyHertz below).
class ScreenPageReference : public PageReference {};

TEST_P(PageReference, ImageExportTracesWithinAPixelOfTheResampledFullSizePage) {
    const std::string strRecord = GetParam();
    CSynthRecord& rec = Record(strRecord);
    for (const CPageCase& c : kPages) {
        const std::string strFile = FileName("img1024", strRecord, c);
        ExpectTracesWithinAPixel(strFile, Reference(strFile),
                                 pagerender::ImagePage(rec, c.nFormat, c.nGain, 1024, 2),
                                 ImageBoxes(rec, c.nFormat, c.nGain, 1024));
    }
    // The narrowest server size with the default pen, and one where the scaled pen is wider
    // than a pixel.
    const CPageCase sixByTwo{1, 0};
    for (const auto& [nWidth, nPen] : {std::pair{800, 1}, std::pair{1600, 2}}) {
        const std::string strFile = FileName("img" + std::to_string(nWidth), strRecord, sixByTwo);
        ExpectTracesWithinAPixel(strFile, Reference(strFile),
                                 pagerender::ImagePage(rec, 1, 0, nWidth, nPen),
                                 ImageBoxes(rec, 1, 0, nWidth));
    }
}

TEST_P(ScreenPageReference, ScreenPageTracesWithinAPixel) {
    const std::string strRecord = GetParam();
    CSynthRecord& rec = Record(strRecord);
    for (const CPageCase& c : kPages) {
        const std::string strFile = FileName("screen", strRecord, c);
        ExpectTracesWithinAPixel(strFile, Reference(strFile),
                                 pagerender::ScreenPage(rec, c.nFormat, c.nGain),
                                 ScreenBoxes(rec, c.nFormat, c.nGain));
    }
}

TEST_P(PageReference, PaperPageTracesWithinAPixel) {
    const std::string strRecord = GetParam();
    CSynthRecord& rec = Record(strRecord);
    // The reference pages have the grid 21 mm from the left and 9 mm from the top.
    const QPoint referenceCorner(static_cast<int>(21 * pagerender::kPaperPxPerMm),
                                 static_cast<int>(9 * pagerender::kPaperPxPerMm));
    for (const CPageCase& c : kPages) {
        const std::string strFile = FileName("paper", strRecord, c);
        const QImage page = pagerender::PaperPage(rec, c.nFormat, c.nGain);
        const QPoint corner = PaperCorner(page);
        ExpectTracesWithinAPixel(strFile, Reference(strFile), page,
                                 PaperBoxes(rec, c.nFormat, c.nGain, corner),
                                 corner - referenceCorner);
    }
}

INSTANTIATE_TEST_SUITE_P(Records, PageReference, ::testing::Values("synth50", "noisy"),
                         [](const auto& info) { return std::string(info.param); });
INSTANTIATE_TEST_SUITE_P(Records, ScreenPageReference,
                         ::testing::Values("synth50", "noisy", "synth60"),
                         [](const auto& info) { return std::string(info.param); });

// A 60 Hz record (12 s) on a page of paper size shows its first 10 s at true scale: the
// page of its first 5000 samples taken as a 50 Hz record, with every trace ending inside
// the grid at the grid's right edge.
class SixtyHertz : public ::testing::Test {
protected:
    void SetUp() override {
        m_rec60 = &Record("synth60");
        MakeSynthRecord(m_first10s, 5000, true);
        // The made-up record is the same function of the sample index at both lengths.
        for (int c = 0; c < 12; ++c) {
            for (UINT k = 0; k < 5000; ++k) {
                ASSERT_EQ(m_first10s.wave.GetSample(c, k), m_rec60->wave.GetSample(c, k));
            }
        }
    }
    // Every trace's last dark column lies within a millimetre before the grid's right edge
    // or half a millimetre after it (the pen's width, and the one-pixel steps between the
    // columns of the 3 x 4 format, as on 50 Hz pages). A representative beat's flat baseline
    // beside the beat lies on a grid line in faint ink: there only nothing beyond the grid.
    static void ExpectTracesEndAtTheGridEdge(const std::string& strName, const QImage& page,
                                             const std::vector<CTraceBox>& boxes, int nGridRight,
                                             double dPxPerMm, int nFormat = 0) {
        const QImage levels = pagerender::InkLevels(page);
        for (const CTraceBox& box : boxes) {
            // The band reaches to the page's right edge, wherever the trace would end.
            const QRect rc(QPoint(box.rc.left(), box.rc.top()),
                           QPoint(levels.width() - 1, box.rc.bottom()));
            const int nLast = pageprobe::LastDarkColumn(levels, rc);
            EXPECT_LE(nLast, nGridRight + std::max(1, static_cast<int>(dPxPerMm / 2)))
                << strName << " row " << box.nRow;
            EXPECT_GT(nLast, box.rc.left()) << strName << " row " << box.nRow;
            if (nFormat != kFormatBeat) {
                EXPECT_GE(nLast, nGridRight - static_cast<int>(dPxPerMm) - 1)
                    << strName << " row " << box.nRow;
            }
        }
    }
    CSynthRecord* m_rec60 = nullptr;
    CSynthRecord m_first10s;
};

TEST_F(SixtyHertz, ImageExportOfEveryFormatShowsTheFirstTenSecondsInsideTheGrid) {
    for (int nFormat = 0; nFormat < 4; ++nFormat) {
        for (int nWidth : {1024, 2700}) {
            const std::string strName =
                "format " + std::to_string(nFormat) + " width " + std::to_string(nWidth);
            const QImage page = pagerender::ImagePage(*m_rec60, nFormat, 3, nWidth, 2);
            EXPECT_TRUE(page == pagerender::ImagePage(m_first10s, nFormat, 3, nWidth, 2))
                << strName;
            // The grid's right edge: 250 mm from its left, 5 mm right of the page origin.
            const double s = static_cast<double>(nWidth) / CEkgPage::kReportWidth;
            const int nGridRight =
                static_cast<int>((CEkgPage::kReportOriginX + 5 * CEkgPage::kReportCell + 2500) * s);
            ExpectTracesEndAtTheGridEdge(strName, page, ImageBoxes(*m_rec60, nFormat, 3, nWidth),
                                         nGridRight, 10 * s, nFormat);
        }
    }
}

TEST_F(SixtyHertz, PreviewPageShowsTheFirstTenSecondsInsideTheGrid) {
    for (int nFormat = 0; nFormat < 4; ++nFormat) {
        QImage aPages[2];
        for (int k = 0; k < 2; ++k) {
            CSynthRecord& rec = k == 0 ? *m_rec60 : m_first10s;
            CEkgPage page;
            page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
            // The view of a 60 Hz record: its 60-box screen grid.
            page.SetColumnsRowsForMode(k == 0 ? 1 : 0, 2);
            page.SetFormat(nFormat);
            CEkgPreviewDlg dlg(page);
            aPages[k] = dlg.Render();
        }
        EXPECT_TRUE(aPages[0] == aPages[1]) << "format " << nFormat;
        // The page area starts at x 25; the page is drawn 20 px into it at 3 px/mm, its
        // grid 5 mm further and 250 mm wide.
        CTraceLayout layout;
        layout.Attach(&m_rec60->wave, &m_rec60->info, &m_rec60->morph);
        layout.SetSettings(nFormat, 3, 2, 0, 3);
        layout.SetPaperColumns(50);
        static const int s_anTraceTop[4] = {15, 20, 15, 50};
        ASSERT_TRUE(layout.Compute(25 + 20 + 15, 52 + 10 + 3 * s_anTraceTop[nFormat]));
        ExpectTracesEndAtTheGridEdge("preview format " + std::to_string(nFormat), aPages[0],
                                     pageprobe::TraceBoxes(layout, 1, 1, 0, 0), 60 + 750, 3,
                                     nFormat);
    }
}

TEST_F(SixtyHertz, PaperPageShowsTheFirstTenSecondsInsideTheGrid) {
    for (int nFormat = 0; nFormat < 4; ++nFormat) {
        const QImage page = pagerender::PaperPage(*m_rec60, nFormat, 3);
        EXPECT_TRUE(page == pagerender::PaperPage(m_first10s, nFormat, 3)) << nFormat;
        const QPoint corner = PaperCorner(page);
        ExpectTracesEndAtTheGridEdge("paper format " + std::to_string(nFormat), page,
                                     PaperBoxes(*m_rec60, nFormat, 3, corner),
                                     corner.x() + static_cast<int>(250 * pagerender::kPaperPxPerMm),
                                     pagerender::kPaperPxPerMm, nFormat);
    }
}

// As a host asks for it: a ".raw" record opened and exported by the control, every format.
TEST_F(SixtyHertz, ControlsImageExportOfARawFile) {
    testsupport::CTempDir dir;
    const std::string strRaw = dir / "r.raw";
    ASSERT_TRUE(WriteEkgFile(strRaw, &m_rec60->wave, &m_rec60->info, &m_rec60->morph));
    QWidget host;
    CWavelinCtrl ctrl(&host);
    using platform::Variant;
    Variant result;
    ASSERT_EQ(ctrl.InvokeByName("EKGOpenFile", {Variant(strRaw)}, &result), platform::DISP_OK);
    ASSERT_TRUE(result.AsBool());
    ctrl.InvokeByName("EKGSetGraphPen", {short(0), short(2), std::int32_t(0)}, &result);
    for (short nFormat = 0; nFormat < 4; ++nFormat) {
        const std::string strJpeg = dir / ("r" + std::to_string(nFormat) + ".jpg");
        ASSERT_EQ(
            ctrl.InvokeByName(
                "EKGMakeImage",
                {Variant(strJpeg), nFormat, short(3), short(1), short(1024), short(0)}, &result),
            platform::DISP_OK);
        ASSERT_TRUE(result.AsBool());
        const QImage jpeg(QString::fromStdString(strJpeg));
        ASSERT_EQ(jpeg.size(), QSize(1024, 768));
        const double s = 1024.0 / CEkgPage::kReportWidth;
        const int nGridRight =
            static_cast<int>((CEkgPage::kReportOriginX + 5 * CEkgPage::kReportCell + 2500) * s);
        ExpectTracesEndAtTheGridEdge("control format " + std::to_string(nFormat), jpeg,
                                     ImageBoxes(*m_rec60, nFormat, 3, 1024), nGridRight, 10 * s,
                                     nFormat);
    }
}

// The screen keeps its 60-box grid and shows the whole 12 s.
TEST_F(SixtyHertz, ScreenShowsTheWholeRecord) {
    const QImage page = pagerender::ScreenPage(*m_rec60, 0, 3);
    EXPECT_EQ(page.width(), 60 * 10 + 12);
    ExpectTracesEndAtTheGridEdge("screen", page, ScreenBoxes(*m_rec60, 0, 3), 6 + 600, 2);
}

}  // namespace
