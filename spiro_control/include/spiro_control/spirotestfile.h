#pragma once
// One spirometry test in memory: filled from a test file, or message by message from a
// spirometer (legacy tagged messages, and in the server the 0xFD frames 0xB0-0xBC), and
// written as a test file. One caller at a time; no lock.
#include <array>
#include <cstddef>
#include <vector>

#include "ecg_control/globalbuffer.h"
#include "platform/wintypes.h"
#include "spiro_control/spirolayout.h"
#include "spiro_control/spirosections.h"

class CSpiroTestFile {
public:
    // Frame counters of the server: 0xB3, 0xB4, 0xB5, 0xB6, 0xB8, 0xBA.
    static constexpr int kFrameCounters = 6;

    // bServerBuild selects the server's behaviour: device text "Spirometer Ver 1.16",
    // 10 FVC rows in every format, no additional text in the file, hospital and doctor
    // always as text 16, the formula index in header byte 6.
    explicit CSpiroTestFile(BOOL bServerBuild = FALSE);
    virtual ~CSpiroTestFile() = default;
    CSpiroTestFile(const CSpiroTestFile&) = delete;
    CSpiroTestFile& operator=(const CSpiroTestFile&) = delete;

    // Every section cleared and the buffer freed; the counters keep their values.
    void Clear();
    // Clear, then every counter to 0; done for every new test.
    void Reset();
    // Reads and checks a test file; nType 0 accepts any test type. The test type 1..5 or
    // a negative error code (spirolayout.h); on error the record is cleared.
    short Open(const CString& strPath, short nType);
    // Writes the record in its format index; 0 or a negative error code. The file is
    // written beside the target and renamed over it, so a failed save keeps the old file.
    short Save(const CString& strPath);
    // The file image Save would write (empty and the error code on failure).
    short MakeImage(std::vector<BYTE>& abImage) const;
    // Lays the record into a zeroed image of at least FileLength(type, format) bytes.
    short LayImage(BYTE* pImage, DWORD nLength) const;

    // One legacy device message: tag (low byte used), the whole message (tag byte, length
    // byte, data) and the number of bytes available at pMessage. Bytes the message does
    // not hold read as 0; stores never leave their areas.
    void AddDeviceMessage(int nTag, const BYTE* pMessage, int nLength);
    // One 0xFD frame message (tags 0xB0-0xBC; data from byte 4; curve data = nFrameLength
    // - 8 bytes). nVariant 1..3 selects the hospital and doctor layout of 0xB0; frames
    // shorter than 8 bytes are ignored.
    void AddFrameMessage(int nVariant, int nTag, const BYTE* pFrame, int nFrameLength);

    // Test type 1: 0; types 2, 3 and others: -1; types 4, 5: predicted slot 45 rounded.
    LONG GetFormulaIndex() const;
    CString GetFormulaString() const;
    static CString FormulaName(LONG nIndex);

    // Information by kind (the control's GetInformation / SetInformation).
    CString GetInformation(short nKind) const;
    void SetInformation(short nKind, const CString& strValue);

    short GetTestType() const { return m_Info.m_nTestType; }
    short GetFormat() const { return m_Info.m_nFormat; }
    BOOL IsServerBuild() const { return m_bServerBuild; }
    LONG GetMessageCounter() const { return m_nCounter; }
    LONG GetFrameCounter(int n) const {
        return n >= 0 && n < kFrameCounters ? m_anFrameCounter[n] : 0;
    }

    CSpiroTestInfo m_Info;
    CSpiroParamTable m_Param;
    CSpiroPredictData m_Predict;
    CSpiroCurveData m_Curve;

private:
    short ReadImage(const BYTE* pImage, DWORD nRead, DWORD nFileLength, short nType);
    void StoreCurve(CSpiroCurveData::EArea eArea, DWORD nRunStart, DWORD nRunSize, LONG& nCounter,
                    const BYTE* pData, DWORD nBytes, DWORD nStride);

    BOOL m_bServerBuild = FALSE;
    CGlobalBuffer m_Buffer;
    LONG m_nCounter = 0;
    std::array<LONG, kFrameCounters> m_anFrameCounter{};
};
