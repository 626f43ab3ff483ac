#pragma once
// The ECG control: a window that holds the ECG view window and forwards every dispatch
// method to it; events go back to the host's sink by their identifiers.
#include <span>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "ecg_control/control/ekggraphwnd.h"
#include "ecg_control/wavelin_dispids.h"
#include "platform/dispatch.h"

namespace ekglink {
class CEkgFinder;
}

class CWavelinCtrl;

// One entry of the control's dispatch map: identifier, name, handler.
struct CWavelinDispEntry {
    platform::DISPID dispid;
    const char* name;
    platform::Variant (*pfn)(CWavelinCtrl& ctrl, const std::vector<platform::Variant>& args);
};

class CWavelinCtrl : public platform::CDispatchControlBase {
public:
    // bCreateWindow FALSE leaves the view window uncreated (design time).
    explicit CWavelinCtrl(QWidget* pParent, BOOL bCreateWindow = TRUE);
    ~CWavelinCtrl() override;
    CWavelinCtrl(const CWavelinCtrl&) = delete;
    CWavelinCtrl& operator=(const CWavelinCtrl&) = delete;

    const platform::DispInterface& Methods() const override { return wavelin::MethodInterface(); }
    const platform::DispInterface& Events() const override { return wavelin::EventInterface(); }
    QWidget* Widget() override { return m_pWnd; }

    static std::span<const CWavelinDispEntry> DispatchMap();

    CEkgGraphWnd& View() { return *m_pView; }
    BOOL IsViewCreated() const { return m_bViewCreated; }
    // The container's draw request: the view repaints itself; without it (design time) a
    // grey rectangle with the control's name and version.
    void OnDraw(QPainter& painter, const QRect& rcBounds);
    void AboutBox();

    // Events.
    void FireEKGRecordCompleted();
    void FireEKGRecordReceiving(float fPercent);
    void FireEKGConnected(short nError, short nMode);
    void FireEKGMeasureWidth(short nMsec, short nBpm);
    void FireEKGMeasureHeight(short nValue);
    void FireEKGLeadFault(short nLead);
    void FireEKGRecordFail(short nCode);
    void FireEKGPDFError(long nError, long nDetail);
    void FireRecordSignalNotGood();
    void FireMonitorSignalNotGood();

protected:
    platform::Variant Dispatch(const platform::DispMember& member,
                               const std::vector<platform::Variant>& args) override;

private:
    void CreateViewWindow();

    QPointer<QWidget> m_pWnd;
    QPointer<CEkgGraphWnd> m_pView;
    BOOL m_bViewCreated = FALSE;
};

// The property page: one empty page, nothing exchanged.
class CWavelinPropPage : public platform::CDispatchControlBase {
public:
    explicit CWavelinPropPage(QWidget* pParent);
    ~CWavelinPropPage() override;
    const platform::DispInterface& Methods() const override;
    const platform::DispInterface& Events() const override;
    QWidget* Widget() override { return m_pWnd; }

protected:
    platform::Variant Dispatch(const platform::DispMember&,
                               const std::vector<platform::Variant>&) override {
        return {};
    }

private:
    QPointer<QWidget> m_pWnd;
};

// The process-wide device finder behind DISPIDs 58-63 (set by the control library at load;
// without it no device is found and a search still answers 1).
namespace wavelin {
void SetProcessFinder(ekglink::CEkgFinder* pFinder);
short FinderDeviceCount();
CString FinderDeviceText(int nWhat, short nIndex);
short FinderSearch(short nTimeout);
void FinderSetType(short nType);
short FinderGetType();
}  // namespace wavelin
