// P waves: the QRS-T parts of each lead are bridged by straight lines, the rest is smoothed,
// freed of its slow baseline and turned into a slope energy whose humps are the P-wave
// candidates; the limb leads' candidates are combined into one signal in which the P waves
// of every beat are found, then measured in every lead. Last, the atrial activity between
// the beats is counted for the flutter and fibrillation tests.
#include <algorithm>
#include <cstring>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "ecg_engine/debug_output.h"
#include "ecg_engine/engine.h"
#include "ecg_engine/qrs_stages.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

namespace {

// The QRS start the PR interval ends at: where noise hid a delta wave's start in most leads,
// the start the leads that show it give.
std::int32_t QrsStartOf(const CEngineData& d, int j) {
    const std::int32_t nDeltaStart = d.Qrs.DeltaQrsStart[j];
    return nDeltaStart > 0 ? std::min(d.Qrs.GlobalQrsOnset[j], nDeltaStart)
                           : d.Qrs.GlobalQrsOnset[j];
}

constexpr int kNoPWave = 4;
constexpr int kLastFrame = kInputSamples - 1;

bool UsableLead(const CEngineData& d, int l) {
    const int q = d.Detection.LeadQuality12[l];
    return q == LeadGoodQuality || q == LeadPoorQuality;
}

int BeatsInList(const CEngineData& d) {
    return std::clamp(d.Detection.IOQm.qrs_num, 0, kMaxBeats);
}

bool IsLimbLead(int l) {
    return l < LeadV1;
}

// Ten-sample activity: the sum of |x[m + 2] - x[m]| for m = k .. k + 9.
long long Activity(const std::int32_t* x, int k) {
    long long nSum = 0;
    for (int m = k; m <= k + 9; ++m)
        nSum += std::llabs(static_cast<long long>(x[m + 2]) - x[m]);
    return nSum;
}

long long Sum5(const std::int32_t* x, int m) {
    return static_cast<long long>(x[m - 2]) + x[m - 1] + x[m] + x[m + 1] + x[m + 2];
}

// The activity on the signal smoothed over five samples (sums of five), less moved by noise.
long long SmoothedActivity(const std::int32_t* x, int k) {
    long long nSum = 0;
    for (int m = k; m <= k + 9; ++m)
        nSum += std::llabs(Sum5(x, m + 2) - Sum5(x, m));
    return nSum;
}

// A T end found lies late (the smoothing of its envelope and its margin), up to inside the
// next P wave when the P follows the T closely. The point after the T wave is then the
// quietest point in the 25 samples before it that lies at the level of the PR segment (a
// wave's peak is quiet too, but off that level); the T end itself when none is quieter.
int PointBeforeLateTEnd(const std::int32_t* x, int a, long long nLevel) {
    int nBest = a;
    long long nBestActivity = SmoothedActivity(x, a);
    for (int k = a - 1; k >= std::max(a - 25, 2); --k) {
        const long long s = SmoothedActivity(x, k);
        if (s < nBestActivity &&
            std::fabs(Sum5(x, k) / 5.0 - static_cast<double>(nLevel)) < 20.48) {
            nBestActivity = s;
            nBest = k;
        }
    }
    return nBest;
}

// The baseline of a lead from the point after the T wave to the PR segment (its level at the
// point before the QRS), on the signal smoothed over five samples.
struct SBaseline {
    const std::int32_t* pRow;
    int nPoint;
    double fStart, fSlope;
    SBaseline(const std::int32_t* x, int k0, int nIsoBeforeQrs, long long nLevel)
        : pRow(x),
          nPoint(k0),
          fStart(Sum5(x, k0) / 5.0),
          fSlope((static_cast<double>(nLevel) - fStart) / std::max(nIsoBeforeQrs - k0, 1)) {}
    double Dev(int k) const { return Sum5(pRow, k) / 5.0 - (fStart + fSlope * (k - nPoint)); }
    // Whether the signal at k lies at least fLevel off the baseline.
    bool Off(int k, double fLevel) const { return std::fabs(Dev(k)) >= fLevel; }
};

// Where a P wave's foot lies before its half height (samples), with ten quiet samples' room.
constexpr int kPFoot = 6;
constexpr int kQuietRoom = 12;
constexpr double kWaveLevel = 20.48;  // 50 uV: a wave, not the baseline
constexpr int kQrsMargin = 20;        // the P wave rises 40 ms before the QRS at the latest
constexpr int kHalfWidth = 10;        // a P wave lasts 20 ms above half its height at least

// The quietest ten samples starting at nFrom .. nLast (the first of equals; nFrom when the
// range is empty).
int QuietestPoint(const std::int32_t* x, int nFrom, int nLast) {
    int nBest = nFrom;
    long long nBestActivity = Activity(x, nFrom);
    for (int k = nFrom + 1; k <= nLast; ++k) {
        const long long nActivity = Activity(x, k);
        if (nActivity < nBestActivity) {
            nBestActivity = nActivity;
            nBest = k;
        }
    }
    return nBest;
}

// A U wave follows the T; the T's envelope passes it over, so the quiet point after the T
// end lies at its foot and the P search would hold it, the U's fall and the P's rise reading
// as one inverted wave. Against the baseline from the point to the PR segment: when a wave
// leaves it right at the point, is back on it with room for a P wave before the QRS, and
// another wave follows before the QRS, the first one is the U and the point moves to the
// quietest spot on the baseline after it. A wave at the point that is the P itself is back on
// the baseline only in the PR segment, where no wave follows. From about 110 a minute on the
// U is short, cut off by the next P, and a wave is also told by its width at half its height;
// then a quiet spot must lie before the P's foot, else the U runs into the P.
int PointAfterUWave(const std::int32_t* x, int k0, int a, int nIsoBeforeQrs, int nOnset,
                    int nMeanRR, long long nLevel) {
    constexpr int kUWithin = 30;     // samples: the U is 50 uV high within 60 ms of the T end
    constexpr int kWaveLength = 20;  // U and P waves stay 50 uV off the baseline for 40 ms,
    constexpr int kShortRR = 280;    // or kHalfWidth above half their height where the mean
                                     // beat interval is shorter than 560 ms
    constexpr int kTBody = 80;       // the T's body lies within 160 ms before its end
    constexpr int kPRoom = 40;       // the shortest P wave the detection keeps
    if (k0 < 2 || k0 > a + kUWithin || nIsoBeforeQrs <= k0 + 2 || nOnset > kInputSamples - 12)
        return k0;
    const SBaseline base(x, k0, nIsoBeforeQrs, nLevel);
    auto off = [&](int k) { return base.Off(k, kWaveLevel); };
    const bool bShort = nMeanRR > 0 && nMeanRR < kShortRR;
    // Off the baseline from k: its end (back on), its peak and its width at half its height
    // after nLow.
    struct SWave {
        int nStart, nEnd, nPeak, nWidth;
        double fHeight;
        bool IsWave(bool bShort) const {
            return nEnd - nStart >= kWaveLength || (bShort && nWidth >= kHalfWidth);
        }
    };
    auto wave = [&](int nLow, int k, int nLimit) {
        SWave w{k, k, k, 0, base.Dev(k)};
        for (; w.nEnd < nLimit && off(w.nEnd); ++w.nEnd) {
            if (std::fabs(base.Dev(w.nEnd)) > std::fabs(w.fHeight)) {
                w.fHeight = base.Dev(w.nEnd);
                w.nPeak = w.nEnd;
            }
        }
        auto above = [&](int m) { return base.Dev(m) * w.fHeight >= w.fHeight * w.fHeight / 2; };
        int s = w.nPeak;
        while (s > nLow && above(s - 1))
            --s;
        int e = w.nPeak;
        while (e < nLimit && above(e))
            ++e;
        w.nWidth = e - s;
        return w;
    };
    int k = k0;
    while (k <= a + kUWithin && !off(k))
        ++k;
    if (k > a + kUWithin)
        return k0;
    // The U points as the T does: the T's farthest sample from the point's level before its end.
    double fTDev = 0;
    for (int m = std::max(a - kTBody, 2); m < a; ++m) {
        const double fDev = Sum5(x, m) / 5.0 - base.fStart;
        if (std::fabs(fDev) > std::fabs(fTDev))
            fTDev = fDev;
    }
    if ((base.Dev(k) > 0) != (fTDev > 0))
        return k0;
    const SWave u = wave(k0, k, nOnset);
    const int nBack = u.nEnd;
    if (!u.IsWave(bShort) || nBack > nOnset - kPRoom)
        return k0;
    k = nBack;
    while (k < nOnset - kQrsMargin && !off(k))
        ++k;
    const int nNext = k;
    if (nNext >= nOnset - kQrsMargin)
        return k0;
    const SWave pw = wave(nBack, nNext, nOnset);
    if (!pw.IsWave(bShort))
        return k0;
    // That wave is the last before the QRS: after it the PR segment, no further wave.
    k = pw.nEnd;
    while (k < nOnset && !off(k))
        ++k;
    if (k < nOnset && wave(pw.nEnd, k, nOnset).IsWave(bShort))
        return k0;
    const int nBest = QuietestPoint(x, nBack, nNext - 1);
    const bool bLong = nBack - u.nStart >= kWaveLength && pw.nEnd - pw.nStart >= kWaveLength;
    return bLong || nNext - nBest >= kPFoot ? nBest : k0;
}

// The straight line between the row's values at s and e replaces s .. e.
void Bridge(const std::int32_t* x, std::int32_t* y, int s, int e) {
    if (e <= s)
        return;
    const float fSlope = static_cast<float>(x[e] - x[s]) / static_cast<float>(e - s);
    for (int k = s; k <= e; ++k)
        y[k] = static_cast<std::int32_t>(static_cast<float>(k - s) * fSlope +
                                         static_cast<float>(x[s]));
}

std::int32_t Saturate(long long v) {
    return static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// A counted candidate list of one lead and beat.
struct SCandidates {
    int& nCount;
    std::array<std::int32_t, kMaxPWavesPerBeat>& aOn;
    std::array<std::int32_t, kMaxPWavesPerBeat>& aOff;
    void Remove(int k) {
        for (int i = k; i + 1 < nCount; ++i) {
            aOn[i] = aOn[i + 1];
            aOff[i] = aOff[i + 1];
        }
        --nCount;
        aOn[nCount] = aOff[nCount] = 0;
    }
    // Of two candidates less than 125 samples apart the earlier one goes.
    void DropCloseOnes() {
        int i = 0;
        while (i + 1 < nCount) {
            if (aOn[i + 1] - aOff[i] < 125)
                Remove(i);
            else
                ++i;
        }
    }
};

// Threshold scan of one window: rises start candidates, falls close them. A rise after a gap
// shorter than nGapLimit continues the last closed candidate. False when too many candidates
// were found.
bool ScanCandidates(const std::int32_t* E, int nStart, int nEnd, int nThreshold, int nGapLimit,
                    bool bSecondPass, SCandidates c) {
    c.nCount = 0;
    bool bAbove = false;
    int nGap = 0;
    for (int j = nStart; j <= nEnd; ++j) {
        if (E[j] > nThreshold && !bAbove) {
            bAbove = true;
            const bool bLongGap = nGap >= nGapLimit;
            nGap = 0;
            if (bLongGap) {
                c.aOn[c.nCount] = j;
            } else if (bSecondPass) {
                if (c.nCount > 0)
                    --c.nCount;
                else
                    c.aOn[c.nCount] = j;
            } else if (j - nStart - 1 < nGapLimit) {
                c.aOn[c.nCount] = j;
            } else if (c.nCount > 0) {
                --c.nCount;
            } else {
                c.aOn[c.nCount] = j;
            }
        } else if (E[j] < nThreshold && bAbove) {
            bAbove = false;
            nGap = 0;
            c.aOff[c.nCount++] = j;
            if (c.nCount > 9)
                return false;
        } else if (E[j] < nThreshold) {
            ++nGap;
        }
    }
    if (bAbove) {
        c.aOff[c.nCount++] = nEnd - 1;
    }
    return true;
}

int FirstMaxPosition(const std::int32_t* E, int s, int e) {
    int p = s;
    for (int j = s; j <= e; ++j) {
        if (E[j] > E[p])
            p = j;
    }
    return p;
}

// Backward level search from m0 down to the limit: the onset where E falls below the level
// going left; -1 when E rises above it again first.
int OnsetBackward(const std::int32_t* E, int m0, int nLimit, int nLevel) {
    for (int m = m0; m > nLimit && m >= 1; --m) {
        if (E[m - 1] < nLevel && nLevel <= E[m])
            return m;
        if (E[m - 1] > nLevel && nLevel >= E[m])
            return -1;
    }
    return nLimit;
}

// Forward level search from m0 up to the limit, mirrored.
int OffsetForward(const std::int32_t* E, int m0, int nLimit, int nLevel) {
    for (int m = std::max(m0, 1); m < nLimit && m <= kLastFrame; ++m) {
        if (E[m - 1] > nLevel && nLevel > E[m])
            return m;
        if (E[m - 1] <= nLevel && nLevel < E[m])
            return -1;
    }
    return nLimit;
}

// Level crossings of the combined signal, with a fallback when there is none.
int CrossingBackward(const std::int32_t* S, int m0, int nLow, int nLevel, int nElse) {
    for (int m = m0; m > nLow; --m) {
        if (S[m] <= nLevel && nLevel < S[m + 1])
            return m;
    }
    return nElse;
}
int CrossingForward(const std::int32_t* S, int m0, int nHigh, int nLevel, int nElse) {
    for (int m = std::max(m0, 1); m < nHigh; ++m) {
        if (S[m - 1] > nLevel && nLevel >= S[m])
            return m;
    }
    return nElse;
}

// Chord peak of a P wave or an atrial wave: its first sample when none leaves the chord.
void ChordPeak(const std::int32_t* y, int s, int e, std::int32_t& nPeak, std::int32_t& nAmp) {
    nPeak = s;
    nAmp = 0;
    FindChordPeak(y, s, e, nPeak, nAmp);
}

}  // namespace

void BuildTwelveLeadBuffer(CEngineData& d) {
    auto& x = d.PWave.TwelveLeads;
    for (int n = 0; n < kInputSamples; ++n) {
        const std::int32_t i = d.InputLeads[0][n];
        const std::int32_t ii = d.InputLeads[1][n];
        const std::int32_t iii = ii - i;
        x[LeadI][n] = i;
        x[LeadII][n] = ii;
        x[LeadIII][n] = iii;
        x[LeadAVR][n] = -((i + ii) / 2);
        x[LeadAVL][n] = (i - iii) / 2;
        x[LeadAVF][n] = (ii + iii) / 2;
        for (int c = 0; c < 6; ++c)
            x[LeadV1 + c][n] = d.InputLeads[2 + c][n];
    }
}

// The P search window's longest stretch before the QRS offset.
constexpr int kLongestWindow = 400;

// The quietest point after the T wave may lie beyond a P wave that follows the T closely, and
// a search window cut to 400 samples may start after one long before the QRS: at 2:1 block the
// P that is not conducted, which the P search then never sees. A wave after the T end, before
// the point or that start, that matches the P wave before the QRS in direction, height and
// width at half its height, one atrial interval (half the beat interval) before it and with
// nothing but baseline between the two, is that P wave (a U wave is lower and wider than the
// P; flutter waves follow each other closely). A T end found on the rise of a P that follows
// the T's tail closely lies late, so the wave may begin up to kLateTEnd samples before it,
// after a trough between the two. Where the T's tail or a U wave runs into the P, no quiet
// baseline lies before it, and the quietest point would leave their fall beside the P's rise
// (their slopes cancel in the detection signal): the P search then opens at the trough.
struct SBlockedPWave {
    int nHalfHeight = -1;  // where it reaches half its height; -1: no P wave not conducted
    int nFoot = -1;        // where the P search opens; -1: at the quietest point before it
};

SBlockedPWave FindBlockedPWave(const SBaseline& base, int a, int nIsoBeforeQrs, int nOnset, int nRR,
                               int nCutStart) {
    constexpr double kAlike = 1.25;  // height and width within a quarter of each other
    constexpr int kLateTEnd = 25;    // how far inside the next P wave a T end may lie
    const int k0 = base.nPoint;
    const int nFrom = a + 5;
    const int nLow = std::max(a - kLateTEnd, 2);
    if (nFrom < 2 || k0 < nFrom || nIsoBeforeQrs <= k0 + 2 || nOnset > kInputSamples - 12 ||
        nRR <= 0)
        return {};
    // The P wave before the QRS: the last wave 50 uV off the baseline that starts before it,
    // then measured at half its height.
    int k = -1;
    for (int m = k0; m < nOnset - kQrsMargin;) {
        if (!base.Off(m, kWaveLevel)) {
            ++m;
            continue;
        }
        k = m;
        while (m < nOnset && base.Off(m, kWaveLevel))
            ++m;
    }
    if (k < 0)
        return {};
    double f2 = 0;
    for (int m = k; m < nOnset && base.Off(m, kWaveLevel); ++m) {
        if (std::fabs(base.Dev(m)) > std::fabs(f2))
            f2 = base.Dev(m);
    }
    const double fHalf = std::fabs(f2) / 2;
    int s2 = k;
    while (s2 > k0 && base.Off(s2 - 1, fHalf))
        --s2;
    int e2 = k;
    while (e2 < nOnset && base.Off(e2, fHalf))
        ++e2;
    if (e2 >= nOnset || e2 - s2 < kHalfWidth)
        return {};
    // Going back from it over the baseline: the wave before it, which ends after the T end
    // and starts after a trough that is not the T's own tail.
    k = s2 - 1;
    while (k > a && !base.Off(k, fHalf))
        --k;
    if (k <= a)
        return {};
    const int e1 = k + 1;
    double f1 = 0;
    while (k > nLow && base.Off(k, fHalf)) {
        if (std::fabs(base.Dev(k)) > std::fabs(f1))
            f1 = base.Dev(k);
        --k;
    }
    const int s1 = k + 1;
    if (k <= nLow || e1 - s1 < kHalfWidth || (e1 >= k0 && s1 - kPFoot - kQuietRoom >= nCutStart))
        return {};
    auto alike = [&](double f, double g) { return f <= kAlike * g && g <= kAlike * f; };
    if ((f1 > 0) != (f2 > 0) || !alike(std::fabs(f1), std::fabs(f2)) || !alike(e1 - s1, e2 - s2) ||
        std::abs(2 * (s2 - s1) - nRR) * 5 > nRR)
        return {};
    // Room for a quiet point between the T end and its foot, or else a wave that reaches half
    // its height within the quiet room after the T end found, which so lies on its rise: a U
    // wave rises from the baseline after the T end and takes longer.
    const int nQuietEnd = s1 - kPFoot - kQuietRoom;
    if (nQuietEnd < nFrom && s1 - a >= kQuietRoom)
        return {};
    // The trough before it: nearest the baseline within the quiet room before its foot.
    int nTrough = s1 - 1;
    for (int m = s1 - 2; m >= std::max(nQuietEnd, nLow + 1); --m) {
        if (std::fabs(base.Dev(m)) < std::fabs(base.Dev(nTrough)))
            nTrough = m;
    }
    // Nothing of half the P's height from the T end to the trough: the quietest point there
    // serves; else (the T's tail or a U wave) the P search opens at the trough.
    SBlockedPWave w;
    w.nHalfHeight = s1;
    bool bQuiet = nQuietEnd >= nFrom;
    for (int m = nFrom; bQuiet && m <= nTrough; ++m)
        bQuiet = !base.Off(m, fHalf);
    if (!bQuiet)
        w.nFoot = nTrough;
    return w;
}

void FindIsoelectricPoints(CEngineData& d) {
    auto& p = d.PWave;
    const auto& q = d.Detection.IOQm;
    const int nBeats = BeatsInList(d);
    // Per beat the earliest position the leads give (-1: none yet).
    std::array<int, kMaxBeats> aBlockedP, aPFoot, aUEnd;
    auto keepEarliest = [](int& nEarliest, int n) {
        nEarliest = nEarliest < 0 ? n : std::min(nEarliest, n);
    };
    // The mean beat interval: the U check tells short U waves at fast rates, alike in every beat.
    const int nMeanRR = nBeats > 1 ? (q.qrs_onset[nBeats - 1] - q.qrs_onset[0]) / (nBeats - 1) : 0;
    aBlockedP.fill(-1);
    aPFoot.fill(-1);
    aUEnd.fill(-1);
    for (int l = 0; l < kLeads; ++l) {
        if (!UsableLead(d, l))
            continue;
        const std::int32_t* x = p.TwelveLeads[l].data();
        std::array<int, kMaxBeats> aAfterU;
        aAfterU.fill(-1);
        int nWithU = 0;
        for (int i = 0; i < nBeats; ++i) {
            int a;
            if (i > 0)
                a = d.TWave.TOffset[i - 1];
            else if (nBeats > 1)
                a = d.TWave.TOffset[0] - q.qrs_onset[1] + q.qrs_onset[0];
            else
                a = 0;
            a = std::clamp(a, 0, kInputSamples - 12);

            // The quietest ten samples shortly after the previous T wave.
            const int u = std::min({q.qrs_onset[i] - 125, a + 75, kInputSamples - 12});
            int nBest = a;
            long long nBestActivity = 4096;
            for (int k = a + 5; k <= u; ++k) {
                const long long s = Activity(x, k);
                if (s < nBestActivity) {
                    nBestActivity = s;
                    nBest = k;
                }
            }
            p.IsoAfterT[l][i] = nBest;

            // The quietest ten samples near the QRS onset that stay at the onset's level.
            const int qo = std::clamp(q.qrs_onset[i], 0, kLastFrame);
            nBest = qo;
            nBestActivity = 4096;
            for (int k = std::max(qo - 5, 0); k <= std::min(qo + 25, kInputSamples - 12); ++k) {
                long long nSum = 0;
                for (int m = k; m <= k + 9; ++m)
                    nSum += x[m];
                const long long nMean = nSum / 10;
                if (!(std::fabs(static_cast<double>(nMean - x[qo])) < 20.48))
                    continue;
                const long long s = Activity(x, k);
                if (s < nBestActivity) {
                    nBestActivity = s;
                    nBest = k;
                }
            }
            p.IsoBeforeQrs[l][i] = nBest;

            long long nLevel = 0;
            for (int m = nBest; m <= nBest + 9; ++m)
                nLevel += x[m];
            nLevel /= 10;

            // No room after the T end, and the signal still moves there: the end lies late.
            // A U wave may start right there (the T ends less than 260 ms before the next QRS
            // from about 95 a minute on): the point before the late end is then the U's foot.
            SBlockedPWave w;
            if (u < a + 5 && a < q.qrs_onset[i] && a < kInputSamples - 14 &&
                Activity(x, a) >= 20.48) {
                p.IsoAfterT[l][i] = PointBeforeLateTEnd(x, a, nLevel);
            } else if (i > 0) {
                const SBaseline base(x, p.IsoAfterT[l][i], nBest, nLevel);
                w = FindBlockedPWave(base, a, nBest, q.qrs_onset[i],
                                     q.qrs_onset[i] - q.qrs_onset[i - 1],
                                     q.qrs_offset[i] - kLongestWindow);
            }
            if (w.nHalfHeight >= 0) {
                keepEarliest(aBlockedP[i], w.nHalfHeight);
                if (w.nFoot >= 0)
                    keepEarliest(aPFoot[i], w.nFoot);
            } else {
                aAfterU[i] = PointAfterUWave(x, p.IsoAfterT[l][i], a, nBest, q.qrs_onset[i],
                                             nMeanRR, nLevel);
                nWithU += aAfterU[i] != p.IsoAfterT[l][i];
            }
        }
        // A U wave follows every T: a lead shows it in most beats, where fibrillation or
        // flutter waves that happen to look alike come and go.
        if (2 * nWithU >= nBeats) {
            for (int i = 0; i < nBeats; ++i) {
                if (aAfterU[i] < 0 || aAfterU[i] == p.IsoAfterT[l][i])
                    continue;
                p.IsoAfterT[l][i] = aAfterU[i];
                p.AfterUWave[i] = std::max(p.AfterUWave[i], aAfterU[i]);
                if (l >= LeadV1)
                    keepEarliest(aUEnd[i], aAfterU[i]);
            }
        }
    }
    // The U wave is the ventricles' in every lead, also where it is too low to be told apart
    // (its fall would join the P wave there, and the P is found in the limb leads combined):
    // where the chest leads show it, as a U shows best, every lead's P search opens after it,
    // at the earliest point they give. A flutter wave after the T that passes for a U in the
    // inferior leads, where flutter shows best, stays theirs.
    for (int i = 0; i < nBeats; ++i) {
        if (aUEnd[i] < 0 || aBlockedP[i] >= 0)
            continue;
        for (int l = 0; l < kLeads; ++l) {
            if (UsableLead(d, l))
                p.IsoAfterT[l][i] = std::max(p.IsoAfterT[l][i], aUEnd[i]);
        }
    }
    // A P wave not conducted is the atria's in every lead, also where it is too low to be
    // told apart: every lead's P search opens before it, and it is no U wave. Where the T's
    // tail or a U wave runs into it in some lead, the search opens at the trough between them,
    // which ends the T and the U for the atrial-wave count too.
    for (int i = 1; i < nBeats; ++i) {
        if (aBlockedP[i] < 0)
            continue;
        p.AfterUWave[i] = std::max(aPFoot[i], 0);
        p.BlockedPWave[i] = aBlockedP[i];
        const int a = std::clamp(d.TWave.TOffset[i - 1], 0, kInputSamples - 12);
        for (int l = 0; l < kLeads; ++l) {
            if (!UsableLead(d, l))
                continue;
            if (aPFoot[i] >= 0)
                p.IsoAfterT[l][i] = aPFoot[i];
            else if (p.IsoAfterT[l][i] >= aBlockedP[i])
                p.IsoAfterT[l][i] = QuietestPoint(p.TwelveLeads[l].data(), a + 5,
                                                  aBlockedP[i] - kPFoot - kQuietRoom);
        }
    }
}

void FilterPWaveSignal(CEngineData& d) {
    auto& p = d.PWave;
    const int nBeats = BeatsInList(d);
    for (int l = 0; l < kLeads; ++l) {
        if (!UsableLead(d, l))
            continue;
        const std::int32_t* x = p.TwelveLeads[l].data();
        std::int32_t* y = p.LinearRow[l].data();
        std::copy(x, x + kInputSamples, y);

        // QRS-T removal: only the stretches between a T end and the next QRS keep the signal.
        if (nBeats > 0) {
            int e = std::max(p.IsoAfterT[l][0], 1);
            Bridge(x, y, 0, e);
            for (int i = 0; i < nBeats; ++i) {
                const int s = p.IsoBeforeQrs[l][i];
                e = i + 1 < nBeats ? p.IsoAfterT[l][i + 1] : kLastFrame;
                if (e == s)
                    e = std::min(s + 1, kLastFrame);
                Bridge(x, y, s, e);
            }
        }

        // Mean of 23, as a running sum (exact in 64 bits).
        std::int32_t* A = p.WorkRow.data();
        {
            long long nSum = 0;
            for (int k = 0; k < 23; ++k)
                nSum += y[k];
            for (int j = 11; j <= 5987; ++j) {
                if (j > 11)
                    nSum += static_cast<long long>(y[j + 11]) - y[j - 12];
                A[j] = static_cast<std::int32_t>(nSum / 23);
            }
        }
        for (int j = 0; j < 11; ++j)
            A[j] = A[11];
        for (int j = 5988; j < kInputSamples; ++j)
            A[j] = A[5987];

        // Running median of the last 96 values, taken off 48 samples back. The window is
        // kept sorted: the oldest value leaves and the newest enters by one block move each.
        {
            constexpr int kRing = 96;
            std::array<std::int32_t, kRing> ring;
            std::array<std::int32_t, kRing> sorted;
            ring.fill(-4096);
            sorted.fill(-4096);
            int nHead = 0;
            std::int32_t* const pSorted = sorted.data();
            for (int j = 0; j < kInputSamples; ++j) {
                const std::int32_t nOld = ring[nHead];
                const std::int32_t nNew = A[j];
                ring[nHead] = nNew;
                nHead = nHead + 1 == kRing ? 0 : nHead + 1;
                if (nNew != nOld) {
                    const int k = static_cast<int>(
                        std::lower_bound(pSorted, pSorted + kRing, nOld) - pSorted);
                    if (nNew > nOld) {
                        // Slide the values that are now smaller than the new one down.
                        const int e = static_cast<int>(
                            std::lower_bound(pSorted + k + 1, pSorted + kRing, nNew) - pSorted);
                        std::memmove(pSorted + k, pSorted + k + 1,
                                     static_cast<std::size_t>(e - k - 1) * sizeof(std::int32_t));
                        pSorted[e - 1] = nNew;
                    } else {
                        const int b = static_cast<int>(
                            std::upper_bound(pSorted, pSorted + k, nNew) - pSorted);
                        std::memmove(pSorted + b + 1, pSorted + b,
                                     static_cast<std::size_t>(k - b) * sizeof(std::int32_t));
                        pSorted[b] = nNew;
                    }
                }
                if (j >= 48)
                    A[j - 48] -= sorted[48];
            }
            for (int j = kInputSamples - 48; j < kInputSamples; ++j)
                A[j] = A[kInputSamples - 49];
            for (int j = 0; j < 48; ++j)
                A[j] = A[48];
        }

        // Difference over 36 samples, then its energy over 23 samples (a running sum of
        // squares; each square and the sum in 64 bits, as before).
        std::int32_t* D = p.SlopeRow.data();
        for (int m = 18; m <= 5981; ++m)
            D[m] = A[m + 18] - A[m - 18];
        for (int m = 0; m < 18; ++m)
            D[m] = D[18];
        for (int m = 5982; m < kInputSamples; ++m)
            D[m] = D[5981];
        std::int32_t* E = p.EnergyRow[l].data();
        {
            auto Square = [D](int k) { return static_cast<long long>(D[k]) * D[k]; };
            long long nSum = 0;
            for (int k = 0; k < 23; ++k)
                nSum += Square(k);
            for (int j = 11; j <= 5987; ++j) {
                if (j > 11)
                    nSum += Square(j + 11) - Square(j - 12);
                E[j] = Saturate(nSum);
            }
        }
        for (int j = 0; j < 11; ++j)
            E[j] = E[11];
        for (int j = 5988; j < kInputSamples; ++j)
            E[j] = E[5987];
    }
}

// How far the detection signal reaches before a wave: the mean of 23, the difference over 36
// and the energy of 23 samples.
constexpr int kEnergyReach = 11 + 18 + 11;

void DetectPWaves(CEngineData& d) {
    auto& p = d.PWave;
    const auto& q = d.Detection.IOQm;
    const int nBeats = BeatsInList(d);

    for (int l = 0; l < kLeads; ++l) {
        for (int i = 0; i < nBeats; ++i) {
            int s = p.IsoAfterT[l][i];
            const int e = std::clamp(q.qrs_offset[i], 0, kLastFrame);
            // A P wave not conducted lies whole in the window, however long: where a wave
            // runs into it, with the reach of the detection signal before the trough.
            if (p.BlockedPWave[i] > 0 && p.AfterUWave[i] > 0)
                s = std::min(s, p.AfterUWave[i] - kEnergyReach);
            else if (e - s > kLongestWindow - 1 && p.BlockedPWave[i] == 0)
                s = e - kLongestWindow;
            p.WindowStart[l][i] = std::clamp(s, 0, e);
            p.WindowEnd[l][i] = e;
        }
    }

    // First detection, lead by lead.
    for (int l = 0; l < kLeads; ++l) {
        if (!UsableLead(d, l))
            continue;
        const std::int32_t* E = p.EnergyRow[l].data();
        int nWithP = 0;
        for (int i = 0; i < nBeats; ++i) {
            const int s = p.WindowStart[l][i], e = p.WindowEnd[l][i];
            int M = 0;
            for (int j = s; j <= e; ++j)
                M = std::max(M, E[j]);
            p.WindowMax[l][i] = M;
            const bool bTooSmall = IsLimbLead(l) ? M < 1500 : M <= 4999;
            p.PStatus[l][i] = bTooSmall ? kNoPWave : 0;
            if (!bTooSmall)
                ++nWithP;
        }
        if (nWithP < (nBeats + 3) / 5) {
            for (int i = 0; i < nBeats; ++i)
                p.PStatus[l][i] = kNoPWave;
        }
        for (int i = 0; i < nBeats; ++i) {
            SCandidates c{p.CandidateCount[l][i], p.CandidateOn[l][i], p.CandidateOff[l][i]};
            c.nCount = 0;
            if (p.PStatus[l][i] == kNoPWave)
                continue;
            const int s = p.WindowStart[l][i], e = p.WindowEnd[l][i];
            const int M = p.WindowMax[l][i];
            if (!ScanCandidates(E, s, e, M / 2, 25, false, c)) {
                p.PStatus[l][i] = kNoPWave;
                c.nCount = 0;
                continue;
            }
            c.DropCloseOnes();
            // Refinement: each candidate is bounded by the hump of its slope energy.
            int k = 0;
            while (k < c.nCount) {
                const int nOn = c.aOn[k], nOff = c.aOff[k];
                const int P = FirstMaxPosition(E, nOn, nOff);
                const int Ep = E[P];
                const int nLeft = k == 0 ? s : (c.aOff[k - 1] + nOn) / 2;
                const int nRight = k + 1 == c.nCount ? e : (nOff + c.aOn[k + 1]) / 2;
                int Lm = -1, EL = 0, Rm = -1, ER = 0;
                for (int m = P - 2; m >= nLeft && m >= 2; --m) {
                    if (E[m - 2] <= E[m] && E[m] > E[m + 2]) {
                        Lm = m;
                        EL = E[m];
                        break;
                    }
                }
                for (int m = P + 2; m <= nRight && m + 2 <= kLastFrame; ++m) {
                    if (E[m - 2] < E[m] && E[m] >= E[m + 2]) {
                        Rm = m;
                        ER = E[m];
                        break;
                    }
                }
                int nNewOn, nNewOff;
                if (EL == ER) {
                    c.Remove(k);
                    continue;
                } else if (ER < EL) {
                    nNewOn = OnsetBackward(E, Lm - 2, nLeft, EL / 2);
                    nNewOff = OffsetForward(E, P + 2, nRight, Ep / 2);
                } else {
                    nNewOn = OnsetBackward(E, P - 2, nLeft, Ep / 2);
                    nNewOff = OffsetForward(E, Rm + 2, nRight, ER / 2);
                }
                if (nNewOn < 0 || nNewOff < 0) {
                    c.Remove(k);
                    continue;
                }
                c.aOn[k] = nNewOn;
                c.aOff[k] = nNewOff;
                ++k;
            }
            k = 0;
            while (k < c.nCount) {
                const int nDuration = c.aOff[k] - c.aOn[k];
                if (nDuration < 40 || nDuration > 125)
                    c.Remove(k);
                else
                    ++k;
            }
            if (c.nCount == 0)
                p.PStatus[l][i] = kNoPWave;
        }
    }

    // Combined limb signal of leads I, II and III, each beat scaled to its own maximum.
    auto& S = p.CombinedRow;
    S.fill(0);
    p.CombinedThresholdRow.fill(0);
    p.CombinedThreshold.fill(0);
    for (int l : {LeadI, LeadII, LeadIII}) {
        if (!UsableLead(d, l))
            continue;
        const std::int32_t* E = p.EnergyRow[l].data();
        for (int i = 0; i < nBeats; ++i) {
            const int M = p.WindowMax[l][i];
            if (p.PStatus[l][i] == kNoPWave || M <= 0)
                continue;
            for (int k = 0; k < p.CandidateCount[l][i]; ++k) {
                for (int j = p.CandidateOn[l][i][k]; j <= p.CandidateOff[l][i][k]; ++j)
                    S[j] = Saturate(S[j] + static_cast<long long>(E[j]) * 10000 / M);
            }
        }
    }
    int nReference = -1;
    if (d.Detection.LeadQuality12[LeadII] == LeadGoodQuality) {
        nReference = LeadII;
    } else {
        for (int l = 0; l < kLeads && nReference < 0; ++l) {
            if (d.Detection.LeadQuality12[l] == LeadGoodQuality)
                nReference = l;
        }
    }
    // Without a good lead the first usable one serves.
    for (int l = 0; l < kLeads && nReference < 0; ++l) {
        if (UsableLead(d, l))
            nReference = l;
    }
    if (nReference < 0)
        return;

    for (int i = 0; i < nBeats; ++i) {
        const int s = p.WindowStart[nReference][i], e = p.WindowEnd[nReference][i];
        int nMax = 0;
        for (int j = s; j <= e; ++j)
            nMax = std::max(nMax, S[j]);
        const int qStep = std::max(nMax / 100, 1);
        auto& h = p.Histogram;
        h.fill(0);
        for (int j = s; j <= e; ++j) {
            const long long v = S[j];
            int k = v < 0 ? 0 : static_cast<int>(v / qStep);
            if (k > 100)
                k = 99;
            ++h[k];
        }
        const int nNeed = (e - s - 1) * 90 / 100;
        int nSum = 0;
        for (int k = 0; k <= 100; ++k) {
            nSum += h[k];
            if (nSum > nNeed) {
                p.CombinedThreshold[i] = (qStep * k) / 2;
                break;
            }
        }
        for (int j = s; j <= e; ++j)
            p.CombinedThresholdRow[j] = p.CombinedThreshold[i];
    }

    // Second detection on the combined signal, in the reference lead's windows.
    std::int32_t* G = p.SlopeRow.data();
    for (int k = 2; k <= kInputSamples - 3; ++k)
        G[k] = S[k + 2] - S[k - 2];
    G[0] = G[1] = G[kInputSamples - 2] = G[kLastFrame] = 0;
    const int R2 = nReference;
    for (int i = 0; i < nBeats; ++i) {
        SCandidates c{p.CandidateCount[R2][i], p.CandidateOn[R2][i], p.CandidateOff[R2][i]};
        // Without a combined threshold the reference lead keeps its own candidates.
        const int nThreshold = p.CombinedThreshold[i];
        if (nThreshold == 0)
            continue;
        const int s = p.WindowStart[R2][i], e = p.WindowEnd[R2][i];
        if (!ScanCandidates(S.data(), s, e, nThreshold, 50, true, c))
            c.nCount = std::min(c.nCount, kMaxPWavesPerBeat);
        for (int k = 0; k < c.nCount; ++k) {
            const int nOn = c.aOn[k], nOff = c.aOff[k];
            const int P = FirstMaxPosition(S.data(), nOn, nOff);
            const int Sp = S[P];
            const int nLeft = k == 0 ? s : (c.aOff[k - 1] + nOn) / 2;
            const int nRight = k + 1 == c.nCount ? e : (nOff + c.aOn[k + 1]) / 2;
            int Ql = -1, Qr = -1;
            for (int m = P - 2; m >= nLeft && m >= 2; --m) {
                if (S[m - 2] <= S[m] && S[m] > S[m + 2] && P - m > 20 && S[m] > Sp / 4) {
                    Ql = m;
                    break;
                }
            }
            for (int m = P + 2; m <= nRight && m + 2 <= kLastFrame; ++m) {
                if (S[m - 2] < S[m] && S[m] >= S[m + 2] && m - P > 20 && S[m] > Sp / 4) {
                    Qr = m;
                    break;
                }
            }
            int Q = -1;
            if (Ql >= 0 && Qr >= 0)
                Q = S[Qr] >= S[Ql] ? Qr : Ql;
            else
                Q = Ql >= 0 ? Ql : Qr;
            if (Q < 0) {
                c.aOn[k] = CrossingBackward(S.data(), P - 1, s, Sp / 3, s);
                c.aOff[k] = CrossingForward(S.data(), P + 1, e, Sp / 3, e);
            } else if (Q < P) {
                c.aOn[k] = CrossingBackward(S.data(), Q - 1, s, S[Q] / 2, Q);
                c.aOff[k] = CrossingForward(S.data(), P + 1, e, Sp / 2, P);
            } else {
                c.aOn[k] = CrossingBackward(S.data(), P - 1, s, Sp / 2, P);
                c.aOff[k] = CrossingForward(S.data(), Q + 1, e, S[Q] / 2, Q);
            }
        }
        c.DropCloseOnes();
        // Onset adjustment: the flattest rising point of the combined signal near the onset.
        for (int k = 0; k < c.nCount; ++k) {
            const int o = c.aOn[k];
            int lo = o - 25, hi = o + 24;
            if (o < 25) {
                lo = o;
                hi = o + 24;
            } else if (o + 25 > kInputSamples) {
                lo = o - 25;
                hi = o - 1;
            }
            lo = std::max(lo, 2);
            hi = std::min(hi, kInputSamples - 3);
            int nBest = -1;
            long long nBestSlope = 50000;
            for (int m = lo; m <= hi; ++m) {
                if (S[m] >= nThreshold && G[m + 2] < G[m - 2] && std::llabs(G[m]) < nBestSlope) {
                    nBestSlope = std::llabs(G[m]);
                    nBest = m;
                }
            }
            if (nBest >= 0)
                c.aOn[k] = nBest - 5;
        }
    }
    for (int l = 0; l < kLeads; ++l) {
        if (l == R2)
            continue;
        p.CandidateCount[l] = p.CandidateCount[R2];
        p.CandidateOn[l] = p.CandidateOn[R2];
        p.CandidateOff[l] = p.CandidateOff[R2];
    }

    // Final P waves per lead and kept beat, in record positions.
    const auto& lb = d.Qrs.LeadBeatList;
    for (int l = 0; l < kLeads; ++l) {
        int j = 0;
        for (int i = 0; i < nBeats && j < kMaxBeats; ++i) {
            if (!(q.qrs_onset[i] > 499 && q.qrs_offset[i] < 5501))
                continue;
            int n = 0;
            for (int k = 0; k < p.CandidateCount[l][i] && n < kMaxPWavesPerBeat; ++k) {
                if (p.CandidateOn[l][i][k] > 499) {
                    p.POn[l][j][n] = p.CandidateOn[l][i][k] - kLeadIn;
                    p.POff[l][j][n] =
                        std::min(p.CandidateOff[l][i][k] - kLeadIn, kRecordSamples - 1);
                    ++n;
                }
            }
            p.PCount[l][j] = n;
            ++j;
        }
        const int C = std::clamp(lb.nCount[l], 0, kMaxBeats);
        for (j = 0; j < C; ++j) {
            const int nQrsOn = lb.onset[l][j];
            int n = p.PCount[l][j];
            int k = 0;
            while (k < n) {
                if (p.POn[l][j][k] >= nQrsOn)
                    p.POn[l][j][k] = nQrsOn - 1;
                if (p.POff[l][j][k] >= nQrsOn)
                    p.POff[l][j][k] = nQrsOn - 1;
                if (p.POff[l][j][k] - p.POn[l][j][k] < 2) {
                    for (int m = k; m + 1 < n; ++m) {
                        p.POn[l][j][m] = p.POn[l][j][m + 1];
                        p.POff[l][j][m] = p.POff[l][j][m + 1];
                    }
                    --n;
                    p.POn[l][j][n] = p.POff[l][j][n] = 0;
                } else {
                    ++k;
                }
            }
            p.PCount[l][j] = n;
        }
    }
}

void MeasurePWaves(CEngineData& d) {
    auto& p = d.PWave;
    const auto& lb = d.Qrs.LeadBeatList;
    int N = 0;
    for (int l = 0; l < kLeads; ++l)
        N = std::max(N, std::clamp(lb.nCount[l], 0, kMaxBeats));

    for (int l = 0; l < kLeads; ++l) {
        const std::int32_t* y = d.AnalysisLeads[l].data();
        const int C = std::clamp(lb.nCount[l], 0, kMaxBeats);
        bool bFirst = true;
        int nPrevMid = 0;
        for (int j = 0; j < C; ++j) {
            const int n = std::clamp(p.PCount[l][j], 0, kMaxPWavesPerBeat);
            for (int k = 0; k < n; ++k) {
                const int s = std::clamp(p.POn[l][j][k], 0, kRecordSamples - 1);
                int e = std::clamp(p.POff[l][j][k], 0, kRecordSamples - 1);
                if (e == s)
                    e = std::min(s + 1, kRecordSamples - 1);
                ChordPeak(y, s, e, p.PPeak[l][j][k], p.PAmp[l][j][k]);
                p.PDur[l][j][k] = (e - s) * 2;
                const int nMid = (p.POn[l][j][k] + p.POff[l][j][k]) / 2;
                p.PPint[l][j][k] = bFirst ? 0 : (nMid - nPrevMid) * 2;
                bFirst = false;
                nPrevMid = nMid;
            }
            if (n > 0)
                p.PR[l][j] = (QrsStartOf(d, j) - p.POn[l][j][n - 1]) * 2;
        }
    }

    for (int j = 0; j < N; ++j) {
        p.MiddleWorkList.nCount = 0;
        for (int l = 0; l < kLeads; ++l) {
            if (p.PR[l][j] != 0)
                AddToWorkList(p.MiddleWorkList, p.PR[l][j]);
        }
        if (p.MiddleWorkList.nCount > 0)
            p.PRint[j] = MiddleValueOf(p.MiddleWorkList);
    }
    // The record values take every beat and every P wave, more than a work list holds.
    BeatPTable aValue{};
    int nValues = 0;
    for (int j = 0; j < N; ++j) {
        if (p.PRint[j] != 0)
            aValue[nValues++] = p.PRint[j];
    }
    if (nValues > 0)
        p.RecordPR = MiddleValueOf(aValue.data(), nValues);

    // P axes per beat and P wave; the record's from those that are not exactly 0.
    nValues = 0;
    for (int j = 0; j < N; ++j) {
        int nMost = 0;
        for (int l = 0; l < kLeads; ++l)
            nMost = std::max(nMost, std::clamp(p.PCount[l][j], 0, kMaxPWavesPerBeat));
        p.PaxisCount[j] = nMost;
        for (int k = 0; k < nMost; ++k) {
            const int nAxis =
                AxisFromLimbLeads(p.PAmp[LeadI][j][k], p.PAmp[LeadII][j][k], p.PAmp[LeadIII][j][k]);
            p.Paxis[j * kMaxPWavesPerBeat + k] = nAxis;
            if (nAxis != 0)
                aValue[nValues++] = nAxis;
        }
    }
    if (nValues > 0)
        p.RecordPAxis = MiddleValueOf(aValue.data(), nValues);

    for (int j = 0; j < N; ++j) {
        const int nBest = LeadWithMostPWaves(d, j);
        const int nMost = nBest < 0 ? 0 : std::min(p.PCount[nBest][j], kMaxPWavesPerBeat);
        p.ResultCount[j] = nMost;
        for (int k = 0; k < nMost; ++k) {
            p.ResultOn[j * kMaxPWavesPerBeat + k] = p.POn[nBest][j][k];
            p.ResultOff[j * kMaxPWavesPerBeat + k] = p.POff[nBest][j][k];
        }
    }
}

int LeadWithMostPWaves(const CEngineData& d, int j) {
    int nBest = -1, nMost = 0;
    for (int l = 0; l < kLeads; ++l) {
        if (d.PWave.PCount[l][j] > nMost) {
            nMost = d.PWave.PCount[l][j];
            nBest = l;
        }
    }
    return nBest;
}

// Height (sample units, about 100 uV) by which the atrial sum of the eight independent leads,
// or lead II, must rise or fall between two turns.
constexpr std::int32_t kAtrialTurn = 41;

namespace {

// Rows smoothed by a 21-sample mean (computed from the unsmoothed values, as a running sum:
// six rows are smoothed in every run).
void SmoothAtrialRow(const std::int32_t* raw, std::int32_t* row) {
    for (int k = 0; k < kRecordSamples; ++k)
        row[k] = raw[k];
    long long nSum = 0;
    for (int m = 0; m < 21; ++m)
        nSum += raw[m];
    for (int k = 10; k <= kRecordSamples - 11; ++k) {
        row[k] = static_cast<std::int32_t>(nSum / 21);
        if (k + 11 < kRecordSamples)
            nSum += raw[k + 11] - raw[k - 10];
    }
}

// Counts the waves of a smoothed row from nFrom to nTo; the first kMaxPWavesPerBeat get their
// start, end and the fall from their peak to the turn that ends them (each where asked for).
int CountAtrialTurns(const std::int32_t* row, int nFrom, int nTo, int nRepolarised,
                     std::int32_t* pOn, std::int32_t* pOff, std::int32_t* pFall) {
    bool bUp = false;
    int nStart = nFrom;
    int nCount = 0;
    // A turn counts only when the row has moved a wave's height since the last one: the
    // ripples of noise on a flat stretch are no atrial waves.
    std::int32_t nPeak = row[nFrom], nTrough = row[nFrom];
    for (int k = nFrom; k < nTo; ++k) {
        nPeak = std::max(nPeak, row[k]);
        nTrough = std::min(nTrough, row[k]);
        const bool bMax = row[k] >= row[k - 5] && row[k] >= row[k + 5] && row[k] > row[k - 10] &&
                          row[k] > row[k + 10];
        const bool bMin = row[k] <= row[k - 5] && row[k] <= row[k + 5] && row[k] < row[k - 10] &&
                          row[k] < row[k + 10];
        if (bMax && !bUp && row[k] - nTrough >= kAtrialTurn) {
            bUp = true;
            nPeak = row[k];
        } else if (bMin && bUp && nPeak - row[k] >= kAtrialTurn) {
            bUp = false;
            nTrough = row[k];
            // The T and its U are one wave.
            if (k < nRepolarised)
                continue;
            if (k - nStart < 25) {
                nStart = k + 5;
            } else {
                if (nCount < kMaxPWavesPerBeat) {
                    if (pOn)
                        pOn[nCount] = nStart;
                    pOff[nCount] = k - 5;
                    if (pFall)
                        pFall[nCount] = nPeak - row[k];
                }
                ++nCount;
                nStart = k + 5;
            }
        }
    }
    return nCount;
}

}  // namespace

void CountAtrialActivity(CEngineData& d) {
    auto& p = d.PWave;
    std::int32_t* raw = p.WorkRow.data();
    for (int k = 0; k < kRecordSamples; ++k) {
        long long nSum = 0;
        for (int l : kInputRowLead)
            nSum += d.AnalysisLeads[l][k];
        raw[k] = Saturate(nSum);
    }
    SmoothAtrialRow(raw, p.SumRow.data());

    int N = 0;
    for (int l = 0; l < kLeads; ++l)
        N = std::max(N, std::clamp(d.Qrs.LeadBeatList.nCount[l], 0, kMaxBeats));
    // The waves of each interval lie between one beat's QRS end and the next one's onset.
    auto from = [&](int b) {
        return std::clamp(d.Qrs.GlobalQrsOffset[b], 10, kRecordSamples - 11);
    };
    auto to = [&](int b) {
        return std::clamp(d.Qrs.GlobalQrsOnset[b + 1], 10, kRecordSamples - 10);
    };
    // A U wave seen after the T of the interval: turns before the point after it end no wave
    // (the smoothing moves the turn between U and P up to its half width earlier).
    std::array<int, kMaxBeats> aRepolarised{};
    for (int b = 0; b + 1 < N; ++b) {
        aRepolarised[b] = from(b);
        for (int i = 0; i < BeatsInList(d); ++i) {
            const int nAfterU = p.AfterUWave[i] - kLeadIn - 10;
            if (p.AfterUWave[i] > 0 && from(b) < nAfterU && nAfterU < to(b))
                aRepolarised[b] = nAfterU;
        }
    }
    bool bFirst = true;
    int nPrevMid = 0;
    for (int b = 0; b + 1 < N; ++b) {
        const int w0 = b * kMaxPWavesPerBeat;
        const int nCount = CountAtrialTurns(p.SumRow.data(), from(b), to(b), aRepolarised[b],
                                            &p.AtrialOn[w0], &p.AtrialOff[w0], nullptr);
        p.AtrialCount[b] = nCount;
        for (int w = 0; w < std::min(nCount, kMaxPWavesPerBeat); ++w) {
            const int i = b * kMaxPWavesPerBeat + w;
            ChordPeak(d.AnalysisLeads[LeadI].data(), p.AtrialOn[i], p.AtrialOff[i], p.AtrialPeak[i],
                      p.AtrialAmp[i]);
            // The same amplitude in all three limb leads points at 60 or -120 degrees.
            p.AtrialAxis[i] = p.AtrialAmp[i] > 0 ? 60 : (p.AtrialAmp[i] < 0 ? -120 : -90);
            const int nMid = (p.AtrialOn[i] + p.AtrialOff[i]) / 2;
            p.AtrialInterval[i] = bFirst ? 0 : (nMid - nPrevMid) * 2;
            bFirst = false;
            nPrevMid = nMid;
        }
    }
    for (int f = 0; f < kFlutterLeads; ++f) {
        SmoothAtrialRow(d.AnalysisLeads[kFlutterLeadList[f]].data(), p.LeadRow.data());
        for (int b = 0; b + 1 < N; ++b) {
            const int w0 = b * kMaxPWavesPerBeat;
            p.AtrialCountLead[f][b] =
                CountAtrialTurns(p.LeadRow.data(), from(b), to(b), aRepolarised[b], nullptr,
                                 &p.AtrialOffLead[f][w0], &p.AtrialFallLead[f][w0]);
        }
    }
}

namespace {

// The longest intervals of the averaged beat: 2:1 conduction of atria at 240 a minute, and
// the longest whose quarter rounds to a cycle at 240 (4:1 conduction).
constexpr int kTwoToOneMaxRR = 250;
constexpr int kWaveEchoMaxRR = 4 * kLongestAtrialCycle + 1;
using AveragedBeat = std::array<std::array<double, kWaveEchoMaxRR + 1>, kIndependentLeads>;

// Median of a few values (the upper one of an even count).
int UpperMedian(int* pValues, int n) {
    std::sort(pValues, pValues + n);
    return pValues[n / 2];
}

// Unit direction over the eight leads along which positions a..b of the averaged beat vary
// most (their principal direction).
std::array<double, kIndependentLeads> MainDirection(const AveragedBeat& avg, int a, int b) {
    std::array<double, kIndependentLeads> mean{}, v{};
    for (int l = 0; l < kIndependentLeads; ++l) {
        for (int k = a; k <= b; ++k)
            mean[l] += avg[l][k];
        mean[l] /= b - a + 1;
    }
    double c[kIndependentLeads][kIndependentLeads] = {};
    for (int k = a; k <= b; ++k)
        for (int i = 0; i < kIndependentLeads; ++i)
            for (int j = 0; j < kIndependentLeads; ++j)
                c[i][j] += (avg[i][k] - mean[i]) * (avg[j][k] - mean[j]);
    v.fill(1.0);
    for (int nStep = 0; nStep < 100; ++nStep) {
        std::array<double, kIndependentLeads> w{};
        double fNorm = 0;
        for (int i = 0; i < kIndependentLeads; ++i) {
            for (int j = 0; j < kIndependentLeads; ++j)
                w[i] += c[i][j] * v[j];
            fNorm += w[i] * w[i];
        }
        fNorm = std::sqrt(fNorm) + 1e-12;
        for (int i = 0; i < kIndependentLeads; ++i)
            v[i] = w[i] / fNorm;
    }
    return v;
}

// Measures of the wave before the QRS and of what one atrial cycle (H samples) earlier holds.
// The averaged beat runs from one QRS onset (0) to the next (R); the wave peaks at kPeak.
SWaveEcho MeasureWaveEcho(const AveragedBeat& avg, int R, int nQrs, int kPeak, int H) {
    SWaveEcho e;
    // The wave 40 ms either side of its peak; the T between the QRS and the wave.
    const int a = std::max(kPeak - 20, 0), b = std::min(kPeak + 20, R - 1);
    const int nTFrom = std::max(nQrs + 5, 0), nTTo = a - 1;
    const int nEchoFrom = std::max({a - H, nQrs + 2, 0}), nEchoTo = b - H;
    if (nTTo - nTFrom < 20 || nEchoTo - nEchoFrom < 10 || b <= a)
        return e;
    auto u = MainDirection(avg, a, b);
    const auto t = MainDirection(avg, nTFrom, nTTo);
    double fAlong = 0;
    for (int l = 0; l < kIndependentLeads; ++l)
        fAlong += u[l] * t[l];
    double fApart = 0;
    for (int l = 0; l < kIndependentLeads; ++l) {
        u[l] -= fAlong * t[l];
        fApart += u[l] * u[l];
    }
    fApart = std::sqrt(fApart);
    if (fApart < 1e-6)
        return e;
    // A wave that recurs keeps its direction; the rest of an ST-T that the T's direction
    // leaves (an ST shift) points elsewhere.
    AveragedBeat free{};
    for (int k = 0; k <= R; ++k) {
        double fT = 0;
        for (int l = 0; l < kIndependentLeads; ++l)
            fT += t[l] * avg[l][k];
        for (int l = 0; l < kIndependentLeads; ++l)
            free[l][k] = avg[l][k] - fT * t[l];
    }
    const auto waveDirection = MainDirection(free, a, b);
    const auto echoDirection = MainDirection(free, nEchoFrom, nEchoTo);
    double fAlike = 0;
    for (int l = 0; l < kIndependentLeads; ++l)
        fAlike += waveDirection[l] * echoDirection[l];
    auto along = [&](int k) {
        double v = 0;
        for (int l = 0; l < kIndependentLeads; ++l)
            v += u[l] / fApart * avg[l][k];
        return v;
    };
    auto range = [&](int from, int to) {
        double fMax = -1e300, fMin = 1e300;
        for (int k = from; k <= to; ++k) {
            fMax = std::max(fMax, along(k));
            fMin = std::min(fMin, along(k));
        }
        return fMax - fMin;
    };
    const double fWave = range(a, b);
    if (fWave <= 0 || a - H < 0)
        return e;
    // The same wave runs the same way a cycle earlier: their correlation.
    double fMeanWave = 0, fMeanEcho = 0;
    for (int k = a; k <= b; ++k) {
        fMeanWave += along(k);
        fMeanEcho += along(k - H);
    }
    fMeanWave /= b - a + 1;
    fMeanEcho /= b - a + 1;
    double fCross = 0, fWaveSquares = 0, fEchoSquares = 0;
    for (int k = a; k <= b; ++k) {
        const double x = along(k) - fMeanWave, y = along(k - H) - fMeanEcho;
        fCross += x * y;
        fWaveSquares += x * x;
        fEchoSquares += y * y;
    }
    e.nWaveSize = static_cast<std::int32_t>(fWave * 2.44140625);
    e.nEcho = static_cast<std::int32_t>(100 * range(nEchoFrom, nEchoTo) / fWave);
    e.nApart = static_cast<std::int32_t>(100 * fApart);
    e.nAlike = static_cast<std::int32_t>(100 * std::abs(fAlike));
    e.nCourse =
        static_cast<std::int32_t>(100 * fCross / std::sqrt(fWaveSquares * fEchoSquares + 1e-12));
    e.nRest = static_cast<std::int32_t>(100 * range(nTFrom, nTTo) / fWave);
    return e;
}

}  // namespace

// At 2:1 conduction every other flutter wave lies in the QRS-T and the one before the QRS
// passes for a sinus P wave; at 3:1 and 4:1 the others lie in the QRS, the T and the
// stretch after it. A sinus rhythm has only the T wave there; flutter has the same wave
// again one atrial cycle (half, a third or a quarter of the interval) earlier. In the beat
// averaged over the steady intervals, the wave's direction freed of the T wave's shows the
// T no more: there the size one cycle before the wave, against the wave's own, tells the
// two apart.
void MeasureAtrialWaveEcho(CEngineData& d) {
    auto& p = d.PWave;
    p.Echo = {};
    const auto& q = d.Qrs;
    const int N = std::clamp(q.LeadBeatList.nCount[LeadII], 0, kMaxBeats);
    int aRR[kMaxBeats], aQrs[kMaxBeats], aPeak[kMaxBeats];
    int nRR = 0, nPeaks = 0;
    for (int j = 0; j + 1 < N; ++j) {
        aRR[nRR] = q.GlobalQrsOnset[j + 1] - q.GlobalQrsOnset[j];
        aQrs[nRR++] = q.GlobalQrsOffset[j] - q.GlobalQrsOnset[j];
    }
    for (int j = 1; j < N; ++j) {
        const int c = p.PCount[LeadII][j];
        if (c > 0)
            aPeak[nPeaks++] = p.PPeak[LeadII][j][c - 1] - q.GlobalQrsOnset[j];
    }
    if (nRR < 4 || nPeaks < 4)
        return;
    const int R = UpperMedian(aRR, nRR);
    if (R < 1 || R > kWaveEchoMaxRR || aRR[0] < 0.9 * R || aRR[nRR - 1] > 1.1 * R)
        return;  // only a steady rhythm averages into one beat
    const int nQrs = UpperMedian(aQrs, nRR);
    const int kPeak = R + UpperMedian(aPeak, nPeaks);

    AveragedBeat avg{};
    int nBeats = 0;
    for (int j = 1; j < N; ++j) {
        const int nStart = q.GlobalQrsOnset[j] - R;
        if (nStart < 0 || q.GlobalQrsOnset[j] >= kRecordSamples)
            continue;
        ++nBeats;
        for (int l = 0; l < kIndependentLeads; ++l)
            for (int k = 0; k <= R; ++k)
                avg[l][k] += d.AnalysisLeads[kInputRowLead[l]][nStart + k];
    }
    if (nBeats < 4)
        return;
    for (auto& row : avg)
        for (int k = 0; k <= R; ++k)
            row[k] /= nBeats;

    if (R <= kTwoToOneMaxRR) {
        p.Echo = MeasureWaveEcho(avg, R, nQrs, kPeak, (R + 1) / 2);
        p.Echo.nDivisor = 2;
    } else {
        // 3:1 or 4:1: the divisor that puts the atrial cycle at 240 to 350 a minute (86 to
        // 125 samples); where both do, the one whose echo runs closer to the wave.
        for (int nDivisor = 3; nDivisor <= 4; ++nDivisor) {
            const int H = (R + nDivisor / 2) / nDivisor;
            if (H < kShortestAtrialCycle || H > kLongestAtrialCycle)
                continue;
            const SWaveEcho e = MeasureWaveEcho(avg, R, nQrs, kPeak, H);
            if (p.Echo.nDivisor == 0 || e.nCourse > p.Echo.nCourse) {
                p.Echo = e;
                p.Echo.nDivisor = nDivisor;
            }
        }
    }
}

// Debug rows of the stage: the atrial sum row marked at the counted waves, the bridged copy,
// the energy, each lead marked at its P candidates, the combined row and its threshold, and
// each analysis lead marked at its final P waves.
void AppendPWaveDebugRows(CEngineData& d) {
    if (!d.WritesDebugOutput())
        return;
    auto& p = d.PWave;
    std::array<std::int32_t, kMaxBeats * kMaxPWavesPerBeat> aOn{}, aOff{};
    int n = 0;
    for (int b = 0; b < kMaxBeats; ++b) {
        for (int w = 0; w < std::min(p.AtrialCount[b], kMaxPWavesPerBeat); ++w) {
            aOn[n] = p.AtrialOn[b * kMaxPWavesPerBeat + w];
            aOff[n++] = p.AtrialOff[b * kMaxPWavesPerBeat + w];
        }
    }
    for (int l = 0; l < kLeads; ++l) {
        std::int32_t* pRow =
            AppendDebugRow(d, "Preg_", kLeadNames[l], p.SumRow.data(), kRecordSamples);
        MarkDebugRow(pRow, aOn.data(), n, 128, +1);
        MarkDebugRow(pRow, aOff.data(), n, 128, -1);
    }
    for (int l = 0; l < kLeads; ++l)
        AppendDebugRow(d, "Linear_", kLeadNames[l], p.LinearRow[l].data(), kInputSamples);
    for (int l = 0; l < kLeads; ++l)
        AppendDebugRow(d, "Proiz_", kLeadNames[l], p.EnergyRow[l].data(), kInputSamples);
    const int nBeats = BeatsInList(d);
    for (int l = 0; l < kLeads; ++l) {
        n = 0;
        for (int i = 0; i < nBeats; ++i) {
            for (int k = 0; k < std::min(p.CandidateCount[l][i], kMaxPWavesPerBeat); ++k) {
                aOn[n] = p.CandidateOn[l][i][k];
                aOff[n++] = p.CandidateOff[l][i][k];
            }
        }
        std::int32_t* pRow =
            AppendDebugRow(d, "Ponoff_", kLeadNames[l], p.TwelveLeads[l].data(), kInputSamples);
        MarkDebugRow(pRow, aOn.data(), n, 128, +1);
        MarkDebugRow(pRow, aOff.data(), n, 128, -1);
    }
    AppendDebugRow(d, "prz_sum", "", p.CombinedRow.data(), kInputSamples);
    AppendDebugRow(d, "prz_sum_thd", "", p.CombinedThresholdRow.data(), kInputSamples);
    for (int l = 0; l < kLeads; ++l) {
        n = 0;
        for (int j = 0; j < std::clamp(d.Qrs.LeadBeatList.nCount[l], 0, kMaxBeats); ++j) {
            for (int k = 0; k < std::min(p.PCount[l][j], kMaxPWavesPerBeat); ++k) {
                aOn[n] = p.POn[l][j][k];
                aOff[n++] = p.POff[l][j][k];
            }
        }
        std::int32_t* pRow =
            AppendDebugRow(d, "Pwave_", kLeadNames[l], d.AnalysisLeads[l].data(), kRecordSamples);
        MarkDebugRow(pRow, aOn.data(), n, 128, +1);
        MarkDebugRow(pRow, aOff.data(), n, 128, -1);
    }
}

int RunPWaveStage(CEngineData& d) {
    BuildTwelveLeadBuffer(d);
    FindIsoelectricPoints(d);
    FilterPWaveSignal(d);
    DetectPWaves(d);
    MeasurePWaves(d);
    CountAtrialActivity(d);
    MeasureAtrialWaveEcho(d);
    AppendPWaveDebugRows(d);
    (void)RunStep(d, 7);
    return 0;
}

}  // namespace ecg_engine
