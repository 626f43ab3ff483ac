// T-wave end, P-wave, measurement and finish steps on working data filled by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "ecg_engine/engine.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/wave_stages.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;

namespace {

std::unique_ptr<CEngineData> FreshData(EEngineVariant v = EEngineVariant::Zorvik31) {
    auto d = CreateEngineData(v);
    d->bDebugOutput = false;
    InitAnalysis(*d);
    return d;
}

// Beats in the detection frame, the same in every lead, with the per-lead lists of the
// recognition stage (kept beats only) and the global boundaries.
void SetBeats(CEngineData& d, const std::vector<std::pair<int, int>>& frameBeats) {
    auto& q = d.Detection.IOQm;
    q.qrs_num = static_cast<int>(frameBeats.size());
    int j = 0;
    for (std::size_t i = 0; i < frameBeats.size(); ++i) {
        q.qrs_onset[i] = frameBeats[i].first;
        q.qrs_offset[i] = frameBeats[i].second;
        if (frameBeats[i].first > 499 && frameBeats[i].second < 5501) {
            for (int l = 0; l < kLeads; ++l) {
                d.Qrs.LeadBeatList.onset[l][j] = frameBeats[i].first - 500;
                d.Qrs.LeadBeatList.offset[l][j] = frameBeats[i].second - 500;
            }
            d.Qrs.GlobalQrsOnset[j] = frameBeats[i].first - 500;
            d.Qrs.GlobalQrsOffset[j] = frameBeats[i].second - 500;
            ++j;
        }
    }
    for (int l = 0; l < kLeads; ++l)
        d.Qrs.LeadBeatList.nCount[l] = j;
}

SWorkList List(std::initializer_list<int> values) {
    SWorkList w;
    for (int v : values)
        AddToWorkList(w, v);
    return w;
}

std::string Text(const StatementText& t) {
    return std::string(t.data());
}

}  // namespace

TEST(GlobalMeasurements, MiddleValueRule) {
    struct {
        std::initializer_list<int> values;
        int expected;
    } cases[] = {
        {{}, 0},
        {{420}, 420},
        {{430, 400}, 430},  // fewer than three: the first collected, not a mean
        {{400, 420, 440}, 400},
        {{400, 410, 420, 430}, 410},
        {{500, 100, 300, 200, 400}, 200},
    };
    for (const auto& c : cases) {
        SWorkList w = List(c.values);
        EXPECT_EQ(MiddleValueOf(w), c.expected);
        EXPECT_EQ(w.nCount, c.expected);  // left in the count place
    }
    // A full list does not overflow its room.
    SWorkList w;
    for (int i = 0; i < 100; ++i)
        AddToWorkList(w, i);
    EXPECT_EQ(w.nCount, kMaxBeats - 1);
}

TEST(TWaveEnd, SearchWindowLengthFollowsTheRate) {
    struct {
        int rr, expected;
    } cases[] = {{500, 260}, {300, 285}, {120, 399}};
    for (const auto& c : cases) {
        auto d = FreshData();
        // The last beat's window keeps its length; an earlier one stops before the next QRS.
        SetBeats(*d, {{1000, 1050}, {1000 + c.rr, 1050 + c.rr}});
        PrepareTOffsetSearch(*d);
        const auto& t = d->TWave;
        EXPECT_EQ(t.WindowStart[0][1], 1050 + c.rr);
        EXPECT_EQ(t.WindowEnd[0][1] - t.WindowStart[0][1], c.expected) << c.rr;
        EXPECT_EQ(t.WindowEnd[0][0] - t.WindowStart[0][0], std::min(c.expected, c.rr - 51)) << c.rr;
    }
}

namespace {

// The T-end scan's window 1000..1300 of the first of two beats in every lead, threshold 100,
// the envelope flat at nEnvelope; the second beat starts right after the window or later.
std::unique_ptr<CEngineData> OneTWindow(bool bNextQrs, int nEnvelope) {
    auto d = FreshData();
    SetBeats(*d, {{900, 1000}, {bNextQrs ? 1301 : 1400, 1450}});
    auto& t = d->TWave;
    for (int r = 0; r < kIndependentLeads; ++r) {
        t.WindowStart[r][0] = 1000;
        t.WindowEnd[r][0] = 1300;
        t.TEndThreshold[r][0] = 100;
        t.TEnvelope[r].fill(nEnvelope);
    }
    return d;
}

}  // namespace

TEST(TWaveEnd, ThresholdScanCases) {
    // Envelope rows set by hand: window 1000..1300, threshold 100. The smoothed signal is 80
    // over the first hump and 0 from 1201 on, the level before the next QRS.
    struct {
        const char* name;
        std::vector<std::pair<int, int>> humps;  // [from, to] above the threshold
        int nGapLevel, nLaterWave;  // the smoothed signal after the first hump and over the rest
        int nDip;                   // a dip of the envelope above the threshold (0: none)
        bool bNextQrs;              // the window ends at the next QRS
        int expected;
    } cases[] = {
        {"never above", {}, 0, 0, 0, true, 1305},
        {"one hump", {{1000, 1100}}, 0, 0, 0, true, 1106},
        {"short gap: end after the second", {{1000, 1100}, {1140, 1200}}, 60, 40, 0, true, 1206},
        {"long gap: end after the first", {{1000, 1100}, {1160, 1200}}, 60, 40, 0, true, 1106},
        // A hump after a short gap belongs to the T unless the signal had come back to its
        // level before the next QRS: then it is the next P wave and the end found stays.
        {"short gap back at the level: the next P wave",
         {{1000, 1100}, {1140, 1200}},
         0,
         40,
         0,
         true,
         1106},
        {"short gap back at the level, nothing after it",
         {{1000, 1100}, {1140, 1200}},
         0,
         0,
         0,
         true,
         1206},
        {"short gap back at the level, the window ends before the next QRS",
         {{1000, 1100}, {1140, 1200}},
         0,
         40,
         0,
         false,
         1206},
        // The next P wave so close that the envelope only dips between the two.
        {"dip back at the level: the next P wave", {{1000, 1200}}, 0, 40, 1120, true, 1125},
        {"dip off the level: inside the T", {{1000, 1200}}, 60, 40, 1120, true, 1206},
    };
    for (const auto& c : cases) {
        auto d = OneTWindow(c.bNextQrs, 10);
        auto& t = d->TWave;
        for (int r = 0; r < kIndependentLeads; ++r) {
            t.MeanRow[r].fill(0);
            for (auto [from, to] : c.humps) {
                for (int j = from; j <= to; ++j)
                    t.TEnvelope[r][j] =
                        c.nDip ? 500 - std::max(0, 200 - 10 * std::abs(j - c.nDip)) : 500;
            }
            for (int j = 1000; j <= 1200; ++j)
                t.MeanRow[r][j] = j <= 1100 ? 80 : (j < 1140 ? c.nGapLevel : c.nLaterWave);
        }
        FindTOffsets(*d);
        EXPECT_EQ(t.TOffset[0], c.expected) << c.name;
    }
}

// The envelope stays above the threshold to the window's end (1000..1300, the next QRS at
// 1301): the next P wave follows the T at once. The smoothed signal, shaped by hand, tells
// where the T ended.
TEST(TWaveEnd, ANextPWaveRightAfterTheTEndsItWhereTheSignalTurns) {
    struct {
        const char* name;
        int nPeak;         // the T's peak (0: the signal falls from the window's start)
        int nTurn, nRise;  // where the signal turns and how far it then moves by 1289
        int nSign;         // the T's direction
        int expected;
    } cases[] = {
        {"positive T, then a positive P", 1100, 1250, 20, 1, 1255},
        {"negative T, then a negative P", 1100, 1250, 20, -1, 1255},
        {"a T that runs into the next QRS", 1100, 1289, 0, 1, 1305},
        {"a rise of noise after the T", 1100, 1250, 2, 1, 1305},
        {"a negative T's trough, the signal back up to the end", 0, 1150, 60, 1, 1305},
    };
    for (const auto& c : cases) {
        auto d = OneTWindow(true, 500);
        auto& t = d->TWave;
        for (int r = 0; r < kIndependentLeads; ++r) {
            auto& a = t.MeanRow[r];
            for (int j = 1000; j <= 1300; ++j) {
                const int k = std::min(j, 1289);
                int v;
                if (c.nPeak == 0)  // from the ST level at 0 down to the trough at -80
                    v = k <= c.nTurn ? -80 * (k - 1000) / (c.nTurn - 1000)
                                     : -80 + c.nRise * (k - c.nTurn) / (1289 - c.nTurn);
                else if (k <= c.nPeak)
                    v = 80 * (k - 1000) / (c.nPeak - 1000);
                else if (k <= c.nTurn)
                    v = 80 - 80 * (k - c.nPeak) / (c.nTurn - c.nPeak);
                else
                    v = c.nRise * (k - c.nTurn) / (1289 - c.nTurn);
                a[j] = c.nSign * v;
            }
        }
        FindTOffsets(*d);
        EXPECT_EQ(t.TOffset[0], c.expected) << c.name;
    }
}

// The level is read just before the next QRS, where a tall P wave can still stand: the signal
// that passes it on its way up into the T, where the envelope dips, has not come back to it.
// The T then ends where the signal turns into that P wave.
TEST(TWaveEnd, ADipWhileTheSignalRisesIntoTheTIsNoEnd) {
    auto d = OneTWindow(true, 500);
    auto& t = d->TWave;
    for (int r = 0; r < kIndependentLeads; ++r) {
        auto& a = t.MeanRow[r];
        for (int j = 1000; j <= 1300; ++j) {
            t.TEnvelope[r][j] = 500 - std::max(0, 200 - 10 * std::abs(j - 1060));
            const int k = std::min(j, 1289);
            if (k <= 1100)  // from the ST segment through the level to the T's peak
                a[j] = -40 + 160 * (k - 1000) / 100;
            else if (k <= 1200)
                a[j] = 120 - 120 * (k - 1100) / 100;
            else  // the P wave, up to the end of the window
                a[j] = 40 * (k - 1200) / 89;
        }
    }
    FindTOffsets(*d);
    EXPECT_EQ(t.TOffset[0], 1205);
}

TEST(TWaveEnd, TwoUsableLeadsTakeTheFirstLeadsEnd) {
    auto d = FreshData();
    SetBeats(*d, {{900, 1000}});
    for (int r = 0; r < kIndependentLeads; ++r)
        d->Detection.LeadQuality[r] = r < 2 ? LeadGoodQuality : LeadNoSignal;
    auto& t = d->TWave;
    for (int r = 0; r < 2; ++r) {
        t.WindowStart[r][0] = 1000;
        t.WindowEnd[r][0] = 1300;
        t.TEndThreshold[r][0] = 100;
        t.TEnvelope[r].fill(10);
        for (int j = 1000; j <= (r == 0 ? 1120 : 1180); ++j)
            t.TEnvelope[r][j] = 500;
    }
    FindTOffsets(*d);
    EXPECT_EQ(t.TOffset[0], 1126);
}

TEST(TWaveEnd, PerLeadTablesSkipEdgeBeatsAndClampLateEnds) {
    auto d = FreshData();
    SetBeats(*d, {{400, 450}, {1000, 1050}, {5450, 5490}});
    d->TWave.TOffset[0] = 700;
    d->TWave.TOffset[1] = 1300;
    d->TWave.TOffset[2] = 5600;
    FinishTWave(*d);
    const auto& t = d->TWave;
    EXPECT_EQ(t.LeadQrsOffset[LeadV3][0], 550);  // the first beat has no entry
    EXPECT_EQ(t.LeadTOffset[LeadV3][0], 800);
    EXPECT_EQ(t.LeadTOffset[LeadV3][1], 4999);
}

TEST(TWaveEnd, TAmplitudeQtAndTAxis) {
    auto d = FreshData();
    SetBeats(*d, {{1000, 1050}, {1500, 1550}, {2000, 2050}});
    // A T hump of 200 units in I and 400 in II peaking 80 samples after each QRS offset.
    for (int n = 0; n < kRecordSamples; ++n) {
        const int k = (n - 550) % 500;
        const double bump = (k >= 30 && k <= 130) ? std::sin((k - 30) * M_PI / 100) : 0.0;
        const int i = static_cast<int>(std::lround(200 * bump));
        const int ii = static_cast<int>(std::lround(400 * bump));
        d->AnalysisLeads[LeadI][n] = i;
        d->AnalysisLeads[LeadII][n] = ii;
        d->AnalysisLeads[LeadIII][n] = ii - i;
    }
    for (int i = 0; i < 3; ++i) {
        d->TWave.TOffset[i] = 1190 + 500 * i;
        d->Qrs.BeatRR[i] = 1000;
    }
    FinishTWave(*d);
    const auto& t = d->TWave;
    EXPECT_NEAR(t.TPeak[LeadI][0], 630, 3);  // the first sample of the rounded crest
    EXPECT_EQ(t.TA[LeadI][0], static_cast<int>(200 * 2.44140625));
    EXPECT_EQ(t.QT[LeadI][0], (690 - 500) * 2);
    EXPECT_EQ(t.QTcint[0], 380);  // RR of one second
    EXPECT_EQ(t.RecordQT, 380);
    EXPECT_EQ(t.Taxis[0], 59);  // I = III = II / 2: the axis rule's 59
    EXPECT_EQ(t.RecordTAxis, 59);
}

// The record's QT is the middle value over every beat, the 66th included.
TEST(TWaveEnd, RecordQtCountsEveryBeatOfAFullList) {
    auto d = FreshData();
    std::vector<std::pair<int, int>> beats;
    for (int i = 0; i < kMaxBeats; ++i)
        beats.push_back({510 + 75 * i, 530 + 75 * i});
    SetBeats(*d, beats);
    for (int i = 0; i < kMaxBeats; ++i)
        d->TWave.TOffset[i] = beats[i].first + 30 + i;  // QT of beat i: (30 + i) x 2 ms
    FinishTWave(*d);
    EXPECT_EQ(d->TWave.QTint[kMaxBeats - 1], 60 + 2 * (kMaxBeats - 1));
    EXPECT_EQ(d->TWave.RecordQT, 60 + 2 * 32);  // the 33rd smallest of 66
}

TEST(TWaveEnd, NoUsableLeadKeepsQtZeroAndTheAxisMissing) {
    auto d = FreshData();
    for (auto& q : d->Detection.LeadQuality)
        q = LeadNoSignal;
    for (auto& q : d->Detection.LeadQuality12)
        q = LeadNoSignal;
    EXPECT_EQ(RunTOffsetStage(*d), 0);
    EXPECT_EQ(d->TWave.RecordQT, 0);
    EXPECT_EQ(d->TWave.RecordQTc, 0);
    EXPECT_EQ(d->TWave.RecordTAxis, MissingValue);
}

TEST(PWave, TwelveLeadBufferDerivesTheLimbLeads) {
    auto d = FreshData();
    d->InputLeads[0][700] = 3;
    d->InputLeads[1][700] = 4;
    d->InputLeads[2][700] = 9;
    BuildTwelveLeadBuffer(*d);
    const auto& x = d->PWave.TwelveLeads;
    EXPECT_EQ(x[LeadIII][700], 1);
    EXPECT_EQ(x[LeadAVR][700], -3);
    EXPECT_EQ(x[LeadAVL][700], 1);
    EXPECT_EQ(x[LeadAVF][700], 2);
    EXPECT_EQ(x[LeadV1][700], 9);
}

TEST(PWave, PrPerBeatAndRecordAndThePWaveListOfTheResultFile) {
    auto d = FreshData();
    SetBeats(*d, {{1000, 1050}, {1500, 1550}, {2000, 2050}});
    auto& p = d->PWave;
    // Lead V2 has two P waves in beat 1, every other lead one.
    for (int l = 0; l < kLeads; ++l) {
        for (int j = 0; j < 3; ++j) {
            p.PCount[l][j] = 1;
            p.POn[l][j][0] = 440 + 500 * j;
            p.POff[l][j][0] = 470 + 500 * j;
        }
    }
    p.PCount[LeadV2][1] = 2;
    p.POn[LeadV2][1][0] = 750;
    p.POff[LeadV2][1][0] = 790;
    p.POn[LeadV2][1][1] = 945;
    p.POff[LeadV2][1][1] = 975;
    MeasurePWaves(*d);
    EXPECT_EQ(p.PR[LeadI][0], 120);
    EXPECT_EQ(p.PR[LeadV2][1], 110);
    EXPECT_EQ(p.PRint[1], 120);
    EXPECT_EQ(p.RecordPR, 120);
    EXPECT_EQ(p.ResultCount[0], 1);
    EXPECT_EQ(p.ResultCount[1], 2);
    EXPECT_EQ(p.ResultOn[1 * kMaxPWavesPerBeat + 1], 945);
    EXPECT_EQ(p.PDur[LeadI][0][0], 60);
    EXPECT_EQ(p.PPint[LeadV2][1][1], (960 - 770) * 2);
    // Flat leads: every P amplitude 0, so every P axis -90.
    EXPECT_EQ(p.Paxis[0], -90);
    EXPECT_EQ(p.RecordPAxis, -90);
}

// The record's P axis is the middle value of all P axes, however many P waves there are.
TEST(PWave, RecordPAxisCountsEveryPWave) {
    auto d = FreshData();
    constexpr int kBeats = 33, kWaves = 5;
    std::vector<std::pair<int, int>> beats;
    for (int j = 0; j < kBeats; ++j)
        beats.push_back({600 + 150 * j, 620 + 150 * j});
    SetBeats(*d, beats);
    auto& p = d->PWave;
    for (int j = 0; j < kBeats; ++j) {
        for (int l : {LeadI, LeadII, LeadIII}) {
            p.PCount[l][j] = kWaves;
            for (int k = 0; k < kWaves; ++k) {
                const int nOn = 150 * j + 2 + 16 * k;
                p.POn[l][j][k] = nOn;
                p.POff[l][j][k] = nOn + 12;
                // The first 13 beats point at 59 degrees (I = II = III), the rest at 90 (I flat).
                if (l != LeadI || j < 13)
                    d->AnalysisLeads[l][nOn + 6] = 100;
            }
        }
    }
    MeasurePWaves(*d);
    EXPECT_EQ(p.Paxis[0], 59);
    EXPECT_EQ(p.Paxis[13 * kMaxPWavesPerBeat], 90);
    // 65 axes of 59 and 100 of 90: the 82nd smallest of 165 is 90.
    EXPECT_EQ(p.RecordPAxis, 90);
}

// At high rates the T end found leaves no room for the quiet point after it and may lie
// inside the next P wave: the P search then starts at the quietest point before it that lies
// at the PR segment's level.
TEST(PWave, PointAfterALateTEndLiesBeforeThePWave) {
    constexpr int kPOnset = 1150, kPLength = 32, kQrs = 1214;
    struct {
        const char* name;
        int tEnd;
        int lo, hi;  // where the point after the T wave lies
    } cases[] = {
        {"T end inside the P wave", kPOnset + 6, kPOnset - 25, kPOnset - 4},
        {"quiet T end stays", kPOnset - 40, kPOnset - 40, kPOnset - 40},
        {"no T end before the QRS stays", kQrs + 4, kQrs + 4, kQrs + 4},
    };
    for (const auto& c : cases) {
        auto d = FreshData();
        SetBeats(*d, {{1000, 1048}, {kQrs, kQrs + 48}});
        d->TWave.TOffset[0] = c.tEnd;
        // Lead II: a P wave of 100 units on a flat line, the T ended before it.
        for (int k = 0; k < kPLength; ++k)
            d->InputLeads[1][kPOnset + k] = static_cast<std::int16_t>(
                std::lround(50.0 - 50.0 * std::cos(2.0 * M_PI * (k + 0.5) / kPLength)));
        BuildTwelveLeadBuffer(*d);
        FindIsoelectricPoints(*d);
        const int nPoint = d->PWave.IsoAfterT[LeadII][1];
        EXPECT_GE(nPoint, c.lo) << c.name;
        EXPECT_LE(nPoint, c.hi) << c.name;
    }
}

TEST(PWave, FlatRecordHasNoPWaves) {
    auto d = FreshData();
    SetBeats(*d, {{1000, 1050}, {1500, 1550}, {2000, 2050}, {2500, 2550}});
    for (int i = 0; i < 4; ++i)
        d->TWave.TOffset[i] = 1200 + 500 * i;
    EXPECT_EQ(RunPWaveStage(*d), 0);
    for (int j = 0; j < 3; ++j)
        EXPECT_EQ(d->PWave.ResultCount[j], 0);
    EXPECT_EQ(d->PWave.RecordPR, 0);
    EXPECT_EQ(d->PWave.RecordPAxis, MissingValue);
}

// The atrial waves between two beats: turns of the smoothed sum of the eight independent
// leads. A ripple of a few microvolts (noise on a flat stretch) is no wave; waves of an
// atrial wave's height are, one for each fall after a rise.
TEST(PWave, AtrialWavesNeedAWavesHeight) {
    struct {
        const char* name;
        double dMicrovolts;  // per lead
        int nExpected;
    } cases[] = {{"ripple", 5, 0}, {"atrial waves", 100, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto d = FreshData();
        // Beats at record positions 1000..1050 and 2000..2050; between them four waves of
        // 200 samples (a flutter's 300 per minute).
        SetBeats(*d, {{1500, 1550}, {2500, 2550}});
        const double dUnits = c.dMicrovolts / 2.44140625;
        for (int k = 0; k < 800; ++k) {
            const auto v = static_cast<std::int32_t>(dUnits * std::sin(3.14159265 * k / 100.0));
            for (int l : {LeadI, LeadII, LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6})
                d->AnalysisLeads[l][1150 + k] = v;
        }
        CountAtrialActivity(*d);
        EXPECT_EQ(d->PWave.AtrialCount[0], c.nExpected);
    }
}

TEST(Measurements, AssemblyFillsCountedListsAndTheRecordValues) {
    auto d = FreshData();
    SetBeats(*d, {{1000, 1050}, {1500, 1550}});
    d->Qrs.QrsRate = 60;
    d->Qrs.MedianQrsDuration = 100;
    d->Qrs.MedianQrsAxis = 45;
    d->TWave.RecordQT = 380;
    d->TWave.RecordQTc = 390;
    d->TWave.RecordTAxis = 50;
    d->PWave.RecordPR = 150;
    d->PWave.RecordPAxis = 40;
    d->Qrs.QrsComplexType[LeadV1][1] = 16;
    d->Qrs.QrsWaveTable[LeadV1][1][WaveQ] = {510, -800, 500, 540};
    d->Qrs.JPointAmplitude[LeadV1][1] = {10, 20, 30};
    EXPECT_EQ(AssembleMeasurements(*d), 0);
    const auto& m = d->Measurements;
    EXPECT_EQ(d->BeatCount, 2);
    EXPECT_EQ(m.QRSdur[0], 2);
    EXPECT_EQ(m.QRSdur[1], 100);
    EXPECT_EQ(m.SA[LeadV1][2], -800);  // a Q-only complex reports its deflection as S
    EXPECT_EQ(m.SD[LeadV1][2], 80);
    EXPECT_EQ(m.QOnlyFlag[LeadV1][2], 1);
    EXPECT_EQ(m.ST80A[LeadV1][2], 30);
    // Each lead's own QRS duration, which the measurement log shows per lead.
    d->Qrs.LeadBeatList.offset[LeadV2][1] = 1063;
    EXPECT_EQ(AssembleMeasurements(*d), 0);
    EXPECT_EQ(m.QRSD[LeadV1][0], 2);
    EXPECT_EQ(m.QRSD[LeadV1][2], 100);
    EXPECT_EQ(m.QRSD[LeadV2][2], 126);
    const std::array<std::int32_t, 8> expected = {60, 150, 100, 380, 390, 40, 45, 50};
    EXPECT_EQ(m.GlobalMeasurements, expected);
}

// ---------------------------------------------------------------------------------------
// Finish step.

TEST(FinishStep, WindowRules) {
    // T ends as the T-wave stage leaves them (detection frame), compared with record positions.
    struct {
        const char* name;
        int qon, qoff, tend, pon;
        int start, end;
    } cases[] = {
        {"QRS longer than 700", 1000, 1800, 2000, 0, 1150, 1650},
        {"T end far after the QRS", 2000, 2050, 2700, 0, 1775, 2275},
        {"a normal beat: centred on its QRS", 2000, 2050, 2200 + 500, 1940, 1775, 2275},
        {"P to T end", 2000, 2050, 2200, 1940, 1940 - 120, 2200 + 120},
        {"near the start", 100, 150, 350, 60, 0, 500},
        {"near the end", 4800, 4850, 4990, 4760, 4499, 4999},
    };
    for (const auto& c : cases) {
        auto d = FreshData();
        d->BeatCount = 1;
        d->Qrs.GlobalQrsOnset[0] = c.qon;
        d->Qrs.GlobalQrsOffset[0] = c.qoff;
        d->TWave.TOffset[0] = c.tend;
        if (c.pon) {
            d->PWave.ResultCount[0] = 1;
            d->PWave.ResultOn[0] = c.pon;
        }
        BuildLeadResultTable(*d);
        EXPECT_EQ(d->Finish.WindowStart[LeadII], c.start) << c.name;
        EXPECT_EQ(d->Finish.WindowEnd[LeadII], c.end) << c.name;
    }
}

// The current build moves to the next beat when the chosen beat's last P wave lies after its
// QRS onset, and again when its T end lies before that QRS; the older build does neither and
// centres the window on a QRS of 501 samples or more.
TEST(FinishStep, WindowRuleBeatAlignmentOfBothBuilds) {
    struct {
        const char* name;
        EEngineVariant variant;
        int pon, tend1, qoff1;
        int start, end;
    } cases[] = {
        {"P after the QRS: next QRS", EEngineVariant::Zorvik31, 1600, 2300, 1550, 1900, 2400},
        {"and T before it: next T", EEngineVariant::Zorvik31, 1600, 1900, 1550, 1975, 2475},
        {"older build: the chosen beat", EEngineVariant::Zorvik21, 1600, 2300, 1550, 1275, 1775},
        {"older build: QRS of 600", EEngineVariant::Zorvik21, 1400, 2300, 2100, 1550, 2050},
        {"current build: QRS of 600", EEngineVariant::Zorvik31, 1400, 2300, 2100, 1549, 2051},
    };
    for (const auto& c : cases) {
        auto d = FreshData(c.variant);
        d->BeatCount = 3;
        d->Finish.RepresentativeBeat.fill(2);  // beat index 1
        const int qon[3] = {1000, 1500, 2000}, qoff[3] = {1050, c.qoff1, 2050};
        const int tend[3] = {1800, c.tend1, 2450};
        for (int b = 0; b < 3; ++b) {
            d->Qrs.GlobalQrsOnset[b] = qon[b];
            d->Qrs.GlobalQrsOffset[b] = qoff[b];
            d->TWave.TOffset[b] = tend[b];
        }
        d->PWave.ResultCount[1] = 1;
        d->PWave.ResultOn[1 * kMaxPWavesPerBeat] = c.pon;
        BuildLeadResultTable(*d);
        EXPECT_EQ(d->Finish.ChosenBeat[LeadV5], 1) << c.name;
        EXPECT_EQ(d->Finish.WindowStart[LeadV5], c.start) << c.name;
        EXPECT_EQ(d->Finish.WindowEnd[LeadV5], c.end) << c.name;
    }
}

TEST(FinishStep, ChosenBeatAndItsValues) {
    auto d = FreshData();
    SetBeats(*d, {{1000, 1050}, {1500, 1550}, {2000, 2050}, {2500, 2550}, {3000, 3050}});
    d->BeatCount = 5;
    d->Finish.RepresentativeBeat[LeadI] = 0;  // none chosen: N div 2
    d->Finish.RepresentativeBeat[LeadII] = 4;
    d->Finish.RepresentativeBeat[LeadIII] = 9;  // out of the list
    auto& m = d->Measurements;
    for (int b = 0; b < 5; ++b) {
        m.PRint[b + 1] = 100 + b;
        m.RA[LeadII][b + 1] = 1000 + b;
        m.ST80A[LeadII][b + 1] = 70 + b;
    }
    BuildLeadResultTable(*d);
    const auto& f = d->Finish;
    EXPECT_EQ(f.ChosenBeat[LeadI], 2);
    EXPECT_EQ(f.LeadResultTable[LeadI][0], 0);
    EXPECT_EQ(f.LeadResultTable[LeadI][3], 102);
    EXPECT_EQ(f.ChosenBeat[LeadII], 3);
    EXPECT_EQ(f.LeadResultTable[LeadII][8], 1003);
    EXPECT_EQ(f.LeadResultTable[LeadII][19], 73);
    EXPECT_EQ(f.ChosenBeat[LeadIII], 2);
}

TEST(FinishStep, StatementOrderPoorLeadAndClassText) {
    auto d = FreshData();
    // A lead rated NO SIGNAL before the detection folded it to POOR QUALITY.
    d->Detection.LeadQuality12.fill(LeadPoorQuality);
    d->Finish.LeadRatingBeforeFold.fill(LeadGoodQuality);
    d->Finish.LeadRatingBeforeFold[LeadV4] = LeadNoSignal;
    CopyText(d->RhythmStatementSlots[1], "Sinus rhythm");
    CopyText(d->RhythmStatementSlots[2], "Sinus arrhythmia");
    CopyText(d->WaveformStatementSlots[1], "Left axis deviation");
    d->Finish.RhythmStatementCount = 2;
    d->Finish.WaveformStatementCount = 1;
    d->Finish.EcgSeverity = 2;
    CollectResultStatements(*d);
    const auto& rs = d->ResultStatements;
    ASSERT_EQ(rs.nCount, 5);
    EXPECT_EQ(Text(rs.aText[0]), "*** Poor data quality, interpretation may be adversely affected");
    EXPECT_EQ(Text(rs.aText[1]), "Sinus rhythm");
    EXPECT_EQ(Text(rs.aText[3]), "Left axis deviation");
    EXPECT_EQ(Text(rs.aText[4]), "[ Minimally Abnormal or Normal Variation ECG ]");

    auto d2 = FreshData();
    d2->Finish.EcgSeverity = 0;
    CollectResultStatements(*d2);
    EXPECT_EQ(d2->ResultStatements.nCount, 0);
}

TEST(FinishStep, NoMoreStatementsThanTheRecordHoldsTheCutMarkedAndTheClassTextStays) {
    auto d = FreshData();
    d->Detection.LeadQuality12[LeadV1] = LeadNoSignal;  // the detection stopped before the fold
    for (int i = 1; i < kStatementSlots; ++i) {
        CopyText(d->RhythmStatementSlots[i], ("Rhythm " + std::to_string(i)).c_str());
        CopyText(d->WaveformStatementSlots[i], ("Waveform " + std::to_string(i)).c_str());
        d->RhythmStatementLevels[i] = i == 1 ? 4 : 2;
        d->WaveformStatementLevels[i] = i % 2 ? 1 : 3;  // odd ones least severe
    }
    d->Finish.RhythmStatementCount = kStatementSlots - 1;
    d->Finish.WaveformStatementCount = kStatementSlots - 1;
    d->Finish.EcgSeverity = 4;
    d->BeatCount = 10;
    CollectResultStatements(*d);
    const auto& rs = d->ResultStatements;
    ASSERT_EQ(rs.nCount, kRecordStatementEntries);
    // 39 statements, 17 kept: the poor-quality text, the 9 waveform statements of severity 3
    // and of the rhythm statements (severity 2 but the first) the first 7; the least severe
    // and the latest of equal severity went first. The mark counts what was left out.
    EXPECT_EQ(Text(rs.aText[0]), "*** Poor data quality, interpretation may be adversely affected");
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(Text(rs.aText[i]), "Rhythm " + std::to_string(i));
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(Text(rs.aText[8 + k]), "Waveform " + std::to_string(2 * k + 2));
    EXPECT_EQ(Text(rs.aText[17]), "... (+22)");
    EXPECT_EQ(Text(rs.aText[18]), "[ Markedly Abnormal ECG ]");
    // The texts end before the pacemaker list's place.
    int nBytes = 0;
    for (int i = 0; i < rs.nCount; ++i)
        nBytes += static_cast<int>(Text(rs.aText[i]).size());
    EXPECT_LE(3016 + 10 * 10 + nBytes, 4000);

    // Many beats leave less room: long texts give way, the cut is marked and the class text
    // stays last.
    auto d2 = FreshData();
    std::string strLong(150, 'x');
    for (int i = 1; i <= 5; ++i)
        CopyText(d2->RhythmStatementSlots[i], strLong.c_str());
    d2->Finish.RhythmStatementCount = 5;
    d2->Finish.EcgSeverity = 3;
    d2->BeatCount = 66;
    CollectResultStatements(*d2);
    ASSERT_EQ(d2->ResultStatements.nCount, 3);
    EXPECT_EQ(Text(d2->ResultStatements.aText[0]), strLong);
    EXPECT_EQ(Text(d2->ResultStatements.aText[1]), "... (+4)");
    EXPECT_EQ(Text(d2->ResultStatements.aText[2]), "[ Moderately Abnormal ECG ]");
    const std::string img = BuildResultFileImage(*d2);
    EXPECT_LE(3016 + 660 + 150 + 8 + 27, 4000);
    EXPECT_EQ(img[122400 + 4000], '\0');

    // What fits is written whole, without a mark.
    auto d3 = FreshData();
    for (int i = 1; i <= 18; ++i)
        CopyText(d3->WaveformStatementSlots[i], ("W" + std::to_string(i)).c_str());
    d3->Finish.WaveformStatementCount = 18;
    d3->Finish.EcgSeverity = 1;
    d3->BeatCount = 66;
    CollectResultStatements(*d3);
    ASSERT_EQ(d3->ResultStatements.nCount, kRecordStatementEntries);
    EXPECT_EQ(Text(d3->ResultStatements.aText[17]), "W18");
}

TEST(FinishStep, ResultImageOfAnEmptyRun) {
    auto d = FreshData();
    d->FilterSettings = {1, 3, 1, 2};  // nAC, nLPF, nMF, nBF in memory
    const std::string img = BuildResultFileImage(*d);
    ASSERT_EQ(img.size(), 133400u);
    const auto* b = reinterpret_cast<const unsigned char*>(img.data());
    const unsigned char dir[] = {0x18, 0x10, 0x30, 0,    0x31, 0,    0x32,
                                 0,    0x33, 0,    0x34, 0,    0x19, 0xFF};
    EXPECT_EQ(std::memcmp(b + 122400, dir, sizeof dir), 0);
    for (int o = 122400 + sizeof dir; o < 122590; ++o)
        ASSERT_EQ(b[o], 0) << o;
    const unsigned char filter[] = {0x22, 4, 1, 3, 2, 1};  // nBF before nMF in the file
    EXPECT_EQ(std::memcmp(b + 122590, filter, sizeof filter), 0);
    EXPECT_EQ(b[125400 + 10], 0xFE);  // P axis -400
    EXPECT_EQ(b[125400 + 11], 0x70);
    EXPECT_EQ(b[132400], 0x60);
    EXPECT_EQ(b[132401], 0);
    EXPECT_EQ(b[126400], 0);  // no pacemaker list
    for (int o = 132400 + 482; o < 133400; ++o)
        ASSERT_EQ(b[o], 0) << o;

    // The older build ends the lead block after the twelve lead records.
    auto d21 = FreshData(EEngineVariant::Zorvik21);
    for (auto& row : d21->Finish.LeadResultTable)
        row.fill(7);
    const std::string img21 = BuildResultFileImage(*d21);
    EXPECT_EQ(img21[132400 + 433], 7);
    for (int o = 132400 + 434; o < 133400; ++o)
        ASSERT_EQ(img21[o], 0) << o;
}

TEST(FinishStep, RunsOncePerRunAndWritesBothFiles) {
    testsupport::CTempDir dir;
    auto d = FreshData();
    CopyText(d->OutputBaseName, (dir / "rec").c_str());
    d->BeatCount = 0;
    d->Finish.EcgSeverity = 1;
    EXPECT_EQ(FinishAnalysis(*d), 0);
    EXPECT_TRUE(d->Finish.bResultFileWritten);
    EXPECT_EQ(d->ResultStatements.nCount, 1);
    // A second call (the interpretation's own after a failure) adds and writes nothing.
    ::unlink((dir / "rec.ksi").c_str());
    EXPECT_EQ(FinishAnalysis(*d), 0);
    EXPECT_EQ(d->ResultStatements.nCount, 1);
    EXPECT_FALSE(testsupport::Exists(dir / "rec.ksi"));

    const std::string txt = testsupport::ReadFile(dir / "rec.txt");
    std::string expected = "numR = 0\n";
    for (int l = 0; l < kLeads; ++l)
        expected += "beat = 0 : start = 0 : end = 500\n";
    EXPECT_EQ(txt, expected);
}

// Whatever the earlier stages leave (positions out of the record, counts beyond the lists,
// beats out of order), the wave stages and the result writer stay inside their tables.
TEST(WaveStages, OddEarlierResultsStayInsideTheTables) {
    testsupport::CTempDir dir;
    unsigned nSeed = 12345;
    auto Random = [&nSeed](int lo, int hi) {
        nSeed = nSeed * 1103515245u + 12345u;
        return lo + static_cast<int>((nSeed >> 8) % static_cast<unsigned>(hi - lo + 1));
    };
    for (int nRound = 0; nRound < 6; ++nRound) {
        auto d = FreshData();
        CopyText(d->OutputBaseName, (dir / "odd").c_str());
        for (auto& row : d->InputLeads) {
            for (auto& v : row)
                v = static_cast<std::int16_t>(Random(-32768, 32767));
        }
        for (auto& row : d->AnalysisLeads) {
            for (auto& v : row)
                v = Random(-40000, 40000);
        }
        auto& q = d->Detection.IOQm;
        q.qrs_num = nRound == 0 ? 66 : Random(-3, 80);
        for (int i = 0; i < kMaxBeats; ++i) {
            q.qrs_onset[i] = nRound == 0 ? 500 + 80 * i : Random(-1000, 7000);
            q.qrs_offset[i] = q.qrs_onset[i] + Random(-50, 300);
        }
        for (int l = 0; l < kLeads; ++l) {
            d->Detection.LeadQuality12[l] = Random(0, 1);
            d->Qrs.LeadBeatList.nCount[l] = Random(-5, 80);
            for (int j = 0; j < kMaxBeats; ++j) {
                d->Qrs.LeadBeatList.onset[l][j] = Random(-1000, 7000);
                d->Qrs.LeadBeatList.offset[l][j] = Random(-1000, 7000);
            }
        }
        for (int i = 0; i < kMaxBeats; ++i) {
            d->Qrs.GlobalQrsOnset[i] = Random(-1000, 7000);
            d->Qrs.GlobalQrsOffset[i] = Random(-1000, 7000);
            d->Qrs.BeatRR[i] = Random(-100, 3000);
        }
        for (int l = 0; l < kLeads; ++l)
            d->Finish.RepresentativeBeat[l] = Random(-5, 80);
        d->BeatCount = Random(-5, 80);
        EXPECT_EQ(RunTOffsetStage(*d), 0);
        EXPECT_EQ(RunPWaveStage(*d), 0);
        EXPECT_EQ(AssembleMeasurements(*d), 0);
        EXPECT_EQ(FinishAnalysis(*d), 0);
        EXPECT_TRUE(d->Finish.bResultFileWritten);
        const std::string ksi = testsupport::ReadFile(dir / "odd.ksi");
        ASSERT_EQ(ksi.size(), 133400u);
        const int N = static_cast<unsigned char>(ksi[132401]);
        EXPECT_LE(N, kMaxBeats);
        for (int k = 0; k < 5 * N; ++k) {
            const int v = (static_cast<unsigned char>(ksi[125416 + 2 * k]) << 8) |
                          static_cast<unsigned char>(ksi[125416 + 2 * k + 1]);
            EXPECT_LE(v, kRecordSamples - 1) << k;  // record positions, never negative
        }
    }
}
