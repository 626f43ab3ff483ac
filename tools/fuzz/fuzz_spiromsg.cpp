// Spirometry device intake: a sequence of legacy messages and 0xFD frames.
// Each item: kind byte (bit 7: frame; low bits: variant), tag, 16-bit length, bytes.
#include <cstdint>
#include <vector>

#include "spiro_control/spirotestfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    CSpiroTestFile file(pData && nSize && (pData[0] & 1) ? TRUE : FALSE);
    size_t i = nSize ? 1 : 0;
    while (i + 4 <= nSize) {
        const uint8_t nKind = pData[i];
        const int nTag = pData[i + 1];
        size_t nLength = pData[i + 2] | (pData[i + 3] << 8);
        i += 4;
        if (nLength > nSize - i)
            nLength = nSize - i;
        // An exact-size copy so that any read past the item is caught.
        std::vector<BYTE> aItem(pData + i, pData + i + nLength);
        i += nLength;
        if (nKind & 0x80)
            file.AddFrameMessage(1 + (nKind & 3) % 3, 0xB0 + nTag % 13, aItem.data(),
                                 static_cast<int>(aItem.size()));
        else
            file.AddDeviceMessage(nTag, aItem.data(), static_cast<int>(aItem.size()));
        if (nKind & 0x40)
            file.Reset();
    }
    std::vector<BYTE> abImage;
    (void)file.MakeImage(abImage);
    return 0;
}
