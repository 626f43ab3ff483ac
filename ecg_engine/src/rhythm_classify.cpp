// Rhythm stage driver, beat classification and the helpers the criteria share.
#include <algorithm>
#include <cstdlib>

#include "ecg_engine/rhythm_stage.h"
#include "rhythm_internal.h"

namespace ecg_engine {

using namespace rhythm;

namespace {

// Patient groups 1..12 are never selected; only group 0 is built.
constexpr SRhythmThresholds kRhythmThresholds[] = {
    {120, 110, 210, 270, 350, 60, 100, 0.83, 1.6, 80, 40, 40, 50, 0.9},
};

}  // namespace

const SRhythmThresholds& RhythmThresholds(const CEngineData& d) {
    (void)d.InterpretationContext.PatientGroup;
    return kRhythmThresholds[0];
}

int RhythmBeats(const CEngineData& d) {
    return std::clamp(d.BeatCount, 0, kRhythmBeats);
}

namespace {

// A beat of the dominant beat's shape: its QRS matches the dominant beats' average.
bool LikeDominant(const CEngineData& d, int i) {
    return At(d.Measurements.QrsLikeness, i) >= RhythmThresholds(d).nLikeDominant;
}

// Beats that differ from the dominant beats' average by less than a quarter of its energy
// would join their group (as MeasureQrsLikeness groups beats): noise changes a beat that much.
// Below it a beat is clearly unlike the dominant one.
constexpr int kClearlyUnlike = 75;

// Sinus beats that ventricular beats keep apart, as in bigeminy, trigeminy and couplets: the
// sinus rhythm goes on beneath them. A stretch of at least three sinus beats with nothing but
// ventricular beats between them fills BeatRun.
bool FindSinusRunBeneathVentricularBeats(CEngineData& d) {
    auto& r = d.Rhythm;
    const auto& sinus = r.BeatTypeLists[1];
    const auto& ventricular = r.BeatTypeLists[TypeListVentricular];
    const int N = RhythmBeats(d);
    int nFirst = 0, nLast = 0, nSinus = 0;
    for (int i = 1; i <= N + 1; ++i) {
        if (i <= N && sinus[i] == 1) {
            nFirst = nSinus == 0 ? i : nFirst;
            nLast = i;
            ++nSinus;
        } else if (i > N || ventricular[i] != 1) {
            if (nSinus >= 3) {
                r.BeatRun = {nFirst, nLast, nLast - nFirst + 1};
                return true;
            }
            nSinus = 0;
        }
    }
    return false;
}

}  // namespace

int RunRhythmAnalysis(CEngineData& d) {
    auto& r = d.Rhythm;
    d.Finish.RhythmStatementCount = 0;
    r.VentricularMark = 0;
    d.Finish.WaveformStatementCount = 0;
    r.RhythmFindings.fill(0);
    d.Morphology.MorphologyFindings = SMorphologyFindings{};
    r.EctopicKind.fill(0);

    MarkVentricularBeats(d);
    ClassifyBeatQrs(d);
    MarkSinusPAxis(d);
    TypeBeats(d);

    const auto& lists = r.BeatTypeLists;
    if (FindBeatRun(d, lists[1], 3)) {
        ClassifySinusRate(d, r.BeatRun.nFirst, r.BeatRun.nLast);
        DetectSinusPause(d, r.BeatRun.nFirst, r.BeatRun.nLast);
    } else if (FindSinusRunBeneathVentricularBeats(d)) {
        ClassifySinusRate(d, r.BeatRun.nFirst, r.BeatRun.nLast);
    }
    if (FindBeatRun(d, lists[3], 3))
        ClassifySinusRate(d, r.BeatRun.nFirst, r.BeatRun.nLast);
    if (FindBeatRun(d, lists[2], 4))
        ClassifyAtrialRun(d, r.BeatRun.nFirst, r.BeatRun.nLast);
    if (FindBeatRun(d, lists[4], 6))
        ClassifyJunctionalRun(d, r.BeatRun.nFirst, r.BeatRun.nLast);
    if (FindBeatRun(d, lists[6], 6))
        ClassifyVentricularRun(d, r.BeatRun.nFirst, r.BeatRun.nLast);

    // From here on the criteria see the labels.
    const int N = RhythmBeats(d);
    for (int i = 1; i <= N; ++i)
        r.BeatType[i] = r.BeatLabel[i];

    if (r.FlutterIndicator)
        Set(d, 124);
    else
        DetectAtrialFlutter(d);
    void (*const aCriteria[])(CEngineData&) = {
        DetectAtrialFibrillation, DetectFirstDegreeBlock, DetectWenckebach,
        DetectMobitzII,           DetectCompleteBlock,    DetectTwoToOneBlock,
        DetectPvc,                DetectPac,              DetectPjc,
        DetectEscapeAtrial,       DetectEscapeJunctional, DetectEscapeVentricular};
    for (auto* pCriterion : aCriteria)
        pCriterion(d);

    d.Finish.RhythmStatementCount = SelectRhythmStatements(d);

    KeepDominantBeatLabel(d);
    if (r.VentricularMark != kVentricularMarkRhythm)
        SelectRepresentativeBeats(d);
    (void)WriteRhythmReport(d, d.pszInputArgument, d.pszSecondArgument);
    return 0;
}

// The dominant beat is the one the atria conduct; a beat unlike it came from the ventricles
// when it is clearly wider, or when it is clearly unlike it, wide and no P wave at the dominant
// beats' PR came before it (a beat that the atria conduct with a QRS of another shape has its
// P wave). A narrow beat went down the conduction system whatever its shape: without a P wave
// it is junctional. A QRS measured narrow whose activation is slow is wide in truth: the
// ventricles' muscle spread it. A width or an activation time tells a beat apart only where
// most dominant beats measure below its limit: where they measure as wide themselves (a low
// sampling rate, a bundle branch block), a beat of their width is theirs. A beat that noise
// changed a little stays the dominant beat's unless it is clearly wider.
void MarkVentricularBeats(CEngineData& d) {
    auto& r = d.Rhythm;
    const auto& t = RhythmThresholds(d);
    r.VentricularQrs.fill(0);
    const int N = RhythmBeats(d);
    BeatList widths{}, prs{};
    int nNarrow = 0, nQuick = 0;
    for (int i = 1; i <= N; ++i) {
        if (!LikeDominant(d, i))
            continue;
        widths[++widths[0]] = QRS(d, i);
        nNarrow += QRS(d, i) < t.nNarrowQrs;
        nQuick += At(d.Measurements.QrsActivationTime, i) < t.nSlowActivation;
        if (PR(d, i) >= 1)
            prs[++prs[0]] = PR(d, i);
    }
    if (widths[0] == 0)
        return;
    const int nDominantQrs = MedianOf(d, widths, widths[0]);
    const int nDominantPr = MedianOf(d, prs, prs[0]);
    const bool bWidthTells = 2 * nNarrow > widths[0];
    const bool bActivationTells = 2 * nQuick > widths[0];
    for (int i = 1; i <= N; ++i) {
        if (LikeDominant(d, i))
            continue;
        const bool bConducted = nDominantPr > 0 && PR(d, i) >= 1 &&
                                std::abs(PR(d, i) - nDominantPr) <= t.nConductedPrSpread;
        const bool bWide =
            (bWidthTells && QRS(d, i) >= t.nNarrowQrs) ||
            (bActivationTells && At(d.Measurements.QrsActivationTime, i) >= t.nSlowActivation);
        const bool bClearlyUnlike = At(d.Measurements.QrsLikeness, i) < kClearlyUnlike;
        if (QRS(d, i) >= nDominantQrs + t.nWiderThanDominant ||
            (bClearlyUnlike && bWide && !bConducted)) {
            r.VentricularQrs[i] = 1;
            ++r.VentricularQrs[0];
        }
    }
}

void ClassifyBeatQrs(CEngineData& d) {
    auto& r = d.Rhythm;
    const auto& t = RhythmThresholds(d);
    r.QrsClass.fill(0);
    const int N = RhythmBeats(d);
    for (int i = 1; i <= N; ++i) {
        const int nAxis = AX(d, i);
        if (r.VentricularQrs[i] == 1)
            r.QrsClass[i] = QrsWideVentricular;
        else if (QRS(d, i) < t.nNarrowQrs)
            r.QrsClass[i] = QrsNarrow;
        else if (At(d.Measurements.ampQRS[LeadV1], i) < 1)
            r.QrsClass[i] = (-60 < nAxis && nAxis < 120) ? QrsWideSupraventricular
                                                         : QrsWideVentricular;
        else
            r.QrsClass[i] = (-30 < nAxis && nAxis < 120) ? QrsWideSupraventricular
                                                         : QrsWideVentricular;
    }
}

void MarkSinusPAxis(CEngineData& d) {
    auto& r = d.Rhythm;
    for (auto& row : r.PAxisOk)
        row.fill(0);
    const int N = RhythmBeats(d);
    for (int i = 1; i <= N; ++i) {
        const int n = PAxisCount(d, i);
        for (int k = 1; k <= n; ++k) {
            const int nAxis = PAxis(d, i, k);
            r.PAxisOk[i][k] = (-60 <= nAxis && nAxis <= 150) ? 1 : 0;
        }
    }
}

// P waves on a timeline of their own: the ventricles beat steadily (every interval within
// 0.8..1.2 of the median), P waves keep no steady distance to the QRS (at least two PRs
// outside 0.8..1.2 of the median PR, one of them longer than any PR that conducts), and more
// than 0.4 of the beats have such a PR or no P wave before them at all (the P lies in the QRS
// or the T). Conducted P waves keep their PR, within the uncertainty of a P onset; a block
// that drops beats breaks the steady intervals.
bool rhythm::PWavesDissociated(CEngineData& d) {
    const int N = RhythmBeats(d);
    BeatList prs{};
    int nWithP = 0;
    for (int i = 1; i <= N; ++i) {
        if (PR(d, i) >= 1)
            prs[++nWithP] = PR(d, i);
    }
    if (nWithP < 3 || N < 4)
        return false;
    prs[0] = nWithP;
    const double mPR = MedianOf(d, prs, nWithP);
    const double mRR = MedianOf(d, d.Measurements.RRint, N);
    for (int i = 2; i <= N; ++i) {
        if (RR(d, i) < 0.8 * mRR || RR(d, i) > 1.2 * mRR)
            return false;
    }
    const auto& t = RhythmThresholds(d);
    int nOffPr = 0, nLongest = 0;
    BeatList conducting{};
    for (int k = 1; k <= nWithP; ++k) {
        nOffPr += prs[k] < 0.8 * mPR || prs[k] > 1.2 * mPR;
        nLongest = std::max(nLongest, prs[k]);
        if (prs[k] <= t.nVentricularPrMax)
            conducting[++conducting[0]] = prs[k];
    }
    // At least half of the P waves found, three or more, at one PR at which the atria conduct
    // (one band of 60 ms, the uncertainty of a P onset): they conducted, and the others were
    // waves elsewhere taken for P waves (on a T wave, in noise). P waves on a timeline of
    // their own fall at any PR.
    const int nSteady = MostInOneBand(conducting, 60);
    if (nSteady >= 3 && 2 * nSteady >= nWithP)
        return false;
    return nOffPr >= 2 && nOffPr + (N - nWithP) > 0.4 * N && nLongest > t.nNoPrLimit;
}

void TypeBeats(CEngineData& d) {
    auto& r = d.Rhythm;
    const auto& t = RhythmThresholds(d);
    auto& lists = r.BeatTypeLists;
    for (auto& row : lists)
        row.fill(0);
    r.BeatType.fill(0);
    r.BeatLabel.fill(0);
    int aCount[kBeatTypeLists] = {};
    auto Mark = [&](int nRow, int i) {
        lists[nRow][i] = 1;
        ++aCount[nRow];
    };

    const int N = RhythmBeats(d);
    const bool bDissociated = PWavesDissociated(d);
    // A P wave that keeps no steady distance to its QRS did not conduct it.
    auto ConductedPr = [&](int i) { return bDissociated ? 0 : PR(d, i); };
    auto Supraventricular = [&](int i) {
        return r.QrsClass[i] == QrsNarrow || r.QrsClass[i] == QrsWideSupraventricular;
    };
    // The sinus cycle: the median interval of the dominant beats that a sinus P wave conducted
    // (at a PR at which the atria conduct), when there are three of them at least. A dominant
    // beat without a found P wave that keeps it (neither premature nor as late as an escape
    // beat) is the sinus rhythm's beat whose P wave was not found (small, in noise): a P wave
    // not found is no evidence of an ectopic beat.
    BeatList sinusRR{};
    for (int i = 1; i <= N; ++i) {
        const int nPr = ConductedPr(i);
        if (Supraventricular(i) && nPr >= 1 && nPr <= t.nVentricularPrMax && LastPIsSinus(d, i) &&
            LikeDominant(d, i))
            sinusRR[++sinusRR[0]] = RR(d, i);
    }
    const double dSinusCycle = sinusRR[0] >= 3 ? MedianOf(d, sinusRR, sinusRR[0]) : 0;
    auto SinusBeatWithoutFoundP = [&](int i) {
        return dSinusCycle > 0 && LikeDominant(d, i) &&
               RR(d, i) >= t.dPrematureRatio * dSinusCycle &&
               RR(d, i) <= kEscapeRatio * dSinusCycle;
    };
    for (int i = 1; i <= N; ++i) {
        const int nPr = ConductedPr(i);
        int nType, nLabel;
        if (Supraventricular(i)) {
            Mark(TypeListSupraventricular, i);
            const bool bSinus = LastPIsSinus(d, i);
            if (nPr < 1)
                nType = SinusBeatWithoutFoundP(i) ? 1 : 4;
            else
                nType = bSinus ? 1 : 2;
            if (nPr < t.nSinusPrMin || nPr > t.nSinusPrMax)
                nLabel = 3;
            else
                nLabel = bSinus ? 1 : 2;
        } else if (nPr >= 1 && nPr < t.nSinusPrMin) {
            nType = nLabel = 5;
            Mark(TypeListVentricular, i);
        } else if (nPr == 0 || nPr > t.nVentricularPrMax) {
            nType = nLabel = 6;
            Mark(TypeListVentricular, i);
        } else {
            nType = nLabel = 3;
            Mark(TypeListSupraventricular, i);
        }
        r.BeatType[i] = nType;
        r.BeatLabel[i] = nLabel;
        Mark(nType, i);
    }

    // Beats without a P wave take the type of the majority; their own marks stay.
    int nRetype = 0;
    if (aCount[4] < aCount[1])
        nRetype = 1;
    else if (aCount[4] < aCount[2])
        nRetype = 2;
    else if (aCount[4] < aCount[1] + aCount[2])
        nRetype = 1;
    if (nRetype) {
        for (int i = 1; i <= N; ++i) {
            if (lists[4][i] == 1) {
                r.BeatType[i] = nRetype;
                Mark(nRetype, i);
            }
        }
    }

    for (int i = 1; i <= N; ++i) {
        const int nPr = ConductedPr(i);
        if (r.BeatLabel[i] == 3 && (nPr <= 0 || nPr > t.nNoPrLimit))
            r.BeatLabel[i] = 4;
    }

    for (int k = 1; k < kBeatTypeLists; ++k)
        lists[k][0] = aCount[k];
    lists[TypeListVentricular][0] = aCount[5] + aCount[6];
    for (int i = 1; i <= N; ++i)
        lists[TypeListBeatType][i] = r.BeatType[i];
    lists[TypeListBeatType][0] = N;
}

int FindBeatRun(CEngineData& d, const BeatList& list, int nMin) {
    if (list[0] < nMin)
        return 0;
    const int N = RhythmBeats(d);
    int nStart = 0, nLength = 0;
    for (int i = 1; i <= N; ++i) {
        if (list[i] == 1) {
            if (nLength++ == 0)
                nStart = i;
            continue;
        }
        if (nLength >= nMin) {
            d.Rhythm.BeatRun = {nStart, i - 1, nLength};
            return 1;
        }
        nLength = 0;
    }
    if (nLength >= nMin) {
        d.Rhythm.BeatRun = {nStart, N, nLength};
        return 1;
    }
    return 0;
}

int MedianOf(CEngineData& d, const BeatList& list, int n) {
    n = std::clamp(n, 0, kRhythmBeats);
    auto& w = d.Rhythm.WorkList;
    std::copy(list.begin(), list.begin() + n + 1, w.begin());
    if (n == 0)
        return 0;
    if (n <= 2)
        return w[1];
    std::sort(w.begin() + 1, w.begin() + n + 1);
    if (n <= 5)
        return (n % 2) ? w[(n + 1) / 2] : w[n / 2 + 1];
    return (n % 2) ? w[(n + 1) / 2 + 1] : w[n / 2 + 2];
}

namespace {

// The longest chain of consecutive cycles of nCycle beats, from any marked beat, that each
// begin with a marked beat followed by nCycle - 1 unmarked ones and a marked one: the pattern
// goes on beat after beat (matches scattered among couplets are no bigeminy or trigeminy).
int LongestPatternChain(const CEngineData& d, int nFirst, const BeatList& marks, int nCycle) {
    const int N = RhythmBeats(d);
    auto Cycle = [&](int k) {
        if (k + nCycle > N || At(marks, k) != 1 || At(marks, k + nCycle) != 1)
            return false;
        for (int j = 1; j < nCycle; ++j) {
            if (At(marks, k + j) != 0)
                return false;
        }
        return true;
    };
    int nLongest = 0;
    for (int k = std::max(nFirst, 1); k <= N; ++k) {
        int nChain = 0;
        while (Cycle(k + nChain * nCycle))
            ++nChain;
        nLongest = std::max(nLongest, nChain);
    }
    return nLongest;
}

}  // namespace

int HasBigeminy(const CEngineData& d, int nFirst, const BeatList& marks) {
    return LongestPatternChain(d, nFirst, marks, 2) >= 2 ? 1 : 0;
}

int HasTrigeminy(const CEngineData& d, int nFirst, const BeatList& marks) {
    return LongestPatternChain(d, nFirst, marks, 3) >= 2 ? 1 : 0;
}

}  // namespace ecg_engine
