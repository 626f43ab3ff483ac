// The paper page's geometry on a 10 pixel/mm raster, and the print preview offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "ecg_control/control/ekggraphwnd.h"
#include "ecg_control/control/ekgpreviewdlg.h"
#include "ecg_control/control/ekgprintpage.h"
#include "printprobe.h"
#include "synthrecord.h"

namespace {

QImage PaperRaster(CEkgPrintPage& page) {
    QImage image(2970, 2100, QImage::Format_RGB32);  // A4 landscape at 10 px/mm
    image.fill(Qt::white);
    image.setDotsPerMeterX(10000);  // fonts are measured on the device, as on a printer
    image.setDotsPerMeterY(10000);
    QPainter painter(&image);
    page.Draw(painter, 10.0, 10.0, image.width());
    return image;
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
    } cases[] = {{0, 0, 100, 50}, {3, 0, 100, 100}, {1, 1, 25, 25}, {4, 2, 200, 200}, {2, 3, 50, 50}};
    for (const Case& c : cases) {
        ASSERT_TRUE(page.Prepare(c.nFormat, c.nGain, 1));
        const auto pulses = page.Pulses();
        ASSERT_EQ(pulses.size(), 2u);
        EXPECT_EQ(pulses[0].nHeight, c.first) << c.nGain;
        EXPECT_EQ(pulses[1].nHeight, c.second) << c.nGain;
        const QImage image = PaperRaster(page);
        const QRect grid = printprobe::GridBox(image);
        // 250 x 185 mm from (21, 9) mm, and the 3 mm ticks of every fifth line.
        EXPECT_NEAR(grid.left(), 210 - 30, 2);
        EXPECT_NEAR(grid.top(), 90 - 30, 2);
        EXPECT_NEAR(grid.right(), 210 + 2500, 2);
        EXPECT_NEAR(grid.bottom(), 90 + 1850, 2);
        if (c.nFormat == 0) {
            const auto runs = printprobe::PulseRuns(image, grid, 15);
            EXPECT_TRUE(printprobe::HasRunNear(runs, c.first, 3)) << c.nGain;
            EXPECT_TRUE(printprobe::HasRunNear(runs, c.second, 3)) << c.nGain;
        }
    }
    // The title and patient block stand in the top margin, the footer under the grid.
    ASSERT_TRUE(page.Prepare(0, 3, 1));
    const QImage image = PaperRaster(page);
    auto dark = [&](QRect rc) {
        int n = 0;
        for (int y = rc.top(); y <= rc.bottom(); ++y)
            for (int x = rc.left(); x <= rc.right(); ++x) n += qGray(image.pixel(x, y)) < 80;
        return n;
    };
    EXPECT_GT(dark(QRect(1000, 0, 900, 40)), 100);   // title, centred
    EXPECT_GT(dark(QRect(1000, 1950, 900, 100)), 100);  // footer
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
        for (int x = 25; x < 845; x += 2) nDark += qGray(image.pixel(x, y)) < 100;
    EXPECT_GT(nDark, 200);

    for (const char* button : {"PrintButton", "CloseButton"}) {
        CEkgPreviewDlg run(page);
        QTimer::singleShot(0, &run, [&run, button] { run.findChild<QPushButton*>(button)->click(); });
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
