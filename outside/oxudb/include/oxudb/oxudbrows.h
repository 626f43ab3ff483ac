#pragma once
// Rows of the server library's database. Each row saves itself on its connection
// (result above 0 on success) and the keyed rows take their next free key from it. Texts
// are held in the installation code page and stored as UTF-8.
#include <cstdint>
#include <vector>

#include "oxuutil/oxuexport.h"
#include "platform/wintypes.h"

class COxuDbConnect;

namespace oxudb {
struct CDbParam;
}

// The rows a statement gave, for callers that read through a row object.
class OXU_EXPORT COxuDbCommand {
public:
    std::vector<CString> m_astrColumns;
    std::vector<std::vector<CString>> m_aRows;
};

class OXU_EXPORT COxuDbObject {
public:
    explicit COxuDbObject(COxuDbConnect* pConnect = nullptr, LPCSTR lpszTable = "");
    virtual ~COxuDbObject();
    COxuDbObject(const COxuDbObject&) = default;
    COxuDbObject& operator=(const COxuDbObject&) = default;

    const CString& GetTableName() const { return m_strTable; }
    const CString& GetLastError() const { return m_strLastError; }
    void SetLastError(const CString& str) { m_strLastError = str; }
    COxuDbCommand& GetRecordSet() { return m_command; }
    virtual int GetData(COxuDbCommand*) { return 0; }
    // Above 0 when the row was written (or, while the connection queues, sent: its
    // failure then shows at the connection's Flush).
    virtual int Save() { return 0; }

protected:
    // Takes the next free key of the counter; 0 (and the last error) on failure.
    std::int64_t NextKey(LPCSTR lpszCounter);
    // Inserts (or with a conflict column, inserts or updates) one row.
    int Write(const std::vector<const char*>& astrColumns, std::vector<oxudb::CDbParam> params,
              const char* pszConflict = nullptr);

    COxuDbConnect* m_pConnect = nullptr;
    CString m_strTable;
    CString m_strLastError;
    COxuDbCommand m_command;
};

class OXU_EXPORT COxuDbPatient : public COxuDbObject {
public:
    explicit COxuDbPatient(COxuDbConnect* pConnect = nullptr);
    // Inserts the patient, or updates the row of that ID.
    int Save() override;
    // Inserts the patient only when no row has its ID: 1 when inserted, 0 when the ID is
    // taken (also by a writer whose transaction is still open), -1 on failure.
    int SaveNew();
    CString m_strPatientID, m_strName, m_strBirthDate, m_strSex, m_strComments;
};

class OXU_EXPORT COxuDbStudy : public COxuDbObject {
public:
    explicit COxuDbStudy(COxuDbConnect* pConnect = nullptr);
    std::int64_t GetNextKey() { return NextKey("study_key"); }
    int Save() override;
    std::int64_t m_nStudyKey = 0;
    CString m_strStudyUID, m_strPatientID, m_strStudyDate, m_strStudyTime, m_strDoctor,
        m_strAccessionNo, m_strStudyType, m_strStudyDesc, m_strStudyID, m_strAge, m_strHeight,
        m_strWeight, m_strReserved1, m_strReserved2;
};

class OXU_EXPORT COxuDbSeries : public COxuDbObject {
public:
    explicit COxuDbSeries(COxuDbConnect* pConnect = nullptr);
    std::int64_t GetNextKey() { return NextKey("series_key"); }
    int Save() override;
    std::int64_t m_nSeriesKey = 0, m_nStudyKey = 0;
    int m_nSeriesNumber = 0;
    CString m_strSeriesUID, m_strPatientID, m_strModality, m_strSeriesDate, m_strSeriesTime,
        m_strBodyPart, m_strProtocol, m_strSeriesDesc, m_strSeriesType, m_strOperator,
        m_strManufacturer, m_strInstitution, m_strStation, m_strModel, m_strSoftware;
};

class OXU_EXPORT COxuDbInstance : public COxuDbObject {
public:
    explicit COxuDbInstance(COxuDbConnect* pConnect = nullptr);
    std::int64_t GetNextKey() { return NextKey("instance_key"); }
    int Save() override;
    std::int64_t m_nInstanceKey = 0, m_nSeriesKey = 0, m_nStudyKey = 0;
    int m_nInstanceNumber = 0;
    CString m_strInstanceUID, m_strDateTime, m_strDate, m_strTime, m_strFolder, m_strFileName;
};

// The digest of the bytes the instance's record file held when its rows were written.
class OXU_EXPORT COxuDbInstanceDigest : public COxuDbObject {
public:
    explicit COxuDbInstanceDigest(COxuDbConnect* pConnect = nullptr);
    int Save() override;
    std::int64_t m_nInstanceKey = 0;
    CString m_strDigest;
};

class OXU_EXPORT COxuDbWaveform : public COxuDbObject {
public:
    explicit COxuDbWaveform(COxuDbConnect* pConnect = nullptr);
    int Save() override;
    // Whether the stored waveform row of m_nInstanceKey holds m_abyData: 1 when it does, 0
    // when it holds other bytes or there is no such row, -1 on failure (the last error).
    int CompareStored();
    std::int64_t m_nInstanceKey = 0, m_nSeriesKey = 0, m_nStudyKey = 0;
    CString m_strInstanceUID, m_strOriginality, m_strInterpretation;
    int m_nChannels = 0, m_nSamples = 0, m_nFrequency = 0, m_nBitsAllocated = 0, m_nPadding = 0;
    std::vector<BYTE> m_abyData;
};
