// Benchmark of the acquisition server (not a test): records assembled per second by the
// protocol core from an in-memory stream, and the in-process server with 50 devices that
// send at once over 127.0.0.1.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "acq_server/devicelink.h"
#include "acq_server/listensocket.h"
#include "platform/folders.h"
#include "streams.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void CoreBench(const std::string& strFolder, const char* pszName, const teststream::Bytes& stream,
               std::size_t nBodyBytes, int nRecords) {
    CAcqContext context;
    context.m_settings.m_strWorkingFolder = strFolder;
    int nStored = 0;
    context.m_onStored = [&](const CStoredRecord&) { ++nStored; };
    CDeviceLink link(context, [](const BYTE*, std::size_t) { return TRUE; });
    // Whole records, file written (and synced) each time.
    auto t0 = Clock::now();
    for (int r = 0; r < nRecords; ++r)
        for (std::size_t i = 0; i < stream.size(); i += 8192)
            link.OnReceive(stream.data() + i, std::min<std::size_t>(8192, stream.size() - i));
    const double dWhole = Seconds(t0);
    // Everything but the disk: the folder cannot be made, so the record is assembled, its
    // leads derived and its file image built, and then refused.
    std::FILE* pBlocker = std::fopen((strFolder + "blocker").c_str(), "w");
    if (pBlocker)
        std::fclose(pBlocker);
    context.m_settings.m_strWorkingFolder = strFolder + "blocker/sub";
    const int nAssemble = nRecords * 5;
    t0 = Clock::now();
    for (int r = 0; r < nAssemble; ++r)
        for (std::size_t i = 0; i < stream.size(); i += 8192)
            link.OnReceive(stream.data() + i, std::min<std::size_t>(8192, stream.size() - i));
    const double dAssemble = Seconds(t0);
    (void)nBodyBytes;
    std::printf(
        "core %-18s %7zu bytes: %8.1f records/s stored (%d), %9.1f records/s assembled "
        "without the disk (%.1f MB/s)\n",
        pszName, stream.size(), nRecords / dWhole, nStored, nAssemble / dAssemble,
        nAssemble * double(stream.size()) / dAssemble / 1e6);
}

void ServerBench(const std::string& strFolder, int nDevices) {
    CAcqContext context;
    context.m_settings.m_strWorkingFolder = strFolder;
    int nStored = 0;
    context.m_onStored = [&](const CStoredRecord&) { ++nStored; };
    CListenSocket listen(context);
    if (!listen.Listen(QHostAddress::LocalHost, 0)) {
        std::printf("cannot listen\n");
        return;
    }
    std::vector<teststream::Bytes> streams;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < nDevices; ++i) {
        teststream::EcgSpec desc;
        desc.strID = "B" + std::to_string(i);
        desc.nSeed = i;
        desc.nTransferOption = 1 + i % 3;
        streams.push_back(teststream::FrameEcg(desc));
    }
    // The devices connect first, then all of them send their records at once.
    for (int i = 0; i < nDevices; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(QHostAddress::LocalHost, listen.Port());
        while (listen.ClientCount() < static_cast<std::size_t>(i + 1) ||
               sockets.back()->state() != QAbstractSocket::ConnectedState)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < nDevices; ++i)
        sockets[i]->write(reinterpret_cast<const char*>(streams[i].data()),
                          static_cast<qint64>(streams[i].size()));
    int nReplies = 0;
    std::vector<bool> abReplied(nDevices, false);
    while (nReplies < nDevices && timer.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (int i = 0; i < nDevices; ++i) {
            QTcpSocket& s = *sockets[i];
            if (!abReplied[i] && s.bytesAvailable() >= 4) {
                if (std::getenv("ACQ_BENCH_TRACE"))
                    std::printf("reply %d at %lld ms\n", i,
                                static_cast<long long>(timer.elapsed()));
                abReplied[i] = s.readAll() == QByteArray::fromHex("fc0600ef");
                if (abReplied[i])
                    ++nReplies;
            }
        }
    }
    const double dSeconds = timer.elapsed() / 1000.0;
    std::printf(
        "server %d devices at once (%zu bytes each): %d of %d answered 6, %d stored, "
        "%.2f s, %.1f records/s\n",
        nDevices, streams[0].size(), nReplies, nDevices, nStored, dSeconds, nReplies / dSeconds);
    sockets.clear();
    listen.Close();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string strBase = platform::PrivateTempDir();
    if (strBase.empty())
        return 1;
    const std::string strFolder = strBase + "acq_bench_" + std::to_string(::getpid()) + "/";
    platform::MakeDirs(strFolder);

    teststream::EcgSpec desc;
    desc.anPace = {100, 200};
    const auto legacy = teststream::LegacyEcg(desc);
    const auto frames = teststream::FrameEcg(desc);
    desc.b6000 = true;
    const auto legacy6000 = teststream::LegacyEcg(desc);
    CoreBench(strFolder, "legacy 5000", legacy, legacy.size() - 82, 200);
    CoreBench(strFolder, "legacy 6000", legacy6000, legacy6000.size() - 82, 200);
    CoreBench(strFolder, "frame 5000", frames, frames.size() - 4, 200);
    const int nDevices = argc > 1 ? std::atoi(argv[1]) : 50;
    ServerBench(strFolder, nDevices);

    std::error_code ec;
    std::filesystem::remove_all(strFolder, ec);
    return 0;
}
