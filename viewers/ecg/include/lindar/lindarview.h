#pragma once
// The single view of Lindar: two panes and a hidden full-screen window, each an ECG
// control; a tab per open exam; the record commands.
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "oxuutil/inifile.h"
#include "platform/variant.h"
#include "platform/wintypes.h"

class CExamItem;
class CLindarGraphWnd;
class CMeasureReadoutDialog;
class CSplitResizeHandler;
class COxuLindarDoc;
class QTabBar;
class QLineEdit;

// What the view asks of its frame (commands and messages by their numbers).
class IViewHost {
public:
    virtual ~IViewHost() = default;
    virtual void SendCommand(unsigned nID) = 0;
    virtual void PostCommand(unsigned nID) = 0;
    virtual void SendColourDefaults() = 0;  // message 1524, parameter 30
};

struct CPen {
    int nStyle = 0, nWidth = 1;
    COLORREF crColour = 0;
};

struct CPrintSettings {
    CString strPrinter;
    std::array<int, 4> flags{1, 1, 1, 1};  // interpretation, measurements, comment, pacemaker
    // The pens the user chose, as the print dialog opens with them.
    CPen grid{0, 1, 0x8080ff}, inner{0, 1, 0xbfbfff}, trace{0, 1, 0x000000};
    int nCopies = 1;
    // The last print was monochrome: it used the dialog's grey and black pens, not these.
    bool bMonochrome = false;
};

// The dialogs the view runs; the program's own answer with Qt dialogs, tests with their
// own answers.
class IViewPrompts {
public:
    virtual ~IViewPrompts() = default;
    virtual CString AskOpenPath() = 0;
    // Empty when cancelled; flags are the export flags, changed by the dialog.
    virtual CString AskSavePath(const CString& strProposed, std::array<int, 4>& flags) = 0;
    virtual bool AskPrint(CPrintSettings& settings) = 0;
    virtual void RunOrderDialog(const CString& strAddress, int nPort) = 0;
    // The path of the record the receive dialog saved, or empty.
    virtual CString RunReceiveDialog(CLindarGraphWnd& pane, const CString& strAddress) = 0;
    virtual bool RunDeviceSelection(CLindarGraphWnd& pane) = 0;
    // The printer set-up: the printer chosen, FALSE when cancelled.
    virtual bool AskPrintSetup(CString& strPrinter) { return false; }
};

class COxuLindarView : public QWidget {
public:
    enum : unsigned {
        ID_FILE_OPEN = 57601,
        ID_FILE_SAVE_AS = 57603,
        ID_FILE_PRINT = 57607,
        ID_FILE_PRINT_PREVIEW = 57609,
        ID_LAYOUT_1 = 32771,
        ID_LAYOUT_1X2 = 32772,
        ID_LAYOUT_2 = 32773,
        ID_LAYOUT_2X2 = 32774,
        ID_MEASURE = 32793,
        ID_MAGNIFIER = 32806,
        ID_PACEMAKER = 32808,
        ID_MONITORING = 32809,
        ID_RECORDING = 32810,
        ID_DEFAULT_COLOUR = 32811,
        ID_ORDER = 32815,
        ID_QRS = 32792,
        ID_REFRESH = 32799,
        ID_CLOSE_ALL = 32807,
        ID_FULL_SCREEN = 32812,
    };

    COxuLindarView(COxuLindarDoc& doc, IViewHost& host, QWidget* pParent = nullptr);
    ~COxuLindarView() override;

    bool Create(std::string* pError = nullptr);
    void SetPrompts(IViewPrompts* p) { m_pPrompts = p; }
    IViewPrompts* Prompts() const { return m_pPrompts; }

    BOOL LoadExam(CExamItem* pItem, int nPane);
    void CloseCurrentExam();
    void CloseAllExams();
    CLindarGraphWnd* GetCurrentGraph() const;
    CExamItem* GetCurrentExam() const;
    CLindarGraphWnd* Pane(int n) const { return m_panes[n]; }
    int GetLayout() const { return m_nLayout; }
    int GetCurrentPane() const { return m_nCurPane; }
    void SetCurrentPane(int n);
    QTabBar* Tabs() const { return m_pTabs; }
    // The divider between the two panes of layout 2.
    CSplitResizeHandler* Split() const { return m_pSplit.get(); }

    int GetChType() const;
    int GetRhyCh() const;
    int GetGain() const;
    int GetSpeed() const;

    // Private message 1224 of the display bars: code and value; -1 without a current pane.
    long OnBarChange(int nCode, int nValue);

    // Commands by number.
    void OnFileOpen();
    void OnFileSaveAs();
    // Save As to a chosen path (the dialog's result).
    int SaveAsPath(const CString& strPath);
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnLayout(int nLayout);
    void OnMeasure();
    void OnMagnifier();
    void OnPacemaker();
    void OnMonitoring();
    void OnRecording();
    void OnDefaultColour();
    void OnOrder();
    void SetFullScreen(bool bOn);
    bool IsFullScreen() const;
    void ApplyCellSizes();

    // Dotted IPv4 of 7..15 characters, four groups of 1..3 digits, each at most 255.
    static bool IsValidAddress(const CString& str);
    // JPEG_SIZE index to pixels.
    static int JpegWidth(int nIndex);

    int m_nJpegSize = 3;
    int m_nSaveComment = 1;
    std::array<int, 4> m_exportFlags{1, 1, 1, 1};
    CPrintSettings m_print;
    COLORREF m_crBack = 0xffffff;
    CPen m_gridPen{0, 1, 0x8080ff}, m_innerPen{0, 1, 0xbfbfff}, m_tracePen{0, 1, 0x000000};

    // The measuring tool's popup (width ms, rate bpm, height mm).
    CMeasureReadoutDialog* Readout() const { return m_pReadout; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void Reposition();
    void WatchPane(QObject& o);
    void ShowExamTab(CExamItem* pItem);
    void OnTabSelected(int nIndex);
    void OnControlEvent(int nCtrlID, int nEvent, const std::vector<platform::Variant>& args);
    void ApplyPens(CLindarGraphWnd& w);
    void ApplyGridPen(CLindarGraphWnd& w);
    void ApplyInnerPen(CLindarGraphWnd& w);
    void ApplyTracePen(CLindarGraphWnd& w);
    void ApplyBackground(CLindarGraphWnd& w);
    void SetMiscTexts(CLindarGraphWnd& w, bool bVersion);
    void ApplyFlags(CLindarGraphWnd& w, const std::array<int, 4>& flags);
    CString ResolveAddress(bool bMayAsk, int* pType, bool* pHaveRegistered);
    bool OfferToDivider(QMouseEvent* e);
    void ShowReadout();
    void ClearReadout();
    CIniFile Ini() const;

    COxuLindarDoc& m_doc;
    IViewHost& m_host;
    IViewPrompts* m_pPrompts = nullptr;
    std::array<CLindarGraphWnd*, 3> m_panes{};
    QTabBar* m_pTabs = nullptr;
    CMeasureReadoutDialog* m_pReadout = nullptr;
    std::unique_ptr<CSplitResizeHandler> m_pSplit;
    int m_nLayout = -1;
    int m_nCurPane = 0;
    int m_nZoomRatio = 1, m_nZoomArea = 1;
    bool m_bInTabChange = false;
};
