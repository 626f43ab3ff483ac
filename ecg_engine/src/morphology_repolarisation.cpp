// Repolarisation: ST depression, ST elevation and T inversion by region, and long QT.
#include <cstdlib>

#include "morphology_internal.h"

namespace ecg_engine {

using namespace morphology;

namespace {

// Patient group 0; QTc of criteria set 2 (criteria set 1 adds 30 ms).
const SRepolarisationThresholds kRepolarisationThresholds[] = {
    {-150, -200, 150, 300, 150, 100, -200, 470, 30},
};

void Count(SRegionFindings& g) {
    g.RegionCount = 0;
    for (int r : g.Region)
        g.RegionCount += r != 0;
}

}  // namespace

const SRepolarisationThresholds& RepolarisationThresholds(const CEngineData& d) {
    (void)d.InterpretationContext.PatientGroup;
    return kRepolarisationThresholds[0];
}

void FindStDepression(CEngineData& d) {
    const auto& t = RepolarisationThresholds(d);
    auto& f = Findings(d);
    auto& g = f.StDepression;
    const auto& v = d.InterpretationContext.RateSelectedLeadValues;
    const bool bLvh = f.LeftVentricularHypertrophy != 0;
    const auto Low = [&](int l) { return v[l] <= t.nChestStDepression; };

    g.Region[RegionHighLateral] = Flag(v[LeadI] <= t.nLimbStDepression &&
                                       v[LeadAVL] <= t.nLimbStDepression && !f.HighLateralMi);
    g.Region[RegionInferior] = Flag(v[LeadII] <= t.nLimbStDepression &&
                                    v[LeadAVF] <= t.nLimbStDepression && !f.InferiorMi);
    g.Region[RegionAnteroseptal] =
        Flag(Low(LeadV1) && Low(LeadV2) && Low(LeadV3) && !f.AnteroseptalMi &&
             !f.PossibleAnteroseptalMi && !f.AnteriorExtensiveMi);
    g.Region[RegionAnterolateral] = Flag(Low(LeadV4) && Low(LeadV5) && Low(LeadV6) && !bLvh &&
                                         !f.AnterolateralMi && !f.AnteriorExtensiveMi);
    const int n = Low(LeadV2) + Low(LeadV3) + (Low(LeadV4) && !bLvh) + (Low(LeadV5) && !bLvh);
    g.Region[RegionAnterior] =
        Flag(n >= 3 && !g.Region[RegionAnteroseptal] && !g.Region[RegionAnterolateral] &&
             !f.AnteriorMi && !f.AnteriorExtensiveMi && !f.AnteroseptalMi &&
             !f.PossibleAnteroseptalMi && !f.AnterolateralMi);
    Count(g);
}

void FindStElevation(CEngineData& d) {
    const auto& t = RepolarisationThresholds(d);
    auto& f = Findings(d);
    auto& g = f.StElevation;
    const auto& v = d.InterpretationContext.RateSelectedLeadValues;
    const auto Stable = [&](int l) {
        const auto& r = Rep(d, l);
        return std::llabs(static_cast<long long>(r.SecondStLevel) - r.STj) < t.nStStability;
    };
    const auto Up = [&](int l, int nLimit) { return v[l] >= nLimit && Stable(l); };

    g.Region[RegionHighLateral] =
        Flag(Up(LeadI, t.nLimbStElevation) && Up(LeadAVL, t.nLimbStElevation) && !f.HighLateralMi);
    g.Region[RegionInferior] =
        Flag(Up(LeadII, t.nLimbStElevation) && Up(LeadAVF, t.nLimbStElevation) && !f.InferiorMi);
    g.Region[RegionAnteroseptal] =
        Flag(Up(LeadV1, t.nSeptalStElevation) && Up(LeadV2, t.nSeptalStElevation) &&
             Up(LeadV3, t.nSeptalStElevation) && !f.AnteroseptalMi && !f.PossibleAnteroseptalMi &&
             !f.AnteriorExtensiveMi);
    g.Region[RegionAnterolateral] =
        Flag(Up(LeadV4, t.nLateralStElevation) && v[LeadV5] >= t.nLateralStElevation &&
             v[LeadV6] >= t.nLateralStElevation && !f.AnterolateralMi && !f.AnteriorExtensiveMi);
    const int n = Up(LeadV2, t.nSeptalStElevation) + Up(LeadV3, t.nSeptalStElevation) +
                  Up(LeadV4, t.nLateralStElevation) + Up(LeadV5, t.nLateralStElevation);
    g.Region[RegionAnterior] =
        Flag(n >= 3 && !g.Region[RegionAnteroseptal] && !g.Region[RegionAnterolateral] &&
             !f.AnteriorMi && !f.AnteriorExtensiveMi && !f.AnteroseptalMi &&
             !f.PossibleAnteroseptalMi && !f.AnterolateralMi);
    Count(g);
}

void FindTInversion(CEngineData& d) {
    const auto& t = RepolarisationThresholds(d);
    auto& f = Findings(d);
    auto& g = f.TInversion;
    const auto Inv = [&](int l) { return Rep(d, l).TA <= t.nTInversion; };

    g.Region[RegionHighLateral] = Flag(Inv(LeadI) && Inv(LeadAVL) && !f.HighLateralMi);
    g.Region[RegionInferior] =
        Flag(Inv(LeadII) + Inv(LeadIII) + Inv(LeadAVF) >= 2 && !f.InferiorMi);
    g.Region[RegionAnteroseptal] =
        Flag(Inv(LeadV1) + Inv(LeadV2) + Inv(LeadV3) >= 2 && !f.AnteroseptalMi &&
             !f.PossibleAnteroseptalMi && !f.AnteriorExtensiveMi);
    g.Region[RegionAnterolateral] = Flag(Inv(LeadV4) + Inv(LeadV5) + Inv(LeadV6) >= 2 &&
                                         !f.AnterolateralMi && !f.AnteriorExtensiveMi);
    g.Region[RegionAnterior] =
        Flag(Inv(LeadV3) && Inv(LeadV4) && !g.Region[RegionAnteroseptal] &&
             !g.Region[RegionAnterolateral] && !f.AnteriorMi && !f.AnteroseptalMi &&
             !f.PossibleAnteroseptalMi && !f.AnterolateralMi && !f.AnteriorExtensiveMi);
    Count(g);
}

void FindProlongedQt(CEngineData& d) {
    const auto& t = RepolarisationThresholds(d);
    const int nLimit =
        t.nProlongedQtc + (d.InterpretationContext.CriteriaSet == 1 ? t.nCriteriaSet1QtcExtra : 0);
    if (d.TWave.RecordQTc >= nLimit)
        Findings(d).ProlongedQt = 1;
}

}  // namespace ecg_engine
