#include "ecg_control/control/wavelinctrl.h"

#include <QPainter>
#include <QResizeEvent>

#include "ecg_control/draw/drawtools.h"
#include "platform/notifier.h"
#include "ecg_control/link/ekgfinder.h"

using platform::DispMember;
using platform::Variant;
using namespace wavelin;

namespace {

// The control's own window: keeps the view window at its size and draws the design-time
// picture when there is no view window.
class CWavelinWnd : public QWidget {
public:
    CWavelinWnd(CWavelinCtrl* pCtrl, QWidget* pParent) : QWidget(pParent), m_pCtrl(pCtrl) {}

protected:
    void resizeEvent(QResizeEvent* pEvent) override {
        QWidget::resizeEvent(pEvent);
        if (m_pCtrl->IsViewCreated()) {
            m_pCtrl->View().setGeometry(0, 0, width(), height());
        }
    }
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        m_pCtrl->OnDraw(painter, rect());
    }

private:
    CWavelinCtrl* m_pCtrl;
};

// Texts cross the interface as C texts: a NUL ends them (a metric record's unit character
// would otherwise reach the host as a one-character text holding NUL).
Variant Text(const CString& str) {
    const std::size_t n = str.find('\0');
    return Variant(n == CString::npos ? str : str.substr(0, n));
}
Variant Bool(BOOL b) {
    return Variant::FromBool(b != 0);
}
short S(const std::vector<Variant>& a, std::size_t i) {
    return a[i].AsShort();
}
long L(const std::vector<Variant>& a, std::size_t i) {
    return a[i].AsLong();
}
CString T(const std::vector<Variant>& a, std::size_t i) {
    return a[i].AsText();
}

using A = const std::vector<Variant>&;
using C = CWavelinCtrl&;

// The dispatch map, in dispatch identifier order.
const CWavelinDispEntry kDispatchMap[] = {
    {1, "EKGLockUpdate",
     [](C c, A) {
         c.View().EKGLockUpdate();
         return Variant();
     }},
    {2, "EKGUnlockUpdate",
     [](C c, A) {
         c.View().EKGUnlockUpdate();
         return Variant();
     }},
    {3, "EKGInitialize",
     [](C c, A a) {
         c.View().EKGInitialize(S(a, 0), S(a, 1), S(a, 2), S(a, 3), S(a, 4), S(a, 5));
         return Variant();
     }},
    {4, "EKGSetCellSize",
     [](C c, A a) {
         c.View().EKGSetCellSize(S(a, 0));
         return Variant();
     }},
    {5, "EKGSetBorderCount",
     [](C c, A a) {
         c.View().EKGSetBorderCount(S(a, 0));
         return Variant();
     }},
    {6, "EKGSetGridPen",
     [](C c, A a) { return Bool(c.View().EKGSetGridPen(S(a, 0), S(a, 1), L(a, 2))); }},
    {7, "EKGSetGridInnerPen",
     [](C c, A a) { return Bool(c.View().EKGSetGridInnerPen(S(a, 0), S(a, 1), L(a, 2))); }},
    {8, "EKGSetBackColor",
     [](C c, A a) {
         c.View().EKGSetBackColor(L(a, 0));
         return Variant();
     }},
    {9, "EKGClearGraph",
     [](C c, A) {
         c.View().EKGClearGraph();
         return Variant();
     }},
    {10, "EKGOpenFile", [](C c, A a) { return Bool(c.View().EKGOpenFile(T(a, 0))); }},
    {11, "EKGSaveFile", [](C c, A a) { return Bool(c.View().EKGSaveFile(T(a, 0))); }},
    {12, "EKGStartMonitoring",
     [](C c, A a) { return Bool(c.View().EKGStartMonitoring(T(a, 0), S(a, 1))); }},
    {13, "EKGStopMonitoring", [](C c, A) { return Bool(c.View().EKGStopMonitoring()); }},
    {14, "EKGStartRecording",
     [](C c, A a) { return Bool(c.View().EKGStartRecording(T(a, 0), S(a, 1))); }},
    {15, "EKGStopRecording", [](C c, A) { return Bool(c.View().EKGStopRecording()); }},
    // Never did anything; kept for the hosts that call it.
    {16, "EKGStartAnalysisRecording", [](C, A) { return Bool(FALSE); }},
    {17, "EKGStopAnalysisRecording", [](C, A) { return Bool(FALSE); }},
    {18, "EKGSetChType",
     [](C c, A a) {
         c.View().EKGSetChType(S(a, 0));
         return Variant();
     }},
    {19, "EKGSetRhyCh",
     [](C c, A a) {
         c.View().EKGSetRhyCh(S(a, 0));
         return Variant();
     }},
    {20, "EKGSetGain",
     [](C c, A a) {
         c.View().EKGSetGain(S(a, 0));
         return Variant();
     }},
    {21, "EKGSetSpeed",
     [](C c, A a) {
         c.View().EKGSetSpeed(S(a, 0));
         return Variant();
     }},
    {22, "EKGSetGraphPen",
     [](C c, A a) { return Bool(c.View().EKGSetGraphPen(S(a, 0), S(a, 1), L(a, 2))); }},
    {23, "EKGPrint",
     [](C c, A a) { return Variant(c.View().EKGPrint(T(a, 0), S(a, 1), S(a, 2), S(a, 3))); }},
    {24, "EKGSetPrintGraphPen",
     [](C c, A a) { return Bool(c.View().EKGSetPrintGraphPen(S(a, 0), S(a, 1), L(a, 2))); }},
    {25, "EKGSetPrintGridPen",
     [](C c, A a) { return Bool(c.View().EKGSetPrintGridPen(S(a, 0), S(a, 1), L(a, 2))); }},
    {26, "EKGSetPrintGridInnerPen",
     [](C c, A a) { return Bool(c.View().EKGSetPrintGridInnerPen(S(a, 0), S(a, 1), L(a, 2))); }},
    {27, "EKGMakeImage",
     [](C c, A a) {
         return Bool(c.View().EKGMakeImage(T(a, 0), S(a, 1), S(a, 2), S(a, 3), S(a, 4), S(a, 5)));
     }},
    {28, "EKGGetRhythmParam",
     [](C c, A a) { return Variant(c.View().EKGGetRhythmParam(S(a, 0))); }},
    {29, "EKGGetMorphologyParam",
     [](C c, A a) { return Variant(c.View().EKGGetMorphologyParam(S(a, 0), S(a, 1))); }},
    {30, "EKGGetAnalysisCnt", [](C c, A) { return Variant(c.View().EKGGetAnalysisCnt()); }},
    {31, "EKGGetAnalysis", [](C c, A a) { return Text(c.View().EKGGetAnalysis(S(a, 0))); }},
    {32, "EKGGetPatientInfo", [](C c, A a) { return Text(c.View().EKGGetPatientInfo(S(a, 0))); }},
    {33, "EKGGetComment", [](C c, A) { return Text(c.View().EKGGetComment()); }},
    {34, "EKGSetComment",
     [](C c, A a) {
         c.View().EKGSetComment(T(a, 0));
         return Variant();
     }},
    {35, "EKGSetPatientInfo",
     [](C c, A a) {
         c.View().EKGSetPatientInfo(S(a, 0), T(a, 1));
         return Variant();
     }},
    {36, "EKGSetFilterInfo",
     [](C c, A a) {
         c.View().EKGSetFilterInfo(S(a, 0), S(a, 1), S(a, 2), S(a, 3));
         return Variant();
     }},
    {37, "EKGGetMisc", [](C c, A a) { return Text(c.View().EKGGetMisc(S(a, 0))); }},
    {38, "EKGSetMisc",
     [](C c, A a) {
         c.View().EKGSetMisc(S(a, 0), T(a, 1));
         return Variant();
     }},
    {39, "EKGEnableMagnifyGlass",
     [](C c, A a) {
         c.View().EKGEnableMagnifyGlass(S(a, 0), S(a, 1), S(a, 2));
         return Variant();
     }},
    {40, "EKGEnableMeasure",
     [](C c, A a) {
         c.View().EKGEnableMeasure(S(a, 0));
         return Variant();
     }},
    {41, "EKGSetTime",
     [](C c, A a) {
         c.View().EKGSetTime(S(a, 0), S(a, 1), S(a, 2), S(a, 3), S(a, 4));
         return Variant();
     }},
    {42, "EKGGetTime", [](C c, A) { return Text(c.View().EKGGetTime()); }},
    {43, "EKGSetPrintDiag",
     [](C c, A a) {
         c.View().EKGSetPrintDiag(S(a, 0));
         return Variant();
     }},
    {44, "EKGSetPrintParam",
     [](C c, A a) {
         c.View().EKGSetPrintParam(S(a, 0));
         return Variant();
     }},
    {45, "EKGSetPrintComment",
     [](C c, A a) {
         c.View().EKGSetPrintComment(S(a, 0));
         return Variant();
     }},
    {46, "EKGPrintPreview",
     [](C c, A a) { return Variant(c.View().EKGPrintPreview(S(a, 0), S(a, 1), S(a, 2))); }},
    {47, "EKGGetMode", [](C c, A) { return Variant(c.View().EKGGetMode()); }},
    {48, "EKGSetMonitoringBarColor",
     [](C c, A a) {
         c.View().EKGSetMonitoringBarColor(L(a, 0));
         return Variant();
     }},
    {49, "EKGShowInnerGrid",
     [](C c, A a) {
         c.View().EKGShowInnerGrid(S(a, 0));
         return Variant();
     }},
    {50, "EKGShowPacemaker",
     [](C c, A a) {
         c.View().EKGShowPacemaker(S(a, 0));
         return Variant();
     }},
    {51, "EKGSetPrintPacemaker",
     [](C c, A a) {
         c.View().EKGSetPrintPacemaker(S(a, 0));
         return Variant();
     }},
    {52, "EKGShowLeadFault",
     [](C c, A a) {
         c.View().EKGShowLeadFault(S(a, 0));
         return Variant();
     }},
    {53, "EKGOpenURL", [](C c, A a) { return Bool(c.View().EKGOpenURL(T(a, 0))); }},
    {54, "EKGMakePDF",
     [](C c, A a) {
         return Bool(c.View().EKGMakePDF(T(a, 0), S(a, 1), S(a, 2), S(a, 3), S(a, 4)));
     }},
    {55, "EKGMakeImageBMP",
     [](C c, A a) {
         return Bool(
             c.View().EKGMakeImageBMP(T(a, 0), S(a, 1), S(a, 2), S(a, 3), S(a, 4), S(a, 5)));
     }},
    {56, "EKGSetDeviceInfo",
     [](C c, A a) {
         c.View().EKGSetDeviceInfo(S(a, 0), S(a, 1), S(a, 2), S(a, 3));
         return Variant();
     }},
    {57, "EKGSetUnit", [](C c, A a) { return Bool(c.View().EKGSetUnit(T(a, 0))); }},
    {58, "EKGGetConnectedEKGCnt", [](C, A) { return Variant(FinderDeviceCount()); }},
    {59, "EKGGetConnectedEKGInfo", [](C, A a) { return Text(FinderDeviceText(0, S(a, 0))); }},
    {60, "EKGGetConnectedEKGID", [](C, A a) { return Text(FinderDeviceText(1, S(a, 0))); }},
    {61, "EKGGetConnectedEKGIP", [](C, A a) { return Text(FinderDeviceText(2, S(a, 0))); }},
    {62, "EKGConnectedSearch", [](C, A a) { return Variant(FinderSearch(S(a, 0))); }},
    {63, "EKGSetIPExchangeType",
     [](C, A a) {
         FinderSetType(S(a, 0));
         return Variant();
     }},
    {64, "EKGSetDiagTempDir",
     [](C c, A a) {
         c.View().EKGSetDiagTempDir(T(a, 0));
         return Variant();
     }},
    {65, "EKGMakeXML", [](C c, A a) { return Bool(c.View().EKGMakeXML(T(a, 0))); }},
    {66, "EKGSetLanguage",
     [](C c, A a) {
         c.View().EKGSetLanguage(S(a, 0));
         return Variant();
     }},
    {67, "SetBackColor", [](C c, A a) { return Bool(c.View().SetBackColor(L(a, 0))); }},
    {68, "SetGrid", [](C c, A a) { return Bool(c.View().SetGrid(S(a, 0), S(a, 1), L(a, 2))); }},
    {69, "SetGrid_Inner",
     [](C c, A a) { return Bool(c.View().SetGrid_Inner(S(a, 0), S(a, 1), L(a, 2))); }},
    {70, "SetGraph", [](C c, A a) { return Bool(c.View().SetGraph(S(a, 0), S(a, 1), L(a, 2))); }},
    {71, "EKGGetPrintError", [](C c, A) { return Text(c.View().EKGGetPrintError()); }},
    {-552, "AboutBox",
     [](C c, A) {
         c.AboutBox();
         return Variant();
     }},
};

}  // namespace

std::span<const CWavelinDispEntry> CWavelinCtrl::DispatchMap() {
    return kDispatchMap;
}

CWavelinCtrl::CWavelinCtrl(QWidget* pParent, BOOL bCreateWindow) {
    m_pWnd = new CWavelinWnd(this, pParent);
    // The view exists with the control; it is created as a window (shown, sized) when the
    // control's window is.
    m_pView = new CEkgGraphWnd(m_pWnd);
    m_pView->SetControl(this);
    m_pView->hide();
    if (bCreateWindow) {
        CreateViewWindow();
    }
}

CWavelinCtrl::~CWavelinCtrl() {
    // The view first: it closes any device link and frees the record.
    delete m_pView.data();
    delete m_pWnd.data();
}

void CWavelinCtrl::CreateViewWindow() {
    if (m_bViewCreated || !m_pView) {
        return;
    }
    m_pView->setGeometry(0, 0, m_pWnd->width(), m_pWnd->height());
    m_pView->show();
    m_bViewCreated = TRUE;
}

Variant CWavelinCtrl::Dispatch(const DispMember& member, const std::vector<Variant>& args) {
    // The host may have destroyed its window, and with it the view, before releasing the
    // control: view methods then answer with their failure values. The finder and the about
    // box need no view.
    const BOOL bNeedsView = !(member.dispid >= DISPID_EKGGetConnectedEKGCnt &&
                              member.dispid <= DISPID_EKGSetIPExchangeType) &&
                            member.dispid != DISPID_AboutBox;
    if (bNeedsView && !m_pView) {
        return {};
    }
    for (const CWavelinDispEntry& e : kDispatchMap) {
        if (e.dispid == member.dispid) {
            return e.pfn(*this, args);
        }
    }
    return {};
}

void CWavelinCtrl::OnDraw(QPainter& painter, const QRect& rcBounds) {
    if (m_bViewCreated && m_pView) {
        m_pView->viewport()->update();
        return;
    }
    painter.fillRect(rcBounds, QColor(127, 127, 127));
    painter.setPen(Qt::black);
    painter.setFont(MakeLogFont(13, 400));
    const QString strCaption =
        QString("%1 %2.%3").arg(kTypeName).arg(kVersionMajor).arg(kVersionMinor);
    painter.drawText(QRect(rcBounds.left() + 5, rcBounds.top() + 5, rcBounds.width() - 5, 20),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, strCaption);
}

void CWavelinCtrl::AboutBox() {
    platform::ShowMessage("Wavelin ActiveX Control, Version 2.0",
                          platform::MB_OK | platform::MB_ICONINFORMATION, "About Wavelin");
}

void CWavelinCtrl::FireEKGRecordCompleted() {
    FireEvent(EVENTID_EKGRecordCompleted, {});
}
void CWavelinCtrl::FireEKGRecordReceiving(float fPercent) {
    FireEvent(EVENTID_EKGRecordReceiving, {Variant(fPercent)});
}
void CWavelinCtrl::FireEKGConnected(short nError, short nMode) {
    FireEvent(EVENTID_EKGConnected, {Variant(nError), Variant(nMode)});
}
void CWavelinCtrl::FireEKGMeasureWidth(short nMsec, short nBpm) {
    FireEvent(EVENTID_EKGMeasureWidth, {Variant(nMsec), Variant(nBpm)});
}
void CWavelinCtrl::FireEKGMeasureHeight(short nValue) {
    FireEvent(EVENTID_EKGMeasureHeight, {Variant(nValue)});
}
void CWavelinCtrl::FireEKGLeadFault(short nLead) {
    FireEvent(EVENTID_EKGLeadFault, {Variant(nLead)});
}
void CWavelinCtrl::FireEKGRecordFail(short nCode) {
    FireEvent(EVENTID_EKGRecordFail, {Variant(nCode)});
}
void CWavelinCtrl::FireEKGPDFError(long nError, long nDetail) {
    FireEvent(EVENTID_EKGPDFError, {Variant(static_cast<std::int32_t>(nError)),
                                    Variant(static_cast<std::int32_t>(nDetail))});
}
void CWavelinCtrl::FireRecordSignalNotGood() {
    FireEvent(EVENTID_RecordSignalNotGood, {});
}
void CWavelinCtrl::FireMonitorSignalNotGood() {
    FireEvent(EVENTID_MonitorSignalNotGood, {});
}

// ---------------------------------------------------------------------------------------

namespace {
constexpr DispMember kNoMembers[] = {{0, "", platform::VT_EMPTY, {}}};
}

CWavelinPropPage::CWavelinPropPage(QWidget* pParent) {
    m_pWnd = new QWidget(pParent);
    m_pWnd->setWindowTitle("General");
}
CWavelinPropPage::~CWavelinPropPage() {
    delete m_pWnd.data();
}
const platform::DispInterface& CWavelinPropPage::Methods() const {
    static const platform::DispInterface iface{"_DWavelinPropPage",
                                               std::span<const DispMember>(kNoMembers, 0)};
    return iface;
}
const platform::DispInterface& CWavelinPropPage::Events() const {
    return Methods();
}

// ---------------------------------------------------------------------------------------
// The process-wide device finder: the control library makes it when it is loaded
// (wavelinentry.cpp); without one (a program that links the control itself) nothing is found.

namespace wavelin {
namespace {
ekglink::CEkgFinder* g_pFinder = nullptr;
short g_nFinderType = 16;
}
void SetProcessFinder(ekglink::CEkgFinder* pFinder) {
    g_pFinder = pFinder;
    if (g_pFinder) g_pFinder->SetType(g_nFinderType);
}
short FinderDeviceCount() {
    return g_pFinder ? g_pFinder->Count() : 0;
}
CString FinderDeviceText(int nWhat, short nIndex) {
    return g_pFinder ? g_pFinder->Text(nWhat, nIndex) : CString();
}
// 1 whatever was found: hosts take the count from EKGGetConnectedEKGCnt.
short FinderSearch(short nTimeout) {
    return g_pFinder ? g_pFinder->Search(nTimeout) : 1;
}
void FinderSetType(short nType) {
    g_nFinderType = nType;
    if (g_pFinder) g_pFinder->SetType(nType);
}
short FinderGetType() {
    return g_nFinderType;
}
}  // namespace wavelin
