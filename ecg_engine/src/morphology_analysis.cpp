// The waveform (morphology) stage driver: shape flags of the representative beats, the
// criteria in their binding order, the statements and the report line.
#include <algorithm>

#include "ecg_engine/morphology_stage.h"
#include "ecg_engine/rhythm_stage.h"

namespace ecg_engine {

namespace {

constexpr int kQrsTypeQs = 16;        // Q only
constexpr int kQrsTypeRsrPrime = 14;  // R, S, R'

}  // namespace

int RepresentativeBeatOf(const CEngineData& d, int nLead) {
    const int N = RhythmBeats(d);
    if (N < 1 || nLead < 0 || nLead >= kLeads)
        return 0;
    const int b = d.Finish.RepresentativeBeat[nLead];
    // As the representative measures: without a chosen beat, the beat N div 2 (from 0).
    return (b >= 2 && b <= N) ? b : std::min(N / 2 + 1, N);
}

void FillLeadShapeFlags(CEngineData& d) {
    auto& t = d.Morphology;
    t.QsFlag.fill(0);
    t.RsrPrimeFlag.fill(0);
    for (int l = 0; l < kLeads; ++l) {
        const int b = RepresentativeBeatOf(d, l);
        // Only a beat the lead really has (its own count in slot 0) carries a shape.
        const int nLeadBeats = std::clamp(d.Measurements.QrsType[l][0], 0, kMaxBeats - 1);
        if (b < 1 || b > nLeadBeats)
            continue;
        const int nType = d.Measurements.QrsType[l][b];
        t.QsFlag[l] = nType == kQrsTypeQs;
        t.RsrPrimeFlag[l] = nType == kQrsTypeRsrPrime;
    }
}

int RunMorphologyAnalysis(CEngineData& d) {
    for (auto& s : d.WaveformStatementSlots)
        s.fill('\0');
    d.Finish.WaveformStatementCount = 0;
    d.Morphology.QsFlag.fill(0);
    d.Morphology.RsrPrimeFlag.fill(0);
    // Measures of beats that do not exist are zeros, which would read as low voltage: a
    // record without beats (or a ventricular rhythm) gets no waveform statement.
    if (RhythmBeats(d) < 1 || d.Rhythm.VentricularMark == kVentricularMarkRhythm)
        return 0;

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

    d.Finish.WaveformStatementCount = SelectWaveformStatements(d);
    if (d.Finish.WaveformStatementCount >= 1 && d.Variant == EEngineVariant::Zorvik31)
        (void)WriteMorphologyReport(d, d.pszInputArgument, d.pszSecondArgument);
    return 0;
}

}  // namespace ecg_engine
