// Spirometry test file reader. Byte 0 selects the accepted test type (0..5).
#include <cstdint>

#include "fuzz_common.h"
#include "spiro_control/spirotestfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize < 1)
        return 0;
    const short nType = static_cast<short>(pData[0] % 6);
    const std::string strPath = fuzz::WriteInput("test.spr", pData + 1, nSize - 1);
    CSpiroTestFile file(pData[0] & 0x80 ? TRUE : FALSE);
    if (file.Open(strPath, nType) > 0) {
        // A record that was read must also lay out and save again.
        std::vector<BYTE> abImage;
        (void)file.MakeImage(abImage);
    }
    return 0;
}
