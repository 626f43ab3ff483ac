#pragma once
// Whole runs of the real engine programs for the end-to-end tests: synthetic records from
// ecgsynth, a program started in a folder with standard input and output from /dev/null, and
// the statements of a result file as the control's record reader gives them.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ecg_control/ekgfile.h"
#include "testsupport/testsupport.h"

extern char** environ;

namespace ecg_engine_test {

using Texts = std::vector<std::string>;

inline void MakeRecord(const std::string& strPath, const std::string& strOptions) {
    int nStatus = -1;
    testsupport::RunCommand(std::string(ENGINE_PYTHON) + " " +
                                testsupport::ShellQuote(ECGSYNTH_SCRIPT) + " " +
                                testsupport::ShellQuote(strPath) + " " + strOptions,
                            &nStatus);
    ASSERT_EQ(nStatus, 0) << strOptions;
}

// Runs a program in the folder with standard input and output from /dev/null.
inline int RunIn(const std::string& strFolder, const std::vector<std::string>& args) {
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

inline Texts StatementsOf(const std::string& strKsi) {
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
    EXPECT_TRUE(ReadEkgFile(strKsi, &wave, &info, &morph, 0)) << strKsi;
    const auto& a = info.GetStatements();
    return Texts(a.begin(), a.end());
}

inline std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// The runs a record gets: Zorvik31 in mode 1 (filters as the control passes them), mode 0 and
// mode 2 (no filtering), and Zorvik21.
struct SRun {
    const char* name;
    std::vector<std::string> numbers;
    bool bZorvik21;
};
inline const SRun kRuns[] = {
    {"mode 1", {"1", "1", "1", "0", "1", "0"}, false},
    {"mode 0", {"1", "1", "1", "0", "0", "0"}, false},
    {"mode 2", {"2", "3", "1", "1", "2", "0"}, false},
    {"Zorvik21", {"1", "1", "1", "0"}, true},
};

inline std::vector<Texts> StatementsOfEveryRun(const std::string& strOptions) {
    testsupport::CTempDir dir;
    MakeRecord(dir / "rec.raw", strOptions);
    std::vector<Texts> all;
    for (const auto& run : kRuns) {
        std::vector<std::string> args = {run.bZorvik21 ? ZORVIK21_PATH : ZORVIK31_PATH,
                                         dir / "rec.raw"};
        args.insert(args.end(), run.numbers.begin(), run.numbers.end());
        EXPECT_EQ(RunIn(dir.Path(), args), 0) << run.name;
        all.push_back(StatementsOf(dir / "rec.ksi"));
    }
    return all;
}

// Every run of a record: the first statement, statements it must also hold (none: any
// reading), and texts no statement may hold.
inline void ExpectFirstAndNone(const std::vector<Texts>& runs, const std::string& strName,
                               const std::vector<std::string>& expected,
                               const std::vector<std::string>& forbidden) {
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Texts& statements = runs[r];
        ASSERT_FALSE(statements.empty()) << strName << ", " << kRuns[r].name;
        if (!expected.empty()) {
            EXPECT_EQ(statements[0], expected[0]) << strName << ", " << kRuns[r].name;
        }
        for (const auto& strAlso : expected)
            EXPECT_NE(std::find(statements.begin(), statements.end(), strAlso), statements.end())
                << strName << ", " << kRuns[r].name << ": " << strAlso;
        for (const auto& s : statements) {
            for (const auto& strWrong : forbidden)
                EXPECT_EQ(s.find(strWrong), std::string::npos)
                    << strName << ", " << kRuns[r].name << ": " << s;
        }
    }
}

}  // namespace ecg_engine_test
