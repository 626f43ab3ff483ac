#include <gtest/gtest.h>

#include <string>

#include "testsupport/testsupport.h"

using testsupport::RunCommand;

TEST(Tools, RegctlThenDispcallDrivesAControlByProgId) {
    testsupport::CTempDir dir;
    std::string env = "XDG_CONFIG_HOME='" + dir.Path() + "' QT_QPA_PLATFORM=offscreen ";
    int st = -1;
    std::string out = RunCommand(env + REGCTL_PATH " " TESTCONTROL_PATH, &st);
    EXPECT_EQ(st, 0) << out;
    EXPECT_NE(testsupport::ReadFile(dir / "Corvane/Controls.ini").find("CORVANE.TestCtrl.1"),
              std::string::npos);

    out = RunCommand(env + DISPCALL_PATH " CORVANE.TestCtrl.1 'Add(2, 3)' 'Echo(\"a, b\")' '#4(b:1)' "
                    "'Fire(9)' 'Half(s:5)' 'Nope()'",
              &st);
    EXPECT_EQ(out,
              "Add = 5\n"
              "Echo = echo:a, b\n"
              "Negate = FALSE\n"
              "event Done(9, 2.5)\n"
              "Fire = (empty)\n"
              "Half = 2.5\n"
              "Nope: member not found\n");
    EXPECT_EQ(st, 1);

    out = RunCommand(env + REGCTL_PATH " -u " TESTCONTROL_PATH, &st);
    EXPECT_EQ(st, 0) << out;
    out = RunCommand(env + DISPCALL_PATH " CORVANE.TestCtrl.1 'Add(1,1)' 2>&1", &st);
    EXPECT_EQ(st, 1);
    EXPECT_NE(out.find("not registered"), std::string::npos);
}

// The wait step: an event that came is claimed once; one that never comes is a timeout.
TEST(Tools, DispcallWaitStep) {
    testsupport::CTempDir dir;
    std::string env = "XDG_CONFIG_HOME='" + dir.Path() + "' QT_QPA_PLATFORM=offscreen ";
    int st = -1;
    std::string out = RunCommand(env + REGCTL_PATH " " TESTCONTROL_PATH, &st);
    ASSERT_EQ(st, 0) << out;
    out = RunCommand(env + DISPCALL_PATH " CORVANE.TestCtrl.1 'Fire(1)' '@wait(Done, 1000)' '@wait(50)' 'Add(1, 1)'",
                     &st);
    EXPECT_EQ(out, "event Done(1, 2.5)\nFire = (empty)\nwait Done\nAdd = 2\n");
    EXPECT_EQ(st, 0);
    out = RunCommand(env + DISPCALL_PATH " CORVANE.TestCtrl.1 'Fire(1)' '@wait(Done, 100)' '@wait(Done, 300)'", &st);
    EXPECT_EQ(out, "event Done(1, 2.5)\nFire = (empty)\nwait Done\nwait Done: timeout\n");
    EXPECT_EQ(st, 1);
    out = RunCommand(env + DISPCALL_PATH " CORVANE.TestCtrl.1 '@sleep(5)' 2>&1", &st);
    EXPECT_NE(out.find("cannot read the step"), std::string::npos) << out;
    EXPECT_EQ(st, 1);
}
