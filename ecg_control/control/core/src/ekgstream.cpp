#include "ecg_control/link/ekgstream.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"

namespace ekglink {
namespace {

constexpr BYTE kTagSamples = 0x03;
constexpr BYTE kTagSamples12 = 0x40;
constexpr BYTE kTagPatient = 0x16;
constexpr BYTE kTagDirectory = 0x18;
constexpr BYTE kTagStatement = 0x19;
constexpr BYTE kTagFilter = 0x22;
constexpr BYTE kTagMode = 0x24;
constexpr BYTE kTagText = 0x35;
constexpr BYTE kTagPace = 0x37;
constexpr BYTE kPaceInSamples = 82;
constexpr int kPercentEvery = 50;
constexpr std::size_t kStatementChars = 80;

short BigEndian(const BYTE* p) {
    return static_cast<short>(static_cast<unsigned short>((p[0] << 8) | p[1]));
}

}  // namespace

void DecodeSampleSets(const BYTE* pData, short aSamples[kSetsPerItem][kLeads]) {
    for (int s = 0; s < kSetsPerItem; ++s) {
        const BYTE* p = pData + s * kSetBytes;
        const short i = BigEndian(p), ii = BigEndian(p + 2);
        const short iii = static_cast<short>(ii - i);
        short* out = aSamples[s];
        out[0] = i;
        out[1] = ii;
        out[2] = iii;
        out[3] = static_cast<short>(-((i + ii) / 2));
        out[4] = static_cast<short>((i - iii) / 2);
        out[5] = static_cast<short>((ii + iii) / 2);
        for (int v = 0; v < 6; ++v) {
            out[6 + v] = BigEndian(p + 4 + 2 * v);
        }
    }
}

void StoreSampleSets(CWaveBuffer& wave, int nItem, const short aSamples[kSetsPerItem][kLeads]) {
    if (nItem < 0) return;
    const long long nFirst = static_cast<long long>(nItem) * kSetsPerItem;
    for (int s = 0; s < kSetsPerItem; ++s) {
        const long long nPos = nFirst + s;
        if (nPos >= wave.GetSamplesPerChannel()) return;
        for (int lead = 0; lead < kLeads && lead < wave.GetChannelCount(); ++lead) {
            wave.SetSample(lead, static_cast<UINT>(nPos), aSamples[s][lead]);
        }
    }
}

std::size_t StreamItemSize(BYTE byTag, BYTE byLength) {
    if (byTag == kTagPatient) return 58;
    if (byTag == kTagPace) return 82;
    return static_cast<std::size_t>(byLength) + 2;
}

CEkgStreamParser::CEkgStreamParser(CWaveBuffer& wave, CEkgRecordInfo& info, Events events)
    : m_wave(wave), m_info(info), m_events(std::move(events)) {
    m_carry.reserve(4096);
}

void CEkgStreamParser::Reset() {
    m_nItems = 0;
    m_bEnded = FALSE;
    m_carry.clear();
}

void CEkgStreamParser::Feed(const BYTE* pData, std::size_t nLength) {
    if (m_bEnded || nLength == 0) return;
    m_carry.insert(m_carry.end(), pData, pData + nLength);
    std::size_t pos = 0;
    const std::size_t n = m_carry.size();
    while (!m_bEnded && n - pos > 1) {
        const std::size_t size = StreamItemSize(m_carry[pos], m_carry[pos + 1]);
        if (n - pos < size) break;
        Act(m_carry.data() + pos, size);
        pos += size;
    }
    if (m_bEnded) {
        m_carry.clear();
    } else {
        m_carry.erase(m_carry.begin(), m_carry.begin() + static_cast<std::ptrdiff_t>(pos));
    }
}

void CEkgStreamParser::Act(const BYTE* pItem, std::size_t nSize) {
    const BYTE byTag = pItem[0], byLength = pItem[1];
    const BYTE* pData = pItem + 2;
    const std::size_t nRoom = nSize - 2;  // data bytes inside the item
    switch (byTag) {
    case kTagSamples:
    case kTagSamples12:
        if (byLength == kItemSampleBytes) {
            TakeSamples(pData, byTag);
        } else if (byLength == 0) {
            m_bEnded = TRUE;
            if (m_events.onEnd) m_events.onEnd(byTag);
        } else if (byLength == kPaceInSamples) {
            TakePaceList(pData, nRoom, byLength);
        }
        break;
    case kTagPace:
        TakePaceList(pData, nRoom, byLength);
        break;
    case kTagPatient:
        m_info.TakeDevicePatientItem(pItem, nSize);
        break;
    case kTagDirectory:
        if (byLength == 16) m_info.TakeDirectoryItem(pItem, nSize);
        break;
    case kTagStatement:
        if (byLength == kStatementChars) {
            const char* p = reinterpret_cast<const char*>(pData);
            std::size_t len = std::find(p, p + kStatementChars, '\0') - p;
            CString str(p, len);
            while (!str.empty() && str.back() == ' ') str.pop_back();
            m_info.AddStatement(str);
        }
        break;
    case kTagFilter:
        if (byLength == 4) m_info.TakeFilterItem(pItem, nSize);
        break;
    case kTagMode:
        if (byLength >= 1) m_info.SetAnalysisMode(pData[0]);
        break;
    case kTagText:
        m_info.SetDeviceText(platform::FromUtf8(
            std::string_view(reinterpret_cast<const char*>(pData), byLength)));
        break;
    default:
        break;
    }
}

void CEkgStreamParser::TakeSamples(const BYTE* pData, BYTE byTag) {
    short aSets[kSetsPerItem][kLeads];
    DecodeSampleSets(pData, aSets);
    StoreSampleSets(m_wave, m_nItems, aSets);
    ++m_nItems;
    if (m_nItems % kPercentEvery == 0 && m_events.onReceiving) {
        m_events.onReceiving(byTag == kTagSamples ? m_nItems * 0.1f : m_nItems * (1.0f / 12.0f));
    }
}

// Positions only from inside the item: a count larger than its data holds is cut.
void CEkgStreamParser::TakePaceList(const BYTE* pData, std::size_t nRoom, int nCount) {
    const int nInside = static_cast<int>(std::min<std::size_t>(nCount, nRoom / 2));
    for (int i = 0; i < nInside; ++i) {
        const auto pos = static_cast<unsigned short>(BigEndian(pData + 2 * i));
        m_wave.AddMark(pos);
    }
}

}  // namespace ekglink
