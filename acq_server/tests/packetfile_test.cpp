// Packet file transfer through the connection core: START, FILE, data packets and FINISH
// in every split, the folder table, hostile names, unfinished transfers, the log lines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdlib.h>

#include "acq_server/devicelink.h"
#include "acq_server/packetfilehandler.h"
#include "acq_server/stalefiles.h"
#include "testsupport/testsupport.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<BYTE>;

// Device side of the packet protocol, written from the wire layout.
Bytes Command(int nCmd, int nTypeByte, const Bytes& value, bool bChecksum = false) {
    Bytes out = {0xF1, static_cast<BYTE>(nCmd >> 8), static_cast<BYTE>(nCmd & 0xFF),
                 static_cast<BYTE>(nTypeByte)};
    out.insert(out.end(), value.begin(), value.end());
    BYTE check = 0;
    if (bChecksum)
        for (BYTE b : out)
            check ^= b;
    out.push_back(check);
    return out;
}
Bytes Start(int nSwitch) {
    Bytes v(20, 0);
    v[4] = static_cast<BYTE>(nSwitch);
    return Command(0xFF00, 0x80 | 20, v);
}
Bytes File(const std::string& strName, std::uint32_t nSize) {
    Bytes v(127, 0);
    v[0] = static_cast<BYTE>(nSize >> 24);
    v[1] = static_cast<BYTE>(nSize >> 16);
    v[2] = static_cast<BYTE>(nSize >> 8);
    v[3] = static_cast<BYTE>(nSize);
    std::copy(strName.begin(), strName.begin() + std::min<std::size_t>(strName.size(), 117),
              v.begin() + 9);
    return Command(0xFF01, 0xFF, v);
}
Bytes Data(std::uint32_t nOrder, const Bytes& d) {
    Bytes out = {0xF2,
                 static_cast<BYTE>(nOrder >> 24),
                 static_cast<BYTE>(nOrder >> 16),
                 static_cast<BYTE>(nOrder >> 8),
                 static_cast<BYTE>(nOrder),
                 static_cast<BYTE>(d.size() >> 8),
                 static_cast<BYTE>(d.size())};
    out.insert(out.end(), d.begin(), d.end());
    return out;
}
Bytes Finish() {
    return Command(0xFF02, 0x02, {0});
}
Bytes Content(std::size_t n, int nSeed = 0) {
    Bytes d(n);
    for (std::size_t i = 0; i < n; ++i)
        d[i] = static_cast<BYTE>(i * 7 + nSeed);
    return d;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
// FILE, data packets of the given sizes, FINISH.
Bytes Transfer(const std::string& strName, const Bytes& content,
               std::initializer_list<std::size_t> sizes = {}) {
    Bytes out = File(strName, static_cast<std::uint32_t>(content.size()));
    std::size_t at = 0;
    std::uint32_t nOrder = 0;
    std::vector<std::size_t> cuts(sizes);
    if (cuts.empty())
        cuts.push_back(content.size());
    for (std::size_t n : cuts) {
        out = Cat({out, Data(nOrder++, Bytes(content.begin() + at, content.begin() + at + n))});
        at += n;
    }
    return Cat({out, Finish()});
}
Bytes Ack(int nCmd, bool bChecksum) {
    Bytes a = {
        0xF1, 0xFF, 0x04, 0x04, static_cast<BYTE>(nCmd & 0xFF), static_cast<BYTE>(nCmd >> 8)};
    BYTE check = 0;
    if (bChecksum)
        for (BYTE b : a)
            check ^= b;
    a.push_back(check);
    return a;
}
const Bytes kTaken = {0xFC, 6, 0, 0xEF};
const Bytes kRefused = {0xFC, 7, 0, 0xEF};

std::string Read(const std::string& path) {
    return testsupport::ReadFile(path);
}
std::string Str(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// Every regular file below a folder, relative to it.
std::set<std::string> FilesBelow(const std::string& strFolder) {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(strFolder))
        if (fs::is_regular_file(e.symlink_status()))
            out.insert(fs::relative(e.path(), strFolder).string());
    return out;
}

class PacketFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_strWork = m_dir / "work/";
        fs::create_directories(m_strWork);
        m_context.m_settings.m_strWorkingFolder = m_strWork;
        m_context.m_log = [this](const CString& s) { m_log += s + "\n"; };
        m_context.m_onStored = [this](const CStoredRecord& r) { m_stored.push_back(r); };
        InstallPacketFileHandler(m_context);
        m_pLink = MakeLink(m_sent);
    }
    std::unique_ptr<CDeviceLink> MakeLink(Bytes& sent) {
        return std::make_unique<CDeviceLink>(m_context, [&sent](const BYTE* p, std::size_t n) {
            sent.insert(sent.end(), p, p + n);
            return TRUE;
        });
    }
    void Play(const Bytes& b, CDeviceLink* pLink = nullptr) {
        (pLink ? pLink : m_pLink.get())->OnReceive(b.data(), b.size());
    }

    testsupport::CTempDir m_dir;
    std::string m_strWork;
    CAcqContext m_context;
    std::unique_ptr<CDeviceLink> m_pLink;
    Bytes m_sent;
    std::vector<CStoredRecord> m_stored;
    std::string m_log;
};

TEST_F(PacketFixture, EverySplitPointGivesTheFileAndTheAnswersInOrder) {
    // The folder in memory: one file is committed (and synced) per split point.
    char szShm[] = "/dev/shm/packetsplit.XXXXXX";
    const std::string strWork = ::mkdtemp(szShm) ? std::string(szShm) + "/" : m_strWork;
    m_context.m_settings.m_strWorkingFolder = strWork;
    m_context.m_log = nullptr;
    const Bytes content = Content(2500);
    const Bytes stream = Transfer("777_20160504101500.mwf", content, {1000, 1000, 500});
    const Bytes expected = Cat({Ack(0xFF01, false), kTaken, Ack(0xFF02, false)});
    for (std::size_t s = 0; s <= stream.size(); ++s) {
        Bytes sent;
        m_stored.clear();
        auto pLink = MakeLink(sent);
        pLink->OnReceive(stream.data(), s);
        pLink->OnReceive(stream.data() + s, stream.size() - s);
        ASSERT_EQ(sent, expected) << "split at " << s;
        ASSERT_EQ(m_stored.size(), 1u) << s;
        ASSERT_EQ(Read(strWork + "777_20160504101500.mwf"), Str(content)) << s;
    }
    EXPECT_EQ(FilesBelow(strWork), std::set<std::string>{"777_20160504101500.mwf"});
    if (strWork != m_strWork)
        fs::remove_all(strWork);
}

TEST_F(PacketFixture, LogLinesAndHandOver) {
    const Bytes content = Content(2500);
    Play(Transfer("777_20160504101500.mwf", content, {1000, 1000, 500}));
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_EQ(m_stored[0].m_nKind, 2);
    EXPECT_EQ(m_stored[0].m_strPatientID, "777");
    EXPECT_EQ(m_stored[0].m_strPath, m_strWork + "777_20160504101500.mwf");
    for (const char* psz :
         {"RESERVED_CMD_FILE\n", "FILE=777_20160504101500.mwf\r\nSIZE=2500\n",
          "CSecretarySocket::ParserCallback ------\n", "WRITE FILE : 1000 [ORDER = 0]\n",
          "WRITE FILE : 500 [ORDER = 2]\n", "RESERVED_CMD_FINISH\n",
          "\r\nFinish=============================\n", "\r\nACK Send Cmd : ff01, val =9\n",
          "\r\nACK Send Cmd : ff02, val =2\n",
          // Each acknowledgement built: its first four bytes.
          "\r\nMakeCommandPacket  f1 ff 4 4 \r\n\n"})
        EXPECT_NE(m_log.find(psz), std::string::npos) << psz;
}

TEST_F(PacketFixture, ChecksumSwitchBelongsToItsConnection) {
    Bytes sentB;
    auto pOther = MakeLink(sentB);
    Play(Cat({Start(1), Transfer("A_20160504101500.mwf", Content(10))}));
    Play(Transfer("B_20160504101500.mwf", Content(10)), pOther.get());
    EXPECT_EQ(m_sent, Cat({Ack(0xFF00, true), Ack(0xFF01, true), kTaken, Ack(0xFF02, true)}));
    EXPECT_EQ(sentB, Cat({Ack(0xFF01, false), kTaken, Ack(0xFF02, false)}));
    // START with byte 4 = 0 (or anything but 1) turns it off again.
    m_sent.clear();
    Play(Cat({Start(2), Finish()}));
    EXPECT_EQ(m_sent, Cat({Ack(0xFF00, false), kRefused, Ack(0xFF02, false)}));
}

TEST_F(PacketFixture, UnknownCommandFinishWithoutFileAndBigEndianValues) {
    Play(Command(0x1234, 0x04, {0x34, 0x12}));
    EXPECT_TRUE(m_sent.empty());
    EXPECT_NE(m_log.find("\r\nUNKNOWN_CMD : 4660\n"), std::string::npos);
    Play(Finish());
    EXPECT_EQ(m_sent, Cat({kRefused, Ack(0xFF02, false)}));
    EXPECT_NE(m_log.find("SendControlInfo2 TzFileError"), std::string::npos);
    // FINISH with a 16-bit value flagged big-endian; data before any FILE is dropped.
    m_sent.clear();
    Play(Cat({Data(0, Content(5)), File("BE_20160504101500.pdf", 3), Data(0x01020304, Content(3)),
              Command(0xFF02, 0x44, {0x00, 0x01})}));
    EXPECT_EQ(m_sent, Cat({Ack(0xFF01, false), kTaken, Ack(0xFF02, false)}));
    EXPECT_NE(m_log.find("WRITE FILE : 3 [ORDER = 16909060]"), std::string::npos);
    EXPECT_EQ(Read(m_strWork + "BE_20160504101500.pdf"), Str(Content(3)));
}

TEST_F(PacketFixture, FolderTableByExtensionAndFolderType) {
    const struct {
        const char* pszName;
        int nType;
        const char* pszPath;  // below the working folder
        int nKind;
        const char* pszID;
    } cases[] = {
        {"777_20160504101500.mwf", 0, "777_20160504101500.mwf", 2, "777"},
        {"777_20160504101500.mwf", 1, "777/777_20160504101500.mwf", 2, "777"},
        {"777_20160504101500.mwf", 2, "MFER/777_20160504101500.mwf", 2, "777"},
        {"A_B_20160504101500.ekg", 1, "AB/A_B_20160504101500.ekg", 1, "AB"},
        {"P1_20160504101500.ekg", 2, "EKG/P1_20160504101500.ekg", 1, "P1"},
        {"P1_20160504101500.EKG", 2, "EKG/P1_20160504101500.EKG", 1, "P1"},
        {"P1_20160504101500.Ekg", 0, "P1_20160504101500.Ekg", 1, "P1"},
        {"P1_20160504101500.JPG", 2, "JPEG/P1_20160504101500.JPG", 2, "P1"},
        {"P1_20160504101500.xml", 2, "XML/P1_20160504101500.xml", 2, "P1"},
        {"P1_20160504101500.pdf", 2, "PDF/P1_20160504101500.pdf", 2, "P1"},
        {"P1_20160504101500.dcm", 2, "DICOM/P1_20160504101500.dcm", 2, "P1"},
        {"P1_20160504101500.fvc", 2, "SPIRO/P1_20160504101500.fvc", 2, "P1"},
        {"P1_20160504101500.raw", 2, "SPIRO/P1_20160504101500.raw", 2, "P1"},
        {"P1_20160504101500.ekg", 7, "P1_20160504101500.ekg", 1, "P1"},
        // No patient part: the working folder, the title as ID.
        {"20160504101500.EKG", 1, "20160504101500.EKG", 1, "20160504101500"},
        {"_20160504101500.mwf", 1, "_20160504101500.mwf", 2, "_20160504101500"},
        {"__20160504101500.mwf", 1, "__20160504101500.mwf", 2, "__20160504101500"},
    };
    int nSeed = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pszName) + " type " + std::to_string(c.nType));
        fs::remove_all(m_strWork);
        fs::create_directories(m_strWork);
        m_stored.clear();
        m_sent.clear();
        m_context.m_settings.m_nFolderType = c.nType;
        const Bytes content = Content(300, ++nSeed);
        Play(Transfer(c.pszName, content));
        EXPECT_EQ(m_sent, Cat({Ack(0xFF01, false), kTaken, Ack(0xFF02, false)}));
        EXPECT_EQ(FilesBelow(m_strWork), std::set<std::string>{c.pszPath});
        EXPECT_EQ(Read(m_strWork + c.pszPath), Str(content));
        ASSERT_EQ(m_stored.size(), 1u);
        EXPECT_EQ(m_stored[0].m_strPath, m_strWork + c.pszPath);
        EXPECT_EQ(m_stored[0].m_nKind, c.nKind);
        EXPECT_EQ(m_stored[0].m_strPatientID, c.pszID);
    }
}

TEST_F(PacketFixture, HostileNamesAreRefusedAndLaterFilesTaken) {
    fs::create_directories(m_strWork + "EXISTING_20160504101500.mwf");
    const struct {
        std::string strName;
        int nType;
    } cases[] = {
        {"../x_20160504101500.EKG", 0},
        {"../x_20160504101500.EKG", 1},
        {"../x_20160504101500.EKG", 2},
        {"a/b_20160504101500.mwf", 0},
        {"a/b_20160504101500.mwf", 1},
        {"..\\x_20160504101500.mwf", 0},
        {"..\\x_20160504101500.mwf", 2},
        {"C:x", 0},
        {"C:x_20160504101500.mwf", 1},
        {".._20160504101500.mwf", 1},
        {"._20160504101500.mwf", 1},
        {"", 0},
        {".", 0},
        {"..", 0},
        {"..", 1},
        {"a\tb_20160504101500.mwf", 0},
        {"a\x7f_20160504101500.mwf", 1},
        {"EXISTING_20160504101500.mwf", 0},
        {"/etc/x_20160504101500.mwf", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + c.strName + "' type " + std::to_string(c.nType));
        m_context.m_settings.m_nFolderType = c.nType;
        m_sent.clear();
        m_stored.clear();
        m_log.clear();
        Play(Transfer(c.strName, Content(100)));
        EXPECT_EQ(m_sent, Cat({Ack(0xFF01, false), kRefused, Ack(0xFF02, false)}));
        EXPECT_TRUE(m_stored.empty());
        EXPECT_NE(m_log.find("File open Error"), std::string::npos);
        // Nothing beside the working folder, nothing written inside it.
        EXPECT_EQ(FilesBelow(m_dir.Path()), std::set<std::string>{});
        // The same connection takes the next file.
        m_sent.clear();
        Play(Transfer("OK_20160504101500.mwf", Content(10)));
        EXPECT_EQ(m_sent, Cat({Ack(0xFF01, false), kTaken, Ack(0xFF02, false)}));
        ASSERT_EQ(m_stored.size(), 1u);
        fs::remove(m_stored[0].m_strPath);
    }
    // A dot-named file is a name like any other outside a patient folder.
    m_context.m_settings.m_nFolderType = 0;
    m_sent.clear();
    Play(Transfer(".._20160504101500.mwf", Content(10)));
    EXPECT_EQ(m_sent, Cat({Ack(0xFF01, false), kTaken, Ack(0xFF02, false)}));
    EXPECT_EQ(FilesBelow(m_dir.Path()), std::set<std::string>{"work/.._20160504101500.mwf"});
}

TEST_F(PacketFixture, UnfinishedTransfersLeaveNoPartialFile) {
    const std::string strName = "777_20160504101500.mwf";
    // An older file of the same name stays whole until the new one is.
    ASSERT_TRUE(testsupport::WriteFile(m_strWork + strName, "OLD"));
    Play(Cat({File(strName, 2000), Data(0, Content(1000))}));
    EXPECT_EQ(Read(m_strWork + strName), "OLD");
    m_pLink.reset();  // the connection ends mid-file
    EXPECT_EQ(FilesBelow(m_strWork), std::set<std::string>{strName});
    EXPECT_EQ(Read(m_strWork + strName), "OLD");
    EXPECT_TRUE(m_stored.empty());

    // A second FILE drops the first transfer; the second lands whole.
    m_pLink = MakeLink(m_sent);
    m_sent.clear();
    Play(Cat({File("FIRST_20160504101500.mwf", 2000), Data(0, Content(1000)),
              Transfer("SECOND_20160504101500.mwf", Content(700, 3))}));
    EXPECT_EQ(m_sent, Cat({Ack(0xFF01, false), Ack(0xFF01, false), kTaken, Ack(0xFF02, false)}));
    EXPECT_EQ(FilesBelow(m_strWork), (std::set<std::string>{strName, "SECOND_20160504101500.mwf"}));
    EXPECT_EQ(Read(m_strWork + "SECOND_20160504101500.mwf"), Str(Content(700, 3)));

    // A whole file of that name never replaces the old one: it gets a free name, and the
    // same bytes sent again stay that one file.
    for (int i = 0; i < 2; ++i) {
        m_sent.clear();
        Play(Transfer(strName, Content(1500)));
        EXPECT_EQ(m_sent, Cat({Ack(0xFF01, false), kTaken, Ack(0xFF02, false)}));
    }
    EXPECT_EQ(Read(m_strWork + strName), "OLD");
    EXPECT_EQ(Read(m_strWork + "777_20160504101500_2.mwf"), Str(Content(1500)));
    ASSERT_EQ(m_stored.size(), 3u);
    EXPECT_EQ(m_stored[1].m_strPath, m_strWork + "777_20160504101500_2.mwf");
    EXPECT_FALSE(m_stored[1].m_bSame);
    EXPECT_EQ(m_stored[2].m_strPath, m_strWork + "777_20160504101500_2.mwf");
    EXPECT_TRUE(m_stored[2].m_bSame);
    EXPECT_EQ(FilesBelow(m_strWork), (std::set<std::string>{strName, "777_20160504101500_2.mwf",
                                                            "SECOND_20160504101500.mwf"}));
}

TEST_F(PacketFixture, SettingsChangedMidTransferKeepThePathWritten) {
    m_context.m_settings.m_nFolderType = 0;
    Play(Cat({File("777_20160504101500.EKG", 10), Data(0, Content(10))}));
    m_context.m_settings.m_nFolderType = 2;
    Play(Finish());
    ASSERT_EQ(m_stored.size(), 1u);
    EXPECT_EQ(m_stored[0].m_strPath, m_strWork + "777_20160504101500.EKG");
    EXPECT_EQ(Read(m_stored[0].m_strPath), Str(Content(10)));
    EXPECT_EQ(m_stored[0].m_nKind, 1);
}

TEST(PacketNames, PatientPartAndSafety) {
    const struct {
        const char* pszName;
        const char* pszID;
        bool bSafe;
    } cases[] = {
        {"777_20160504101500.mwf", "777", true},
        {"A_B_C_20160504101500.EKG", "ABC", true},
        {"20160504101500.EKG", "", true},
        {"_20160504101500.EKG", "", true},
        {"x", "", true},
        {"", "", false},
        {"a:b", "", false},
        {"a\\b", "", false},
        {"a/b", "", false},
        {".", "", false},
        {"..", "", false},
        {"...", "", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(acq::PacketPatientID(c.pszName), c.pszID) << c.pszName;
        EXPECT_EQ(acq::IsSafeFileName(c.pszName) != FALSE, c.bSafe) << c.pszName;
    }
}

TEST(StaleFiles, OnlyTheServersOwnTemporaryNamesGo) {
    const struct {
        const char* pszName;
        bool bStale;
    } cases[] = {
        {".777_20160504101500.mwf.AbC123", true},
        {".PAT0042_202603040506.ekg.zzzzzz", true},
        {".P_20260102030405.fvc.a1B2c3", true},
        {".777_20160504101500.mwf.AbC12", false},   // suffix too short
        {".777_20160504101500.mwf.AbC12!", false},  // not a letter or digit
        {"777_20160504101500.mwf.AbC123", false},   // not hidden
        {".notes.txt.AbC123", false},               // no record time
        {".777_2016050410.mwf.AbC123", false},      // time too short
        {".FQarServer.ini.AbC123", false},
        {".777_20160504101500.AbC123", false},  // no extension
        {".hidden", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(acq::IsStaleRecordTemp(c.pszName) != FALSE, c.bStale) << c.pszName;

    testsupport::CTempDir dir;
    const std::string w = dir / "work/";
    for (const char* p :
         {"work/.A_20160504101500.ekg.Q1w2E3", "work/P/.P_20160504101500.ekg.abcdef",
          "work/EKG/.B_202601020304.ekg.ABCDEF", "work/A_20160504101500.ekg", "work/.keep",
          "outside/.C_20160504101500.ekg.abcdef"})
        ASSERT_TRUE(testsupport::WriteFile(dir / p, "x"));
    // A link of the pattern is not followed and not removed.
    fs::create_symlink(dir / "outside/.C_20160504101500.ekg.abcdef",
                       w + ".D_20160504101500.ekg.abcdef");
    fs::create_directory_symlink(dir / "outside", w + "linked");
    // Written within the last hour: may be a save in progress, left alone.
    const std::time_t tNow = std::time(nullptr);
    EXPECT_EQ(acq::RemoveStaleTempFiles(w, {}, tNow + acq::kStaleAgeSeconds - 5), 0u);
    EXPECT_EQ(acq::RemoveStaleTempFiles(w, {}, tNow + acq::kStaleAgeSeconds + 5), 3u);
    EXPECT_EQ(FilesBelow(dir.Path()),
              (std::set<std::string>{"work/A_20160504101500.ekg", "work/.keep",
                                     "outside/.C_20160504101500.ekg.abcdef"}));
    EXPECT_TRUE(fs::is_symlink(w + ".D_20160504101500.ekg.abcdef"));
}

}  // namespace
