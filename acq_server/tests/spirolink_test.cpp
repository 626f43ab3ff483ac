// Spirometry records through the connection core, without a socket: legacy messages and
// frames 0xB0-0xBC into test files, the replies, and device data beyond the record's room.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <random>

#include "acq_server/devicelink.h"
#include "acq_server/spiroassembler.h"
#include "spiro_control/spirotestfile.h"
#include "streams.h"
#include "testsupport/testsupport.h"

namespace {

using Bytes = std::vector<BYTE>;

void Put(Bytes& b, std::size_t at, const std::string& s) {
    std::memcpy(b.data() + at, s.data(), s.size());
}
void PutBE32(Bytes& b, std::size_t at, DWORD v) {
    b[at] = static_cast<BYTE>(v >> 24);
    b[at + 1] = static_cast<BYTE>(v >> 16);
    b[at + 2] = static_cast<BYTE>(v >> 8);
    b[at + 3] = static_cast<BYTE>(v);
}
void Append(Bytes& out, const Bytes& b) {
    out.insert(out.end(), b.begin(), b.end());
}
// An 0xFD frame of n bytes: head with its length, 0xEF last.
Bytes Frame(BYTE nSub, std::size_t n) {
    Bytes f(n, 0);
    f[0] = 0xFD;
    f[1] = nSub;
    f[2] = static_cast<BYTE>(n >> 8);
    f[3] = static_cast<BYTE>(n);
    f[n - 1] = 0xEF;
    return f;
}
Bytes Option(BYTE nOption) {
    return {0xFA, 0x02, nOption, 0xEF};
}
Bytes Header(const std::string& strID, const std::string& strDate, bool bLong) {
    Bytes f = Frame(0xB0, 204);
    Put(f, 4, strID.substr(0, 16));
    Put(f, 102, strDate);
    f[180] = bLong ? 1 : 0;
    return f;
}
// An MVV test frame: the three values.
Bytes Mvv() {
    Bytes f = Frame(0xB9, 28);
    Put(f, 4, "101.5");
    Put(f, 10, "30");
    Put(f, 16, "3.25");
    return f;
}
// A curve frame of nWords big-endian samples first, first + 1, ...
Bytes CurveFrame(BYTE nSub, int nWords, int nFirst) {
    Bytes f = Frame(nSub, 8 + 4 * static_cast<std::size_t>(nWords));
    for (int i = 0; i < nWords; ++i)
        PutBE32(f, 4 + 4 * static_cast<std::size_t>(i), static_cast<DWORD>(nFirst + i));
    return f;
}
const Bytes kEnd = {0xFC, 0x05, 0x00, 0xEF};

// Legacy messages.
Bytes Head70(BYTE nType, int nFormat) {
    if (nFormat < 0)
        return {0x70, 5, nType, 1, 1};
    return {0x70, 6, nType, 1, 1, static_cast<BYTE>(nFormat)};
}
Bytes Patient71(const std::string& strID) {
    Bytes m(68, 0);
    m[0] = 0x71;
    m[1] = 0x44;
    m[2] = 0x10;
    Put(m, 3, strID.substr(0, 16));
    return m;
}
Bytes Date72(const std::string& strDate) {
    Bytes m(16, 0);
    m[0] = 0x72;
    m[1] = 0x10;
    Put(m, 2, strDate);
    return m;
}
Bytes Curve(BYTE nTag, BYTE nLength, int nFirst) {
    Bytes m(82, 0);
    m[0] = nTag;
    m[1] = nLength;
    for (int i = 0; i < 20; ++i)
        PutBE32(m, 2 + 4 * static_cast<std::size_t>(i), static_cast<DWORD>(nFirst + i));
    return m;
}

class SpiroLink : public ::testing::Test {
protected:
    void SetUp() override {
        m_context.m_settings.m_strWorkingFolder = m_dir.Path();
        m_context.m_clock = teststream::FixedClock;
        m_context.m_onStored = [this](const CStoredRecord& r) {
            m_stored.push_back(r);
            ASSERT_NE(r.m_pSpiro, nullptr);
            ASSERT_NE(r.m_pSpiro->GetTestFile(), nullptr);
            m_stored.back().m_pSpiro = nullptr;
        };
        MakeLink();
    }
    void MakeLink() {
        m_pLink = std::make_unique<CDeviceLink>(m_context, [this](const BYTE* p, std::size_t n) {
            m_sent.insert(m_sent.end(), p, p + n);
            return TRUE;
        });
    }
    BOOL Play(const Bytes& b, std::size_t nChunk = 8192) {
        BOOL bOpen = TRUE;
        for (std::size_t i = 0; i < b.size() && bOpen; i += nChunk)
            bOpen = m_pLink->OnReceive(b.data() + i, std::min(nChunk, b.size() - i));
        return bOpen;
    }
    // The stored file through the control's reader.
    void Open(const std::string& strPath, CSpiroTestFile& f, short nType) {
        ASSERT_TRUE(std::filesystem::exists(strPath)) << strPath;
        ASSERT_EQ(f.Open(strPath, 0), nType);
    }
    std::size_t FileCount() {
        std::size_t n = 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(m_dir.Path()))
            n += e.is_regular_file() ? 1 : 0;
        return n;
    }

    testsupport::CTempDir m_dir;
    CAcqContext m_context;
    std::unique_ptr<CDeviceLink> m_pLink;
    Bytes m_sent;
    std::vector<CStoredRecord> m_stored;
};

TEST_F(SpiroLink, FrameTestStoredAndAnswered) {
    // Split at every size: one record, one reply, one file.
    for (std::size_t nChunk : {8192u, 1u, 7u}) {
        m_sent.clear();
        m_stored.clear();
        MakeLink();
        Bytes s = Option(1);
        Append(s, Header("MV1", "20251231235958", false));
        Append(s, Mvv());
        Append(s, kEnd);
        ASSERT_TRUE(Play(s, nChunk));
        EXPECT_EQ(m_sent, (Bytes{0xFC, 0x06, 0x00, 0xEF}));
        ASSERT_EQ(m_stored.size(), 1u);
        EXPECT_EQ(m_stored[0].m_nKind, 2);
        EXPECT_EQ(m_stored[0].m_strPatientID, "MV1");
        const std::string strPath = m_dir / "MV1_20251231235958.mvv";
        EXPECT_EQ(m_stored[0].m_strPath, strPath);
        CSpiroTestFile f;
        Open(strPath, f, 3);
        EXPECT_FLOAT_EQ(f.m_Param.m_afMvv[0], 101.5f);
        EXPECT_FLOAT_EQ(f.m_Param.m_afMvv[2], 3.25f);
        // The record is over: the next end has nothing to store.
        m_sent.clear();
        ASSERT_TRUE(Play(kEnd));
        EXPECT_EQ(m_sent, (Bytes{0xFC, 0x07, 0x00, 0xEF}));
    }
}

TEST_F(SpiroLink, NamesAndFolders) {
    struct Case {
        int nFolderType;
        std::string strID;
        std::string strDate;
        std::string strPath;  // below the working folder
    } cases[] = {
        {0, "AB/CD", "20260304050607", "AB!CD_20260304050607.mvv"},
        {0, "..", "20260304050607", "!!_20260304050607.mvv"},
        // Without a date the test is named with the time of saving.
        {0, "ND", "", "ND_20260102030405.mvv"},
        {1, "P7", "20260304050607", "P7/P7_20260304050607.mvv"},
        {2, "P8", "20260304050607", "SPIRO/P8_20260304050607.mvv"},
    };
    for (const auto& c : cases) {
        m_context.m_settings.m_nFolderType = c.nFolderType;
        m_sent.clear();
        m_stored.clear();
        MakeLink();
        Bytes s = Option(2);
        Append(s, Header(c.strID, c.strDate, false));
        Append(s, Mvv());
        Append(s, kEnd);
        ASSERT_TRUE(Play(s));
        EXPECT_EQ(m_sent, (Bytes{0xFC, 0x06, 0x00, 0xEF})) << c.strPath;
        ASSERT_EQ(m_stored.size(), 1u);
        EXPECT_EQ(m_stored[0].m_strPath, m_dir / c.strPath);
        EXPECT_TRUE(std::filesystem::exists(m_dir / c.strPath)) << c.strPath;
    }
}

TEST_F(SpiroLink, LongReplyCutsWhatDoesNotFit) {
    // A working folder deep enough that the path passes the reply's 150 bytes.
    const std::string strDeep = m_dir / (std::string(90, 'd') + "/" + std::string(90, 'e'));
    m_context.m_settings.m_strWorkingFolder = strDeep;
    const std::string strID = "ABCDEFGHIJKLMNOP";
    Bytes s = Option(3);
    Append(s, Header(strID, "20260304050607", true));
    Bytes svc = Frame(0xB7, 144);
    svc[4] = 3;
    svc[5] = 1;
    Put(svc, 6, "4.5");
    Append(s, svc);
    Append(s, kEnd);
    ASSERT_TRUE(Play(s));
    ASSERT_EQ(m_sent.size(), 188u);
    const std::string strPath = strDeep + "/" + strID + "_20260304050607.svc";
    ASSERT_GT(strPath.size(), 150u);
    EXPECT_EQ(m_sent[0], 0xFD);
    EXPECT_EQ(m_sent[1], 0xC2);
    EXPECT_EQ(m_sent[2], 0xBC);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m_sent[3])), strID);
    EXPECT_EQ(m_sent[35], 4);  // SVC
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m_sent[36])), strPath.substr(0, 150));
    EXPECT_EQ(m_sent[186], 0);
    EXPECT_EQ(m_sent[187], 0xEF);
    CSpiroTestFile f;
    Open(strPath, f, 2);
    EXPECT_FLOAT_EQ(f.m_Param.m_afSvc[0][0], 4.5f);
}

// Each test that was sent and not stored is told with its reason; a server without
// spirometry takes none and tells nothing.
TEST_F(SpiroLink, RefusedWhenNothingWasStored) {
    struct Case {
        const char* pszWhat;
        Bytes stream;
        bool bFactory;
        bool bFolderIsFile;
        const char* pszTold;  // the reason told; null: nothing
    } cases[] = {
        // A header and no test: no test type, no file.
        {"no test",
         [] {
             Bytes s = Option(1);
             Append(s, Header("N1", "20260304050607", false));
             Append(s, kEnd);
             return s;
         }(),
         true, false, "a spirometry test of type 0 has no file"},
        // Without the option frame the test's frames have no layout and are left alone.
        {"no option",
         [] {
             Bytes s = Header("N2", "20260304050607", true);
             Append(s, Mvv());
             Append(s, kEnd);
             return s;
         }(),
         true, false, "a spirometry test of type 0 has no file"},
        {"no container",
         [] {
             Bytes s = Option(1);
             Append(s, Header("N3", "20260304050607", true));
             Append(s, Mvv());
             Append(s, kEnd);
             return s;
         }(),
         false, false, nullptr},
        {"file not written",
         [] {
             Bytes s = Option(1);
             Append(s, Header("N4", "20260304050607", true));
             Append(s, Mvv());
             Append(s, kEnd);
             return s;
         }(),
         true, true, "its folder cannot be created: Not a directory"},
    };
    const auto factory = m_context.m_spiroFactory;
    std::vector<CFailedRecord> failed;
    m_context.m_onFailed = [&failed](const CFailedRecord& r) { failed.push_back(r); };
    for (const auto& c : cases) {
        failed.clear();
        m_context.m_spiroFactory = c.bFactory ? factory : nullptr;
        const std::string strFile = m_dir / "plain-file";
        if (c.bFolderIsFile) {
            testsupport::WriteFile(strFile, "x");
            m_context.m_settings.m_strWorkingFolder = strFile;
        }
        m_sent.clear();
        m_stored.clear();
        MakeLink();
        ASSERT_TRUE(Play(c.stream)) << c.pszWhat;
        EXPECT_EQ(m_sent, (Bytes{0xFC, 0x07, 0x00, 0xEF})) << c.pszWhat;
        EXPECT_TRUE(m_stored.empty()) << c.pszWhat;
        EXPECT_EQ(FileCount(), c.bFolderIsFile ? 1u : 0u) << c.pszWhat;
        ASSERT_EQ(failed.size(), c.pszTold ? 1u : 0u) << c.pszWhat;
        if (c.pszTold) {
            EXPECT_EQ(failed[0].m_strReason, c.pszTold) << c.pszWhat;
        }
        m_context.m_settings.m_strWorkingFolder = m_dir.Path();
        std::filesystem::remove(strFile);
    }
}

TEST_F(SpiroLink, FrameCurvesKeepToTheirArea) {
    Bytes s = Option(1);
    Append(s, Header("C1", "20260304050607", false));
    Append(s, Mvv());
    // Frames too short to hold a message: left alone, the counter does not move.
    Append(s, Bytes{0xFD, 0xBA, 0x00, 0x07, 0x01, 0x02, 0xEF});
    Append(s, Bytes{0xFD, 0xBA, 0x00, 0x05, 0xEF});
    // 9600 bytes of MVV curve in 1600-byte frames, and four frames more than fit.
    for (int k = 0; k < 10; ++k)
        Append(s, CurveFrame(0xBA, 400, 400 * k));
    Append(s, kEnd);
    ASSERT_TRUE(Play(s, 1000));
    EXPECT_EQ(m_sent, (Bytes{0xFC, 0x06, 0x00, 0xEF}));
    CSpiroTestFile f;
    Open(m_dir / "C1_20260304050607.mvv", f, 3);
    for (DWORD i = 0; i < 2400; ++i)
        ASSERT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kMvv, 4 * i), i) << i;
}

TEST_F(SpiroLink, LegacyTestStoredWithoutAnswer) {
    Bytes s = Head70(3, 2);
    Append(s, Patient71("LG1"));
    Append(s, Date72("20260304050607"));
    Append(s, Bytes{0x77, 18, '9', '9', 0, 0, 0, 0, '2', '5', 0, 0, 0, 0, '1', '.', '5', 0, 0, 0});
    Append(s, Bytes{0x77, 0});
    Append(s, Curve(0x89, 80, 1));
    Append(s, Bytes{0x89, 0});
    ASSERT_TRUE(Play(s, 5));
    EXPECT_TRUE(m_sent.empty());
    // Handed on as a frame-mode test is, without an answer.
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_EQ(m_stored[0].m_nKind, 2);
    EXPECT_EQ(m_stored[0].m_strPatientID, "LG1");
    EXPECT_EQ(m_stored[0].m_strPath, m_dir / "LG1_20260304050607.mvv");
    CSpiroTestFile f;
    Open(m_dir / "LG1_20260304050607.mvv", f, 3);
    EXPECT_FLOAT_EQ(f.m_Param.m_afMvv[1], 25.0f);
    EXPECT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kMvv, 76), 20u);
    // Another test on the same connection starts afresh.
    Bytes t = Head70(2, 2);
    Append(t, Patient71("LG2"));
    Append(t, Date72("20260304050608"));
    Append(t, Bytes{0x88, 0});
    ASSERT_TRUE(Play(t));
    Open(m_dir / "LG2_20260304050608.svc", f, 2);
}

TEST_F(SpiroLink, LegacyFormatAndBounds) {
    struct Case {
        int nFormat;  // -1: a header without a format byte
        int nExpected;
    } formats[] = {{2, 2}, {1, 1}, {0, 0}, {-1, 0}, {3, 0}, {255, 0}};
    int n = 0;
    for (const auto& c : formats) {
        const std::string strID = "LB" + std::to_string(++n);
        MakeLink();
        Bytes s = Head70(1, c.nFormat);
        Append(s, Patient71(strID));
        Append(s, Date72("20260304050607"));
        // Sample counts beyond a curve's 1500 samples, and below 0.
        Bytes counts{0x81, 12};
        counts.resize(14, 0);
        PutBE32(counts, 2, 0x7FFFFFFF);
        PutBE32(counts, 6, 0xFFFFFFFF);
        PutBE32(counts, 10, 1499);
        Append(s, counts);
        // 300 kind-1 curve messages: the 18000 bytes of the kind-1 run take 225 of them;
        // the rest must not reach the kind-2 curves.
        for (int k = 0; k < 300; ++k)
            Append(s, Curve(0x86, 80, 20 * k));
        // A new run with a shorter message: only its 32 bytes are samples.
        Append(s, Bytes{0x86, 0});
        Append(s, Curve(0x87, 32, 7000));
        Append(s, Bytes{0x87, 0});
        ASSERT_TRUE(Play(s, 333));
        const std::string strPath = m_dir / (strID + "_20260304050607.fvc");
        CSpiroTestFile f;
        Open(strPath, f, 1);
        EXPECT_EQ(f.GetFormat(), c.nExpected) << c.nFormat;
        EXPECT_EQ(testsupport::ReadFile(strPath).size(), spirofile::FileLength(1, c.nExpected));
        EXPECT_EQ(f.m_Predict.GetInt(1), 1500);
        EXPECT_EQ(f.m_Predict.GetInt(2), 0);
        EXPECT_EQ(f.m_Predict.GetInt(3), 1499);
        for (DWORD i = 0; i < 4500; ++i)
            ASSERT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kBase, 4 * i), i) << i;
        for (DWORD i = 0; i < 4500; ++i)
            ASSERT_EQ(f.m_Curve.GetWord(CSpiroCurveData::kBase, 18000 + 4 * i),
                      i < 8 ? 7000 + i : 0u)
                << i;
    }
    EXPECT_TRUE(m_sent.empty());
}

TEST_F(SpiroLink, EcgHeaderEndsAnUnfinishedTest) {
    Bytes s = Option(1);
    Append(s, Header("X1", "20260304050607", false));
    Append(s, Mvv());
    ASSERT_TRUE(Play(s));
    EXPECT_EQ(m_pLink->Assembler().GetKind(), ERecordKind::Spiro);
    Bytes ecg = Frame(0xA0, 176);
    Put(ecg, 4, "E1");
    Put(ecg, 96, "20260304050607");
    ASSERT_TRUE(Play(ecg));
    EXPECT_EQ(m_pLink->Assembler().GetKind(), ERecordKind::Ekg);
    EXPECT_EQ(FileCount(), 0u);
}

TEST_F(SpiroLink, RandomTestsStayInBounds) {
    // Spirometry messages and frames of every tag with random lengths and contents: the
    // sanitizers watch the stores; every frame-mode end is answered once.
    std::mt19937 rng(7);
    auto byte = [&] { return static_cast<BYTE>(rng() & 0xFF); };
    const BYTE legacyTags[] = {0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78,
                               0x79, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86,
                               0x87, 0x88, 0x89, 0x91, 0x92, 0x93, 0x96, 0x97};
    for (int nRound = 0; nRound < 40; ++nRound) {
        m_sent.clear();
        MakeLink();
        Bytes s;
        const bool bFrames = nRound % 2 == 0;
        if (bFrames) {
            Append(s, Option(static_cast<BYTE>(1 + nRound % 3)));
            Append(s, Header("R" + std::to_string(nRound), "20260304050607", nRound % 4 == 0));
            for (int k = 0; k < 60; ++k) {
                const std::size_t n = 5 + rng() % (k % 10 == 0 ? 8000 : 600);
                Bytes f = Frame(static_cast<BYTE>(0xB0 + rng() % 13), n);
                for (std::size_t i = 4; i + 1 < n; ++i)
                    f[i] = byte();
                Append(s, f);
            }
            Append(s, kEnd);
        } else {
            Append(s, Bytes{0x70, static_cast<BYTE>(2 + rng() % 8), byte(), byte(), byte(), byte(),
                            byte(), byte(), byte(), byte()});
            s.resize(s[1]);
            for (int k = 0; k < 400; ++k) {
                Bytes m{legacyTags[rng() % std::size(legacyTags)], byte()};
                if (m[1] == 0)
                    m[1] = 1;  // a random end would cut the test short
                const std::size_t n = acq::MessageLength(m.data(), m.size());
                while (m.size() < n)
                    m.push_back(byte());
                Append(s, m);
            }
            Append(s, Bytes{0x88, 0});
        }
        ASSERT_TRUE(Play(s, 1 + rng() % 3000)) << nRound;
        if (bFrames)
            EXPECT_TRUE(m_sent.size() == 4 || m_sent.size() == 188) << nRound;
        else
            EXPECT_TRUE(m_sent.empty()) << nRound;
    }
}

}  // namespace
