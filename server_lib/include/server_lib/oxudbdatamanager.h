#pragma once
// Stores received records as database rows and, for ECG records, runs the follow-up
// steps "Oxu.ini" switches on: the JPEG gateway program, the upload to the maker's FTP
// server, the DICOM file and the DICOM store program. The records that wait are stored in
// one transaction (a record whose own rows fail is stored alone, so that it holds back no
// other); each record gets its rows once, whatever retries or resends bring (a record is
// its file's name and folder with the bytes the file held, so that a new record under a
// name freed by archiving gets rows of its own; rows an older version wrote without the
// file's digest are the ECG record whose samples their waveform holds); a record without
// patient ID gets a patient row of its own. The follow-up steps of a record run once its
// rows are in (they carry its UIDs). Used by the work thread; only Interrupt comes from
// another thread. Not copyable: it owns the FTP sender and its queue.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "oxucomm/oxucallbacks.h"
#include "oxucomm/oxufiles.h"
#include "oxudb/oxudbrows.h"

class COxuDbConnect;
class CFtpQueue;
class CFtpThread;

class OXU_EXPORT COxuDbDataManager {
public:
    COxuDbDataManager();
    virtual ~COxuDbDataManager();
    COxuDbDataManager(const COxuDbDataManager&) = delete;
    COxuDbDataManager& operator=(const COxuDbDataManager&) = delete;

    BOOL Initialize(COxuDbConnect* pConnect);
    void SetCallbackObj(COxuSocketCallback* p) { m_pCallback = p; }
    void SetLoggerObj(COxuSocketLogger* p) { m_pLogger = p; }
    void SetSendFlag(const int* p) { m_pSendFlag = p; }

    int Save(COxuEkgFile* pFile);
    int Save(COxuSpiroFile* pFile);
    // Ours: the records at once (ECG and spirometry); abDone[i] set when record i has its
    // rows and its follow-up steps ran. A record not done is owed still: the reason of
    // every failure is logged.
    void SaveAll(const std::vector<COxuBaseFile*>& apFiles, std::vector<BOOL>& abDone);
    // From any thread: while on, the work in progress gives up at once.
    void Interrupt(BOOL bOn);

    // The FTP sender's queue (paths not yet uploaded) and sender, for callers that watch.
    CFtpQueue& GetFtpQueue();
    CFtpThread& GetFtpThread();

    // Rows of one record; the waveform only for ECG.
    struct CRows {
        explicit CRows(COxuDbConnect* p)
            : patient(p), study(p), series(p), instance(p), digest(p), waveform(p) {}
        COxuDbPatient patient;
        COxuDbStudy study;
        COxuDbSeries series;
        COxuDbInstance instance;
        COxuDbInstanceDigest digest;  // written when the file's digest is known
        COxuDbWaveform waveform;
    };

    // Keys of a record's study, series and instance.
    struct CKeys {
        std::int64_t nStudy = 0, nSeries = 0, nInstance = 0;
    };

protected:
    // The rows of one record in the open transaction; FALSE with the reason logged.
    BOOL SaveDbData(CRows& rows);
    // 1 when "DICOM_CONV" is 0 (path left empty) or the file was written.
    int SaveToDicom(const CRows& rows, const COxuEkgFile& file, CString& strDicomPath);
    void SendEkgToCorvane(const CString& strPath);
    BOOL ExecuteExternalJpegGwProgram(const CString& strPath);
    BOOL ExecuteExternalDicomScuProgram(const CString& strPath);

    void Log(const CString& str);

private:
    struct CItem;
    enum class EStore { Ok, Database, Record };
    // The rows of the items in one transaction, all or none.
    EStore StoreRows(std::vector<CItem*>& apItems);
    EStore Blame() const;
    BOOL FindRows(std::vector<CItem*>& apItems);
    BOOL SaveUnknownPatient(CRows& rows, const CString& strTitle);
    void FillRows(CItem& item, const CKeys& keys, const CString& strPatientID);
    void FillEkgRows(CRows& rows, COxuEkgFile& f, const CKeys& keys, const CString& strID);
    void FillSpiroRows(CRows& rows, COxuSpiroFile& f, const CKeys& keys, const CString& strID);
    void FollowUp(CItem& item);
    void FillCommonRows(CRows& rows, const CKeys& keys, const CString& strID,
                        const CString& strName, const CString& strSex, const CString& strDate,
                        const CString& strTime, const CString& strDoctor, const CString& strKind,
                        const CString& strHospital, const COxuBaseFile& file);
    BOOL ExecuteExternal(const char* pszSwitch, const char* pszSection, const char* pszPathEmpty,
                         const char* pszFileEmpty, const CString& strPath);

    const int* m_pSendFlag = nullptr;
    COxuDbConnect* m_pConnect = nullptr;
    COxuSocketLogger* m_pLogger = nullptr;
    COxuSocketCallback* m_pCallback = nullptr;
    std::atomic<bool> m_bInterrupt{false};
    // The FTP settings from "senderinfo.cfg", the queue and the sender.
    struct CFtpParts;
    std::unique_ptr<CFtpParts> m_pFtp;
};

// SHA-256 of the file's bytes as lower-case hex; empty when the file cannot be read.
CString OxuFileDigest(const CString& strPath);

// Waveform bytes of an ECG record: the first 5000 samples of the 12 leads, interleaved by
// sample, 16-bit signed little-endian (sample k of lead j at byte 2 x (12k + j)).
std::vector<BYTE> OxuWaveformBytes(const COxuEkgFile& file);

// Writes the record's DICOM file (oxudicom.cpp); FALSE with the reason when it cannot.
BOOL OxuWriteDicom(const COxuDbDataManager::CRows& rows, const CString& strDicomPath,
                   const CString& strJpegPath, BOOL bWithJpeg, CString& strError);
