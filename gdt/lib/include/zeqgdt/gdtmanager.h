#pragma once
// The GDT exchange: orders the practice software leaves in the exchange folder are taken
// one at a time into the temp folder, and results with their attachments go back.
#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

#include "zeqgdt/gdtdefs.h"
#include "zeqgdt/netdrive.h"

class ZEQGDT_API CGDTManager {
public:
    struct PatientInfo {
        CString strID, strLastName, strFirstName;
        int nYear = 0, nMonth = 0, nDay = 0;
        eGENDER eGender = GENDER_NONE;
        double dHeight = 0, dWeight = 0;
    };
    struct SoftwareInfo {
        CString strMaker, strName, strVersion;
    };
    struct TestInfo {
        eDEVICE eDevice = DEVICE_NONE;
        int nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0, nSecond = 0;
    };
    struct TestItem {
        CString strTestID;
        double dValue = 0, dStandard = 0, dLow = 0, dHigh = 0;
        CString strUnit;
    };
    struct AttachFile {
        CString strFormat, strDescription, strSourcePath;
    };

    CGDTManager();
    virtual ~CGDTManager();
    CGDTManager(const CGDTManager&) = delete;
    CGDTManager& operator=(const CGDTManager&) = delete;

    int GetNewOrder(CString& strExt, CString& strOrderName, CString& strPatientID,
                    CString& strLastName, CString& strFirstName, int& nBirthYear, int& nBirthMonth,
                    int& nBirthDay, eGENDER& eGender, double& dHeight, double& dWeight,
                    CString& strDeviceCode, int nReserved);
    void SetOrderSendResult(const CString& strExt, int bAccepted);
    void Clear();
    void SetPatientInfo(const CString& strID, const CString& strLastName, const CString& strFirstName,
                        int nYear, int nMonth, int nDay, eGENDER eGender, double dHeight, double dWeight);
    void SetSoftwareInfo(const CString& strMaker, const CString& strName, const CString& strVersion);
    void SetTestInfo(eDEVICE eDevice, int nYear, int nMonth, int nDay, int nHour, int nMinute,
                     int nSecond);
    void AddTest(const CString& strTestID, double dValue, double dStandard, double dLow, double dHigh,
                 const CString& strUnit);
    void AddFiles(const CString& strFormat, const CString& strDescription, const CString& strSourcePath);
    void AddComment(const CString& strText);
    void AddResultsText(const CString& strText);
    int MakeResultData(const CString& strExt);
    int UpdateResultFiles();
    int VerifyShareFolder();
    int VerifyShareFolder(const CString& strPath, const CString& strUser, const CString& strPassword);

    static int RemoveAllFiles();
    static CString GetLocalFileTitle();
    static CString GetRemoteFileTitle();
    static void GetConfig(CString& strSharePath, CString& strUser, CString& strPassword,
                          CString& strReceiverName, CString& strSenderName,
                          CString& strReceiverShortName, CString& strSenderShortName,
                          CString& strDateFormat);
    static void SetConfig(CString strSharePath, CString strUser, CString strPassword,
                          CString strReceiverName, CString strSenderName,
                          CString strReceiverShortName, CString strSenderShortName,
                          CString strDateFormat);

private:
    CString FindNewOrder();
    void RemoveAllWaitOrderLists();
    // TRUE when the share's order file is whole: its record length is its size, or its size
    // held still across looks for a while.
    BOOL IsOrderWhole(const CString& strName, const CString& strPath);
    // An order that would not load is offered again once its file in the share changed.
    void RetryStuckOrders();
    static CString GetAttachClassfyName(int nIndex);

    std::vector<PatientInfo> m_patient;
    std::vector<SoftwareInfo> m_software;
    std::vector<TestInfo> m_testInfo;
    std::vector<TestItem> m_tests;
    std::vector<AttachFile> m_attachments;
    CStringArray m_resultTexts;
    CStringArray m_comments;
    CNetDriveList m_netDrives;
    // Orders whose wait copy would not load, with the size their share file had then.
    std::map<CString, std::int64_t> m_stuck;
    // The order found short of whole at the last look: its size, and since when it has it.
    struct Settling {
        CString strName;
        std::int64_t nSize = -1;
        std::chrono::steady_clock::time_point since;
    } m_settling;
};
