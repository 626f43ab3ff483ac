#include "ecg_export/ekgxml.h"

#include <gtest/gtest.h>

#include <string>

#include "ecg_export/ekgexport.h"
#include "exportfixture.h"
#include "platform/codepage.h"
#include "platform/folders.h"
#include "testsupport/testsupport.h"

using testsupport::ShellQuote;

namespace {

class EkgXmlTest : public ::testing::Test {
protected:
    BOOL Make(const std::string& strPath) {
        return m_exporter.EKGMakeXML(strPath, m_record.Sources());
    }
    // The document as UTF-8, converted by an outside tool.
    std::string Utf8(const std::string& strPath) {
        int nStatus = -1;
        std::string strText =
            testsupport::RunCommand("iconv -f UTF-16 -t UTF-8 " + ShellQuote(strPath), &nStatus);
        EXPECT_EQ(nStatus, 0);
        return strText;
    }
    // Makes the document and returns it as UTF-8.
    std::string Document() {
        const std::string strXml = m_dir / "record.xml";
        EXPECT_TRUE(Make(strXml));
        return Utf8(strXml);
    }
    std::string XPath(const std::string& strPath, const std::string& strExpr) {
        std::string strOut = testsupport::RunCommand("xmllint --xpath " + ShellQuote(strExpr) +
                                                     " " + ShellQuote(strPath));
        if (!strOut.empty() && strOut.back() == '\n') {
            strOut.pop_back();
        }
        return strOut;
    }

    testsupport::CTempDir m_dir;
    testsupport::CEnvScope m_tmp{"TMPDIR", m_dir.Path().c_str()};
    testsupport::CCodePageScope m_codePage{"CP1252"};
    CTestRecord m_record;
    CEkgExporter m_exporter;
};

// Counts the values of every "Data" element.
std::vector<int> DataCounts(const std::string& strDocument) {
    std::vector<int> anCounts;
    for (size_t nPos = strDocument.find("<Data>"); nPos != std::string::npos;
         nPos = strDocument.find("<Data>", nPos + 1)) {
        const size_t nEnd = strDocument.find("</Data>", nPos);
        anCounts.push_back(CountOf(strDocument.substr(nPos, nEnd - nPos), " "));
    }
    return anCounts;
}

TEST_F(EkgXmlTest, DocumentPassesXmllintWithItsNamesRight) {
    m_record.info.SetPatientInfo(1, "Ana & Jo\xE3o <Sr>");  // CP1252
    m_record.info.AddStatement("QT > 450 ms & QRS < 120 ms");
    const std::string strXml = m_dir / "record.xml";
    ASSERT_TRUE(Make(strXml));

    int nStatus = -1;
    const std::string strLint =
        testsupport::RunCommand("xmllint --noout " + ShellQuote(strXml) + " 2>&1", &nStatus);
    EXPECT_EQ(nStatus, 0) << strLint;

    const std::string strBytes = testsupport::ReadFile(strXml);
    ASSERT_GE(strBytes.size(), 4u);
    EXPECT_EQ(strBytes.substr(0, 4), std::string("\xFF\xFE<\0", 4));

    EXPECT_EQ(XPath(strXml, "string(/Tessaro/PatientInfo/Name)"), "Ana & Jo\xC3\xA3o <Sr>");
    EXPECT_EQ(XPath(strXml, "string(/Tessaro/StudyInfo/Interpretation/Statement[3])"),
              "QT > 450 ms & QRS < 120 ms");
    EXPECT_EQ(XPath(strXml, "count(/Tessaro/StudyInfo/WaveData)"), "12");
    EXPECT_EQ(XPath(strXml, "string(/Tessaro/StudyInfo/WaveData[4]/Channel)"), "aVR");

    const std::string strText = Utf8(strXml);
    EXPECT_EQ(strText.rfind("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n", 0), 0u);
    EXPECT_EQ(CountOf(strText, "\n"), CountOf(strText, "\r\n"));
    EXPECT_EQ(CountOf(strText, "<WaveData>"), 12);
    const std::vector<int> anCounts = DataCounts(strText);
    ASSERT_EQ(anCounts.size(), 12u);
    for (int n : anCounts) {
        EXPECT_EQ(n, 5000);
    }
}

TEST_F(EkgXmlTest, ElementsIndentationAndValues) {
    const std::string strText = Document();
    for (const char* szLine :
         {"<Tessaro>\r\n\t<PatientInfo>\r\n\t\t<Id>P-001</Id>\r\n\t\t<Name>Joao Silva</Name>\r\n"
          "\t\t<DOB/>\r\n\t\t<Gender>Male</Gender>\r\n\t\t<Age>54</Age>\r\n",
          "\t\t<Height>\r\n\t\t\t<Cm>170</Cm>\r\n\t\t</Height>\r\n"
          "\t\t<Weight>\r\n\t\t\t<Kg>70</Kg>\r\n\t\t</Weight>\r\n",
          "\t<StudyInfo>\r\n\t\t<Id>P-001</Id>\r\n\t\t<Date>2026-12-09</Date>\r\n"
          "\t\t<Time>14:35:00</Time>\r\n\t\t<RecordInfo>\r\n"
          "\t\t\t<AcqDate>2026-12-09</AcqDate>\r\n\t\t\t<AcqTime>14:35:00</AcqTime>\r\n"
          "\t\t\t<Institution>Hospital Central</Institution>\r\n"
          "\t\t\t<StudyAuthor>Dr. Costa</StudyAuthor>\r\n\t\t</RecordInfo>\r\n",
          "\t\t\t<Manufacturer>Corvane</Manufacturer>\r\n\t\t\t<Type>12Ch Resting ECG</Type>\r\n"
          "\t\t\t<Model>Tessaro</Model>\r\n\t\t\t<SerialNumber/>\r\n"
          "\t\t\t<BaseLineFilter>On</BaseLineFilter>\r\n"
          "\t\t\t<LowpassFilter>100Hz</LowpassFilter>\r\n\t\t\t<ACFilter>50Hz</ACFilter>\r\n"
          "\t\t\t<MuscleFilter>Off</MuscleFilter>\r\n",
          "\t\t<ShortMeasurementSegment>\r\n\t\t\t<HeartRate>72</HeartRate>\r\n"
          "\t\t\t<MeanPRint>156</MeanPRint>\r\n\t\t\t<MeanQRSdur>94</MeanQRSdur>\r\n"
          "\t\t\t<MeanQTint>384</MeanQTint>\r\n\t\t\t<MeanQTc>421</MeanQTc>\r\n"
          "\t\t\t<Paxis>48</Paxis>\r\n\t\t\t<Taxis>41</Taxis>\r\n"
          "\t\t</ShortMeasurementSegment>\r\n",
          "\t\t<Interpretation>\r\n\t\t\t<Statement>Sinus rhythm</Statement>\r\n"
          "\t\t\t<Statement>Normal ECG</Statement>\r\n\t\t</Interpretation>\r\n",
          "\t\t<WaveInfo>\r\n\t\t\t<SampleRate>\r\n\t\t\t\t<Hz>500</Hz>\r\n\t\t\t</SampleRate>\r\n"
          "\t\t\t<DataUnit>\r\n\t\t\t\t<uV>10</uV>\r\n\t\t\t</DataUnit>\r\n"
          "\t\t\t<Duration>\r\n\t\t\t\t<sec>10</sec>\r\n\t\t\t</Duration>\r\n"
          "\t\t\t<Encoding/>\r\n\t\t</WaveInfo>\r\n",
          "\t\t<WaveData>\r\n\t\t\t<Channel>Lead I</Channel>\r\n\t\t\t<Data>",
          "</Data>\r\n\t\t\t<Annotation/>\r\n\t\t</WaveData>\r\n\t</StudyInfo>\r\n</"
          "Tessaro>\r\n"}) {
        EXPECT_NE(strText.find(szLine), std::string::npos) << szLine;
    }
}

// The record holds no race or smoking history: the elements are kept but stay empty.
TEST_F(EkgXmlTest, NoInventedClinicalFacts) {
    const std::string strText = Document();
    EXPECT_NE(strText.find("\t\t<Race/>\r\n"), std::string::npos);
    EXPECT_NE(strText.find("\t\t<Smoke>\r\n\t\t\t<Smoking/>\r\n\t\t\t<Years/>\r\n"
                           "\t\t\t<Pack/>\r\n\t\t</Smoke>\r\n"),
              std::string::npos);
    EXPECT_EQ(strText.find("Oriental"), std::string::npos);
    EXPECT_EQ(strText.find("One pack/day"), std::string::npos);
}

TEST_F(EkgXmlTest, SamplesAreMicrovoltsTruncated) {
    m_record.wave.SetSample(0, 0, 4);
    m_record.wave.SetSample(0, 1, -4);
    m_record.wave.SetSample(0, 2, 410);
    m_record.wave.SetSample(0, 3, -32768);
    m_record.wave.SetSample(0, 4, 0);
    const std::string strText = Document();
    EXPECT_NE(strText.find("<Data>9 -9 1000 -80000 0 "), std::string::npos);
}

TEST_F(EkgXmlTest, SixtyHertzRecordKeepsItsLayout) {
    CTestRecord raw(6000);
    raw.wave.SetSample(11, 5999, 41);  // last sample of V6: 100 uV
    const std::string strXml = m_dir / "raw.xml";
    ASSERT_TRUE(m_exporter.EKGMakeXML(strXml, raw.Sources()));
    const std::string strText = Utf8(strXml);
    const std::vector<int> anCounts = DataCounts(strText);
    ASSERT_EQ(anCounts.size(), 12u);
    for (int n : anCounts) {
        EXPECT_EQ(n, 6000);
    }
    EXPECT_NE(strText.find(" 100 </Data>"), std::string::npos);
    EXPECT_NE(strText.find("<Hz>500</Hz>"), std::string::npos);
    EXPECT_NE(strText.find("<sec>12</sec>"), std::string::npos);
}

TEST_F(EkgXmlTest, HeightAndWeightByUnit) {
    struct Case {
        short nUnit;
        const char* szWeight;
        const char* szExpected;  // null: neither element
    };
    const Case aCases[] = {
        {0, "70",
         "<Height>\r\n\t\t\t<Cm>170</Cm>\r\n\t\t</Height>\r\n"
         "\t\t<Weight>\r\n\t\t\t<Kg>70</Kg>\r\n"},
        {0, "150L", "<Cm>170</Cm>\r\n\t\t</Height>\r\n\t\t<Weight>\r\n\t\t\t<Kg>68</Kg>\r\n"},
        {1, "70",
         "<Height>\r\n\t\t\t<ft>5</ft>\r\n\t\t\t<in>7</in>\r\n\t\t</Height>\r\n"
         "\t\t<Weight>\r\n\t\t\t<lb>154</lb>\r\n"},
        {1, "150L",
         "<ft>5</ft>\r\n\t\t\t<in>7</in>\r\n\t\t</Height>\r\n"
         "\t\t<Weight>\r\n\t\t\t<lb>150</lb>\r\n"},
        // A weight in kilograms is written as the record holds it.
        {0, "70.5", "<Kg>70.5</Kg>"},
        {2, "70", nullptr},
        // A host that sets the unit as a text gives the digit's character code.
        {'1', "70", "<lb>154</lb>"},
        {'0', "70", "<Kg>70</Kg>"},
    };
    for (const Case& c : aCases) {
        SCOPED_TRACE(std::to_string(c.nUnit) + " " + c.szWeight);
        m_record.info.m_patient.m_nUnit = c.nUnit;
        m_record.info.SetPatientInfo(5, c.szWeight);
        const std::string strText = Document();
        if (c.szExpected) {
            EXPECT_NE(strText.find(c.szExpected), std::string::npos);
        } else {
            EXPECT_EQ(strText.find("<Height>"), std::string::npos);
            EXPECT_EQ(strText.find("<Weight>"), std::string::npos);
        }
    }
}

TEST_F(EkgXmlTest, EmptyValuesAndUnsetFilters) {
    m_record.info.SetPatientInfo(1, "");
    m_record.info.RemoveAllStatements();
    m_record.info.SetFilterInfo(-1, -1, -1, -1);
    const std::string strText = Document();
    EXPECT_NE(strText.find("\t\t<Name/>\r\n"), std::string::npos);
    EXPECT_NE(strText.find("\t\t<Interpretation>\r\n\t\t</Interpretation>\r\n"), std::string::npos);
    EXPECT_EQ(CountOf(strText, ">NoInfo.<"), 4);
}

TEST_F(EkgXmlTest, KoreanTextsAreConverted) {
    testsupport::CCodePageScope korean("CP949");
    const std::string strName = "\xED\x99\x8D\xEA\xB8\xB8\xEB\x8F\x99";  // UTF-8
    const std::string strStatement = "\xEB\x8F\x99\xEC\x84\xB1 \xEB\xA6\xAC\xEB\x93\xAC";
    m_record.info.SetPatientInfo(1, platform::FromUtf8(strName));
    m_record.info.AddStatement(platform::FromUtf8(strStatement));
    m_record.info.SetMisc(1, platform::FromUtf8(strName));
    const std::string strText = Document();
    EXPECT_NE(strText.find("<Name>" + strName + "</Name>"), std::string::npos);
    EXPECT_NE(strText.find("<Statement>" + strStatement + "</Statement>"), std::string::npos);
    EXPECT_NE(strText.find("<Institution>" + strName + "</Institution>"), std::string::npos);
}

TEST_F(EkgXmlTest, ScratchFileIsPrivateAndRemoved) {
    const std::string strScratchDir = platform::PrivateTempDir();
    ASSERT_FALSE(strScratchDir.empty());
    ASSERT_EQ(strScratchDir.rfind(m_dir.Path(), 0), 0u) << strScratchDir;
    ASSERT_TRUE(Make(m_dir / "a.xml"));
    ASSERT_TRUE(Make(m_dir / "b.xml"));
    EXPECT_EQ(testsupport::RunCommand("ls -A " + ShellQuote(strScratchDir)), "");
    // The export leaves the shown record as it was.
    EXPECT_FALSE(m_record.info.HasBlock());
    EXPECT_EQ(m_record.info.GetAnalysisCnt(), 2);
}

TEST_F(EkgXmlTest, RecordWithoutMeasurementTable) {
    CEkgRecordSources sources = m_record.Sources();
    sources.pMorph = nullptr;
    const std::string strXml = m_dir / "nomorph.xml";
    ASSERT_TRUE(m_exporter.EKGMakeXML(strXml, sources));
    EXPECT_EQ(XPath(strXml, "count(/Tessaro/StudyInfo/WaveData)"), "12");
}

TEST_F(EkgXmlTest, FailuresGiveFalseAndNoFile) {
    const std::string strMissing = m_dir / "no such folder/record.xml";
    EXPECT_FALSE(Make(strMissing));
    EXPECT_FALSE(testsupport::Exists(strMissing));
    EXPECT_FALSE(Make(""));

    // A record without samples, or with a sample count no record file has.
    CTestRecord empty;
    empty.wave.Free();
    EXPECT_FALSE(m_exporter.EKGMakeXML(m_dir / "empty.xml", empty.Sources()));
    CTestRecord odd;
    odd.wave.Create(12, 1000, 2);
    EXPECT_FALSE(m_exporter.EKGMakeXML(m_dir / "odd.xml", odd.Sources()));
    EXPECT_FALSE(testsupport::Exists(m_dir / "empty.xml"));
    EXPECT_FALSE(testsupport::Exists(m_dir / "odd.xml"));
}

}  // namespace
