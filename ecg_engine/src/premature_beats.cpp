// Premature ventricular, atrial and junctional beats with their runs, bigeminy and
// trigeminy, and escape beats and rhythms.
#include <algorithm>
#include <cstdlib>

#include "ecg_engine/rhythm_stage.h"
#include "rhythm_internal.h"

namespace ecg_engine {

using namespace rhythm;

namespace {

// Longest run of consecutive qualifying beats, the number of them, and their marks.
struct SRunCounter {
    int nRun = 0, nLongest = 0, nCount = 0, nFirst = 0;
    BeatList marks{};
    void Qualify(int i, int nBeats = 1) {
        for (int k = 0; k < nBeats && i + k < kBeatListSlots; ++k) {
            marks[i + k] = 1;
            ++marks[0];
        }
        if (nFirst == 0)
            nFirst = i;
        nRun += nBeats;
        nCount += nBeats;
        nLongest = std::max(nLongest, nRun);
    }
    void Break() { nRun = 0; }
};

// The findings of a premature-beat criterion: a long run is a rhythm, 3..5 a short run,
// else single beats, in bigeminy or trigeminy.
void SetPrematureFindings(CEngineData& d, const SRunCounter& c, int nRhythm, int nShortRun,
                          int nSingle, int nBigeminy, int nTrigeminy, bool bRhythmAllowed = true) {
    if (c.nLongest > 5 && bRhythmAllowed) {
        Set(d, nRhythm);
        return;
    }
    if (c.nLongest >= 3 && c.nLongest <= 5) {
        Set(d, nShortRun);
        return;
    }
    if (c.nCount == 0)
        return;
    Set(d, nSingle);
    if (HasBigeminy(d, c.nFirst, c.marks)) {
        Set(d, nBigeminy);
        Clear(d, nSingle);
    } else if (HasTrigeminy(d, c.nFirst, c.marks)) {
        Set(d, nTrigeminy);
        Clear(d, nSingle);
    }
}

struct SEscapeCriterion {
    int nLabel;
    int aPrevious[3];
    int nRateLimit;
    int nKind;
    int nBeatFinding, nRhythmFinding;
    int nFallbackList;
};

void DetectEscape(CEngineData& d, const SEscapeCriterion& e) {
    auto& r = d.Rhythm;
    const auto& L = r.BeatType;
    const int N = RhythmBeats(d);
    const double mRR = MedianRR(d);
    SRunCounter c;
    for (int i = 1; i <= N; ++i) {
        const int nRR = RR(d, i);
        const bool bPrevious =
            i < 2 || std::find(std::begin(e.aPrevious), std::end(e.aPrevious), L[i - 1]) !=
                         std::end(e.aPrevious);
        const bool bLate = nRR > kEscapeRatio * mRR && nRR > 0 && 60000 / nRR < e.nRateLimit;
        if (L[i] == e.nLabel && bPrevious && bLate) {
            r.EctopicKind[i] = e.nKind;
            c.Qualify(i);
        } else {
            c.Break();
        }
    }
    if (c.nLongest > 2) {
        Set(d, e.nRhythmFinding);
        return;
    }
    if (c.nCount > 0) {
        Set(d, e.nBeatFinding);
        return;
    }
    if (FindBeatRun(d, r.BeatTypeLists[e.nFallbackList], 3) && d.HeartRate < e.nRateLimit)
        Set(d, e.nRhythmFinding);
}

// The sinus cycle: the median of the intervals that end in a beat the atria conducted, which
// the ventricular beats' own short coupling intervals would shorten; of all intervals when
// every beat is ventricular.
int MedianAtrialRR(CEngineData& d) {
    const int N = RhythmBeats(d);
    BeatList rr{};
    for (int i = 1; i <= N; ++i) {
        if (d.Rhythm.VentricularQrs[i] != 1)
            rr[++rr[0]] = RR(d, i);
    }
    return rr[0] > 0 ? MedianOf(d, rr, rr[0]) : MedianRR(d);
}

}  // namespace

// A ventricular beat (told by its QRS against the dominant beat's) is a PVC when it comes
// early against the sinus cycle; beneath fibrillation or flutter, whose intervals say nothing
// of it, when it does not come as late as an escape beat. Beneath an atrial rhythm, an early
// beat between two conducted beats whose next interval completes one sinus cycle is
// interpolated: the sinus beat after it keeps its time.
void DetectPvc(CEngineData& d) {
    auto& r = d.Rhythm;
    r.PvcList.fill(0);
    const int N = RhythmBeats(d);
    const double mRR = MedianRR(d);
    const double mSinus = MedianAtrialRR(d);
    const double dPremature = RhythmThresholds(d).dPvcPrematureRatio * mSinus;
    const bool bAtrialRhythm = !Has(d, 124) && !Has(d, 125);
    SRunCounter c;
    for (int i = 1; i <= N; ++i) {
        const bool bEarly = bAtrialRhythm ? RR(d, i) < dPremature : RR(d, i) <= kEscapeRatio * mRR;
        if (r.VentricularQrs[i] != 1 || !bEarly) {
            c.Break();
            continue;
        }
        const double dSum = RR(d, i) + (i < N ? RR(d, i + 1) : 0);
        const bool bBetweenConducted =
            i >= 2 && i < N && r.VentricularQrs[i - 1] != 1 && r.VentricularQrs[i + 1] != 1;
        if (bAtrialRhythm && bBetweenConducted && dSum >= 0.85 * mSinus && dSum <= 1.15 * mSinus) {
            c.Qualify(i, 2);
            ++i;
        } else {
            r.EctopicKind[i] = EctopicPvc;
            c.Qualify(i);
        }
    }
    r.PvcList = c.marks;
    SetPrematureFindings(d, c, 141, 167, 164, 173, 176, !Has(d, 143));
}

void DetectPac(CEngineData& d) {
    auto& r = d.Rhythm;
    const auto& L = r.BeatType;
    const int N = RhythmBeats(d);
    const double dPremature = RhythmThresholds(d).dPrematureRatio * MedianRR(d);
    SRunCounter c;
    for (int i = 2; i <= N; ++i) {
        if (r.EctopicKind[i] != EctopicNone)
            continue;
        const bool bAfterVentricular = L[i - 1] == 5 || L[i - 1] == 6;
        // A premature beat without a P wave (label 4) is junctional: left to DetectPjc.
        if (L[i] < 1 || L[i] > 3 || bAfterVentricular || RR(d, i) >= dPremature ||
            r.PvcList[i] == 1) {
            c.Break();
            continue;
        }
        r.EctopicKind[i] = EctopicPac;
        c.Qualify(i);
        if (QRS(d, i) >= 120) {
            // Conducted with aberration: kept apart from the dominant beats as a PVC is.
            r.PvcList[i] = 1;
            ++r.PvcList[0];
        }
    }
    SetPrematureFindings(d, c, 121, 165, 162, 171, 174);
}

void DetectPjc(CEngineData& d) {
    auto& r = d.Rhythm;
    const auto& L = r.BeatType;
    const int N = RhythmBeats(d);
    const double dPremature = RhythmThresholds(d).dPrematureRatio * MedianRR(d);
    SRunCounter c;
    for (int i = 2; i <= N; ++i) {
        if (r.EctopicKind[i] != EctopicNone)
            continue;
        const bool bAfterSupraventricular = L[i - 1] == 1 || L[i - 1] == 2 || L[i - 1] == 4;
        if (L[i] == 4 && bAfterSupraventricular && RR(d, i) < dPremature && QRS(d, i) < 120 &&
            r.PvcList[i] != 1) {
            r.EctopicKind[i] = EctopicPjc;
            c.Qualify(i);
        } else {
            c.Break();
        }
    }
    SetPrematureFindings(d, c, 131, 166, 163, 172, 175);
}

void DetectEscapeAtrial(CEngineData& d) {
    DetectEscape(d, {2, {1, 2, 2}, 55, EctopicEscapeAtrial, 181, 184, 2});
}

void DetectEscapeJunctional(CEngineData& d) {
    DetectEscape(d, {4, {1, 2, 4}, 50, EctopicEscapeJunctional, 182, 185, 4});
}

void DetectEscapeVentricular(CEngineData& d) {
    DetectEscape(d, {6, {1, 2, 6}, 40, EctopicEscapeVentricular, 183, 186, 6});
}

}  // namespace ecg_engine
