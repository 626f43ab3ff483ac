// Runs the engine programs the way the ECG control does: argument vector, standard input
// from /dev/null, wait for the exit code.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "record_fixture.h"
#include "testsupport/testsupport.h"

extern char** environ;

using namespace ecg_engine_test;
using testsupport::CTempDir;

namespace {

struct SRun {
    int nExitCode = -999;
    std::string strOutput;
    double dSeconds = 0;
};

SRun RunProgram(const std::vector<std::string>& args, const CTempDir& dir) {
    const std::string outPath = dir / "stdout.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    // The engine appends its report lines to a file in its working folder.
    posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    SRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int nStatus = 0;
        waitpid(pid, &nStatus, 0);
        if (WIFEXITED(nStatus))
            run.nExitCode = WEXITSTATUS(nStatus);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.strOutput = testsupport::ReadFile(outPath);
    return run;
}

int CountLines(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TEST(EnginePrograms, RecordRunEndsWithZeroAndLeavesItsDebugFiles) {
    CTempDir dir;
    const std::string input = dir / "__temp.raw";
    ASSERT_TRUE(testsupport::WriteFile(input, MakeEkgRecord(EcgLikeSample)));
    const SRun run = RunProgram({ZORVIK31_PATH, input, "1", "1", "1", "1", "0", "0"}, dir);
    EXPECT_EQ(run.nExitCode, 0) << run.strOutput;
    const std::string data = testsupport::ReadFile(dir / "__temp/Debug_Debug_Save.dat");
    EXPECT_EQ(CountLines(data), 6001);
    const std::string header = FirstLine(data);
    EXPECT_EQ(header.find("       dspBuf_I "), 0u);
    // Raw and filtered rows first, 16 columns of 16 characters; later stages' rows follow.
    EXPECT_EQ(header.find("          Dc_V6 "), 15u * 16);
}

TEST(EnginePrograms, ModeTwoAndOutOfRangeModes) {
    CTempDir dir;
    const std::string input = dir / "rec.ekg";
    ASSERT_TRUE(testsupport::WriteFile(input, MakeEkgRecord(EcgLikeSample)));
    // Mode 2 filters nothing, so no filtered rows follow the raw ones.
    SRun run = RunProgram({ZORVIK31_PATH, input, "1", "1", "0", "1", "2", "0"}, dir);
    EXPECT_EQ(run.nExitCode, 0);
    std::string header = FirstLine(testsupport::ReadFile(dir / "rec/Debug_Debug_Save.dat"));
    EXPECT_EQ(header.find("Dc_"), std::string::npos);
    EXPECT_EQ(header.find("dspBuf_V6 "), 7u * 16 + 6);
    // Modes outside 0..2 run filter set B; missing numbers read as 0.
    for (const char* pszMode : {"-5", "7"}) {
        run = RunProgram({ZORVIK31_PATH, input, "0", "0", "0", "0", pszMode, "12"}, dir);
        EXPECT_EQ(run.nExitCode, 0);
        header = FirstLine(testsupport::ReadFile(dir / "rec/Debug_Debug_Save.dat"));
        EXPECT_NE(header.find("Dc_I"), std::string::npos);
    }
    run = RunProgram({ZORVIK31_PATH, input}, dir);
    EXPECT_EQ(run.nExitCode, 0);
}

TEST(EnginePrograms, FatalInputErrorsPrintTheirLinesAndEndAtOnce) {
    CTempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir / "rec.dat", MakeEkgRecord(EcgLikeSample)));
    const struct {
        std::vector<std::string> args;
        const char* pszLine;
    } cases[] = {
        {{ZORVIK31_PATH}, "[ERROR] There is no input file name.\n"},
        {{ZORVIK31_PATH, dir / "missing.ekg", "0", "0", "0", "0", "0", "0"},
         "[ERROR] Input file open fail.\n"},
        {{ZORVIK31_PATH, dir / "rec.dat", "0", "0", "0", "0", "0", "0"},
         "[ERROR] Input file type is not known.\n"},
        {{ZORVIK31_PATH, dir.Path() + std::string(1200, 'x') + ".ekg"},
         "[ERROR] Input file name is too long.\n"},
        {{ZORVIK21_PATH, dir / "missing.raw", "0", "0", "0", "0"},
         "[ERROR] Input file open fail.\n"},
    };
    for (const auto& c : cases) {
        const SRun run = RunProgram(c.args, dir);
        EXPECT_EQ(run.nExitCode, 255) << c.pszLine;
        EXPECT_EQ(run.strOutput, std::string(c.pszLine) + "Press [Enter] to quit....");
        EXPECT_LT(run.dSeconds, 5.0);  // no wait for a key without a terminal
    }
    EXPECT_FALSE(testsupport::Exists(dir / "missing"));
    EXPECT_FALSE(testsupport::Exists(dir / "rec"));
}

TEST(EnginePrograms, DebugFolderThatCannotBeMadeDoesNotStopTheRun) {
    CTempDir dir;
    const std::string input = dir / "rec.ekg";
    ASSERT_TRUE(testsupport::WriteFile(input, MakeEkgRecord(EcgLikeSample)));
    ASSERT_TRUE(testsupport::WriteFile(dir / "rec", "a file where the folder would go"));
    const SRun run = RunProgram({ZORVIK31_PATH, input, "1", "1", "0", "0", "1", "0"}, dir);
    EXPECT_EQ(run.nExitCode, 0);
    EXPECT_NE(run.strOutput.find("[ERROR] Debug information file creation fail.\n"),
              std::string::npos);
    EXPECT_EQ(run.strOutput.find("Press [Enter]"), std::string::npos);
}

TEST(EnginePrograms, OlderBuildTakesFourNumbersAndWritesNoDebugFiles) {
    CTempDir dir;
    const std::string input = dir / "rec.RAW";
    ASSERT_TRUE(testsupport::WriteFile(input, MakeEkgRecord(EcgLikeSample)));
    const SRun run = RunProgram({ZORVIK21_PATH, input, "2", "3", "1", "1"}, dir);
    EXPECT_EQ(run.nExitCode, 0) << run.strOutput;
    EXPECT_EQ(run.strOutput, "");
    EXPECT_FALSE(IsFolder(dir / "rec"));
}
