#include "spiro_control/flowlinctrl.h"

#include <algorithm>

#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "flowlinwnd.h"
#include "platform/notifier.h"
#include "spiro_control/spiropreviewdlg.h"
#include "spiro_control/spiroprintjob.h"

using platform::DispMember;
using platform::Variant;
using namespace flowlin;

namespace {

// Texts cross the interface as C texts: a NUL ends them.
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
COLORREF Color(const std::vector<Variant>& a, std::size_t i) {
    return static_cast<COLORREF>(a[i].AsLong()) & 0x00FFFFFF;
}
CString T(const std::vector<Variant>& a, std::size_t i) {
    return a[i].AsText();
}
CPenSpec Pen(const std::vector<Variant>& a) {
    return CPenSpec{S(a, 0), S(a, 1), Color(a, 2)};
}
CSpiroPdfPen PdfPen(const std::vector<Variant>& a) {
    return CSpiroPdfPen{S(a, 0), S(a, 1), Color(a, 2)};
}

using A = const std::vector<Variant>&;
using C = CFlowlinCtrl&;

// A property: read with no argument, written with one (then the change handler runs).
template <typename T, T CFlowlinCtrl::*pMember>
Variant Property(C c, A a, platform::DISPID dispid) {
    if (a.empty()) {
        if constexpr (std::is_same_v<T, BOOL>) {
            return Bool(c.*pMember);
        } else if constexpr (std::is_same_v<T, COLORREF>) {
            return Variant(static_cast<std::int32_t>(c.*pMember));
        } else {
            return Variant(c.*pMember);
        }
    }
    if constexpr (std::is_same_v<T, BOOL>) {
        c.*pMember = a[0].AsBool() ? TRUE : FALSE;
    } else if constexpr (std::is_same_v<T, COLORREF>) {
        c.*pMember = static_cast<COLORREF>(a[0].AsLong());
    } else {
        c.*pMember = a[0].AsShort();
    }
    c.OnPropertyChanged(dispid);
    return {};
}

#define FLOWLIN_PROPERTY(id, name, type, member)                                           \
    {                                                                                      \
        id, name, [](C c, A a) { return Property<type, &CFlowlinCtrl::member>(c, a, id); } \
    }

template <typename F>
Variant Done(F f) {
    f();
    return {};
}

// The dispatch map, in dispatch identifier order.
const CFlowlinDispEntry kDispatchMap[] = {
    FLOWLIN_PROPERTY(1, "BackColor", COLORREF, m_crBack),
    FLOWLIN_PROPERTY(2, "TextColor", COLORREF, m_crText),
    FLOWLIN_PROPERTY(3, "BorderSize", short, m_nBorderSize),
    FLOWLIN_PROPERTY(4, "FVCGraphType", short, m_nFVCGraphType),
    FLOWLIN_PROPERTY(5, "GridSize", short, m_nGridSize),
    FLOWLIN_PROPERTY(6, "PrintDiagnosis", BOOL, m_bPrintDiagnosis),
    FLOWLIN_PROPERTY(7, "PrintComment", BOOL, m_bPrintComment),
    FLOWLIN_PROPERTY(8, "FVCGraphNum", short, m_nFVCGraphNum),
    {9, "Clear", [](C c, A) { return Done([&] { c.Clear(); }); }},
    {10, "Open", [](C c, A a) { return Variant(c.Open(T(a, 0), S(a, 1))); }},
    {11, "Save", [](C c, A a) { return Variant(c.Save(T(a, 0))); }},
    {12, "SetPenAxis",
     [](C c, A a) {
         c.Export().m_pens.axis = Pen(a);
         c.Repaint();
         return Bool(TRUE);
     }},
    {13, "SetPenGrid",
     [](C c, A a) {
         c.Export().m_pens.grid = Pen(a);
         c.Repaint();
         return Bool(TRUE);
     }},
    {14, "SetPenGraph",
     [](C c, A a) {
         c.Export().m_pens.graph = Pen(a);
         c.Repaint();
         return Bool(TRUE);
     }},
    {15, "SetPenReference",
     [](C c, A a) {
         c.Export().m_pens.reference = Pen(a);
         c.Repaint();
         return Bool(TRUE);
     }},
    {16, "GetTestType", [](C c, A) { return Variant(c.File().GetTestType()); }},
    {17, "GetParamCount",
     [](C, A a) { return Variant(CSpiroParamTable::GetParamCount(S(a, 0), S(a, 1))); }},
    {18, "GetParamDepth", [](C, A a) { return Variant(CSpiroParamTable::GetParamDepth(S(a, 0))); }},
    {19, "GetParamLabelString",
     [](C, A a) { return Text(CSpiroParamTable::GetParamLabelString(S(a, 0), S(a, 1))); }},
    {20, "GetParamUnitString",
     [](C, A a) { return Text(CSpiroParamTable::GetParamUnitString(S(a, 0), S(a, 1))); }},
    {21, "GetMeasureString",
     [](C, A a) { return Text(CSpiroParamTable::GetMeasureString(S(a, 0), S(a, 1))); }},
    {22, "GetParam",
     [](C c, A a) { return Variant(c.File().m_Param.GetParam(S(a, 0), S(a, 1), S(a, 2))); }},
    {23, "SetParam",
     [](C c, A a) {
         return Variant(c.File().m_Param.SetParam(S(a, 0), S(a, 1), S(a, 2), a[3].AsFloat()));
     }},
    {24, "GetInformation", [](C c, A a) { return Text(c.File().GetInformation(S(a, 0))); }},
    {25, "SetInformation",
     [](C c, A a) { return Done([&] { c.File().SetInformation(S(a, 0), T(a, 1)); }); }},
    {26, "SaveJPEG", [](C c, A a) { return Variant(c.Export().SaveJPEG(T(a, 0), S(a, 1))); }},
    {27, "Print", [](C c, A) { return Variant(c.Print()); }},
    {28, "PrintEx", [](C c, A a) { return Variant(c.PrintEx(T(a, 0), S(a, 1))); }},
    {29, "PrintPreview", [](C c, A) { return Variant(c.PrintPreview()); }},
    {30, "GetRaceString", [](C c, A) { return Text(c.File().m_Info.GetRaceString()); }},
    {31, "GetSmokeString", [](C c, A) { return Text(c.File().m_Info.GetSmokeString()); }},
    {32, "GetSmokePackString", [](C c, A) { return Text(c.File().m_Info.GetSmokePackString()); }},
    {33, "GetAnalysisString", [](C c, A) { return Text(c.File().m_Info.GetAnalysisString()); }},
    {34, "GetFormulaString", [](C c, A) { return Text(c.File().GetFormulaString()); }},
    {35, "IsPound", [](C c, A) { return Bool(c.File().m_Info.m_bPound); }},
    {36, "GetAnalysisStringPost",
     [](C c, A) { return Text(c.File().m_Info.GetAnalysisStringPost()); }},
    {37, "SetPenGraphPost",
     [](C c, A a) {
         c.Export().m_pens.post = Pen(a);
         c.Repaint();
         return Bool(TRUE);
     }},
    {38, "GetFileVersion",
     [](C c, A) { return Variant(static_cast<short>(c.File().GetFormat())); }},
    {39, "SaveBMP", [](C c, A a) { return Variant(c.Export().SaveBMP(T(a, 0), S(a, 1))); }},
    {40, "SavePDF", [](C c, A a) { return Variant(c.Export().SavePDF(T(a, 0), S(a, 1))); }},
    {41, "SpiroSetUnit", [](C c, A a) { return Done([&] { c.File().m_Info.SetUnit(S(a, 0)); }); }},
    {42, "GetEcode",
     [](C c, A a) { return Variant(c.File().m_Param.GetEcodeValue(S(a, 0), S(a, 1))); }},
    {43, "GetTrialNum",
     [](C c, A) { return Variant(static_cast<short>(c.File().m_Info.m_nTrials)); }},
    {44, "GetBestNo",
     [](C c, A) { return Variant(static_cast<short>(c.File().m_Info.m_nBestTrial)); }},
    {45, "GetBestNoPost",
     [](C c, A) { return Variant(static_cast<short>(c.File().m_Info.m_nPostBestTrial)); }},
    {46, "SetPDFPenGrid",
     [](C c, A a) {
         c.Export().m_pdfPens.grid = PdfPen(a);
         return Bool(TRUE);
     }},
    {47, "SetPDFPenGraph",
     [](C c, A a) {
         c.Export().m_pdfPens.graph = PdfPen(a);
         return Bool(TRUE);
     }},
    {48, "SetPDFPenGraphPost",
     [](C c, A a) {
         c.Export().m_pdfPens.post = PdfPen(a);
         return Bool(TRUE);
     }},
    {49, "SetPDFPenReference",
     [](C c, A a) {
         c.Export().m_pdfPens.reference = PdfPen(a);
         return Bool(TRUE);
     }},
    {DISPID_AboutBox, "AboutBox", [](C c, A) { return Done([&] { c.AboutBox(); }); }},
};

#undef FLOWLIN_PROPERTY

}  // namespace

std::span<const CFlowlinDispEntry> CFlowlinCtrl::DispatchMap() {
    return kDispatchMap;
}

CFlowlinCtrl::CFlowlinCtrl(QWidget* pParent) {
    m_export.Init(&m_file);
    m_pWnd = new CFlowlinWnd(this, pParent);
    m_pWnd->show();
    UpdateLayout();
}

CFlowlinCtrl::~CFlowlinCtrl() {
    delete m_pWnd.data();
}

QWidget* CFlowlinCtrl::Widget() {
    return m_pWnd.data();
}

platform::Variant CFlowlinCtrl::Dispatch(const DispMember& member,
                                         const std::vector<Variant>& args) {
    for (const CFlowlinDispEntry& e : kDispatchMap) {
        if (e.dispid == member.dispid) {
            return e.pfn(*this, args);
        }
    }
    return {};
}

void CFlowlinCtrl::OnPropertyChanged(platform::DISPID dispid) {
    switch (dispid) {
        case DISPID_BorderSize:
            m_export.m_nBorder = m_nBorderSize;
            UpdateLayout();
            break;
        case DISPID_FVCGraphType:
            m_export.m_nGraphType = m_nFVCGraphType;
            UpdateLayout();
            break;
        case DISPID_GridSize:
            // Always even: an odd size is raised by one (the largest short stays within it).
            if (m_nGridSize % 2 != 0) {
                m_nGridSize = static_cast<short>(std::min(m_nGridSize + 1, 32766));
            }
            m_export.SetGridSize(m_nGridSize);
            UpdateLayout();
            break;
        case DISPID_PrintDiagnosis:
            m_export.m_bPrintDiagnosis = m_bPrintDiagnosis;
            break;
        case DISPID_PrintComment:
            m_export.m_bPrintComment = m_bPrintComment;
            break;
        case DISPID_FVCGraphNum:
            m_export.m_nGraphNum = m_nFVCGraphNum;
            UpdateLayout();
            break;
        default:
            Repaint();
            break;
    }
}

void CFlowlinCtrl::Clear() {
    m_file.Clear();
    m_export.SetTestType(m_file.GetTestType());
    UpdateLayout();
}

short CFlowlinCtrl::Open(const CString& strPath, short nType) {
    const short nResult = m_file.Open(strPath, nType);
    m_export.SetTestType(m_file.GetTestType());
    UpdateLayout();
    return nResult;
}

short CFlowlinCtrl::Save(const CString& strPath) {
    const short nResult = m_file.Save(strPath);
    Repaint();
    return nResult;
}

short CFlowlinCtrl::Print() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, m_pWnd);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    if (dialog.exec() != QDialog::Accepted) {
        return 1;
    }
    const int nCopies = printer.copyCount();
    if (nCopies < 1) {
        return 2;
    }
    // The copies become pages of one document; the queue prints each page once, on the
    // paper, orientation, sides and tray chosen in the dialog.
    return PrintReportCopies(m_export, printer.printerName(), nCopies, &printer);
}

short CFlowlinCtrl::PrintEx(const CString& strPrinter, short nCopies) {
    if (nCopies < 1) {
        return 2;
    }
    return PrintReportCopies(m_export, ToQString(strPrinter), nCopies);
}

short CFlowlinCtrl::PrintPreview() {
    CSpiroPreviewDlg dialog(&m_export);
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

void CFlowlinCtrl::AboutBox() {
    platform::ShowMessage("Flowlin ActiveX Control, Version 1.0",
                          platform::MB_OK | platform::MB_ICONINFORMATION, "About Flowlin");
}

void CFlowlinCtrl::OnDraw(QPainter& painter, const QRect& rcBounds, const QPoint& ptOrigin) {
    if (rcBounds.isEmpty()) {
        return;
    }
    // One image for the whole window, copied in one transfer.
    QImage image(rcBounds.size(), QImage::Format_RGB32);
    if (image.isNull()) {
        return;
    }
    image.fill(ColorFromRef(m_crBack & 0x00FFFFFF));
    const int nType = m_file.GetTestType();
    if (nType >= 1 && nType <= 5) {
        QPainter dc(&image);
        m_export.m_crText = m_crText & 0x00FFFFFF;
        m_export.DrawScreenGraphs(dc, 0, 0, rcBounds.width(), rcBounds.height(), ptOrigin.x(),
                                  ptOrigin.y());
    }
    painter.drawImage(rcBounds.topLeft(), image);
}

void CFlowlinCtrl::UpdateLayout() {
    if (m_pWnd) {
        m_pWnd->UpdateBars(m_export.GetGraphSize());
    }
    Repaint();
}

void CFlowlinCtrl::Repaint() {
    if (m_pWnd) {
        m_pWnd->viewport()->update();
    }
}

// ---------------------------------------------------------------------------------------

namespace {
constexpr DispMember kNoMembers[] = {{0, "", platform::VT_EMPTY, {}}};
}

CFlowlinPropPage::CFlowlinPropPage(QWidget* pParent) {
    m_pWnd = new QWidget(pParent);
    m_pWnd->setWindowTitle("General");
}
CFlowlinPropPage::~CFlowlinPropPage() {
    delete m_pWnd.data();
}
const platform::DispInterface& CFlowlinPropPage::Methods() const {
    static const platform::DispInterface iface{"_DFlowlinPropPage",
                                               std::span<const DispMember>(kNoMembers, 0)};
    return iface;
}
const platform::DispInterface& CFlowlinPropPage::Events() const {
    return Methods();
}
