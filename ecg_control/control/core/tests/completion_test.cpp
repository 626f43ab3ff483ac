// The completion step with a stub engine: arguments, outcomes, what the record keeps.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ecg_control/ekgfile.h"
#include "ecg_control/link/recordcompletion.h"
#include "testsupport/testsupport.h"

using namespace ekglink;
using testsupport::CTempDir;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// A record of 5000 samples whose statements say "Engine statement".
void MakeResultTemplate(const std::string& path) {
    CWaveBuffer wave;
    wave.CreateLeads(5000, 2);
    for (UINT i = 0; i < 5000; ++i) wave.SetSample(0, i, static_cast<short>(i % 100));
    CEkgRecordInfo info;
    CMorphologyTable morph;
    info.SetPatientInfo(0, "ENGINEID");
    info.AddStatement("Engine statement");
    ASSERT_TRUE(WriteEkgFile(path, &wave, &info, &morph));
}

class CompletionTest : public ::testing::Test {
protected:
    void SetUp() override { MakeResultTemplate(m_dir / "template.ksi"); }

    // The stub logs its arguments and working folder, copies the template to the result
    // unless told not to, and ends with the exit code.
    void Stub(const std::string& body) {
        const std::string script = "#!/bin/sh\necho \"$@\" > '" + m_dir / "args.log" +
                                   "'\npwd > '" + m_dir / "cwd.log" + "'\n" + body + "\n";
        ASSERT_TRUE(WriteFile(m_dir / "Zorvik31", script));
        ::chmod((m_dir / "Zorvik31").c_str(), 0755);
        m_launcher.m_strEngine = m_dir / "Zorvik31";
    }
    std::string CopyResult() const { return "cp '" + m_dir / "template.ksi" + "' \"${1%.*}.ksi\""; }

    void Record(int nItems) {
        m_wave.CreateLeads(5000, 2);
        m_info.SetPatientInfo(0, "REC-ID");
        m_info.SetPatientInfo(1, "Recorded Name");
        m_nItems = nItems;
    }
    CCompletionResult Run() {
        return CompleteRecording(m_wave, m_info, m_morph, m_nItems, m_dir / "engine", 3, m_launcher);
    }

    CTempDir m_dir;
    CEngineLauncher m_launcher;
    CWaveBuffer m_wave;
    CEkgRecordInfo m_info;
    CMorphologyTable m_morph;
    int m_nItems = 0;
};

}  // namespace

TEST(CompletionPaths, OnlyTheLastExtensionBecomesKsi) {
    EXPECT_EQ(ResultPathFor("/a/b/__temp.raw"), "/a/b/__temp.ksi");
    EXPECT_EQ(ResultPathFor("/a.raw/b.raw/__temp.raw"), "/a.raw/b.raw/__temp.ksi");
    EXPECT_EQ(ResultPathFor("/a.raw/noext"), "/a.raw/noext.ksi");
    EXPECT_EQ(ResultPathFor("/dir/.hidden"), "/dir/.hidden.ksi");
}

TEST(CompletionPaths, EngineModes) {
    const int cases[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 1}, {5, 1}, {-1, 1}, {255, 1}};
    for (const auto& c : cases) EXPECT_EQ(EngineModeFor(c[0]), c[1]) << c[0];
}

TEST_F(CompletionTest, TooFewItemsRunNoEngine) {
    Stub("exit 0");
    Record(999);
    EXPECT_EQ(Run().outcome, ECompletion::kSignalNotGood);
    EXPECT_FALSE(testsupport::Exists(m_dir / "args.log"));
}

TEST_F(CompletionTest, CompletedRecordKeepsTheRecordingsPatientAndMarks) {
    Stub(CopyResult() + "\nexit 0");
    Record(1000);
    m_info.SetFilterInfo(1, -1, 0, 1);  // nLPF unset: 0xFF in the record
    m_info.SetAnalysisMode(5);
    m_wave.AddMark(1500);
    const CCompletionResult r = Run();
    ASSERT_EQ(r.outcome, ECompletion::kCompleted);
    EXPECT_EQ(r.strInput, m_dir / "engine/__temp.raw");
    EXPECT_EQ(r.strResult, m_dir / "engine/__temp.ksi");
    EXPECT_EQ(ReadFile(m_dir / "args.log"), m_dir / "engine/__temp.raw 1 3 0 1 1 3\n");
    EXPECT_EQ(ReadFile(m_dir / "cwd.log"), m_dir / "engine\n");
    EXPECT_EQ(m_info.GetPatientInfo(0), "REC-ID");
    EXPECT_EQ(m_info.GetPatientInfo(1), "Recorded Name");
    EXPECT_EQ(m_wave.m_adwMarks, (std::vector<DWORD>{1500}));
    EXPECT_EQ(m_info.GetStatements(), (CStringArray{"Pacemaker Rhythm", "[Abnormal ECG]"}));
    EXPECT_EQ(m_wave.GetSample(0, 42), 42);
}

TEST_F(CompletionTest, EngineStatementsStayWithoutPacemakerMarks) {
    Stub(CopyResult() + "\nexit 0");
    Record(1000);
    ASSERT_EQ(Run().outcome, ECompletion::kCompleted);
    EXPECT_EQ(m_info.GetStatements(), (CStringArray{"Engine statement"}));
}

TEST_F(CompletionTest, EngineFailuresAreFailures) {
    const std::string cases[] = {
        "exit 3",                        // fails
        CopyResult() + "\nexit 255",     // fails after writing
        "exit 0",                        // writes nothing
        "echo short > \"${1%.*}.ksi\"",  // unreadable result
        "sleep 5",                       // overruns the time limit
        "kill -9 $$",                    // dies
    };
    for (const std::string& body : cases) {
        Stub(body);
        ::unlink((m_dir / "engine/__temp.ksi").c_str());
        m_launcher.m_nTimeoutMs = 500;
        Record(1000);
        EXPECT_EQ(Run().outcome, ECompletion::kEngineFailed) << body;
    }
    m_launcher.m_strEngine = m_dir / "missing/Zorvik31";
    Record(1000);
    EXPECT_EQ(Run().outcome, ECompletion::kEngineFailed);
}

// The recording is not lost: its samples stay as they came, for the host to save.
TEST_F(CompletionTest, InputThatCannotBeWrittenKeepsTheRecording) {
    Stub(CopyResult() + "\nexit 0");
    ASSERT_TRUE(WriteFile(m_dir / "file", "x"));
    Record(1000);
    m_wave.SetSample(1, 2500, 1234);
    EXPECT_EQ(
        CompleteRecording(m_wave, m_info, m_morph, 1000, m_dir / "file/sub", 0, m_launcher).outcome,
        ECompletion::kInputNotWritten);
    EXPECT_FALSE(testsupport::Exists(m_dir / "args.log"));
    EXPECT_TRUE(m_wave.HasBlock());
    EXPECT_EQ(m_wave.GetSample(1, 2500), 1234);
    EXPECT_EQ(m_info.GetPatientInfo(0), "REC-ID");
}
