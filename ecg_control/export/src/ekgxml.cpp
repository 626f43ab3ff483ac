#include "ecg_export/ekgxml.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <string>

#include "ecg_control/ekgfile.h"
#include "ecg_control/reporttexts.h"
#include "platform/atomicfile.h"
#include "platform/codepage.h"

namespace {

std::u16string Ascii(const char* szText) {
    std::u16string str;
    for (const char* p = szText; *p; ++p) {
        str += static_cast<char16_t>(static_cast<unsigned char>(*p));
    }
    return str;
}

CString Number(int nValue) {
    return std::to_string(nValue);
}

const char* OffOnText(BYTE n) {
    return n == 0 ? "Off" : n == 1 ? "On" : "NoInfo.";
}

const char* LowPassText(BYTE n) {
    switch (n) {
        case 0:
            return "Off";
        case 1:
            return "40Hz";
        case 2:
            return "100Hz";
        case 3:
            return "150Hz";
        default:
            return "NoInfo.";
    }
}

const char* AcText(BYTE n) {
    switch (n) {
        case 0:
            return "Off";
        case 1:
            return "50Hz";
        case 2:
            return "60Hz";
        default:
            return "NoInfo.";
    }
}

}  // namespace

std::u16string CEkgXmlExport::ValueText(const CString& strText) {
    std::u16string strOut;
    for (char16_t ch : platform::ToUtf16(strText)) {
        switch (ch) {
            case u'&':
                strOut += u"&amp;";
                break;
            case u'<':
                strOut += u"&lt;";
                break;
            case u'>':
                strOut += u"&gt;";
                break;
            default:
                if (ch >= 0x20 || ch == u'\t') {
                    strOut += ch;
                }
                break;
        }
    }
    return strOut;
}

BOOL CEkgXmlExport::Load(const CEkgRecordSources& sources) {
    if (sources.pWave == nullptr || sources.pInfo == nullptr) {
        return FALSE;
    }
    const UINT nSamples = sources.pWave->GetSamplesPerChannel();
    if (!sources.pWave->HasBlock() || sources.pWave->GetChannelCount() != ekgfile::kLeads ||
        sources.pWave->GetBytesPerSample() != 2 ||
        (nSamples != ekgfile::SamplesForMode(0) && nSamples != ekgfile::SamplesForMode(1))) {
        return FALSE;
    }
    const int nMainsMode = nSamples == ekgfile::SamplesForMode(1) ? 1 : 0;

    // A record without a lead measurement table is saved with an empty one.
    CMorphologyTable emptyMorph;
    CMorphologyTable* pMorph = sources.pMorph ? sources.pMorph : &emptyMorph;
    std::string strImage;
    if (!BuildEkgFileImage(sources.pWave, sources.pInfo, pMorph, strImage) ||
        !ReadEkgFileImage(strImage, &m_wave, &m_info, &m_morph, nMainsMode)) {
        return FALSE;
    }
    m_info.m_patient.m_nUnit = sources.pInfo->m_patient.m_nUnit;
    return TRUE;
}

void CEkgXmlExport::Line(const std::u16string& strLine) {
    m_strOut.append(static_cast<size_t>(m_nDepth), u'\t');
    m_strOut += strLine;
    m_strOut += u"\r\n";
}

void CEkgXmlExport::Open(const char* szTag) {
    Line(u"<" + Ascii(szTag) + u">");
    ++m_nDepth;
}

void CEkgXmlExport::Close(const char* szTag) {
    --m_nDepth;
    Line(u"</" + Ascii(szTag) + u">");
}

void CEkgXmlExport::Leaf(const char* szTag, const CString& strValue) {
    const std::u16string strTag = Ascii(szTag);
    const std::u16string strText = ValueText(strValue);
    if (strText.empty()) {
        Line(u"<" + strTag + u"/>");
    } else {
        Line(u"<" + strTag + u">" + strText + u"</" + strTag + u">");
    }
}

void CEkgXmlExport::Leaf(const char* szTag, int nValue) {
    Leaf(szTag, Number(nValue));
}

void CEkgXmlExport::Container(const char* szTag, const char* szLeaf, const CString& strValue) {
    Open(szTag);
    Leaf(szLeaf, strValue);
    Close(szTag);
}

void CEkgXmlExport::WaveData(int nLead) {
    static const char* const kChannels[12] = {"Lead I", "Lead II", "Lead III", "aVR", "aVL", "aVF",
                                              "V1",     "V2",      "V3",       "V4",  "V5",  "V6"};
    Open("WaveData");
    Leaf("Channel", kChannels[nLead]);
    const UINT nSamples = m_wave.GetSamplesPerChannel();
    // Up to 12 characters a sample ("-2147483648 "), 5,000 or 6,000 samples a line.
    std::u16string strData = u"<Data>";
    strData.reserve(strData.size() + static_cast<std::size_t>(nSamples) * 12 + 8);
    char buffer[16];
    for (UINT i = 0; i < nSamples; ++i) {
        // Microvolts, truncated toward zero.
        const int nMicrovolts =
            static_cast<int>(m_wave.GetSample(nLead, i) * ekgexport::kMicrovoltsPerUnit);
        char* pEnd = std::to_chars(buffer, buffer + sizeof buffer, nMicrovolts).ptr;
        *pEnd++ = ' ';
        strData.append(buffer, pEnd);
    }
    strData += u"</Data>";
    Line(strData);
    Leaf("Annotation", CString());
    Close("WaveData");
}

std::u16string CEkgXmlExport::BuildDocument() {
    m_strOut = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n";
    m_nDepth = 0;
    const CEkgPatientInfo& patient = m_info.m_patient;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", patient.m_nYear, patient.m_nMonth,
                  patient.m_nDay);
    const CString strDate = buffer;
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:00", patient.m_nHour, patient.m_nMinute);
    const CString strTime = buffer;

    Open("Tessaro");
    Open("PatientInfo");
    Leaf("Id", patient.m_strID);
    Leaf("Name", patient.m_strName);
    Leaf("DOB", CString());
    Leaf("Gender", patient.m_strSex);
    Leaf("Age", patient.m_strAge);
    // The record holds no race or smoking history: the elements stay, empty.
    Leaf("Race", CString());
    const BOOL bImperial = patient.IsImperial();
    if (bImperial || patient.IsMetric()) {
        const ekgreport::CBodySize size =
            ekgreport::ConvertBodySize(patient.m_strHeight, patient.m_strWeight, bImperial);
        const BOOL bHeight = !patient.m_strHeight.empty();
        const BOOL bWeight = !patient.m_strWeight.empty();
        if (bImperial) {
            Open("Height");
            Leaf("ft", bHeight ? Number(size.nFeet) : CString());
            Leaf("in", bHeight ? Number(size.nInches) : CString());
            Close("Height");
            Container("Weight", "lb", bWeight ? Number(size.nPounds) : CString());
        } else {
            Container("Height", "Cm", patient.m_strHeight);
            // Kilograms keep the record's text (and its decimals); pounds are converted.
            const BOOL bPounds = patient.m_strWeight.find('L') != CString::npos;
            Container("Weight", "Kg", bPounds ? Number(size.nKilograms) : patient.m_strWeight);
        }
    }
    Open("Smoke");
    Leaf("Smoking", CString());
    Leaf("Years", CString());
    Leaf("Pack", CString());
    Close("Smoke");
    Close("PatientInfo");

    Open("StudyInfo");
    Leaf("Id", patient.m_strID);
    Leaf("Date", strDate);
    Leaf("Time", strTime);
    Open("RecordInfo");
    Leaf("AcqDate", strDate);
    Leaf("AcqTime", strTime);
    Leaf("Institution", patient.m_strMisc1);
    Leaf("StudyAuthor", patient.m_strMisc0);
    Close("RecordInfo");

    const std::array<BYTE, 6>& filter = m_info.GetFilterItem();
    Open("Device");
    Leaf("Manufacturer", "Corvane");
    Leaf("Type", "12Ch Resting ECG");
    Leaf("Model", "Tessaro");
    Leaf("SerialNumber", CString());
    Leaf("BaseLineFilter", OffOnText(filter[4]));
    Leaf("LowpassFilter", LowPassText(filter[3]));
    Leaf("ACFilter", AcText(filter[2]));
    Leaf("MuscleFilter", OffOnText(filter[5]));
    Close("Device");

    Open("ShortMeasurementSegment");
    Leaf("HeartRate", m_info.GetGlobalValue(0));
    Leaf("MeanPRint", m_info.GetGlobalValue(1));
    Leaf("MeanQRSdur", m_info.GetGlobalValue(2));
    Leaf("MeanQTint", m_info.GetGlobalValue(3));
    Leaf("MeanQTc", m_info.GetGlobalValue(4));
    Leaf("Paxis", m_info.GetGlobalValue(5));
    Leaf("Taxis", m_info.GetGlobalValue(7));
    Close("ShortMeasurementSegment");

    Open("Interpretation");
    for (const CString& strStatement : m_info.GetStatements()) {
        Leaf("Statement", strStatement);
    }
    Close("Interpretation");

    const int nSamples = static_cast<int>(m_wave.GetSamplesPerChannel());
    Open("WaveInfo");
    Container("SampleRate", "Hz", Number(ekgexport::kSampleRate));
    Container("DataUnit", "uV", Number(10));
    Container("Duration", "sec", Number(nSamples / ekgexport::kSampleRate));
    Leaf("Encoding", CString());
    Close("WaveInfo");

    for (int nLead = 0; nLead < 12; ++nLead) {
        WaveData(nLead);
    }
    Close("StudyInfo");
    Close("Tessaro");
    return m_strOut;
}

BOOL CEkgXmlExport::WriteDocument(const CString& strPath) {
    if (strPath.empty() || !m_wave.HasBlock() || m_wave.GetSamplesPerChannel() == 0) {
        return FALSE;
    }
    const std::u16string strDocument = BuildDocument();
    std::string strBytes(2 + strDocument.size() * 2, '\0');
    strBytes[0] = '\xFF';
    strBytes[1] = '\xFE';
    char* p = strBytes.data() + 2;
    for (char16_t ch : strDocument) {
        *p++ = static_cast<char>(ch & 0xFF);
        *p++ = static_cast<char>((ch >> 8) & 0xFF);
    }
    return platform::WriteFileAtomically(strPath, strBytes) ? TRUE : FALSE;
}
