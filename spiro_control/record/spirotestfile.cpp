#include "spiro_control/spirotestfile.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "platform/atomicfile.h"

using namespace spirotext;
using namespace spirofile;

CSpiroTestFile::CSpiroTestFile(BOOL bServerBuild)
    : m_Info(bServerBuild), m_Param(bServerBuild), m_bServerBuild(bServerBuild) {}

void CSpiroTestFile::Clear() {
    m_Info.Clear();
    m_Param.Clear();
    m_Predict.Clear();
    m_Curve.Clear();
    m_Buffer.Free();
}

void CSpiroTestFile::Reset() {
    Clear();
    m_nCounter = 0;
    m_anFrameCounter.fill(0);
}

short CSpiroTestFile::Open(const CString& strPath, short nType) {
    Clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(strPath.c_str(), "rb"),
                                                         &std::fclose);
    struct stat st {};
    if (!file || fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
        return kErrOpen;
    }
    if (st.st_size < static_cast<off_t>(kMinLength)) {
        return kErrLength;
    }
    // No valid file is longer than kMaxLength: one byte more is enough to refuse an
    // overlong file in its turn without holding all of it.
    DWORD nFileLength =
        st.st_size > static_cast<off_t>(0x7FFFFFFF) ? 0x7FFFFFFF : static_cast<DWORD>(st.st_size);
    DWORD nRead = nFileLength > kMaxLength ? kMaxLength + 1 : nFileLength;
    if (!m_Buffer.Alloc(nRead, FALSE)) {
        return kErrMemory;
    }
    BYTE* pImage = m_Buffer.Lock();
    if (pImage == nullptr) {
        m_Buffer.Free();
        return kErrMemory;
    }
    if (std::fread(pImage, 1, nRead, file.get()) != nRead) {
        Clear();
        return kErrRead;
    }
    short nResult = ReadImage(pImage, nRead, nFileLength, nType);
    if (nResult < 0) {
        Clear();
        return nResult;
    }
    m_Buffer.Unlock();
    m_Buffer.Free();
    return nResult;
}

short CSpiroTestFile::ReadImage(const BYTE* pImage, DWORD nRead, DWORD nFileLength, short nType) {
    short nResult = m_Info.Read(pImage, nRead);
    if (nResult != kOk) {
        return nResult;
    }
    int nFileType = m_Info.m_nTestType;
    int nFormat = m_Info.m_nFormat;
    if (nType != 0 && nFileType != nType) {
        return kErrWrongType;
    }
    if (nFileLength != FileLength(nFileType, nFormat)) {
        return kErrLength;
    }
    if ((nResult = m_Param.Read(pImage, nRead, nFileType, nFormat)) != kOk) {
        return nResult;
    }
    if ((nResult = m_Predict.Read(pImage, nRead, nFileType, nFormat)) != kOk) {
        return nResult;
    }
    if ((nResult = m_Curve.Read(pImage, nRead, nFileType, nFormat)) != kOk) {
        return nResult;
    }
    return static_cast<short>(nFileType);
}

short CSpiroTestFile::LayImage(BYTE* pImage, DWORD nLength) const {
    int nType = m_Info.m_nTestType;
    int nFormat = m_Info.m_nFormat;
    short nResult;
    if ((nResult = m_Info.Write(pImage, nLength)) != kOk ||
        (nResult = m_Param.Write(pImage, nLength, nType, nFormat)) != kOk ||
        (nResult = m_Predict.Write(pImage, nLength, nType, nFormat)) != kOk ||
        (nResult = m_Curve.Write(pImage, nLength, nType, nFormat)) != kOk) {
        return nResult;
    }
    return kOk;
}

short CSpiroTestFile::MakeImage(std::vector<BYTE>& abImage) const {
    abImage.clear();
    int nType = m_Info.m_nTestType;
    if (nType < 1 || nType > 5) {
        return kErrHeader;
    }
    if (m_Info.m_nFormat > 2) {
        return kErrFormat;
    }
    std::vector<BYTE> abLaid(FileLength(nType, m_Info.m_nFormat), 0);
    short nResult = LayImage(abLaid.data(), static_cast<DWORD>(abLaid.size()));
    if (nResult == kOk) {
        abImage.swap(abLaid);
    }
    return nResult;
}

short CSpiroTestFile::Save(const CString& strPath) {
    int nType = m_Info.m_nTestType;
    if (nType < 1 || nType > 5) {
        return kErrHeader;
    }
    if (m_Info.m_nFormat > 2) {
        return kErrFormat;
    }
    DWORD nLength = FileLength(nType, m_Info.m_nFormat);
    if (!m_Buffer.Alloc(nLength, FALSE)) {
        return kErrMemory;
    }
    BYTE* pImage = m_Buffer.Lock();
    if (pImage == nullptr) {
        m_Buffer.Free();
        return kErrMemory;
    }
    short nResult = LayImage(pImage, nLength);
    if (nResult == kOk) {
        // Written beside the target and renamed over it: a failed save keeps the old file.
        platform::CAtomicFile file;
        if (!file.Open(strPath) || !file.Write(pImage, nLength) || !file.Commit()) {
            nResult = kErrOpen;
        }
    }
    m_Buffer.Unlock();
    m_Buffer.Free();
    return nResult;
}

LONG CSpiroTestFile::GetFormulaIndex() const {
    switch (m_Info.m_nTestType) {
        case kTypeFvc:
            return 0;
        case kTypeFvcExt:
        case kTypeFvcPost: {
            double dIndex = static_cast<double>(m_Predict.GetFloat(45)) + 0.5;
            // A value that is no whole number in range names no formula.
            if (!std::isfinite(dIndex) || dIndex < -2147483648.0 || dIndex >= 2147483648.0) {
                return -1;
            }
            return static_cast<LONG>(dIndex);
        }
        default:
            return -1;
    }
}

CString CSpiroTestFile::FormulaName(LONG nIndex) {
    switch (nIndex) {
        case 0:
        case 1:
            return "Morris/Polgar";
        case 2:
            return "Knudson/ITS";
        case 3:
            return "ECCS/Quanjer";
        case 4:
            return "Korean(CJK)";
        case 5:
            return "Pereira";
        default:
            return "";
    }
}

CString CSpiroTestFile::GetFormulaString() const {
    return FormulaName(GetFormulaIndex());
}

CString CSpiroTestFile::GetInformation(short nKind) const {
    const CSpiroTestInfo& i = m_Info;
    auto code = [](char c) { return c != 0 ? CString(1, c) : CString(); };
    switch (nKind) {
        case 0:
            return i.m_strID;
        case 1:
            return i.m_strName;
        case 2:
            return i.m_strAge;
        case 3:
            return i.m_strSex;
        case 4:
            return i.m_strHeight;
        case 5:
            return i.m_strWeight;
        case 6:
            return code(i.m_cRace);
        case 7:
            return code(i.m_cSmoker);
        case 8:
            return i.m_strSmokeYears;
        case 9:
            return code(i.m_cSmokePack);
        case 10:
            return i.m_strYear;
        case 11:
            return i.m_strMonth;
        case 12:
            return i.m_strDay;
        case 13:
            return i.m_strHour;
        case 14:
            return i.m_strMinute;
        case 15:
            return i.m_strSecond;
        case 16:
            return i.m_strHospital;
        case 17:
            return i.m_strDoctor;
        case 18:
            return i.m_strComment;
        case 19:
            return i.m_strAnalysis;
        case 20:
            return i.m_strCompany;
        case 21:
            return GetFormulaString();
        case 22:
            return i.m_strDevice;
        case 23:
            return i.m_strAnalysisPost;
        case 24:
        case 25:
            return TwoDecimals(static_cast<double>(m_Predict.GetFloat(nKind == 24 ? 46 : 47)));
        case 26:
            return CString(1, static_cast<char>(i.m_nUnit & 0xFF));
        case 27:
            return i.m_bPound ? "1" : "0";
        case 28:
            return i.m_strAddText;
        default:
            return "";
    }
}

void CSpiroTestFile::SetInformation(short nKind, const CString& strValue) {
    CSpiroTestInfo& i = m_Info;
    char c = strValue.empty() ? 0 : strValue[0];
    switch (nKind) {
        case 0:
            i.m_strID = strValue;
            break;
        case 1:
            i.m_strName = strValue;
            break;
        case 2:
            i.m_strAge = strValue;
            break;
        case 3:
            i.m_strSex = strValue;
            break;
        case 4:
            i.m_strHeight = strValue;
            break;
        case 5:
            i.m_strWeight = strValue;
            break;
        case 6:
            if (c == 'B' || c == 'C' || c == 'O') {
                i.m_cRace = c;
            }
            break;
        case 7:
            if (c == 'Y' || c == 'N') {
                i.m_cSmoker = c;
            }
            break;
        case 8:
            i.m_strSmokeYears = strValue;
            break;
        case 9:
            // Every amount the code table names, "Half pack/day" included.
            if (c == 'M' || c == 'O' || c == 'Q' || c == 'T' || c == 'H') {
                i.m_cSmokePack = c;
            }
            break;
        case 10:
            i.m_strYear = strValue;
            break;
        case 11:
            i.m_strMonth = strValue;
            break;
        case 12:
            i.m_strDay = strValue;
            break;
        case 13:
            i.m_strHour = strValue;
            break;
        case 14:
            i.m_strMinute = strValue;
            break;
        case 15:
            i.m_strSecond = strValue;
            break;
        case 16:
            i.m_strHospital = strValue;
            break;
        case 17:
            i.m_strDoctor = strValue;
            break;
        case 18:
            i.m_strComment = strValue;
            break;
        case 20:
            i.m_strCompany = strValue;
            break;
        case 22:
            i.m_strDevice = strValue;
            break;
        case 28:
            i.m_strAddText = strValue;
            break;
        default:
            break;
    }
}
