#pragma once
// One graph window of Pulmetra's view: the spirometry control (through the host wrapper)
// with the exam it shows, mouse zoom by Ctrl-drag, and the outline that marks the active
// window. It is also the control the DICOM export reads.
#include <QPoint>
#include <QWidget>
#include <functional>

#include "acq_server/dicom/dicomsource.h"
#include "spiro_control/host/flowlin.h"

class CExamItem;

class CPulmetraGraphWnd : public QWidget, public CFlowlin, public ISpiroDicomSource {
public:
    // What the window tells its view and the main window (messages by their numbers).
    struct Host {
        std::function<void(CPulmetraGraphWnd&)> activate;   // left button down
        std::function<void(int nCode, int nValue)> toView;  // message 1224
        std::function<void(int nCode, int nValue)> toMain;  // message 1226
        std::function<void(unsigned nID)> postToMain;       // posted command
        std::function<void(int nDelta)> wheel;              // the view's wheel
    };
    static constexpr int kMinZoom = 1, kMaxZoom = 10, kDragStep = 20;

    CPulmetraGraphWnd(QWidget* pParent, int nID);
    ~CPulmetraGraphWnd() override;

    bool CreateControl(std::string* pError = nullptr);
    int GetID() const { return m_nID; }
    void SetHost(Host host) { m_host = std::move(host); }
    void SetActiveLook(bool b);

    // Forgets the exam and clears the control; the zoom level stays.
    void ResetExam();
    // Opens the item's file into the control; a failure shows 65139 and leaves the window
    // empty (the view shows the previous exam again).
    BOOL OpenExam(CExamItem* pItem);
    CExamItem* GetExam() const { return m_pExam; }
    const CString& GetRecordPath() const { return m_strPath; }
    const CString& GetFileName() const { return m_strFileName; }
    BOOL HasFile() const { return m_bHasFile; }

    int m_nZoom = 3;

    // ISpiroDicomSource (and the wrapper's members of the same names)
    CString GetInformation(short nKind) override { return CFlowlin::GetInformation(nKind); }
    short GetTestType() override { return CFlowlin::GetTestType(); }
    short SaveBMP(const CString& strPath, short nWidth) override {
        return CFlowlin::SaveBMP(strPath.c_str(), nWidth);
    }
    short SaveJPEG(const CString& strPath, short nWidth) override {
        return CFlowlin::SaveJPEG(strPath.c_str(), nWidth);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void OnMouseMove(const QPoint& pt, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);

    int m_nID;
    Host m_host;
    CExamItem* m_pExam = nullptr;
    BOOL m_bHasFile = FALSE;
    QPoint m_ptLast;
    CString m_strPath, m_strFileName;
    bool m_bActiveLook = false;
};
