// The ".ksi" result file of whole runs: opened with the ECG control's record reader, compared
// byte for byte with the record fixture generator's own writer, and a run whose result file
// cannot be written completely.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>

#include "ecg_control/ekgfile.h"
#include "ecg_engine/engine.h"
#include "ecg_engine/stages.h"
#include "record_fixture.h"
#include "testsupport/testsupport.h"

using namespace ecg_engine;

namespace {

// A synthetic record with known beats written by the generator of the engine's tests.
std::string MakeSynthRecord(const testsupport::CTempDir& dir, const std::string& strName,
                            const std::string& strOptions) {
    const std::string strPath = dir / strName;
    int nStatus = -1;
    testsupport::RunCommand(std::string(ENGINE_PYTHON) + " " +
                                testsupport::ShellQuote(ECGSYNTH_SCRIPT) + " " +
                                testsupport::ShellQuote(strPath) + " " + strOptions,
                            &nStatus);
    EXPECT_EQ(nStatus, 0);
    return strPath;
}

int RunEngineInProcess(CEngineData& d, const std::string& strInput) {
    std::vector<std::string> args = {"Zorvik31", strInput, "1", "3", "1", "0", "1", "0"};
    std::vector<char*> argv;
    for (auto& s : args)
        argv.push_back(s.data());
    ecg_engine_test::CWorkingFolder folder(ecg_engine_test::FolderOf(strInput));
    return EngineMain(d, static_cast<int>(argv.size()), argv.data());
}

// Runs a program with stdin from /dev/null and, when nFileLimit > 0, a file size limit.
int RunProgram(const std::vector<std::string>& args, long nFileLimit) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open("/dev/null", O_RDWR);
        ::dup2(fd, 0);
        ::dup2(fd, 1);
        // The report file goes to the working folder: the input's folder here.
        if (args.size() > 1)
            (void)!::chdir(ecg_engine_test::FolderOf(args[1]).c_str());
        if (nFileLimit > 0) {
            rlimit lim{static_cast<rlim_t>(nFileLimit), static_cast<rlim_t>(nFileLimit)};
            ::setrlimit(RLIMIT_FSIZE, &lim);
        }
        std::vector<char*> argv;
        for (const auto& s : args)
            argv.push_back(const_cast<char*>(s.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int nStatus = 0;
    ::waitpid(pid, &nStatus, 0);
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
}

std::vector<std::string> FilesIn(const std::string& strFolder) {
    std::vector<std::string> names;
    if (DIR* p = ::opendir(strFolder.c_str())) {
        while (dirent* e = ::readdir(p)) {
            const std::string s = e->d_name;
            if (s != "." && s != "..")
                names.push_back(s);
        }
        ::closedir(p);
    }
    return names;
}

// Adds statements and a class as the interpretation would, and writes the files again.
void FinishAgainWithStatements(CEngineData& d) {
    CopyText(d.RhythmStatementSlots[1], "Sinus rhythm");
    CopyText(d.WaveformStatementSlots[1], "Normal axis");
    d.Finish.RhythmStatementCount = 1;
    d.Finish.WaveformStatementCount = 1;
    d.Finish.EcgSeverity = 1;
    d.Finish.bFinished = false;
    d.ResultStatements.nCount = 0;
    ASSERT_EQ(FinishAnalysis(d), 0);
}

}  // namespace

TEST(EngineResultFile, OpensWithTheControlsReaderWithTheComputedValues) {
    testsupport::CTempDir dir;
    const std::string strInput = MakeSynthRecord(dir, "rec.ekg", "--rate 75 --axis 40");
    auto pData = CreateEngineData(EEngineVariant::Zorvik31);
    CEngineData& d = *pData;
    d.bDebugOutput = false;
    ASSERT_EQ(RunEngineInProcess(d, strInput), 0);
    FinishAgainWithStatements(d);
    const int N = d.BeatCount;
    ASSERT_GE(N, 10);

    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(dir / "rec.ksi", &wave, &info, &morph, 0));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(info.GetGlobalValue(i), d.Measurements.GlobalMeasurements[i]) << i;
    EXPECT_EQ(info.GetGlobalValue(0), 75);

    // The five per-beat arrays (1-based in the record model).
    for (int k = 0; k < 5; ++k)
        ASSERT_EQ(info.m_arrays.Count(k), N) << k;
    for (int b = 0; b < N; ++b) {
        const int nP = d.PWave.ResultCount[b];
        EXPECT_EQ(info.m_arrays.Value(0, b + 1),
                  nP ? d.PWave.ResultOn[b * kMaxPWavesPerBeat + nP - 1] : 0);
        EXPECT_EQ(info.m_arrays.Value(2, b + 1), d.Qrs.GlobalQrsOnset[b]);
        EXPECT_EQ(info.m_arrays.Value(3, b + 1), d.Qrs.GlobalQrsOffset[b]);
        EXPECT_EQ(info.m_arrays.Value(4, b + 1), d.TWave.LeadTOffset[LeadI][b]);
    }

    const CStringArray expected = {"Sinus rhythm", "Normal axis", "[ Normal ECG ]"};
    EXPECT_EQ(info.GetStatements(), expected);
    const auto& filter = info.GetFilterItem();
    EXPECT_EQ(filter[2], 1);  // nAC
    EXPECT_EQ(filter[3], 3);  // nLPF
    EXPECT_EQ(filter[4], 1);  // nBF
    EXPECT_EQ(filter[5], 0);  // nMF

    for (int l = 0; l < kLeads; ++l) {
        for (int v = 1; v < kLeadResultValues; ++v)
            EXPECT_EQ(morph.Value(l, v), d.Finish.LeadResultTable[l][v]) << l << " " << v;
        EXPECT_EQ(morph.Value(l, 0), d.Finish.RepresentativeBeat[l]);
        for (int n : {0, 1234, 4999})
            EXPECT_EQ(wave.GetSample(l, n), static_cast<short>(d.AnalysisLeads[l][n]));
    }
}

TEST(EngineResultFile, TheFixtureGeneratorsWriterGivesTheSameBytes) {
    testsupport::CTempDir dir;
    const std::string strInput = MakeSynthRecord(dir, "rec.ekg", "--rate 66 --axis -20");
    auto pData = CreateEngineData(EEngineVariant::Zorvik31);
    CEngineData& d = *pData;
    d.bDebugOutput = false;
    ASSERT_EQ(RunEngineInProcess(d, strInput), 0);
    FinishAgainWithStatements(d);
    const int N = d.BeatCount;

    // The values the engine computed, as plain text for the generator's writer.
    std::string values;
    auto Line = [&values](const std::vector<int>& v) {
        for (std::size_t i = 0; i < v.size(); ++i)
            values += (i ? " " : "") + std::to_string(v[i]);
        values += "\n";
    };
    Line({N});
    Line({d.FilterSettings.nAC, d.FilterSettings.nLPF, d.FilterSettings.nBF, d.FilterSettings.nMF});
    Line(std::vector<int>(d.Measurements.GlobalMeasurements.begin(),
                          d.Measurements.GlobalMeasurements.end()));
    for (int k = 0; k < 5; ++k) {
        std::vector<int> a;
        for (int b = 0; b < N; ++b) {
            const int nP = d.PWave.ResultCount[b];
            const int w = b * kMaxPWavesPerBeat + nP - 1;
            const int v[] = {nP ? d.PWave.ResultOn[w] : 0, nP ? d.PWave.ResultOff[w] : 0,
                             d.Qrs.GlobalQrsOnset[b], d.Qrs.GlobalQrsOffset[b],
                             d.TWave.LeadTOffset[LeadI][b]};
            a.push_back(v[k]);
        }
        Line(a);
    }
    for (int l = 0; l < kLeads; ++l) {
        auto row = d.Finish.LeadResultTable[l];
        row[0] = d.Finish.RepresentativeBeat[l];  // the ".ksi" holds the unreplaced number
        Line(std::vector<int>(row.begin(), row.end()));
    }
    Line({d.ResultStatements.nCount});
    for (int i = 0; i < d.ResultStatements.nCount; ++i)
        values += std::string(d.ResultStatements.aText[i].data()) + "\n";
    ASSERT_TRUE(testsupport::WriteFile(dir / "values.txt", values));
    std::string samples;
    for (int l = 0; l < kLeads; ++l) {
        for (int n = 0; n < kRecordSamples; ++n) {
            const auto v = static_cast<std::uint16_t>(d.AnalysisLeads[l][n]);
            samples.push_back(static_cast<char>(v & 0xFF));
            samples.push_back(static_cast<char>(v >> 8));
        }
    }
    ASSERT_TRUE(testsupport::WriteFile(dir / "samples.bin", samples));

    const std::string script = R"PY(
import os, struct, sys
sys.path.insert(0, os.path.dirname(sys.argv[1]))
import ekg_fixtures as fx
folder = sys.argv[2]
lines = open(os.path.join(folder, "values.txt"), "rb").read().split(b"\n")
ints = lambda i: [int(x) for x in lines[i].split()]
beats = ints(0)[0]
rec = fx.Record(5000)
raw = open(os.path.join(folder, "samples.bin"), "rb").read()
rec.samples = [list(struct.unpack("<5000h", raw[l * 10000:(l + 1) * 10000])) for l in range(12)]
rec.filter = ints(1)
rec.globals = ints(2)
rec.arrays = [ints(3 + k) for k in range(5)]
table = [ints(8 + l) for l in range(12)]
n = ints(20)[0]
rec.statements = lines[21:21 + n]
data, morph = fx.engine_file(rec, beats, [r[:18] for r in table], [r[18:] for r in table])
ksi = open(os.path.join(folder, "rec.ksi"), "rb").read()
if ksi == data:
    print("SAME")
else:
    diff = next((i for i in range(min(len(ksi), len(data))) if ksi[i] != data[i]), None)
    print("DIFFERENT sizes %d %d first at %s" % (len(ksi), len(data), diff))
)PY";
    ASSERT_TRUE(testsupport::WriteFile(dir / "compare.py", script));
    int nStatus = -1;
    const std::string out = testsupport::RunCommand(
        std::string(ENGINE_PYTHON) + " " + testsupport::ShellQuote(dir / "compare.py") + " " +
            testsupport::ShellQuote(EKG_FIXTURES_SCRIPT) + " " +
            testsupport::ShellQuote(dir.Path()),
        &nStatus);
    EXPECT_EQ(nStatus, 0);
    EXPECT_EQ(out, "SAME\n");
}

TEST(EngineResultFile, ProgramsWriteBothFilesAndReplaceEarlierOnes) {
    testsupport::CTempDir dir;
    const std::string strInput = MakeSynthRecord(dir, "rec.ekg", "--rate 60");
    ASSERT_TRUE(testsupport::WriteFile(dir / "rec.ksi", "an earlier patient"));
    ASSERT_TRUE(testsupport::WriteFile(dir / "rec.txt", "an earlier patient"));
    EXPECT_EQ(RunProgram({ZORVIK31_PATH, strInput, "1", "0", "0", "0", "1", "0"}, 0), 0);
    const std::string ksi = testsupport::ReadFile(dir / "rec.ksi");
    ASSERT_EQ(ksi.size(), 133400u);
    EXPECT_EQ(static_cast<unsigned char>(ksi[132400]), 0x60);
    const int N = static_cast<unsigned char>(ksi[132401]);
    EXPECT_EQ(N, 10);
    const std::string txt = testsupport::ReadFile(dir / "rec.txt");
    // Every lead shows its representative beat, one of beats 2..N-1.
    EXPECT_EQ(txt.rfind("numR = " + std::to_string(N) + "\n", 0), 0u) << txt;
    EXPECT_EQ(std::count(txt.begin(), txt.end(), '\n'), 13);
    std::size_t nAt = 0;
    int nLines = 0;
    while ((nAt = txt.find("beat = ", nAt)) != std::string::npos) {
        nAt += 7;
        const int nBeat = std::atoi(txt.c_str() + nAt);
        EXPECT_GE(nBeat, 2) << txt;
        EXPECT_LE(nBeat, N - 1) << txt;
        ++nLines;
    }
    EXPECT_EQ(nLines, 12);

    // The older build: the same layout without the two further values of each lead.
    ASSERT_TRUE(testsupport::WriteFile(dir / "rec.ksi", "an earlier patient"));
    EXPECT_EQ(RunProgram({ZORVIK21_PATH, strInput, "1", "0", "0", "0"}, 0), 0);
    const std::string ksi21 = testsupport::ReadFile(dir / "rec.ksi");
    ASSERT_EQ(ksi21.size(), 133400u);
    EXPECT_EQ(ksi21.substr(132400 + 434), std::string(1000 - 434, '\0'));
}

// Root ignores a read-only folder, so the write is made to fail with a file size limit:
// the result file cannot be written completely.
TEST(EngineResultFile, AnIncompleteResultFileFailsTheRunAndLeavesNoStaleResult) {
    testsupport::CTempDir dir;
    const std::string strInput = MakeSynthRecord(dir, "rec.ekg", "--rate 60");
    ASSERT_TRUE(testsupport::WriteFile(dir / "rec.ksi", "an earlier patient"));
    ASSERT_TRUE(testsupport::WriteFile(dir / "rec.txt", "an earlier patient"));
    for (const char* program : {ZORVIK31_PATH, ZORVIK21_PATH}) {
        std::vector<std::string> args = {program, strInput, "1", "0", "0", "0"};
        if (std::string(program) == ZORVIK31_PATH) {
            args.push_back("1");
            args.push_back("0");
        }
        EXPECT_NE(RunProgram(args, 100000), 0) << program;
        EXPECT_FALSE(testsupport::Exists(dir / "rec.ksi")) << program;
        EXPECT_FALSE(testsupport::Exists(dir / "rec.txt")) << program;
        for (const auto& name : FilesIn(dir.Path()))
            EXPECT_EQ(name.rfind("rec.ksi", 0), std::string::npos) << name;
    }
}

// A record without signal stops the detection before its ratings are folded: the run still
// ends with a result file that carries the poor-quality statement and no measurements.
TEST(EngineResultFile, ARecordWithoutSignalGetsThePoorQualityStatement) {
    testsupport::CTempDir dir;
    const std::string strInput = MakeSynthRecord(dir, "flat.ekg", "--flat");
    EXPECT_EQ(RunProgram({ZORVIK31_PATH, strInput, "1", "0", "0", "0", "1", "0"}, 0), 0);
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    ASSERT_TRUE(ReadEkgFile(dir / "flat.ksi", &wave, &info, &morph, 0));
    const CStringArray expected = {
        "*** Poor data quality, interpretation may be adversely affected"};
    EXPECT_EQ(info.GetStatements(), expected);
    EXPECT_EQ(info.GetGlobalValue(0), 0);
    EXPECT_EQ(info.GetGlobalValue(5), MissingValue);
    EXPECT_EQ(info.GetGlobalValue(7), MissingValue);
    EXPECT_EQ(info.m_arrays.Count(0), 0);
    EXPECT_EQ(testsupport::ReadFile(dir / "flat.txt").rfind("numR = 0\n", 0), 0u);
}
