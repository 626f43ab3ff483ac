// How like the dominant beat each QRS is: the beats are grouped by the shape of their QRS on
// the eight independent leads, the narrowest large group is the dominant (conducted) beat, and
// each beat is matched against the average of that group. A ventricular beat differs from it
// in shape, width or size; a beat that the atria conducted matches it within its noise.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

namespace {

// The QRS window around the centre of the beat's slope energy: 60 ms before it, 100 ms after,
// looked at up to 6 ms either side.
constexpr int kBefore = 30, kLength = 80, kShift = 3;
constexpr int kSpan = kLength + 2 * kShift;
constexpr int kGroups = 8;
// Beats of one group differ from its first beat by less than this share of its energy.
constexpr double kGroupResidual = 0.25;
constexpr int kLikeLeads[kIndependentLeads] = {LeadI,  LeadII, LeadV1, LeadV2,
                                               LeadV3, LeadV4, LeadV5, LeadV6};

using Window = std::array<std::array<float, kSpan>, kIndependentLeads>;

// Centre of the slope energy over the beat's QRS (record position).
int SlopeCentre(const CEngineData& d, int nOn, int nOff) {
    double fSum = 0, fMoment = 0;
    for (int t = std::max(nOn - 10, 2); t <= std::min(nOff + 10, kRecordSamples - 3); ++t) {
        double e = 0;
        for (int l : kLikeLeads)
            e += std::abs(d.AnalysisLeads[l][t + 2] - d.AnalysisLeads[l][t - 2]);
        fSum += e * e;
        fMoment += e * e * t;
    }
    return fSum > 0 ? static_cast<int>(std::lround(fMoment / fSum)) : nOn;
}

void CutWindow(const CEngineData& d, int nCentre, Window& w) {
    for (int k = 0; k < kIndependentLeads; ++k) {
        const auto& x = d.AnalysisLeads[kLikeLeads[k]];
        for (int s = 0; s < kSpan; ++s)
            w[k][s] = static_cast<float>(
                x[std::clamp(nCentre - kBefore - kShift + s, 0, kRecordSamples - 1)]);
    }
}

// What is left of window a at a shift once the reference window (none: nothing) is taken away,
// summed over the leads, each lead's offset and slope taken away first: a baseline that wanders
// is no part of a QRS's shape.
double LeftOver(const Window& a, const Window* pRef, int nShift) {
    constexpr double fMid = (kLength - 1) / 2.0;
    constexpr double fSlopeNorm = kLength * (kLength * kLength - 1.0) / 12.0;  // sum of (s - mid)^2
    double fTotal = 0;
    for (int k = 0; k < kIndependentLeads; ++k) {
        const float* x = a[k].data() + kShift + nShift;
        const float* r = pRef ? (*pRef)[k].data() + kShift : nullptr;
        double fSum = 0, fSquares = 0, fSlope = 0;
        for (int s = 0; s < kLength; ++s) {
            const double v = x[s] - (r ? r[s] : 0.0f);
            fSum += v;
            fSquares += v * v;
            fSlope += (s - fMid) * v;
        }
        fTotal += fSquares - fSum * fSum / kLength - fSlope * fSlope / fSlopeNorm;
    }
    return std::max(fTotal, 0.0);
}

double Energy(const Window& w) {
    return LeftOver(w, nullptr, 0);
}

// The shift at which the least of window a is left over against the reference.
int BestShift(const Window& a, const Window& ref, double& fLeft) {
    int nBest = 0;
    fLeft = 1e300;
    for (int s = -kShift; s <= kShift; ++s) {
        const double f = LeftOver(a, &ref, s);
        if (f < fLeft) {
            fLeft = f;
            nBest = s;
        }
    }
    return nBest;
}

// What is left of the beat after the reference is taken away, at the best shift, as a share
// of the reference's energy: shape, width and size all count.
double Residual(const Window& a, const Window& ref, double fRefEnergy) {
    if (fRefEnergy <= 0)
        return 0;
    double fLeft = 0;
    (void)BestShift(a, ref, fLeft);
    return fLeft / fRefEnergy;
}

// Ms from the QRS onset to the first peak or trough of lead II (the highest or lowest of the
// samples 4 ms either side, inside the QRS) that lies at least 0.3 of the complex's largest
// deflection from the onset's level: the conduction system reaches the whole of the ventricles
// within a few tens of ms, a beat that spreads from muscle cell to cell rises slowly.
int ActivationTime(const CEngineData& d, int nOn, int nOff) {
    const auto& x = d.AnalysisLeads[LeadII];
    nOn = std::clamp(nOn, 0, kRecordSamples - 1);
    nOff = std::clamp(nOff, nOn, kRecordSamples - 1);
    std::int32_t nLargest = 0;
    for (int t = nOn; t <= nOff; ++t)
        nLargest = std::max(nLargest, std::abs(x[t] - x[nOn]));
    for (int t = nOn + 1; t <= nOff && nLargest > 0; ++t) {
        const std::int32_t v = x[t] - x[nOn];
        if (10 * std::abs(v) < 3 * nLargest)
            continue;
        bool bTurn = true;
        for (int k = std::max(t - 2, nOn); k <= std::min(t + 2, nOff) && bTurn; ++k)
            bTurn = v > 0 ? x[k] - x[nOn] <= v : x[k] - x[nOn] >= v;
        if (bTurn)
            return 2 * (t - nOn);
    }
    return 2 * (nOff - nOn);
}

}  // namespace

void MeasureQrsLikeness(CEngineData& d) {
    auto& m = d.Measurements;
    const auto& q = d.Qrs;
    const int N = std::clamp(d.BeatCount, 0, kMaxBeats - 1);
    m.QrsLikeness.fill(0);
    m.QrsCentre.fill(0);
    m.QrsActivationTime.fill(0);
    m.QrsLikeness[0] = m.QrsCentre[0] = m.QrsActivationTime[0] = N;
    for (int i = 0; i < N; ++i) {
        m.QrsCentre[i + 1] = SlopeCentre(d, q.GlobalQrsOnset[i], q.GlobalQrsOffset[i]);
        m.QrsActivationTime[i + 1] = ActivationTime(d, q.GlobalQrsOnset[i], q.GlobalQrsOffset[i]);
    }
    if (N < 3) {
        for (int i = 1; i <= N; ++i)
            m.QrsLikeness[i] = 100;
        return;
    }
    static thread_local std::array<Window, kMaxBeats> s_aWindow;
    for (int i = 0; i < N; ++i)
        CutWindow(d, m.QrsCentre[i + 1], s_aWindow[i]);

    // Groups by their first beat; beats like none of the first groups stay out.
    std::array<int, kMaxBeats> aGroup{};
    std::array<int, kGroups> aLeader{}, aMembers{};
    std::array<double, kGroups> aLeaderEnergy{};
    int nGroups = 0;
    for (int i = 0; i < N; ++i) {
        aGroup[i] = -1;
        for (int g = 0; g < nGroups && aGroup[i] < 0; ++g) {
            if (Residual(s_aWindow[i], s_aWindow[aLeader[g]], aLeaderEnergy[g]) < kGroupResidual)
                aGroup[i] = g;
        }
        if (aGroup[i] < 0 && nGroups < kGroups) {
            aLeader[nGroups] = i;
            aLeaderEnergy[nGroups] = Energy(s_aWindow[i]);
            aGroup[i] = nGroups++;
        }
        if (aGroup[i] >= 0)
            ++aMembers[aGroup[i]];
    }

    // The dominant beat: of the groups holding a quarter of the beats (three at least), the one
    // with the narrowest QRS, since ventricular beats are the wider ones however many they
    // are; else the largest group.
    const int nLarge = std::max(3, N / 4);
    int nDominant = 0, nNarrowest = -1;
    for (int g = 0; g < nGroups; ++g) {
        if (aMembers[g] > aMembers[nDominant])
            nDominant = g;
    }
    for (int g = 0; g < nGroups; ++g) {
        if (aMembers[g] < nLarge)
            continue;
        std::array<std::int32_t, kMaxBeats> aWidth{};
        int n = 0;
        for (int i = 0; i < N; ++i) {
            if (aGroup[i] == g)
                aWidth[n++] = q.GlobalQrsOffset[i] - q.GlobalQrsOnset[i];
        }
        std::nth_element(aWidth.begin(), aWidth.begin() + n / 2, aWidth.begin() + n);
        if (nNarrowest < 0 || aWidth[n / 2] < nNarrowest) {
            nNarrowest = aWidth[n / 2];
            nDominant = g;
        }
    }

    // The dominant beat's average, each member taken at its best shift against the first.
    Window avg{};
    const Window& lead = s_aWindow[aLeader[nDominant]];
    for (int i = 0; i < N; ++i) {
        if (aGroup[i] != nDominant)
            continue;
        double fLeft = 0;
        const int nBest = BestShift(s_aWindow[i], lead, fLeft);
        for (int k = 0; k < kIndependentLeads; ++k) {
            for (int s = 0; s < kSpan; ++s) {
                const int src = std::clamp(s + nBest, 0, kSpan - 1);
                avg[k][s] += s_aWindow[i][k][src] / aMembers[nDominant];
            }
        }
    }
    const double fEnergy = Energy(avg);
    for (int i = 0; i < N; ++i) {
        const double f = 100 * (1 - Residual(s_aWindow[i], avg, fEnergy));
        m.QrsLikeness[i + 1] = static_cast<std::int32_t>(std::lround(std::max(f, -100.0)));
    }
}

}  // namespace ecg_engine
