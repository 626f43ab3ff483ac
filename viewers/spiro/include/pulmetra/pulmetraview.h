#pragma once
// Pulmetra's view: two graph windows in one of three layouts, a tab per open exam, and the
// commands that act on the active window: graph kind and trials, zoom, pens, printing,
// preview, the order to a spirometer and Save As.
#include <QWidget>
#include <array>
#include <memory>
#include <functional>

#include "platform/wintypes.h"

class CExamItem;
class CPulmetraGraphWnd;
class COxuPulmetraDoc;
class QDialog;
class QTabBar;
class CSplitResizeHandler;

// What the view asks of its frame (commands and messages by their numbers).
class IPulmetraViewHost {
public:
    virtual ~IPulmetraViewHost() = default;
    virtual void SendCommand(unsigned nID) = 0;
    virtual void PostCommand(unsigned nID) = 0;
    // Message 1226 (code 17: zoom level, 30: refresh of the graph-style bar).
    virtual long SendMainMessage(int nCode, int nValue) = 0;
};

// The dialogs the view runs; the program answers with its own windows, tests with theirs.
class IPulmetraPrompts {
public:
    virtual ~IPulmetraPrompts() = default;
    // The file to open, or empty.
    virtual CString AskOpenPath() = 0;
    // The save dialog: proposed name and the filter ("Name|*.ext|...||"); the check box of
    // the text report in and out; the chosen filter (1-based). Empty when cancelled.
    virtual CString AskSavePath(const CString& strProposed, const CString& strFilter,
                                BOOL& bSaveText, int& nFilterIndex) = 0;
    // Runs a modal dialog (print, order, settings); its result code.
    virtual int RunDialog(QDialog& dlg) = 0;
};

struct CSpiroPen {
    int nStyle = 0, nWidth = 1;
    COLORREF crColour = 0;
    bool operator==(const CSpiroPen&) const = default;
};

class COxuPulmetraView : public QWidget {
public:
    enum : unsigned {
        ID_FILE_OPEN = 57601,
        ID_FILE_SAVE_AS = 57604,
        ID_FILE_PRINT = 57607,
        ID_FILE_PRINT_PREVIEW = 57609,
        ID_FILE_PRINT_DIRECT = 57606,
        ID_REFRESH = 32772,
        ID_FV_VT = 32778,
        ID_ALL_BEST = 32780,
        ID_RESTORE_STYLES = 32784,
        ID_FULL_SCREEN = 32788,
        ID_SEND_RECORD = 32789,
        ID_LAYOUT_1 = 32790,
        ID_LAYOUT_2H = 32791,
        ID_LAYOUT_2V = 32792,
        ID_ZOOM_IN = 32793,
        ID_ZOOM_OUT = 32794,
    };
    static constexpr int kTabHeight = 20;
    static constexpr int kGap = 3;  // between the two windows
    static constexpr int kDefaultZoom = 3;
    static constexpr COLORREF kSeparator = 0xA0A0A0;
    // The screen and PDF pens a fresh view applies.
    static constexpr CSpiroPen kGridPen{2, 1, 0x000000}, kGraphPen{0, 2, 0x000000},
        kPostPen{0, 2, 0x00FF00}, kReferencePen{0, 1, 0x0000FF};

    COxuPulmetraView(COxuPulmetraDoc& doc, IPulmetraViewHost& host, QWidget* pParent = nullptr);
    ~COxuPulmetraView() override;

    bool Create(std::string* pError = nullptr);
    void SetPrompts(IPulmetraPrompts* p) { m_pPrompts = p; }
    IPulmetraPrompts* Prompts() const { return m_pPrompts; }

    // Shows the item in window nWnd (outside 0..1: the active window).
    BOOL ShowExam(CExamItem* pItem, int nWnd);
    void CloseActiveExam();
    void CloseAllExams();
    CPulmetraGraphWnd* GetActiveWnd() const;
    CExamItem* GetActiveExam() const;
    CPulmetraGraphWnd* Wnd(int n) const { return m_wnd[n]; }
    int GetActiveIndex() const { return m_nActive; }
    void SetActiveWnd(int n);
    int GetLayout() const { return m_nLayout; }
    void SetLayout(int nMode);
    QTabBar* Tabs() const { return m_pTabs; }
    // The divider between the two windows of layouts 1 and 2.
    CSplitResizeHandler* Split() const { return m_pSplit.get(); }
    int GetZoom() const { return m_nZoom; }

    // Message 1224 of the graph-style bar and the graph windows; 0.
    long OnStyleMessage(int nCode, int nValue);

    // Commands.
    void OnFileOpen();
    void OnFvVt();
    bool CanFvVt() const;
    QString FvVtText() const;
    void OnAllBest();
    bool CanAllBest() const;
    QString AllBestText() const;
    void OnZoomIn();
    void OnZoomOut();
    void OnWheel(int nDelta);
    void OnRestoreStyles();
    void OnFilePrintPreview();
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnSendRecord();
    void OnFileSaveAs();
    void SetFullScreen(bool bOn);

    // Save As, its pieces: the filter and default name by the record, and the save of the
    // active window's test to a chosen path (TRUE when every file was written; the message
    // is shown).
    static CString SaveFilter(const CString& strRecordPath);
    static CString DefaultSaveName(const CString& strRecordPath, int nTestType);
    BOOL SaveToPath(const CString& strPath);
    // The text report of the active window's test, written whole or not at all.
    BOOL WriteResultText(const CString& strPath);

    CSpiroPen m_gridPen = kGridPen, m_graphPen = kGraphPen, m_postPen = kPostPen,
              m_referencePen = kReferencePen;
    CString m_strPrinter;
    BOOL m_bPrintDiagnosis = TRUE, m_bPrintComment = FALSE, m_bSaveText = FALSE;
    // The DICOM picture kind (2: JPEG, kept in colour).
    int m_nDicomImageType = 2;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    // Window nWnd showing the test a command was started for, once its dialog is answered:
    // given that test back when another one came into the window meanwhile; null when the
    // test was closed.
    CPulmetraGraphWnd* WndShowing(CExamItem* pItem, int nWnd);
    BOOL SaveTo(CPulmetraGraphWnd& wnd, const CString& strPath);
    void Reposition();
    void SelectTab(CExamItem* pItem);
    void OnTabSelected(int nIndex);
    void ApplyPens(CPulmetraGraphWnd& w);
    void ApplyZoom();
    QRect SeparatorRect() const;
    bool OfferToDivider(QMouseEvent* e);

    COxuPulmetraDoc& m_doc;
    IPulmetraViewHost& m_host;
    IPulmetraPrompts* m_pPrompts = nullptr;
    std::array<CPulmetraGraphWnd*, 2> m_wnd{};
    QTabBar* m_pTabs = nullptr;
    // The splitter handler between the two windows (built and destroyed with the view).
    std::unique_ptr<CSplitResizeHandler> m_pSplit;
    int m_nActive = -1;
    int m_nLayout = -1;
    int m_nZoom = kDefaultZoom;
    bool m_bFirstShow = true;
    bool m_bInTabChange = false;
    bool m_bFullScreen = false;
};
