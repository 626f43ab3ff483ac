#pragma once
// Accessors the rhythm stage's files share: per-beat values by 1-based beat number, and the
// findings. Beats outside 1..65 read as 0.
#include <algorithm>

#include "ecg_engine/rhythm_stage.h"

namespace ecg_engine::rhythm {

inline std::int32_t At(const BeatTable& list, int i) {
    return (i >= 1 && i < kMaxBeats) ? list[i] : 0;
}

inline std::int32_t RR(const CEngineData& d, int i) {
    return At(d.Measurements.RRint, i);
}
inline std::int32_t PR(const CEngineData& d, int i) {
    return At(d.Measurements.PRint, i);
}
inline std::int32_t QRS(const CEngineData& d, int i) {
    return At(d.Measurements.QRSdur, i);
}
inline std::int32_t AX(const CEngineData& d, int i) {
    return At(d.Measurements.Raxis, i);
}

// P axes of beat i (1-based): count (at most 9) and the k-th axis (1-based).
inline int PAxisCount(const CEngineData& d, int i) {
    if (i < 1 || i > kRhythmBeats)
        return 0;
    return std::clamp(d.Measurements.PaxisCount[i - 1], 0, kPAxisSlots - 1);
}
inline std::int32_t PAxis(const CEngineData& d, int i, int k) {
    return d.Measurements.Paxis[(i - 1) * kMaxPWavesPerBeat + (k - 1)];
}
// The beat's own P wave is the last of its list.
inline bool LastPIsSinus(const CEngineData& d, int i) {
    const int n = PAxisCount(d, i);
    return n > 0 && d.Rhythm.PAxisOk[i][n] == 1;
}

inline bool Has(const CEngineData& d, int nFinding) {
    return d.Rhythm.RhythmFindings[nFinding] != 0;
}
inline void Set(CEngineData& d, int nFinding) {
    d.Rhythm.RhythmFindings[nFinding] = 1;
}
inline void Clear(CEngineData& d, int nFinding) {
    d.Rhythm.RhythmFindings[nFinding] = 0;
}

// 60000 / HR in whole ms, 0 without a rate.
inline int BaseInterval(const CEngineData& d) {
    return d.HeartRate > 0 ? 60000 / d.HeartRate : 0;
}

// Whether the P waves keep no steady PR above steadily beating ventricles (rhythm_classify).
bool PWavesDissociated(CEngineData& d);

// The most of the values list[1..list[0]] that one band of nBand holds.
inline int MostInOneBand(BeatList list, int nBand) {
    const int n = std::clamp(list[0], 0, kRhythmBeats);
    std::sort(list.begin() + 1, list.begin() + n + 1);
    int nMost = 0;
    for (int lo = 1, hi = 1; hi <= n; ++hi) {
        while (list[hi] - list[lo] > nBand)
            ++lo;
        nMost = std::max(nMost, hi - lo + 1);
    }
    return nMost;
}

// An escape beat comes later than this times the median interval.
constexpr double kEscapeRatio = 1.2;

// Median RR over all beats (0 without beats).
inline int MedianRR(CEngineData& d) {
    return MedianOf(d, d.Measurements.RRint, RhythmBeats(d));
}

}  // namespace ecg_engine::rhythm
