#pragma once
// Records as the socket library hands them to its work callback: an ECG record with the
// texts of its information block and 12 leads of 5100 samples, or a spirometry test with
// its fixed text fields. Both know the folder and name of the file the server stored, and
// both are read from that file (ReadOxuFile), the same way for a record just received and
// for one an earlier run left owed.
#include <array>
#include <vector>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class OXU_EXPORT COxuBaseFile {
public:
    COxuBaseFile() = default;
    virtual ~COxuBaseFile();
    virtual CString GetFileType() const { return CString(); }
    virtual int ProcessSockRecvData(const BYTE*, int) { return 0; }

    // The stored file: its folder (no trailing separator) and its name.
    void SetFilePath(const CString& strPath);
    const CString& GetFolder() const { return m_strFolder; }
    const CString& GetFileName() const { return m_strFileName; }
    CString GetFilePath() const { return m_strFolder + "/" + m_strFileName; }

    // Address of the device that sent the record.
    CString m_strPeer;

private:
    CString m_strFolder, m_strFileName;
};

class OXU_EXPORT COxuEkgFile : public COxuBaseFile {
public:
    static constexpr int kLeads = 12;
    static constexpr int kLeadSamples = 5100;

    COxuEkgFile();
    CString GetFileType() const override { return "EKG"; }

    CString& GetID() { return m_strID; }
    CString& GetStudyTime() { return m_strStudyTime; }
    CString& GetName() { return m_strName; }
    CString& GetAge() { return m_strAge; }
    CString& GetSex() { return m_strSex; }
    CString& GetWeight() { return m_strWeight; }
    CString& GetHeight() { return m_strHeight; }
    CString& GetHospital() { return m_strHospital; }
    CString& GetDoctor() { return m_strDoctor; }
    CString& GetComment() { return m_strComment; }

    // Lead 0..11 (I, II, III, aVR, aVL, aVF, V1..V6), kLeadSamples samples.
    short* GetLead(int nLead) { return m_aLeads[static_cast<std::size_t>(nLead)].data(); }
    const short* GetLead(int nLead) const {
        return m_aLeads[static_cast<std::size_t>(nLead)].data();
    }

    // Texts from the record's information block (the study time as "YYYYMMDDhhmm", empty
    // when the record carries no date); bInfo is the 10000-byte block.
    void TakeInfoBlock(const BYTE* pInfo);

    CString m_strID, m_strStudyTime, m_strName, m_strAge, m_strSex, m_strWeight, m_strHeight,
        m_strHospital, m_strDoctor, m_strComment;

private:
    std::array<std::vector<short>, kLeads> m_aLeads;
};

class OXU_EXPORT COxuSpiroFile : public COxuBaseFile {
public:
    CString GetFileType() const override { return "SPIRO"; }

    BYTE m_nTestType = 0;     // 1 FVC, 2 SVC, 3 MVV, others as the device sent them
    BYTE m_bDatePresent = 0;  // nonzero when the test carries its date
    CString m_strID, m_strName, m_strSex;
    // Test date and time as digits: year 4, month, day, hour, minute, second 2 each.
    CString m_strYear, m_strMonth, m_strDay, m_strHour, m_strMinute, m_strSecond;
    CString m_strHospital, m_strDoctor;
};

// The record file at strPath as the work callback receives it: kind "EKG" (".ekg" with
// 5000 samples a lead, ".raw" with 6000) or "SPIRO" (".fvc", ".svc", ".mvv"). strID is
// the patient ID the connection worked out, taken when the file holds none. Null with the
// reason when the file cannot be read or is no record of that kind.
COxuBaseFile* ReadOxuFile(const CString& strKind, const CString& strPath, const CString& strID,
                          CString& strError);
