// The text report of Save As, through the real control, against reports written by hand
// from the formats (tests/data): heights and weights as stored (pound tests too), the
// diagnosis lines for types 1 and 4 only; a write that fails says so and leaves nothing.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include <filesystem>

#include "barsfixture.h"
#include "acq_server/reports/conversioncontrols.h"
#include "pulmetra/bars/resulttext.h"

using barstest::CRealControl;

namespace {

std::string Expected(int nType) {
    return testsupport::ReadFile(std::string(BARS_DATA) + "/result_t" + std::to_string(nType) +
                                 "_f2.txt");
}

std::string FixtureName(int nType) {
    const char* ext = nType == 2 ? "svc" : nType == 3 ? "mvv" : "fvc";
    return "spiro_t" + std::to_string(nType) + "_f2." + ext;
}

struct PulmetraResultText : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(control.IsCreated()) << control.Error(); }
    CRealControl control;
    testsupport::CTempDir dir;
};

TEST_F(PulmetraResultText, EachTestTypeWritesItsReport) {
    for (int t = 1; t <= 5; ++t) {
        SCOPED_TRACE(t);
        const std::string path = barstest::FixtureDir() + FixtureName(t);
        ASSERT_EQ(control->Open(path.c_str(), 0), t);
        const std::string expected = Expected(t);
        ASSERT_FALSE(expected.empty());
        const std::string target = dir / ("exam_" + std::to_string(t) + ".txt");
        ASSERT_TRUE(pulmetra::WriteResultText(*control, target));
        EXPECT_EQ(testsupport::ReadFile(target), expected);
    }
}

TEST_F(PulmetraResultText, PoundTestsKeepTheirStoredNumbersAndOnlyTypesOneAndFourHaveADiagnosis) {
    for (int t = 1; t <= 5; ++t) {
        SCOPED_TRACE(t);
        const std::string path = barstest::FixtureDir() + FixtureName(t);
        ASSERT_EQ(control->Open(path.c_str(), 0), t);
        const std::string text =
            pulmetra::ResultText(*std::make_unique<CFlowlinConversion>(*control));
        const bool bPound = t == 2 || t == 5;
        EXPECT_EQ(control->IsPound(), bPound ? TRUE : FALSE);
        EXPECT_NE(text.find(bPound ? "Weight=150 kg\r\n" : "Weight=72 kg\r\n"), std::string::npos);
        EXPECT_NE(text.find("Height=171 cm\r\n"), std::string::npos);
        EXPECT_EQ(text.find("lbs"), std::string::npos);
        const bool bDiagnosis = t == 1 || t == 4;
        EXPECT_EQ(text.find("Diagnosis=") != std::string::npos, bDiagnosis);
        EXPECT_EQ(text.find("FVC Prediction Formula=") != std::string::npos, bDiagnosis);
        EXPECT_EQ(text.find("CompleteFlag"), std::string::npos);
        EXPECT_EQ(text.find("Ecode"), std::string::npos);
    }
}

// A folder that cannot hold the file, and a write cut short by a file-size limit: both
// reported, no file left (not even a temporary one), an older file untouched.
TEST_F(PulmetraResultText, AFailedWriteIsReportedAndLeavesNothing) {
    const std::string path = barstest::FixtureDir() + FixtureName(4);
    ASSERT_EQ(control->Open(path.c_str(), 0), 4);
    ASSERT_TRUE(testsupport::WriteFile(dir / "file", "x"));
    EXPECT_FALSE(pulmetra::WriteResultText(*control, dir / "file/exam.txt"));
    EXPECT_FALSE(pulmetra::WriteResultText(*control, dir / "missing/exam.txt"));
    EXPECT_FALSE(testsupport::Exists(dir / "missing"));

    const std::string target = dir / "exam_fvc.txt";
    ASSERT_TRUE(testsupport::WriteFile(target, "older"));
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool bWritten = pulmetra::WriteResultText(*control, target);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(bWritten);
    EXPECT_EQ(testsupport::ReadFile(target), "older");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"exam_fvc.txt", "file"}));
}

}  // namespace
