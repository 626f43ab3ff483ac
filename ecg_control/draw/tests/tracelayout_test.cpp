#include "ecg_control/draw/tracelayout.h"

#include <gtest/gtest.h>

#include "synthrecord.h"

namespace {

struct CCellTable {
    int nColumns, nRows, nSegmentDivisor, nFirst, nPitch;
};
// The screen arrangement per format (segment = samples / divisor).
const CCellTable kScreen[4] = {{1, 12, 1, 2, 3}, {2, 6, 2, 3, 5}, {4, 3, 4, 8, 8}, {4, 3, 4, 8, 8}};

// Column step per format and speed code from the screen table, f = record width at 25 mm/s.
int ScreenStep(int nFormat, int nSpeed, int f) {
    switch (nFormat) {
        case 0:
            return nSpeed == 4 ? 2 * f : nSpeed == 2 ? f : f / 2;
        case 1:
            return nSpeed == 4 ? f : nSpeed == 2 ? f / 2 : f / 4 + 1;
        default:
            return nSpeed == 4 ? f / 2 : nSpeed == 2 ? f / 4 + 1 : f / 8 + 1;
    }
}

class TraceLayoutTest : public ::testing::Test {
protected:
    void Attach(CTraceLayout& layout) { layout.Attach(&m_rec.wave, &m_rec.info, &m_rec.morph); }
    CSynthRecord m_rec;
};

TEST_F(TraceLayoutTest, CellTableForEveryFormatSpeedGainAndMainsMode) {
    for (int nSamples : {5000, 6000}) {
        FillLeads(m_rec.wave, nSamples, 410);
        const int m = nSamples == 6000 ? 1 : 0;
        for (int nCell : {2, 10}) {
            const int L = 5 * nCell;
            const int f = (m ? 60 : 50) * L;
            for (int nFormat = 0; nFormat < 4; ++nFormat) {
                for (int nSpeed : {1, 2, 4}) {
                    for (int nGain = 0; nGain <= 4; ++nGain) {
                        SCOPED_TRACE(testing::Message()
                                     << "samples " << nSamples << " cell " << nCell << " format "
                                     << nFormat << " speed " << nSpeed << " gain " << nGain);
                        CTraceLayout layout;
                        Attach(layout);
                        layout.SetSettings(nFormat, nGain, nSpeed, 1, nCell);
                        ASSERT_TRUE(layout.Compute());
                        const CCellTable& t = kScreen[nFormat];
                        EXPECT_EQ(layout.GetColumns(), t.nColumns);
                        EXPECT_EQ(layout.GetRows(), t.nRows);
                        EXPECT_EQ(layout.GetSegment(), nSamples / t.nSegmentDivisor);
                        const int nStep = ScreenStep(nFormat, nSpeed, f);
                        for (int i = 0; i < 12; ++i) {
                            const CTracePoint pos = layout.GetCellPosition(i);
                            EXPECT_EQ(pos.x, (i / t.nRows) * nStep) << "lead " << i;
                            EXPECT_EQ(pos.y, L * (t.nFirst + (i % t.nRows) * t.nPitch))
                                << "lead " << i;
                        }
                        const CTracePoint strip = layout.GetRhythmPosition();
                        if (nFormat == 1 || nFormat == 2) {
                            EXPECT_EQ(strip.x, 0);
                            EXPECT_EQ(strip.y, L * (nFormat == 1 ? 33 : 32));
                        } else {
                            EXPECT_EQ(strip.x, -1);
                            EXPECT_EQ(strip.y, -1);
                        }
                        // Whole record: 50 (60) large boxes at 25 mm/s, half at 12.5, twice
                        // at 50; 500 samples a second in both mains modes.
                        const double dWidth = (m ? 60 : 50) * L *
                                              (nSpeed == 1   ? 0.5
                                               : nSpeed == 4 ? 2
                                                             : 1);
                        EXPECT_DOUBLE_EQ(layout.GetPixelsPerSample(), dWidth / nSamples);
                        EXPECT_DOUBLE_EQ(layout.GetPixelsPerSample() * 500,
                                         25.0 * nCell *
                                             (nSpeed == 1   ? 0.5
                                              : nSpeed == 4 ? 2
                                                            : 1));
                        // 410 counts (1 mV) at the gain's mm/mV; chest leads halved at code 0.
                        static const double s_adMmPerMv[5] = {10, 2.5, 5, 10, 20};
                        if (nFormat != 3) {
                            const CTracePoint* pLead0 = layout.LeadPoints(0);
                            EXPECT_EQ(layout.GetCellPosition(0).y - pLead0[5].y,
                                      static_cast<int>(s_adMmPerMv[nGain] * nCell));
                            const CTracePoint* pLead7 = layout.LeadPoints(7);
                            const double dChest = nGain == 0 ? 5 : s_adMmPerMv[nGain];
                            EXPECT_EQ(layout.GetCellPosition(7).y - pLead7[5].y,
                                      static_cast<int>(dChest * nCell));
                        }
                    }
                }
            }
        }
    }
}

TEST_F(TraceLayoutTest, KnownCellsAtTheScreenDefaults) {
    FillLeads(m_rec.wave, 5000, 0);
    CTraceLayout layout;
    Attach(layout);
    // Created with format 0, gain 3, speed 2, rhythm lead 0, cell 2.
    EXPECT_EQ(layout.GetCellSize(), 2);
    EXPECT_EQ(layout.GetLargeCell(), 10);
    layout.SetFormat(1);
    ASSERT_TRUE(layout.Compute());
    EXPECT_EQ(layout.GetCellPosition(6).x, 250);  // V1 starts the second half of the record
    EXPECT_EQ(layout.GetCellPosition(6).y, 30);
    EXPECT_EQ(layout.GetRhythmPosition().y, 330);
    // The second column shows samples 2500.. from its own x.
    EXPECT_EQ(layout.ColumnStart(6), 2500);
    EXPECT_EQ(layout.LeadPoints(6)[0].x, 250);
    EXPECT_EQ(layout.LeadPoints(6)[2499].x, 499);  // last sample of the record
    layout.SetFormat(2);
    ASSERT_TRUE(layout.Compute());
    EXPECT_EQ(layout.GetCellPosition(3).x, 126);
    EXPECT_EQ(layout.GetCellPosition(11).x, 378);
    EXPECT_EQ(layout.ColumnStart(11), 3750);
    // Rhythm strip: every sample of the rhythm lead across the page.
    const CTracePoint* pStrip = layout.LeadPoints(12);
    EXPECT_EQ(pStrip[0].x, 0);
    EXPECT_EQ(pStrip[4999].x, 499);
    EXPECT_EQ(pStrip[4999].y, 320);
}

TEST_F(TraceLayoutTest, SixtyHertzRecordIsThreeHundredMillimetres) {
    FillLeads(m_rec.wave, 6000, 0);
    CTraceLayout layout;
    Attach(layout);
    layout.SetSettings(0, 3, 2, 0, 10);
    ASSERT_TRUE(layout.Compute());
    EXPECT_EQ(layout.LeadPoints(0)[5999].x, 2999);  // 300 mm at 10 px/mm
    FillLeads(m_rec.wave, 5000, 0);
    layout.Invalidate();
    ASSERT_TRUE(layout.Compute());
    EXPECT_EQ(layout.LeadPoints(0)[4999].x, 2499);  // 250 mm
}

// A record wider than its paper shows its start, as much as the paper holds, at the same
// scale; what fits is shown whole.
TEST_F(TraceLayoutTest, PaperHoldsWhatFitsAtTrueScale) {
    struct {
        int nSamples, nPaper, nSpeed, nShown;
    } cases[] = {
        {6000, 50, 2, 5000},  // the report page: the first 10 s of a 60 Hz record
        {6000, 60, 2, 6000},  // the 60 Hz screen grid
        {6000, 0, 2, 6000},   // no paper given
        {6000, 50, 1, 6000},  // 12.5 mm/s: 30 boxes
        {6000, 120, 4, 6000}, {6000, 100, 4, 5000}, {5000, 50, 2, 5000}, {5000, 40, 2, 4000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.nSamples << " samples, paper " << c.nPaper << ", speed " << c.nSpeed);
        FillLeads(m_rec.wave, c.nSamples, 0);
        m_rec.wave.AddMark(4999);
        m_rec.wave.AddMark(5000);
        CTraceLayout layout;
        Attach(layout);
        layout.SetSettings(1, 3, c.nSpeed, 1, 10);
        layout.SetPaperColumns(c.nPaper);
        ASSERT_TRUE(layout.Compute());
        EXPECT_EQ(layout.GetSamples(), c.nShown);
        EXPECT_EQ(layout.GetSegment(), c.nShown / 2);
        // Pixels per sample never change with the paper.
        const double dSpeed = c.nSpeed == 1 ? 0.5 : c.nSpeed == 4 ? 2 : 1;
        EXPECT_DOUBLE_EQ(layout.GetPixelsPerSample(), 0.5 * dSpeed);
        // At 25 mm/s the second column starts where the first ends; the strip ends with
        // the paper; marks beyond what is shown are left out.
        if (c.nSpeed == 2) {
            EXPECT_EQ(layout.GetCellPosition(6).x,
                      static_cast<int>(c.nShown / 2 * layout.GetPixelsPerSample()));
        }
        EXPECT_EQ(layout.LeadPoints(12)[c.nShown - 1].x,
                  static_cast<int>((c.nShown - 1) * layout.GetPixelsPerSample()));
        EXPECT_EQ(layout.GetPixelMarks().size(),
                  (c.nShown > 4999 ? 1u : 0u) + (c.nShown > 5000 ? 1u : 0u));
        m_rec.wave.m_adwMarks.clear();
    }
}

TEST_F(TraceLayoutTest, SixtyHertzOnAPageOfPaperSizeIsLaidOutAsItsFirstTenSeconds) {
    for (int nFormat = 0; nFormat < 4; ++nFormat) {
        SCOPED_TRACE(nFormat);
        CTraceLayout aLayouts[2];
        for (int k = 0; k < 2; ++k) {
            MakeSynthRecord(m_rec, k == 0 ? 6000 : 5000);
            Attach(aLayouts[k]);
            aLayouts[k].SetSettings(nFormat, 3, 2, 1, 10);
            aLayouts[k].SetPaperColumns(50);
            ASSERT_TRUE(aLayouts[k].Compute(100, 162));
            if (k == 0) {
                continue;
            }
            const CTraceLayout& a = aLayouts[0];
            const CTraceLayout& b = aLayouts[1];
            EXPECT_EQ(a.GetSamples(), 5000);
            EXPECT_EQ(a.GetSegment(), b.GetSegment());
            for (int i = 0; i <= 12; ++i) {
                EXPECT_EQ(a.GetCellPosition(i).x, b.GetCellPosition(i).x) << i;
                EXPECT_EQ(a.GetCellPosition(i).y, b.GetCellPosition(i).y) << i;
            }
            for (int i = 0; i < 12; ++i) {
                for (int j = 0; j < a.GetSegment(); ++j) {
                    ASSERT_EQ(a.LeadPoints(i)[j].x, b.LeadPoints(i)[j].x) << i << " " << j;
                    ASSERT_EQ(a.LeadPoints(i)[j].y, b.LeadPoints(i)[j].y) << i << " " << j;
                }
            }
        }
    }
    // The paper layout's paper is 250 mm.
    MakeSynthRecord(m_rec, 6000);
    CPrintTraceLayout paper;
    Attach(paper);
    paper.SetSettings(0, 3, 2, 1, 10);
    ASSERT_TRUE(paper.Compute());
    EXPECT_EQ(paper.GetPaperColumns(), 50);
    EXPECT_EQ(paper.GetSamples(), 5000);
    EXPECT_EQ(paper.LeadPoints(0)[4999].x, 2499);
}

TEST_F(TraceLayoutTest, StripIsFiveMillivoltsEitherSideAtTheRowsScale) {
    FillLeads(m_rec.wave, 5000, 0);
    CTraceLayout layout;
    Attach(layout);
    layout.SetSettings(1, 0, 2, 7, 10);  // gain code 0: chest leads at half height
    ASSERT_TRUE(layout.Compute());
    int nTop = 0, nBottom = 0;
    ASSERT_TRUE(layout.GetStrip(0, &nTop, &nBottom));
    // 2048 counts at 50 px/mm x 20 / 4095 a count: 500 px (50 mm at 10 mm/mV).
    EXPECT_EQ(layout.GetCellPosition(0).y - nTop, 500);
    EXPECT_EQ(nBottom - layout.GetCellPosition(0).y, 500);
    ASSERT_TRUE(layout.GetStrip(6, &nTop, &nBottom));
    EXPECT_EQ(layout.GetCellPosition(6).y - nTop, 250);
    // The rhythm strip at its lead's scale (V2).
    ASSERT_TRUE(layout.GetStrip(12, &nTop, &nBottom));
    EXPECT_EQ(layout.GetRhythmPosition().y - nTop, 250);
    EXPECT_FALSE(layout.GetStrip(13, &nTop, &nBottom));
    EXPECT_FALSE(layout.GetStrip(-1, &nTop, &nBottom));
    layout.SetFormat(0);
    ASSERT_TRUE(layout.Compute());
    EXPECT_FALSE(layout.GetStrip(12, &nTop, &nBottom));  // no rhythm strip in format 0
}

TEST_F(TraceLayoutTest, RecomputesOnlyWhenSomethingChanged) {
    FillLeads(m_rec.wave, 5000, 100);
    CTraceLayout layout;
    Attach(layout);
    ASSERT_TRUE(layout.Compute());
    EXPECT_FALSE(layout.IsDirty());
    layout.SetSettings(0, 3, 2, 0, 2);
    EXPECT_FALSE(layout.IsDirty());
    const BYTE* pBlock = layout.Data();
    layout.SetGain(4);
    EXPECT_TRUE(layout.IsDirty());
    ASSERT_TRUE(layout.Compute());
    EXPECT_EQ(layout.Data(), pBlock);  // same shape: the block is kept
    // A new origin moves the points.
    ASSERT_TRUE(layout.Compute(7, 9));
    EXPECT_EQ(layout.LeadPoints(0)[0].x, 7);
    // A buffer of another length forces a new block.
    FillLeads(m_rec.wave, 6000, 100);
    ASSERT_TRUE(layout.Compute(7, 9));
    EXPECT_EQ(layout.GetSamples(), 6000);
    EXPECT_EQ(layout.GetSize(), 13u * 6000u * 8u);
}

TEST_F(TraceLayoutTest, FailsWithoutSamples) {
    CTraceLayout layout;
    EXPECT_FALSE(layout.Compute());
    Attach(layout);
    EXPECT_FALSE(layout.Compute());  // buffer without a block
}

TEST_F(TraceLayoutTest, RhythmLeadOutsideTheLeadsMeansNoStrip) {
    FillLeads(m_rec.wave, 5000, 200);
    for (int nLead : {-1, 12, 13, 255, 32767}) {
        CTraceLayout layout;
        Attach(layout);
        layout.SetSettings(1, 3, 2, nLead, 2);
        ASSERT_TRUE(layout.Compute()) << nLead;
        EXPECT_FALSE(layout.HasRhythmStrip()) << nLead;
        EXPECT_EQ(layout.GetRhythmPosition().x, -1);
        // The extra row stays empty: nothing was read from beyond the leads.
        const CTracePoint* pStrip = layout.LeadPoints(12);
        EXPECT_EQ(pStrip[100].x, 0);
        EXPECT_EQ(pStrip[100].y, 0);
    }
}

TEST_F(TraceLayoutTest, PacemakerMarksOutsideTheRecordAreLeftOut) {
    FillLeads(m_rec.wave, 5000, 0);
    m_rec.wave.AddMark(4999);
    m_rec.wave.AddMark(5000);
    m_rec.wave.AddMark(0xFFFFFFFFu);
    CTraceLayout layout;
    Attach(layout);
    layout.SetSettings(0, 3, 4, 0, 10);
    ASSERT_TRUE(layout.Compute());
    ASSERT_EQ(layout.GetPixelMarks().size(), 1u);
    EXPECT_EQ(layout.GetPixelMarks()[0], 4999u);  // 1 px a sample at 50 mm/s, cell 10
}

TEST_F(TraceLayoutTest, CellBelowOneIsRaisedToOne) {
    FillLeads(m_rec.wave, 5000, 0);
    CTraceLayout layout;
    Attach(layout);
    layout.SetCellSize(0);
    EXPECT_EQ(layout.GetCellSize(), 1);
    EXPECT_EQ(layout.GetLargeCell(), 5);
    layout.SetCellSize(-4);
    EXPECT_EQ(layout.GetCellSize(), 1);
    EXPECT_TRUE(layout.Compute());
}

TEST_F(TraceLayoutTest, GainZeroHalvesOnlyTheChestLeads) {
    FillLeads(m_rec.wave, 5000, 410);
    CTraceLayout layout;
    Attach(layout);
    layout.SetSettings(0, 0, 2, 0, 10);
    ASSERT_TRUE(layout.Compute());
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(layout.GetCellPosition(i).y - layout.LeadPoints(i)[0].y, i < 6 ? 100 : 50) << i;
    }
    // Negative samples go down; the halving truncates toward zero.
    FillLeads(m_rec.wave, 5000, -411);
    layout.Invalidate();
    ASSERT_TRUE(layout.Compute());
    EXPECT_EQ(layout.LeadPoints(0)[0].y - layout.GetCellPosition(0).y, 100);
    EXPECT_EQ(layout.LeadPoints(6)[0].y - layout.GetCellPosition(6).y, 50);
}

TEST_F(TraceLayoutTest, PacemakerMarksInPixels) {
    FillLeads(m_rec.wave, 5000, 0);
    m_rec.wave.AddMark(1000);
    m_rec.wave.AddMark(3001);
    CTraceLayout layout;
    Attach(layout);
    layout.SetSettings(1, 3, 2, 0, 10);
    ASSERT_TRUE(layout.Compute());
    ASSERT_EQ(layout.GetPixelMarks().size(), 2u);
    EXPECT_EQ(layout.GetPixelMarks()[0], 500u);
    EXPECT_EQ(layout.GetPixelMarks()[1], 1500u);
    // Sample 3001 is drawn by V1..V6 in the second column at the mark's x.
    EXPECT_EQ(layout.LeadPoints(6)[3001 - 2500].x, 1500);
}

TEST_F(TraceLayoutTest, RepresentativeBeatIsCentredWithFiducials) {
    MakeSynthRecord(m_rec, 5000);
    CTraceLayout layout;
    Attach(layout);
    layout.SetSettings(3, 3, 2, 0, 10);
    ASSERT_TRUE(layout.Compute());
    const int nSegment = 1250;
    EXPECT_EQ(layout.GetSegment(), nSegment);
    const int nStart = kSynthRepFirst - (nSegment - (kSynthRepLast - kSynthRepFirst)) / 2;
    // Each of 12 leads has the five fiducial marks of beat 3 in its window.
    EXPECT_EQ(layout.GetFiducialCount(), 60);
    const CTracePoint fid = layout.GetFiducials()[2];  // lead 0, QRS offset
    const int nQrsOff = kSynthFirstBeat + 2 * kSynthBeatPitch + 30;
    EXPECT_EQ(fid.x, static_cast<int>((nQrsOff - nStart) * 0.5));
    // Outside the beat the line is flat; inside it follows the samples.
    const CTracePoint* pLead = layout.LeadPoints(1);
    EXPECT_EQ(pLead[0].y, layout.GetCellPosition(1).y);
    const int nPeak = kSynthFirstBeat + 2 * kSynthBeatPitch - nStart;
    EXPECT_LT(pLead[nPeak].y, layout.GetCellPosition(1).y - 80);
}

TEST_F(TraceLayoutTest, FiducialsOnlyFromArraysThatHoldTheBeat) {
    MakeSynthRecord(m_rec, 5000);
    // Beat at the start of the record, so its window starts at sample 0: an absent array
    // must not turn into a mark at position 0.
    for (int i = 0; i < 12; ++i) {
        m_rec.morph.SetValue(i, 1, 0);
        m_rec.morph.SetValue(i, 2, 300);
    }
    m_rec.info.m_arrays.FreeAll();
    CTraceLayout layout;
    Attach(layout);
    layout.SetSettings(3, 3, 2, 0, 10);
    ASSERT_TRUE(layout.Compute());
    EXPECT_EQ(layout.GetFiducialCount(), 0);
    // A beat number past the arrays' length gives no marks either.
    m_rec.info.m_arrays.Make(0, 2);
    m_rec.info.m_arrays.Set(0, 1, 0);
    for (int i = 0; i < 12; ++i) {
        m_rec.morph.SetValue(i, 0, 5);
    }
    layout.Invalidate();
    ASSERT_TRUE(layout.Compute());
    EXPECT_EQ(layout.GetFiducialCount(), 0);
}

TEST_F(TraceLayoutTest, RepresentativeBeatBoundsFromTheFileAreClamped) {
    MakeSynthRecord(m_rec, 5000);
    struct {
        short nFirst, nLast;
        bool bFlat;
    } cases[] = {
        {0, 0, true},          // no beat
        {-3000, 200, false},   // starts before the record
        {4900, 32000, false},  // ends after it
        {6000, 7000, true},    // wholly after it
        {300, 100, true},      // reversed
        {-32768, 32767, false},
    };
    for (const auto& c : cases) {
        for (int i = 0; i < 12; ++i) {
            m_rec.morph.SetValue(i, 1, c.nFirst);
            m_rec.morph.SetValue(i, 2, c.nLast);
        }
        CTraceLayout layout;
        Attach(layout);
        layout.SetSettings(3, 3, 2, 0, 10);
        ASSERT_TRUE(layout.Compute()) << c.nFirst << ".." << c.nLast;
        const CTracePoint* pLead = layout.LeadPoints(1);
        bool bFlat = true;
        for (int w = 0; w < layout.GetSegment(); ++w) {
            bFlat = bFlat && pLead[w].y == layout.GetCellPosition(1).y;
        }
        EXPECT_EQ(bFlat, c.bFlat) << c.nFirst << ".." << c.nLast;
        EXPECT_LE(layout.GetFiducialCount(), CTraceLayout::kMaxFiducials);
    }
}

TEST_F(TraceLayoutTest, PaperLayoutTable) {
    struct {
        int nFormat, nSegmentDivisor, nFirst, nPitch, nStep;
    } rows[] = {{0, 1, 3, 3, 500}, {1, 2, 5, 5, 250}, {2, 4, 8, 8, 126}, {3, 4, 16, 8, 126}};
    FillLeads(m_rec.wave, 5000, 0);
    for (const auto& r : rows) {
        CPrintTraceLayout layout;
        Attach(layout);
        layout.SetSettings(r.nFormat, 3, 4, 0, 2);  // the speed stays 25 mm/s
        ASSERT_TRUE(layout.Compute());
        EXPECT_EQ(layout.GetSpeed(), 2);
        EXPECT_EQ(layout.GetSegment(), 5000 / r.nSegmentDivisor);
        const int nRows = layout.GetRows();
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(layout.GetCellPosition(i).x, (i / nRows) * r.nStep);
            EXPECT_EQ(layout.GetCellPosition(i).y, 10 * (r.nFirst + (i % nRows) * r.nPitch));
        }
        if (r.nFormat == 1 || r.nFormat == 2) {
            EXPECT_EQ(layout.GetRhythmPosition().y, 10 * (r.nFirst + r.nPitch * nRows));
        } else {
            EXPECT_FALSE(layout.HasRhythmStrip());
        }
    }
}

TEST(LeadNames, TableInLeadOrder) {
    EXPECT_STREQ(LeadName(0), "I");
    EXPECT_STREQ(LeadName(3), "aVR");
    EXPECT_STREQ(LeadName(11), "V6");
    EXPECT_STREQ(LeadName(12), "");
    EXPECT_STREQ(LeadName(-1), "");
}

}  // namespace
