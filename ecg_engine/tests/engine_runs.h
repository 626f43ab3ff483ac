#pragma once
// Whole runs of the real engine programs for the end-to-end tests: synthetic records from
// ecgsynth, a program started in a folder with standard input and output from /dev/null, and
// the statements of a result file as the control's record reader gives them.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

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

}  // namespace ecg_engine_test
