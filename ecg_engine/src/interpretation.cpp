// Interpretation driver: the statement language, the rhythm stage, the ST levels that the
// waveform criteria judge, and the waveform stage.
#include "ecg_engine/rhythm_stage.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/statement_tables.h"

namespace ecg_engine {

void SelectStatementLanguage(CEngineData& d) {
    // The older build always writes English, from its own 71-row rhythm table.
    if (d.Variant == EEngineVariant::Zorvik21) {
        d.RhythmStatementTable = Zorvik21RhythmStatementRows();
        d.WaveformStatementTable = WaveformStatementRows(0);
        return;
    }
    int nLanguage = d.InterpretationContext.nLanguage;
    if (nLanguage < 0 || nLanguage >= kStatementLanguages)
        nLanguage = 0;
    d.RhythmStatementTable = RhythmStatementRows(nLanguage);
    d.WaveformStatementTable = WaveformStatementRows(nLanguage);
}

int RunInterpretation(CEngineData& d) {
    auto& ctx = d.InterpretationContext;
    ctx.PatientGroup = 0;
    ctx.CriteriaSet = 2;
    if (d.Variant == EEngineVariant::Zorvik21)
        ctx.nLanguage = 0;
    SelectStatementLanguage(d);

    if (RunRhythmAnalysis(d) != 0) {
        FinishAnalysis(d);
        return 0;
    }

    // Above 120 per minute the ST segment is short: judge it 60 ms after the J point,
    // otherwise 80 ms after it.
    const auto& rm = d.Rhythm.RepresentativeMeasures;
    for (int l = 0; l < kLeads; ++l)
        ctx.RateSelectedLeadValues[l] =
            d.HeartRate > 120 ? rm.Lead[l].STj : rm.Lead[l].SecondStLevel;

    if (d.Rhythm.VentricularMark == kVentricularMarkRhythm) {
        for (auto& s : d.WaveformStatementSlots)
            s.fill('\0');
        d.Finish.WaveformStatementCount = 0;
        return 0;
    }
    if (RunMorphologyAnalysis(d) != 0) {
        FinishAnalysis(d);
        return 0;
    }
    return 0;
}

}  // namespace ecg_engine
