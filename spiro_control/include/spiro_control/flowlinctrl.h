#pragma once
// The spirometry control: one test record, drawn in a scrolling window, printed, previewed
// and exported; hosts reach it only through the dispatch table of flowlin_dispids.h. It
// fires no events.
#include <span>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "platform/dispatch.h"
#include "spiro_control/flowlin_dispids.h"
#include "spiro_control/spiroexport.h"
#include "spiro_control/spirotestfile.h"

class CFlowlinCtrl;
class CFlowlinWnd;
class QPainter;

// One entry of the control's dispatch map (properties, then methods, in identifier order):
// identifier, name, handler. A property's handler reads with no argument, writes with one.
struct CFlowlinDispEntry {
    platform::DISPID dispid;
    const char* name;
    platform::Variant (*pfn)(CFlowlinCtrl& ctrl, const std::vector<platform::Variant>& args);
};

class CFlowlinCtrl : public platform::CDispatchControlBase {
public:
    explicit CFlowlinCtrl(QWidget* pParent);
    ~CFlowlinCtrl() override;
    CFlowlinCtrl(const CFlowlinCtrl&) = delete;
    CFlowlinCtrl& operator=(const CFlowlinCtrl&) = delete;

    const platform::DispInterface& Methods() const override { return flowlin::MethodInterface(); }
    const platform::DispInterface& Events() const override { return flowlin::EventInterface(); }
    const platform::DispInterface& Properties() const override {
        return flowlin::PropertyInterface();
    }
    QWidget* Widget() override;

    static std::span<const CFlowlinDispEntry> DispatchMap();

    CSpiroTestFile& File() { return m_file; }
    CSpiroExport& Export() { return m_export; }

    // Properties.
    COLORREF m_crBack = RGB(255, 255, 255);
    COLORREF m_crText = RGB(0, 0, 0);
    short m_nBorderSize = 5;
    short m_nFVCGraphType = 0;
    short m_nGridSize = 30;
    BOOL m_bPrintDiagnosis = TRUE;
    BOOL m_bPrintComment = TRUE;
    short m_nFVCGraphNum = 0;
    void OnPropertyChanged(platform::DISPID dispid);

    // Methods with more than a line of work.
    void Clear();
    short Open(const CString& strPath, short nType);
    short Save(const CString& strPath);
    short Print();
    short PrintEx(const CString& strPrinter, short nCopies);
    short PrintPreview();
    void AboutBox();

    // The window: paints the page through one image, keeps the scroll bars.
    void OnDraw(QPainter& painter, const QRect& rcBounds, const QPoint& ptOrigin);
    // Page size changed (record, grid, border, graph type): the bars follow, then repaint.
    void UpdateLayout();
    void Repaint();

protected:
    platform::Variant Dispatch(const platform::DispMember& member,
                               const std::vector<platform::Variant>& args) override;

private:
    CSpiroTestFile m_file;
    CSpiroExport m_export;
    QPointer<CFlowlinWnd> m_pWnd;
};

// The property page: one empty page, nothing exchanged.
class CFlowlinPropPage : public platform::CDispatchControlBase {
public:
    explicit CFlowlinPropPage(QWidget* pParent);
    ~CFlowlinPropPage() override;
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
