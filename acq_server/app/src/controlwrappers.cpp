#include "acq_server/app/controlwrappers.h"

#include "spiro_control/flowlin_dispids.h"

using platform::Variant;

namespace {
Variant S(short n) { return Variant(n); }
Variant T(const char* psz) { return Variant(psz); }
BOOL B(const Variant& v) { return v.AsBool() ? TRUE : FALSE; }
}  // namespace

// Spirometry control

bool CFlowlin::Create(QWidget* pParent, std::string* pError) {
    return CControlWrapper::Create(flowlin::kClsid, pParent, 0, pError);
}
short CFlowlin::Open(const char* p, short nType) {
    Variant v = Call(flowlin::DISPID_Open, {T(p), S(nType)});
    // No control (or no answer) reads as a refused file.
    return v.IsEmpty() ? short(-1) : v.AsShort();
}
short CFlowlin::GetTestType() { return Call(flowlin::DISPID_GetTestType).AsShort(); }
short CFlowlin::GetParamCount(short a, short b) {
    return Call(flowlin::DISPID_GetParamCount, {S(a), S(b)}).AsShort();
}
float CFlowlin::GetParam(short a, short b, short c) {
    return Call(flowlin::DISPID_GetParam, {S(a), S(b), S(c)}).AsFloat();
}
CString CFlowlin::GetInformation(short n) {
    return Call(flowlin::DISPID_GetInformation, {S(n)}).AsText();
}
void CFlowlin::SetInformation(short n, const char* p) {
    Call(flowlin::DISPID_SetInformation, {S(n), T(p)});
}
short CFlowlin::SaveJPEG(const char* p, short nWidth) {
    Variant v = Call(flowlin::DISPID_SaveJPEG, {T(p), S(nWidth)});
    return v.IsEmpty() ? short(-1) : v.AsShort();
}
CString CFlowlin::GetRaceString() { return Call(flowlin::DISPID_GetRaceString).AsText(); }
CString CFlowlin::GetSmokeString() { return Call(flowlin::DISPID_GetSmokeString).AsText(); }
CString CFlowlin::GetSmokePackString() { return Call(flowlin::DISPID_GetSmokePackString).AsText(); }
CString CFlowlin::GetAnalysisString() { return Call(flowlin::DISPID_GetAnalysisString).AsText(); }
CString CFlowlin::GetFormulaString() { return Call(flowlin::DISPID_GetFormulaString).AsText(); }
CString CFlowlin::GetAnalysisStringPost() {
    return Call(flowlin::DISPID_GetAnalysisStringPost).AsText();
}
short CFlowlin::GetFileVersion() { return Call(flowlin::DISPID_GetFileVersion).AsShort(); }
short CFlowlin::SavePDF(const char* p, short nWidth) {
    Variant v = Call(flowlin::DISPID_SavePDF, {T(p), S(nWidth)});
    return v.IsEmpty() ? short(-1) : v.AsShort();
}
short CFlowlin::GetEcode(short a, short b) {
    return Call(flowlin::DISPID_GetEcode, {S(a), S(b)}).AsShort();
}
short CFlowlin::GetBestNo() { return Call(flowlin::DISPID_GetBestNo).AsShort(); }
short CFlowlin::GetBestNoPost() { return Call(flowlin::DISPID_GetBestNoPost).AsShort(); }
