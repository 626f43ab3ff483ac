// Global measurements: the middle-value rule, the axis rule, and the assembly of the output
// tables and the eight record values from what the wave stages left.
#include <algorithm>
#include <cmath>

#include "ecg_engine/qrs_stages.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

void AddToWorkList(SWorkList& list, std::int32_t nValue) {
    const int nRoom = static_cast<int>(list.aValue.size());
    if (list.nCount < 0)
        list.nCount = 0;
    if (list.nCount < nRoom)
        list.aValue[list.nCount++] = nValue;
}

// The middle-value rule of the wave stages is the beat measures' median pick: one place
// below the middle of the descending order.
std::int32_t MiddleValueOf(std::int32_t* pValue, int nCount) {
    return PickFromValues(pValue, nCount, +1);
}

std::int32_t MiddleValueOf(SWorkList& list) {
    return MedianOfList(list);
}

void FindChordPeak(const std::int32_t* y, int s, int e, std::int32_t& nPeak, std::int32_t& nAmp) {
    if (e == s)
        e = s + 1;
    if (s < 0 || e < s || e > kRecordSamples - 1)
        return;
    const float fSlope = static_cast<float>(y[e] - y[s]) / static_cast<float>(e - s);
    float fBest = 0.0f;
    for (int m = s; m <= e; ++m) {
        const float fDev = static_cast<float>(y[m]) -
                           (static_cast<float>(m - s) * fSlope + static_cast<float>(y[s]));
        if (std::fabs(fDev) > fBest) {
            fBest = std::fabs(fDev);
            nPeak = m;
            nAmp = static_cast<std::int32_t>(fDev * 2.44140625f);
        }
    }
}

namespace {

// Counted lists keep the count in element 0, so they hold one value fewer than a beat table.
constexpr int kListValues = kMaxBeats - 1;

int LeadBeats(const CEngineData& d, int l) {
    return std::clamp(d.Qrs.LeadBeatList.nCount[l], 0, kMaxBeats);
}

void PutCounted(BeatTable& list, int nCount, const std::int32_t* pValues) {
    const int n = std::clamp(nCount, 0, kListValues);
    list[0] = nCount;
    for (int i = 0; i < n; ++i)
        list[i + 1] = pValues[i];
}

}  // namespace

int AssembleMeasurements(CEngineData& d) {
    auto& m = d.Measurements;
    const auto& q = d.Qrs;
    const auto& p = d.PWave;
    const auto& t = d.TWave;

    int N = 0;
    for (int l = 0; l < kLeads; ++l)
        N = std::max(N, LeadBeats(d, l));
    d.BeatCount = N;
    const int nValues = std::min(N, kListValues);

    for (int l = 0; l < kLeads; ++l) {
        const int C = std::min(LeadBeats(d, l), kListValues);
        m.ampQRS[l][0] = N;
        for (int j = 0; j < C; ++j)
            m.ampQRS[l][j + 1] = q.DominantQrsAmplitude[l][j];
    }

    for (int i = 0; i < N; ++i) {
        // The P-wave stage counted the beat's P axes over the same beats.
        const int nMost = std::clamp(p.PaxisCount[i], 0, kMaxPWavesPerBeat);
        m.PaxisCount[i] = nMost;
        for (int k = 0; k < nMost; ++k)
            m.Paxis[i * kMaxPWavesPerBeat + k] = p.Paxis[i * kMaxPWavesPerBeat + k];
    }

    PutCounted(m.Taxis, nValues, t.Taxis.data());
    PutCounted(m.RRint, nValues, q.BeatRR.data());

    for (int i = 0; i < N; ++i) {
        const int l = LeadWithMostPWaves(d, i);
        const int nCount = l < 0 ? 0 : std::clamp(p.PCount[l][i], 0, kMaxPWavesPerBeat);
        m.PPintCount[i] = nCount;
        for (int k = 0; k < nCount; ++k)
            m.PPint[i * kMaxPWavesPerBeat + k] = p.PPint[l][i][k];
    }

    PutCounted(m.QTint, nValues, t.QTint.data());
    PutCounted(m.QTcint, nValues, t.QTcint.data());
    PutCounted(m.Raxis60, nValues, q.BeatInitialAxis.data());
    PutCounted(m.Raxis, nValues, q.BeatQrsAxis.data());

    for (int l = 0; l < kLeads; ++l) {
        const int C = std::min(LeadBeats(d, l), kListValues);
        m.QrsType[l][0] = m.QOnlyFlag[l][0] = m.RSR2Flag[l][0] = C;
        for (int j = 0; j < C; ++j) {
            const int nType = q.QrsComplexType[l][j];
            m.QrsType[l][j + 1] = nType;
            m.QOnlyFlag[l][j + 1] = nType == 16 ? 1 : 0;
            m.RSR2Flag[l][j + 1] = nType == 14 ? 1 : 0;
        }
    }

    PutCounted(m.PRint, nValues, p.PRint.data());

    for (int l = 0; l < kLeads; ++l) {
        const int C = std::min(LeadBeats(d, l), kListValues);
        LeadBeatTable* aCounted[] = {&m.PA, &m.PD,  &m.QA,    &m.QD,    &m.RA,     &m.RD,
                                     &m.SA, &m.SD,  &m.R2A,   &m.R2D,   &m.S2A,    &m.S2D,
                                     &m.TA, &m.STA, &m.ST60A, &m.ST80A, &m.sumQRS, &m.QRSD};
        for (auto* pTable : aCounted)
            (*pTable)[l][0] = C;
        for (int j = 0; j < C; ++j) {
            const int nP = std::clamp(p.PCount[l][j], 0, kMaxPWavesPerBeat);
            m.PA[l][j + 1] = nP > 0 ? p.PAmp[l][j][nP - 1] : 0;
            m.PD[l][j + 1] = nP > 0 ? p.PDur[l][j][nP - 1] : 0;

            const auto& w = q.QrsWaveTable[l][j];
            m.QA[l][j + 1] = w[WaveQ].nAmp;
            m.QD[l][j + 1] = (w[WaveQ].nOff - w[WaveQ].nOn) * 2;
            m.RA[l][j + 1] = w[WaveR].nAmp;
            m.RD[l][j + 1] = (w[WaveR].nOff - w[WaveR].nOn) * 2;
            // A Q-only complex reports its one deflection as S as well.
            const SQrsWave& s = q.QrsComplexType[l][j] == 16 ? w[WaveQ] : w[WaveS];
            m.SA[l][j + 1] = s.nAmp;
            m.SD[l][j + 1] = (s.nOff - s.nOn) * 2;
            m.R2A[l][j + 1] = w[WaveR2].nAmp;
            m.R2D[l][j + 1] = (w[WaveR2].nOff - w[WaveR2].nOn) * 2;
            m.S2A[l][j + 1] = w[WaveS2].nAmp;
            m.S2D[l][j + 1] = (w[WaveS2].nOff - w[WaveS2].nOn) * 2;

            m.sumQRS[l][j + 1] = q.QrsPeakToPeak[l][j];
            m.QRSD[l][j + 1] = (q.LeadBeatList.offset[l][j] - q.LeadBeatList.onset[l][j]) * 2;
            m.TA[l][j + 1] = t.TA[l][j];
            m.STA[l][j + 1] = q.JPointAmplitude[l][j][0];
            m.ST60A[l][j + 1] = q.JPointAmplitude[l][j][1];
            m.ST80A[l][j + 1] = q.JPointAmplitude[l][j][2];
        }
    }

    std::int32_t aDuration[kMaxBeats] = {};
    for (int i = 0; i < N; ++i)
        aDuration[i] = (q.GlobalQrsOffset[i] - q.GlobalQrsOnset[i]) * 2;
    PutCounted(m.QRSdur, nValues, aDuration);
    MeasureQrsLikeness(d);

    d.HeartRate = q.QrsRate;
    m.GlobalMeasurements = {d.HeartRate, p.RecordPR,    q.MedianQrsDuration, t.RecordQT,
                            t.RecordQTc, p.RecordPAxis, q.MedianQrsAxis,     t.RecordTAxis};
    return 0;
}

}  // namespace ecg_engine
