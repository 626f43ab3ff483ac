#include "ecg_control/link/monitordatagram.h"

namespace ekglink {

CMonitorDatagram ParseMonitorDatagram(const BYTE* pData, std::size_t nLength) {
    CMonitorDatagram dg;
    if (nLength < 2 || pData[0] != 3) return dg;
    const BYTE byLength = pData[1];
    if ((byLength != 80 && byLength != 82) || nLength < static_cast<std::size_t>(byLength) + 2) {
        return dg;
    }
    DecodeSampleSets(pData + 2, dg.aSets);
    if (byLength == 82) {
        dg.kind = CMonitorDatagram::kSamplesAndFlags;
        dg.byFlags1 = pData[82];
        dg.byFlags2 = pData[83];
    } else {
        dg.kind = CMonitorDatagram::kSamples;
    }
    return dg;
}

CLeadFault CheckLeadFault(BYTE f1, BYTE f2) {
    CLeadFault result;
    if ((f1 & 0x3F) == 0x3F && (f2 & 0xE0) == 0xE0) {
        result.bFault = TRUE;
        result.strText = "Lead fault : All leads";
        result.events.push_back(12);
        return result;
    }
    if ((f1 & 0x3F) == 0 && (f2 & 0xE0) == 0) return result;
    struct Flag {
        bool bSecond;
        BYTE byBit;
        const char* pszName;
        short nEvent;
    };
    static const Flag kFlags[] = {
        {true, 0x20, " RA", 1},  {true, 0x40, " LA", 2},  {true, 0x80, " LL", 3},
        {false, 0x01, " V1", 6}, {false, 0x02, " V2", 7}, {false, 0x04, " V3", 8},
        {false, 0x08, " V4", 9}, {false, 0x10, " V5", 10}, {false, 0x20, " V6", 11},
    };
    result.bFault = TRUE;
    result.strText = "Lead fault :";
    for (const Flag& flag : kFlags) {
        if (((flag.bSecond ? f2 : f1) & flag.byBit) != 0) {
            result.strText += flag.pszName;
            result.events.push_back(flag.nEvent);
        }
    }
    return result;
}

}  // namespace ekglink
