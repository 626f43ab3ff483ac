// Infarction by region: pathological Q waves and QS complexes.
#include "morphology_internal.h"

namespace ecg_engine {

using namespace morphology;

namespace {

// Patient group 0.
const SInfarctionThresholds kInfarctionThresholds[] = {
    {30, 40, 4, 2, 100, 2500, 121, 300, 250, 101, -10, 30, 500},
};

}  // namespace

const SInfarctionThresholds& InfarctionThresholds(const CEngineData& d) {
    (void)d.InterpretationContext.PatientGroup;
    return kInfarctionThresholds[0];
}

void FindInfarction(CEngineData& d) {
    const auto& t = InfarctionThresholds(d);
    auto& f = Findings(d);
    const auto& rm = d.Rhythm.RepresentativeMeasures;
    const auto& qs = d.Morphology.QsFlag;
    const auto R = [&](int l) -> const SLeadRepresentative& { return Rep(d, l); };
    // The recurring Q test: long enough, and R small beside it.
    const auto LongQ = [&](int l) { return R(l).QD >= t.nQDuration; };
    const auto SmallR = [&](int l, int nFactor) {
        return static_cast<std::int64_t>(R(l).RA) < nFactor * Abs(R(l).QA);
    };
    const auto LimbQ = [&](int l, int nSum) {
        return LongQ(l) && SmallR(l, t.nRToQ) && R(l).QD < t.nMaxQDuration &&
               Abs(R(l).sumQRS) > nSum;
    };

    const int q = qs[LeadV1] + qs[LeadV2] + qs[LeadV3];

    const int a = LongQ(LeadV4) + SmallR(LeadV4, t.nRToQ) + LongQ(LeadV5) + SmallR(LeadV5, t.nRToQ);
    if ((q >= 1 && qs[LeadV4] && qs[LeadV5]) || a == 4)
        f.AnteriorMi = 1;

    int s = 0;
    for (int l : {LeadV1, LeadV2, LeadV3})
        s += LongQ(l) && Abs(R(l).QA) > t.nSeptalQAmplitude;
    const bool bSmallV6 = R(LeadV6).RA < t.nRaV6;
    if (s == 3)
        f.AnteroseptalMi = 1;
    else if (q == 3 && bSmallV6)
        f.AnteroseptalMi = 1;
    else if (q >= 2) {
        // Three QS complexes with a tall R in V6 land here too (first matching rule).
        if (s >= 2 || bSmallV6)
            f.PossibleAnteroseptalMi = 1;
    } else if (s == 2 && bSmallV6) {
        f.PossibleAnteroseptalMi = 1;
    }
    if (f.AnteroseptalMi || f.PossibleAnteroseptalMi)
        f.RightVentricularHypertrophy = f.ProbableRvh = 0;

    if (rm.MedianQRSdur < t.nLateralMaxQrs && LongQ(LeadV5) && SmallR(LeadV5, t.nRToQ) &&
        LongQ(LeadV6) && SmallR(LeadV6, t.nRToQ))
        f.LateralMi = 1;

    if (f.AnteroseptalMi && f.AnteriorMi && f.LateralMi) {
        f.AnteriorExtensiveMi = 1;
        f.AnteroseptalMi = f.AnteriorMi = f.LateralMi = 0;
    }

    const int h = LongQ(LeadI) +
                  (SmallR(LeadI, t.nRToQ) && Abs(R(LeadI).sumQRS) > t.nLimbSumQrs &&
                   R(LeadI).QD < t.nMaxQDuration) +
                  (R(LeadAVL).QD >= t.nQDurationAvl) +
                  (SmallR(LeadAVL, t.nRToQAvl) && Abs(R(LeadAVL).sumQRS) > t.nLimbSumQrs &&
                   R(LeadAVL).QD < t.nMaxQDuration);
    if (!f.Preexcitation && h == 4)
        f.HighLateralMi = 1;

    if (f.HighLateralMi && f.LateralMi)
        f.HighLateralMi = 0;
    if ((f.HighLateralMi || f.LateralMi) && f.AnteriorMi) {
        f.AnterolateralMi = 1;
        f.LateralMi = f.HighLateralMi = f.AnteriorMi = 0;
    }

    const bool bQII = LimbQ(LeadII, t.nLimbSumQrs), bQIII = LimbQ(LeadIII, t.nLimbSumQrs),
               bQaVF = LimbQ(LeadAVF, t.nAvfSumQrs);
    if ((bQII && bQaVF && R(LeadIII).QA < t.nInferiorQa) ||
        (bQIII && bQaVF && R(LeadII).QA < t.nInferiorQa))
        f.InferiorMi = 1;

    const auto& V1 = R(LeadV1);
    const auto& V2 = R(LeadV2);
    const int p = (V1.RD >= t.nPosteriorRd && Abs(V1.sumQRS) > t.nPosteriorSumQrs) +
                  (V1.QA == 0 && Abs(V1.SA) <= V1.RA) +
                  (V2.RD >= t.nPosteriorRd && Abs(V2.sumQRS) > t.nPosteriorSumQrs) +
                  (V2.QA == 0 && 3 * Abs(V2.SA) <= 2 * static_cast<std::int64_t>(V2.RA)) +
                  (d.Morphology.RsrPrimeFlag[LeadV1] == 0);
    if (!f.Preexcitation && p == 5) {
        f.PosteriorMi = 1;
        if (f.RightVentricularHypertrophy && rm.MedianRaxis > -90 && rm.MedianRaxis < 90)
            f.RightVentricularHypertrophy = 0;
    }

    // A QR in V1 is the septal infarction's, not a right bundle branch block's: the first
    // right bundle finding goes.
    if ((f.PossibleAnteroseptalMi || f.AnteroseptalMi || f.AnteriorExtensiveMi) &&
        rm.DominantShape == 24) {
        if (f.IncompleteRbbb)
            f.IncompleteRbbb = 0;
        else if (f.CompleteRbbb)
            f.CompleteRbbb = 0;
        else if (f.BifascicularRbbbLpfb)
            f.BifascicularRbbbLpfb = 0;
        else if (f.BifascicularRbbbLafb)
            f.BifascicularRbbbLafb = 0;
    }
    // The clearing of a nonspecific conduction delay that an infarction would explain is
    // left out: it needs a QRS of at most 50 ms, which such a delay never has.
}

}  // namespace ecg_engine
