// The waveform criteria on representative measures filled by hand: each criterion's
// boundary pairs as tables, pre-excitation beat by beat, infarction and repolarisation rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "ecg_engine/statement_tables.h"
#include "morphology_fixture.h"
#include "record_fixture.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;
using namespace morphology_test;

namespace {

// One boundary case: the setup, the finding read back and its expected value.
struct SCase {
    const char* pszName;
    SetupFn setup;
    std::int32_t Findings::*pFinding;
    int nExpected;
};

void RunCases(const std::vector<SCase>& cases) {
    for (const auto& c : cases) {
        auto d = NormalRecord();
        c.setup(*d);
        RunCriteria(*d);
        EXPECT_EQ(d->Morphology.MorphologyFindings.*(c.pFinding), c.nExpected) << c.pszName;
    }
}

void SetSum(CEngineData& d, std::initializer_list<int> leads, int nSum) {
    for (int l : leads)
        L(d, l).sumQRS = nSum;
}

// QS complexes (type 16) in the given leads' representative beats.
void SetQs(CEngineData& d, std::initializer_list<int> leads) {
    for (int l : leads)
        d.Measurements.QrsType[l][5] = 16;
}

// A pathological Q: 40 ms, deeper than a quarter of R.
void SetQ(CEngineData& d, std::initializer_list<int> leads, int nQa = -400, int nQd = 40) {
    for (int l : leads) {
        L(d, l).QA = nQa;
        L(d, l).QD = nQd;
        L(d, l).RA = 300;
    }
}

}  // namespace

TEST(MorphologyVoltageAxis, BoundaryPairs) {
    using F = Findings;
    RunCases({
        {"limb 499",
         [](CEngineData& d) {
             SetSum(d, {LeadI, LeadII, LeadIII}, 499);
         },
         &F::LowVoltageLimb, 1},
        {"limb 500 in I",
         [](CEngineData& d) {
             SetSum(d, {LeadI, LeadII, LeadIII}, 499);
             L(d, LeadI).sumQRS = 500;
         },
         &F::LowVoltageLimb, 0},
        {"limb -499",
         [](CEngineData& d) {
             SetSum(d, {LeadI, LeadII, LeadIII}, -499);
         },
         &F::LowVoltageLimb, 1},
        {"limb -500 in I",
         [](CEngineData& d) {
             SetSum(d, {LeadI, LeadII, LeadIII}, -499);
             L(d, LeadI).sumQRS = -500;
         },
         &F::LowVoltageLimb, 0},
        {"aVR..aVF take no part",
         [](CEngineData& d) {
             SetSum(d, {LeadI, LeadII, LeadIII}, 100);
             SetSum(d, {LeadAVR, LeadAVL, LeadAVF}, 5000);
         },
         &F::LowVoltageLimb, 1},
        {"chest 999",
         [](CEngineData& d) {
             SetSum(d, {LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, 999);
         },
         &F::LowVoltageChest, 1},
        {"chest 1000 in V6",
         [](CEngineData& d) {
             SetSum(d, {LeadV1, LeadV2, LeadV3, LeadV4, LeadV5}, 999);
         },
         &F::LowVoltageChest, 0},
        {"both: QRS",
         [](CEngineData& d) {
             SetSum(d, {LeadI, LeadII, LeadIII}, 400);
             SetSum(d, {LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, 900);
         },
         &F::LowVoltageQrs, 1},
        {"both: no limb",
         [](CEngineData& d) {
             SetSum(d, {LeadI, LeadII, LeadIII}, 400);
             SetSum(d, {LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, 900);
         },
         &F::LowVoltageLimb, 0},
        {"both: no chest",
         [](CEngineData& d) {
             SetSum(d, {LeadI, LeadII, LeadIII}, 400);
             SetSum(d, {LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, 900);
         },
         &F::LowVoltageChest, 0},
    });
    struct {
        int a;
        std::int32_t F::*pFinding;
    } axes[] = {{-30, &F::AxisNormal},    {-31, &F::AxisLeft},       {100, &F::AxisNormal},
                {101, &F::AxisRight},     {180, &F::AxisRight},      {-90, &F::AxisLeft},
                {-91, &F::AxisNorthwest}, {-179, &F::AxisNorthwest}, {-180, nullptr},
                {181, nullptr},           {MissingValue, nullptr}};
    for (const auto& c : axes) {
        auto d = NormalRecord();
        RM(*d).MedianRaxis = c.a;
        RunCriteria(*d);
        const auto& f = d->Morphology.MorphologyFindings;
        const int nSet = f.AxisNormal + f.AxisLeft + f.AxisRight + f.AxisNorthwest;
        EXPECT_EQ(nSet, c.pFinding ? 1 : 0) << c.a;
        if (c.pFinding) {
            EXPECT_EQ(f.*(c.pFinding), 1) << c.a;
        }
    }
}

TEST(MorphologyHypertrophy, BoundaryPairs) {
    using F = Findings;
    // A right ventricular pattern of score 3: tall R in V1, deep S in V5, right axis.
    const SetupFn rvh = [](CEngineData& d) {
        L(d, LeadV1).sumQRS = 1200;
        L(d, LeadV1).RA = 1000;
        L(d, LeadV1).SA = -200;
        L(d, LeadV5).RA = 500;
        L(d, LeadV5).SA = -1000;
        RM(d).MedianRaxis = 120;
    };
    RunCases({
        {"PA(II) 268", [](CEngineData& d) { L(d, LeadII).PA = 268; }, &F::RightAtrialEnlargement,
         1},
        {"PA(II) 267, aVF 259",
         [](CEngineData& d) {
             L(d, LeadII).PA = 267;
             L(d, LeadAVF).PA = 259;
         },
         &F::RightAtrialEnlargement, 0},
        {"PA(aVF) 260", [](CEngineData& d) { L(d, LeadAVF).PA = 260; }, &F::RightAtrialEnlargement,
         1},
        {"LAE 108/-102",
         [](CEngineData& d) {
             L(d, LeadII).PD = 108;
             L(d, LeadV1).PA = -102;
         },
         &F::LeftAtrialEnlargement, 1},
        {"LAE 107",
         [](CEngineData& d) {
             L(d, LeadII).PD = 107;
             L(d, LeadV1).PA = -102;
         },
         &F::LeftAtrialEnlargement, 0},
        {"LAE -101",
         [](CEngineData& d) {
             L(d, LeadII).PD = 108;
             L(d, LeadV1).PA = -101;
         },
         &F::LeftAtrialEnlargement, 0},
        {"LAE lead I poor",
         [](CEngineData& d) {
             L(d, LeadII).PD = 108;
             L(d, LeadV1).PA = -102;
             d.Detection.LeadQuality12[LeadI] = LeadPoorQuality;
         },
         &F::LeftAtrialEnlargement, 0},
        {"biatrial",
         [](CEngineData& d) {
             L(d, LeadII).PA = 300;
             L(d, LeadII).PD = 120;
             L(d, LeadV1).PA = -150;
         },
         &F::BiatrialEnlargement, 1},
        {"biatrial clears RAE",
         [](CEngineData& d) {
             L(d, LeadII).PA = 300;
             L(d, LeadII).PD = 120;
             L(d, LeadV1).PA = -150;
         },
         &F::RightAtrialEnlargement, 0},
        {"fibrillation: no RAE",
         [](CEngineData& d) {
             L(d, LeadII).PA = 300;
             d.Rhythm.RhythmFindings[125] = 1;
         },
         &F::RightAtrialEnlargement, 0},
        {"flutter: no LAE",
         [](CEngineData& d) {
             L(d, LeadII).PD = 120;
             L(d, LeadV1).PA = -150;
             d.Rhythm.RhythmFindings[124] = 1;
         },
         &F::LeftAtrialEnlargement, 0},
        {"RVH score 3", rvh, &F::RightVentricularHypertrophy, 1},
        {"RVH at QRS 121",
         [&](CEngineData& d) {
             rvh(d);
             RM(d).MedianQRSdur = 121;
         },
         &F::RightVentricularHypertrophy, 0},
        {"probable at QRS 121",
         [&](CEngineData& d) {
             rvh(d);
             RM(d).MedianQRSdur = 121;
             RM(d).MedianRaxis = 60;
         },
         &F::ProbableRvh, 0},
        {"probable: score 2",
         [&](CEngineData& d) {
             rvh(d);
             RM(d).MedianRaxis = 108;
         },
         &F::ProbableRvh, 1},
        {"axis -89 scores",
         [&](CEngineData& d) {
             rvh(d);
             RM(d).MedianRaxis = -89;
         },
         &F::RightVentricularHypertrophy, 1},
        {"axis -88 does not",
         [&](CEngineData& d) {
             rvh(d);
             RM(d).MedianRaxis = -88;
         },
         &F::RightVentricularHypertrophy, 0},
        {"a: S 0, R 700",
         [&](CEngineData& d) {
             rvh(d);
             L(d, LeadV1).SA = 0;
             L(d, LeadV1).RA = 700;
         },
         &F::RightVentricularHypertrophy, 0},
        {"a: S 0, R 701, sum 501",
         [&](CEngineData& d) {
             rvh(d);
             L(d, LeadV1).SA = 0;
             L(d, LeadV1).RA = 701;
             L(d, LeadV1).sumQRS = 501;
         },
         &F::RightVentricularHypertrophy, 1},
        {"a: sum 500",
         [&](CEngineData& d) {
             rvh(d);
             L(d, LeadV1).sumQRS = 500;
         },
         &F::RightVentricularHypertrophy, 0},
        {"b: |S(V5)| = 0.8 R5",
         [&](CEngineData& d) {
             rvh(d);
             L(d, LeadV5).RA = 1000;
             L(d, LeadV5).SA = -800;
         },
         &F::RightVentricularHypertrophy, 0},
        {"b: |S(V5)| = 0.8 R5 + 1",
         [&](CEngineData& d) {
             rvh(d);
             L(d, LeadV5).RA = 1000;
             L(d, LeadV5).SA = -801;
         },
         &F::RightVentricularHypertrophy, 1},
        {"b: R' counts in R5",
         [&](CEngineData& d) {
             rvh(d);
             L(d, LeadV5).RPrimeAmplitude = 1300;
         },
         &F::RightVentricularHypertrophy, 0},
        {"b: in V6",
         [&](CEngineData& d) {
             rvh(d);
             L(d, LeadV5).SA = -100;
             L(d, LeadV6).RA = 500;
             L(d, LeadV6).SA = -1000;
         },
         &F::RightVentricularHypertrophy, 1},
        {"R(aVL) 1100", [](CEngineData& d) { L(d, LeadAVL).RA = 1100; },
         &F::LeftVentricularHypertrophy, 0},
        {"R(aVL) 1101", [](CEngineData& d) { L(d, LeadAVL).RA = 1101; },
         &F::LeftVentricularHypertrophy, 1},
        {"S(V1)+R5 3500",
         [](CEngineData& d) {
             L(d, LeadV1).SA = -1500;
             L(d, LeadV5).RPrimeAmplitude = 2000;
         },
         &F::LeftVentricularHypertrophy, 1},
        {"S(V1)+R6 3499",
         [](CEngineData& d) {
             L(d, LeadV1).SA = -1500;
             L(d, LeadV6).RA = 1999;
         },
         &F::LeftVentricularHypertrophy, 0},
        {"R(V5)+S(V2) 4000",
         [](CEngineData& d) {
             L(d, LeadV2).SA = -1400;
             L(d, LeadV5).RA = 2600;
         },
         &F::LeftVentricularHypertrophy, 1},
        {"R(V6)+S(V2) 3999",
         [](CEngineData& d) {
             L(d, LeadV1).SA = -500;
             L(d, LeadV2).SA = -1400;
             L(d, LeadV6).RA = 2599;
         },
         &F::LeftVentricularHypertrophy, 0},
        {"R6 2700",
         [](CEngineData& d) {
             L(d, LeadV1).SA = 0;
             L(d, LeadV6).RA = 2700;
         },
         &F::LeftVentricularHypertrophy, 1},
        {"LVH + right axis: biventricular",
         [](CEngineData& d) {
             L(d, LeadAVL).RA = 1200;
             RM(d).MedianRaxis = 120;
         },
         &F::BiventricularHypertrophy, 1},
        {"LVH + right axis: LVH cleared",
         [](CEngineData& d) {
             L(d, LeadAVL).RA = 1200;
             RM(d).MedianRaxis = 120;
         },
         &F::LeftVentricularHypertrophy, 0},
        {"LVH + RVH: RVH cleared",
         [&](CEngineData& d) {
             rvh(d);
             L(d, LeadAVL).RA = 1200;
         },
         &F::RightVentricularHypertrophy, 0},
    });
}

TEST(MorphologyConduction, BoundaryPairs) {
    using F = Findings;
    const auto Shape = [](int s, int nQrs, int x = 60) {
        return [=](CEngineData& d) {
            RM(d).DominantShape = s;
            RM(d).MedianQRSdur = nQrs;
            RM(d).MedianRaxis60 = x;
            L(d, LeadV1).RA = 300;
            L(d, LeadV1).RPrimeAmplitude = 600;
        };
    };
    // LBBB shape: small R in V1, no Q in I and V6.
    const auto Lbbb = [](CEngineData& d) {
        RM(d).MedianQRSdur = 150;
        L(d, LeadV1).RA = 200;
        L(d, LeadV1).RD = 20;
    };
    RunCases({
        {"d 120, Rn", Shape(136, 120), &F::IncompleteRbbb, 1},
        {"d 121, Rn", Shape(136, 121), &F::CompleteRbbb, 1},
        {"d 121, Rn: no incomplete", Shape(136, 121), &F::IncompleteRbbb, 0},
        {"RSR' m 50",
         [&](CEngineData& d) {
             Shape(14, 100)(d);
             L(d, LeadV1).RA = 50;
         },
         &F::IncompleteRbbb, 1},
        {"RSR' m 49",
         [&](CEngineData& d) {
             Shape(14, 100)(d);
             L(d, LeadV1).RA = 49;
         },
         &F::IncompleteRbbb, 0},
        {"RnS", Shape(140, 100), &F::IncompleteRbbb, 1},
        {"QR", Shape(24, 100), &F::IncompleteRbbb, 1},
        {"QR with deep long Q",
         [&](CEngineData& d) {
             Shape(24, 100)(d);
             L(d, LeadV1).QD = 41;
             L(d, LeadV1).QA = -76;
         },
         &F::IncompleteRbbb, 0},
        {"QR Q 40 ms",
         [&](CEngineData& d) {
             Shape(24, 100)(d);
             L(d, LeadV1).QD = 40;
             L(d, LeadV1).QA = -76;
         },
         &F::IncompleteRbbb, 1},
        {"QR |Q| = R/4",
         [&](CEngineData& d) {
             Shape(24, 100)(d);
             L(d, LeadV1).QD = 41;
             L(d, LeadV1).QA = -75;
         },
         &F::IncompleteRbbb, 1},
        {"RS: nothing", Shape(0x0C, 100), &F::IncompleteRbbb, 0},
        {"x -30: LAFB", Shape(14, 140, -30), &F::BifascicularRbbbLafb, 1},
        {"x -90: LAFB", Shape(14, 140, -90), &F::BifascicularRbbbLafb, 1},
        {"x -29: complete", Shape(14, 140, -29), &F::CompleteRbbb, 1},
        {"x 90: LPFB", Shape(14, 140, 90), &F::BifascicularRbbbLpfb, 1},
        {"x 89: complete", Shape(14, 140, 89), &F::CompleteRbbb, 1},
        {"x 180: LPFB", Shape(14, 140, 180), &F::BifascicularRbbbLpfb, 1},
        {"d 150, m 49: LBBB",
         [&](CEngineData& d) {
             Shape(14, 150)(d);
             Lbbb(d);
             L(d, LeadV1).RPrimeAmplitude = 49;
         },
         &F::Lbbb, 1},
        {"d 150, m 49: no RBBB",
         [&](CEngineData& d) {
             Shape(14, 150)(d);
             Lbbb(d);
             L(d, LeadV1).RPrimeAmplitude = 49;
         },
         &F::CompleteRbbb, 0},
        {"LBBB: R(V1) 201 gives NIVCD",
         [&](CEngineData& d) {
             Lbbb(d);
             L(d, LeadV1).RA = 201;
         },
         &F::Nivcd, 1},
        {"LBBB: RD(V1) 21 gives NIVCD",
         [&](CEngineData& d) {
             Lbbb(d);
             L(d, LeadV1).RD = 21;
         },
         &F::Nivcd, 1},
        {"LBBB: Q in I",
         [&](CEngineData& d) {
             Lbbb(d);
             L(d, LeadI).QA = -50;
         },
         &F::Lbbb, 0},
        {"LBBB: Q in V6",
         [&](CEngineData& d) {
             Lbbb(d);
             L(d, LeadV6).QA = -50;
         },
         &F::Nivcd, 1},
        {"AF d 125: no NIVCD",
         [](CEngineData& d) {
             RM(d).MedianQRSdur = 125;
             d.Rhythm.RhythmFindings[125] = 1;
         },
         &F::Nivcd, 0},
        {"AF d 130: no NIVCD",
         [](CEngineData& d) {
             RM(d).MedianQRSdur = 130;
             d.Rhythm.RhythmFindings[125] = 1;
         },
         &F::Nivcd, 0},
        {"AF d 131: NIVCD",
         [](CEngineData& d) {
             RM(d).MedianQRSdur = 131;
             d.Rhythm.RhythmFindings[125] = 1;
         },
         &F::Nivcd, 1},
        {"d 121 sinus: NIVCD", [](CEngineData& d) { RM(d).MedianQRSdur = 121; }, &F::Nivcd, 1},
        {"RBBB explained by RVH (QR, V2 type 8)",
         [&](CEngineData& d) {
             Shape(24, 140, 10)(d);
             L(d, LeadV1).sumQRS = 1200;
             L(d, LeadV1).RA = 1000;
             L(d, LeadV1).SA = -200;
             L(d, LeadV5).RA = 500;
             L(d, LeadV5).SA = -1000;
             RM(d).MedianRaxis = 120;
             RM(d).MedianQRSdur = 120;
             L(d, LeadV2).QrsComplexType = 8;
         },
         &F::IncompleteRbbb, 0},
        {"RBBB kept with V2 RSR'",
         [&](CEngineData& d) {
             Shape(24, 120, 10)(d);
             L(d, LeadV1).sumQRS = 1200;
             L(d, LeadV1).RA = 1000;
             L(d, LeadV1).SA = -200;
             L(d, LeadV5).RA = 500;
             L(d, LeadV5).SA = -1000;
             RM(d).MedianRaxis = 120;
             L(d, LeadV2).QrsComplexType = 14;
         },
         &F::IncompleteRbbb, 1},
        {"probable RVH with R(V2) 3000 clears",
         [&](CEngineData& d) {
             Shape(14, 110)(d);
             L(d, LeadV1).sumQRS = 1200;
             L(d, LeadV1).RA = 1000;
             L(d, LeadV1).SA = -200;
             RM(d).MedianRaxis = 120;
             L(d, LeadV2).RA = 3000;
         },
         &F::IncompleteRbbb, 0},
        {"probable RVH with R(V2) 2999 keeps",
         [&](CEngineData& d) {
             Shape(14, 110)(d);
             L(d, LeadV1).sumQRS = 1200;
             L(d, LeadV1).RA = 1000;
             L(d, LeadV1).SA = -200;
             RM(d).MedianRaxis = 120;
             L(d, LeadV2).RA = 2999;
         },
         &F::IncompleteRbbb, 1},
    });
}

namespace {

// Ten beats with a slurred (ramp) R wave of 60 samples in leads I and II after a delta wave;
// the beats listed in pCounted meet every interval test, the others have a Q wave.
void PreexcitationRecord(CEngineData& d, int nBeats, const std::vector<int>& counted,
                         int nRd = 120) {
    d.BeatCount = nBeats;
    auto& m = d.Measurements;
    for (int l : {LeadI, LeadII}) {
        d.Qrs.LeadBeatList.nCount[l] = nBeats;
        for (int b = 0; b < nBeats; ++b) {
            const int nOn = 200 + 450 * b;
            d.Qrs.QrsWaveTable[l][b][WaveR] = {nOn + 59, 1000, nOn, nOn + 59};
            for (int i = 0; i < 60; ++i)
                d.AnalysisLeads[l][nOn + i] = 1000 * i / 59;
        }
        m.RD[l][0] = m.QA[l][0] = m.SD[l][0] = nBeats;
        for (int k = 1; k <= nBeats; ++k) {
            m.RD[l][k] = nRd;
            m.QA[l][k] = -100;
            m.SD[l][k] = 10;
        }
    }
    for (int k = 1; k <= nBeats; ++k) {
        m.PRint[k] = 100;
        m.QRSdur[k] = 140;
        m.RRint[k] = 900;
        d.Qrs.DeltaWave[k - 1] = 1;
    }
    for (int k : counted)
        m.QA[LeadI][k] = m.QA[LeadII][k] = 0;
}

// Lead I's R wave is small and rides on the record's wander, lead II's is clean and twice as
// large; only lead II's S wave is short enough.
void WanderingLeadIRecord(CEngineData& d) {
    PreexcitationRecord(d, 10, {2, 3, 4});
    for (int b = 0; b < 10; ++b) {
        const int nOn = 200 + 450 * b;
        const int nOffset = (b % 2) ? 300 : -300;
        d.Qrs.SmoothedLeads[LeadI][nOn] = nOffset;
        for (int i = 0; i < 60; ++i)
            d.AnalysisLeads[LeadI][nOn + i] = nOffset + 500 * i / 59;
    }
    for (int k = 1; k <= 10; ++k)
        d.Measurements.SD[LeadI][k] = 60;
}

}  // namespace

TEST(MorphologyPreexcitation, CountsSlurredBeats) {
    using F = Findings;
    RunCases({
        {"2 of 10",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3});
         },
         &F::Preexcitation, 0},
        {"3 of 10",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
         },
         &F::Preexcitation, 1},
        {"beat 1 is never counted",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {1, 2, 3});
         },
         &F::Preexcitation, 0},
        {"PR 150",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Measurements.PRint[4] = 150;
         },
         &F::Preexcitation, 0},
        {"PR 149",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Measurements.PRint[4] = 149;
         },
         &F::Preexcitation, 1},
        {"PR 30",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Measurements.PRint[4] = 30;
         },
         &F::Preexcitation, 0},
        {"QRS 100",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Measurements.QRSdur[4] = 100;
         },
         &F::Preexcitation, 0},
        {"SD = RD / 2",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Measurements.SD[LeadI][4] = 60;
         },
         &F::Preexcitation, 0},
        {"premature by 0.8 RR",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Measurements.RRint[4] = 720;
         },
         &F::Preexcitation, 0},
        {"RD 110 in the widest band (minimum 80)",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4}, 110);
         },
         &F::Preexcitation, 1},
        {"RD 80 is no R above the minimum",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4}, 80);
         },
         &F::Preexcitation, 0},
        // The wander under lead I's wave must not outweigh lead II's larger skew.
        {"lead I's small R on wander, lead II's larger one clean", WanderingLeadIRecord,
         &F::Preexcitation, 1},
        {"no beats in leads I and II",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Qrs.LeadBeatList.nCount[LeadI] = d.Qrs.LeadBeatList.nCount[LeadII] = 0;
         },
         &F::Preexcitation, 0},
        // A slurred R with no delta wave before it, as a flutter wave running into the QRS
        // makes: beat 4 (index 3) does not count.
        {"no delta wave",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Qrs.DeltaWave[3] = 0;
         },
         &F::Preexcitation, 0},
        // The PR of a flutter or fibrillation wave is no PR.
        {"atrial flutter",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Rhythm.RhythmFindings[124] = 1;
         },
         &F::Preexcitation, 0},
        {"atrial fibrillation",
         [](CEngineData& d) {
             PreexcitationRecord(d, 10, {2, 3, 4});
             d.Rhythm.RhythmFindings[125] = 1;
         },
         &F::Preexcitation, 0},
    });
}

TEST(MorphologyPreexcitation, ThirdMomentIsTakenAboveTheWavesLevelAboutItsTrueCentre) {
    // The same wave on an offset, taken above it: the same moment.
    std::vector<std::int32_t> ramp = {0, 1, 2, 3}, raised = {-50, -49, -48, -47};
    EXPECT_EQ(RThirdMoment(raised.data(), 0, 3, -50, 2, 0), 2);
    // Around its true centre 14/6 the rising ramp leans back (-1.56); around the centre
    // rounded down to 2 it seemed to lean forward (2).
    EXPECT_EQ(RThirdMoment(ramp.data(), 0, 3, 0, 14.0 / 6.0, 0), -1);
}

TEST(MorphologyPreexcitation, ThirdMomentSaturatesInsteadOfOverflowing) {
    // A centroid far outside a wide wave: (i - c)^3 alone passes 64 bits.
    std::vector<std::int32_t> row(5000, 30000);
    EXPECT_EQ(RThirdMoment(row.data(), 0, 4999, 0, -3e9, 1),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(RThirdMoment(row.data(), 0, 4999, 0, 3e9, 1),
              std::numeric_limits<std::int32_t>::min());
    // Symmetric wave: no skew; an empty wave: 0; a zero divisor is taken as 1.
    std::vector<std::int32_t> tri = {0, 1, 2, 3, 2, 1, 0};
    EXPECT_EQ(RThirdMoment(tri.data(), 0, 6, 0, 3, 9), 0);
    EXPECT_EQ(RThirdMoment(tri.data(), 4, 3, 0, 0, 1), 0);
    std::vector<std::int32_t> ramp = {0, 1, 2, 3};
    // 1*(-1)^3 + 2*0 + 3*1 = 2 around centroid 2.
    EXPECT_EQ(RThirdMoment(ramp.data(), 0, 3, 0, 2, 0), 2);
    EXPECT_EQ(RThirdMoment(ramp.data(), 0, 3, 0, 2, 3), 0);  // 2 / 3 toward zero

    // A weight sum near 0 throws the centroid far away: the stage runs clean.
    auto d = NormalRecord();
    PreexcitationRecord(*d, 10, {2, 3, 4});
    for (int l : {LeadI, LeadII})
        for (int i = 0; i < kRecordSamples; ++i)
            d->AnalysisLeads[l][i] = (i % 2) ? 32767 : -32767;
    for (int l : {LeadI, LeadII})
        for (int b = 0; b < 10; ++b)
            d->Qrs.QrsWaveTable[l][b][WaveR] = {0, 0, b * 400, b * 400 + 301};
    RunCriteria(*d);
    SUCCEED();
}

TEST(MorphologyInfarction, Rules) {
    using F = Findings;
    RunCases({
        {"QS V1-V3, R(V6) 2400",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV2, LeadV3});
             L(d, LeadV6).RA = 2400;
         },
         &F::AnteroseptalMi, 1},
        {"QS V1-V3, R(V6) 2600, s 1",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV2, LeadV3});
             L(d, LeadV6).RA = 2600;
             SetQ(d, {LeadV1}, -150);
         },
         &F::AnteroseptalMi, 0},
        {"... no possible either",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV2, LeadV3});
             L(d, LeadV6).RA = 2600;
             SetQ(d, {LeadV1}, -150);
         },
         &F::PossibleAnteroseptalMi, 0},
        {"s 3",
         [](CEngineData& d) {
             SetQ(d, {LeadV1, LeadV2, LeadV3}, -150);
             L(d, LeadV6).RA = 2600;
         },
         &F::AnteroseptalMi, 1},
        {"s 3 with |QA| 100 is s 0",
         [](CEngineData& d) {
             SetQ(d, {LeadV1, LeadV2, LeadV3}, -100);
             L(d, LeadV6).RA = 2600;
         },
         &F::AnteroseptalMi, 0},
        {"q 3, R(V6) 2600, s 2: possible",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV2, LeadV3});
             L(d, LeadV6).RA = 2600;
             SetQ(d, {LeadV1, LeadV2}, -150);
         },
         &F::PossibleAnteroseptalMi, 1},
        {"q 2, R(V6) 2400: possible",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV2});
             L(d, LeadV6).RA = 2400;
         },
         &F::PossibleAnteroseptalMi, 1},
        {"q 2, R(V6) 2600, s 2: possible",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV2});
             L(d, LeadV6).RA = 2600;
             SetQ(d, {LeadV1, LeadV2}, -150);
         },
         &F::PossibleAnteroseptalMi, 1},
        {"q 0, s 2, R(V6) 2400: possible",
         [](CEngineData& d) {
             SetQ(d, {LeadV2, LeadV3}, -150);
             L(d, LeadV6).RA = 2400;
         },
         &F::PossibleAnteroseptalMi, 1},
        {"q 0, s 2, R(V6) 2500: none",
         [](CEngineData& d) {
             SetQ(d, {LeadV2, LeadV3}, -150);
             L(d, LeadV6).RA = 2500;
         },
         &F::PossibleAnteroseptalMi, 0},
        {"anteroseptal clears RVH",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV2, LeadV3});
             L(d, LeadV6).RA = 2400;
             L(d, LeadV1).sumQRS = 1200;
             L(d, LeadV1).RA = 1000;
             L(d, LeadV1).SA = -200;
             L(d, LeadV5).RA = 500;
             L(d, LeadV5).SA = -1000;
             RM(d).MedianRaxis = 150;
         },
         &F::RightVentricularHypertrophy, 0},
        {"anterior by Q in V4, V5",
         [](CEngineData& d) {
             SetQ(d, {LeadV4, LeadV5});
         },
         &F::AnteriorMi, 1},
        {"anterior: Q 29 ms in V5",
         [](CEngineData& d) {
             SetQ(d, {LeadV4, LeadV5});
             L(d, LeadV5).QD = 29;
         },
         &F::AnteriorMi, 0},
        {"anterior: R = 4|Q|",
         [](CEngineData& d) {
             SetQ(d, {LeadV4, LeadV5});
             L(d, LeadV4).RA = 1600;
         },
         &F::AnteriorMi, 0},
        {"anterior by QS V1, V4, V5",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV4, LeadV5});
         },
         &F::AnteriorMi, 1},
        {"lateral",
         [](CEngineData& d) {
             SetQ(d, {LeadV5, LeadV6});
         },
         &F::LateralMi, 1},
        {"lateral at QRS 121",
         [](CEngineData& d) {
             SetQ(d, {LeadV5, LeadV6});
             RM(d).MedianQRSdur = 121;
         },
         &F::LateralMi, 0},
        {"extensive",
         [](CEngineData& d) {
             SetQ(d, {LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, -400);
         },
         &F::AnteriorExtensiveMi, 1},
        {"extensive clears anteroseptal",
         [](CEngineData& d) {
             SetQ(d, {LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, -400);
         },
         &F::AnteroseptalMi, 0},
        {"extensive clears lateral",
         [](CEngineData& d) {
             SetQ(d, {LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, -400);
         },
         &F::LateralMi, 0},
        {"high lateral",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL});
         },
         &F::HighLateralMi, 1},
        {"high lateral: aVL Q 39",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL});
             L(d, LeadAVL).QD = 39;
         },
         &F::HighLateralMi, 0},
        {"high lateral: sum(I) 300",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL});
             L(d, LeadI).sumQRS = 300;
         },
         &F::HighLateralMi, 0},
        {"high lateral: QD(I) 101",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL}, -400, 101);
         },
         &F::HighLateralMi, 0},
        {"high lateral: R(aVL) = 2|Q|",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL});
             L(d, LeadAVL).RA = 800;
         },
         &F::HighLateralMi, 0},
        {"high lateral with pre-excitation",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL});
             PreexcitationRecord(d, 10, {2, 3, 4});
         },
         &F::HighLateralMi, 0},
        {"high lateral + lateral: lateral",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL, LeadV5, LeadV6});
         },
         &F::LateralMi, 1},
        {"high lateral + lateral: no high lateral",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL, LeadV5, LeadV6});
         },
         &F::HighLateralMi, 0},
        {"high lateral + anterior: anterolateral",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL, LeadV4, LeadV5});
         },
         &F::AnterolateralMi, 1},
        {"... no anterior",
         [](CEngineData& d) {
             SetQ(d, {LeadI, LeadAVL, LeadV4, LeadV5});
         },
         &F::AnteriorMi, 0},
        {"inferior II, aVF, III -11",
         [](CEngineData& d) {
             SetQ(d, {LeadII, LeadAVF});
             L(d, LeadIII).QA = -11;
         },
         &F::InferiorMi, 1},
        {"inferior II, aVF, III -10",
         [](CEngineData& d) {
             SetQ(d, {LeadII, LeadAVF});
             L(d, LeadIII).QA = -10;
         },
         &F::InferiorMi, 0},
        {"inferior III, aVF, II -11",
         [](CEngineData& d) {
             SetQ(d, {LeadIII, LeadAVF});
             L(d, LeadII).QA = -11;
         },
         &F::InferiorMi, 1},
        {"inferior: sum(aVF) 250",
         [](CEngineData& d) {
             SetQ(d, {LeadII, LeadAVF});
             L(d, LeadIII).QA = -50;
             L(d, LeadAVF).sumQRS = 250;
         },
         &F::InferiorMi, 0},
        {"inferior: sum(aVF) 251",
         [](CEngineData& d) {
             SetQ(d, {LeadII, LeadAVF});
             L(d, LeadIII).QA = -50;
             L(d, LeadAVF).sumQRS = 251;
         },
         &F::InferiorMi, 1},
    });
}

namespace {

// Posterior pattern: tall, broad R in V1 and V2 without Q.
void Posterior(CEngineData& d) {
    for (int l : {LeadV1, LeadV2}) {
        L(d, l).RD = 30;
        L(d, l).RA = 1200;
        L(d, l).SA = -400;
        L(d, l).sumQRS = 1600;
        L(d, l).QA = 0;
    }
}

}  // namespace

TEST(MorphologyInfarction, PosteriorAndRightBundle) {
    using F = Findings;
    const auto Rvh = [](CEngineData& d) {
        L(d, LeadV5).RA = 500;
        L(d, LeadV5).SA = -1000;
    };
    RunCases({
        {"posterior", Posterior, &F::PosteriorMi, 1},
        {"posterior: RD(V1) 29",
         [](CEngineData& d) {
             Posterior(d);
             L(d, LeadV1).RD = 29;
         },
         &F::PosteriorMi, 0},
        {"posterior: 1.5 |S(V2)| > R(V2)",
         [](CEngineData& d) {
             Posterior(d);
             L(d, LeadV2).SA = -801;
         },
         &F::PosteriorMi, 0},
        {"posterior: 1.5 |S(V2)| = R(V2)",
         [](CEngineData& d) {
             Posterior(d);
             L(d, LeadV2).SA = -800;
         },
         &F::PosteriorMi, 1},
        {"posterior: RSR' in V1",
         [](CEngineData& d) {
             Posterior(d);
             d.Measurements.QrsType[LeadV1][5] = 14;
         },
         &F::PosteriorMi, 0},
        {"posterior with pre-excitation",
         [](CEngineData& d) {
             Posterior(d);
             PreexcitationRecord(d, 10, {2, 3, 4});
         },
         &F::PosteriorMi, 0},
        {"posterior, RVH, axis 80: RVH cleared",
         [&](CEngineData& d) {
             Posterior(d);
             Rvh(d);
             RM(d).MedianRaxis = 80;
             RM(d).MedianRaxis60 = 80;
         },
         &F::RightVentricularHypertrophy, 0},
        {"posterior, RVH, axis 109: kept",
         [&](CEngineData& d) {
             Posterior(d);
             Rvh(d);
             RM(d).MedianRaxis = 109;
         },
         &F::RightVentricularHypertrophy, 1},
        {"posterior, RVH, axis 89: cleared",
         [&](CEngineData& d) {
             Posterior(d);
             Rvh(d);
             RM(d).MedianRaxis = 89;
         },
         &F::RightVentricularHypertrophy, 0},
        {"septal MI with QR clears the incomplete RBBB",
         [](CEngineData& d) {
             SetQs(d, {LeadV1, LeadV2, LeadV3});
             L(d, LeadV6).RA = 2400;
             RM(d).DominantShape = 24;
         },
         &F::IncompleteRbbb, 0},
        {"... which QR alone gives", [](CEngineData& d) { RM(d).DominantShape = 24; },
         &F::IncompleteRbbb, 1},
    });
}

TEST(MorphologyRepolarisation, Regions) {
    const auto St = [](CEngineData& d, std::initializer_list<int> leads, int v) {
        for (int l : leads)
            L(d, l).STj = L(d, l).SecondStLevel = v;
    };
    const auto T = [](CEngineData& d, std::initializer_list<int> leads, int v) {
        for (int l : leads)
            L(d, l).TA = v;
    };
    struct {
        const char* pszName;
        SetupFn setup;
        SRegionFindings Findings::*pGroup;
        std::vector<int> regions;  // flagged regions
    } cases[] = {
        {"I, aVL -150",
         [&](CEngineData& d) {
             St(d, {LeadI, LeadAVL}, -150);
         },
         &Findings::StDepression,
         {RegionHighLateral}},
        {"I -149",
         [&](CEngineData& d) {
             St(d, {LeadI, LeadAVL}, -150);
             St(d, {LeadI}, -149);
         },
         &Findings::StDepression,
         {}},
        {"inferior with inferior MI",
         [&](CEngineData& d) {
             St(d, {LeadII, LeadAVF}, -200);
             SetQ(d, {LeadII, LeadAVF});
             L(d, LeadIII).QA = -50;
         },
         &Findings::StDepression,
         {}},
        {"V2-V6 -250 with LVH",
         [&](CEngineData& d) {
             St(d, {LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, -250);
             L(d, LeadAVL).RA = 1200;
         },
         &Findings::StDepression,
         {}},
        {"V2-V6 -250",
         [&](CEngineData& d) {
             St(d, {LeadV2, LeadV3, LeadV4, LeadV5, LeadV6}, -250);
         },
         &Findings::StDepression,
         {RegionAnterolateral}},
        {"V2-V5 -200",
         [&](CEngineData& d) {
             St(d, {LeadV2, LeadV3, LeadV4, LeadV5}, -200);
         },
         &Findings::StDepression,
         {RegionAnterior}},
        {"inferior and anteroseptal",
         [&](CEngineData& d) {
             St(d, {LeadII, LeadAVF}, -150);
             St(d, {LeadV1, LeadV2, LeadV3}, -200);
         },
         &Findings::StDepression,
         {RegionInferior, RegionAnteroseptal}},
        {"V1-V3 +300 stable",
         [&](CEngineData& d) {
             St(d, {LeadV1, LeadV2, LeadV3}, 300);
         },
         &Findings::StElevation,
         {RegionAnteroseptal}},
        {"V2 unstable by 100",
         [&](CEngineData& d) {
             St(d, {LeadV1, LeadV2, LeadV3}, 300);
             L(d, LeadV2).STj = 200;
             L(d, LeadV2).SecondStLevel = 300;
         },
         &Findings::StElevation,
         {}},
        {"V2 unstable by 99",
         [&](CEngineData& d) {
             St(d, {LeadV1, LeadV2, LeadV3}, 300);
             L(d, LeadV2).STj = 201;
             L(d, LeadV2).SecondStLevel = 300;
         },
         &Findings::StElevation,
         {RegionAnteroseptal}},
        {"II, aVF +150",
         [&](CEngineData& d) {
             St(d, {LeadII, LeadAVF}, 150);
         },
         &Findings::StElevation,
         {RegionInferior}},
        {"V4-V6 +150, V5 and V6 need no stability",
         [&](CEngineData& d) {
             St(d, {LeadV4}, 150);
             L(d, LeadV5).SecondStLevel = 150;
             L(d, LeadV6).SecondStLevel = 150;
         },
         &Findings::StElevation,
         {RegionAnterolateral}},
        {"anteroseptal MI: no ST elevation there",
         [&](CEngineData& d) {
             St(d, {LeadV1, LeadV2, LeadV3}, 300);
             SetQs(d, {LeadV1, LeadV2, LeadV3});
             L(d, LeadV6).RA = 2400;
         },
         &Findings::StElevation,
         {}},
        {"T II, aVF -200",
         [&](CEngineData& d) {
             T(d, {LeadII, LeadAVF}, -200);
         },
         &Findings::TInversion,
         {RegionInferior}},
        {"T II -199",
         [&](CEngineData& d) {
             T(d, {LeadII, LeadAVF}, -200);
             T(d, {LeadII}, -199);
         },
         &Findings::TInversion,
         {}},
        {"T inversion with inferior MI",
         [&](CEngineData& d) {
             T(d, {LeadII, LeadAVF}, -300);
             SetQ(d, {LeadII, LeadAVF});
             L(d, LeadIII).QA = -50;
         },
         &Findings::TInversion,
         {}},
        {"T V3, V4 only: anterior",
         [&](CEngineData& d) {
             T(d, {LeadV3, LeadV4}, -300);
         },
         &Findings::TInversion,
         {RegionAnterior}},
        {"T all: four regions",
         [&](CEngineData& d) {
             T(d, {LeadI, LeadAVL, LeadII, LeadAVF, LeadV1, LeadV2, LeadV3, LeadV4, LeadV5, LeadV6},
               -300);
         },
         &Findings::TInversion,
         {RegionHighLateral, RegionInferior, RegionAnteroseptal, RegionAnterolateral}},
    };
    for (const auto& c : cases) {
        auto d = NormalRecord();
        c.setup(*d);
        RunCriteria(*d);
        const auto& g = d->Morphology.MorphologyFindings.*(c.pGroup);
        std::vector<int> flagged;
        for (int r = 0; r < kRegions; ++r)
            if (g.Region[r])
                flagged.push_back(r);
        EXPECT_EQ(flagged, c.regions) << c.pszName;
        EXPECT_EQ(g.RegionCount, static_cast<int>(c.regions.size())) << c.pszName;
    }

    // The rate chooses the level: 60 ms after J above 120 per minute, else 80 ms.
    for (int nRate : {120, 121}) {
        auto d = NormalRecord();
        d->HeartRate = nRate;
        for (int l : {LeadI, LeadAVL}) {
            L(*d, l).STj = -150;
            L(*d, l).SecondStLevel = -100;
        }
        RunCriteria(*d);
        EXPECT_EQ(d->Morphology.MorphologyFindings.StDepression.Region[RegionHighLateral],
                  nRate > 120)
            << nRate;
    }

    using F = Findings;
    RunCases({
        {"QTc 469", [](CEngineData& d) { d.TWave.RecordQTc = 469; }, &F::ProlongedQt, 0},
        {"QTc 470", [](CEngineData& d) { d.TWave.RecordQTc = 470; }, &F::ProlongedQt, 1},
        {"QTc 470 in criteria set 1",
         [](CEngineData& d) {
             d.TWave.RecordQTc = 470;
             d.InterpretationContext.CriteriaSet = 1;
         },
         &F::ProlongedQt, 0},
    });
}
