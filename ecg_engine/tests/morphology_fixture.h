#pragma once
// Working data of the waveform stage filled by hand: a record of normal beats to change
// case by case, and the criteria run in the stage's order.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ecg_engine/morphology_stage.h"
#include "ecg_engine/rhythm_stage.h"

namespace morphology_test {

using namespace ecg_engine;

using Findings = SMorphologyFindings;
using SetupFn = std::function<void(CEngineData&)>;

// A record of ten normal beats: every lead with an RS complex of 1500 uV, upright T, flat ST,
// r waves growing from V1 to V6, axis 60, QRS 90 ms, QTc 420 ms; nothing the criteria flag but the
// normal axis.
inline std::unique_ptr<CEngineData> NormalRecord(int nLanguage = 0,
                                                 EEngineVariant v = EEngineVariant::Zorvik31) {
    auto d = CreateEngineData(v);
    d->bDebugOutput = false;
    InitAnalysis(*d);
    d->BeatCount = 10;
    d->HeartRate = 75;
    d->InterpretationContext.nLanguage = nLanguage;
    d->InterpretationContext.CriteriaSet = 2;
    auto& rm = d->Rhythm.RepresentativeMeasures;
    for (auto& l : rm.Lead) {
        l = SLeadRepresentative{};
        l.PA = 100;
        l.PD = 90;
        l.RA = 1000;
        l.RD = 40;
        l.SA = -500;
        l.SD = 30;
        l.sumQRS = 1500;
        l.TA = 300;
        l.QrsComplexType = 0x0C;
    }
    // Chest leads progress from a small r with a deep S in V1 to R waves in V5, V6.
    rm.Lead[LeadV1].RA = 300;
    rm.Lead[LeadV1].SA = -1000;
    rm.Lead[LeadV2].RA = 500;
    rm.Lead[LeadV2].SA = -1200;
    rm.MedianRaxis = 60;
    rm.MedianRaxis60 = 60;
    rm.MedianQRSdur = 90;
    rm.MedianPRint = 160;
    rm.DominantShape = 0x0C;
    d->TWave.RecordQTc = 420;
    for (int l = 0; l < kLeads; ++l) {
        d->Finish.RepresentativeBeat[l] = 5;
        d->Measurements.QrsType[l][0] = 10;
        for (int b = 1; b <= 10; ++b)
            d->Measurements.QrsType[l][b] = 0x0C;
    }
    SelectStatementLanguage(*d);
    return d;
}

// The criteria in the stage's order, with the rate-selected ST levels as the driver sets them.
inline void RunCriteria(CEngineData& d) {
    const auto& rm = d.Rhythm.RepresentativeMeasures;
    for (int l = 0; l < kLeads; ++l)
        d.InterpretationContext.RateSelectedLeadValues[l] =
            d.HeartRate > 120 ? rm.Lead[l].STj : rm.Lead[l].SecondStLevel;
    d.Morphology.MorphologyFindings = Findings{};
    FillLeadShapeFlags(d);
    FindLowVoltage(d);
    ClassifyAxis(d);
    FindAtrialEnlargement(d);
    FindVentricularHypertrophy(d);
    FindConductionBlocks(d);
    FindPreexcitation(d);
    FindInfarction(d);
    FindStDepression(d);
    FindStElevation(d);
    FindTInversion(d);
    FindProlongedQt(d);
}

inline SLeadRepresentative& L(CEngineData& d, int nLead) {
    return d.Rhythm.RepresentativeMeasures.Lead[nLead];
}
inline SRepresentativeMeasures& RM(CEngineData& d) {
    return d.Rhythm.RepresentativeMeasures;
}

inline std::vector<std::string> Slots(const CEngineData& d) {
    std::vector<std::string> a;
    for (int k = 1; k <= d.Finish.WaveformStatementCount; ++k)
        a.push_back(d.WaveformStatementSlots[k].data());
    return a;
}

using Texts = std::vector<std::string>;

}  // namespace morphology_test
