// libWavelin.so registered with regctl and driven by ProgID through dispcall, as the server
// drives it for one record's conversions; the outputs judged by outside checkers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "testsupport/testsupport.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

TEST(WavelinE2e, ServerConversionThroughDispcall) {
    testsupport::CTempDir dir;
    int st = -1;
    RunCommand(std::string(EKG_PYTHON " " EKG_FIXTURES_SCRIPT " ") + ShellQuote(dir / "fx"), &st);
    ASSERT_EQ(st, 0);
    const std::string env = "cd " + ShellQuote(dir.Path()) +
                            " && XDG_CONFIG_HOME=" + ShellQuote(dir / "cfg") +
                            " TMPDIR=" + ShellQuote(dir.Path()) +
                            " QT_QPA_PLATFORM=offscreen CORVANE_DISCOVERY=loopback ";
    // A registry that cannot be written is a class registration failure.
    testsupport::WriteFile(dir / "blocked", "");
    std::string out = RunCommand("XDG_CONFIG_HOME=" + ShellQuote(dir / "blocked/cfg") +
                                     " " REGCTL_PATH " " WAVELIN_PATH " 2>&1",
                                 &st);
    EXPECT_NE(st, 0);
    EXPECT_NE(out.find("0x80040201"), std::string::npos) << out;
    std::remove((dir / "blocked").c_str());

    out = RunCommand(env + REGCTL_PATH " " WAVELIN_PATH " 2>&1", &st);
    ASSERT_EQ(st, 0) << out;
    EXPECT_NE(out.find("0x00000000"), std::string::npos) << out;
    const std::string strIni = testsupport::ReadFile(dir / "cfg/Corvane/Controls.ini");
    EXPECT_NE(strIni.find("[WAVELIN2.WavelinCtrl.1]"), std::string::npos) << strIni;
    EXPECT_NE(strIni.find("{F2D45FAA-EA39-4177-9A78-61AB8BFDE4C6}"), std::string::npos);

    out = RunCommand(env + DISPCALL_PATH " WAVELIN2.WavelinCtrl.1 " +
                         ShellQuote("EKGOpenFile(" + dir / "fx/server.ekg" + ")") +
                         " 'EKGGetRhythmParam(0)' 'EKGGetAnalysisCnt()' 'EKGGetAnalysis(-1)'"
                         " 'EKGStartAnalysisRecording(1.2.3.4,x,0)'"
                         " 'EKGMakeImage(o.jpg,1,3,1,800,1)' 'EKGMakePDF(o.pdf,1,3,1,0)'"
                         " 'EKGMakeXML(o.xml)'",
                     &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(out,
              "EKGOpenFile = TRUE\n"
              "EKGGetRhythmParam = 72\n"
              "EKGGetAnalysisCnt = 3\n"
              "EKGGetAnalysis = \n"
              "EKGStartAnalysisRecording = FALSE\n"
              "EKGMakeImage = TRUE\n"
              "EKGMakePDF = TRUE\n"
              "EKGMakeXML = TRUE\n");

    out = RunCommand("identify " + ShellQuote(dir / "o.jpg") + " 2>&1", &st);
    EXPECT_EQ(st, 0) << out;
    EXPECT_NE(out.find("JPEG 800x600"), std::string::npos) << out;
    out = RunCommand("qpdf --check " + ShellQuote(dir / "o.pdf") + " 2>&1", &st);
    EXPECT_EQ(st, 0) << out;
    out = RunCommand("pdfinfo " + ShellQuote(dir / "o.pdf") + " 2>&1", &st);
    EXPECT_NE(out.find("Pages:           1"), std::string::npos) << out;
    out = RunCommand("pdftotext " + ShellQuote(dir / "o.pdf") + " - 2>&1", &st);
    EXPECT_NE(out.find("ID-4711"), std::string::npos) << out;
    EXPECT_NE(out.find("6Channel + 1 Rhythm Report"), std::string::npos) << out;
    out = RunCommand("xmllint --noout " + ShellQuote(dir / "o.xml") + " 2>&1", &st);
    EXPECT_EQ(st, 0) << out;
    const std::string strXml = testsupport::ReadFile(dir / "o.xml");
    ASSERT_GE(strXml.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(strXml[0]), 0xFF);  // UTF-16LE byte order mark
    EXPECT_EQ(static_cast<unsigned char>(strXml[1]), 0xFE);

    // Only the three outputs and our own folders: no scratch file left behind.
    out = RunCommand("cd " + ShellQuote(dir.Path()) + " && find . -type f | sort");
    EXPECT_EQ(out, "./cfg/Corvane/Controls.ini\n" +
                       std::string(RunCommand("cd " + ShellQuote(dir.Path()) +
                                              " && find ./fx -type f | sort")) +
                       "./o.jpg\n./o.pdf\n./o.xml\n");

    // The about box goes through the notifier (standard error without a GUI).
    out = RunCommand(env + DISPCALL_PATH " WAVELIN2.WavelinCtrl.1 'AboutBox()' 2>&1", &st);
    EXPECT_EQ(st, 0) << out;
    EXPECT_NE(out.find("Version 2.0"), std::string::npos) << out;

    out = RunCommand(env + REGCTL_PATH " -u " WAVELIN_PATH " 2>&1", &st);
    EXPECT_EQ(st, 0) << out;
    out = RunCommand(env + DISPCALL_PATH " WAVELIN2.WavelinCtrl.1 'EKGGetMode()' 2>&1", &st);
    EXPECT_EQ(st, 1);
    EXPECT_NE(out.find("not registered"), std::string::npos) << out;
}
