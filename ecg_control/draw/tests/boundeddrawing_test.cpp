// A saturated record (every lead swinging between the 16-bit extremes from sample to
// sample) is drawn at the cost of an ordinary page: the image export, the paper page and the
// PDF report stroke traces of bounded length that stay on the page. The bounds are a few
// times what is drawn now; drawing every sample at full height, as before, is some hundred
// times over them.
#include <cmath>
#include <sstream>
#include <string>

#include <QPainter>
#include <gtest/gtest.h>

#include "ecg_control/control/ekgprintpage.h"
#include "ecg_control/draw/ekgpage.h"
#include "ecg_export/ekgpdf.h"
#include "pagerender.h"
#include "testsupport/paintrecorder.h"
#include "testsupport/testsupport.h"

namespace {

using testsupport::CPaintRecord;
using testsupport::CRecordingDevice;

struct CStrokes {
    double dLength = 0.0;  // device pixels (PDF units for the PDF)
    long nPoints = 0;
    long nPolylines = 0;
    QRectF bounds;
};

// The black polylines a page sent to the device: the traces and the calibration pulses.
CStrokes BlackPolylines(const CRecordingDevice& device) {
    CStrokes strokes;
    for (const CPaintRecord& r : device.Of(CPaintRecord::kPolyline)) {
        if (r.penColor != QColor(Qt::black)) {
            continue;
        }
        strokes.nPoints += static_cast<long>(r.points.size());
        for (std::size_t i = 0; i < r.points.size(); ++i) {
            strokes.bounds |= QRectF(r.points[i], QSizeF(0.001, 0.001));
            if (i > 0) {
                const QPointF d = r.points[i] - r.points[i - 1];
                strokes.dLength += std::hypot(d.x(), d.y());
            }
        }
    }
    return strokes;
}

class BoundedDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        FillSaturated(m_rec.wave, 5000);
        MakeSynthRecord(m_ordinary, 5000, true);
    }
    CSynthRecord m_rec;
    CSynthRecord m_ordinary;
};

// The server's image: format 1 at 1024 pixels with a trace pen of width 2.
TEST_F(BoundedDrawing, SaturatedImageExport) {
    CStrokes aStrokes[2];
    for (int k = 0; k < 2; ++k) {
        CSynthRecord& rec = k == 0 ? m_rec : m_ordinary;
        CRecordingDevice device(1024, 768);
        CEkgPage page;
        page.Attach(&rec.wave, &rec.info, &rec.morph, &rec.device);
        page.Painter().SetPen(0, 2, 0);
        QPainter painter(&device);
        page.DrawReport(painter, 1, 3, 1, FALSE, 1024, 768);
        painter.end();
        aStrokes[k] = BlackPolylines(device);
        aStrokes[k].nPolylines = static_cast<long>(device.Of(CPaintRecord::kPolyline).size());
    }
    const CStrokes& s = aStrokes[0];
    // 13 traces, each at most one full strip (10 mV, about 380 px) a pixel column.
    EXPECT_LT(s.dLength, 4.0e6);
    EXPECT_LT(s.nPoints, 13 * 4 * 1024);
    EXPECT_TRUE(QRectF(-10, -10, 1044, 788).contains(s.bounds)) << s.bounds.width();
    // Every sample at full height was 13 x 5000 strokes of some 6000 px (390 million).
    EXPECT_GT(13 * 5000 * 6000.0, 50 * s.dLength);
    // An ordinary record for scale ...
    EXPECT_LT(aStrokes[1].dLength, 1.0e5);
    // ... whose traces stay one stroke each (13 and the two pulses).
    EXPECT_LT(aStrokes[1].nPolylines, 30);
}

TEST_F(BoundedDrawing, SaturatedPaperPage) {
    constexpr double kPxPerMm = 300 / 25.4;
    CRecordingDevice device(static_cast<int>(297 * kPxPerMm), static_cast<int>(210 * kPxPerMm),
                            300);
    CEkgPrintPage page;
    page.Attach(&m_rec.wave, &m_rec.info, &m_rec.morph, &m_rec.device);
    page.SetGraphPen(0, 1, 0);
    ASSERT_TRUE(page.Prepare(1, 3, 1));
    QPainter painter(&device);
    page.Draw(painter, kPxPerMm, kPxPerMm, device.width());
    painter.end();
    const CStrokes s = BlackPolylines(device);
    // 5000 samples a trace are fewer than the pixel columns at 300 dpi: every one is kept,
    // but none is stroked beyond its strip (10 mV at 10 mm/mV: 1181 px).
    EXPECT_LE(s.nPoints, 13 * 5000 * 2);
    EXPECT_LT(s.dLength, 13 * 5000 * 1200.0);
    EXPECT_TRUE(QRectF(-20, -20, device.width() + 40, device.height() + 40).contains(s.bounds));
    // Full height was 13 x 5000 strokes of 1600 mm (some 19,000 px).
    EXPECT_GT(13 * 5000 * 19000.0, 15 * s.dLength);
}

// The PDF's trace paths: the length of every "x y m" / "x y l" path of the page, in PDF
// units (the content stream is not compressed).
double PathLength(const std::string& strPdf, long* pnSegments) {
    std::istringstream in(strPdf);
    std::string strLine;
    double x = 0, y = 0, dLength = 0;
    *pnSegments = 0;
    while (std::getline(in, strLine)) {
        double a = 0, b = 0;
        char op = 0;
        char rest = 0;
        if (std::sscanf(strLine.c_str(), "%lf %lf %c%c", &a, &b, &op, &rest) != 3) {
            continue;
        }
        if (op == 'l') {
            dLength += std::hypot(a - x, b - y);
            ++*pnSegments;
        }
        if (op == 'm' || op == 'l') {
            x = a, y = b;
        }
    }
    return dLength;
}

TEST_F(BoundedDrawing, SaturatedPdfReport) {
    testsupport::CTempDir dir;
    double adLength[2];
    long anSegments[2];
    for (int k = 0; k < 2; ++k) {
        CSynthRecord& rec = k == 0 ? m_rec : m_ordinary;
        CEkgPdfWriter writer;
        CEkgRecordSources sources;
        sources.pWave = &rec.wave;
        sources.pInfo = &rec.info;
        sources.pMorph = &rec.morph;
        writer.SetSources(sources);
        const std::string strPath = dir / ("r" + std::to_string(k) + ".pdf");
        ASSERT_TRUE(writer.WriteDocument(strPath, 1, 3, 1));
        adLength[k] = PathLength(testsupport::ReadFile(strPath), &anSegments[k]);
        int nStatus = -1;
        testsupport::RunCommand("qpdf --check " + testsupport::ShellQuote(strPath), &nStatus);
        EXPECT_EQ(nStatus, 0);
    }
    // Seven widths of traces of 709 units: about one strip (283 units) a unit, at most four
    // points a unit; grid and pulses add some 270,000 units and 450 lines.
    EXPECT_LT(adLength[0], 7 * 709 * 2 * 283.0 + 3.0e5);
    EXPECT_LT(anSegments[0], 7 * 709 * 4 + 600);
    // Every sample at full height was 7 x 5000 x 4535 units (160 million).
    EXPECT_GT(7 * 5000 * 4535.0, 50 * adLength[0]);
    EXPECT_LT(adLength[1], 1.0e6);
}

}  // namespace
