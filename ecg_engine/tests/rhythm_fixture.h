#pragma once
// Rhythm-stage working data filled by hand: beats as the measurements give them, a record of
// them, and the statements a run of the stage makes.
#include <memory>
#include <string>
#include <vector>

#include "ecg_engine/rhythm_stage.h"
#include "ecg_engine/statement_tables.h"
#include "record_fixture.h"
#include "testsupport/testsupport.h"

namespace ecg_engine_test {

using namespace ecg_engine;

// One beat as the measurements give it (ms, degrees, uV).
struct SBeat {
    int rr = 800, pr = 160, qrs = 90, axis = 60;
    std::vector<int> pAxes = {60};  // P waves of the beat; the last is its own
    int pAmpII = 100;               // first P wave in lead II
    int like = 100;                 // QrsLikeness: how like the dominant beat's its QRS is
    int activation = 30;            // QrsActivationTime (ms)
    // P-P interval (ms) of each P wave, 0 for the record's first; empty: the RR shared out
    // among the beat's P waves.
    std::vector<int> pp = {};
    int pDur = 90;  // ms, every P wave in every lead
};

inline SBeat Sinus(int rr = 800) {
    return SBeat{rr};
}
inline SBeat Pvc(int rr) {
    return SBeat{rr, 0, 140, -70, {}, 0, 20};
}
inline SBeat Junctional(int rr) {
    return SBeat{rr, 0, 90, 60, {}, 0};
}

inline std::unique_ptr<CEngineData> Record(const std::vector<SBeat>& beats, int nRate = 0,
                                    EEngineVariant v = EEngineVariant::Zorvik31) {
    auto d = CreateEngineData(v);
    d->bDebugOutput = false;
    InitAnalysis(*d);
    auto& m = d->Measurements;
    const int N = static_cast<int>(beats.size());
    d->BeatCount = N;
    long nSum = 0;
    for (int i = 1; i <= N && i < kMaxBeats; ++i) {
        const SBeat& b = beats[i - 1];
        m.RRint[i] = b.rr;
        m.PRint[i] = b.pr;
        m.QRSdur[i] = b.qrs;
        m.Raxis[i] = b.axis;
        m.Raxis60[i] = b.axis;
        m.QrsLikeness[i] = b.like;
        m.QrsActivationTime[i] = b.activation;
        m.PaxisCount[i - 1] = static_cast<int>(b.pAxes.size());
        for (std::size_t k = 0; k < b.pAxes.size(); ++k)
            m.Paxis[(i - 1) * kMaxPWavesPerBeat + k] = b.pAxes[k];
        const int nP = static_cast<int>(b.pAxes.size());
        m.PPintCount[i - 1] = nP;
        for (int k = 0; k < nP; ++k) {
            const int nPp = k < static_cast<int>(b.pp.size()) ? b.pp[k] : b.rr / nP;
            m.PPint[(i - 1) * kMaxPWavesPerBeat + k] = nPp;
            d->PWave.PPint[LeadII][i - 1][k] = nPp;
        }
        d->PWave.PCount[LeadII][i - 1] = nP;
        d->PWave.PAmp[LeadII][i - 1][0] = b.pAmpII;
        for (int k = 0; k < nP; ++k) {
            d->PWave.PAmp[LeadII][i - 1][k] = b.pAmpII;
            d->PWave.PDur[LeadII][i - 1][k] = b.pDur;
        }
        for (int l = 0; l < kLeads; ++l) {
            m.ampQRS[l][i] = 800;
            m.sumQRS[l][i] = b.qrs > 120 ? 2000 : 1200;
            m.QrsType[l][i] = 0x0C;
            m.PD[l][i] = nP > 0 ? b.pDur : 0;
            m.PA[l][i] = nP > 0 ? b.pAmpII : 0;
        }
        nSum += b.rr;
    }
    for (int l = 0; l < kLeads; ++l)
        d->Qrs.LeadBeatList.nCount[l] = N;
    m.RRint[0] = m.PRint[0] = m.QRSdur[0] = m.Raxis[0] = m.QrsLikeness[0] =
        m.QrsActivationTime[0] = N;
    d->HeartRate = nRate ? nRate : (N ? static_cast<int>(60000 / (nSum / N)) : 0);
    d->InterpretationContext.CriteriaSet = 2;
    d->pszSecondArgument = "1";
    SelectStatementLanguage(*d);
    return d;
}

inline std::vector<std::string> Statements(const CEngineData& d) {
    std::vector<std::string> a;
    for (int k = 1; k <= d.Finish.RhythmStatementCount; ++k)
        a.push_back(d.RhythmStatementSlots[k].data());
    return a;
}

inline std::vector<std::string> Analyse(CEngineData& d) {
    testsupport::CTempDir dir;
    ecg_engine_test::CWorkingFolder folder(dir.Path());
    RunRhythmAnalysis(d);
    return Statements(d);
}

inline std::vector<SBeat> Repeat(const std::vector<SBeat>& pattern, int n) {
    std::vector<SBeat> a;
    while (static_cast<int>(a.size()) < n)
        a.push_back(pattern[a.size() % pattern.size()]);
    return a;
}

using Texts = std::vector<std::string>;

}  // namespace ecg_engine_test
