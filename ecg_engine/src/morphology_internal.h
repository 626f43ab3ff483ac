#pragma once
// Accessors the waveform stage's files share.
#include <cstdint>
#include <cstdlib>

#include "ecg_engine/morphology_stage.h"

namespace ecg_engine::morphology {

// The representative beat's values of a lead.
inline const SLeadRepresentative& Rep(const CEngineData& d, int nLead) {
    return d.Rhythm.RepresentativeMeasures.Lead[nLead];
}
inline SMorphologyFindings& Findings(CEngineData& d) {
    return d.Morphology.MorphologyFindings;
}
// Magnitude without overflow at the 32-bit minimum.
inline std::int64_t Abs(std::int32_t n) {
    return std::llabs(static_cast<long long>(n));
}
inline std::int32_t Flag(bool b) {
    return b ? 1 : 0;
}
// Rhythm findings 124 (atrial flutter) and 125 (atrial fibrillation).
inline bool FlutterOrFibrillation(const CEngineData& d) {
    return d.Rhythm.RhythmFindings[124] != 0 || d.Rhythm.RhythmFindings[125] != 0;
}

}  // namespace ecg_engine::morphology
