#pragma once
// Finds carts on the network by 32-byte UDP datagrams, and answers carts that look for a PC.
//
// One receive thread (started by the constructor, stopped and joined by the destructor)
// answers requests and collects announcements into the device list; the host thread runs
// Search() and reads the list. The list, the adapters and the type byte share one lock.
// The library makes one process-wide finder when it is loaded; tests make their own.
//
// Datagram: [0xFD][0 request | 1 response][0x20][type][IPv4 a.b.c.d][id 8..16][text
// 17..30][0xEF]. Received ones must carry type 0x12; sent ones carry the finder's type byte.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ecg_control/link/linksettings.h"

namespace ekglink {

constexpr int kMaxAdapters = 10;
constexpr std::size_t kMaxDevices = 256;
constexpr std::size_t kDatagramSize = 32;

struct CFinderAdapter {
    std::string strAddress;    // dotted IPv4 text
    std::uint32_t nBroadcast;  // host order: the adapter's own, else its /24
};

// IPv4 adapters that are up, the first address of each, in the system's order, at most 10,
// loopback left out (loopback alone with bLoopbackOnly). Fixed texts replace the system's.
std::vector<CFinderAdapter> ReadAdapters(bool bLoopbackOnly, const std::vector<std::string>& fixed);

// The 32 bytes of a request (0) or response (1) from an adapter address; FALSE when the text
// is no IPv4 address.
bool BuildFinderDatagram(int nKind, int nType, const std::string& strAddress,
                         unsigned char out[kDatagramSize]);

class CEkgFinder {
public:
    explicit CEkgFinder(const CLinkSettings& settings = CLinkSettings::Current());
    ~CEkgFinder();
    CEkgFinder(const CEkgFinder&) = delete;
    CEkgFinder& operator=(const CEkgFinder&) = delete;

    // Empties the list, re-reads the adapters, sends a request on each and waits (below
    // 1000 ms: 100 ms) letting the host's events run. Always 1, as hosts expect. A search
    // asked for by an event that runs during the wait returns at once: the one under way
    // is filling the list.
    short Search(int nTimeoutMs);
    short Count();
    // 0 description "ip:id:text", 1 identifier, 2 IP text; "" outside 0..count-1.
    std::string Text(int nWhat, int nIndex);
    void SetType(int nType);
    int Type();

    // The port the answers arrive on (0 when none could be bound).
    int ReceivePort() const { return m_nReceivePort; }
    // Datagrams handled by the receive thread (for tests that wait on it).
    int Handled() const { return m_nHandled.load(); }

private:
    void Run();
    void Handle(const unsigned char* p, std::size_t n, const void* sender, unsigned senderLen);
    void Record(const unsigned char* p);
    void Broadcast();

    CLinkSettings m_settings;
    std::mutex m_lock;
    std::vector<std::string> m_ips, m_ids, m_infos;
    std::vector<CFinderAdapter> m_adapters;
    int m_nType = 16;
    int m_nRecv = -1, m_nSend = -1, m_nReceivePort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bSearching{false};
    std::atomic<int> m_nHandled{0};
    std::thread m_thread;
};

}  // namespace ekglink
