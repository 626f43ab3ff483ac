#include "server_lib/oxudbdatamanager.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <cstdlib>

#include "acq_server/ftp/ftpinfofile.h"
#include "acq_server/ftp/ftpqueue.h"
#include "acq_server/ftp/ftpthread.h"
#include "oxudb/oxudbconnect.h"
#include "oxudb/oxudbuidgen.h"
#include "oxudb/sqlquery.h"
#include "platform/atomicfile.h"
#include "platform/format.h"
#include "server_lib/oxuserversetting.h"

using platform::Format;

namespace {

constexpr int kWaveSamples = 5000;

bool IsFile(const CString& strPath) {
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

CString OxuFileDigest(const CString& strPath) {
    std::string strBytes;
    unsigned char abyDigest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    if (!platform::ReadWholeFile(strPath, strBytes))
        return CString();
    if (!EVP_Digest(strBytes.data(), strBytes.size(), abyDigest, &nDigest, EVP_sha256(), nullptr))
        return CString();
    CString strHex;
    for (unsigned int i = 0; i < nDigest; ++i)
        strHex += Format("%02x", abyDigest[i]);
    return strHex;
}

std::vector<BYTE> OxuWaveformBytes(const COxuEkgFile& file) {
    std::vector<BYTE> aby(static_cast<std::size_t>(COxuEkgFile::kLeads) * kWaveSamples * 2);
    std::size_t n = 0;
    for (int k = 0; k < kWaveSamples; ++k)
        for (int j = 0; j < COxuEkgFile::kLeads; ++j) {
            const auto v = static_cast<std::uint16_t>(file.GetLead(j)[k]);
            aby[n++] = static_cast<BYTE>(v & 0xFF);
            aby[n++] = static_cast<BYTE>(v >> 8);
        }
    return aby;
}

struct COxuDbDataManager::CFtpParts {
    CFtpInfoFile info;
    CFtpQueue queue;
    CFtpThread thread{queue, info};
};

COxuDbDataManager::COxuDbDataManager() : m_pFtp(std::make_unique<CFtpParts>()) {
    m_pFtp->info.Load((CIniFile::HomeFolder() + "senderinfo.cfg").c_str());
    m_pFtp->thread.SetLog([this](const CString& str) { Log(str); });
}

COxuDbDataManager::~COxuDbDataManager() {
    m_pFtp->thread.Stop();  // joined before the log it writes to goes
}

CFtpQueue& COxuDbDataManager::GetFtpQueue() {
    return m_pFtp->queue;
}

CFtpThread& COxuDbDataManager::GetFtpThread() {
    return m_pFtp->thread;
}

BOOL COxuDbDataManager::Initialize(COxuDbConnect* pConnect) {
    m_pConnect = pConnect;
    return pConnect != nullptr;
}

void COxuDbDataManager::Log(const CString& str) {
    if (m_pLogger)
        m_pLogger->Log("%s", str.c_str());
}

// One record of a batch: its file, its rows and where it stands.
struct COxuDbDataManager::CItem {
    CItem(COxuBaseFile* p, COxuDbConnect* pConnect)
        : pFile(p),
          bEkg(p->GetFileType() == "EKG"),
          strDigest(OxuFileDigest(p->GetFilePath())),
          rows(pConnect) {}
    COxuBaseFile* pFile;
    bool bEkg;
    CString strDigest;  // of the file's bytes; empty when it cannot be read
    CRows rows;
    bool bExisting = false;  // the record had its rows already (a retry or a resend)
    CKeys keys;
    CString strPatientID;  // of the rows found
    bool bStored = false;
};

void COxuDbDataManager::FillCommonRows(CRows& r, const CKeys& keys, const CString& strID,
                                       const CString& strName, const CString& strSex,
                                       const CString& strDate, const CString& strTime,
                                       const CString& strDoctor, const CString& strKind,
                                       const CString& strHospital, const COxuBaseFile& file) {
    const COxuDbUIDGen uid(m_pConnect);
    r.patient.m_strPatientID = strID;
    r.patient.m_strName = strName;
    r.patient.m_strSex = strSex.substr(0, 1);

    r.study.m_nStudyKey = keys.nStudy;
    r.study.m_strStudyUID = uid.GenStudyUID(r.study.m_nStudyKey);
    r.study.m_strPatientID = strID;
    r.study.m_strStudyDate = strDate;
    r.study.m_strStudyTime = strTime;
    r.study.m_strDoctor = strDoctor;
    r.study.m_strStudyType = strKind;

    r.series.m_nSeriesKey = keys.nSeries;
    r.series.m_strSeriesUID = uid.GenSeriesUID(r.study.m_nStudyKey, r.series.m_nSeriesKey);
    r.series.m_nStudyKey = r.study.m_nStudyKey;
    r.series.m_strPatientID = strID;
    r.series.m_strModality = "ECG";
    r.series.m_nSeriesNumber = 1;
    r.series.m_strSeriesDate = strDate;
    r.series.m_strSeriesTime = strTime;
    r.series.m_strManufacturer = "Corvane Co., Ltd.";
    r.series.m_strInstitution = strHospital;
    r.series.m_strSoftware = "OXU Net Server 1.0.1";

    r.instance.m_nInstanceKey = keys.nInstance;
    r.instance.m_strInstanceUID = uid.GenInstanceUID(
        r.study.m_nStudyKey, r.series.m_nSeriesKey, r.instance.m_nInstanceKey);
    r.instance.m_nSeriesKey = r.series.m_nSeriesKey;
    r.instance.m_nStudyKey = r.study.m_nStudyKey;
    r.instance.m_nInstanceNumber = 1;
    r.instance.m_strDateTime = strDate + strTime;
    r.instance.m_strDate = strDate;
    r.instance.m_strTime = strTime;
    r.instance.m_strFolder = file.GetFolder();
    r.instance.m_strFileName = file.GetFileName();
    r.digest.m_nInstanceKey = r.instance.m_nInstanceKey;
}

void COxuDbDataManager::FillEkgRows(CRows& rows, COxuEkgFile& f, const CKeys& keys,
                                    const CString& strID) {
    CString strDate, strTime;
    if (f.GetStudyTime().size() == 12) {
        strDate = f.GetStudyTime().substr(0, 8);
        strTime = f.GetStudyTime().substr(8, 4);
    }
    FillCommonRows(rows, keys, strID, f.GetName(), f.GetSex(), strDate, strTime, f.GetDoctor(),
                   "EKG", f.GetHospital(), f);
    rows.study.m_strAge = f.GetAge();
    rows.study.m_strHeight = f.GetHeight();
    rows.study.m_strWeight = f.GetWeight();
    rows.series.m_strSeriesDesc = "EKG";
    rows.series.m_strSeriesType = "EKG";
    rows.series.m_strStation = "EKG";
    rows.series.m_strModel = "EKG ####";

    COxuDbWaveform& w = rows.waveform;
    w.m_nInstanceKey = rows.instance.m_nInstanceKey;
    w.m_strInstanceUID = rows.instance.m_strInstanceUID;
    w.m_nSeriesKey = rows.series.m_nSeriesKey;
    w.m_nStudyKey = rows.study.m_nStudyKey;
    w.m_strOriginality = "ORIGIN";
    w.m_nChannels = COxuEkgFile::kLeads;
    w.m_nSamples = kWaveSamples;
    w.m_nFrequency = 500;
    w.m_nBitsAllocated = 16;
    w.m_strInterpretation = "SS";
    w.m_nPadding = 0;
    w.m_abyData = OxuWaveformBytes(f);
}

void COxuDbDataManager::FillSpiroRows(CRows& rows, COxuSpiroFile& f, const CKeys& keys,
                                      const CString& strID) {
    CString strDate, strTime;
    if (f.m_bDatePresent) {
        auto n = [](const CString& s) { return std::atoi(s.c_str()); };
        strDate = Format("%04d%02d%02d", n(f.m_strYear), n(f.m_strMonth), n(f.m_strDay));
        strTime = Format("%02d%02d%02d", n(f.m_strHour), n(f.m_strMinute), n(f.m_strSecond));
    }
    const char* apszType[] = {"", "FVC", "SVC", "MVV"};
    const CString strType = f.m_nTestType >= 1 && f.m_nTestType <= 3 ? apszType[f.m_nTestType] : "";
    FillCommonRows(rows, keys, strID, f.m_strName, f.m_strSex, strDate, strTime, f.m_strDoctor,
                   strType, f.m_strHospital, f);
    rows.series.m_strSeriesDesc = "SPIRO";
    rows.series.m_strSeriesType = "SPIRO";
    rows.series.m_strStation = "SPIRO";
    rows.waveform.m_nInstanceKey = 0;  // no waveform row
}

void COxuDbDataManager::FillRows(CItem& item, const CKeys& keys, const CString& strPatientID) {
    if (item.bEkg)
        FillEkgRows(item.rows, *static_cast<COxuEkgFile*>(item.pFile), keys, strPatientID);
    else
        FillSpiroRows(item.rows, *static_cast<COxuSpiroFile*>(item.pFile), keys, strPatientID);
    item.rows.digest.m_strDigest = item.strDigest;
}

int COxuDbDataManager::Save(COxuEkgFile* pFile) {
    std::vector<BOOL> abDone(1, FALSE);
    SaveAll({pFile}, abDone);
    return abDone[0];
}

int COxuDbDataManager::Save(COxuSpiroFile* pFile) {
    std::vector<BOOL> abDone(1, FALSE);
    SaveAll({pFile}, abDone);
    return abDone[0];
}

void COxuDbDataManager::Interrupt(BOOL bOn) {
    m_bInterrupt = bOn != FALSE;
    if (m_pConnect)
        m_pConnect->Interrupt(bOn);
}

void COxuDbDataManager::SaveAll(const std::vector<COxuBaseFile*>& apFiles,
                                std::vector<BOOL>& abDone) {
    abDone.assign(apFiles.size(), FALSE);
    if (!m_pConnect) {
        Log("\n COxuDbDataManager::Save(): DB Connect is NULL");
        return;
    }
    if (!m_pConnect->Reconnect()) {
        Log("Fail to connect the database: " + m_pConnect->GetLastError());
        return;
    }
    std::vector<std::unique_ptr<CItem>> aItems;
    std::vector<CItem*> apItems;
    for (COxuBaseFile* pFile : apFiles) {
        aItems.push_back(std::make_unique<CItem>(pFile, m_pConnect));
        apItems.push_back(aItems.back().get());
    }
    // A record whose own rows fail must not hold back the others: then each goes alone.
    if (StoreRows(apItems) == EStore::Record && apItems.size() > 1)
        for (CItem* pItem : apItems) {
            std::vector<CItem*> one{pItem};
            if (StoreRows(one) == EStore::Database)
                break;
        }
    for (std::size_t i = 0; i < aItems.size(); ++i) {
        CItem& item = *aItems[i];
        if (!item.bStored || m_bInterrupt)
            continue;
        if (item.bEkg)
            FollowUp(item);
        abDone[i] = TRUE;
    }
}

// The rows the records have already, all in one query (a retry or a resend): rows of the
// file's name and folder whose digest is the file's. Where the digest cannot tell (rows an
// older version wrote have none, a file may not be readable), an ECG record is the one
// whose samples the waveform row holds, and a spirometry test, with nothing more to tell
// it by, the one of its name and folder.
BOOL COxuDbDataManager::FindRows(std::vector<CItem*>& apItems) {
    CString strSql =
        "SELECT i.file_name, i.file_folder, i.study_key, i.series_key, i.instance_key, "
        "s.patient_id, f.file_digest FROM instance i JOIN study s ON s.study_key = i.study_key "
        "LEFT JOIN instance_digest f ON f.instance_key = i.instance_key WHERE i.file_name IN (";
    CStringArray astrNames;
    for (CItem* pItem : apItems) {
        strSql += (astrNames.empty() ? "$" : ", $") + std::to_string(astrNames.size() + 1);
        astrNames.push_back(pItem->pFile->GetFileName());
        pItem->bExisting = false;
    }
    strSql += ") ORDER BY i.instance_key";  // the first rows of a record are the ones kept
    CSQLQuery query(m_pConnect);
    if (!query.Open(strSql.c_str(), astrNames)) {
        Log("Fail to look up the records' rows (" + query.GetLastError() + ")");
        return FALSE;
    }
    std::vector<bool> abByDigest(apItems.size(), false);
    for (query.MoveFirst(); !query.IsEOF(); query.MoveNext())
        for (std::size_t n = 0; n < apItems.size(); ++n) {
            CItem& item = *apItems[n];
            if (item.pFile->GetFileName() != query.GetValue(0) ||
                item.pFile->GetFolder() != query.GetValue(1) || abByDigest[n])
                continue;
            const CString strDigest = query.GetValue(6);
            const std::int64_t nInstance = std::atoll(query.GetValue(4).c_str());
            const bool bSameBytes = !strDigest.empty() && strDigest == item.strDigest;
            if (!bSameBytes) {
                if (item.bExisting || (!strDigest.empty() && !item.strDigest.empty()))
                    continue;
                if (item.bEkg) {
                    COxuDbWaveform wave(m_pConnect);
                    wave.m_nInstanceKey = nInstance;
                    wave.m_abyData = OxuWaveformBytes(*static_cast<COxuEkgFile*>(item.pFile));
                    const int nSame = wave.CompareStored();
                    if (nSame < 0) {
                        Log("Fail to look up the records' rows (" + wave.GetLastError() + ")");
                        return FALSE;
                    }
                    if (nSame == 0)
                        continue;  // another record that had this name
                }
            }
            abByDigest[n] = bSameBytes;
            item.bExisting = true;
            item.keys.nStudy = std::atoll(query.GetValue(2).c_str());
            item.keys.nSeries = std::atoll(query.GetValue(3).c_str());
            item.keys.nInstance = nInstance;
            item.strPatientID = query.GetValue(5);
        }
    return TRUE;
}

COxuDbDataManager::EStore COxuDbDataManager::StoreRows(std::vector<CItem*>& apItems) {
    if (!m_pConnect->BeginTransaction()) {
        Log("Fail to begin a database transaction: " + m_pConnect->GetLastError());
        return EStore::Database;
    }
    auto fail = [&](const CString& str, EStore e) {
        Log(str);
        m_pConnect->Rollback();
        for (CItem* pItem : apItems)
            pItem->bExisting = false;
        return e;
    };
    if (!FindRows(apItems))
        return fail("The records wait for the database", EStore::Database);
    int nNew = 0;
    for (CItem* pItem : apItems)
        nNew += pItem->bExisting ? 0 : 1;
    // The keys of all new records in one statement per counter.
    CKeys first;
    if (nNew > 0) {
        first.nStudy = m_pConnect->TakeKeys("study_key", nNew);
        first.nSeries = first.nStudy ? m_pConnect->TakeKeys("series_key", nNew) : 0;
        first.nInstance = first.nSeries ? m_pConnect->TakeKeys("instance_key", nNew) : 0;
        if (!first.nInstance)
            return fail("Fail to take the keys of the records: " + m_pConnect->GetLastError(),
                        EStore::Database);
    }
    // The rows go out without waiting for each answer (the server works while the next
    // are made); a failure shows at the latest at the flush.
    m_pConnect->SetQueueing(TRUE);
    int k = 0;
    for (CItem* pItem : apItems) {
        CItem& item = *pItem;
        if (item.bExisting) {
            FillRows(item, item.keys, item.strPatientID);
            continue;
        }
        const CKeys keys{first.nStudy + k, first.nSeries + k, first.nInstance + k};
        ++k;
        CString strID = item.bEkg ? static_cast<COxuEkgFile*>(item.pFile)->GetID()
                                  : static_cast<COxuSpiroFile*>(item.pFile)->m_strID;
        FillRows(item, keys, strID);
        if (!SaveDbData(item.rows)) {
            m_pConnect->SetQueueing(FALSE);
            return fail("The rows of " + item.pFile->GetFilePath() + " were not saved", Blame());
        }
    }
    m_pConnect->SetQueueing(FALSE);
    if (!m_pConnect->Flush())
        return fail("Fail to save the records' rows (" + m_pConnect->GetLastError() + ")", Blame());
    if (!m_pConnect->Commit()) {
        Log("Fail to commit the records' data: " + m_pConnect->GetLastError());
        for (CItem* pItem : apItems)
            pItem->bExisting = false;
        return EStore::Database;
    }
    Log("Success to save all data");
    for (CItem* pItem : apItems)
        pItem->bStored = true;
    return EStore::Ok;
}

// A failure of the record's own values (a constraint, a value that does not fit) is the
// record's; any other is the database's (locked, away, interrupted).
COxuDbDataManager::EStore COxuDbDataManager::Blame() const {
    return m_pConnect->IsDataError() ? EStore::Record : EStore::Database;
}

// A record without patient ID gets a patient of its own, named after its record file: the
// first of title, title_2, title_3, ... that no patient row holds yet.
BOOL COxuDbDataManager::SaveUnknownPatient(CRows& rows, const CString& strTitle) {
    for (int n = 1; n <= 1000; ++n) {
        const CString strID = n == 1 ? strTitle : strTitle + "_" + std::to_string(n);
        rows.patient.m_strPatientID = strID;
        const int nResult = rows.patient.SaveNew();
        if (nResult < 0)
            return FALSE;
        if (nResult > 0) {
            rows.study.m_strPatientID = rows.series.m_strPatientID = strID;
            return TRUE;
        }
    }
    rows.patient.SetLastError("No free patient ID for " + strTitle);
    return FALSE;
}

BOOL COxuDbDataManager::SaveDbData(CRows& rows) {
    const struct {
        COxuDbObject* pRow;
        const char* pszFail;
    } steps[] = {{&rows.patient, "Fail to save Patient data"},
                 {&rows.study, "Fail to save Study data"},
                 {&rows.series, "Fail to save Series data"},
                 {&rows.instance, "Fail to save Instance data"},
                 {&rows.digest, "Fail to save Instance data"},
                 {&rows.waveform, "Fail to save Waveform data"}};
    for (const auto& step : steps) {
        if (step.pRow == &rows.digest && rows.digest.m_strDigest.empty())
            continue;  // the file could not be read: it is told by its name
        if (step.pRow == &rows.waveform && rows.waveform.m_nInstanceKey <= 0)
            break;
        BOOL bSaved = FALSE;
        if (step.pRow == &rows.patient && rows.patient.m_strPatientID.empty()) {
            const CString& strName = rows.instance.m_strFileName;
            bSaved = SaveUnknownPatient(rows, strName.substr(0, strName.rfind('.')));
        } else {
            bSaved = step.pRow->Save() > 0;
        }
        if (!bSaved) {
            Log(CString(step.pszFail) + " (" + step.pRow->GetLastError() + ")");
            return FALSE;
        }
    }
    return TRUE;
}

void COxuDbDataManager::FollowUp(CItem& item) {
    // The steps after the rows: each runs whatever the one before it gave.
    const COxuEkgFile& f = *static_cast<const COxuEkgFile*>(item.pFile);
    const CString strPath = f.GetFilePath();
    ExecuteExternalJpegGwProgram(strPath);
    if (m_pSendFlag && *m_pSendFlag == 1)
        SendEkgToCorvane(strPath);
    CString strDicom;
    if (SaveToDicom(item.rows, f, strDicom) == 1) {
        if (strDicom.empty()) {
            // Nothing was converted: there is no file to store.
            if (COxuServerSetting().GetDicomSend() != 0)
                Log("DICOM file was not made (DICOM_CONV is 0): the store program is not started");
        } else {
            ExecuteExternalDicomScuProgram(strDicom);
        }
    }
}

void COxuDbDataManager::SendEkgToCorvane(const CString& strPath) {
    if (!IsFile(strPath))
        return;
    m_pFtp->thread.StartFtpUpload(strPath.c_str());
}
