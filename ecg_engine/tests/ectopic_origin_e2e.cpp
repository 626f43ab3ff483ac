// Both engine programs, in every analysis mode, on records with beats unlike the dominant one:
// where such a beat came from. A narrow QRS (96 ms here) went down the conduction system
// whatever its shape, so narrow beats without a P wave are junctional, singly or in runs, and
// never ventricular; a wide beat of its own shape is a PVC only when it comes early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_runs.h"

using namespace ecg_engine_test;

namespace {

// Beats of their own shape along -70 degrees and without a P wave, 96 ms long.
const std::string kNarrowOwnShape =
    "--vlimb R:1000:20,S:-800:28 --vchest R:1000:20,S:-800:28 --script ";

struct SOriginCase {
    const char* name;
    std::string options;
    std::vector<std::string> expected;  // the first statement, then others it must also hold
    std::vector<std::string> forbidden;
    friend void PrintTo(const SOriginCase& c, std::ostream* os) { *os << c.options; }
};

const SOriginCase kCases[] = {
    // Seven of them at the sinus rate between sinus beats: no ventricular rhythm and no block
    // (the P waves stop; none is left unconducted). The sinus rhythm is named, not the
    // junctional run beside it.
    {"NarrowRunAtTheSinusRate",
     kNarrowOwnShape + "S,S:800,S:800" + Repeat(",V:800", 7) + ",S:800,S:800",
     {"Normal Sinus Rhythm"},
     {"Ventricular", "AV Block", "PVC"}},
    // Eight at 150 per minute: junctional beats beside the sinus rhythm, no ventricular
    // tachycardia.
    {"NarrowRunAt150",
     kNarrowOwnShape + "S,S:800,S:800" + Repeat(",V:400", 8) + ",S:800,S:800,S:800",
     {"Sinus Tachycardia(HR:100-130)"},
     {"Ventricular", "AV Block", "PVC"}},
    // One early: a PJC.
    {"NarrowPremature",
     kNarrowOwnShape + "S" + Repeat(",S:800", 4) + ",V:560,S:1040" + Repeat(",S:800", 4),
     {"Normal Sinus Rhythm", "PJC(Premature Junctional Contraction)"},
     {"Ventricular", "PVC"}},
    // Measured narrow (114 ms), but rising over 58 ms as a beat that spreads through the
    // ventricles' muscle does: a PVC.
    {"SlowRisePremature",
     "--vlimb R:1500:58 --vchest R:1500:58 --vaxis 60 --script S" + Repeat(",S:800", 4) +
         ",V:560,S:1040" + Repeat(",S:800", 4),
     {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"},
     {"Ventricular Rhythm", "Junctional", "PJC"}},
    // A wide beat of its own shape 1.1 and 1.125 times the sinus interval after the beat before
    // it: not premature, so no PVC.
    {"WideLate880",
     "--script S" + Repeat(",S:800", 4) + ",V:880,S:720" + Repeat(",S:800", 4),
     {"Normal Sinus Rhythm"},
     {"PVC", "Ventricular"}},
    {"WideLate900",
     "--script S" + Repeat(",S:800", 4) + ",V:900,S:800" + Repeat(",S:800", 3),
     {"Normal Sinus Rhythm"},
     {"PVC", "Ventricular"}},
    // Early by a tenth of the sinus interval and more: a PVC.
    {"WideEarly680",
     "--script S" + Repeat(",S:800", 4) + ",V:680,S:920" + Repeat(",S:800", 4),
     {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)"},
     {"Ventricular Rhythm", "Junctional", "PJC"}},
};

class EctopicOrigin : public ::testing::TestWithParam<SOriginCase> {};

TEST_P(EctopicOrigin, StatedAsWhereTheBeatsCameFrom) {
    const SOriginCase& c = GetParam();
    ExpectFirstAndNone(StatementsOfEveryRun(c.options), c.name, c.expected, c.forbidden);
}

INSTANTIATE_TEST_SUITE_P(Records, EctopicOrigin, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
