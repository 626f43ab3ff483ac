// Bundle branch blocks, intraventricular conduction delay and pre-excitation.
#include <algorithm>
#include <cmath>
#include <limits>

#include "ecg_engine/rhythm_stage.h"
#include "morphology_internal.h"

namespace ecg_engine {

using namespace morphology;

namespace {

// Patient group 0.
const SConductionThresholds kConductionThresholds[] = {
    {120, 50, 40, 4, 90, 180, -90, -30, 200, 20, 130, 3000, 30, 150, 100, 20},
};

constexpr int kShapeRsrPrime = 14, kShapeQr = 24, kShapeNotchedR = 136, kShapeNotchedRs = 140;

// Limit of |m3| and minimum R duration by the beat's R duration. R durations of exactly 100,
// 110 and 140 ms lie between the bands and keep the widest one (limit 300, minimum 80).
struct SSkewBand {
    int nLimit, nMinimum;
};
SSkewBand SkewBand(int nRd) {
    if (nRd >= 141)
        return {150, 140};
    if (nRd >= 111 && nRd <= 139)
        return {170, 110};
    if (nRd >= 101 && nRd <= 109)
        return {200, 100};
    if (nRd >= 91 && nRd <= 99)
        return {250, 90};
    return {300, 80};
}

std::int32_t Saturate(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace

const SConductionThresholds& ConductionThresholds(const CEngineData& d) {
    (void)d.InterpretationContext.PatientGroup;
    return kConductionThresholds[0];
}

void FindConductionBlocks(CEngineData& d) {
    const auto& t = ConductionThresholds(d);
    auto& f = Findings(d);
    const auto& rm = d.Rhythm.RepresentativeMeasures;
    const auto& V1 = Rep(d, LeadV1);
    const int m = std::min(V1.RA, V1.RPrimeAmplitude);
    const int s = rm.DominantShape;
    const int x = rm.MedianRaxis60;
    const int nQrs = rm.MedianQRSdur;

    if (nQrs <= t.nNarrowQrs) {
        if (s == kShapeRsrPrime || s == kShapeNotchedRs) {
            if (m >= t.nMinRPrime)
                f.IncompleteRbbb = 1;
        } else if (s == kShapeQr) {
            if (!(V1.QD > t.nQrQDuration && V1.RA / t.nQrRToQ < Abs(V1.QA)))
                f.IncompleteRbbb = 1;
        } else if (s == kShapeNotchedR) {
            f.IncompleteRbbb = 1;
        }
    } else {
        const bool bRightPattern =
            s == kShapeNotchedR ||
            ((s == kShapeRsrPrime || s == kShapeNotchedRs || s == kShapeQr) && m >= t.nMinRPrime);
        if (bRightPattern) {
            if (x >= t.nLpfbFrom && x <= t.nLpfbTo)
                f.BifascicularRbbbLpfb = 1;
            else if (x >= t.nLafbFrom && x <= t.nLafbTo)
                f.BifascicularRbbbLafb = 1;
            else
                f.CompleteRbbb = 1;
        } else if (V1.RA <= t.nLbbbRaV1 && V1.RD <= t.nLbbbRdV1 && Rep(d, LeadI).QA == 0 &&
                   Rep(d, LeadV6).QA == 0) {
            f.Lbbb = 1;
        } else if (!FlutterOrFibrillation(d) || nQrs > t.nNivcdFlutterQrs) {
            f.Nivcd = 1;
        }
    }

    // Right ventricular hypertrophy explains the right bundle branch pattern.
    if (f.CompleteRbbb || f.IncompleteRbbb) {
        const bool bRvhShape = f.RightVentricularHypertrophy && s != kShapeRsrPrime &&
                               Rep(d, LeadV2).QrsComplexType != kShapeRsrPrime;
        const bool bTallV2 =
            (f.ProbableRvh || f.RightVentricularHypertrophy) && Rep(d, LeadV2).RA >= t.nRvhRaV2;
        if (bRvhShape || bTallV2)
            f.CompleteRbbb = f.IncompleteRbbb = 0;
    }
}

std::int32_t RThirdMoment(const std::int32_t* pRow, int nOn, int nOff, std::int32_t nLevel,
                          double dCentroid, std::int64_t nDivisor) {
    if (nOn > nOff || !pRow)
        return 0;
    // x (i - c)^3 over a wide R wave passes 64 bits when the centroid lies far outside it.
    double dSum = 0.0;
    for (int i = nOn; i <= nOff; ++i) {
        const double dx = static_cast<double>(i) - dCentroid;
        dSum += (static_cast<double>(pRow[i]) - nLevel) * dx * dx * dx;
    }
    return Saturate(std::trunc(dSum / static_cast<double>(nDivisor == 0 ? 1 : nDivisor)));
}

void FindPreexcitation(CEngineData& d) {
    const auto& t = ConductionThresholds(d);
    auto& f = Findings(d);
    auto& m3 = d.Morphology.ThirdMoment;
    const auto& q = d.Qrs;
    const auto& m = d.Measurements;
    for (auto& row : m3)
        row.fill(0);

    const int aLead[2] = {LeadI, LeadII};
    int aCount[2];
    for (int k = 0; k < 2; ++k)
        aCount[k] = std::clamp(q.LeadBeatList.nCount[aLead[k]], 0, kMaxBeats);

    // R-wave bounds of beat b (0-based) of a lead, inside the record.
    const auto Bounds = [&](int nLead, int b, int& nOn, int& nOff) {
        const auto& r = q.QrsWaveTable[nLead][b][WaveR];
        nOn = std::clamp(r.nOn, 0, kRecordSamples - 1);
        nOff = std::clamp(r.nOff, 0, kRecordSamples - 1);
        if (r.nOn > r.nOff)
            nOn = nOff + 1;  // marks "no wave"
    };

    // Weight sum and centroid of each beat's R wave, taken above the level the wave starts
    // from on the smoothed row its bounds were found on. Taken above zero, the baseline wander
    // under the wave, weighted by the cube of the distance from the centre, outweighs the
    // wave's own skew and flips its sign from beat to beat. The centre is not rounded to a
    // sample: one sample off moves the moment by three times the wave's variance, more than
    // its limits.
    double aCentroid[2][kMaxBeats] = {};
    std::int64_t aWeight[2][kMaxBeats] = {};
    std::int32_t aLevel[2][kMaxBeats] = {};
    for (int k = 0; k < 2; ++k) {
        const auto& x = d.AnalysisLeads[aLead[k]];
        for (int b = 0; b < aCount[k]; ++b) {
            int nOn, nOff;
            Bounds(aLead[k], b, nOn, nOff);
            if (nOn > nOff) {
                aWeight[k][b] = 1;
                continue;
            }
            const std::int32_t nLevel = q.SmoothedLeads[aLead[k]][nOn];
            std::int64_t W = 0, S = 0;
            for (int i = nOn; i <= nOff; ++i) {
                W += x[i] - nLevel;
                S += static_cast<std::int64_t>(x[i] - nLevel) * i;
            }
            if (W == 0)
                W = 1;
            aLevel[k][b] = nLevel;
            aWeight[k][b] = W;
            aCentroid[k][b] = static_cast<double>(S) / static_cast<double>(W);
        }
    }
    // One common divisor for every beat of both leads: the weight sum of lead II's last
    // beat, as the limits below were set for it.
    const std::int64_t D = aCount[1] > 0 ? aWeight[1][aCount[1] - 1] : 1;

    // Third moments over the beats of lead I, in both leads (a beat lead II lacks stays 0).
    for (int k = 0; k < 2; ++k) {
        const auto& x = d.AnalysisLeads[aLead[k]];
        for (int b = 0; b < aCount[0] && b < aCount[k]; ++b) {
            int nOn, nOff;
            Bounds(aLead[k], b, nOn, nOff);
            m3[k][b] = RThirdMoment(x.data(), nOn, nOff, aLevel[k][b], aCentroid[k][b], D);
        }
    }

    int nMoreI = 0, nMoreII = 0;
    for (int b = 0; b < aCount[0]; ++b) {
        const auto a = Abs(m3[0][b]), c = Abs(m3[1][b]);
        nMoreI += a > c;
        nMoreII += c > a;
    }
    const int L = nMoreII > nMoreI ? 1 : 0;
    const int nLead = aLead[L];

    // Flutter or fibrillation waves are no P wave, so the PR the criterion needs is not there:
    // a flutter wave's return running into each QRS would pass for a short PR and a slurred R.
    if (FlutterOrFibrillation(d))
        return;
    const int N = RhythmBeats(d);
    const int nLeadBeats = std::min(aCount[L], N);
    int nCounted = 0;
    for (int k = 2; k <= nLeadBeats; ++k) {
        const int RD = m.RD[nLead][k];
        const SSkewBand band = SkewBand(RD);
        const int PR = m.PRint[k];
        // A slurred R counts only after a delta wave: a flutter wave that runs into the QRS
        // slurs the R as well.
        const bool bCount = q.DeltaWave[k - 1] != 0 && Abs(m3[L][k - 1]) > band.nLimit &&
                            PR > t.nPrFrom && PR < t.nPrTo && m.QA[nLead][k] == 0 &&
                            RD > band.nMinimum && m.QRSdur[k] > t.nMinQrs &&
                            2 * static_cast<std::int64_t>(m.SD[nLead][k]) < RD &&
                            8 * static_cast<std::int64_t>(m.RRint[k - 1]) <
                                10 * static_cast<std::int64_t>(m.RRint[k]);
        nCounted += bCount;
    }
    if (100 * static_cast<std::int64_t>(nCounted) > static_cast<std::int64_t>(t.nBeatPercent) * N)
        f.Preexcitation = 1;
}

}  // namespace ecg_engine
