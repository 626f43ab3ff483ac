#pragma once
// The cart's live monitoring datagrams and its lead-fault flags, without a socket.
#include <cstddef>
#include <vector>

#include "ecg_control/link/ekgstream.h"
#include "platform/wintypes.h"

namespace ekglink {

constexpr std::size_t kMaxDatagram = 100;

struct CMonitorDatagram {
    enum Kind { kIgnored, kSamples, kSamplesAndFlags };
    Kind kind = kIgnored;
    short aSets[kSetsPerItem][kLeads] = {};
    BYTE byFlags1 = 0, byFlags2 = 0;
    BOOL SignalNotGood() const { return kind == kSamplesAndFlags && (byFlags1 & 0x40) != 0; }
};

// [3][80|82][five sample sets][flags 1][flags 2]. A datagram that is not of kind 3, has
// another length byte, or is shorter than its length byte promises is ignored.
CMonitorDatagram ParseMonitorDatagram(const BYTE* pData, std::size_t nLength);

struct CLeadFault {
    BOOL bFault = FALSE;
    CString strText;            // the status label's text, empty without a fault
    std::vector<short> events;  // EKGLeadFault numbers in firing order
};
// RA, LA, LL (flags 2 bits 0x20..0x80), V1..V6 (flags 1 bits 0x01..0x20); all nine = 12.
CLeadFault CheckLeadFault(BYTE byFlags1, BYTE byFlags2);

}  // namespace ekglink
