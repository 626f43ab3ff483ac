// Flutter and fibrillation: the atria's own activity against the ventricles' intervals.
// Fibrillation shows in intervals that differ irregularly from one to the next, over the
// beats that the atria conduct and apart from premature beats, with no clear P wave that
// repeats; flutter in atrial waves at a steady cycle of 240 to 350 a minute that the
// ventricles follow at a fixed or varying ratio.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ecg_engine/rhythm_stage.h"
#include "rhythm_internal.h"

namespace ecg_engine {

using namespace rhythm;

namespace {

// Beats the flutter tests look at: lead II's beats.
int LeadIIBeats(const CEngineData& d) {
    return std::clamp(d.Qrs.LeadBeatList.nCount[LeadII], 0, RhythmBeats(d));
}

// Amplitude (uV) of the first P wave of beat i in lead II; 0 without one.
int FirstLeadIIPAmplitude(const CEngineData& d, int i) {
    if (i < 1 || i > kMaxBeats)
        return 0;
    return d.PWave.PCount[LeadII][i - 1] > 0 ? d.PWave.PAmp[LeadII][i - 1][0] : 0;
}

// Intervals between two beats that the atria conducted: RR[i] with neither beat i nor beat
// i - 1 ventricular (i >= 2). A ventricular beat's coupling and the pause after it are its own.
bool Conducted(const CEngineData& d, int i) {
    return i >= 2 && d.Rhythm.VentricularQrs[i] != 1 && d.Rhythm.VentricularQrs[i - 1] != 1;
}

// The interval before beat i (ms) between the centres of the two QRS complexes, which noise
// moves less than their onsets; RR where no centre was measured.
int CentreInterval(const CEngineData& d, int i) {
    const int a = At(d.Measurements.QrsCentre, i - 1), b = At(d.Measurements.QrsCentre, i);
    return a > 0 && b > a ? (b - a) * 1000 / kSampleRate : RR(d, i);
}

constexpr double kIrregular = 0.07;
constexpr int kChangesToJudge = 4;

// Conducted intervals that belong to a premature beat (1 per interval, by beat): one shorter
// than the premature-beat limit, after one that is not, followed by one longer than the
// median, the pause. A premature beat, atrial or ventricular, interrupts the rhythm; its two
// intervals do not tell how the rhythm beneath it runs. Fibrillation's short intervals come
// after and before intervals of any length, and its other intervals stay irregular.
BeatList PrematureIntervals(CEngineData& d) {
    const int N = RhythmBeats(d);
    const double fMedian = MedianRR(d);
    const double fPremature = RhythmThresholds(d).dPrematureRatio * fMedian;
    BeatList marks{};
    for (int i = 3; i < N; ++i) {
        if (Conducted(d, i - 1) && Conducted(d, i) && Conducted(d, i + 1) &&
            CentreInterval(d, i - 1) >= fPremature && CentreInterval(d, i) < fPremature &&
            CentreInterval(d, i + 1) > fMedian)
            marks[i] = marks[i + 1] = 1;
    }
    return marks;
}

// How irregularly the conducted intervals run, those marked in setAside left out: the median
// change from one interval to the next (a root mean square would let one premature beat and
// its pause decide; sinus rhythm changes by a few percent, fibrillation by a tenth and more),
// and the median distance of an interval from the mean of its two neighbours (twice it, in
// whole ms), each as a share of the median interval. Breathing lengthens and shortens the
// sinus intervals gradually, each near the mean of its neighbours; fibrillation's intervals do
// not follow one another.
struct SIrregularity {
    double fChange = 0, fTrendFree = 0;
    int nChanges = 0, nDistances = 0;
};

SIrregularity Irregularity(CEngineData& d, const BeatList& setAside) {
    const int N = RhythmBeats(d);
    auto Usable = [&](int i) { return i >= 2 && i <= N && Conducted(d, i) && !setAside[i]; };
    BeatList rrs{}, changes{}, distances{};
    for (int i = 2; i <= N; ++i) {
        if (Conducted(d, i))
            rrs[++rrs[0]] = CentreInterval(d, i);
        if (!Usable(i) || !Usable(i - 1))
            continue;
        changes[++changes[0]] = std::abs(CentreInterval(d, i) - CentreInterval(d, i - 1));
        if (Usable(i + 1))
            distances[++distances[0]] = std::abs(2 * CentreInterval(d, i) -
                                                 CentreInterval(d, i - 1) -
                                                 CentreInterval(d, i + 1));
    }
    SIrregularity r;
    r.nChanges = changes[0];
    r.nDistances = distances[0];
    const double fInterval = rrs[0] > 0 ? MedianOf(d, rrs, rrs[0]) : 0;
    if (r.nChanges == 0 || fInterval <= 0)
        return r;
    r.fChange = MedianOf(d, changes, changes[0]) / fInterval;
    if (distances[0] > 0)
        r.fTrendFree = MedianOf(d, distances, distances[0]) / 2.0 / fInterval;
    return r;
}

// Clear P waves of one direction before most conducted beats: the atria beat in order, even
// where the P wave's axis or its distance to the QRS wanders (a wandering or multifocal atrial
// pacemaker). Clear: the beat's own P wave reaches 50 uV in lead II. Fibrillation leaves no P
// wave, or waves that the P-wave step takes for one: they fall at random phase, so either way
// up and anywhere in the diastole, and on a resting record's noise they may reach 50 uV.
// Ordered: such waves the same way up before three in four beats, which waves of random phase
// hardly reach; or before three in five at PRs within one band (a wandering pacemaker's PR
// wanders by some tens of ms, a fibrillation wave's spreads over the diastole).
bool ClearPWaveBeforeMostBeats(const CEngineData& d) {
    constexpr int kClearP = 50;   // uV
    constexpr int kPrBand = 120;  // ms
    const int N = RhythmBeats(d);
    int nBeats = 0;
    BeatList up{}, down{};  // the PR of each clear P wave by its direction, from element 1
    for (int i = 1; i <= N; ++i) {
        if (d.Rhythm.VentricularQrs[i] == 1)
            continue;
        ++nBeats;
        const int n = std::clamp(d.PWave.PCount[LeadII][i - 1], 0, kMaxPWavesPerBeat);
        const int nAmp = n > 0 ? d.PWave.PAmp[LeadII][i - 1][n - 1] : 0;
        if (nAmp >= kClearP)
            up[++up[0]] = PR(d, i);
        else if (nAmp <= -kClearP)
            down[++down[0]] = PR(d, i);
    }
    BeatList prs = up[0] >= down[0] ? up : down;
    const int nClear = prs[0];
    if (nBeats == 0 || 5 * nClear < 3 * nBeats)
        return false;
    if (4 * nClear >= 3 * nBeats)
        return true;
    return 5 * MostInOneBand(prs, kPrBand) >= 3 * nBeats;
}

// Conducted intervals that a flutter's atrial cycle explains: all alike (a fixed ratio), or
// each within 8 % of a cycle of a whole number (two or more) of one cycle of 240 to 350 a
// minute (a varying ratio). A fibrillation's intervals fit no one cycle.
bool ConductedAtAtrialCycle(CEngineData& d) {
    if (Irregularity(d, BeatList{}).fChange < kIrregular)
        return true;
    const int N = RhythmBeats(d);
    for (int nCycle = 2 * kShortestAtrialCycle; nCycle <= 2 * kLongestAtrialCycle; nCycle += 2) {
        bool bFits = true;
        for (int i = 2; i <= N && bFits; ++i) {
            if (!Conducted(d, i))
                continue;
            const int nRR = CentreInterval(d, i);
            const int k = static_cast<int>(std::lround(static_cast<double>(nRR) / nCycle));
            bFits = k >= 2 && std::abs(nRR - k * nCycle) <= 0.08 * nCycle;
        }
        if (bFits)
            return true;
    }
    return false;
}

// P waves of one direction before most conducted beats that repeat: at a steady PR, or at a
// steady P-P interval of their own where some do not conduct (second-degree block).
// Fibrillation waves taken for P waves fall at any PR and any interval, in either direction.
bool RepeatingPWave(CEngineData& d) {
    const int N = RhythmBeats(d);
    int nBeats = 0;
    BeatList withP{};
    for (int i = 1; i <= N; ++i) {
        if (d.Rhythm.VentricularQrs[i] == 1)
            continue;
        ++nBeats;
        if (PR(d, i) >= 1 && PAxisCount(d, i) > 0)
            withP[++withP[0]] = i;
    }
    if (nBeats == 0 || withP[0] == 0)
        return false;
    auto Axis = [&](int i) { return PAxis(d, i, PAxisCount(d, i)); };
    auto Apart = [](int a, int b) {
        const int nDiff = std::abs(a - b) % 360;
        return std::min(nDiff, 360 - nDiff);
    };
    // The direction most P waves share.
    int nAxis = 0, nMost = -1;
    for (int k = 1; k <= withP[0]; ++k) {
        int nNear = 0;
        for (int j = 1; j <= withP[0]; ++j)
            nNear += Apart(Axis(withP[k]), Axis(withP[j])) <= 45;
        if (nNear > nMost) {
            nMost = nNear;
            nAxis = Axis(withP[k]);
        }
    }
    BeatList prs{}, pps{};
    for (int k = 1; k <= withP[0]; ++k) {
        const int i = withP[k];
        if (Apart(Axis(i), nAxis) > 45)
            continue;
        prs[++prs[0]] = PR(d, i);
        const int nPp = std::clamp(d.Measurements.PPintCount[i - 1], 0, kMaxPWavesPerBeat);
        if (nPp > 0 && d.Measurements.PPint[(i - 1) * kMaxPWavesPerBeat + nPp - 1] > 0)
            pps[++pps[0]] = d.Measurements.PPint[(i - 1) * kMaxPWavesPerBeat + nPp - 1];
    }
    // A steady PR: the most PRs that one band of 60 ms holds, wherever it lies. A wave of
    // another kind taken for the P before some beats (a T, a fibrillation wave) would move a
    // median of the PRs off the steady ones.
    const int nSteadyPr = MostInOneBand(prs, 60);
    const int nPps = pps[0];
    const int mPP = MedianOf(d, pps, nPps);
    int nSteadyPp = 0;
    for (int k = 1; k <= nPps; ++k)
        nSteadyPp += std::abs(pps[k] - mPP) <= 0.15 * mPP;
    return nSteadyPr >= 0.5 * nBeats || nSteadyPp >= 0.7 * nBeats;
}

// Flutter waves of 4:1 or slower conduction in one of the single leads counted (kFlutterLeadList
// index f): in every interval at least three waves at one steady cycle of 240 to 350 a minute,
// those after the first (which holds the T) alike, the interval a whole number of cycles. A
// sinus beat's T, U and P differ in height or do not fall at one cycle that divides the interval.
bool SteadyFlutterWaves(const CEngineData& d, int f, int nIntervals) {
    const auto& nCounts = d.PWave.AtrialCountLead[f];
    const auto& nOffs = d.PWave.AtrialOffLead[f];
    const auto& nFalls = d.PWave.AtrialFallLead[f];
    double fFirstCycle = 0;
    for (int b = 0; b < nIntervals; ++b) {
        const int nCount = nCounts[b];
        if (nCount < 3 || nCount > kMaxPWavesPerBeat)
            return false;
        const int w0 = b * kMaxPWavesPerBeat;
        // Each wave ends at the turn before the next rise, where the first one's T has gone.
        auto end = [&](int w) { return static_cast<double>(nOffs[w0 + w]); };
        const double fSpacing = (end(nCount - 1) - end(0)) / (nCount - 1);
        // The first wave holds the T as well.
        double fFall = 0;
        for (int w = 1; w < nCount; ++w)
            fFall += nFalls[w0 + w];
        fFall /= nCount - 1;
        // The interval holds a whole number of cycles: the cycle from it is the finer one.
        const double fRR = d.Qrs.GlobalQrsOnset[b + 1] - d.Qrs.GlobalQrsOnset[b];
        const double fCycles = std::round(fRR / fSpacing);
        const double fCycle = fCycles > 0 ? fRR / fCycles : 0;
        // The QRS onsets that bound the interval move by a sample from beat to beat: the
        // cycle is rounded to whole samples.
        const double fWholeCycle = std::round(fCycle);
        if (fCycles < 3 || fWholeCycle < kShortestAtrialCycle ||
            fWholeCycle > kLongestAtrialCycle || std::abs(fRR / fSpacing - fCycles) > 0.25)
            return false;
        for (int w = 1; w < nCount; ++w) {
            if (std::abs(end(w) - end(w - 1) - fCycle) > 0.12 * fCycle ||
                std::abs(nFalls[w0 + w] - fFall) > 0.3 * fFall)
                return false;
        }
        // The same cycle all through the record.
        if (b == 0)
            fFirstCycle = fCycle;
        else if (std::abs(fCycle - fFirstCycle) > 0.08 * fFirstCycle)
            return false;
    }
    return nIntervals > 0;
}

}  // namespace

void DetectAtrialFlutter(CEngineData& d) {
    // The ventricles follow the flutter waves at a fixed or a varying ratio.
    if (!ConductedAtAtrialCycle(d))
        return;
    const int n = LeadIIBeats(d);

    int a = 0, b50 = 0, b90 = 0;
    for (int i = 1; i <= n; ++i) {
        if (FirstLeadIIPAmplitude(d, i) < 80)
            ++a;
        for (int k = 1; k <= PAxisCount(d, i); ++k) {
            b50 += PAxis(d, i, k) < -50;
            b90 += PAxis(d, i, k) < -90;
        }
    }
    int aBins[30] = {};
    int T = 0;
    for (int i = 1; i <= n - 1; ++i) {
        const int nWaves = d.PWave.AtrialCount[i - 1];
        if (nWaves >= 0 && nWaves < 30) {
            ++aBins[nWaves];
            T += nWaves;
        }
    }
    int B = 0, H = 0;
    for (int k = 0; k < 30; ++k) {
        if (aBins[k]) {
            ++B;
            H = k;
        }
    }
    // Every interval of a regular rhythm holds two waves, its T and its P, and P waves of an
    // ectopic atrial rhythm can point below -90 degrees: a steady count and such axes speak
    // for flutter only when the atria beat faster, with more waves to the interval, and at a
    // flutter's rate (240 a minute or more, one wave taken as hidden in the QRS): a slow
    // rhythm's T, U and P are three waves too. With 2:1 conduction (a ventricular rate of
    // 126 to 170) every other flutter wave lies in the QRS or the T, out of the count: there
    // the axes tell, unless the wave is a lone one (below).
    constexpr int kSlowestFlutter = 30000 / kLongestAtrialCycle;  // per minute
    const int nWaves = n > 1 ? T / (n - 1) : 0;
    const bool bFastAtria = nWaves > 2 && (nWaves + 1) * d.HeartRate >= kSlowestFlutter;

    const bool bTwoToOne = 125 < d.HeartRate && d.HeartRate < 171;
    // Where the wave before each QRS looks like a sinus P wave, only its return one atrial
    // cycle earlier (half the interval at 2:1 conduction, a third or a quarter at 3:1 and
    // 4:1) tells: a clear wave, in a direction apart from the T wave's, that recurs there at
    // more than a third of its size (a sinus T leaves a sixth at most), in its own direction
    // and running the same way (an ST shift points elsewhere, or the filters turn it into a
    // wave that runs the other way), with nothing between the QRS and the wave far larger
    // than flutter waves (where the T's direction was not found).
    const auto& e = d.PWave.Echo;
    const bool bClearWave = e.nApart >= 30 && e.nWaveSize >= 50;
    const bool bEchoedWave =
        bClearWave && e.nEcho >= 35 && e.nAlike >= 90 && e.nCourse >= 20 && e.nRest <= 400;
    // A clear wave that does not come back one atrial cycle earlier (where no more is left than
    // a sinus T leaves there) is an ectopic atrial rhythm's P wave, whatever its axis and
    // however many waves (a T, a U) the interval holds.
    const bool bLoneWave = bClearWave && e.nEcho <= 17;
    bool bSteadyWaves = false;
    for (int f = 0; f < kFlutterLeads && !bSteadyWaves; ++f)
        bSteadyWaves = SteadyFlutterWaves(d, f, n - 1);
    if ((!bLoneWave && (bFastAtria || bTwoToOne) && a > 0.4 * n && b90 > 0.8 * n) ||
        (!bLoneWave && bFastAtria && a > 0.5 * n && nWaves == H && B == 1 && b50 > 0 && b90 > 0) ||
        bSteadyWaves || ((bTwoToOne || e.nDivisor > 2) && bEchoedWave))
        Set(d, 124);
}

void DetectAtrialFibrillation(CEngineData& d) {
    // Atrial waves at a steady cycle are no fibrillation.
    if (Has(d, 124))
        return;
    // A premature beat interrupts the rhythm; its intervals do not tell how the rhythm runs.
    const SIrregularity r = Irregularity(d, PrematureIntervals(d));
    if (r.nChanges < kChangesToJudge || r.fChange < kIrregular)
        return;
    // Changes that follow a trend (judged where there are enough of them).
    if (r.nDistances >= kChangesToJudge && r.fTrendFree < kIrregular / 2)
        return;
    // The atria beat in order: no fibrillation however irregular the ventricles.
    if (RepeatingPWave(d) || ClearPWaveBeforeMostBeats(d))
        return;
    Set(d, 125);
}

}  // namespace ecg_engine
