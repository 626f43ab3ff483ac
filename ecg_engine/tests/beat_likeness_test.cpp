// Each QRS matched against the dominant beat's (QrsLikeness) on synthetic records whose beat
// kinds are known: ventricular beats stand apart from the sinus beats also where they are as
// narrow, or more of them than of the sinus beats; beats of one kind match each other in the
// noise and wander of an ordinary resting ECG.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "synth_record.h"

using namespace ecg_engine;
using namespace ecg_engine_test;

TEST(QrsLikeness, VentricularBeatsStandApartFromTheDominantBeat) {
    const struct {
        const char* name;
        std::string script;
        std::vector<std::string> extra;
    } cases[] = {
        {"one ventricular beat", "S,S:800,S:800,S:800,V:560,S:1040,S:800,S:800,S:800,S:800", {}},
        {"a ventricular beat as narrow as the sinus beats",
         "S,S:800,S:800,S:800,V:480,S:1120,S:800,S:800,S:800,S:800",
         {"--vlimb", "R:1800:20,S:-300:16", "--vchest", "R:1800:20,S:-300:16", "--vaxis", "60"}},
        {"more ventricular beats than sinus beats",
         "S,V:500,V:480,S:1100,V:500,V:480,S:1100,V:500,V:480,S:1100,V:500,V:480,S:1100",
         {}},
        {"sinus rhythm, no ventricular beat", "S,S:900,S:800,S:860,S:900,S:840,S:880,S:800", {}},
    };
    for (const auto& c : cases) {
        testsupport::CTempDir dir;
        const std::string path = dir / "rec.raw";
        // An ordinary resting ECG's noise and wander.
        std::vector<std::string> args = {"--script", c.script, "--noise", "10", "--drift", "150",
                                         "--seed", "3"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        MakeSynthRecord(path, args);
        auto d = RunEngineOn(path, "1");
        std::vector<char> kinds;
        for (std::size_t k = 0; k < c.script.size(); ++k) {
            if (c.script[k] == 'S' || c.script[k] == 'V')
                kinds.push_back(c.script[k]);
        }
        ASSERT_EQ(d->BeatCount, static_cast<int>(kinds.size())) << c.name;
        EXPECT_EQ(d->Measurements.QrsLikeness[0], d->BeatCount) << c.name;
        for (int i = 1; i <= d->BeatCount; ++i) {
            const int nLike = d->Measurements.QrsLikeness[i];
            if (kinds[i - 1] == 'V')
                EXPECT_LT(nLike, 60) << c.name << ", beat " << i;
            else
                EXPECT_GE(nLike, 90) << c.name << ", beat " << i;
        }
    }
}

// The activation time (QRS onset to the first peak or trough of lead II) of sinus beats and of
// beats of their own shape, narrow and quick, or measured narrow yet rising slowly.
TEST(QrsActivationTime, SlowOnlyWhereTheQrsRisesSlowly) {
    const std::string script = "S,S:800,S:800,S:800,V:560,S:1040,S:800,S:800,S:800,S:800";
    const struct {
        const char* name;
        std::string lobes;
        int nVentricularMin, nVentricularMax;
    } cases[] = {
        {"quick, 96 ms", "R:1000:20,S:-800:28", 0, 40},
        {"slow, 116 ms", "R:1500:58", 50, 70},
    };
    for (const auto& c : cases) {
        testsupport::CTempDir dir;
        const std::string path = dir / "rec.raw";
        MakeSynthRecord(path, {"--script", script, "--vlimb", c.lobes, "--vchest", c.lobes,
                               "--vaxis", "60", "--noise", "10", "--drift", "150", "--seed", "3"});
        auto d = RunEngineOn(path, "1");
        ASSERT_EQ(d->BeatCount, 10) << c.name;
        EXPECT_EQ(d->Measurements.QrsActivationTime[0], d->BeatCount) << c.name;
        for (int i = 1; i <= d->BeatCount; ++i) {
            const int nTime = d->Measurements.QrsActivationTime[i];
            if (i == 5) {
                EXPECT_GE(nTime, c.nVentricularMin) << c.name;
                EXPECT_LE(nTime, c.nVentricularMax) << c.name;
            } else {
                EXPECT_LT(nTime, 40) << c.name << ", beat " << i;
            }
        }
    }
}
