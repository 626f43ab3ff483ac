// Rhythm criteria: sinus rate and pause, atrial, junctional and ventricular runs, flutter,
// fibrillation and the AV blocks. Each sets findings; the order of the calls is the
// driver's.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ecg_engine/rhythm_stage.h"
#include "rhythm_internal.h"

namespace ecg_engine {

using namespace rhythm;

namespace {

// Beats the flutter and fibrillation tests look at: lead II's beats.
int LeadIIBeats(const CEngineData& d) {
    return std::clamp(d.Qrs.LeadBeatList.nCount[LeadII], 0, RhythmBeats(d));
}

// Amplitude (uV) of the first P wave of beat i in lead II; 0 without one.
int FirstLeadIIPAmplitude(const CEngineData& d, int i) {
    if (i < 1 || i > kMaxBeats)
        return 0;
    return d.PWave.PCount[LeadII][i - 1] > 0 ? d.PWave.PAmp[LeadII][i - 1][0] : 0;
}

double Tolerance(int n) {
    return n < 11 ? 0.15 : 0.1;
}

// Beats k in 1..n with RR[k](1 - t) < RR[j] < RR[k](1 + t), beat j included.
int SimilarIntervals(const CEngineData& d, int j, int n, double t) {
    int nCount = 0;
    const double dRR = RR(d, j);
    for (int k = 1; k <= n; ++k) {
        const double dK = RR(d, k);
        if (dK * (1 - t) < dRR && dRR < dK * (1 + t))
            ++nCount;
    }
    return nCount;
}

bool Outside(double v, double dMedian, double lo, double hi) {
    return v < lo * dMedian || v > hi * dMedian;
}

}  // namespace

void ClassifySinusRate(CEngineData& d, int S, int E) {
    const auto& t = RhythmThresholds(d);
    const int HR = d.HeartRate;
    if (HR < t.nBradycardia)
        Set(d, 112);
    else if (HR < t.nTachycardia)
        Set(d, 111);
    else
        Set(d, 113);

    // Sinus arrhythmia: a wide spread of the intervals between beats with a P wave, most of
    // them more than 10 % off the one before. Beats without a P wave (premature beats taken
    // into the run by the majority) do not count, nor do the interval of a premature beat
    // and the compensatory one after it: they are the premature beat's, not the sinus node's.
    if (!Has(d, 111) || S < 1 || E <= S)
        return;
    const double dPremature = t.dPrematureRatio * MedianRR(d);
    auto Premature = [&](int i) { return i >= 2 && RR(d, i) < dPremature; };
    int nMax = 0, nMin = 0, nChanges = 0, nIntervals = 0;
    for (int i = S + 1; i <= E; ++i) {
        if (PR(d, i) < 1 || PR(d, i - 1) < 1)
            continue;
        if (Premature(i) || Premature(i - 1) || Premature(i - 2))
            continue;
        const int nRR = RR(d, i), nPrev = RR(d, i - 1);
        nMax = nIntervals ? std::max(nMax, nRR) : nRR;
        nMin = nIntervals ? std::min(nMin, nRR) : nRR;
        ++nIntervals;
        if (nRR < 0.9 * nPrev || nRR > 1.1 * nPrev)
            ++nChanges;
    }
    if (nIntervals > 0 && nMax - nMin >= 160 && nChanges > (E - S) / 2)
        Set(d, 119);
}

void DetectSinusPause(CEngineData& d, int, int) {
    const auto& B = d.Rhythm.BeatLabel;
    const int N = RhythmBeats(d);
    const double dLimit = RhythmThresholds(d).dPauseRatio * BaseInterval(d);
    for (int i = 1; i <= N - 1; ++i) {
        const bool bSinus = i == 1 ? (B[1] == 1 && B[2] == 1)
                                   : (B[i - 1] == 1 && B[i] == 1 && B[i + 1] == 1);
        if (bSinus && RR(d, i) > dLimit) {
            Set(d, 157);
            d.Rhythm.PauseLength = RR(d, i);
            break;
        }
    }
    // A pause of whole sinus intervals is a sinoatrial block.
    for (int k = 1; k <= N - 1; ++k) {
        if (!(B[k] == 1 && B[k + 1] == 1 && RR(d, k) > dLimit))
            continue;
        const int nNext = RR(d, k + 1);
        const int q = nNext != 0 ? RR(d, k) / nNext : 0;
        const int rest = nNext != 0 ? RR(d, k) % nNext : RR(d, k);
        if (q >= 2 && rest < 0.9 * nNext) {
            Set(d, 158);
            Clear(d, 157);
        }
    }
}

int CountPAxisDeviations(const CEngineData& d, int S, int E, int nMean) {
    int nCount = 0;
    for (int i = std::max(S, 1); i <= E; ++i) {
        const int n = PAxisCount(d, i);
        if (n == 0)
            continue;
        const int nAxis = PAxis(d, i, n);
        if (nAxis <= nMean - 30 || nAxis >= nMean + 30)
            ++nCount;
    }
    return nCount;
}

void ClassifyAtrialRun(CEngineData& d, int S, int E) {
    const auto& L = d.Rhythm.BeatType;
    const int N = RhythmBeats(d);
    const int HR = d.HeartRate;
    if (HR > 100) {
        Set(d, 123);
        if (125 < HR && HR < 171)
            Set(d, 159);
        if (E < N && (L[E + 1] == 1 || L[E + 1] == 4)) {
            Set(d, 127);
            Clear(d, 123);
        }
    } else if (HR < 55) {
        Set(d, 184);
    } else {
        Set(d, 121);
    }

    long long nSum = 0;
    int nAxes = 0;
    for (int i = S; i <= E; ++i) {
        const int n = PAxisCount(d, i);
        if (n > 0) {
            nSum += PAxis(d, i, n);
            ++nAxes;
        }
    }
    const int nMean = nAxes ? static_cast<int>(nSum / nAxes) : 0;
    const int nDeviations = CountPAxisDeviations(d, S, E, nMean);
    if (55 <= HR && HR < 100 && nDeviations > 1)
        Set(d, 129);
    else if (100 <= HR && HR < 200 && nDeviations > 1)
        Set(d, 126);
}

void ClassifyJunctionalRun(CEngineData& d, int, int E) {
    const auto& L = d.Rhythm.BeatType;
    const int N = RhythmBeats(d);
    const int HR = d.HeartRate;
    if (HR < 100) {
        Set(d, HR < 50 ? 185 : 131);
        return;
    }
    Set(d, 133);
    if (125 < HR && HR < 171)
        Set(d, 159);
    if (E < N && (L[E + 1] == 1 || L[E + 1] == 2)) {
        Set(d, 137);
        Clear(d, 133);
    }
}

void ClassifyVentricularRun(CEngineData& d, int, int E) {
    const auto& L = d.Rhythm.BeatType;
    const int N = RhythmBeats(d);
    const int HR = d.HeartRate;
    const bool bFollowed = E < N && 1 <= L[E + 1] && L[E + 1] <= 4;
    if (HR < 40) {
        Set(d, 186);
    } else if (HR < 100) {
        Set(d, 141);
    } else if (HR >= 250) {
        Set(d, 144);
        if (bFollowed) {
            Set(d, 148);
            Clear(d, 144);
        }
    } else {
        Set(d, HR > 120 ? 143 : 146);
        if (bFollowed) {
            Set(d, 147);
            Clear(d, 143);
            Clear(d, 146);
        }
    }
}

namespace {

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
    const int n = LeadIIBeats(d);
    const double t = Tolerance(n);
    bool bRegular = false;
    for (int j = 1; j <= n && !bRegular; ++j)
        bRegular = SimilarIntervals(d, j, n, t) >= 4;
    if (!bRegular)
        return;

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
    if ((a > 0.5 * n && B > 3 && b50 > 0.2 * n) ||
        (!bLoneWave && (bFastAtria || bTwoToOne) && a > 0.4 * n && b90 > 0.8 * n) ||
        (!bLoneWave && bFastAtria && a > 0.5 * n && nWaves == H && B == 1 && b50 > 0 && b90 > 0) ||
        bSteadyWaves || ((bTwoToOne || e.nDivisor > 2) && bEchoedWave))
        Set(d, 124);
}

void DetectAtrialFibrillation(CEngineData& d) {
    const int n = LeadIIBeats(d);
    const double t = Tolerance(n);
    bool aIrregular[kBeatListSlots + 1] = {};
    for (int j = 1; j <= n; ++j)
        aIrregular[j] = SimilarIntervals(d, j, n, t) < 4;
    // A premature beat with a longer interval after it, or a single wide beat, is no sign
    // of fibrillation.
    for (int j = 2; j <= n - 1; ++j) {
        if (!aIrregular[j])
            continue;
        const bool bPremature = RR(d, j) < 0.8 * RR(d, j - 1) && RR(d, j + 1) > RR(d, j - 1);
        const bool bSingleWide = QRS(d, j - 1) < 120 && QRS(d, j) > 120 && QRS(d, j + 1) < 120;
        if (bPremature || bSingleWide)
            aIrregular[j] = aIrregular[j + 1] = false;
    }
    // Wide beats among narrow ones are ventricular: they have no P wave of their own and
    // their intervals, coupling and compensatory, are theirs, also in couplets. Only the
    // narrow beats tell whether the atria fibrillate, when there are enough of them.
    int nNarrow = 0;
    for (int j = 1; j <= n; ++j)
        nNarrow += QRS(d, j) <= 120;
    const bool bNarrowOnly = nNarrow >= 3;
    bool bAny = false;
    int nSmallP = 0, nJudged = 0;
    for (int j = 1; j <= n; ++j) {
        if (bNarrowOnly && (QRS(d, j) > 120 || (j > 1 && QRS(d, j - 1) > 120)))
            aIrregular[j] = false;
        bAny = bAny || aIrregular[j];
        if (bNarrowOnly && QRS(d, j) > 120)
            continue;
        ++nJudged;
        nSmallP += FirstLeadIIPAmplitude(d, j) < 50;
    }
    if (bAny && nSmallP > 0.5 * nJudged)
        Set(d, 125);
}

void DetectFirstDegreeBlock(CEngineData& d) {
    const auto& L = d.Rhythm.BeatType;
    const int N = RhythmBeats(d);
    int nLabelled = 0, nLong = 0;
    for (int i = 1; i <= N; ++i) {
        if (L[i] < 1 || L[i] > 3)
            continue;
        ++nLabelled;
        if (PR(d, i) >= 205 && PR(d, i) < 400)
            ++nLong;
    }
    if (nLabelled > 0 && nLong >= 0.7 * N)
        Set(d, 151);

    BeatList marks{};
    for (int i = 1; i <= N; ++i) {
        if ((L[i] == 1 || L[i] == 3) && LastPIsSinus(d, i)) {
            marks[i] = 1;
            ++marks[0];
        }
    }
    if (FindBeatRun(d, marks, 3))
        ClassifySinusRate(d, d.Rhythm.BeatRun.nFirst, d.Rhythm.BeatRun.nLast);
}

void DetectWenckebach(CEngineData& d) {
    const auto& cls = d.Rhythm.QrsClass;
    const int N = RhythmBeats(d);
    BeatList prs{}, rrs{};
    for (int i = 1; i <= N; ++i) {
        if (cls[i] == QrsWideVentricular)
            continue;
        const int k = ++prs[0];
        prs[k] = PR(d, i);
        rrs[k] = RR(d, i);
        rrs[0] = k;
    }
    if (prs[0] == 0)
        return;
    const double mPR = MedianOf(d, prs, prs[0]);
    const double mRR = MedianOf(d, rrs, rrs[0]);
    int c1 = 0, c2 = 0;
    bool bDropped = false;
    for (int i = 1; i <= N; ++i) {
        if (cls[i] == QrsWideVentricular)
            continue;
        const double dRR = RR(d, i), dPR = PR(d, i);
        if (i >= 2 && dRR > 1.2 * mRR && RR(d, i - 1) > 0.8 * mRR)
            ++c1;
        if ((0 < dPR && dPR < 0.8 * mPR) || dPR > 1.2 * mPR)
            ++c2;
        if (1.5 * mRR < dRR && dRR < 2 * mRR)
            bDropped = true;
    }
    if (bDropped && c1 > 0 && c2 > 0 && !Has(d, 158))
        Set(d, 152);
}

void DetectMobitzII(CEngineData& d) {
    const auto& cls = d.Rhythm.QrsClass;
    const int N = RhythmBeats(d);
    BeatList prs{}, rrs{};
    for (int i = 1; i <= N; ++i) {
        if (cls[i] == QrsNarrow || PR(d, i) <= 0)
            continue;
        const int k = ++prs[0];
        prs[k] = PR(d, i);
        rrs[k] = RR(d, i);
        rrs[0] = k;
    }
    if (prs[0] == 0)
        return;
    const double mPR = MedianOf(d, prs, prs[0]);
    const double mRR = MedianOf(d, rrs, rrs[0]);
    int c2 = 0;
    for (int k = 1; k <= prs[0]; ++k)
        c2 += Outside(prs[k], mPR, 0.8, 1.2);
    bool bDropped = false;
    for (int i = 1; i <= N; ++i)
        bDropped = bDropped || (cls[i] != QrsNarrow && RR(d, i) > 1.5 * mRR);
    if (bDropped && c2 == 0 && !Has(d, 158))
        Set(d, 153);
}

void DetectTwoToOneBlock(CEngineData& d) {
    const auto& cls = d.Rhythm.QrsClass;
    const int N = RhythmBeats(d);
    BeatList prs{}, rrs{};
    for (int i = 1; i <= N; ++i) {
        if (cls[i] == QrsWideVentricular)
            continue;
        const int k = ++prs[0];
        prs[k] = PR(d, i);
        rrs[k] = RR(d, i);
        rrs[0] = k;
    }
    // P-P intervals: for each beat as many as its P waves, from the following beat's list.
    BeatList pps{};
    for (int i = 1; i <= N - 1; ++i) {
        const int nP = std::clamp(d.Measurements.PaxisCount[i - 1], 0, kMaxPWavesPerBeat);
        const int nNext = std::clamp(d.Measurements.PPintCount[i], 0, kMaxPWavesPerBeat);
        for (int k = 0; k < nP && k < nNext && pps[0] < kRhythmBeats; ++k)
            pps[++pps[0]] = d.Measurements.PPint[i * kMaxPWavesPerBeat + k];
    }
    if (prs[0] == 0 || pps[0] == 0)
        return;
    const double mPR = MedianOf(d, prs, prs[0]);
    const double mRR = MedianOf(d, rrs, rrs[0]);
    const double mPP = MedianOf(d, pps, pps[0]);
    for (int k = 1; k <= prs[0]; ++k) {
        if (prs[k] < 0.8 * mPR || prs[k] > 1.2 * mPR)
            return;
    }
    if (1.9 * mPP <= mRR && mRR <= 2.1 * mPP)
        Set(d, 154);
}

void DetectCompleteBlock(CEngineData& d) {
    const int N = RhythmBeats(d);
    if (N < 1)
        return;
    const double mPR = MedianOf(d, d.Measurements.PRint, N);
    const double mRR = MedianOf(d, d.Measurements.RRint, N);
    if (mPR <= 0)
        return;
    int c1 = 0, c2 = 0;
    for (int i = 1; i <= N; ++i) {
        c1 += Outside(PR(d, i), mPR, 0.8, 1.2);
        c2 += Outside(RR(d, i), mRR, 0.8, 1.2);
    }
    const bool bSinusBradycardiaOnly = Has(d, 112) && !Has(d, 111) && !Has(d, 113);
    const double dShare = d.Variant == EEngineVariant::Zorvik21 ? 0.3 : 0.4;
    const bool bExcluded = d.Variant == EEngineVariant::Zorvik31 && bSinusBradycardiaOnly;
    if (bExcluded || c1 <= dShare * N)
        return;
    // Steady ventricles below 50 per minute, or below 60 beneath P waves on a timeline of
    // their own: an escape rhythm under a complete block (escapes beat at 35 to 55 per
    // minute).
    const bool bDissociated = PWavesDissociated(d);
    if (c2 == 0 && (mRR > 1200 || (mRR > 1000 && bDissociated)))
        Set(d, 155);
    if (Has(d, 141))
        Set(d, 155);
    // The escape rhythm is wide when most of its beats are: a P wave that falls into a QRS
    // widens that one beat, so the middle beat alone may mislead.
    if (N < 2)
        return;
    int nWide = 0;
    for (int i = 1; i <= N; ++i)
        nWide += QRS(d, i) >= 120;
    const bool bWide = 2 * nWide > N;
    if (bWide && d.HeartRate < 40) {
        Set(d, 186);
        return;
    }
    if (!bWide && d.HeartRate < 50)
        Set(d, 185);
    // A wide escape of 40 per minute or more beneath a complete block is a ventricular
    // rhythm; a narrow one of 50 or more the junctional rhythm its run already found.
    if (Has(d, 155) && bDissociated && bWide && d.HeartRate >= 40)
        Set(d, 141);
}

}  // namespace ecg_engine
