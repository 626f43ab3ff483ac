// Record information block (10000 bytes) decode and the device statement text decoder.
#include <cstdint>
#include <cstring>
#include <vector>

#include "ecg_control/ekgrecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    // The text decoder sees the whole input, the block decoder the input padded to 10000.
    (void)DecodeDeviceText(CString(reinterpret_cast<const char*>(pData), nSize));
    std::vector<BYTE> aBlock(10000, 0);
    std::memcpy(aBlock.data(), pData, nSize < aBlock.size() ? nSize : aBlock.size());
    CEkgRecordInfo info;
    info.Decode(aBlock.data());
    // What was decoded must encode back into a block without leaving it.
    std::vector<BYTE> aOut(10000, 0);
    info.Encode(aOut.data());
    return 0;
}
