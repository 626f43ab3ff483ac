#pragma once
// Our stand-in for the maker's skinned-control library that both viewers link: the few
// classes and members the viewers call, as standard Qt widgets with palette colours.
// Colours are COLORREF values (0x00BBGGRR) as the viewers hold them.
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <set>

#include "platform/wintypes.h"

namespace oxuctrl {
QColor FromColorRef(COLORREF cr);
COLORREF ToColorRef(const QColor& c);
// The pale field colour of the viewers' dialogs and its text colour.
inline constexpr COLORREF kPaleField = 0xFFEEEE;
inline constexpr COLORREF kBlack = 0x000000;
// Sets the field (base), window and button colours and the text colour of a widget.
void SetFieldColours(QWidget* pWidget, COLORREF crBack, COLORREF crText);
}  // namespace oxuctrl

class CButtonST : public QPushButton {
    Q_OBJECT
public:
    enum {
        BTNST_COLOR_BK_IN = 0,
        BTNST_COLOR_FG_IN = 1,
        BTNST_COLOR_BK_OUT = 2,
        BTNST_COLOR_FG_OUT = 3,
        BTNST_COLOR_BK_FOCUS = 4,
        BTNST_COLOR_FG_FOCUS = 5
    };
    explicit CButtonST(QWidget* pParent = nullptr);
    // Slots 0, 2, 4: backgrounds (pressed, normal, focused); 1, 3, 5: texts.
    void SetColor(int nSlot, COLORREF cr, bool bRepaint = true);
    COLORREF GetColor(int nSlot) const;
    // The image with crTransparent made transparent (white for the viewers' bitmaps).
    void SetBitmaps(const QImage& image, COLORREF crTransparent = 0xFFFFFF);
    void SetTooltipText(const QString& text, bool bActivate = true);
    void SetCheck(int nCheck, bool bRepaint = true);
    // The state last set by SetCheck or by a click.
    int GetCheck() const { return m_nCheck; }

private:
    void ApplyColours();
    COLORREF m_colours[6];
    int m_nCheck = 0;
};

class CExEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CExEdit(QWidget* pParent = nullptr);
    void SetBkColor(COLORREF cr);
    void SetTextColor(COLORREF cr);
    // FALSE: the field only shows what the program sets; TRUE: the user can type.
    void EnableKeyboardInput(BOOL bEnable);
    BOOL IsKeyboardInputEnabled() const { return !isReadOnly(); }

private:
    COLORREF m_crBack = 0xFFFFFF, m_crText = 0;
};

class CExComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit CExComboBox(QWidget* pParent = nullptr);
    void SetBkColor(COLORREF cr);
    void SetTextColor(COLORREF cr);

private:
    COLORREF m_crBack = 0xFFFFFF, m_crText = 0;
};

// A report-style list: columns, rows of texts and a 32-bit value per row.
class CExListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CExListCtrl(QWidget* pParent = nullptr);
    void SetBkColor(COLORREF cr);
    void SetTextColor(COLORREF cr);
    int InsertColumn(int nCol, const QString& heading, int nWidth);
    int InsertItem(int nItem, const QString& text);
    bool SetItemText(int nItem, int nSubItem, const QString& text);
    QString GetItemText(int nItem, int nSubItem) const;
    bool SetItemData(int nItem, quintptr data);
    quintptr GetItemData(int nItem) const;
    int GetItemCount() const { return topLevelItemCount(); }
    void DeleteAllItems() { clear(); }
    // The selected row, or -1.
    int GetSelectionMark() const;

private:
    COLORREF m_crBack = 0xFFFFFF, m_crText = 0;
};

// Base of every pane: a button whose command was registered stays enabled and sends its
// command to the frame. A child button's command is its control id, its object name.
class CExDialogBar : public QWidget {
    Q_OBJECT
public:
    using CommandFn = std::function<void(UINT nCmdId)>;
    explicit CExDialogBar(QWidget* pParent = nullptr);
    void SetCommandTarget(CommandFn fn) { m_onCommand = std::move(fn); }
    void AddUpdateCmdID(UINT nCmdId);
    // What the frame's update handler of a command says: enabled, and checked (1), not
    // checked (0) or no check state (-1).
    struct CCmdState {
        bool bEnabled = true;
        int nCheck = -1;
    };
    using StateFn = std::function<CCmdState(UINT nCmdId)>;
    // The frame's command update: the registered buttons follow the state the frame gives
    // (a two-state button shows its command's check); without one they are enabled again.
    void UpdateCmdUI(const StateFn& state = {});
    bool IsCmdRegistered(UINT nCmdId) const { return m_cmds.count(nCmdId) != 0; }

signals:
    void command(unsigned nCmdId);

private:
    QAbstractButton* FindButton(UINT nCmdId) const;
    std::set<UINT> m_cmds;
    CommandFn m_onCommand;
};

// A title strip showing its window text.
class CWndTitle : public QLabel {
    Q_OBJECT
public:
    explicit CWndTitle(QWidget* pParent = nullptr);
    void SetBkColor(COLORREF cr);
};

class CColourPicker : public QPushButton {
    Q_OBJECT
public:
    explicit CColourPicker(QWidget* pParent = nullptr);
    void SetColour(COLORREF cr);
    COLORREF GetColour() const { return m_cr; }
    // What a pick in the colour dialog does: shows the colour and notifies the parent.
    void Pick(COLORREF cr);

signals:
    void colourPicked(unsigned cr);

private:
    void OnClicked();
    COLORREF m_cr = 0;
};

// A combo box whose entries show sample lines, each drawn with the pen of its style and
// width; the entry is read with currentIndex.
class CComboBoxLine : public QComboBox {
    Q_OBJECT
public:
    explicit CComboBoxLine(QWidget* pParent = nullptr);
    // nKind 1: a list of line styles, 0: a list of line widths (the caption only).
    void Initialize(int nKind, int nReserved = 0);
    int AddLine(int nStyle, int nWidth);
    int Kind() const { return m_nKind; }
    int StyleAt(int nIndex) const;
    int WidthAt(int nIndex) const;
    // The sample line of an entry, as drawn.
    static QImage LineSample(int nStyle, int nWidth, QSize size = QSize(64, 12));

private:
    int m_nKind = 0;
};

// The divider between two windows of a view, one above the other or side by side, dragged
// with the mouse. The view tells the handler the span the two windows share; the handler
// places them on either side of the divider, which keeps its share of the span when the
// view changes size.
class CSplitResizeHandler {
public:
    static constexpr int kThickness = 4;
    static constexpr int kMinPane = 20;  // the least extent a window keeps in a drag
    // AddDivider's flag: the first window on the left, the second on the right.
    static constexpr int kSideBySide = 1;

    // nThickness: the gap between the two windows.
    explicit CSplitResizeHandler(QWidget* pParent = nullptr, int nThickness = kThickness)
        : m_pParent(pParent), m_nThickness(nThickness) {}
    virtual ~CSplitResizeHandler() = default;
    QWidget* Parent() const { return m_pParent; }

    // A divider (id) between pFirst (upper, or left with kSideBySide) and pSecond; a divider
    // registered again with the same windows keeps its share.
    virtual BOOL AddDivider(int nId, QWidget* pFirst, QWidget* pSecond, int nFlags);
    // A mouse event of the view: TRUE when the handler took it (a press on the divider, the
    // moves of its drag and the release that ends it).
    virtual BOOL OnMouseMessage(QWidget* pView, QMouseEvent* e);
    // The cursor at (x, y) of the view: TRUE (and the resize cursor) over the divider.
    virtual BOOL OnSetCursor(QWidget* pView, int x, int y);
    // Places the two windows on either side of the divider.
    virtual void Relayout(QWidget* pView);
    // The divider's rectangle in the view.
    virtual QRect GetDividerRect(int nId) const;

    // The span the windows and the divider share, in the view.
    void SetSpan(const QRect& rcSpan) { m_rcSpan = rcSpan; }
    bool IsDragging() const { return m_bDragging; }
    bool IsSideBySide() const { return m_bSideBySide; }
    double Share() const { return m_dShare; }

private:
    // The span's start and extent along the drag, and a point's place along it.
    int Start() const { return m_bSideBySide ? m_rcSpan.left() : m_rcSpan.top(); }
    int Extent() const { return m_bSideBySide ? m_rcSpan.width() : m_rcSpan.height(); }
    int Along(const QPoint& pt) const { return m_bSideBySide ? pt.x() : pt.y(); }
    QRect HitRect() const;

    QWidget* m_pParent;
    int m_nThickness;
    QWidget* m_pFirst = nullptr;
    QWidget* m_pSecond = nullptr;
    int m_nId = 0;
    bool m_bSideBySide = false;
    QRect m_rcSpan;
    double m_dShare = 0.5;
    bool m_bDragging = false;
    int m_nGrab = 0;
};
