// The ECG control's cart stream parser (fed in two parts, cut where the first byte says)
// and its monitoring datagram reader.
#include <cstdint>

#include "ecg_control/link/ekgstream.h"
#include "ecg_control/link/monitordatagram.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    CWaveBuffer wave;
    wave.CreateLeads(5000, 2);
    CEkgRecordInfo info;
    ekglink::CEkgStreamParser parser(wave, info, {});
    const size_t nCut = nSize ? pData[0] % (nSize + 1) : 0;
    parser.Feed(pData, nCut);
    parser.Feed(pData + nCut, nSize - nCut);
    const auto dg = ekglink::ParseMonitorDatagram(pData, nSize < 100 ? nSize : 100);
    (void)ekglink::CheckLeadFault(dg.byFlags1, dg.byFlags2);
    return 0;
}
