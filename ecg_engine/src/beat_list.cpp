// The beat list: the lead windows grouped beat by beat, overlapping and close beats merged,
// missed beats searched back for, and the analysis leads.
#include <algorithm>
#include <cstdio>

#include "ecg_engine/qrs_stages.h"
#include "ecg_engine/wave_stages.h"

namespace ecg_engine {

namespace {

constexpr int kMergeGap = 40;     // 80 ms
constexpr int kEdgeReach = 25;    // how far a whole QRS's window may reach past the record
constexpr int kTWaveReach = 180;  // 360 ms after a QRS a wave may still be its T wave

bool IsUsable(const CEngineData& d, int r) {
    const int q = d.Detection.LeadQuality[r];
    return q == LeadGoodQuality || q == LeadPoorQuality;
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

// The full swing of row x over [nFrom, nTo].
std::int64_t Swing(const InputRow32& x, int nFrom, int nTo) {
    const int a = std::max(nFrom, 0), b = std::min(nTo, kInputSamples - 1);
    if (a > b)
        return 0;
    const auto [lo, hi] = std::minmax_element(x.begin() + a, x.begin() + b + 1);
    return static_cast<std::int64_t>(*hi) - *lo;
}

// Whether the wave over [nFrom, nTo] of lead r is slow beside the QRS over [nPrevFrom,
// nPrevTo]: less steep and at least twice as slow to swing through its amplitude (swing over
// steepest slope). The ventricles cannot depolarise again soon after a QRS except as a
// premature ventricular complex, which swings as fast as the QRS or faster: a wave this slow
// is that QRS's repolarisation.
bool IsRepolarisationAfter(const CEngineData& d, int r, int nFrom, int nTo, int nPrevFrom,
                           int nPrevTo) {
    const auto& t = d.Detection;
    const auto& dv = t.DerivativeRow[r];
    const auto& x = t.SmoothedRow[r];
    const std::int64_t sp = SteepestSlope(dv, nPrevFrom, nPrevTo);
    const std::int64_t sc = SteepestSlope(dv, nFrom, nTo);
    const std::int64_t ap = Swing(x, nPrevFrom, nPrevTo);
    const std::int64_t ac = Swing(x, nFrom, nTo);
    return ap > 0 && 5 * sc < 4 * sp && ac * sp >= 2 * ap * sc;
}

}  // namespace

void RemoveDetectionBeat(CEngineData& d, int i) {
    auto& q = d.Detection.IOQm;
    for (int k = i; k + 1 < q.qrs_num; ++k) {
        q.qrs_onset[k] = q.qrs_onset[k + 1];
        q.qrs_offset[k] = q.qrs_offset[k + 1];
    }
    --q.qrs_num;
    q.qrs_onset[q.qrs_num] = 0;
    q.qrs_offset[q.qrs_num] = 0;
}

bool IsLowThresholdBeat(const CEngineData& d, int r, int nFrom, int nTo, int nPrevFrom,
                        int nPrevTo) {
    const auto& t = d.Detection;
    const auto& f = t.QrsFeature[r];
    const int p = PeakOf(f, nFrom, nTo);
    if (2 * static_cast<std::int64_t>(f[p]) < t.DetectionThreshold[r])
        return false;
    if (nPrevFrom < 0)
        return true;
    // The T wave: within its reach of the QRS before, and not half as steep or slow beside it.
    const int pPrev = PeakOf(f, nPrevFrom, nPrevTo);
    const auto& dv = t.DerivativeRow[r];
    return p - pPrev > kTWaveReach ||
           (2 * SteepestSlope(dv, nFrom, nTo) >= SteepestSlope(dv, nPrevFrom, nPrevTo) &&
            !IsRepolarisationAfter(d, r, nFrom, nTo, nPrevFrom, nPrevTo));
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

// The steepest slope of beat i over the usable leads.
std::int64_t BeatSlope(const CEngineData& d, int i) {
    const auto& q = d.Detection.IOQm;
    std::int64_t n = 0;
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (IsUsable(d, r))
            n = std::max(n, SteepestSlope(d.Detection.DerivativeRow[r], q.qrs_onset[i],
                                          q.qrs_offset[i]));
    }
    return n;
}

// Beat i as the T wave of beat i - 1: within the T wave's reach of that QRS and, in at least
// half of the usable leads, the slow wave of its repolarisation.
bool IsTWaveOfBeatBefore(const CEngineData& d, int i) {
    const auto& t = d.Detection;
    const auto& q = t.IOQm;
    if (q.qrs_onset[i] - q.qrs_onset[i - 1] > kTWaveReach)
        return false;
    int nUsable = 0, nSlow = 0;
    for (int r = 0; r < kIndependentLeads; ++r) {
        if (!IsUsable(d, r))
            continue;
        ++nUsable;
        nSlow += IsRepolarisationAfter(d, r, q.qrs_onset[i], q.qrs_offset[i], q.qrs_onset[i - 1],
                                       q.qrs_offset[i - 1]);
    }
    return nUsable > 0 && 2 * nSlow >= nUsable;
}

}  // namespace

int CleanBeatList(CEngineData& d) {
    auto& q = d.Detection.IOQm;
    for (int i = 1; i < q.qrs_num; ++i) {
        if (q.qrs_onset[i] < q.qrs_offset[i - 1]) {
            q.qrs_onset[i - 1] = std::min(q.qrs_onset[i - 1], q.qrs_onset[i]);
            q.qrs_offset[i - 1] = std::max(q.qrs_offset[i - 1], q.qrs_offset[i]);
            RemoveDetectionBeat(d, i);
        }
    }
    // Of two complexes closer than a QRS can follow another, the QRS is the steeper: the
    // other is a slower wave beside it.
    for (int i = 1; i < q.qrs_num; ++i) {
        const int nGap = q.qrs_onset[i] - q.qrs_offset[i - 1];
        if (nGap > 0 && nGap < kMergeGap)
            RemoveDetectionBeat(d, BeatSlope(d, i) > BeatSlope(d, i - 1) ? i - 1 : i);
    }
    for (int i = 1; i < q.qrs_num;) {
        if (IsTWaveOfBeatBefore(d, i))
            RemoveDetectionBeat(d, i);
        else
            ++i;
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
            (void)InsertMissedBeat(d, q.qrs_offset[n - 1] + 25, kLeadIn + kRecordSamples - 1, n - 1,
                                   n);
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

}  // namespace ecg_engine
