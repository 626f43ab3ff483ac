// The real engine programs on synthetic records of every waveform finding: the statements
// they write, read back from the ".ksi" with the control's record reader, in order with the
// class text; the slot layouts and statement bytes of the languages; the morphology line of
// the report file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ecg_engine/statement_tables.h"
#include "engine_runs.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;
using namespace ecg_engine_test;

namespace {

Texts RunZorvik31(const testsupport::CTempDir& dir, const std::string& strOptions,
                  const std::string& strLanguage = "0") {
    MakeRecord(dir / "rec.ekg", strOptions);
    EXPECT_EQ(
        RunIn(dir.Path(), {ZORVIK31_PATH, dir / "rec.ekg", "1", "1", "1", "0", "1", strLanguage}),
        0);
    return StatementsOf(dir / "rec.ksi");
}

const char* const kNormal = "[ Normal ECG ]";
const char* const kMinimal = "[ Minimally Abnormal or Normal Variation ECG ]";
const char* const kModerate = "[ Moderately Abnormal ECG ]";
const char* const kMarked = "[ Markedly Abnormal ECG ]";
const char* const kNsr = "Normal Sinus Rhythm";
const char* const kNa = "Normal Axis";

// Two-slot region statements: the control's reader trims the blanks of "  (%s)".

// Waveform shapes of the records (ecgsynth options).
const std::string kLeftAxis = "--axis -45 --limb R:250:12@110,R:1000:28@-45";
const std::string kRightAxis = "--axis 120 --limb R:250:12@-30,R:1000:28@120";
const std::string kNorthwest =
    "--axis -120 --paxis 60 --taxis 60 --limb R:250:12@20,R:1000:28@-120";
// Right bundle branch block: RSR' in V1, wide terminal S in the limb leads, V5 and V6; a PR
// of 170 ms.
const std::string kWideS =
    " --V1 R:300:14,S:-600:16,R:900:44 --V5 Q:-150:12,R:1600:22,S:-500:34"
    " --V6 Q:-150:12,R:1200:26,S:-400:34";
const std::string kRbbb = "--pr 40 --limb R:1000:28,S:-400:36" + kWideS;
const std::string kQsV1V3 = " --V1 S:-1000:40 --V2 S:-1200:40 --V3 S:-900:40";
const std::string kQ = "Q:-400:16,R:1000:20,S:-300:12";
const std::string kDelta = "--delta 40:0.4 --pr 60 --limb R:1000:28,S:-250:12";

struct SCase {
    const char* name;
    std::string options;
    Texts statements;  // in order, the class text last
    friend void PrintTo(const SCase& c, std::ostream* os) { *os << c.options; }
};

const SCase kCases[] = {
    {"Normal", "--rate 75", {kNsr, kNa, kNormal}},
    {"LeftAxis", "--rate 75 " + kLeftAxis, {kNsr, "Left Axis Deviation", kMinimal}},
    {"RightAxis", "--rate 75 " + kRightAxis, {kNsr, "Right Axis Deviation", kMinimal}},
    {"NorthwestAxis", "--rate 75 " + kNorthwest, {kNsr, "Northwest Axis", kModerate}},
    {"LowVoltageLimb",
     "--rate 75 --scale 0.4:1 " + kLeftAxis,
     {kNsr, "Low Voltage (Limb Leads)", "Left Axis Deviation",
      "*** Axis may be incorrect due to low voltage.", kMinimal}},
    {"LowVoltageChest",
     "--rate 75 --scale 1:0.5",
     {kNsr, "Low Voltage (Chest Leads)", kNa, "*** MI may be incorrect due to low voltage.",
      kModerate}},
    {"LowVoltageQrs",
     "--rate 75 --scale 0.3:0.5",
     {kNsr, "Low Voltage QRS", kNa, "*** Axis and MI may be incorrect due to low voltage.",
      kModerate}},
    {"Lvh",
     "--rate 75 --V5 R:3000:28,S:-300:20",
     {kNsr, kNa, "LVH(Left Ventricular Hypertrophy)", kModerate}},
    {"LvhWithRightAxis",
     "--rate 75 --V5 R:3000:28,S:-300:20 " + kRightAxis,
     {kNsr, "Right Axis Deviation", "Biventricular Hypertrophy", kMarked}},
    {"Rvh",
     "--rate 75 " + kRightAxis + " --V1 R:900:20,S:-300:20 --V5 R:300:20,S:-1200:20",
     {kNsr, "Right Axis Deviation", "RVH(Right Ventricular Hypertrophy)", kModerate}},
    {"ProbableRvh",
     "--rate 75 " + kRightAxis + " --V5 R:300:20,S:-1200:20",
     {kNsr, "Right Axis Deviation", "probable RVH", kMinimal}},
    {"Rae", "--rate 75 --plead II:300", {kNsr, kNa, "RAE(Right Atrial Enlargement)", kModerate}},
    // Notched 120 ms P in II, negative P in V1.
    {"Lae",
     "--rate 75 --plead V1:-150 --pdur 60 --pnotch",
     {kNsr, kNa, "LAE(Left Atrial Enlargement)", kModerate}},
    {"Biatrial",
     "--rate 75 --plead II:320,V1:-150 --pdur 60",
     {kNsr, kNa, "Biatrial Enlargement", kMarked}},
    {"Crbbb",
     "--rate 75 " + kRbbb,
     {kNsr, kNa, "CRBBB(Complete Right Bundle Branch Block)", kMinimal}},
    {"Icrbbb",
     "--rate 75 --V1 R:300:12,S:-600:14,R:600:20",
     {kNsr, kNa, "ICRBBB(Incomplete Right Bundle Branch Block)", kNormal}},
    // Initial 64 ms along -45 and along 110 degrees.
    {"RbbbLafb",
     "--rate 75 --pr 40 --limb R:800:32@-45,S:-400:36@120" + kWideS,
     {kNsr, "Left Axis Deviation", "Bifascicular block (RBBB + LAFB)", kModerate}},
    {"RbbbLpfb",
     "--rate 75 --pr 40 --limb R:800:32@110,S:-400:36@-60" + kWideS,
     {kNsr, "Right Axis Deviation", "Bifascicular block (RBBB + LPFB)", kModerate}},
    // LBBB with LVH voltages, QS in V1-V3 and inverted T in V4-V6: only the block is stated.
    {"Lbbb",
     "--rate 75 --pr 40 --limb R:1200:70 --V1 S:-1500:70 --V2 S:-1800:70 --V3 S:-1500:70"
     " --V5 R:3000:70 --V6 R:3000:70 --tlead V4:-300,V5:-300,V6:-300",
     {kNsr, kNa, "LBBB(Left Bundle Branch Block)", kModerate}},
    {"Nivcd",
     "--rate 75 --pr 40 --limb R:1000:40,S:-250:30 --V1 R:200:24,S:-1200:40",
     {kNsr, kNa, "Nonspecific intraventricular coduction delay", kMinimal}},
    {"AnteroseptalMi", "--rate 75" + kQsV1V3, {kNsr, kNa, "Anteroseptal MI", kMarked}},
    {"PossibleAnteroseptalMi",
     "--rate 75 --V1 S:-1000:40 --V2 S:-1200:40",
     {kNsr, kNa, "possible Anteroseptal MI", kMarked}},
    {"AnteriorMi", "--rate 75 --V4 " + kQ + " --V5 " + kQ, {kNsr, kNa, "Anterior MI", kMarked}},
    {"AnterolateralMi",
     "--rate 75 --V4 " + kQ + " --V5 " + kQ + " --V6 " + kQ,
     {kNsr, kNa, "Anterolateral MI", kMarked}},
    {"HighLateralMi",
     "--rate 75 --limb R:500:20@150,R:1000:28@60",
     {kNsr, kNa, "High lateral MI", kMarked}},
    {"LateralMi", "--rate 75 --V5 " + kQ + " --V6 " + kQ, {kNsr, kNa, "Lateral MI", kMarked}},
    {"InferiorMi",
     "--rate 75 --limb R:500:20@-90,R:1000:28@60",
     {kNsr, kNa, "Inferior MI", kMarked}},
    {"PosteriorMi",
     "--rate 75 --V1 R:1000:16,S:-400:20 --V2 R:1500:16,S:-500:20",
     {kNsr, kNa, "Posterior MI", kMarked}},
    {"AnteriorExtensiveMi",
     "--rate 75" + kQsV1V3 + " --V4 " + kQ + " --V5 " + kQ + " --V6 " + kQ,
     {kNsr, kNa, "Anterior extensive MI", kMarked}},
    // ST levels on a plateau of 100 ms after the J point.
    {"StDepression",
     "--rate 75 --st 50 --stlead II:-200",
     {kNsr, kNa, "ST abnormality, possible subendocardial ischemia(Inferior)", kModerate}},
    {"StDepressionTwoRegions",
     "--rate 75 --st 50 --stlead II:-200,V1:-250,V2:-250,V3:-250",
     {kNsr, kNa, "ST abnormality, possible subendocardial ischemia", "(Inferior,Anteroseptal)",
      kModerate}},
    {"StElevation",
     "--rate 75 --st 50 --stlead II:250",
     {kNsr, kNa, "ST abnormality, possible transmural injury(Inferior)", kMarked}},
    {"StElevationTwoRegions",
     "--rate 75 --st 50 --stlead II:250,V1:350,V2:350,V3:350",
     {kNsr, kNa, "ST abnormality, possible transmural injury", "(Inferior,Anteroseptal)", kMarked}},
    {"TInversion",
     "--rate 75 --tlead II:-400",
     {kNsr, kNa, "T wave inversion, possible Myocardial ischemia(Inferior)", kModerate}},
    {"TInversionTwoRegions",
     "--rate 75 --tlead II:-400,V1:-400,V2:-400",
     {kNsr, kNa, "T wave inversion, possible Myocardial ischemia", "(Inferior,Anteroseptal)",
      kModerate}},
    // The engine measures QTc 478 ms on the first record, 469 ms on the second.
    {"ProlongedQt", "--rate 75 --qt 430", {kNsr, kNa, "prolonged QT", kModerate}},
    {"QtcBelowTheLimit", "--rate 75 --qt 420", {kNsr, kNa, kNormal}},
    // The ST depression sits 60 ms after the J point and fades into the T wave by 80 ms:
    // above 120 per minute the 60 ms level is judged, at 120 the 80 ms level.
    {"StAt60msAbove120",
     "--rate 121 --qt 300 --stlead II:-200",
     {"Sinus Tachycardia(HR:100-130)", kNa,
      "ST abnormality, possible subendocardial ischemia(Inferior)", kModerate}},
    {"StAt80msAt120",
     "--rate 120 --qt 300 --stlead II:-200",
     {"Sinus Tachycardia(HR:100-130)", kNa, kMinimal}},
};

class MorphologyTable : public ::testing::TestWithParam<SCase> {};

}  // namespace

TEST_P(MorphologyTable, StatementsAsTheControlReadsThem) {
    testsupport::CTempDir dir;
    EXPECT_EQ(RunZorvik31(dir, GetParam().options), GetParam().statements);
}

INSTANTIATE_TEST_SUITE_P(Records, MorphologyTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Delta wave with a right bundle branch pattern and inverted T in V1-V3: sinus rhythm and
// pre-excitation; no block, no ST-T statement, and no flutter or ectopic atrial rhythm from a
// P wave that would end on the delta upstroke. The QT of 340 ms counts from the delta wave's
// start.
TEST(MorphologyTable, WpwWithRbbbReadsSinusRhythmAndPreexcitation) {
    testsupport::CTempDir dir;
    const Texts statements = RunZorvik31(
        dir, "--rate 75 --qt 260 " + kDelta + kWideS + " --tlead V1:-400,V2:-400,V3:-400");
    EXPECT_EQ(statements, (Texts{kNsr, kNa, "Ventricular preexcitation(WPW)", kModerate}));
}

namespace {

const char* W(int nLanguage, int nRow) {
    return WaveformStatementRows(nLanguage)[nRow];
}
const char* R(int nLanguage, int nRow) {
    return RhythmStatementRows(nLanguage)[nRow];
}

}  // namespace

TEST(MorphologyLanguages, SlotLayoutsOfChineseAndRussian) {
    testsupport::CTempDir dir;
    const std::string strOne = "--rate 75 --st 50 --stlead II:-200";
    const std::string strTwo = "--rate 75 --st 50 --stlead II:-200,V1:-250,V2:-250,V3:-250";
    const std::string strList = std::string(W(2, 42)) + "," + W(2, 43);
    EXPECT_EQ(RunZorvik31(dir, strOne, "2"),
              (Texts{R(2, 3), W(2, 11), std::string(W(2, 36)) + "(" + W(2, 42) + ")", R(2, 64)}));
    EXPECT_EQ(RunZorvik31(dir, strTwo, "2"),
              (Texts{R(2, 3), W(2, 11), std::string(W(2, 36)) + "(" + strList + ")", R(2, 64)}));
    const std::string strListRu = std::string(W(5, 42)) + "," + W(5, 43);
    // The control's reader trims the blanks before "(" that the result file holds.
    EXPECT_EQ(RunZorvik31(dir, strOne, "5"),
              (Texts{R(5, 3), W(5, 11), W(5, 36), std::string("(") + W(5, 42) + ")", R(5, 64)}));
    EXPECT_NE(testsupport::ReadFile(dir / "rec.ksi").find(std::string("  (") + W(5, 42) + ")"),
              std::string::npos);
    EXPECT_EQ(RunZorvik31(dir, strTwo, "5"),
              (Texts{R(5, 3), W(5, 11), W(5, 36), "(" + strListRu + ")", R(5, 64)}));
    EXPECT_NE(testsupport::ReadFile(dir / "rec.ksi").find("  (" + strListRu + ")"),
              std::string::npos);
}

class MorphologyLanguageBytes : public ::testing::TestWithParam<int> {};

TEST_P(MorphologyLanguageBytes, ConvertedRowsWithEnglishCaveatAndExtensiveMi) {
    const int nLanguage = GetParam();
    testsupport::CTempDir dir;
    const auto statements = RunZorvik31(
        dir, "--rate 75 --scale 0.4:0.6" + kQsV1V3 + " --V4 " + kQ + " --V5 " + kQ + " --V6 " + kQ,
        std::to_string(nLanguage));
    EXPECT_EQ(statements,
              (Texts{R(nLanguage, 3), W(nLanguage, 17), W(nLanguage, 11), "Anterior extensive MI",
                     "*** Axis and MI may be incorrect due to low voltage.", R(nLanguage, 63)}));
}

INSTANTIATE_TEST_SUITE_P(Languages, MorphologyLanguageBytes,
                         ::testing::Range(0, kStatementLanguages));

TEST(MorphologyOlderBuild, SameSelectionInEnglishWithoutReportLine) {
    testsupport::CTempDir dir;
    MakeRecord(dir / "rec.ekg", "--rate 75 --st 50 --stlead II:-200,V1:-250,V2:-250,V3:-250");
    ASSERT_EQ(RunIn(dir.Path(), {ZORVIK21_PATH, dir / "rec.ekg", "1", "1", "1", "0"}), 0);
    EXPECT_EQ(StatementsOf(dir / "rec.ksi"),
              (Texts{kNsr, kNa, "ST abnormality, possible subendocardial ischemia",
                     "(Inferior,Anteroseptal)", kModerate}));
    EXPECT_EQ(testsupport::ReadFile(dir / "1").find("Mor"), std::string::npos);
}

TEST(MorphologyReportFile, LinesOfTheRunsInTheWorkingFolder) {
    testsupport::CTempDir dir;
    MakeRecord(dir / "rec01.ekg", "--rate 75 --V5 R:3000:28,S:-300:20");
    MakeRecord(dir / "a.b.ekg", "--rate 75 --scale 0.4:1 " + kLeftAxis);
    MakeRecord(dir / "vt.ekg", "--script V" + Repeat(",V:400", 19));
    for (const char* pszName : {"rec01.ekg", "a.b.ekg", "vt.ekg"})
        ASSERT_EQ(RunIn(dir.Path(), {ZORVIK31_PATH, dir / pszName, "2", "1", "1", "0", "1", "0"}),
                  0);
    EXPECT_EQ(testsupport::ReadFile(dir / "2"),
              "\r\n- rec01 Rhy :  Normal Sinus Rhythm\r\n"
              "- rec01 Mor :  Normal Axis, LVH(Left Ventricular Hypertrophy)\r\n"
              "\r\n- a.b Rhy :  Normal Sinus Rhythm\r\n"
              "- a Mor :  Low Voltage (Limb Leads), Left Axis Deviation\r\n"
              "*** Axis may be incorrect due to low voltage.\r\n"
              "\r\n- vt Rhy :  Ventricular Tachycardia\r\n- vt Res :  markedly abnormal\r\n");
    // The ventricular tachycardia has no waveform statement.
    EXPECT_EQ(StatementsOf(dir / "vt.ksi"), (Texts{"Ventricular Tachycardia", kMarked}));
}

// Hostile and damaged records run the whole engine, the waveform stage included, without a
// sanitizer report (which would end the program with exit code 1 or a signal).
TEST(MorphologyHostileRecords, RunTheWholeEngineClean) {
    testsupport::CTempDir dir;
    const std::vector<std::string> options = {
        "--random --seed 3",
        "--random --seed 4",
        "--rate 70 --saturate",
        "--rate 70 --spikes 40 --noise 30",
        "--rate 70 --truncate 60000",
        "--rate 300 --p 0 --t 0 --limb R:1000:14,S:-250:10",
        "--rate 60 --scale 0.02 --p 0 --t 0",
        "--rate 75 --hum 200 --drift 400 --noise 20 " + kDelta + kWideS,
    };
    int n = 0;
    for (const auto& strOptions : options) {
        const std::string strName = "h" + std::to_string(n++) + ".ekg";
        MakeRecord(dir / strName, strOptions);
        const int nExit =
            RunIn(dir.Path(), {ZORVIK31_PATH, dir / strName, "1", "1", "1", "0", "1", "0"});
        EXPECT_TRUE(nExit == 0 || nExit == 255) << strOptions << " exit " << nExit;
    }
    // Damaged copies of a record with many findings: bytes flipped at seeded places.
    MakeRecord(dir / "base.ekg",
               "--rate 75 --plead II:300" + kQsV1V3 + " --st 50 --stlead II:-200");
    const std::string strBase = testsupport::ReadFile(dir / "base.ekg");
    ASSERT_FALSE(strBase.empty());
    std::uint32_t nSeed = 12345;
    for (int k = 0; k < 6; ++k) {
        std::string strDamaged = strBase;
        for (int i = 0; i < 400; ++i) {
            nSeed = nSeed * 1103515245u + 12345u;
            strDamaged[(nSeed >> 4) % strDamaged.size()] = static_cast<char>(nSeed >> 24);
        }
        const std::string strName = "f" + std::to_string(k) + ".ekg";
        ASSERT_TRUE(testsupport::WriteFile(dir / strName, strDamaged));
        const int nExit =
            RunIn(dir.Path(), {ZORVIK31_PATH, dir / strName, "1", "1", "1", "0", "1", "0"});
        EXPECT_TRUE(nExit == 0 || nExit == 255) << strName << " exit " << nExit;
    }
}
