#include "acq_server/spiroassembler.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include "acq_server/devicelink.h"
#include "acq_server/ekgrecordbuilder.h"
#include "platform/atomicfile.h"
#include "spiro_control/spirolayout.h"

using acq::Format;

namespace {
// Longest piece a device hands over in one go is one receive buffer; the container
// takes lengths as int.
int Bounded(std::size_t n) {
    return static_cast<int>(std::min<std::size_t>(n, INT_MAX));
}

int FieldNumber(const CString& str, int nWidth) {
    return acq::TextNumber(reinterpret_cast<const BYTE*>(str.data()),
                           std::min(nWidth, static_cast<int>(str.size())));
}
}  // namespace

std::unique_ptr<ISpiroRecord> MakeSpiroRecord() {
    return std::make_unique<CSpiroAssembler>();
}

CSpiroAssembler::CSpiroAssembler() : m_file(TRUE) {}

void CSpiroAssembler::Reset() {
    m_file.Reset();
}

void CSpiroAssembler::AddDeviceMessage(BYTE nTag, const BYTE* pMessage, std::size_t nLength) {
    m_file.AddDeviceMessage(nTag, pMessage, Bounded(nLength));
}

void CSpiroAssembler::SetFrameHeader(int nOption, const BYTE* pFrame, std::size_t nLength) {
    m_file.AddFrameMessage(nOption, 0xB0, pFrame, Bounded(nLength));
}

void CSpiroAssembler::AddFrameData(int nOption, BYTE nSubType, const BYTE* pFrame,
                                   std::size_t nLength) {
    m_file.AddFrameMessage(nOption, nSubType, pFrame, Bounded(nLength));
}

CString CSpiroAssembler::FilePatientID() const {
    return acq::SafeNamePart(m_file.GetInformation(0));
}

CString CSpiroAssembler::RecordTime(std::time_t tNow) const {
    if (m_file.GetInformation(10).empty()) {
        // Without a date every test of the patient would get the same name.
        std::tm t{};
        localtime_r(&tNow, &t);
        return Format("%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                      t.tm_hour, t.tm_min, t.tm_sec);
    }
    return Format(
        "%04d%02d%02d%02d%02d%02d", FieldNumber(m_file.GetInformation(10), 4),
        FieldNumber(m_file.GetInformation(11), 2), FieldNumber(m_file.GetInformation(12), 2),
        FieldNumber(m_file.GetInformation(13), 2), FieldNumber(m_file.GetInformation(14), 2),
        FieldNumber(m_file.GetInformation(15), 2));
}

BOOL CSpiroAssembler::Save(const CAcqContext& context, CString& strPath, CString& strPatientID,
                           BOOL& bSame, CString& strReason) {
    strPath.clear();
    strReason.clear();
    bSame = FALSE;
    strPatientID = FilePatientID();
    const int nType = m_file.GetTestType();
    const CString strExt = spirofile::FileExtension(nType);
    if (strExt.empty()) {
        // Named as the test would be, without a folder or an extension.
        strPath = strPatientID + "_" + RecordTime(context.Now());
        strReason = Format("a spirometry test of type %d has no file", nType);
        return FALSE;
    }
    BOOL bFolderOk = TRUE;
    const CString strBase =
        CEkgRecordBuilder::RecordBase(context.m_settings, strPatientID, "SPIRO", bFolderOk);
    const int nFolderError = bFolderOk ? 0 : errno;
    strPath = strBase + "_" + RecordTime(context.Now()) + strExt;
    context.Log(strPath);
    if (!bFolderOk) {
        strReason = CEkgRecordBuilder::FolderError(nFolderError);
        return FALSE;
    }
    std::vector<BYTE> abImage;
    const short nResult = m_file.MakeImage(abImage);
    if (nResult != spirofile::kOk) {
        strReason = Format("the test cannot be laid out as a file (%d)", nResult);
        return FALSE;
    }
    // Two tests of one patient and second keep a file each.
    platform::CAtomicFile file;
    if (!file.Open(strPath) || !file.Write(abImage.data(), abImage.size()) ||
        !file.CommitFree(context.Promise(2, strPatientID).get())) {
        strReason = file.ErrorText();
        return FALSE;
    }
    strPath = file.Target();
    bSame = file.IsSame();
    return TRUE;
}
