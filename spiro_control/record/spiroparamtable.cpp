#include <cstring>

#include "spiro_control/spirosections.h"

using namespace spirotext;
using namespace spirofile;

namespace {

// Display column of a type-5 table -> stored column.
constexpr int kType5Stored[12] = {6, 7, 0, 2, 11, 1, 8, 9, 10, 3, 4, 5};

int FvcColumns(int nType) {
    return nType == kTypeFvcPost ? 12 : 6;
}

void PutFloat(BYTE* p, float f) {
    PutLE32(p, BitsFromFloat(f));
}
float TakeFloat(const BYTE* p) {
    return FloatFromBits(GetLE32(p));
}

}  // namespace

CSpiroParamTable::CSpiroParamTable(BOOL bServerBuild) : m_bServerBuild(bServerBuild) {
    Clear();
}

void CSpiroParamTable::Clear() {
    for (auto& row : m_afFvc) {
        row.fill(0.0f);
    }
    for (auto& row : m_afSvc) {
        row.fill(0.0f);
    }
    m_afMvv.fill(0.0f);
    for (auto& field : m_acEcode) {
        field.fill(0);
    }
}

short CSpiroParamTable::Read(const BYTE* p, DWORD nLength, int nType, int nFormat) {
    if (nFormat < 0 || nFormat > 2) {
        return kErrFormat;
    }
    if (nFormat == 0) {
        static const BYTE kHeads[6] = {0x75, 6, 0x76, 6, 0x77, 6};
        if (std::memcmp(p + kParamHeads, kHeads, sizeof kHeads) != 0) {
            return kErrParamHeads;
        }
    }
    if (nType < 1 || nType > 5) {
        return kErrUnknownType;
    }
    if (nLength < FileLength(nType, nFormat)) {
        return kErrLength;
    }
    if (nFormat == 0) {
        if (IsFvcType(nType)) {
            for (int c = 0; c < 6; ++c) {
                for (int r = 0; r < 10; ++r) {
                    m_afFvc[r][c] = ParseParam(p + kParams + 60 * c + 6 * r);
                }
            }
            if (nType == kTypeFvcPost) {
                for (int c = 6; c < 12; ++c) {
                    for (int r = 0; r < 10; ++r) {
                        m_afFvc[r][c] = ParseParam(p + kPostBaseText + 3 + 60 * (c - 6) + 6 * r);
                    }
                }
            }
        } else if (nType == kTypeSvc) {
            for (int c = 0; c < kSvcColumns; ++c) {
                for (int r = 0; r < kSvcRows; ++r) {
                    m_afSvc[r][c] = ParseParam(p + kSvcParamsText + 30 * c + 6 * r);
                }
            }
        } else {
            for (int i = 0; i < kMvvValues; ++i) {
                m_afMvv[i] = ParseParam(p + kMvvParamsText + 6 * i);
            }
        }
        return kOk;
    }

    const BYTE* q = p + kParams;
    if (IsFvcType(nType)) {
        int nColumns = FvcColumns(nType);
        for (int c = 0; c < nColumns; ++c) {
            for (int r = 0; r < 10; ++r, q += 4) {
                m_afFvc[r][c] = TakeFloat(q);
            }
        }
        if (nFormat == 2) {
            for (int c = 0; c < nColumns; ++c) {
                for (int r = 10; r < 14; ++r) {
                    m_afFvc[r][c] = TakeFloat(p + kRows10Binary + 16 * c + 4 * (r - 10));
                }
            }
            int nFields = nType == kTypeFvcPost ? 8 : 4;
            for (int t = 0; t < nFields; ++t) {
                std::memcpy(m_acEcode[t].data(), p + kEcodeTag + 2 + kEcodeWidth * t, kEcodeWidth);
            }
        }
    } else if (nType == kTypeSvc) {
        for (int c = 0; c < kSvcColumns; ++c) {
            for (int r = 0; r < kSvcRows; ++r, q += 4) {
                m_afSvc[r][c] = TakeFloat(q);
            }
        }
    } else {
        for (int i = 0; i < kMvvValues; ++i, q += 4) {
            m_afMvv[i] = TakeFloat(q);
        }
    }
    return kOk;
}

short CSpiroParamTable::Write(BYTE* p, DWORD nLength, int nType, int nFormat) const {
    if (const short nCheck = CheckImage(nLength, nType, nFormat); nCheck != kOk) {
        return nCheck;
    }
    if (nFormat == 0) {
        static const BYTE kHeads[6] = {0x75, 6, 0x76, 6, 0x77, 6};
        std::memcpy(p + kParamHeads, kHeads, sizeof kHeads);
        if (IsFvcType(nType)) {
            for (int c = 0; c < 6; ++c) {
                for (int r = 0; r < 10; ++r) {
                    FormatParam(p + kParams + 60 * c + 6 * r, m_afFvc[r][c]);
                }
            }
            if (nType == kTypeFvcPost) {
                for (int c = 6; c < 12; ++c) {
                    for (int r = 0; r < 10; ++r) {
                        FormatParam(p + kPostBaseText + 3 + 60 * (c - 6) + 6 * r, m_afFvc[r][c]);
                    }
                }
            }
        } else if (nType == kTypeSvc) {
            for (int c = 0; c < kSvcColumns; ++c) {
                for (int r = 0; r < kSvcRows; ++r) {
                    FormatParam(p + kSvcParamsText + 30 * c + 6 * r, m_afSvc[r][c]);
                }
            }
        } else {
            for (int i = 0; i < kMvvValues; ++i) {
                FormatParam(p + kMvvParamsText + 6 * i, m_afMvv[i]);
            }
        }
        return kOk;
    }

    BYTE* q = p + kParams;
    if (IsFvcType(nType)) {
        int nColumns = FvcColumns(nType);
        for (int c = 0; c < nColumns; ++c) {
            for (int r = 0; r < 10; ++r, q += 4) {
                PutFloat(q, m_afFvc[r][c]);
            }
        }
        if (nFormat == 2) {
            // Rows 10-13 twice: at 780 and right behind the first ten rows (the same place
            // for type 5).
            for (int c = 0; c < nColumns; ++c) {
                for (int r = 10; r < 14; ++r) {
                    PutFloat(p + kRows10Binary + 16 * c + 4 * (r - 10), m_afFvc[r][c]);
                    PutFloat(q + 16 * c + 4 * (r - 10), m_afFvc[r][c]);
                }
            }
            p[kEcodeTag] = 0x7A;
            p[kEcodeTag + 1] = static_cast<BYTE>(2 * nColumns);
            int nFields = nType == kTypeFvcPost ? 8 : 4;
            for (int t = 0; t < nFields; ++t) {
                std::memcpy(p + kEcodeTag + 2 + kEcodeWidth * t, m_acEcode[t].data(), kEcodeWidth);
            }
        }
    } else if (nType == kTypeSvc) {
        for (int c = 0; c < kSvcColumns; ++c) {
            for (int r = 0; r < kSvcRows; ++r, q += 4) {
                PutFloat(q, m_afSvc[r][c]);
            }
        }
    } else {
        for (int i = 0; i < kMvvValues; ++i, q += 4) {
            PutFloat(q, m_afMvv[i]);
        }
    }
    return kOk;
}

short CSpiroParamTable::GetParamCount(short nTestType, short nFormat, BOOL bServerBuild) {
    switch (nTestType) {
        case kTypeFvc:
        case kTypeFvcExt:
        case kTypeFvcPost:
            return (nFormat == 2 && !bServerBuild) ? 15 : 10;
        case kTypeSvc:
            return 5;
        case kTypeMvv:
            return 3;
        default:
            return kErrUnknownType;
    }
}

short CSpiroParamTable::GetParamDepth(short nTestType) {
    switch (nTestType) {
        case kTypeFvc:
        case kTypeFvcExt:
            return 6;
        case kTypeSvc:
            return 4;
        case kTypeMvv:
            return 1;
        case kTypeFvcPost:
            return 12;
        default:
            return kErrUnknownType;
    }
}

namespace {

const char* const kLabels1[10][2] = {
    {"FVC", "[ L ]"},        {"FIVC", "[ L ]"},
    {"FEV 1", "[ L ]"},      {"FEV 1/FVC", "[ % ]"},
    {"FEF 25-75%", "[LPS]"}, {"FEF 200-1200ml", "[LPS]"},
    {"FIF 50%", "[LPS]"},    {"FEF 50%/FIF 50%", "[   ]"},
    {"PEF", "[LPS]"},        {"PEF 100%", "[sec]"},
};
const char* const kLabels4[15][2] = {
    {"FVC", "[ L ]"},        {"FEV1", "[ L ]"},
    {"FEV 1/FVC", "[ % ]"},  {"FEF 200-1200ml", "[LPS]"},
    {"FEF 25-75%", "[LPS]"}, {"FEF 75-85%", "[LPS]"},
    {"PEF", "[LPS]"},        {"FEF 25%", "[LPS]"},
    {"FEF 50%", "[LPS]"},    {"FEF 75%", "[LPS]"},
    {"FIVC", "[ L ]"},       {"FEV6", "[ L ]"},
    {"PEFT", "[sec]"},       {"FET 100%", "[sec]"},
    {"FVL Ecode", ""},
};
const char* const kLabels2[5][2] = {
    {"SVC", "[ L ]"}, {"TV", "[ L ]"}, {"ERV", "[ L ]"}, {"IRV", "[ L ]"}, {"EC", "[ L ]"},
};
const char* const kLabels3[3][2] = {{"MVV", "[ L ]"}, {"FB", "[BPM]"}, {"TV", "[ L ]"}};

const char* Label(short nType, short nRow, int nWhich) {
    switch (nType) {
        case kTypeFvc:
            return nRow >= 0 && nRow < 10 ? kLabels1[nRow][nWhich] : "";
        case kTypeFvcExt:
        case kTypeFvcPost:
            return nRow >= 0 && nRow < 15 ? kLabels4[nRow][nWhich] : "";
        case kTypeSvc:
            return nRow >= 0 && nRow < 5 ? kLabels2[nRow][nWhich] : "";
        case kTypeMvv:
            return nRow >= 0 && nRow < 3 ? kLabels3[nRow][nWhich] : "";
        default:
            return "";
    }
}

}  // namespace

CString CSpiroParamTable::GetParamLabelString(short nTestType, short nRow) {
    return Label(nTestType, nRow, 0);
}

CString CSpiroParamTable::GetParamUnitString(short nTestType, short nRow) {
    return Label(nTestType, nRow, 1);
}

CString CSpiroParamTable::GetMeasureString(short nTestType, short nColumn) {
    static const char* const kFvc[6] = {"Best", "Pred", "%Pred", "Meas1", "Meas2", "Meas3"};
    static const char* const kSvc[4] = {"Best", "Meas1", "Meas2", "Meas3"};
    static const char* const kPost[12] = {"Base",     "%Pred",    "Post",     "%Pred",
                                          "%CHG",     "Pred",     "Meas1(B)", "Meas2(B)",
                                          "Meas3(B)", "Meas1(P)", "Meas2(P)", "Meas3(P)"};
    switch (nTestType) {
        case kTypeFvc:
        case kTypeFvcExt:
            return nColumn >= 0 && nColumn < 6 ? kFvc[nColumn] : "";
        case kTypeSvc:
            return nColumn >= 0 && nColumn < 4 ? kSvc[nColumn] : "";
        case kTypeFvcPost:
            return nColumn >= 0 && nColumn < 12 ? kPost[nColumn] : "";
        default:
            return "";
    }
}

int CSpiroParamTable::StoredColumnOfType5(int nDisplayColumn) {
    return nDisplayColumn >= 0 && nDisplayColumn < 12 ? kType5Stored[nDisplayColumn] : -1;
}

float CSpiroParamTable::GetParam(short nTestType, short nRow, short nColumn) const {
    switch (nTestType) {
        case kTypeFvc:
        case kTypeFvcExt:
            if (nRow < 0 || nRow >= kFvcRows || nColumn < 0 || nColumn >= 6) {
                return 0.0f;
            }
            return m_afFvc[nRow][nColumn];
        case kTypeFvcPost: {
            int nStored = StoredColumnOfType5(nColumn);
            if (nRow < 0 || nRow >= kFvcRows || nStored < 0) {
                return 0.0f;
            }
            return m_afFvc[nRow][nStored];
        }
        case kTypeSvc:
            if (nRow < 0 || nRow >= kSvcRows || nColumn < 0 || nColumn >= kSvcColumns) {
                return 0.0f;
            }
            return m_afSvc[nRow][nColumn];
        case kTypeMvv:
            return nRow >= 0 && nRow < kMvvValues ? m_afMvv[nRow] : 0.0f;
        default:
            return 0.0f;
    }
}

short CSpiroParamTable::SetParam(short nTestType, short nRow, short nColumn, float fValue) {
    switch (nTestType) {
        case kTypeFvc:
        case kTypeFvcExt:
        case kTypeFvcPost: {
            if (nRow < 0 || nRow >= kFvcRows) {
                return kErrRow;
            }
            int nStored = nTestType == kTypeFvcPost ? StoredColumnOfType5(nColumn)
                                                    : (nColumn >= 0 && nColumn < 6 ? nColumn : -1);
            if (nStored < 0) {
                return kErrColumn;
            }
            m_afFvc[nRow][nStored] = fValue;
            return kOk;
        }
        case kTypeSvc:
            if (nRow < 0 || nRow >= kSvcRows) {
                return kErrRow;
            }
            if (nColumn < 0 || nColumn >= kSvcColumns) {
                return kErrColumn;
            }
            m_afSvc[nRow][nColumn] = fValue;
            return kOk;
        case kTypeMvv:
            if (nRow < 0 || nRow >= kMvvValues) {
                return kErrRow;
            }
            m_afMvv[nRow] = fValue;
            return kOk;
        default:
            return kErrUnknownType;
    }
}

char CSpiroParamTable::GetEcode(short nTrial, short nPosition) const {
    if (nTrial < 0 || nTrial >= kEcodeTrials || nPosition < 0 || nPosition >= kEcodeWidth) {
        return 0;
    }
    return m_acEcode[nTrial][nPosition];
}

short CSpiroParamTable::GetEcodeValue(short nTrial, short nPosition) const {
    char c = GetEcode(nTrial, nPosition);
    return c == '0' ? 0 : (c == '1' ? 1 : -1);
}
