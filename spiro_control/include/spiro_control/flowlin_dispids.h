#pragma once
// The dispatch contract of the spirometry control: identities, the 8 properties, the 41
// methods plus AboutBox of _DFlowlin (_DFlowlinEvents is empty). A DISPID is the member's
// 1-based position in the dispatch map; hosts bind by these numbers, never by the older
// embedded type library. The control and every host wrapper include this one table.
#include "platform/dispatch.h"

namespace flowlin {

using platform::DispMember;
using platform::VT_BOOL;
using platform::VT_BSTR;
using platform::VT_EMPTY;
using platform::VT_I2;
using platform::VT_I4;
using platform::VT_R4;

inline constexpr const char* kProgId = "FLOWLIN.FlowlinCtrl.1";
inline constexpr const char* kClsid = "{071A4402-7EDA-4982-9FA0-70B33C665992}";
inline constexpr const char* kDispIid = "{F7CF4BB2-AF8E-4C3C-9313-5DC35BACA5D5}";
inline constexpr const char* kEventIid = "{AE84AC41-38C4-42FE-A308-08BC2EE39F6B}";
inline constexpr const char* kTypeLibId = "{828F23AF-372A-4F62-AD76-95C21D1C00E4}";
inline constexpr const char* kPropPageProgId = "FLOWLIN.FlowlinPropPage.1";
inline constexpr const char* kPropPageClsid = "{90E4B8FA-03BB-4AF3-83A7-92007688614C}";
inline constexpr const char* kTypeName = "Flowlin Control";
inline constexpr const char* kPropPageName = "Flowlin Property Page";
inline constexpr unsigned kMiscStatus = 0x20191;
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;

enum FlowlinDispId : platform::DISPID {
    // Properties (read and written)
    DISPID_BackColor = 1,
    DISPID_TextColor = 2,
    DISPID_BorderSize = 3,
    DISPID_FVCGraphType = 4,
    DISPID_GridSize = 5,
    DISPID_PrintDiagnosis = 6,
    DISPID_PrintComment = 7,
    DISPID_FVCGraphNum = 8,
    // Methods
    DISPID_Clear = 9,
    DISPID_Open = 10,
    DISPID_Save = 11,
    DISPID_SetPenAxis = 12,
    DISPID_SetPenGrid = 13,
    DISPID_SetPenGraph = 14,
    DISPID_SetPenReference = 15,
    DISPID_GetTestType = 16,
    DISPID_GetParamCount = 17,
    DISPID_GetParamDepth = 18,
    DISPID_GetParamLabelString = 19,
    DISPID_GetParamUnitString = 20,
    DISPID_GetMeasureString = 21,
    DISPID_GetParam = 22,
    DISPID_SetParam = 23,
    DISPID_GetInformation = 24,
    DISPID_SetInformation = 25,
    DISPID_SaveJPEG = 26,
    DISPID_Print = 27,
    DISPID_PrintEx = 28,
    DISPID_PrintPreview = 29,
    DISPID_GetRaceString = 30,
    DISPID_GetSmokeString = 31,
    DISPID_GetSmokePackString = 32,
    DISPID_GetAnalysisString = 33,
    DISPID_GetFormulaString = 34,
    DISPID_IsPound = 35,
    DISPID_GetAnalysisStringPost = 36,
    DISPID_SetPenGraphPost = 37,
    DISPID_GetFileVersion = 38,
    DISPID_SaveBMP = 39,
    DISPID_SavePDF = 40,
    DISPID_SpiroSetUnit = 41,
    DISPID_GetEcode = 42,
    DISPID_GetTrialNum = 43,
    DISPID_GetBestNo = 44,
    DISPID_GetBestNoPost = 45,
    DISPID_SetPDFPenGrid = 46,
    DISPID_SetPDFPenGraph = 47,
    DISPID_SetPDFPenGraphPost = 48,
    DISPID_SetPDFPenReference = 49,
    DISPID_AboutBox = -552,
};

// Properties: the entry's result is the property's type; it is read with no argument and
// written with one argument of that type. Colours are long OLE colours.
inline constexpr DispMember kProperties[] = {
    {DISPID_BackColor, "BackColor", VT_I4, {}},
    {DISPID_TextColor, "TextColor", VT_I4, {}},
    {DISPID_BorderSize, "BorderSize", VT_I2, {}},
    {DISPID_FVCGraphType, "FVCGraphType", VT_I2, {}},
    {DISPID_GridSize, "GridSize", VT_I2, {}},
    {DISPID_PrintDiagnosis, "PrintDiagnosis", VT_BOOL, {}},
    {DISPID_PrintComment, "PrintComment", VT_BOOL, {}},
    {DISPID_FVCGraphNum, "FVCGraphNum", VT_I2, {}},
};

// Text arguments are 8-bit texts (LPCTSTR), text results BSTR; pens are style, width and
// a long colour.
inline constexpr DispMember kMethods[] = {
    {DISPID_Clear, "Clear", VT_EMPTY, {}},
    {DISPID_Open, "Open", VT_I2, {VT_BSTR, VT_I2}},
    {DISPID_Save, "Save", VT_I2, {VT_BSTR}},
    {DISPID_SetPenAxis, "SetPenAxis", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_SetPenGrid, "SetPenGrid", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_SetPenGraph, "SetPenGraph", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_SetPenReference, "SetPenReference", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_GetTestType, "GetTestType", VT_I2, {}},
    {DISPID_GetParamCount, "GetParamCount", VT_I2, {VT_I2, VT_I2}},
    {DISPID_GetParamDepth, "GetParamDepth", VT_I2, {VT_I2}},
    {DISPID_GetParamLabelString, "GetParamLabelString", VT_BSTR, {VT_I2, VT_I2}},
    {DISPID_GetParamUnitString, "GetParamUnitString", VT_BSTR, {VT_I2, VT_I2}},
    {DISPID_GetMeasureString, "GetMeasureString", VT_BSTR, {VT_I2, VT_I2}},
    {DISPID_GetParam, "GetParam", VT_R4, {VT_I2, VT_I2, VT_I2}},
    {DISPID_SetParam, "SetParam", VT_I2, {VT_I2, VT_I2, VT_I2, VT_R4}},
    {DISPID_GetInformation, "GetInformation", VT_BSTR, {VT_I2}},
    {DISPID_SetInformation, "SetInformation", VT_EMPTY, {VT_I2, VT_BSTR}},
    {DISPID_SaveJPEG, "SaveJPEG", VT_I2, {VT_BSTR, VT_I2}},
    {DISPID_Print, "Print", VT_I2, {}},
    {DISPID_PrintEx, "PrintEx", VT_I2, {VT_BSTR, VT_I2}},
    {DISPID_PrintPreview, "PrintPreview", VT_I2, {}},
    {DISPID_GetRaceString, "GetRaceString", VT_BSTR, {}},
    {DISPID_GetSmokeString, "GetSmokeString", VT_BSTR, {}},
    {DISPID_GetSmokePackString, "GetSmokePackString", VT_BSTR, {}},
    {DISPID_GetAnalysisString, "GetAnalysisString", VT_BSTR, {}},
    {DISPID_GetFormulaString, "GetFormulaString", VT_BSTR, {}},
    {DISPID_IsPound, "IsPound", VT_BOOL, {}},
    {DISPID_GetAnalysisStringPost, "GetAnalysisStringPost", VT_BSTR, {}},
    {DISPID_SetPenGraphPost, "SetPenGraphPost", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_GetFileVersion, "GetFileVersion", VT_I2, {}},
    {DISPID_SaveBMP, "SaveBMP", VT_I2, {VT_BSTR, VT_I2}},
    {DISPID_SavePDF, "SavePDF", VT_I2, {VT_BSTR, VT_I2}},
    {DISPID_SpiroSetUnit, "SpiroSetUnit", VT_EMPTY, {VT_I2}},
    {DISPID_GetEcode, "GetEcode", VT_I2, {VT_I2, VT_I2}},
    {DISPID_GetTrialNum, "GetTrialNum", VT_I2, {}},
    {DISPID_GetBestNo, "GetBestNo", VT_I2, {}},
    {DISPID_GetBestNoPost, "GetBestNoPost", VT_I2, {}},
    {DISPID_SetPDFPenGrid, "SetPDFPenGrid", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_SetPDFPenGraph, "SetPDFPenGraph", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_SetPDFPenGraphPost, "SetPDFPenGraphPost", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_SetPDFPenReference, "SetPDFPenReference", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_AboutBox, "AboutBox", VT_EMPTY, {}},
};

inline constexpr int kPropertyCount = 8;
inline constexpr int kMethodCount = 41;  // AboutBox comes on top

inline const platform::DispInterface& PropertyInterface() {
    static const platform::DispInterface iface{"_DFlowlin", kProperties};
    return iface;
}
inline const platform::DispInterface& MethodInterface() {
    static const platform::DispInterface iface{"_DFlowlin", kMethods};
    return iface;
}
// The control fires no events.
inline const platform::DispInterface& EventInterface() {
    static const platform::DispInterface iface{"_DFlowlinEvents", {}};
    return iface;
}

}  // namespace flowlin
