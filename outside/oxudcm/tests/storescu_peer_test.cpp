// OxuDcmStoreSCU against real peers: DCMTK's storescp and Orthanc, each in a network
// namespace of its own made by dcmpeer.sh (loopback only; the peer dies with the test).
#include <dirent.h>

#include <gtest/gtest.h>

#include "dcmtest.h"
#include "peerobjects.h"

using testsupport::CTempDir;
using testsupport::RunCommand;
using testsupport::ShellQuote;

namespace {
const std::string kPeer = DCMPEER_SH;
const std::string kScu = STORESCU_PATH;

std::vector<std::string> Listing(const std::string& strDir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(strDir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') {
                names.emplace_back(e->d_name);
            }
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Join(const std::vector<std::string>& files) {
    std::string s;
    for (const std::string& f : files) {
        s += " " + ShellQuote(f);
    }
    return s;
}

class StoreScuPeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        files = peerobjects::MakeThreeKinds(dir.Path(), 1);
        ASSERT_EQ(files.size(), 3u);
        for (const std::string& f : files) {
            sizes.push_back(testsupport::ReadFile(f).size());
        }
    }
    // The sent files are all still there, unchanged in size.
    void ExpectFilesKept() {
        for (std::size_t i = 0; i < files.size(); ++i) {
            EXPECT_EQ(testsupport::ReadFile(files[i]).size(), sizes[i]) << files[i];
        }
    }
    std::string Run(const std::string& strCommand, int& nStatus) {
        return RunCommand(strCommand + " 2>&1", &nStatus);
    }

    CTempDir dir;
    testsupport::CEnvScope home{"CORVANE_HOME", (dir / "home").c_str()};
    std::vector<std::string> files;
    std::vector<std::size_t> sizes;
};

TEST_F(StoreScuPeerTest, StorescpReceivesAllThreeKindsEqual) {
    int nStatus = -1;
    const std::string strOut =
        Run(kPeer + " storescp " + ShellQuote(dir / "peer") + " 11112 -- " + kScu +
                " -h 127.0.0.1 -p 11112 -aec STORESCP" + Join(files) + " " + ShellQuote(files[0]),
            nStatus);
    ASSERT_EQ(nStatus, 0) << strOut;  // the file listed twice is stored twice
    const auto received = Listing(dir / "peer/received");
    ASSERT_EQ(received.size(), 3u) << strOut;
    std::vector<std::string> judge;
    for (const std::string& strName : received) {
        // storescp names a file by its modality and instance UID; the UID tells which was sent.
        const std::string strUid = strName.substr(strName.find('.') + 1);
        const std::string strKind = strUid.substr(0, strUid.size() - std::string(".1.1700000000").size());
        const std::string strSent = strKind.back() == '0' ? files[0] : strKind.back() == '1' ? files[1] : files[2];
        if (!judge.empty()) judge.push_back("--");
        for (const std::string& a : {std::string("same"), dir / ("peer/received/" + strName), strSent}) {
            judge.push_back(a);
        }
    }
    EXPECT_EQ(dcmtest::Judge(judge), "");
    ExpectFilesKept();
}

TEST_F(StoreScuPeerTest, DestinationFromTheProgramsIni) {
    testsupport::WriteFile(dir / "home/OxuDcmStoreSCU/OxuDcmStoreSCU.ini",
                           "[DESTINATION]\r\nHOST=127.0.0.1\r\nPORT=11113\r\nCALLED_AE=STORESCP\r\n");
    int nStatus = -1;
    const std::string strOut = Run("CORVANE_HOME=" + ShellQuote(dir / "home") + " " + kPeer +
                                       " storescp " + ShellQuote(dir / "peer") + " 11113 -- " + kScu +
                                       " " + ShellQuote(files[2]),
                                   nStatus);
    EXPECT_EQ(nStatus, 0) << strOut;
    EXPECT_EQ(Listing(dir / "peer/received").size(), 1u) << strOut;
    // Without a destination at all: a clear refusal.
    const std::string strNone = Run("CORVANE_HOME=" + ShellQuote(dir / "nohome") + " " + kScu + " " +
                                        ShellQuote(files[0]),
                                    nStatus);
    EXPECT_EQ(nStatus, 1);
    EXPECT_NE(strNone.find("no destination"), std::string::npos) << strNone;
}

TEST_F(StoreScuPeerTest, ClosedPortOrNoDicomFileFailsWithItsReason) {
    testsupport::WriteFile(dir / "not.dcm", "plain text");
    struct Case {
        const char* name;
        std::string args;
        int nExit;
        const char* reason;
    } cases[] = {
        {"closed port", " -h 127.0.0.1 -p 11199 -aec STORESCP" + Join(files), 3, "association"},
        {"no DICOM file", " -h 127.0.0.1 -p 11114 -aec STORESCP " + ShellQuote(dir / "not.dcm"), 2,
         "no DICOM file"},
    };
    for (const Case& c : cases) {
        int nStatus = -1;
        const std::string strOut = Run(kPeer + " storescp " + ShellQuote(dir / "peer") + " 11114 -- " +
                                           kScu + c.args,
                                       nStatus);
        EXPECT_EQ(nStatus, c.nExit) << c.name << ": " << strOut;
        EXPECT_NE(strOut.find(c.reason), std::string::npos) << c.name << ": " << strOut;
    }
    EXPECT_TRUE(Listing(dir / "peer/received").empty());
    ExpectFilesKept();
}

// The peer dies after the first instance: the sender reports failure and the rest is not
// counted as sent.
TEST_F(StoreScuPeerTest, PeerKilledMidListLeavesTheRestUnsent) {
    std::vector<std::string> list;
    for (int i = 0; i < 20; ++i) {
        list.push_back(peerobjects::MakeSmall(dir.Path(), 100 + i));
        ASSERT_FALSE(list.back().empty());
    }
    int nStatus = -1;
    const std::string strOut =
        Run(kPeer + " storescp " + ShellQuote(dir / "peer") + " 11115 -xcr 'kill -9 $PPID' -xs -- " + kScu +
                " -h 127.0.0.1 -p 11115 -aec STORESCP" + Join(list),
            nStatus);
    EXPECT_NE(nStatus, 0) << strOut;
    EXPECT_NE(strOut.find("not stored"), std::string::npos) << strOut;
    EXPECT_LE(Listing(dir / "peer/received").size(), 1u) << strOut;
    for (const std::string& f : list) {
        EXPECT_TRUE(testsupport::Exists(f));
    }
}

TEST_F(StoreScuPeerTest, OrthancStoresListsAndGivesBackEveryKind) {
    // Inside the namespace: send, list the instances by REST, fetch each back.
    const std::string strScript =
        kScu + " -h 127.0.0.1 -p 11116 -aec ORTHANC" + Join(files) + " || exit 11\n"
        "curl -sf http://127.0.0.1:18042/instances > " + ShellQuote(dir / "instances.json") + " || exit 12\n"
        "for id in $(tr -d '[]\" \\n' < " + ShellQuote(dir / "instances.json") + " | tr , ' '); do\n"
        "  curl -sf http://127.0.0.1:18042/instances/$id/file -o " + ShellQuote(dir.Path()) + "back_$id.dcm || exit 13\n"
        "done\n";
    testsupport::WriteFile(dir / "inside.sh", strScript);
    int nStatus = -1;
    const std::string strOut = Run(kPeer + " orthanc " + ShellQuote(dir / "orthanc") +
                                       " 11116 18042 ORTHANC -- sh " + ShellQuote(dir / "inside.sh"),
                                   nStatus);
    ASSERT_EQ(nStatus, 0) << strOut << testsupport::ReadFile(dir / "orthanc/peer.log");
    std::vector<std::string> back;
    for (const std::string& n : Listing(dir.Path())) {
        if (n.rfind("back_", 0) == 0) back.push_back(dir / n);
    }
    ASSERT_EQ(back.size(), 3u) << testsupport::ReadFile(dir / "instances.json");
    // Each fetched file is one of the sent ones, dataset for dataset (samples included).
    int nMatched = 0;
    for (const std::string& b : back) {
        for (const std::string& f : files) {
            if (dcmtest::Judge({"same", b, f}).empty()) {
                ++nMatched;
                break;
            }
        }
    }
    EXPECT_EQ(nMatched, 3);
    ExpectFilesKept();
}

TEST_F(StoreScuPeerTest, OrthancRefusesAWrongCalledAeTitle) {
    int nStatus = -1;
    const std::string strOut = Run(kPeer + " orthanc " + ShellQuote(dir / "orthanc") +
                                       " 11117 18043 ORTHANC -- " + kScu +
                                       " -h 127.0.0.1 -p 11117 -aec WRONGAE" + Join(files),
                                   nStatus);
    EXPECT_EQ(nStatus, 3) << strOut;
    EXPECT_NE(strOut.find("WRONGAE"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("association"), std::string::npos) << strOut;
    ExpectFilesKept();
}
}  // namespace
