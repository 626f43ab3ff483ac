// ECG record file reader: ".ekg"/".raw"/".ksi" records and CSE ".dcd" files.
// Byte 0 selects the reader, the extension and the mains mode; the rest is the file.
#include <cstdint>

#include "ecg_control/ekgfile.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    if (nSize < 1)
        return 0;
    const uint8_t nSel = pData[0];
    static const char* const s_apszNames[] = {"rec.ekg", "rec.raw", "rec.ksi", "rec.dcd"};
    const std::string strPath = fuzz::WriteInput(s_apszNames[nSel & 3], pData + 1, nSize - 1);
    const int nMode = (nSel >> 2) & 3;
    CWaveBuffer wave;
    if ((nSel & 3) == 3) {
        (void)ReadCseFile(strPath, &wave, nMode);
    } else {
        CEkgRecordInfo info;
        CMorphologyTable morph;
        (void)ReadEkgFile(strPath, &wave, &info, &morph, nMode);
    }
    return 0;
}
