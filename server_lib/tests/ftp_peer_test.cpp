// The upload of ECG records to the maker's FTP server, against Debian's pyftpdlib on
// 127.0.0.1 (peer program only).
#include <thread>

#include "acq_server/ftp/ftpinfofile.h"
#include "e2esuite.h"
#include "ftppeer.h"
#include "hostprocess.h"
#include "platform/folders.h"
#include "testsupport/testsupport.h"

namespace oxutest {
namespace {

using testsupport::RunCommand;
using testsupport::ShellQuote;

// One host run with the send flag given, the FTP destination in its "senderinfo.cfg".
std::string SendOne(const CE2eBackend& backend, int nFlag, CFtpPeer& peer,
                    testsupport::CTempDir& dir) {
    backend.reset();
    const std::string home = dir.Path() + "oxuhost/";
    platform::MakeDirs(home);
    CIniFile ini((home + "Oxu.ini").c_str());
    ini.WriteString("OXU_SERVER", "BIND_ADDRESS", "127.0.0.1");
    ini.WriteInt("OXU_SERVER", "ECG_PORT", 0);
    ini.WriteInt("OXU_SERVER", "FILE_PORT", 0);
    backend.configure(ini);
    CFtpInfoFile info;
    info.m_strServer = "127.0.0.1";
    info.m_strUser = "corvane";
    info.m_strPassword = "s3cret pw";
    info.m_nPort = peer.Port();
    EXPECT_EQ(info.Save((home + "senderinfo.cfg").c_str()), 1);
    CHostProcess host;
    EXPECT_TRUE(host.Start(OXUHOST_PATH, {"--send-flag", std::to_string(nFlag)}, dir.Path()));
    const std::string ready = host.WaitFor("READY", 60000);
    const int nPort = std::atoi(ready.substr(ready.find("ecg=") + 4).c_str());
    RunCommand("python3 " + ShellQuote(DEVSIM_PY) + " --port " + std::to_string(nPort) +
               " frame-ecg --id F" + std::to_string(nFlag));
    const std::string received = host.WaitFor("RECEIVE", 30000);
    if (nFlag == 1)
        peer.WaitFor([](const std::vector<std::string>& log) {
            for (const auto& line : log)
                if (line.rfind("RECEIVED", 0) == 0)
                    return true;
            return false;
        }, 30000);
    else
        std::this_thread::sleep_for(std::chrono::seconds(2));
    host.Terminate();
    return received.substr(received.rfind(' ') + 1);
}

TEST_P(OxuE2e, SendFlagOneUploadsTheRecordTwoDoesNot) {
    if (!GetParam().bPeers)
        return;  // the FTP peer runs in the peer program
    CFtpPeer peer;
    ASSERT_TRUE(peer.Start(CFtpPeer::COptions{})) << peer.Error();
    testsupport::CTempDir dir;
    testsupport::CEnvScope home("CORVANE_HOME", dir.Path().c_str());
    const std::string path = SendOne(GetParam(), 1, peer, dir);
    const std::string name = path.substr(path.rfind('/') + 1);
    EXPECT_EQ(testsupport::ReadFile(peer.Root() + name), testsupport::ReadFile(path)) << name;
    testsupport::CTempDir dir2;
    const std::string path2 = SendOne(GetParam(), 2, peer, dir2);
    EXPECT_FALSE(testsupport::Exists(peer.Root() + path2.substr(path2.rfind('/') + 1)));
    EXPECT_EQ(peer.Lines("STOR").size(), 1u);
}

}  // namespace
}  // namespace oxutest
