// Atrial enlargement and ventricular hypertrophy.
#include <algorithm>

#include "morphology_internal.h"

namespace ecg_engine {

using namespace morphology;

namespace {

// Patient group 0; the left ventricular voltages are those of criteria set 2.
const SHypertrophyThresholds kHypertrophyThresholds[] = {
    {268, 260, 108, -102, 120, 501, 701, 200, 8, 500, 108, -88, 3500, 4000, 2700, 1100},
};

}  // namespace

const SHypertrophyThresholds& HypertrophyThresholds(const CEngineData& d) {
    (void)d.InterpretationContext.PatientGroup;
    return kHypertrophyThresholds[0];
}

void FindAtrialEnlargement(CEngineData& d) {
    const auto& t = HypertrophyThresholds(d);
    auto& f = Findings(d);
    // Flutter or fibrillation waves are no P waves.
    if (!FlutterOrFibrillation(d)) {
        if (Rep(d, LeadII).PA >= t.nRaePaII || Rep(d, LeadAVF).PA >= t.nRaePaAvf)
            f.RightAtrialEnlargement = 1;
        if (d.Detection.LeadQuality12[LeadI] == LeadGoodQuality &&
            Rep(d, LeadII).PD >= t.nLaePdII && Rep(d, LeadV1).PA <= t.nLaePaV1)
            f.LeftAtrialEnlargement = 1;
    }
    if (f.RightAtrialEnlargement && f.LeftAtrialEnlargement) {
        f.BiatrialEnlargement = 1;
        f.RightAtrialEnlargement = f.LeftAtrialEnlargement = 0;
    }
}

void FindVentricularHypertrophy(CEngineData& d) {
    const auto& t = HypertrophyThresholds(d);
    auto& f = Findings(d);
    const auto& rm = d.Rhythm.RepresentativeMeasures;
    const auto& V1 = Rep(d, LeadV1);
    const auto& V2 = Rep(d, LeadV2);
    const auto& V5 = Rep(d, LeadV5);
    const auto& V6 = Rep(d, LeadV6);
    const std::int64_t R5 = std::max(V5.RA, V5.RPrimeAmplitude);
    const std::int64_t R6 = std::max(V6.RA, V6.RPrimeAmplitude);

    if (rm.MedianQRSdur <= t.nRvhMaxQrs) {
        int nScore = 0;
        if (V1.sumQRS >= t.nRvhSumQrsV1 &&
            (V1.RA >= t.nRvhRaV1 || (V1.SA != 0 && V1.RA > Abs(V1.SA)) ||
             (V1.SA != 0 && Abs(V1.SA) < t.nRvhSaV1)))
            ++nScore;
        // |S| > 0.8 x R, in tenths so that the limit stays exact.
        const auto DeepS = [&](const SLeadRepresentative& v, std::int64_t R) {
            return 10 * Abs(v.SA) > t.nRvhSToRTenths * R && R > 0 && v.sumQRS > t.nRvhSumQrsV56;
        };
        if (DeepS(V5, R5) || DeepS(V6, R6))
            ++nScore;
        const int a = rm.MedianRaxis;
        if (a > t.nRvhAxisRight || (a > -180 && a < t.nRvhAxisNorthwest))
            ++nScore;
        if (nScore == 3)
            f.RightVentricularHypertrophy = 1;
        else if (nScore == 2)
            f.ProbableRvh = 1;
    }

    const std::int64_t SV1 = Abs(V1.SA), SV2 = Abs(V2.SA);
    if (SV1 + R5 >= t.nLvhSv1R56 || SV1 + R6 >= t.nLvhSv1R56 || V5.RA + SV2 >= t.nLvhRv56Sv2 ||
        V6.RA + SV2 >= t.nLvhRv56Sv2 || R5 >= t.nLvhR56 || R6 >= t.nLvhR56 ||
        Rep(d, LeadAVL).RA > t.nLvhRaVl)
        f.LeftVentricularHypertrophy = 1;

    if (f.LeftVentricularHypertrophy && (f.RightVentricularHypertrophy || f.AxisRight)) {
        f.BiventricularHypertrophy = 1;
        f.RightVentricularHypertrophy = f.LeftVentricularHypertrophy = 0;
    }
}

}  // namespace ecg_engine
