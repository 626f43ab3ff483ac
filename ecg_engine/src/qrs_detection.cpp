// Lead quality check, QRS detection and the beat list.
#include <algorithm>
#include <climits>
#include <cstdio>

#include "ecg_engine/engine.h"
#include "ecg_engine/qrs_stages.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

namespace {

constexpr int kSlopeFirst = 1500;  // middle 3000 samples of the record
constexpr int kSlopeEnd = 4500;
constexpr int kMergeGap = 40;   // 80 ms
constexpr int kEdgeReach = 25;  // how far a whole QRS's window may reach past the record
constexpr int kMaxWindows = kMaxBeats;
constexpr int kLongHalf = 22;     // half the long integration window
constexpr int kStillStretch = 8;  // 16 ms: longer than the still peak of a P wave
constexpr int kTWaveReach = 180;  // 360 ms after a QRS a wave may still be its T wave

// Squares and sums of full-scale samples do not fit 32 bits: work in 64 and keep the
// largest 32-bit value where a table has no more room.
std::int32_t Saturate(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool IsNoSignal(const CEngineData& d, int r) {
    return d.Detection.LeadQuality[r] == LeadNoSignal;
}

bool IsUsable(const CEngineData& d, int r) {
    const int q = d.Detection.LeadQuality[r];
    return q == LeadGoodQuality || q == LeadPoorQuality;
}

// Bin of value v for bin width w: the first k in 0..100 whose upper edge w*(k+1) reaches v,
// else the overflow bin 101.
int HistogramBin(std::int64_t v, std::int64_t w) {
    if (v <= w)
        return 0;
    const std::int64_t k = (v + w - 1) / w - 1;
    return k > 100 ? 101 : static_cast<int>(k);
}

// First bin where the running sum of the histogram reaches nMark, or -1.
int PercentileBin(const std::array<std::int32_t, kHistogramBins>& hist, int nMark) {
    std::int64_t nSum = 0;
    for (int k = 0; k < kHistogramBins; ++k) {
        nSum += hist[k];
        if (nSum >= nMark)
            return k;
    }
    return -1;
}

void RemoveBeat(CEngineData& d, int i) {
    auto& q = d.Detection.IOQm;
    for (int k = i; k + 1 < q.qrs_num; ++k) {
        q.qrs_onset[k] = q.qrs_onset[k + 1];
        q.qrs_offset[k] = q.qrs_offset[k + 1];
    }
    --q.qrs_num;
    q.qrs_onset[q.qrs_num] = 0;
    q.qrs_offset[q.qrs_num] = 0;
}

// The crossing scan of one lead over its feature signal.
void ScanLead(CEngineData& d, int r) {
    auto& w = d.Detection.QrsWindowList;
    const auto& f = d.Detection.QrsFeature[r];
    const std::int32_t thr = d.Detection.DetectionThreshold[r];
    bool bInside = false;
    int nBelow = 0;
    int& n = w.nCount[r];
    for (int i = 0; i < kInputSamples; ++i) {
        if (f[i] > thr && !bInside) {
            if (nBelow >= 50) {
                if (n < kMaxWindows)
                    w.start[r][n] = i;
                bInside = true;
                nBelow = 0;
            } else {
                // A gap shorter than 100 ms continues the previous window.
                bInside = true;
                nBelow = 0;
                if (i <= 25) {
                    if (n < kMaxWindows)
                        w.start[r][n] = i;
                } else if (n >= 1) {
                    --n;
                }
                continue;
            }
        } else if (f[i] < thr && bInside) {
            if (n < kMaxWindows) {
                w.end[r][n] = i;
                ++n;
            }
            bInside = false;
            nBelow = 0;
            continue;
        } else if (f[i] < thr && !bInside) {
            ++nBelow;
        }
        if (n >= kMaxWindows)
            break;
    }
    // A window still open at the end is closed there; one continued across a short gap holds
    // its earlier end until then and must be closed too, or it would be lost.
    if (n < kMaxWindows && bInside && (w.start[r][n] != 0 || w.end[r][n] != 0)) {
        w.end[r][n] = kInputSamples - 1;
        ++n;
    }
}

void ScanQrsWindows(CEngineData& d) {
    auto& w = d.Detection.QrsWindowList;
    w.nCount.fill(0);
    for (auto& row : w.start)
        row.fill(0);
    for (auto& row : w.end)
        row.fill(0);
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (!IsNoSignal(d, r))
            ScanLead(d, r);
    }
}

// A still stretch of the squared slope (at most thr), scanning down from nFrom to above
// nAbove: the first sample after it, where the energy above it begins; -1 when there is none.
int EndOfStillStretch(const InputRow32& sq, int nFrom, int nAbove, std::int64_t thr) {
    int nRun = 0;
    for (int j = nFrom; j > nAbove; --j) {
        nRun = sq[j] <= thr ? nRun + 1 : 0;
        if (nRun == kStillStretch)
            return j + kStillStretch;
    }
    return -1;
}

// A wave beside the QRS is small: its feature over [nFrom, nTo] stays below a quarter of the
// detection threshold, the threshold of the third pass. A first part of the QRS before a still
// stretch inside it is not.
bool IsSmallWave(const InputRow32& f, int nFrom, int nTo, std::int64_t thr) {
    for (int k = nFrom; k <= nTo; ++k) {
        if (f[k] >= thr / 4)
            return false;
    }
    return true;
}

// The first sample of the still stretch that ends where the energy begins again at nAfter,
// scanning down to nLow at most: where the wave before it has died away.
int StartOfStillStretch(const InputRow32& sq, int nAfter, int nLow, std::int64_t thr) {
    int j = nAfter - 1;
    while (j > nLow && sq[j - 1] <= thr)
        --j;
    return j;
}

// The start of a QRS whose own energy begins at nFrom, with the wave before it left out: the
// lowest crossing of the last pass's threshold, walking down from nFirst, by the long feature
// of the squared slope from nFrom on. That feature is 0 while its window lies before
// nFrom, so nothing rises before the crossing and every pass would halve.
int StartOfOwnEnergy(const InputRow32& sq, int nFrom, int nFirst, int lb, std::int64_t thrLast) {
    constexpr int kWidth = 2 * kLongHalf + 1;
    std::int64_t nSum = 0;  // over [max(nFrom, k - kLongHalf), k + kLongHalf]
    for (int j = std::max(nFrom, nFirst - kLongHalf); j <= nFirst + kLongHalf; ++j)
        nSum += sq[j];
    int k = nFirst;
    for (; k - 1 >= lb; --k) {
        std::int64_t nNext = nSum - sq[k + kLongHalf];
        if (k - 1 - kLongHalf >= nFrom)
            nNext += sq[k - 1 - kLongHalf];
        if (nNext / kWidth <= thrLast)
            break;
        nSum = nNext;
    }
    return k;
}

// Whether the wave whose feature rises again below the trough at nTrough (scanning down from
// nRise to nLow) is a wave of its own before the complex that ends at nEnd: at the trough the
// signal lies nearer the level it started from, at the feature's foot below the wave, than the
// complex's extreme. After a P or flutter wave the signal there lies where the QRS sets off;
// at the trough inside a wide QRS it lies at the peak where the slow first limb turns, the
// complex's farthest point from that level or near it.
bool IsWaveOfItsOwn(const CEngineData& d, int r, int nTrough, int nRise, int nLow, int nEnd) {
    const auto& f = d.Detection.QrsFeature[r];
    const auto& y = d.Detection.SmoothedRow[r];
    int nFoot = nRise;
    for (int k = nRise; k >= std::max(nLow, 0); --k) {
        if (f[k] < f[nFoot])
            nFoot = k;
    }
    const std::int64_t nLevel = y[nFoot];
    std::int64_t nExtreme = nLevel;
    for (int k = nFoot; k <= std::min(nEnd, kInputSamples - 1); ++k) {
        if (std::abs(y[k] - nLevel) > std::abs(nExtreme - nLevel))
            nExtreme = y[k];
    }
    return std::abs(y[nTrough] - nExtreme) >= std::abs(y[nTrough] - nLevel);
}

void RefineWindowStart(CEngineData& d, int r, int n) {
    auto& w = d.Detection.QrsWindowList;
    const auto& f = d.Detection.QrsFeature[r];
    int s = w.start[r][n] + 2;
    int lb;
    if (n == 0) {
        lb = s - 75;
        if (lb <= 0)
            lb = 0;
    } else {
        lb = w.end[r][n - 1] + 2;
        if (s - lb > 75)
            lb = s - 75;
    }
    std::int64_t thr = d.Detection.DetectionThreshold[r];
    const int nLow = std::max(lb, 1);  // f[k - 1] is read
    const bool bLongFeature = d.DetectionFlag == 0;
    int nFirst = s;  // the crossing of the full threshold: the QRS's own energy
    // The threshold of the last pass: halved in each of the five after the first.
    const std::int64_t thrLast = thr / 32;
    for (int nPass = 0; nPass < 6; ++nPass) {
        if (s < lb) {
            thr /= 2;
            continue;
        }
        int nFound = -1;
        int nLowest = std::min(s, kInputSamples - 1);
        bool bOwnRise = false;
        for (int k = nLowest; k >= nLow; --k) {
            if (f[k] > thr && f[k - 1] <= thr) {
                nFound = k;
                break;
            }
            // Under a halved threshold the long feature can rise again before it falls: into
            // a wave of its own that runs up to the QRS (a tall P wave at a fast rate). The
            // QRS starts at the trough between them. A rise counts when it is clear of the
            // feature's ripple: a quarter of the threshold, an eighth of the trough. A wide
            // complex's slow first limb makes such a trough too, at the peak where it turns:
            // that rise is the QRS's own.
            if (bLongFeature && nPass > 0 && !bOwnRise) {
                if (f[k] < f[nLowest]) {
                    nLowest = k;
                } else if (f[k] - f[nLowest] >=
                           std::max<std::int64_t>({thr / 4, f[nLowest] / 8, 2})) {
                    if (IsWaveOfItsOwn(d, r, nLowest, k, lb, w.end[r][n])) {
                        w.start[r][n] = nLowest;
                        return;
                    }
                    bOwnRise = true;
                }
            }
        }
        if (nFound >= 0 && nPass == 0)
            nFirst = nFound;
        // Under a halved threshold the long feature also holds a small wave of its own that
        // ends before the QRS (a tall P wave at a fast rate): a crossing whose whole window lies
        // before a still stretch of the squared slope is that wave's. The refinement then goes
        // on with the QRS's own energy, the slope after the stretch. Where the stretch is short
        // (after a PR segment of about 40 ms or less) that energy's long feature still reaches
        // back into the wave, so the start goes no earlier than the stretch: a QRS onset
        // searched from inside the wave would take the wave's tail for the QRS's start.
        if (nFound >= 0 && bLongFeature && nPass > 0 && nFirst + kLongHalf < kInputSamples) {
            const auto& sq = d.Detection.SquaredRow[r];
            const int nAfter =
                EndOfStillStretch(sq, nFirst + kLongHalf, nFound + kLongHalf, thrLast);
            if (nAfter >= 0 && IsSmallWave(f, nFound, nAfter - kStillStretch - kLongHalf - 1,
                                           d.Detection.DetectionThreshold[r])) {
                w.start[r][n] = std::max(StartOfOwnEnergy(sq, nAfter, nFirst, lb, thrLast),
                                         StartOfStillStretch(sq, nAfter, nFound, thrLast));
                return;
            }
        }
        if (nFound >= 0) {
            w.start[r][n] = nFound;
            s = nFound;
            // Energy above the threshold before the crossing is the wave before the QRS,
            // and the start is final, unless it is the QRS's own first limb.
            int nRise = -1;
            for (int k = s - 1; k >= std::max(lb, 0) && nRise < 0; --k) {
                if (f[k] >= thr)
                    nRise = k;
            }
            if (nRise >= 0) {
                int nTrough = s;
                for (int k = nRise; k < s; ++k) {
                    if (f[k] < f[nTrough])
                        nTrough = k;
                }
                if (IsWaveOfItsOwn(d, r, nTrough, nRise, lb, w.end[r][n]))
                    return;
            }
            thr /= 2;
            continue;
        }
        int nStart = lb;
        for (int k = std::min(s - 1, kInputSamples - 2); k >= std::max(lb + 1, 1); --k) {
            if (f[k] < f[k + 1] && f[k] <= f[k - 1]) {
                nStart = k;
                break;
            }
        }
        w.start[r][n] = nStart;
        return;
    }
}

void RefineWindowEnd(CEngineData& d, int r, int n) {
    auto& w = d.Detection.QrsWindowList;
    const auto& f = d.Detection.QrsFeature[r];
    int e = w.end[r][n] - 2;
    int rb;
    if (n == w.nCount[r] - 1) {
        rb = std::min(e + 75, kInputSamples - 1);
    } else {
        rb = w.start[r][n + 1] - 2;
        if (rb - e > 75)
            rb = e + 75;
    }
    rb = std::min(rb, kInputSamples - 1);
    std::int64_t thr = d.Detection.DetectionThreshold[r];
    for (int nPass = 0; nPass < 6; ++nPass) {
        if (e > rb) {
            thr /= 2;
            continue;
        }
        int nFound = -1;
        for (int k = std::max(e, 1); k <= rb; ++k) {
            if (f[k - 1] > thr && f[k] <= thr) {
                nFound = k;
                break;
            }
        }
        if (nFound >= 0) {
            w.end[r][n] = nFound;
            e = nFound;
            bool bRisesAfter = false;
            for (int k = e + 1; k <= rb; ++k) {
                if (f[k] >= thr) {
                    bRisesAfter = true;
                    break;
                }
            }
            if (bRisesAfter)
                return;
            thr /= 2;
            continue;
        }
        int nEnd = rb;
        for (int k = std::max(e, 1); k <= std::min(rb, kInputSamples - 2); ++k) {
            if (f[k] < f[k + 1] && f[k] <= f[k - 1]) {
                nEnd = k;
                break;
            }
        }
        w.end[r][n] = nEnd;
        return;
    }
}

// Candidate onset of the missed-beat search in one lead's feature row, or 0.
int CandidateOnset(const InputRow32& f, int lo, int p, std::int64_t t) {
    int nOnset = 0;
    int nFrom = p - 1;
    for (int nPass = 0; nPass < 5; ++nPass) {
        int nFound = -1;
        for (int k = std::min(nFrom, kInputSamples - 2); k >= std::max(lo, 0); --k) {
            if (f[k] < t && t <= f[k + 1]) {
                nFound = k;
                break;
            }
        }
        if (nFound < 0) {
            for (int k = std::min(nFrom, kInputSamples - 2); k >= std::max(lo, 1); --k) {
                if (f[k] < f[k + 1] && f[k] <= f[k - 1]) {
                    return k;
                }
            }
            return nOnset == 0 ? p - 25 : nOnset;
        }
        nOnset = nFound;
        for (int k = lo; k <= nFound; ++k) {
            if (f[k] >= t)
                return nOnset;
        }
        t /= 2;
        nFrom = nFound;
    }
    return nOnset;
}

int CandidateOffset(const InputRow32& f, int hi, int p, std::int64_t t) {
    int nOffset = 0;
    int nFrom = p + 1;
    for (int nPass = 0; nPass < 5; ++nPass) {
        int nFound = -1;
        for (int k = std::max(nFrom, 1); k <= std::min(hi, kInputSamples - 1); ++k) {
            if (f[k - 1] >= t && t > f[k]) {
                nFound = k;
                break;
            }
        }
        if (nFound < 0) {
            for (int k = std::max(nFrom, 1); k <= std::min(hi, kInputSamples - 2); ++k) {
                if (f[k] <= f[k + 1] && f[k] < f[k - 1])
                    return k;
            }
            return nOffset == 0 ? p + 25 : nOffset;
        }
        nOffset = nFound;
        for (int k = nFound; k <= hi; ++k) {
            if (f[k] >= t)
                return nOffset;
        }
        t /= 2;
        nFrom = nFound;
    }
    return nOffset;
}

// Position of the largest value of f over [nFrom, nTo], the first on ties.
int PeakOf(const InputRow32& f, int nFrom, int nTo) {
    int p = nFrom;
    for (int k = nFrom; k <= nTo; ++k) {
        if (f[k] > f[p])
            p = k;
    }
    return p;
}

std::int64_t SteepestSlope(const InputRow32& dv, int nFrom, int nTo) {
    std::int64_t n = 0;
    for (int k = std::max(nFrom, 0); k <= std::min(nTo, kInputSamples - 1); ++k)
        n = std::max<std::int64_t>(n, std::abs(static_cast<std::int64_t>(dv[k])));
    return n;
}

}  // namespace

bool IsLowThresholdBeat(const CEngineData& d, int r, int nFrom, int nTo, int nPrevFrom,
                        int nPrevTo) {
    const auto& t = d.Detection;
    const auto& f = t.QrsFeature[r];
    const int p = PeakOf(f, nFrom, nTo);
    if (2 * static_cast<std::int64_t>(f[p]) < t.DetectionThreshold[r])
        return false;
    if (nPrevFrom < 0)
        return true;
    // The T wave: within its reach of the QRS before, and not half as steep.
    const int pPrev = PeakOf(f, nPrevFrom, nPrevTo);
    const auto& dv = t.DerivativeRow[r];
    return p - pPrev > kTWaveReach ||
           2 * SteepestSlope(dv, nFrom, nTo) >= SteepestSlope(dv, nPrevFrom, nPrevTo);
}

namespace {

// Looks for a beat missed between lo and hi (detection frame) and inserts it as beat
// nInsertAt when at least half of the usable leads hold a beat there under the lowered
// threshold, not the T wave of beat nPrev (-1: none before); true when one was inserted.
bool InsertMissedBeat(CEngineData& d, int lo, int hi, int nPrev, int nInsertAt) {
    auto& t = d.Detection;
    auto& q = t.IOQm;
    if (lo > hi || lo < 0 || hi >= kInputSamples)
        return false;
    t.OnsetWorkList.nCount = 0;
    t.OffsetWorkList.nCount = 0;
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (!IsUsable(d, r))
            continue;
        const auto& f = t.QrsFeature[r];
        const int p = PeakOf(f, lo, hi);
        const std::int64_t t90 = static_cast<std::int64_t>(f[p]) * 90 / 100;
        const int nOn = CandidateOnset(f, lo, p, t90);
        const int nOff = CandidateOffset(f, hi, p, t90);
        if (nOn != 0)
            AddToWorkList(t.OnsetWorkList, nOn);
        if (nOff != 0)
            AddToWorkList(t.OffsetWorkList, nOff);
    }
    const std::int32_t con = MedianOfWorkLists(t.OnsetWorkList);
    const std::int32_t coff = MedianOfWorkLists(t.OffsetWorkList);
    // Only a real candidate inside the searched stretch may be inserted.
    if (con <= lo - 25 || coff <= con || coff >= hi + 25)
        return false;
    int nUsable = 0, nAgree = 0;
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (!IsUsable(d, r))
            continue;
        ++nUsable;
        nAgree += IsLowThresholdBeat(d, r, std::max(con, lo), std::min(coff, hi),
                                     nPrev < 0 ? -1 : q.qrs_onset[nPrev],
                                     nPrev < 0 ? -1 : q.qrs_offset[nPrev]);
    }
    if (2 * nAgree < nUsable || q.qrs_num >= kMaxBeats)
        return false;
    for (int k = q.qrs_num; k > nInsertAt; --k) {
        q.qrs_onset[k] = q.qrs_onset[k - 1];
        q.qrs_offset[k] = q.qrs_offset[k - 1];
    }
    q.qrs_onset[nInsertAt] = con;
    q.qrs_offset[nInsertAt] = coff;
    ++q.qrs_num;
    return true;
}

// The record's typical beat interval: the median of its intervals (the shorter middle one of
// an even count), which neither the pauses nor the premature beats the search is for move.
std::int64_t TypicalInterval(const CEngineData& d) {
    const auto& q = d.Detection.IOQm;
    std::array<std::int32_t, kMaxBeats> a{};
    int n = 0;
    for (int i = 1; i < q.qrs_num; ++i)
        a[n++] = q.qrs_onset[i] - q.qrs_onset[i - 1];
    std::sort(a.begin(), a.begin() + n);
    return n > 0 ? a[(n - 1) / 2] : 0;
}

}  // namespace

int ComputeSquaredSlope(CEngineData& d) {
    auto& t = d.Detection;
    t.MaxPower.fill(0);
    t.SymbolicPower.fill(0);
    for (auto& row : t.SquaredSlope)
        row.fill(0);
    for (auto& h : t.SlopeHistogram)
        h.fill(0);
    int nNoSignal = 0;
    for (int r = 0; r < kIndependentLeads; ++r) {
        const auto& x = d.InputLeads[r];
        auto& slope = t.SquaredSlope[r];
        std::int32_t nMax = 0;
        for (int n = kSlopeFirst; n < kSlopeEnd; ++n) {
            const std::int64_t dv = static_cast<std::int64_t>(x[n]) - x[n - 2];
            slope[n] = Saturate(dv * dv);
            nMax = std::max(nMax, slope[n]);
        }
        t.MaxPower[r] = nMax;
        const std::int64_t w = nMax > 100 ? nMax / 100 : 1;
        for (int n = kSlopeFirst; n < kSlopeEnd; ++n)
            ++t.SlopeHistogram[r][HistogramBin(slope[n], w)];
        const int k = PercentileBin(t.SlopeHistogram[r], 2940);
        if (k >= 0)
            t.SymbolicPower[r] = Saturate(w * k);
        if (static_cast<double>(t.MaxPower[r]) < 204.8 &&
            static_cast<double>(t.SymbolicPower[r]) < 20.48)
            t.LeadQuality[r] = LeadNoSignal;
        if (t.LeadQuality[r] == LeadNoSignal)
            ++nNoSignal;
    }
    return nNoSignal == kIndependentLeads ? -1 : 0;
}

int BuildQrsFeatureSignal(CEngineData& d) {
    auto& t = d.Detection;
    // Rows of a lead with signal are written whole below; only the others are cleared.
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (!IsNoSignal(d, r))
            continue;
        for (auto* pRows : {&t.SmoothedRow, &t.DerivativeRow, &t.SquaredRow, &t.QrsFeature})
            (*pRows)[r].fill(0);
    }
    for (auto& h : t.FeatureHistogram)
        h.fill(0);
    t.DetectionThreshold.fill(0);
    static const std::int64_t s_aKernel[7] = {12710, 12214, 10809, 8724, 6289, 3859, 1750};
    const bool bShort = d.DetectionFlag == 1;
    const int nHalf = bShort ? 3 : 22;
    const int nDivisor = bShort ? 6 : 45;
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (IsNoSignal(d, r))
            continue;
        const auto& x = d.InputLeads[r];
        auto& y = t.SmoothedRow[r];
        auto& dv = t.DerivativeRow[r];
        auto& sq = t.SquaredRow[r];
        auto& f = t.QrsFeature[r];
        for (int c = 6; c <= kInputSamples - 7; ++c) {
            std::int64_t nSum = s_aKernel[0] * x[c];
            for (int j = 1; j <= 6; ++j)
                nSum += s_aKernel[j] * (static_cast<std::int64_t>(x[c - j]) + x[c + j]);
            y[c] = Saturate(nSum / 100000);
        }
        std::fill(y.begin(), y.begin() + 6, y[6]);
        std::fill(y.end() - 6, y.end(), y[kInputSamples - 7]);
        for (int m = 2; m <= kInputSamples - 3; ++m) {
            const std::int64_t v = 2 * (static_cast<std::int64_t>(y[m + 2]) - y[m - 2]) + y[m + 1] -
                                   static_cast<std::int64_t>(y[m - 1]);
            dv[m] = Saturate(v / 8);
        }
        dv[0] = dv[1] = dv[2];
        dv[kInputSamples - 2] = dv[kInputSamples - 1] = dv[kInputSamples - 3];
        for (int n = 0; n < kInputSamples; ++n)
            sq[n] = Saturate(static_cast<std::int64_t>(dv[n]) * dv[n]);
        // Moving sum kept running (exact in 64 bits).
        std::int64_t nSum = 0;
        for (int j = 0; j <= 2 * nHalf; ++j)
            nSum += sq[j];
        for (int c = nHalf; c <= kInputSamples - 1 - nHalf; ++c) {
            if (c > nHalf)
                nSum += static_cast<std::int64_t>(sq[c + nHalf]) - sq[c - nHalf - 1];
            f[c] = Saturate(nSum / nDivisor);
        }
        std::fill(f.begin(), f.begin() + nHalf, f[nHalf]);
        std::fill(f.end() - nHalf, f.end(), f[kInputSamples - 1 - nHalf]);

        std::int32_t nMax = 0;
        for (std::int32_t v : f)
            nMax = std::max(nMax, v);
        const std::int64_t w = nMax >= 100 ? nMax / 100 : 1;
        for (std::int32_t v : f)
            ++t.FeatureHistogram[r][HistogramBin(v, w)];
        const int k = PercentileBin(t.FeatureHistogram[r], bShort ? 5760 : 5700);
        if (k >= 0)
            t.DetectionThreshold[r] = Saturate((w * k) / 2);
    }
    return 0;
}

int DetectAndRefineQrsWindows(CEngineData& d) {
    ScanQrsWindows(d);
    return RefineQrsWindows(d);
}

int DetectQrsWindows(CEngineData& d) {
    ScanQrsWindows(d);
    constexpr int kRowII = 1;
    const int nII = IsNoSignal(d, kRowII) ? 0 : d.Detection.QrsWindowList.nCount[kRowII];
    if (nII * 5 < 160) {
        // Below 160 per minute the long integration window separates the beats better.
        d.DetectionFlag = 0;
        BuildQrsFeatureSignal(d);
        DetectAndRefineQrsWindows(d);
        return AddLowThresholdWindows(d);
    }
    return RefineQrsWindows(d);
}

int AddLowThresholdWindows(CEngineData& d) {
    auto& t = d.Detection;
    auto& w = t.QrsWindowList;
    struct SLeadWindows {
        int nCount = 0;
        BeatTable aStart{}, aEnd{};
    };
    std::array<SLeadWindows, kIndependentLeads> aOwn{}, aLow{};
    for (int r = 0; r < kIndependentLeads; ++r) {
        aOwn[r] = {w.nCount[r], w.start[r], w.end[r]};
        if (IsNoSignal(d, r))
            continue;
        // The lead's scan and refinement once more at half its threshold.
        const std::int32_t nThreshold = t.DetectionThreshold[r];
        t.DetectionThreshold[r] = nThreshold / 2;
        w.nCount[r] = 0;
        w.start[r].fill(0);
        w.end[r].fill(0);
        ScanLead(d, r);
        for (int n = 0; n < w.nCount[r]; ++n) {
            RefineWindowStart(d, r, n);
            RefineWindowEnd(d, r, n);
        }
        t.DetectionThreshold[r] = nThreshold;
        // Only windows where the lead had none are new, and not the T wave of the QRS before.
        for (int n = 0; n < w.nCount[r]; ++n) {
            bool bOverlaps = false;
            for (int k = 0; k < aOwn[r].nCount && !bOverlaps; ++k)
                bOverlaps = w.start[r][n] <= aOwn[r].aEnd[k] && aOwn[r].aStart[k] <= w.end[r][n];
            if (!bOverlaps &&
                IsLowThresholdBeat(d, r, w.start[r][n], w.end[r][n], n > 0 ? w.start[r][n - 1] : -1,
                                   n > 0 ? w.end[r][n - 1] : -1)) {
                auto& low = aLow[r];
                low.aStart[low.nCount] = w.start[r][n];
                low.aEnd[low.nCount] = w.end[r][n];
                ++low.nCount;
            }
        }
        w.nCount[r] = aOwn[r].nCount;
        w.start[r] = aOwn[r].aStart;
        w.end[r] = aOwn[r].aEnd;
    }

    // A new window counts when two other leads have a window there too: a beat shows in
    // several leads, a spike or a wiggle in one.
    auto SeenIn = [&](int r, std::int32_t s, std::int32_t e) {
        for (const auto* pSet : {&aOwn[r], &aLow[r]}) {
            for (int k = 0; k < pSet->nCount; ++k)
                if (s <= pSet->aEnd[k] && pSet->aStart[k] <= e)
                    return true;
        }
        return false;
    };
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (IsNoSignal(d, r) || aLow[r].nCount == 0)
            continue;
        std::array<std::pair<std::int32_t, std::int32_t>, 2 * kMaxBeats> aAll{};
        int nAll = 0;
        for (int n = 0; n < aOwn[r].nCount; ++n)
            aAll[nAll++] = {aOwn[r].aStart[n], aOwn[r].aEnd[n]};
        for (int n = 0; n < aLow[r].nCount; ++n) {
            const std::int32_t s = aLow[r].aStart[n], e = aLow[r].aEnd[n];
            int nOthers = 0;
            for (int o = 0; o < kIndependentLeads; ++o)
                nOthers += o != r && !IsNoSignal(d, o) && SeenIn(o, s, e);
            if (nOthers >= 2)
                aAll[nAll++] = {s, e};
        }
        std::stable_sort(aAll.begin(), aAll.begin() + nAll);
        // Added windows never fill the list: a full list marks a faulted lead.
        nAll = std::min(nAll, std::max(aOwn[r].nCount, kMaxWindows - 1));
        w.nCount[r] = nAll;
        w.start[r].fill(0);
        w.end[r].fill(0);
        for (int n = 0; n < nAll; ++n) {
            w.start[r][n] = aAll[n].first;
            w.end[r][n] = aAll[n].second;
        }
    }
    return 0;
}

int RefineQrsWindows(CEngineData& d) {
    const auto& w = d.Detection.QrsWindowList;
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (IsNoSignal(d, r))
            continue;
        for (int n = 0; n < w.nCount[r]; ++n) {
            RefineWindowStart(d, r, n);
            RefineWindowEnd(d, r, n);
        }
    }
    return 0;
}

int CheckLeadAgreement(CEngineData& d) {
    auto& t = d.Detection;
    auto& w = t.QrsWindowList;
    for (auto& a : t.OverlapMatrix) {
        for (auto& b : a)
            b.fill(0);
    }
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (IsNoSignal(d, r))
            continue;
        if (w.nCount[r] >= kMaxWindows)
            t.LeadQuality[r] = LeadFaulted;
        else if (w.nCount[r] <= 4)
            t.LeadQuality[r] = LeadNoSignal;
    }
    for (int a = 0; a < kIndependentLeads; ++a) {
        if (t.LeadQuality[a] != LeadGoodQuality)
            continue;
        for (int i = 0; i < w.nCount[a]; ++i) {
            for (int b = 0; b < kIndependentLeads; ++b) {
                if (b == a)
                    continue;
                for (int j = 0; j < w.nCount[b]; ++j) {
                    if (w.start[a][i] < w.end[b][j] && w.start[b][j] < w.end[a][i])
                        ++t.OverlapMatrix[a][i][b];
                }
            }
        }
    }
    std::array<bool, kIndependentLeads> aGood{};
    for (int a = 0; a < kIndependentLeads; ++a)
        aGood[a] = t.LeadQuality[a] == LeadGoodQuality;
    for (int a = 0; a < kIndependentLeads; ++a) {
        if (!aGood[a])
            continue;
        int nIsolated = 0, nWhich = -1;
        for (int i = 0; i < w.nCount[a]; ++i) {
            int nConfirming = 0;
            for (int b = 0; b < kIndependentLeads; ++b) {
                if (b != a && t.OverlapMatrix[a][i][b] == 1)
                    ++nConfirming;
            }
            if (nConfirming < 2) {
                ++nIsolated;
                nWhich = i;
            }
        }
        if (nIsolated >= 2) {
            t.LeadQuality[a] = LeadLoosed;
        } else if (nIsolated == 1) {
            t.LeadQuality[a] = LeadPoorQuality;
            int& n = w.nCount[a];
            for (int i = nWhich; i + 1 < n; ++i) {
                w.start[a][i] = w.start[a][i + 1];
                w.end[a][i] = w.end[a][i + 1];
            }
            w.start[a][n - 1] = 0;
            w.end[a][n - 1] = 0;
            --n;
        }
    }
    for (int a = 0; a < kIndependentLeads; ++a) {
        if (t.LeadQuality[a] == LeadGoodQuality)
            return 0;
    }
    return -1;
}

std::int32_t PickFromValues(std::int32_t* pValue, int nCount, int nShift) {
    const int n = std::max(nCount, 0);
    if (n == 0)
        return 0;
    if (n < 3)
        return pValue[0];
    // Exchange sort in descending order that swaps only on strictly greater.
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (pValue[j] > pValue[i])
                std::swap(pValue[i], pValue[j]);
        }
    }
    const int nPos = ((n % 2 == 0) ? n / 2 : (n + 1) / 2) + nShift;
    return pValue[std::clamp(nPos, 1, n) - 1];
}

std::int32_t PickFromWorkList(SWorkList& list, int nShift) {
    const int n = std::clamp(list.nCount, 0, static_cast<int>(list.aValue.size()));
    return PickFromValues(list.aValue.data(), n, nShift);
}

std::int32_t MedianOfWorkLists(SWorkList& list) {
    return PickFromWorkList(list, 0);
}

int GroupBeats(CEngineData& d) {
    auto& t = d.Detection;
    auto& g = t.Grouping;
    const auto& w = t.QrsWindowList;
    auto& q = t.IOQm;
    g.nCursor.fill(0);
    for (auto& row : g.start)
        row.fill(0);
    for (auto& row : g.end)
        row.fill(0);
    auto WindowsLeft = [&] {
        for (int r = 0; r < kIndependentLeads; ++r) {
            if (IsUsable(d, r) && g.nCursor[r] < w.nCount[r])
                return true;
        }
        return false;
    };
    if (WindowsLeft()) {
        for (;;) {
            int nRef = -1;
            for (int r = 0; r < kIndependentLeads; ++r) {
                if (!IsUsable(d, r) || g.nCursor[r] >= w.nCount[r])
                    continue;
                const int e = w.end[r][g.nCursor[r]];
                if (e == 0)
                    continue;
                if (nRef < 0 || e < w.end[nRef][g.nCursor[nRef]])
                    nRef = r;
            }
            if (nRef < 0)
                break;
            const int rs = w.start[nRef][g.nCursor[nRef]];
            const int re = w.end[nRef][g.nCursor[nRef]];
            const int b = q.qrs_num;
            for (int r = 0; r < kIndependentLeads; ++r) {
                if (!IsUsable(d, r))
                    continue;
                int nLast = -1;
                for (int j = g.nCursor[r]; j < w.nCount[r]; ++j) {
                    if (w.start[r][j] < re && w.end[r][j] > rs) {
                        if (nLast < 0) {
                            g.start[r][b] = w.start[r][j];
                            g.end[r][b] = w.end[r][j];
                        } else {
                            g.start[r][b] = std::min(g.start[r][b], w.start[r][j]);
                            g.end[r][b] = std::max(g.end[r][b], w.end[r][j]);
                        }
                        nLast = j;
                    }
                }
                if (nLast >= 0)
                    g.nCursor[r] = nLast + 1;
            }
            ++q.qrs_num;
            if (!WindowsLeft())
                break;
            // The beat list holds 66 beats: a 67th fails the stage, as 100 beats would, instead
            // of overrunning the list.
            if (q.qrs_num >= kMaxBeats) {
                std::printf("QM_M_1  IOQm.qrs_num = %d\n", q.qrs_num + 1);
                return -1;
            }
            // A reference window that joins nothing would never move a cursor.
            if (g.nCursor[nRef] < w.nCount[nRef] && w.start[nRef][g.nCursor[nRef]] == rs &&
                w.end[nRef][g.nCursor[nRef]] == re)
                ++g.nCursor[nRef];
        }
    }
    for (int b = 0; b < q.qrs_num; ++b) {
        t.OnsetWorkList.nCount = 0;
        t.OffsetWorkList.nCount = 0;
        for (int r = 0; r < kIndependentLeads; ++r) {
            if (!IsUsable(d, r) || (g.start[r][b] == 0 && g.end[r][b] == 0))
                continue;
            AddToWorkList(t.OnsetWorkList, g.start[r][b]);
            AddToWorkList(t.OffsetWorkList, g.end[r][b]);
        }
        q.qrs_onset[b] = MedianOfWorkLists(t.OnsetWorkList);
        q.qrs_offset[b] = MedianOfWorkLists(t.OffsetWorkList);
    }
    return 0;
}

namespace {

// A beat's window is wider than its QRS: a QRS that lies whole in the first or last samples
// of the record may have a window that reaches a little past the record's edge, and the
// later stages keep only beats inside it. Such a window is cut at the edge. At the end, a
// complex within the T-wave reach of the QRS before, whose own ST segment and T wave the
// record does not hold, cannot be told from that T wave or from noise on it: it stays out.
void ClampEdgeBeats(CEngineData& d) {
    auto& q = d.Detection.IOQm;
    const int nFirst = kLeadIn, nLast = kLeadIn + kRecordSamples - 1;
    if (q.qrs_num >= 1 && q.qrs_onset[0] < nFirst && q.qrs_onset[0] >= nFirst - kEdgeReach &&
        q.qrs_offset[0] > nFirst + kEdgeReach)
        q.qrs_onset[0] = nFirst;
    const int n = q.qrs_num - 1;
    if (n >= 0 && q.qrs_offset[n] > nLast && q.qrs_offset[n] <= nLast + kEdgeReach &&
        q.qrs_onset[n] < nLast - kEdgeReach &&
        (n == 0 || q.qrs_onset[n] - q.qrs_onset[n - 1] > kTWaveReach))
        q.qrs_offset[n] = nLast;
}

}  // namespace

int CleanBeatList(CEngineData& d) {
    auto& q = d.Detection.IOQm;
    for (int i = 1; i < q.qrs_num; ++i) {
        if (q.qrs_onset[i] < q.qrs_offset[i - 1]) {
            q.qrs_onset[i - 1] = std::min(q.qrs_onset[i - 1], q.qrs_onset[i]);
            q.qrs_offset[i - 1] = std::max(q.qrs_offset[i - 1], q.qrs_offset[i]);
            RemoveBeat(d, i);
        }
    }
    for (int i = 1; i < q.qrs_num; ++i) {
        const int nGap = q.qrs_onset[i] - q.qrs_offset[i - 1];
        if (nGap > 0 && nGap < kMergeGap)
            RemoveBeat(d, i);
    }
    // Search back where an interval passes 166 % of the typical one: a missed beat leaves
    // about two (a premature beat lost with its full compensatory pause exactly two).
    const std::int64_t nTypical = TypicalInterval(d);
    for (int i = 0; i < q.qrs_num - 1;) {
        const std::int64_t nAfter = q.qrs_onset[i + 1] - q.qrs_onset[i];
        if (100 * nAfter > 166 * nTypical &&
            InsertMissedBeat(d, q.qrs_offset[i] + 25, q.qrs_onset[i + 1] - 25, i, i + 1))
            continue;
        ++i;
    }
    // Before the first and after the last beat, where a stretch longer than half the
    // neighbouring interval could hold one.
    if (q.qrs_num >= 2) {
        const int nFirstGap = q.qrs_onset[0] - kLeadIn;
        if (2 * nFirstGap > q.qrs_onset[1] - q.qrs_onset[0])
            (void)InsertMissedBeat(d, kLeadIn, q.qrs_onset[0] - 25, -1, 0);
        const int n = q.qrs_num;
        const int nLastGap = kLeadIn + kRecordSamples - q.qrs_offset[n - 1];
        if (2 * nLastGap > q.qrs_onset[n - 1] - q.qrs_onset[n - 2])
            (void)InsertMissedBeat(d, q.qrs_offset[n - 1] + 25, kLeadIn + kRecordSamples - 1,
                                   n - 1, n);
    }
    ClampEdgeBeats(d);
    return 0;
}

int DeriveOutputLeads(CEngineData& d) {
    static const int s_aChestRow[6] = {2, 3, 4, 5, 6, 7};
    for (int n = 0; n < kRecordSamples; ++n) {
        const int s = n + kLeadIn;
        const std::int32_t i = d.InputLeads[0][s];
        const std::int32_t ii = d.InputLeads[1][s];
        const std::int32_t iii = ii - i;
        d.AnalysisLeads[LeadI][n] = i;
        d.AnalysisLeads[LeadII][n] = ii;
        d.AnalysisLeads[LeadIII][n] = iii;
        d.AnalysisLeads[LeadAVR][n] = -((i + ii) / 2);
        d.AnalysisLeads[LeadAVL][n] = (i - iii) / 2;
        d.AnalysisLeads[LeadAVF][n] = (ii + iii) / 2;
        for (int c = 0; c < 6; ++c)
            d.AnalysisLeads[LeadV1 + c][n] = d.InputLeads[s_aChestRow[c]][s];
    }
    auto& t = d.Detection;
    // The poor-lead statement reads the ratings as rated, before they are folded.
    MapRatingsToLeads(t.LeadQuality, d.Finish.LeadRatingBeforeFold);
    for (auto& q : t.LeadQuality) {
        if (q > LeadPoorQuality)
            q = LeadPoorQuality;
    }
    MapRatingsToLeads(t.LeadQuality, t.LeadQuality12);
    return 0;
}

void MapRatingsToLeads(const std::array<std::int32_t, kIndependentLeads>& aRating,
                       std::array<std::int32_t, kLeads>& aLead) {
    for (int r = 0; r < kIndependentLeads; ++r)
        aLead[kInputRowLead[r]] = aRating[r];
    // The derived limb leads take the worse rating of I and II.
    const std::int32_t qI = aRating[0], qII = aRating[1];
    const std::int32_t nDerived = (qI == 0 && qII == 0) ? 0 : std::max(qI, qII);
    for (int l : {LeadIII, LeadAVR, LeadAVL, LeadAVF})
        aLead[l] = nDerived;
}

int RunQrsDetectionStage(CEngineData& d) {
    const int nPresence = ComputeSquaredSlope(d);
    (void)RunStep(d, 14);
    if (nPresence != 0)
        return -1;
    BuildQrsFeatureSignal(d);
    DetectQrsWindows(d);
    if (CheckLeadAgreement(d) != 0 || GroupBeats(d) != 0 || CleanBeatList(d) != 0 ||
        DeriveOutputLeads(d) != 0)
        return -1;
    (void)RunStep(d, 4);
    return 0;
}

}  // namespace ecg_engine
