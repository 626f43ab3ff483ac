#include "oxucomm/oxufiles.h"

#include "acq_server/acqcontext.h"
#include "acq_server/ekgrecordbuilder.h"
#include "ecg_control/ekgrecord.h"
#include "spiro_control/spirotestfile.h"

COxuBaseFile::~COxuBaseFile() = default;

void COxuBaseFile::SetFilePath(const CString& strPath) {
    const std::size_t nSlash = strPath.find_last_of("/\\");
    if (nSlash == CString::npos) {
        m_strFolder.clear();
        m_strFileName = strPath;
    } else {
        m_strFolder = strPath.substr(0, nSlash);
        m_strFileName = strPath.substr(nSlash + 1);
    }
}

COxuEkgFile::COxuEkgFile() {
    for (auto& lead : m_aLeads)
        lead.assign(kLeadSamples, 0);
}

void COxuEkgFile::TakeInfoBlock(const BYTE* pInfo) {
    CEkgRecordInfo info;
    info.Decode(pInfo);
    const CEkgPatientInfo& patient = info.m_patient;
    m_strID = patient.m_strID;
    m_strName = patient.m_strName;
    m_strAge = patient.m_strAge;
    m_strSex = patient.m_strSex;
    m_strWeight = patient.m_strWeight;
    m_strHeight = patient.m_strHeight;
    // The cart's site message: hospital first, doctor second.
    m_strHospital = patient.m_strMisc1;
    m_strDoctor = patient.m_strMisc0;
    m_strComment = patient.m_strComment;
    const bool bDate = pInfo[ekgblock::kDate] == ekgblock::kTagDate && patient.m_nYear > 0;
    m_strStudyTime = bDate ? info.GetTime() : CString();
}

namespace {

COxuBaseFile* MakeEkg(const CStoredRecord& record) {
    const CEkgRecordBuilder* pBuilder = record.m_pEkg;
    if (!pBuilder || pBuilder->GetInfoBlock().size() < ekgblock::kSize)
        return nullptr;
    auto* pFile = new COxuEkgFile;
    pFile->TakeInfoBlock(pBuilder->GetInfoBlock().data());
    if (pFile->m_strID.empty())
        pFile->m_strID = record.m_strPatientID;
    for (int j = 0; j < COxuEkgFile::kLeads; ++j) {
        short* pLead = pFile->GetLead(j);
        for (int k = 0; k < COxuEkgFile::kLeadSamples; ++k)
            pLead[k] = pBuilder->GetLeadSample(j, k);
    }
    pFile->SetFilePath(record.m_strPath);
    return pFile;
}

COxuBaseFile* MakeSpiro(const CStoredRecord& record) {
    const CSpiroTestFile* pTest = record.m_pSpiro ? record.m_pSpiro->GetTestFile() : nullptr;
    if (!pTest)
        return nullptr;
    const CSpiroTestInfo& info = pTest->m_Info;
    auto* pFile = new COxuSpiroFile;
    pFile->m_nTestType = static_cast<BYTE>(info.m_nTestType);
    pFile->m_strID = info.m_strID.empty() ? record.m_strPatientID : info.m_strID;
    pFile->m_strName = info.m_strName;
    pFile->m_strSex = info.m_strSex;
    pFile->m_strYear = info.m_strYear;
    pFile->m_strMonth = info.m_strMonth;
    pFile->m_strDay = info.m_strDay;
    pFile->m_strHour = info.m_strHour;
    pFile->m_strMinute = info.m_strMinute;
    pFile->m_strSecond = info.m_strSecond;
    pFile->m_bDatePresent =
        info.m_strYear.find_first_of("0123456789") != CString::npos ? 1 : 0;
    pFile->m_strHospital = info.m_strHospital;
    pFile->m_strDoctor = info.m_strDoctor;
    pFile->SetFilePath(record.m_strPath);
    return pFile;
}

}  // namespace

COxuBaseFile* MakeOxuFile(const CStoredRecord& record) {
    if (record.m_nKind == 1)
        return MakeEkg(record);
    if (record.m_nKind == 2)
        return MakeSpiro(record);
    return nullptr;
}
