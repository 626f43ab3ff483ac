// Representative beats: the dominant beat label, one representative beat per lead by the
// median of its measures, and the values of those beats for the waveform criteria.
#include <algorithm>

#include "ecg_engine/rhythm_stage.h"
#include "rhythm_internal.h"

namespace ecg_engine {

using namespace rhythm;

void KeepDominantBeatLabel(CEngineData& d) {
    auto& r = d.Rhythm;
    if (r.VentricularMark == kVentricularMarkRhythm)
        return;
    const int N = RhythmBeats(d);
    if (r.VentricularMark == kVentricularMarkPvc) {
        for (int i = 1; i <= N; ++i)
            if (r.PvcList[i] == 1)
                r.BeatLabel[i] = 0;
    }
    int aCount[5] = {};
    for (int i = 1; i <= N; ++i)
        if (r.BeatLabel[i] >= 1 && r.BeatLabel[i] <= 4)
            ++aCount[r.BeatLabel[i]];
    for (int nLabel = 1; nLabel <= 4; ++nLabel) {
        if (aCount[nLabel] > 1) {
            for (int i = 1; i <= N; ++i)
                if (r.BeatLabel[i] != nLabel)
                    r.BeatLabel[i] = 0;
            r.BeatLabel[0] = aCount[nLabel];
            return;
        }
    }
}

void ScoreMedianBeats(CEngineData& d, const BeatList& values, int nWeight) {
    auto& r = d.Rhythm;
    const int N = RhythmBeats(d);
    auto& w = r.WorkList;
    w.fill(0);
    int m = 0;
    for (int i = 1; i <= N - 1; ++i)
        if (r.BeatLabel[i] > 0)
            w[++m] = values[i];
    w[0] = m;

    int aRef[3] = {};
    int nRefs = 0;
    if (m < 3) {
        aRef[0] = w[1];
        aRef[1] = w[2];
        nRefs = 2;
    } else {
        std::sort(w.begin() + 1, w.begin() + m + 1);
        const int p = (m % 2) ? (m + 1) / 2 - 1 : m / 2;
        aRef[0] = w[p];
        aRef[1] = w[p + 1];
        aRef[2] = w[p + 2];
        nRefs = 3;
    }
    int nPrevious = 0;
    for (int k = 0; k < nRefs; ++k) {
        if (aRef[k] != nPrevious) {
            for (int i = 1; i <= N; ++i)
                if (values[i] == aRef[k])
                    r.BeatScore[i] += nWeight;
        }
        nPrevious = aRef[k];
    }
}

int BestScoredBeat(const CEngineData& d) {
    const int N = RhythmBeats(d);
    if (N <= 2)
        return 0;
    int nBest = 2;
    for (int i = 3; i <= N - 1; ++i)
        if (d.Rhythm.BeatScore[i] > d.Rhythm.BeatScore[nBest])
            nBest = i;
    return nBest;
}

int MedianBeatIndex(CEngineData& d, const BeatList& values) {
    auto& r = d.Rhythm;
    const int N = RhythmBeats(d);
    auto& w = r.WorkList;
    int m = 0;
    for (int i = 1; i <= N; ++i)
        if (r.BeatLabel[i] > 0)
            w[++m] = values[i];
    // Without a labelled beat the first beat stands for the record.
    if (m == 0)
        return 1;
    int nMedian = w[1];
    if (m > 2) {
        std::sort(w.begin() + 1, w.begin() + m + 1);
        nMedian = (m % 2) ? w[(m + 1) / 2] : w[m / 2 + 1];
    }
    for (int i = 1; i <= N; ++i)
        if (r.BeatLabel[i] > 0 && values[i] == nMedian)
            return i;
    return 1;
}

void SelectRepresentativeBeats(CEngineData& d) {
    auto& r = d.Rhythm;
    auto& rm = r.RepresentativeMeasures;
    const auto& m = d.Measurements;
    auto& aBeat = d.Finish.RepresentativeBeat;
    aBeat.fill(0);
    rm = SRepresentativeMeasures{};
    const int N = RhythmBeats(d);

    for (int l = 0; l < kLeads; ++l) {
        r.BeatScore.fill(0);
        ScoreMedianBeats(d, m.PD[l], 2);
        ScoreMedianBeats(d, m.sumQRS[l], 2);
        ScoreMedianBeats(d, m.QRSdur, 2);
        ScoreMedianBeats(d, m.TA[l], 1);
        ScoreMedianBeats(d, m.ST60A[l], 1);
        aBeat[l] = BestScoredBeat(d);

        // Without a representative beat the values come from the beat the result file
        // describes (beat N div 2, counted from 0), never from the count in slot 0.
        const int b = (aBeat[l] >= 2 && aBeat[l] <= N) ? aBeat[l] : std::min(N / 2 + 1, N);
        if (b < 1)
            continue;
        auto& v = rm.Lead[l];
        v.PA = m.PA[l][b];
        v.PD = m.PD[l][b];
        v.QA = m.QA[l][b];
        v.QD = m.QD[l][b];
        v.RA = m.RA[l][b];
        v.RD = m.RD[l][b];
        v.SA = m.SA[l][b];
        v.SD = m.SD[l][b];
        v.RPrimeAmplitude = m.R2A[l][b];
        v.RPrimeDuration = m.R2D[l][b];
        v.SPrimeAmplitude = m.S2A[l][b];
        v.SPrimeDuration = m.S2D[l][b];
        v.sumQRS = m.sumQRS[l][b];
        v.TA = m.TA[l][b];
        v.STA = m.STA[l][b];
        v.STj = m.ST60A[l][b];
        v.SecondStLevel = m.ST80A[l][b];
        v.QrsComplexType = m.QrsType[l][b];
    }

    const auto MedianValue = [&](const BeatList& values) {
        return At(values, MedianBeatIndex(d, values));
    };
    rm.MedianRaxis = MedianValue(m.Raxis);
    rm.MedianQRSdur = MedianValue(m.QRSdur);
    rm.MedianRaxis60 = MedianValue(m.Raxis60);
    rm.MedianPRint = MedianValue(m.PRint);

    // V1's shape is the one most of its beats have (the later beat's on a tie).
    const int nV1 = std::clamp(m.QrsType[LeadV1][0], 0, kRhythmBeats);
    int nBestCount = 0;
    for (int i = 1; i <= nV1; ++i) {
        int nCount = 0;
        for (int k = 1; k <= nV1; ++k)
            nCount += m.QrsType[LeadV1][k] == m.QrsType[LeadV1][i];
        if (nCount >= nBestCount) {
            nBestCount = nCount;
            rm.DominantShape = m.QrsType[LeadV1][i];
        }
    }
    if (nV1 > 0)
        rm.Lead[LeadV1].QrsComplexType = rm.DominantShape;
}

}  // namespace ecg_engine
