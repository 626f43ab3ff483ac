// The real engine programs on synthetic records of every rhythm kind: the statements they
// write, read back from the ".ksi" with the control's record reader, in order with the
// class text; the statement bytes of every language; the rhythm line of the report file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "ecg_control/ekgfile.h"
#include "ecg_engine/statement_tables.h"
#include "testsupport/testsupport.h"

extern char** environ;

using namespace ecg_engine;

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

void MakeRecord(const std::string& strPath, const std::string& strOptions) {
    int nStatus = -1;
    testsupport::RunCommand(std::string(ENGINE_PYTHON) + " " +
                                testsupport::ShellQuote(ECGSYNTH_SCRIPT) + " " +
                                testsupport::ShellQuote(strPath) + " " + strOptions,
                            &nStatus);
    ASSERT_EQ(nStatus, 0) << strOptions;
}

// Runs a program in the folder with standard input and output from /dev/null.
int RunIn(const std::string& strFolder, const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, strFolder.c_str());
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int nExit = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int nStatus = 0;
        waitpid(pid, &nStatus, 0);
        if (WIFEXITED(nStatus))
            nExit = WEXITSTATUS(nStatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    return nExit;
}

// The statements of the result file, as the control reads them.
std::vector<std::string> StatementsOf(const std::string& strKsi) {
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    EXPECT_TRUE(ReadEkgFile(strKsi, &wave, &info, &morph, 0)) << strKsi;
    const auto& a = info.GetStatements();
    return std::vector<std::string>(a.begin(), a.end());
}

std::vector<std::string> RunZorvik31(const testsupport::CTempDir& dir, const std::string& strOptions,
                                     const std::string& strLanguage = "0") {
    MakeRecord(dir / "rec.ekg", strOptions);
    EXPECT_EQ(RunIn(dir.Path(), {ZORVIK31_PATH, dir / "rec.ekg", "1", "1", "1", "0", "1",
                                 strLanguage}),
              0);
    return StatementsOf(dir / "rec.ksi");
}

struct SRhythmCase {
    const char* name;
    std::string options;
    std::vector<std::string> statements;  // in order, the class text last
    friend void PrintTo(const SRhythmCase& c, std::ostream* os) { *os << c.options; }
};

const char* const kNormal = "[ Normal ECG ]";
const char* const kMinimal = "[ Minimally Abnormal or Normal Variation ECG ]";
const char* const kModerate = "[ Moderately Abnormal ECG ]";
const char* const kMarked = "[ Markedly Abnormal ECG ]";

// Beat scripts: KIND:RR (ms before the beat):PR (ms); B is a P wave that is not conducted.
const std::string kPause = "S" + Repeat(",S:800", 4) + ",S:1400" + Repeat(",S:800", 4);
// Two sinus intervals and a little more: the measured intervals may differ by a sample.
const std::string kSaBlock = "S" + Repeat(",S:800", 4) + ",S:1610" + Repeat(",S:800", 4);
const std::string kWenckebach = "S::160" + Repeat(",S:880:240,S:880:320,B:640:160,S:800:160", 3);
const std::string kMobitz = "W::160" + Repeat(",W:800:160,W:800:160,B:800:160,W:780:160", 3);

const SRhythmCase kCases[] = {
    {"Sinus45", "--rate 45", {"Sinus Bradycardia(HR<50)", "Normal Axis", kModerate}},
    {"Sinus55", "--rate 55", {"Sinus Bradycardia(HR:50-59)", "Normal Axis", kMinimal}},
    {"Sinus75", "--rate 75", {"Normal Sinus Rhythm", "Normal Axis", kNormal}},
    {"Sinus110", "--rate 110", {"Sinus Tachycardia(HR:100-130)", "Normal Axis", "prolonged QT", kModerate}},
    // Ordinary PR and ST segments: the P wave follows the T wave closely at this rate.
    {"Sinus140", "--rate 140", {"Sinus Tachycardia(HR>130)", "Normal Axis", "prolonged QT", kModerate}},
    {"SinusArrhythmia",
     "--script S" + Repeat(",S:860,S:960,S:860,S:760", 3),
     {"Normal Sinus Rhythm(Sinus Arrhythmia)", "Normal Axis", kNormal}},
    {"SinusPause", "--script " + kPause,
     {"Normal Sinus Rhythm", "Sinus Pause(pause<=3.0sec)", "Normal Axis", kMinimal}},
    {"SinoatrialBlock", "--script " + kSaBlock, {"Normal Sinus Rhythm", "SA Block", "Normal Axis", kModerate}},
    {"AtrialFibrillation", "--rate 90 --irregular 30 --p 0 --fib 40",
     {"Atrial Fibrillation", "Normal Axis", kMarked}},
    {"AtrialFibrillationWithPvcs",
     "--p 0 --fib 40 --vaxis -120 --script "
     "J,J:700,J:900,V:450,J:950,J:650,J:820,V:500,J:1000,J:600,J:760,J:880",
     {"Atrial Fibrillation", "PVC(Premature Ventricular Contraction)", "Normal Axis", kMarked}},
    {"AtrialFlutter4to1", "--rate 75 --p 0 --flutter 300:150", {"Atrial Flutter", "Normal Axis", "Nonspecific intraventricular coduction delay", kMarked}},
    {"AvBlockFirstDegree", "--rate 70 --pr 75", {"Normal Sinus Rhythm", "AV Block I", "Normal Axis", kMinimal}},
    {"AvBlockWenckebach", "--script " + kWenckebach,
     {"Normal Sinus Rhythm", "AV Block II - type I", "Normal Axis", kModerate}},
    // Conducted with a wide QRS; the dropped beat leaves a pause as well.
    {"AvBlockMobitzII", "--script " + kMobitz,
     {"Normal Sinus Rhythm", "AV Block II - type II", "Sinus Pause(pause<=3.0sec)", "Normal Axis", "Nonspecific intraventricular coduction delay", "possible Anteroseptal MI", kMarked}},
    // Atria at 120 per minute, every second P wave blocked. The P search reaches 800 ms back
    // from the QRS end: the blocked P wave lies inside that and after a short ST and T.
    {"AvBlockTwoToOne", "--st 10 --script S::120" + Repeat(",B:500:120,S:500:120", 10),
     {"Normal Sinus Rhythm", "2:1 AV Block", "Normal Axis",
       "Nonspecific intraventricular coduction delay", kModerate}},
    // Atria at 70 per minute on their own, the ventricles escape.
    {"CompleteBlockJunctionalEscape", "--ptimeline 70 --script E" + Repeat(",E:1300", 7),
     {"Escape Junctional Rhythm", "Complete AV Block", "Normal Axis", kMarked}},
    {"CompleteBlockVentricularEscape", "--ptimeline 70 --script EV" + Repeat(",EV:1600", 6),
     {"Escape Ventricular Rhythm", "Complete AV Block", kMarked}},
    {"AtrialRhythm", "--rate 75 --paxis -70", {"Atrial Rhythm", "Normal Axis", kMinimal}},
    {"AtrialTachycardia", "--rate 115 --paxis -70", {"Atrial Tachycardia(HR:100-130)", "Normal Axis", "prolonged QT", kModerate}},
    {"JunctionalRhythm", "--rate 75 --p 0", {"Junctional Rhythm", "Normal Axis", kModerate}},
    {"Pac", "--script S" + Repeat(",S:800", 4) + ",S:600,S:1000" + Repeat(",S:800", 4),
     {"Normal Sinus Rhythm", "PAC(Premature Atrial Contraction)", "Normal Axis", kMinimal}},
    {"Pjc", "--script S" + Repeat(",S:800", 4) + ",J:600,S:1000" + Repeat(",S:800", 4),
     {"Normal Sinus Rhythm", "PJC(Premature Junctional Contraction)", "Normal Axis", kMinimal}},
    {"Pvc", "--script S" + Repeat(",S:800", 4) + ",V:560,S:1040" + Repeat(",S:800", 4),
     {"Normal Sinus Rhythm", "PVC(Premature Ventricular Contraction)", "Normal Axis", kMinimal}},
    // The sinus rhythm goes on beneath the single PVCs between its beats.
    {"PvcBigeminy", "--script S" + Repeat(",V:600,S:1000", 6),
     {"Normal Sinus Rhythm", "PVC Bigeminy", "Normal Axis",
      "ICRBBB(Incomplete Right Bundle Branch Block)", kModerate}},
    {"PvcTrigeminy", "--script S,S:900" + Repeat(",V:540,S:1260,S:900", 4),
     {"Normal Sinus Rhythm", "PVC Trigeminy", "Normal Axis", kModerate}},
    {"PvcRun", "--script S,S:900,S:900,V:450,V:450,V:450,S:1200,S:900,S:900,S:900",
     {"Normal Sinus Rhythm", "short run of PVC", "Normal Axis", kMarked}},
    {"VentricularTachycardia", "--script V" + Repeat(",V:400", 19),
     {"Ventricular Tachycardia", kMarked}},
    {"SlowVentricularTachycardia", "--script V" + Repeat(",V:550", 14),
     {"Slow Ventricular Tachycardia", kMarked}},
    {"EscapeJunctionalBeat", "--script S" + Repeat(",S:1100", 3) + ",E:1700" +
                                 Repeat(",S:1100", 3),
     {"Sinus Bradycardia(HR:50-59)", "Escape Junctional Beat", "Normal Axis", kModerate}},
    // Sinus and ectopic atrial P waves in turn: no finding, the regular run is named.
    {"PossibleFallback", "--script S" + Repeat(",A:830,S:830", 6),
     {"(possible)Normal Sinus Rhythm", "Normal Axis", kNormal}},
};

class RhythmTable : public ::testing::TestWithParam<SRhythmCase> {};

}  // namespace

TEST_P(RhythmTable, StatementsAsTheControlReadsThem) {
    testsupport::CTempDir dir;
    EXPECT_EQ(RunZorvik31(dir, GetParam().options), GetParam().statements);
}

INSTANTIATE_TEST_SUITE_P(Records, RhythmTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Frequent wide ventricular beats (120-160 ms, 0.6-1.5 mV): every beat is listed, the
// PVCs are stated, and no lead is taken for a poor one.
struct SWideCase {
    const char* name;
    std::string options;
    const char* pvcStatement;
    friend void PrintTo(const SWideCase& c, std::ostream* os) { *os << c.options; }
};

const SWideCase kWideCases[] = {
    {"Bigeminy06", "--vamp 0.6 --script S" + Repeat(",V:600,S:1000", 6), "PVC Bigeminy"},
    {"Bigeminy15", "--vamp 1.5 --script S" + Repeat(",V:560,S:1040", 6), "PVC Bigeminy"},
    {"Trigeminy", "--vamp 0.6 --script S,S:900" + Repeat(",V:540,S:1260,S:900", 4),
     "PVC Trigeminy"},
    {"Run", "--vamp 0.7 --script S,S:900,S:900,V:450,V:450,V:450,S:1200,S:900,S:900,S:900",
     "short run of PVC"},
    {"SingleWithCompensatoryPause",
     "--vamp 0.6 --script S" + Repeat(",S:800", 4) + ",V:560,S:1040" + Repeat(",S:800", 4),
     "PVC(Premature Ventricular Contraction)"},
    {"Wide120", "--vamp 0.6 --vlimb R:1000:26,S:-800:34 --vchest R:1000:26,S:-800:34 --script S" +
                    Repeat(",V:600,S:1000", 6),
     "PVC Bigeminy"},
    {"Wide160", "--vamp 0.6 --vlimb R:1000:34,S:-800:46 --vchest R:1000:34,S:-800:46 --script S" +
                    Repeat(",V:600,S:1000", 6),
     "PVC Bigeminy"},
};

class WideBeats : public ::testing::TestWithParam<SWideCase> {};

TEST_P(WideBeats, EveryBeatListedAndThePvcsStated) {
    testsupport::CTempDir dir;
    const auto statements = RunZorvik31(dir, GetParam().options);
    EXPECT_NE(std::find(statements.begin(), statements.end(), GetParam().pvcStatement),
              statements.end());
    for (const auto& s : statements)
        EXPECT_EQ(s.find("Poor data quality"), std::string::npos);

    // The QRS onsets of the result file against the generator's beats inside the record.
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(dir / "rec.ksi", &wave, &info, &morph, 0));
    const std::string json = testsupport::ReadFile(dir / "rec.ekg.json");
    std::vector<int> truth;
    for (std::size_t at = 0; (at = json.find("\"qrs_onset\": ", at)) != std::string::npos;) {
        at += 13;
        const int nOnset = std::atoi(json.c_str() + at);
        if (nOnset + 100 < 5000)
            truth.push_back(nOnset);
    }
    ASSERT_EQ(info.m_arrays.Count(2), static_cast<int>(truth.size()));
    for (std::size_t b = 0; b < truth.size(); ++b)
        EXPECT_NEAR(info.m_arrays.Value(2, static_cast<int>(b) + 1), truth[b], 25) << b;
}

INSTANTIATE_TEST_SUITE_P(Records, WideBeats, ::testing::ValuesIn(kWideCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RhythmTableOlderBuild, SinoatrialBlockIsItsRow32) {
    testsupport::CTempDir dir;
    MakeRecord(dir / "rec.ekg", "--script " + kSaBlock);
    ASSERT_EQ(RunIn(dir.Path(), {ZORVIK21_PATH, dir / "rec.ekg", "1", "1", "1", "0"}), 0);
    EXPECT_EQ(StatementsOf(dir / "rec.ksi"),
              (std::vector<std::string>{"Normal Sinus Rhythm", "SA Block", "Normal Axis", kModerate}));
    EXPECT_STREQ(Zorvik21RhythmStatementRows()[32], "SA Block");
}

class RhythmLanguages : public ::testing::TestWithParam<int> {};

TEST_P(RhythmLanguages, EachLanguageGivesItsOwnBytes) {
    const int nLanguage = GetParam();
    testsupport::CTempDir dir;
    const auto statements = RunZorvik31(dir, "--rate 45", std::to_string(nLanguage));
    // Other indexes give English.
    const int nTable = (nLanguage >= 0 && nLanguage < kStatementLanguages) ? nLanguage : 0;
    const char* const* rows = RhythmStatementRows(nTable);
    EXPECT_EQ(statements, (std::vector<std::string>{std::string(rows[2]) + "(HR<50)",
                                                   WaveformStatementRows(nTable)[11], rows[64]}));
    if (nLanguage == 1) {
        EXPECT_EQ(statements[0], "SINUS BRADYCARDIA(HR<50)");
    }
    if (nTable == 0) {
        EXPECT_EQ(statements[0], "Sinus Bradycardia(HR<50)");
    }
}

INSTANTIATE_TEST_SUITE_P(Indexes, RhythmLanguages, ::testing::Range(-1, 13));

TEST(RhythmReportFile, OneLinePerRunInTheWorkingFolder) {
    testsupport::CTempDir dir;
    MakeRecord(dir / "rec01.ekg", "--rate 45");
    MakeRecord(dir / "vt.ekg", "--script V" + Repeat(",V:400", 19));
    ASSERT_EQ(RunIn(dir.Path(), {ZORVIK31_PATH, dir / "rec01.ekg", "1", "1", "1", "0", "1", "0"}),
              0);
    ASSERT_EQ(RunIn(dir.Path(), {ZORVIK31_PATH, dir / "vt.ekg", "1", "1", "1", "0", "1", "0"}), 0);
    EXPECT_EQ(testsupport::ReadFile(dir / "1"),
              "\r\n- rec01 Rhy :  Sinus Bradycardia(HR<50)\r\n- rec01 Mor :  Normal Axis\r\n"
              "\r\n- vt Rhy :  Ventricular Tachycardia\r\n- vt Res :  markedly abnormal\r\n");

    // No report file can be made: the result files are still written.
    ASSERT_TRUE(testsupport::WriteFile(dir / "sub/keep", ""));
    ASSERT_EQ(RunIn(dir.Path(), {ZORVIK31_PATH, dir / "rec01.ekg", "sub", "1", "1", "0", "1", "0"}),
              0);
    EXPECT_EQ(testsupport::ReadFile(dir / "rec01.ksi").size(), 133400u);
}
