// Steps of the detection and QRS recognition stages on hand-made tables.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "ecg_engine/qrs_stages.h"
#include "ecg_engine/stages.h"

using namespace ecg_engine;

namespace {

class QrsStepTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_d = CreateEngineData(EEngineVariant::Zorvik31);
        m_d->bDebugOutput = false;
        InitAnalysis(*m_d);
    }
    CEngineData& D() { return *m_d; }

    void SetWindows(int r, const std::vector<std::pair<int, int>>& windows) {
        auto& w = D().Detection.QrsWindowList;
        w.nCount[r] = static_cast<int>(windows.size());
        for (std::size_t i = 0; i < windows.size(); ++i) {
            w.start[r][i] = windows[i].first;
            w.end[r][i] = windows[i].second;
        }
    }
    void SetQuality(std::initializer_list<int> states) {
        int r = 0;
        for (int s : states)
            D().Detection.LeadQuality[r++] = s;
    }
    void AddBeat(int nOnset, int nOffset) {
        auto& q = D().Detection.IOQm;
        q.qrs_onset[q.qrs_num] = nOnset;
        q.qrs_offset[q.qrs_num] = nOffset;
        ++q.qrs_num;
    }
    // One turning-point list for lead 0, beat 0, entries (position, value, kind).
    void SetList(std::initializer_list<SExtremum> entries, int nBase = 0) {
        auto& t = D().Qrs;
        t.LeadBeatList.nCount.fill(0);
        t.LeadBeatList.nCount[0] = 1;
        auto& list = t.ExtremumList[0][0];
        list = SExtremumList{};
        for (const auto& e : entries)
            list.aEntry[list.nCount++] = e;
        t.QrsBaseline[0][0] = nBase;
    }

    std::unique_ptr<CEngineData> m_d;
};

// --- Lead quality --------------------------------------------------------------------------

TEST_F(QrsStepTest, PresenceCheckTellsFlatFromSingleSlopeAndSurvivesFullScale) {
    EXPECT_EQ(ComputeSquaredSlope(D()), -1);  // all leads flat
    for (int r = 0; r < kIndependentLeads; ++r)
        EXPECT_EQ(D().Detection.LeadQuality[r], LeadNoSignal);

    InitAnalysis(D());
    D().InputLeads[1][2000] = 20;            // one slope of 400: kept although its 98 % level is 0
    for (int n = 0; n < kInputSamples; ++n)  // square wave at full scale: squares beyond 32 bits
        D().InputLeads[2][n] = (n / 2) % 2 ? 32767 : -32768;
    EXPECT_EQ(ComputeSquaredSlope(D()), 0);
    EXPECT_EQ(D().Detection.LeadQuality[0], LeadNoSignal);
    EXPECT_EQ(D().Detection.LeadQuality[1], LeadGoodQuality);
    EXPECT_EQ(D().Detection.MaxPower[1], 400);
    EXPECT_EQ(D().Detection.SymbolicPower[1], 0);
    EXPECT_EQ(D().Detection.LeadQuality[2], LeadGoodQuality);
    EXPECT_EQ(D().Detection.MaxPower[2], INT32_MAX);
}

TEST_F(QrsStepTest, AgreementCheckGradesLeadsByTheirWindows) {
    std::vector<std::pair<int, int>> common;
    for (int k = 0; k < 6; ++k)
        common.push_back({800 + 600 * k, 840 + 600 * k});
    for (int r = 0; r < kIndependentLeads; ++r)
        SetWindows(r, common);
    auto withExtra = common;
    withExtra.push_back({1100, 1120});  // confirmed by no other lead
    SetWindows(1, withExtra);
    auto twoExtra = withExtra;
    twoExtra.push_back({1700, 1720});
    SetWindows(2, twoExtra);
    SetWindows(3, {common.begin(), common.begin() + 5});  // 5 windows: still good
    SetWindows(4, {common.begin(), common.begin() + 4});  // 4 windows: no signal
    std::vector<std::pair<int, int>> full;
    for (int k = 0; k < kMaxBeats; ++k)
        full.push_back({600 + 70 * k, 610 + 70 * k});
    SetWindows(5, full);  // a full list: faulted
    EXPECT_EQ(CheckLeadAgreement(D()), 0);
    const auto& q = D().Detection.LeadQuality;
    EXPECT_EQ(q[0], LeadGoodQuality);
    EXPECT_EQ(q[1], LeadPoorQuality);
    EXPECT_EQ(D().Detection.QrsWindowList.nCount[1], 6);
    EXPECT_EQ(D().Detection.QrsWindowList.start[1][2], common[2].first);
    EXPECT_EQ(D().Detection.QrsWindowList.start[1][6], 0);
    EXPECT_EQ(q[2], LeadLoosed);
    EXPECT_EQ(D().Detection.QrsWindowList.nCount[2], 8);
    EXPECT_EQ(q[3], LeadGoodQuality);
    EXPECT_EQ(q[4], LeadNoSignal);
    EXPECT_EQ(q[5], LeadFaulted);
}

TEST_F(QrsStepTest, AWindowOverlappingTwoWindowsOfEachOtherLeadIsIsolated) {
    for (int r = 0; r < kIndependentLeads; ++r)
        SetWindows(
            r, {{500, 520}, {1000, 1010}, {1030, 1040}, {2000, 2020}, {3000, 3020}, {4000, 4020}});
    SetWindows(0, {{500, 520}, {1000, 1040}, {2000, 2020}, {3000, 3020}, {4000, 4020}});
    EXPECT_EQ(CheckLeadAgreement(D()), 0);
    EXPECT_EQ(D().Detection.LeadQuality[0], LeadPoorQuality);
    EXPECT_EQ(D().Detection.QrsWindowList.nCount[0], 4);
    SetQuality({1, 1, 1, 1, 1, 1, 1, 1});
    EXPECT_EQ(CheckLeadAgreement(D()), -1);  // no lead of good quality left
}

// --- Detection -------------------------------------------------------------------------------

TEST_F(QrsStepTest, ShortGapsAreBridgedAndWindowsStayInsideTheRow) {
    auto& f = D().Detection.QrsFeature;
    auto Burst = [&](int r, int nFrom, int nTo) {
        for (int i = nFrom; i <= nTo; ++i)
            f[r][i] = 100;
    };
    // Lead 0: 50 samples below the threshold after the closing sample bridge; lead 1: 51 part.
    Burst(0, 1000, 1010);
    Burst(0, 1061, 1070);
    Burst(1, 1000, 1010);
    Burst(1, 1062, 1070);
    // Lead 2 starts and ends above the threshold.
    Burst(2, 0, 10);
    Burst(2, 5980, 5999);
    // Lead 3 ends above it in a window continued across a short gap: the window is kept.
    Burst(3, 1000, 1010);
    Burst(3, 5900, 5940);
    Burst(3, 5960, 5999);
    D().Detection.DetectionThreshold.fill(50);
    SetQuality({0, 0, 0, 0, 4, 4, 4, 4});
    EXPECT_EQ(DetectAndRefineQrsWindows(D()), 0);
    const auto& w = D().Detection.QrsWindowList;
    EXPECT_EQ(w.nCount[0], 1);
    EXPECT_EQ(w.nCount[1], 2);
    ASSERT_EQ(w.nCount[2], 2);
    EXPECT_EQ(w.start[2][0], 0);
    EXPECT_EQ(w.end[2][1], kInputSamples - 1);
    ASSERT_EQ(w.nCount[3], 2);
    EXPECT_EQ(w.start[3][1], 5900);
    EXPECT_EQ(w.end[3][1], kInputSamples - 1);
    for (int r = 0; r < 4; ++r) {
        for (int i = 0; i < w.nCount[r]; ++i) {
            EXPECT_GE(w.start[r][i], 0);
            EXPECT_LE(w.end[r][i], kInputSamples - 1);
        }
    }
}

TEST_F(QrsStepTest, FlatFeatureGivesNoThresholdAndNoWindow) {
    SetQuality({0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(BuildQrsFeatureSignal(D()), 0);
    EXPECT_EQ(D().Detection.DetectionThreshold[0], 0);
    EXPECT_EQ(DetectQrsWindows(D()), 0);
    EXPECT_EQ(D().Detection.QrsWindowList.nCount[0], 0);
    EXPECT_EQ(D().DetectionFlag, 0);  // too few windows in lead II: the long window ran
}

// One artefact far larger than the QRS complexes must not take the threshold to 0.
TEST_F(QrsStepTest, ALargeArtefactLeavesTheThresholdAboveTheBaseline) {
    SetQuality({0, 4, 4, 4, 4, 4, 4, 4});
    auto& x = D().InputLeads[0];
    for (int on = 600; on < 5400; on += 400) {
        for (int k = 0; k <= 20; ++k)
            x[on + k] = 200 - 20 * std::abs(k - 10);  // 40 ms rise and fall, 0.5 mV
    }
    x[3100] = 20000;  // a spike beside the sixth beat, a hundred times as steep
    EXPECT_EQ(BuildQrsFeatureSignal(D()), 0);
    EXPECT_GT(D().Detection.DetectionThreshold[0], 0);
    EXPECT_EQ(DetectQrsWindows(D()), 0);
    EXPECT_EQ(D().Detection.QrsWindowList.nCount[0], 12);
}

TEST_F(QrsStepTest, AFullWindowListStopsTheScan) {
    auto& f = D().Detection.QrsFeature[0];
    for (int i = 0; i < kInputSamples; ++i)
        f[i] = (i % 60) < 5 ? 100 : 0;  // 100 bursts, 55 samples apart
    D().Detection.DetectionThreshold.fill(50);
    SetQuality({0, 4, 4, 4, 4, 4, 4, 4});
    EXPECT_EQ(DetectAndRefineQrsWindows(D()), 0);
    EXPECT_EQ(D().Detection.QrsWindowList.nCount[0], kMaxBeats);
    CheckLeadAgreement(D());
    EXPECT_EQ(D().Detection.LeadQuality[0], LeadFaulted);
}

// Window edges move out to crossings of halved thresholds while nothing else rises above
// them, and stop at the first crossing when something does.
TEST_F(QrsStepTest, RefinementFollowsHalvedThresholds) {
    struct {
        bool bBumpBefore;
        int nStart, nEnd;
    } const cases[] = {{false, 995, 1055}, {true, 1000, 1055}};
    for (const auto& c : cases) {
        InitAnalysis(D());
        SetQuality({0, 4, 4, 4, 4, 4, 4, 4});
        auto& f = D().Detection.QrsFeature[0];
        for (int i = 995; i < 1000; ++i)
            f[i] = 30;  // a foot below half the threshold but above a quarter
        for (int i = 1000; i < 1050; ++i)
            f[i] = 200;
        for (int i = 1050; i < 1055; ++i)
            f[i] = 40;
        if (c.bBumpBefore) {
            for (int i = 960; i < 966; ++i)
                f[i] = 150;
        }
        D().Detection.DetectionThreshold[0] = 100;
        SetWindows(0, {{1000, 1050}});
        EXPECT_EQ(RefineQrsWindows(D()), 0);
        EXPECT_EQ(D().Detection.QrsWindowList.start[0][0], c.nStart) << c.bBumpBefore;
        EXPECT_EQ(D().Detection.QrsWindowList.end[0][0], c.nEnd) << c.bBumpBefore;
    }
}

// Under a halved threshold the long feature may rise again before it falls, into a wave of its
// own before the QRS (a tall P wave at a fast rate): the start stays at the trough between
// them. A flat foot, or the short feature, still takes the halved crossings.
TEST_F(QrsStepTest, RefinementStopsAtTheTroughBeforeAWaveOfItsOwn) {
    struct {
        int nFlag, nBump, nStart;
    } const cases[] = {{0, 48, 999}, {0, 40, 975}, {1, 48, 975}};
    for (const auto& c : cases) {
        InitAnalysis(D());
        SetQuality({0, 4, 4, 4, 4, 4, 4, 4});
        D().DetectionFlag = c.nFlag;
        auto& f = D().Detection.QrsFeature[0];
        auto& y = D().Detection.SmoothedRow[0];
        for (int i = 975; i < 990; ++i) {
            f[i] = c.nBump;                     // under half the threshold, above a quarter
            y[i] = 60 - 8 * std::abs(i - 982);  // the P wave, back at the baseline by 990
        }
        for (int i = 990; i < 1000; ++i)
            f[i] = 40;
        for (int i = 1000; i < 1050; ++i)
            f[i] = 200;
        D().Detection.DetectionThreshold[0] = 100;
        SetWindows(0, {{1000, 1050}});
        EXPECT_EQ(RefineQrsWindows(D()), 0);
        EXPECT_EQ(D().Detection.QrsWindowList.start[0][0], c.nStart) << c.nFlag << " " << c.nBump;
    }
}

// A wide ventricular beat's slow first limb makes the long feature dip where the limb turns at
// its peak, before the steep second limb: the dip is no gap before the QRS, and the start takes
// the limb in, whether the limb's energy stays under the halved threshold (a trough) or rises
// above it. Where the signal has come back to its level at the dip, the wave is a P wave and
// the start stays after it.
TEST_F(QrsStepTest, RefinementTakesTheSlowFirstLimbOfAWideComplex) {
    struct {
        int nLimb;   // the first limb's feature
        bool bWide;  // the signal turns at the dip (else it is back at the baseline there)
        int nStart;
    } const cases[] = {{48, true, 960}, {48, false, 999}, {60, true, 960}, {60, false, 1000}};
    for (const auto& c : cases) {
        InitAnalysis(D());
        SetQuality({0, 4, 4, 4, 4, 4, 4, 4});
        D().DetectionFlag = 0;
        auto& f = D().Detection.QrsFeature[0];
        auto& y = D().Detection.SmoothedRow[0];
        for (int i = 960; i < 990; ++i)
            f[i] = c.nLimb;
        for (int i = 990; i < 1000; ++i)
            f[i] = 40;
        for (int i = 1000; i < 1050; ++i)
            f[i] = 200;
        for (int i = 960; i < 1050; ++i) {
            if (c.bWide)  // up to 400 at 995, then steeply down
                y[i] = i <= 995 ? 400 * (i - 960) / 35 : 400 - 12 * (i - 995);
            else  // a P wave over 960..990, then the QRS
                y[i] = i < 990 ? 100 - 6 * std::abs(i - 975) : (i < 1000 ? 0 : -12 * (i - 1000));
        }
        D().Detection.DetectionThreshold[0] = 100;
        SetWindows(0, {{1000, 1050}});
        EXPECT_EQ(RefineQrsWindows(D()), 0);
        EXPECT_EQ(D().Detection.QrsWindowList.start[0][0], c.nStart) << c.nLimb << " " << c.bWide;
    }
}

// Under a halved threshold the long feature also holds a small wave that ends before the QRS:
// a tall P wave, its slope still for the PR segment, its feature a flat step with no trough
// before the QRS. The start leaves it out: it lies where the QRS's own energy crosses the last
// threshold, but no earlier than the still stretch, as here, where that crossing (938) lies in
// the wave after a stretch as short as a PR segment of 24 ms. A wave a quarter of the threshold or
// more (a first part of the QRS), a still stretch too short for a PR segment, or the short feature
// keep the halved crossings, which run into the wave.
TEST_F(QrsStepTest, RefinementLeavesOutASmallWaveBeforeAStillStretch) {
    struct {
        int nFlag, nWave, nFrom, nTo;  // squared slope of the wave over [nFrom, nTo)
        int nStart;                    // 0: the start's window ends in the wave
    } const cases[] = {{0, 150, 915, 948, 948},
                       {0, 400, 915, 948, 0},
                       {0, 150, 922, 955, 0},
                       {1, 150, 915, 948, 0}};
    for (const auto& c : cases) {
        InitAnalysis(D());
        SetQuality({0, 4, 4, 4, 4, 4, 4, 4});
        D().DetectionFlag = c.nFlag;
        auto& sq = D().Detection.SquaredRow[0];
        sq.fill(0);
        for (int i = c.nFrom; i < c.nTo; ++i)
            sq[i] = c.nWave;
        for (int i = 960; i < 1010; ++i)
            sq[i] = 2000;  // the QRS
        auto& f = D().Detection.QrsFeature[0];
        for (int k = 22; k < 6000 - 22; ++k) {
            std::int64_t nSum = 0;
            for (int j = k - 22; j <= k + 22; ++j)
                nSum += sq[j];
            f[k] = static_cast<std::int32_t>(nSum / 45);
        }
        D().Detection.DetectionThreshold[0] = 810;  // the last pass's threshold is 25
        SetWindows(0, {{956, 1020}});
        EXPECT_EQ(RefineQrsWindows(D()), 0);
        const int nStart = D().Detection.QrsWindowList.start[0][0];
        if (c.nStart)
            EXPECT_EQ(nStart, c.nStart) << c.nFlag << " " << c.nWave << " " << c.nTo;
        else  // the start's window ends in the wave
            EXPECT_LT(nStart + 22, c.nTo) << c.nFlag << " " << c.nWave << " " << c.nTo;
    }
}

// --- Beat list -------------------------------------------------------------------------------

TEST_F(QrsStepTest, WorkListPicks) {
    SWorkList a;
    for (int v : {1000, 1010, 1005})
        a.aValue[a.nCount++] = v;
    EXPECT_EQ(MedianOfWorkLists(a), 1005);
    SWorkList b;
    for (int v : {1040, 1060, 1050, 1030})
        b.aValue[b.nCount++] = v;
    EXPECT_EQ(MedianOfWorkLists(b), 1050);  // 2nd of 4 in descending order
    SWorkList c;
    c.aValue[c.nCount++] = 7;
    c.aValue[c.nCount++] = 3;
    EXPECT_EQ(MedianOfWorkLists(c), 7);
    SWorkList e;
    EXPECT_EQ(MedianOfWorkLists(e), 0);
}

TEST_F(QrsStepTest, GroupingTakesThePickOfTheUsableLeads) {
    SetQuality({0, 1, 0, 4, 4, 4, 4, 4});
    SetWindows(0, {{1000, 1040}, {2000, 2040}});
    SetWindows(1, {{1010, 1060}, {2005, 2030}});
    SetWindows(2, {{1005, 1050}});
    SetWindows(3, {{1500, 1510}});  // no signal: not grouped
    EXPECT_EQ(GroupBeats(D()), 0);
    const auto& q = D().Detection.IOQm;
    ASSERT_EQ(q.qrs_num, 2);
    EXPECT_EQ(q.qrs_onset[0], 1005);
    EXPECT_EQ(q.qrs_offset[0], 1050);
    // Two leads in the beat: the first usable lead's window, not a mean.
    EXPECT_EQ(q.qrs_onset[1], 2000);
    EXPECT_EQ(q.qrs_offset[1], 2040);
}

TEST_F(QrsStepTest, GroupingFailsAtA67thBeatWithoutOverrunningTheList) {
    SetQuality({0, 0, 4, 4, 4, 4, 4, 4});
    std::vector<std::pair<int, int>> a, b;
    for (int k = 0; k < 33; ++k) {
        a.push_back({100 + 80 * k, 120 + 80 * k});
        b.push_back({140 + 80 * k, 160 + 80 * k});
    }
    SetWindows(0, a);
    SetWindows(1, b);
    EXPECT_EQ(GroupBeats(D()), 0);
    EXPECT_EQ(D().Detection.IOQm.qrs_num, kMaxBeats);

    InitAnalysis(D());
    SetQuality({0, 0, 0, 4, 4, 4, 4, 4});
    SetWindows(0, a);
    SetWindows(1, b);
    SetWindows(2, {{3000, 3010}});
    testing::internal::CaptureStdout();
    EXPECT_EQ(GroupBeats(D()), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "QM_M_1  IOQm.qrs_num = 67\n");
    EXPECT_LE(D().Detection.IOQm.qrs_num, kMaxBeats);
}

TEST_F(QrsStepTest, CleaningMergesOverlapsAndDropsCloseBeats) {
    AddBeat(1000, 1040);
    AddBeat(1030, 1060);  // overlaps: merged into the first
    AddBeat(1099, 1120);  // 39 after the merged offset: dropped
    AddBeat(1600, 1640);
    AddBeat(1680, 1700);  // 40 after: stays
    EXPECT_EQ(CleanBeatList(D()), 0);
    const auto& q = D().Detection.IOQm;
    ASSERT_EQ(q.qrs_num, 3);
    EXPECT_EQ(q.qrs_onset[0], 1000);
    EXPECT_EQ(q.qrs_offset[0], 1060);
    EXPECT_EQ(q.qrs_onset[1], 1600);
    EXPECT_EQ(q.qrs_onset[2], 1680);
    EXPECT_EQ(q.qrs_onset[3], 0);
}

// Of a slow wave and a QRS closer than 80 ms, the QRS stays, whichever comes first.
TEST_F(QrsStepTest, OfTwoCloseBeatsTheSteeperStays) {
    for (int r = 0; r < kIndependentLeads; ++r) {
        auto& dv = D().Detection.DerivativeRow[r];
        std::fill(dv.begin() + 1000, dv.begin() + 1100, -50);  // a broad dip
        std::fill(dv.begin() + 1135, dv.begin() + 1150, 400);   // the QRS 30 after it
        std::fill(dv.begin() + 2135, dv.begin() + 2150, 400);   // a QRS
        std::fill(dv.begin() + 2180, dv.begin() + 2280, 50);    // a broad wave 30 after it
    }
    AddBeat(1000, 1100);
    AddBeat(1130, 1160);
    AddBeat(2130, 2160);
    AddBeat(2190, 2290);
    EXPECT_EQ(CleanBeatList(D()), 0);
    const auto& q = D().Detection.IOQm;
    ASSERT_EQ(q.qrs_num, 2);
    EXPECT_EQ(q.qrs_onset[0], 1130);
    EXPECT_EQ(q.qrs_onset[1], 2130);
}

// A slow wave soon after a QRS is that QRS's T wave, not a beat; a premature ventricular
// complex as soon after it swings as fast, and a slow wave past the T wave's reach stays.
TEST_F(QrsStepTest, ASlowWaveSoonAfterAQrsIsItsTWave) {
    struct {
        int nAt, nWidth, nHeight;  // the second wave: onset, duration and height
        bool bKept;
    } const cases[] = {{1130, 100, -400, false},  // 260 ms after the QRS, five times as slow
                       {1130, 40, 800, true},     // a premature ventricular complex on the T wave
                       {1200, 100, -400, true},   // 400 ms after the QRS
                       {1130, 32, 400, true}};    // slower, yet not twice as slow
    for (const auto& c : cases) {
        InitAnalysis(D());
        for (int r = 0; r < kIndependentLeads; ++r) {
            auto& x = D().Detection.SmoothedRow[r];
            auto& dv = D().Detection.DerivativeRow[r];
            for (int k = 0; k <= 20; ++k)
                x[1000 + k] = 400 - 40 * std::abs(k - 10);  // the QRS: 0.4 mV swung in 20 ms
            const int h = c.nWidth / 2;
            for (int k = 0; k <= c.nWidth; ++k)
                x[c.nAt + k] = c.nHeight - c.nHeight * std::abs(k - h) / h;
            for (int k = 1; k + 1 < kInputSamples; ++k)
                dv[k] = (x[k + 1] - x[k - 1]) / 2;
        }
        AddBeat(995, 1025);
        AddBeat(c.nAt - 5, c.nAt + c.nWidth + 5);
        EXPECT_EQ(CleanBeatList(D()), 0);
        const auto& q = D().Detection.IOQm;
        ASSERT_EQ(q.qrs_num, c.bKept ? 2 : 1) << c.nAt << " " << c.nWidth << " " << c.nHeight;
        EXPECT_EQ(q.qrs_onset[0], 995);
    }
}

void Triangle(InputRow32& f, int nFrom, int nTo, int nHeight) {
    const int nMid = (nFrom + nTo) / 2;
    for (int i = nFrom; i <= nTo; ++i)
        f[i] = nHeight - nHeight * std::abs(i - nMid) / (nMid - nFrom + 1);
}

TEST_F(QrsStepTest, MissedBeatIsInsertedInTheLongPause) {
    for (int r = 0; r < kIndependentLeads; ++r) {
        auto& f = D().Detection.QrsFeature[r];
        for (int on : {1000, 1500, 2600})
            Triangle(f, on - 5, on + 45, 1000);
        Triangle(f, 1995, 2045, 400);
    }
    AddBeat(1000, 1040);
    AddBeat(1500, 1540);
    AddBeat(2600, 2640);  // more than twice the interval before
    EXPECT_EQ(CleanBeatList(D()), 0);
    const auto& q = D().Detection.IOQm;
    ASSERT_EQ(q.qrs_num, 4);
    EXPECT_NEAR(q.qrs_onset[2], 1995, 10);
    EXPECT_NEAR(q.qrs_offset[2], 2045, 10);
    EXPECT_EQ(q.qrs_onset[3], 2600);
}

TEST_F(QrsStepTest, MissedBeatSearchInsertsNothingOutsideThePause) {
    // The pause holds nothing but the tail of beat 1's energy, which reaches past its offset.
    for (int r = 0; r < kIndependentLeads; ++r) {
        auto& f = D().Detection.QrsFeature[r];
        Triangle(f, 995, 1045, 1000);
        for (int i = 1500; i < 1620; ++i)
            f[i] = 1000 - (i - 1500) * 8;
        Triangle(f, 2595, 2645, 1000);
    }
    AddBeat(1000, 1040);
    AddBeat(1500, 1540);
    AddBeat(2600, 2640);
    EXPECT_EQ(CleanBeatList(D()), 0);
    const auto& q = D().Detection.IOQm;
    ASSERT_EQ(q.qrs_num, 3);
    for (int b = 1; b < q.qrs_num; ++b)
        EXPECT_GT(q.qrs_onset[b], q.qrs_offset[b - 1]);
}

// After a premature beat the compensatory pause passes 166 % of the typical interval and is
// searched: what the search finds there is a beat only where it reaches half the detection
// threshold and, within 360 ms of the QRS before, is at least half as steep as that QRS; the
// premature beat's T wave is neither.
TEST_F(QrsStepTest, MissedBeatSearchTellsABeatFromTheTWave) {
    struct {
        int nHeight, nSlope;  // the candidate's feature peak and steepest slope
        int nAt;              // its feature's start
        bool bInserted;
    } const cases[] = {{400, 30, 1400, false},
                       {400, 60, 1400, true},
                       {200, 60, 1400, false},
                       {400, 30, 1540, true}};
    for (const auto& c : cases) {
        InitAnalysis(D());
        for (int r = 0; r < kIndependentLeads; ++r) {
            auto& f = D().Detection.QrsFeature[r];
            auto& dv = D().Detection.DerivativeRow[r];
            for (int on : {1000, 1300, 1900, 2200, 2500}) {
                Triangle(f, on - 5, on + 45, 1000);
                dv[on + 10] = 100;
            }
            Triangle(f, c.nAt, c.nAt + 100, c.nHeight);
            dv[c.nAt + 50] = c.nSlope;
            D().Detection.DetectionThreshold[r] = 500;
        }
        for (int on : {1000, 1300, 1900, 2200, 2500})
            AddBeat(on, on + 40);
        EXPECT_EQ(CleanBeatList(D()), 0);
        const auto& q = D().Detection.IOQm;
        ASSERT_EQ(q.qrs_num, c.bInserted ? 6 : 5) << c.nHeight << " " << c.nSlope << " " << c.nAt;
        if (c.bInserted) {
            EXPECT_NEAR(q.qrs_onset[2], c.nAt, 15);
        }
    }
}

// The search after the last beat tells the slow T wave of that QRS from a premature
// ventricular complex on it, though both are steeper than half the QRS.
TEST_F(QrsStepTest, TheSearchAfterTheLastBeatLeavesItsSlowTWaveOut) {
    struct {
        int nWidth, nHeight;  // the wave after the last QRS, starting 100 ms after its onset
        bool bInserted;
    } const cases[] = {{100, -1200, false}, {40, 800, true}};
    for (const auto& c : cases) {
        InitAnalysis(D());
        for (int r = 0; r < kIndependentLeads; ++r) {
            auto& f = D().Detection.QrsFeature[r];
            auto& x = D().Detection.SmoothedRow[r];
            auto& dv = D().Detection.DerivativeRow[r];
            for (int on : {4000, 4440}) {
                Triangle(f, on - 5, on + 45, 1000);
                for (int k = 0; k <= 20; ++k)
                    x[on + k] = 400 - 40 * std::abs(k - 10);
            }
            Triangle(f, 4530, 4630, 400);
            const int h = c.nWidth / 2;
            for (int k = 0; k <= c.nWidth; ++k)
                x[4540 + k] = c.nHeight - c.nHeight * std::abs(k - h) / h;
            for (int k = 1; k + 1 < kInputSamples; ++k)
                dv[k] = (x[k + 1] - x[k - 1]) / 2;
            D().Detection.DetectionThreshold[r] = 500;
        }
        AddBeat(4000, 4035);
        AddBeat(4440, 4475);
        EXPECT_EQ(CleanBeatList(D()), 0);
        EXPECT_EQ(D().Detection.IOQm.qrs_num, c.bInserted ? 3 : 2) << c.nWidth;
    }
}

// A window that reaches a little past the record's end is cut at the end and the beat kept;
// not so a complex within 360 ms of the QRS before, whose own ST-T the record does not hold
// (the previous beat's T wave, or noise on it): the later stages leave it out.
TEST_F(QrsStepTest, ABeatAtTheRecordsEndIsKeptOutsideTheTWaveBefore) {
    const int nEnd = kLeadIn + kRecordSamples - 1;
    for (int nBefore : {5000, 5300}) {
        InitAnalysis(D());
        D().Detection.DetectionThreshold.fill(320);
        AddBeat(nBefore, nBefore + 40);
        AddBeat(5450, 5510);
        EXPECT_EQ(CleanBeatList(D()), 0);
        EXPECT_EQ(D().Detection.IOQm.qrs_offset[1], nBefore == 5000 ? nEnd : 5510) << nBefore;
    }
}

TEST_F(QrsStepTest, OutputLeadsAndFinalQuality) {
    for (int r = 0; r < kIndependentLeads; ++r)
        D().InputLeads[r].fill(static_cast<std::int16_t>(10 * r));
    D().InputLeads[0][kLeadIn + 7] = 100;
    D().InputLeads[1][kLeadIn + 7] = 301;
    SetQuality({0, 2, 3, 4, 1, 0, 0, 0});
    EXPECT_EQ(DeriveOutputLeads(D()), 0);
    const auto& a = D().AnalysisLeads;
    EXPECT_EQ(a[LeadIII][7], 201);
    EXPECT_EQ(a[LeadAVR][7], -200);
    EXPECT_EQ(a[LeadAVL][7], -50);
    EXPECT_EQ(a[LeadAVF][7], 251);
    EXPECT_EQ(a[LeadV6][7], 70);
    const std::array<int, 8> expect = {0, 1, 1, 1, 1, 0, 0, 0};
    for (int r = 0; r < kIndependentLeads; ++r)
        EXPECT_EQ(D().Detection.LeadQuality[r], expect[r]);
    const auto& q12 = D().Detection.LeadQuality12;
    EXPECT_EQ(q12[LeadI], 0);
    EXPECT_EQ(q12[LeadII], 1);
    EXPECT_EQ(q12[LeadAVF], 1);
    EXPECT_EQ(q12[LeadV1], 1);
}

// --- QRS recognition -------------------------------------------------------------------------

TEST_F(QrsStepTest, BeatsAtTheEdgesAreLeftOutAndPlateausGiveOneMaximum) {
    AddBeat(499, 600);
    AddBeat(1000, 1100);
    AddBeat(5400, 5501);
    auto& x = D().AnalysisLeads[LeadI];
    // Plateau (equal, equal) that then falls: one maximum at its last sample.
    for (int i = 540; i < 600; ++i)
        x[i] = i < 560 ? (i - 540) * 10 : (i < 570 ? 200 : 0);
    D().FilterSettings.nAC = 2;
    EXPECT_EQ(BuildExtremumLists(D()), 0);
    for (int l = 0; l < kLeads; ++l)
        EXPECT_EQ(D().Qrs.LeadBeatList.nCount[l], 1);
    EXPECT_EQ(D().Qrs.LeadBeatList.onset[LeadII][0], 500);
    const auto& list = D().Qrs.ExtremumList[LeadI][0];
    int nMaxima = 0;
    for (int i = 0; i < list.nCount; ++i)
        nMaxima += list.aEntry[i].nKind == 1;
    EXPECT_EQ(nMaxima, 1);
    // 8-point mean unless the mains setting is 50 Hz.
    const auto& s = D().Qrs.SmoothedLeads[LeadI];
    EXPECT_EQ(s[560], (190 + 180 + 170 + 160 + 200 + 200 + 200 + 200) / 8);
    D().FilterSettings.nAC = 1;
    BuildExtremumLists(D());
    EXPECT_EQ(s[560], (150 + 160 + 170 + 180 + 190 + 200 + 200 + 200 + 200 + 200) / 10);
}

TEST_F(QrsStepTest, AnOffsetOnTheFirstLeadOutSampleStaysInsideTheRecord) {
    AddBeat(5400, 5500);
    EXPECT_EQ(BuildExtremumLists(D()), 0);
    ASSERT_EQ(D().Qrs.LeadBeatList.nCount[LeadI], 1);
    EXPECT_EQ(D().Qrs.LeadBeatList.offset[LeadI][0], kRecordSamples - 1);
    const auto& list = D().Qrs.ExtremumList[LeadI][0];
    EXPECT_EQ(list.aEntry[list.nCount - 1].nPos, kRecordSamples - 1);

    // Degenerate beats whose onset lies after their offset, at either end: their positions
    // stay inside the record too.
    for (auto [nOnset, nOffset] : {std::pair{5502, 5500}, std::pair{501, 498}}) {
        InitAnalysis(D());
        AddBeat(nOnset, nOffset);
        EXPECT_EQ(BuildExtremumLists(D()), 0);
        ASSERT_EQ(D().Qrs.LeadBeatList.nCount[LeadV6], 1);
        const auto& bad = D().Qrs.ExtremumList[LeadV6][0];
        for (int i = 0; i < bad.nCount; ++i) {
            EXPECT_GE(bad.aEntry[i].nPos, 0);
            EXPECT_LE(bad.aEntry[i].nPos, kRecordSamples - 1);
        }
        EXPECT_EQ(PruneExtrema(D()), 0);
        EXPECT_EQ(ClassifyComplexShape(D()), 0);
        EXPECT_EQ(RefineQrsBoundaries(D()), 0);
        EXPECT_EQ(ComputeGlobalQrsBoundaries(D()), 0);
        EXPECT_EQ(MeasureQrsWaves(D()), 0);
        EXPECT_EQ(ComputeQrsBeatMeasures(D()), 0);
    }
}

TEST_F(QrsStepTest, TurningPointListsKeepTheirEndsAndTheirRoom) {
    // A zigzag with far more turning points than the list holds, and a flat lead.
    AddBeat(1000, 1400);
    auto& x = D().AnalysisLeads[LeadV1];
    for (int i = 400; i < 1000; ++i)
        x[i] = ((i / 3) % 2) ? 400 : -400;
    D().FilterSettings.nAC = 2;
    EXPECT_EQ(BuildExtremumLists(D()), 0);
    const auto& zig = D().Qrs.ExtremumList[LeadV1][0];
    EXPECT_EQ(zig.nCount, kMaxExtrema);
    EXPECT_EQ(zig.aEntry[kMaxExtrema - 1].nPos, 900);
    EXPECT_EQ(zig.aEntry[kMaxExtrema - 1].nKind, 0);
    EXPECT_EQ(PruneExtrema(D()), 0);
    for (int l = 0; l < kLeads; ++l)
        EXPECT_GE(D().Qrs.ExtremumList[l][0].nCount, 2) << kLeadNames[l];
    // The rest of the stage copes with the two-entry lists of the flat leads.
    EXPECT_EQ(ClassifyComplexShape(D()), 0);
    EXPECT_EQ(RefineQrsBoundaries(D()), 0);
    EXPECT_EQ(ComputeGlobalQrsBoundaries(D()), 0);
    EXPECT_EQ(MeasureQrsWaves(D()), 0);
    EXPECT_EQ(ComputeQrsBeatMeasures(D()), 0);
    // Eleven flat leads cannot type the beat: it is gone from every list.
    EXPECT_EQ(D().Qrs.LeadBeatList.nCount[LeadI], 0);
    EXPECT_EQ(D().Detection.IOQm.qrs_num, 0);
    EXPECT_EQ(D().Qrs.QrsRate, -1);
}

TEST_F(QrsStepTest, PruningKeepsLooseStepsOnlyOutsideTheBaselineBand) {
    // 19 units over 4 samples while near the baseline: removed.
    SetList({{100, 0, 0}, {104, 19, 1}, {120, -300, -1}, {140, 0, 0}});
    PruneExtrema(D());
    const auto& list = D().Qrs.ExtremumList[0][0];
    ASSERT_EQ(list.nCount, 3);
    EXPECT_EQ(list.aEntry[1].nValue, -300);
    // The same step while the signal is outside the band: kept.
    SetList({{100, 0, 0}, {110, -300, -1}, {114, -281, 1}, {118, -300, -1}, {140, 0, 0}});
    PruneExtrema(D());
    EXPECT_EQ(D().Qrs.ExtremumList[0][0].nCount, 5);
    // Two flat entries are never pruned further.
    SetList({{100, 0, 0}, {150, 0, 0}});
    PruneExtrema(D());
    EXPECT_EQ(D().Qrs.ExtremumList[0][0].nCount, 2);
}

struct STypeCase {
    std::vector<SExtremum> list;
    int nType;
    int nRPos;  // entry index of R (0 when absent)
};

TEST_F(QrsStepTest, ComplexTypes) {
    const std::vector<STypeCase> cases = {
        {{{0, 0, 0}, {10, 200, 1}, {20, 0, 0}}, 0x08, 1},
        {{{0, 0, 0}, {10, -200, -1}, {20, 0, 0}}, 0x10, 0},
        {{{0, 0, 0}, {20, 0, 0}}, 0xFF, 0},
        {{{0, 0, 0}, {10, 200, 1}, {20, -100, -1}, {30, 0, 0}}, 0x0C, 1},
        {{{0, 0, 0}, {10, -100, -1}, {20, 200, 1}, {30, 0, 0}}, 0x18, 2},
        {{{0, 0, 0}, {10, -100, -1}, {20, 200, 1}, {30, -50, -1}, {40, 0, 0}}, 0x1C, 2},
        {{{0, 0, 0}, {10, 200, 1}, {20, -100, -1}, {30, 150, 1}, {40, 0, 0}}, 0x0E, 1},
        // Two maxima over a minimum above the baseline: notched R, or R at the taller peak.
        {{{0, 0, 0}, {10, 200, 1}, {20, 100, -1}, {30, 150, 1}, {40, 0, 0}}, 0x88, 1},
        {{{0, 0, 0}, {10, 200, 1}, {20, 30, -1}, {30, 40, 1}, {40, 0, 0}}, 0x08, 1},
        {{{0, 0, 0}, {10, 40, 1}, {20, 30, -1}, {30, 200, 1}, {40, 0, 0}}, 0x08, 3},
        {{{0, 0, 0}, {10, 200, 1}, {20, -100, -1}, {30, 150, 1}, {40, -60, -1}, {50, 0, 0}},
         0x0F,
         1},
        {{{0, 0, 0}, {10, -50, -1}, {20, 200, 1}, {30, -100, -1}, {40, 150, 1}, {50, 0, 0}},
         0x1E,
         2},
        {{{0, 0, 0},
          {10, -50, -1},
          {20, 200, 1},
          {30, -100, -1},
          {40, 150, 1},
          {45, -70, -1},
          {50, 0, 0}},
         0x1F,
         2},
        // Eight entries: the shallow maximum between two minima goes with the shallower
        // minimum, which leaves a QRSR'.
        {{{0, 0, 0},
          {10, -200, -1},
          {15, 10, 1},
          {20, -300, -1},
          {30, 400, 1},
          {40, -100, -1},
          {50, 60, 1},
          {60, 0, 0}},
         0x1E,
         2},
        // Four maxima: trimmed to three entries before and one after the tallest peak.
        {{{0, 0, 0},
          {5, 50, 1},
          {10, -30, -1},
          {15, 60, 1},
          {20, -40, -1},
          {25, 900, 1},
          {30, -200, -1},
          {35, 40, 1},
          {40, 0, 0}},
         0x1F,
         2},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        auto& list = D().Qrs.ExtremumList[0][0];
        list = SExtremumList{};
        for (const auto& e : cases[i].list)
            list.aEntry[list.nCount++] = e;
        D().Qrs.LeadBeatList.nCount.fill(0);
        D().Qrs.LeadBeatList.nCount[0] = 1;
        EXPECT_EQ(ClassifyComplexShape(D()), 0);
        EXPECT_EQ(D().Qrs.QrsComplexType[0][0], cases[i].nType) << "case " << i;
        EXPECT_EQ(D().Qrs.QrsWaveTable[0][0][WaveR].nPos, cases[i].nRPos) << "case " << i;
    }
    // The trimmed list keeps onset, entries 2 to 6 and offset.
    EXPECT_EQ(D().Qrs.ExtremumList[0][0].nCount, 7);
    EXPECT_EQ(D().Qrs.ExtremumList[0][0].aEntry[4].nPos, 25);
    // The deeper minimum of the notch stays: here the one before it.
    auto& list = D().Qrs.ExtremumList[0][0];
    list = SExtremumList{};
    for (const auto& e : cases[cases.size() - 2].list)
        list.aEntry[list.nCount++] = e;
    list.aEntry[1].nValue = -300;
    list.aEntry[3].nValue = -200;
    ClassifyComplexShape(D());
    EXPECT_EQ(D().Qrs.QrsComplexType[0][0], 0x1E);
    EXPECT_EQ(list.aEntry[1].nPos, 10);
    EXPECT_EQ(list.aEntry[2].nPos, 30);
}

// Wave edges are the baseline crossings between the peaks (the R' of an RSR'S' starts one
// after its crossing); an S that never goes below the baseline takes the QRS offset as its
// onset, fails the size check and leaves an R.
TEST_F(QrsStepTest, WaveBoundariesAtBaselineCrossings) {
    auto& t = D().Qrs;
    auto& x = D().AnalysisLeads[0];
    SetList(
        {{100, 0, 0}, {110, 100, 1}, {120, -100, -1}, {130, 100, 1}, {140, -100, -1}, {160, 0, 0}});
    for (int k = 100; k <= 160; ++k)
        x[k] = (k < 115 || (k >= 125 && k < 135)) ? 100 : -100;
    t.LeadBeatList.onset[0][0] = 100;
    t.LeadBeatList.offset[0][0] = 160;
    ClassifyComplexShape(D());
    ASSERT_EQ(t.QrsComplexType[0][0], 0x0F);
    EXPECT_EQ(MeasureQrsWaves(D()), 0);
    EXPECT_EQ(t.QrsComplexType[0][0], 0x0F);
    const SQrsWave aExpect[kQrsWaves] = {{0, 0, 0, 0},
                                         {110, 244, 100, 114},
                                         {120, -244, 114, 124},
                                         {130, 244, 125, 134},
                                         {140, -244, 134, 160}};
    for (int w = 0; w < kQrsWaves; ++w) {
        const auto& wv = t.QrsWaveTable[0][0][w];
        EXPECT_EQ(wv.nPos, aExpect[w].nPos) << w;
        EXPECT_EQ(wv.nAmp, aExpect[w].nAmp) << w;
        EXPECT_EQ(wv.nOn, aExpect[w].nOn) << w;
        EXPECT_EQ(wv.nOff, aExpect[w].nOff) << w;
    }

    SetList({{100, 0, 0}, {110, 100, 1}, {130, 50, -1}, {160, 0, 0}});
    x.fill(0);
    for (int k = 100; k <= 160; ++k)
        x[k] = k == 130 ? 50 : 100;
    ClassifyComplexShape(D());
    ASSERT_EQ(t.QrsComplexType[0][0], 0x0C);
    MeasureQrsWaves(D());
    EXPECT_EQ(t.QrsComplexType[0][0], 0x08);
    EXPECT_EQ(t.QrsWaveTable[0][0][WaveR].nOff, 160);
    EXPECT_EQ(t.QrsWaveTable[0][0][WaveS].nAmp, 0);
}

TEST_F(QrsStepTest, WaveSizeChecksAndGapClosing) {
    auto& t = D().Qrs;
    t.LeadBeatList.onset[0][0] = 100;
    t.LeadBeatList.offset[0][0] = 150;
    auto& wv = t.QrsWaveTable[0][0];
    struct {
        int nWave, nBit, nOn, nOff, nAmp;
        bool bKept;
    } const cases[] = {
        {WaveR, kQrsTypeR, 100, 109, 30, false},  {WaveR, kQrsTypeR, 100, 109, 45, true},
        {WaveS, kQrsTypeS, 110, 118, -30, true},  {WaveS, kQrsTypeS, 110, 114, -30, false},
        {WaveQ, kQrsTypeQ, 100, 112, -15, false}, {WaveR, kQrsTypeR, 100, 103, 500, false},
        {WaveR, kQrsTypeR, 90, 160, 500, false},
    };
    for (const auto& c : cases) {
        t.QrsComplexType[0][0] = c.nBit;
        wv[c.nWave] = {105, c.nAmp, c.nOn, c.nOff};
        ValidateQrsWave(D(), c.nBit, 0, 0);
        EXPECT_EQ(t.QrsComplexType[0][0] == c.nBit, c.bKept) << c.nOn << " " << c.nOff;
        EXPECT_EQ(wv[c.nWave].nAmp == c.nAmp, c.bKept);
    }
    // An RS whose R was removed becomes QS with the S data in the Q slot.
    for (auto& w : wv)
        w = SQrsWave{};
    t.QrsComplexType[0][0] = kQrsTypeS;
    wv[WaveS] = {130, -300, 120, 150};
    CloseWaveGaps(D(), 0, 0);
    EXPECT_EQ(t.QrsComplexType[0][0], 0x10);
    EXPECT_EQ(wv[WaveQ].nPos, 130);
    EXPECT_EQ(wv[WaveQ].nAmp, -300);
    EXPECT_EQ(wv[WaveQ].nOn, 120);
    EXPECT_EQ(wv[WaveS].nAmp, 0);
    // QRSR' without its S: R' merges into R (taller amplitude, later offset).
    t.QrsComplexType[0][0] = kQrsTypeQ | kQrsTypeR | kQrsTypeR2;
    wv[WaveS] = SQrsWave{};
    wv[WaveR] = {110, 200, 105, 115};
    wv[WaveR2] = {125, 300, 118, 140};
    CloseWaveGaps(D(), 0, 0);
    EXPECT_EQ(t.QrsComplexType[0][0], 0x18);
    EXPECT_EQ(wv[WaveR].nPos, 125);
    EXPECT_EQ(wv[WaveR].nAmp, 300);
    EXPECT_EQ(wv[WaveR].nOff, 140);
    EXPECT_EQ(wv[WaveR2].nPos, 0);
}

// The onset is the flat sample farthest from the line through the first turning point, but at
// least five samples after the listed onset; the offset likewise, from the other side.
TEST_F(QrsStepTest, BoundaryAreaSearch) {
    SetList({{1000, 0, 0}, {1020, 300, 1}, {1050, -300, -1}, {1080, 300, 1}, {1100, 0, 0}});
    auto& x = D().AnalysisLeads[0];
    for (int k = 1003; k < 1090; ++k)
        x[k] = 50;  // flat only at 1000..1002 and from 1090 on
    EXPECT_EQ(RefineQrsBoundaries(D()), 0);
    EXPECT_EQ(D().Qrs.LeadBeatList.onset[0][0], 1005);
    EXPECT_EQ(D().Qrs.LeadBeatList.offset[0][0], 1090);
}

// Beats closer than 300 samples (above 100 per minute) pull every offset that lies more than
// 10 samples after the earliest one back by a third of the difference; slower beats keep theirs.
TEST_F(QrsStepTest, FastBeatsPullLateOffsetsIn) {
    auto& t = D().Qrs;
    const int aOnset[3] = {1000, 1200, 1800};
    t.LeadBeatList.nCount.fill(3);
    for (int l = 0; l < kLeads; ++l) {
        for (int b = 0; b < 3; ++b) {
            const int nOff = aOnset[b] + (l == LeadV6 ? 70 : 40);
            // Listed values far from the signal (0): no area value, the listed edges stay.
            auto& list = t.ExtremumList[l][b];
            list = SExtremumList{};
            list.aEntry[list.nCount++] = {aOnset[b], 1000, 0};
            list.aEntry[list.nCount++] = {aOnset[b] + 20, 1300, 1};
            list.aEntry[list.nCount++] = {nOff, 1000, 0};
            t.LeadBeatList.onset[l][b] = aOnset[b];
            t.LeadBeatList.offset[l][b] = nOff;
        }
    }
    EXPECT_EQ(RefineQrsBoundaries(D()), 0);
    for (int l = 0; l < kLeads; ++l) {
        for (int b = 0; b < 3; ++b)
            EXPECT_EQ(t.LeadBeatList.onset[l][b], aOnset[b]) << l << " " << b;
    }
    EXPECT_EQ(t.LeadBeatList.offset[LeadV6][0], 1060);  // 1070 - 30 / 3
    EXPECT_EQ(t.LeadBeatList.offset[LeadV6][1], 1270);  // 50 per minute: kept
    EXPECT_EQ(t.LeadBeatList.offset[LeadV6][2], 1870);  // last beat: kept
    EXPECT_EQ(t.LeadBeatList.offset[LeadV5][0], 1040);
}

TEST_F(QrsStepTest, GlobalBoundaryPicks) {
    SWorkList on, off;
    for (int i = 0; i < 12; ++i) {
        on.aValue[on.nCount++] = 111 - i;
        off.aValue[off.nCount++] = 200 + i;
    }
    std::int32_t nOn = 0, nOff = 0;
    PickGlobalBoundaries(on, off, nOn, nOff);
    EXPECT_EQ(nOn, 105);
    EXPECT_EQ(nOff, 207);
}

TEST_F(QrsStepTest, MeasurePicksAndAxes) {
    auto Pick = [](std::initializer_list<int> values) {
        SWorkList list;
        for (int v : values)
            list.aValue[list.nCount++] = v;
        const int nPick = MedianOfList(list);
        EXPECT_EQ(list.nCount, nPick);
        return nPick;
    };
    EXPECT_EQ(Pick({80, 90, 100}), 80);
    EXPECT_EQ(Pick({4, 1, 3, 2}), 2);
    EXPECT_EQ(Pick({5, 1, 4, 2, 3}), 2);
    EXPECT_EQ(Pick({9, 7}), 9);
    EXPECT_EQ(Pick({}), 0);

    EXPECT_EQ(AxisFromLimbLeads(100, 100, 100), 59);  // the constant 1.73205 and truncation
    EXPECT_EQ(AxisFromLimbLeads(100, 50, -50), 0);
    EXPECT_EQ(AxisFromLimbLeads(-100, -50, 50), 180);
    EXPECT_EQ(AxisFromLimbLeads(0, 50, 50), 90);
    EXPECT_EQ(AxisFromLimbLeads(0, -50, -50), -90);
    EXPECT_EQ(AxisFromLimbLeads(100, -100, -200), -59);
    EXPECT_EQ(AxisFromLimbLeads(-100, 100, 200), 120);
    EXPECT_EQ(AxisFromLimbLeads(-100, -200, -100), -121);
}

TEST_F(QrsStepTest, BeatMeasures) {
    auto& t = D().Qrs;
    t.LeadBeatList.nCount.fill(3);
    for (int b = 0; b < 3; ++b) {
        t.GlobalQrsOnset[b] = 1000 + 400 * b;
        t.GlobalQrsOffset[b] = 1045 + 400 * b;
        for (int l = 0; l < kLeads; ++l) {
            t.LeadBeatList.onset[l][b] = 1000 + 400 * b;
            t.LeadBeatList.offset[l][b] = 1045 + 400 * b;
            t.QrsBaseline[l][b] = 10;
        }
    }
    D().AnalysisLeads[LeadV2][1045] = 51;
    D().AnalysisLeads[LeadV2][1075] = 420;
    auto& wv = t.QrsWaveTable[LeadV2][0];
    wv[WaveR].nAmp = 500;
    wv[WaveS].nAmp = -700;
    EXPECT_EQ(ComputeQrsBeatMeasures(D()), 0);
    EXPECT_EQ(t.DominantQrsAmplitude[LeadV2][0], -700);
    EXPECT_EQ(t.QrsPeakToPeak[LeadV2][0], 1200);
    EXPECT_EQ(t.JPointAmplitude[LeadV2][0][0], 100);  // 41 units
    EXPECT_EQ(t.JPointAmplitude[LeadV2][0][1], 1000);
    EXPECT_EQ(t.JPointAmplitude[LeadV2][0][2], -24);
    EXPECT_EQ(t.BeatRR[0], 800);
    EXPECT_EQ(t.BeatRR[2], 800);
    EXPECT_EQ(t.QrsRate, 75);
    EXPECT_EQ(t.BeatQrsDuration[1], 90);
    EXPECT_EQ(t.MedianQrsDuration, 90);

    t.LeadBeatList.nCount.fill(1);
    t.BeatRR.fill(0);
    ComputeQrsBeatMeasures(D());
    EXPECT_EQ(t.QrsRate, -1);  // one beat: no interval
}

TEST_F(QrsStepTest, DroppingAnUntypedBeatKeepsTheListsTogether) {
    // Detection beats 0 (in the lead-in, left out of the lead lists), 1, 2 and 3.
    AddBeat(400, 450);
    AddBeat(1500, 1545);
    AddBeat(2000, 2045);
    AddBeat(2500, 2545);
    auto& t = D().Qrs;
    t.LeadBeatList.nCount.fill(3);
    for (int l = 0; l < kLeads; ++l) {
        for (int b = 0; b < 3; ++b) {
            t.LeadBeatList.onset[l][b] = 1000 + 500 * b;
            t.LeadBeatList.offset[l][b] = 1045 + 500 * b;
            t.QrsBaseline[l][b] = 10 * (b + 1);
            auto& list = t.ExtremumList[l][b];
            list.nCount = 3;
            list.aEntry[0] = {1000 + 500 * b, 0, 0};
            list.aEntry[1] = {1020 + 500 * b, 300, 1};
            list.aEntry[2] = {1045 + 500 * b, 0, 0};
            t.QrsComplexType[l][b] = l < 7 && b == 1 ? kQrsTypeUnknown : 0x08;
            t.QrsWaveTable[l][b][WaveR].nPos = 1;
            D().AnalysisLeads[l][1020 + 500 * b] = 300;
        }
        t.GlobalQrsOnset = {1000, 1500, 2000};
        t.GlobalQrsOffset = {1045, 1545, 2045};
    }
    EXPECT_EQ(MeasureQrsWaves(D()), 0);
    const auto& q = D().Detection.IOQm;
    ASSERT_EQ(q.qrs_num, 3);
    // The matching entry left the detection list; the others keep their frame.
    EXPECT_EQ(q.qrs_onset[0], 400);
    EXPECT_EQ(q.qrs_onset[1], 1500);
    EXPECT_EQ(q.qrs_onset[2], 2500);
    EXPECT_EQ(q.qrs_onset[3], 0);
    for (int l = 0; l < kLeads; ++l) {
        EXPECT_EQ(t.LeadBeatList.nCount[l], 2);
        EXPECT_EQ(t.LeadBeatList.onset[l][1], 2000);
        EXPECT_EQ(t.QrsBaseline[l][1], 30);  // the baseline moved with its beat
        EXPECT_EQ(t.QrsComplexType[l][1], 0x08);
        // 270 units above the moved baseline, in microvolts.
        EXPECT_EQ(t.QrsWaveTable[l][1][WaveR].nAmp, 659);
    }
    EXPECT_EQ(t.GlobalQrsOnset[1], 2000);
    EXPECT_EQ(t.GlobalQrsOnset[2], 0);
}

}  // namespace
