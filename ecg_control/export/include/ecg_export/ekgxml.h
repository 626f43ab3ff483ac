#pragma once
// UTF-16LE XML export of an ECG record (byte order mark, CRLF line ends, tab indentation):
// patient, study and record data, device and filter settings, global measurements,
// statements and the 12 leads' samples in microvolts. It exports what the record file
// holds: the record is turned into its file's bytes and read back from them first.
#include <string>

#include "ecg_control/ekgrecord.h"
#include "ecg_control/globalbuffer.h"
#include "ecg_export/ekgexportutil.h"
#include "platform/wintypes.h"

class CEkgXmlExport {
public:
    CEkgXmlExport() = default;

    // Makes the bytes a save of the record would write and reads them back in the record's
    // own mode (5000 or 6000 samples a lead), as a reopened file (no file is written). The
    // height/weight unit, which the file does not keep, is taken from the record. FALSE
    // when the record has no samples of a record file's shape, or the bytes cannot be made
    // or read.
    BOOL Load(const CEkgRecordSources& sources);
    // Writes the document through a temporary file renamed over the target; FALSE when it
    // holds no samples or the file cannot be written (the target is then untouched).
    BOOL WriteDocument(const CString& strPath);
    // The document as UTF-16 code units (without the byte order mark).
    std::u16string BuildDocument();

    // The text of an element's value: converted from the installation code page, with
    // "&", "<" and ">" escaped and control characters that XML cannot carry left out.
    static std::u16string ValueText(const CString& strText);

private:
    void Open(const char* szTag);
    void Close(const char* szTag);
    void Leaf(const char* szTag, const CString& strValue);
    void Leaf(const char* szTag, int nValue);
    void Line(const std::u16string& strLine);
    void Container(const char* szTag, const char* szLeaf, const CString& strValue);
    void WaveData(int nLead);

    CWaveBuffer m_wave;
    CEkgRecordInfo m_info;
    CMorphologyTable m_morph;
    int m_nDepth = 0;
    std::u16string m_strOut;
};
