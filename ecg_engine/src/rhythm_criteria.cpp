// Rhythm criteria: sinus rate and pause, atrial, junctional and ventricular runs and the AV
// blocks (flutter and fibrillation: rhythm_atria.cpp). Each sets findings; the order of the
// calls is the driver's.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ecg_engine/rhythm_stage.h"
#include "rhythm_internal.h"

namespace ecg_engine {

using namespace rhythm;

namespace {

bool Outside(double v, double dMedian, double lo, double hi) {
    return v < lo * dMedian || v > hi * dMedian;
}

// The middle of n values (the lower one of an even count), 0 without values.
int MiddleOf(BeatList values, int n) {
    n = std::clamp(n, 0, kRhythmBeats);
    if (n == 0)
        return 0;
    std::sort(values.begin() + 1, values.begin() + n + 1);
    return values[(n + 1) / 2];
}

// What the P waves of the record look like, in the lead that shows them in most beats (lead
// II when others show them no more often): their middle size and the length most of them
// share. The AV criteria judge a beat's P wave by these: a wave of half or twice the size, or
// a third longer or shorter, is the T's tail, a U wave or noise that the P search took, not
// the P wave of the other beats. The sign is not judged: a P wave on the slope of a U wave
// measures inverted.
struct SPWaveShape {
    int nLead = LeadII;
    int nAmplitude = 0;  // uV, 0 when the record shows no P wave
    int nDuration = 0;   // ms
};

SPWaveShape PWaveShapeOf(const CEngineData& d) {
    const auto& m = d.Measurements;
    const int N = RhythmBeats(d);
    auto BeatsShowingP = [&](int l) {
        int nBeats = 0;
        for (int i = 1; i <= N; ++i)
            nBeats += PR(d, i) >= 1 && At(m.PD[l], i) > 0;
        return nBeats;
    };
    SPWaveShape s;
    int nMost = BeatsShowingP(LeadII);
    for (int l = 0; l < kLeads; ++l) {
        if (BeatsShowingP(l) > nMost) {
            nMost = BeatsShowingP(l);
            s.nLead = l;
        }
    }
    if (nMost == 0)
        return s;
    BeatList sizes{}, lengths{};
    int n = 0;
    for (int i = 1; i <= N; ++i) {
        if (PR(d, i) < 1 || At(m.PD[s.nLead], i) <= 0)
            continue;
        ++n;
        sizes[n] = std::abs(At(m.PA[s.nLead], i));
        lengths[n] = At(m.PD[s.nLead], i);
    }
    s.nAmplitude = MiddleOf(sizes, n);
    // The length most P waves share: P waves cut short by a QRS or a T that they run into
    // must not set it. Of the lengths that most others lie within 0.7..1.3 of, the middle one.
    BeatList shared{};
    int nMostAlike = 0;
    for (int k = 1; k <= n; ++k) {
        int nAlike = 0;
        for (int j = 1; j <= n; ++j)
            nAlike += 10 * lengths[j] >= 7 * lengths[k] && 10 * lengths[j] <= 13 * lengths[k];
        if (nAlike > nMostAlike) {
            nMostAlike = nAlike;
            shared[0] = 0;
        }
        if (nAlike == nMostAlike)
            shared[++shared[0]] = lengths[k];
    }
    s.nDuration = MiddleOf(shared, shared[0]);
    return s;
}

bool LikeTheRecordsPWaves(const SPWaveShape& s, int nAmplitude, int nDuration) {
    if (s.nAmplitude == 0 || nDuration <= 0)
        return false;
    const int nSize = std::abs(nAmplitude);
    return 2 * nSize >= s.nAmplitude && nSize <= 2 * s.nAmplitude &&
           10 * nDuration >= 7 * s.nDuration && 10 * nDuration <= 13 * s.nDuration;
}

// Whether beat i shows a P wave that may have conducted it: one like the record's other P
// waves that starts after the previous beat's T wave has ended. A beat without one is left
// out of the PR figures: a P wave not found is missing evidence, not a dissociated atrium.
bool ShowsItsPWave(const CEngineData& d, const SPWaveShape& s, int i) {
    const auto& m = d.Measurements;
    if (PR(d, i) < 1 || !LikeTheRecordsPWaves(s, At(m.PA[s.nLead], i), At(m.PD[s.nLead], i)))
        return false;
    const int nPreviousQt = i >= 2 ? At(m.QTint, i - 1) : 0;
    return nPreviousQt <= 0 || PR(d, i) <= RR(d, i) - nPreviousQt;
}

// Whether the interval before beat i holds a P wave that no QRS followed: a wave like the
// record's P waves before the beat's own one. Only such a wave tells a dropped beat from a
// pause of the sinus node or a slowing of its rate.
bool HoldsBlockedPWave(const CEngineData& d, const SPWaveShape& s, int i) {
    if (i < 2 || i > RhythmBeats(d))
        return false;
    const auto& p = d.PWave;
    const int nCount = std::clamp(p.PCount[s.nLead][i - 1], 0, kMaxPWavesPerBeat);
    for (int k = 0; k + 1 < nCount; ++k) {
        if (LikeTheRecordsPWaves(s, p.PAmp[s.nLead][i - 1][k], p.PDur[s.nLead][i - 1][k]))
            return true;
    }
    return false;
}

// Whether the PRs of the beats that show their P wave move one way through the window, each
// by at least 10 ms and by 60 ms in all: P waves at a rate of their own walking through the
// ventricles' cycle.
bool PrsMarch(const CEngineData& d, const SPWaveShape& s) {
    const int N = RhythmBeats(d);
    int nPrevious = 0, nFirst = 0, nDirection = 0, nSteps = 0;
    for (int i = 1; i <= N; ++i) {
        if (!ShowsItsPWave(d, s, i))
            continue;
        const int nPr = PR(d, i);
        if (nSteps++ == 0) {
            nFirst = nPrevious = nPr;
            continue;
        }
        const int nStep = nPr - nPrevious;
        if (std::abs(nStep) < 10 || (nDirection != 0 && (nStep > 0) != (nDirection > 0)))
            return false;
        nDirection = nStep;
        nPrevious = nPr;
    }
    return nSteps >= 3 && std::abs(nPrevious - nFirst) >= 60;
}

// Whether the atria keep a timeline of their own. Its P waves are those like the record's
// other P waves: each beat's own one where it shows it (placed by its PR before the QRS) and
// the earlier ones of its interval (placed back by their P-P intervals). Their distances must
// be whole multiples of one atrial cycle (within a tenth of it: P waves that fall into a QRS or
// a T are not found), they must span at least half the window, and the atria must beat faster
// than the ventricles (more P waves than QRS complexes) or their PRs march through the cycle.
// Their PRs must spread wider than one conduction keeps them (twice the spread of a conducted
// PR): P waves at a steady distance before their QRS conducted it, whatever their rate.
// The cycle is the longest that fits, a distance or its half, third or quarter, and no
// shorter than 400 ms: faster atrial waves are flutter's.
bool AtriaKeepTimelineOfTheirOwn(CEngineData& d, const SPWaveShape& s) {
    constexpr int kNoPr = 1 << 30;
    const auto& p = d.PWave;
    const int N = RhythmBeats(d);
    BeatList at{};  // ms from the first QRS, in order
    long nQrsAt = 0;
    int nShortestPr = kNoPr, nLongestPr = 0;
    for (int i = 1; i <= N; ++i) {
        if (i >= 2)
            nQrsAt += RR(d, i);
        if (!ShowsItsPWave(d, s, i))
            continue;
        nShortestPr = std::min(nShortestPr, PR(d, i));
        nLongestPr = std::max(nLongestPr, PR(d, i));
        const int nCount = std::clamp(p.PCount[s.nLead][i - 1], 0, kMaxPWavesPerBeat);
        int aOwn[kMaxPWavesPerBeat] = {};
        int nOwn = 0;
        long nP = nQrsAt - PR(d, i);
        aOwn[nOwn++] = static_cast<int>(nP);
        for (int k = nCount - 2; k >= 0; --k) {
            nP -= p.PPint[s.nLead][i - 1][k + 1];
            if (LikeTheRecordsPWaves(s, p.PAmp[s.nLead][i - 1][k], p.PDur[s.nLead][i - 1][k]))
                aOwn[nOwn++] = static_cast<int>(nP);
        }
        for (int k = nOwn - 1; k >= 0 && at[0] < kRhythmBeats; --k) {
            if (at[0] == 0 || aOwn[k] > at[at[0]])
                at[++at[0]] = aOwn[k];
        }
    }
    const int n = at[0];
    if (n < 3 || 2L * (at[n] - at[1]) < nQrsAt ||
        nLongestPr - nShortestPr <= 2 * RhythmThresholds(d).nConductedPrSpread)
        return false;
    auto Fits = [&](double dCycle) {
        for (int k = 2; k <= n; ++k) {
            const double dGap = at[k] - at[k - 1];
            const double dMultiple = std::max(1.0, std::round(dGap / dCycle));
            if (std::abs(dGap - dMultiple * dCycle) > 0.1 * dCycle)
                return false;
        }
        return true;
    };
    double dCycle = 0;
    for (int k = 2; k <= n; ++k) {
        for (int nParts = 1; nParts <= 4; ++nParts) {
            const double dTry = static_cast<double>(at[k] - at[k - 1]) / nParts;
            if (dTry >= 400 && dTry > dCycle && Fits(dTry))
                dCycle = dTry;
        }
    }
    if (dCycle == 0)
        return false;
    return dCycle <= 0.9 * MedianRR(d) || PrsMarch(d, s);
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

// The second-degree blocks judge the PRs of the beats that show their P wave, and drop a
// beat only where the long interval holds a P wave that no QRS followed.
void DetectWenckebach(CEngineData& d) {
    const auto& cls = d.Rhythm.QrsClass;
    const int N = RhythmBeats(d);
    const SPWaveShape shape = PWaveShapeOf(d);
    BeatList prs{}, rrs{};
    for (int i = 1; i <= N; ++i) {
        if (cls[i] == QrsWideVentricular)
            continue;
        rrs[++rrs[0]] = RR(d, i);
        if (ShowsItsPWave(d, shape, i))
            prs[++prs[0]] = PR(d, i);
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
        const double dRR = RR(d, i);
        if (i >= 2 && dRR > 1.2 * mRR && RR(d, i - 1) > 0.8 * mRR)
            ++c1;
        if (ShowsItsPWave(d, shape, i) && Outside(PR(d, i), mPR, 0.8, 1.2))
            ++c2;
        if (1.5 * mRR < dRR && dRR < 2 * mRR && HoldsBlockedPWave(d, shape, i))
            bDropped = true;
    }
    if (bDropped && c1 > 0 && c2 > 0 && !Has(d, 158))
        Set(d, 152);
}

void DetectMobitzII(CEngineData& d) {
    const auto& cls = d.Rhythm.QrsClass;
    const int N = RhythmBeats(d);
    const SPWaveShape shape = PWaveShapeOf(d);
    BeatList prs{}, rrs{};
    for (int i = 1; i <= N; ++i) {
        if (cls[i] == QrsNarrow || !ShowsItsPWave(d, shape, i))
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
    for (int i = 1; i <= N; ++i) {
        bDropped = bDropped ||
                   (cls[i] != QrsNarrow && RR(d, i) > 1.5 * mRR && HoldsBlockedPWave(d, shape, i));
    }
    if (bDropped && c2 == 0 && !Has(d, 158))
        Set(d, 153);
}

// 2:1 conduction: a steady PR in the beats that show their P wave, and a P wave that no QRS
// followed in at least half the intervals.
void DetectTwoToOneBlock(CEngineData& d) {
    const auto& cls = d.Rhythm.QrsClass;
    const int N = RhythmBeats(d);
    const SPWaveShape shape = PWaveShapeOf(d);
    BeatList prs{}, rrs{};
    int nIntervals = 0, nBlocked = 0;
    for (int i = 1; i <= N; ++i) {
        if (cls[i] == QrsWideVentricular)
            continue;
        rrs[++rrs[0]] = RR(d, i);
        if (ShowsItsPWave(d, shape, i))
            prs[++prs[0]] = PR(d, i);
        if (i >= 2) {
            ++nIntervals;
            nBlocked += HoldsBlockedPWave(d, shape, i);
        }
    }
    // P-P intervals: for each beat as many as its P waves, from the following beat's list.
    BeatList pps{};
    for (int i = 1; i <= N - 1; ++i) {
        const int nP = std::clamp(d.Measurements.PaxisCount[i - 1], 0, kMaxPWavesPerBeat);
        const int nNext = std::clamp(d.Measurements.PPintCount[i], 0, kMaxPWavesPerBeat);
        for (int k = 0; k < nP && k < nNext && pps[0] < kRhythmBeats; ++k)
            pps[++pps[0]] = d.Measurements.PPint[i * kMaxPWavesPerBeat + k];
    }
    if (prs[0] == 0 || pps[0] == 0 || 2 * nBlocked < nIntervals)
        return;
    const double mPR = MedianOf(d, prs, prs[0]);
    const double mRR = MedianOf(d, rrs, rrs[0]);
    const double mPP = MedianOf(d, pps, pps[0]);
    for (int k = 1; k <= prs[0]; ++k) {
        if (Outside(prs[k], mPR, 0.8, 1.2))
            return;
    }
    if (1.9 * mPP <= mRR && mRR <= 2.1 * mPP)
        Set(d, 154);
}

// A complete block needs atria on a timeline of their own (AtriaKeepTimelineOfTheirOwn), and
// more than a share of the beats without a conducting P wave: a PR off the median, or, beneath
// such atria, no P wave shown (its P wave fell into a QRS or a T). Without that timeline a P
// wave not found is missing evidence, and the atria never dissociated.
void DetectCompleteBlock(CEngineData& d) {
    const int N = RhythmBeats(d);
    if (N < 1)
        return;
    const SPWaveShape shape = PWaveShapeOf(d);
    BeatList prs{};
    for (int i = 1; i <= N; ++i) {
        if (ShowsItsPWave(d, shape, i))
            prs[++prs[0]] = PR(d, i);
    }
    if (prs[0] == 0 || !AtriaKeepTimelineOfTheirOwn(d, shape))
        return;
    const double mPR = MedianOf(d, prs, prs[0]);
    const double mRR = MedianOf(d, d.Measurements.RRint, N);
    int c1 = N - prs[0], c2 = 0;
    for (int k = 1; k <= prs[0]; ++k)
        c1 += Outside(prs[k], mPR, 0.8, 1.2);
    for (int i = 1; i <= N; ++i)
        c2 += Outside(RR(d, i), mRR, 0.8, 1.2);
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
