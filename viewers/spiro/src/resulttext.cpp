#include "pulmetra/resulttext.h"

#include "acq_server/reports/spirotextreport.h"
#include "pulmetra/pulmetragraphwnd.h"

namespace {
// The report's values, read from the window's control.
class CWndValues : public acq_reports::ISpiroReportValues {
public:
    explicit CWndValues(CPulmetraGraphWnd& w) : m_w(w) {}
    std::string GetInformation(int n) override { return m_w.CFlowlin::GetInformation(short(n)); }
    std::string GetRaceString() override { return m_w.GetRaceString(); }
    std::string GetSmokeString() override { return m_w.GetSmokeString(); }
    std::string GetSmokePackString() override { return m_w.GetSmokePackString(); }
    std::string GetFormulaString() override { return m_w.GetFormulaString(); }
    std::string GetAnalysisString() override { return m_w.GetAnalysisString(); }
    std::string GetAnalysisStringPost() override { return m_w.GetAnalysisStringPost(); }
    short GetTestType() override { return m_w.CFlowlin::GetTestType(); }
    short GetFileVersion() override { return m_w.GetFileVersion(); }
    short GetParamCount(short a, short b) override { return m_w.GetParamCount(a, b); }
    float GetParam(short a, short b, short c) override { return m_w.GetParam(a, b, c); }
    short GetEcode(short a, short b) override { return m_w.GetEcode(a, b); }
    short GetBestNo() override { return m_w.GetBestNo(); }
    short GetBestNoPost() override { return m_w.GetBestNoPost(); }

private:
    CPulmetraGraphWnd& m_w;
};
}  // namespace

bool WriteResultFile(CPulmetraGraphWnd& wnd, const CString& strPath) {
    CWndValues values(wnd);
    return acq_reports::WriteSpiroInformationReport(strPath, values) == 1;
}
