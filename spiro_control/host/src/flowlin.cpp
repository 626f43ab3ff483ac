#include "spiro_control/host/flowlin.h"

#include "spiro_control/flowlin_dispids.h"

using namespace flowlin;
using platform::Variant;

namespace {
Variant S(short n) { return Variant(n); }
Variant L(long n) { return Variant(static_cast<std::int32_t>(n)); }
Variant T(const char* psz) { return Variant(psz); }
Variant B(BOOL b) { return Variant::FromBool(b != FALSE); }
BOOL ToBool(const Variant& v) { return v.AsBool() ? TRUE : FALSE; }
// Members that answer with a result code: no control (or no answer) reads as a failure.
short Code(const Variant& v) { return v.IsEmpty() ? short(-1) : v.AsShort(); }
}  // namespace

bool CFlowlin::Create(QWidget* pParent, UINT nCtrlId, std::string* pError,
                      const char* pszLibraryBeside) {
    return CControlWrapper::Create(kClsid, pParent, nCtrlId, pError, pszLibraryBeside);
}

short CFlowlin::GetFVCGraphType() { return Call(DISPID_FVCGraphType).AsShort(); }
void CFlowlin::SetFVCGraphType(short n) { Call(DISPID_FVCGraphType, {S(n)}); }
void CFlowlin::SetGridSize(short n) { Call(DISPID_GridSize, {S(n)}); }
void CFlowlin::SetPrintDiagnosis(BOOL b) { Call(DISPID_PrintDiagnosis, {B(b)}); }
void CFlowlin::SetPrintComment(BOOL b) { Call(DISPID_PrintComment, {B(b)}); }
short CFlowlin::GetFVCGraphNum() { return Call(DISPID_FVCGraphNum).AsShort(); }
void CFlowlin::SetFVCGraphNum(short n) { Call(DISPID_FVCGraphNum, {S(n)}); }

void CFlowlin::Clear() { Call(DISPID_Clear); }
short CFlowlin::Open(const char* p, short nType) { return Code(Call(DISPID_Open, {T(p), S(nType)})); }
short CFlowlin::Save(const char* p) { return Code(Call(DISPID_Save, {T(p)})); }
BOOL CFlowlin::SetPenGrid(short s, short w, long c) {
    return ToBool(Call(DISPID_SetPenGrid, {S(s), S(w), L(c)}));
}
BOOL CFlowlin::SetPenGraph(short s, short w, long c) {
    return ToBool(Call(DISPID_SetPenGraph, {S(s), S(w), L(c)}));
}
BOOL CFlowlin::SetPenReference(short s, short w, long c) {
    return ToBool(Call(DISPID_SetPenReference, {S(s), S(w), L(c)}));
}
short CFlowlin::GetTestType() { return Call(DISPID_GetTestType).AsShort(); }
short CFlowlin::GetParamCount(short a, short b) {
    return Call(DISPID_GetParamCount, {S(a), S(b)}).AsShort();
}
short CFlowlin::GetParamDepth(short a) { return Call(DISPID_GetParamDepth, {S(a)}).AsShort(); }
CString CFlowlin::GetParamLabelString(short a, short b) {
    return Call(DISPID_GetParamLabelString, {S(a), S(b)}).AsText();
}
CString CFlowlin::GetParamUnitString(short a, short b) {
    return Call(DISPID_GetParamUnitString, {S(a), S(b)}).AsText();
}
CString CFlowlin::GetMeasureString(short a, short b) {
    return Call(DISPID_GetMeasureString, {S(a), S(b)}).AsText();
}
float CFlowlin::GetParam(short a, short b, short c) {
    return Call(DISPID_GetParam, {S(a), S(b), S(c)}).AsFloat();
}
CString CFlowlin::GetInformation(short n) { return Call(DISPID_GetInformation, {S(n)}).AsText(); }
void CFlowlin::SetInformation(short n, const char* p) { Call(DISPID_SetInformation, {S(n), T(p)}); }
short CFlowlin::SaveJPEG(const char* p, short w) { return Code(Call(DISPID_SaveJPEG, {T(p), S(w)})); }
short CFlowlin::PrintEx(const char* p, short n) { return Code(Call(DISPID_PrintEx, {T(p), S(n)})); }
short CFlowlin::PrintPreview() { return Call(DISPID_PrintPreview).AsShort(); }
CString CFlowlin::GetRaceString() { return Call(DISPID_GetRaceString).AsText(); }
CString CFlowlin::GetSmokeString() { return Call(DISPID_GetSmokeString).AsText(); }
CString CFlowlin::GetSmokePackString() { return Call(DISPID_GetSmokePackString).AsText(); }
CString CFlowlin::GetAnalysisString() { return Call(DISPID_GetAnalysisString).AsText(); }
CString CFlowlin::GetFormulaString() { return Call(DISPID_GetFormulaString).AsText(); }
BOOL CFlowlin::IsPound() { return ToBool(Call(DISPID_IsPound)); }
CString CFlowlin::GetAnalysisStringPost() { return Call(DISPID_GetAnalysisStringPost).AsText(); }
BOOL CFlowlin::SetPenGraphPost(short s, short w, long c) {
    return ToBool(Call(DISPID_SetPenGraphPost, {S(s), S(w), L(c)}));
}
short CFlowlin::GetFileVersion() { return Call(DISPID_GetFileVersion).AsShort(); }
short CFlowlin::SaveBMP(const char* p, short w) { return Code(Call(DISPID_SaveBMP, {T(p), S(w)})); }
short CFlowlin::SavePDF(const char* p, short w) { return Code(Call(DISPID_SavePDF, {T(p), S(w)})); }
short CFlowlin::GetEcode(short a, short b) { return Call(DISPID_GetEcode, {S(a), S(b)}).AsShort(); }
short CFlowlin::GetTrialNum() { return Call(DISPID_GetTrialNum).AsShort(); }
short CFlowlin::GetBestNo() { return Call(DISPID_GetBestNo).AsShort(); }
short CFlowlin::GetBestNoPost() { return Call(DISPID_GetBestNoPost).AsShort(); }
BOOL CFlowlin::SetPDFPenGrid(short s, short w, long c) {
    return ToBool(Call(DISPID_SetPDFPenGrid, {S(s), S(w), L(c)}));
}
BOOL CFlowlin::SetPDFPenGraph(short s, short w, long c) {
    return ToBool(Call(DISPID_SetPDFPenGraph, {S(s), S(w), L(c)}));
}
BOOL CFlowlin::SetPDFPenGraphPost(short s, short w, long c) {
    return ToBool(Call(DISPID_SetPDFPenGraphPost, {S(s), S(w), L(c)}));
}
BOOL CFlowlin::SetPDFPenReference(short s, short w, long c) {
    return ToBool(Call(DISPID_SetPDFPenReference, {S(s), S(w), L(c)}));
}
