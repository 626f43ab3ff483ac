// Device connection protocol: legacy messages, frames and packets as one byte stream,
// cut at points chosen by the fuzzer; records and packet files are stored into a private
// folder.
// Bytes 0-1: folder type and chunk seed; the rest is the stream.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "acq_server/acqcontext.h"
#include "acq_server/devicelink.h"
#include "acq_server/packetfilehandler.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize < 2)
        return 0;
    const std::string strFolder = fuzz::PrivateDir() + "/records";
    std::error_code ec;
    std::filesystem::remove_all(strFolder, ec);
    std::filesystem::create_directories(strFolder, ec);
    CAcqContext context;
    context.m_settings.m_strWorkingFolder = strFolder;
    context.m_settings.m_nFolderType = pData[0] % 3;
    context.m_clock = [] { return static_cast<std::time_t>(1767323045); };
    size_t nStored = 0;
    context.m_onStored = [&nStored](const CStoredRecord&) { ++nStored; };
    // Packets go through the file transfer: device-given names and files of any length.
    InstallPacketFileHandler(context);
    {
        CDeviceLink link(context, [](const BYTE*, std::size_t) { return TRUE; });
        // Chunk sizes come from a small generator seeded by byte 1 so that splits vary.
        uint32_t nSeed = pData[1] * 2654435761u + 1;
        size_t i = 2;
        while (i < nSize) {
            nSeed = nSeed * 1103515245u + 12345u;
            size_t nChunk = 1 + (nSeed >> 16) % 300;
            if (nChunk > nSize - i)
                nChunk = nSize - i;
            std::vector<BYTE> aChunk(pData + i, pData + i + nChunk);
            i += nChunk;
            if (!link.OnReceive(aChunk.data(), aChunk.size()))
                break;
        }
    }
    return 0;
}
