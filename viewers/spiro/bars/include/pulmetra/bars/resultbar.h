#pragma once
// Pulmetra's result bar (bottom of the frame): the automatic interpretation, the measured
// parameters of the test (with the quality-code row of format-2 FVC tests) and the comment
// with "Salvar Comentário", which writes it into the test file through the control.
//
// Host use: create it, dock it at the bottom, and on command 32772 (and whenever the active
// graph window or its exam changes) call Refresh with that window's control, the path of
// the exam it shows and the window's has-file flag (the comment and its button follow it),
// or Refresh(nullptr): the bar is then emptied and disabled. Set a layout handler to have
// the frame lay itself out again when the bar is minimized or restored.
#include <QString>
#include <functional>

#include "oxuctrl/oxuctrl.h"
#include "platform/wintypes.h"

class CFlowlin;
class QLabel;
class QPlainTextEdit;
class QFrame;

class CPulmetraResultBar : public CExDialogBar {
    Q_OBJECT
public:
    enum : UINT {
        IDC_ANALYSIS = 1001,
        IDC_PARAMS = 1002,
        IDC_COMMENT = 1003,
        IDC_MINIMIZE = 1006,
        IDC_PARAMS_FRAME = 1017,
        IDC_SAVE_COMMENT = 1022,
    };
    enum { kCommentLimit = 35, kMinimizedHeight = 6 };

    explicit CPulmetraResultBar(QWidget* pParent = nullptr);

    // Shows the test of the active graph window (see the class comment); nullptr, or a
    // control without a test of type 1..5, empties and disables the bar.
    void Refresh(CFlowlin* pControl, const CString& strExamPath = CString(), bool bHasFile = true);

    // "Salvar Comentário".
    void OnSaveComment();
    // The minimize button: minimized, only a 6-pixel strip with the button stays.
    void OnMinimize();
    bool IsMinimized() const { return m_bMinimized; }
    void SetLayoutHandler(std::function<void()> fn) { m_onLayout = std::move(fn); }

    QPlainTextEdit* Analysis() const { return m_pAnalysis; }
    CExListCtrl* Params() const { return m_pParams; }
    CExEdit* Comment() const { return m_pComment; }
    CButtonST* SaveButton() const { return m_pSave; }
    CButtonST* MinimizeButton() const { return m_pMinimize; }
    // The interpretation as the control gave it (lines end in CR LF), code page text.
    const CString& AnalysisText() const { return m_strAnalysis; }

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Clear();
    void FillTable(CFlowlin& f, short nType);
    void ShowMinimized();

    CFlowlin* m_pControl = nullptr;
    CString m_strPath;
    CString m_strAnalysis;
    bool m_bMinimized = false;
    std::function<void()> m_onLayout;
    QWidget* m_pBody = nullptr;
    QPlainTextEdit* m_pAnalysis = nullptr;
    CExListCtrl* m_pParams = nullptr;
    CExEdit* m_pComment = nullptr;
    CButtonST* m_pSave = nullptr;
    CButtonST* m_pMinimize = nullptr;
};
