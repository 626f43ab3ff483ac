// libFlowlin.so registered with regctl and driven by ProgID through dispcall, as the hosts
// drive it: every fixture opens with its type, the getters give the fixture's values, the
// outputs pass the outside checkers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "spiro_control/spirosections.h"
#include "testsupport/testsupport.h"

using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {

class FlowlinE2e : public ::testing::Test {
protected:
    void SetUp() override {
        int st = -1;
        RunCommand(
            std::string(SPIRO_PYTHON3 " " SPIRO_FIXTURE_SCRIPT " ") + ShellQuote(m_dir / "fx"),
            &st);
        ASSERT_EQ(st, 0);
        m_env = "cd " + ShellQuote(m_dir.Path()) +
                " && XDG_CONFIG_HOME=" + ShellQuote(m_dir / "cfg") +
                " TMPDIR=" + ShellQuote(m_dir.Path()) + " QT_QPA_PLATFORM=offscreen ";
        const std::string out = RunCommand(m_env + REGCTL_PATH " " FLOWLIN_PATH " 2>&1", &st);
        ASSERT_EQ(st, 0) << out;
    }
    // One dispcall run; its lines "Name = value" in call order.
    std::vector<std::string> Call(const std::vector<std::string>& calls) {
        std::string cmd = m_env + DISPCALL_PATH " FLOWLIN.FlowlinCtrl.1";
        for (const std::string& c : calls)
            cmd += " " + ShellQuote(c);
        const std::string out = RunCommand(cmd);
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        EXPECT_EQ(lines.size(), calls.size()) << out;
        return lines;
    }
    static std::string Value(const std::string& line) {
        const size_t n = line.find(" = ");
        return n == std::string::npos ? "?" + line : line.substr(n + 3);
    }

    testsupport::CTempDir m_dir;
    std::string m_env;
};

std::string Unhex(const std::string& hex) {
    if (hex == "-")
        return {};
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

float FloatOf(const std::string& hexWord) {
    const unsigned int bits = static_cast<unsigned int>(std::stoul(hexWord, nullptr, 16));
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

TEST_F(FlowlinE2e, EveryFixtureOpensAndItsGettersMatch) {
    for (int nType = 1; nType <= 5; ++nType) {
        for (int nFormat = 0; nFormat <= 2; ++nFormat) {
            SCOPED_TRACE(nType * 10 + nFormat);
            const std::string stem =
                "fx/spiro_t" + std::to_string(nType) + "_f" + std::to_string(nFormat);
            const std::string path = stem + spirofile::FileExtension(nType);
            std::vector<std::string> calls = {
                "Open(" + path + ", 0)", "GetTestType()",   "GetFileVersion()", "GetTrialNum()",
                "GetBestNo()",           "GetBestNoPost()", "IsPound()"};
            std::vector<std::string> expected;
            std::vector<std::pair<std::string, float>> floats;  // call, value
            std::ifstream in(m_dir / (stem + ".values"));
            std::string kind;
            int nHeader[6] = {};
            std::string strPound;
            std::vector<std::pair<std::string, std::string>> texts;
            while (in >> kind) {
                if (kind == "header") {
                    for (int& n : nHeader)
                        in >> n;
                } else if (kind == "info") {
                    int k;
                    std::string hex;
                    in >> k >> hex;
                    texts.push_back({"GetInformation(" + std::to_string(k) + ")", Unhex(hex)});
                } else if (kind == "pound") {
                    in >> strPound;
                } else if (kind == "fvc" || kind == "svc" || kind == "mvv") {
                    int r, c;
                    std::string word;
                    in >> r >> c >> word;
                    int nShown = c;
                    if (nType == 5) {
                        for (int k = 0; k < 12; ++k) {
                            if (CSpiroParamTable::StoredColumnOfType5(k) == c)
                                nShown = k;
                        }
                    }
                    floats.push_back({"GetParam(" + std::to_string(nType) + ", " +
                                          std::to_string(r) + ", " + std::to_string(nShown) + ")",
                                      FloatOf(word)});
                } else {
                    std::string rest;
                    std::getline(in, rest);
                }
            }
            for (const auto& t : texts)
                calls.push_back(t.first);
            for (const auto& f : floats)
                calls.push_back(f.first);
            const auto lines = Call(calls);
            ASSERT_EQ(lines.size(), calls.size());
            EXPECT_EQ(Value(lines[0]), std::to_string(nType));
            EXPECT_EQ(Value(lines[1]), std::to_string(nType));
            EXPECT_EQ(Value(lines[2]), std::to_string(nFormat));
            EXPECT_EQ(Value(lines[3]), std::to_string(nHeader[2]));
            EXPECT_EQ(Value(lines[4]), std::to_string(nHeader[3]));
            EXPECT_EQ(Value(lines[5]), std::to_string(nHeader[5]));
            EXPECT_EQ(Value(lines[6]), strPound == "1" ? "TRUE" : "FALSE");
            size_t i = 7;
            for (const auto& t : texts) {
                EXPECT_EQ(Value(lines[i]), t.second) << t.first;
                ++i;
            }
            for (const auto& f : floats) {
                const float fGot = std::stof(Value(lines[i]));
                EXPECT_NEAR(fGot, f.second, std::fabs(f.second) * 1e-6 + 1e-6) << f.first;
                ++i;
            }
        }
    }
}

TEST_F(FlowlinE2e, HostCallsAndOutputs) {
    const auto lines = Call(
        {"Open(fx/missing.fvc, 0)", "GetTestType()", "Open(fx/spiro_t1_f2.fvc, 0)", "GridSize(31)",
         "GridSize()", "SaveJPEG(out/a.jpg, 600)", "SaveJPEG(" + (m_dir / "p.jpg") + ", 600)",
         "SaveBMP(" + (m_dir / "p.bmp") + ", 600)", "SavePDF(" + (m_dir / "p.pdf") + ", 600)",
         "SavePDF(" + (m_dir / "none/p.pdf") + ", 600)", "SaveJPEG(bad?.jpg, 600)", "PrintEx(x, 0)",
         "PrintEx(\"no such queue\", 1)", "Clear()", "GetTestType()", "GetFileVersion()",
         "GetEcode(0, 1)", "SpiroSetUnit(1)"});
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0], "Open = -2");
    EXPECT_EQ(lines[1], "GetTestType = 0");
    EXPECT_EQ(lines[2], "Open = 1");
    EXPECT_EQ(lines[3], "GridSize = (empty)");
    EXPECT_EQ(lines[4], "GridSize = 32");
    EXPECT_EQ(lines[5], "SaveJPEG = -15");  // no folder "out"
    EXPECT_EQ(lines[6], "SaveJPEG = 0");
    EXPECT_EQ(lines[7], "SaveBMP = 0");
    EXPECT_EQ(lines[8], "SavePDF = 0");
    EXPECT_EQ(lines[9], "SavePDF = -14");
    EXPECT_EQ(lines[10], "SaveJPEG = -13");
    EXPECT_EQ(lines[11], "PrintEx = 2");
    EXPECT_EQ(lines[12], "PrintEx = -18");
    EXPECT_EQ(lines[14], "GetTestType = 0");
    EXPECT_EQ(lines[15], "GetFileVersion = 2");
    EXPECT_EQ(lines[16], "GetEcode = -1");  // cleared: no code
    EXPECT_EQ(RunCommand("identify -format '%m %w %h %Q' " + ShellQuote(m_dir / "p.jpg")),
              "JPEG 600 800 75");
    EXPECT_NE(RunCommand("file " + ShellQuote(m_dir / "p.bmp")).find("600 x 800 x 24"),
              std::string::npos);
    int st = -1;
    RunCommand("qpdf --check " + ShellQuote(m_dir / "p.pdf"), &st);
    EXPECT_EQ(st, 0);
    EXPECT_NE(RunCommand("pdftotext " + ShellQuote(m_dir / "p.pdf") + " -").find("Pat-ID : PT1-F2"),
              std::string::npos);
}

// Registration results, and a library that exports only its three entry points.
TEST(FlowlinLibrary, RegistrationAndExports) {
    testsupport::CTempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir / "blocked", ""));
    int st = -1;
    std::string out = RunCommand("XDG_CONFIG_HOME=" + ShellQuote(dir / "blocked/cfg") +
                                     " " REGCTL_PATH " " FLOWLIN_PATH " 2>&1",
                                 &st);
    EXPECT_NE(st, 0);
    EXPECT_NE(out.find("0x80040201"), std::string::npos) << out;
    out = RunCommand(
        "XDG_CONFIG_HOME=" + ShellQuote(dir / "cfg") + " " REGCTL_PATH " " FLOWLIN_PATH " 2>&1",
        &st);
    EXPECT_EQ(st, 0) << out;
    const std::string reg = testsupport::ReadFile(dir / "cfg/Corvane/Controls.ini");
    EXPECT_NE(reg.find("[FLOWLIN.FlowlinCtrl.1]"), std::string::npos) << reg;
    EXPECT_NE(reg.find("{071A4402-7EDA-4982-9FA0-70B33C665992}"), std::string::npos);
    EXPECT_NE(reg.find("[FLOWLIN.FlowlinPropPage.1]"), std::string::npos);
    out = RunCommand(
        "XDG_CONFIG_HOME=" + ShellQuote(dir / "cfg") + " " REGCTL_PATH " -u " FLOWLIN_PATH " 2>&1",
        &st);
    EXPECT_EQ(st, 0) << out;
    EXPECT_EQ(testsupport::ReadFile(dir / "cfg/Corvane/Controls.ini").find("FLOWLIN"),
              std::string::npos);

    const std::string symbols =
        RunCommand("nm -D --defined-only " FLOWLIN_PATH " | awk '$2 == \"T\" {print $3}' | sort");
    EXPECT_EQ(symbols, "CorvaneCreateControl\nDllRegisterServer\nDllUnregisterServer\n");
}

}  // namespace
