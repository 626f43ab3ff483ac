// Rhythm criteria: sinus rate and pause, atrial, junctional and ventricular runs and the AV
// blocks (flutter and fibrillation: rhythm_atria.cpp). Each sets findings; the order of the
// calls is the driver's.
#include <algorithm>
#include <cstdlib>

#include "ecg_engine/rhythm_stage.h"
#include "rhythm_internal.h"

namespace ecg_engine {

using namespace rhythm;

namespace {

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
