// Both engine programs, in every analysis mode, on records whose intervals are irregular while
// the atria beat in order: clear P waves before every beat whose PR and axis wander (a
// wandering or multifocal atrial pacemaker, some of its P waves inverted), and premature atrial
// beats in a sinus rhythm.
// None of them is atrial fibrillation; each reads as its beat types give it: P waves of sinus
// axes make a sinus rhythm, those of ectopic axes an atrial rhythm, above 100 a minute a
// multifocal atrial tachycardia (the one reading of these of the highest severity).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_runs.h"

using namespace ecg_engine_test;

namespace {

const std::string kResting = " --noise 10 --drift 150 --seed 3";

// Beats of one kind with their intervals, PR intervals and P axes: RR, PR in ms, axis in degrees.
std::string Script(const char* pszKind, const std::vector<int>& rr, const std::vector<int>& pr,
                   const std::vector<int>& axes) {
    std::string s = "--script ";
    for (std::size_t k = 0; k < rr.size(); ++k) {
        s += (k ? "," : "") + std::string(pszKind) + ":" + (k ? std::to_string(rr[k]) : "") + ":" +
             std::to_string(pr[k % pr.size()]) + ":" + std::to_string(axes[k % axes.size()]);
    }
    return s;
}

// PR from 120 to 210 ms in no order.
const std::vector<int> kWanderingPr = {150, 200, 130, 180, 120, 210, 140, 190, 160, 120, 200, 130};

}  // namespace

TEST(AtrialActivity, OrderedAtriaAboveIrregularIntervalsAreNoFibrillation) {
    const std::vector<int> rr = {0, 760, 900, 700, 840, 980, 720, 860, 780, 940, 700, 880, 820};
    const std::vector<int> fast = {0,   520, 600, 480, 580, 640, 500, 590, 530,
                                   620, 480, 600, 560, 510, 610, 540, 500, 590};
    const struct {
        const char* name;
        std::string options;
        const char* first;  // nullptr: any reading but fibrillation
        bool bMarked = false;  // the reading is of the highest severity
    } cases[] = {
        {"P axes wandering among sinus directions",
         Script("S", rr, kWanderingPr, {20, 90, 0, 110, 40, 80, 10, 100, 30, 70, 0, 90}),
         "Normal Sinus Rhythm"},
        {"P waves upright but for one in three, inverted, at a wandering PR",
         Script("S", rr, kWanderingPr, {60, 60, -120}), nullptr},
        {"P axes of ectopic foci, 75 a minute",
         Script("A", rr, kWanderingPr, {-90, -150, -100, -160, -80, -130, -95, -170, -110, -140}),
         "Atrial Rhythm"},
        {"P axes of ectopic foci, 110 a minute",
         Script("A", fast, kWanderingPr, {-90, -150, -100, -160, -80, -130, -95, -170, -110, -140}),
         nullptr, true},  // Zorvik31: "Multifocal Atrial Tachycardia", Zorvik21 "Atrial Tachycardia"
        {"sinus rhythm with premature atrial beats",
         "--p 100 --aaxis -100 --script S,S:900,A:620,S:1180,S:900,S:910,A:600,S:1200,S:890,"
         "A:640,S:1160,S:900,S:900",
         "Normal Sinus Rhythm"},
        {"the same with P waves too small to find",
         "--p 30 --aaxis -100 --script S,S:900,A:620,S:1180,S:900,S:910,A:600,S:1200,S:890,"
         "A:640,S:1160,S:900,S:900",
         nullptr},
    };
    for (const auto& c : cases) {
        std::vector<std::string> forbidden = {"Fibrillation", "lutter"};
        // Only a statement of the highest severity makes the record markedly abnormal.
        if (!c.bMarked)
            forbidden.push_back("Markedly Abnormal");
        ExpectFirstAndNone(StatementsOfEveryRun(c.options + kResting), c.name,
                           c.first ? std::vector<std::string>{c.first} : std::vector<std::string>{},
                           forbidden);
    }
}
