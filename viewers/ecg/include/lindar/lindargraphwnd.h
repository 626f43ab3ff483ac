#pragma once
// One ECG control of the view: the control's typed host wrapper as a child window, with the
// exam it shows and its display state. It is also the control the DICOM export reads.
#include <QWidget>

#include "acq_server/dicom/dicomsource.h"
#include "ecg_control/host/wavelin.h"

class CExamItem;

class CLindarGraphWnd : public QWidget, public CWavelin, public IEkgDicomSource {
public:
    CLindarGraphWnd(QWidget* pParent, int nID);
    ~CLindarGraphWnd() override;

    // The control by its class identifier, its events by this window's id (the control
    // beside the program is registered first for a user who has none registered).
    bool Create(std::string* pError = nullptr);
    int GetID() const { return m_nID; }

    // Opens the item's file (EKGOpenFile): 1 keeps the item as the exam shown; an empty item
    // (valid flag 0) or the control's 0 shows the open message and gives 0; another answer
    // of the control is returned as it is, without the item and without a message.
    int OpenExam(CExamItem* pItem);
    // Forgets the exam, clears the control and gives the exam that was shown.
    CExamItem* CloseExam();
    BOOL HasExam() const { return m_pExam != nullptr; }
    // The grid cell size of "DISP_FULL_SIZE" or "DISP_DEFAULT_SIZE" ("EKG_VIEW").
    static short GetCellSizeSetting(bool bFullScreen);
    // The cell size of a screen size text: 800 -> 3, 1024 -> 4, 1280 -> 5, 1600 -> 6, else 2.
    static short CellSizeOf(const CString& strSize);

    // IEkgDicomSource, through the wrapper's members of the same names.
    CString EKGGetPatientInfo(short n) override { return CWavelin::EKGGetPatientInfo(n); }
    CString EKGGetMisc(short n) override { return CWavelin::EKGGetMisc(n); }
    CString EKGGetTime() override { return CWavelin::EKGGetTime(); }
    BOOL EKGMakeImage(const CString& p, short a, short b, short c, short w, short f) override {
        return CWavelin::EKGMakeImage(p.c_str(), a, b, c, w, f);
    }
    BOOL EKGMakeImageBMP(const CString& p, short a, short b, short c, short w, short f) override {
        return CWavelin::EKGMakeImageBMP(p.c_str(), a, b, c, w, f);
    }
    short GetChType() override { return static_cast<short>(m_nChType); }
    short GetGain() override { return static_cast<short>(m_nGain); }
    short GetRhyCh() override { return static_cast<short>(m_nRhyCh); }

    CExamItem* m_pExam = nullptr;
    int m_nChType = 1;
    int m_nRhyCh = 1;
    int m_nGain = 3;
    int m_nSpeed = 2;
    int m_nTool = 0;
    BOOL m_bMonitoring = FALSE;
    BOOL m_bRecording = FALSE;
    BOOL m_bPacemaker = TRUE;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    int m_nID;
};
