// The report page: its texts and boxes, and pixel probes of the rendered page (cell 10).
#include <algorithm>
#include <map>

#include <QFontMetrics>
#include <QPainter>
#include <gtest/gtest.h>

#include "ecg_control/draw/ekgpage.h"
#include "probe.h"
#include "synthrecord.h"
#include "testsupport/testsupport.h"

namespace {

const QColor kGridColor(255, 128, 128);
const QColor kInnerColor(255, 191, 191);
const QColor kWhite(255, 255, 255);

// Texts by content, for lookups.
std::map<CString, CReportText> ByText(const std::vector<CReportText>& aTexts) {
    std::map<CString, CReportText> map;
    for (const auto& t : aTexts) {
        map.emplace(t.strText, t);
    }
    return map;
}

// Box in pixels from grid units at cell c with the block origin at (x, y).
QRect Box(int x, int y, int c, int l, int t, int r, int b, int u) {
    return QRect(x + l * 5 * c + c, y + t * u * c, (r - l) * 5 * c - 2 * c, (b - t) * u * c);
}

class ReportTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeSynthRecord(m_rec);
        m_header.SetSources(&m_rec.info, &m_rec.morph, &m_rec.device);
        m_header.SetSettings(1, 0, 1, 10);
    }
    CSynthRecord m_rec;
    CReportHeader m_header;
};

TEST_F(ReportTextTest, EveryTextInItsBox) {
    const auto texts = ByText(m_header.BuildTexts(100, 12));
    auto expectBox = [&](const CString& str, QRect rc) {
        auto it = texts.find(str);
        ASSERT_NE(it, texts.end()) << str;
        EXPECT_EQ(it->second.rcBox, rc) << str;
    };
    expectBox("6Channel + 1 Rhythm Report", Box(100, 12, 10, 0, 0, 50, 1, 5));
    EXPECT_TRUE(texts.at("6Channel + 1 Rhythm Report").bTitle);
    EXPECT_TRUE(texts.at("6Channel + 1 Rhythm Report").nFlags & Qt::AlignHCenter);
    expectBox("2026-12-09  10:30", Box(100, 12, 10, 0, 0, 20, 1, 3));
    expectBox("ID   : P-000123", Box(100, 12, 10, 0, 2, 20, 3, 3));
    expectBox("Name : Maria ", Box(100, 12, 10, 0, 3, 20, 4, 3));
    expectBox("Surname : Silva ", Box(100, 12, 10, 0, 4, 20, 5, 3));
    expectBox("Age : 54yrs. Sex : F", Box(100, 12, 10, 0, 5, 20, 6, 3));
    expectBox("H : 165cm  W : 62kg", Box(100, 12, 10, 0, 6, 20, 7, 3));
    expectBox("Hospital : Clinica Central", Box(100, 12, 10, 40, 0, 60, 1, 3));
    expectBox("Confirmed by : Dr. Costa", Box(100, 12, 10, 40, 1, 60, 2, 3));
    expectBox("Heart Rate : 75 bpm", Box(100, 12, 10, 7, 2, 27, 3, 3));
    expectBox("PR int. : 160 ms", Box(100, 12, 10, 7, 3, 27, 4, 3));
    expectBox("QRS dur. : 92 ms", Box(100, 12, 10, 7, 4, 27, 5, 3));
    expectBox("QT/QTc : 384/429 ms", Box(100, 12, 10, 7, 5, 27, 6, 3));
    expectBox("P-R-T axes : 52-48-41", Box(100, 12, 10, 7, 6, 27, 7, 3));
    expectBox("*** Analysis Result *** (Unconfirmed Report)", Box(100, 12, 10, 18, 2, 50, 3, 3));
    expectBox("Sinus rhythm", Box(100, 12, 10, 18, 3, 50, 4, 3));
    expectBox("Normal ECG", Box(100, 12, 10, 18, 4, 50, 5, 3));  // line break removed
    expectBox("*** Doctor's Comment ***", Box(100, 12, 10, 18, 5, 50, 6, 3));
    const CReportText& comment = texts.at(m_rec.info.GetComment());
    EXPECT_EQ(comment.rcBox, QRect(100 + 910, 12 + 30 * 6, 1580, 30 * 39 - 30 * 6));
    EXPECT_TRUE(comment.nFlags & Qt::TextWordWrap);
    expectBox("0.1Hz-100Hz, AC 50Hz.    ", Box(100, 12, 10, 0, 39, 20, 40, 5));
    expectBox("I-aVF:10mm/mV. V1-V6:5mm/mV.      25.0mm/sec.", Box(100, 12, 10, 17, 39, 37, 40, 5));
    expectBox("Pelvorn II", Box(100, 12, 10, 34, 39, 54, 40, 5));
    expectBox("Corvane Co., Ltd.", Box(100, 12, 10, 30, 39, 50, 40, 5));
    EXPECT_TRUE(texts.at("Corvane Co., Ltd.").nFlags & Qt::AlignRight);
}

TEST_F(ReportTextTest, EmptyStatementEndsTheListAndTheCommentMovesUp) {
    m_rec.info.RemoveAllStatements();
    m_rec.info.AddStatement("First");
    m_rec.info.AddStatement("");
    m_rec.info.AddStatement("Never shown");
    const auto texts = ByText(m_header.BuildTexts(0, 0));
    EXPECT_EQ(texts.count("Never shown"), 0u);
    EXPECT_EQ(texts.at("*** Doctor's Comment ***").rcBox, Box(0, 0, 10, 18, 4, 50, 5, 3));
    // Statements off: the comment header takes line 2.
    m_header.SetShowStatements(FALSE);
    const auto off = ByText(m_header.BuildTexts(0, 0));
    EXPECT_EQ(off.count("First"), 0u);
    EXPECT_EQ(off.at("*** Doctor's Comment ***").rcBox, Box(0, 0, 10, 18, 2, 50, 3, 3));
    m_header.SetShowComment(FALSE);
    m_header.SetShowMeasurements(FALSE);
    const auto none = ByText(m_header.BuildTexts(0, 0));
    EXPECT_EQ(none.count("*** Doctor's Comment ***"), 0u);
    EXPECT_EQ(none.count("Heart Rate : 75 bpm"), 0u);
}

TEST_F(ReportTextTest, RepresentativeBeatFormat) {
    m_header.SetSettings(3, 3, 1, 10);
    const auto aTexts = m_header.BuildTexts(0, 0);
    const auto texts = ByText(aTexts);
    EXPECT_EQ(texts.count("Representative Beat Report"), 1u);
    EXPECT_EQ(texts.count("Sinus rhythm"), 0u);
    EXPECT_EQ(texts.count("*** Doctor's Comment ***"), 0u);
    EXPECT_EQ(texts.count("Hospital : Clinica Central"), 0u);
    EXPECT_EQ(texts.at("Heart Rate : 75 bpm").rcBox, Box(0, 0, 10, 0, 7, 20, 8, 3));
    EXPECT_EQ(texts.at("QTc").rcBox, Box(0, 0, 10, 48, 4, 50, 5, 3));
    EXPECT_EQ(texts.at("V6").rcBox, Box(0, 0, 10, 18, 16, 20, 17, 3));
    // Lead V6 (11), kind 14 (QTc) = 124 in the made-up table.
    auto it = std::find_if(aTexts.begin(), aTexts.end(),
                           [](const CReportText& t) { return t.strText == "   124"; });
    ASSERT_NE(it, aTexts.end());
    EXPECT_EQ(it->rcBox, Box(0, 0, 10, 48, 16, 50, 17, 3));
    EXPECT_TRUE(it->nFlags & Qt::AlignRight);
}

TEST_F(ReportTextTest, TitlesCaptionsAndFilterTexts) {
    EXPECT_EQ(CReportHeader::TitleText(0), "12Channel Rhythm Report");
    EXPECT_EQ(CReportHeader::TitleText(2), "3Channel + 1 Rhythm Report");
    EXPECT_EQ(CReportHeader::TitleText(7), "Unknown Rhythm Report");
    EXPECT_EQ(ekgreport::ScaleCaption(1), "All Channels:2.5mm/mV.    25.0mm/sec.");
    EXPECT_EQ(ekgreport::ScaleCaption(4), "All Channels:20mm/mV.    25.0mm/sec.");
    EXPECT_EQ(ekgreport::ScaleCaption(5), "");
    CEkgRecordInfo info;
    EXPECT_EQ(ekgreport::FilterText(info.GetFilterItem()),
              "  0Hz-40Hz, AC 60Hz.    ");  // nothing set
    info.SetFilterInfo(0, 0, 0, 1);
    EXPECT_EQ(ekgreport::FilterText(info.GetFilterItem()), "  0Hz-LPF Off, AC Off, EMG.    ");
    info.SetFilterInfo(2, 3, 1, 0);
    EXPECT_EQ(ekgreport::FilterText(info.GetFilterItem()), "0.1Hz-150Hz, AC 60Hz.    ");
}

TEST_F(ReportTextTest, PatientLinesInMetricAndUsUnits) {
    CEkgRecordInfo& info = m_rec.info;
    info.SetPatientInfo(9, "1");
    EXPECT_EQ(ekgreport::AgeText(info.m_patient), "Age : 54weeks Sex : F");
    info.SetPatientInfo(9, "2");
    EXPECT_EQ(ekgreport::AgeText(info.m_patient), "Age : 54days Sex : F");
    info.SetPatientInfo(9, "7");
    EXPECT_EQ(ekgreport::AgeText(info.m_patient), "Age : 54yrs. Sex : F");
    info.SetPatientInfo(5, "150L");
    EXPECT_EQ(ekgreport::HeightWeightText(info.m_patient), "H : 165cm  W : 68kg");
    info.SetPatientInfo(7, "1");  // US units
    info.SetPatientInfo(5, "70");
    info.SetPatientInfo(4, "180");
    // 180 cm = 70.87 in -> 71 in = 5 ft 11 in; 70 kg = 154.3 lbs.
    EXPECT_EQ(ekgreport::HeightWeightText(info.m_patient), "H : 5ft 11inch  W : 154lbs");
    info.SetPatientInfo(5, "150L");
    EXPECT_EQ(ekgreport::HeightWeightText(info.m_patient), "H : 5ft 11inch  W : 150lbs");
    EXPECT_EQ(ekgreport::DateText(info.m_patient), "12-09-2026  10:30");
}

TEST_F(ReportTextTest, NoTextsWithoutSourcesOrBelowCellThree) {
    m_header.SetSettings(1, 3, 0, 2);
    EXPECT_TRUE(m_header.BuildTexts(0, 0).empty());
    m_header.SetSettings(1, 3, 0, 3);
    EXPECT_FALSE(m_header.BuildTexts(0, 0).empty());
    m_header.SetSources(&m_rec.info, nullptr, nullptr);
    EXPECT_TRUE(m_header.BuildTexts(0, 0).empty());
}

// Rendered pages at 10 pixels per millimetre: page origin (50, 12).
class RenderedPageTest : public ::testing::Test {
protected:
    QImage Render(int nFormat, int nGain, BOOL bTexts, BOOL bTraces) {
        CEkgPage page;
        page.Attach(&m_rec.wave, bTexts ? &m_rec.info : nullptr, &m_rec.morph, &m_rec.device);
        page.Painter().SetEnabled(bTraces);
        QImage image;
        EXPECT_TRUE(page.RenderReport(nFormat, nGain, 0, FALSE, 2700, image));
        EXPECT_EQ(image.size(), QSize(2700, 2025));
        return image;
    }
    CSynthRecord m_rec;
};

TEST_F(RenderedPageTest, GridLinesFallOnTheirMillimetre) {
    FillLeads(m_rec.wave, 5000, 0);
    const QImage image = Render(1, 3, FALSE, FALSE);
    // 5 mm lines from 5 mm right of and 10 mm below the page origin.
    const int x0 = 100, y0 = 112;
    const int yProbe = y0 + 1825;
    for (int k = 0; k <= 50; ++k) {
        ASSERT_TRUE(probe::Is(image, x0 + 50 * k, yProbe, kGridColor)) << k;
        if (k < 50) {
            ASSERT_TRUE(probe::Is(image, x0 + 50 * k + 10, yProbe, kInnerColor)) << k;
            ASSERT_TRUE(probe::Is(image, x0 + 50 * k + 25, yProbe, kWhite)) << k;
        }
    }
    for (int k = 0; k <= 37; ++k) {
        ASSERT_TRUE(probe::Is(image, x0 + 1235, y0 + 50 * k, kGridColor)) << k;
    }
    EXPECT_TRUE(probe::Is(image, x0 + 1235, y0 + 50 * 36 + 30, kInnerColor));
    // The page background reaches 10 mm beyond the grid across and 15 mm down.
    EXPECT_TRUE(probe::Is(image, 50 + 2600 - 1, 12 + 2000 - 1, kWhite));
}

TEST_F(RenderedPageTest, CalibrationPulsesAreTheirMillimetresHigh) {
    FillLeads(m_rec.wave, 5000, 0);
    struct {
        int nFormat, nGain, nPulseX, nTopMm, nHeightMm;
    } cases[] = {
        {1, 3, 9, 65, 10}, {1, 3, 134, 65, 10},  // 10 mm/mV
        {1, 0, 9, 65, 10}, {1, 0, 134, 65, 5},   // chest leads at gain code 0
        {2, 4, 9, 65, 20}, {3, 2, 134, 100, 5}, {0, 1, -1, 55, 3}, {0, 0, -1, 125, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "format " << c.nFormat << " gain " << c.nGain << " pulse at " << c.nPulseX);
        const QImage image = Render(c.nFormat, c.nGain, FALSE, TRUE);
        // The rising edge stands 1 mm right of the pulse's start.
        const int x = 50 + (c.nPulseX + 1) * 10;
        int nBest = 0, nTop = 0;
        for (int dx = -1; dx <= 1; ++dx) {
            int nRunTop = 0;
            const int nRun = probe::LongestDarkRun(image, x + dx, 12 + (c.nTopMm - 5) * 10,
                                                   12 + (c.nTopMm + 25) * 10, &nRunTop);
            if (nRun > nBest) {
                nBest = nRun;
                nTop = nRunTop;
            }
        }
        const int nPixels = c.nGain == 1 ? 25 : c.nHeightMm * 10;  // 2.5 mm at gain code 1
        EXPECT_GE(nBest, nPixels);
        EXPECT_LE(nBest, nPixels + 2);
        EXPECT_NEAR(nTop, 12 + c.nTopMm * 10, 1);
    }
}

TEST_F(RenderedPageTest, OneMillivoltTraceIsTenMillimetresAndFiveForChestLeadsAtCodeZero) {
    // 1 mV (410 counts) from sample 1000 to 1499 on every lead.
    FillLeads(m_rec.wave, 5000, 0);
    for (int c = 0; c < 12; ++c) {
        for (int k = 1000; k < 1500; ++k) {
            m_rec.wave.SetSample(c, k, 410);
        }
    }
    for (int nGain : {3, 0}) {
        const QImage image = Render(0, nGain, FALSE, TRUE);
        // Format 0: traces from (100, 12 + 150); lead i's baseline 10 + 15 i mm below that.
        const int x = 100 + 1200 / 2;  // sample 1200
        for (int nLead : {0, 6}) {
            const int nBase = 12 + 150 + 10 * (10 + 15 * nLead);
            const int nExpected = (nGain == 0 && nLead >= 6) ? 50 : 100;
            EXPECT_TRUE(probe::IsDark(image.pixel(x, nBase - nExpected)))
                << "gain " << nGain << " lead " << nLead;
            EXPECT_FALSE(probe::IsDark(image.pixel(x, nBase)));
            EXPECT_TRUE(probe::IsDark(image.pixel(100 + 400, nBase)));  // sample 800
        }
    }
}

TEST_F(RenderedPageTest, EveryTextIsInkedInsideItsBox) {
    MakeSynthRecord(m_rec);
    for (int nFormat : {1, 3}) {
        SCOPED_TRACE(nFormat);
        const QImage image = Render(nFormat, 0, TRUE, FALSE);
        CReportHeader header;
        header.SetSources(&m_rec.info, &m_rec.morph, &m_rec.device);
        header.SetSettings(nFormat, 0, 0, 10);
        const auto aTexts = header.BuildTexts(100, 12);
        ASSERT_GT(aTexts.size(), 20u);
        const QFont textFont = MakeLogFont(30, 400);
        for (const CReportText& t : aTexts) {
            if (t.nFlags & Qt::TextWordWrap) {
                EXPECT_GT(probe::DarkPixels(image, t.rcBox), 50) << t.strText;
                continue;
            }
            // Where the text lands in its box: it fits the box, and the ink is there.
            const QFont font = t.bTitle ? MakeLogFont(40, 700) : textFont;
            const QRect rcText =
                QFontMetrics(font).boundingRect(t.rcBox, t.nFlags, ToQString(t.strText));
            if (t.rcBox.right() < image.width() - 1) {
                // Integer font metrics round the 30 px character cell up by a pixel at each end.
                EXPECT_TRUE(t.rcBox.contains(rcText.adjusted(0, 1, 0, -1))) << t.strText;
            }
            EXPECT_NEAR(rcText.center().y(), t.rcBox.center().y(), 1) << t.strText;
            if (t.nFlags & Qt::AlignRight) {
                EXPECT_EQ(rcText.right(), t.rcBox.right()) << t.strText;
            } else if (!t.bTitle) {
                EXPECT_EQ(rcText.left(), t.rcBox.left()) << t.strText;
            }
            EXPECT_GT(probe::DarkPixels(image, rcText), 10) << t.strText;
        }
        // The fonts: text 3 mm and title 4 mm character cells.
        QFontMetrics metrics(textFont);
        EXPECT_NEAR(metrics.ascent() + metrics.descent(), 30, 1);
        QFontMetrics title(MakeLogFont(40, 700));
        EXPECT_NEAR(title.ascent() + title.descent(), 40, 1);
        EXPECT_TRUE(QFontInfo(textFont).family().contains("Liberation Sans"));
    }
}

TEST_F(RenderedPageTest, KoreanTextIsDrawnWithAHangulFont) {
    testsupport::CCodePageScope codePage("CP949");
    // "Hong Gildong" in CP949.
    m_rec.info.SetPatientInfo(1, "\xC8\xAB\xB1\xE6\xB5\xBF");
    FillLeads(m_rec.wave, 5000, 0);
    const QImage image = Render(1, 3, TRUE, FALSE);
    CReportHeader header;
    header.SetSources(&m_rec.info, &m_rec.morph, &m_rec.device);
    header.SetSettings(1, 3, 0, 10);
    const auto texts = ByText(header.BuildTexts(100, 12));
    const QRect rcName = texts.at("Name : \xC8\xAB\xB1\xE6\xB5\xBF ").rcBox;
    // "Name : " alone is about 90 pixels wide; the three syllables add about 90 more.
    const QRect rcInk = probe::DarkBounds(image, rcName);
    EXPECT_GT(rcInk.width(), 140);
}

}  // namespace
