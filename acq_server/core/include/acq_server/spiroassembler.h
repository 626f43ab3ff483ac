#pragma once
// Spirometry record of one device connection: the server's build of the spirometry test
// container, fed with the spirometer's legacy messages and its 0xFD frames 0xB0-0xBC, and
// written as a .fvc, .svc or .mvv test file in the working folder.
#include <ctime>
#include <memory>

#include "acq_server/acqcontext.h"
#include "platform/wintypes.h"
#include "spiro_control/spirotestfile.h"

class CSpiroAssembler : public ISpiroRecord {
public:
    CSpiroAssembler();
    ~CSpiroAssembler() override = default;
    CSpiroAssembler(const CSpiroAssembler&) = delete;
    CSpiroAssembler& operator=(const CSpiroAssembler&) = delete;

    void Reset() override;
    void AddDeviceMessage(BYTE nTag, const BYTE* pMessage, std::size_t nLength) override;
    void SetFrameHeader(int nOption, const BYTE* pFrame, std::size_t nLength) override;
    void AddFrameData(int nOption, BYTE nSubType, const BYTE* pFrame, std::size_t nLength) override;
    int GetTestType() const override { return m_file.GetTestType(); }
    // Name: patient ID, "_", record time, extension of the test type; folder by the folder
    // setting ("SPIRO" when the server keeps one folder per kind).
    BOOL Save(const CAcqContext& context, CString& strPath, CString& strPatientID, BOOL& bSame,
              CString& strReason) override;
    const CSpiroTestFile* GetTestFile() const override { return &m_file; }

    // Patient ID as it names the file: the test's 16-byte ID made safe for a file name.
    CString FilePatientID() const;
    // "%04d%02d%02d%02d%02d%02d" of the test's date and time; of tNow when the test
    // brought no date.
    CString RecordTime(std::time_t tNow) const;

private:
    CSpiroTestFile m_file;
};
