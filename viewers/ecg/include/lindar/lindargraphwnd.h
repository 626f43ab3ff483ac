#pragma once
// One ECG control of the view, created as a child by its class identifier and called only
// by dispatch identifier, with the exam it shows and its display state.
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "acq_server/dicom/dicomsource.h"
#include "platform/dispatch.h"
#include "platform/variant.h"

class CExamItem;

class CLindarGraphWnd : public QWidget, public platform::IEventSink, public IEkgDicomSource {
public:
    using EventHandler =
        std::function<void(int nCtrlID, platform::DISPID, const std::vector<platform::Variant>&)>;

    CLindarGraphWnd(QWidget* pParent, int nID);
    ~CLindarGraphWnd() override;

    bool Create(std::string* pError = nullptr);
    bool IsCreated() const { return m_pCtrl != nullptr; }
    int GetID() const { return m_nID; }
    QWidget* ControlWidget() const;
    // The control itself, for a dialog that works on the pane's control (null before Create).
    platform::CDispatchControl* Control() const { return m_pCtrl.get(); }
    void SetEventHandler(EventHandler h) { m_onEvent = std::move(h); }

    // A late-bound call; a failed call gives an empty result.
    platform::Variant Call(platform::DISPID id, std::vector<platform::Variant> args = {});

    // Opens the item's file (EKGOpenFile): 1 keeps the item as the exam shown; an empty item
    // (valid flag 0) or the control's 0 shows the open message and gives 0; another answer
    // of the control is returned as it is, without the item and without a message.
    int OpenExam(CExamItem* pItem);
    // Forgets the exam and clears the control.
    void ClearExam();

    // IEkgDicomSource
    CString EKGGetPatientInfo(short n) override;
    CString EKGGetMisc(short n) override;
    CString EKGGetTime() override;
    BOOL EKGMakeImage(const CString& p, short a, short b, short c, short w, short f) override;
    BOOL EKGMakeImageBMP(const CString& p, short a, short b, short c, short w, short f) override;
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
    void mousePressEvent(QMouseEvent* e) override;

private:
    void OnEvent(platform::DISPID dispid, const std::vector<platform::Variant>& args) override;

    int m_nID;
    std::unique_ptr<platform::CDispatchControl> m_pCtrl;
    EventHandler m_onEvent;
};
