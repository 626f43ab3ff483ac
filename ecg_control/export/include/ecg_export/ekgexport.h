#pragma once
// The export side of the ECG control's dispatch interface: EKGMakePDF (54), EKGMakeXML
// (65) and the PDF background and pens SetBackColor, SetGrid, SetGrid_Inner and SetGraph
// (67 to 70). The view window owns one and hands it the shown record for each call; the
// control connects the PDF error sink to its EKGPDFError event (10).
#include "ecg_export/ekgexportutil.h"
#include "ecg_export/ekgpdf.h"
#include "platform/wintypes.h"

class CEkgExporter {
public:
    CEkgExporter() = default;

    void SetPdfErrorSink(PdfErrorSink sink) { m_fnPdfError = std::move(sink); }

    // nWidth is not used (the report is vector graphics).
    BOOL EKGMakePDF(const CString& strPath, short nChType, short nGain, short nRhyCh, short nWidth,
                    const CEkgRecordSources& sources, const CEkgPrintFlags& flags);
    BOOL EKGMakeXML(const CString& strPath, const CEkgRecordSources& sources);

    BOOL SetBackColor(long cr) { return m_style.SetBackColor(cr); }
    BOOL SetGrid(short nStyle, short nWidth, long cr) {
        return m_style.SetGrid(nStyle, nWidth, cr);
    }
    BOOL SetGrid_Inner(short nStyle, short nWidth, long cr) {
        return m_style.SetGrid_Inner(nStyle, nWidth, cr);
    }
    BOOL SetGraph(short nStyle, short nWidth, long cr) {
        return m_style.SetGraph(nStyle, nWidth, cr);
    }
    const CEkgPdfStyle& GetPdfStyle() const { return m_style; }

private:
    CEkgPdfStyle m_style;
    PdfErrorSink m_fnPdfError;
};
