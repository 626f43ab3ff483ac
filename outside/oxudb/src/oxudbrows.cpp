#include "oxudb/oxudbrows.h"

#include "oxudb/oxudbconnect.h"
#include "oxudb/serverdb.h"
#include "platform/codepage.h"

using oxudb::CDbParam;

namespace {

CDbParam Text(const CString& str) {
    return CDbParam::Text(platform::ToUtf8(str));
}

}  // namespace

COxuDbObject::COxuDbObject(COxuDbConnect* pConnect, LPCSTR lpszTable)
    : m_pConnect(pConnect), m_strTable(lpszTable ? lpszTable : "") {}

COxuDbObject::~COxuDbObject() = default;

std::int64_t COxuDbObject::NextKey(LPCSTR lpszCounter) {
    if (!m_pConnect) {
        m_strLastError = "No database connection";
        return 0;
    }
    const std::int64_t nKey = m_pConnect->TakeKey(lpszCounter);
    if (nKey <= 0)
        m_strLastError = m_pConnect->GetLastError();
    return nKey;
}

int COxuDbObject::Write(const std::vector<const char*>& astrColumns,
                        std::vector<CDbParam> params, const char* pszConflict) {
    oxudb::IServerDb* pDb = m_pConnect ? m_pConnect->GetDb() : nullptr;
    if (!pDb) {
        m_strLastError = "No database connection";
        return 0;
    }
    std::string strSql = "INSERT INTO " + m_strTable + " (";
    std::string strValues, strUpdate;
    for (std::size_t i = 0; i < astrColumns.size(); ++i) {
        const std::string strSep = i ? ", " : "";
        strSql += strSep + astrColumns[i];
        strValues += strSep + "$" + std::to_string(i + 1);
        if (pszConflict && std::string(astrColumns[i]) != pszConflict)
            strUpdate += std::string(strUpdate.empty() ? "" : ", ") + astrColumns[i] +
                         " = excluded." + astrColumns[i];
    }
    strSql += ") VALUES (" + strValues + ")";
    if (pszConflict)
        strSql += std::string(" ON CONFLICT (") + pszConflict + ") DO UPDATE SET " + strUpdate;
    const bool bOk =
        m_pConnect->IsQueueing() ? pDb->Queue(strSql, params) : pDb->Execute(strSql, params);
    if (!bOk) {
        m_strLastError = pDb->LastError();
        return 0;
    }
    return 1;
}

COxuDbPatient::COxuDbPatient(COxuDbConnect* pConnect) : COxuDbObject(pConnect, "patient") {}

int COxuDbPatient::Save() {
    if (m_strPatientID.empty()) {
        m_strLastError = "Patient ID is empty";
        return 0;
    }
    return Write({"patient_id", "patient_name", "birth_date", "sex", "comments"},
                 {Text(m_strPatientID), Text(m_strName), Text(m_strBirthDate), Text(m_strSex),
                  Text(m_strComments)},
                 "patient_id");
}

int COxuDbPatient::SaveNew() {
    oxudb::IServerDb* pDb = m_pConnect ? m_pConnect->GetDb() : nullptr;
    if (!pDb) {
        m_strLastError = "No database connection";
        return -1;
    }
    if (m_strPatientID.empty()) {
        m_strLastError = "Patient ID is empty";
        return -1;
    }
    oxudb::CDbResult result;
    if (!pDb->Execute("INSERT INTO patient (patient_id, patient_name, birth_date, sex, comments) "
                      "VALUES ($1, $2, $3, $4, $5) ON CONFLICT (patient_id) DO NOTHING "
                      "RETURNING patient_id",
                      {Text(m_strPatientID), Text(m_strName), Text(m_strBirthDate), Text(m_strSex),
                       Text(m_strComments)},
                      &result)) {
        m_strLastError = pDb->LastError();
        return -1;
    }
    return result.rows.empty() ? 0 : 1;
}

COxuDbStudy::COxuDbStudy(COxuDbConnect* pConnect) : COxuDbObject(pConnect, "study") {}

int COxuDbStudy::Save() {
    if (m_nStudyKey <= 0 || m_strStudyUID.empty()) {
        m_strLastError = "Study key or UID is missing";
        return 0;
    }
    return Write({"study_key", "study_uid", "patient_id", "study_date", "study_time", "doctor",
                  "accession_no", "study_type", "study_desc", "study_id", "patient_age",
                  "patient_height", "patient_weight", "reserved1", "reserved2"},
                 {CDbParam::Int(m_nStudyKey), Text(m_strStudyUID), Text(m_strPatientID),
                  Text(m_strStudyDate), Text(m_strStudyTime), Text(m_strDoctor),
                  Text(m_strAccessionNo), Text(m_strStudyType), Text(m_strStudyDesc),
                  Text(m_strStudyID), Text(m_strAge), Text(m_strHeight), Text(m_strWeight),
                  Text(m_strReserved1), Text(m_strReserved2)});
}

COxuDbSeries::COxuDbSeries(COxuDbConnect* pConnect) : COxuDbObject(pConnect, "series") {}

int COxuDbSeries::Save() {
    if (m_nSeriesKey <= 0 || m_strSeriesUID.empty()) {
        m_strLastError = "Series key or UID is missing";
        return 0;
    }
    return Write({"series_key", "series_uid", "study_key", "patient_id", "modality",
                  "series_number", "series_date", "series_time", "body_part", "protocol_name",
                  "series_desc", "series_type", "operator_name", "manufacturer", "institution",
                  "station_name", "model_name", "software"},
                 {CDbParam::Int(m_nSeriesKey), Text(m_strSeriesUID), CDbParam::Int(m_nStudyKey),
                  Text(m_strPatientID), Text(m_strModality), CDbParam::Int(m_nSeriesNumber),
                  Text(m_strSeriesDate), Text(m_strSeriesTime), Text(m_strBodyPart),
                  Text(m_strProtocol), Text(m_strSeriesDesc), Text(m_strSeriesType),
                  Text(m_strOperator), Text(m_strManufacturer), Text(m_strInstitution),
                  Text(m_strStation), Text(m_strModel), Text(m_strSoftware)});
}

COxuDbInstance::COxuDbInstance(COxuDbConnect* pConnect) : COxuDbObject(pConnect, "instance") {}

int COxuDbInstance::Save() {
    if (m_nInstanceKey <= 0 || m_strInstanceUID.empty()) {
        m_strLastError = "Instance key or UID is missing";
        return 0;
    }
    return Write({"instance_key", "instance_uid", "series_key", "study_key", "instance_number",
                  "content_datetime", "content_date", "content_time", "file_folder",
                  "file_name"},
                 {CDbParam::Int(m_nInstanceKey), Text(m_strInstanceUID),
                  CDbParam::Int(m_nSeriesKey), CDbParam::Int(m_nStudyKey),
                  CDbParam::Int(m_nInstanceNumber), Text(m_strDateTime), Text(m_strDate),
                  Text(m_strTime), Text(m_strFolder), Text(m_strFileName)});
}

COxuDbInstanceDigest::COxuDbInstanceDigest(COxuDbConnect* pConnect)
    : COxuDbObject(pConnect, "instance_digest") {}

int COxuDbInstanceDigest::Save() {
    if (m_nInstanceKey <= 0 || m_strDigest.empty()) {
        m_strLastError = "Instance key or file digest is missing";
        return 0;
    }
    return Write({"instance_key", "file_digest"},
                 {CDbParam::Int(m_nInstanceKey), Text(m_strDigest)});
}

COxuDbWaveform::COxuDbWaveform(COxuDbConnect* pConnect) : COxuDbObject(pConnect, "waveform") {}

int COxuDbWaveform::Save() {
    if (m_nInstanceKey <= 0) {
        m_strLastError = "Instance key is missing";
        return 0;
    }
    return Write({"instance_key", "instance_uid", "series_key", "study_key", "originality",
                  "channels", "samples", "frequency", "bits_allocated", "interpretation",
                  "padding", "wave_data"},
                 {CDbParam::Int(m_nInstanceKey), Text(m_strInstanceUID),
                  CDbParam::Int(m_nSeriesKey), CDbParam::Int(m_nStudyKey), Text(m_strOriginality),
                  CDbParam::Int(m_nChannels), CDbParam::Int(m_nSamples),
                  CDbParam::Int(m_nFrequency), CDbParam::Int(m_nBitsAllocated),
                  Text(m_strInterpretation), CDbParam::Int(m_nPadding),
                  CDbParam::Blob(std::string(m_abyData.begin(), m_abyData.end()))});
}

int COxuDbWaveform::CompareStored() {
    oxudb::IServerDb* pDb = m_pConnect ? m_pConnect->GetDb() : nullptr;
    if (!pDb) {
        m_strLastError = "No database connection";
        return -1;
    }
    // Compared by the database, so that the stored bytes need not come back.
    oxudb::CDbResult result;
    if (!pDb->Execute("SELECT COUNT(*) FROM waveform WHERE instance_key = $1 AND wave_data = $2",
                      {CDbParam::Int(m_nInstanceKey),
                       CDbParam::Blob(std::string(m_abyData.begin(), m_abyData.end()))},
                      &result)) {
        m_strLastError = pDb->LastError();
        return -1;
    }
    return !result.rows.empty() && !result.rows[0].empty() && result.rows[0][0] != "0" ? 1 : 0;
}
