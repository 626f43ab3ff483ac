#pragma once
// Record model of an ECG record (everything but the samples) and its 10000-byte record
// information block of tagged items. Texts are 8-bit in the installation code page.
#include <array>
#include <cstddef>
#include <vector>

#include "ecg_control/globalbuffer.h"
#include "platform/wintypes.h"

namespace ekgblock {
// Size of the record information block and the fixed places of its items.
constexpr DWORD kSize = 10000;
constexpr int kDirectory = 0;     // 0x18 0x10
constexpr int kArrayEntries = 2;  // 5 x [id "0".."4"][length]
constexpr int kStatementEntries = 12;
constexpr int kStatementEnd = 50;  // entries stop before the patient item
constexpr int kMaxStatements = (kStatementEnd - kStatementEntries) / 2;  // 19
constexpr int kMaxStatementsWritten = 50;  // what a writer that ran past 19 entries could put
constexpr int kMaxStatementLength = 254;   // 255 ends the list
constexpr int kPatient = 50;
constexpr int kPatientItemSize = 58;
constexpr int kDate = 110;
constexpr int kMisc1 = 120;  // length byte, then up to 29 bytes
constexpr int kMisc1Room = 29;
constexpr int kMisc0 = 150;  // length byte, then up to 39 bytes
constexpr int kMisc0Room = 39;
constexpr int kFilter = 190;
constexpr int kComment = 298;  // 0x62, 16-bit length, text
constexpr int kCommentRoom = 2682;
constexpr int kSurname = 2983;  // 16, then 16 bytes
constexpr int kGlobals = 3000;
constexpr int kDataArea = 3016;
constexpr int kPaceList = 4000;  // in files: the pacemaker list
constexpr int kHistory = 8999;   // 0x50, 16-bit length, text
constexpr int kHistoryRoom = 998;

constexpr BYTE kTagPatient = 0x16;
constexpr BYTE kTagDirectory = 0x18;
constexpr BYTE kTagStatement = 0x19;
constexpr BYTE kTagDate = 0x21;
constexpr BYTE kTagFilter = 0x22;
constexpr BYTE kTagAnalysisMode = 0x24;
constexpr BYTE kTagDeviceText = 0x35;
constexpr BYTE kTagPaceList = 0x37;
constexpr BYTE kTagHistory = 0x50;
constexpr BYTE kTagMorphology = 0x60;
constexpr BYTE kTagComment = 0x62;
}  // namespace ekgblock

// Turns the device's 8-bit statement text into installation code page text: the bytes
// 0xA9, 0xAA and 0xAC take the next byte as a pair. Without any pair the text is returned
// unchanged; a pair prefix with nothing behind it, or a pair that gives the code unit 0,
// ends the text.
CString DecodeDeviceText(const CString& strText);

// Patient and acquisition values of a record.
class CEkgPatientInfo {
public:
    CEkgPatientInfo() = default;
    virtual ~CEkgPatientInfo() = default;

    void Reset();
    // TRUE: encodes into the 10000-byte block; FALSE: decodes from it.
    void Serialize(BYTE* pBlock, BOOL bStore);
    void Encode(BYTE* pBlock) const;
    void Decode(const BYTE* pBlock);
    // Takes the device's 58-byte patient item (texts trimmed); FALSE when too short.
    BOOL TakeDeviceItem(const BYTE* pItem, std::size_t nLength);
    // Every text and the date; the height/weight unit is not copied.
    void CopyValuesFrom(const CEkgPatientInfo& other);

    CString m_strID, m_strName, m_strAge, m_strAgeUnit, m_strSex, m_strHeight, m_strWeight,
        m_strSurname;
    short m_nUnit = 0;  // height/weight unit character: 0 metric, 1 imperial
    // Hosts set the unit as a text: the digits "0" and "1" mean what the values 0 and 1 do.
    bool IsMetric() const { return m_nUnit == 0 || m_nUnit == '0'; }
    bool IsImperial() const { return m_nUnit == 1 || m_nUnit == '1'; }
    short m_nYear = 0, m_nMonth = 0, m_nDay = 0, m_nHour = 0, m_nMinute = 0;
    CString m_strMisc1;  // block offset 120
    CString m_strMisc0;  // block offset 150
    CString m_strHistory;
    CString m_strComment;
};

// Five per-beat position arrays, ids 0..4, values at 1-based positions.
class CEkgBeatArrays {
public:
    static constexpr int kCount = 5;
    CEkgBeatArrays() = default;
    virtual ~CEkgBeatArrays() = default;

    // Makes array nId anew with nCount zero values; FALSE for a bad id or count.
    BOOL Make(int nId, int nCount);
    void Free(int nId);
    void FreeAll();
    BOOL Set(int nId, int nPosition, short nValue);
    // Value at positions 1..count, 0 otherwise.
    short Value(int nId, int nPosition) const;
    BOOL Exists(int nId) const;
    // Value count, 0 for an absent array.
    int Count(int nId) const;

private:
    // Slot 0 holds the count; empty vector = absent array.
    std::array<std::vector<short>, kCount> m_aArrays;
};

// Company text and device name shown in report headers (not stored in the block).
class CEkgDeviceInfo {
public:
    virtual ~CEkgDeviceInfo() = default;
    CString m_strCompany = "Corvane Co., Ltd.";
    CString m_strDevice = "Pelvorn II";
};

// The record information object: its buffer is the 10000-byte record information block;
// the decoded values live in the members. Releasing or allocating the block never touches
// the values; Reset does both.
class CEkgRecordInfo : public CGlobalBuffer {
public:
    CEkgRecordInfo();
    ~CEkgRecordInfo() override;

    // Values back to a new record's (the analysis mode survives), and the block released.
    void Reset();
    // Allocates the block and encodes the current values into it.
    BOOL AllocBlock(BOOL bKeepLocked);
    // TRUE encodes the values into the block, FALSE decodes the block; FALSE without block.
    BOOL Serialize(BOOL bStore);
    // Block codec on any 10000-byte buffer.
    void Encode(BYTE* pBlock) const;
    void Decode(const BYTE* pBlock);

    // Device stream items (tag, length and data as received).
    BOOL TakeDirectoryItem(const BYTE* pItem, std::size_t nLength);  // 0x18, 18 bytes
    BOOL TakeFilterItem(const BYTE* pItem, std::size_t nLength);     // 0x22, 6 bytes
    BOOL TakeDevicePatientItem(const BYTE* pItem, std::size_t nLength) {
        return m_patient.TakeDeviceItem(pItem, nLength);
    }
    void SetDeviceText(const CString& strText) { m_strDeviceText = strText; }
    const CString& GetDeviceText() const { return m_strDeviceText; }

    // Dispatch-facing getters and setters.
    short GetRhythmParam(short nType) const;
    short GetGlobalValue(int nIndex) const { return GetRhythmParam(static_cast<short>(nIndex)); }
    void SetGlobalValue(int nIndex, short nValue);
    short GetAnalysisCnt() const;
    CString GetAnalysis(short nIndex) const;
    CString GetPatientInfo(short nType) const;
    void SetPatientInfo(short nType, const CString& strText);
    CString GetComment() const { return m_patient.m_strComment; }
    void SetComment(const CString& strText) { m_patient.m_strComment = strText; }
    void SetFilterInfo(short nAC, short nLPF, short nBF, short nMF);
    CString GetMisc(short nType) const;
    void SetMisc(short nType, const CString& strText);
    void SetTime(short nYear, short nMonth, short nDay, short nHour, short nMinute);
    CString GetTime() const;
    void SetDeviceInfo(short nMode, short, short, short) { m_nAnalysisMode = nMode; }
    void SetUnit(const CString& strText) { SetPatientInfo(7, strText); }

    // Statements.
    void AddStatement(const CString& strText) { m_astrStatements.push_back(strText); }
    CString GetStatement(int nIndex) const;
    void RemoveAllStatements() { m_astrStatements.clear(); }
    const CStringArray& GetStatements() const { return m_astrStatements; }

    // Filter item (0x22, 4, nAC, nLPF, nBF, nMF; all 0xFF before any setting).
    const std::array<BYTE, 6>& GetFilterItem() const { return m_abyFilter; }
    BOOL HasDirectory() const { return m_abyMarker[0] == ekgblock::kTagDirectory; }

    short GetAnalysisMode() const { return m_nAnalysisMode; }
    void SetAnalysisMode(short nMode) { m_nAnalysisMode = nMode; }

    CEkgPatientInfo m_patient;
    CEkgBeatArrays m_arrays;
    CEkgDeviceInfo m_deviceInfo;

private:
    void ResetValues();

    CString m_strDeviceText;
    std::array<BYTE, 2> m_abyMarker{};
    std::array<BYTE, 16> m_abyGlobals{};
    std::array<BYTE, 6> m_abyFilter{};
    CStringArray m_astrStatements;
    short m_nAnalysisMode = -1;
};

// Lead measurement block: 500 bytes, always kept locked. Byte 0 = 0x60, byte 1 = 12 in a
// block the control creates, then 12 lead records of 18 big-endian 16-bit values.
class CMorphologyTable : public CGlobalBuffer {
public:
    static constexpr DWORD kSize = 500;
    static constexpr int kLeads = 12;
    static constexpr int kValuesPerLead = 18;
    static constexpr int kKinds = 15;

    BOOL Alloc(DWORD nBytes, BOOL bKeepLocked) override;
    // 500 bytes, 0x60 0x0C, zeros.
    BOOL Create();
    // Value v (0..17) of lead 0..11; 0 without a block or outside the table.
    short Value(int nLead, int nValue) const;
    BOOL SetValue(int nLead, int nValue, short nNumber);
    // Measurement kind 0..14 of lead 0..11 (value 3 + kind); 0 otherwise.
    short GetMorphologyParam(short nType, short nCh) const;
};
