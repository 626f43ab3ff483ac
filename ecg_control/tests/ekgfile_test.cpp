#include "ecg_control/ekgfile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/process.h"
#include "testsupport/testsupport.h"

namespace {

std::string FromHex(const std::string& strToken) {
    // "=" followed by hex digits.
    std::string out;
    for (std::size_t i = 1; i + 1 < strToken.size(); i += 2) {
        out.push_back(static_cast<char>(std::stoi(strToken.substr(i, 2), nullptr, 16)));
    }
    return out;
}

struct CRecordObjects {
    CWaveBuffer wave;
    CEkgRecordInfo info;
    CMorphologyTable morph;
};

BOOL Open(const std::string& path, CRecordObjects& rec, int nMode) {
    if (path.size() > 4 && path.substr(path.size() - 4) == ".dcd") {
        return ReadCseFile(path, &rec.wave, nMode);
    }
    return ReadEkgFile(path, &rec.wave, &rec.info, &rec.morph, nMode);
}

// Checks every line of a fixture's ".expect" file against the opened record.
void CheckExpectations(const std::string& strExpectPath, CRecordObjects& rec) {
    std::ifstream in(strExpectPath);
    ASSERT_TRUE(in.good()) << strExpectPath;
    std::string strLine;
    int nLines = 0;
    while (std::getline(in, strLine)) {
        ++nLines;
        SCOPED_TRACE(strLine);
        std::istringstream ls(strLine);
        std::string strKey;
        ls >> strKey;
        if (strKey == "mains") {
            int n;
            ls >> n;
            EXPECT_EQ(rec.wave.GetUserValue(), n);
            EXPECT_EQ(rec.wave.GetSamplesPerChannel(), n == 1 ? 6000u : 5000u);
        } else if (strKey == "sample") {
            int nLead, nValue;
            UINT nIndex;
            ls >> nLead >> nIndex >> nValue;
            EXPECT_EQ(rec.wave.GetSample(nLead, nIndex), nValue);
        } else if (strKey == "rhythm") {
            short k;
            int v;
            ls >> k >> v;
            EXPECT_EQ(rec.info.GetRhythmParam(k), v);
        } else if (strKey == "morph") {
            std::string strFirst;
            ls >> strFirst;
            if (strFirst == "none") {
                EXPECT_FALSE(rec.morph.HasBlock());
                EXPECT_EQ(rec.morph.GetMorphologyParam(0, 0), 0);
            } else {
                short nKind;
                int v;
                ls >> nKind >> v;
                EXPECT_EQ(
                    rec.morph.GetMorphologyParam(nKind, static_cast<short>(std::stoi(strFirst))),
                    v);
            }
        } else if (strKey == "statements") {
            int n;
            ls >> n;
            EXPECT_EQ(rec.info.GetAnalysisCnt(), n);
        } else if (strKey == "statement") {
            short i;
            std::string hex;
            ls >> i >> hex;
            EXPECT_EQ(rec.info.GetAnalysis(i), FromHex(hex));
        } else if (strKey == "patient") {
            short i;
            std::string hex;
            ls >> i >> hex;
            EXPECT_EQ(rec.info.GetPatientInfo(i), FromHex(hex));
        } else if (strKey == "misc") {
            short i;
            std::string hex;
            ls >> i >> hex;
            EXPECT_EQ(rec.info.GetMisc(i), FromHex(hex));
        } else if (strKey == "comment") {
            std::string hex;
            ls >> hex;
            EXPECT_EQ(rec.info.GetComment(), FromHex(hex));
        } else if (strKey == "time") {
            std::string t;
            ls >> t;
            EXPECT_EQ(rec.info.GetTime(), t);
        } else if (strKey == "filter") {
            std::string hex;
            ls >> hex;
            const auto& f = rec.info.GetFilterItem();
            EXPECT_EQ(std::string(f.begin(), f.end()), FromHex(hex));
        } else if (strKey == "array") {
            int nId;
            std::string strCount;
            ls >> nId >> strCount;
            if (strCount == "absent") {
                EXPECT_FALSE(rec.info.m_arrays.Exists(nId));
            } else {
                const int nCount = std::stoi(strCount);
                ASSERT_TRUE(rec.info.m_arrays.Exists(nId));
                EXPECT_EQ(rec.info.m_arrays.Count(nId), nCount);
                for (int i = 1; i <= nCount; ++i) {
                    int v;
                    ls >> v;
                    EXPECT_EQ(rec.info.m_arrays.Value(nId, i), v) << "position " << i;
                }
            }
        } else if (strKey == "marks") {
            std::size_t n;
            ls >> n;
            std::vector<DWORD> want(n);
            for (DWORD& m : want) {
                ls >> m;
            }
            EXPECT_EQ(rec.wave.m_adwMarks, want);
        } else {
            ADD_FAILURE() << "unknown expectation";
        }
    }
    EXPECT_GT(nLines, 50);
}

class FixtureFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pDir = new testsupport::CTempDir();
        const platform::ProcessResult r =
            platform::RunProcess({EKG_PYTHON, EKG_FIXTURES_SCRIPT, s_pDir->Path()}, 60000);
        ASSERT_TRUE(r.Succeeded()) << r.strError << " exit " << r.nExitCode;
    }
    static void TearDownTestSuite() {
        delete s_pDir;
        s_pDir = nullptr;
    }
    static testsupport::CTempDir* s_pDir;
};
testsupport::CTempDir* FixtureFiles::s_pDir = nullptr;

}  // namespace

// Each kind of file opens with the generator's values and saves again as the generator's
// control-saved bytes.
TEST_F(FixtureFiles, OpenAndSaveAgain) {
    testsupport::CCodePageScope cp("CP1252");
    const std::map<std::string, int> kinds = {{"server.ekg", 0},
                                              {"server60.raw", 1},
                                              {"engine.ksi", 0},
                                              {"control.ekg", 0},
                                              {"cse.dcd", 0}};
    for (const auto& [name, nMode] : kinds) {
        SCOPED_TRACE(name);
        const std::string path = *s_pDir / name;
        CRecordObjects rec;
        ASSERT_TRUE(Open(path, rec, nMode));
        CheckExpectations(path + ".expect", rec);

        const std::string strSaved = *s_pDir / (name + ".out");
        ASSERT_TRUE(WriteEkgFile(strSaved, &rec.wave, &rec.info, &rec.morph));
        const std::string strWant = testsupport::ReadFile(path + ".saved");
        const std::string strGot = testsupport::ReadFile(strSaved);
        ASSERT_EQ(strGot.size(), strWant.size());
        std::size_t nFirst = 0;
        while (nFirst < strGot.size() && strGot[nFirst] == strWant[nFirst]) {
            ++nFirst;
        }
        EXPECT_EQ(nFirst, strGot.size()) << "first differing byte";

        // Saved a second time after reading back: the same bytes.
        CRecordObjects again;
        ASSERT_TRUE(ReadEkgFile(strSaved, &again.wave, &again.info, &again.morph, nMode));
        std::string strImage;
        ASSERT_TRUE(BuildEkgFileImage(&again.wave, &again.info, &again.morph, strImage));
        EXPECT_TRUE(strImage == strWant);
    }
}

TEST_F(FixtureFiles, ServerFileEndingsAndShortFiles) {
    const std::string strServer = testsupport::ReadFile(*s_pDir / "server.ekg");
    ASSERT_EQ(strServer.size(), 12u * 10200 + 10000 + 240);
    testsupport::CTempDir dir;

    // A server block that starts with 0x60 is kept; its missing tail reads as zero.
    std::string strWith60 = strServer;
    strWith60[132400] = 0x60;
    strWith60[132400 + 2 + 36 * 3 + 2 * 4] = 0x01;  // lead 3, kind 1
    strWith60[132400 + 2 + 36 * 3 + 2 * 4 + 1] = 0x02;
    ASSERT_TRUE(testsupport::WriteFile(dir / "with60.ekg", strWith60));
    CRecordObjects a;
    ASSERT_TRUE(Open(dir / "with60.ekg", a, 0));
    EXPECT_TRUE(a.morph.HasBlock());
    EXPECT_EQ(a.morph.GetMorphologyParam(1, 3), 0x0102);
    EXPECT_EQ(a.morph.GetMorphologyParam(14, 11), 0);

    // A file that ends right after the information block: no measurements, marks kept
    // (the list lies inside the block).
    ASSERT_TRUE(testsupport::WriteFile(dir / "noblock.ekg", strServer.substr(0, 132400)));
    CRecordObjects b;
    ASSERT_TRUE(Open(dir / "noblock.ekg", b, 0));
    EXPECT_FALSE(b.morph.HasBlock());
    EXPECT_EQ(b.info.GetPatientInfo(0), "ID-4711");

    // Short information block, short third lead block, missing file: FALSE.
    ASSERT_TRUE(testsupport::WriteFile(dir / "shortinfo.ekg", strServer.substr(0, 132000)));
    CRecordObjects c;
    EXPECT_FALSE(Open(dir / "shortinfo.ekg", c, 0));
    ASSERT_TRUE(
        testsupport::WriteFile(dir / "shortlead.ekg", strServer.substr(0, 2 * 10200 + 5000)));
    CRecordObjects d;
    EXPECT_FALSE(Open(dir / "shortlead.ekg", d, 0));
    EXPECT_FALSE(Open(dir / "missing.ekg", d, 0));
    EXPECT_FALSE(ReadEkgFile(dir / "with60.ekg", nullptr, &d.info, &d.morph, 0));

    // A server file opened in the wrong mode is short.
    CRecordObjects e;
    EXPECT_FALSE(Open(dir / "with60.ekg", e, 1));
}

// A file's bytes in memory read as the file itself does: whole files of each kind and mode,
// and files cut inside a lead block, inside the information block and after it.
TEST_F(FixtureFiles, BytesInMemoryReadAsTheFile) {
    const std::string strServer = testsupport::ReadFile(*s_pDir / "server.ekg");
    const struct {
        const char* pszName;
        std::string strBytes;
        int nMode;
        bool bReads;
    } kCases[] = {
        {"server", strServer, 0, true},
        {"server60", testsupport::ReadFile(*s_pDir / "server60.raw"), 1, true},
        {"engine", testsupport::ReadFile(*s_pDir / "engine.ksi"), 0, true},
        {"control", testsupport::ReadFile(*s_pDir / "control.ekg"), 0, true},
        {"wrong mode", strServer, 1, false},
        {"no table", strServer.substr(0, 132400), 0, true},
        {"short info", strServer.substr(0, 132000), 0, false},
        {"short lead", strServer.substr(0, 2 * 10200 + 5000), 0, false},
        {"empty", std::string(), 0, false},
    };
    testsupport::CTempDir dir;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.pszName);
        ASSERT_TRUE(testsupport::WriteFile(dir / "r.ekg", c.strBytes));
        CRecordObjects file, memory;
        EXPECT_EQ(ReadEkgFile(dir / "r.ekg", &file.wave, &file.info, &file.morph, c.nMode) != FALSE,
                  c.bReads);
        EXPECT_EQ(ReadEkgFileImage(c.strBytes, &memory.wave, &memory.info, &memory.morph,
                                   c.nMode) != FALSE,
                  c.bReads);
        if (!c.bReads)
            continue;
        std::string strFromFile, strFromMemory;
        ASSERT_TRUE(BuildEkgFileImage(&file.wave, &file.info, &file.morph, strFromFile));
        ASSERT_TRUE(BuildEkgFileImage(&memory.wave, &memory.info, &memory.morph, strFromMemory));
        EXPECT_TRUE(strFromMemory == strFromFile);
        EXPECT_EQ(memory.morph.HasBlock(), file.morph.HasBlock());
        EXPECT_EQ(memory.wave.m_adwMarks, file.wave.m_adwMarks);
    }
}

TEST_F(FixtureFiles, ShortCseFileIsFalse) {
    const std::string strCse = testsupport::ReadFile(*s_pDir / "cse.dcd");
    ASSERT_EQ(strCse.size(), 123000u);
    testsupport::CTempDir dir;
    ASSERT_TRUE(testsupport::WriteFile(dir / "short.dcd", strCse.substr(0, 3000 + 30000 + 6)));
    CRecordObjects rec;
    EXPECT_FALSE(ReadCseFile(dir / "short.dcd", &rec.wave, 0));
    // What could be read stays: lead 0 of the first group, nothing of lead 3.
    CRecordObjects full;
    ASSERT_TRUE(ReadCseFile(*s_pDir / "cse.dcd", &full.wave, 0));
    EXPECT_EQ(rec.wave.GetSample(0, 4999), full.wave.GetSample(0, 4999));
    EXPECT_EQ(rec.wave.GetSample(3, 0), full.wave.GetSample(3, 0));
    EXPECT_EQ(rec.wave.GetSample(4, 1), 0);
    // Lead 4 (aVL) is the second value of each triple of the second group.
    const auto* p = reinterpret_cast<const unsigned char*>(strCse.data()) + 3000 + 30000;
    EXPECT_EQ(full.wave.GetSample(4, 0), static_cast<short>((p[2] << 8) | p[3]));
    EXPECT_FALSE(ReadCseFile(dir / "missing.dcd", &rec.wave, 0));
}

namespace {

void MakeRecord(CRecordObjects& rec, UINT nSamples) {
    ASSERT_TRUE(rec.wave.CreateLeads(nSamples, 2));
    for (int lead = 0; lead < 12; ++lead) {
        for (UINT i = 0; i < nSamples; i += 97) {
            rec.wave.SetSample(lead, i, static_cast<short>(lead * 1000 + i));
        }
    }
}

std::string MarkList(const std::string& strFile, DWORD nSamples) {
    return strFile.substr(ekgfile::PaceListOffset(nSamples), 4);
}

}  // namespace

TEST(EkgFile, PacemakerListPlaceAndBounds) {
    testsupport::CTempDir dir;
    for (UINT n : {5000u, 6000u}) {
        SCOPED_TRACE(n);
        CRecordObjects rec;
        MakeRecord(rec, n);
        for (DWORD m : {10u, 4999u, 5500u, 6000u, 70000u}) {
            rec.wave.AddMark(m);
        }
        const std::string path = dir / "marks.ekg";
        ASSERT_TRUE(WriteEkgFile(path, &rec.wave, &rec.info, &rec.morph));
        const std::string strFile = testsupport::ReadFile(path);
        ASSERT_EQ(strFile.size(), ekgfile::FileSize(n));
        const std::size_t nList = ekgfile::PaceListOffset(n);
        EXPECT_EQ(static_cast<BYTE>(strFile[nList]), 0x37);
        const std::size_t nMarks = n == 5000 ? 2 : 3;
        EXPECT_EQ(static_cast<BYTE>(strFile[nList + 1]), nMarks);
        CRecordObjects back;
        ASSERT_TRUE(ReadEkgFile(path, &back.wave, &back.info, &back.morph, n == 6000 ? 1 : 0));
        EXPECT_EQ(back.wave.m_adwMarks.size(), nMarks);
        for (int lead = 0; lead < 12; ++lead) {
            EXPECT_EQ(back.wave.GetSample(lead, 97 * 51), rec.wave.GetSample(lead, 97 * 51));
        }
    }

    // 300 marks: 255 written, count and list agree.
    CRecordObjects many;
    MakeRecord(many, 5000);
    for (DWORD m = 0; m < 300; ++m) {
        many.wave.AddMark(m * 10);
    }
    const std::string path = dir / "many.ekg";
    ASSERT_TRUE(WriteEkgFile(path, &many.wave, &many.info, &many.morph));
    const std::string strFile = testsupport::ReadFile(path);
    EXPECT_EQ(static_cast<BYTE>(strFile[126401]), 255);
    CRecordObjects back;
    ASSERT_TRUE(ReadEkgFile(path, &back.wave, &back.info, &back.morph, 0));
    ASSERT_EQ(back.wave.m_adwMarks.size(), 255u);
    EXPECT_EQ(back.wave.m_adwMarks[254], 2540u);
    EXPECT_EQ(static_cast<BYTE>(strFile[126402 + 510]), 0);  // nothing behind the list

    // No marks: two zero bytes.
    CRecordObjects none;
    MakeRecord(none, 5000);
    ASSERT_TRUE(WriteEkgFile(path, &none.wave, &none.info, &none.morph));
    EXPECT_EQ(MarkList(testsupport::ReadFile(path), 5000), std::string(4, '\0'));
}

TEST(EkgFile, HostileMarksInAFile) {
    // A list that claims 255 marks with positions past the record, negative ones and
    // valid ones: only the valid ones are kept.
    testsupport::CTempDir dir;
    CRecordObjects rec;
    MakeRecord(rec, 5000);
    std::string strImage;
    ASSERT_TRUE(BuildEkgFileImage(&rec.wave, &rec.info, &rec.morph, strImage));
    const std::size_t nList = ekgfile::PaceListOffset(5000);
    strImage[nList] = 0x37;
    strImage[nList + 1] = static_cast<char>(255);
    for (int i = 0; i < 255; ++i) {
        const int v = i == 0 ? 4999 : i == 1 ? 5000 : i == 2 ? -1 : 60000 + i;
        strImage[nList + 2 + 2 * i] = static_cast<char>(v & 0xFF);
        strImage[nList + 3 + 2 * i] = static_cast<char>((v >> 8) & 0xFF);
    }
    ASSERT_TRUE(testsupport::WriteFile(dir / "h.ekg", strImage));
    CRecordObjects back;
    ASSERT_TRUE(ReadEkgFile(dir / "h.ekg", &back.wave, &back.info, &back.morph, 0));
    EXPECT_EQ(back.wave.m_adwMarks, (std::vector<DWORD>{4999}));
}

TEST(EkgFile, SavingKeepsTheRecordValues) {
    testsupport::CTempDir dir;
    CRecordObjects rec;
    MakeRecord(rec, 5000);
    rec.info.SetPatientInfo(0, "PID");
    rec.info.AddStatement("Sinus rhythm");
    // No block yet: one is made for the write, and the values survive it.
    ASSERT_TRUE(WriteEkgFile(dir / "a.ekg", &rec.wave, &rec.info, &rec.morph));
    EXPECT_EQ(rec.info.GetPatientInfo(0), "PID");
    EXPECT_EQ(rec.info.GetAnalysisCnt(), 1);
    EXPECT_FALSE(rec.morph.HasBlock());
    CRecordObjects back;
    ASSERT_TRUE(ReadEkgFile(dir / "a.ekg", &back.wave, &back.info, &back.morph, 0));
    EXPECT_EQ(back.info.GetPatientInfo(0), "PID");
    EXPECT_EQ(back.info.GetAnalysis(0), "Sinus rhythm");
    EXPECT_TRUE(back.morph.HasBlock());

    // Opening a file replaces the earlier record's values; the analysis mode stays.
    back.info.SetAnalysisMode(2);
    back.info.SetMisc(0, "from before");
    ASSERT_TRUE(ReadEkgFile(dir / "a.ekg", &back.wave, &back.info, &back.morph, 0));
    EXPECT_EQ(back.info.GetMisc(0), "");
    EXPECT_EQ(back.info.GetAnalysisCnt(), 1);
    EXPECT_EQ(back.info.GetAnalysisMode(), 2);

    // A failed open leaves nothing of the earlier record behind.
    ASSERT_TRUE(back.morph.HasBlock());
    ASSERT_TRUE(testsupport::WriteFile(dir / "short.ekg", std::string(122400 + 100, '\0')));
    EXPECT_FALSE(ReadEkgFile(dir / "short.ekg", &back.wave, &back.info, &back.morph, 0));
    EXPECT_FALSE(back.morph.HasBlock());
    EXPECT_EQ(back.info.GetPatientInfo(0), "");
    EXPECT_EQ(back.info.GetAnalysisCnt(), 0);
}

TEST(EkgFile, FailedWriteLeavesTheTarget) {
    testsupport::CTempDir dir;
    CRecordObjects rec;
    MakeRecord(rec, 5000);
    const std::string path = dir / "keep.ekg";
    ASSERT_TRUE(testsupport::WriteFile(path, "old"));
    CWaveBuffer empty;
    EXPECT_FALSE(WriteEkgFile(path, &empty, &rec.info, &rec.morph));
    EXPECT_EQ(testsupport::ReadFile(path), "old");
    EXPECT_FALSE(WriteEkgFile(dir / "nofolder/x.ekg", &rec.wave, &rec.info, &rec.morph));
    // The target is a folder: the rename fails, and the failure is reported.
    ASSERT_TRUE(testsupport::WriteFile(dir / "folder.ekg/inside", "x"));
    EXPECT_FALSE(WriteEkgFile(dir / "folder.ekg", &rec.wave, &rec.info, &rec.morph));
    EXPECT_EQ(testsupport::ReadFile(dir / "folder.ekg/inside"), "x");

    // A folder that cannot be written (skipped with rights that ignore permissions).
    ASSERT_TRUE(testsupport::WriteFile(dir / "ro/keep.ekg", "old"));
    ASSERT_EQ(chmod((dir / "ro").c_str(), 0500), 0);
    const bool bIgnored = testsupport::WriteFile(dir / "ro/probe", "x");
    if (!bIgnored) {
        EXPECT_FALSE(WriteEkgFile(dir / "ro/keep.ekg", &rec.wave, &rec.info, &rec.morph));
        EXPECT_EQ(testsupport::ReadFile(dir / "ro/keep.ekg"), "old");
    }
    chmod((dir / "ro").c_str(), 0700);
}

TEST(EkgFile, EmptyPathSavesEkgKsiInThePrivateTempFolder) {
    testsupport::CTempDir dir;
    testsupport::CEnvScope tmp("TMPDIR", dir.Path().c_str());
    CRecordObjects rec;
    MakeRecord(rec, 5000);
    const CString strPath = DefaultSavePath();
    ASSERT_FALSE(strPath.empty());
    EXPECT_EQ(strPath.find(dir.Path().substr(0, dir.Path().size() - 1)), 0u);
    EXPECT_EQ(strPath.substr(strPath.size() - 8), "/ekg.ksi");
    ASSERT_TRUE(WriteEkgFile("", &rec.wave, &rec.info, &rec.morph));
    EXPECT_EQ(testsupport::ReadFile(strPath).size(), 132900u);
}

TEST(EkgFile, EngineInputLayout) {
    testsupport::CTempDir dir;
    CRecordObjects rec;
    MakeRecord(rec, 5000);
    rec.wave.AddMark(1234);
    rec.info.SetPatientInfo(0, "not written");
    const CString strPath = WriteEngineInputTo(&rec.wave, dir / "diag/sub");
    ASSERT_EQ(strPath, dir / "diag/sub/__temp.raw");
    const std::string strFile = testsupport::ReadFile(strPath);
    ASSERT_EQ(strFile.size(), 126400u + 4);
    EXPECT_EQ(strFile.substr(126400), std::string("\x37\x01\xD2\x04", 4));
    EXPECT_EQ(strFile.substr(122400, 4000), std::string(4000, '\0'));
    EXPECT_EQ(strFile.substr(10000, 200), std::string(200, '\0'));
    EXPECT_EQ(static_cast<BYTE>(strFile[10200 + 2 * 97]), (1000 + 97) & 0xFF);

    // Without a folder: the host program's home folder.
    testsupport::CEnvScope home("CORVANE_HOME", (dir / "home").c_str());
    const CString strHomePath = WriteEngineInputTo(&rec.wave, "");
    EXPECT_EQ(strHomePath.find(dir / "home/"), 0u);
    EXPECT_EQ(strHomePath.substr(strHomePath.size() - 11), "/__temp.raw");
    EXPECT_EQ(testsupport::ReadFile(strHomePath), strFile);

    CRecordObjects none;
    EXPECT_EQ(WriteEngineInputTo(&none.wave, dir.Path()), "");
    EXPECT_EQ(WriteEngineInputTo(nullptr, dir.Path()), "");
}
