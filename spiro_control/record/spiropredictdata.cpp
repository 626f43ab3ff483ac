#include "spiro_control/spirosections.h"

using namespace spirotext;
using namespace spirofile;

namespace {

// First slot of each count group: volume-time, flow-volume expiratory, inspiratory.
constexpr int kBaseGroups[3] = {1, 7, 13};
constexpr int kPostGroups[3] = {4, 10, 16};
constexpr int kSvcCountSlot = 19;

bool HasTag(const BYTE* p, int nAt, BYTE nTag) {
    return p[nAt] == nTag && p[nAt + 1] == 4;
}

}  // namespace

void CSpiroPredictData::Clear() {
    m_adwSlot.fill(0);
}

LONG CSpiroPredictData::GetInt(int nSlot) const {
    return nSlot >= 1 && nSlot <= kSlots ? static_cast<LONG>(m_adwSlot[nSlot]) : 0;
}

float CSpiroPredictData::GetFloat(int nSlot) const {
    return nSlot >= 1 && nSlot <= kSlots ? FloatFromBits(m_adwSlot[nSlot]) : 0.0f;
}

void CSpiroPredictData::SetFloat(int nSlot, float fValue) {
    if (nSlot >= 1 && nSlot <= kSlots) {
        m_adwSlot[nSlot] = BitsFromFloat(fValue);
    }
}

LONG CSpiroPredictData::CountLimit(int nSlot) {
    if (nSlot >= 1 && nSlot <= 18) {
        return kFvcTrialSamples;
    }
    if (nSlot >= 19 && nSlot <= 21) {
        return kSvcTrialSamples;
    }
    return 0;
}

void CSpiroPredictData::SetCount(int nSlot, LONG nCount) {
    LONG nLimit = CountLimit(nSlot);
    if (nLimit == 0) {
        return;
    }
    // The graphs walk a curve by its count: a count never reaches past its curve.
    if (nCount < 0) {
        nCount = 0;
    } else if (nCount > nLimit) {
        nCount = nLimit;
    }
    m_adwSlot[nSlot] = static_cast<DWORD>(nCount);
}

short CSpiroPredictData::Read(const BYTE* p, DWORD nLength, int nType, int nFormat) {
    if (const short nCheck = CheckImage(nLength, nType, nFormat); nCheck != kOk) {
        return nCheck;
    }
    auto readGroup = [&](int nAt, int nFirstSlot) {
        for (int t = 0; t < 3; ++t) {
            SetCount(nFirstSlot + t, static_cast<LONG>(GetLE32(p + nAt + 4 * t)));
        }
    };
    if (nFormat == 0) {
        if (!HasTag(p, kCounts0, 0x81) || !HasTag(p, kCounts0 + 20, 0x82) ||
            !HasTag(p, kCounts0 + 40, 0x83) || !HasTag(p, kSvcCounts0, 0x85) ||
            (IsFvcType(nType) && !HasTag(p, kPredict0, 0x84))) {
            return kErrPredictTags;
        }
        const int* pGroups = nType == kTypeFvcPost ? kPostGroups : kBaseGroups;
        for (int g = 0; g < 3; ++g) {
            readGroup(kCounts0 + 2 + 20 * g, pGroups[g]);
        }
        if (nType == kTypeFvc) {
            for (int i = 0; i < 13; ++i) {
                m_adwSlot[22 + i] = GetLE32(p + kPredict0 + 2 + 4 * i);
            }
        } else if (nType == kTypeFvcExt || nType == kTypeFvcPost) {
            for (int i = 0; i < 11; ++i) {
                m_adwSlot[35 + i] = GetLE32(p + kPredict0 + 2 + 4 * i);
            }
        }
        readGroup(kSvcCounts0 + 2, kSvcCountSlot);
        if (nType == kTypeFvcPost) {
            for (int g = 0; g < 3; ++g) {
                readGroup(kBaseCounts0 + 12 * g, kBaseGroups[g]);
            }
        }
        return kOk;
    }

    if (!HasTag(p, kSvcCounts12, 0x85) || !HasTag(p, kPredict12, 0x84)) {
        return kErrPredictTags;
    }
    if (IsFvcType(nType)) {
        for (int g = 0; g < 3; ++g) {
            readGroup(kCounts12 + 20 * g, kBaseGroups[g]);
        }
    }
    if (nType == kTypeFvcPost) {
        for (int g = 0; g < 3; ++g) {
            readGroup(kPostCounts12 + 20 * g, kPostGroups[g]);
        }
    }
    readGroup(kSvcCounts12 + 2, kSvcCountSlot);
    for (int i = 0; i < 11; ++i) {
        m_adwSlot[35 + i] = GetLE32(p + kPredict12 + 2 + 4 * i);
    }
    // These formats keep only the first eleven predicted values, which for a type-1 test
    // are also its slots 22-32 (formula index at 32); its graphs read those.
    if (nType == kTypeFvc) {
        for (int i = 0; i < 11; ++i) {
            m_adwSlot[22 + i] = m_adwSlot[35 + i];
        }
    }
    m_adwSlot[46] = GetLE32(p + kExtra12 + 2);
    m_adwSlot[47] = GetLE32(p + kExtra12 + 6);
    return kOk;
}

short CSpiroPredictData::Write(BYTE* p, DWORD nLength, int nType, int nFormat) const {
    if (const short nCheck = CheckImage(nLength, nType, nFormat); nCheck != kOk) {
        return nCheck;
    }
    auto writeGroup = [&](int nAt, int nFirstSlot) {
        for (int t = 0; t < 3; ++t) {
            PutLE32(p + nAt + 4 * t, m_adwSlot[nFirstSlot + t]);
        }
    };
    if (nFormat == 0) {
        const int* pGroups = nType == kTypeFvcPost ? kPostGroups : kBaseGroups;
        for (int g = 0; g < 3; ++g) {
            p[kCounts0 + 20 * g] = static_cast<BYTE>(0x81 + g);
            p[kCounts0 + 20 * g + 1] = 4;
            writeGroup(kCounts0 + 2 + 20 * g, pGroups[g]);
        }
        if (IsFvcType(nType)) {
            p[kPredict0] = 0x84;
            p[kPredict0 + 1] = 4;
            int nFirst = nType == kTypeFvc ? 22 : 35;
            int nCount = nType == kTypeFvc ? 13 : 11;
            for (int i = 0; i < nCount; ++i) {
                PutLE32(p + kPredict0 + 2 + 4 * i, m_adwSlot[nFirst + i]);
            }
        }
        p[kSvcCounts0] = 0x85;
        p[kSvcCounts0 + 1] = 4;
        writeGroup(kSvcCounts0 + 2, kSvcCountSlot);
        if (nType == kTypeFvcPost) {
            for (int g = 0; g < 3; ++g) {
                writeGroup(kBaseCounts0 + 12 * g, kBaseGroups[g]);
            }
        }
        return kOk;
    }

    if (IsFvcType(nType)) {
        for (int g = 0; g < 3; ++g) {
            writeGroup(kCounts12 + 20 * g, kBaseGroups[g]);
        }
    }
    if (nType == kTypeFvcPost) {
        for (int g = 0; g < 3; ++g) {
            writeGroup(kPostCounts12 + 20 * g, kPostGroups[g]);
        }
    }
    p[kSvcCounts12] = 0x85;
    p[kSvcCounts12 + 1] = 4;
    writeGroup(kSvcCounts12 + 2, kSvcCountSlot);
    p[kPredict12] = 0x84;
    p[kPredict12 + 1] = 4;
    for (int i = 0; i < 11; ++i) {
        PutLE32(p + kPredict12 + 2 + 4 * i, m_adwSlot[35 + i]);
    }
    p[kExtra12] = 0x80;
    p[kExtra12 + 1] = nType == kTypeFvcPost ? 8 : 4;
    PutLE32(p + kExtra12 + 2, m_adwSlot[46]);
    PutLE32(p + kExtra12 + 6, m_adwSlot[47]);
    return kOk;
}

float CSpiroPredictData::GetPredicted(short nTestType, short nParam) const {
    if (nTestType == kTypeFvc) {
        if (nParam >= 0 && nParam <= 8) {
            return GetFloat(22 + nParam);
        }
        switch (nParam) {
            case 10:
                return GetFloat(32);
            case 12:
                return GetFloat(33);
            case 13:
                return GetFloat(34);
            case 15:
                return GetFloat(31);
            default:
                return 0.0f;
        }
    }
    if (nTestType == kTypeFvcExt || nTestType == kTypeFvcPost) {
        static const int kSlotOf[15] = {35, 0, 36, 37, 39, 38, 0, 0, 41, 0, 0, 42, 43, 44, 40};
        if (nParam < 0 || nParam > 14 || kSlotOf[nParam] == 0) {
            return 0.0f;
        }
        return GetFloat(kSlotOf[nParam]);
    }
    return 0.0f;
}
