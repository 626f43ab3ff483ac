#include "ecg_export/ekgexport.h"

#include "ecg_export/ekgxml.h"

BOOL CEkgExporter::EKGMakePDF(const CString& strPath, short nChType, short nGain, short nRhyCh,
                              short /*nWidth*/, const CEkgRecordSources& sources,
                              const CEkgPrintFlags& flags) {
    CEkgPdfWriter writer;
    writer.SetFlags(flags);
    writer.SetSources(sources);
    writer.SetStyle(m_style);
    writer.SetErrorSink(m_fnPdfError);
    return writer.WriteDocument(strPath, nChType, nGain, nRhyCh);
}

BOOL CEkgExporter::EKGMakeXML(const CString& strPath, const CEkgRecordSources& sources) {
    CEkgXmlExport exporter;
    if (!exporter.Load(sources)) {
        return FALSE;
    }
    return exporter.WriteDocument(strPath);
}
