// The ftpinfo tool, judged by the fixture writer's bytes.
#include <gtest/gtest.h>

#include "testsupport/testsupport.h"

using testsupport::CTempDir;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

std::string Tool(const std::string& args, const std::string& stdinText, int* status) {
    return RunCommand(
        "printf %s " + ShellQuote(stdinText) + " | " + FTPINFO_PATH + " " + args + " 2>&1", status);
}

}  // namespace

TEST(FtpInfoTool, WritesTheLayoutWithThePasswordFromStandardInput) {
    CTempDir dir;
    std::string path = dir / "senderinfo.cfg";
    int status = -1;
    std::string out = Tool(
        "write " + ShellQuote(path) + " --server ftp.example.test --user 'Jos\xe9' --port 2121",
        "pa ss\xffword\r\n", &status);
    ASSERT_EQ(status, 0) << out;
    std::string fixture = dir / "fixture.cfg";
    RunCommand(std::string("/usr/bin/python3 ") + FTPINFO_PY + " " + ShellQuote(fixture) +
                   " --server ftp.example.test --user 'Jos\xe9' --password 'pa ss\xffword' "
                   "--port 2121",
               &status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(ReadFile(path) == ReadFile(fixture));

    out = Tool("show " + ShellQuote(path), "", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out,
              "server: ftp.example.test\nuser: Jos\xe9\npassword: (10 characters)\nport: 2121\n");
}

TEST(FtpInfoTool, RefusesBadInputAndLeavesTheFile) {
    CTempDir dir;
    std::string path = dir / "senderinfo.cfg";
    ASSERT_TRUE(testsupport::WriteFile(path, "kept"));
    std::string p = ShellQuote(path);
    struct {
        const char* name;
        std::string args, input;
        int status;
    } cases[] = {
        {"no password", "write " + p + " --server h --user u", "", 2},
        {"empty password", "write " + p + " --server h --user u", "\n", 2},
        {"no user", "write " + p + " --server h", "pw\n", 2},
        {"255-character server", "write " + p + " --server " + std::string(255, 'h') + " --user u",
         "pw\n", 2},
        {"bad port", "write " + p + " --server h --user u --port 70000", "pw\n", 2},
        {"port not a number", "write " + p + " --server h --user u --port 21x", "pw\n", 2},
        {"unknown option", "write " + p + " --server h --user u --host h", "pw\n", 2},
        {"no command", "", "", 2},
        {"shows a damaged file", "show " + p, "", 1},
        {"shows a missing file", "show " + ShellQuote(dir / "none.cfg"), "", 1},
        {"cannot write", "write " + ShellQuote(dir / "no/such/x.cfg") + " --server h --user u",
         "pw\n", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int status = -1;
        std::string out = Tool(c.args, c.input, &status);
        EXPECT_EQ(status, c.status) << out;
        EXPECT_EQ(ReadFile(path), "kept");
    }
}
