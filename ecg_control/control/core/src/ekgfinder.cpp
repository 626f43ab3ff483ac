#include "ecg_control/link/ekgfinder.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "platform/msgpump.h"

namespace ekglink {
namespace {

constexpr unsigned char kHead = 0xFD, kTail = 0xEF, kDeviceType = 0x12;
constexpr int kRepeats = 5;
constexpr int kBindTries = 100;

std::uint32_t SlashTwentyFour(std::uint32_t addr) { return (addr & 0xFFFFFF00u) | 0xFFu; }

// Text from p up to the first zero byte, never past byte 30 of the datagram.
std::string TextAt(const unsigned char* p, std::size_t from) {
    std::string s;
    for (std::size_t i = from; i <= 30 && p[i] != 0; ++i) s.push_back(static_cast<char>(p[i]));
    return s;
}

}  // namespace

std::vector<CFinderAdapter> ReadAdapters(bool bLoopbackOnly, const std::vector<std::string>& fixed) {
    std::vector<CFinderAdapter> adapters;
    if (!fixed.empty()) {
        for (const std::string& text : fixed) {
            in_addr a{};
            if (adapters.size() < kMaxAdapters && inet_pton(AF_INET, text.c_str(), &a) == 1) {
                adapters.push_back({text, SlashTwentyFour(ntohl(a.s_addr))});
            }
        }
        return adapters;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return adapters;
    std::vector<std::string> seen;
    for (ifaddrs* i = list; i && adapters.size() < kMaxAdapters; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP)) continue;
        const bool bLoop = (i->ifa_flags & IFF_LOOPBACK) != 0;
        if (bLoop != bLoopbackOnly) continue;
        const std::string name = i->ifa_name ? i->ifa_name : "";
        bool bKnown = false;
        for (const std::string& s : seen) bKnown = bKnown || s == name;
        if (bKnown) continue;  // the first address of each adapter
        seen.push_back(name);
        const std::uint32_t addr = ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
        std::uint32_t bcast = SlashTwentyFour(addr);
        if ((i->ifa_flags & IFF_BROADCAST) && i->ifa_broadaddr &&
            i->ifa_broadaddr->sa_family == AF_INET) {
            bcast = ntohl(reinterpret_cast<sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
        }
        char text[INET_ADDRSTRLEN] = {};
        const in_addr a{htonl(addr)};
        inet_ntop(AF_INET, &a, text, sizeof(text));
        adapters.push_back({text, bcast});
    }
    freeifaddrs(list);
    return adapters;
}

bool BuildFinderDatagram(int nKind, int nType, const std::string& strAddress,
                         unsigned char out[kDatagramSize]) {
    in_addr a{};
    if (inet_pton(AF_INET, strAddress.c_str(), &a) != 1) return false;
    std::memset(out, 0, kDatagramSize);
    out[0] = kHead;
    out[1] = static_cast<unsigned char>(nKind);
    out[2] = 0x20;
    out[3] = static_cast<unsigned char>(nType);
    std::memcpy(out + 4, &a.s_addr, 4);  // network order: first octet in byte 4
    out[31] = kTail;
    return true;
}

CEkgFinder::CEkgFinder(const CLinkSettings& settings) : m_settings(settings) {
    m_adapters = ReadAdapters(m_settings.bLoopbackOnly, m_settings.adapters);
    m_nRecv = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    m_nSend = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_nRecv < 0 || m_nSend < 0) {
        if (m_nRecv >= 0) ::close(m_nRecv);
        if (m_nSend >= 0) ::close(m_nSend);
        m_nRecv = m_nSend = -1;
        return;
    }
    const int one = 1;
    ::setsockopt(m_nSend, SOL_SOCKET, SO_BROADCAST, &one, sizeof(one));
    ::setsockopt(m_nRecv, SOL_SOCKET, SO_BROADCAST, &one, sizeof(one));
    // The answer port, or the next free one; the search ends after a bounded number.
    for (int i = 0; i < kBindTries && m_settings.nFinderPort + i < 65536; ++i) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
        addr.sin_port = htons(static_cast<std::uint16_t>(m_settings.nFinderPort + i));
        if (::bind(m_nRecv, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
            m_nReceivePort = m_settings.nFinderPort + i;
            break;
        }
    }
    if (m_nReceivePort == 0) {
        ::close(m_nRecv);
        ::close(m_nSend);
        m_nRecv = m_nSend = -1;
        return;
    }
    Broadcast();
    m_thread = std::thread([this] { Run(); });
}

CEkgFinder::~CEkgFinder() {
    m_bStop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_nRecv >= 0) ::close(m_nRecv);
    if (m_nSend >= 0) ::close(m_nSend);
}

void CEkgFinder::Broadcast() {
    std::vector<CFinderAdapter> adapters;
    int nType;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        adapters = m_adapters;
        nType = m_nType;
    }
    for (const CFinderAdapter& adapter : adapters) {
        unsigned char d[kDatagramSize];
        if (!BuildFinderDatagram(0, nType, adapter.strAddress, d)) continue;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(adapter.nBroadcast);
        to.sin_port = htons(static_cast<std::uint16_t>(m_settings.nFinderTargetPort));
        ::sendto(m_nSend, d, sizeof(d), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    }
}

void CEkgFinder::Run() {
    unsigned char buffer[256];
    unsigned char last[kDatagramSize] = {};
    bool bHaveLast = false;
    int nRepeats = 0;
    sockaddr_in lastSender{};
    while (!m_bStop) {
        pollfd pfd{m_nRecv, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0) continue;
        sockaddr_in sender{};
        socklen_t len = sizeof(sender);
        const ssize_t n = ::recvfrom(m_nRecv, buffer, sizeof(buffer), 0,
                                     reinterpret_cast<sockaddr*>(&sender), &len);
        if (n < 0) continue;
        lastSender = sender;
        if (n != static_cast<ssize_t>(kDatagramSize) || buffer[0] != kHead || buffer[31] != kTail ||
            buffer[1] > 1 || buffer[3] != kDeviceType) {
            m_nHandled++;
            continue;
        }
        if (buffer[1] == 1) {
            nRepeats = 0;
        } else {
            std::vector<CFinderAdapter> adapters;
            int nType;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                adapters = m_adapters;
                nType = m_nType;
            }
            for (const CFinderAdapter& adapter : adapters) {
                if (!BuildFinderDatagram(1, nType, adapter.strAddress, last)) continue;
                bHaveLast = true;
                ::sendto(m_nSend, last, sizeof(last), 0, reinterpret_cast<sockaddr*>(&sender), len);
            }
            nRepeats = kRepeats;
        }
        Record(buffer);
        if (nRepeats > 0 && bHaveLast) {
            ::sendto(m_nRecv, last, sizeof(last), 0, reinterpret_cast<sockaddr*>(&lastSender),
                     sizeof(lastSender));
            --nRepeats;
        }
        m_nHandled++;
    }
}

void CEkgFinder::Record(const unsigned char* p) {
    char ip[16];
    std::snprintf(ip, sizeof(ip), "%d.%d.%d.%d", p[4], p[5], p[6], p[7]);
    const std::string id = TextAt(p, 8), text = TextAt(p, 17);
    const std::string info = std::string(ip) + ":" + id + ":" + text;
    std::lock_guard<std::mutex> guard(m_lock);
    for (std::size_t i = 0; i < m_ids.size(); ++i) {
        if (m_ids[i] == id) {
            m_ips[i] = ip;
            m_infos[i] = info;
            return;
        }
    }
    if (m_ids.size() >= kMaxDevices) return;
    m_ips.push_back(ip);
    m_ids.push_back(id);
    m_infos.push_back(info);
}

short CEkgFinder::Search(int nTimeoutMs) {
    if (m_nSend < 0 || m_bSearching.exchange(true))
        return 1;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_ips.clear();
        m_ids.clear();
        m_infos.clear();
        m_adapters = ReadAdapters(m_settings.bLoopbackOnly, m_settings.adapters);
    }
    Broadcast();
    const int nWait = nTimeoutMs < 1000 ? 100 : nTimeoutMs;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nWait);
    while (std::chrono::steady_clock::now() < deadline) {
        if (platform::PumpMessage() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_bSearching = false;
    return 1;
}

short CEkgFinder::Count() {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<short>(m_ips.size());
}

std::string CEkgFinder::Text(int nWhat, int nIndex) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_ips.size()) return {};
    const auto i = static_cast<std::size_t>(nIndex);
    return nWhat == 0 ? m_infos[i] : nWhat == 1 ? m_ids[i] : m_ips[i];
}

void CEkgFinder::SetType(int nType) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_nType = nType;
}

int CEkgFinder::Type() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_nType;
}

}  // namespace ekglink
