// Ventricular beats told by their QRS against the dominant beat's, fibrillation by the conducted
// intervals and the P waves, and flutter only where the intervals follow an atrial cycle: on the
// measurements the engine takes from real ten-second windows (PhysioNet/CinC Challenge 2017
// records A00013, A00087, A00090 and MIT-BIH Arrhythmia Database record 105, Open Data Commons
// Attribution License 1.0), filled by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "rhythm_fixture.h"

using namespace ecg_engine;
using namespace ecg_engine_test;

namespace {

// Per beat: RR, PR, QRS, QRS axis, P axis, lead-II P amplitude, QrsLikeness.
// Atrial fibrillation, fairly regular at 104 a minute; P-like waves at any PR, either way up.
const std::vector<SBeat> kA00087 = {
    {600, 182, 86, -137, {-133}, -34, 92},  {600, 148, 74, -137, {45}, 50, 99},
    {520, 0, 98, -135, {}, 0, 98},          {602, 128, 186, -134, {44}, 85, 98},
    {524, 186, 136, -131, {43}, 75, 98},    {646, 134, 106, -137, {46}, 56, 98},
    {546, 0, 102, -136, {}, 0, 92},         {614, 166, 100, -135, {45}, 82, 97},
    {546, 162, 72, -137, {-138}, -98, 99},  {590, 122, 132, -136, {42}, 92, 98},
    {556, 0, 116, -135, {}, 0, 99},         {606, 148, 100, -138, {44}, 55, 98},
    {560, 158, 108, -138, {-134}, -49, 97}, {628, 88, 84, -137, {-153}, -74, 99},
    {518, 0, 114, -135, {}, 0, 98},         {644, 168, 80, -137, {44}, 105, 98},
    {512, 0, 120, -135, {}, 0, 98}};
// Atrial fibrillation at 80 a minute (read as flutter once).
const std::vector<SBeat> kA00090 = {
    {658, 172, 150, 42, {43}, 88, 98},    {658, 96, 102, 43, {22}, 62, 97},
    {540, 92, 66, 43, {-138}, -18, 98},   {880, 190, 136, 44, {-134}, -62, 99},
    {888, 124, 88, 44, {45}, 27, 98},     {868, 236, 148, 45, {44}, 69, 97},
    {650, 180, 96, 43, {43}, 56, 98},     {650, 114, 100, 43, {42}, 77, 98},
    {764, 206, 142, 43, {-134}, -72, 98}, {788, 78, 92, 43, {45}, 37, 96},
    {910, 174, 92, 43, {45}, 89, 94},     {852, 292, 110, 46, {45}, 99, 99},
    {550, 128, 122, 45, {-132}, -32, 95}};
// Not fibrillation ("other rhythm"): inverted P waves at a steady PR, one premature beat.
const std::vector<SBeat> kA00013 = {
    {644, 116, 84, -135, {-137}, -53, 100}, {644, 112, 88, -136, {-136}, -54, 100},
    {642, 106, 82, -136, {-135}, -53, 99},  {632, 106, 82, -136, {-136}, -55, 99},
    {636, 112, 76, -136, {-135}, -62, 100}, {636, 118, 82, -136, {-136}, -58, 100},
    {648, 114, 84, -136, {-133}, -57, 100}, {660, 110, 88, -136, {-134}, -51, 99},
    {664, 108, 88, -136, {-137}, -51, 100}, {556, 0, 86, -136, {}, 0, 100},
    {838, 108, 90, -136, {-137}, -59, 100}, {650, 106, 80, -136, {-133}, -60, 99},
    {626, 112, 78, -136, {-134}, -61, 99},  {622, 116, 78, -136, {-137}, -61, 100},
    {624, 114, 82, -136, {-137}, -58, 100}};
// Sinus rhythm with one ventricular beat (beat 4) as narrow as the sinus beats, taller and of
// another shape, after the T wave that passed for its P wave (read as a PAC once); it reaches
// its peak 58 ms after its onset, the sinus beats within 30 ms.
const std::vector<SBeat> kMitdb105 = {
    {748, 176, 88, 43, {44}, 253, 100},   {748, 178, 122, 42, {44}, 255, 100},
    {760, 176, 88, 43, {43}, 253, 100},   {448, 98, 92, 43, {-136}, -34, 56},
    {1030, 168, 106, 42, {43}, 238, 100}, {710, 168, 112, 42, {44}, 257, 99},
    {696, 172, 90, 43, {43}, 258, 100},   {726, 176, 90, 43, {43}, 270, 100},
    {736, 180, 120, 42, {43}, 245, 100},  {736, 170, 116, 42, {44}, 250, 100},
    {746, 174, 120, 42, {43}, 233, 100},  {758, 174, 86, 43, {44}, 245, 100},
    {728, 174, 86, 43, {43}, 235, 100},   {724, 176, 86, 44, {44}, 251, 100}};
// Sinus rhythm at 52 a minute, every beat alike (MIT-BIH Supraventricular Arrhythmia Database
// record 800, sampled at 128 a second, Open Data Commons Attribution License 1.0): no P wave
// found before beat 1, waves on the T wave taken for the P before beats 2 and 3 (PR 452,
// 456 ms), true P waves at 136 to 168 ms before the others (and one at 262). The QRS measures
// 110 to 188 ms, and reaches its first peak 28 to 64 ms after its onset.
const std::vector<SBeat> kSvdb800 = {
    {1204, 0, 158, 43, {}, 0, 99, 28},       {1204, 452, 146, 44, {43}, 71, 100, 62},
    {1252, 456, 110, 44, {43}, 127, 99, 34}, {1170, 164, 116, 44, {43}, 150, 99, 30},
    {1200, 146, 118, 43, {43}, 236, 99, 34}, {1096, 140, 188, 44, {43}, 65, 99, 64},
    {1120, 262, 128, 43, {43}, 99, 99, 28},  {1058, 168, 140, 43, {43}, 145, 97, 38},
    {1000, 136, 146, 42, {43}, 120, 99, 62}};
// Sinus rhythm at 52 a minute, every beat alike (CinC Challenge 2017 record A00143, normal):
// no P wave found before three beats, a wave 706 ms before the last.
const std::vector<SBeat> kA00143 = {
    {1060, 0, 54, 43, {}, 0, 84, 22},      {1060, 166, 44, 43, {43}, 80, 99, 22},
    {1116, 0, 54, 43, {}, 0, 100, 20},     {1140, 162, 68, 44, {43}, 80, 99, 24},
    {1148, 136, 44, 43, {43}, 80, 98, 18}, {1120, 148, 90, 43, {43}, 80, 97, 24},
    {1134, 112, 86, 42, {43}, 80, 98, 48}, {1264, 0, 112, 41, {}, 0, 98, 24},
    {1274, 706, 54, 43, {43}, 80, 99, 24}};

}  // namespace

TEST(RhythmEctopy, VentricularBeatsByTheirQrsAgainstTheDominantBeat) {
    const struct {
        const char* name;
        int pr, qrs, pAxis, activation;  // of beat 4
        Texts expected;
    } cases[] = {
        {"unlike, after no P wave of its own, slow to rise",
         98,
         92,
         -136,
         58,
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"}},
        // Narrow and quick: down the conduction system, after the P wave of another axis.
        {"unlike, after a P wave of its own, quick to rise",
         98,
         92,
         -136,
         30,
         {"Normal Sinus Rhythm", "PAC(Premature Atrial Contraction)"}},
        {"unlike, after no P wave, quick to rise",
         0,
         92,
         -136,
         30,
         {"Normal Sinus Rhythm", "PJC(Premature Junctional Contraction)"}},
        {"unlike, after no P wave of its own, wide",
         98,
         126,
         -136,
         30,
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"}},
        // Conducted by a sinus P wave at the dominant PR: another shape, but the atria's beat.
        {"unlike, conducted by its P wave",
         170,
         92,
         44,
         58,
         {"Normal Sinus Rhythm", "PAC(Premature Atrial Contraction)"}},
        {"unlike and far wider, after a P wave",
         170,
         150,
         44,
         30,
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"}},
    };
    for (const auto& c : cases) {
        std::vector<SBeat> beats = kMitdb105;
        beats[3].pr = c.pr;
        beats[3].qrs = c.qrs;
        beats[3].pAxes = c.pr > 0 ? std::vector<int>{c.pAxis} : std::vector<int>{};
        beats[3].activation = c.activation;
        auto d = Record(beats);
        EXPECT_EQ(Analyse(*d), c.expected) << c.name;
    }
}

// A wide beat of its own shape is premature against the sinus cycle, the median of the
// intervals that end in a conducted beat: frequent ventricular beats shorten the median of all.
TEST(RhythmEctopy, PvcsComeEarlyAgainstTheSinusCycle) {
    const struct {
        const char* name;
        std::vector<SBeat> beats;
        Texts expected;
    } cases[] = {
        {"a tenth early and more",
         {Sinus(), Sinus(), Sinus(), Sinus(), Pvc(700), Sinus(900), Sinus(), Sinus(), Sinus()},
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"}},
        {"less than a tenth early",
         {Sinus(), Sinus(), Sinus(), Sinus(), Pvc(740), Sinus(860), Sinus(), Sinus(), Sinus()},
         {"Normal Sinus Rhythm"}},
        {"later than the sinus interval",
         {Sinus(), Sinus(), Sinus(), Sinus(), Pvc(880), Sinus(720), Sinus(), Sinus(), Sinus()},
         {"Normal Sinus Rhythm"}},
        // Couplets between sinus beats: most intervals are the ventricular beats' own.
        {"couplets, each after a sinus beat",
         {Sinus(900), Pvc(480), Pvc(480), Sinus(900), Pvc(480), Pvc(480), Sinus(900), Pvc(480),
          Pvc(480), Sinus(900), Pvc(480), Pvc(480), Sinus(900)},
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"}},
    };
    for (const auto& c : cases) {
        auto d = Record(c.beats);
        const Texts statements = Analyse(*d);
        EXPECT_EQ(statements, c.expected) << c.name;
    }
}

TEST(RhythmEctopy, FibrillationFromTheConductedIntervalsWithoutARepeatingPWave) {
    const struct {
        const char* name;
        std::vector<SBeat> beats;
        const char* first;
    } cases[] = {
        {"A00087, fairly regular", kA00087, "Atrial Fibrillation"},
        {"A00090", kA00090, "Atrial Fibrillation"},
        {"A00013, a P wave at a steady PR", kA00013, "Atrial Rhythm"},
        {"sinus rhythm with a PVC", kMitdb105, "Normal Sinus Rhythm"},
    };
    for (const auto& c : cases) {
        auto d = Record(c.beats);
        const Texts a = Analyse(*d);
        ASSERT_FALSE(a.empty()) << c.name;
        EXPECT_EQ(a[0], c.first) << c.name;
        EXPECT_EQ(d->Rhythm.RhythmFindings[124], 0) << c.name;
    }
}

// Fibrillation needs intervals that stay irregular apart from premature beats and that do not
// lengthen and shorten gradually, under atria without a clear P wave of one direction before
// most beats; on fibrillation's intervals (A00090) and on rhythms with an atrial rhythm of
// their own.
TEST(RhythmEctopy, FibrillationOnlyWithoutOrderedAtriaAndApartFromPrematureBeats) {
    const std::vector<int> kIrregular = {658, 658, 540, 880, 888, 868, 650,
                                         650, 764, 788, 910, 852, 550};
    const std::vector<int> kWanderingPr = {100, 240, 130, 290, 170, 210, 120,
                                           260, 150, 280, 110, 230, 190};
    // Three premature beats, each followed by its pause, in a steady rhythm.
    const std::vector<int> kPrematureBeats = {800, 800, 560,  1040, 800, 560,
                                              1040, 800, 560, 1040, 800, 800};
    // Intervals that lengthen and shorten gradually by 7 to 9 % a beat.
    const std::vector<int> kGradual = {700, 760, 830, 900, 960, 1000, 960,
                                       900, 830, 760, 700, 760, 830};
    // Fibrillation waves of 40 uV on a resting record's noise, taken for P waves: 50 to 85 uV,
    // eight in thirteen inverted, their PR anywhere from 108 to 368 ms.
    const std::vector<int> kFibrillationPr = {166, 306, 128, 204, 270, 108, 312,
                                              180, 368, 176, 232, 142, 290};
    const std::vector<int> kFibrillationP = {-57, -84, -72, 66, 51,  -55, 40,
                                             -64, -76, -61, 58, -68, -45};
    // Clear P waves before most beats, some inverted, at a PR that wanders within a band.
    const std::vector<int> kBandPr = {108, 180, 176, 114, 188, 214, 140,
                                      228, 298, 270, 176, 214, 154};
    const std::vector<int> kMostlyUpP = {-112, 140, 162,  -71, 204, 78, 181,
                                         -123, -75, -133, 125, 122, 149};
    // Sinus arrhythmia: intervals that breathing lengthens and shortens over four to five beats,
    // inverted P waves at a PR steady within 50 ms before six in eleven beats (and a wave in the
    // diastole taken for the P before one more, which moves their median).
    const std::vector<int> kBreathing = {892, 892, 844, 802, 916, 930, 896, 828, 892, 966, 864};
    const std::vector<int> kSteadyPr = {0, 152, 152, 166, 0, 0, 116, 0, 136, 462, 164};
    const std::vector<int> kHalfInvertedP = {0, -65, -75, -69, 0, 0, -87, 0, -71, -71, -71};
    const std::vector<int> kNone = {0};
    const struct {
        const char* name;
        const std::vector<int>& rr;
        const std::vector<int>& pr;
        const std::vector<int>& pAmpII;  // uV; no P wave at all when 0
        int expected;
    } cases[] = {
        {"irregular, small P-like waves at any PR", kIrregular, kWanderingPr, {20}, 1},
        {"irregular, clear P waves at a wandering PR", kIrregular, kWanderingPr, {100}, 0},
        {"irregular, clear inverted P waves", kIrregular, kWanderingPr, {-100}, 0},
        {"irregular, no P wave", kIrregular, kWanderingPr, kNone, 1},
        {"irregular, P-like waves of fibrillation above noise, most inverted, at any PR",
         kIrregular, kFibrillationPr, kFibrillationP, 1},
        {"irregular, clear P waves before most beats at a PR within a band", kIrregular, kBandPr,
         kMostlyUpP, 0},
        {"breathing-paced intervals, inverted P waves at a steady PR before half the beats",
         kBreathing, kSteadyPr, kHalfInvertedP, 0},
        {"premature beats with their pauses, no P wave", kPrematureBeats, kWanderingPr, kNone, 0},
        {"gradual changes, no P wave", kGradual, kWanderingPr, kNone, 0},
    };
    for (const auto& c : cases) {
        std::vector<SBeat> beats;
        for (std::size_t k = 0; k < c.rr.size(); ++k) {
            const int nAmp = c.pAmpII[k % c.pAmpII.size()];
            const bool bP = nAmp != 0;
            beats.push_back(SBeat{c.rr[k], bP ? c.pr[k % c.pr.size()] : 0, 90, 60,
                                  bP ? std::vector<int>{60} : std::vector<int>{}, nAmp});
        }
        auto d = Record(beats);
        Analyse(*d);
        EXPECT_EQ(d->Rhythm.RhythmFindings[125], c.expected) << c.name;
    }
}

// Waves that the flutter rule takes for flutter waves (small, pointing below -90 degrees,
// three to the interval) count only where the ventricles follow one atrial cycle: at a fixed
// ratio, or at varying whole numbers of a cycle of 240 to 350 a minute.
TEST(RhythmEctopy, FlutterOnlyWhereTheIntervalsFollowAnAtrialCycle) {
    const struct {
        const char* name;
        std::vector<int> rr;
        int expected;
    } cases[] = {
        {"fixed ratio", {800, 800, 800, 800, 800, 800, 800, 800, 800, 800, 800, 800}, 1},
        {"3:1 and 4:1 of a 200 ms cycle",
         {600, 600, 800, 600, 800, 800, 600, 600, 800, 600, 800, 600},
         1},
        {"fibrillation's intervals (A00090)",
         {658, 658, 540, 880, 888, 868, 650, 650, 764, 788, 910, 852},
         0},
    };
    for (const auto& c : cases) {
        std::vector<SBeat> beats;
        for (int rr : c.rr)
            beats.push_back(SBeat{rr, 160, 90, 60, {-110}, -50});
        auto d = Record(beats);
        for (int i = 0; i + 1 < static_cast<int>(beats.size()); ++i)
            d->PWave.AtrialCount[i] = 3;
        DetectAtrialFlutter(*d);
        EXPECT_EQ(d->Rhythm.RhythmFindings[124], c.expected) << c.name;
    }
}

// P waves the engine did not find, or waves elsewhere taken for them, are missing evidence: the
// beats of the dominant QRS that keep the sinus cycle are the sinus rhythm's, not a junctional
// rhythm, and P waves at one PR before most beats conduct, so no dissociation, complete block
// or escape rhythm follows. Junctional beats that keep a cycle of their own stay junctional.
TEST(RhythmEctopy, BeatsWithoutAFoundPWaveAmongSinusBeatsStaySinus) {
    // Sinus beats at 46 a minute, then six without a P wave at the same cycle, or at a slower
    // cycle of their own (an escape rhythm).
    auto Run = [](int nRunRR) {
        std::vector<SBeat> beats = {Sinus(1300), Sinus(1300), Sinus(1300), Sinus(1300)};
        for (int k = 0; k < 6; ++k)
            beats.push_back(Junctional(nRunRR));
        return beats;
    };
    const struct {
        const char* name;
        std::vector<SBeat> beats;
        Texts expected;
    } cases[] = {
        {"svdb800, waves on the T taken for P waves", kSvdb800, {"Sinus Bradycardia(HR:50-59)"}},
        {"A00143, three beats without a P wave", kA00143, {"Sinus Bradycardia(HR:50-59)"}},
        {"six beats in a row without a P wave at the sinus cycle",
         Run(1300),
         {"Sinus Bradycardia(HR<50)"}},
        {"six beats without a P wave at a slower cycle of their own",
         Run(1800),
         {"Escape Junctional Rhythm"}},
    };
    for (const auto& c : cases) {
        auto d = Record(c.beats);
        const Texts a = Analyse(*d);
        EXPECT_EQ(a, c.expected) << c.name;
    }
}

// A beat of the dominant shape that noise changes a little (QrsLikeness 75 to 79, beats of one
// group) is no ventricular beat because its measure reaches 120 ms where the dominant beats'
// measures do too: wide records at a low sampling rate and bundle branch blocks measure so. It
// is ventricular when clearly wider than the dominant beat, or clearly unlike it (below 75) and
// wide by a measure that tells it apart from the dominant beats.
TEST(RhythmEctopy, ADominantBeatThatNoiseChangesStaysInItsClass) {
    // The last six beats of kSvdb800's width in noise: a little unlike, no P wave found.
    auto NoisyTail = [](int nLike, int nQrs) {
        std::vector<SBeat> beats;
        const int aQrs[] = {116, 124, 128, 118, 122, 126, 124, 128, 120, 124, 126, 122};
        const int aAct[] = {30, 62, 34, 28, 64, 32, 30, 60, 28, 62, 34, 30};
        for (int k = 0; k < 12; ++k) {
            SBeat b{1150, 150, aQrs[k], 43, {43}, 100, 99, aAct[k]};
            if (k >= 6) {
                b.pr = 0;
                b.pAxes = {};
                b.pAmpII = 0;
                b.like = nLike;
                b.activation = 30;
                b.qrs = nQrs ? nQrs : b.qrs;
            }
            beats.push_back(b);
        }
        return beats;
    };
    const struct {
        const char* name;
        std::vector<SBeat> beats;
        bool bVentricular;
    } cases[] = {
        {"a little unlike, as wide as the dominant beats", NoisyTail(77, 0), false},
        {"clearly unlike, as wide as the dominant beats", NoisyTail(60, 0), false},
        {"a little unlike, clearly wider", NoisyTail(77, 170), true},
        {"clearly unlike, clearly wider", NoisyTail(40, 180), true},
    };
    for (const auto& c : cases) {
        auto d = Record(c.beats);
        const Texts a = Analyse(*d);
        const bool bVentricular =
            std::find(a.begin(), a.end(), std::string("Ventricular Rhythm")) != a.end();
        EXPECT_EQ(bVentricular, c.bVentricular) << c.name;
        EXPECT_EQ(d->Rhythm.VentricularQrs[0], c.bVentricular ? 6 : 0) << c.name;
    }
}
