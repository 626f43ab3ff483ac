#include "pulmetra/bars/resulttext.h"

#include "acq_server/reports/spirotextreport.h"
#include "platform/atomicfile.h"
#include "spiro_control/host/flowlin.h"

namespace pulmetra {

std::string CFlowlinReportValues::GetInformation(int n) {
    return m_f.GetInformation(short(n));
}
std::string CFlowlinReportValues::GetRaceString() {
    return m_f.GetRaceString();
}
std::string CFlowlinReportValues::GetSmokeString() {
    return m_f.GetSmokeString();
}
std::string CFlowlinReportValues::GetSmokePackString() {
    return m_f.GetSmokePackString();
}
std::string CFlowlinReportValues::GetFormulaString() {
    return m_f.GetFormulaString();
}
std::string CFlowlinReportValues::GetAnalysisString() {
    return m_f.GetAnalysisString();
}
std::string CFlowlinReportValues::GetAnalysisStringPost() {
    return m_f.GetAnalysisStringPost();
}
short CFlowlinReportValues::GetTestType() {
    return m_f.GetTestType();
}
short CFlowlinReportValues::GetFileVersion() {
    return m_f.GetFileVersion();
}
short CFlowlinReportValues::GetParamCount(short t, short v) {
    return m_f.GetParamCount(t, v);
}
float CFlowlinReportValues::GetParam(short t, short k, short d) {
    return m_f.GetParam(t, k, d);
}
short CFlowlinReportValues::GetEcode(short t, short p) {
    return m_f.GetEcode(t, p);
}
short CFlowlinReportValues::GetBestNo() {
    return m_f.GetBestNo();
}
short CFlowlinReportValues::GetBestNoPost() {
    return m_f.GetBestNoPost();
}

namespace {

// The values with the unit flag read as metric: the information report then writes height
// and weight as they are stored.
class CAsStored : public acq_reports::ISpiroReportValues {
public:
    explicit CAsStored(acq_reports::ISpiroReportValues& v) : m_v(v) {}
    std::string GetInformation(int n) override { return n == 27 ? "0" : m_v.GetInformation(n); }
    std::string GetRaceString() override { return m_v.GetRaceString(); }
    std::string GetSmokeString() override { return m_v.GetSmokeString(); }
    std::string GetSmokePackString() override { return m_v.GetSmokePackString(); }
    std::string GetFormulaString() override { return m_v.GetFormulaString(); }
    std::string GetAnalysisString() override { return m_v.GetAnalysisString(); }
    std::string GetAnalysisStringPost() override { return m_v.GetAnalysisStringPost(); }
    short GetTestType() override { return m_v.GetTestType(); }
    short GetFileVersion() override { return m_v.GetFileVersion(); }
    short GetParamCount(short t, short v) override { return m_v.GetParamCount(t, v); }
    float GetParam(short t, short k, short d) override { return m_v.GetParam(t, k, d); }
    short GetEcode(short t, short p) override { return m_v.GetEcode(t, p); }
    short GetBestNo() override { return m_v.GetBestNo(); }
    short GetBestNoPost() override { return m_v.GetBestNoPost(); }

private:
    acq_reports::ISpiroReportValues& m_v;
};

}  // namespace

std::string ResultText(acq_reports::ISpiroReportValues& values) {
    CAsStored asStored(values);
    std::string text = acq_reports::SpiroInformationReportText(asStored);
    if (values.GetTestType() != 5)
        return text;
    // Type 5 has no diagnosis lines: they stand right before the table's section line,
    // which (numbers and labels only) is the last one of its kind in the text.
    const std::string block = "Diagnosis=" + values.GetAnalysisString() + "/" +
                              values.GetAnalysisStringPost() + "\r\n" +
                              "FVC Prediction Formula=" + values.GetFormulaString() + "\r\n";
    const std::size_t nTable = text.rfind("\r\n[Parameter - FVC Base]\r\n");
    if (nTable != std::string::npos && nTable >= block.size() &&
        text.compare(nTable - block.size(), block.size(), block) == 0)
        text.erase(nTable - block.size(), block.size());
    return text;
}

bool WriteResultText(acq_reports::ISpiroReportValues& values, const std::string& strPath) {
    return platform::WriteFileAtomically(strPath, ResultText(values));
}

bool WriteResultText(CFlowlin& control, const std::string& strPath) {
    CFlowlinReportValues values(control);
    return WriteResultText(values, strPath);
}

}  // namespace pulmetra
