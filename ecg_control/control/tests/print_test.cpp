// The paper page's geometry on a 10 pixel/mm raster, and the print preview offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "ecg_control/control/ekggraphwnd.h"
#include "ecg_control/control/ekgpreviewdlg.h"
#include "ecg_control/control/ekgprintpage.h"
#include "ecg_control/ekgfile.h"
#include "testsupport/ecgpaper.h"
#include "synthrecord.h"
#include "testsupport/testsupport.h"

namespace {

// The page on A4 landscape at 10 pixels a millimetre, all of it printable.
testsupport::CPageRaster PaperRaster(CEkgPrintPage& page) {
    QImage image(2970, 2100, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(10000);  // fonts are measured on the device, as on a printer
    image.setDotsPerMeterY(10000);
    QPainter painter(&image);
    page.Draw(painter, 10.0, 10.0, image.width());
    painter.end();
    return testsupport::CPageRaster(image, 254);
}

}  // namespace

TEST(PrintPage, GridAndPulsesAtTrueScale) {
    CSynthRecord rec;
    MakeSynthRecord(rec);
    CEkgPrintPage page;
    page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
    struct Case {
        int nGain, nFormat;
        int first, second;  // pulse heights, 0.1 mm
    } cases[] = {
        {0, 0, 100, 50}, {3, 0, 100, 100}, {1, 1, 25, 25}, {4, 2, 200, 200}, {2, 3, 50, 50}};
    for (const Case& c : cases) {
        ASSERT_TRUE(page.Prepare(c.nFormat, c.nGain, 1));
        const auto pulses = page.Pulses();
        ASSERT_EQ(pulses.size(), 2u);
        EXPECT_EQ(pulses[0].nHeight, c.first) << c.nGain;
        EXPECT_EQ(pulses[1].nHeight, c.second) << c.nGain;
        const testsupport::CPageRaster raster = PaperRaster(page);
        const testsupport::CGridLines grid = raster.FindGrid();
        // 50 x 37 boxes of 5 mm from (21, 9) mm.
        EXPECT_EQ(grid.xs.size(), 51u);
        EXPECT_EQ(grid.ys.size(), 38u);
        EXPECT_NEAR(grid.Left(), 21, 0.15);
        EXPECT_NEAR(grid.Top(), 9, 0.15);
        EXPECT_NEAR(grid.PitchX(), 5, 0.01);
        EXPECT_NEAR(grid.PitchY(), 5, 0.01);
        if (c.nFormat == 0) {  // beside the grid, clear of the traces
            for (int k = 0; k < 2; ++k) {
                const QPointF topLeft(pulses[k].x / 10.0, pulses[k].y / 10.0);
                EXPECT_NEAR(testsupport::PulseHeight(raster, grid, topLeft),
                            pulses[k].nHeight / 10.0, 0.15)
                    << c.nGain << " pulse " << k;
            }
        }
    }
    // The title and patient block stand in the top margin, the footer under the grid.
    ASSERT_TRUE(page.Prepare(0, 3, 1));
    const testsupport::CPageRaster raster = PaperRaster(page);
    EXPECT_GT(raster.DarkInside(QRectF(100, 0, 90, 4)), 100);     // title, centred
    EXPECT_GT(raster.DarkInside(QRectF(100, 195, 90, 10)), 100);  // footer
    CEkgPrintPage empty;
    EXPECT_FALSE(empty.Prepare(1, 3, 1));
}

TEST(PrintPreview, GreyAreaPageAndButtons) {
    CSynthRecord rec;
    MakeSynthRecord(rec);
    CEkgPage page;
    page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
    CEkgPreviewDlg dlg(page);
    EXPECT_EQ(dlg.size(), QSize(880, 720));
    EXPECT_EQ(dlg.windowTitle(), "EKG Print Preview");
    const QImage image = dlg.Render();
    EXPECT_EQ(image.pixel(10, 40) & 0xFFFFFF, 0x7F7F7Fu);
    EXPECT_EQ(image.pixel(860, 700) & 0xFFFFFF, 0x7F7F7Fu);
    EXPECT_EQ(image.pixel(25, 52) & 0xFFFFFF, 0xFFFFFFu);  // the page's white corner
    EXPECT_EQ(image.pixel(24, 52) & 0xFFFFFF, 0x7F7F7Fu);
    // Something of the report lies on the page.
    int nDark = 0;
    for (int y = 52; y < 672; y += 2)
        for (int x = 25; x < 845; x += 2)
            nDark += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(nDark, 200);

    for (const char* button : {"PrintButton", "CloseButton"}) {
        CEkgPreviewDlg run(page);
        QTimer::singleShot(0, &run,
                           [&run, button] { run.findChild<QPushButton*>(button)->click(); });
        EXPECT_EQ(run.Run(), std::string(button) == "PrintButton" ? 1 : 2);
    }
}

TEST(PrintPreview, ViewIgnoresItsArgumentsAndAnswersWhatWasPressed) {
    CEkgGraphWnd view;
    QSize shown;
    for (int answer : {1, 2}) {
        const auto previous = CEkgPreviewDlg::SetRunner([&](CEkgPreviewDlg& dlg) {
            shown = dlg.size();
            return answer;
        });
        EXPECT_EQ(view.EKGPrintPreview(9, 9, 9), answer);
        CEkgPreviewDlg::SetRunner(previous);
    }
    EXPECT_EQ(shown, QSize(880, 720));
}

// The preview shows the page as paper shows it: pacemaker marks follow EKGSetPrintPacemaker,
// whatever the screen's EKGShowPacemaker says.
TEST(PrintPreview, PacemakerMarksFollowThePrintSwitch) {
    testsupport::CTempDir dir;
    CSynthRecord rec;
    MakeSynthRecord(rec, 5000, true);
    ASSERT_TRUE(WriteEkgFile(dir / "paced.ekg", &rec.wave, &rec.info, &rec.morph));
    CEkgGraphWnd view;
    ASSERT_TRUE(view.EKGOpenFile(dir / "paced.ekg"));
    ASSERT_FALSE(view.Wave().m_adwMarks.empty());
    auto preview = [&view](short bScreen, short bPrint) {
        view.EKGShowPacemaker(bScreen);
        view.EKGSetPrintPacemaker(bPrint);
        QImage shown;
        const auto previous = CEkgPreviewDlg::SetRunner([&shown](CEkgPreviewDlg& dlg) {
            shown = dlg.Render();
            return 2;
        });
        EXPECT_EQ(view.EKGPrintPreview(3, 1, 1), 2);
        CEkgPreviewDlg::SetRunner(previous);
        return shown;
    };
    const QImage without = preview(0, 0), with = preview(1, 1);
    EXPECT_NE(with, without);  // the marks are drawn at all
    EXPECT_EQ(preview(1, 0), without);
    EXPECT_EQ(preview(0, 1), with);
}
