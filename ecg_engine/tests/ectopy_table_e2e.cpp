// Both engine programs, in every analysis mode, on records of an ordinary resting ECG that
// repeat what real recordings showed: fibrillation with a bundle branch block, fibrillation
// whose intervals alternate fairly regularly, slow fibrillation of small waves, an ectopic
// atrial rhythm with one premature beat, a ventricular beat as narrow as the sinus beats, and
// ventricular couplets among sinus beats. Fibrillation reads as fibrillation and nothing else
// does; a ventricular beat reads as a PVC by its QRS, whatever its width; the sinus rhythm
// beneath couplets is named, and scattered couplets make no trigeminy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_runs.h"

using namespace ecg_engine_test;

namespace {

const std::string kResting = " --noise 10 --drift 150 --seed 3";
// The QRS of a complete right bundle branch block: RSR' in V1 and V2, wide S in I and V6.
const std::string kRbbb =
    " --V1 R:300:14,S:-600:14,R:900:24 --V2 R:300:14,S:-800:14,R:700:22 --limb R:1000:28,"
    "S:-400:30 --V5 R:1500:24,S:-500:30 --V6 R:1200:24,S:-500:30";
const char* const kPvc = "PVC(Premature Ventricular Contraction)";

}  // namespace

TEST(OrdinaryEctopy, FibrillationAndVentricularBeatsAsRealRecordingsShowThem) {
    const struct {
        const char* name;
        std::string options;
        std::vector<std::string> expected;
        std::vector<std::string> forbidden;
    } cases[] = {
        {"AF with a right bundle branch block at 117",
         "--rate 117 --irregular 30 --p 0 --fib 60" + kRbbb,
         {"Atrial Fibrillation"},
         {"Sinus", "PVC", "PJC", "lutter"}},
        {"AF fairly regular, its intervals alternating",
         "--p 0 --fib 60 --script J,J:600,J:520,J:600,J:520,J:640,J:540,J:610,J:545,J:590,J:555,"
         "J:605,J:560,J:630,J:520,J:645,J:515",
         {"Atrial Fibrillation"},
         {"Sinus", "lutter"}},
        {"slow AF of small waves", "--rate 60 --irregular 15 --p 0 --fib 20",
         {"Atrial Fibrillation"},
         {"lutter", "Sinus"}},
        {"ectopic atrial rhythm with one premature beat",
         "--paxis -110 --script A,A:650,A:650,A:640,A:640,A:650,A:660,A:660,A:550,A:840,A:650,"
         "A:630,A:620,A:625",
         {"Atrial Rhythm"},
         {"Fibrillation", "lutter"}},
        {"a ventricular beat as narrow as the sinus beats",
         "--vlimb R:1800:20,S:-300:16 --vchest R:1800:20,S:-300:16 --vaxis 60 --script S,S:800,"
         "S:800,S:800,V:480,S:1120,S:800,S:800,S:800,S:800,S:800",
         {"Normal Sinus Rhythm", kPvc},
         {"PJC", "PAC"}},
        {"ventricular couplets between sinus beats",
         "--script S" + Repeat(",V:500,V:480,S:1100", 4),
         {"Normal Sinus Rhythm", kPvc},
         {"Fibrillation", "lutter", "Bigeminy", "Trigeminy", "PJC", "PAC"}},
        {"couplets and single PVCs scattered among sinus beats",
         "--first 100 --script V,V:400,S:1000,V:400,S:1000,S:700,V:400,V:400,S:1000,V:400,S:1000,"
         "S:700,V:400,V:400",
         {"Normal Sinus Rhythm", kPvc},
         {"Trigeminy", "Bigeminy", "Fibrillation"}},
    };
    for (const auto& c : cases)
        ExpectFirstAndNone(StatementsOfEveryRun(c.options + kResting), c.name, c.expected,
                           c.forbidden);
}
