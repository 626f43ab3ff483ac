#include "ecg_control/ekgrecord.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/codepage.h"

using namespace ekgblock;

namespace {

constexpr std::size_t kDeviceTextUnits = 199;
constexpr std::size_t kDeviceTextBytes = 500;

void PutWord(BYTE* p, int nValue) {
    p[0] = static_cast<BYTE>((nValue >> 8) & 0xFF);
    p[1] = static_cast<BYTE>(nValue & 0xFF);
}

int GetWord(const BYTE* p) {
    return (p[0] << 8) | p[1];
}

// Bytes up to the first zero byte, at most nLength of them.
CString TextAt(const BYTE* p, std::size_t nLength) {
    std::size_t n = 0;
    while (n < nLength && p[n] != 0) {
        ++n;
    }
    return CString(reinterpret_cast<const char*>(p), n);
}

// Text cut to its room, zero-padded to the whole room.
void PutFixed(BYTE* p, const CString& strText, std::size_t nRoom) {
    const CString strCut = platform::CutToRoom(strText, nRoom);
    std::memset(p, 0, nRoom);
    std::memcpy(p, strCut.data(), strCut.size());
}

// Text cut to its room; returns the number of bytes written.
std::size_t PutText(BYTE* p, const CString& strText, std::size_t nRoom) {
    const CString strCut = platform::CutToRoom(strText, nRoom);
    std::memcpy(p, strCut.data(), strCut.size());
    return strCut.size();
}

CString Trim(const CString& strText) {
    const char* kBlanks = " \t\r\n\v\f";
    const std::size_t nFirst = strText.find_first_not_of(kBlanks);
    if (nFirst == CString::npos) {
        return CString();
    }
    const std::size_t nLast = strText.find_last_not_of(kBlanks);
    return strText.substr(nFirst, nLast - nFirst + 1);
}

int AgeUnitCode(const CString& strUnit) {
    if (strUnit == "1") {
        return 1;
    }
    if (strUnit == "2") {
        return 2;
    }
    return 0;
}

CString AgeUnitText(int nCode) {
    if (nCode == 1) {
        return "1";
    }
    if (nCode == 2) {
        return "2";
    }
    return "0";
}

}  // namespace

CString DecodeDeviceText(const CString& strText) {
    const std::size_t nLength = std::strlen(strText.c_str());
    std::u16string strWide;
    bool bPair = false;
    std::size_t nEnd = nLength;
    std::size_t i = 0;
    while (i < nLength) {
        const BYTE b = static_cast<BYTE>(strText[i]);
        char16_t unit = b;
        if (b == 0xA9 || b == 0xAA || b == 0xAC) {
            if (i + 1 >= nLength) {
                // A pair prefix with nothing behind it: the text ends here.
                nEnd = i;
                break;
            }
            const BYTE c = static_cast<BYTE>(strText[i + 1]);
            if (b == 0xA9) {
                unit = static_cast<char16_t>(c + 0x10);
            } else if (b == 0xAA) {
                unit = static_cast<char16_t>(c + 0xCF);
            } else {
                unit = static_cast<char16_t>((c - 0xA1) & 0xFFFF);
            }
            if (unit == 0) {
                // The code unit 0 ends the converted text; no text carries it on.
                nEnd = i;
                break;
            }
            bPair = true;
            i += 2;
        } else {
            ++i;
        }
        if (strWide.size() < kDeviceTextUnits) {
            strWide.push_back(unit);
        }
    }
    if (!bPair) {
        return strText.substr(0, nEnd);
    }
    return platform::CutToRoom(platform::FromUtf16(strWide), kDeviceTextBytes);
}

// ---------------------------------------------------------------------------------------
// Patient values

void CEkgPatientInfo::Reset() {
    m_strID.clear();
    m_strName.clear();
    m_strAge.clear();
    m_strAgeUnit.clear();
    m_strSex.clear();
    m_strHeight.clear();
    m_strWeight.clear();
    m_strSurname.clear();
    m_nUnit = 0;
    m_nYear = m_nMonth = m_nDay = m_nHour = m_nMinute = 0;
    m_strMisc1.clear();
    m_strMisc0.clear();
    m_strHistory.clear();
    m_strComment.clear();
}

void CEkgPatientInfo::Serialize(BYTE* pBlock, BOOL bStore) {
    if (bStore) {
        Encode(pBlock);
    } else {
        Decode(pBlock);
    }
}

void CEkgPatientInfo::Encode(BYTE* pBlock) const {
    BYTE* p = pBlock;
    p[50] = kTagPatient;
    p[51] = kPatientItemSize;
    p[52] = 16;
    PutFixed(p + 53, m_strID, 16);
    p[69] = 16;
    PutFixed(p + 70, m_strName, 16);
    p[86] = 3;
    PutFixed(p + 87, m_strAge, 3);
    p[90] = static_cast<BYTE>(AgeUnitCode(m_strAgeUnit));
    p[91] = 6;
    PutFixed(p + 92, m_strSex, 6);
    p[98] = 4;
    PutFixed(p + 99, m_strHeight, 4);
    p[103] = 4;
    PutFixed(p + 104, m_strWeight, 4);

    p[kDate] = kTagDate;
    p[kDate + 1] = 10;
    char szYear[16];
    std::snprintf(szYear, sizeof szYear, "%04d", m_nYear);
    std::memcpy(p + 112, szYear, std::min<std::size_t>(4, std::strlen(szYear)));
    p[116] = static_cast<BYTE>(m_nMonth);
    p[117] = static_cast<BYTE>(m_nDay);
    p[118] = static_cast<BYTE>(m_nHour);
    p[119] = static_cast<BYTE>(m_nMinute);

    p[kMisc1] = static_cast<BYTE>(PutText(p + kMisc1 + 1, m_strMisc1, kMisc1Room));
    p[kMisc0] = static_cast<BYTE>(PutText(p + kMisc0 + 1, m_strMisc0, kMisc0Room));

    p[kComment] = kTagComment;
    PutWord(p + kComment + 1,
            static_cast<int>(PutText(p + kComment + 3, m_strComment, kCommentRoom)));

    p[kSurname] = 16;
    PutFixed(p + kSurname + 1, m_strSurname, 16);

    p[kHistory] = kTagHistory;
    PutWord(p + kHistory + 1,
            static_cast<int>(PutText(p + kHistory + 3, m_strHistory, kHistoryRoom)));
}

void CEkgPatientInfo::Decode(const BYTE* p) {
    Reset();
    if (p[50] == kTagPatient && p[51] == kPatientItemSize) {
        m_strID = TextAt(p + 53, 16);
        m_strName = TextAt(p + 70, 16);
        m_strAge = TextAt(p + 87, 3);
        m_strAgeUnit = AgeUnitText(p[90]);
        m_strSex = TextAt(p + 92, 6);
        m_strHeight = TextAt(p + 99, 4);
        m_strWeight = TextAt(p + 104, 4);
    }
    if (p[kDate] == kTagDate && p[kDate + 1] == 10) {
        CString strYear = TextAt(p + 112, 4);
        if (strYear < "0000" || strYear > "9999") {
            strYear = "0000";
        }
        m_nYear = static_cast<short>(std::atoi(strYear.c_str()));
        m_nMonth = p[116];
        m_nDay = p[117];
        m_nHour = p[118];
        m_nMinute = p[119];
    }
    m_strMisc1 = TextAt(p + kMisc1 + 1, std::min<std::size_t>(p[kMisc1], kMisc1Room));
    m_strMisc0 = TextAt(p + kMisc0 + 1, std::min<std::size_t>(p[kMisc0], kMisc0Room));

    int nComment = -1;
    if (p[kComment + 1] == kTagComment) {
        nComment = p[kComment + 2];
    } else if (p[kComment] == kTagComment) {
        nComment = GetWord(p + kComment + 1);
    }
    if (nComment > 0) {
        m_strComment = TextAt(p + kComment + 3, std::min<std::size_t>(nComment, kCommentRoom));
    }

    m_strSurname = TextAt(p + kSurname + 1, 16);

    int nHistory = -1;
    if (p[kHistory + 1] == kTagHistory) {
        nHistory = p[kHistory + 2];
    } else if (p[kHistory] == kTagHistory) {
        nHistory = GetWord(p + kHistory + 1);
    }
    if (nHistory > 0) {
        m_strHistory = TextAt(p + kHistory + 3, std::min<std::size_t>(nHistory, kHistoryRoom));
    }
}

BOOL CEkgPatientInfo::TakeDeviceItem(const BYTE* pItem, std::size_t nLength) {
    if (pItem == nullptr || nLength < static_cast<std::size_t>(kPatientItemSize)) {
        return FALSE;
    }
    m_strID = Trim(TextAt(pItem + 3, 16));
    m_strName = Trim(TextAt(pItem + 20, 16));
    m_strAge = Trim(TextAt(pItem + 37, 3));
    m_strAgeUnit = AgeUnitText(pItem[40]);
    m_strSex = Trim(TextAt(pItem + 42, 6));
    m_strHeight = Trim(TextAt(pItem + 49, 4));
    m_strWeight = Trim(TextAt(pItem + 54, 4));
    return TRUE;
}

void CEkgPatientInfo::CopyValuesFrom(const CEkgPatientInfo& other) {
    const short nUnit = m_nUnit;
    *this = other;
    m_nUnit = nUnit;
}

// ---------------------------------------------------------------------------------------
// Per-beat arrays

BOOL CEkgBeatArrays::Make(int nId, int nCount) {
    if (nId < 0 || nId >= kCount || nCount < 0 || nCount > 0x7FFF) {
        return FALSE;
    }
    m_aArrays[nId].assign(static_cast<std::size_t>(nCount) + 1, 0);
    m_aArrays[nId][0] = static_cast<short>(nCount);
    return TRUE;
}

void CEkgBeatArrays::Free(int nId) {
    if (nId >= 0 && nId < kCount) {
        m_aArrays[nId].clear();
        m_aArrays[nId].shrink_to_fit();
    }
}

void CEkgBeatArrays::FreeAll() {
    for (int i = 0; i < kCount; ++i) {
        Free(i);
    }
}

BOOL CEkgBeatArrays::Set(int nId, int nPosition, short nValue) {
    if (!Exists(nId) || nPosition < 1 || nPosition > Count(nId)) {
        return FALSE;
    }
    m_aArrays[nId][nPosition] = nValue;
    return TRUE;
}

short CEkgBeatArrays::Value(int nId, int nPosition) const {
    if (!Exists(nId) || nPosition < 1 || nPosition > Count(nId)) {
        return 0;
    }
    return m_aArrays[nId][nPosition];
}

BOOL CEkgBeatArrays::Exists(int nId) const {
    return nId >= 0 && nId < kCount && !m_aArrays[nId].empty();
}

int CEkgBeatArrays::Count(int nId) const {
    return Exists(nId) ? static_cast<int>(m_aArrays[nId].size()) - 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Record information

CEkgRecordInfo::CEkgRecordInfo() {
    ResetValues();
}

CEkgRecordInfo::~CEkgRecordInfo() {
    m_arrays.FreeAll();
}

void CEkgRecordInfo::ResetValues() {
    m_abyGlobals.fill(0);
    m_abyMarker.fill(0);
    m_abyFilter.fill(0xFF);
    m_astrStatements.clear();
    m_patient.Reset();
    m_arrays.FreeAll();
    m_strDeviceText.clear();
}

void CEkgRecordInfo::Reset() {
    ResetValues();
    Free();
}

BOOL CEkgRecordInfo::AllocBlock(BOOL bKeepLocked) {
    if (!Alloc(kSize, bKeepLocked)) {
        return FALSE;
    }
    return Serialize(TRUE);
}

BOOL CEkgRecordInfo::Serialize(BOOL bStore) {
    if (!HasBlock() || GetSize() < kSize) {
        return FALSE;
    }
    BYTE* p = Lock();
    if (p == nullptr) {
        return FALSE;
    }
    if (bStore) {
        Encode(p);
    } else {
        Decode(p);
    }
    Unlock();
    return TRUE;
}

void CEkgRecordInfo::Encode(BYTE* p) const {
    std::memset(p, 0, kSize);
    m_patient.Encode(p);
    std::memcpy(p + kFilter, m_abyFilter.data(), m_abyFilter.size());
    p[0] = m_abyMarker[0];
    p[1] = m_abyMarker[1];
    std::memcpy(p + kGlobals, m_abyGlobals.data(), m_abyGlobals.size());

    // Arrays and statement texts share the data area, which ends where a file keeps its
    // pacemaker list; what does not fit is left out rather than overwritten.
    int nPos = kDataArea;
    for (int nId = 0; nId < CEkgBeatArrays::kCount; ++nId) {
        p[kArrayEntries + 2 * nId] = static_cast<BYTE>('0' + nId);
        if (!m_arrays.Exists(nId)) {
            continue;
        }
        const int nCount = std::min({m_arrays.Count(nId), 127, (kPaceList - nPos) / 2});
        p[kArrayEntries + 2 * nId + 1] = static_cast<BYTE>(2 * nCount);
        for (int i = 1; i <= nCount; ++i) {
            PutWord(p + nPos, m_arrays.Value(nId, i));
            nPos += 2;
        }
    }

    int nEntry = 0;
    for (const CString& strStatement : m_astrStatements) {
        if (nEntry >= kMaxStatements) {
            break;
        }
        const CString strCut = platform::CutToRoom(strStatement, kMaxStatementLength);
        if (nPos + static_cast<int>(strCut.size()) > kPaceList) {
            break;
        }
        p[kStatementEntries + 2 * nEntry] = kTagStatement;
        p[kStatementEntries + 2 * nEntry + 1] = static_cast<BYTE>(strCut.size());
        std::memcpy(p + nPos, strCut.data(), strCut.size());
        nPos += static_cast<int>(strCut.size());
        ++nEntry;
    }
    if (nEntry < kMaxStatements) {
        p[kStatementEntries + 2 * nEntry] = 0;
        p[kStatementEntries + 2 * nEntry + 1] = 0;
    }
}

void CEkgRecordInfo::Decode(const BYTE* p) {
    if (p[0] == kTagDirectory && p[1] == 0x10) {
        m_abyMarker = {p[0], p[1]};
        std::memcpy(m_abyGlobals.data(), p + kGlobals, m_abyGlobals.size());
    }

    int nPos = kDataArea;
    for (int nEntry = 0; nEntry < CEkgBeatArrays::kCount; ++nEntry) {
        const int nId = p[kArrayEntries + 2 * nEntry] - '0';
        const int nLength = p[kArrayEntries + 2 * nEntry + 1];
        if (nId < 0 || nId >= CEkgBeatArrays::kCount) {
            continue;
        }
        const int nCount = nLength / 2;
        if (!m_arrays.Make(nId, nCount)) {
            continue;
        }
        for (int i = 0; i < nCount && nPos + 2 * i + 2 <= static_cast<int>(kSize); ++i) {
            m_arrays.Set(nId, i + 1, static_cast<short>(GetWord(p + nPos + 2 * i)));
        }
        nPos += nLength;
    }

    m_patient.Decode(p);

    // A writer that did not stop at the directory's 19 entries went on over the patient item:
    // its statements are read on, and when the record cannot hold them all, the first ones
    // stay, a mark counts those left out and the class line "[...]" keeps its place last.
    m_astrStatements.clear();
    for (int nEntry = 0; nEntry < kMaxStatementsWritten; ++nEntry) {
        const BYTE* pEntry = p + kStatementEntries + 2 * nEntry;
        if (pEntry[0] != kTagStatement || pEntry[1] == 0xFF) {
            break;
        }
        const int nAvail = std::max(0, static_cast<int>(kSize) - nPos);
        const int nLength = std::min<int>(pEntry[1], nAvail);
        const CString strRaw = TextAt(p + nPos, static_cast<std::size_t>(nLength));
        nPos += nLength;
        while (nPos < static_cast<int>(kSize) && (p[nPos] == 0x0D || p[nPos] == 0x0A)) {
            ++nPos;
        }
        const CString strText = Trim(DecodeDeviceText(strRaw));
        if (!strText.empty()) {
            m_astrStatements.push_back(strText);
        }
    }
    const int nRead = static_cast<int>(m_astrStatements.size());
    if (nRead > kMaxStatements) {
        const bool bClass = m_astrStatements.back().front() == '[';
        const int nKept = kMaxStatements - (bClass ? 2 : 1);
        const CString strClass = m_astrStatements.back();
        m_astrStatements.resize(static_cast<std::size_t>(nKept));
        m_astrStatements.push_back("... (+" + std::to_string(nRead - nKept - (bClass ? 1 : 0)) +
                                   ")");
        if (bClass) {
            m_astrStatements.push_back(strClass);
        }
    }

    if (p[kFilter] == kTagFilter) {
        std::memcpy(m_abyFilter.data(), p + kFilter, m_abyFilter.size());
    }
}

BOOL CEkgRecordInfo::TakeDirectoryItem(const BYTE* pItem, std::size_t nLength) {
    if (pItem == nullptr || nLength < 18 || pItem[0] != kTagDirectory) {
        return FALSE;
    }
    m_abyMarker = {kTagDirectory, 0x10};
    std::memcpy(m_abyGlobals.data(), pItem + 2, m_abyGlobals.size());
    return TRUE;
}

BOOL CEkgRecordInfo::TakeFilterItem(const BYTE* pItem, std::size_t nLength) {
    if (pItem == nullptr || nLength < 6 || pItem[0] != kTagFilter) {
        return FALSE;
    }
    std::memcpy(m_abyFilter.data(), pItem, m_abyFilter.size());
    return TRUE;
}

short CEkgRecordInfo::GetRhythmParam(short nType) const {
    if (nType < 0 || nType > 7) {
        return 0;
    }
    return static_cast<short>(GetWord(m_abyGlobals.data() + 2 * nType));
}

void CEkgRecordInfo::SetGlobalValue(int nIndex, short nValue) {
    if (nIndex >= 0 && nIndex < 8) {
        PutWord(m_abyGlobals.data() + 2 * nIndex, nValue);
    }
}

short CEkgRecordInfo::GetAnalysisCnt() const {
    return static_cast<short>(std::min<std::size_t>(m_astrStatements.size(), 0x7FFF));
}

CString CEkgRecordInfo::GetAnalysis(short nIndex) const {
    return GetStatement(nIndex);
}

CString CEkgRecordInfo::GetStatement(int nIndex) const {
    if (nIndex < 0 || static_cast<std::size_t>(nIndex) >= m_astrStatements.size()) {
        return CString();
    }
    return m_astrStatements[static_cast<std::size_t>(nIndex)];
}

CString CEkgRecordInfo::GetPatientInfo(short nType) const {
    switch (nType) {
        case 0:
            return m_patient.m_strID;
        case 1:
            return m_patient.m_strName;
        case 2:
            return m_patient.m_strAge;
        case 3:
            return m_patient.m_strSex;
        case 4:
            return m_patient.m_strHeight;
        case 5:
            return m_patient.m_strWeight;
        case 6:
            return m_patient.m_strHistory;
        case 7:
            return CString(1, static_cast<char>(m_patient.m_nUnit));
        case 8:
            return m_patient.m_strSurname;
        case 9:
            return m_patient.m_strAgeUnit;
        default:
            return CString();
    }
}

void CEkgRecordInfo::SetPatientInfo(short nType, const CString& strText) {
    switch (nType) {
        case 0:
            m_patient.m_strID = strText;
            break;
        case 1:
            m_patient.m_strName = strText;
            break;
        case 2:
            m_patient.m_strAge = strText;
            break;
        case 3:
            m_patient.m_strSex = strText;
            break;
        case 4:
            m_patient.m_strHeight = strText;
            break;
        case 5:
            m_patient.m_strWeight = strText;
            break;
        case 6:
            m_patient.m_strHistory = strText;
            break;
        case 7:
            m_patient.m_nUnit =
                strText.empty() ? 0 : static_cast<short>(static_cast<BYTE>(strText[0]));
            break;
        case 8:
            m_patient.m_strSurname = strText;
            break;
        case 9:
            m_patient.m_strAgeUnit = strText;
            break;
        default:
            break;
    }
}

void CEkgRecordInfo::SetFilterInfo(short nAC, short nLPF, short nBF, short nMF) {
    m_abyFilter = {kTagFilter,
                   4,
                   static_cast<BYTE>(nAC & 0xFF),
                   static_cast<BYTE>(nLPF & 0xFF),
                   static_cast<BYTE>(nBF & 0xFF),
                   static_cast<BYTE>(nMF & 0xFF)};
}

CString CEkgRecordInfo::GetMisc(short nType) const {
    switch (nType) {
        case 0:
            return m_patient.m_strMisc0;
        case 1:
            return m_patient.m_strMisc1;
        case 2:
            return m_deviceInfo.m_strCompany;
        case 3:
            return m_deviceInfo.m_strDevice;
        default:
            return CString();
    }
}

void CEkgRecordInfo::SetMisc(short nType, const CString& strText) {
    switch (nType) {
        case 0:
            m_patient.m_strMisc0 = strText;
            break;
        case 1:
            m_patient.m_strMisc1 = strText;
            break;
        case 2:
            m_deviceInfo.m_strCompany = strText;
            break;
        case 3:
            m_deviceInfo.m_strDevice = strText;
            break;
        default:
            break;
    }
}

void CEkgRecordInfo::SetTime(short nYear, short nMonth, short nDay, short nHour, short nMinute) {
    m_patient.m_nYear = nYear;
    m_patient.m_nMonth = nMonth;
    m_patient.m_nDay = nDay;
    m_patient.m_nHour = nHour;
    m_patient.m_nMinute = nMinute;
}

CString CEkgRecordInfo::GetTime() const {
    char sz[64];
    std::snprintf(sz, sizeof sz, "%04d%02d%02d%02d%02d", m_patient.m_nYear, m_patient.m_nMonth,
                  m_patient.m_nDay, m_patient.m_nHour, m_patient.m_nMinute);
    return sz;
}

// ---------------------------------------------------------------------------------------
// Lead measurement block

BOOL CMorphologyTable::Alloc(DWORD nBytes, BOOL) {
    return CGlobalBuffer::Alloc(nBytes, TRUE);
}

BOOL CMorphologyTable::Create() {
    if (!Alloc(kSize, TRUE)) {
        return FALSE;
    }
    BYTE* p = Lock();
    p[0] = ekgblock::kTagMorphology;
    p[1] = kLeads;
    return TRUE;
}

short CMorphologyTable::Value(int nLead, int nValue) const {
    if (nLead < 0 || nLead >= kLeads || nValue < 0 || nValue >= kValuesPerLead) {
        return 0;
    }
    const DWORD dwOffset = 2 + 36 * nLead + 2 * nValue;
    if (Data() == nullptr || dwOffset + 2 > GetSize()) {
        return 0;
    }
    return static_cast<short>(GetWord(Data() + dwOffset));
}

BOOL CMorphologyTable::SetValue(int nLead, int nValue, short nNumber) {
    if (nLead < 0 || nLead >= kLeads || nValue < 0 || nValue >= kValuesPerLead) {
        return FALSE;
    }
    BYTE ab[2];
    PutWord(ab, nNumber);
    return WriteAt(2 + 36 * nLead + 2 * nValue, ab, 2);
}

short CMorphologyTable::GetMorphologyParam(short nType, short nCh) const {
    if (nType < 0 || nType >= kKinds) {
        return 0;
    }
    return Value(nCh, 3 + nType);
}
