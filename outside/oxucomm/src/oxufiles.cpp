#include "oxucomm/oxufiles.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

#include "ecg_control/ekgfile.h"
#include "ecg_control/ekgrecord.h"
#include "platform/atomicfile.h"
#include "platform/format.h"
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

COxuBaseFile* ReadEkg(const CString& strPath, const CString& strID, CString& strError) {
    std::string strBytes;
    if (!platform::ReadWholeFile(strPath, strBytes)) {
        strError = std::strerror(errno);
        return nullptr;
    }
    // The lead blocks of N samples and 200 zero bytes each, then the information block.
    const std::size_t nExt = strPath.rfind('.');
    const bool b6000 = nExt != CString::npos && strcasecmp(strPath.c_str() + nExt, ".raw") == 0;
    const std::size_t nSamples = b6000 ? 6000 : 5000;
    const std::size_t nInfo = ekgfile::InfoBlockOffset(static_cast<DWORD>(nSamples));
    if (strBytes.size() < nInfo + ekgblock::kSize) {
        strError = "the file is too short for an ECG record";
        return nullptr;
    }
    const auto* pBytes = reinterpret_cast<const BYTE*>(strBytes.data());
    auto* pFile = new COxuEkgFile;
    pFile->TakeInfoBlock(pBytes + nInfo);
    if (pFile->m_strID.empty())
        pFile->m_strID = strID;
    const std::size_t nLeadBytes = 2 * nSamples + ekgfile::kLeadTail;
    for (int j = 0; j < COxuEkgFile::kLeads; ++j) {
        short* pLead = pFile->GetLead(j);
        const BYTE* q = pBytes + static_cast<std::size_t>(j) * nLeadBytes;
        for (int k = 0; k < COxuEkgFile::kLeadSamples; ++k)
            pLead[k] = static_cast<short>(q[2 * k] | q[2 * k + 1] << 8);
    }
    pFile->SetFilePath(strPath);
    return pFile;
}

COxuBaseFile* ReadSpiro(const CString& strPath, const CString& strID, CString& strError) {
    CSpiroTestFile test(TRUE);
    const short nResult = test.Open(strPath, 0);
    if (nResult < 0) {
        strError = platform::Format("not a spirometry test file (%d)", nResult);
        return nullptr;
    }
    const CSpiroTestInfo& info = test.m_Info;
    auto* pFile = new COxuSpiroFile;
    pFile->m_nTestType = static_cast<BYTE>(info.m_nTestType);
    pFile->m_strID = info.m_strID.empty() ? strID : info.m_strID;
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
    pFile->SetFilePath(strPath);
    return pFile;
}

}  // namespace

COxuBaseFile* ReadOxuFile(const CString& strKind, const CString& strPath, const CString& strID,
                          CString& strError) {
    strError.clear();
    if (strKind == "EKG")
        return ReadEkg(strPath, strID, strError);
    if (strKind == "SPIRO")
        return ReadSpiro(strPath, strID, strError);
    strError = "no record kind " + strKind;
    return nullptr;
}
