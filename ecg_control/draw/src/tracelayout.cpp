#include "ecg_control/draw/tracelayout.h"

#include <algorithm>
#include <cstdint>

namespace {
constexpr CTracePoint kNoPosition{-1, -1};
// A block larger than this is refused rather than risked.
constexpr std::uint64_t kMaxBlockBytes = 0x7FFFFFFFu;
}  // namespace

CTraceLayout::CTraceLayout() {
    m_aCellPos.fill(kNoPosition);
}

CTraceLayout::~CTraceLayout() {
    CTraceLayout::Free();
}

void CTraceLayout::Free() {
    m_nChannels = 0;
    m_nSamples = 0;
    m_nShown = 0;
    m_adwPixelMarks.clear();
    m_bOriginFlag = TRUE;
    m_bDirty = TRUE;
    CGlobalBuffer::Free();
}

void CTraceLayout::Attach(CWaveBuffer* pWave, CEkgRecordInfo* pInfo, CMorphologyTable* pMorph) {
    m_pWave = pWave;
    m_pInfo = pInfo;
    m_pMorph = pMorph;
    m_bDirty = TRUE;
}

void CTraceLayout::SetSettings(int nFormat, int nGain, int nSpeed, int nRhythmLead, int nCell) {
    SetFormat(nFormat);
    SetGain(nGain);
    SetSpeed(nSpeed);
    SetRhythmLead(nRhythmLead);
    SetCellSize(nCell);
}

void CTraceLayout::SetFormat(int nFormat) {
    if (nFormat != m_nFormat) {
        m_nFormat = nFormat;
        m_bDirty = TRUE;
    }
}

void CTraceLayout::SetGain(int nGain) {
    if (nGain != m_nGain) {
        m_nGain = nGain;
        m_bDirty = TRUE;
    }
}

void CTraceLayout::SetSpeed(int nSpeed) {
    if (m_bFixedSpeed) {
        return;
    }
    if (nSpeed != m_nSpeed) {
        m_nSpeed = nSpeed;
        m_bDirty = TRUE;
    }
}

void CTraceLayout::SetRhythmLead(int nLead) {
    if (nLead != m_nRhythmLead) {
        m_nRhythmLead = nLead;
        m_bDirty = TRUE;
    }
}

void CTraceLayout::SetCellSize(int nCell) {
    // A cell below one pixel would collapse the paper and divide by zero in the magnifier.
    nCell = std::max(nCell, 1);
    if (nCell != m_nCell) {
        m_nCell = nCell;
        m_nLarge = 5 * nCell;
        m_bDirty = TRUE;
    }
}

void CTraceLayout::CopySettings(const CTraceLayout& other) {
    if (other.m_pWave != m_pWave || other.m_pInfo != m_pInfo || other.m_pMorph != m_pMorph) {
        Attach(other.m_pWave, other.m_pInfo, other.m_pMorph);
    }
    SetSettings(other.m_nFormat, other.m_nGain, other.m_nSpeed, other.m_nRhythmLead, other.m_nCell);
    SetPaperColumns(other.m_nPaperColumns);
}

void CTraceLayout::SetPaperColumns(int nColumns) {
    nColumns = std::max(nColumns, 0);
    if (nColumns != m_nPaperColumns) {
        m_nPaperColumns = nColumns;
        m_bDirty = TRUE;
    }
}

const CTracePoint* CTraceLayout::LeadPoints(int nLead) const {
    if (Data() == nullptr || nLead < 0 || nLead > m_nChannels) {
        return nullptr;
    }
    return Points() + static_cast<std::size_t>(nLead) * static_cast<std::size_t>(m_nSamples);
}

CTracePoint* CTraceLayout::Row(int nLead) {
    return reinterpret_cast<CTracePoint*>(Lock()) +
           static_cast<std::size_t>(nLead) * static_cast<std::size_t>(m_nSamples);
}

CTracePoint CTraceLayout::GetCellPosition(int nIndex) const {
    if (nIndex < 0 || nIndex > kLeadCount) {
        return kNoPosition;
    }
    return m_aCellPos[nIndex];
}

BOOL CTraceLayout::GetStrip(int nRow, int* pnTop, int* pnBottom) const {
    int nLead = nRow;
    CTracePoint base;
    if (nRow >= 0 && nRow < std::min(m_nChannels, kLeadCount)) {
        base = m_aCellPos[nRow];
    } else if (nRow == m_nChannels && HasRhythmStrip()) {
        nLead = m_nRhythmLead;
        base = m_aCellPos[kLeadCount];
    } else {
        return FALSE;
    }
    *pnTop = base.y - Height(nLead, kStripCounts);
    *pnBottom = base.y - Height(nLead, -kStripCounts);
    return TRUE;
}

int CTraceLayout::GainFactor(int nGain) {
    switch (nGain) {
        case 0:
            return 20;
        case 1:
            return 5;
        case 2:
            return 10;
        case 3:
            return 20;
        case 4:
            return 40;
        default:
            return 10;
    }
}

int CTraceLayout::ColumnStart(int nLead) const {
    switch (m_nFormat) {
        case kFormat6x2:
            return nLead < 6 ? 0 : m_nSegment;
        case kFormat3x4:
            return (nLead / 3) * m_nSegment;
        default:
            return 0;
    }
}

BOOL CTraceLayout::Compute() {
    return Compute(0, 0);
}

BOOL CTraceLayout::Compute(int nOriginX, int nOriginY) {
    if (m_pWave == nullptr || !m_pWave->HasBlock() || m_pWave->GetChannelCount() <= 0 ||
        m_pWave->GetSamplesPerChannel() == 0 || m_pWave->GetBytesPerSample() != 2) {
        return FALSE;
    }
    // The points carry the origin, so a new origin needs new points.
    if (nOriginX != m_nOriginX || nOriginY != m_nOriginY) {
        m_nOriginX = nOriginX;
        m_nOriginY = nOriginY;
        m_bDirty = TRUE;
    }
    if (!PrepareBuffer()) {
        return FALSE;
    }
    if (!m_bDirty) {
        return TRUE;
    }
    Zero();
    m_adwPixelMarks.clear();
    const int nMainsMode = m_pWave->GetUserValue() == 1 ? 1 : 0;
    Scale(nMainsMode);
    UpdateLayout(m_nShownWidth);
    ComputeX();
    ComputeY();
    for (DWORD dwMark : m_pWave->m_adwMarks) {
        // A mark that is no shown sample of the record (a device may send any position)
        // would stand beyond the traces, or past what a pixel position can hold.
        if (dwMark < static_cast<DWORD>(m_nShown)) {
            m_adwPixelMarks.push_back(static_cast<DWORD>(dwMark * m_dPixelsPerSample));
        }
    }
    m_bDirty = FALSE;
    return TRUE;
}

BOOL CTraceLayout::PrepareBuffer() {
    const int nChannels = m_pWave->GetChannelCount();
    const int nSamples = static_cast<int>(m_pWave->GetSamplesPerChannel());
    if (HasBlock() && nChannels == m_nChannels && nSamples == m_nSamples) {
        return TRUE;
    }
    Free();
    const std::uint64_t nBytes = static_cast<std::uint64_t>(nChannels + 1) *
                                 static_cast<std::uint64_t>(nSamples) * sizeof(CTracePoint);
    if (nSamples <= 0 || nBytes > kMaxBlockBytes || !Alloc(static_cast<DWORD>(nBytes), FALSE)) {
        return FALSE;
    }
    m_nChannels = nChannels;
    m_nSamples = nSamples;
    m_bDirty = TRUE;
    return TRUE;
}

void CTraceLayout::Scale(int nMainsMode) {
    // The whole record is 50 large boxes (60 in 60 Hz mode) at 25 mm/s.
    const int nBoxes = nMainsMode ? 60 : 50;
    int nWidth = m_nLarge * nBoxes;
    if (m_nSpeed == 1) {
        nWidth /= 2;
    } else if (m_nSpeed == 4) {
        nWidth *= 2;
    }
    const int nSource = static_cast<int>(m_pWave->GetSamplesPerChannel());
    m_dPixelsPerSample = m_nSamples ? static_cast<double>(nWidth) / m_nSamples : 0.0;
    // A paper narrower than the record at this speed shows the record's start, as much as
    // it holds, at the same scale.
    m_nShown = m_nSamples;
    m_nShownWidth = m_nLarge * nBoxes;
    const std::int64_t nPaper = static_cast<std::int64_t>(m_nLarge) * m_nPaperColumns;
    if (m_nPaperColumns > 0 && nWidth > nPaper && m_nSamples > 0) {
        m_nShown = static_cast<int>(static_cast<std::int64_t>(m_nSamples) * nPaper / nWidth);
        m_nShownWidth =
            static_cast<int>(static_cast<std::int64_t>(m_nLarge) * nBoxes * m_nShown / m_nSamples);
    }
    m_dSampleRatio = m_nSamples ? static_cast<double>(m_nSamples) / nSource : 0.0;
    const int nProduct = m_nGain == 1 ? (m_nLarge * 10) / 2 : m_nLarge * GainFactor(m_nGain);
    // 409.5 sample counts are one millivolt at the gain's millimetres per millivolt.
    m_dAmplitude = nProduct * static_cast<double>(1.0f / 4095.0f);
}

void CTraceLayout::PlaceCells(int nColumns, int nRows, int nSegment, int nFirst, int nPitch,
                              int nStep) {
    m_nColumns = nColumns;
    m_nRows = std::max(nRows, 1);
    m_nSegment = nSegment;
    m_nFirst = nFirst;
    m_nPitch = nPitch;
    m_nStep = nStep;
    for (int i = 0; i < kLeadCount; ++i) {
        const int nColumn = i / m_nRows;
        const int nRow = i % m_nRows;
        m_aCellPos[i].x = m_nOriginX + nColumn * nStep;
        m_aCellPos[i].y = m_nOriginY + m_nLarge * (nFirst + nRow * nPitch);
    }
    // Only the formats with a rhythm strip place it, and only for a real lead.
    const BOOL bStrip = (m_nFormat == kFormat6x2 || m_nFormat == kFormat3x4) &&
                        m_nRhythmLead >= 0 && m_nRhythmLead < kLeadCount &&
                        m_nRhythmLead < m_nChannels;
    if (bStrip) {
        m_aCellPos[kLeadCount].x = m_nOriginX;
        m_aCellPos[kLeadCount].y = m_nOriginY + m_nLarge * (nFirst + nPitch * m_nRows);
    } else {
        m_aCellPos[kLeadCount] = kNoPosition;
    }
}

void CTraceLayout::UpdateLayout(int nWidth) {
    const int f = nWidth;
    const int s = m_nSpeed;
    switch (m_nFormat) {
        case kFormat12x1:
            PlaceCells(1, 12, m_nShown, 2, 3, s == 4 ? 2 * f : s == 2 ? f : f / 2);
            break;
        case kFormat6x2:
            PlaceCells(2, 6, m_nShown / 2, 3, 5, s == 4 ? f : s == 2 ? f / 2 : f / 4 + 1);
            break;
        case kFormat3x4:
        case kFormatBeat:
            PlaceCells(4, 3, m_nShown / 4, 8, 8, s == 4 ? f / 2 : s == 2 ? f / 4 + 1 : f / 8 + 1);
            break;
        default:
            // An unknown format keeps the arrangement it found.
            PlaceCells(m_nColumns, m_nRows, m_nSegment, m_nFirst, m_nPitch, m_nStep);
            break;
    }
}

void CTraceLayout::ComputeX() {
    const int nLeads = std::min(m_nChannels, kLeadCount);
    const int nTo = m_nShown - 1;
    for (int i = 0; i < nLeads; ++i) {
        const int nStart = ColumnStart(i);
        const int nFirst = std::max(0, nStart);
        const int nLast = std::min(nStart + m_nSegment, nTo);
        CTracePoint* pRow = Row(i);
        const int nX = m_aCellPos[i].x;
        for (int j = 0; j <= nLast - nFirst; ++j) {
            const int nIndex = static_cast<int>(j * m_dSampleRatio);
            if (nIndex < m_nSamples) {
                pRow[nIndex].x = nX + static_cast<int>(j * m_dPixelsPerSample);
            }
        }
        Unlock();
    }
    if (HasRhythmStrip()) {
        CTracePoint* pRow = Row(m_nChannels);
        const int nX = m_aCellPos[kLeadCount].x;
        for (int k = 0; k <= nTo; ++k) {
            const int nIndex = static_cast<int>(k * m_dSampleRatio);
            if (nIndex < m_nSamples) {
                pRow[nIndex].x = nX + static_cast<int>(k * m_dPixelsPerSample);
            }
        }
        Unlock();
    }
}

int CTraceLayout::Height(int nLead, int nSample) const {
    const double dPixels = nSample * m_dAmplitude;
    int nHeight = static_cast<int>(dPixels);
    if (m_nGain == 0 && nLead >= 6) {
        nHeight /= 2;
    }
    return nHeight;
}

void CTraceLayout::ComputeY() {
    const BYTE* pData = m_pWave->Lock();
    if (pData == nullptr) {
        return;
    }
    auto sample = [&](int nLead, int nIndex) {
        const BYTE* p = pData + (static_cast<std::size_t>(nLead) * m_nSamples + nIndex) * 2;
        return static_cast<int>(static_cast<short>(p[0] | (p[1] << 8)));
    };
    m_aFiducials.fill(CTracePoint{});
    m_nFiducials = 0;
    const int nLeads = std::min(m_nChannels, kLeadCount);
    const int nTo = m_nShown - 1;
    // A representative beat may lie anywhere in the record.
    const int nRecordEnd = m_nSamples - 1;
    for (int i = 0; i < nLeads; ++i) {
        CTracePoint* pRow = Row(i);
        const int nY = m_aCellPos[i].y;
        if (m_nFormat != kFormatBeat) {
            const int nStart = ColumnStart(i);
            const int nFirst = std::max(0, nStart);
            const int nLast = std::min(nStart + m_nSegment, nTo);
            for (int j = 0; j <= nLast - nFirst; ++j) {
                const int nIndex = static_cast<int>(j * m_dSampleRatio);
                if (nIndex < m_nSamples) {
                    pRow[nIndex].y = nY - Height(i, sample(i, nFirst + j));
                }
            }
        } else {
            int nBeat = 0, nBegin = 0, nEnd = 0;
            if (m_pMorph != nullptr) {
                nBeat = m_pMorph->Value(i, 0);
                nBegin = m_pMorph->Value(i, 1);
                nEnd = m_pMorph->Value(i, 2);
            }
            // The beat's bounds come from the file: keep them inside the record, and a
            // beat that lies wholly outside it (or has none) draws a flat baseline.
            BOOL bBeat = !(nBegin == 0 && nEnd == 0) && nBegin <= nRecordEnd && nEnd >= 0;
            nBegin = std::max(nBegin, 0);
            nEnd = std::min(nEnd, nRecordEnd);
            if (nEnd < nBegin) {
                bBeat = FALSE;
            }
            int nStart = 0;
            if (bBeat) {
                nStart = nBegin - (m_nSegment - (nEnd - nBegin)) / 2;
                nStart = std::max(nStart, 0);
            }
            std::array<int, CEkgBeatArrays::kCount> anFiducial;
            anFiducial.fill(-1);
            if (bBeat && m_pInfo != nullptr) {
                for (int nId = 0; nId < CEkgBeatArrays::kCount; ++nId) {
                    if (m_pInfo->m_arrays.Exists(nId) && nBeat >= 1 &&
                        nBeat <= m_pInfo->m_arrays.Count(nId)) {
                        anFiducial[nId] = m_pInfo->m_arrays.Value(nId, nBeat);
                    }
                }
            }
            for (int w = nStart; w < nStart + m_nSegment; ++w) {
                const int nPoint = w - nStart;
                if (nPoint >= m_nSamples) {
                    break;
                }
                int y = nY;
                if (bBeat && w >= nBegin && w <= nEnd) {
                    const int nIndex = static_cast<int>(w * m_dSampleRatio);
                    if (nIndex >= 0 && nIndex < m_nSamples) {
                        y = nY - Height(i, sample(i, nIndex));
                    }
                }
                pRow[nPoint].y = y;
                for (int nPos : anFiducial) {
                    if (nPos >= 0 && w == nPos && m_nFiducials < kMaxFiducials) {
                        m_aFiducials[m_nFiducials++] = CTracePoint{pRow[nPoint].x, y};
                    }
                }
            }
        }
        Unlock();
    }
    if (HasRhythmStrip()) {
        CTracePoint* pRow = Row(m_nChannels);
        const int nY = m_aCellPos[kLeadCount].y;
        for (int k = 0; k <= nTo; ++k) {
            const int nIndex = static_cast<int>(k * m_dSampleRatio);
            if (nIndex < m_nSamples) {
                pRow[nIndex].y = nY - Height(m_nRhythmLead, sample(m_nRhythmLead, k));
            }
        }
        Unlock();
    }
    m_pWave->Unlock();
}

CPrintTraceLayout::CPrintTraceLayout() {
    SetSpeed(2);
    m_bFixedSpeed = TRUE;
    SetPaperColumns(kPaperColumns);
}

void CPrintTraceLayout::UpdateLayout(int nWidth) {
    const int f = nWidth;
    const int nSamples = GetSamples();
    switch (GetFormat()) {
        case kFormat12x1:
            PlaceCells(1, 12, nSamples, 3, 3, f);
            break;
        case kFormat6x2:
            PlaceCells(2, 6, nSamples / 2, 5, 5, f / 2);
            break;
        case kFormat3x4:
            PlaceCells(4, 3, nSamples / 4, 8, 8, f / 4 + 1);
            break;
        case kFormatBeat:
            PlaceCells(4, 3, nSamples / 4, 16, 8, f / 4 + 1);
            break;
        default:
            CTraceLayout::UpdateLayout(nWidth);
            break;
    }
}
