// Lead quality check and QRS detection; the stage driver.
#include <algorithm>
#include <climits>

#include "ecg_engine/engine.h"
#include "ecg_engine/qrs_stages.h"
#include "ecg_engine/stages.h"

namespace ecg_engine {

namespace {

constexpr int kSlopeFirst = 1500;  // middle 3000 samples of the record
constexpr int kSlopeEnd = 4500;
constexpr int kMaxWindows = kMaxBeats;
constexpr int kLongHalf = 22;     // half the long integration window
constexpr int kStillStretch = 8;  // 16 ms: longer than the still peak of a P wave

// Squares and sums of full-scale samples do not fit 32 bits: work in 64 and keep the
// largest 32-bit value where a table has no more room.
std::int32_t Saturate(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool IsNoSignal(const CEngineData& d, int r) {
    return d.Detection.LeadQuality[r] == LeadNoSignal;
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
        const int nMark = bShort ? 5760 : 5700;
        int k = PercentileBin(t.FeatureHistogram[r], nMark);
        std::int64_t nWidth = w;
        // A single artefact far larger than the QRS complexes makes the bins so wide that the
        // mark falls in the first one and the threshold would be 0: no QRS could be told from
        // the baseline. The values of that bin are binned again, finer, until it resolves.
        while (k == 0 && nWidth > 1) {
            const std::int64_t nFine = std::max<std::int64_t>(nWidth / 100, 1);
            std::array<std::int32_t, kHistogramBins> aFine{};
            for (std::int32_t v : f) {
                if (v <= nWidth)
                    ++aFine[HistogramBin(v, nFine)];
            }
            k = PercentileBin(aFine, nMark);
            nWidth = nFine;
        }
        if (k >= 0)
            t.DetectionThreshold[r] = Saturate((nWidth * k) / 2);
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
