// Device messages of a spirometer: the legacy tagged messages and the server's 0xFD
// frames 0xB0-0xBC. Numbers arrive big-endian; the record keeps them little-endian.
#include <algorithm>
#include <cstring>
#include <vector>

#include "spiro_control/spirotestfile.h"

using namespace spirotext;
using namespace spirofile;

namespace {

constexpr int kBaseGroups[3] = {1, 7, 13};
constexpr int kPostGroups[3] = {4, 10, 16};

void SwapWords(BYTE* p, DWORD nBytes) {
    for (DWORD i = 0; i + 4 <= nBytes; i += 4) {
        std::swap(p[i], p[i + 3]);
        std::swap(p[i + 1], p[i + 2]);
    }
}

float BEFloat(const BYTE* p) {
    return FloatFromBits(GetBE32(p));
}

// A copy of a message at least nMinimum bytes long: bytes the sender did not deliver read
// as 0, so fixed offsets never reach past what arrived.
std::vector<BYTE> PaddedCopy(const BYTE* p, int nLength, std::size_t nMinimum) {
    std::vector<BYTE> ab(std::max<std::size_t>(nMinimum, static_cast<std::size_t>(nLength)), 0);
    std::memcpy(ab.data(), p, static_cast<std::size_t>(nLength));
    return ab;
}

}  // namespace

void CSpiroTestFile::StoreCurve(CSpiroCurveData::EArea eArea, DWORD nRunStart, DWORD nRunSize,
                                LONG& nCounter, const BYTE* pData, DWORD nBytes, DWORD nStride) {
    long long nOffset = static_cast<long long>(nCounter) * nStride;
    m_Curve.Store(eArea, nRunStart, nRunSize, nOffset, pData, nBytes);
    if (nCounter < 0x7FFFFFFF) {
        ++nCounter;
    }
}

void CSpiroTestFile::AddDeviceMessage(int nTag, const BYTE* pMessage, int nLength) {
    if (pMessage == nullptr || nLength < 2) {
        return;
    }
    BYTE nTagByte = static_cast<BYTE>(nTag & 0xFF);
    // Tag, length byte and at most 255 data bytes.
    std::vector<BYTE> abMsg = PaddedCopy(pMessage, std::min(nLength, 257), 257);
    const BYTE nLen = abMsg[1];
    BYTE* d = abMsg.data() + 2;
    const DWORD nData = std::min<DWORD>(nLen, static_cast<DWORD>(std::min(nLength, 257) - 2));
    CSpiroTestInfo& info = m_Info;
    const bool bPost = info.m_nTestType == kTypeFvcPost;

    auto countGroup = [&](int nFirstSlot) {
        for (int t = 0; t < 3; ++t) {
            m_Predict.SetCount(nFirstSlot + t, static_cast<LONG>(GetBE32(d + 4 * t)));
        }
    };
    auto curve = [&](CSpiroCurveData::EArea eArea, DWORD nRunStart, DWORD nRunSize) {
        if (nLen == 0) {
            m_nCounter = 0;
            return;
        }
        // Only the first 20 words come big-endian, and only as many as the message holds.
        SwapWords(d, std::min<DWORD>(80, nData));
        StoreCurve(eArea, nRunStart, nRunSize, m_nCounter, d, nData, nLen);
    };
    // A parameter message: true when it is to be stored at the counter (which then moves).
    auto paramRun = [&]() {
        if (nLen == 0) {
            m_nCounter = 0;
            return false;
        }
        return true;
    };
    auto nextCounter = [&]() {
        if (m_nCounter < 0x7FFFFFFF) {
            ++m_nCounter;
        }
    };

    switch (nTagByte) {
        case 0x70: {
            info.m_nTestType = static_cast<signed char>(d[0]);
            if (info.m_nTestType == kTypeFvcPost) {
                info.m_nTrials = static_cast<signed char>(d[1] >> 4);
                info.m_nPostTrials = d[1] & 0x0F;
                info.m_nBestTrial = static_cast<signed char>(d[2] >> 4);
                info.m_nPostBestTrial = d[2] & 0x0F;
            } else if (info.m_nTestType == kTypeMvv) {
                info.m_nTrials = 1;
                info.m_nBestTrial = 1;
            } else {
                info.m_nTrials = static_cast<signed char>(d[1]);
                info.m_nBestTrial = static_cast<signed char>(d[2]);
            }
            // An unknown format is taken as 0, as the file reader does, so the test can be saved.
            info.m_nFormat = (nLen == 6 && d[3] <= 2) ? d[3] : 0;
            break;
        }
        case 0x71:
            info.m_strID = ReadField(d + 1, 16);
            info.m_strName = ReadField(d + 18, 16);
            info.m_strAge = ReadField(d + 35, 4);
            info.m_strSex = ReadField(d + 40, 6);
            info.m_strHeight = ReadField(d + 47, 4);
            info.TakeWeight(ReadField(d + 52, 4));
            info.m_cRace = static_cast<char>(d[57]);
            info.m_cSmoker = static_cast<char>(d[59]);
            info.m_strSmokeYears = ReadField(d + 61, 3);
            info.m_cSmokePack = static_cast<char>(d[65]);
            break;
        case 0x72:
            info.m_strYear = ReadField(d, 4);
            info.m_strMonth = ReadField(d + 4, 2);
            info.m_strDay = ReadField(d + 6, 2);
            info.m_strHour = ReadField(d + 8, 2);
            info.m_strMinute = ReadField(d + 10, 2);
            info.m_strSecond = ReadField(d + 12, 2);
            break;
        case 0x73:
            info.m_strHospital = ReadField(d + 1, 16);
            info.m_strDoctor = ReadField(d + 18, 16);
            info.m_strComment.clear();
            break;
        case 0x74:
            if (nLen == 3) {
                info.m_strAnalysis = ReadField(d, 3);
                info.m_strAnalysisPost.clear();
            } else if (nLen == 6) {
                info.m_strAnalysis = ReadField(d, 3);
                info.m_strAnalysisPost = ReadField(d + 3, 3);
            }
            break;
        case 0x78:
            info.m_strAnalysis = ReadField(d, 3);
            info.m_strAnalysisPost = ReadField(d + 3, 3);
            break;
        case 0x75:
        case 0x79:
            if (paramRun()) {
                long long nColumn = static_cast<long long>(m_nCounter) + (nTagByte == 0x79 ? 6 : 0);
                if (nColumn >= 0 && nColumn < CSpiroParamTable::kFvcColumns) {
                    for (int r = 0; r < 10; ++r) {
                        m_Param.m_afFvc[r][nColumn] = ParseParam(d + 6 * r);
                    }
                }
                nextCounter();
            }
            break;
        case 0x76:
            if (paramRun()) {
                if (m_nCounter >= 0 && m_nCounter < CSpiroParamTable::kSvcColumns) {
                    for (int r = 0; r < CSpiroParamTable::kSvcRows; ++r) {
                        m_Param.m_afSvc[r][m_nCounter] = ParseParam(d + 6 * r);
                    }
                }
                nextCounter();
            }
            break;
        case 0x77:
            if (paramRun()) {
                for (int i = 0; i < CSpiroParamTable::kMvvValues; ++i) {
                    long long nIndex = static_cast<long long>(m_nCounter) + i;
                    if (nIndex >= 0 && nIndex < CSpiroParamTable::kMvvValues) {
                        m_Param.m_afMvv[nIndex] = ParseParam(d + 6 * i);
                    }
                }
                nextCounter();
            }
            break;
        case 0x80:
            m_Predict.SetFloat(46, BEFloat(d));
            m_Predict.SetFloat(47, nLen == 4 ? 0.0f : BEFloat(d + 4));
            break;
        case 0x81:
        case 0x82:
        case 0x83:
            countGroup((bPost ? kPostGroups : kBaseGroups)[nTagByte - 0x81]);
            break;
        case 0x91:
        case 0x92:
        case 0x93:
            countGroup(kBaseGroups[nTagByte - 0x91]);
            break;
        case 0x84:
            for (int k = 0; k < 13; ++k) {
                float f = BEFloat(d + 4 * k);
                m_Predict.SetFloat(22 + k, f);
                if (k < 11) {
                    m_Predict.SetFloat(35 + k, f);
                }
            }
            break;
        case 0x85:
            countGroup(19);
            break;
        case 0x86:
            curve(bPost ? CSpiroCurveData::kPost : CSpiroCurveData::kBase, 0,
                  CSpiroCurveData::kFvcRunSize);
            break;
        case 0x87:
            curve(bPost ? CSpiroCurveData::kPost : CSpiroCurveData::kBase,
                  CSpiroCurveData::kFvcRunSize, CSpiroCurveData::kFvcRunSize);
            break;
        case 0x88:
            curve(CSpiroCurveData::kSvc, 0, CSpiroCurveData::kSvcAreaSize);
            break;
        case 0x89:
            curve(CSpiroCurveData::kMvv, 0, CSpiroCurveData::kMvvAreaSize);
            break;
        case 0x96:
            curve(CSpiroCurveData::kBase, 0, CSpiroCurveData::kFvcRunSize);
            break;
        case 0x97:
            curve(CSpiroCurveData::kBase, CSpiroCurveData::kFvcRunSize,
                  CSpiroCurveData::kFvcRunSize);
            break;
        default:
            break;
    }
}

void CSpiroTestFile::AddFrameMessage(int nVariant, int nTag, const BYTE* pFrame, int nFrameLength) {
    // Head of 4 bytes and a tail of 4: anything shorter holds no message.
    if (pFrame == nullptr || nFrameLength < 8) {
        return;
    }
    BYTE nTagByte = static_cast<BYTE>(nTag & 0xFF);
    if (nTagByte < 0xB0 || nTagByte > 0xBC) {
        return;
    }
    // The fixed layouts reach to byte 472 (0xB1); what the frame does not hold reads as 0.
    std::vector<BYTE> abFrame = PaddedCopy(pFrame, nFrameLength, 512);
    BYTE* f = abFrame.data();
    CSpiroTestInfo& info = m_Info;
    const bool bPost = info.m_nTestType == kTypeFvcPost;
    const DWORD nData = static_cast<DWORD>(nFrameLength - 8);

    auto countGroup = [&](int nAt, int nFirstSlot) {
        for (int t = 0; t < 3; ++t) {
            m_Predict.SetCount(nFirstSlot + t, static_cast<LONG>(GetBE32(f + nAt + 4 * t)));
        }
    };
    auto curve = [&](int nCounter, CSpiroCurveData::EArea eArea, DWORD nRunStart, DWORD nRunSize) {
        SwapWords(f + 4, nData);
        StoreCurve(eArea, nRunStart, nRunSize, m_anFrameCounter[nCounter], f + 4, nData, nData);
    };

    switch (nTagByte) {
        case 0xB0:
            if (nVariant < 1 || nVariant > 3) {
                return;
            }
            m_nCounter = 0;
            m_anFrameCounter.fill(0);
            info.m_strID = ReadField(f + 4, 16);
            info.m_strName = ReadField(f + 36, 16);
            info.m_strAge = ReadField(f + 68, 4);
            info.m_strSex = ReadField(f + 72, 6);
            info.m_strHeight = ReadField(f + 88, 4);
            info.TakeWeight(ReadField(f + 92, 4));
            info.m_cRace = static_cast<char>(f[96]);
            info.m_cSmoker = static_cast<char>(f[97]);
            info.m_strSmokeYears = ReadField(f + 98, 3);
            info.m_cSmokePack = static_cast<char>(f[101]);
            info.m_strYear = ReadField(f + 102, 4);
            info.m_strMonth = ReadField(f + 106, 2);
            info.m_strDay = ReadField(f + 108, 2);
            info.m_strHour = ReadField(f + 110, 2);
            info.m_strMinute = ReadField(f + 112, 2);
            info.m_strSecond = ReadField(f + 114, 2);
            if (nVariant == 3) {
                info.m_strHospital = ReadField(f + 116, 28);
                info.m_strDoctor = ReadField(f + 172, 28);
            } else {
                info.m_strHospital = ReadField(f + 116, 16);
                info.m_strDoctor = ReadField(f + 148, 16);
            }
            info.m_strComment.clear();
            break;
        case 0xB1: {
            const bool bBasePost = f[4] != 0;
            if (!bBasePost) {
                info.m_nTestType = kTypeFvcExt;
                info.m_nTrials = static_cast<signed char>(f[6]);
                info.m_nBestTrial = static_cast<signed char>(f[7]);
                info.m_strAnalysis = ReadField(f + 12, 3);
                info.m_strAnalysisPost.clear();
            } else {
                info.m_nTestType = kTypeFvcPost;
                info.m_nTrials = static_cast<signed char>(f[6] >> 4);
                info.m_nPostTrials = f[6] & 0x0F;
                info.m_nBestTrial = static_cast<signed char>(f[7] >> 4);
                info.m_nPostBestTrial = f[7] & 0x0F;
                info.m_strAnalysis = ReadField(f + 8, 3);
                info.m_strAnalysisPost = ReadField(f + 12, 3);
            }
            info.m_nFormulaByte = f[5];
            for (int c = 0; c < 6; ++c) {
                for (int r = 0; r < 10; ++r) {
                    m_Param.m_afFvc[r][c] = ParseParam(f + 76 + 60 * c + 6 * r);
                }
            }
            for (int k = 0; k < 10; ++k) {
                float fValue = BEFloat(f + 24 + 4 * k);
                m_Predict.SetFloat(22 + k, fValue);
                m_Predict.SetFloat(35 + k, fValue);
            }
            m_Predict.SetFloat(33, BEFloat(f + 108));
            m_Predict.SetFloat(34, BEFloat(f + 112));
            m_Predict.SetFloat(32, static_cast<float>(f[5]));
            m_Predict.SetFloat(45, static_cast<float>(f[5]));
            const int* pGroups = bBasePost ? kPostGroups : kBaseGroups;
            countGroup(436, pGroups[0]);
            countGroup(448, pGroups[1]);
            countGroup(460, pGroups[2]);
            if (bBasePost) {
                m_Predict.SetFloat(46, BEFloat(f + 16));
                m_Predict.SetFloat(47, BEFloat(f + 20));
            } else {
                m_Predict.SetFloat(46, BEFloat(f + 20));
                m_Predict.SetFloat(47, 0.0f);
            }
            break;
        }
        case 0xB2:
            for (int c = 6; c < 12; ++c) {
                for (int r = 0; r < 10; ++r) {
                    m_Param.m_afFvc[r][c] = ParseParam(f + 4 + 60 * (c - 6) + 6 * r);
                }
            }
            countGroup(364, kBaseGroups[0]);
            countGroup(376, kBaseGroups[1]);
            countGroup(388, kBaseGroups[2]);
            break;
        case 0xB3:
            curve(0, bPost ? CSpiroCurveData::kPost : CSpiroCurveData::kBase, 0,
                  CSpiroCurveData::kFvcRunSize);
            break;
        case 0xB4:
            curve(1, bPost ? CSpiroCurveData::kPost : CSpiroCurveData::kBase,
                  CSpiroCurveData::kFvcRunSize, CSpiroCurveData::kFvcRunSize);
            break;
        case 0xB5:
            curve(2, CSpiroCurveData::kBase, 0, CSpiroCurveData::kFvcRunSize);
            break;
        case 0xB6:
            curve(3, CSpiroCurveData::kBase, CSpiroCurveData::kFvcRunSize,
                  CSpiroCurveData::kFvcRunSize);
            break;
        case 0xB7:
            info.m_nTestType = kTypeSvc;
            info.m_nTrials = static_cast<signed char>(f[4]);
            info.m_nBestTrial = static_cast<signed char>(f[5]);
            for (int c = 0; c < CSpiroParamTable::kSvcColumns; ++c) {
                for (int r = 0; r < CSpiroParamTable::kSvcRows; ++r) {
                    m_Param.m_afSvc[r][c] = ParseParam(f + 6 + 30 * c + 6 * r);
                }
            }
            countGroup(126, 19);
            break;
        case 0xB8:
            curve(4, CSpiroCurveData::kSvc, 0, CSpiroCurveData::kSvcAreaSize);
            break;
        case 0xB9:
            info.m_nTestType = kTypeMvv;
            info.m_nTrials = 1;
            info.m_nBestTrial = 1;
            for (int i = 0; i < CSpiroParamTable::kMvvValues; ++i) {
                m_Param.m_afMvv[i] = ParseParam(f + 4 + 6 * i);
            }
            break;
        case 0xBA:
            curve(5, CSpiroCurveData::kMvv, 0, CSpiroCurveData::kMvvAreaSize);
            break;
        case 0xBB:
        case 0xBC: {
            info.m_nFormat = 2;
            int nFirstColumn = nTagByte == 0xBB ? 0 : 6;
            for (int c = 0; c < 6; ++c) {
                for (int r = 10; r < 14; ++r) {
                    m_Param.m_afFvc[r][nFirstColumn + c] =
                        ParseParam(f + 4 + 24 * c + 6 * (r - 10));
                }
            }
            int nFirstTrial = nTagByte == 0xBB ? 0 : 4;
            for (int t = 0; t < 4; ++t) {
                std::memcpy(m_Param.m_acEcode[nFirstTrial + t].data(), f + 148 + 3 * t, 3);
            }
            break;
        }
        default:
            break;
    }
}
