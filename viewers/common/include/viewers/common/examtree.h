#pragma once
// The exam trees of both viewers' patient panes. CColorTreeCtrl lets the user move a
// second-level item (an exam) under another top-level item (a patient) by dragging it;
// CExamTreeCtrl may instead hand an exam to other windows as a drag of the private format
// "ExamTreeCtrlFormat" when its data source gives one (the ECG viewer's gives none).
// The drag steps are members of their own so that the mouse handlers stay thin.
#include <QCursor>
#include <QTreeWidget>
#include <functional>

#include "platform/wintypes.h"

class QMimeData;

inline constexpr const char* kExamTreeMimeType = "ExamTreeCtrlFormat";

class CColorTreeCtrl : public QTreeWidget {
    Q_OBJECT
public:
    explicit CColorTreeCtrl(QWidget* pParent = nullptr);

    // The item data every viewer keeps per item (a 32-bit value in column 0).
    static quintptr ItemData(const QTreeWidgetItem* pItem);
    static void SetItemData(QTreeWidgetItem* pItem, quintptr data);

    void SetBackgroundColour(COLORREF cr) { m_crBack = cr; }
    COLORREF BackgroundColour() const { return m_crBack; }
    void SetTile(BOOL bTile) { m_bTile = bTile; }
    BOOL Tile() const { return m_bTile; }

    // In-tree drag: FALSE for an item without a parent (nothing happens).
    virtual bool BeginDrag(QTreeWidgetItem* pItem);
    // The item under the cursor (or none); sets the cursor and the drop highlight.
    void DragOver(QTreeWidgetItem* pItem);
    // Ends the drag on the item under the cursor (or none): moves the dragged item under a
    // top-level item as its last child when that is a valid target.
    virtual void EndDrag(QTreeWidgetItem* pItem);
    bool IsDragging() const { return m_bDragging; }
    QTreeWidgetItem* DropHighlight() const { return m_pDropHilite; }
    Qt::CursorShape DragCursor() const { return m_cursor; }

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

    void SetDragging(bool b) { m_bDragging = b; }
    void ClearDragState();

private:
    void SetDropHilite(QTreeWidgetItem* pItem);

    bool m_bDragging = false;
    QTreeWidgetItem* m_pDragItem = nullptr;
    QTreeWidgetItem* m_pDropTarget = nullptr;
    QTreeWidgetItem* m_pDropHilite = nullptr;
    Qt::CursorShape m_cursor = Qt::ArrowCursor;
    QPoint m_pressPos;
    QTreeWidgetItem* m_pPressItem = nullptr;
    COLORREF m_crBack = 0xFFFFFF;
    BOOL m_bTile = 1;
};

class CExamTreeCtrl : public CColorTreeCtrl {
    Q_OBJECT
public:
    explicit CExamTreeCtrl(QWidget* pParent = nullptr);
    // The data handed to other windows for an exam, or null (no drag). The ECG viewer's
    // trees give none.
    virtual QMimeData* CreateDataSource(QTreeWidgetItem* pItem);

    // An item without children starts a drag of its data source, when it has one.
    bool BeginDrag(QTreeWidgetItem* pItem) override;
    void EndDrag(QTreeWidgetItem* pItem) override;
    // How many drags of the private format were started (what a test can see offscreen).
    int DragsStarted() const { return m_nDragsStarted; }

protected:
    // Runs the drag; tests replace it, since an offscreen platform has no drag loop.
    virtual void ExecDrag(QMimeData* pData);

private:
    int m_nDragsStarted = 0;
};

// The spirometry viewer's tree: a double click on a selected item whose data is not 0
// sends message 1228 to the main window with the data as its second parameter.
class CSpiroExamTreeCtrl : public CExamTreeCtrl {
    Q_OBJECT
public:
    static constexpr UINT kOpenExamMessage = 1228;
    using MainMessageFn = std::function<void(UINT nMsg, quintptr wParam, quintptr lParam)>;
    explicit CSpiroExamTreeCtrl(QWidget* pParent = nullptr);
    void SetMainWindow(MainMessageFn fn) { m_toMain = std::move(fn); }
    void OnDoubleClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    MainMessageFn m_toMain;
};
