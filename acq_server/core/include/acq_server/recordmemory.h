#pragma once
// Record memory of the connections. A connection holds its record buffers only while a
// record is being received and built, so hundreds of idle connections cost next to
// nothing; the buffers a finished record gives back are kept in a small process-wide
// reserve for the next record, so that a busy server does not map and fault in fresh
// pages for every record. The reserve never holds more than a few records' worth.
#include <cstddef>
#include <vector>

#include "ecg_control/globalbuffer.h"
#include "platform/wintypes.h"

namespace acq {

class CRecordMemory {
public:
    // Most buffers of each kind kept in reserve.
    static constexpr std::size_t kReserve = 16;

    // A zeroed byte buffer of nBytes; given back by GiveBytes.
    static std::vector<BYTE> TakeBytes(std::size_t nBytes);
    static void GiveBytes(std::vector<BYTE>& bytes);
    // Zeroed lead buffer of 12 leads x nSamples 16-bit samples; given back by GiveLeads.
    static BOOL TakeLeads(CWaveBuffer& leads, UINT nSamples);
    static void GiveLeads(CWaveBuffer& leads);
    // Buffers now in reserve (tests).
    static std::size_t ReserveCount();
};

}  // namespace acq
