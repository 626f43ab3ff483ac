#pragma once
// The networked cart's record stream, without a socket: bytes in, samples and record values
// stored, events out.
//
// In:  Feed() with whatever one receive gave (any split of the stream).
// Out: samples into the CWaveBuffer (12 leads; set i of item n at sample n x 5 + i; items
//      past the buffer's end are counted but not stored), pacemaker marks, record values into
//      the CEkgRecordInfo; Events::onReceiving (percent) every 50 sample items and
//      Events::onEnd once, for the end-of-record item, after which the parser takes nothing
//      more (the end item ends the walk; the link decides what follows).
// State: the item count and the carry-over of an incomplete item; both owned here.
#include <cstddef>
#include <functional>
#include <vector>

#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "platform/wintypes.h"

namespace ekglink {

constexpr int kSetsPerItem = 5;
constexpr int kSetBytes = 16;
constexpr int kItemSampleBytes = kSetsPerItem * kSetBytes;  // 80
constexpr int kLeads = 12;

// Expands five big-endian sets of I, II, V1..V6 into the 12 leads (I, II, III, aVR, aVL,
// aVF, V1..V6) with the derived leads of 16-bit arithmetic.
void DecodeSampleSets(const BYTE* pData, short aSamples[kSetsPerItem][kLeads]);
// Writes the five decoded sets at sample nItem x 5 + i of each lead; positions past the
// buffer are not written.
void StoreSampleSets(CWaveBuffer& wave, int nItem, const short aSamples[kSetsPerItem][kLeads]);

// Bytes an item takes in the stream: 58 for 0x16 and 82 for 0x37 whatever the length byte
// says, else length + 2.
std::size_t StreamItemSize(BYTE byTag, BYTE byLength);

class CEkgStreamParser {
public:
    struct Events {
        std::function<void(float fPercent)> onReceiving;
        // The end-of-record item (tag 0x03 or 0x40, length 0) was read.
        std::function<void(BYTE byTag)> onEnd;
    };

    CEkgStreamParser(CWaveBuffer& wave, CEkgRecordInfo& info, Events events);

    // A new recording: count 0, no carry-over, not ended.
    void Reset();
    void Feed(const BYTE* pData, std::size_t nLength);

    int ItemCount() const { return m_nItems; }
    BOOL Ended() const { return m_bEnded; }
    std::size_t CarryOver() const { return m_carry.size(); }

private:
    void Act(const BYTE* pItem, std::size_t nSize);
    void TakeSamples(const BYTE* pData, BYTE byTag);
    void TakePaceList(const BYTE* pData, std::size_t nRoom, int nCount);

    CWaveBuffer& m_wave;
    CEkgRecordInfo& m_info;
    Events m_events;
    int m_nItems = 0;
    BOOL m_bEnded = FALSE;
    std::vector<BYTE> m_carry;
};

}  // namespace ekglink
