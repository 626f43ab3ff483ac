// Benchmark (not a test): uploads per second through the sender to pyftpdlib on loopback,
// all files of a size in one run with the pause at 0, then a few files with the default
// pause for comparison.
#include <chrono>
#include <cstdio>
#include <string>

#include "acq_server/ftp/ftpthread.h"
#include "ftppeer.h"

namespace {

double Run(CFtpPeer& peer, const CFtpPeer::COptions& options, const testsupport::CTempDir& dir,
           std::size_t size, int count, int pauseMs) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 131) ^ (i >> 7));
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(dir / ("f" + std::to_string(size) + "_" + std::to_string(i) + ".bin"));
        testsupport::WriteFile(paths.back(), data);
    }
    CFtpInfoFile info;
    info.m_strServer = "127.0.0.1";
    info.m_nPort = peer.Port();
    info.m_strUser = options.user;
    info.m_strPassword = options.password;
    CFtpQueue queue;
    CFtpThread thread(queue, info);
    thread.SetPause(pauseMs);
    auto t0 = std::chrono::steady_clock::now();
    for (const auto& p : paths)
        thread.StartFtpUpload(p.c_str());
    thread.WaitIdle(600000);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (queue.GetCount() != 0)
        std::printf("  %d files left queued!\n", queue.GetCount());
    return seconds;
}

}  // namespace

int main() {
    CFtpPeer peer;
    CFtpPeer::COptions options;
    if (!peer.Start(options)) {
        std::fprintf(stderr, "%s\n", peer.Error().c_str());
        return 1;
    }
    testsupport::CTempDir dir;
    struct {
        std::size_t size;
        int count;
        int pauseMs;
    } runs[] = {{1024, 1000, 0}, {1024 * 1024, 100, 0}, {1024, 6, 500}};
    for (const auto& r : runs) {
        double s = Run(peer, options, dir, r.size, r.count, r.pauseMs);
        std::printf("%7zu-byte files, pause %3d ms: %4d in %.2f s = %.1f files/s, %.1f MB/s\n",
                    r.size, r.pauseMs, r.count, s, r.count / s, r.count * r.size / s / 1e6);
    }
    return 0;
}
