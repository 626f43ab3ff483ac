#pragma once
// The dispatch contract of the ECG control: identities, the 71 methods plus AboutBox and
// the 15 events of _DWavelin / _DWavelinEvents. A DISPID is the member's 1-based position
// in the dispatch map. The control and every host wrapper include this one table.
#include "platform/dispatch.h"

namespace wavelin {

using platform::DispMember;
using platform::VT_BOOL;
using platform::VT_BSTR;
using platform::VT_EMPTY;
using platform::VT_I2;
using platform::VT_I4;
using platform::VT_R4;

inline constexpr const char* kProgId = "WAVELIN2.WavelinCtrl.1";
inline constexpr const char* kClsid = "{F2D45FAA-EA39-4177-9A78-61AB8BFDE4C6}";
inline constexpr const char* kDispIid = "{594B0D84-AA3F-41EA-B0A2-EFAB73BD88F0}";
inline constexpr const char* kEventIid = "{7E2ABB2B-2B9E-481B-8096-2287E6019B9F}";
inline constexpr const char* kTypeLibId = "{F954350F-CF2C-4709-B93C-13F34C069450}";
inline constexpr const char* kPropPageProgId = "WAVELIN2.Wavelin2PropPage.1";
inline constexpr const char* kPropPageClsid = "{FEE51EC8-35FF-45CF-98A5-D533E6DBF502}";
inline constexpr const char* kTypeName = "Wavelin Control";
inline constexpr const char* kPropPageName = "Wavelin Property Page";
inline constexpr unsigned kMiscStatus = 0x20191;
inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 0;

enum WavelinDispId : platform::DISPID {
    DISPID_EKGLockUpdate = 1,
    DISPID_EKGUnlockUpdate = 2,
    DISPID_EKGInitialize = 3,
    DISPID_EKGSetCellSize = 4,
    DISPID_EKGSetBorderCount = 5,
    DISPID_EKGSetGridPen = 6,
    DISPID_EKGSetGridInnerPen = 7,
    DISPID_EKGSetBackColor = 8,
    DISPID_EKGClearGraph = 9,
    DISPID_EKGOpenFile = 10,
    DISPID_EKGSaveFile = 11,
    DISPID_EKGStartMonitoring = 12,
    DISPID_EKGStopMonitoring = 13,
    DISPID_EKGStartRecording = 14,
    DISPID_EKGStopRecording = 15,
    DISPID_EKGStartAnalysisRecording = 16,
    DISPID_EKGStopAnalysisRecording = 17,
    DISPID_EKGSetChType = 18,
    DISPID_EKGSetRhyCh = 19,
    DISPID_EKGSetGain = 20,
    DISPID_EKGSetSpeed = 21,
    DISPID_EKGSetGraphPen = 22,
    DISPID_EKGPrint = 23,
    DISPID_EKGSetPrintGraphPen = 24,
    DISPID_EKGSetPrintGridPen = 25,
    DISPID_EKGSetPrintGridInnerPen = 26,
    DISPID_EKGMakeImage = 27,
    DISPID_EKGGetRhythmParam = 28,
    DISPID_EKGGetMorphologyParam = 29,
    DISPID_EKGGetAnalysisCnt = 30,
    DISPID_EKGGetAnalysis = 31,
    DISPID_EKGGetPatientInfo = 32,
    DISPID_EKGGetComment = 33,
    DISPID_EKGSetComment = 34,
    DISPID_EKGSetPatientInfo = 35,
    DISPID_EKGSetFilterInfo = 36,
    DISPID_EKGGetMisc = 37,
    DISPID_EKGSetMisc = 38,
    DISPID_EKGEnableMagnifyGlass = 39,
    DISPID_EKGEnableMeasure = 40,
    DISPID_EKGSetTime = 41,
    DISPID_EKGGetTime = 42,
    DISPID_EKGSetPrintDiag = 43,
    DISPID_EKGSetPrintParam = 44,
    DISPID_EKGSetPrintComment = 45,
    DISPID_EKGPrintPreview = 46,
    DISPID_EKGGetMode = 47,
    DISPID_EKGSetMonitoringBarColor = 48,
    DISPID_EKGShowInnerGrid = 49,
    DISPID_EKGShowPacemaker = 50,
    DISPID_EKGSetPrintPacemaker = 51,
    DISPID_EKGShowLeadFault = 52,
    DISPID_EKGOpenURL = 53,
    DISPID_EKGMakePDF = 54,
    DISPID_EKGMakeImageBMP = 55,
    DISPID_EKGSetDeviceInfo = 56,
    DISPID_EKGSetUnit = 57,
    DISPID_EKGGetConnectedEKGCnt = 58,
    DISPID_EKGGetConnectedEKGInfo = 59,
    DISPID_EKGGetConnectedEKGID = 60,
    DISPID_EKGGetConnectedEKGIP = 61,
    DISPID_EKGConnectedSearch = 62,
    DISPID_EKGSetIPExchangeType = 63,
    DISPID_EKGSetDiagTempDir = 64,
    DISPID_EKGMakeXML = 65,
    DISPID_EKGSetLanguage = 66,
    DISPID_SetBackColor = 67,
    DISPID_SetGrid = 68,
    DISPID_SetGrid_Inner = 69,
    DISPID_SetGraph = 70,
    // Why the last EKGPrint printed nothing (the print system's reason where it gave one);
    // empty after a print the queue took. The hosts' one way to say why a print failed.
    DISPID_EKGGetPrintError = 71,
    DISPID_AboutBox = -552,
};

enum WavelinEventId : platform::DISPID {
    EVENTID_EKGRecordCompleted = 1,
    EVENTID_EKGRecordReceiving = 2,
    EVENTID_EKGConnected = 3,
    EVENTID_EKGMeasureWidth = 4,
    EVENTID_EKGMeasureHeight = 5,
    EVENTID_EKGPrintStart = 6,
    EVENTID_EKGPrintButton = 7,
    EVENTID_EKGLeadFault = 8,
    EVENTID_EKGRecordFail = 9,
    EVENTID_EKGPDFError = 10,
    EVENTID_RecordSignalNotGood = 11,
    EVENTID_MonitorSignalNotGood = 12,
    EVENTID_EKGDataReady = 13,
    EVENTID_EKGFileSaveDone = 14,
    EVENTID_EKGTriggerProgress = 15,
};

// The code EKGRecordFail carries.
enum WavelinRecordFail : short {
    // The analysis engine did not run or failed; the recording is dropped.
    RECORDFAIL_ENGINE = 1,
    // The recording could not be written for the engine ("__temp.raw"): it stays loaded,
    // not analysed, so that the host can keep it with EKGSaveFile.
    RECORDFAIL_NOT_WRITTEN = 2,
};

// Text arguments are 8-bit texts (LPCTSTR), text results BSTR; colours are long COLORREF.
inline constexpr DispMember kMethods[] = {
    {DISPID_EKGLockUpdate, "EKGLockUpdate", VT_EMPTY, {}},
    {DISPID_EKGUnlockUpdate, "EKGUnlockUpdate", VT_EMPTY, {}},
    {DISPID_EKGInitialize, "EKGInitialize", VT_EMPTY, {VT_I2, VT_I2, VT_I2, VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGSetCellSize, "EKGSetCellSize", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetBorderCount, "EKGSetBorderCount", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetGridPen, "EKGSetGridPen", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_EKGSetGridInnerPen, "EKGSetGridInnerPen", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_EKGSetBackColor, "EKGSetBackColor", VT_EMPTY, {VT_I4}},
    {DISPID_EKGClearGraph, "EKGClearGraph", VT_EMPTY, {}},
    {DISPID_EKGOpenFile, "EKGOpenFile", VT_BOOL, {VT_BSTR}},
    {DISPID_EKGSaveFile, "EKGSaveFile", VT_BOOL, {VT_BSTR}},
    {DISPID_EKGStartMonitoring, "EKGStartMonitoring", VT_BOOL, {VT_BSTR, VT_I2}},
    {DISPID_EKGStopMonitoring, "EKGStopMonitoring", VT_BOOL, {}},
    {DISPID_EKGStartRecording, "EKGStartRecording", VT_BOOL, {VT_BSTR, VT_I2}},
    {DISPID_EKGStopRecording, "EKGStopRecording", VT_BOOL, {}},
    {DISPID_EKGStartAnalysisRecording,
     "EKGStartAnalysisRecording",
     VT_BOOL,
     {VT_BSTR, VT_BSTR, VT_I2}},
    {DISPID_EKGStopAnalysisRecording, "EKGStopAnalysisRecording", VT_BOOL, {}},
    {DISPID_EKGSetChType, "EKGSetChType", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetRhyCh, "EKGSetRhyCh", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetGain, "EKGSetGain", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetSpeed, "EKGSetSpeed", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetGraphPen, "EKGSetGraphPen", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_EKGPrint, "EKGPrint", VT_I2, {VT_BSTR, VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGSetPrintGraphPen, "EKGSetPrintGraphPen", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_EKGSetPrintGridPen, "EKGSetPrintGridPen", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_EKGSetPrintGridInnerPen, "EKGSetPrintGridInnerPen", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_EKGMakeImage, "EKGMakeImage", VT_BOOL, {VT_BSTR, VT_I2, VT_I2, VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGGetRhythmParam, "EKGGetRhythmParam", VT_I2, {VT_I2}},
    {DISPID_EKGGetMorphologyParam, "EKGGetMorphologyParam", VT_I2, {VT_I2, VT_I2}},
    {DISPID_EKGGetAnalysisCnt, "EKGGetAnalysisCnt", VT_I2, {}},
    {DISPID_EKGGetAnalysis, "EKGGetAnalysis", VT_BSTR, {VT_I2}},
    {DISPID_EKGGetPatientInfo, "EKGGetPatientInfo", VT_BSTR, {VT_I2}},
    {DISPID_EKGGetComment, "EKGGetComment", VT_BSTR, {}},
    {DISPID_EKGSetComment, "EKGSetComment", VT_EMPTY, {VT_BSTR}},
    {DISPID_EKGSetPatientInfo, "EKGSetPatientInfo", VT_EMPTY, {VT_I2, VT_BSTR}},
    {DISPID_EKGSetFilterInfo, "EKGSetFilterInfo", VT_EMPTY, {VT_I2, VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGGetMisc, "EKGGetMisc", VT_BSTR, {VT_I2}},
    {DISPID_EKGSetMisc, "EKGSetMisc", VT_EMPTY, {VT_I2, VT_BSTR}},
    {DISPID_EKGEnableMagnifyGlass, "EKGEnableMagnifyGlass", VT_EMPTY, {VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGEnableMeasure, "EKGEnableMeasure", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetTime, "EKGSetTime", VT_EMPTY, {VT_I2, VT_I2, VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGGetTime, "EKGGetTime", VT_BSTR, {}},
    {DISPID_EKGSetPrintDiag, "EKGSetPrintDiag", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetPrintParam, "EKGSetPrintParam", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetPrintComment, "EKGSetPrintComment", VT_EMPTY, {VT_I2}},
    {DISPID_EKGPrintPreview, "EKGPrintPreview", VT_I2, {VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGGetMode, "EKGGetMode", VT_I2, {}},
    {DISPID_EKGSetMonitoringBarColor, "EKGSetMonitoringBarColor", VT_EMPTY, {VT_I4}},
    {DISPID_EKGShowInnerGrid, "EKGShowInnerGrid", VT_EMPTY, {VT_I2}},
    {DISPID_EKGShowPacemaker, "EKGShowPacemaker", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetPrintPacemaker, "EKGSetPrintPacemaker", VT_EMPTY, {VT_I2}},
    {DISPID_EKGShowLeadFault, "EKGShowLeadFault", VT_EMPTY, {VT_I2}},
    {DISPID_EKGOpenURL, "EKGOpenURL", VT_BOOL, {VT_BSTR}},
    {DISPID_EKGMakePDF, "EKGMakePDF", VT_BOOL, {VT_BSTR, VT_I2, VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGMakeImageBMP,
     "EKGMakeImageBMP",
     VT_BOOL,
     {VT_BSTR, VT_I2, VT_I2, VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGSetDeviceInfo, "EKGSetDeviceInfo", VT_EMPTY, {VT_I2, VT_I2, VT_I2, VT_I2}},
    {DISPID_EKGSetUnit, "EKGSetUnit", VT_BOOL, {VT_BSTR}},
    {DISPID_EKGGetConnectedEKGCnt, "EKGGetConnectedEKGCnt", VT_I2, {}},
    {DISPID_EKGGetConnectedEKGInfo, "EKGGetConnectedEKGInfo", VT_BSTR, {VT_I2}},
    {DISPID_EKGGetConnectedEKGID, "EKGGetConnectedEKGID", VT_BSTR, {VT_I2}},
    {DISPID_EKGGetConnectedEKGIP, "EKGGetConnectedEKGIP", VT_BSTR, {VT_I2}},
    {DISPID_EKGConnectedSearch, "EKGConnectedSearch", VT_I2, {VT_I2}},
    {DISPID_EKGSetIPExchangeType, "EKGSetIPExchangeType", VT_EMPTY, {VT_I2}},
    {DISPID_EKGSetDiagTempDir, "EKGSetDiagTempDir", VT_EMPTY, {VT_BSTR}},
    {DISPID_EKGMakeXML, "EKGMakeXML", VT_BOOL, {VT_BSTR}},
    {DISPID_EKGSetLanguage, "EKGSetLanguage", VT_EMPTY, {VT_I2}},
    {DISPID_SetBackColor, "SetBackColor", VT_BOOL, {VT_I4}},
    {DISPID_SetGrid, "SetGrid", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_SetGrid_Inner, "SetGrid_Inner", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_SetGraph, "SetGraph", VT_BOOL, {VT_I2, VT_I2, VT_I4}},
    {DISPID_EKGGetPrintError, "EKGGetPrintError", VT_BSTR, {}},
    {DISPID_AboutBox, "AboutBox", VT_EMPTY, {}},
};

inline constexpr DispMember kEvents[] = {
    {EVENTID_EKGRecordCompleted, "EKGRecordCompleted", VT_EMPTY, {}},
    {EVENTID_EKGRecordReceiving, "EKGRecordReceiving", VT_EMPTY, {VT_R4}},
    {EVENTID_EKGConnected, "EKGConnected", VT_EMPTY, {VT_I2, VT_I2}},
    {EVENTID_EKGMeasureWidth, "EKGMeasureWidth", VT_EMPTY, {VT_I2, VT_I2}},
    {EVENTID_EKGMeasureHeight, "EKGMeasureHeight", VT_EMPTY, {VT_I2}},
    {EVENTID_EKGPrintStart, "EKGPrintStart", VT_EMPTY, {}},
    {EVENTID_EKGPrintButton, "EKGPrintButton", VT_EMPTY, {}},
    {EVENTID_EKGLeadFault, "EKGLeadFault", VT_EMPTY, {VT_I2}},
    {EVENTID_EKGRecordFail, "EKGRecordFail", VT_EMPTY, {VT_I2}},
    {EVENTID_EKGPDFError, "EKGPDFError", VT_EMPTY, {VT_I4, VT_I4}},
    {EVENTID_RecordSignalNotGood, "RecordSignalNotGood", VT_EMPTY, {}},
    {EVENTID_MonitorSignalNotGood, "MonitorSignalNotGood", VT_EMPTY, {}},
    {EVENTID_EKGDataReady, "EKGDataReady", VT_EMPTY, {}},
    {EVENTID_EKGFileSaveDone, "EKGFileSaveDone", VT_EMPTY, {VT_BSTR}},
    {EVENTID_EKGTriggerProgress, "EKGTriggerProgress", VT_EMPTY, {VT_I2}},
};

inline constexpr int kMethodCount = 71;  // AboutBox comes on top
inline constexpr int kEventCount = 15;

inline const platform::DispInterface& MethodInterface() {
    static const platform::DispInterface iface{"_DWavelin", kMethods};
    return iface;
}
inline const platform::DispInterface& EventInterface() {
    static const platform::DispInterface iface{"_DWavelinEvents", kEvents};
    return iface;
}

}  // namespace wavelin
