// Device connection core: framing by the table of tags, frames, record assembly and the
// record files, played without a socket.
#include <gtest/gtest.h>

#include <filesystem>

#include <cstring>
#include <random>

#include "acq_server/devicelink.h"
#include "acq_server/recordmemory.h"
#include "streams.h"
#include "testsupport/testsupport.h"

using teststream::Bytes;
using teststream::EcgSpec;

namespace {

short LE16(const std::string& f, std::size_t at) {
    return static_cast<short>(static_cast<unsigned char>(f[at]) |
                              (static_cast<unsigned char>(f[at + 1]) << 8));
}
int BE16(const std::string& f, std::size_t at) {
    return (static_cast<unsigned char>(f[at]) << 8) | static_cast<unsigned char>(f[at + 1]);
}
unsigned char U8(const std::string& f, std::size_t at) {
    return static_cast<unsigned char>(f[at]);
}

class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_context.m_settings.m_strWorkingFolder = m_dir.Path();
        m_context.m_settings.m_nFolderType = 0;
        m_context.m_clock = teststream::FixedClock;
        m_context.m_onStored = [this](const CStoredRecord& r) {
            m_stored.push_back(r);
            ASSERT_NE(r.m_pEkg, nullptr);
            m_lead3ok.push_back(true);
        };
        MakeLink();
    }
    // Each case of a table starts with an empty folder: a record never replaces an earlier
    // one of the same name.
    void EmptyFolder() {
        for (const auto& e : std::filesystem::directory_iterator(m_dir.Path()))
            std::filesystem::remove_all(e.path());
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
    std::string StoredFile(std::size_t i = 0) {
        EXPECT_GT(m_stored.size(), i);
        return i < m_stored.size() ? testsupport::ReadFile(m_stored[i].m_strPath) : std::string();
    }

    testsupport::CTempDir m_dir;
    CAcqContext m_context;
    std::unique_ptr<CDeviceLink> m_pLink;
    Bytes m_sent;
    std::vector<CStoredRecord> m_stored;
    std::vector<bool> m_lead3ok;
};

// Checks a stored file against what the cart sent.
void CheckEcgFile(const std::string& f, const EcgSpec& desc, int nSeed = 0) {
    const int N = desc.b6000 ? 6000 : 5000;
    const std::size_t nLead = static_cast<std::size_t>(N + 100) * 2;
    ASSERT_EQ(f.size(), desc.b6000 ? 156640u : 132640u);
    const int nBlocks = desc.nBlocks >= 0 ? desc.nBlocks : N / 5;
    for (int i : {0, 1, 777, N / 2, nBlocks * 5 - 1}) {
        if (i < 0 || i >= nBlocks * 5)
            continue;
        const int I = teststream::Sample(0, i, nSeed), II = teststream::Sample(1, i, nSeed);
        const short III = static_cast<short>(II - I);
        EXPECT_EQ(LE16(f, 0 * nLead + 2 * i), I) << i;
        EXPECT_EQ(LE16(f, 1 * nLead + 2 * i), II) << i;
        EXPECT_EQ(LE16(f, 2 * nLead + 2 * i), III) << i;
        EXPECT_EQ(LE16(f, 3 * nLead + 2 * i), static_cast<short>(-(I + II) / 2)) << i;
        EXPECT_EQ(LE16(f, 4 * nLead + 2 * i), static_cast<short>((I - III) / 2)) << i;
        EXPECT_EQ(LE16(f, 5 * nLead + 2 * i), static_cast<short>((II + III) / 2)) << i;
        for (int v = 0; v < 6; ++v)
            EXPECT_EQ(LE16(f, (6 + v) * nLead + 2 * i), teststream::Sample(2 + v, i, nSeed));
    }
    // Every lead: III = II - I everywhere, and the 100 trailing samples are zero.
    for (int i = 0; i < N + 100; ++i) {
        ASSERT_EQ(LE16(f, 2 * nLead + 2 * i),
                  static_cast<short>(LE16(f, nLead + 2 * i) - LE16(f, 2 * i)));
        if (i >= nBlocks * 5) {
            for (int l = 0; l < 12; ++l)
                ASSERT_EQ(LE16(f, l * nLead + 2 * i), 0) << l << " " << i;
        }
    }
    const std::size_t B = 12 * nLead;
    // Directory, patient item, globals, measurement block.
    EXPECT_EQ(U8(f, B + 0), 0x18);
    EXPECT_EQ(U8(f, B + 1), 0x10);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(U8(f, B + 2 + 2 * k), 0x30 + k);
        EXPECT_EQ(U8(f, B + 3 + 2 * k), 48);
    }
    EXPECT_EQ(U8(f, B + 50), 0x16);
    EXPECT_EQ(U8(f, B + 51), 0x3A);
    EXPECT_EQ(f.substr(B + 53, desc.strID.size()), desc.strID);
    EXPECT_EQ(f.substr(B + 70, desc.strName.size()), desc.strName);
    if (desc.bDate) {
        EXPECT_EQ(U8(f, B + 110), 0x21);
        EXPECT_EQ(U8(f, B + 111), 10);
        EXPECT_EQ(f.substr(B + 112, 4), "2026");
        EXPECT_EQ(U8(f, B + 116), 3);
        EXPECT_EQ(U8(f, B + 117), 4);
        EXPECT_EQ(U8(f, B + 118), 5);
        EXPECT_EQ(U8(f, B + 119), 6);
    }
    EXPECT_EQ(U8(f, B + 190), 0x22);
    EXPECT_EQ(U8(f, B + 191), 4);
    for (int g = 0; g < 8; ++g)
        EXPECT_EQ(BE16(f, B + 3000 + 2 * g), teststream::Global(g));
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(BE16(f, B + 3016 + 48 * k), teststream::Measure(k, 0));
    // Statements: directory entries with their stored lengths, texts after the measures.
    std::size_t nText = 3016 + 5 * 48;
    for (std::size_t s = 0; s < desc.astrStatements.size(); ++s) {
        EXPECT_EQ(U8(f, B + 12 + 2 * s), 0x19);
        const std::size_t nLen = U8(f, B + 13 + 2 * s);
        EXPECT_EQ(f.substr(B + nText, nLen), desc.astrStatements[s]);
        nText += nLen;
    }
    const std::size_t M = B + 10000;
    for (int k = 0; k < 5; ++k)
        for (int j : {0, 23})
            EXPECT_EQ(LE16(f, M + (24 * k + j) * 2), teststream::Measure(k, j));
    // Pacemaker list at offset 4000 of the block.
    const std::size_t P = B + 4000;
    EXPECT_EQ(P, desc.b6000 ? 150400u : 126400u);
    if (desc.anPace.empty()) {
        EXPECT_EQ(U8(f, P), 0);
        EXPECT_EQ(U8(f, P + 1), 0);
    } else {
        EXPECT_EQ(U8(f, P), 0x37);
        EXPECT_EQ(U8(f, P + 1), desc.anPace.size());
        for (std::size_t i = 0; i < desc.anPace.size(); ++i)
            EXPECT_EQ(static_cast<unsigned short>(LE16(f, P + 2 + 2 * i)), desc.anPace[i]);
    }
}

TEST_F(LinkFixture, LegacyTextsAndFilter) {
    EcgSpec desc;
    desc.nBlocks = 1;
    ASSERT_TRUE(Play(teststream::LegacyEcg(desc)));
    const std::string f = StoredFile();
    const std::size_t B = 122400;
    EXPECT_EQ(U8(f, B + 120), 16);
    EXPECT_EQ(f.substr(B + 121, 16), std::string("HOSPITAL A") + std::string(6, '\0'));
    EXPECT_EQ(U8(f, B + 150), 16);
    EXPECT_EQ(f.substr(B + 151, 6), "DR WHO");
    EXPECT_EQ(f.substr(B + 190, 6), std::string("\x22\x04\x01\x02\x01\x00", 6));
    EXPECT_EQ(m_context.m_nDeviceOption, 3);
    // Patient item length bytes as the server sets them.
    for (auto [at, v] : {std::pair{52, 16}, {69, 16}, {86, 4}, {91, 6}, {98, 4}, {103, 4}})
        EXPECT_EQ(U8(f, B + at), v) << at;
}

TEST_F(LinkFixture, LegacyRecordsOfBothLengths) {
    for (bool b6000 : {false, true}) {
        EcgSpec desc;
        desc.b6000 = b6000;
        desc.anPace = {120, 1520, 4000};
        m_stored.clear();
        ASSERT_TRUE(Play(teststream::LegacyEcg(desc), 1000));
        ASSERT_EQ(m_stored.size(), 1u);
        EXPECT_EQ(m_stored[0].m_strPatientID, "PAT0042");
        EXPECT_EQ(m_stored[0].m_strPath,
                  m_dir.Path() + "PAT0042_202603040506" + (b6000 ? ".raw" : ".ekg"));
        CheckEcgFile(StoredFile(), desc);
        EXPECT_TRUE(m_sent.empty()) << "the legacy path answers nothing";
        EXPECT_EQ(m_pLink->LeftoverSize(), 0u);
    }
}

TEST_F(LinkFixture, RepeatedDataEndKeepsTheSamples) {
    // A cart that repeats its end of data: the samples already taken stay the record's.
    for (bool b6000 : {false, true}) {
        EcgSpec desc;
        desc.b6000 = b6000;
        Bytes b = teststream::LegacyEcg(desc);
        const std::size_t nEnd = 58 + 16 + 36 + 6 + 3 + (b6000 ? 1200 : 1000) * 82;
        const BYTE nTag = b6000 ? 0x40 : 0x03;
        ASSERT_EQ(b[nEnd], nTag);
        ASSERT_EQ(b[nEnd + 1], 0);
        b.insert(b.begin() + static_cast<std::ptrdiff_t>(nEnd), {nTag, 0x00});
        m_stored.clear();
        MakeLink();
        ASSERT_TRUE(Play(b));
        ASSERT_EQ(m_stored.size(), 1u);
        CheckEcgFile(StoredFile(), desc);
    }
}

TEST_F(LinkFixture, FrameRecordReplies) {
    struct Case {
        int nOption;
        bool b6000, bLong;
    } cases[] = {{1, false, false}, {2, true, false}, {3, false, true}, {1, true, true}};
    for (const auto& c : cases) {
        EmptyFolder();
        MakeLink();
        m_sent.clear();
        m_stored.clear();
        EcgSpec desc;
        desc.nTransferOption = c.nOption;
        desc.b6000 = c.b6000;
        desc.bLongReply = c.bLong;
        desc.anPace = {7, 8};
        ASSERT_TRUE(Play(teststream::FrameEcg(desc), 4096));
        ASSERT_EQ(m_stored.size(), 1u);
        const std::string strPath =
            m_dir.Path() + "PAT0042_20260304050607" + (c.b6000 ? ".raw" : ".ekg");
        EXPECT_EQ(m_stored[0].m_strPath, strPath);
        CheckEcgFile(StoredFile(), desc);
        if (!c.bLong) {
            EXPECT_EQ(m_sent, (Bytes{0xFC, 0x06, 0x00, 0xEF}));
        } else {
            ASSERT_EQ(m_sent.size(), 188u);
            EXPECT_EQ(m_sent[0], 0xFD);
            EXPECT_EQ(m_sent[1], 0xC2);
            EXPECT_EQ(m_sent[2], 0xBC);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m_sent[3])), "PAT0042");
            EXPECT_EQ(m_sent[35], 1);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m_sent[36])),
                      strPath.substr(0, 150));
            EXPECT_EQ(m_sent[187], 0xEF);
        }
        EXPECT_FALSE(m_pLink->IsFrameMode());
        const std::string f = StoredFile();
        // Texts at 120 and 150 by the transfer option.
        const std::size_t B = 12 * static_cast<std::size_t>((c.b6000 ? 6100 : 5100) * 2);
        EXPECT_EQ(U8(f, B + 120), c.nOption == 3 ? 28 : 16);
        EXPECT_EQ(f.substr(B + 121, 10), "HOSPITAL B");
        EXPECT_EQ(f.substr(B + 151, 5), "DR NO");
    }
}

TEST_F(LinkFixture, SecondRecordCarriesNothingOfTheFirst) {
    EcgSpec first;
    first.anPace = {1, 2, 3};
    first.astrStatements = {"One", "Two", "Three"};
    EcgSpec second;
    second.strID = "OTHER";
    second.nBlocks = 400;
    second.nSeed = 5;
    second.astrStatements = {"Alone"};
    second.bDate = false;
    ASSERT_TRUE(Play(teststream::LegacyEcg(first)));
    ASSERT_TRUE(Play(teststream::LegacyEcg(second)));
    ASSERT_EQ(m_stored.size(), 2u);
    EXPECT_EQ(m_stored[1].m_strPath, m_dir.Path() + "OTHER_20260102030405.ekg");
    CheckEcgFile(StoredFile(1), second, 5);
    const std::string f = StoredFile(1);
    const std::size_t B = 122400;
    EXPECT_EQ(U8(f, B + 14), 0x19);
    EXPECT_EQ(U8(f, B + 15), 0xFF) << "only one statement entry";
    EXPECT_EQ(U8(f, B + 16), 0xFF);
    EXPECT_EQ(U8(f, B + 110), 0) << "no date item";

    // The same on a frame-mode connection: the first record's pacemaker marks are gone.
    MakeLink();
    m_stored.clear();
    first.nTransferOption = 2;
    second.nTransferOption = 2;
    ASSERT_TRUE(Play(teststream::FrameEcg(first)));
    ASSERT_TRUE(Play(teststream::FrameEcg(second)));
    ASSERT_EQ(m_stored.size(), 2u);
    CheckEcgFile(StoredFile(1), second, 5);
}

TEST_F(LinkFixture, EverySplitPointGivesTheSameResult) {
    EcgSpec desc;
    desc.nBlocks = 12;
    desc.anPace = {10, 20};
    auto snapshot = [this] {
        const CRecordAssembler& a = m_pLink->Assembler();
        std::string s(reinterpret_cast<const char*>(a.GetInfo()), 10000);
        s.append(reinterpret_cast<const char*>(a.GetBlocks().data()), a.GetBlocks().size());
        s += a.GetPatientID() + "|" + std::to_string(a.GetBlockCount()) + "|" +
             std::to_string(static_cast<int>(a.GetKind())) + "|" + std::to_string(a.Is6000()) +
             "|" + std::to_string(m_pLink->IsFrameMode()) + "|" +
             std::to_string(m_pLink->LeftoverSize());
        return s;
    };
    const Bytes legacy = teststream::LegacyEcg(desc);
    const Bytes frames = teststream::FrameEcg(desc);
    // The record's end message (0x34, or 0xFC 0x05) comes last.
    for (const auto& [stream, nEnd] : {std::pair{legacy, 82u}, std::pair{frames, 4u}}) {
        const std::size_t nBody = stream.size() - nEnd;
        MakeLink();
        m_sent.clear();
        ASSERT_TRUE(Play(Bytes(stream.begin(), stream.begin() + nBody)));
        const std::string strState = snapshot();
        for (std::size_t cut = 1; cut < nBody; ++cut) {
            MakeLink();
            ASSERT_TRUE(m_pLink->OnReceive(stream.data(), cut));
            ASSERT_TRUE(m_pLink->OnReceive(stream.data() + cut, nBody - cut));
            ASSERT_EQ(snapshot(), strState) << cut;
        }
        // Whole records, cut at a stride and everywhere in their last messages.
        m_stored.clear();
        MakeLink();
        ASSERT_TRUE(Play(stream));
        ASSERT_EQ(m_stored.size(), 1u);
        const std::string strWhole = StoredFile();
        const Bytes sentWhole = m_sent;
        for (std::size_t cut = 1; cut < stream.size(); cut += cut + 100 < stream.size() ? 211 : 1) {
            MakeLink();
            m_stored.clear();
            m_sent.clear();
            ASSERT_TRUE(m_pLink->OnReceive(stream.data(), cut));
            ASSERT_TRUE(m_pLink->OnReceive(stream.data() + cut, stream.size() - cut));
            ASSERT_EQ(m_stored.size(), 1u) << cut;
            ASSERT_EQ(StoredFile(), strWhole) << cut;
            ASSERT_EQ(m_sent, sentWhole) << cut;
        }
        MakeLink();
        m_stored.clear();
        ASSERT_TRUE(Play(stream, 1));
        ASSERT_EQ(StoredFile(), strWhole);
    }
}

TEST_F(LinkFixture, DateWithoutDigitsNamesByLocalTime) {
    // A cart whose clock is not set sends blanks or zero bytes for its date: every such
    // record of a patient would take one name and replace the one before.
    for (BYTE nFill : {BYTE{0}, BYTE{' '}}) {
        EcgSpec desc;
        desc.nBlocks = 2;
        Bytes frames = teststream::FrameEcg(desc);
        ASSERT_EQ(frames[4], 0xFD);
        std::fill(frames.begin() + 4 + 96, frames.begin() + 4 + 110, nFill);
        Bytes legacy = teststream::LegacyEcg(desc);
        ASSERT_EQ(legacy[58], 0x21);
        std::fill(legacy.begin() + 58 + 2, legacy.begin() + 58 + 14, nFill);
        for (const Bytes* pStream : {&frames, &legacy}) {
            EmptyFolder();
            MakeLink();
            m_stored.clear();
            ASSERT_TRUE(Play(*pStream));
            ASSERT_EQ(m_stored.size(), 1u);
            EXPECT_EQ(m_stored[0].m_strPath, m_dir.Path() + "PAT0042_20260102030405.ekg");
            // The date item itself stays as the cart sent it.
            const std::string f = StoredFile();
            EXPECT_EQ(U8(f, 122400 + 110), 0x21);
            EXPECT_EQ(f.substr(122400 + 112, 4), std::string(4, static_cast<char>(nFill)));
        }
    }
}

TEST_F(LinkFixture, FolderTypes) {
    struct Case {
        int nType;
        std::string strExpected;
    } cases[] = {{0, "A!B_202603040506.ekg"},
                 {1, "A!B/A!B_202603040506.ekg"},
                 {2, "EKG/A!B_202603040506.ekg"}};
    for (const auto& c : cases) {
        m_context.m_settings.m_nFolderType = c.nType;
        m_stored.clear();
        MakeLink();
        EcgSpec desc;
        desc.strID = "A/B";
        desc.nBlocks = 3;
        ASSERT_TRUE(Play(teststream::LegacyEcg(desc)));
        ASSERT_EQ(m_stored.size(), 1u);
        EXPECT_EQ(m_stored[0].m_strPath, m_dir.Path() + c.strExpected);
        EXPECT_EQ(StoredFile().size(), 132640u);
    }
}

TEST(PatientID, Cleaning) {
    struct Case {
        std::string strIn, strOut;
    } cases[] = {{"AB/CD", "AB!CD"},
                 {std::string("A\xA9xB", 4), "A!B"},
                 {std::string("A\x01\x7F"
                              "B",
                              4),
                  "AB"},
                 {"..", "!!"},
                 {".", "!"},
                 {"a.b", "a.b"},
                 {"\\:*?\"<>|", "!!!!!!!!"},
                 {std::string("XY\0Z", 4), "XY"}};
    for (const auto& c : cases) {
        const std::string in = c.strIn + std::string(16, '\0');
        EXPECT_EQ(acq::CleanPatientID(reinterpret_cast<const BYTE*>(in.data()), 16), c.strOut)
            << c.strIn;
    }
}

TEST_F(LinkFixture, DeviceTextIdIsUtf8AndSafe) {
    EcgSpec desc;
    desc.nBlocks = 2;
    Bytes b = teststream::LegacyEcg(desc);
    const std::string strId = "J\xC3\xA9/..";  // é, a slash
    Bytes m = {0x35, static_cast<BYTE>(strId.size())};
    m.insert(m.end(), strId.begin(), strId.end());
    b.insert(b.begin() + 58, m.begin(), m.end());
    testsupport::CCodePageScope cp("CP1252");
    ASSERT_TRUE(Play(b));
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_EQ(m_stored[0].m_strPatientID, "J\xE9!..");
}

TEST_F(LinkFixture, LongDeviceTextIdStillNamesAFile) {
    EcgSpec desc;
    desc.nBlocks = 2;
    Bytes b = teststream::LegacyEcg(desc);
    Bytes m = {0x35, 250};
    m.insert(m.end(), 250, 'Q');
    b.insert(b.begin() + 58, m.begin(), m.end());
    ASSERT_TRUE(Play(b));
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_EQ(m_stored[0].m_strPatientID, std::string(acq::kMaxNameID, 'Q'));
    EXPECT_EQ(StoredFile().size(), 132640u);
}

TEST(Framing, TableOfLengths) {
    struct Case {
        Bytes in;
        std::size_t nLength;  // 0 = not known yet
    } cases[] = {
        {{0x03, 0x50}, 82},
        {{0x19, 5}, 7},
        {{0x16, 0x3A}, 58},
        {{0x18, 0x10}, 18},
        {{0x21, 0}, 16},
        {{0x22, 4}, 6},
        {{0x23, 0}, 36},
        {{0x24, 1}, 3},
        {{0x37, 3}, 82},
        {{0x70, 9}, 9},
        {{0x71, 0}, 68},
        {{0x74, 0}, 5},
        {{0x75, 0}, 2},
        {{0x75, 5}, 62},
        {{0x76, 1}, 32},
        {{0x77, 1}, 20},
        {{0x78, 0}, 8},
        {{0x84, 0}, 54},
        {{0x93, 0}, 14},
        {{0x97, 0}, 2},
        {{0x97, 1}, 82},
        {{0x55, 9}, 2},
        {{0xFA, 0}, 4},
        {{0xFC, 5}, 4},
        {{0xFD, 0xA0, 0x00, 0xB0}, 176},
        {{0xFD, 0xA0, 0x00}, 0},
        {{0x03}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(acq::MessageLength(c.in.data(), c.in.size()), c.nLength)
            << std::hex << int(c.in[0]);
}

TEST_F(LinkFixture, SplitMessageAndPacketSwitch) {
    // An 0x37 message split 40/42 is taken once, whole.
    EcgSpec desc;
    desc.nBlocks = 1;
    desc.anPace = {300, 301, 302};
    Bytes b = teststream::LegacyEcg(desc);
    ASSERT_TRUE(Play(b, 40));
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_EQ(U8(StoredFile(), 126401), 3);

    // A 58-byte message and then a packet in the same chunk: the message is dispatched,
    // the packet parsed, and every later chunk goes to the parser.
    struct CRecorder : IPacketHandler {
        std::vector<DWORD>* pCommands;
        void OnPacket(const TzPacket& p, CDeviceLink&) override {
            pCommands->push_back(p.m_nCommand);
        }
    };
    std::vector<DWORD> commands;
    m_context.m_packetFactory = [&] {
        auto p = std::make_unique<CRecorder>();
        p->pCommands = &commands;
        return p;
    };
    MakeLink();
    Bytes c(b.begin(), b.begin() + 58);
    const Bytes packet = {0xF1, 0x12, 0x34, 0x00, 0x00};
    c.insert(c.end(), packet.begin(), packet.end());
    ASSERT_TRUE(Play(c));
    EXPECT_TRUE(m_pLink->IsPacketMode());
    EXPECT_EQ(m_pLink->Assembler().GetKind(), ERecordKind::Ekg);
    ASSERT_TRUE(Play(Bytes{0x16, 0x3A, 0xF1, 0xAB, 0xCD, 0x00, 0x00}));
    EXPECT_EQ(commands, (std::vector<DWORD>{0x1234, 0xABCD}));
}

TEST_F(LinkFixture, BadFramesAreRefusedAndClosed) {
    struct Case {
        Bytes in;
        Bytes replies;
    } cases[] = {
        // Last byte not 0xEF: one reply 7.
        {{0xFA, 2, 1, 0xEF, 0xFC, 0x05, 0x00, 0x11}, {0xFC, 7, 0, 0xEF}},
        // Ends in 0xEF but does not start a frame: reply 7 twice.
        {{0xFA, 2, 1, 0xEF, 0x16, 0x3A, 0, 0xEF}, {}},
        // A frame longer than the receive buffer can never complete.
        {{0xFD, 0xA3, 0xFF, 0xFF, 1, 2, 3}, {0xFC, 7, 0, 0xEF}},
        // A frame whose length cannot even hold its header.
        {{0xFD, 0xA3, 0x00, 0x00}, {0xFC, 7, 0, 0xEF}},
    };
    // Second case: build the 58-byte non-frame message ending in 0xEF.
    cases[1].in.resize(4 + 58, 0);
    cases[1].in.back() = 0xEF;
    cases[1].replies = {0xFC, 7, 0, 0xEF, 0xFC, 7, 0, 0xEF};
    for (const auto& c : cases) {
        MakeLink();
        m_sent.clear();
        EXPECT_FALSE(Play(c.in));
        EXPECT_EQ(m_sent, c.replies);
        EXPECT_FALSE(m_pLink->IsFrameMode());
        // Nothing more is taken after the refusal.
        EXPECT_FALSE(m_pLink->OnReceive(c.in.data(), c.in.size()));
        EXPECT_EQ(m_sent, c.replies);
    }
}

TEST_F(LinkFixture, UnwritableFolderAnswersRefused) {
    testsupport::WriteFile(m_dir / "blocker", "x");
    m_context.m_settings.m_strWorkingFolder = m_dir / "blocker/sub";
    EcgSpec desc;
    desc.nBlocks = 10;
    ASSERT_TRUE(Play(teststream::FrameEcg(desc)));
    EXPECT_TRUE(m_stored.empty());
    EXPECT_EQ(m_sent, (Bytes{0xFC, 0x07, 0x00, 0xEF}));
    // An end without any record is not "taken" either.
    m_sent.clear();
    ASSERT_TRUE(Play(Bytes{0xFA, 2, 1, 0xEF, 0xFC, 0x05, 0x00, 0xEF}));
    EXPECT_EQ(m_sent, (Bytes{0xFC, 0x07, 0x00, 0xEF}));
}

// A record that cannot be stored is told with the file it was to be and the system's
// reason, in the debug log and to the context; only the frame-mode cart hears a refusal.
TEST_F(LinkFixture, ARecordNotStoredIsToldWithItsReason) {
    testsupport::WriteFile(m_dir / "blocker", "x");
    m_context.m_settings.m_strWorkingFolder = m_dir / "blocker/sub";
    std::string strLog;
    m_context.m_log = [&strLog](const CString& str) { strLog += str + "\n"; };
    std::vector<CFailedRecord> failed;
    m_context.m_onFailed = [&failed](const CFailedRecord& r) { failed.push_back(r); };
    EcgSpec desc;
    desc.nBlocks = 10;
    const struct {
        bool bFrame;
        const char* pszName;
        Bytes reply;
    } cases[] = {
        {false, "PAT0042_202603040506.ekg", {}},
        {true, "PAT0042_20260304050607.ekg", {0xFC, 0x07, 0x00, 0xEF}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        failed.clear();
        strLog.clear();
        m_sent.clear();
        MakeLink();
        ASSERT_TRUE(Play(c.bFrame ? teststream::FrameEcg(desc) : teststream::LegacyEcg(desc)));
        EXPECT_TRUE(m_stored.empty());
        EXPECT_EQ(m_sent, c.reply);
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(failed[0].m_strPath, m_dir / "blocker/sub/" + c.pszName);
        EXPECT_EQ(failed[0].m_strReason, "its folder cannot be created: Not a directory");
        EXPECT_NE(strLog.find("Record file cannot be written: " + failed[0].m_strPath +
                              " (its folder cannot be created: Not a directory)\n"),
                  std::string::npos)
            << strLog;
    }
}

// A legacy cart's names stop at the minute: another record of that name gets a free one,
// the same record sent again is that one file.
TEST_F(LinkFixture, ATakenNameGetsAFreeOneAndTheSameRecordStaysOne) {
    EcgSpec first, retake;
    first.nBlocks = retake.nBlocks = 20;
    retake.nSeed = 3;
    for (const EcgSpec* p : {&first, &retake, &first}) {
        ASSERT_TRUE(Play(teststream::LegacyEcg(*p)));
        ASSERT_TRUE(Play(teststream::FrameEcg(*p)));
    }
    ASSERT_EQ(m_stored.size(), 6u);
    const std::string legacy = m_dir.Path() + "PAT0042_202603040506";
    const std::string frame = m_dir.Path() + "PAT0042_20260304050607";
    const struct {
        std::string path;
        BOOL bSame;
    } expected[] = {{legacy + ".ekg", FALSE},  {frame + ".ekg", FALSE}, {legacy + "_2.ekg", FALSE},
                    {frame + "_2.ekg", FALSE}, {legacy + ".ekg", TRUE}, {frame + ".ekg", TRUE}};
    for (std::size_t i = 0; i < m_stored.size(); ++i) {
        EXPECT_EQ(m_stored[i].m_strPath, expected[i].path) << i;
        EXPECT_EQ(m_stored[i].m_bSame, expected[i].bSame) << i;
    }
    CheckEcgFile(StoredFile(0), first);
    CheckEcgFile(StoredFile(2), retake, 3);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 4);
    // Every frame-mode record was answered "taken".
    EXPECT_EQ(m_sent.size(), 12u);
}

// The context keeps a record before its device hears "taken"; a record it cannot keep is
// refused.
TEST_F(LinkFixture, TheDeviceIsAnsweredOnceTheRecordIsKept) {
    EcgSpec desc;
    desc.nBlocks = 10;
    std::vector<std::size_t> sentWhenTaken;
    BOOL bKeep = TRUE;
    m_context.m_onTaken = [&](const CStoredRecord& r, std::function<void(BOOL)> done) {
        EXPECT_EQ(testsupport::ReadFile(r.m_strPath).size(), 132640u);
        sentWhenTaken.push_back(m_sent.size());
        done(bKeep);
    };
    ASSERT_TRUE(Play(teststream::FrameEcg(desc)));
    EXPECT_EQ(sentWhenTaken, std::vector<std::size_t>{0});
    EXPECT_EQ(m_sent, (Bytes{0xFC, 0x06, 0x00, 0xEF}));
    EXPECT_EQ(m_stored.size(), 1u);
    bKeep = FALSE;
    m_sent.clear();
    desc.nSeed = 1;
    ASSERT_TRUE(Play(teststream::FrameEcg(desc)));
    EXPECT_EQ(m_sent, (Bytes{0xFC, 0x07, 0x00, 0xEF}));
    EXPECT_EQ(m_stored.size(), 1u);
    // A legacy record is kept the same way, without an answer.
    ASSERT_TRUE(Play(teststream::LegacyEcg(desc)));
    EXPECT_EQ(sentWhenTaken.size(), 3u);
    EXPECT_EQ(m_stored.size(), 1u);
}

TEST_F(LinkFixture, StoresKeepTheirLimits) {
    // 20 statements of 255 bytes, 0x30 entries longer than their message, a pacemaker
    // list that claims more positions than its message holds, 0x24 with its proper length.
    Bytes b = {0x16, 0x3A};
    b.resize(58, 'A');
    b[2] = 16;
    b.insert(b.end(), {0x24, 1, 9});
    for (int i = 0; i < 1300; ++i) {  // more blocks than the store holds
        b.insert(b.end(), {0x03, 0x50});
        b.insert(b.end(), 80, static_cast<BYTE>(i));
    }
    b.insert(b.end(), {0x03, 0});
    b.insert(b.end(), {0x37, 0xFF});
    b.insert(b.end(), 80, 0x01);
    b.insert(b.end(), {0x18, 0x10});
    b.insert(b.end(), 16, 0x02);
    for (int i = 0; i < 20; ++i) {
        b.insert(b.end(), {0x19, 0xFF});
        b.insert(b.end(), 255, static_cast<BYTE>('a' + i));
    }
    for (int i = 0; i < 30; ++i)
        b.insert(b.end(), {0x19, 0});
    for (int k = 0; k < 5; ++k) {
        b.insert(b.end(), {static_cast<BYTE>(0x30 + k), 0xFF});
        b.insert(b.end(), 80, static_cast<BYTE>(k));
    }
    ASSERT_TRUE(Play(b, 333));
    EXPECT_EQ(m_context.m_nDeviceOption, 9);
    ASSERT_EQ(m_stored.size(), 1u);
    const std::string f = StoredFile();
    ASSERT_EQ(f.size(), 132640u);
    const std::size_t B = 122400;
    for (int s = 0; s < 15; ++s) {
        EXPECT_EQ(U8(f, B + 12 + 2 * s), 0x19);
        EXPECT_EQ(U8(f, B + 13 + 2 * s), 200);
    }
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(U8(f, B + 3 + 2 * k), 80);
    EXPECT_EQ(U8(f, B + 50), 0x16) << "the directory stops before the patient item";
    EXPECT_EQ(U8(f, B + 4000), 0x37);
    EXPECT_EQ(U8(f, B + 4001), 40);
    // Texts stop where the pacemaker list begins.
    EXPECT_EQ(U8(f, B + 3999), 'a' + 2);
}

TEST_F(LinkFixture, HostileFramesKeepTheirBounds) {
    std::vector<Bytes> frames;
    frames.push_back({0xFA, 2, 3, 0xEF});
    // Header frames too short for their option.
    frames.push_back({0xFD, 0xA0, 0x00, 0x06, 0x00, 0xEF});
    // Statement frame claiming 200 entries of 255 bytes.
    Bytes s = {0xFD, 0xA1, 0x00, 0x10, 200, 255};
    s.resize(16, 'x');
    s.back() = 0xEF;
    frames.push_back(s);
    // Measurement frames: short, and with a pacemaker byte count beyond the frame.
    frames.push_back({0xFD, 0xA2, 0x00, 0x05, 0xEF});
    Bytes m(512, 0xFF);
    m[0] = 0xFD;
    m[1] = 0xA2;
    m[2] = 0x02;
    m[3] = 0x00;
    m[511] = 0xEF;
    frames.push_back(m);
    // Sample frames: short ones and far more than 120.
    frames.push_back({0xFD, 0xA3, 0x00, 0x06, 1, 0xEF});
    Bytes a(805, 7);
    a[0] = 0xFD;
    a[1] = 0xA3;
    a[2] = 0x03;
    a[3] = 0x25;
    a[804] = 0xEF;
    for (int i = 0; i < 130; ++i)
        frames.push_back(a);
    frames.push_back({0xFD, 0xB5, 0x00, 0x05, 0xEF});
    frames.push_back({0xFC, 0x05, 0x00, 0xEF});
    for (const auto& fr : frames)
        ASSERT_TRUE(Play(fr));
    // Without a header no record was started: refused.
    EXPECT_EQ(m_sent, (Bytes{0xFC, 0x07, 0x00, 0xEF}));
}

TEST_F(LinkFixture, RandomStreamsNeitherCrashNorStall) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        MakeLink();
        Bytes b(1 + rng() % 3000);
        for (auto& x : b)
            x = static_cast<BYTE>(rng());
        // Bias towards real tags.
        static const BYTE tags[] = {0x16, 0x03, 0x40, 0x19, 0x30, 0x34, 0x37, 0xFA,
                                    0xFC, 0xFD, 0xEF, 0x70, 0x24, 0x35, 0xF1, 0xF2};
        for (std::size_t i = 0; i < b.size(); i += 1 + rng() % 40)
            b[i] = tags[rng() % 16];
        std::size_t nPos = 0;
        while (nPos < b.size()) {
            const std::size_t n = std::min<std::size_t>(1 + rng() % 700, b.size() - nPos);
            if (!m_pLink->OnReceive(b.data() + nPos, n))
                break;
            nPos += n;
        }
        EXPECT_LE(m_pLink->LeftoverSize(), acq::kReceiveBuffer);
    }
}

}  // namespace

namespace {

// A connection holds record memory only while a record is under way; what a record gives
// back is handed out again zeroed.
TEST_F(LinkFixture, RecordMemoryOnlyWhileARecordIsUnderWay) {
    EcgSpec desc;
    EXPECT_TRUE(m_pLink->Assembler().GetBlocks().empty());
    const Bytes stream = teststream::FrameEcg(desc);
    ASSERT_TRUE(Play(Bytes(stream.begin(), stream.end() - 4)));
    EXPECT_FALSE(m_pLink->Assembler().GetBlocks().empty());
    ASSERT_TRUE(Play(Bytes(stream.end() - 4, stream.end())));
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_TRUE(m_pLink->Assembler().GetBlocks().empty());
    EXPECT_TRUE(m_pLink->Assembler().Builder().GetInfoBlock().empty());
    EXPECT_EQ(m_pLink->Assembler().Builder().GetLeadSample(0, 100), 0);

    std::vector<BYTE> a = acq::CRecordMemory::TakeBytes(1000);
    std::fill(a.begin(), a.end(), 0x5A);
    acq::CRecordMemory::GiveBytes(a);
    EXPECT_TRUE(a.empty());
    const std::vector<BYTE> b = acq::CRecordMemory::TakeBytes(1000);
    EXPECT_EQ(b, std::vector<BYTE>(1000, 0));
    CWaveBuffer leads;
    ASSERT_TRUE(acq::CRecordMemory::TakeLeads(leads, 6100));
    leads.SetSample(3, 17, 1234);
    acq::CRecordMemory::GiveLeads(leads);
    EXPECT_FALSE(leads.HasBlock());
    CWaveBuffer again;
    ASSERT_TRUE(acq::CRecordMemory::TakeLeads(again, 6100));
    EXPECT_EQ(again.GetSample(3, 17), 0);
    EXPECT_EQ(again.GetChannelCount(), 12);
    EXPECT_LE(acq::CRecordMemory::ReserveCount(), 2 * acq::CRecordMemory::kReserve);
}

}  // namespace

namespace {

// Record files put in place elsewhere: the connection holds what comes next until its
// record's file is in place, answers in order, and a connection that went still has its
// record listed.
TEST_F(LinkFixture, CommitElsewhereHoldsInputAndAnswersInOrder) {
    std::vector<std::pair<std::function<bool()>, std::function<void(bool)>>> jobs;
    m_context.m_commit = [&jobs](std::function<bool()> work, std::function<void(bool)> done) {
        jobs.emplace_back(std::move(work), std::move(done));
    };
    m_context.m_onStored = [this](const CStoredRecord& r) { m_stored.push_back(r); };
    EcgSpec first, second;
    first.strID = "H1";
    second.strID = "H2";
    second.nSeed = 4;
    const Bytes a = teststream::FrameEcg(first), b = teststream::FrameEcg(second);
    Bytes both = a;
    both.insert(both.end(), b.begin(), b.end());
    ASSERT_TRUE(Play(both, 5000));
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(m_pLink->IsHoldingInput());
    EXPECT_TRUE(m_sent.empty());
    EXPECT_TRUE(m_stored.empty());
    auto run = [&jobs] {
        auto job = std::move(jobs.front());
        jobs.erase(jobs.begin());
        job.second(job.first());
    };
    run();
    EXPECT_EQ(m_sent, Bytes({0xFC, 6, 0, 0xEF}));
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_EQ(m_stored[0].m_strPatientID, "H1");
    // The held record went on at once and waits for its own file now.
    ASSERT_EQ(jobs.size(), 1u);
    run();
    EXPECT_EQ(m_sent, Bytes({0xFC, 6, 0, 0xEF, 0xFC, 6, 0, 0xEF}));
    ASSERT_EQ(m_stored.size(), 2u);
    CheckEcgFile(StoredFile(1), second, 4);
    EXPECT_FALSE(m_pLink->IsHoldingInput());

    // The connection goes before its file is in place: the record is still handed on.
    m_sent.clear();
    ASSERT_TRUE(Play(a));
    ASSERT_EQ(jobs.size(), 1u);
    m_pLink.reset();
    run();
    ASSERT_EQ(m_stored.size(), 3u);
    EXPECT_EQ(m_stored[2].m_pEkg, nullptr);
    EXPECT_EQ(testsupport::ReadFile(m_stored[2].m_strPath).size(), 132640u);
    EXPECT_TRUE(m_sent.empty());

    // Held bytes that refuse the connection ask for its close.
    MakeLink();
    bool bCloseAsked = false;
    m_pLink->SetCloseRequest([&] { bCloseAsked = true; });
    Bytes bad = a;
    const Bytes refused = {0xFA, 1, 1, 0xEF, 0xFC, 0x05, 0x00, 0x11};  // no end mark
    bad.insert(bad.end(), refused.begin(), refused.end());
    ASSERT_TRUE(Play(bad));
    run();
    EXPECT_TRUE(bCloseAsked);
}

// A record kept later (its list entry synced with others): the device hears "taken" only
// then, what it sent meanwhile waits, a record that could not be kept is refused, and a
// connection that went meanwhile still has its record stored.
TEST_F(LinkFixture, TheAnswerWaitsUntilTheRecordIsKept) {
    std::vector<std::function<void(BOOL)>> takes;
    m_context.m_onTaken = [&takes](const CStoredRecord&, std::function<void(BOOL)> done) {
        takes.push_back(std::move(done));
    };
    m_context.m_onStored = [this](const CStoredRecord& r) { m_stored.push_back(r); };
    EcgSpec first, second;
    first.strID = "K1";
    second.strID = "K2";
    second.nSeed = 5;
    const Bytes a = teststream::FrameEcg(first), b = teststream::FrameEcg(second);
    Bytes both = a;
    both.insert(both.end(), b.begin(), b.end());
    ASSERT_TRUE(Play(both, 5000));
    ASSERT_EQ(takes.size(), 1u);
    EXPECT_TRUE(m_sent.empty());
    EXPECT_TRUE(m_stored.empty());
    EXPECT_TRUE(m_pLink->IsHoldingInput());
    // What this side sends meanwhile (a packet device's acknowledgement) follows the answer.
    const BYTE ack[3] = {0xF1, 0xFF, 0x04};
    EXPECT_TRUE(m_pLink->Send(ack, sizeof ack));
    EXPECT_TRUE(m_sent.empty());
    takes[0](TRUE);
    EXPECT_EQ(m_sent, Bytes({0xFC, 6, 0, 0xEF, 0xF1, 0xFF, 0x04}));
    m_sent.clear();
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_EQ(m_stored[0].m_strPatientID, "K1");
    // The second record went on and waits for its own keeping.
    ASSERT_EQ(takes.size(), 2u);
    takes[1](FALSE);
    EXPECT_EQ(m_sent, Bytes({0xFC, 7, 0, 0xEF}));
    EXPECT_EQ(m_stored.size(), 1u);
    EXPECT_FALSE(m_pLink->IsHoldingInput());

    // A legacy record (no answer) is stored once kept.
    m_sent.clear();
    ASSERT_TRUE(Play(teststream::LegacyEcg(second)));
    ASSERT_EQ(takes.size(), 3u);
    EXPECT_EQ(m_stored.size(), 1u);
    takes[2](TRUE);
    EXPECT_EQ(m_stored.size(), 2u);
    EXPECT_TRUE(m_sent.empty());

    // The connection goes before its record is kept.
    ASSERT_TRUE(Play(a));
    ASSERT_EQ(takes.size(), 4u);
    m_pLink.reset();
    takes[3](TRUE);
    ASSERT_EQ(m_stored.size(), 3u);
    EXPECT_EQ(m_stored[2].m_pEkg, nullptr);
    EXPECT_EQ(m_stored[2].m_strPatientID, "K1");
    EXPECT_TRUE(m_sent.empty());
}

}  // namespace
