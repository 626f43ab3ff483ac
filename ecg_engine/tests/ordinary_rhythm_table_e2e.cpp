// Both engine programs, in every analysis mode, on records made the way a cart records an
// ordinary resting ECG: PR and ST segments of ordinary length, noise and baseline wander.
// Sinus rhythm at every rate from 50 to 150 per minute reads as sinus rhythm of its rate
// class, with no flutter, fibrillation or supraventricular tachycardia; so do single-lead
// recordings, clear P waves that follow the T wave closely and, at 160 and 170 per minute, P
// waves that start right at the T's end; flutter reads as flutter.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_runs.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine_test;

namespace {

// An ordinary resting ECG's disturbances, the same for every record.
const std::string kResting = " --noise 10 --drift 150 --seed 3";

// Rhythm statements that an ordinary sinus record must never carry.
const char* const kNotSinus[] = {
    "Flutter",    "flutter",       "Fibrillation",       "Supraventricular",
    "Junctional", "Atrial Rhythm", "Atrial Tachycardia", "AV Block",
    "(possible)"};

std::string SinusStatement(int nRate) {
    if (nRate < 50)
        return "Sinus Bradycardia(HR<50)";
    if (nRate < 60)
        return "Sinus Bradycardia(HR:50-59)";
    if (nRate < 100)
        return "Normal Sinus Rhythm";
    return nRate < 131 ? "Sinus Tachycardia(HR:100-130)" : "Sinus Tachycardia(HR>130)";
}

struct SSinusCase {
    int nRate, nPr, nSt;  // ecgsynth PR and ST segments, samples of 2 ms
    int nP, nT = 300;     // P and T amplitudes (uV)
    int nU = 0;           // U wave amplitude (uV), none when 0
    bool bQuiet = false;  // without the resting ECG's noise and wander
    bool bNotch = false;  // notched P waves
    // Its QRS still reads wide: the P wave right at the T's end at 160-170 per minute with a PR
    // segment of 20 ms (a conduction delay in every run; not yet mended).
    bool bWideQrsOpen = false;
    std::string Options() const {
        return "--rate " + std::to_string(nRate) + " --pr " + std::to_string(nPr) + " --st " +
               std::to_string(nSt) + " --p " + std::to_string(nP) + " --t " + std::to_string(nT) +
               (nU ? " --u " + std::to_string(nU) : "") + (bNotch ? " --pnotch" : "") +
               (bQuiet ? "" : kResting);
    }
    friend void PrintTo(const SSinusCase& c, std::ostream* os) { *os << c.Options(); }
};

// PR 120-200 ms and ST 60-120 ms where the T wave still fits the interval: the P wave
// follows the T closely from about 110 per minute on.
std::vector<SSinusCase> SinusCases() {
    std::vector<SSinusCase> cases;
    for (int nRate = 50; nRate <= 150; nRate += 10) {
        if (nRate <= 120) {
            cases.push_back({nRate, 20, 30, 100});  // PR 130 ms, ST 60 ms
            cases.push_back({nRate, 55, 60, 100});  // PR 200 ms, ST 120 ms
        } else {
            cases.push_back({nRate, 30, 30, 100});  // PR 120-130 ms, ST 60 ms
            cases.push_back({nRate, 40, 40, 100});  // PR 140-150 ms, ST 80 ms
        }
        if (nRate >= 110)
            cases.push_back({nRate, 40, 40, 150});  // clear P waves
    }
    // A tall P wave, and a low T wave, close to each other.
    cases.push_back({120, 30, 30, 200});
    cases.push_back({120, 30, 30, 100, 150});
    // A U wave after the T: T, U and P make three waves to the interval, but no flutter.
    for (int nRate : {50, 60, 75, 85, 140})
        cases.push_back({nRate, 20, 30, 100, 300, 100});
    cases.push_back({70, 55, 60, 100, 300, 75});
    // From about 90 per minute the U ends close before the P wave (at 100 per minute right at
    // it): the P search must pass over the U, whose fall and the P's rise look like one
    // inverted P wave.
    cases.push_back({92, 20, 30, 100, 300, 75});
    cases.push_back({92, 20, 30, 100, 300, 100, true});
    cases.push_back({95, 20, 30, 100, 300, 100, true});
    cases.push_back({100, 20, 30, 100, 300, 75, true});
    // Where the T ends close before the next QRS, the U starts right at the end found for it;
    // at 105 per minute the U runs into the P wave with no baseline between them.
    cases.push_back({95, 20, 30, 100, 300, 100});
    cases.push_back({100, 20, 30, 100, 300, 75});
    cases.push_back({105, 20, 30, 100, 300, 100, true});
    // At 110-115 per minute the U lasts 50-70 ms, off the baseline by 50 uV for less than
    // 40 ms.
    cases.push_back({110, 20, 30, 100, 300, 100, true});
    cases.push_back({110, 20, 30, 100, 300, 100});
    cases.push_back({110, 20, 30, 100, 300, 100, true, true});
    cases.push_back({115, 20, 30, 100, 300, 100, true});
    cases.push_back({115, 20, 30, 100, 300, 125});
    // Faster, with PR and ST segments of 20 ms: the P wave starts right at the T's end.
    cases.push_back({160, 10, 10, 100, 300, 0, false, false, true});
    cases.push_back({170, 10, 10, 100, 300, 0, false, false, true});
    // A tall P wave that runs up to the QRS: its energy joins the QRS's in detection.
    cases.push_back({160, 20, 30, 250});
    // A notched or tall P wave that starts right at the T's end at 150 and 160 per minute.
    cases.push_back({150, 20, 30, 100, 300, 0, true, true});
    cases.push_back({150, 20, 30, 100, 300, 0, false, true});
    cases.push_back({160, 20, 30, 100, 300, 0, true, true});
    cases.push_back({160, 20, 30, 100, 300, 0, false, true});
    cases.push_back({150, 20, 30, 250, 300, 0, true});
    // A tall P wave that ends 40 ms before the QRS at 130-150 per minute: its energy is no part
    // of the QRS, so no beat reads wide or ventricular.
    cases.push_back({130, 20, 30, 250, 300, 0, true});
    cases.push_back({140, 20, 30, 250, 300, 0, true});
    cases.push_back({150, 20, 30, 250});
    // At 120 per minute the QRS's own energy reaches back over the 40 ms PR segment into the
    // tall P's tail: the QRS must still start after the P.
    cases.push_back({120, 20, 30, 250, 300, 0, true});
    return cases;
}

class OrdinarySinus : public ::testing::TestWithParam<SSinusCase> {};

void ExpectSinus(const std::vector<Texts>& runs, const std::string& strSinus) {
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Texts& statements = runs[r];
        ASSERT_FALSE(statements.empty()) << kRuns[r].name;
        EXPECT_EQ(statements[0], strSinus) << kRuns[r].name;
        for (const auto& s : statements) {
            for (const char* pszWrong : kNotSinus)
                EXPECT_EQ(s.find(pszWrong), std::string::npos) << kRuns[r].name << ": " << s;
        }
    }
}

}  // namespace

TEST_P(OrdinarySinus, ReadsSinusRhythmOfItsRateInEveryRun) {
    const auto runs = StatementsOfEveryRun(GetParam().Options());
    ExpectSinus(runs, SinusStatement(GetParam().nRate));
    // Its T waves stand upright: a P wave taken into the T shows no inverted T. Its QRS is
    // narrow and alike in every beat: a P wave taken into a QRS shows no premature ventricular
    // beat, conduction delay or infarct.
    std::vector<const char*> wrong = {"T wave inversion"};
    if (!GetParam().bWideQrsOpen)
        wrong.insert(wrong.end(), {"PVC", "intraventricular", " MI"});
    for (std::size_t r = 0; r < runs.size(); ++r) {
        for (const auto& s : runs[r]) {
            for (const char* pszWrong : wrong)
                EXPECT_EQ(s.find(pszWrong), std::string::npos) << kRuns[r].name << ": " << s;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, OrdinarySinus, ::testing::ValuesIn(SinusCases()),
                         [](const auto& info) {
                             const auto& c = info.param;
                             return "Sinus" + std::to_string(c.nRate) + "Pr" +
                                    std::to_string(c.nPr) + "St" + std::to_string(c.nSt) + "P" +
                                    std::to_string(c.nP) + "T" + std::to_string(c.nT) +
                                    (c.nU ? "U" + std::to_string(c.nU) : std::string()) +
                                    (c.bNotch ? "Notch" : "") + (c.bQuiet ? "Quiet" : "");
                         });

// Carts that record one lead write it into every channel: clear P waves near 110 per minute
// in lead II, V5 or I read as sinus tachycardia.
TEST(OrdinarySinusOneLead, EveryChannelTheSameLeadReadsSinus) {
    for (const char* pszLead : {"II", "V5", "I"}) {
        SCOPED_TRACE(pszLead);
        ExpectSinus(StatementsOfEveryRun("--rate 110 --pr 40 --st 40 --p 150 --onelead " +
                                         std::string(pszLead) + kResting),
                    "Sinus Tachycardia(HR:100-130)");
    }
}

// Flutter reads as flutter: with four waves to the interval (also where lead II shows them
// rising slowly and falling fast, like P waves, or hardly at all), and at 2:1 and 3:1
// conduction, with flutter waves hidden in every QRS-T, also where the wave before each QRS
// looks like a sinus P wave. An ectopic atrial rhythm whose P waves point below -90 degrees at an
// ordinary rate is no flutter: its intervals hold a T and a P only. The flutter wave before each
// QRS is no delta wave: no pre-excitation.
TEST(OrdinaryAtria, FlutterReadsAsFlutterAndAnInvertedPWaveDoesNot) {
    struct {
        const char* name;
        std::string options;
        const char* expected;  // the first statement
    } cases[] = {
        {"4:1 flutter", "--rate 75 --p 0 --flutter 300:150", "Atrial Flutter"},
        {"4:1 flutter of a resting ECG", "--rate 60 --p 0 --flutter 300:120" + kResting,
         "Atrial Flutter"},
        {"2:1 flutter", "--rate 140 --p 0 --flutter 280:150 --flutteraxis -100", "Atrial Flutter"},
        // Along the inferior leads the wave before each QRS looks like a sinus P wave.
        {"2:1 flutter along the inferior leads", "--rate 140 --p 0 --flutter 280:150",
         "Atrial Flutter"},
        {"the same in a resting ECG", "--rate 140 --p 0 --flutter 280:150" + kResting,
         "Atrial Flutter"},
        {"2:1 flutter at 130 in a resting ECG", "--rate 130 --p 0 --flutter 260:150" + kResting,
         "Atrial Flutter"},
        {"2:1 flutter along 0 degrees at 135 in a resting ECG",
         "--rate 135 --p 0 --flutter 270:150 --flutteraxis 0" + kResting, "Atrial Flutter"},
        {"2:1 flutter at 145 in a resting ECG",
         "--rate 145 --p 0 --flutter 290:145 --flutteraxis -100" + kResting, "Atrial Flutter"},
        // Rising slowly and falling fast in lead II, it looks like a sinus P wave there.
        {"4:1 flutter pointing away from the inferior leads",
         "--rate 75 --p 0 --flutter 300:150 --flutteraxis -100", "Atrial Flutter"},
        {"the same in a resting ECG",
         "--rate 75 --p 0 --flutter 300:150 --flutteraxis -100" + kResting, "Atrial Flutter"},
        // Lead II's waves are flat or off their cycle; III, aVF, I or V1 show them steady.
        {"4:1 flutter at 240 a minute, pointing away from the inferior leads",
         "--rate 60 --p 0 --flutter 240:150 --flutteraxis -100", "Atrial Flutter"},
        {"4:1 flutter at 260 a minute in a resting ECG, pointing away from the inferior leads",
         "--rate 65 --p 0 --flutter 260:150 --flutteraxis -100" + kResting, "Atrial Flutter"},
        {"4:1 flutter at 260 a minute in a resting ECG, along 0 degrees",
         "--rate 65 --p 0 --flutter 260:150 --flutteraxis 0" + kResting, "Atrial Flutter"},
        // At 3:1 the wave before each QRS looks like a sinus or ectopic P wave; the others
        // lie in the QRS and the T.
        {"3:1 flutter at 279 a minute, pointing away from the inferior leads",
         "--rate 93 --p 0 --flutter 279:150 --flutteraxis -100", "Atrial Flutter"},
        {"3:1 flutter at 300 a minute", "--rate 100 --p 0 --flutter 300:150", "Atrial Flutter"},
        {"the same in a resting ECG", "--rate 100 --p 0 --flutter 300:150" + kResting,
         "Atrial Flutter"},
        {"3:1 flutter at 300 a minute, pointing away from the inferior leads",
         "--rate 100 --p 0 --flutter 300:150 --flutteraxis -100", "Atrial Flutter"},
        {"the same in a resting ECG",
         "--rate 100 --p 0 --flutter 300:150 --flutteraxis -100" + kResting, "Atrial Flutter"},
        {"3:1 flutter at 300 a minute along 0 degrees",
         "--rate 100 --p 0 --flutter 300:150 --flutteraxis 0", "Atrial Flutter"},
        {"the same in a resting ECG",
         "--rate 100 --p 0 --flutter 300:150 --flutteraxis 0" + kResting, "Atrial Flutter"},
        {"4:1 flutter along 0 degrees in a resting ECG",
         "--rate 75 --p 0 --flutter 300:150 --flutteraxis 0" + kResting, "Atrial Flutter"},
        {"4:1 flutter at 340 a minute, pointing away from the inferior leads",
         "--rate 85 --p 0 --flutter 340:150 --flutteraxis -100", "Atrial Flutter"},
        {"4:1 flutter at 240 a minute in a resting ECG, pointing away from the inferior leads",
         "--rate 60 --p 0 --flutter 240:150 --flutteraxis -100" + kResting, "Atrial Flutter"},
        // With a U wave: the flutter wave after the T that passes for a U in the inferior
        // leads is no U of every lead.
        {"3:1 flutter with a U wave", "--rate 106 --p 0 --flutter 318:200 --flutteraxis -60 --u 30",
         "Atrial Flutter"},
        {"3:1 flutter with a tall U wave",
         "--rate 98 --p 0 --flutter 295:150 --flutteraxis -60 --u 150", "Atrial Flutter"},
        {"ectopic atrial rhythm", "--rate 75 --paxis -110" + kResting, "Atrial Rhythm"},
        // A U wave adds no atrial wave to the interval.
        {"ectopic atrial rhythm with a U wave", "--rate 100 --paxis -110 --u 75", "Atrial Rhythm"},
        {"the same at 60", "--rate 60 --paxis -110 --u 75", "Atrial Rhythm"},
        {"the same at 80", "--rate 80 --paxis -110 --u 75", "Atrial Rhythm"},
        // Slower, T, U and P are three waves to the interval, but only 135 to 165 a minute.
        {"the same at 45", "--rate 45 --paxis -110 --u 75", "Escape Atrial Rhythm(HR<50)"},
        {"the same at 55", "--rate 55 --paxis -110 --u 75", "Atrial Rhythm"},
    };
    for (const auto& c : cases) {
        const auto runs = StatementsOfEveryRun(c.options);
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const Texts& statements = runs[r];
            ASSERT_FALSE(statements.empty()) << c.name << ", " << kRuns[r].name;
            EXPECT_EQ(statements[0], c.expected) << c.name << ", " << kRuns[r].name;
            for (std::size_t k = 1; k < statements.size(); ++k) {
                EXPECT_EQ(statements[k].find("lutter"), std::string::npos)
                    << c.name << ", " << kRuns[r].name << ": " << statements[k];
                EXPECT_EQ(statements[k].find("preexcitation"), std::string::npos)
                    << c.name << ", " << kRuns[r].name << ": " << statements[k];
            }
        }
    }
}

namespace {

std::string EscapeScript(const char* pszKind, int nRate) {
    const int nRR = 60000 / nRate;
    return "--script " + std::string(pszKind) +
           Repeat("," + std::string(pszKind) + ":" + std::to_string(nRR), 10000 / nRR);
}

}  // namespace

// P waves on their own timeline above narrow and wide escapes of 35 to 55 per minute: a
// complete block beside the rhythm that escapes it, no sinus rhythm. The atrial rates keep
// clear of simple ratios to the escape rate, which a 10 s record cannot tell from conduction.
TEST(OrdinaryBlock, CompleteBlockReadsWithItsEscapeRhythm) {
    const struct {
        int nEscape, nAtria;
    } rates[] = {{35, 60}, {40, 66}, {45, 80}, {45, 63}, {50, 88}, {50, 70}, {55, 97}, {55, 77}};
    for (const auto& c : rates) {
        for (const char* pszKind : {"E", "EV"}) {
            const bool bWide = std::string(pszKind) == "EV";
            const char* pszEscape =
                bWide ? (c.nEscape < 40 ? "Escape Ventricular Rhythm" : "Ventricular Rhythm")
                      : (c.nEscape < 50 ? "Escape Junctional Rhythm" : "Junctional Rhythm");
            const std::string strOptions = "--ptimeline " + std::to_string(c.nAtria) + " " +
                                           EscapeScript(pszKind, c.nEscape) + kResting;
            ExpectFirstAndNone(StatementsOfEveryRun(strOptions), strOptions,
                               {pszEscape, "Complete AV Block"},
                               {"Sinus", "lutter", "Fibrillation", "AV Block I"});
        }
    }
}

// Every other P wave not conducted: 2:1 block beside the sinus rhythm of the ventricles' rate.
// At atria of 120 with a PR of 120 ms the P that is not conducted follows the T's end closely
// (also in a resting ECG); at 140 to 160, or at 120 and 150 with a PR of 160 ms, it starts on
// the T's tail; under a U wave; at 100 it lies more than 800 ms before the next QRS's end
// (once read as flutter in a resting ECG).
TEST(OrdinaryBlock, TwoToOneBlockReadsBesideSinusRhythm) {
    const struct {
        int nAtria, nPr;  // per minute, ms
        std::string strDisturbance;
    } cases[] = {{120, 120, " --st 10"}, {120, 120, ""},
                 {120, 120, kResting},   {140, 120, ""},
                 {140, 120, kResting},   {150, 120, ""},
                 {160, 120, ""},         {120, 160, ""},
                 {150, 160, ""},         {100, 120, ""},
                 {100, 120, kResting},   {120, 120, " --u 75"},
                 {120, 120, " --u 150"}, {120, 120, " --st 10 --u 75"}};
    for (const auto& c : cases) {
        const int nInterval = 60000 / c.nAtria;
        const std::string strBeat = ":" + std::to_string(nInterval) + ":" + std::to_string(c.nPr);
        const std::string strOptions =
            c.strDisturbance + " --script S::" + std::to_string(c.nPr) +
            Repeat(",B" + strBeat + ",S" + strBeat, std::min(10, 10000 / (2 * nInterval)));
        ExpectFirstAndNone(StatementsOfEveryRun(strOptions), strOptions,
                           {SinusStatement(c.nAtria / 2), "2:1 AV Block"},
                           {"lutter", "Fibrillation", "Junctional"});
    }
}

// An ectopic atrial tachycardia whose P waves point below -90 degrees, at rates where 2:1
// flutter could hide every other wave in the QRS-T, also with a U wave: no wave recurs half an
// interval before the P, so no flutter; at 126 to 170 a minute the tachycardia still names 2:1
// flutter as possible. At 110 a minute a short U wave lies right before the P.
TEST(OrdinaryAtria, EctopicAtrialTachycardiaIsNoFlutter) {
    const struct {
        std::string options;
        std::vector<std::string> expected;
    } cases[] = {
        {"--rate 110 --paxis -110 --u 75", {"Atrial Tachycardia(HR:100-130)"}},
        {"--rate 110 --paxis -70 --u 100", {"Atrial Tachycardia(HR:100-130)"}},
        {"--rate 130 --paxis -110", {"Atrial Tachycardia(HR:100-130)"}},
        {"--rate 130 --paxis -110 --u 75", {"Atrial Tachycardia(HR:100-130)"}},
        {"--rate 140 --paxis -110" + kResting, {"Atrial Tachycardia(HR>130)"}},
        {"--rate 140 --paxis -110 --u 75", {"Atrial Tachycardia(HR>130)"}},
    };
    for (const auto& c : cases)
        ExpectFirstAndNone(StatementsOfEveryRun(c.options), c.options, c.expected,
                           {"Atrial Flutter", "Sinus", "Fibrillation"});
}

// Pre-excitation: a delta wave of 40 to 80 ms after a PR of 80 to 120 ms (P onset to delta
// onset) reads as sinus rhythm of its rate with the pre-excitation statement; the delta wave
// is no part of the P wave, so no flutter, no ectopic atrial rhythm and no block. At a PR of
// 80 ms the shortest delta follows the P wave without any PR segment, also at 45 and 60 a
// minute, where lead I's small R wave rides on the wander and a QRS onset a few samples up the
// delta cut its slope short. A long delta wave whose slow slope noise breaks in most leads
// (with resting noise, and with twice that noise and wander) still ends the P wave and starts
// the PR interval where it starts.
TEST(OrdinaryPreexcitation, DeltaWaveReadsPreexcitationBesideSinusRhythm) {
    const std::string kHarsh = " --noise 20 --drift 300 --seed 5";
    const struct {
        std::vector<int> aRate;
        int nDelta;            // samples of 2 ms
        std::vector<int> aPr;  // ms
        std::string strNoise;
    } cases[] = {
        {{50, 75}, 20, {80, 100, 120}, kResting}, {{50, 75}, 30, {80, 120}, kResting},
        {{50, 75}, 40, {80, 120}, kResting},      {{50}, 40, {90, 100}, kResting},
        {{50}, 40, {100, 120}, kHarsh},           {{45, 60}, 20, {80}, kResting},
    };
    for (const auto& c : cases) {
        for (int nRate : c.aRate) {
            for (int nPr : c.aPr) {  // with a P wave of 80 ms
                const std::string strOptions = "--rate " + std::to_string(nRate) + " --delta " +
                                               std::to_string(c.nDelta) + " --pdur 40 --pr " +
                                               std::to_string(c.nDelta + nPr / 2 - 40) + c.strNoise;
                ExpectFirstAndNone(StatementsOfEveryRun(strOptions), strOptions,
                                   {SinusStatement(nRate), "Ventricular preexcitation(WPW)"},
                                   {"lutter", "Fibrillation", "AV Block", "Junctional",
                                    "Atrial Rhythm", "(possible)"});
            }
        }
    }
}

// No pre-excitation without a delta wave: 2:1 flutter whose wave slopes into every QRS, also
// where the flutter itself is not recognised, and slow, low 2:1 and 3:1 flutter.
TEST(OrdinaryPreexcitation, NoStatementWithoutADeltaWave) {
    for (const std::string& strOptions : std::vector<std::string>{
             "--rate 145 --p 0 --flutter 290:145 --flutteraxis -100" + kResting,
             "--rate 150 --p 0 --flutter 300:145 --flutteraxis -100" + kResting,
             "--rate 150 --p 0 --flutter 300:145 --flutteraxis -120",
             "--rate 145 --p 0 --flutter 290:145 --flutteraxis -90",
             "--rate 110 --p 0 --flutter 220:120" + kResting,
             "--rate 120 --p 0 --flutter 240:80 --flutteraxis 70",
             "--rate 80 --p 0 --flutter 240:80 --flutteraxis 70" + kResting}) {
        const auto runs = StatementsOfEveryRun(strOptions);
        for (std::size_t r = 0; r < runs.size(); ++r) {
            for (const auto& s : runs[r])
                EXPECT_EQ(s.find("preexcitation"), std::string::npos)
                    << strOptions << ", " << kRuns[r].name << ": " << s;
        }
    }
}

// The QRS of a complete right bundle branch block: RSR' in V1 and V2, wide S in I and V6.
const std::string kRbbb =
    " --V1 R:300:14,S:-600:14,R:900:24 --V2 R:300:14,S:-800:14,R:700:22 --limb R:1000:28,"
    "S:-400:30 --V5 R:1500:24,S:-500:30 --V6 R:1200:24,S:-500:30";

// Fibrillation reads as fibrillation with and without PVCs, also as real recordings show it:
// with a bundle branch block, fairly regular with alternating intervals, slow with small waves;
// an ectopic atrial rhythm with a premature beat is no fibrillation. A sinus rhythm with
// frequent PVCs, couplets or runs reads as sinus rhythm with its PVC statement; an early beat
// of another shape as narrow and as quick to rise as the sinus beats, without a P wave, came
// down the conduction system (a PJC), and couplets scattered among the sinus beats make no
// trigeminy.
TEST(OrdinaryEctopy, FibrillationAndSinusRhythmWithPvcs) {
    const struct {
        const char* name;
        std::string options;
        std::vector<std::string> expected;
        std::vector<std::string> forbidden;
    } cases[] = {
        {"AF", "--rate 90 --irregular 30 --p 0 --fib 40", {"Atrial Fibrillation"}, {"Sinus"}},
        {"AF with PVCs",
         "--p 0 --fib 40 --vaxis -120 --script "
         "J,J:700,J:900,V:450,J:950,J:650,J:820,V:500,J:1000,J:600,J:760,J:880",
         {"Atrial Fibrillation", "PVC(Premature Ventricular Contraction)"},
         {"Sinus"}},
        {"PVCs",
         "--script S,S:800,V:560,S:1040,S:800,V:560,S:1040,S:800,S:800,V:560,S:1040,S:800",
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"},
         {"Fibrillation", "lutter"}},
        {"couplets",
         "--script S,S:800,S:800,V:500,V:480,S:1100,S:800,S:800,V:500,V:480,S:1100,S:800",
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"},
         {"Fibrillation", "lutter"}},
        {"bigeminy",
         "--script S" + Repeat(",V:600,S:1000", 6),
         {"Normal Sinus Rhythm", "PVC Bigeminy"},
         {"Fibrillation", "lutter"}},
        {"trigeminy",
         "--script S,S:900" + Repeat(",V:540,S:1260,S:900", 4),
         {"Normal Sinus Rhythm", "PVC Trigeminy"},
         {"Fibrillation", "lutter"}},
        {"PVCs near half the beats, in couplets and runs",
         "--vamp 0.7 --first 60 --script "
         "S,S:800,S:800,V:500,V:480,V:460,S:1100,S:800,S:800,V:500,V:480,S:1100,V:500,V:480",
         {"Normal Sinus Rhythm", "short run of PVC"},
         {"Fibrillation", "lutter"}},
        {"AF with a right bundle branch block at 117",
         "--rate 117 --irregular 30 --p 0 --fib 60" + kRbbb,
         {"Atrial Fibrillation"},
         {"Sinus", "PVC", "PJC", "lutter"}},
        {"AF fairly regular, its intervals alternating",
         "--p 0 --fib 60 --script J,J:600,J:520,J:600,J:520,J:640,J:540,J:610,J:545,J:590,J:555,"
         "J:605,J:560,J:630,J:520,J:645,J:515",
         {"Atrial Fibrillation"},
         {"Sinus", "lutter"}},
        {"slow AF of small waves",
         "--rate 60 --irregular 15 --p 0 --fib 20",
         {"Atrial Fibrillation"},
         {"lutter", "Sinus"}},
        {"ectopic atrial rhythm with one premature beat",
         "--paxis -110 --script A,A:650,A:650,A:640,A:640,A:650,A:660,A:660,A:550,A:840,A:650,"
         "A:630,A:620,A:625",
         {"Atrial Rhythm"},
         {"Fibrillation", "lutter"}},
        {"a beat of its own shape as narrow as the sinus beats",
         "--vlimb R:1800:20,S:-300:16 --vchest R:1800:20,S:-300:16 --vaxis 60 --script S,S:800,"
         "S:800,S:800,V:480,S:1120,S:800,S:800,S:800,S:800,S:800",
         {"Normal Sinus Rhythm", "PJC(Premature Junctional Contraction)"},
         {"PVC", "PAC"}},
        {"ventricular couplets between sinus beats",
         "--script S" + Repeat(",V:500,V:480,S:1100", 4),
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"},
         {"Fibrillation", "lutter", "Bigeminy", "Trigeminy", "PJC", "PAC"}},
        {"couplets and single PVCs scattered among sinus beats",
         "--first 100 --script V,V:400,S:1000,V:400,S:1000,S:700,V:400,V:400,S:1000,V:400,S:1000,"
         "S:700,V:400,V:400",
         {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"},
         {"Trigeminy", "Bigeminy", "Fibrillation"}},
    };
    for (const auto& c : cases)
        ExpectFirstAndNone(StatementsOfEveryRun(c.options + kResting), c.name, c.expected,
                           c.forbidden);
}
