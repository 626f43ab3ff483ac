// Test files from the independent fixture generator: every test type and format opens with
// the generator's values and saves back to the same bytes; damaged files give their codes
// in the order the reader checks them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/process.h"
#include "spiro_control/spirotestfile.h"
#include "testsupport/testsupport.h"

using testsupport::CTempDir;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

std::string Unhex(const std::string& hex) {
    if (hex == "-") {
        return {};
    }
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

CSpiroCurveData::EArea AreaByName(const std::string& name) {
    if (name == "svc")
        return CSpiroCurveData::kSvc;
    if (name == "mvv")
        return CSpiroCurveData::kMvv;
    if (name == "post")
        return CSpiroCurveData::kPost;
    return CSpiroCurveData::kBase;
}

std::string Ext(int nType) {
    return spirofile::FileExtension(nType);
}

std::string FixtureName(int nType, int nFormat) {
    return "spiro_t" + std::to_string(nType) + "_f" + std::to_string(nFormat);
}

// Runs the generator into the folder; every fixture is there afterwards.
void Generate(const CTempDir& dir) {
    platform::ProcessResult r =
        platform::RunProcess({SPIRO_PYTHON3, SPIRO_FIXTURE_SCRIPT, dir.Path()}, 60000);
    ASSERT_TRUE(r.Succeeded()) << r.strError << " exit " << r.nExitCode;
}

class SpiroFixtures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pDir = new CTempDir;
        Generate(*s_pDir);
    }
    static void TearDownTestSuite() {
        delete s_pDir;
        s_pDir = nullptr;
    }
    static std::string Fixture(int nType, int nFormat) {
        return (*s_pDir) / (FixtureName(nType, nFormat) + Ext(nType));
    }
    static std::string Bytes(int nType, int nFormat) { return ReadFile(Fixture(nType, nFormat)); }

    // Writes a damaged copy of a fixture and opens it.
    short OpenDamaged(int nType, int nFormat, const std::function<void(std::string&)>& damage,
                      short nRequested = 0) {
        std::string data = Bytes(nType, nFormat);
        damage(data);
        std::string path = m_dir / ("damaged" + Ext(nType));
        EXPECT_TRUE(WriteFile(path, data));
        CSpiroTestFile file;
        short nResult = file.Open(path, nRequested);
        if (nResult < 0) {
            EXPECT_EQ(file.GetTestType(), 0) << "an error leaves the record empty";
        }
        return nResult;
    }

    static CTempDir* s_pDir;
    CTempDir m_dir;
};
CTempDir* SpiroFixtures::s_pDir = nullptr;

void ExpectValues(const CSpiroTestFile& file, const std::string& valuesPath) {
    std::ifstream in(valuesPath);
    ASSERT_TRUE(in) << valuesPath;
    std::string line;
    int nChecked = 0;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string what;
        s >> what;
        SCOPED_TRACE(line);
        ++nChecked;
        if (what == "header") {
            int t, f, tr, b, pt, pb;
            s >> t >> f >> tr >> b >> pt >> pb;
            EXPECT_EQ(file.GetTestType(), t);
            EXPECT_EQ(file.GetFormat(), f);
            EXPECT_EQ(file.m_Info.m_nTrials, tr);
            EXPECT_EQ(file.m_Info.m_nBestTrial, b);
            EXPECT_EQ(file.m_Info.m_nPostTrials, pt);
            EXPECT_EQ(file.m_Info.m_nPostBestTrial, pb);
        } else if (what == "info") {
            int kind;
            std::string hex;
            s >> kind >> hex;
            EXPECT_EQ(file.GetInformation(static_cast<short>(kind)), Unhex(hex));
        } else if (what == "pound") {
            int n;
            s >> n;
            EXPECT_EQ(file.m_Info.m_bPound, n);
        } else if (what == "fvc" || what == "svc" || what == "mvv") {
            int r, c;
            std::string hex;
            s >> r >> c >> hex;
            float f = what == "fvc"   ? file.m_Param.m_afFvc[r][c]
                      : what == "svc" ? file.m_Param.m_afSvc[r][c]
                                      : file.m_Param.m_afMvv[r];
            EXPECT_EQ(spirotext::BitsFromFloat(f), std::stoul(hex, nullptr, 16));
        } else if (what == "slot") {
            int n;
            std::string hex;
            s >> n >> hex;
            EXPECT_EQ(static_cast<DWORD>(file.m_Predict.GetInt(n)), std::stoul(hex, nullptr, 16));
        } else if (what == "ecode") {
            int t;
            std::string hex;
            s >> t >> hex;
            std::string code = Unhex(hex);
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(file.m_Param.GetEcode(static_cast<short>(t), static_cast<short>(k)),
                          code[k]);
            }
        } else if (what == "curve") {
            std::string area, hex;
            DWORD off;
            s >> area >> off >> hex;
            EXPECT_EQ(file.m_Curve.GetWord(AreaByName(area), off), std::stoul(hex, nullptr, 16));
        } else {
            ADD_FAILURE() << "unknown line";
        }
    }
    EXPECT_GT(nChecked, 100);
}

TEST_F(SpiroFixtures, EveryTypeAndFormatOpensWithTheGeneratorsValuesAndSavesIdentically) {
    for (int nType = 1; nType <= 5; ++nType) {
        for (int nFormat = 0; nFormat <= 2; ++nFormat) {
            SCOPED_TRACE(FixtureName(nType, nFormat));
            std::string original = Bytes(nType, nFormat);
            ASSERT_EQ(original.size(), spirofile::FileLength(nType, nFormat));
            CSpiroTestFile file;
            ASSERT_EQ(file.Open(Fixture(nType, nFormat), 0), nType);
            ExpectValues(file, (*s_pDir) / (FixtureName(nType, nFormat) + ".values"));
            std::string saved = m_dir / ("saved" + Ext(nType));
            ASSERT_EQ(file.Save(saved), 0);
            EXPECT_TRUE(ReadFile(saved) == original) << "bytes differ";
            // Asking for the file's own type gives the same.
            CSpiroTestFile again;
            EXPECT_EQ(again.Open(Fixture(nType, nFormat), static_cast<short>(nType)), nType);
        }
    }
}

TEST_F(SpiroFixtures, DamagedFilesGiveTheirCodesInTheReadersOrder) {
    auto set = [](int nAt, int nValue) {
        return [=](std::string& d) { d[nAt] = static_cast<char>(nValue); };
    };
    auto both = [](std::function<void(std::string&)> a, std::function<void(std::string&)> b) {
        return [=](std::string& d) { a(d), b(d); };
    };
    auto resize = [](std::size_t n) { return [=](std::string& d) { d.resize(n, '\0'); }; };
    struct Case {
        const char* name;
        int nType, nFormat;
        std::function<void(std::string&)> damage;
        short nRequested, nExpected;
    } cases[] = {
        {"shorter than any test file", 3, 0, resize(10599), 0, -4},
        {"header tag", 1, 2, set(0, 0x71), 0, -8},
        {"version 4", 1, 2, set(1, 4), 0, -8},
        {"version 8", 1, 2, set(1, 8), 0, -8},
        {"type 0", 1, 2, set(2, 0), 0, -8},
        {"type 6", 1, 2, set(2, 6), 0, -8},
        {"no trials", 1, 2, set(3, 0), 0, -8},
        {"four trials", 2, 1, set(3, 4), 0, -8},
        {"best trial 4", 4, 0, set(4, 4), 0, -8},
        {"type 5 post trials 0", 5, 2, set(3, 0x30), 0, -8},
        {"type 5 base best 0", 5, 0, set(4, 0x01), 0, -8},
        {"information tag", 3, 1, set(10, 0x70), 0, -8},
        {"information length", 3, 1, set(11, 0x43), 0, -8},
        {"date tag", 2, 0, set(101, 0x11), 0, -8},
        {"site tag", 2, 2, set(120, 0), 0, -8},
        {"type 1 without interpretation", 1, 0, set(285, 0), 0, -8},
        {"type 4 interpretation length 6", 4, 2, set(286, 6), 0, -8},
        {"type 5 format 2 interpretation length 3", 5, 2, set(286, 3), 0, -8},
        {"type 5 format 0 interpretation length 6", 5, 0, set(286, 6), 0, -8},
        {"bad header before wrong length", 1, 1, both(set(0, 0), resize(20000)), 0, -8},
        {"other type asked for", 1, 2, nullptr, 2, -7},
        {"other type asked for before wrong length", 1, 2, resize(20000), 2, -7},
        {"one byte too many", 1, 2, resize(38001), 0, -4},
        {"one byte too few", 2, 0, resize(96999), 0, -4},
        {"type 5 format 0 padded to 74000", 5, 0, resize(74000), 0, -4},
        {"far too long", 2, 2, resize(300000), 0, -4},
        {"format byte 9 read as format 0", 4, 2, set(5, 9), 0, -4},
        {"format 0 parameter heads", 1, 0, set(294, 0), 0, -11},
        {"format 0 third parameter head", 3, 0, set(299, 5), 0, -11},
        {"parameter heads before predicted tags", 5, 0, both(set(296, 0), set(800, 0)), 0, -11},
        {"format 0 volume-time tag", 1, 0, set(800, 0x80), 0, -12},
        {"format 0 inspiratory length", 2, 0, set(841, 5), 0, -12},
        {"format 0 predicted tag of type 4", 4, 0, set(860, 0), 0, -12},
        {"format 0 svc count tag", 3, 0, set(960, 0), 0, -12},
        {"format 1 svc count tag", 5, 1, set(1120, 0), 0, -12},
        {"format 2 predicted length", 3, 2, set(1201, 8), 0, -12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenDamaged(
                      c.nType, c.nFormat, c.damage ? c.damage : [](std::string&) {}, c.nRequested),
                  c.nExpected);
    }
    CSpiroTestFile file;
    EXPECT_EQ(file.Open(m_dir / "missing.fvc", 0), -2);
    EXPECT_EQ(file.Open(m_dir.Path(), 0), -2) << "a folder is no test file";
}

TEST_F(SpiroFixtures, HeaderReadingRules) {
    // Type 5 may carry 0x78 as its interpretation tag; types 2 and 3 need nothing at 285.
    EXPECT_EQ(OpenDamaged(5, 1, [](std::string& d) { d[285] = 0x78; }), 5);
    EXPECT_EQ(OpenDamaged(3, 2, [](std::string& d) { d[285] = 0x12, d[286] = 0x34; }), 3);
    // Version byte 5 means format 0 whatever byte 5 holds.
    {
        std::string d = Bytes(1, 0);
        d[5] = 2;
        WriteFile(m_dir / "v5.fvc", d);
        CSpiroTestFile file;
        ASSERT_EQ(file.Open(m_dir / "v5.fvc", 0), 1);
        EXPECT_EQ(file.GetFormat(), 0);
        ASSERT_EQ(file.Save(m_dir / "v5out.fvc"), 0);
        EXPECT_TRUE(ReadFile(m_dir / "v5out.fvc") == Bytes(1, 0));
    }
    // A type-3 file is read with one trial whatever byte 3 says.
    {
        std::string d = Bytes(3, 1);
        d[3] = 2, d[4] = 3;
        WriteFile(m_dir / "t3.mvv", d);
        CSpiroTestFile file;
        ASSERT_EQ(file.Open(m_dir / "t3.mvv", 0), 3);
        EXPECT_EQ(file.m_Info.m_nTrials, 1);
        EXPECT_EQ(file.m_Info.m_nBestTrial, 1);
    }
}

TEST_F(SpiroFixtures, FormatTwoKeepsRowsTenToThirteenButNotRowFourteen) {
    CSpiroTestFile file;
    ASSERT_EQ(file.Open(Fixture(4, 2), 0), 4);
    EXPECT_EQ(file.m_Param.ParamCount(4, 2), 15);
    EXPECT_NE(file.m_Param.GetParam(4, 13, 5), 0.0f);
    ASSERT_EQ(file.m_Param.SetParam(4, 14, 0, 9.5f), 0);
    ASSERT_EQ(file.Save(m_dir / "r14.fvc"), 0);
    CSpiroTestFile back;
    ASSERT_EQ(back.Open(m_dir / "r14.fvc", 0), 4);
    EXPECT_EQ(back.m_Param.GetParam(4, 14, 0), 0.0f);
    EXPECT_EQ(back.m_Param.GetParam(4, 13, 5), file.m_Param.GetParam(4, 13, 5));
    // Format 0 has no rows beyond 9.
    CSpiroTestFile f0;
    ASSERT_EQ(f0.Open(Fixture(1, 0), 0), 1);
    EXPECT_EQ(f0.m_Param.GetParam(1, 12, 0), 0.0f);
    EXPECT_EQ(f0.m_Param.ParamCount(1, 0), 10);
}

TEST_F(SpiroFixtures, HospitalLongerThanSixteenCharacters) {
    // Formats 1 and 2 keep up to 28 characters at their own place.
    CSpiroTestFile file;
    ASSERT_EQ(file.Open(Fixture(1, 2), 0), 1);
    EXPECT_EQ(file.GetInformation(16), "St. Hospital of the Valley");
    // Format 0 has no room beyond 16 (the curves lie there): the text is cut to 16.
    file.m_Info.m_nFormat = 0;
    ASSERT_EQ(file.Save(m_dir / "f0.fvc"), 0);
    std::string d = ReadFile(m_dir / "f0.fvc");
    EXPECT_EQ(static_cast<BYTE>(d[122]), 0x10);
    EXPECT_EQ(d.substr(123, 16), "St. Hospital of ");
    CSpiroTestFile back;
    ASSERT_EQ(back.Open(m_dir / "f0.fvc", 0), 1);
    EXPECT_EQ(back.GetInformation(16), "St. Hospital of ");
    // Curve bytes of a format-0 file are never taken for a long hospital text.
    std::string bad = Bytes(1, 0);
    bad[122] = 0x1C;
    WriteFile(m_dir / "bad.fvc", bad);
    ASSERT_EQ(back.Open(m_dir / "bad.fvc", 0), 1);
    EXPECT_EQ(back.GetInformation(16), "");
}

TEST_F(SpiroFixtures, ServerBuildWritesNoAdditionalTextAndShortSiteTexts) {
    CSpiroTestFile file(TRUE);
    ASSERT_EQ(file.Open(Fixture(5, 2), 0), 5);
    EXPECT_EQ(file.GetInformation(22), "Spirometer Ver 1.16");
    EXPECT_EQ(file.m_Param.ParamCount(5, 2), 10);
    ASSERT_EQ(file.Save(m_dir / "server.fvc"), 0);
    std::string d = ReadFile(m_dir / "server.fvc");
    EXPECT_EQ(d.substr(78, 17), std::string(17, '\0'));
    EXPECT_EQ(static_cast<BYTE>(d[122]), 0x10);
    EXPECT_EQ(d.substr(123, 16), "St. Hospital of ");
    EXPECT_EQ(d.substr(1144, 56), std::string(56, '\0'));
    CSpiroTestFile control;
    EXPECT_EQ(control.GetInformation(22), "Spirometer Ver 1.15");
}

TEST_F(SpiroFixtures, AFailedSaveKeepsTheFileItWouldReplace) {
    std::string target = m_dir / "keep.fvc";
    ASSERT_TRUE(WriteFile(target, Bytes(1, 2)));
    CSpiroTestFile empty;
    EXPECT_EQ(empty.Save(target), -8) << "no test type";
    EXPECT_TRUE(ReadFile(target) == Bytes(1, 2));

    CSpiroTestFile file;
    ASSERT_EQ(file.Open(Fixture(2, 1), 0), 2);
    EXPECT_EQ(file.Save(m_dir / "no/such/folder/x.svc"), -2);
    // A target that cannot be replaced (a folder) stays as it was.
    std::string folder = m_dir / "folder.svc";
    ASSERT_TRUE(WriteFile(folder + "/inside", "x"));
    EXPECT_EQ(file.Save(folder), -2);
    EXPECT_EQ(ReadFile(folder + "/inside"), "x");
    // A successful save replaces an existing file whole.
    ASSERT_TRUE(WriteFile(target, std::string(50000, 'z')));
    ASSERT_EQ(file.Save(target), 0);
    EXPECT_TRUE(ReadFile(target) == Bytes(2, 1));
}

TEST_F(SpiroFixtures, OverlongCountsAreKeptWithinTheirCurves) {
    // Counts beyond a curve's 1500 (FVC) or 8000 (SVC) samples are held at the curve's end.
    std::string d = Bytes(1, 1);
    spirotext::PutLE32(reinterpret_cast<BYTE*>(d.data()) + 1000, 0x7FFFFFFF);
    spirotext::PutLE32(reinterpret_cast<BYTE*>(d.data()) + 1020, 0xFFFFFFF0);
    spirotext::PutLE32(reinterpret_cast<BYTE*>(d.data()) + 1122, 8001);
    WriteFile(m_dir / "counts.fvc", d);
    CSpiroTestFile file;
    ASSERT_EQ(file.Open(m_dir / "counts.fvc", 0), 1);
    EXPECT_EQ(file.m_Predict.GetInt(1), 1500);
    EXPECT_EQ(file.m_Predict.GetInt(7), 0);
    EXPECT_EQ(file.m_Predict.GetInt(19), 8000);
}

}  // namespace
