// QRS recognition, complex typing and beat measures.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "ecg_engine/debug_output.h"
#include "ecg_engine/engine.h"
#include "ecg_engine/qrs_stages.h"
#include "ecg_engine/stages.h"
#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

namespace {

constexpr double kUnitMicrovolts = 2.44140625;  // 10000/4096
constexpr int kLastSample = kRecordSamples - 1;

// Beats of the detection list that reach into the lead-in or the lead-out are left out.
bool BeatInRecord(std::int32_t nOnset, std::int32_t nOffset) {
    return nOnset > kLeadIn - 1 && nOffset < kLeadIn + kRecordSamples + 1;
}

int BeatCountOfLeads(const CEngineData& d) {
    int n = 0;
    for (int c : d.Qrs.LeadBeatList.nCount)
        n = std::max(n, c);
    return std::min(n, kMaxBeats);
}

std::int32_t ToMicrovolts(std::int64_t nUnits) {
    return static_cast<std::int32_t>(static_cast<double>(nUnits) * kUnitMicrovolts);
}

// Removes entry j; the first and the last entry always mark onset and offset.
void RemoveEntry(SExtremumList& list, int j) {
    if (j < 0 || j >= list.nCount)
        return;
    for (int k = j; k + 1 < list.nCount; ++k)
        list.aEntry[k] = list.aEntry[k + 1];
    --list.nCount;
    list.aEntry[list.nCount] = SExtremum{};
    if (list.nCount > 0) {
        list.aEntry[0].nKind = 0;
        list.aEntry[list.nCount - 1].nKind = 0;
    }
}

std::int64_t Extremeness(const SExtremum& e) {
    return static_cast<std::int64_t>(e.nKind) * e.nValue;
}

// Removes the less extreme of entries j - 1 and j.
void RemoveLessExtreme(SExtremumList& list, int j) {
    if (Extremeness(list.aEntry[j]) > Extremeness(list.aEntry[j - 1]))
        RemoveEntry(list, j - 1);
    else
        RemoveEntry(list, j);
}

struct SWaveInfo {
    int nBit;
    bool bPositive;
};
constexpr SWaveInfo kWaves[kQrsWaves] = {{kQrsTypeQ, false},
                                         {kQrsTypeR, true},
                                         {kQrsTypeS, false},
                                         {kQrsTypeR2, true},
                                         {kQrsTypeS2, false}};

int WaveIndexOfBit(int nBit) {
    for (int w = 0; w < kQrsWaves; ++w) {
        if (kWaves[w].nBit == nBit)
            return w;
    }
    return -1;
}

bool IsKnownType(int t) {
    switch (t) {
        case 0x08:
        case 0x0C:
        case 0x0E:
        case 0x0F:
        case 0x10:
        case 0x18:
        case 0x1C:
        case 0x1E:
        case 0x1F:
        case 0x88:
        case 0x8C:
        case 0x98:
        case 0x9C:
            return true;
        default:
            return false;
    }
}

// Assigns the type and the entry indices of the waves of one pruned list.
void TypeList(const SExtremumList& list, std::int32_t nBase, std::int32_t& nType,
              std::array<SQrsWave, kQrsWaves>& waves) {
    const int n = list.nCount;
    auto k = [&](int i) { return list.aEntry[i].nKind; };
    auto v = [&](int i) { return list.aEntry[i].nValue; };
    auto a = [&](int i) { return list.aEntry[i].nValue - nBase; };
    auto Set = [&](int nT, int q, int r, int s, int r2, int s2) {
        nType = nT;
        waves[WaveQ].nPos = q;
        waves[WaveR].nPos = r;
        waves[WaveS].nPos = s;
        waves[WaveR2].nPos = r2;
        waves[WaveS2].nPos = s2;
    };
    nType = kQrsTypeUnknown;
    if (n == 3) {
        if (k(1) == 1)
            Set(0x08, 0, 1, 0, 0, 0);
        else if (k(1) == -1)
            Set(0x10, 1, 0, 0, 0, 0);
    } else if (n == 4) {
        if (k(1) == 1 && k(2) == -1)
            Set(0x0C, 0, 1, 2, 0, 0);
        else if (k(1) == -1 && k(2) == 1)
            Set(0x18, 1, 2, 0, 0, 0);
    } else if (n == 5) {
        if (k(1) == 1 && k(2) == -1 && k(3) == 1) {
            if (a(2) <= 0)
                Set(0x0E, 0, 1, 2, 3, 0);
            else if (v(3) < v(1))
                Set(a(1) / 4 < a(3) ? 0x88 : 0x08, 0, 1, 0, 0, 0);
            else
                Set(a(3) / 4 < a(1) ? 0x88 : 0x08, 0, 3, 0, 0, 0);
        } else if (k(1) == -1 && k(2) == 1 && k(3) == -1) {
            if (a(2) <= 0)
                Set(0x10, v(3) < v(1) ? 3 : 1, 0, 0, 0, 0);
            else
                Set(0x1C, 1, 2, 3, 0, 0);
        }
    } else if (n == 6) {
        if (k(1) == 1 && k(2) == -1 && k(3) == 1 && k(4) == -1) {
            if (a(3) <= 0)
                Set(0x0C, 0, 1, v(4) < v(2) ? 4 : 2, 0, 0);
            else if (a(2) <= 0)
                Set(0x0F, 0, 1, 2, 3, 4);
            else if (v(3) < v(1))
                Set(a(1) / 4 < a(3) ? 0x8C : 0x0C, 0, 1, 4, 0, 0);
            else
                Set(a(3) / 4 < a(1) ? 0x8C : 0x0C, 0, 3, 4, 0, 0);
        } else if (k(1) == -1 && k(2) == 1 && k(3) == -1 && k(4) == 1) {
            if (a(2) <= 0)
                Set(0x18, v(3) < v(1) ? 3 : 1, 4, 0, 0, 0);
            else if (a(3) <= 0)
                Set(0x1E, 1, 2, 3, 4, 0);
            else if (v(4) < v(2))
                Set(a(2) / 4 < a(4) ? 0x98 : 0x18, 1, 2, 0, 0, 0);
            else
                Set(a(4) / 4 < a(2) ? 0x98 : 0x18, 1, 4, 0, 0, 0);
        }
    } else if (n == 7) {
        if (k(1) == -1 && k(2) == 1 && k(3) == -1 && k(4) == 1 && k(5) == -1) {
            if (a(2) <= 0 && a(4) <= 0) {
                int q;
                if (v(1) < v(3))
                    q = v(1) < v(5) ? 1 : 5;
                else
                    q = v(5) <= v(3) ? 5 : 3;
                Set(0x10, q, 0, 0, 0, 0);
            } else if (a(2) <= 0) {
                Set(0x1C, v(3) < v(1) ? 3 : 1, 4, 5, 0, 0);
            } else if (a(4) <= 0) {
                Set(0x1C, 1, 2, v(5) < v(3) ? 5 : 3, 0, 0);
            } else if (a(3) <= 0) {
                Set(0x1F, 1, 2, 3, 4, 5);
            } else if (v(2) <= v(4)) {
                Set(a(4) / 4 < a(2) ? 0x9C : 0x1C, 1, 4, 5, 0, 0);
            } else {
                Set(a(2) / 4 < a(4) ? 0x9C : 0x1C, 1, 2, 5, 0, 0);
            }
        }
    }
    if (nType == kQrsTypeUnknown) {
        for (auto& w : waves)
            w = SQrsWave{};
    }
}

// Triangle areas (Heron) of the boundary search; W[k] for k in [nStart, nEnd).
void BoundaryAreas(CEngineData& d, int nLead, int nStart, int nEnd, float ax, float ay, float bx,
                   float by, float fRef, float fTolerance) {
    auto& W = d.Qrs.AreaWork;
    const auto& x = d.AnalysisLeads[nLead];
    const float a = std::hypot(bx - ax, by - ay);
    for (int k = nStart; k < nEnd; ++k) {
        const float y = static_cast<float>(x[k]);
        if (std::fabs(y - fRef) <= fTolerance) {
            const float fk = static_cast<float>(k);
            const float bb = std::hypot(fk - ax, y - ay);
            const float c = std::hypot(fk - bx, y - by);
            const float s = (a + bb + c) / 2.0f;
            W[k] = s * (s - a) * (s - bb) * (s - c);
        } else {
            W[k] = 0.0f;
        }
    }
}

// Index of the largest nonzero area in [nStart, nEnd), the first on ties; -1 when none.
int LargestArea(const CEngineData& d, int nStart, int nEnd) {
    const auto& W = d.Qrs.AreaWork;
    int nMax = -1;
    for (int k = nStart; k < nEnd; ++k) {
        if (W[k] != 0.0f && (nMax < 0 || W[k] > W[nMax]))
            nMax = k;
    }
    return nMax;
}

bool IsAreaPeak(const CEngineData& d, int k, int nMax) {
    const auto& W = d.Qrs.AreaWork;
    return W[k - 1] != 0.0f && W[k] != 0.0f && W[k + 1] != 0.0f && W[k] > W[k - 1] &&
           W[k] > W[k + 1] && W[k] > 0.75f * W[nMax];
}

// A delta wave rises slowly and steadily towards the first wave for tens of ms before the
// steep part, from the baseline: the level of the PR segment, or of the stretch before a P
// wave that it follows at once.
constexpr int kDeltaStep = 4;      // samples over which the slope is taken
constexpr int kDeltaRise = 4;      // least rise over kDeltaStep samples, units
constexpr int kDeltaGap = 4;       // samples of noise the slope may pause for
constexpr int kDeltaMinRamp = 6;   // shorter slopes are the QRS's own start
constexpr int kDeltaMaxRamp = 50;  // from an onset found on the slope back to its start
constexpr int kDeltaSteeper = 3;   // the first wave climbs this many times faster
constexpr int kLevelHeight = 30;   // a level lies this close to the slope's start, units

// A level before a slope's start: a stretch of nRun samples within nSpread units (noise and
// wander) somewhere in the nLook samples before it.
struct SLevel {
    int nLook, nRun, nSpread;
};
// A PR segment, or the stretch before a P wave and its PR segment.
constexpr SLevel kPrLevel = {75, 15, 8};
// A level as long as a flutter wave's rounded trough never is: the slope of a 2:1 flutter
// wave runs into every QRS from such a trough.
constexpr SLevel kLongLevel = {100, 25, 10};

int DeltaRise(const CEngineData& d, int l, int k, int nDirection) {
    const auto& s = d.Qrs.SmoothedLeads[l];
    return nDirection * (s[k] - s[k - kDeltaStep]);
}

// The steepest rise from nFrom up to the first wave's turn.
int SteepestRise(const CEngineData& d, int l, int nFrom, int nFirstTurn, int nDirection) {
    int nRise = 0;
    for (int j = nFrom; j <= std::min(nFirstTurn, kRecordSamples - 1); ++j)
        nRise = std::max(nRise, DeltaRise(d, l, j, nDirection));
    return nRise;
}

// Whether a level at about the height of sample k lies shortly before it.
bool LevelBefore(const CEngineData& d, int l, int k, const SLevel& level) {
    const auto& s = d.Qrs.SmoothedLeads[l];
    for (int j = k; j >= std::max(k - level.nLook, 0) + level.nRun - 1; --j) {
        if (std::abs(s[j] - s[k]) > kLevelHeight)
            continue;
        const auto [pLow, pHigh] = std::minmax_element(&s[j - level.nRun + 1], &s[j] + 1);
        if (*pHigh - *pLow <= level.nSpread)
            return true;
    }
    return false;
}

// Start of the delta wave whose slope runs up to nEnd, an onset found on the steep part or
// the foot of the steep part: a long steady slope in the first wave's direction, leaving a
// level, after which the wave climbs much faster. -1 when there is none.
int DeltaWaveStart(const CEngineData& d, int l, int nEnd, int nFirstTurn, int nDirection,
                   const SLevel& level) {
    const int nLimit = std::max(nEnd - kDeltaMaxRamp, kDeltaStep);
    int k = std::min(nEnd, kRecordSamples - 1);
    int nRampRise = 0;
    int nLastRise = k + 1;  // the earliest sample whose rise still belongs to the slope
    for (; k - 1 >= nLimit && k >= nLastRise - 1 - kDeltaGap; --k) {
        const int nRise = DeltaRise(d, l, k, nDirection);
        if (nRise >= kDeltaRise) {
            nLastRise = k;
            nRampRise = std::max(nRampRise, nRise);
        }
    }
    k = nLastRise - 1;
    if (nEnd - k < kDeltaMinRamp)
        return -1;
    // The start of a wide wave is a steady slope too, but no wave climbs faster after it.
    const int nWaveRise = SteepestRise(d, l, nEnd + kDeltaStep, nFirstTurn, nDirection);
    if (nWaveRise < kDeltaSteeper * nRampRise || !LevelBefore(d, l, k, level))
        return -1;
    return k - kDeltaStep / 2;
}

// Whether the onset already lies where a delta wave starts: the steep part begins only a
// while after it. nFootStart gets the start of the slope found from the steep part's foot.
bool DeltaWaveAfterOnset(const CEngineData& d, int l, int nOnset, int nFirstTurn, int nDirection,
                         const SLevel& level, int& nFootStart) {
    const int nLast = std::min(nFirstTurn, kRecordSamples - 1);
    const int nWaveRise = SteepestRise(d, l, nOnset + kDeltaStep, nFirstTurn, nDirection);
    for (int j = nOnset + kDeltaStep; j <= nLast; ++j) {
        if (kDeltaSteeper * DeltaRise(d, l, j, nDirection) > nWaveRise) {
            const int nFoot = j - kDeltaStep;
            if (nFoot <= nOnset)
                return false;
            nFootStart = DeltaWaveStart(d, l, nFoot, nFirstTurn, nDirection, level);
            return nFootStart >= 0;
        }
    }
    return false;
}

void RefineOnset(CEngineData& d, int l, int b) {
    const auto& list = d.Qrs.ExtremumList[l][b];
    if (list.nCount < 2)
        return;
    const int x0 = list.aEntry[0].nPos, y0 = list.aEntry[0].nValue;
    const int x1 = list.aEntry[1].nPos, y1 = list.aEntry[1].nValue;
    const int nStart = std::max(x0, 0);
    int nEnd = (x1 <= x0 + 25) ? x1 - 1 : x0 + 25;
    nEnd = std::min(nEnd, kRecordSamples);
    int nOnset = nStart;
    if (nStart < nEnd) {
        BoundaryAreas(d, l, nStart, nEnd, static_cast<float>(2 * x0 - x1), static_cast<float>(y0),
                      static_cast<float>(x1), static_cast<float>(y1), static_cast<float>(y0),
                      12.288f);
        const int nMax = LargestArea(d, nStart, nEnd);
        if (nMax >= 0) {
            nOnset = nMax;
            for (int k = nMax + 1; k < nEnd - 1; ++k) {
                if (IsAreaPeak(d, k, nMax)) {
                    nOnset = k;
                    break;
                }
            }
            nOnset = std::max(nOnset, nStart + 5);
        }
    }
    d.Qrs.LeadBeatList.onset[l][b] = nOnset;
}

void RefineOffset(CEngineData& d, int l, int b) {
    const auto& list = d.Qrs.ExtremumList[l][b];
    if (list.nCount < 2)
        return;
    const int xe = list.aEntry[list.nCount - 1].nPos, ye = list.aEntry[list.nCount - 1].nValue;
    const int xb = list.aEntry[list.nCount - 2].nPos, yb = list.aEntry[list.nCount - 2].nValue;
    const int nStart = std::max((xe - 25 <= xb) ? xb + 1 : xe - 25, 0);
    const int nEnd = std::min(xe, kLastSample);
    int nOffset = nEnd;
    if (nStart < nEnd) {
        BoundaryAreas(d, l, nStart, nEnd, static_cast<float>(2 * xe - xb), static_cast<float>(ye),
                      static_cast<float>(xb), static_cast<float>(yb), static_cast<float>(ye),
                      20.48f);
        const int nMax = LargestArea(d, nStart, nEnd);
        if (nMax >= 0) {
            nOffset = nMax;
            for (int k = nMax - 1; k > nStart; --k) {
                if (IsAreaPeak(d, k, nMax)) {
                    nOffset = k;
                    break;
                }
            }
        }
    }
    d.Qrs.LeadBeatList.offset[l][b] = nOffset;
}

// Baseline crossing of the boundary between waves P (peak p) and N (peak q), or the
// fallbacks of the type.
std::int32_t WaveBoundary(const CEngineData& d, int l, int p, int q, bool bPositiveFirst,
                          std::int32_t nBase, std::int32_t nFallbackA, std::int32_t nFallbackB) {
    if (p >= q)
        return nFallbackA;
    const auto& x = d.AnalysisLeads[l];
    p = std::max(p, 0);
    q = std::min(q, kLastSample);
    bool bAtOrAbove = false, bBelow = false;
    for (int k = p; k < q; ++k) {
        if (bPositiveFirst ? (x[k] >= nBase && nBase > x[k + 1])
                           : (x[k] <= nBase && nBase < x[k + 1]))
            return k;
        bAtOrAbove |= x[k] >= nBase;
        bBelow |= x[k] < nBase;
    }
    if (!bAtOrAbove)
        return nFallbackA;
    if (!bBelow)
        return nFallbackB;
    return -1;
}

void MeasureBeat(CEngineData& d, int l, int b) {
    auto& t = d.Qrs;
    const int nType = t.QrsComplexType[l][b];
    auto& waves = t.QrsWaveTable[l][b];
    const auto& list = t.ExtremumList[l][b];
    if (!IsKnownType(nType)) {
        t.QrsComplexType[l][b] = kQrsTypeUnknown;
        return;
    }
    const std::int32_t nBase = t.QrsBaseline[l][b];
    const auto& x = d.AnalysisLeads[l];
    const std::int32_t on = t.LeadBeatList.onset[l][b];
    const std::int32_t off = t.LeadBeatList.offset[l][b];
    int aPresent[kQrsWaves];
    int nPresent = 0;
    for (int w = 0; w < kQrsWaves; ++w) {
        if (!(nType & kWaves[w].nBit))
            continue;
        const int nEntry = std::clamp(waves[w].nPos, 0, std::max(list.nCount - 1, 0));
        const int nPos = std::clamp(list.aEntry[nEntry].nPos, 0, kLastSample);
        waves[w].nPos = nPos;
        waves[w].nAmp = x[nPos] - nBase;
        aPresent[nPresent++] = w;
    }
    const int nCore = nType & 0x7F;
    auto Pos = [&](int w) { return waves[w].nPos; };
    // Fallbacks A and B of the boundary between waves wFrom and wTo for this type.
    auto Fallbacks = [&](int wFrom, int wTo, std::int32_t& fa, std::int32_t& fb) {
        fa = on;
        fb = off;
        const bool bHasQ = nCore & kQrsTypeQ;
        if (wFrom == WaveR && wTo == WaveS && !bHasQ) {
            fa = on;
            fb = (nCore == 0x0C) ? off : Pos(WaveS) - 1;
        } else if (wFrom == WaveS && wTo == WaveR2 && !bHasQ) {
            fa = (nCore == 0x0E) ? off : Pos(WaveR2) - 1;
            fb = Pos(WaveS) + 1;
        } else if (wFrom == WaveR2 && wTo == WaveS2) {
            fa = Pos(WaveR2) + 1;
            fb = off;
        } else if (wFrom == WaveQ && wTo == WaveR) {
            fa = (nCore == 0x18) ? off : Pos(WaveR) - 1;
            fb = on;
        } else if (wFrom == WaveR && wTo == WaveS) {
            fa = Pos(WaveR) + 1;
            fb = (nCore == 0x1C) ? off : Pos(WaveS) - 1;
        } else if (wFrom == WaveS && wTo == WaveR2) {
            fa = (nCore == 0x1E) ? off : Pos(WaveR2) - 1;
            fb = Pos(WaveS) + 1;
        }
    };
    waves[aPresent[0]].nOn = on;
    waves[aPresent[nPresent - 1]].nOff = off;
    for (int i = 0; i + 1 < nPresent; ++i) {
        const int wp = aPresent[i], wn = aPresent[i + 1];
        std::int32_t fa, fb;
        Fallbacks(wp, wn, fa, fb);
        const std::int32_t nBoundary =
            WaveBoundary(d, l, Pos(wp), Pos(wn), kWaves[wp].bPositive, nBase, fa, fb);
        waves[wp].nOff = nBoundary;
        waves[wn].nOn = (nCore == 0x0F && wn == WaveR2) ? nBoundary + 1 : nBoundary;
    }
    for (int w = 0; w < kQrsWaves; ++w) {
        if (nType & kWaves[w].nBit)
            ValidateQrsWave(d, kWaves[w].nBit, l, b);
    }
    CloseWaveGaps(d, l, b);
}

// Index of the detection beat that lead beat b came from.
int DetectionBeatOf(const CEngineData& d, int b) {
    const auto& q = d.Detection.IOQm;
    int nSeen = 0;
    for (int i = 0; i < std::min(q.qrs_num, kMaxBeats); ++i) {
        if (!BeatInRecord(q.qrs_onset[i], q.qrs_offset[i]))
            continue;
        if (nSeen++ == b)
            return i;
    }
    return -1;
}

void DropBeat(CEngineData& d, int b) {
    auto& t = d.Qrs;
    // The detection list entry goes first, while the lead lists still tell which one it is.
    const int nSource = DetectionBeatOf(d, b);
    if (nSource >= 0)
        RemoveDetectionBeat(d, nSource);
    for (int l = 0; l < kLeads; ++l) {
        for (int k = b; k + 1 < kMaxBeats; ++k) {
            t.LeadBeatList.onset[l][k] = t.LeadBeatList.onset[l][k + 1];
            t.LeadBeatList.offset[l][k] = t.LeadBeatList.offset[l][k + 1];
            t.QrsWaveTable[l][k] = t.QrsWaveTable[l][k + 1];
            t.QrsComplexType[l][k] = t.QrsComplexType[l][k + 1];
            t.QrsBaseline[l][k] = t.QrsBaseline[l][k + 1];
            t.ExtremumList[l][k] = t.ExtremumList[l][k + 1];
        }
        t.LeadBeatList.onset[l][kMaxBeats - 1] = 0;
        t.LeadBeatList.offset[l][kMaxBeats - 1] = 0;
        t.QrsWaveTable[l][kMaxBeats - 1] = {};
        t.QrsComplexType[l][kMaxBeats - 1] = 0;
        t.QrsBaseline[l][kMaxBeats - 1] = 0;
        t.ExtremumList[l][kMaxBeats - 1] = SExtremumList{};
        if (t.LeadBeatList.nCount[l] > 0)
            --t.LeadBeatList.nCount[l];
    }
    for (int k = b; k + 1 < kMaxBeats; ++k) {
        t.GlobalQrsOnset[k] = t.GlobalQrsOnset[k + 1];
        t.GlobalQrsOffset[k] = t.GlobalQrsOffset[k + 1];
        t.DeltaWave[k] = t.DeltaWave[k + 1];
        t.DeltaQrsStart[k] = t.DeltaQrsStart[k + 1];
    }
    t.GlobalQrsOnset[kMaxBeats - 1] = 0;
    t.GlobalQrsOffset[kMaxBeats - 1] = 0;
    t.DeltaWave[kMaxBeats - 1] = 0;
    t.DeltaQrsStart[kMaxBeats - 1] = 0;
}

std::int64_t AmplitudeSum(const CEngineData& d, int l, int b) {
    std::int64_t n = 0;
    for (const auto& w : d.Qrs.QrsWaveTable[l][b])
        n += w.nAmp;
    return n;
}

std::int64_t InitialArea(const CEngineData& d, int l, int b) {
    const int o = d.Qrs.LeadBeatList.onset[l][b];
    if (o < 0 || o > kLastSample)
        return 0;
    const auto& x = d.AnalysisLeads[l];
    std::int64_t n = 0;
    for (int k = o; k <= std::min(o + 30, kLastSample); ++k)
        n += static_cast<std::int64_t>(x[k]) - x[o];
    return n;
}

// Rows of the per-lead QRS recognition dump: the smoothed leads marked at the turning points,
// the leads marked at each lead's onsets and offsets, and at the global ones.
void AppendRecognitionRows(CEngineData& d) {
    const auto& t = d.Qrs;
    const int nBeats = BeatCountOfLeads(d);
    static std::array<std::int32_t, kMaxBeats * kMaxExtrema> s_aPositions;
    for (int l = 0; l < kLeads; ++l) {
        int n = 0;
        for (int b = 0; b < nBeats; ++b) {
            const auto& list = t.ExtremumList[l][b];
            for (int i = 0; i < list.nCount; ++i)
                s_aPositions[n++] = list.aEntry[i].nPos;
        }
        std::int32_t* pRow =
            AppendDebugRow(d, "Qrs_", kLeadNames[l], t.SmoothedLeads[l].data(), kRecordSamples);
        MarkDebugRow(pRow, s_aPositions.data(), n, 32, +1);
    }
    for (int l = 0; l < kLeads; ++l) {
        std::int32_t* pRow =
            AppendDebugRow(d, "OnOff_", kLeadNames[l], d.AnalysisLeads[l].data(), kRecordSamples);
        MarkDebugRow(pRow, t.LeadBeatList.onset[l].data(), t.LeadBeatList.nCount[l], 128, +1);
        MarkDebugRow(pRow, t.LeadBeatList.offset[l].data(), t.LeadBeatList.nCount[l], 128, -1);
    }
    for (int l = 0; l < kLeads; ++l) {
        std::int32_t* pRow =
            AppendDebugRow(d, "OnOffm_", kLeadNames[l], d.AnalysisLeads[l].data(), kRecordSamples);
        MarkDebugRow(pRow, t.GlobalQrsOnset.data(), nBeats, 128, +1);
        MarkDebugRow(pRow, t.GlobalQrsOffset.data(), nBeats, 128, -1);
    }
}

}  // namespace

int BuildExtremumLists(CEngineData& d) {
    auto& t = d.Qrs;
    for (auto& lead : t.ExtremumList) {
        for (auto& list : lead)
            list = SExtremumList{};
    }
    for (auto& row : t.QrsBaseline)
        row.fill(0);
    t.LeadBeatList.nCount.fill(0);
    const auto& q = d.Detection.IOQm;
    const bool b50Hz = d.FilterSettings.nAC == 1;
    const int nWidth = b50Hz ? 10 : 8;
    const int nBefore = b50Hz ? 5 : 4;
    for (int l = 0; l < kLeads; ++l) {
        int& nCount = t.LeadBeatList.nCount[l];
        for (int b = 0; b < std::min(q.qrs_num, kMaxBeats); ++b) {
            if (!BeatInRecord(q.qrs_onset[b], q.qrs_offset[b]) || nCount >= kMaxBeats)
                continue;
            // An offset on the first lead-out sample would lie one past the record, and so would
            // the onset of a degenerate beat that starts after its own offset.
            t.LeadBeatList.onset[l][nCount] = std::min(q.qrs_onset[b] - kLeadIn, kLastSample);
            t.LeadBeatList.offset[l][nCount] =
                std::clamp(q.qrs_offset[b] - kLeadIn, 0, kLastSample);
            ++nCount;
        }
        const auto& x = d.AnalysisLeads[l];
        auto& s = t.SmoothedLeads[l];
        const int nFirst = nBefore, nLast = kRecordSamples - nWidth + nBefore - 1;
        for (int m = nFirst; m <= nLast; ++m) {
            std::int64_t nSum = 0;
            for (int j = m - nBefore; j < m - nBefore + nWidth; ++j)
                nSum += x[j];
            s[m] = static_cast<std::int32_t>(nSum / nWidth);
        }
        std::fill(s.begin(), s.begin() + nFirst, s[nFirst]);
        std::fill(s.begin() + nLast + 1, s.end(), s[nLast]);

        for (int b = 0; b < nCount; ++b) {
            const int o = t.LeadBeatList.onset[l][b];
            const int f = t.LeadBeatList.offset[l][b];
            std::int64_t nSum = 0;
            for (int k = std::max(o - 10, 0); k <= o; ++k)
                nSum += s[k];
            t.QrsBaseline[l][b] = static_cast<std::int32_t>(nSum / 10);
            auto& list = t.ExtremumList[l][b];
            list.aEntry[list.nCount++] = {o, s[o], 0};
            // A window with more turning points than the list holds keeps the first ones.
            for (int k = o + 1; k <= f - 1 && list.nCount < kMaxExtrema - 1; ++k) {
                if (s[k] > s[k + 1] && s[k] >= s[k - 1])
                    list.aEntry[list.nCount++] = {k, s[k], 1};
                else if (s[k] < s[k + 1] && s[k] <= s[k - 1])
                    list.aEntry[list.nCount++] = {k, s[k], -1};
            }
            list.aEntry[list.nCount++] = {f, s[f], 0};
        }
    }
    return 0;
}

int PruneExtrema(CEngineData& d) {
    auto& t = d.Qrs;
    for (int l = 0; l < kLeads; ++l) {
        for (int b = 0; b < t.LeadBeatList.nCount[l]; ++b) {
            auto& list = t.ExtremumList[l][b];
            const double dBase = t.QrsBaseline[l][b];
            bool bOut = false, bBack = false;
            // Onset and offset always stay, however flat the lead.
            for (int j = 1; j < list.nCount && list.nCount > 2;) {
                const auto& e0 = list.aEntry[j - 1];
                const auto& e1 = list.aEntry[j];
                const int dp = e1.nPos - e0.nPos;
                const std::int64_t dv =
                    std::llabs(static_cast<std::int64_t>(e1.nValue) - e0.nValue);
                const double dev = std::fabs(e1.nValue - dBase);
                bool bSignificant;
                if (!bOut && !bBack) {
                    if (dev >= 40.96)
                        bOut = true;
                    bSignificant = (dp >= 3 && dv >= 20) || (dp >= 5 && dv >= 16);
                } else if (bOut && !bBack) {
                    if (dev < 40.96)
                        bBack = true;
                    bSignificant = dp >= 2 && dv >= 12;
                } else {
                    bSignificant = (dp >= 3 && dv >= 20) || (dp >= 5 && dv >= 16);
                }
                if (bSignificant) {
                    ++j;
                } else {
                    RemoveLessExtreme(list, j);
                }
            }
            for (int j = 1; j < list.nCount && list.nCount > 2;) {
                const auto& e0 = list.aEntry[j - 1];
                const auto& e1 = list.aEntry[j];
                if (e0.nKind == e1.nKind) {
                    if (Extremeness(e0) <= Extremeness(e1))
                        RemoveEntry(list, j - 1);
                    else
                        RemoveEntry(list, j);
                } else {
                    ++j;
                }
            }
        }
    }
    return 0;
}

int ClassifyComplexShape(CEngineData& d) {
    auto& t = d.Qrs;
    for (int l = 0; l < kLeads; ++l) {
        for (int b = 0; b < t.LeadBeatList.nCount[l]; ++b) {
            auto& list = t.ExtremumList[l][b];
            const std::int32_t nBase = t.QrsBaseline[l][b];
            auto kind = [&](int i) { return list.aEntry[i].nKind; };
            auto a = [&](int i) { return list.aEntry[i].nValue - nBase; };
            if (list.nCount >= 8) {
                for (int j = 1; j < list.nCount - 1;) {
                    if (kind(j - 1) == -1 && kind(j) == 1 && kind(j + 1) == -1 &&
                        static_cast<double>(a(j)) <= 20.48) {
                        const bool bKeepFirst =
                            list.aEntry[j - 1].nValue < list.aEntry[j + 1].nValue;
                        const int nFirst = bKeepFirst ? j : j - 1;
                        RemoveEntry(list, nFirst);
                        RemoveEntry(list, nFirst);
                    } else {
                        ++j;
                    }
                }
            }
            const int n = list.nCount;
            if (n >= 3) {
                int jd = 1, nMaxima = 0;
                for (int i = 1; i <= n - 2; ++i) {
                    if (std::abs(a(i)) > std::abs(a(jd)))
                        jd = i;
                    if (kind(i) == 1)
                        ++nMaxima;
                }
                if (nMaxima > 2) {
                    int lo = kind(jd) == 1 ? jd - 3 : jd - 2;
                    int hi = kind(jd) == 1 ? jd + 1 : jd + 2;
                    lo = std::max(lo, 1);
                    hi = std::min(hi, n - 2);
                    const SExtremum last = list.aEntry[n - 1];
                    int m = 1;
                    for (int i = lo; i <= hi; ++i)
                        list.aEntry[m++] = list.aEntry[i];
                    list.aEntry[m++] = last;
                    for (int i = m; i < n; ++i)
                        list.aEntry[i] = SExtremum{};
                    list.nCount = m;
                }
            }
            auto& waves = t.QrsWaveTable[l][b];
            for (auto& w : waves)
                w = SQrsWave{};
            TypeList(list, nBase, t.QrsComplexType[l][b], waves);
        }
    }
    return 0;
}

// Onsets of beat b moved back along a delta wave in aOnset; the count of leads whose onset
// lies at the start of one, moved there or found there already, and those leads' onsets in
// starts, and whether a chest lead beyond V1 is among them. An onset with no such slope before
// it stays where it is.
int DeltaWaveOnsets(const CEngineData& d, int b, const SLevel& level,
                    std::array<std::int32_t, kLeads>& aOnset, SWorkList& starts,
                    bool* pInChestLeads = nullptr) {
    const auto& t = d.Qrs;
    int nWithDelta = 0;
    starts.nCount = 0;
    if (pInChestLeads)
        *pInChestLeads = false;
    for (int l = 0; l < kLeads; ++l) {
        const std::int32_t nOnset = t.LeadBeatList.onset[l][b];
        aOnset[l] = nOnset;
        const auto& list = t.ExtremumList[l][b];
        if (b >= t.LeadBeatList.nCount[l] || list.nCount < 2)
            continue;
        const int nDirection = list.aEntry[1].nValue > list.aEntry[0].nValue ? 1 : -1;
        const int nFirstTurn = list.aEntry[1].nPos;
        const int nStart = DeltaWaveStart(d, l, nOnset, nFirstTurn, nDirection, level);
        int nFootStart = -1;
        const bool bDelta = nStart >= 0 || DeltaWaveAfterOnset(d, l, nOnset, nFirstTurn, nDirection,
                                                               level, nFootStart);
        // An onset a few samples up the slope leaves too short a slope before it to count as
        // a delta wave, but the slope found from the steep part's foot starts before it.
        if (nStart >= 0)
            aOnset[l] = nStart;
        else if (nFootStart >= 0 && nFootStart < nOnset)
            aOnset[l] = nFootStart;
        if (bDelta) {
            ++nWithDelta;
            AddToWorkList(starts, aOnset[l]);
            if (pInChestLeads && l >= LeadV2)
                *pInChestLeads = true;
        }
    }
    return nWithDelta;
}

// Pre-excitation shows in several leads at once and in most beats; a slope before the onset
// in a few leads, or before a few beats, is a P wave, a fibrillation or flutter wave or noise,
// and those onsets stay. Whether the record is pre-excited is judged from delta waves that
// leave a long level, the chest leads beyond V1 among them: the trough of a slow, low flutter
// wave is as flat as such a level, but the wave is large only in the limb leads and V1. Then
// each beat's onsets follow a delta wave from a PR segment's level.
void FollowDeltaWaves(CEngineData& d) {
    constexpr int kGate = kLeads / 3;
    // Lead onsets at one QRS start lie this close together (samples); a pick further after
    // the delta's start lies on the delta.
    constexpr int kOnsetSpread = 8;
    const int nBeats = BeatCountOfLeads(d);
    std::array<std::int32_t, kLeads> aOnset{};
    SWorkList starts;
    int nBeatsWithDelta = 0;
    for (int b = 0; b < nBeats; ++b) {
        bool bInChestLeads = false;
        if (DeltaWaveOnsets(d, b, kLongLevel, aOnset, starts, &bInChestLeads) >= kGate &&
            bInChestLeads)
            ++nBeatsWithDelta;
    }
    if (2 * nBeatsWithDelta <= nBeats)
        return;
    auto& t = d.Qrs;
    auto& q = d.Detection.IOQm;
    for (int b = 0; b < nBeats; ++b) {
        if (DeltaWaveOnsets(d, b, kPrLevel, aOnset, starts) < kGate)
            continue;
        t.DeltaWave[b] = 1;
        t.OnsetWorkList.nCount = 0;
        for (int l = 0; l < kLeads; ++l) {
            if (b < t.LeadBeatList.nCount[l])
                t.LeadBeatList.onset[l][b] = aOnset[l];
            AddToWorkList(t.OnsetWorkList, t.LeadBeatList.onset[l][b]);
        }
        // Noise breaks a slow delta wave's slope in many leads; where the pick over all leads
        // lies on the delta, the leads that show its start give the QRS start.
        std::int32_t nStart = PickFromWorkList(t.OnsetWorkList, +1);
        const std::int32_t nDeltaStart = PickFromWorkList(starts, +1);
        if (nStart - nDeltaStart > kOnsetSpread) {
            nStart = nDeltaStart;
            t.DeltaQrsStart[b] = nDeltaStart;
        }
        // The P and T stages take the QRS start from the detection list: there it starts with
        // the delta wave too, so that the delta is no part of the P wave before it.
        const int i = DetectionBeatOf(d, b);
        if (i >= 0)
            q.qrs_onset[i] = std::clamp(nStart + kLeadIn, kLeadIn, q.qrs_onset[i]);
    }
}

int RefineQrsBoundaries(CEngineData& d) {
    auto& t = d.Qrs;
    for (int l = 0; l < kLeads; ++l) {
        for (int b = 0; b < t.LeadBeatList.nCount[l]; ++b)
            RefineOnset(d, l, b);
    }
    FollowDeltaWaves(d);
    for (int l = 0; l < kLeads; ++l) {
        const int nCount = t.LeadBeatList.nCount[l];
        for (int b = 0; b < nCount; ++b) {
            RefineOffset(d, l, b);
            if (b + 1 >= nCount)
                continue;
            const int nDiff = t.LeadBeatList.onset[l][b + 1] - t.LeadBeatList.onset[l][b];
            const int nRate = nDiff != 0 ? 30000 / nDiff : 0;
            if (nRate <= 100)
                continue;
            // At fast rates the T wave follows closely: pull the late offsets towards the
            // earliest one.
            std::int32_t m = t.LeadBeatList.offset[0][b];
            for (int k = 1; k < kLeads; ++k)
                m = std::min(m, t.LeadBeatList.offset[k][b]);
            for (int k = 0; k < kLeads; ++k) {
                std::int32_t& o = t.LeadBeatList.offset[k][b];
                if (o - m > 10)
                    o -= (o - m) / 3;
            }
        }
    }
    return 0;
}

void PickGlobalBoundaries(SWorkList& onsets, SWorkList& offsets, std::int32_t& nOnset,
                          std::int32_t& nOffset) {
    nOnset = PickFromWorkList(onsets, +1);
    nOffset = PickFromWorkList(offsets, -1);
}

int ComputeGlobalQrsBoundaries(CEngineData& d) {
    auto& t = d.Qrs;
    const int nBeats = BeatCountOfLeads(d);
    for (int b = 0; b < nBeats; ++b) {
        t.OnsetWorkList.nCount = 0;
        t.OffsetWorkList.nCount = 0;
        for (int l = 0; l < kLeads; ++l) {
            AddToWorkList(t.OnsetWorkList, t.LeadBeatList.onset[l][b]);
            AddToWorkList(t.OffsetWorkList, t.LeadBeatList.offset[l][b]);
        }
        PickGlobalBoundaries(t.OnsetWorkList, t.OffsetWorkList, t.GlobalQrsOnset[b],
                             t.GlobalQrsOffset[b]);
    }
    return 0;
}

void ValidateQrsWave(CEngineData& d, int nWaveBit, int nLead, int nBeat) {
    const int w = WaveIndexOfBit(nWaveBit);
    if (w < 0)
        return;
    auto& t = d.Qrs;
    SQrsWave& wave = t.QrsWaveTable[nLead][nBeat][w];
    const std::int64_t nD = static_cast<std::int64_t>(wave.nOff) - wave.nOn;
    const std::int64_t nW = static_cast<std::int64_t>(t.LeadBeatList.offset[nLead][nBeat]) -
                            t.LeadBeatList.onset[nLead][nBeat];
    const double dAmp = wave.nAmp;
    const bool bPositive = kWaves[w].bPositive;
    const bool bSmall = bPositive ? dAmp < 20.48 : dAmp > -20.48;
    const bool bBelowLarger = bPositive ? dAmp < 40.96 : dAmp > -40.96;
    const int nShort = (nWaveBit == kQrsTypeS) ? 5 : 10;
    if (nD > nW || nD < 4 || (nD > 10 && bSmall) || (nD < nShort && bBelowLarger)) {
        t.QrsComplexType[nLead][nBeat] &= ~nWaveBit;
        wave = SQrsWave{};
    }
}

void CloseWaveGaps(CEngineData& d, int nLead, int nBeat) {
    auto& t = d.Qrs;
    std::int32_t& nType = t.QrsComplexType[nLead][nBeat];
    auto& wv = t.QrsWaveTable[nLead][nBeat];
    auto Has = [&](int nBit) { return (nType & nBit) != 0; };
    constexpr int kRSR2S2 = kQrsTypeR | kQrsTypeS | kQrsTypeR2 | kQrsTypeS2;
    if (!(nType & kRSR2S2))
        return;
    // R slot.
    while (!Has(kQrsTypeR)) {
        const bool bQorS = Has(kQrsTypeQ) || Has(kQrsTypeS);
        if (Has(kQrsTypeS)) {
            wv[WaveQ].nOn = wv[WaveS].nOn;
            wv[WaveQ].nOff = wv[WaveS].nOff;
            if (wv[WaveS].nAmp < wv[WaveQ].nAmp) {
                wv[WaveQ].nPos = wv[WaveS].nPos;
                wv[WaveQ].nAmp = wv[WaveS].nAmp;
            }
        }
        wv[WaveR] = wv[WaveR2];
        wv[WaveS] = wv[WaveS2];
        wv[WaveR2] = SQrsWave{};
        wv[WaveS2] = SQrsWave{};
        nType = (bQorS ? kQrsTypeQ : 0) | (Has(kQrsTypeR2) ? kQrsTypeR : 0) |
                (Has(kQrsTypeS2) ? kQrsTypeS : 0);
        if (!(nType & kRSR2S2))
            return;
    }
    // S slot.
    while (!Has(kQrsTypeS)) {
        if (Has(kQrsTypeR2)) {
            if (wv[WaveR2].nAmp > wv[WaveR].nAmp) {
                wv[WaveR].nPos = wv[WaveR2].nPos;
                wv[WaveR].nAmp = wv[WaveR2].nAmp;
            }
            wv[WaveR].nOff = wv[WaveR2].nOff;
        }
        wv[WaveS] = wv[WaveS2];
        const bool bS2 = Has(kQrsTypeS2);
        wv[WaveR2] = SQrsWave{};
        wv[WaveS2] = SQrsWave{};
        nType = (nType & (kQrsTypeQ | kQrsTypeR | kQrsTypeNotch)) | (bS2 ? kQrsTypeS : 0);
        if (!(nType & (kQrsTypeS | kQrsTypeR2 | kQrsTypeS2)))
            return;
    }
    // R' slot.
    if (Has(kQrsTypeR2))
        return;
    if (Has(kQrsTypeS2)) {
        if (wv[WaveS2].nAmp < wv[WaveS].nAmp) {
            wv[WaveS].nPos = wv[WaveS2].nPos;
            wv[WaveS].nAmp = wv[WaveS2].nAmp;
        }
        wv[WaveS].nOff = wv[WaveS2].nOff;
    }
    nType &= kQrsTypeQ | kQrsTypeR | kQrsTypeS | kQrsTypeNotch;
    wv[WaveR2] = SQrsWave{};
    wv[WaveS2] = SQrsWave{};
}

int MeasureQrsWaves(CEngineData& d) {
    auto& t = d.Qrs;
    for (int l = 0; l < kLeads; ++l) {
        for (int b = 0; b < t.LeadBeatList.nCount[l]; ++b)
            MeasureBeat(d, l, b);
    }
    for (int b = 0; b < BeatCountOfLeads(d);) {
        int nUnknown = 0;
        for (int l = 0; l < kLeads; ++l) {
            if (t.QrsComplexType[l][b] == kQrsTypeUnknown)
                ++nUnknown;
        }
        if (nUnknown > kLeads - nUnknown)
            DropBeat(d, b);
        else
            ++b;
    }
    for (auto& lead : t.QrsWaveTable) {
        for (auto& beat : lead) {
            for (auto& w : beat)
                w.nAmp = ToMicrovolts(w.nAmp);
        }
    }
    return 0;
}

std::int32_t AxisFromLimbLeads(std::int64_t nI, std::int64_t nII, std::int64_t nIII) {
    const std::int64_t x = 2 * nI + nII - nIII;
    const std::int64_t y = nII + nIII;
    if (x == 0)
        return y > 0 ? 90 : -90;
    if (y == 0)
        return x > 0 ? 0 : 180;
    const double dTheta =
        std::atan(1.73205 * std::fabs(static_cast<double>(y)) / std::fabs(static_cast<double>(x))) *
        180.0 / M_PI;
    const auto nTheta = static_cast<std::int32_t>(dTheta);
    if (x > 0)
        return y > 0 ? nTheta : -nTheta;
    return y > 0 ? static_cast<std::int32_t>(180.0 - dTheta) : -180 + nTheta;
}

std::int32_t MedianOfList(SWorkList& list) {
    const std::int32_t nPick = PickFromWorkList(list, +1);
    list.nCount = nPick;
    return nPick;
}

int ComputeQrsBeatMeasures(CEngineData& d) {
    auto& t = d.Qrs;
    const int n = BeatCountOfLeads(d);
    for (int l = 0; l < kLeads; ++l) {
        const auto& x = d.AnalysisLeads[l];
        for (int b = 0; b < n; ++b) {
            const int o = std::clamp(t.LeadBeatList.offset[l][b], 0, kLastSample);
            const std::int32_t nBase = t.QrsBaseline[l][b];
            static const int s_aDelay[3] = {0, 30, 40};
            for (int j = 0; j < 3; ++j) {
                const int k = std::min(o + s_aDelay[j], kLastSample);
                t.JPointAmplitude[l][b][j] = ToMicrovolts(static_cast<std::int64_t>(x[k]) - nBase);
            }
            const auto& wv = t.QrsWaveTable[l][b];
            std::int32_t nDominant = 0, nMagnitude = 0;
            std::int32_t nHigh = wv[0].nAmp, nLow = wv[0].nAmp;
            for (int w = 0; w < kQrsWaves; ++w) {
                const std::int32_t nAbs = std::abs(wv[w].nAmp);
                if (nAbs > nMagnitude) {
                    nMagnitude = nAbs;
                    nDominant = kWaves[w].bPositive ? nAbs : -nAbs;
                }
                nHigh = std::max(nHigh, wv[w].nAmp);
                nLow = std::min(nLow, wv[w].nAmp);
            }
            t.DominantQrsAmplitude[l][b] = nDominant;
            t.QrsPeakToPeak[l][b] = nHigh - nLow;
        }
    }
    for (int b = 1; b < n; ++b)
        t.BeatRR[b] = (t.GlobalQrsOnset[b] - t.GlobalQrsOnset[b - 1]) * 2;
    t.BeatRR[0] = t.BeatRR[1];
    for (int b = 0; b < n; ++b) {
        t.BeatQrsAxis[b] = AxisFromLimbLeads(AmplitudeSum(d, LeadI, b), AmplitudeSum(d, LeadII, b),
                                             AmplitudeSum(d, LeadIII, b));
        t.BeatInitialAxis[b] = AxisFromLimbLeads(
            InitialArea(d, LeadI, b), InitialArea(d, LeadII, b), InitialArea(d, LeadIII, b));
        t.BeatQrsDuration[b] = (t.GlobalQrsOffset[b] - t.GlobalQrsOnset[b]) * 2;
    }
    std::int64_t nSum = 0;
    for (int b = 0; b < n; ++b)
        nSum += t.BeatRR[b];
    const std::int64_t nMean = n > 0 ? nSum / n : 0;
    t.QrsRate = nMean == 0 ? -1 : static_cast<std::int32_t>(60000.0 / nMean + 0.5);
    t.MedianWorkList.nCount = 0;
    for (int b = 0; b < n; ++b)
        AddToWorkList(t.MedianWorkList, t.BeatQrsDuration[b]);
    t.MedianQrsDuration = MedianOfList(t.MedianWorkList);
    t.MedianWorkList.nCount = 0;
    for (int b = 0; b < n; ++b)
        AddToWorkList(t.MedianWorkList, t.BeatQrsAxis[b]);
    t.MedianQrsAxis = MedianOfList(t.MedianWorkList);
    return 0;
}

int RunQrsRecognitionStage(CEngineData& d) {
    int (*const aSteps[])(CEngineData&) = {
        BuildExtremumLists,         PruneExtrema,    ClassifyComplexShape,  RefineQrsBoundaries,
        ComputeGlobalQrsBoundaries, MeasureQrsWaves, ComputeQrsBeatMeasures};
    for (auto* pStep : aSteps) {
        if (pStep(d) != 0)
            return -1;
    }
    if (d.WritesDebugOutput())
        AppendRecognitionRows(d);
    (void)RunStep(d, 5);
    (void)RunStep(d, 15);
    return 0;
}

}  // namespace ecg_engine
