// Packet parser of the newer devices: the stream is cut at fuzzer-chosen points.
// Byte 0: chunk size seed; the rest is the stream.
#include <cstdint>
#include <vector>

#include "acq_server/tzcomparser.h"

namespace {
void OnPacket(const TzPacket& packet, void* pContext) {
    tz::TzStartInfo start;
    tz::TzFileInfo file;
    (void)tz::ReadStart(packet, start);
    (void)tz::ReadFile(packet, file);
    ++*static_cast<int*>(pContext);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize < 1)
        return 0;
    int nPackets = 0;
    TzComParser parser;
    parser.SetCallback(&OnPacket, &nPackets);
    const size_t nChunk = 1 + pData[0] % 64;
    for (size_t i = 1; i < nSize; i += nChunk) {
        const size_t n = nSize - i < nChunk ? nSize - i : nChunk;
        std::vector<BYTE> aChunk(pData + i, pData + i + n);
        (void)parser.Parse(aChunk.data(), static_cast<int>(aChunk.size()));
    }
    return 0;
}
