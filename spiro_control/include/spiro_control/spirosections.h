#pragma once
// Sections of a spirometry test record: test information, measured parameters, predicted
// values and curves. Each reads itself from and writes itself into a file image of the
// length FileLength(type, format) (spirolayout.h). Texts are 8-bit in the installation
// code page.
#include <array>
#include <cstddef>

#include "platform/wintypes.h"
#include "spiro_control/spirolayout.h"

namespace spirotext {
// Text field of width nWidth: characters up to the width, stopping at the first zero byte.
CString ReadField(const BYTE* pField, std::size_t nWidth);
// At most nWidth bytes of the text (a double-byte character is not split), zero-padded.
void WriteField(BYTE* pField, std::size_t nWidth, const CString& strText);
// A parameter text of width 6 read with the C library's text-to-double conversion in the
// "C" locale (empty or no number: 0).
float ParseParam(const BYTE* pField);
// The value printed with "%.2f", cut to 6 characters, zero-padded.
void FormatParam(BYTE* pField, float fValue);
// "%.2f" of the value with a decimal point whatever the process locale.
CString TwoDecimals(double dValue);
// Little-endian and big-endian 32-bit access.
DWORD GetLE32(const BYTE* p);
void PutLE32(BYTE* p, DWORD dwValue);
DWORD GetBE32(const BYTE* p);
float FloatFromBits(DWORD dwBits);
DWORD BitsFromFloat(float fValue);
}  // namespace spirotext

// Header values, patient, date, site and interpretation texts.
class CSpiroTestInfo {
public:
    explicit CSpiroTestInfo(BOOL bServerBuild = FALSE);
    virtual ~CSpiroTestInfo() = default;
    CSpiroTestInfo(const CSpiroTestInfo&) = default;
    CSpiroTestInfo& operator=(const CSpiroTestInfo&) = default;

    void Clear();
    // Header and texts from a whole file image of nLength bytes; 0 or -8. The format
    // index is taken from the header (version byte 5: format 0).
    short Read(const BYTE* pImage, DWORD nLength);
    // Lays header, information, date, site and interpretation texts into a zeroed image
    // of FileLength(type, format) bytes.
    short Write(BYTE* pImage, DWORD nLength) const;

    // Weight text as it comes from a file or a device: a final "L" (either case) is
    // removed and sets the pound flag.
    void TakeWeight(const CString& strWeight);
    // The weight as stored in a file: with its "L" when the pound flag is set.
    CString StoredWeight() const;

    CString GetRaceString() const;
    CString GetSmokeString() const;
    CString GetSmokePackString() const;
    CString GetAnalysisString() const;
    CString GetAnalysisStringPost() const;
    void SetUnit(short nUnit) { m_nUnit = nUnit; }

    BOOL IsServerBuild() const { return m_bServerBuild; }

    signed char m_nTestType = 0;
    signed char m_nTrials = 0;
    signed char m_nBestTrial = 1;
    BYTE m_nPostTrials = 0;
    BYTE m_nPostBestTrial = 1;
    BYTE m_nFormat = 2;
    // Header byte 6: the formula index of the last 0xB1 frame (kept as read from a file).
    BYTE m_nFormulaByte = 0;

    CString m_strID, m_strName, m_strAddText, m_strAge, m_strSex, m_strHeight, m_strWeight;
    short m_nUnit = 0;
    char m_cRace = 0, m_cSmoker = 0, m_cSmokePack = 0;
    CString m_strSmokeYears;
    CString m_strYear, m_strMonth, m_strDay, m_strHour, m_strMinute, m_strSecond;
    CString m_strHospital, m_strDoctor, m_strComment;
    CString m_strAnalysis, m_strAnalysisPost;
    CString m_strCompany, m_strDevice;
    BOOL m_bPound = FALSE;

private:
    BOOL m_bServerBuild = FALSE;
};

// Measured parameters and the label tables.
class CSpiroParamTable {
public:
    static constexpr int kFvcRows = 15;
    static constexpr int kFvcColumns = 12;
    static constexpr int kSvcRows = 5;
    static constexpr int kSvcColumns = 4;
    static constexpr int kMvvValues = 3;
    static constexpr int kEcodeTrials = 8;
    static constexpr int kEcodeWidth = 3;

    explicit CSpiroParamTable(BOOL bServerBuild = FALSE);
    virtual ~CSpiroParamTable() = default;
    CSpiroParamTable(const CSpiroParamTable&) = default;
    CSpiroParamTable& operator=(const CSpiroParamTable&) = default;

    void Clear();
    // By test type and format index: 0, -10 (unknown type), -11 (format 0 heads missing)
    // or -21 (format index outside 0..2).
    short Read(const BYTE* pImage, DWORD nLength, int nType, int nFormat);
    short Write(BYTE* pImage, DWORD nLength, int nType, int nFormat) const;

    // Row count by test type and format index; the server's build answers 10 for the FVC
    // types in every format.
    static short GetParamCount(short nTestType, short nFormat, BOOL bServerBuild = FALSE);
    short ParamCount(short nTestType, short nFormat) const {
        return GetParamCount(nTestType, nFormat, m_bServerBuild);
    }
    static short GetParamDepth(short nTestType);
    static CString GetParamLabelString(short nTestType, short nRow);
    static CString GetParamUnitString(short nTestType, short nRow);
    static CString GetMeasureString(short nTestType, short nColumn);
    // Stored column of a type-5 display column; -1 outside 0..11.
    static int StoredColumnOfType5(int nDisplayColumn);

    float GetParam(short nTestType, short nRow, short nColumn) const;
    short SetParam(short nTestType, short nRow, short nColumn, float fValue);
    // Character of the trial error-code fields (trials 0-3 base, 4-7 post; position 0-2);
    // 0 outside the fields.
    char GetEcode(short nTrial, short nPosition) const;
    // 0 for '0', 1 for '1', -1 for anything else (the control's answer).
    short GetEcodeValue(short nTrial, short nPosition) const;

    std::array<std::array<float, kFvcColumns>, kFvcRows> m_afFvc{};  // [row][stored column]
    std::array<std::array<float, kSvcColumns>, kSvcRows> m_afSvc{};
    std::array<float, kMvvValues> m_afMvv{};
    std::array<std::array<char, kEcodeWidth>, kEcodeTrials> m_acEcode{};

private:
    BOOL m_bServerBuild = FALSE;
};

// Predicted values and sample counts: 47 32-bit slots numbered 1..47; 1-21 integers
// (sample counts), 22-47 floats.
class CSpiroPredictData {
public:
    static constexpr int kSlots = 47;
    // Samples of one trial's curve: FVC kind-1 or kind-2 curve, SVC curve, MVV curve.
    static constexpr LONG kFvcTrialSamples = 1500;
    static constexpr LONG kSvcTrialSamples = 8000;

    CSpiroPredictData() { Clear(); }
    virtual ~CSpiroPredictData() = default;
    CSpiroPredictData(const CSpiroPredictData&) = default;
    CSpiroPredictData& operator=(const CSpiroPredictData&) = default;

    void Clear();
    // By test type and format index: 0, -12 (tags missing), -21 (format index outside 0..2).
    short Read(const BYTE* pImage, DWORD nLength, int nType, int nFormat);
    short Write(BYTE* pImage, DWORD nLength, int nType, int nFormat) const;

    LONG GetInt(int nSlot) const;
    float GetFloat(int nSlot) const;
    void SetFloat(int nSlot, float fValue);
    // Sample counts are kept within the curve they count: 0..1500 for slots 1-18,
    // 0..8000 for slots 19-21.
    void SetCount(int nSlot, LONG nCount);
    static LONG CountLimit(int nSlot);

    // Predicted value of a graph parameter (test type 1: 0..15; types 4 and 5: 0..14).
    float GetPredicted(short nTestType, short nParam) const;

private:
    // Raw 32-bit slot words, index 1..47 (0 unused).
    std::array<DWORD, kSlots + 1> m_adwSlot{};
};

// The curve areas, 32-bit little-endian samples as they arrived.
class CSpiroCurveData {
public:
    static constexpr DWORD kFvcAreaSize =
        36000;  // kind-1 trials at 0, 6000, 12000; kind-2 from 18000
    static constexpr DWORD kFvcRunSize = 18000;
    static constexpr DWORD kFvcTrialSize = 6000;
    static constexpr DWORD kSvcAreaSize = 96000;
    static constexpr DWORD kSvcTrialSize = 32000;
    static constexpr DWORD kMvvAreaSize = 9600;

    enum EArea { kBase = 0, kSvc = 1, kMvv = 2, kPost = 3 };

    CSpiroCurveData() = default;
    virtual ~CSpiroCurveData() = default;
    CSpiroCurveData(const CSpiroCurveData&) = default;
    CSpiroCurveData& operator=(const CSpiroCurveData&) = default;

    void Clear();
    // By test type and format index: 0, -10 (unknown type), -21 (format index).
    short Read(const BYTE* pImage, DWORD nLength, int nType, int nFormat);
    short Write(BYTE* pImage, DWORD nLength, int nType, int nFormat) const;

    BYTE* Area(EArea eArea);
    const BYTE* Area(EArea eArea) const;
    static DWORD AreaSize(EArea eArea);
    // Copies nBytes to the area at nOffset, as much of it as lies inside
    // [nRunStart, nRunStart + nRunSize) of the area; the number of bytes stored.
    DWORD Store(EArea eArea, DWORD nRunStart, DWORD nRunSize, long long nOffset, const BYTE* pData,
                DWORD nBytes);

    // Sample access, 0 outside the areas. Kind 1 or 2, trial 0..2.
    float GetFvcSample(BOOL bPost, int nKind, int nTrial, LONG nIndex) const;
    float GetSvcSample(int nTrial, LONG nIndex) const;
    float GetMvvSample(LONG nIndex) const;
    DWORD GetWord(EArea eArea, DWORD nByteOffset) const;

private:
    std::array<BYTE, kFvcAreaSize> m_abBase{};
    std::array<BYTE, kSvcAreaSize> m_abSvc{};
    std::array<BYTE, kMvvAreaSize> m_abMvv{};
    std::array<BYTE, kFvcAreaSize> m_abPost{};
};
