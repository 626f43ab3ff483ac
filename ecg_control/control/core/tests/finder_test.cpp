// The device finder. Every test that sends runs in a network namespace of its own with
// only lo up (the test program runs itself there through unshare -n), so no datagram can
// leave the host; a request to 127.0.0.255 reaches a listener bound to 0.0.0.0.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ecg_control/link/ekgfinder.h"
#include "testsupport/childprocess.h"
#include "testsupport/testsupport.h"

using namespace ekglink;

namespace {

// TRUE when this is the run outside the namespace: the test then ran itself inside one
// and its result is checked here.
bool RanInNamespace() {
    if (std::getenv("CORVANE_TEST_NETNS")) return false;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
    EXPECT_GT(n, 0);
    const std::string filter = std::string(info->test_suite_name()) + "." + info->name();
    int status = -1;
    const std::string out = testsupport::RunCommand(
        "unshare -n sh -c " +
            testsupport::ShellQuote("ip link set lo up && CORVANE_TEST_NETNS=1 exec " +
                                    testsupport::ShellQuote(self) + " --gtest_filter=" + filter) +
            " 2>&1",
        &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
    return true;
}

CLinkSettings Loopback() {
    CLinkSettings s;
    s.bLoopbackOnly = true;
    return s;
}

std::vector<unsigned char> Device(int kind, int type, const char* ip, const char* id, const char* text,
                                  std::size_t size = 32) {
    std::vector<unsigned char> d(32, 0);
    d[0] = 0xFD;
    d[1] = static_cast<unsigned char>(kind);
    d[2] = 0x20;
    d[3] = static_cast<unsigned char>(type);
    in_addr a{};
    inet_pton(AF_INET, ip, &a);
    std::memcpy(&d[4], &a.s_addr, 4);
    std::memcpy(&d[8], id, std::min<std::size_t>(std::strlen(id), 9));
    std::memcpy(&d[17], text, std::min<std::size_t>(std::strlen(text), 14));
    d[31] = 0xEF;
    d.resize(size, 0);
    if (size > 32) d[size - 1] = 0xEF;
    return d;
}

// A device's socket on 127.0.0.1.
class CDeviceSocket {
public:
    CDeviceSocket() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    }
    ~CDeviceSocket() { ::close(m_fd); }
    void Send(const std::vector<unsigned char>& d, int port) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<uint16_t>(port));
        ::sendto(m_fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    }
    // The datagrams that arrive within ms.
    std::vector<std::vector<unsigned char>> Receive(int ms) {
        std::vector<std::vector<unsigned char>> got;
        pollfd p{m_fd, POLLIN, 0};
        while (::poll(&p, 1, ms) > 0) {
            unsigned char b[256];
            const ssize_t n = ::recv(m_fd, b, sizeof(b), 0);
            if (n >= 0) got.emplace_back(b, b + n);
        }
        return got;
    }

private:
    int m_fd;
};

void WaitHandled(CEkgFinder& finder, int n) {
    for (int i = 0; i < 200 && finder.Handled() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GE(finder.Handled(), n);
}

}  // namespace

TEST(FinderDatagram, FifteenCharacterAddressesAreServed) {
    unsigned char d[32];
    ASSERT_TRUE(BuildFinderDatagram(1, 17, "192.168.100.200", d));
    const unsigned char head[] = {0xFD, 1, 0x20, 17, 192, 168, 100, 200};
    EXPECT_EQ(0, std::memcmp(d, head, sizeof(head)));
    for (int i = 8; i < 31; ++i) EXPECT_EQ(d[i], 0) << i;
    EXPECT_EQ(d[31], 0xEF);
    EXPECT_FALSE(BuildFinderDatagram(0, 16, "no address", d));
}

TEST(FinderDatagram, AdaptersWithoutBroadcastGetTheirSlash24) {
    const auto adapters = ReadAdapters(false, {"10.1.2.3", "bad", "192.168.100.200"});
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].nBroadcast, 0x0A0102FFu);
    EXPECT_EQ(adapters[1].strAddress, "192.168.100.200");
    std::vector<std::string> many(15, "10.0.0.1");
    EXPECT_EQ(ReadAdapters(false, many).size(), static_cast<std::size_t>(kMaxAdapters));
}

TEST(Finder, SearchFindsTheCartOnLoopback) {
    if (RanInNamespace()) return;
    const auto adapters = ReadAdapters(true, {});
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_EQ(adapters[0].strAddress, "127.0.0.1");
    EXPECT_EQ(adapters[0].nBroadcast, 0x7F0000FFu);  // lo has none of its own
    testsupport::CTempDir dir;
    testsupport::CChildProcess device;
    ASSERT_TRUE(device.Start({"/usr/bin/python3", std::string(SOURCE_ROOT) + "/tools/devsim/devsim.py",
                              "finder-device", "--port", "3000", "--id", "CART7", "--text", "Resting ECG",
                              "--ip", "10.1.2.3", "--seconds", "20"},
                             dir / "device.log"));
    ASSERT_FALSE(device.WaitForLine("LISTEN ", 10000).empty()) << device.Output();
    CEkgFinder finder(Loopback());
    EXPECT_EQ(finder.ReceivePort(), 3003);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(finder.Search(1500), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    ASSERT_EQ(finder.Count(), 1) << device.Output();
    EXPECT_EQ(finder.Text(2, 0), "10.1.2.3");
    EXPECT_EQ(finder.Text(1, 0), "CART7");
    EXPECT_EQ(finder.Text(0, 0), "10.1.2.3:CART7:Resting ECG");
    EXPECT_EQ(finder.Text(0, 1), "");
    EXPECT_EQ(finder.Text(2, -1), "");
    // The request carried the finder's type byte and the adapter's address.
    EXPECT_NE(device.Output().find("RECV fd0020107f000001"), std::string::npos) << device.Output();
}

TEST(Finder, KnownIdIsUpdatedAndBadDatagramsAreIgnored) {
    if (RanInNamespace()) return;
    CEkgFinder finder(Loopback());
    CDeviceSocket dev;
    int sent = 0;
    auto send = [&](const std::vector<unsigned char>& d) {
        dev.Send(d, finder.ReceivePort());
        ++sent;
    };
    send(Device(1, 0x12, "10.0.0.5", "ID1", "First"));
    send(Device(1, 0x12, "10.0.0.6", "ID1", "Moved"));
    send(Device(1, 0x12, "10.0.0.7", "ID2", "Second"));
    send(Device(1, 0x12, "10.0.0.8", "ID3", "x", 31));
    send(Device(1, 0x12, "10.0.0.8", "ID3", "x", 33));
    send(Device(1, 0x10, "10.0.0.8", "ID3", "x"));
    send(Device(2, 0x12, "10.0.0.8", "ID3", "x"));
    WaitHandled(finder, sent);
    ASSERT_EQ(finder.Count(), 2);
    EXPECT_EQ(finder.Text(0, 0), "10.0.0.6:ID1:Moved");
    EXPECT_EQ(finder.Text(2, 1), "10.0.0.7");
    // The list has a limit.
    for (int i = 0; i < 300; ++i) {
        send(Device(1, 0x12, "10.0.0.9", ("N" + std::to_string(i)).c_str(), ""));
        if (i % 20 == 19) WaitHandled(finder, sent);  // within the socket's buffer
    }
    WaitHandled(finder, sent);
    EXPECT_EQ(finder.Count(), static_cast<short>(kMaxDevices));
}

TEST(Finder, RequestGetsResponseThenRepeatsUntilAnswered) {
    if (RanInNamespace()) return;
    CEkgFinder finder(Loopback());
    finder.SetType(17);
    CDeviceSocket dev;
    dev.Send(Device(0, 0x12, "10.0.0.5", "ASK", "x"), finder.ReceivePort());
    auto got = dev.Receive(300);
    // The response, then the first repeat of it from the answer socket.
    ASSERT_EQ(got.size(), 2u);
    const unsigned char head[] = {0xFD, 1, 0x20, 17, 127, 0, 0, 1};
    for (const auto& d : got) {
        ASSERT_EQ(d.size(), 32u);
        EXPECT_EQ(0, std::memcmp(d.data(), head, sizeof(head)));
    }
    // Each further datagram brings one more repeat, five in all.
    for (int i = 0; i < 6; ++i) dev.Send(Device(1, 0x12, "10.0.0.5", "OTHER", "x"), finder.ReceivePort());
    got = dev.Receive(300);
    EXPECT_EQ(got.size(), 0u);  // an answer stops the repeating
    EXPECT_EQ(finder.Count(), 2);
}
