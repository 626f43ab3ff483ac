// The report page as a JPEG or BMP file of the requested width, at exactly the rendered
// size (height = width x 8 / 6).
#include "common/ZeqGF.h"
#include "ecg_control/draw/dib.h"
#include "spiro_control/spiroexport.h"

short CSpiroExport::SaveJPEG(const CString& strPath, int nWidth) {
    return SaveImage(strPath, nWidth, TRUE);
}

short CSpiroExport::SaveBMP(const CString& strPath, int nWidth) {
    return SaveImage(strPath, nWidth, FALSE);
}

short CSpiroExport::SaveImage(const CString& strPath, int nWidth, BOOL bJpeg) {
    if (!ZeqGF::IsValidPathName(strPath.c_str())) {
        return spiroout::kErrPath;
    }
    const int nHeight = nWidth * 8 / 6;
    QImage image;
    const short nResult = DrawReportPage(image, nWidth, nHeight);
    if (nResult < 0) {
        return nResult;
    }
    const CDibBytes dibBytes = dib::FromImage(image);
    // Both writers go through a temporary file renamed over the target.
    if (bJpeg) {
        return WriteJpegFile(strPath, dibBytes, 75) ? spiroout::kOk : spiroout::kErrJpeg;
    }
    return WriteBmpFile(strPath, dibBytes) ? spiroout::kOk : spiroout::kErrBmp;
}

short CSpiroExport::SavePDF(const CString& strPath, int /*nWidth*/) {
    if (m_pFile == nullptr) {
        return spiroout::kErrPdf;
    }
    CSpiroPdfFlags flags;
    flags.nTestType = m_nTestType;
    flags.nGraphType = m_nGraphType;
    flags.nBorder = m_nBorder;
    flags.bPrintDiagnosis = m_bPrintDiagnosis;
    flags.bPrintComment = m_bPrintComment;
    // A fresh writer for every document.
    CSpiroPdfWriter writer(*m_pFile, m_pdfPens, flags);
    return writer.WriteDocument(strPath) ? spiroout::kOk : spiroout::kErrPdf;
}
