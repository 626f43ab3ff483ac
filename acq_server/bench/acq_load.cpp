// Load client for the receiving path (a benchmark, not a test): K frame-mode carts connect
// at once to a running server (acqd or QarServer) on 127.0.0.1 and each sends R records one
// after the other, waiting for the answer of each. Reports records per second, the time
// from a record's last byte to its reply (p50/p99), refused, reset and lost records, the
// server's resident memory, and checks every stored file (size, patient ID inside).
// A packet mode sends files as a packet device does (MB/s, files/s).
//
//   acq_load --port N --carts 8 --records 100 [--folder DIR] [--pid PID]
//   acq_load --port N --packet-file 20000000 [--count 1]
//   acq_load --port N --idle 500 --pid PID
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "streams.h"

namespace {

using Clock = std::chrono::steady_clock;

struct CResult {
    std::vector<double> adLatencyMs;
    int nTaken = 0, nRefused = 0, nReset = 0, nLost = 0, nConnectFailed = 0;
};

int Connect(int nPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(nPort));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval tv{30, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(fd);
        return -1;
    }
    const int nOn = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nOn, sizeof nOn);
    return fd;
}

bool SendAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
        if (k <= 0)
            return false;
        p += k;
        n -= static_cast<std::size_t>(k);
    }
    return true;
}

// Reads exactly n bytes; 0 ok, 1 closed/timeout, 2 reset.
int ReadAll(int fd, std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t k = ::recv(fd, p, n, 0);
        if (k < 0)
            return errno == ECONNRESET ? 2 : 1;
        if (k == 0)
            return 1;
        p += k;
        n -= static_cast<std::size_t>(k);
    }
    return 0;
}

void Cart(int nPort, int nCart, int nRecords, CResult& result, std::mutex& lock) {
    CResult mine;
    const int fd = Connect(nPort);
    if (fd < 0) {
        std::lock_guard<std::mutex> g(lock);
        result.nConnectFailed++;
        result.nLost += nRecords;
        return;
    }
    for (int r = 0; r < nRecords; ++r) {
        teststream::EcgSpec cart;
        cart.strID = "L" + std::to_string(nCart) + "X" + std::to_string(r);
        cart.nSeed = nCart * 7 + r;
        cart.nTransferOption = 1;
        const teststream::Bytes stream = teststream::FrameEcg(cart);
        if (!SendAll(fd, stream.data(), stream.size())) {
            mine.nReset++;
            mine.nLost += nRecords - r;
            break;
        }
        const auto t0 = Clock::now();
        std::uint8_t ab[4] = {};
        const int nRead = ReadAll(fd, ab, 4);
        if (nRead != 0) {
            (nRead == 2 ? mine.nReset : mine.nLost)++;
            mine.nLost += nRecords - r - 1;
            break;
        }
        mine.adLatencyMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (ab[0] == 0xFC && ab[1] == 6 && ab[3] == 0xEF)
            mine.nTaken++;
        else
            mine.nRefused++;
    }
    ::close(fd);
    std::lock_guard<std::mutex> g(lock);
    result.adLatencyMs.insert(result.adLatencyMs.end(), mine.adLatencyMs.begin(), mine.adLatencyMs.end());
    result.nTaken += mine.nTaken;
    result.nRefused += mine.nRefused;
    result.nReset += mine.nReset;
    result.nLost += mine.nLost;
}

double Percentile(std::vector<double> a, double p) {
    if (a.empty())
        return 0;
    std::sort(a.begin(), a.end());
    const std::size_t i = std::min(a.size() - 1, static_cast<std::size_t>(p * (a.size() - 1) + 0.5));
    return a[i];
}

long RssKb(long nPid, const char* pszKey) {
    std::ifstream in("/proc/" + std::to_string(nPid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(pszKey, 0) == 0)
            return std::atol(line.c_str() + std::strlen(pszKey));
    return -1;
}

// Every stored file: size of a 5000-sample record, and the patient ID inside the file equal
// to the one its name starts with. Returns the number of files that are not right.
int CheckFiles(const std::string& strFolder, int nExpected, int& nFound) {
    const std::size_t nSize = 12 * 5100 * 2 + 10000 + 240;
    int nBad = 0;
    nFound = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(strFolder)) {
        if (!e.is_regular_file() || e.path().extension() != ".ekg")
            continue;
        const std::string strName = e.path().filename().string();
        if (strName[0] != 'L')
            continue;
        ++nFound;
        std::ifstream in(e.path(), std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string strID = strName.substr(0, strName.find('_'));
        const std::size_t nInfo = 12 * 5100 * 2;
        if (data.size() != nSize || data.compare(nInfo + 53, strID.size(), strID) != 0)
            ++nBad;
    }
    return nBad + std::max(0, nExpected - nFound);
}

int LoadRun(int nPort, int nCarts, int nRecords, const std::string& strFolder, long nPid) {
    CResult result;
    std::mutex lock;
    std::vector<std::thread> threads;
    const long nRssBefore = nPid > 0 ? RssKb(nPid, "VmRSS:") : -1;
    std::atomic<long> nPeak{0};
    std::atomic<bool> bDone{false};
    std::thread sampler([&] {
        while (!bDone && nPid > 0) {
            nPeak = std::max(nPeak.load(), RssKb(nPid, "VmRSS:"));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto t0 = Clock::now();
    for (int c = 0; c < nCarts; ++c)
        threads.emplace_back(Cart, nPort, c, nRecords, std::ref(result), std::ref(lock));
    for (auto& t : threads)
        t.join();
    const double dSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
    bDone = true;
    sampler.join();
    std::printf(
        "%d carts x %d records: %d taken, %d refused, %d reset, %d lost, %d connects failed; "
        "%.2f s, %.0f records/s; reply p50 %.2f ms, p99 %.2f ms, max %.2f ms",
        nCarts, nRecords, result.nTaken, result.nRefused, result.nReset, result.nLost,
        result.nConnectFailed, dSeconds, result.nTaken / dSeconds,
        Percentile(result.adLatencyMs, 0.5), Percentile(result.adLatencyMs, 0.99),
        Percentile(result.adLatencyMs, 1.0));
    if (nPid > 0)
        std::printf("; server RSS %ld KB before, peak %ld KB", nRssBefore, nPeak.load());
    std::printf("\n");
    int nBad = 0;
    if (!strFolder.empty()) {
        int nFound = 0;
        nBad = CheckFiles(strFolder, nCarts * nRecords, nFound);
        std::printf("stored files: %d found, %d missing or wrong\n", nFound, nBad);
    }
    return nBad == 0 && result.nTaken == nCarts * nRecords ? 0 : 1;
}

// A packet device: START, then per file FILE, 60000-byte data packets, FINISH; each
// answered by ACK(FILE), reply, ACK(FINISH).
int PacketRun(int nPort, std::size_t nFileSize, int nFiles) {
    const int fd = Connect(nPort);
    if (fd < 0) {
        std::printf("cannot connect\n");
        return 1;
    }
    auto command = [](int nCmd, int nType, const std::vector<std::uint8_t>& value) {
        std::vector<std::uint8_t> out = {0xF1, static_cast<std::uint8_t>(nCmd >> 8),
                                         static_cast<std::uint8_t>(nCmd & 0xFF)};
        out.push_back(nType == 9 ? static_cast<std::uint8_t>(0x80 | value.size())
                                 : static_cast<std::uint8_t>(nType));
        out.insert(out.end(), value.begin(), value.end());
        out.push_back(0);
        return out;
    };
    std::vector<std::uint8_t> content(nFileSize);
    for (std::size_t i = 0; i < nFileSize; ++i)
        content[i] = static_cast<std::uint8_t>(i * 7);
    auto start = command(0xFF00, 9, std::vector<std::uint8_t>(20, 0));
    if (!SendAll(fd, start.data(), start.size()))
        return 1;
    std::uint8_t ack[7];
    if (ReadAll(fd, ack, 7) != 0) {
        std::printf("packet device: START not acknowledged\n");
        return 1;
    }
    const auto t0 = Clock::now();
    int nTaken = 0;
    for (int f = 0; f < nFiles; ++f) {
        std::vector<std::uint8_t> value(127, 0);
        const std::uint32_t nSize = static_cast<std::uint32_t>(nFileSize);
        value[0] = static_cast<std::uint8_t>(nSize >> 24);
        value[1] = static_cast<std::uint8_t>(nSize >> 16);
        value[2] = static_cast<std::uint8_t>(nSize >> 8);
        value[3] = static_cast<std::uint8_t>(nSize);
        char szName[64];
        std::snprintf(szName, sizeof szName, "P%d_20260102%06d.mwf", f, f);
        std::memcpy(value.data() + 9, szName, std::strlen(szName));
        std::vector<std::uint8_t> out = command(0xFF01, 9, value);
        std::uint32_t nOrder = 0;
        for (std::size_t at = 0; at < nFileSize; at += 60000, ++nOrder) {
            const std::size_t n = std::min<std::size_t>(60000, nFileSize - at);
            const std::uint8_t head[7] = {0xF2,
                                          static_cast<std::uint8_t>(nOrder >> 24),
                                          static_cast<std::uint8_t>(nOrder >> 16),
                                          static_cast<std::uint8_t>(nOrder >> 8),
                                          static_cast<std::uint8_t>(nOrder),
                                          static_cast<std::uint8_t>(n >> 8),
                                          static_cast<std::uint8_t>(n)};
            out.insert(out.end(), head, head + 7);
            out.insert(out.end(), content.begin() + static_cast<std::ptrdiff_t>(at),
                       content.begin() + static_cast<std::ptrdiff_t>(at + n));
        }
        auto finish = command(0xFF02, 2, {0});
        out.insert(out.end(), finish.begin(), finish.end());
        if (!SendAll(fd, out.data(), out.size()))
            break;
        std::uint8_t answer[7 + 4 + 7];
        if (ReadAll(fd, answer, sizeof answer) != 0)
            break;
        if (answer[7] == 0xFC && answer[8] == 6)
            ++nTaken;
    }
    const double dSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
    ::close(fd);
    std::printf("packet device: %d of %d files of %zu bytes taken in %.3f s: %.1f MB/s, %.1f files/s\n",
                nTaken, nFiles, nFileSize, dSeconds, nTaken * double(nFileSize) / dSeconds / 1e6,
                nTaken / dSeconds);
    return nTaken == nFiles ? 0 : 1;
}

// Holds n idle connections open for a moment and reports the server's memory.
int IdleRun(int nPort, int nIdle, long nPid) {
    const long nBefore = nPid > 0 ? RssKb(nPid, "VmRSS:") : -1;
    std::vector<int> fds;
    for (int i = 0; i < nIdle; ++i) {
        const int fd = Connect(nPort);
        if (fd >= 0)
            fds.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const long nAfter = nPid > 0 ? RssKb(nPid, "VmRSS:") : -1;
    std::printf("%zu idle connections: server RSS %ld KB before, %ld KB with them\n", fds.size(),
                nBefore, nAfter);
    for (int fd : fds)
        ::close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int nPort = 0, nCarts = 8, nRecords = 100, nCount = 1, nIdle = 0;
    long nPid = 0;
    std::size_t nPacketFile = 0;
    std::string strFolder;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--port")
            nPort = std::atoi(argv[i + 1]);
        else if (a == "--carts")
            nCarts = std::atoi(argv[i + 1]);
        else if (a == "--records")
            nRecords = std::atoi(argv[i + 1]);
        else if (a == "--folder")
            strFolder = argv[i + 1];
        else if (a == "--pid")
            nPid = std::atol(argv[i + 1]);
        else if (a == "--packet-file")
            nPacketFile = static_cast<std::size_t>(std::atol(argv[i + 1]));
        else if (a == "--idle")
            nIdle = std::atoi(argv[i + 1]);
        else if (a == "--count")
            nCount = std::atoi(argv[i + 1]);
    }
    if (nPort <= 0 || nPort > 65535) {
        std::fprintf(stderr, "usage: acq_load --port N [--carts K --records R --folder DIR --pid P]"
                             " | [--packet-file BYTES --count N]\n");
        return 2;
    }
    if (nIdle > 0)
        return IdleRun(nPort, nIdle, nPid);
    if (nPacketFile > 0)
        return PacketRun(nPort, nPacketFile, nCount);
    return LoadRun(nPort, nCarts, nRecords, strFolder, nPid);
}
