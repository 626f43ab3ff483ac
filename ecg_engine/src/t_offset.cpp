// T-wave ends: one common end per beat from the envelope of the T-wave slope in every usable
// independent lead, then per-lead ends, T peaks and amplitudes, QT, QTc and the T axis.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "ecg_engine/debug_output.h"
#include "ecg_engine/engine.h"
#include "ecg_engine/qrs_stages.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

namespace {

// Expected QT (ms) by heart rate, 40..170 per minute: (last rate of the band, QT).
int ExpectedQt(int nRate) {
    static const int s_aBand[][2] = {
        {40, 510},  {42, 500},  {44, 490},  {46, 480},  {48, 470},  {51, 460},  {53, 450},
        {55, 440},  {58, 430},  {61, 420},  {63, 410},  {67, 400},  {71, 390},  {75, 380},
        {79, 370},  {83, 360},  {88, 350},  {94, 340},  {100, 330}, {106, 320}, {113, 310},
        {121, 300}, {130, 290}, {139, 280}, {150, 270}, {160, 260}, {170, 250}};
    for (const auto& b : s_aBand) {
        if (nRate <= b[0])
            return b[1];
    }
    return 250;
}

bool UsableQuality(int nQuality) {
    return nQuality == LeadGoodQuality || nQuality == LeadPoorQuality;
}

int BeatsInList(const CEngineData& d) {
    return std::clamp(d.Detection.IOQm.qrs_num, 0, kMaxBeats);
}

int ClampFrame(int n) {
    return std::clamp(n, 0, kInputSamples - 1);
}

// Mean of 2h + 1 values over [s, e] of x into y, edges held at the first and last mean.
template <typename TIn>
void WindowMean(const TIn* x, std::int32_t* y, int s, int e, int h, int nDivisor, int nRound) {
    if (e - s < 2 * h) {
        // Too short for one full mean: the window keeps the mean of what it has.
        long long nSum = 0;
        for (int j = s; j <= e; ++j)
            nSum += x[j];
        const auto v = static_cast<std::int32_t>(nSum / (e - s + 1));
        for (int j = s; j <= e; ++j)
            y[j] = v;
        return;
    }
    // A running sum: exact, so the same means as summing each window.
    long long nSum = nRound;
    for (int k = s; k <= s + 2 * h; ++k)
        nSum += x[k];
    for (int j = s + h; j <= e - h; ++j) {
        if (j > s + h)
            nSum += static_cast<long long>(x[j + h]) - x[j - h - 1];
        y[j] = static_cast<std::int32_t>(nSum / nDivisor);
    }
    for (int j = s; j < s + h; ++j)
        y[j] = y[s + h];
    for (int j = e - h + 1; j <= e; ++j)
        y[j] = y[e - h];
}

// Whether the smoothed signal leaves the level somewhere in [s, e] by a wave's height.
bool LeavesLevel(const std::int32_t* a, int s, int e, std::int32_t nLevel) {
    for (int k = s; k <= e; ++k) {
        if (std::abs(a[k] - nLevel) >= 20.48)
            return true;
    }
    return false;
}

// Whether the smoothed signal at j moves away from the level.
bool MovesAway(const std::int32_t* a, int j, std::int32_t nLevel) {
    const std::int32_t nOff = a[j] - nLevel, nStep = a[j] - a[j - 1];
    return (nOff > 0 && nStep > 0) || (nOff < 0 && nStep < 0);
}

// How far the smoothed signal must already have moved into the next wave: about 10 uV, well
// above what the noise of a resting ECG leaves in the 23-sample mean.
constexpr std::int32_t kNextWaveRise = 4;
// How far the signal must have come back from the T's peak: 50 uV, a wave's height.
constexpr double kTWaveReturn = 20.48;

// The next P wave may start so soon after the T that their envelope never falls and the scan
// finds no end. The T then ends where the smoothed signal, come back from the T's peak by a
// wave's height, turns into the next wave before the window ends. The smoothed signal is held
// flat over the window's last 11 samples, so the search stops before them. The end found so
// far when there is no such turn (a T that runs into the next QRS, a negative T's trough).
int TurnIntoNextWave(const std::int32_t* a, int s, int e, int nEnd) {
    const int nFirst = s + 11, nLast = e - 11;
    if (nLast - nFirst < 20)
        return nEnd;
    int nTurn = nEnd;
    std::int32_t nBestRise = 0;
    for (const int nSign : {1, -1}) {
        // The T's peak, then the farthest point back from it: the turn.
        int p = nFirst;
        for (int k = nFirst; k <= nLast; ++k) {
            if (nSign * (a[k] - a[p]) > 0)
                p = k;
        }
        int m = p;
        for (int k = p; k <= nLast; ++k) {
            if (nSign * (a[k] - a[m]) < 0)
                m = k;
        }
        const std::int32_t nRise = nSign * (a[nLast] - a[m]);
        // A peak at the window's start is the ST segment, not a T wave.
        if (p > nFirst + 5 && m > p && m < nLast && nSign * (a[p] - a[m]) >= kTWaveReturn &&
            nRise >= kNextWaveRise && nRise > nBestRise) {
            nTurn = m;
            nBestRise = nRise;
        }
    }
    return nTurn;
}

}  // namespace

void PrepareTOffsetSearch(CEngineData& d) {
    auto& t = d.TWave;
    for (int r = 0; r < kIndependentLeads; ++r) {
        t.MeanRow[r].fill(0);
        t.SlopeRow[r].fill(0);
        t.SquareRow[r].fill(0);
        t.TEnvelope[r].fill(0);
        t.Histogram[r].fill(0);
        t.WindowStart[r].fill(0);
        t.WindowEnd[r].fill(0);
        t.WindowMax[r].fill(0);
        t.TEndThreshold[r].fill(0);
    }
    const auto& q = d.Detection.IOQm;
    const int nBeats = BeatsInList(d);

    for (int i = 0; i < nBeats; ++i) {
        int nRR;
        if (i + 1 < nBeats)
            nRR = q.qrs_onset[i + 1] - q.qrs_onset[i];
        else if (i > 0)
            nRR = q.qrs_onset[i] - q.qrs_onset[i - 1];
        else
            nRR = q.qrs_onset[0] - 1;
        if (nRR <= 0)
            nRR = 1;
        const int nRate = 30000 / nRR;
        int nBase;
        if (nRate < 40)
            nBase = 255;
        else if (nRate <= 170)
            nBase = (ExpectedQt(nRate) + 1) / 2;
        else
            nBase = 124;
        int w = nBase + 50;
        if (nRate > 80)
            w += (nRate / 10) * 7;
        if (nRate > 239)
            w += (nRate / 10) * 2;
        const int s = ClampFrame(q.qrs_offset[i]);
        int e = s + w;
        if (i + 1 == nBeats) {
            if (e >= kInputSamples - 1)
                e = kInputSamples - 1;
        } else if (e >= q.qrs_onset[i + 1]) {
            e = q.qrs_onset[i + 1] - 1;
        }
        e = std::clamp(e, s, kInputSamples - 1);
        for (int r = 0; r < kIndependentLeads; ++r) {
            t.WindowStart[r][i] = s;
            t.WindowEnd[r][i] = e;
        }
    }

    for (int r = 0; r < kIndependentLeads; ++r) {
        if (!UsableQuality(d.Detection.LeadQuality[r]))
            continue;
        const std::int16_t* x = d.InputLeads[r].data();
        std::int32_t* a = t.MeanRow[r].data();
        std::int32_t* b = t.SlopeRow[r].data();
        std::int32_t* c = t.SquareRow[r].data();
        std::int32_t* env = t.TEnvelope[r].data();
        for (int i = 0; i < nBeats; ++i) {
            const int s = t.WindowStart[r][i], e = t.WindowEnd[r][i];
            WindowMean(x, a, s, e, 11, 23, 11);
            if (e - s >= 4) {
                for (int j = s + 2; j <= e - 2; ++j)
                    b[j] = 8 * (a[j + 1] - a[j - 1]) + a[j + 2] - a[j - 2];
                for (int j = s; j < s + 2; ++j)
                    b[j] = b[s + 2];
                for (int j = e - 1; j <= e; ++j)
                    b[j] = b[e - 2];
            }
            // A slope this steep is far outside any ECG; the square is held at the 32-bit top.
            for (int j = s; j <= e; ++j) {
                const long long sq = static_cast<long long>(b[j]) * b[j];
                c[j] = static_cast<std::int32_t>(std::min<long long>(sq, INT32_MAX));
            }
            WindowMean(c, env, s, e, 22, 45, 22);
        }
        // 7-sample mean over the whole row, in place and in ascending order.
        {
            // The window holds the three values already replaced and four still old.
            long long nSum = 0;
            for (int k = 0; k <= 6; ++k)
                nSum += env[k];
            for (int j = 3; j <= 5986; ++j) {
                const std::int32_t nOld = env[j];
                env[j] = static_cast<std::int32_t>(nSum / 7);
                nSum += static_cast<long long>(env[j]) - nOld;
                if (j < 5986)
                    nSum += static_cast<long long>(env[j + 4]) - env[j - 3];
            }
        }
        for (int i = 0; i < nBeats; ++i) {
            const int s = t.WindowStart[r][i], e = t.WindowEnd[r][i];
            int nMax = 0;
            for (int j = s; j <= e; ++j)
                nMax = std::max(nMax, env[j]);
            t.WindowMax[r][i] = nMax;
            const int nStep = std::max(nMax / 100, 1);
            auto& h = t.Histogram[r];
            h.fill(0);
            for (int j = s; j <= e; ++j) {
                const int v = env[j];
                int k = v <= nStep ? 0 : (v - 1) / nStep;
                if (k > 100)
                    k = 101;
                ++h[k];
            }
            const int nNeed = (e - s + 1) * 80 / 100;
            int nSum = 0;
            for (int k = 0; k < kHistogramBins; ++k) {
                nSum += h[k];
                if (nSum >= nNeed) {
                    t.TEndThreshold[r][i] = (nStep * k) / 2;
                    break;
                }
            }
        }
    }
}

void FindTOffsets(CEngineData& d) {
    auto& t = d.TWave;
    const int nBeats = BeatsInList(d);
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (!UsableQuality(d.Detection.LeadQuality[r]))
            continue;
        const std::int32_t* env = t.TEnvelope[r].data();
        const std::int32_t* a = t.MeanRow[r].data();
        for (int i = 0; i < nBeats; ++i) {
            const int s = t.WindowStart[r][i], e = t.WindowEnd[r][i];
            const int T = t.TEndThreshold[r][i];
            bool bAbove = false;
            int nGap = 0;
            int R = e;
            // Only a window that reaches the next QRS can hold the next P wave.
            const bool bNextP = i + 1 < nBeats && e == d.Detection.IOQm.qrs_onset[i + 1] - 1;
            int nWave = 0;  // how far the signal has left its level since the T began
            for (int j = s; j <= e; ++j) {
                if (j >= s + 11)
                    nWave = std::max(nWave, std::abs(a[j] - a[e]));
                // The next P wave may follow so closely that the envelope never falls below
                // the threshold: where it dips with the signal back at its level after the T,
                // and a wave follows, the T has ended. A signal that moves away from the level
                // there only passes it on its way into the T (the level is read just before
                // the next QRS, and a tall P wave can still stand there).
                if (bNextP && bAbove && j > s && j < e && env[j] < env[j - 1] &&
                    env[j] <= env[j + 1] && nWave >= 20.48 && std::abs(a[j] - a[e]) < 20.48 &&
                    !MovesAway(a, j, a[e]) && LeavesLevel(a, j + 1, e, a[e])) {
                    R = j;
                    break;
                }
                if (env[j] > T && !bAbove) {
                    // A wave after a long gap does not move the end; after a short one the
                    // end found so far is dropped, unless the signal had come back to the
                    // level before the next QRS there: then the wave is the next P wave.
                    if (bNextP && nGap < 50 && j >= 51 && R != 0 && R != e &&
                        std::abs(a[R] - a[e]) < 20.48 && LeavesLevel(a, j, e, a[e]))
                        break;
                    if (nGap < 50 && j >= 51)
                        R = 0;
                    bAbove = true;
                    nGap = 0;
                } else if (env[j] < T && bAbove) {
                    bAbove = false;
                    nGap = 0;
                    if (R == 0 || R == e)
                        R = j;
                } else if (env[j] < T) {
                    ++nGap;
                }
            }
            if (R == 0)
                R = e;
            // An end in the window's held last samples is no end the scan could see.
            if (bNextP && R > e - 11)
                R = TurnIntoNextWave(a, s, e, R);
            // A next P wave that starts right after the T keeps the envelope up a few samples
            // past the T's end, and the end given (five samples on) then lies inside that P,
            // where the P search would start. When the smoothed signal has turned into the next
            // wave by that end, the T ends at the turn (the turn's search stops 11 samples
            // before the window end it is given).
            else if (bNextP && R + 5 + 11 <= e)
                R = std::min(R, TurnIntoNextWave(a, s, R + 5 + 11, R));
            t.LeadEnd[r][i] = R + 5;
        }
    }
    for (int i = 0; i < nBeats; ++i) {
        t.MiddleWorkList.nCount = 0;
        for (int r = 0; r < kIndependentLeads; ++r) {
            if (UsableQuality(d.Detection.LeadQuality[r]))
                AddToWorkList(t.MiddleWorkList, t.LeadEnd[r][i]);
        }
        const int nEnd = MiddleValueOf(t.MiddleWorkList);
        for (int r = 0; r < kIndependentLeads; ++r)
            t.LeadEnd[r][i] = nEnd;
        t.TOffset[i] = nEnd;
        t.TOffsetQrsOffset[i] = d.Detection.IOQm.qrs_offset[i];
    }
}

void FinishTWave(CEngineData& d) {
    auto& t = d.TWave;
    const auto& q = d.Detection.IOQm;
    const auto& lb = d.Qrs.LeadBeatList;
    const int nBeats = BeatsInList(d);
    int N = 0;
    for (int l = 0; l < kLeads; ++l)
        N = std::max(N, std::clamp(lb.nCount[l], 0, kMaxBeats));

    for (int l = 0; l < kLeads; ++l) {
        if (!UsableQuality(d.Detection.LeadQuality12[l]))
            continue;
        int j = 0;
        for (int i = 0; i < nBeats; ++i) {
            if (!(q.qrs_onset[i] > 499 && q.qrs_offset[i] < 5501))
                continue;
            t.LeadQrsOffset[l][j] = std::clamp(q.qrs_offset[i] - kLeadIn, 0, kRecordSamples - 1);
            t.LeadTOffset[l][j] = t.TOffset[i] < 5501
                                      ? std::clamp(t.TOffset[i] - kLeadIn, 0, kRecordSamples - 1)
                                      : kRecordSamples - 1;
            ++j;
        }
    }

    // T peak: the sample farthest from the chord between QRS offset and T end.
    for (int l = 0; l < kLeads; ++l) {
        if (!UsableQuality(d.Detection.LeadQuality12[l]))
            continue;
        const std::int32_t* y = d.AnalysisLeads[l].data();
        const int C = std::clamp(lb.nCount[l], 0, kMaxBeats);
        for (int j = 0; j < C; ++j) {
            const int s = std::clamp(lb.offset[l][j], 0, kRecordSamples - 1);
            FindChordPeak(y, s, t.LeadTOffset[l][j], t.TPeak[l][j], t.TA[l][j]);
        }
    }

    // QT and QTc per lead and beat, then per beat and for the record.
    for (int l = 0; l < kLeads; ++l) {
        if (!UsableQuality(d.Detection.LeadQuality12[l]))
            continue;
        const int C = std::clamp(lb.nCount[l], 0, kMaxBeats);
        for (int j = 0; j < C; ++j) {
            const int nQT = (t.LeadTOffset[l][j] - d.Qrs.GlobalQrsOnset[j]) * 2;
            t.QT[l][j] = nQT;
            const double fRR = d.Qrs.BeatRR[j] * 0.001;
            const double fDivisor = fRR > 0.0 ? std::sqrt(fRR) : 1.0;
            t.QTc[l][j] = static_cast<std::int32_t>(std::trunc(nQT / fDivisor));
        }
    }
    for (int j = 0; j < N; ++j) {
        for (int nPass = 0; nPass < 2; ++nPass) {
            const LeadBeatTable& src = nPass == 0 ? t.QT : t.QTc;
            t.MiddleWorkList.nCount = 0;
            for (int l = 0; l < kLeads; ++l) {
                if (UsableQuality(d.Detection.LeadQuality12[l]) && src[l][j] != 0)
                    AddToWorkList(t.MiddleWorkList, src[l][j]);
            }
            if (t.MiddleWorkList.nCount > 0)
                (nPass == 0 ? t.QTint : t.QTcint)[j] = MiddleValueOf(t.MiddleWorkList);
        }
    }
    // The record values take every beat (up to 66, one more than a work list holds).
    BeatTable aValue{};
    int n = 0;
    for (int nPass = 0; nPass < 2; ++nPass) {
        const BeatTable& src = nPass == 0 ? t.QTint : t.QTcint;
        n = 0;
        for (int j = 0; j < N; ++j) {
            if (src[j] != 0)
                aValue[n++] = src[j];
        }
        if (n > 0)
            (nPass == 0 ? t.RecordQT : t.RecordQTc) = MiddleValueOf(aValue.data(), n);
    }
    n = 0;
    for (int j = 0; j < N; ++j) {
        t.Taxis[j] = AxisFromLimbLeads(t.TA[LeadI][j], t.TA[LeadII][j], t.TA[LeadIII][j]);
        if (t.Taxis[j] != MissingValue)
            aValue[n++] = t.Taxis[j];
    }
    if (n > 0)
        t.RecordTAxis = MiddleValueOf(aValue.data(), n);
}

// Debug rows of the stage: each lead's envelope, then the lead marked at the T ends.
void AppendTOffsetDebugRows(CEngineData& d) {
    if (!d.WritesDebugOutput())
        return;
    for (int r = 0; r < kIndependentLeads; ++r)
        AppendDebugRow(d, "Proiz_", kLeadNames[kInputRowLead[r]], d.TWave.TEnvelope[r].data(),
                       kInputSamples);
    for (int r = 0; r < kIndependentLeads; ++r) {
        std::int32_t* pRow = AppendDebugRow(d, "Toff_", kLeadNames[kInputRowLead[r]],
                                            d.InputLeads[r].data(), kInputSamples);
        MarkDebugRow(pRow, d.TWave.TOffset.data(), BeatsInList(d), 128, -1);
    }
}

int RunTOffsetStage(CEngineData& d) {
    PrepareTOffsetSearch(d);
    FindTOffsets(d);
    FinishTWave(d);
    AppendTOffsetDebugRows(d);
    (void)RunStep(d, 6);
    return 0;
}

}  // namespace ecg_engine
