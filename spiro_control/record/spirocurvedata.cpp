#include <cstring>

#include "spiro_control/spirosections.h"

using namespace spirotext;
using namespace spirofile;

void CSpiroCurveData::Clear() {
    m_abBase.fill(0);
    m_abSvc.fill(0);
    m_abMvv.fill(0);
    m_abPost.fill(0);
}

BYTE* CSpiroCurveData::Area(EArea eArea) {
    return const_cast<BYTE*>(static_cast<const CSpiroCurveData*>(this)->Area(eArea));
}

const BYTE* CSpiroCurveData::Area(EArea eArea) const {
    switch (eArea) {
        case kBase:
            return m_abBase.data();
        case kSvc:
            return m_abSvc.data();
        case kMvv:
            return m_abMvv.data();
        case kPost:
            return m_abPost.data();
    }
    return nullptr;
}

DWORD CSpiroCurveData::AreaSize(EArea eArea) {
    switch (eArea) {
        case kBase:
        case kPost:
            return kFvcAreaSize;
        case kSvc:
            return kSvcAreaSize;
        case kMvv:
            return kMvvAreaSize;
    }
    return 0;
}

DWORD CSpiroCurveData::Store(EArea eArea, DWORD nRunStart, DWORD nRunSize, long long nOffset,
                             const BYTE* pData, DWORD nBytes) {
    DWORD nSize = AreaSize(eArea);
    if (nRunStart > nSize || nRunSize > nSize - nRunStart || nOffset < 0 ||
        nOffset >= static_cast<long long>(nRunSize)) {
        return 0;
    }
    // The part of the data that lies inside the run is kept; the rest has no place.
    DWORD nRoom = nRunSize - static_cast<DWORD>(nOffset);
    DWORD nCopy = nBytes < nRoom ? nBytes : nRoom;
    std::memcpy(Area(eArea) + nRunStart + nOffset, pData, nCopy);
    return nCopy;
}

short CSpiroCurveData::Read(const BYTE* p, DWORD nLength, int nType, int nFormat) {
    if (const short nCheck = CheckImage(nLength, nType, nFormat); nCheck != kOk) {
        return nCheck;
    }
    int nStart = nFormat == 0 ? kCurves0 : kCurves12;
    switch (nType) {
        case kTypeFvc:
        case kTypeFvcExt:
            std::memcpy(m_abBase.data(), p + nStart, kFvcAreaSize);
            break;
        case kTypeSvc:
            std::memcpy(m_abSvc.data(), p + nStart, kSvcAreaSize);
            break;
        case kTypeMvv:
            std::memcpy(m_abMvv.data(), p + nStart, kMvvAreaSize);
            break;
        case kTypeFvcPost:
            if (nFormat == 0) {
                std::memcpy(m_abPost.data(), p + kCurves0, kFvcAreaSize);
                std::memcpy(m_abBase.data(), p + kBaseCurves0Post, kFvcAreaSize);
            } else {
                std::memcpy(m_abBase.data(), p + kCurves12, kFvcAreaSize);
                std::memcpy(m_abPost.data(), p + kPostCurves12, kFvcAreaSize);
            }
            break;
    }
    return kOk;
}

short CSpiroCurveData::Write(BYTE* p, DWORD nLength, int nType, int nFormat) const {
    if (const short nCheck = CheckImage(nLength, nType, nFormat); nCheck != kOk) {
        return nCheck;
    }
    int nStart = nFormat == 0 ? kCurves0 : kCurves12;
    switch (nType) {
        case kTypeFvc:
        case kTypeFvcExt:
            std::memcpy(p + nStart, m_abBase.data(), kFvcAreaSize);
            break;
        case kTypeSvc:
            std::memcpy(p + nStart, m_abSvc.data(), kSvcAreaSize);
            break;
        case kTypeMvv:
            std::memcpy(p + nStart, m_abMvv.data(), kMvvAreaSize);
            break;
        case kTypeFvcPost:
            if (nFormat == 0) {
                std::memcpy(p + kCurves0, m_abPost.data(), kFvcAreaSize);
                std::memcpy(p + kBaseCurves0Post, m_abBase.data(), kFvcAreaSize);
            } else {
                std::memcpy(p + kCurves12, m_abBase.data(), kFvcAreaSize);
                std::memcpy(p + kPostCurves12, m_abPost.data(), kFvcAreaSize);
            }
            break;
    }
    return kOk;
}

DWORD CSpiroCurveData::GetWord(EArea eArea, DWORD nByteOffset) const {
    DWORD nSize = AreaSize(eArea);
    if (nSize < 4 || nByteOffset > nSize - 4) {
        return 0;
    }
    return GetLE32(Area(eArea) + nByteOffset);
}

float CSpiroCurveData::GetFvcSample(BOOL bPost, int nKind, int nTrial, LONG nIndex) const {
    if ((nKind != 1 && nKind != 2) || nTrial < 0 || nTrial > 2 || nIndex < 0 ||
        nIndex >= static_cast<LONG>(kFvcTrialSize / 4)) {
        return 0.0f;
    }
    DWORD nOffset = (nKind - 1) * kFvcRunSize + nTrial * kFvcTrialSize + 4 * nIndex;
    return FloatFromBits(GetWord(bPost ? kPost : kBase, nOffset));
}

float CSpiroCurveData::GetSvcSample(int nTrial, LONG nIndex) const {
    if (nTrial < 0 || nTrial > 2 || nIndex < 0 || nIndex >= static_cast<LONG>(kSvcTrialSize / 4)) {
        return 0.0f;
    }
    return FloatFromBits(GetWord(kSvc, nTrial * kSvcTrialSize + 4 * nIndex));
}

float CSpiroCurveData::GetMvvSample(LONG nIndex) const {
    if (nIndex < 0 || nIndex >= static_cast<LONG>(kMvvAreaSize / 4)) {
        return 0.0f;
    }
    return FloatFromBits(GetWord(kMvv, 4 * nIndex));
}
